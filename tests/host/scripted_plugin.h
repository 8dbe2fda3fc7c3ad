// A stand-in plug-in whose Execute runs a script given by each test, run through the host library,
// and the small grey document the host suite tests hand it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/run.h"

namespace hosttest {

using varno::Document;
using varno::RunOptions;
using varno::RunReport;

inline std::function<int16_t(SelectionRecord*)> script;

inline void PIAPI ScriptedEntry(int16_t selector, void* record, intptr_t*, int16_t* result) {
    *result = selector == kSelectorAbout ? 0 : script(static_cast<SelectionRecord*>(record));
}

inline RunReport RunScript(Document* document, std::function<int16_t(SelectionRecord*)> body,
                           const RunOptions& options = {}) {
    script = std::move(body);
    varno::PluginInstance plugin;
    plugin.entry = ScriptedEntry;
    RunReport report;
    varno::RunPlugin(&plugin, document, options, &report);
    return report;
}

// A 5x4 grey document whose sample at row r, column c is 10r + c.
inline Document Grey5x4() {
    std::vector<uint8_t> plane(20);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 5; ++c) plane[size_t(r * 5 + c)] = uint8_t(10 * r + c);
    Document document;
    std::string error;
    EXPECT_TRUE(varno::MakeDocument8(1, 5, 4, {plane}, &document, &error)) << error;
    return document;
}

}  // namespace hosttest

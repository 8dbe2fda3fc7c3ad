// The hosts' PiPL reader on any bytes: it either refuses them or gives properties that lie inside
// them, and whatever it accepts, written out again in the same layout, reads back the same. The
// same bytes go to the enable-expression evaluator (as the expression text, for a few documents,
// and as the 'enbl' property of the list read) and to the ELF section finder that reads a native
// plug-in's PiPL: each answers or refuses, within the bytes and within its nesting limit.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "host/pipl.h"

namespace {

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> Write(const std::vector<varno::PiplProperty>& properties) {
    std::vector<uint8_t> out = {1, 0};
    PutU32(&out, 0);
    PutU32(&out, uint32_t(properties.size()));
    for (const varno::PiplProperty& p : properties) {
        const size_t start = out.size();
        PutU32(&out, p.vendor);
        PutU32(&out, p.key);
        PutU32(&out, uint32_t(p.id));
        PutU32(&out, uint32_t(p.data.size()));
        out.insert(out.end(), p.data.begin(), p.data.end());
        while ((out.size() - start) % 4) out.push_back(0);
    }
    return out;
}

bool Same(const std::vector<varno::PiplProperty>& a, const std::vector<varno::PiplProperty>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].vendor != b[i].vendor || a[i].key != b[i].key || a[i].id != b[i].id || a[i].data != b[i].data)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return -1;
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const auto& [mode, depth] : {std::pair{3, 8}, std::pair{12, 16}, std::pair{17, 32}}) {
        bool enabled = false, again = false;
        const std::string error = varno::EvaluateEnableExpression(text, mode, depth, &enabled);
        CHECK(varno::EvaluateEnableExpression(text, mode, depth, &again) == error && again == enabled);
    }
    std::vector<uint8_t> section = {1};
    if (varno::FindElfSection(data, size, ".pipl", &section).empty()) {
        CHECK(section.size() <= size);
    } else {
        CHECK(section.empty());
    }

    std::vector<varno::PiplProperty> properties;
    if (!varno::ParsePipl(data, size, &properties).empty()) return 0;
    size_t carried = 10;
    for (const varno::PiplProperty& p : properties) carried += 16 + p.data.size();
    CHECK(carried <= size);

    std::vector<varno::PiplProperty> again;
    const std::vector<uint8_t> written = Write(properties);
    CHECK(varno::ParsePipl(written.data(), written.size(), &again).empty() && Same(properties, again));

    std::string why;
    if (!varno::PiplEnablesDocument(properties, 2, 8, &why)) CHECK(!why.empty() && why.find('\n') == std::string::npos);
    for (bool wide : {false, true}) {
        std::string name = "unchanged";
        if (varno::PiplEntryPoint(properties, wide, &name).empty()) CHECK(!name.empty() && name.find('\0') == std::string::npos);
    }
    return 0;
}

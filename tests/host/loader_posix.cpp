// Natively the host looks for the exported symbol ENTRYPOINT and refuses a library without it.
#include <gtest/gtest.h>

#include <tiffio.h>

#include "host/platform.h"

namespace {

TEST(PosixLoader, ALibraryWithoutTheEntryPointIsRefused) {
    varno::PluginModule module;
    // libtiff is surely loaded in this program and exports no ENTRYPOINT.
    const std::string error = varno::OpenPluginModule("libtiff.so", &module);
    EXPECT_NE(error.find("does not export ENTRYPOINT"), std::string::npos) << error;
    EXPECT_EQ(module.module, nullptr);
    EXPECT_EQ(module.entry, nullptr);
    EXPECT_NE(TIFFGetVersion(), nullptr);
}

}  // namespace

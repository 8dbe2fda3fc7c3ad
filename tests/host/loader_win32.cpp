// A Windows host calls only what a PiPL names: a library without one is refused, never called
// through a guessed export.
#include <gtest/gtest.h>

#include "host/platform.h"
#include "tests/host/host_fixture.h"

namespace {

TEST(WindowsLoader, ALibraryWithoutAPiplIsRefused) {
    varno::PluginModule module;
    const std::string error = varno::OpenPluginModule("kernel32.dll", &module);
    EXPECT_NE(error.find("no PiPL resource"), std::string::npos) << error;
    EXPECT_EQ(module.module, nullptr);
    EXPECT_EQ(module.entry, nullptr);
}

TEST(WindowsLoader, ThePluginsEntryPointComesFromItsPipl) {
    varno::PluginModule module;
    ASSERT_EQ(varno::OpenPluginModule(hosttest::PluginPath(), &module), "");
    EXPECT_EQ(module.entryName, "ENTRYPOINT");
    varno::ClosePluginModule(&module);
}

}  // namespace

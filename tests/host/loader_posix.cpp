// Natively, as on Windows, the host calls only what the library's PiPL (its ELF section ".pipl")
// names: a library without one is refused, never called through a guessed symbol.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <tiffio.h>

#include "host/platform.h"
#include "tests/host/host_fixture.h"

namespace {

TEST(PosixLoader, ALibraryWithoutAPiplIsRefusedAndThePluginsComesFromIt) {
    Dl_info info = {};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&TIFFGetVersion), &info), 0);
    varno::PluginModule module;
    std::string error = varno::OpenPluginModule(info.dli_fname, &module);
    EXPECT_NE(error.find("no PiPL (no ELF section .pipl)"), std::string::npos) << error;
    EXPECT_EQ(module.module, nullptr);
    EXPECT_EQ(module.entry, nullptr);

    ASSERT_EQ(varno::OpenPluginModule(hosttest::PluginPath(), &module), "");
    EXPECT_EQ(module.entryName, "ENTRYPOINT");
    EXPECT_FALSE(module.pipl.empty());
    varno::ClosePluginModule(&module);
}

}  // namespace

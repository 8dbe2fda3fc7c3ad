// The built plug-in carries the generated PiPL and AETE as resources 16000, found the way a host
// finds them (the type names are stored upper-cased; the lookup matches either spelling).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/plugin_resources.h"
#include "tests/resources/resource_test_support.h"

namespace {

std::vector<uint8_t> ResourceBytes(HMODULE module, const char* type) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kPluginResourceId), type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const auto* data = static_cast<const uint8_t*>(LockResource(loaded));
    DWORD size = SizeofResource(module, found);
    if (!data) return {};
    return std::vector<uint8_t>(data, data + size);
}

TEST(PluginResources, BuiltPluginCarriesTheGeneratedBytes) {
    std::string path = HostPath(VARNO_PLUGIN_PATH);
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << path << " error " << GetLastError();
    PluginArchitecture architecture = sizeof(void*) == 8 ? PluginArchitecture::X64 : PluginArchitecture::X86;
    std::vector<uint8_t> pipl = BuildPiplResource(architecture);
    std::vector<uint8_t> aete = BuildAeteResource();
    for (const char* type : {"PIPL", "PiPL"}) EXPECT_EQ(ResourceBytes(module, type), pipl) << type;
    for (const char* type : {"AETE", "aete"}) EXPECT_EQ(ResourceBytes(module, type), aete) << type;
    FreeLibrary(module);
}

}  // namespace

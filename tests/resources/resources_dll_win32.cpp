// The built plug-in carries the generated PiPL and AETE as resources 16000, found the way a host
// finds them (the type names are stored upper-cased; the lookup matches either spelling), and the
// project's version in its version resource and its dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/plugin_resources.h"
#include "tests/resources/resource_test_support.h"

namespace {

std::vector<uint8_t> ResourceBytes(HMODULE module, const char* type, int id = kPluginResourceId) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
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

std::string VersionText(const std::vector<char>& info, const char* key) {
    char* text = nullptr;
    UINT length = 0;
    std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
    if (!VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) return "(none)";
    return std::string(text, length > 0 ? length - 1 : 0);
}

TEST(PluginResources, VersionResourceAndDialogCarryTheProjectVersion) {
    std::string path = HostPath(VARNO_PLUGIN_PATH);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u) << path << " has no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(VARNO_VERSION, "%u.%u.%u", &major, &minor, &patch), 3) << VARNO_VERSION;
    EXPECT_EQ(fixed->dwFileVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));
    EXPECT_EQ(VersionText(info, "FileVersion"), VARNO_VERSION);
    EXPECT_EQ(VersionText(info, "ProductVersion"), VARNO_VERSION);
    EXPECT_EQ(VersionText(info, "OriginalFilename"), "Varnocketile.8bs");
    const bool wide = sizeof(void*) == 8;
    EXPECT_NE(VersionText(info, "FileDescription").find(wide ? "64-bit hosts" : "32-bit hosts"), std::string::npos);

    // Dialog templates hold their texts in UTF-16.
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << path << " error " << GetLastError();
    const std::vector<uint8_t> dialog = ResourceBytes(module, MAKEINTRESOURCEA(5), 3241);
    FreeLibrary(module);
    std::vector<uint8_t> wanted;
    for (char c : std::string("Edge selection, version ") + VARNO_VERSION + '\0') wanted.insert(wanted.end(), {uint8_t(c), 0});
    EXPECT_NE(std::search(dialog.begin(), dialog.end(), wanted.begin(), wanted.end()), dialog.end())
        << "the dialog does not show version " << VARNO_VERSION;
}

}  // namespace

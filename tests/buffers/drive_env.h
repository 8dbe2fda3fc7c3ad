// Test environment for everything that touches files: a fresh temporary directory per test, the
// drive-C directory (POSIX) or the real c:\ of the wine prefix (Windows) kept clean of the fixed
// names, the install key (MORVELAN_PATH, or the registry key of this process's view) under the
// test's control, and a check that every test gives back all memory blocks, handles and mappings.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "buffers/files.h"
#include "plugin/plugin.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace testenv {

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string ReadString(const std::string& path) {
    std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// The fixed names the plug-in uses; none may survive a test.
inline const char* const kFixedNames[] = {"QUENPath.TXT", "QUENpref.xxx", "VEXAlog.txt", "MaskImag.xxx",
                                          "BackingS.xxx", "QUENpref.xxx.new"};

#if defined(_WIN32)
constexpr const char* kKeyPath = "Software\\Morvelan_Path";
inline void RemoveInstallKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[600];
        DWORD length = sizeof name;
        while (RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            RegDeleteValueA(key, name);
            length = sizeof name;
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKeyPath);
}
// value none: a key that holds no value.
inline void SetInstallKey(const char* value) {
    RemoveInstallKey();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    if (value) {
        EXPECT_EQ(RegSetValueExA(key, "InstallDirectory", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                 DWORD(std::strlen(value) + 1)),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
}
constexpr char kSeparator = '\\';
#else
inline void RemoveInstallKey() { unsetenv("MORVELAN_PATH"); }
inline void SetInstallKey(const char* value) { setenv("MORVELAN_PATH", value ? value : "", 1); }
constexpr char kSeparator = '/';
#endif

class DriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> serial{0};
        root_ = (std::filesystem::temp_directory_path() /
                 ("varno-h1-" + std::to_string(Process()) + "-" + std::to_string(serial++)))
                    .string();
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
#if !defined(_WIN32)
        setenv("VARNO_DRIVE_C", (root_ + "/drive_c").c_str(), 1);
        std::filesystem::create_directories(root_ + "/drive_c");
#endif
        RemoveInstallKey();
        RemoveFixedFiles();
        before_ = CountLiveResources();
    }

    void TearDown() override {
        LiveResources after = CountLiveResources();
        EXPECT_EQ(after.memoryBlocks, before_.memoryBlocks) << "memory blocks leaked";
        EXPECT_EQ(after.pluginHandles, before_.pluginHandles) << "plug-in handles leaked";
        EXPECT_EQ(after.mappings, before_.mappings) << "mappings leaked";
        FailMemoryBlocksAfter(0, false);
        RemoveInstallKey();
        RemoveFixedFiles();
        std::error_code error;
        std::filesystem::current_path(std::filesystem::temp_directory_path(), error);
        std::filesystem::remove_all(root_, error);
    }

    // Where the fixed name c:\NAME lives.
    std::string DrivePath(const std::string& name) const {
#if defined(_WIN32)
        return "c:\\" + name;
#else
        return root_ + "/drive_c/" + name;
#endif
    }

    // A fresh directory ending in its separator, as an install directory does.
    std::string MakeDirectory(const std::string& name) const {
        std::string directory = root_ + kSeparator + name;
        std::filesystem::create_directories(directory);
        return directory + kSeparator;
    }

    const std::string& Root() const { return root_; }

private:
    static long Process() {
#if defined(_WIN32)
        return long(GetCurrentProcessId());
#else
        return long(getpid());
#endif
    }

    void RemoveFixedFiles() const {
        for (const char* name : kFixedNames) {
            std::error_code error;
            std::filesystem::permissions(DrivePath(name), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, error);
            std::filesystem::remove(DrivePath(name), error);
        }
    }

    std::string root_;
    LiveResources before_{};
};

}  // namespace testenv

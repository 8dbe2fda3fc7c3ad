// A pipe where the plug-in keeps its preferences (through the install directory) is no file: the
// run neither reads nor writes it, and finishes.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "host/platform.h"
#include "tests/host/host_fixture.h"

namespace {

TEST(SpecialFiles, APipeIsNeitherReadNorWritten) {
    hosttest::DriveC drive;
    const std::string prefix = "\\\\.\\pipe\\varno-" + std::to_string(varno::ProcessId()) + "-";
    HANDLE pipe = CreateNamedPipeA((prefix + "QUENpref.xxx").c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                   1, 65536, 65536, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Morvelan_Path", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "InstallDirectory", 0, REG_SZ, reinterpret_cast<const BYTE*>(prefix.c_str()),
                   DWORD(prefix.size() + 1));
    RegCloseKey(key);

    varno::Document document = varno::MakeTestDocument(kModeRGB, 24, 16, 3);
    varno::RunReport report;
    {
        hosttest::Watchdog watchdog(60, "preferences in a pipe");
        report = hosttest::RunLoaded(&document, hosttest::Play(5, 2));
    }
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(report.rowsWritten, 16);
    DWORD waiting = 0;
    PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr);
    EXPECT_EQ(waiting, 0u) << "nothing was written into the pipe";
    CloseHandle(pipe);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Morvelan_Path");
}

}  // namespace

// The run log: written only into an existing file, six lines per run appended at its end, flags
// and the result field printed, and the fixed name used without the install-path rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "plugin/plugin.h"
#include "params/parameter_set.h"
#include "params/run_log.h"
#include "params/settings.h"
#include "tests/buffers/drive_env.h"

namespace {

class RunLogTest : public testenv::DriveTest {
protected:
    // The plug-in's own set, seeded with a method and radius.
    static ParameterSet* EdgeSet(float method, float radius) {
        auto run = std::make_unique<RunState>();
        SetSettingReal(run->settings, kSettingMethod, method);
        SetSettingReal(run->settings, kSettingRadius, radius);
        return BuildEdgeParameters(run.get());
    }
    std::string LogPath() const { return DrivePath("VEXAlog.txt"); }
};

std::string Record(int method, int radius, int result = 0) {
    return "-----------------------------\r\n"
           "Signature = edgS\tWRITEBACK\tNo Mask Image\r\n"
           "# Inputs = 2\r\n"
           "0: Type = RADIO/rB45\tKey = EdgM\tMin = 3\tMax = 7\tValue = " + std::to_string(method) + "\r\n"
           "1: Type = LONG\tKey = edgR\tMin = 1\tMax = 3\tValue = " + std::to_string(radius) + "\r\n"
           "Result = " + std::to_string(result) + "\r\n";
}

TEST_F(RunLogTest, NoLogFileMeansNoLog) {
    ParameterSet* set = EdgeSet(5, 2);
    WriteRunLog(0, set);
    FreeParameterSet(set);
    EXPECT_FALSE(testenv::Exists(LogPath()));
}

TEST_F(RunLogTest, EachRunAppendsSixLines) {
    testenv::WriteBytes(LogPath(), "");
    ParameterSet* first = EdgeSet(6, 3);
    WriteRunLog(0, first);
    FreeParameterSet(first);
    EXPECT_EQ(testenv::ReadString(LogPath()), Record(6, 3));
    ParameterSet* second = EdgeSet(3, 1);
    WriteRunLog(0, second);
    FreeParameterSet(second);
    EXPECT_EQ(testenv::ReadString(LogPath()), Record(6, 3) + Record(3, 1));
}

// Another program appending its own record holds the log for a moment: the run waits its turn.
TEST_F(RunLogTest, ALogHeldByAnotherRunIsWaitedFor) {
    testenv::WriteBytes(LogPath(), "");
    FileHandle held = kNoFile;
    ASSERT_EQ(FileOpen(LogPath().c_str(), &held), 0);
    std::thread release([&] { std::this_thread::sleep_for(std::chrono::milliseconds(300)), FileClose(held); });
    ParameterSet* set = EdgeSet(4, 2);
    WriteRunLog(0, set);
    FreeParameterSet(set);
    release.join();
    EXPECT_EQ(testenv::ReadString(LogPath()), Record(4, 2));
}

TEST_F(RunLogTest, ExistingTextIsKeptAndTheResultFieldPrinted) {
    std::string earlier(70000, 'x');
    for (size_t i = 5; i < earlier.size(); i += 9) earlier[i] = '\r';
    testenv::WriteBytes(LogPath(), earlier);
    ParameterSet* set = EdgeSet(7, 2);
    WriteRunLog(-5, set);
    FreeParameterSet(set);
    EXPECT_EQ(testenv::ReadString(LogPath()), earlier + Record(7, 2, -5));
}

TEST_F(RunLogTest, FlagsAndTypesOfAnotherSet) {
    testenv::WriteBytes(LogPath(), "");
    ParameterSet* set = CreateParameterSet(kParameterUnits);
    ASSERT_NE(set, nullptr);
    InitParameterSet(set, 0x41424344, 1, 1);
    AddIntegerParameter(set, 0x6B657931, -10, 10, -7);
    WriteRunLog(0, set);
    FreeParameterSet(set);
    EXPECT_EQ(testenv::ReadString(LogPath()),
              "-----------------------------\r\n"
              "Signature = ABCD\tNo Writeback\tNEEDS MASK IMAGE\r\n"
              "# Inputs = 1\r\n"
              "0: Type = LONG\tKey = key1\tMin = -10\tMax = 10\tValue = -7\r\n"
              "Result = 0\r\n");
}

TEST_F(RunLogTest, TheLogNameIsNotResolvedAgainstTheInstallDirectory) {
    std::string install = MakeDirectory("install");
    testenv::SetInstallKey(install.c_str());
    testenv::WriteBytes(install + "VEXAlog.txt", "");
    ParameterSet* set = EdgeSet(5, 2);
    WriteRunLog(0, set);
    EXPECT_EQ(testenv::ReadString(install + "VEXAlog.txt"), "");
    testenv::WriteBytes(LogPath(), "");
    WriteRunLog(0, set);
    FreeParameterSet(set);
    EXPECT_EQ(testenv::ReadString(LogPath()), Record(5, 2));
}

// Appending reaches the end at once, a sparse log of a gigabyte included (never read through).
TEST_F(RunLogTest, OpenForAppendEndsAtTheEndWithoutReadingTheLog) {
    const std::string path = Root() + testenv::kSeparator + "append.txt";
    for (const uintmax_t size : {uintmax_t(0), uintmax_t(40000), uintmax_t(1) << 30}) {
        testenv::WriteBytes(path, std::string(size_t(std::min<uintmax_t>(size, 40000)), 'a'));
        std::filesystem::resize_file(path, size);
        const auto start = std::chrono::steady_clock::now();
        FileHandle file = kNoFile;
        ASSERT_EQ(OpenForAppend(path.c_str(), &file), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
        int32_t count = 3;
        EXPECT_EQ(FileWrite(file, &count, "end"), 0);
        EXPECT_EQ(FileClose(file), 0);
        EXPECT_EQ(std::filesystem::file_size(path), size + 3);
    }
    FileHandle file = 1234;
    EXPECT_EQ(OpenForAppend((Root() + testenv::kSeparator + "missing.txt").c_str(), &file), -43);
    EXPECT_EQ(file, kNoFile);
}

}  // namespace

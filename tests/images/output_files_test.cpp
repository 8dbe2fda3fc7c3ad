// The platform part of outputs: a temporary file is new and can be removed while it is being
// written (what a stop relies on); an abandoned output leaves its destination as it was; every
// name the system takes works.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "images/images.h"
#include "images/output_files.h"
#include "tests/host/host_fixture.h"

namespace {

TEST(OutputFiles, ATemporaryFileGoesAwayWhileStillOpen) {
    hosttest::DriveC drive;
    const std::string path = drive.Temp("part.tmp");
    std::string error;
    std::FILE* file = varno::CreateNewFile(path, &error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_EQ(std::fwrite("abc", 1, 3, file), 3u);
    EXPECT_EQ(varno::CreateNewFile(path, &error), nullptr) << "an existing file is never taken over";
    EXPECT_NE(error, "");
    // Windows keeps the name until the writer closes the file (at the latest, when the process
    // ends); POSIX drops it at once.
    EXPECT_TRUE(varno::RemoveFile(path));
    EXPECT_EQ(std::fclose(file), 0);
    EXPECT_FALSE(hosttest::Exists(path));
}

TEST(OutputFiles, AnAbandonedOutputLeavesNothing) {
    hosttest::DriveC drive;
    const std::string path = drive.Temp("out.png");
    hosttest::WriteBytes(path, {7, 7});
    varno::OutputFile output;
    ASSERT_EQ(varno::BeginOutput(path, &output), "");
    EXPECT_TRUE(hosttest::Exists(output.temporary));
    std::fputs("new", output.file);
    const std::string temporary = output.temporary;
    varno::AbandonOutput(&output);
    EXPECT_FALSE(hosttest::Exists(temporary));
    EXPECT_EQ(hosttest::ReadBytes(path), (std::vector<uint8_t>{7, 7}));
}

// Any name the system takes works (the temporary name is cut to fit beside it); a longer one and
// a name holding a NUL are refused; either way nothing else is left in the directory.
TEST(OutputFiles, EveryNameTheSystemTakesWorks) {
    hosttest::DriveC drive;
    const std::string directory = drive.Temp("names/");
    std::filesystem::create_directories(directory);
#ifdef _WIN32
    const size_t longest = std::min<size_t>(255, 259 - directory.size());  // the ANSI functions' whole path
#else
    const size_t longest = 255;
#endif
    auto named = [&](size_t length) { return directory + std::string(length - 4, 'n') + ".png"; };
    const std::pair<std::string, bool> cases[] = {
        {named(longest), true}, {named(longest - 6), true}, {named(longest - 20), true}, {named(256), false},
        {directory + std::string("out.png\0.bmp", 12), false},
    };
    for (const auto& [path, written] : cases) {
        EXPECT_EQ(varno::CheckOutputPath(path).empty(), written) << path.size();
        EXPECT_EQ(varno::WriteFileAtomically(path, {1, 2, 3}).empty(), written) << path.size();
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(directory)) left.push_back(entry.path().string());
        EXPECT_EQ(left, written ? std::vector<std::string>{path} : std::vector<std::string>{}) << path.size();
        EXPECT_EQ(hosttest::ReadBytes(path), (written ? std::vector<uint8_t>{1, 2, 3} : std::vector<uint8_t>{}));
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    hosttest::WriteBytes(directory + "in.png", {1});
    std::vector<uint8_t> bytes;
    EXPECT_EQ(varno::ReadWholeFile(directory + std::string("in.png\0.bmp", 11), &bytes), "the name holds a NUL character");
}

}  // namespace

// The platform part of outputs: a temporary file is new and can be removed while it is being
// written (what a stop relies on); an abandoned output leaves its destination as it was.
#include <gtest/gtest.h>

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

}  // namespace

// The file layer on every build: reading, writing, positioning, creation, deletion, exclusive
// opening and the codes of the common failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "buffers/files.h"
#include "tests/buffers/drive_env.h"

namespace {

using testenv::DriveTest;

class FilesTest : public DriveTest {
protected:
    std::string Path(const char* name) const { return Root() + testenv::kSeparator + name; }
};

TEST_F(FilesTest, ReadsWritesAndPositions) {
    std::string path = Path("data.bin");
    ASSERT_EQ(FileCreate(path.c_str()), 0);
    FileHandle file = kNoFile;
    ASSERT_EQ(FileOpen(path.c_str(), &file), 0);
    ASSERT_NE(file, kNoFile);
    int32_t count = 10;
    EXPECT_EQ(FileWrite(file, &count, "0123456789"), 0);
    EXPECT_EQ(count, 10);

    struct Step {
        int32_t position, wanted;
        const char* expected;
    };
    const Step steps[] = {
        {0, 4, "0123"}, {6, 10, "6789"}, {10, 5, ""}, {20, 5, ""}, {3, 0, ""}, {9, 1, "9"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << "at " << s.position << " read " << s.wanted);
        ASSERT_EQ(FileSetPos(file, s.position), 0);
        char buffer[16] = {};
        count = s.wanted;
        EXPECT_EQ(FileRead(file, &count, buffer), 0);
        EXPECT_EQ(std::string(buffer, size_t(count)), s.expected);
    }
    // Writing past the end extends the file from the position.
    ASSERT_EQ(FileSetPos(file, 12), 0);
    count = 2;
    EXPECT_EQ(FileWrite(file, &count, "ab"), 0);
    EXPECT_EQ(FileClose(file), 0);
    EXPECT_EQ(testenv::ReadString(path), std::string("0123456789\0\0ab", 14));
}

TEST_F(FilesTest, MissingFilesAreNotFound) {
    std::string path = Path("missing.bin");
    FileHandle file = 1234;
    EXPECT_EQ(FileOpen(path.c_str(), &file), -43);
    EXPECT_EQ(file, kNoFile);
    EXPECT_EQ(FileDelete(path.c_str()), -43);
    std::string inMissingDirectory = Path("no-such-directory") + testenv::kSeparator + "x.bin";
    EXPECT_EQ(FileOpen(inMissingDirectory.c_str(), &file), -43);
    EXPECT_EQ(FileCreate(inMissingDirectory.c_str()), -43);
}

TEST_F(FilesTest, CreateEmptiesAnExistingFileAndDeleteRemovesIt) {
    std::string path = Path("full.bin");
    testenv::WriteBytes(path, "some old content");
    EXPECT_EQ(FileCreate(path.c_str()), 0);
    ASSERT_TRUE(testenv::Exists(path));
    EXPECT_TRUE(testenv::ReadBytes(path).empty());
    EXPECT_EQ(FileDelete(path.c_str()), 0);
    EXPECT_FALSE(testenv::Exists(path));
}

TEST_F(FilesTest, AnOpenFileIsNotSharedNotDeletedAndNotEmptied) {
    std::string path = Path("held.bin");
    testenv::WriteBytes(path, "held");
    FileHandle file = kNoFile;
    ASSERT_EQ(FileOpen(path.c_str(), &file), 0);
    FileHandle second = 1234;
    EXPECT_EQ(FileOpen(path.c_str(), &second), -49);
    EXPECT_EQ(second, kNoFile);
    EXPECT_EQ(FileDelete(path.c_str()), -45);
    EXPECT_EQ(FileCreate(path.c_str()), -49);
    EXPECT_EQ(FileClose(file), 0);
    EXPECT_EQ(testenv::ReadString(path), "held");
    // Closing gives the file free again.
    ASSERT_EQ(FileOpen(path.c_str(), &second), 0);
    EXPECT_EQ(FileClose(second), 0);
}

TEST_F(FilesTest, BadHandlesAndPositionsAreReported) {
    EXPECT_EQ(FileClose(kNoFile), -51);
    std::string path = Path("pos.bin");
    testenv::WriteBytes(path, "abc");
    FileHandle file = kNoFile;
    ASSERT_EQ(FileOpen(path.c_str(), &file), 0);
    EXPECT_EQ(FileSetPos(file, -1), -40);
    int32_t count = 3;
    char buffer[4] = {};
    EXPECT_EQ(FileRead(file, &count, buffer), 0) << "the position is unchanged by the refused move";
    EXPECT_EQ(std::string(buffer, size_t(count)), "abc");
    count = -5;
    EXPECT_NE(FileRead(file, &count, buffer), 0);
    EXPECT_EQ(count, 0);
    count = -5;
    EXPECT_NE(FileWrite(file, &count, buffer), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FileClose(file), 0);
    count = 3;
    EXPECT_EQ(FileRead(kNoFile, &count, buffer), -36);
    EXPECT_EQ(count, 0);
    count = 3;
    EXPECT_EQ(FileWrite(kNoFile, &count, "abc"), -36);
}

TEST_F(FilesTest, FixedNamesLiveOnDriveC) {
    EXPECT_EQ(FileCreate("c:\\QUENPath.TXT"), 0);
    EXPECT_TRUE(testenv::Exists(DrivePath("QUENPath.TXT")));
    FileHandle file = kNoFile;
    ASSERT_EQ(FileOpen("C:\\QUENPath.TXT", &file), 0);
    int32_t count = 3;
    EXPECT_EQ(FileWrite(file, &count, "xyz"), 0);
    EXPECT_EQ(FileClose(file), 0);
    EXPECT_EQ(testenv::ReadString(DrivePath("QUENPath.TXT")), "xyz");
    EXPECT_EQ(FileDelete("c:\\QUENPath.TXT"), 0);
    EXPECT_FALSE(testenv::Exists(DrivePath("QUENPath.TXT")));
}

TEST_F(FilesTest, AReplacementTakesTheOldFilesPlaceInOneStep) {
    std::string target = Path("target.bin"), source = Path("source.bin");
    testenv::WriteBytes(target, "old");
    testenv::WriteBytes(source, "new contents");
    EXPECT_EQ(FileReplace(source.c_str(), target.c_str()), 0);
    EXPECT_EQ(testenv::ReadString(target), "new contents");
    EXPECT_FALSE(testenv::Exists(source));
    // Into a place where there was nothing, and from a file that is not there.
    testenv::WriteBytes(source, "first");
    std::string fresh = Path("fresh.bin");
    EXPECT_EQ(FileReplace(source.c_str(), fresh.c_str()), 0);
    EXPECT_EQ(testenv::ReadString(fresh), "first");
    EXPECT_EQ(FileReplace(source.c_str(), target.c_str()), -43);
    EXPECT_EQ(testenv::ReadString(target), "new contents");

    FileHandle file = kNoFile;
    ASSERT_EQ(FileOpen(target.c_str(), &file), 0);
    EXPECT_TRUE(FileWritable(file));
    EXPECT_EQ(FileFlush(file), 0);
    EXPECT_EQ(FileClose(file), 0);
}

TEST_F(FilesTest, InjectedFailuresChangeNothing) {
    std::string path = Path("data.bin"), other = Path("other.bin");
    testenv::WriteBytes(path, "kept");
    testenv::WriteBytes(other, "other");
    FileHandle file = kNoFile;
    ASSERT_EQ(FileOpen(path.c_str(), &file), 0);
    FailFileChangesAfter(2, -34);
    int32_t count = 2;
    EXPECT_EQ(FileWrite(file, &count, "KE"), 0);
    count = 2;
    EXPECT_EQ(FileWrite(file, &count, "PT"), -34);
    EXPECT_EQ(FileFlush(file), -34) << "and every change after it";
    EXPECT_EQ(FileClose(file), 0);
    EXPECT_EQ(FileReplace(other.c_str(), path.c_str()), -34);
    FailFileChangesAfter(0, 0);
    EXPECT_EQ(testenv::ReadString(path), "KEpt");
    EXPECT_EQ(testenv::ReadString(other), "other");
}

}  // namespace

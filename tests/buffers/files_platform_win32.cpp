// The Windows file layer: last-error and errno mapping (including the numbers the layer cannot
// provoke on demand, such as a full disk), and read-only files.
#include <gtest/gtest.h>

#include <cstdio>

#include <cerrno>
#include <string>

#include <windows.h>

#include "buffers/files.h"
#include "tests/buffers/drive_env.h"

namespace {

using testenv::DriveTest;

class WindowsFilesTest : public DriveTest {};

TEST(WindowsErrorMapping, LastErrorNumbersGiveTheLayerCodes) {
    struct Case {
        int32_t error;
        int16_t open, write, setPos, replace;
    };
    const Case cases[] = {
        {2, -43, -36, 0, -43},   {3, -43, -36, 0, -43},     {4, -42, -36, 0, -36},    {5, -61, -36, 0, -61},
        {6, -36, -36, -51, -36}, {9, -36, -36, -51, -36},   {13, -61, -36, 0, -36},   {22, -37, -36, -40, -36},
        {24, -42, -36, 0, -36},  {28, -36, -34, 0, -36},    {32, -49, -36, 0, -45},   {33, -36, -36, 0, -45},
        {39, -36, -34, 0, -34},  {112, -36, -34, 0, -34},   {123, -37, -36, 0, -36},  {131, -36, -36, -40, -36},
        {1117, -36, -36, 0, -36},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(MapOpenError(c.error), c.open);
        EXPECT_EQ(MapWriteError(c.error), c.write);
        EXPECT_EQ(MapSetPosError(c.error), c.setPos);
        EXPECT_EQ(MapReplaceError(c.error), c.replace);
        EXPECT_EQ(OpenRetriesReadOnly(c.error), c.error == 5);
    }
}

TEST(WindowsErrorMapping, RuntimeErrorNumbersGiveCreateAndDeleteCodes) {
    struct Case {
        int error;
        int16_t create, remove;
    };
    const Case cases[] = {
        {ENOENT, -43, -43}, {EACCES, -49, -45}, {EMFILE, -42, 0}, {EEXIST, 0, 0}, {EINVAL, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(MapCreateError(c.error), c.create);
        EXPECT_EQ(MapDeleteError(c.error), c.remove);
    }
}

TEST_F(WindowsFilesTest, ReadOnlyFileOpensForReadingAndRefusesWrites) {
    std::string path = Root() + "\\read-only.bin";
    testenv::WriteBytes(path, "data");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine running as root opens such a file for writing all the same; the refused write can only
    // be seen where the attribute is enforced.
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    bool enforced = probe == INVALID_HANDLE_VALUE;
    if (!enforced) CloseHandle(probe);

    // A handle opened for reading only is told apart whatever the attribute does.
    HANDLE reading = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reading, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FileWritable(reinterpret_cast<FileHandle>(reading)));
    CloseHandle(reading);

    FileHandle file = kNoFile;
    ASSERT_EQ(FileOpen(path.c_str(), &file), 0);
    EXPECT_EQ(FileWritable(file), !enforced);
    char buffer[8] = {};
    int32_t count = 8;
    EXPECT_EQ(FileRead(file, &count, buffer), 0);
    EXPECT_EQ(std::string(buffer, size_t(count)), "data");
    if (enforced) {
        count = 2;
        EXPECT_NE(FileWrite(file, &count, "zz"), 0);
    }
    EXPECT_EQ(FileClose(file), 0);
    EXPECT_EQ(FileDelete(path.c_str()), -45);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(testenv::ReadString(path), "data");
    // Everything but the write refusal was checked; a skip here would fail `make check` as root.
    if (!enforced) std::printf("note: the read-only attribute is not enforced here (wine as root): write refusal not checked\n");
}

}  // namespace

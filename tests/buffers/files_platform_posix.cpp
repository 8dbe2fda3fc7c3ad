// The POSIX file layer: errno mapping, the drive-C directory for fixed names, read-only files
// (privilege dropped in a child when the tests run as root) and a full disk.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "buffers/files.h"
#include "tests/buffers/drive_env.h"

namespace {

using testenv::DriveTest;

class PosixFilesTest : public DriveTest {};

TEST(PosixErrorMapping, ErrnoValuesGiveTheLayerCodes) {
    struct Case {
        int error;
        int16_t open, write, setPos, create, remove, replace;
        bool retry;
    };
    const Case cases[] = {
        {ENOENT, -43, -36, 0, -43, -43, -43, false},   {ENOTDIR, -43, -36, 0, -43, -43, -43, false},
        {EACCES, -61, -36, 0, -49, -45, -61, true},    {EPERM, -61, -36, 0, -49, -45, -61, true},
        {EROFS, -61, -36, 0, 0, 0, -61, true},         {EISDIR, -61, -36, 0, 0, 0, -61, false},
        {EWOULDBLOCK, -49, -36, 0, -49, -45, -36, false}, {EMFILE, -42, -36, 0, -42, 0, -36, false},
        {ENFILE, -42, -36, 0, -42, 0, -36, false},     {ENAMETOOLONG, -37, -36, 0, 0, 0, -36, false},
        {EINVAL, -37, -36, -40, 0, 0, -36, false},     {EBADF, -36, -36, -51, 0, 0, -36, false},
        {ENOSPC, -36, -34, 0, 0, 0, -34, false},       {EDQUOT, -36, -34, 0, 0, 0, -34, false},
        {EIO, -36, -36, 0, 0, 0, -36, false},          {EBUSY, -36, -36, 0, 0, -45, -45, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(MapOpenError(c.error), c.open);
        EXPECT_EQ(MapWriteError(c.error), c.write);
        EXPECT_EQ(MapSetPosError(c.error), c.setPos);
        EXPECT_EQ(MapCreateError(c.error), c.create);
        EXPECT_EQ(MapDeleteError(c.error), c.remove);
        EXPECT_EQ(MapReplaceError(c.error), c.replace);
        EXPECT_EQ(OpenRetriesReadOnly(c.error), c.retry);
    }
}

TEST_F(PosixFilesTest, FixedNamesMapIntoTheDriveDirectory) {
    std::string drive = Root() + "/drive_c";
    std::string xdg = Root() + "/xdg";
    std::string home = Root() + "/home";
    struct Case {
        const char* driveVariable;
        const char* xdgVariable;
        const char* homeVariable;
        const char* name;
        std::string expected;
        std::string directory;
    };
    const Case cases[] = {
        {drive.c_str(), xdg.c_str(), home.c_str(), "c:\\QUENpref.xxx", drive + "/QUENpref.xxx", drive},
        {drive.c_str(), nullptr, nullptr, "C:\\VEXAlog.txt", drive + "/VEXAlog.txt", drive},
        {nullptr, xdg.c_str(), home.c_str(), "c:\\VEXAlog.txt", xdg + "/varno/drive_c/VEXAlog.txt",
         xdg + "/varno/drive_c"},
        {"", "", home.c_str(), "c:\\VEXAlog.txt", home + "/.local/share/varno/drive_c/VEXAlog.txt",
         home + "/.local/share/varno/drive_c"},
        {drive.c_str(), nullptr, nullptr, "/tmp/plain.txt", "/tmp/plain.txt", ""},
        {drive.c_str(), nullptr, nullptr, "c:/not-fixed", "c:/not-fixed", ""},
        {drive.c_str(), nullptr, nullptr, "D:\\X\\QUENpref.xxx", "D:\\X\\QUENpref.xxx", ""},
    };
    const char* saved = std::getenv("HOME");
    std::string savedHome = saved ? saved : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto set = [](const char* variable, const char* value) {
            if (value) setenv(variable, value, 1); else unsetenv(variable);
        };
        set("VARNO_DRIVE_C", c.driveVariable);
        set("XDG_DATA_HOME", c.xdgVariable);
        set("HOME", c.homeVariable);
        char mapped[600];
        char directory[600];
        EXPECT_EQ(MapFixedName(c.name, mapped, sizeof mapped, directory), 0);
        EXPECT_EQ(std::string(mapped), c.expected);
        EXPECT_EQ(std::string(directory), c.directory);
    }
    // Creating a fixed name makes the drive directory first.
    setenv("VARNO_DRIVE_C", (Root() + "/made/on/demand").c_str(), 1);
    EXPECT_EQ(FileCreate("c:\\VEXAlog.txt"), 0);
    EXPECT_TRUE(testenv::Exists(Root() + "/made/on/demand/VEXAlog.txt"));
    setenv("VARNO_DRIVE_C", drive.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", savedHome.c_str(), 1);

    char small[8];
    EXPECT_EQ(MapFixedName("c:\\QUENpref.xxx", small, sizeof small, nullptr), -37);
    std::string longName = "c:\\" + std::string(5000, 'x');
    FileHandle file = kNoFile;
    EXPECT_EQ(FileOpen(longName.c_str(), &file), -37);
}

// Runs `body` with the privileges of an ordinary user: in a child process when the tests run as
// root (root passes every permission check), directly otherwise. The child reports through its
// exit status.
int AsOrdinaryUser(int (*body)(const std::string&), const std::string& path) {
    if (geteuid() != 0) return body(path);
    pid_t child = fork();
    if (child == 0) {
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(99);
        _exit(body(path));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

// 0 when a read-only file opens (for reading only), reads, and refuses a write.
int OpenReadOnlyFile(const std::string& path) {
    FileHandle file = kNoFile;
    if (FileOpen(path.c_str(), &file) != 0) return 1;
    if (FileWritable(file)) return 5;
    char buffer[8] = {};
    int32_t count = 8;
    if (FileRead(file, &count, buffer) != 0 || count != 4) return 2;
    count = 2;
    if (FileWrite(file, &count, "zz") == 0) return 3;
    if (FileClose(file) != 0) return 4;
    return 0;
}

// 0 when a file that may be neither read nor written gives -61.
int OpenForbiddenFile(const std::string& path) {
    FileHandle file = 1234;
    if (FileOpen(path.c_str(), &file) != -61) return 1;
    return file == kNoFile ? 0 : 2;
}

TEST_F(PosixFilesTest, ReadOnlyFilesOpenForReadingAndForbiddenOnesAreRefused) {
    std::filesystem::permissions(Root(), std::filesystem::perms(0755));
    std::string readOnly = Root() + "/read-only.bin";
    testenv::WriteBytes(readOnly, "data");
    chmod(readOnly.c_str(), 0444);
    EXPECT_EQ(AsOrdinaryUser(OpenReadOnlyFile, readOnly), 0);
    EXPECT_EQ(testenv::ReadString(readOnly), "data");

    std::string forbidden = Root() + "/forbidden.bin";
    testenv::WriteBytes(forbidden, "data");
    chmod(forbidden.c_str(), 0);
    EXPECT_EQ(AsOrdinaryUser(OpenForbiddenFile, forbidden), 0);
}

TEST_F(PosixFilesTest, DirectoriesAreNotFiles) {
    FileHandle file = 1234;
    EXPECT_EQ(FileOpen(Root().c_str(), &file), -61);
    EXPECT_EQ(file, kNoFile);
}

TEST_F(PosixFilesTest, OnlyRegularFilesAreOpenedOrCreated) {
    // A FIFO would make a read wait for ever and a device never ends: neither is a file.
    std::string fifo = Root() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string device = Root() + "/device";
    ASSERT_EQ(symlink("/dev/zero", device.c_str()), 0);
    for (const std::string& path : {fifo, device, std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        FileHandle file = 1234;
        EXPECT_EQ(FileOpen(path.c_str(), &file), -61);
        EXPECT_EQ(file, kNoFile);
        EXPECT_NE(FileCreate(path.c_str()), 0);
    }
    struct stat info;
    ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "left as it was";
}

// 0 when writing past the file-size limit, which a full disk looks like to a writer, gives -34.
int WritePastTheSizeLimit(const std::string& path) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit = {8, 8};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
    FileHandle file = kNoFile;
    if (FileOpen(path.c_str(), &file) != 0) return 2;
    int32_t count = 16;
    if (FileWrite(file, &count, "sixteen bytes...") != -34) return 3;
    return count == 8 ? 0 : 4;
}

TEST_F(PosixFilesTest, AFullDiskGivesDiskFull) {
    std::string path = Root() + "/full.bin";
    testenv::WriteBytes(path, "");
    pid_t child = fork();
    if (child == 0) _exit(WritePastTheSizeLimit(path));
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace

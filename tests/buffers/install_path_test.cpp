// The install-path rule: the registry key (MORVELAN_PATH natively) before the path file, the
// untrimmed path-file bytes, and the refusal of a result too long for the 514-byte path buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "buffers/files.h"
#include "buffers/image_buffer.h"
#include "tests/buffers/drive_env.h"

namespace {

using InstallPathTest = testenv::DriveTest;

std::string Resolve(const std::string& path) {
    char buffer[kPathCapacity];
    std::memset(buffer, '#', sizeof buffer);
    std::strcpy(buffer, path.c_str());
    ResolveInstallPath(buffer);
    EXPECT_NE(std::memchr(buffer, 0, sizeof buffer), nullptr);
    return buffer;
}

TEST_F(InstallPathTest, KeyOrPathFileDecides) {
    struct Case {
        const char* what;
        const char* key;       // none: no key; "" a key without value (natively: set but empty)
        bool keyHasValue;
        const char* pathFile;  // none: no path file
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"key value", "D:\\X\\", true, nullptr, "c:\\QUENpref.xxx", "D:\\X\\QUENpref.xxx"},
        {"key value wins over the path file", "D:\\Apps\\Edges\\", true, "E:\\Y\\", "c:\\QUENpref.xxx",
         "D:\\Apps\\Edges\\QUENpref.xxx"},
        {"key without value: unchanged, path file ignored", nullptr, false, "E:\\Y\\", "c:\\QUENpref.xxx",
         "c:\\QUENpref.xxx"},
        {"path file, line end kept", nullptr, true, "D:\\X\\\r\n", "c:\\QUENpref.xxx",
         "D:\\X\\\r\nQUENpref.xxx"},
        {"empty path file drops the drive", nullptr, true, "", "c:\\MaskImag.xxx", "MaskImag.xxx"},
        {"nothing at all", nullptr, true, nullptr, "c:\\QUENpref.xxx", "c:\\QUENpref.xxx"},
        {"no separator is inserted", "/opt/edges", true, nullptr, "c:\\BackingS.xxx", "/opt/edgesBackingS.xxx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testenv::RemoveInstallKey();
        if (c.key || !c.keyHasValue) testenv::SetInstallKey(c.keyHasValue ? c.key : nullptr);
        std::filesystem::remove(DrivePath("QUENPath.TXT"));
        if (c.pathFile) testenv::WriteBytes(DrivePath("QUENPath.TXT"), c.pathFile);
        EXPECT_EQ(Resolve(c.path), c.expected);
    }
}

TEST_F(InstallPathTest, PathFileGivesAtMostOneReadOf514Bytes) {
    // A path file longer than 514 bytes: its first 514 bytes are the directory, and with any name
    // after them the result would not fit, so the path is left as it is.
    testenv::WriteBytes(DrivePath("QUENPath.TXT"), std::string(600, 'd'));
    EXPECT_EQ(Resolve("c:\\QUENpref.xxx"), "c:\\QUENpref.xxx");
}

TEST_F(InstallPathTest, ResultMustFitThePathBuffer) {
    const std::string name = "c:\\QUENpref.xxx";  // 12 characters survive
    struct Case {
        size_t directoryLength;
        bool fromKey;
        bool resolved;
    };
    const Case cases[] = {
        {501, true, true},  {502, true, false}, {1023, true, false},
        {501, false, true}, {502, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.directoryLength << (c.fromKey ? " from the key" : " from the file"));
        std::string directory(c.directoryLength - 1, 'd');
        directory += '/';
        testenv::RemoveInstallKey();
        std::filesystem::remove(DrivePath("QUENPath.TXT"));
        if (c.fromKey) {
            testenv::SetInstallKey(directory.c_str());
        } else {
            testenv::WriteBytes(DrivePath("QUENPath.TXT"), directory);
        }
        std::string result = Resolve(name);
        if (c.resolved) {
            EXPECT_EQ(result, directory + "QUENpref.xxx");
            EXPECT_EQ(result.size(), 513u);
        } else {
            EXPECT_EQ(result, name);
        }
    }
}

TEST_F(InstallPathTest, NoPathDoesNothingAndLookupIsNotCached) {
    ResolveInstallPath(nullptr);
    testenv::SetInstallKey("first/");
    EXPECT_EQ(Resolve("c:\\a.txt"), "first/a.txt");
    testenv::SetInstallKey("second/");
    EXPECT_EQ(Resolve("c:\\a.txt"), "second/a.txt");
    testenv::RemoveInstallKey();
    testenv::WriteBytes(DrivePath("QUENPath.TXT"), "third/");
    EXPECT_EQ(Resolve("c:\\a.txt"), "third/a.txt");
}

}  // namespace

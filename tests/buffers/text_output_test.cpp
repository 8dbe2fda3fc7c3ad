// Text output: texts, prefixed texts and integers with their optional tab and line end, and
// four-character codes as prefixed texts.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "buffers/text_output.h"
#include "tests/buffers/drive_env.h"

namespace {

class TextOutputTest : public testenv::DriveTest {
protected:
    // The bytes that `write` puts into a fresh file.
    std::string Written(const std::function<void(FileHandle)>& write) {
        std::string path = Root() + testenv::kSeparator + "out.txt";
        EXPECT_EQ(FileCreate(path.c_str()), 0);
        FileHandle file = kNoFile;
        EXPECT_EQ(FileOpen(path.c_str(), &file), 0);
        write(file);
        EXPECT_EQ(FileClose(file), 0);
        return testenv::ReadString(path);
    }
};

TEST_F(TextOutputTest, TextsWithTabsAndLineEnds) {
    struct Case {
        const char* text;
        bool tab, lineEnd;
        std::string expected;
    };
    const Case cases[] = {
        {"", true, true, "\t\r\n"},
        {"abc", false, false, "abc"},
        {"abc", true, false, "abc\t"},
        {"abc", false, true, "abc\r\n"},
        {"Key = ", true, true, "Key = \t\r\n"},
        {nullptr, true, true, "\t\r\n"},
        {nullptr, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(none)");
        EXPECT_EQ(Written([&](FileHandle f) { WriteText(f, c.text, c.tab, c.lineEnd); }), c.expected);
    }
}

TEST_F(TextOutputTest, IntegersInDecimal) {
    struct Case {
        int32_t value;
        std::string expected;
    };
    const Case cases[] = {
        {-42, "-42"}, {0, "0"}, {7, "7"}, {10, "10"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Written([&](FileHandle f) { WriteInteger(f, c.value, false, false); }), c.expected);
    }
    EXPECT_EQ(Written([](FileHandle f) { WriteInteger(f, 3, true, true); }), "3\t\r\n");
}

TEST_F(TextOutputTest, CodesAsPrefixedTexts) {
    struct Case {
        uint32_t code;
        const char* characters;
    };
    const Case cases[] = {{0x4564674D, "EdgM"}, {0x65646753, "edgS"}, {0x72423435, "rB45"}, {0x6C6F6E67, "long"}};
    for (const Case& c : cases) {
        unsigned char text[5] = {};
        CodeToText(c.code, text);
        EXPECT_EQ(text[0], 4);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(text + 1), 4), c.characters);
        EXPECT_EQ(Written([&](FileHandle f) { WritePrefixedText(f, text, true, false); }),
                  std::string(c.characters) + "\t");
    }
    const unsigned char empty[1] = {0};
    EXPECT_EQ(Written([&](FileHandle f) { WritePrefixedText(f, empty, false, true); }), "\r\n");
    const unsigned char partial[6] = {2, 'a', 'b', 'c', 'd', 'e'};
    EXPECT_EQ(Written([&](FileHandle f) { WritePrefixedText(f, partial, false, false); }), "ab");
}

}  // namespace

// The terminated-string utilities: bounded copy, joining, text blocks.
#include <gtest/gtest.h>

#include <cstring>

#include "buffers/files.h"
#include "tests/buffers/drive_env.h"

namespace {

using StringsTest = testenv::DriveTest;

TEST_F(StringsTest, BoundedCopyJoinAndTextBlocks) {
    struct Copy {
        const char* source;
        int32_t capacity;
        const char* expected;
    };
    const Copy copies[] = {
        {"abcdef", 4, "abc"}, {"abc", 4, "abc"}, {"abc", 3, "ab"}, {"abcdef", 1, ""},
        {"", 5, ""},          {nullptr, 5, ""},  {"x", 514, "x"},
    };
    for (const Copy& c : copies) {
        SCOPED_TRACE(c.source ? c.source : "(none)");
        char destination[16];
        std::memset(destination, '#', sizeof destination);
        CopyTextBounded(c.source, destination, c.capacity < 16 ? c.capacity : 16);
        EXPECT_STREQ(destination, c.expected);
        // Nothing after the terminator is written.
        size_t used = std::strlen(c.expected) + 1;
        for (size_t i = used; i < sizeof destination; ++i) EXPECT_EQ(destination[i], '#') << i;
    }
    CopyTextBounded("abc", nullptr, 4);

    struct Join {
        const char* first;
        const char* second;
        const char* expected;
    };
    const Join joins[] = {
        {"D:\\X\\", "name", "D:\\X\\name"}, {nullptr, "name", "name"}, {"dir", nullptr, "dir"},
        {"", "", ""},
    };
    for (const Join& j : joins) {
        char destination[32] = "old text";
        JoinTexts(j.first, j.second, destination);
        EXPECT_STREQ(destination, j.expected);
    }
    char both[32] = "first";
    JoinTexts(both, "+second", both);
    EXPECT_STREQ(both, "first+second");
    char second[32] = "tail";
    JoinTexts("head-", second, second);
    EXPECT_STREQ(second, "head-tail");
    JoinTexts("a", "b", nullptr);

    char* text = NewText(10);
    ASSERT_NE(text, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(text[i], 0) << "rounded up to 16 and zero-filled";
    DisposeText(text);
    DisposeText(nullptr);
    EXPECT_EQ(NewText(-1), nullptr);
}

}  // namespace

// The edge parameter table's look-ups (varno's -m and -r values) and the remembered choice read
// from the preferences file, each value on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "params/edge_table.h"
#include "params/preferences.h"
#include "params/settings.h"
#include "tests/buffers/drive_env.h"

namespace {

TEST(EdgeTable, MethodAndRadiusValues) {
    const struct {
        const char* text;
        int32_t method, radius;
    } cases[] = {
        {"traditional", 3, 0}, {"skinny", 4, 0}, {"smoother", 5, 0}, {"fine", 6, 0}, {"variable", 7, 0},
        {"3", 3, 3},           {"7", 7, 0},      {"1", 0, 1},        {"2", 0, 2},    {"8", 0, 0},
        {"0", 0, 0},           {"", 0, 0},       {"Smoother", 5, 0}, {"33", 0, 0},   {"-1", 0, 0},
        {"skinnyx", 0, 0},     {"skinn", 0, 0},  {"4 ", 0, 0},       {"FINE detail", 6, 0}, {"Skinny Lines", 4, 0},
        {"VARIABLE", 7, 0},    {"Variable width", 7, 0}, {"Variable width:", 0, 0}, {"Fine  detail", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EdgeMethodFromText(c.text), c.method) << c.text;
        EXPECT_EQ(EdgeRadiusFromText(c.text), c.radius) << c.text;
    }
    EXPECT_EQ(EdgeMethodFromText(nullptr), 0);
    EXPECT_EQ(FindEdgeMethod(2), nullptr);
    EXPECT_EQ(FindEdgeMethod(8), nullptr);
    ASSERT_NE(FindEdgeMethod(4), nullptr);
    EXPECT_STREQ(FindEdgeMethod(4)->name, "Skinny lines");
}

class RememberedChoiceTest : public testenv::DriveTest {};

// A file's method and radius reals; a length below the full file cuts it short there.
std::string PreferencesWith(float method, float radius, size_t length = kPreferencesFileSize) {
    std::string bytes(kPreferencesFileSize, '\0');
    SetSettingReal(reinterpret_cast<uint8_t*>(bytes.data()), kSettingMethod, method);
    SetSettingReal(reinterpret_cast<uint8_t*>(bytes.data()), kSettingRadius, radius);
    return bytes.substr(0, length);
}

TEST_F(RememberedChoiceTest, EachValueOnItsOwnElseItsDefault) {
    const std::string path = DrivePath("QUENpref.xxx");
    RememberedEdgeChoice choice = ReadRememberedChoice();
    EXPECT_EQ(choice.method, kDefaultMethod);  // no file
    EXPECT_EQ(choice.radius, kDefaultRadius);
    EXPECT_FALSE(testenv::Exists(path));  // and none made

    const struct {
        std::string file;
        int32_t method, radius;
    } cases[] = {
        {PreferencesWith(7.0f, 3.0f), 7, 3},
        {PreferencesWith(6.9f, 1.5f), 6, 1},  // truncated as the plug-in seeds them
        {PreferencesWith(9.0f, 3.0f), kDefaultMethod, 3},
        {PreferencesWith(4.0f, 0.5f), 4, kDefaultRadius},
        {PreferencesWith(2.99f, 4.0f), kDefaultMethod, kDefaultRadius},
        {PreferencesWith(NAN, -1.0f), kDefaultMethod, kDefaultRadius},
        {PreferencesWith(3.0f, 1e30f), 3, kDefaultRadius},
        {PreferencesWith(3.0f, 3.0f, kSettingRadius + 2), 3, kDefaultRadius},  // the radius cut short
        {PreferencesWith(3.0f, 3.0f, kSettingMethod), kDefaultMethod, kDefaultRadius},
        {std::string(), kDefaultMethod, kDefaultRadius},
    };
    for (const auto& c : cases) {
        testenv::WriteBytes(path, c.file);
        choice = ReadRememberedChoice();
        EXPECT_EQ(choice.method, c.method) << c.file.size();
        EXPECT_EQ(choice.radius, c.radius) << c.file.size();
    }
    std::remove(path.c_str());
}

}  // namespace

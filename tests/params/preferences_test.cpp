// The preferences file: first run, round trip of settings and string slots, short files, seeding
// the parameters and the unit default, and a file held by another program left intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "api/host_api.h"
#include "buffers/image_buffer.h"
#include "params/parameter_set.h"
#include "params/preferences.h"
#include "params/settings.h"
#include "tests/buffers/drive_env.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace {

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

float FloatAt(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t bits = uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
                    uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

class PreferencesTest : public testenv::DriveTest {
protected:
    std::unique_ptr<RunState> NewRun() { return std::make_unique<RunState>(); }
    std::string PrefsPath() const { return DrivePath("QUENpref.xxx"); }

    // A full preferences file: settings bytes from `fill`, slot k holding "slot k" for the given
    // slots.
    std::string MakeFile(uint8_t (*fill)(int), const std::vector<int>& slots) {
        std::string bytes(kPreferencesFileSize, '\0');
        for (int i = 0; i < 1024; ++i) bytes[size_t(i)] = char(fill(i));
        for (int i = 1024; i < 4096; ++i) bytes[size_t(50176 + i - 1024)] = char(fill(i));
        for (int k : slots) {
            std::string text = "slot " + std::to_string(k);
            bytes.replace(size_t(1024 + 1024 * k), text.size(), text);
        }
        return bytes;
    }
};

uint8_t Pattern(int i) { return uint8_t(i * 7 + 3); }

TEST_F(PreferencesTest, FirstRunMakesTheFileOnlyWhenItSaves) {
    auto run = NewRun();
    char path[kPathCapacity];
    FileHandle file = LoadPreferences(run.get(), path);
    EXPECT_EQ(file, kNoFile);
    EXPECT_STREQ(path, "c:\\QUENpref.xxx");
    EXPECT_FALSE(testenv::Exists(PrefsPath())) << "a run that fails leaves no file behind";
    EXPECT_EQ(std::vector<uint8_t>(run->settings, run->settings + kSettingsAreaSize),
              std::vector<uint8_t>(kSettingsAreaSize, 0));

    ParameterSet* set = SeedParameters(run.get());
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(GetIntegerParameter(set, 0), 0);
    EXPECT_EQ(GetIntegerParameter(set, 1), 0);
    EXPECT_EQ(Bits(GetSettingReal(run->settings, kSettingUnitCode)), Bits(6.0f));
    EXPECT_EQ(Bits(GetSettingReal(run->settings, kSettingScale)), 0x3C638E39u);
    FreeParameterSet(set);

    SetSettingReal(run->settings, kSettingMethod, 4.0f);
    SetSettingReal(run->settings, kSettingRadius, 3.0f);
    EXPECT_EQ(SavePreferences(run.get(), path, file), 0);
    std::vector<uint8_t> bytes = testenv::ReadBytes(PrefsPath());
    ASSERT_EQ(bytes.size(), size_t(kPreferencesFileSize));
    EXPECT_EQ(FloatAt(bytes, 948), 4.0f);
    EXPECT_EQ(FloatAt(bytes, 952), 3.0f);
    EXPECT_EQ(FloatAt(bytes, 8), 6.0f);
    for (int k = 0; k < 48; ++k) EXPECT_EQ(bytes[size_t(1024 + 1024 * k)], 0) << "slot " << k;
}

TEST_F(PreferencesTest, SettingsAndSlotsSurviveARoundTrip) {
    std::string install = MakeDirectory("install");
    testenv::SetInstallKey(install.c_str());
    auto run = NewRun();
    char path[kPathCapacity];
    FileHandle file = LoadPreferences(run.get(), path);
    EXPECT_EQ(std::string(path), install + "QUENpref.xxx");
    for (int i = 0; i < kSettingsAreaSize; ++i) run->settings[i] = Pattern(i);
    const std::string longest(513, 'L');
    SetStringSlot(run.get(), 0, "first");
    SetStringSlot(run.get(), 5, longest.c_str());
    SetStringSlot(run.get(), 47, std::string(800, 'x').c_str());
    SetStringSlot(run.get(), 9, "replaced");
    SetStringSlot(run.get(), 9, "ninth");
    ASSERT_EQ(SavePreferences(run.get(), path, file), 0);
    for (int k = 0; k < 48; ++k) EXPECT_EQ(run->stringSlots[k], nullptr) << "released after the save";

    std::vector<uint8_t> bytes = testenv::ReadBytes(install + "QUENpref.xxx");
    ASSERT_EQ(bytes.size(), size_t(kPreferencesFileSize));
    for (int k = 0; k < 48; ++k) EXPECT_EQ(bytes[size_t(1024 + 1024 * k + 513)], 0) << "slot " << k;
    EXPECT_FALSE(testenv::Exists(PrefsPath())) << "nothing on drive C when an install directory is set";

    auto again = NewRun();
    file = LoadPreferences(again.get(), path);
    ASSERT_NE(file, kNoFile);
    for (int i = 0; i < kSettingsAreaSize; ++i) ASSERT_EQ(again->settings[i], Pattern(i)) << i;
    EXPECT_STREQ(GetStringSlot(again.get(), 0), "first");
    EXPECT_EQ(std::string(GetStringSlot(again.get(), 5)), longest);
    EXPECT_EQ(std::string(GetStringSlot(again.get(), 47)), std::string(513, 'x'));
    EXPECT_STREQ(GetStringSlot(again.get(), 9), "ninth");
    EXPECT_STREQ(GetStringSlot(again.get(), 1), "");
    AbandonPreferences(again.get(), file);
}

TEST_F(PreferencesTest, ShortFilesGiveWhatTheyHold) {
    struct Case {
        const char* what;
        size_t length;
        std::vector<int> slotsLoaded;
        size_t settingsFromFile;  // leading bytes of the SettingsArea taken from the file
    };
    const Case cases[] = {
        {"1000 bytes: no slot, 1000 settings bytes", 1000, {}, 1000},
        {"header and two slots", 1024 + 2048, {0, 1}, 1024},
        {"complete file", size_t(kPreferencesFileSize), {0, 1, 2, 20, 47}, 4096},
        {"empty file", 0, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string full = MakeFile(Pattern, {0, 1, 2, 20, 47});
        testenv::WriteBytes(PrefsPath(), full.substr(0, c.length));
        auto run = NewRun();
        char path[kPathCapacity];
        FileHandle file = LoadPreferences(run.get(), path);
        ASSERT_NE(file, kNoFile);
        for (size_t i = 0; i < kSettingsAreaSize; ++i) {
            ASSERT_EQ(run->settings[i], i < c.settingsFromFile ? Pattern(int(i)) : 0) << i;
        }
        for (int k = 0; k < 48; ++k) {
            bool loaded = std::find(c.slotsLoaded.begin(), c.slotsLoaded.end(), k) != c.slotsLoaded.end();
            EXPECT_EQ(std::string(GetStringSlot(run.get(), k)), loaded ? "slot " + std::to_string(k) : "") << k;
        }
        AbandonPreferences(run.get(), file);
        EXPECT_EQ(testenv::ReadString(PrefsPath()), full.substr(0, c.length)) << "abandoning leaves it as it was";
    }
}

TEST_F(PreferencesTest, SlotRecordCutByTheEndOfTheFileKeepsOnlyItsOwnBytes) {
    std::string bytes = MakeFile(Pattern, {});
    bytes.replace(1024, 10, "long text ");
    bytes.replace(2048, 3, "ab\0", 3);
    testenv::WriteBytes(PrefsPath(), bytes.substr(0, 2048 + 2));
    auto run = NewRun();
    char path[kPathCapacity];
    FileHandle file = LoadPreferences(run.get(), path);
    EXPECT_STREQ(GetStringSlot(run.get(), 0), "long text ");
    EXPECT_STREQ(GetStringSlot(run.get(), 1), "ab");
    AbandonPreferences(run.get(), file);
}

TEST_F(PreferencesTest, StoredMethodAndRadiusSeedTheParametersByTruncation) {
    struct Case {
        float method, radius;
        int32_t seededMethod, seededRadius;
    };
    const Case cases[] = {{6.7f, 2.0f, 6, 2}, {6.9f, 0.5f, 6, 0}, {3.0f, 3.99f, 3, 3}, {-4.5f, 1.0f, -4, 1}};
    for (const Case& c : cases) {
        auto run = NewRun();
        SetSettingReal(run->settings, kSettingMethod, c.method);
        SetSettingReal(run->settings, kSettingRadius, c.radius);
        ParameterSet* set = SeedParameters(run.get());
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(GetIntegerParameter(set, 0), c.seededMethod);
        EXPECT_EQ(GetIntegerParameter(set, 1), c.seededRadius);
        FreeParameterSet(set);
    }
}

TEST_F(PreferencesTest, UnitDefaultReplacesOnlyZeroOrNotANumber) {
    struct Case {
        float unit;
        bool replaced;
    };
    const Case cases[] = {{0.0f, true}, {-0.0f, true}, {std::nanf(""), true}, {2.0f, false}, {6.0f, false}};
    for (const Case& c : cases) {
        auto run = NewRun();
        SetSettingReal(run->settings, kSettingUnitCode, c.unit);
        SetSettingReal(run->settings, kSettingScale, 5.0f);
        FreeParameterSet(SeedParameters(run.get()));
        EXPECT_EQ(Bits(GetSettingReal(run->settings, kSettingUnitCode)), c.replaced ? Bits(6.0f) : Bits(c.unit));
        EXPECT_EQ(Bits(GetSettingReal(run->settings, kSettingScale)), c.replaced ? 0x3C638E39u : Bits(5.0f));
    }
    // Out of memory: no set, but the default still applies.
    auto run = NewRun();
    FailMemoryBlocksAfter(1, true);
    EXPECT_EQ(SeedParameters(run.get()), nullptr);
    FailMemoryBlocksAfter(0, false);
    EXPECT_EQ(GetSettingReal(run->settings, kSettingUnitCode), 6.0f);
}

TEST_F(PreferencesTest, AFileHeldByAnotherProgramIsNeitherReadNorReplaced) {
    std::string original = MakeFile(Pattern, {3});
    testenv::WriteBytes(PrefsPath(), original);
    FileHandle other = kNoFile;
    ASSERT_EQ(FileOpen("c:\\QUENpref.xxx", &other), 0);

    auto run = NewRun();
    char path[kPathCapacity];
    FileHandle file = LoadPreferences(run.get(), path);
    EXPECT_EQ(file, kNoFile);
    EXPECT_EQ(run->settings[0], 0);
    SetSettingReal(run->settings, kSettingMethod, 7.0f);
    SetStringSlot(run.get(), 2, "new");
    EXPECT_EQ(SavePreferences(run.get(), path, file), 0);
    EXPECT_EQ(run->stringSlots[2], nullptr);
    EXPECT_EQ(FileClose(other), 0);
    EXPECT_EQ(testenv::ReadString(PrefsPath()), original);
}

TEST_F(PreferencesTest, SaveWithoutAHandleRecreatesTheFile) {
    testenv::WriteBytes(PrefsPath(), std::string(100, 'z'));
    auto run = NewRun();
    char path[kPathCapacity] = "c:\\QUENpref.xxx";
    SetStringSlot(run.get(), 1, "one");
    run->settings[4095] = 0x5A;
    EXPECT_EQ(SavePreferences(run.get(), path, kNoFile), 0);
    std::vector<uint8_t> bytes = testenv::ReadBytes(PrefsPath());
    ASSERT_EQ(bytes.size(), size_t(kPreferencesFileSize));
    EXPECT_EQ(std::string(bytes.begin() + 2048, bytes.begin() + 2052), std::string("one\0", 4));
    EXPECT_EQ(bytes.back(), 0x5A);
}

#ifndef _WIN32
// Through a symbolic link: the link's target is replaced and cut to its layout, and the link stays.
TEST_F(PreferencesTest, ALongerFileIsCutToItsLayoutByTheFirstSaveThroughItsLink) {
    std::string longer = MakeFile(Pattern, {}) + std::string(5000, 'T');
    testenv::WriteBytes(DrivePath("real.xxx"), longer);
    std::filesystem::create_symlink("real.xxx", PrefsPath());
    auto run = NewRun();
    char path[kPathCapacity];
    FileHandle file = LoadPreferences(run.get(), path);
    ASSERT_EQ(SavePreferences(run.get(), path, file), 0);
    std::string bytes = testenv::ReadString(DrivePath("real.xxx"));
    ASSERT_EQ(bytes.size(), size_t(kPreferencesFileSize));
    EXPECT_EQ(bytes.substr(0, 1024), longer.substr(0, 1024));
    EXPECT_TRUE(std::filesystem::is_symlink(PrefsPath()));
}
#endif

Boolean PIAPI StopNow(void) { return 1; }

// Another program's run holds the file: the load waits for it; when the user stops the run first,
// the run goes on with the defaults and leaves the file alone. Nothing goes into the error string:
// a host reads it only after a run that fails with -30904.
TEST_F(PreferencesTest, ABusyFileIsWaitedForUnlessTheRunIsStopped) {
    for (const bool stop : {false, true}) {
        testenv::WriteBytes(PrefsPath(), MakeFile(Pattern, {}));
        FileHandle held = kNoFile;
        ASSERT_EQ(FileOpen(PrefsPath().c_str(), &held), 0);
        std::thread release([&] { std::this_thread::sleep_for(std::chrono::milliseconds(300)), FileClose(held); });
        SelectionRecord host = {};
        unsigned char errorString[256] = {};
        host.errorString = &errorString, host.abortProc = stop ? StopNow : nullptr;
        auto run = NewRun();
        run->host = &host;
        char path[kPathCapacity];
        FileHandle file = LoadPreferences(run.get(), path);
        release.join();
        EXPECT_EQ(run->settings[5], stop ? 0 : Pattern(5)) << stop;
        EXPECT_EQ(errorString[0], 0) << stop;
        SetStringSlot(run.get(), 2, "changed");
        SavePreferences(run.get(), path, file);
        EXPECT_EQ(testenv::ReadString(PrefsPath()).substr(3072, 7) == "changed", !stop) << stop;
    }
}


TEST_F(PreferencesTest, StringSlotsIgnoreIndicesOutsideTheTable) {
    auto run = NewRun();
    SetStringSlot(run.get(), -1, "no");
    SetStringSlot(run.get(), 48, "no");
    EXPECT_STREQ(GetStringSlot(run.get(), -1), "");
    EXPECT_STREQ(GetStringSlot(run.get(), 48), "");
    SetStringSlot(run.get(), 3, "three");
    SetStringSlot(run.get(), 3, nullptr);
    EXPECT_STREQ(GetStringSlot(run.get(), 3), "");
    SetStringSlot(nullptr, 0, "x");
    EXPECT_STREQ(GetStringSlot(nullptr, 0), "");
    SetStringSlot(run.get(), 4, "four");
    AbandonPreferences(run.get(), kNoFile);
    EXPECT_EQ(run->stringSlots[4], nullptr);
}

// `size` bytes that end right before a page no access may touch: a read past them faults.
class GuardedBytes {
public:
    explicit GuardedBytes(size_t size) : size_(size) {
#if defined(_WIN32)
        base_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (base_) VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old);
#else
        void* pages = mmap(nullptr, 2 * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base_ = pages == MAP_FAILED ? nullptr : static_cast<char*>(pages);
        if (base_) mprotect(base_ + kPage, kPage, PROT_NONE);
#endif
    }
    ~GuardedBytes() {
#if defined(_WIN32)
        if (base_) VirtualFree(base_, 0, MEM_RELEASE);
#else
        if (base_) munmap(base_, 2 * kPage);
#endif
    }
    char* data() const { return base_ ? base_ + kPage - size_ : nullptr; }

private:
    static constexpr size_t kPage = 65536;
    size_t size_;
    char* base_ = nullptr;
};

TEST_F(PreferencesTest, SlotTextsAreReadOnlyAsFarAsTheirRecord) {
    // A record without a zero byte gives its first 513 characters; nothing beyond it is read.
    GuardedBytes record(1024);
    ASSERT_NE(record.data(), nullptr);
    std::memset(record.data(), 'R', 1024);
    auto run = NewRun();
    SetStringSlot(run.get(), 7, record.data());
    EXPECT_EQ(std::string(GetStringSlot(run.get(), 7)), std::string(513, 'R'));
    AbandonPreferences(run.get(), kNoFile);

    // The same through the file: no record holds a zero byte, and the loaded texts stop at 513.
    std::string bytes(kPreferencesFileSize, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(1 + (i * 131 + i / 7) % 255);
    testenv::WriteBytes(PrefsPath(), bytes);
    char path[kPathCapacity];
    FileHandle file = LoadPreferences(run.get(), path);
    ASSERT_NE(file, kNoFile);
    for (int k = 0; k < 48; ++k) {
        ASSERT_EQ(std::string(GetStringSlot(run.get(), k)), bytes.substr(size_t(1024 + 1024 * k), 513)) << k;
    }
    AbandonPreferences(run.get(), file);
}

}  // namespace

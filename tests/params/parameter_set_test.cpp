// The ParameterSet: big-endian layout, entry operations, capacity, and the plug-in's own set
// seeded from the SettingsArea.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "plugin/plugin.h"
#include "params/parameter_set.h"
#include "params/settings.h"

namespace {

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> bytes;
    for (uint32_t w : words) {
        bytes.push_back(uint8_t(w >> 24));
        bytes.push_back(uint8_t(w >> 16));
        bytes.push_back(uint8_t(w >> 8));
        bytes.push_back(uint8_t(w));
    }
    return bytes;
}

std::vector<uint8_t> Slice(const ParameterSet* set, size_t from, size_t count) {
    const uint8_t* bytes = ParameterSetBytes(set);
    return std::vector<uint8_t>(bytes + from, bytes + from + count);
}

std::unique_ptr<RunState> RunWithSettings(float method, float radius) {
    auto run = std::make_unique<RunState>();
    std::memset(run.get(), 0, sizeof(RunState));
    SetSettingReal(run->settings, kSettingMethod, method);
    SetSettingReal(run->settings, kSettingRadius, radius);
    return run;
}

TEST(ParameterSet, BuiltSetHasDocumentedBytesMostSignificantFirst) {
    auto run = RunWithSettings(5.0f, 2.0f);
    ParameterSet* set = BuildEdgeParameters(run.get());
    ASSERT_NE(set, nullptr);
    // Header: 3 unused words, inputs 2, outputs 0, 'edgS', needs-mask 0, no-writeback 0, 4 unused.
    EXPECT_EQ(Slice(set, 0, 48), Words({0, 0, 0, 2, 0, 0x65646753, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(set, 20, 4), (std::vector<uint8_t>{'e', 'd', 'g', 'S'}));
    EXPECT_EQ(Slice(set, 48, 24), Words({0x4564674D, 0x72423435, 1, 3, 7, 5}));
    EXPECT_EQ(Slice(set, 48, 8), (std::vector<uint8_t>{'E', 'd', 'g', 'M', 'r', 'B', '4', '5'}));
    EXPECT_EQ(Slice(set, 72, 24), Words({0x65646752, 0x6C6F6E67, 1, 1, 3, 2}));
    // The rest of the 22 units stays zero.
    std::vector<uint8_t> rest = Slice(set, 96, 22 * 24 - 96);
    EXPECT_EQ(rest, std::vector<uint8_t>(rest.size(), 0));

    EXPECT_EQ(ParameterInputCount(set), 2);
    EXPECT_EQ(ParameterOutputCount(set), 0);
    EXPECT_EQ(ParameterSignature(set), kSignatureEdges);
    EXPECT_EQ(ParameterNeedsMask(set), 0);
    EXPECT_EQ(ParameterNoWriteback(set), 0);
    EXPECT_EQ(ParameterKey(set, 0), kKeyMethod);
    EXPECT_EQ(ParameterType(set, 0), kTypeMethodEnum);
    EXPECT_EQ(ParameterPresent(set, 0), 1);
    EXPECT_EQ(ParameterMin(set, 0), 3);
    EXPECT_EQ(ParameterMax(set, 0), 7);
    EXPECT_EQ(ParameterKey(set, 1), kKeyRadius);
    EXPECT_EQ(ParameterType(set, 1), kTypeLong);
    EXPECT_EQ(ParameterMin(set, 1), 1);
    EXPECT_EQ(ParameterMax(set, 1), 3);
    FreeParameterSet(set);
}

struct SeedCase {
    float method;
    float radius;
    int32_t expectedMethod;
    int32_t expectedRadius;
};

TEST(ParameterSet, StoredRealsAreTruncatedTowardZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const SeedCase cases[] = {
        {0.0f, 0.0f, 0, 0},  // a fresh SettingsArea: the later defaults take over
        {6.9f, 0.5f, 6, 0},
        {3.0f, 1.0f, 3, 1},
        {7.999f, 2.9999f, 7, 2},
        {-2.5f, -0.7f, -2, 0},
        {100.0f, 4.0f, 100, 4},  // out of range values are kept; the dispatcher validates
        // A damaged file: no undefined conversion, the nearest representable integer instead.
        {nan, 1e20f, 0, std::numeric_limits<int32_t>::max()},
        {-1e20f, -std::numeric_limits<float>::infinity(), std::numeric_limits<int32_t>::min(),
         std::numeric_limits<int32_t>::min()},
    };
    for (const SeedCase& c : cases) {
        auto run = RunWithSettings(c.method, c.radius);
        ParameterSet* set = BuildEdgeParameters(run.get());
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(GetIntegerParameter(set, 0), c.expectedMethod) << "method " << c.method;
        EXPECT_EQ(GetIntegerParameter(set, 1), c.expectedRadius) << "radius " << c.radius;
        FreeParameterSet(set);
    }
}

TEST(ParameterSet, ValuesRoundTripThroughBigEndianWords) {
    ParameterSet* set = CreateParameterSet(3);
    ASSERT_NE(set, nullptr);
    InitParameterSet(set, 0x41424344, 1, 0);
    ASSERT_EQ(AddIntegerParameter(set, 0x6B657931, -10, 10, 0), 0);
    const int32_t values[] = {-5, 0, 1, 0x12345678, std::numeric_limits<int32_t>::min(),
                              std::numeric_limits<int32_t>::max()};
    for (int32_t v : values) {
        SetIntegerParameter(set, 0, v);
        EXPECT_EQ(GetIntegerParameter(set, 0), v);
        EXPECT_EQ(Slice(set, 48 + 20, 4), Words({uint32_t(v)})) << v;
    }
    EXPECT_EQ(ParameterMin(set, 0), -10);
    EXPECT_EQ(Slice(set, 48 + 12, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xF6}));
    FreeParameterSet(set);
}

TEST(ParameterSet, InitialiseKeepsLowByteOfFlagsAndResetsCounts) {
    ParameterSet* set = CreateParameterSet(4);
    ASSERT_NE(set, nullptr);
    InitParameterSet(set, kSignatureEdges, 0, 0);
    AddIntegerParameter(set, kKeyRadius, 1, 3, 2);
    const struct {
        int32_t needsMask, noWriteback, expectedMask, expectedNoWriteback;
    } cases[] = {{1, 0, 1, 0}, {0, 1, 0, 1}, {0x1FF, 256, 0xFF, 0}, {-1, 0x101, 0xFF, 1}};
    for (const auto& c : cases) {
        InitParameterSet(set, 0x11223344, c.needsMask, c.noWriteback);
        EXPECT_EQ(ParameterNeedsMask(set), c.expectedMask);
        EXPECT_EQ(ParameterNoWriteback(set), c.expectedNoWriteback);
        EXPECT_EQ(ParameterInputCount(set), 0);
        EXPECT_EQ(ParameterOutputCount(set), 0);
        EXPECT_EQ(ParameterSignature(set), 0x11223344u);
        EXPECT_EQ(Slice(set, 20, 4), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));
    }
    FreeParameterSet(set);
}

TEST(ParameterSet, AddingAppendsInputsInOrderWithTheirTypes) {
    ParameterSet* set = CreateParameterSet(kParameterUnits);
    ASSERT_NE(set, nullptr);
    InitParameterSet(set, kSignatureEdges, 0, 0);
    EXPECT_EQ(AddTypedParameter(set, 0x61616161, 0x72420001, 0, 1, 1), 0);
    EXPECT_EQ(AddIntegerParameter(set, 0x62626262, -3, 3, -2), 1);
    EXPECT_EQ(AddTypedParameter(set, 0x63636363, 0x646F7562, 0, 0, 9), 2);
    EXPECT_EQ(ParameterInputCount(set), 3);
    EXPECT_EQ(Slice(set, 48 + 24, 24), Words({0x62626262, 0x6C6F6E67, 1, uint32_t(-3), 3, uint32_t(-2)}));
    EXPECT_EQ(ParameterType(set, 0), 0x72420001u);
    EXPECT_EQ(ParameterType(set, 2), 0x646F7562u);
    EXPECT_EQ(ParameterPresent(set, 2), 1);
    FreeParameterSet(set);
}

TEST(ParameterSet, EnumerationTypesAreThoseStartingWithrB) {
    EXPECT_TRUE(IsEnumerationType(kTypeMethodEnum));
    EXPECT_TRUE(IsEnumerationType(0x72420000));
    EXPECT_TRUE(IsEnumerationType(0x7242FFFF));
    EXPECT_FALSE(IsEnumerationType(0x72410000));
    EXPECT_FALSE(IsEnumerationType(0x72430000));
    EXPECT_FALSE(IsEnumerationType(kTypeLong));
    EXPECT_FALSE(IsEnumerationType(0x52423435));  // 'RB45'
}

TEST(ParameterSet, FullSetRefusesFurtherEntriesInsteadOfOverrunning) {
    ParameterSet* set = CreateParameterSet(kParameterUnits);
    ASSERT_NE(set, nullptr);
    InitParameterSet(set, kSignatureEdges, 0, 0);
    for (int32_t i = 0; i < kParameterUnits - 2; ++i) {
        EXPECT_EQ(AddIntegerParameter(set, 0x6B000000u + uint32_t(i), 0, 100, i), i);
    }
    EXPECT_EQ(AddIntegerParameter(set, 0x6B6B6B6B, 0, 1, 1), -1);
    EXPECT_EQ(ParameterInputCount(set), kParameterUnits - 2);
    EXPECT_EQ(GetIntegerParameter(set, kParameterUnits - 3), kParameterUnits - 3);
    // Indices outside the block read as 0 and are not written.
    SetIntegerParameter(set, kParameterUnits - 2, 77);
    SetIntegerParameter(set, -1, 77);
    EXPECT_EQ(GetIntegerParameter(set, kParameterUnits - 2), 0);
    EXPECT_EQ(GetIntegerParameter(set, -1), 0);
    EXPECT_EQ(ParameterKey(set, 1000), 0u);
    FreeParameterSet(set);

    ParameterSet* headerOnly = CreateParameterSet(2);
    ASSERT_NE(headerOnly, nullptr);
    InitParameterSet(headerOnly, kSignatureEdges, 0, 0);
    EXPECT_EQ(AddIntegerParameter(headerOnly, kKeyRadius, 1, 3, 2), -1);
    EXPECT_EQ(ParameterInputCount(headerOnly), 0);
    FreeParameterSet(headerOnly);
}

TEST(ParameterSet, CreationFailsForTooFewUnitsOrNoMemory) {
    EXPECT_EQ(CreateParameterSet(1), nullptr);
    EXPECT_EQ(CreateParameterSet(0), nullptr);
    EXPECT_EQ(CreateParameterSet(-5), nullptr);
    EXPECT_EQ(CreateParameterSet(std::numeric_limits<int32_t>::max()), nullptr);

    LiveResources before = CountLiveResources();
    auto run = RunWithSettings(5.0f, 2.0f);
    FailMemoryBlocksAfter(1, false);
    EXPECT_EQ(BuildEdgeParameters(run.get()), nullptr);
    FailMemoryBlocksAfter(0, false);
    EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks);

    ParameterSet* set = BuildEdgeParameters(run.get());
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks + 1);
    FreeParameterSet(set);
    FreeParameterSet(nullptr);
    EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks);
}

}  // namespace

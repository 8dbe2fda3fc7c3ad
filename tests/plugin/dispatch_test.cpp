// The method step: a choice that names none of the five methods is the default choice, run,
// recorded and remembered as such.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "plugin/dispatch.h"
#include "plugin/plugin.h"
#include "params/parameter_set.h"
#include "params/settings.h"

namespace {

struct Outcome {
    std::vector<uint8_t> mask;
    int32_t method, radius;
    float storedMethod, storedRadius;
};

// Runs the step on a small grey picture with a diagonal edge.
Outcome Dispatch(int32_t method, int32_t radius) {
    constexpr int16_t kWidth = 9, kHeight = 7;
    ImageBuffer* image = nullptr;
    ImageBuffer* mask = nullptr;
    EXPECT_EQ(CreateImageBuffer("picture", kWidth, kHeight, 1, &image), 0);
    EXPECT_EQ(CreateImageBuffer("mask", kWidth, kHeight, 1, &mask), 0);
    for (int32_t r = 0; r < kHeight; ++r) {
        uint8_t row[kWidth];
        for (int32_t c = 0; c < kWidth; ++c) row[c] = c > r ? 220 : 30;
        WriteBufferRow(image, 0, r, kWidth, row);
    }
    auto run = std::make_unique<RunState>();
    run->width = kWidth;
    run->height = kHeight;
    run->planes = 1;
    run->maskImage = mask;
    ParameterSet* set = BuildEdgeParameters(run.get());
    PluginHandle* choice = CreatePluginHandle(sizeof(EdgeChoice));
    *static_cast<EdgeChoice*>(choice->data) = {method, radius};

    EXPECT_EQ(DispatchEdgeMethod(image, run.get(), choice, set), 0);
    Outcome outcome = {std::vector<uint8_t>(kWidth * kHeight), GetIntegerParameter(set, 0), GetIntegerParameter(set, 1),
                       GetSettingReal(run->settings, kSettingMethod), GetSettingReal(run->settings, kSettingRadius)};
    for (int32_t r = 0; r < kHeight; ++r) ReadBufferRow(mask, 0, r, kWidth, &outcome.mask[size_t(r * kWidth)]);
    FreeParameterSet(set);
    DisposePluginHandle(choice);
    DisposeImageBuffer(image);
    DisposeImageBuffer(mask);
    return outcome;
}

TEST(Dispatch, AChoiceOfNoMethodIsTheDefaultChoice) {
    const Outcome smoother = Dispatch(kMethodSmoother, 2);
    ASSERT_EQ(smoother.method, 5);
    const Outcome traditional = Dispatch(kMethodTraditional, 2);
    ASSERT_NE(traditional.mask, smoother.mask) << "the picture tells the methods apart";
    const struct {
        int32_t method, radius;
    } choices[] = {{0, 3}, {8, 2}, {2, 1}, {-1, 3}, {99, 0}, {INT32_MIN, 2}};
    for (const auto& c : choices) {
        const Outcome outcome = Dispatch(c.method, c.radius);
        EXPECT_EQ(outcome.mask, smoother.mask) << c.method;
        EXPECT_EQ(outcome.method, 5) << c.method;
        EXPECT_EQ(outcome.radius, 2) << c.method;
        EXPECT_EQ(outcome.storedMethod, 5.0f) << c.method;
        EXPECT_EQ(outcome.storedRadius, 2.0f) << c.method;
    }
}

}  // namespace

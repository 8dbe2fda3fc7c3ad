// Running a method by its number: each number reaches its method (Variable width with its
// radius), and a run without a progress pair computes the same bytes as one whose
// host watches, with progress asked for.
#include <gtest/gtest.h>

#include <functional>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"

namespace {

using namespace edgetest;

struct NumberCase {
    int32_t method;
    int32_t radius;
    int16_t (*direct)(ImageBuffer*, const ProgressPair*, int32_t);  // none: Variable width
};

const NumberCase kNumbers[] = {
    {kMethodTraditional, 2, FindEdgesTraditional}, {kMethodSkinnyLines, 2, FindEdgesSkinnyLines},
    {kMethodSmoother, 2, FindEdgesSmoother},       {kMethodFineDetail, 2, FindEdgesFineDetail},
    {kMethodVariableWidth, 1, nullptr},            {kMethodVariableWidth, 2, nullptr},
    {kMethodVariableWidth, 3, nullptr},
};

Image Applied(const Image& in, const std::function<int16_t(ImageBuffer*)>& method) {
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    EXPECT_EQ(method(buffer), 0);
    Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    return out;
}

TEST(RunEdgeMethod, EachNumberRunsItsMethodAndNeedsNoProgressPair) {
    const Image in = PhotoLike(37, 23, 3, 11);
    for (const NumberCase& c : kNumbers) {
        SCOPED_TRACE(testing::Message() << "method " << c.method << " radius " << c.radius);
        FakeRun watched;
        const Image byNumber = Applied(in, [&](ImageBuffer* b) { return RunEdgeMethod(c.method, c.radius, b, &watched.progress, 1); });
        EXPECT_FALSE(watched.Steps().empty());
        const Image direct = Applied(in, [&](ImageBuffer* b) {
            return c.direct ? c.direct(b, nullptr, 0) : FindEdgesVariableWidth(b, nullptr, c.radius, 0);
        });
        EXPECT_EQ(byNumber.bytes, direct.bytes);
        EXPECT_NE(byNumber.bytes, in.bytes);
        const Image unwatched = Applied(in, [&](ImageBuffer* b) { return RunEdgeMethod(c.method, c.radius, b, nullptr, 1); });
        EXPECT_EQ(unwatched.bytes, byNumber.bytes);
    }
    const Image untouched = Applied(in, [](ImageBuffer* b) { return RunEdgeMethod(8, 2, b, nullptr, 1); });
    EXPECT_EQ(untouched.bytes, in.bytes);
}

}  // namespace

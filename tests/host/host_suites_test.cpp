// The host's records and callbacks, exercised by a stand-in plug-in whose Execute runs a script
// given by each test. The descriptor suites are in descriptor_suites_test.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "host/handles.h"
#include "host/run.h"
#include "tests/host/scripted_plugin.h"

namespace {

using namespace hosttest;

const ReadChannelDesc* Composite(SelectionRecord* record) { return record->documentInfo->targetCompositeChannels; }

TEST(HostRecords, DescribeTheDocumentByMode) {
    struct Case {
        int32_t mode;
        int32_t depth;
        std::vector<int16_t> types;
    };
    const Case cases[] = {
        {1, 8, {7}},        {3, 8, {1, 2, 3}},    {4, 8, {4, 5, 6, 7}},    {9, 8, {8, 9, 10}},
        {10, 16, {7}},      {11, 16, {1, 2, 3}},  {12, 16, {8, 9, 10}},    {13, 16, {4, 5, 6, 7}},
        {2, 8, {12}},       {0, 8, {13}},         {8, 8, {11}},            {5, 8, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        Document document;
        std::string error;
        std::vector<std::vector<uint16_t>> planes(c.types.size(), std::vector<uint16_t>(6, 1));
        ASSERT_TRUE(varno::MakeDocument(c.mode, 3, 2, planes, &document, &error)) << error;
        RunScript(&document, [&](SelectionRecord* record) -> int16_t {
            const ReadImageDocumentDesc* info = record->documentInfo;
            EXPECT_EQ(info->imageMode, c.mode);
            EXPECT_EQ(info->depth, c.depth);
            EXPECT_EQ(info->bounds.bottom, 2);
            EXPECT_EQ(info->bounds.right, 3);
            EXPECT_EQ(info->selection, nullptr);
            std::vector<int16_t> types;
            for (const ReadChannelDesc* channel = Composite(record); channel; channel = channel->next) {
                types.push_back(channel->channelType);
                EXPECT_NE(channel->port, nullptr);
                EXPECT_EQ(channel->depth, c.depth);
            }
            EXPECT_EQ(types, c.types) << "mode " << c.mode;
            return 0;
        });
    }
}

TEST(HostRecords, OfferTheSuitesOfTheApi) {
    Document document = Grey5x4();
    std::string error;
    ASSERT_TRUE(varno::SetSelection(&document, std::vector<uint8_t>(20, 9), &error));
    RunReport report = RunScript(&document, [](SelectionRecord* record) -> int16_t {
        EXPECT_EQ(record->hostSig, FourCC("8BIM"));
        EXPECT_EQ(record->handleProcs->handleProcsVersion, 1);
        EXPECT_EQ(record->handleProcs->numHandleProcs, 8);
        EXPECT_NE(record->handleProcs->disposeRegularHandleProc, nullptr);
        EXPECT_EQ(record->channelPortProcs->channelPortProcsVersion, 1);
        EXPECT_EQ(record->channelPortProcs->numChannelPortProcs, 3);
        const PIDescriptorParameters* scripting = record->descriptorParameters;
        EXPECT_EQ(scripting->descriptorParametersVersion, 0);
        EXPECT_EQ(scripting->playInfo, 0);
        EXPECT_EQ(scripting->descriptor, nullptr);
        EXPECT_EQ(scripting->readDescriptorProcs->readDescriptorProcsVersion, 0);
        EXPECT_EQ(scripting->readDescriptorProcs->numReadDescriptorProcs, 18);
        EXPECT_NE(scripting->readDescriptorProcs->getPinnedUnitFloatProc, nullptr);
        EXPECT_EQ(scripting->writeDescriptorProcs->writeDescriptorProcsVersion, 0);
        EXPECT_EQ(scripting->writeDescriptorProcs->numWriteDescriptorProcs, 16);
        EXPECT_NE(scripting->writeDescriptorProcs->putScopedObjectProc, nullptr);
        EXPECT_NE(record->platformData, nullptr);
        EXPECT_NE(record->newSelection->port, nullptr);
        EXPECT_EQ(record->newSelection->depth, 8);
        EXPECT_EQ(record->documentInfo->selection->channelType, 19);
        EXPECT_EQ(record->documentInfo->selection->depth, 8);
        return 0;
    });
    EXPECT_EQ(report.result, 0);
}

struct ReadCase {
    const char* what;
    VRect request;
    int32_t rowBits, colBits, bitOffset, depth;
    OSErr result;
    VRect wrote;
    std::vector<int> bytes;  // the destination afterwards, -1 for untouched
};

TEST(ReadPixels, CopiesWhatOverlapsTheChannel) {
    const ReadCase cases[] = {
        {"one row", {1, 0, 2, 5}, 40, 8, 0, 8, 0, {1, 0, 2, 5}, {10, 11, 12, 13, 14}},
        {"past the right edge", {1, 3, 2, 8}, 40, 8, 0, 8, 0, {1, 3, 2, 5}, {13, 14, -1, -1, -1}},
        {"before the left edge", {0, -2, 1, 2}, 32, 8, 0, 8, 0, {0, 0, 1, 2}, {-1, -1, 0, 1}},
        {"below the channel", {9, 0, 10, 5}, 40, 8, 0, 8, 0, {0, 0, 0, 0}, {-1, -1, -1, -1, -1}},
        {"two rows", {1, 1, 3, 3}, 16, 8, 0, 8, 0, {1, 1, 3, 3}, {11, 12, 21, 22}},
        {"every other byte", {2, 0, 3, 3}, 48, 16, 0, 8, 0, {2, 0, 3, 3}, {20, -1, 21, -1, 22, -1}},
        {"byte offset", {3, 3, 4, 5}, 24, 8, 8, 8, 0, {3, 3, 4, 5}, {-1, 33, 34}},
        {"16-bit samples", {0, 0, 1, 5}, 80, 16, 0, 16, -30914, {-1, -1, -1, -1}, {-1}},
        {"1-bit samples", {0, 0, 1, 5}, 8, 1, 0, 1, -30914, {-1, -1, -1, -1}, {-1}},
        {"half-byte columns", {0, 0, 1, 5}, 40, 4, 0, 8, -30912, {-1, -1, -1, -1}, {-1}},
        {"row of 12 bits", {0, 0, 1, 1}, 12, 8, 0, 8, -30911, {-1, -1, -1, -1}, {-1}},
        {"bit offset 4", {0, 0, 1, 1}, 8, 8, 4, 8, -30913, {-1, -1, -1, -1}, {-1}},
    };
    for (const ReadCase& c : cases) {
        Document document = Grey5x4();
        RunScript(&document, [&](SelectionRecord* record) -> int16_t {
            std::vector<uint8_t> destination(c.bytes.size(), 0xEE);
            PixelMemoryDesc memory = {destination.data(), c.rowBits, c.colBits, c.bitOffset, c.depth};
            PSScaling scaling = {c.request, c.request};
            VRect wrote = {-1, -1, -1, -1};
            const OSErr result = record->channelPortProcs->readPixelsProc(Composite(record)->port, &scaling, &c.request,
                                                                          &memory, &wrote);
            EXPECT_EQ(result, c.result) << c.what;
            EXPECT_EQ(wrote.top, c.wrote.top) << c.what;
            EXPECT_EQ(wrote.left, c.wrote.left) << c.what;
            EXPECT_EQ(wrote.bottom, c.wrote.bottom) << c.what;
            EXPECT_EQ(wrote.right, c.wrote.right) << c.what;
            for (size_t i = 0; i < c.bytes.size(); ++i)
                EXPECT_EQ(int(destination[i]), c.bytes[i] < 0 ? 0xEE : c.bytes[i]) << c.what << " byte " << i;
            return 0;
        });
    }
}

TEST(ReadPixels, RefusesScalingAndPortsItDidNotHandOut) {
    Document document = Grey5x4();
    RunScript(&document, [](SelectionRecord* record) -> int16_t {
        uint8_t row[10] = {};
        PixelMemoryDesc memory = {row, 80, 8, 0, 8};
        const VRect rect = {0, 0, 1, 5};
        const PSScaling halved = {{0, 0, 2, 10}, rect};
        VRect wrote;
        ReadPixelsProc read = record->channelPortProcs->readPixelsProc;
        EXPECT_EQ(read(Composite(record)->port, &halved, &rect, &memory, &wrote), -50);
        int stranger = 0;
        EXPECT_EQ(read(reinterpret_cast<PIChannelPort>(&stranger), nullptr, &rect, &memory, &wrote), -30910);
        EXPECT_EQ(read(record->newSelection->port, nullptr, &rect, &memory, &wrote), -30910);
        // Without a scaling record the read is unscaled.
        EXPECT_EQ(read(Composite(record)->port, nullptr, &rect, &memory, &wrote), 0);
        EXPECT_EQ(row[4], 4);
        return 0;
    });
}

TEST(ReadPixels, SixteenBitSamplesAreReducedToEightBits) {
    const uint16_t wide[] = {0, 128, 129, 32767, 32768, 51400, 65534, 65535};
    const uint8_t narrow[] = {0, 0, 1, 127, 128, 200, 255, 255};
    Document document;
    std::string error;
    ASSERT_TRUE(varno::MakeDocument(10, 8, 1, {std::vector<uint16_t>(wide, wide + 8)}, &document, &error));
    RunScript(&document, [&](SelectionRecord* record) -> int16_t {
        uint8_t row[8] = {};
        PixelMemoryDesc memory = {row, 64, 8, 0, 8};
        const VRect rect = {0, 0, 1, 8};
        VRect wrote;
        EXPECT_EQ(record->channelPortProcs->readPixelsProc(Composite(record)->port, nullptr, &rect, &memory, &wrote), 0);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(row[i], narrow[i]) << wide[i];
        return 0;
    });
}

TEST(ReadPixels, PartialDeliveryForTests) {
    Document document = Grey5x4();
    std::string error;
    ASSERT_TRUE(varno::SetSelection(&document, std::vector<uint8_t>(20, 77), &error));
    RunOptions options;
    options.partial.firstColumn = 1;
    options.partial.endColumn = 3;
    options.partial.skipRowPeriod = 2;
    options.partial.skipRowPhase = 1;
    options.partial.composite = true;
    RunScript(
        &document,
        [](SelectionRecord* record) -> int16_t {
            uint8_t rows[20];
            PixelMemoryDesc memory = {rows, 40, 8, 0, 8};
            ReadPixelsProc read = record->channelPortProcs->readPixelsProc;
            struct {
                VRect request, wrote;
            } cases[] = {
                {{0, 0, 1, 5}, {0, 1, 1, 3}},
                {{1, 0, 2, 5}, {0, 0, 0, 0}},  // a skipped row: nothing at all
                {{2, 0, 4, 5}, {2, 1, 3, 3}},  // delivery stops before the skipped row 3
            };
            for (const auto& c : cases) {
                VRect wrote;
                std::memset(rows, 0, sizeof rows);
                EXPECT_EQ(read(Composite(record)->port, nullptr, &c.request, &memory, &wrote), 0);
                EXPECT_EQ(wrote.top, c.wrote.top);
                EXPECT_EQ(wrote.left, c.wrote.left);
                EXPECT_EQ(wrote.bottom, c.wrote.bottom);
                EXPECT_EQ(wrote.right, c.wrote.right);
            }
            // The selection channel was not asked to deliver partially.
            const VRect all = {0, 0, 4, 5};
            VRect wrote;
            EXPECT_EQ(read(record->documentInfo->selection->port, nullptr, &all, &memory, &wrote), 0);
            EXPECT_EQ(wrote.bottom, 4);
            EXPECT_EQ(wrote.right, 5);
            EXPECT_EQ(rows[19], 77);
            return 0;
        },
        options);
}

TEST(WriteBasePixels, StoresWhatOverlapsTheNewSelection) {
    Document document = Grey5x4();
    RunReport report = RunScript(&document, [](SelectionRecord* record) -> int16_t {
        WriteBasePixelsProc write = record->channelPortProcs->writeBasePixelsProc;
        PIChannelPort port = record->newSelection->port;
        // Before anything is written the new selection reads as all zero (the host makes it later).
        PIChannelPort early = nullptr;
        EXPECT_EQ(record->channelPortProcs->readPortForWritePortProc(&early, port), 0);
        uint8_t blank[5] = {9, 9, 9, 9, 9};
        PixelMemoryDesc blankMemory = {blank, 40, 8, 0, 8};
        const VRect first = {0, 0, 1, 5};
        EXPECT_EQ(record->channelPortProcs->readPixelsProc(early, nullptr, &first, &blankMemory, nullptr), 0);
        EXPECT_EQ(std::vector<uint8_t>(blank, blank + 5), std::vector<uint8_t>(5, 0));
        uint8_t source[6] = {1, 2, 3, 4, 5, 6};
        PixelMemoryDesc memory = {source, 48, 8, 0, 8};
        const VRect clipped = {1, -1, 2, 5};
        EXPECT_EQ(write(port, &clipped, &memory), 0);
        const VRect outside = {7, 0, 8, 5};
        EXPECT_EQ(write(port, &outside, &memory), 0);
        PixelMemoryDesc wide = {source, 48, 16, 0, 16};
        EXPECT_EQ(write(port, &clipped, &wide), -30914);
        EXPECT_EQ(write(Composite(record)->port, &clipped, &memory), -30910);

        // The new selection reads back through the read port the host gives for it.
        PIChannelPort back = nullptr;
        EXPECT_EQ(record->channelPortProcs->readPortForWritePortProc(&back, port), 0);
        uint8_t row[5] = {};
        PixelMemoryDesc into = {row, 40, 8, 0, 8};
        const VRect second = {1, 0, 2, 5};
        VRect wrote;
        EXPECT_EQ(record->channelPortProcs->readPixelsProc(back, nullptr, &second, &into, &wrote), 0);
        EXPECT_EQ(std::vector<uint8_t>(row, row + 5), (std::vector<uint8_t>{2, 3, 4, 5, 6}));
        return 0;
    });
    EXPECT_EQ(report.rowsWritten, 1);
    std::vector<uint8_t> expected(20, 0);
    for (int c = 0; c < 5; ++c) expected[size_t(5 + c)] = uint8_t(2 + c);
    EXPECT_TRUE(document.hasSelection);
    EXPECT_EQ(document.selection, expected);
}

TEST(HostRun, OnlyASuccessfulRunReplacesTheSelection) {
    for (int16_t result : {int16_t(0), int16_t(-128), int16_t(-30915), int16_t(5)}) {
        Document document = Grey5x4();
        std::string error;
        ASSERT_TRUE(varno::SetSelection(&document, std::vector<uint8_t>(20, 40), &error));
        RunReport report = RunScript(&document, [result](SelectionRecord* record) -> int16_t {
            uint8_t source[5] = {255, 255, 255, 255, 255};
            PixelMemoryDesc memory = {source, 40, 8, 0, 8};
            for (int32_t r = 0; r < 4; ++r) {
                const VRect row = {r, 0, r + 1, 5};
                record->channelPortProcs->writeBasePixelsProc(record->newSelection->port, &row, &memory);
            }
            return result;
        });
        EXPECT_EQ(report.result, result);
        EXPECT_EQ(report.rowsWritten, 4);
        EXPECT_EQ(document.selection, std::vector<uint8_t>(20, result == 0 ? 255 : 40)) << result;
    }
}

TEST(HostRun, AboutFailureSkipsExecute) {
    Document document = Grey5x4();
    varno::PluginInstance plugin;
    plugin.entry = [](int16_t selector, void*, intptr_t*, int16_t* result) { *result = selector == 0 ? -108 : 0; };
    RunReport report;
    EXPECT_EQ(varno::RunPlugin(&plugin, &document, {}, &report), -108);
    EXPECT_EQ(report.aboutResult, -108);
    EXPECT_FALSE(report.executed);
}

TEST(HostCallbacks, AbortAnswersStopFromTheChosenCall) {
    Document document = Grey5x4();
    RunOptions options;
    options.abortAfter = 3;
    std::vector<std::pair<int32_t, int32_t>> reported;  // what a host's own bar receives
    options.progress = [&](int32_t done, int32_t total) { reported.emplace_back(done, total); };
    std::vector<int> answers;
    RunReport report = RunScript(
        &document,
        [&](SelectionRecord* record) -> int16_t {
            for (int i = 0; i < 5; ++i) answers.push_back(record->abortProc() ? 1 : 0);
            record->progressProc(3, 6);
            record->progressProc(7, 6);
            return 0;
        },
        options);
    EXPECT_EQ(answers, (std::vector<int>{0, 0, 1, 1, 1}));
    EXPECT_EQ(report.abortCalls, 5);
    EXPECT_EQ(report.progressCalls, 2);
    EXPECT_FALSE(report.progressWithinTotal);
    EXPECT_EQ(reported, (std::vector<std::pair<int32_t, int32_t>>{{3, 6}, {7, 6}}));

    const std::atomic<int> interrupt{1};
    RunOptions interrupted;
    interrupted.interrupt = &interrupt;
    answers.clear();
    RunScript(
        &document,
        [&](SelectionRecord* record) -> int16_t {
            answers.push_back(record->abortProc());
            return 0;
        },
        interrupted);
    EXPECT_EQ(answers, std::vector<int>{1});
}

TEST(HostHandles, BehaveLikeTheApisHandles) {
    const int32_t live = varno::LiveHostHandles();
    HandleProcs* procs = varno::HostHandleProcs();
    Handle handle = procs->newProc(10);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(procs->getSizeProc(handle), 10);
    char* data = procs->lockProc(handle, 0);
    ASSERT_EQ(data, *handle);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(data[i], 0);
    std::memcpy(data, "0123456789", 10);
    EXPECT_EQ(procs->setSizeProc(handle, 20), 0);
    EXPECT_EQ(procs->getSizeProc(handle), 20);
    EXPECT_EQ(std::memcmp(*handle, "0123456789", 10), 0);
    EXPECT_EQ(procs->setSizeProc(handle, 4), 0);
    EXPECT_EQ(varno::HostHandleBytes(handle), (std::vector<uint8_t>{'0', '1', '2', '3'}));
    EXPECT_EQ(procs->setSizeProc(handle, -1), -108);
    EXPECT_EQ(procs->newProc(-1), nullptr);
    EXPECT_EQ(varno::LiveHostHandles(), live + 1);

    // A handle the host never made is left alone and counted.
    char* stray = nullptr;
    const int32_t foreign = varno::ForeignDisposals();
    procs->disposeProc(&stray);
    EXPECT_EQ(varno::ForeignDisposals(), foreign + 1);
    EXPECT_EQ(procs->getSizeProc(&stray), 0);
    EXPECT_EQ(procs->setSizeProc(&stray, 3), -109);
    procs->disposeProc(nullptr);

    const uint64_t serial = varno::HostHandleSerial(handle);
    procs->disposeProc(handle);
    EXPECT_EQ(varno::LiveHostHandles(), live);
    Handle again = procs->newProc(1);
    EXPECT_NE(varno::HostHandleSerial(again), serial);  // even at the same address
    procs->disposeRegularHandleProc(again);
    EXPECT_EQ(varno::LiveHostHandles(), live);
}

TEST(HostRun, CountsHandlesThePlugInLeaves) {
    Document document = Grey5x4();
    Handle left = nullptr;
    RunReport report = RunScript(&document, [&left](SelectionRecord* record) -> int16_t {
        left = record->handleProcs->newProc(8);
        return 0;
    });
    EXPECT_EQ(report.handlesLeft, 1);
    varno::DisposeHostHandle(left);
}

}  // namespace

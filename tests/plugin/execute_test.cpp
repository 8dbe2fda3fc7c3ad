// The driver refuses what it cannot handle before it reads or allocates anything, and releases
// everything on every early failure.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "plugin/execute.h"

namespace {

int progressCalls;
void PIAPI CountProgress(int32_t, int32_t) { ++progressCalls; }
OSErr PIAPI NoRead(PIChannelPort, const PSScaling*, const VRect*, const PixelMemoryDesc*, VRect*) { return 0; }
OSErr PIAPI NoWrite(PIChannelPort, const VRect*, const PixelMemoryDesc*) { return 0; }

// A host whose document has the given mode and bounds and whose channel list holds `types`.
struct MinimalHost {
    ChannelPortProcs ports = {1, 3, NoRead, NoWrite, nullptr};
    ReadImageDocumentDesc document = {};
    ReadChannelDesc channels[4] = {};
    WriteChannelDesc newSelection = {};
    SelectionRecord record = {};

    MinimalHost(int32_t mode, int32_t width, int32_t height, std::initializer_list<int16_t> types) {
        int32_t i = 0;
        for (int16_t type : types) {
            channels[i].channelType = type;
            channels[i].port = reinterpret_cast<PIChannelPort>(&channels[i]);
            if (i > 0) channels[i - 1].next = &channels[i];
            ++i;
        }
        document.imageMode = mode;
        document.depth = 8;
        document.bounds = {0, 0, height, width};
        document.targetCompositeChannels = i ? channels : nullptr;
        newSelection.port = reinterpret_cast<PIChannelPort>(&newSelection);
        record.progressProc = CountProgress;
        record.channelPortProcs = &ports;
        record.documentInfo = &document;
        record.newSelection = &newSelection;
    }

    int16_t Run() {
        PersistentBlock block = {};
        return Execute(&block, &record);
    }
};

bool Released(const LiveResources& before) {
    const LiveResources after = CountLiveResources();
    return after.memoryBlocks == before.memoryBlocks && after.pluginHandles == before.pluginHandles &&
           after.mappings == before.mappings;
}

TEST(Execute, DocumentsTheRecordCannotDescribeAreRefusedBeforeAnythingHappens) {
    const struct {
        int32_t width, height;
    } sizes[] = {{0, 10}, {10, 0}, {-5, 10}, {32768, 1}, {1, 32768}, {70000, 70000}};
    for (const auto& size : sizes) {
        MinimalHost host(kModeGrayScale, size.width, size.height, {kChannelBlack});
        const LiveResources before = CountLiveResources();
        progressCalls = 0;
        EXPECT_EQ(host.Run(), kErrBadParameters) << size.width << " x " << size.height;
        EXPECT_EQ(progressCalls, 0);
        EXPECT_TRUE(Released(before));
    }
}

TEST(Execute, AHostWithoutChannelPortsOrNewSelectionIsInsufficient) {
    MinimalHost noPorts(kModeGrayScale, 4, 4, {kChannelBlack});
    noPorts.record.channelPortProcs = nullptr;
    EXPECT_EQ(noPorts.Run(), kErrHostInsufficient);

    MinimalHost noWriter(kModeGrayScale, 4, 4, {kChannelBlack});
    noWriter.ports.writeBasePixelsProc = nullptr;
    EXPECT_EQ(noWriter.Run(), kErrHostInsufficient);

    MinimalHost noSelection(kModeGrayScale, 4, 4, {kChannelBlack});
    noSelection.record.newSelection = nullptr;
    EXPECT_EQ(noSelection.Run(), kErrHostInsufficient);

    MinimalHost noDocument(kModeGrayScale, 4, 4, {kChannelBlack});
    noDocument.record.documentInfo = nullptr;
    EXPECT_EQ(noDocument.Run(), kErrBadParameters);
}

TEST(Execute, AMissingChannelEndsTheRunAfterTheSelectionRead) {
    const struct {
        int32_t mode;
        std::initializer_list<int16_t> types;
    } cases[] = {
        {kModeGrayScale, {}},
        {kModeRGB, {kChannelRed, kChannelGreen}},
        {kModeCMYK64, {kChannelCyan, kChannelMagenta, kChannelYellow}},
        {kModeLab, {kChannelL, kChannelB}},
    };
    for (const auto& c : cases) {
        MinimalHost host(c.mode, 5, 3, c.types);
        const LiveResources before = CountLiveResources();
        progressCalls = 0;
        EXPECT_EQ(host.Run(), kErrChannelMissing) << "mode " << c.mode;
        EXPECT_EQ(progressCalls, 3) << "one report per selection row";
        EXPECT_TRUE(Released(before));
    }
}

TEST(Execute, UnsupportedModesAndDepthsAreRefusedWhateverTheirChannels) {
    const struct {
        int32_t mode, depth;
    } cases[] = {{0, 1}, {2, 8}, {5, 8}, {6, 8}, {7, 8}, {8, 8}, {14, 16}, {15, 16}, {16, 32}, {17, 32},
                 {kModeRGB, 32}, {kModeGrayScale, 1}, {kModeLab48, 32}};
    for (const auto& c : cases) {
        MinimalHost host(c.mode, 5, 3, {kChannelRed, kChannelGreen, kChannelBlue, kChannelBlack});
        host.document.depth = c.depth;
        const LiveResources before = CountLiveResources();
        progressCalls = 0;
        EXPECT_EQ(host.Run(), kErrUnsupportedMode) << "mode " << c.mode << " depth " << c.depth;
        EXPECT_EQ(progressCalls, 0) << "refused before anything is read";
        EXPECT_TRUE(Released(before));
    }
}

TEST(Execute, ADocumentTooLargeIsReportedInTheHostsErrorString) {
    for (const auto& size : {std::pair{40000, 1}, std::pair{1, 32768}}) {
        MinimalHost host(kModeRGB, size.first, size.second, {kChannelRed, kChannelGreen, kChannelBlue});
        unsigned char text[256] = {};
        host.record.errorString = &text;
        EXPECT_EQ(host.Run(), kErrReportString);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(text + 1), text[0]),
                  "The document is larger than 32767 pixels on a side.");
    }
}

}  // namespace

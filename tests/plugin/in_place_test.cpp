// Rows read into place and written from place: the selection and the document arrive in the image
// buffers' rows exactly as the host delivered them (colour rows interleaved at every width around
// the vector groups, undelivered columns filled), the mask made in place holds the bytes of the
// region copy followed by the inversion, and the host receives the mask's rows as they are.
#include <gtest/gtest.h>

#include <vector>

#include "buffers/image_buffer.h"
#include "buffers/region.h"
#include "plugin/pixels.h"
#include "plugin/selection_output.h"

namespace {

// One plane of the fake host's document, width x height samples; columns from `delivered` on are
// never delivered.
struct Plane {
    std::vector<uint8_t> samples;
    int32_t width = 0;
    int32_t delivered = 1 << 30;
};

bool servesColumnLayouts = true;  // false: a host that takes only one plane packed in a row

OSErr PIAPI ReadPlane(PIChannelPort port, const PSScaling*, const VRect* area, const PixelMemoryDesc* memory,
                      VRect* wrote) {
    if (!servesColumnLayouts && (memory->colBits != 8 || memory->bitOffset != 0)) return -30912;
    const Plane* plane = reinterpret_cast<const Plane*>(port);
    const int32_t right = area->right < plane->delivered ? area->right : plane->delivered;
    auto* out = static_cast<uint8_t*>(memory->data) + memory->bitOffset / 8;
    const int32_t step = memory->colBits / 8;
    for (int32_t x = area->left; x < right; ++x)
        out[x * step] = plane->samples[size_t(area->top) * plane->width + x];
    *wrote = {area->top, area->left, area->top + 1, right};
    return 0;
}

std::vector<uint8_t> written;  // the rows the host received, one after the other

OSErr PIAPI WritePlane(PIChannelPort, const VRect* area, const PixelMemoryDesc* memory) {
    const auto* row = static_cast<const uint8_t*>(memory->data);
    written.insert(written.end(), row + area->left, row + area->right);
    return 0;
}

struct FakeHost {
    ChannelPortProcs ports = {1, 3, ReadPlane, WritePlane, nullptr};
    Plane planes[3];
    ReadChannelDesc channels[3] = {};
    WriteChannelDesc newSelection = {};
    SelectionRecord record = {};
    RowBuffers rows = {};
    std::vector<uint8_t> rowBytes[4];

    FakeHost(int32_t width, int32_t height, int32_t count) {
        const int16_t types[3] = {count == 1 ? kChannelBlack : kChannelRed, kChannelGreen, kChannelBlue};
        for (int32_t c = 0; c < count; ++c) {
            planes[c].width = width;
            for (int32_t i = 0; i < width * height; ++i) planes[c].samples.push_back(uint8_t(i * (c + 3) * 37 >> 2));
            channels[c].channelType = types[c];
            channels[c].port = reinterpret_cast<PIChannelPort>(&planes[c]);
            if (c > 0) channels[c - 1].next = &channels[c];
        }
        record.channelPortProcs = &ports;
        record.newSelection = &newSelection;
        for (int32_t i = 0; i < 4; ++i) {
            rowBytes[i].assign(size_t(6 * width), 0xEE);
            rows.row[i] = rowBytes[i].data();
            rows.desc[i] = {rows.row[i], 8 * width, 8, 0, 8};
        }
    }
};

const int32_t kWidths[] = {1, 2, 7, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100};

TEST(InPlace, ColourRowsAreInterleavedIntoTheImageAtEveryWidth) {
    for (bool serves : {true, false}) {
        servesColumnLayouts = serves;
        for (int32_t width : kWidths) {
            const int32_t height = 3;
            FakeHost host(width, height, 3);
            host.planes[1].delivered = width / 2;  // green's right half never arrives: it stays 0
            ImageBuffer* image = nullptr;
            ASSERT_EQ(CreateImageBuffer("Proxy", width, height, 3, &image), 0);
            ReadDocument(&host.record, host.channels, kModeRGB, &host.rows, image, width, height);
            for (int32_t y = 0; y < height; ++y) {
                const uint8_t* row = BufferRow(image, y);
                for (int32_t i = 0; i < 3 * width; ++i) {
                    const bool lost = i % 3 == 1 && i / 3 >= width / 2;
                    ASSERT_EQ(row[i], lost ? 0 : host.planes[i % 3].samples[size_t(y) * width + i / 3])
                        << width << " " << y << " " << i << " " << serves;
                }
            }
            DisposeImageBuffer(image);
        }
    }
    servesColumnLayouts = true;
}

TEST(InPlace, UndeliveredColumnsAreWhiteInGreyDocumentsAndUnselectedInTheSelection) {
    const int32_t width = 40, height = 2;
    FakeHost host(width, height, 1);
    host.planes[0].delivered = 25;
    ImageBuffer *image = nullptr, *mask = nullptr;
    ASSERT_EQ(CreateImageBuffer("Proxy", width, height, 1, &image), 0);
    ASSERT_EQ(CreateImageBuffer("Proxy", width, height, 1, &mask), 0);
    ReadDocument(&host.record, host.channels, kModeGrayScale, &host.rows, image, width, height);
    ReadSelection(&host.record, host.channels, &host.rows, mask, width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t sample = host.planes[0].samples[size_t(y) * width + x];
            EXPECT_EQ(BufferRow(image, y)[x], x < 25 ? sample : 255) << x;
            EXPECT_EQ(BufferRow(mask, y)[x], x < 25 ? sample : 0) << x;
        }
    }
    // Without a selection channel everything is selected.
    ReadSelection(&host.record, nullptr, &host.rows, mask, width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) EXPECT_EQ(BufferRow(mask, y)[x], 255);
    DisposeImageBuffer(image);
    DisposeImageBuffer(mask);
}

TEST(InPlace, TheMaskHoldsTheRegionCopyInvertedAndGoesToTheHostAsItIs) {
    for (int32_t planes : {1, 3}) {
        for (int32_t width : kWidths) {
            const int32_t height = 3;
            ImageBuffer *image = nullptr, *mask = nullptr, *expected = nullptr;
            ASSERT_EQ(CreateImageBuffer("Proxy", width, height, planes, &image), 0);
            ASSERT_EQ(CreateImageBuffer("Proxy", width, height, 1, &mask), 0);
            ASSERT_EQ(CreateImageBuffer("Proxy", width, height, 1, &expected), 0);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t i = 0; i < planes * width; ++i) BufferRow(image, y)[i] = uint8_t((i * 53 + y * 101) ^ (i >> 2));
            const Rect16 whole = {0, 0, int16_t(height), int16_t(width)};
            CopyBufferRegion(image, expected, whole, 0, 0);
            InvertBufferRegion(expected, whole);

            ConvertIntoMask(image, mask, width, height);
            FakeHost host(width, height, 1);
            written.clear();
            WriteSelectionBack(&host.record, mask, &host.rows, width, height);
            std::vector<uint8_t> rows;
            for (int32_t y = 0; y < height; ++y) {
                rows.insert(rows.end(), BufferRow(expected, y), BufferRow(expected, y) + width);
                EXPECT_EQ(std::vector<uint8_t>(BufferRow(mask, y), BufferRow(mask, y) + width),
                          std::vector<uint8_t>(BufferRow(expected, y), BufferRow(expected, y) + width))
                    << planes << " planes, width " << width << ", row " << y;
            }
            EXPECT_EQ(written, rows) << planes << " planes, width " << width;
            DisposeImageBuffer(image);
            DisposeImageBuffer(mask);
            DisposeImageBuffer(expected);
        }
    }
}

}  // namespace

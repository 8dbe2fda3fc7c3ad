// Named image buffers: layout, clipping of row access, the unmapped state, checked sizes, fixed
// names and their stale files, and the bordered scratch image.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "buffers/image_buffer.h"
#include "tests/buffers/drive_env.h"

namespace {

using testenv::DriveTest;

class ImageBufferTest : public DriveTest {};

int16_t HeaderWord(const ImageBuffer* buffer, int index) {
    return int16_t(buffer->view[2 * index] | buffer->view[2 * index + 1] << 8);
}

TEST_F(ImageBufferTest, FreshBufferHasItsHeaderAndZeroPixels) {
    struct Case {
        int16_t width, height, planes;
        uint32_t rowBytes, mappingSize;
    };
    const Case cases[] = {
        {3, 2, 3, 9, 24}, {1, 1, 1, 1, 7}, {7, 5, 1, 7, 41}, {1000, 3, 3, 3000, 9006}, {4, 0, 1, 4, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.planes);
        ImageBuffer* buffer = nullptr;
        ASSERT_EQ(CreateImageBuffer("Proxy", c.width, c.height, c.planes, &buffer), 0);
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(buffer->mapped, 1);
        EXPECT_EQ(buffer->rowBytes, c.rowBytes);
        EXPECT_EQ(buffer->mappingSize, c.mappingSize);
        EXPECT_EQ(HeaderWord(buffer, 0), c.planes);
        EXPECT_EQ(HeaderWord(buffer, 1), c.width);
        EXPECT_EQ(HeaderWord(buffer, 2), c.height);
        EXPECT_EQ(std::vector<uint8_t>(buffer->view + 6, buffer->view + c.mappingSize),
                  std::vector<uint8_t>(c.mappingSize - 6, 0));
        BufferShape shape = {-1, -1, -1};
        GetBufferShape(buffer, &shape);
        EXPECT_EQ(shape.planes, c.planes);
        EXPECT_EQ(shape.width, c.width);
        EXPECT_EQ(shape.height, c.height);
        DisposeImageBuffer(buffer);
    }
}

TEST_F(ImageBufferTest, RowsFollowEachOtherAfterTheHeader) {
    ImageBuffer* buffer = nullptr;
    ASSERT_EQ(CreateImageBuffer("Proxy", 3, 2, 3, &buffer), 0);
    const uint8_t row0[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const uint8_t row1[9] = {11, 12, 13, 14, 15, 16, 17, 18, 19};
    WriteBufferRow(buffer, 0, 0, 9, row0);
    WriteBufferRow(buffer, 0, 1, 9, row1);
    EXPECT_EQ(std::memcmp(buffer->view + 6, row0, 9), 0);
    EXPECT_EQ(std::memcmp(buffer->view + 15, row1, 9), 0);
    uint8_t back[9] = {};
    ReadBufferRow(buffer, 3, 1, 6, back);
    EXPECT_EQ(std::memcmp(back, row1 + 3, 6), 0);
    DisposeImageBuffer(buffer);
}

TEST_F(ImageBufferTest, RowAddressesLieInsideTheRowsAndNowhereElse) {
    ImageBuffer* buffer = nullptr;
    ASSERT_EQ(CreateImageBuffer("Proxy", 3, 2, 3, &buffer), 0);
    uint8_t* row0 = BufferRow(buffer, 0);
    uint8_t* row1 = BufferRow(buffer, 1);
    EXPECT_EQ(row0, buffer->view + 6);
    EXPECT_EQ(row1, buffer->view + 15);
    // Bytes written in place are the row's, as the row operations see them.
    for (uint8_t i = 0; i < 9; ++i) row1[i] = uint8_t(40 + i);
    uint8_t back[9] = {};
    ReadBufferRow(buffer, 0, 1, 9, back);
    for (uint8_t i = 0; i < 9; ++i) EXPECT_EQ(back[i], 40 + i);
    for (int32_t row : {-1, 2, 32767}) EXPECT_EQ(BufferRow(buffer, row), nullptr) << row;
    DisposeImageBuffer(buffer);

    EXPECT_EQ(BufferRow(nullptr, 0), nullptr);
    ImageBuffer* unmapped = nullptr;
    EXPECT_EQ(CreateImageBuffer("Kirsch", -4, 3, 1, &unmapped), -36);
    EXPECT_EQ(BufferRow(unmapped, 0), nullptr);
    DisposeImageBuffer(unmapped);
}

// A 4-byte-wide, 3-row buffer; each case writes (or reads) a run of 0xAA bytes and names the
// bytes of the whole pixel area it must have touched.
TEST_F(ImageBufferTest, RowRunsAreCutAtTheRowEndAndOutsideRunsMoveNothing) {
    struct Case {
        const char* what;
        int32_t column, row, count;
        int32_t firstTouched;  // offset in the pixel area, -1 for none
        int32_t touched;
    };
    const Case cases[] = {
        {"whole row", 0, 1, 4, 4, 4},
        {"run inside", 1, 1, 2, 5, 2},
        {"run past the row end is cut", 2, 1, 10, 6, 2},
        {"count far too large", 0, 0, 0x7FFFFFFF, 0, 4},
        {"last row", 0, 2, 4, 8, 4},
        {"negative row", 0, -1, 4, -1, 0},
        {"negative column", -1, 1, 4, -1, 0},
        {"row at height", 0, 3, 4, -1, 0},
        {"row far beyond", 0, 100000, 4, -1, 0},
        {"column at the row end", 4, 1, 4, -1, 0},
        {"column beyond the row end", 5, 1, 4, -1, 0},
        {"negative count", 0, 1, -3, -1, 0},
        {"zero count", 0, 1, 0, -1, 0},
    };
    std::vector<uint8_t> source(64, 0xAA);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageBuffer* buffer = nullptr;
        ASSERT_EQ(CreateImageBuffer("Proxy", 4, 3, 1, &buffer), 0);
        WriteBufferRow(buffer, c.column, c.row, c.count < 64 ? c.count : 64, source.data());
        if (c.count > 64) WriteBufferRow(buffer, c.column, c.row, c.count, source.data());
        for (int32_t i = 0; i < 12; ++i) {
            bool inside = c.firstTouched >= 0 && i >= c.firstTouched && i < c.firstTouched + c.touched;
            EXPECT_EQ(buffer->view[6 + i], inside ? 0xAA : 0) << "byte " << i;
        }
        // Reading the same run gives back exactly the bytes that were stored, and no more.
        std::vector<uint8_t> back(64, 0x55);
        ReadBufferRow(buffer, c.column, c.row, c.count < 64 ? c.count : 64, back.data());
        for (int32_t i = 0; i < 64; ++i) EXPECT_EQ(back[i], i < c.touched ? 0xAA : 0x55) << "read " << i;
        DisposeImageBuffer(buffer);
    }
}

TEST_F(ImageBufferTest, ShapesThatCannotBeMappedGiveTheUnmappedState) {
    struct Case {
        const char* what;
        int16_t width, height, planes;
        int16_t code;
    };
    const Case cases[] = {
        {"more bytes than 32 bits hold", 32767, 32767, 5, -36},
        {"negative width", -4, 3, 1, -36},
        {"negative planes", 4, 3, -1, -36},
        {"negative height", 4, -3, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LiveResources before = CountLiveResources();
        ImageBuffer* buffer = nullptr;
        EXPECT_EQ(CreateImageBuffer("Kirsch", c.width, c.height, c.planes, &buffer), c.code);
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(buffer->mapped, 0);
        EXPECT_EQ(CountLiveResources().mappings, before.mappings);
        uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        WriteBufferRow(buffer, 0, 0, 8, bytes);
        uint8_t back[8] = {9, 9, 9, 9, 9, 9, 9, 9};
        ReadBufferRow(buffer, 0, 0, 8, back);
        for (uint8_t b : back) EXPECT_EQ(b, 9);
        BufferShape shape = {7, 7, 7};
        GetBufferShape(buffer, &shape);
        EXPECT_EQ(shape.planes, 7);
        EXPECT_EQ(shape.width, 7);
        EXPECT_EQ(shape.height, 7);
        DisposeImageBuffer(buffer);
    }
}

TEST_F(ImageBufferTest, LargeBufferKeepsItsLastRow) {
    ImageBuffer* buffer = nullptr;
    ASSERT_EQ(CreateImageBuffer("c:\\BackingS.xxx", 3000, 1000, 3, &buffer), 0);
    ASSERT_EQ(buffer->mapped, 1);
    EXPECT_EQ(buffer->mappingSize, 9000006u);
    std::vector<uint8_t> row(9000);
    for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 7);
    WriteBufferRow(buffer, 0, 999, 9000, row.data());
    std::vector<uint8_t> back(9000, 0);
    ReadBufferRow(buffer, 0, 999, 9000, back.data());
    EXPECT_EQ(back, row);
    ReadBufferRow(buffer, 0, 998, 9000, back.data());
    EXPECT_EQ(back, std::vector<uint8_t>(9000, 0));
    DisposeImageBuffer(buffer);
}

TEST_F(ImageBufferTest, RecordThatCannotBeAllocatedIsNone) {
    ImageBuffer* buffer = reinterpret_cast<ImageBuffer*>(this);
    LiveResources before = CountLiveResources();
    FailMemoryBlocksAfter(1, false);
    EXPECT_EQ(CreateImageBuffer("Canny", 4, 4, 1, &buffer), -108);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(CountLiveResources().mappings, before.mappings);
}

TEST_F(ImageBufferTest, OperationsOnNoBufferDoNothing) {
    uint8_t bytes[4] = {1, 2, 3, 4};
    ReadBufferRow(nullptr, 0, 0, 4, bytes);
    WriteBufferRow(nullptr, 0, 0, 4, bytes);
    BufferShape shape = {5, 6, 7};
    GetBufferShape(nullptr, &shape);
    DisposeImageBuffer(nullptr);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(shape.planes, 5);
}

TEST_F(ImageBufferTest, FixedNamesResolveAndLoseTheirStaleFiles) {
    std::string install = MakeDirectory("install");
    testenv::SetInstallKey(install.c_str());
    struct Case {
        const char* name;
        const char* file;
        int which;  // 0 CreateImageBuffer, 1 CreateMaskBuffer, 2 CreateBackingBuffer
    };
    const Case cases[] = {
        {"c:\\MaskImag.xxx", "MaskImag.xxx", 0},
        {"C:\\BackingS.xxx", "BackingS.xxx", 0},
        {nullptr, "MaskImag.xxx", 1},
        {nullptr, "BackingS.xxx", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string stale = install + c.file;
        testenv::WriteBytes(stale, "stale");
        ImageBuffer* buffer = nullptr;
        int16_t code = c.which == 1   ? CreateMaskBuffer(4, 2, 1, &buffer)
                       : c.which == 2 ? CreateBackingBuffer(4, 2, 3, &buffer)
                                      : CreateImageBuffer(c.name, 4, 2, 1, &buffer);
        ASSERT_EQ(code, 0);
        EXPECT_EQ(std::string(buffer->path), stale);
        EXPECT_FALSE(testenv::Exists(stale)) << "created";
        testenv::WriteBytes(stale, "again");
        // The stored path is used at disposal, even when the install directory has changed.
        testenv::SetInstallKey(MakeDirectory("elsewhere").c_str());
        DisposeImageBuffer(buffer);
        EXPECT_FALSE(testenv::Exists(stale)) << "disposed";
        testenv::SetInstallKey(install.c_str());
    }
}

TEST_F(ImageBufferTest, FixedNameWithoutInstallDirectoryStaysAndItsDriveFileGoes) {
    testenv::WriteBytes(DrivePath("MaskImag.xxx"), "stale");
    ImageBuffer* buffer = nullptr;
    ASSERT_EQ(CreateMaskBuffer(2, 2, 1, &buffer), 0);
    EXPECT_STREQ(buffer->path, "c:\\MaskImag.xxx");
    EXPECT_FALSE(testenv::Exists(DrivePath("MaskImag.xxx")));
    DisposeImageBuffer(buffer);
}

TEST_F(ImageBufferTest, PlainNamesTouchNoFile) {
    std::string install = MakeDirectory("install");
    testenv::SetInstallKey(install.c_str());
    std::filesystem::current_path(Root());
    const char* names[] = {"Canny", "FreiChen", "Kirsch", "Proxy"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        testenv::WriteBytes(Root() + testenv::kSeparator + name, "keep");
        testenv::WriteBytes(install + name, "keep");
        ImageBuffer* buffer = nullptr;
        ASSERT_EQ(CreateImageBuffer(name, 3, 3, 1, &buffer), 0);
        EXPECT_STREQ(buffer->path, name);
        DisposeImageBuffer(buffer);
        EXPECT_EQ(testenv::ReadString(Root() + testenv::kSeparator + name), "keep");
        EXPECT_EQ(testenv::ReadString(install + name), "keep");
    }
}

TEST_F(ImageBufferTest, LongNamesAreCutToThePathBuffer) {
    std::string name(700, 'n');
    ImageBuffer* buffer = nullptr;
    ASSERT_EQ(CreateImageBuffer(name.c_str(), 1, 1, 1, &buffer), 0);
    EXPECT_EQ(std::string(buffer->path), std::string(513, 'n'));
    DisposeImageBuffer(buffer);
}

TEST_F(ImageBufferTest, ScratchBufferHasABorderOrIsRefused) {
    struct Case {
        int32_t width, height;
        int16_t planes;
        int16_t code;
        bool made;
    };
    const Case cases[] = {
        {10, 5, 1, 0, true},         {10, 5, 3, 0, true},        {0, 0, 1, 0, true},
        {32766, 1, 1, 0, true},      {1, 32767, 1, 0, true},     {32767, 2, 3, 0, true},
        {32768, 1, 1, -108, false},  {1, 32768, 1, -108, false}, {-1, 4, 1, -108, false},
        {4, -1, 1, -108, false},     {4, 4, 0, -108, false},     {32767, 32767, 5, -36, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.planes);
        ImageBuffer* buffer = reinterpret_cast<ImageBuffer*>(this);
        LiveResources before = CountLiveResources();
        EXPECT_EQ(CreateScratchBuffer("FreiChen", c.width, c.height, c.planes, &buffer), c.code);
        if (!c.made) {
            EXPECT_EQ(buffer, nullptr);
            EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks);
            continue;
        }
        ASSERT_NE(buffer, nullptr);
        BufferShape shape = {};
        GetBufferShape(buffer, &shape);
        EXPECT_EQ(shape.width, c.width + 2);
        EXPECT_EQ(shape.height, c.height + 2);
        EXPECT_EQ(shape.planes, c.planes);
        DisposeImageBuffer(buffer);
    }
}

}  // namespace

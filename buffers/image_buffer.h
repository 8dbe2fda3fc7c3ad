// Named image buffers: rectangular arrays of bytes in an anonymous, zero-filled, read/write memory
// mapping (the paging file on Windows), reached through create, dispose, shape query, row
// read/write and, for work on rows in place, the address of a row.
//
// Layout of the mapped bytes, little-endian: planes, width, height as 16-bit values at 0, 2, 4;
// then `height` rows of rowBytes = width x planes bytes, row r at 6 + r x rowBytes. The bytes of
// one pixel lie together (planes 3 = interleaved R, G, B). Sizes are 32-bit everywhere else, so
// that the bordered scratch image of a document 32767 pixels wide (32769 columns) is described
// exactly; the header's fields hold them up to 65535, and a larger side or plane count is refused.
//
// Contract: CreateImageBuffer hands back the record as soon as it exists, also with a non-zero
// code; a buffer whose mapping could not be made is "unmapped" (no storage: reads leave the
// destination as it was, writes store nothing). Size arithmetic is checked: a shape whose bytes do
// not fit the address space is the unmapped state, never a smaller buffer. Row operations are
// clipped to the row and move nothing for rows or columns outside the buffer. Names of the form
// c:\NAME resolve through the install-path rule, and a stale file at the resolved name is deleted
// on creation and on disposal. Every operation accepts a buffer that is none and then does nothing.
#pragma once

#include <cstdint>

constexpr int32_t kPathCapacity = 514;

struct BufferShape {
    int32_t planes;
    int32_t width;
    int32_t height;
};

struct ImageBuffer {
    intptr_t mapping;  // platform handle of the mapping (0 when none)
    uint32_t rowBytes;
    uint8_t mapped;
    BufferShape shape;
    uint32_t mappingSize;
    uint8_t* view;  // the header; pixel data follow at +6
    char path[kPathCapacity];
    uint8_t fixedName;  // 1 when created under a c:\NAME name: disposal deletes the file at `path`
};

// Codes: 0 success (also an unmapped buffer with no rows), -108 the record could not be
// allocated (*buffer is none), -36 the mapping could not be made.
int16_t CreateImageBuffer(const char* name, int32_t width, int32_t height, int32_t planes,
                          ImageBuffer** buffer);
int16_t CreateBackingBuffer(int32_t width, int32_t height, int32_t planes, ImageBuffer** buffer);
int16_t CreateMaskBuffer(int32_t width, int32_t height, int32_t planes, ImageBuffer** buffer);

// A method's bordered scratch image of (width + 2) x (height + 2) pixels of `planes` bytes.
// Refuses (-108, *buffer none) a document wider or higher than a host can describe (32767), and
// negative sizes or planes below 1; otherwise CreateImageBuffer's code, with a failed
// mapping disposed of and *buffer none. A document of 0 columns or 0 rows is accepted: its scratch
// image is the 2-pixel border alone, and a method that loops over no rows then does nothing.
int16_t CreateScratchBuffer(const char* name, int32_t width, int32_t height, int32_t planes,
                            ImageBuffer** buffer);

void DisposeImageBuffer(ImageBuffer* buffer);
void GetBufferShape(const ImageBuffer* buffer, BufferShape* shape);
void ReadBufferRow(const ImageBuffer* buffer, int32_t column, int32_t row, int32_t count, void* destination);
void WriteBufferRow(ImageBuffer* buffer, int32_t column, int32_t row, int32_t count, const void* source);

// Row access in place, for the callers that convert rows into a buffer or work on it without
// copying rows in and out: the address of the first of the rowBytes bytes of row `row`, or none
// for a buffer that is none or unmapped, or a row outside 0 .. height - 1 (callers test for none).
// The address stays valid until the buffer is disposed of. A caller reads and writes only those
// rowBytes bytes through it: never the header or another row, which it asks for by its own number.
uint8_t* BufferRow(const ImageBuffer* buffer, int32_t row);

// Platform layer: an anonymous zero-filled read/write mapping of `size` bytes, or none.
uint8_t* MapAnonymous(uint64_t size, intptr_t* mapping);
void UnmapAnonymous(uint8_t* view, uint64_t size, intptr_t mapping);

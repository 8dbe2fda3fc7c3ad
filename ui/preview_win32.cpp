// Image items: a buffer drawn into a dialog control's rectangle (see preview_win32.h); the
// placement and crop arithmetic is in preview_math.
#include "ui/preview_win32.h"

#include <cstring>

#include "plugin/plugin.h"
#include "ui/controls_win32.h"
#include "ui/preview_math.h"

const char kUnboundItemMessage[] = "BindFrefToDITLitem() was never called for this item";

namespace {

// The table of bound items, indexed by control id; entry 0 holds the highest id in `bound`.
ImageItem* itemTable;

const char kMessageCaption[] = "                                    ";  // 36 spaces
static_assert(sizeof(kMessageCaption) == 37);

ImageItem* AllocateTable(int32_t highestId) {
    uint32_t size = static_cast<uint32_t>(highestId + 1) * static_cast<uint32_t>(sizeof(ImageItem));
    ImageItem* table = static_cast<ImageItem*>(AllocateMemoryBlock(size));
    if (table == nullptr) return nullptr;
    for (int32_t i = 0; i <= highestId; ++i) table[i].drawingBlock = nullptr;
    table[0].bound = highestId;
    return table;
}

// Makes room in the table for `id`, keeping the entries bound so far. False when out of memory.
bool ReserveEntry(int32_t id) {
    if (itemTable == nullptr) {
        itemTable = AllocateTable(id);
        return itemTable != nullptr;
    }
    int32_t highest = itemTable[0].bound;
    if (highest >= id) return true;
    ImageItem* grown = AllocateTable(id);
    if (grown == nullptr) return false;
    std::memcpy(grown, itemTable, static_cast<size_t>(highest + 1) * sizeof(ImageItem));
    grown[0].bound = id;
    FreeMemoryBlock(itemTable);
    itemTable = grown;
    return true;
}

}  // namespace

uint8_t* BindFrefToDITLitem(HWND dialog, int32_t id, const ImageBuffer* buffer, const int32_t* zoom) {
    if (id < 1 || id > INT16_MAX || !ReserveEntry(id)) return nullptr;
    ImageItem* item = &itemTable[id];
    if (item->bound == 1 && item->pixelBlock != nullptr) FreeMemoryBlock(item->pixelBlock);

    item->frame = GetItemRect(dialog, id);
    item->frameHeight = item->frame.bottom - item->frame.top;
    item->frameWidth = item->frame.right - item->frame.left;
    if (item->frameHeight < 0) item->frameHeight = 0;
    if (item->frameWidth < 0) item->frameWidth = 0;
    item->stride = PixelBlockStride(item->frameWidth);

    uint32_t size = static_cast<uint32_t>(item->frameHeight + 1) * static_cast<uint32_t>(item->stride);
    uint8_t* block = static_cast<uint8_t*>(AllocateMemoryBlock(size > 0 ? size : 8));
    item->pixelBlock = block;
    item->drawingBlock = block;
    item->bound = 1;
    item->window = dialog;
    item->buffer = buffer;
    item->zoom = zoom;
    return block;
}

void DrawImageItem(HWND dialog, int32_t id, HDC context) {
    (void)dialog;
    if (itemTable == nullptr || id < 1 || id > itemTable[0].bound ||
        (itemTable[id].bound != 1 && itemTable[id].drawingBlock == nullptr)) {
        MessageBoxA(nullptr, kUnboundItemMessage, kMessageCaption, MB_ICONEXCLAMATION | MB_OK);
        return;
    }
    ImageItem* item = &itemTable[id];
    // A bound item whose block could not be allocated has nothing to draw.
    if (item->drawingBlock == nullptr) return;
    FillPixelBlock(item->drawingBlock, item->stride, item->frameWidth, item->frameHeight, item->buffer);
    SelectObject(context, GetStockObject(BLACK_PEN));
    BlitPixelBlock(context, &item->frame, item->drawingBlock, item->zoom != nullptr ? *item->zoom : 1);
}

void BlitPixelBlock(HDC context, const Rect16* frame, const uint8_t* block, int32_t zoom) {
    if (context == nullptr || frame == nullptr || block == nullptr) return;
    int32_t width = frame->right - frame->left;
    int32_t height = frame->bottom - frame->top;
    if (width <= 0 || height <= 0) return;
    BlitGeometry g = ComputeBlitGeometry(width, height, zoom);

    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = g.bitmapWidth;
    info.bmiHeader.biHeight = -height;  // rows from the top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(PixelBlockStride(width)) * static_cast<DWORD>(height);

    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, block, &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (bitmap == nullptr) return;
    HDC memory = CreateCompatibleDC(context);
    if (memory == nullptr) {
        DeleteObject(bitmap);
        return;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SetMapMode(memory, GetMapMode(context));

    if (zoom < 2) {
        POINT size = {g.sourceWidth, g.sourceHeight};
        DPtoLP(memory, &size, 1);
        BitBlt(context, frame->left, frame->top, size.x, size.y, memory, 0, 0, SRCCOPY);
    } else {
        StretchBlt(context, frame->left, frame->top, g.destinationWidth, g.destinationHeight, memory, g.sourceLeft,
                   g.sourceTop, g.sourceWidth, g.sourceHeight, SRCCOPY);
    }

    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

void ReleaseImageItems(void) {
    if (itemTable == nullptr) return;
    int32_t highest = itemTable[0].bound;
    for (int32_t id = 1; id <= highest; ++id) {
        if (itemTable[id].bound == 1 && itemTable[id].pixelBlock != nullptr) FreeMemoryBlock(itemTable[id].pixelBlock);
    }
    FreeMemoryBlock(itemTable);
    itemTable = nullptr;
}

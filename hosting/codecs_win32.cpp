// The Windows builds' codecs: the Windows Imaging Component decodes PNG, JPEG, BMP and TIFF and
// encodes PNG and JPEG.
//
// A picture is decoded a strip of rows at a time into the document's planes, converted by WIC to
// the nearest of the formats a document keeps: 8- or 16-bit grey, 8-bit BGR or 16-bit RGB, 8- or
// 16-bit CMYK. Palette pictures with an all-grey palette become grey. What the platform's codecs
// themselves read (16-bit and CMYK TIFF, for instance) is theirs to decide; the tests record it.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <initguid.h>  // defines the WIC GUIDs in this file
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "hosting/codecs.h"

namespace varno {

namespace {

constexpr UINT kStripRows = 16;

template <typename T>
struct Com {
    T* p = nullptr;
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

std::string Failed(const char* what, HRESULT result) {
    char text[160];
    std::snprintf(text, sizeof text, "%s (Windows Imaging Component error 0x%08lX)", what, static_cast<unsigned long>(result));
    return text;
}

// The imaging factory of this process, made once.
IWICImagingFactory* Factory(HRESULT* result) {
    static IWICImagingFactory* factory = nullptr;
    static HRESULT made = E_FAIL;
    if (!factory) {
        const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        (void)init;  // S_FALSE or RPC_E_CHANGED_MODE: COM is already there
        made = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory));
    }
    *result = made;
    return factory;
}

bool Is(const WICPixelFormatGUID& a, const WICPixelFormatGUID& b) { return IsEqualGUID(a, b) != 0; }

enum class Layout { kGrey8, kGrey16, kBgr8, kRgb16, kCmyk8, kCmyk16 };

struct Target {
    Layout layout;
    WICPixelFormatGUID format;
    size_t channels, bytes;
    int32_t mode;
};

const Target kTargets[] = {
    {Layout::kGrey8, GUID_WICPixelFormat8bppGray, 1, 1, 1},    {Layout::kGrey16, GUID_WICPixelFormat16bppGray, 1, 2, 10},
    {Layout::kBgr8, GUID_WICPixelFormat24bppBGR, 3, 1, 3},     {Layout::kRgb16, GUID_WICPixelFormat48bppRGB, 3, 2, 11},
    {Layout::kCmyk8, GUID_WICPixelFormat32bppCMYK, 4, 1, 4},   {Layout::kCmyk16, GUID_WICPixelFormat64bppCMYK, 4, 2, 13},
};

// The document layout nearest to a decoder's own pixel format.
Layout Nearest(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, const WICPixelFormatGUID& f) {
    if (Is(f, GUID_WICPixelFormatBlackWhite) || Is(f, GUID_WICPixelFormat2bppGray) || Is(f, GUID_WICPixelFormat4bppGray) ||
        Is(f, GUID_WICPixelFormat8bppGray))
        return Layout::kGrey8;
    if (Is(f, GUID_WICPixelFormat16bppGray)) return Layout::kGrey16;
    if (Is(f, GUID_WICPixelFormat32bppCMYK) || Is(f, GUID_WICPixelFormat40bppCMYKAlpha)) return Layout::kCmyk8;
    if (Is(f, GUID_WICPixelFormat64bppCMYK) || Is(f, GUID_WICPixelFormat80bppCMYKAlpha)) return Layout::kCmyk16;
    if (Is(f, GUID_WICPixelFormat48bppRGB) || Is(f, GUID_WICPixelFormat48bppBGR) || Is(f, GUID_WICPixelFormat64bppRGBA) ||
        Is(f, GUID_WICPixelFormat64bppBGRA) || Is(f, GUID_WICPixelFormat64bppPRGBA) || Is(f, GUID_WICPixelFormat64bppPBGRA))
        return Layout::kRgb16;
    if (Is(f, GUID_WICPixelFormat1bppIndexed) || Is(f, GUID_WICPixelFormat2bppIndexed) ||
        Is(f, GUID_WICPixelFormat4bppIndexed) || Is(f, GUID_WICPixelFormat8bppIndexed)) {
        Com<IWICPalette> palette;
        BOOL grey = FALSE;
        if (SUCCEEDED(factory->CreatePalette(&palette)) && SUCCEEDED(frame->CopyPalette(palette.p)) &&
            SUCCEEDED(palette->IsGrayscale(&grey)) && grey)
            return Layout::kGrey8;
    }
    return Layout::kBgr8;
}

template <typename Sample>
std::string CopyRows(IWICBitmapSource* source, const Target& target, UINT width, UINT height, Document* document) {
    GrowingPlanes<Sample> planes(target.channels, width, height);
    const UINT stride = UINT(width * target.channels * target.bytes);
    std::vector<uint8_t> strip(size_t(stride) * kStripRows);
    for (UINT y = 0; y < height; y += kStripRows) {
        const UINT rows = height - y < kStripRows ? height - y : kStripRows;
        const WICRect rect = {0, INT(y), INT(width), INT(rows)};
        if (const HRESULT result = source->CopyPixels(&rect, stride, stride * rows, strip.data()); FAILED(result))
            return Failed("the picture's pixels could not be decoded", result);
        for (UINT r = 0; r < rows; ++r) {
            const Sample* in = reinterpret_cast<const Sample*>(strip.data() + size_t(r) * stride);
            for (size_t c = 0; c < target.channels; ++c) {
                // BGR pictures come blue first; CMYK ones count ink up from 0, the host's down from full.
                const size_t from = target.layout == Layout::kBgr8 ? 2 - c : c;
                const bool invert = target.layout == Layout::kCmyk8 || target.layout == Layout::kCmyk16;
                Sample* out = planes.Row(c, y + r);
                for (size_t x = 0; x < width; ++x) {
                    const Sample v = in[x * target.channels + from];
                    out[x] = invert ? Sample(~v) : v;
                }
            }
        }
    }
    return FinishDocument(target.mode, &planes, document);
}

std::string Encode(const GUID& container, int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                   bool smaller, std::vector<uint8_t>* out) {
    HRESULT result;
    IWICImagingFactory* factory = Factory(&result);
    if (!factory) return Failed("the Windows Imaging Component is not available", result);
    Com<IStream> stream;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    Com<IPropertyBag2> properties;
    const bool png = IsEqualGUID(container, GUID_ContainerFormatPng) != 0;
    result = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (SUCCEEDED(result)) result = factory->CreateEncoder(container, nullptr, &encoder);
    if (SUCCEEDED(result)) result = encoder->Initialize(stream.p, WICBitmapEncoderNoCache);
    if (SUCCEEDED(result)) result = encoder->CreateNewFrame(&frame, &properties);
    if (SUCCEEDED(result) && properties.p) {
        // Options an encoder does not know are left at its defaults.
        PROPBAG2 option = {};
        VARIANT value;
        VariantInit(&value);
        if (png) {
            option.pstrName = const_cast<LPOLESTR>(L"FilterOption");
            value.vt = VT_UI1;
            value.bVal = smaller ? WICPngFilterAdaptive : WICPngFilterSub;
        } else {
            option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
            value.vt = VT_R4;
            value.fltVal = 0.95f;
        }
        properties->Write(1, &option, &value);
    }
    if (SUCCEEDED(result)) result = frame->Initialize(properties.p);
    if (SUCCEEDED(result)) result = frame->SetSize(UINT(width), UINT(height));
    WICPixelFormatGUID format = channels == 1 ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(result)) result = frame->SetPixelFormat(&format);
    if (SUCCEEDED(result) && !Is(format, channels == 1 ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR))
        return "the encoder does not take this picture's pixel format";
    const UINT stride = UINT(width * channels);
    std::vector<uint8_t> row(stride);
    for (int32_t y = 0; y < height && SUCCEEDED(result); ++y) {
        const uint8_t* in = pixels + size_t(y) * stride;
        if (channels == 3) {
            for (int32_t x = 0; x < width; ++x)
                row[3 * x] = in[3 * x + 2], row[3 * x + 1] = in[3 * x + 1], row[3 * x + 2] = in[3 * x];
            in = row.data();
        }
        result = frame->WritePixels(1, stride, stride, const_cast<BYTE*>(in));
    }
    if (SUCCEEDED(result)) result = frame->Commit();
    if (SUCCEEDED(result)) result = encoder->Commit();
    ULARGE_INTEGER end = {};
    const LARGE_INTEGER zero = {};
    if (SUCCEEDED(result)) result = stream->Seek(zero, STREAM_SEEK_CUR, &end);
    HGLOBAL memory = nullptr;
    if (SUCCEEDED(result)) result = GetHGlobalFromStream(stream.p, &memory);
    if (FAILED(result)) return Failed("the picture could not be encoded", result);
    const uint8_t* bytes = static_cast<const uint8_t*>(GlobalLock(memory));
    if (!bytes) return "the encoded picture could not be read back";
    out->insert(out->end(), bytes, bytes + size_t(end.QuadPart));
    GlobalUnlock(memory);
    return {};
}

}  // namespace

std::string DecodeImage(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document) {
    if (SniffFormat(bytes, size) == ImageFormat::kUnknown) return "not an image varno can read (PNG, JPEG, BMP or TIFF)";
    if (size > 0xffffffffu) return "the file is too large";
    HRESULT result;
    IWICImagingFactory* factory = Factory(&result);
    if (!factory) return Failed("the Windows Imaging Component is not available", result);
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    result = factory->CreateStream(&stream);
    if (SUCCEEDED(result)) result = stream->InitializeFromMemory(const_cast<BYTE*>(bytes), DWORD(size));
    if (SUCCEEDED(result)) result = factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder);
    if (SUCCEEDED(result)) result = decoder->GetFrame(0, &frame);
    if (FAILED(result)) return Failed("the picture could not be opened", result);
    UINT width = 0, height = 0;
    WICPixelFormatGUID format;
    result = frame->GetSize(&width, &height);
    if (SUCCEEDED(result)) result = frame->GetPixelFormat(&format);
    if (FAILED(result)) return Failed("the picture's size or format could not be read", result);
    if (std::string error = CheckPictureSize(width, height, limits); !error.empty()) return error;

    const Layout layout = Nearest(factory, frame.p, format);
    const Target& target = *std::find_if(std::begin(kTargets), std::end(kTargets), [&](const Target& t) { return t.layout == layout; });
    IWICBitmapSource* source = frame.p;
    Com<IWICFormatConverter> converter;
    if (!Is(format, target.format)) {
        result = factory->CreateFormatConverter(&converter);
        if (SUCCEEDED(result))
            result = converter->Initialize(frame.p, target.format, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
        if (FAILED(result)) return Failed("the picture's pixel format cannot be converted", result);
        source = converter.p;
    }
    return target.bytes == 2 ? CopyRows<uint16_t>(source, target, width, height, document)
                             : CopyRows<uint8_t>(source, target, width, height, document);
}

std::string EncodePng(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels, bool smaller,
                      std::vector<uint8_t>* out) {
    return Encode(GUID_ContainerFormatPng, width, height, channels, pixels, smaller, out);
}

std::string EncodeJpeg(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                       std::vector<uint8_t>* out) {
    return Encode(GUID_ContainerFormatJpeg, width, height, channels, pixels, false, out);
}

}  // namespace varno

// The Windows builds' codecs: the Windows Imaging Component decodes PNG, JPEG and TIFF and encodes
// PNG, JPEG and TIFF (Deflate, WIC's ZIP compression); BMP goes through the host's own reader, as natively (the platform's BMP decoders
// differ in the layouts they convert and let a palette index beyond the palette pass).
//
// A picture is decoded a strip of rows at a time into the document's planes, converted by WIC to
// the nearest of the formats a document keeps: 8- or 16-bit grey, 8-bit BGR or 16-bit RGB, 8- or
// 16-bit CMYK. Palette pictures with an all-grey palette become grey; a pixel beyond the palette is
// an error. What the platform's codecs
// themselves read (16-bit and CMYK TIFF, for instance) is theirs to decide; the tests record it.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <initguid.h>  // defines the WIC GUIDs in this file
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "images/codecs.h"

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

// The imaging factory of this process, made once. Every thread that reads or writes a picture
// (varno reads several at once) joins the multithreaded apartment first.
IWICImagingFactory* Factory(HRESULT* result) {
    thread_local const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    (void)joined;  // S_FALSE or RPC_E_CHANGED_MODE: COM is already there
    struct Made {
        IWICImagingFactory* factory = nullptr;
        HRESULT result = E_FAIL;
    };
    static const Made made = [] {
        Made m;
        m.result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(&m.factory));
        return m;
    }();
    *result = made.result;
    return made.factory;
}

bool Is(const WICPixelFormatGUID& a, const WICPixelFormatGUID& b) { return IsEqualGUID(a, b) != 0; }

// What a document keeps, and the WIC format that gives it most directly.
struct Target {
    int32_t mode;
    size_t channels, bytes;
    WICPixelFormatGUID format;
};

const Target kGrey8 = {1, 1, 1, GUID_WICPixelFormat8bppGray}, kGrey16 = {10, 1, 2, GUID_WICPixelFormat16bppGray};
const Target kRgb8 = {3, 3, 1, GUID_WICPixelFormat24bppBGR}, kRgb16 = {11, 3, 2, GUID_WICPixelFormat48bppRGB};
const Target kCmyk8 = {4, 4, 1, GUID_WICPixelFormat32bppCMYK}, kCmyk16 = {13, 4, 2, GUID_WICPixelFormat64bppCMYK};

// The document nearest to a decoder's own pixel format.
const Target& Nearest(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, const WICPixelFormatGUID& f) {
    if (Is(f, GUID_WICPixelFormatBlackWhite) || Is(f, GUID_WICPixelFormat2bppGray) || Is(f, GUID_WICPixelFormat4bppGray) ||
        Is(f, GUID_WICPixelFormat8bppGray))
        return kGrey8;
    if (Is(f, GUID_WICPixelFormat16bppGray)) return kGrey16;
    if (Is(f, GUID_WICPixelFormat32bppCMYK) || Is(f, GUID_WICPixelFormat40bppCMYKAlpha)) return kCmyk8;
    if (Is(f, GUID_WICPixelFormat64bppCMYK) || Is(f, GUID_WICPixelFormat80bppCMYKAlpha)) return kCmyk16;
    if (Is(f, GUID_WICPixelFormat48bppRGB) || Is(f, GUID_WICPixelFormat48bppBGR) || Is(f, GUID_WICPixelFormat64bppRGBA) ||
        Is(f, GUID_WICPixelFormat64bppBGRA) || Is(f, GUID_WICPixelFormat64bppPRGBA) || Is(f, GUID_WICPixelFormat64bppPBGRA))
        return kRgb16;
    if (Is(f, GUID_WICPixelFormat1bppIndexed) || Is(f, GUID_WICPixelFormat2bppIndexed) ||
        Is(f, GUID_WICPixelFormat4bppIndexed) || Is(f, GUID_WICPixelFormat8bppIndexed)) {
        // Some implementations call only their own fixed grey palettes grey: the colours decide.
        Com<IWICPalette> palette;
        WICColor colours[256];
        UINT count = 0;
        if (SUCCEEDED(factory->CreatePalette(&palette)) && SUCCEEDED(frame->CopyPalette(palette.p)) &&
            SUCCEEDED(palette->GetColors(256, colours, &count)) && count > 0 &&
            std::all_of(colours, colours + count, [](WICColor c) { return (c & 0xff) == (c >> 8 & 0xff) && (c & 0xff) == (c >> 16 & 0xff); }))
            return kGrey8;
    }
    return kRgb8;
}

// For a palette picture, that no pixel names a colour beyond its palette (the platform's codecs
// paint those black): the indices are read as stored, a strip of rows at a time.
std::string CheckPaletteIndices(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, const WICPixelFormatGUID& f,
                                UINT width, UINT height) {
    const UINT bits = Is(f, GUID_WICPixelFormat1bppIndexed) ? 1 : Is(f, GUID_WICPixelFormat2bppIndexed) ? 2
                    : Is(f, GUID_WICPixelFormat4bppIndexed) ? 4 : Is(f, GUID_WICPixelFormat8bppIndexed) ? 8 : 0;
    if (bits == 0) return {};
    Com<IWICPalette> palette;
    UINT count = 0;
    if (FAILED(factory->CreatePalette(&palette)) || FAILED(frame->CopyPalette(palette.p)) ||
        FAILED(palette->GetColorCount(&count)))
        return "the palette picture's palette could not be read";
    if (count >= (1u << bits)) return {};
    const UINT stride = (width * bits + 7) / 8;
    std::vector<uint8_t> strip(size_t(stride) * kStripRows);
    for (UINT y = 0; y < height; y += kStripRows) {
        const UINT rows = height - y < kStripRows ? height - y : kStripRows;
        const WICRect rect = {0, INT(y), INT(width), INT(rows)};
        if (const HRESULT result = frame->CopyPixels(&rect, stride, stride * rows, strip.data()); FAILED(result))
            return Failed("the picture's pixels could not be decoded", result);
        for (UINT r = 0; r < rows; ++r)
            for (UINT x = 0; x < width; ++x) {
                const UINT bit = x * bits, byte = strip[size_t(r) * stride + bit / 8];
                if (((byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1)) >= count)
                    return "a pixel uses a colour beyond the picture's palette";
            }
    }
    return {};
}

// The pixels as `fetched` (channels a pixel, the source of each document channel) into the
// document's planes, a strip of rows at a time.
struct Fetch {
    WICPixelFormatGUID format;
    size_t channels;
    size_t from[4];
    bool invert;  // CMYK: the codecs count ink up from 0, the host down from full
};

template <typename Sample>
std::string CopyRows(IWICBitmapSource* source, const Target& target, const Fetch& fetch, UINT width, UINT height,
                     Document* document) {
    GrowingPlanes<Sample> planes(target.channels, width, height);
    const UINT stride = UINT(width * fetch.channels * sizeof(Sample));
    std::vector<uint8_t> strip(size_t(stride) * kStripRows);
    for (UINT y = 0; y < height; y += kStripRows) {
        const UINT rows = height - y < kStripRows ? height - y : kStripRows;
        const WICRect rect = {0, INT(y), INT(width), INT(rows)};
        if (const HRESULT result = source->CopyPixels(&rect, stride, stride * rows, strip.data()); FAILED(result))
            return Failed("the picture's pixels could not be decoded", result);
        for (UINT r = 0; r < rows; ++r) {
            const Sample* in = reinterpret_cast<const Sample*>(strip.data() + size_t(r) * stride);
            for (size_t c = 0; c < target.channels; ++c) {
                Sample* out = planes.Row(c, y + r);
                for (size_t x = 0; x < width; ++x) {
                    const Sample v = in[x * fetch.channels + fetch.from[c]];
                    out[x] = fetch.invert ? Sample(~v) : v;
                }
            }
        }
    }
    return FinishDocument(target.mode, &planes, document);
}

// A converter from the frame's format to `format`, or the frame itself when they agree.
HRESULT Convert(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, const WICPixelFormatGUID& from,
                const WICPixelFormatGUID& to, Com<IWICFormatConverter>& converter, IWICBitmapSource** source) {
    *source = frame;
    if (Is(from, to)) return S_OK;
    HRESULT result = factory->CreateFormatConverter(&converter);
    if (SUCCEEDED(result))
        result = converter->Initialize(frame, to, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
    if (SUCCEEDED(result)) *source = converter.p;
    return result;
}

std::string DecodeWithWic(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document) {
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

    if (std::string error = CheckPaletteIndices(factory, frame.p, format, width, height); !error.empty()) return error;
    const Target& target = Nearest(factory, frame.p, format);
    const bool cmyk = target.mode == 4 || target.mode == 13;
    Fetch fetch = {target.format, target.channels, {0, 1, 2, 3}, cmyk};
    if (target.mode == 3) fetch.from[0] = 2, fetch.from[2] = 0;  // BGR
    // 8-bit pictures in a format of their own go through 32-bit BGRA, which every WIC converts to.
    if (target.bytes == 1 && !cmyk && !Is(format, target.format))
        fetch = {GUID_WICPixelFormat32bppBGRA, 4, {target.mode == 1 ? size_t(1) : 2, 1, 0, 3}, false};
    Com<IWICFormatConverter> converter;
    IWICBitmapSource* source = nullptr;
    if (FAILED(result = Convert(factory, frame.p, format, fetch.format, converter, &source)))
        return Failed("the picture's pixel format cannot be converted", result);
    return target.bytes == 2 ? CopyRows<uint16_t>(source, target, fetch, width, height, document)
                             : CopyRows<uint8_t>(source, target, fetch, width, height, document);
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
    const bool tiff = IsEqualGUID(container, GUID_ContainerFormatTiff) != 0;
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
        } else if (tiff) {
            option.pstrName = const_cast<LPOLESTR>(L"TiffCompressionMethod");
            value.vt = VT_UI1;
            value.bVal = WICTiffCompressionZIP;
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
    // The end, not where the encoder stopped: a TIFF encoder goes back to patch what it wrote.
    if (SUCCEEDED(result)) result = stream->Seek(zero, STREAM_SEEK_END, &end);
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
    if (size > 0xffffffffu) return "the file is too large";
    // The outline first: some platform decoders decode the whole picture when they open it, and
    // pad or ignore what is missing or damaged.
    std::string error;
    switch (SniffFormat(bytes, size)) {
        case ImageFormat::kPng: error = CheckPngOutline(bytes, size, limits); break;
        case ImageFormat::kJpeg: error = CheckJpegOutline(bytes, size, limits); break;
        case ImageFormat::kTiff: error = CheckTiffOutline(bytes, size, limits); break;
        case ImageFormat::kBmp: return DecodeBmp(bytes, size, limits, document);
        default: return "not an image varno can read (PNG, JPEG, BMP or TIFF)";
    }
    return error.empty() ? DecodeWithWic(bytes, size, limits, document) : error;
}

std::string EncodePng(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels, bool smaller,
                      std::vector<uint8_t>* out) {
    return Encode(GUID_ContainerFormatPng, width, height, channels, pixels, smaller, out);
}

std::string EncodeJpeg(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                       std::vector<uint8_t>* out) {
    return Encode(GUID_ContainerFormatJpeg, width, height, channels, pixels, false, out);
}

std::string EncodeTiff(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                       std::vector<uint8_t>* out) {
    return Encode(GUID_ContainerFormatTiff, width, height, channels, pixels, false, out);
}

}  // namespace varno

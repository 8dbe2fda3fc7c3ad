// JPEG files through libjpeg-turbo: read a strip of rows at a time into the document's planes,
// written at quality 95.
//
// Warnings that mean pixels were lost or made up (a file that ends early, a bad Huffman code, a
// segment cut short, stray bytes between the entropy-coded data and the next marker, which means
// the scan did not decode as stored) end the reading with an error; harmless ones (stray bytes
// between header segments, an unknown JFIF revision) are passed on as warnings. Progressive and multi-scan files hold their coefficients
// for the whole picture before the first row comes out: libjpeg may spend no more than the decoder
// budget on them (it has no backing store, so going past it is an error), and a file may have at
// most 500 scans. libjpeg reports errors by a long jump back to the function that set it up, which
// keeps every object with a destructor in its caller. Stray bytes right after a scan's last code
// fall within what the decoder has read ahead and pass without a warning from it: the scans are
// walked code by code to find them (CheckJpegScans; Huffman-coded files).
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <future>
#include <new>
#include <system_error>

#include "images/codecs.h"

namespace varno {

namespace {

constexpr int kMaxScans = 500;

struct JpegErrors {
    jpeg_error_mgr manager;  // first, so that the library's pointer to it is a pointer to this
    std::jmp_buf jump;
    std::string* message = nullptr;
    size_t budget = 0;
    DecoderNotes* notes = nullptr;
    bool decoding = false;  // past the header: the pixels are being decoded
    bool skipped = false;   // the decoder skipped bytes after a scan's data
};

[[noreturn]] void Fail(j_common_ptr info, const char* prefix) {
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(info->err);
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    errors->message->assign(prefix).append(text);
    std::longjmp(errors->jump, 1);
}

[[noreturn]] void OnError(j_common_ptr info) {
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (info->err->msg_code == JERR_NO_BACKING_STORE) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "the JPEG needs more than %zu MB for its coefficients before its first row, more than a file "
                      "of this size may ask for",
                      errors->budget >> 20);
        errors->message->assign(text);
        std::longjmp(errors->jump, 1);
    }
    Fail(info, "");
}

void OnMessage(j_common_ptr info, int level) {
    if (level >= 0) return;  // trace messages
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (!errors->notes) return;  // the encoder's
    ++errors->notes->seen;
    const int code = info->err->msg_code;
    const bool harmless = code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC ||
                          (code == JWRN_EXTRANEOUS_DATA && !errors->decoding);
    errors->skipped = !harmless && code == JWRN_EXTRANEOUS_DATA;
    if (!harmless) Fail(info, "damaged JPEG data: ");
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    errors->notes->warnings.push_back(std::string("JPEG: ") + text);
}

void OnProgress(j_common_ptr info) {
    if (!info->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        JpegErrors* errors = reinterpret_cast<JpegErrors*>(info->err);
        errors->message->assign("the JPEG has more than 500 scans");
        std::longjmp(errors->jump, 1);
    }
}

// What the reading needs beyond libjpeg's own state; owned by DecodeJpeg.
struct JpegDecoding {
    std::vector<uint8_t> strip;
    std::vector<JSAMPROW> rows;
    GrowingPlanes<uint8_t> planes{0, 0, 0};
    int32_t mode = 0;
    jpeg_progress_mgr progress = {};
};

bool ReadJpegHeader(jpeg_decompress_struct* cinfo, JpegErrors* errors, const uint8_t* bytes, size_t size,
                    JpegDecoding* d) {
    if (setjmp(errors->jump)) return false;
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = long(errors->budget);
    d->progress.progress_monitor = OnProgress;
    cinfo->progress = &d->progress;
    jpeg_mem_src(cinfo, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(cinfo, TRUE);
    return true;
}

bool RunJpegDecoder(jpeg_decompress_struct* cinfo, JpegErrors* errors, JpegDecoding* d) {
    if (setjmp(errors->jump)) return false;
    bool invert = false;
    if (cinfo->jpeg_color_space == JCS_GRAYSCALE) {
        cinfo->out_color_space = JCS_GRAYSCALE, d->mode = 1;
    } else if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) {
        // Files with the Adobe marker store 255 - ink, which is already the host's convention.
        cinfo->out_color_space = JCS_CMYK, d->mode = 4, invert = !cinfo->saw_Adobe_marker;
    } else {
        cinfo->out_color_space = JCS_RGB, d->mode = 3;
    }
    errors->decoding = true;
    jpeg_start_decompress(cinfo);
    const size_t width = cinfo->output_width, height = cinfo->output_height;
    const size_t channels = size_t(cinfo->output_components);
    const size_t batch = size_t(cinfo->rec_outbuf_height);
    d->planes = GrowingPlanes<uint8_t>(channels, width, height);
    d->rows.resize(batch);
    if (channels > 1) {
        d->strip.resize(batch * width * channels);
        for (size_t i = 0; i < batch; ++i) d->rows[i] = d->strip.data() + i * width * channels;
    }
    while (cinfo->output_scanline < height) {
        const size_t y = cinfo->output_scanline;
        const size_t count = std::min(batch, height - y);
        if (channels == 1) {  // straight into the plane, grown first: growing moves it
            d->planes.Row(0, y + count - 1);
            for (size_t i = 0; i < count; ++i) d->rows[i] = d->planes.planes[0].data() + (y + i) * width;
        }
        const size_t got = jpeg_read_scanlines(cinfo, d->rows.data(), JDIMENSION(count));
        if (channels == 1) continue;
        for (size_t i = 0; i < got; ++i) {
            const uint8_t* in = d->rows[i];
            if (channels == 3) {  // the common case in one pass
                uint8_t* r = d->planes.Row(0, y + i);
                uint8_t* g = d->planes.Row(1, y + i);
                uint8_t* b = d->planes.Row(2, y + i);
                for (size_t x = 0; x < width; ++x) r[x] = in[3 * x], g[x] = in[3 * x + 1], b[x] = in[3 * x + 2];
                continue;
            }
            for (size_t c = 0; c < channels; ++c) {
                uint8_t* out = d->planes.Row(c, y + i);
                if (invert)
                    for (size_t x = 0; x < width; ++x) out[x] = uint8_t(255 - in[x * channels + c]);
                else
                    for (size_t x = 0; x < width; ++x) out[x] = in[x * channels + c];
            }
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

bool RunJpegEncoder(jpeg_compress_struct* cinfo, JpegErrors* errors, int32_t width, int32_t height, int32_t channels,
                    const uint8_t* pixels, unsigned char** buffer, unsigned long* size) {
    if (setjmp(errors->jump)) return false;
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, buffer, size);
    cinfo->image_width = JDIMENSION(width);
    cinfo->image_height = JDIMENSION(height);
    cinfo->input_components = channels;
    cinfo->in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, 95, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    const size_t stride = size_t(width) * size_t(channels);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + size_t(cinfo->next_scanline) * stride);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

std::string DecodeJpeg(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document) {
    // The scans are walked (CheckJpegScans) on a thread of their own beside the decoder, which
    // reads the same bytes: it takes about as long as the decoder's own reading of the codes. When
    // no thread can be had, after the decoder. Every return below waits for it.
    std::future<std::string> walk;
    try {
        walk = std::async(std::launch::async, CheckJpegScans, bytes, size, limits);
    } catch (const std::system_error&) {
    }
    std::string message;
    JpegErrors errors;
    errors.message = &message;
    errors.budget = DecoderBudget(size, limits);
    DecoderNotes notes;
    errors.notes = limits.notes ? limits.notes : &notes;
    jpeg_decompress_struct cinfo = {};
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnError;
    errors.manager.emit_message = OnMessage;
    JpegDecoding decoding;
    bool decoded = ReadJpegHeader(&cinfo, &errors, bytes, size, &decoding);
    if (decoded) {
        message = CheckPictureSize(cinfo.image_width, cinfo.image_height, limits);
        try {
            decoded = message.empty() && RunJpegDecoder(&cinfo, &errors, &decoding);
        } catch (const std::bad_alloc&) {
            message = "out of memory", decoded = false;
        }
    }
    jpeg_destroy_decompress(&cinfo);
    // Stray bytes the decoder read ahead into when a scan ended, which it drops without a word, or
    // leaves out of the count when it finds more of them.
    if (decoded || errors.skipped) {
        if (std::string walked = walk.valid() ? walk.get() : CheckJpegScans(bytes, size, limits); !walked.empty()) return walked;
    }
    if (!decoded) return message;
    return FinishDocument(decoding.mode, &decoding.planes, document);
}

std::string EncodeJpeg(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                       std::vector<uint8_t>* out) {
    std::string message;
    JpegErrors errors;
    errors.message = &message;
    jpeg_compress_struct cinfo = {};
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool encoded = RunJpegEncoder(&cinfo, &errors, width, height, channels, pixels, &buffer, &size);
    jpeg_destroy_compress(&cinfo);
    if (encoded) out->insert(out->end(), buffer, buffer + size);
    std::free(buffer);
    return encoded ? std::string() : "the JPEG could not be encoded: " + message;
}

}  // namespace varno

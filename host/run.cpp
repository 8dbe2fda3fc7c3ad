// The host side of one invocation: records, channel ports, progress and abort, and the
// About/Execute calls.
#include "host/run.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "host/guard.h"
#include "host/handles.h"
#include "host/messages.h"
#include "host/platform.h"

struct PIChannelPortDesc {
    const uint16_t* wide = nullptr;   // 16-bit document samples, reduced to 8 bits on reading
    const uint8_t* narrow = nullptr;  // 8-bit document samples or a selection plane
    const uint8_t* viewed = nullptr;  // a document's samples read in place (SampleView), at `wideView` depth
    ptrdiff_t rowBytes = 0, columnBytes = 0;
    bool wideView = false;
    uint8_t* writable = nullptr;      // the new selection, for the write port (none before the first write)
    int32_t width = 0;
    int32_t height = 0;
    bool partial = false;             // the test option's partial delivery applies
};

namespace varno {

namespace {

constexpr int16_t kChannelSelectionMask = 19;
constexpr OSErr kErrParam = -50;
constexpr OSErr kErrUnknownPort = -30910;
constexpr OSErr kErrUnsupportedRowBits = -30911;
constexpr OSErr kErrUnsupportedColBits = -30912;
constexpr OSErr kErrUnsupportedBitOffset = -30913;
constexpr OSErr kErrUnsupportedDepth = -30914;
constexpr OSErr kErrReportString = -30904;
constexpr OSErr kErrSelectionBadMode = -30701;

// Everything one invocation owns; reached by the callbacks through `active`.
struct Session {
    const RunOptions* options = nullptr;
    RunReport* report = nullptr;

    std::vector<std::unique_ptr<PIChannelPortDesc>> ports;
    PIChannelPortDesc* writePort = nullptr;
    PIChannelPortDesc* newSelectionReadPort = nullptr;

    std::vector<ReadChannelDesc> composite;
    ReadChannelDesc selection = {};
    WriteChannelDesc newSelection = {};
    ReadImageDocumentDesc documentInfo = {};
    ChannelPortProcs channelPorts = {};
    PIDescriptorParameters descriptorParameters = {};
    PlatformData platform = {};
    unsigned char errorString[256] = {};
    SelectionRecord record = {};

    int32_t barShown = -1;
    ForwardBar bar;
};

Session* active;

bool KnownPort(PIChannelPort port) {
    if (!active || !port) return false;
    for (const auto& owned : active->ports)
        if (owned.get() == port) return true;
    return false;
}

PIChannelPortDesc* NewPort(Session* session) {
    session->ports.push_back(std::make_unique<PIChannelPortDesc>());
    return session->ports.back().get();
}

VRect Intersect(const VRect& a, const VRect& b) {
    VRect r = {std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
               std::min(a.right, b.right)};
    if (r.top >= r.bottom || r.left >= r.right) r = {0, 0, 0, 0};
    return r;
}

bool Empty(const VRect& r) { return r.top >= r.bottom || r.left >= r.right; }

// The part of `rect` that the partial-delivery option lets through.
VRect LimitDelivery(VRect rect, const PartialDelivery& partial) {
    if (Empty(rect)) return rect;
    rect.left = std::max(rect.left, partial.firstColumn);
    if (partial.endColumn >= 0) rect.right = std::min(rect.right, partial.endColumn);
    if (partial.skipRowPeriod > 0) {
        for (int32_t r = rect.top; r < rect.bottom; ++r) {
            if (r % partial.skipRowPeriod == partial.skipRowPhase) {
                rect.bottom = r;
                break;
            }
        }
    }
    if (Empty(rect)) rect = {0, 0, 0, 0};
    return rect;
}

OSErr CheckLayout(const PixelMemoryDesc* memory) {
    if (!memory || !memory->data) return kErrParam;
    if (memory->depth != 8) return kErrUnsupportedDepth;
    if (memory->colBits < 8 || memory->colBits % 8 != 0) return kErrUnsupportedColBits;
    if (memory->rowBits < 0 || memory->rowBits % 8 != 0) return kErrUnsupportedRowBits;
    if (memory->bitOffset < 0 || memory->bitOffset % 8 != 0) return kErrUnsupportedBitOffset;
    return 0;
}

uint8_t* PixelAt(const PixelMemoryDesc* memory, const VRect& origin, int32_t row, int32_t column) {
    const int64_t offset = (int64_t(row - origin.top) * memory->rowBits +
                            int64_t(column - origin.left) * memory->colBits + memory->bitOffset) / 8;
    return static_cast<uint8_t*>(memory->data) + offset;
}

// One channel of an interleaved row (every third or fourth byte: RGB, CMYK). Byte gathers need
// byte shuffles to vectorise, so on x86-64 ELF systems the loops are also built for AVX2, picked
// when the program loads where the processor has it. Not in ThreadSanitizer builds: the resolver
// that picks the version runs before the sanitizer's runtime is set up, and its instrumented code
// crashes the program before main.
#if defined(__x86_64__) && defined(__ELF__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define VARNO_WITH_AVX2 __attribute__((target_clones("avx2", "default")))
#else
#define VARNO_WITH_AVX2
#endif
VARNO_WITH_AVX2 void GatherThirds(const uint8_t* __restrict in, uint8_t* __restrict out, int32_t count) {
    for (int32_t c = 0; c < count; ++c) out[c] = in[3 * c];
}
VARNO_WITH_AVX2 void GatherFourths(const uint8_t* __restrict in, uint8_t* __restrict out, int32_t count) {
    for (int32_t c = 0; c < count; ++c) out[c] = in[4 * c];
}

// One row's samples of a viewed channel into `out`, `step` bytes apart.
void ReadView(const PIChannelPortDesc* port, int32_t row, int32_t left, int32_t count, uint8_t* out, size_t step) {
    const ptrdiff_t stride = port->columnBytes;
    const uint8_t* in = port->viewed + ptrdiff_t(row) * port->rowBytes + ptrdiff_t(left) * stride;
    if (port->wideView) {
        for (int32_t c = 0; c < count; ++c) {
            uint16_t value;
            std::memcpy(&value, in + c * stride, sizeof value);
            out[size_t(c) * step] = ReduceTo8(value);
        }
    } else if (stride == 1 && step == 1) {
        std::memcpy(out, in, size_t(count));
    } else if (stride == 3 && step == 1) {
        GatherThirds(in, out, count);
    } else if (stride == 4 && step == 1) {
        GatherFourths(in, out, count);
    } else {
        for (int32_t c = 0; c < count; ++c) out[size_t(c) * step] = in[c * stride];
    }
}

OSErr PIAPI ReadPixels(PIChannelPort port, const PSScaling* scaling, const VRect* writeRect,
                       const PixelMemoryDesc* destination, VRect* wroteRect) {
    OSErr failure = 0;
    if (CallbackFails(HostCallback::kReadPixels, &failure)) return failure;
    if (!KnownPort(port) || port == active->writePort) return kErrUnknownPort;
    if (!writeRect) return kErrParam;
    if (OSErr error = CheckLayout(destination)) return error;
    if (scaling) {
        const VRect& s = scaling->sourceRect;
        const VRect& d = scaling->destinationRect;
        // This host does not resample: only reads at 100% are served.
        if (s.top != d.top || s.left != d.left || s.bottom != d.bottom || s.right != d.right) return kErrParam;
    }
    const VRect bounds = {0, 0, port->height, port->width};
    VRect delivered = Intersect(*writeRect, bounds);
    if (port->partial) delivered = LimitDelivery(delivered, active->options->partial);
    const bool unwritten = port == active->newSelectionReadPort && !active->writePort->writable;
    const int32_t count = delivered.right - delivered.left;
    const size_t step = size_t(destination->colBits / 8);
    for (int32_t r = delivered.top; r < delivered.bottom && count > 0; ++r) {
        const size_t first = size_t(r) * size_t(port->width) + size_t(delivered.left);
        uint8_t* out = PixelAt(destination, *writeRect, r, delivered.left);
        if (unwritten) {
            for (int32_t c = 0; c < count; ++c) out[c * step] = 0;
        } else if (port->viewed) {
            ReadView(port, r, delivered.left, count, out, step);
        } else if (port->narrow) {
            if (step == 1) std::memcpy(out, port->narrow + first, size_t(count));
            else for (int32_t c = 0; c < count; ++c) out[c * step] = port->narrow[first + c];
        } else {
            for (int32_t c = 0; c < count; ++c) out[c * step] = ReduceTo8(port->wide[first + c]);
        }
    }
    if (wroteRect) *wroteRect = delivered;
    return 0;
}

OSErr PIAPI WriteBasePixels(PIChannelPort port, const VRect* writeRect, const PixelMemoryDesc* source) {
    OSErr failure = 0;
    if (CallbackFails(HostCallback::kWriteBasePixels, &failure)) return failure;
    if (!KnownPort(port) || port != active->writePort) return kErrUnknownPort;
    if (!writeRect) return kErrParam;
    if (OSErr error = CheckLayout(source)) return error;
    const VRect bounds = {0, 0, port->height, port->width};
    const VRect stored = Intersect(*writeRect, bounds);
    if (!port->writable && !Empty(stored)) {
        // The new selection is made on the first write, not before: while the plug-in computes,
        // the host holds no plane it does not need yet.
        std::vector<uint8_t>& plane = active->report->newSelection;
        const size_t samples = size_t(port->width) * size_t(port->height);
        plane.reserve(samples);
        AdviseLargeBlock(plane.data(), samples);
        plane.assign(samples, 0);
        port->writable = plane.data();
        active->newSelectionReadPort->narrow = plane.data();
    }
    for (int32_t r = stored.top; r < stored.bottom; ++r) {
        uint8_t* row = port->writable + size_t(r) * size_t(port->width);
        if (source->colBits == 8 && stored.right > stored.left) {
            std::memcpy(row + stored.left, PixelAt(source, *writeRect, r, stored.left), size_t(stored.right - stored.left));
            continue;
        }
        for (int32_t c = stored.left; c < stored.right; ++c) row[c] = *PixelAt(source, *writeRect, r, c);
    }
    if (!Empty(stored)) ++active->report->rowsWritten;
    return 0;
}

OSErr PIAPI ReadPortForWritePort(PIChannelPort* readPort, PIChannelPort writePort) {
    if (!readPort) return kErrParam;
    if (!KnownPort(writePort) || writePort != active->writePort) return kErrUnknownPort;
    *readPort = active->newSelectionReadPort;
    return 0;
}

Boolean PIAPI TestAbort(void) {
    if (!active) return 0;
    const int32_t calls = ++active->report->abortCalls;
    OSErr stop = 0;
    if (CallbackFails(HostCallback::kAbort, &stop)) return 1;
    const RunOptions& options = *active->options;
    if (options.interrupt && *options.interrupt) return 1;
    return options.abortAfter > 0 && calls >= options.abortAfter ? 1 : 0;
}

// The run's bar at `position` of its part of the whole bar, in tenths of a percent.
void DrawBarAt(Session* s, double position) {
    const RunOptions& options = *s->options;
    const double at = position >= 1 ? options.barTo
                                    : std::min(options.barTo, options.barFrom + (options.barTo - options.barFrom) * position);
    DrawProgressBar(int32_t(std::clamp(at, 0.0, 1.0) * 1000), 1000, &s->barShown);
}

void PIAPI Progress(int32_t done, int32_t total) {
    if (!active) return;
    ++active->report->progressCalls;
    if (done < 0 || total < 0 || done > total) active->report->progressWithinTotal = false;
    if (active->options->progressBar) DrawBarAt(active, AdvanceBar(&active->bar, done, total));
    if (active->options->progress) active->options->progress(done, total);
}

// The records for the document, wired to the session's ports.
void BuildRecords(Session* s, Document* document) {
    const int32_t w = document->width, h = document->height;
    const VRect bounds = {0, 0, h, w};
    const int32_t depth = document->depth;

    const size_t channels = ChannelCount(*document);
    s->composite.resize(channels);
    for (size_t i = 0; i < channels; ++i) {
        PIChannelPortDesc* port = NewPort(s);
        if (const SampleView& view = document->view; view.data) {
            port->viewed = view.data + ptrdiff_t(i) * view.channelBytes;
            port->rowBytes = view.rowBytes;
            port->columnBytes = view.columnBytes;
            port->wideView = depth == 16;
        } else if (depth == 16) {
            port->wide = document->channels16[i].data();
        } else {
            port->narrow = document->channels8[i].data();
        }
        port->width = w;
        port->height = h;
        port->partial = s->options->partial.composite;
        ReadChannelDesc& channel = s->composite[i];
        channel.minVersion = 0;
        channel.maxVersion = 1;
        channel.next = i + 1 < channels ? &s->composite[i + 1] : nullptr;
        channel.port = port;
        channel.bounds = bounds;
        channel.depth = depth;
        channel.tileSize = {64, 64};
        channel.target = 1;
        channel.shown = 1;
        channel.channelType = ChannelTypeForMode(document->mode, int32_t(i));
        channel.name = ChannelName(channel.channelType);
    }

    if (document->hasSelection) {
        PIChannelPortDesc* port = NewPort(s);
        port->narrow = document->selection.data();
        port->width = w;
        port->height = h;
        port->partial = s->options->partial.selection;
        s->selection.minVersion = 0;
        s->selection.maxVersion = 1;
        s->selection.port = port;
        s->selection.bounds = bounds;
        s->selection.depth = 8;
        s->selection.tileSize = {64, 64};
        s->selection.target = 1;
        s->selection.shown = 1;
        s->selection.channelType = kChannelSelectionMask;
        s->selection.name = "Selection";
    }

    s->writePort = NewPort(s);
    s->writePort->width = w;
    s->writePort->height = h;
    s->newSelectionReadPort = NewPort(s);
    s->newSelectionReadPort->width = w;
    s->newSelectionReadPort->height = h;
    s->newSelection.minVersion = 0;
    s->newSelection.maxVersion = 1;
    s->newSelection.port = s->writePort;
    s->newSelection.bounds = bounds;
    s->newSelection.depth = 8;
    s->newSelection.tileSize = {64, 64};
    s->newSelection.channelType = kChannelSelectionMask;
    s->newSelection.name = "Selection";

    ReadImageDocumentDesc& info = s->documentInfo;
    info.minVersion = 0;
    info.maxVersion = 1;
    info.imageMode = document->mode;
    info.depth = depth;
    info.bounds = bounds;
    info.hResolution = 72 << 16;
    info.vResolution = 72 << 16;
    for (int i = 0; i < 256; ++i) info.redLUT[i] = info.greenLUT[i] = info.blueLUT[i] = uint8_t(i);
    info.targetCompositeChannels = s->composite.empty() ? nullptr : s->composite.data();
    info.mergedCompositeChannels = info.targetCompositeChannels;
    info.selection = document->hasSelection ? &s->selection : nullptr;

    s->channelPorts = {1, 3, Guarded<ReadPixels>::Call, Guarded<WriteBasePixels>::Call, Guarded<ReadPortForWritePort>::Call};
    s->platform.hwnd = OwnerWindow();

    SelectionRecord& record = s->record;
    record.abortProc = Guarded<TestAbort>::Call;
    record.progressProc = Guarded<Progress>::Call;
    record.hostSig = FourCC("8BIM");
    record.handleProcs = HostHandleProcs();
    record.channelPortProcs = &s->channelPorts;
    record.errorString = &s->errorString;
    // An sRGB-like monitor: gamma 2.2, the Rec. 709 primaries, D65 white (16.16 fixed point).
    record.monitor = {0x23333, 0xA3D7, 0x547B, 0x4CCD, 0x9999, 0x2666, 0x0F5C, 0x500E, 0x5439, 0x8000};
    record.platformData = &s->platform;
    record.documentInfo = &s->documentInfo;
    record.newSelection = &s->newSelection;
    record.treatment = 0;
    record.supportedTreatments = 1;  // a mask only
}

}  // namespace

int16_t RunPlugin(PluginInstance* plugin, Document* document, const RunOptions& options, RunReport* report) {
    *report = RunReport();
    if (!plugin || !plugin->entry) return report->result = -50;
    if (!plugin->pipl.empty() && !PiplEnablesDocument(plugin->pipl, document->mode, document->depth, &report->errorString)) {
        report->refused = true;
        return report->result = kErrSelectionBadMode;
    }
    auto session = std::make_unique<Session>();
    Session* s = session.get();
    s->options = &options;
    s->report = report;
    const int32_t handlesBefore = LiveHostHandles();
    const int32_t tokensBefore = OpenDescriptorTokens();

    BuildRecords(s, document);
    Handle played = nullptr;
    uint64_t playedSerial = 0;
    if (options.descriptorSuites) {
        PIDescriptorParameters& parameters = s->descriptorParameters;
        parameters.descriptorParametersVersion = 0;
        parameters.playInfo = options.playInfo;
        parameters.recordInfo = 0;
        if (options.playDescriptor) {
            played = NewHostHandleWith(SerializeDescriptor(options.descriptor));
            if (!played) return report->result = -108;
            playedSerial = HostHandleSerial(played);
        }
        parameters.descriptor = played;
        parameters.readDescriptorProcs = HostReadDescriptorProcs();
        parameters.writeDescriptorProcs = HostWriteDescriptorProcs();
        s->record.descriptorParameters = &parameters;
    }

    Session* outer = active;
    active = s;
    BeginCallbackFaults(&options.fail, report->callbackCalls);
    AboutRecord about = {};
    about.platformData = &s->platform;
    int16_t result = 0;
    plugin->entry(kSelectorAbout, &about, &plugin->data, &result);
    report->aboutResult = result;
    if (result == 0) {
        plugin->entry(kSelectorExecute, &s->record, &plugin->data, &result);
        report->executed = true;
    }
    if (options.progressBar && report->executed && result == 0) DrawBarAt(s, 1);
    ClearProgressBar(&s->barShown);
    EndCallbackFaults();
    active = outer;
    report->result = result;

    // As a host does: the error string is read only when the result says it holds the message.
    if (report->executed && result == kErrReportString) {
        const unsigned char* text = s->errorString;
        report->errorString.assign(reinterpret_cast<const char*>(text + 1), text[0]);
    }
    // What the plug-in left in the descriptor slot is the host's to keep and to dispose of. The
    // played handle may still be there when the plug-in did not take it.
    Handle left = s->descriptorParameters.descriptor;
    report->recordInfo = s->descriptorParameters.recordInfo;
    const bool playedAlive = played && HostHandleSerial(played) == playedSerial;
    if (left && !(left == played && playedAlive))
        report->recorded = ParseDescriptor(HostHandleBytes(left), &report->descriptor);
    if (left) DisposeHostHandle(left);
    if (playedAlive && played != left) DisposeHostHandle(played);
    // A path handed back instead of pixels is not taken: this host works with masks only.
    if (s->record.newPath) DisposeHostHandle(s->record.newPath);
    report->handlesLeft = LiveHostHandles() - handlesBefore;
    report->descriptorTokensLeft = OpenDescriptorTokens() - tokensBefore;

    if (report->executed && result == 0) {
        if (report->newSelection.empty()) report->newSelection.assign(size_t(document->width) * size_t(document->height), 0);
        CombineSelection(options.combine, document->hasSelection ? document->selection.data() : nullptr,
                         report->newSelection.data(), report->newSelection.size());
        document->selection = std::move(report->newSelection);
        document->hasSelection = true;
    }
    return result;
}

}  // namespace varno

// Texts, documents, placement, remembered choices and the run of the GIMP plug-ins.
#include "gimp/bridge.h"

#include <algorithm>
#include <cstring>

#include "host/actions.h"
#include "host/messages.h"
#include "host/platform.h"
#include "host/run.h"
#include "params/edge_table.h"
#include "params/run_files.h"

namespace varno {

bool DocumentFromSamples(const void* samples, int32_t width, int32_t height, int32_t channels, bool wide,
                         Document* document, std::string* error) {
    if (channels != 1 && channels != 3) {
        *error = "a drawable hands over 1 or 3 samples per pixel";
        return false;
    }
    if (width < 1 || height < 1 || width > kGimpMaxSide || height > kGimpMaxSide) {
        *error = "the drawable is " + std::to_string(width) + "x" + std::to_string(height) +
                 "; the plug-in takes 1 to 32767 pixels on a side";
        return false;
    }
    const size_t count = size_t(width) * size_t(height);
    const int32_t mode = channels == 1 ? (wide ? 10 : 1) : (wide ? 11 : 3);
    if (wide) {
        const auto* words = static_cast<const uint16_t*>(samples);
        std::vector<std::vector<uint16_t>> planes(size_t(channels), std::vector<uint16_t>(count, 0));
        for (size_t i = 0; i < count; ++i)
            for (size_t c = 0; c < size_t(channels); ++c) planes[c][i] = words[i * size_t(channels) + c];
        return MakeDocument(mode, width, height, std::move(planes), document, error);
    }
    const auto* bytes = static_cast<const uint8_t*>(samples);
    std::vector<std::vector<uint8_t>> planes(size_t(channels), std::vector<uint8_t>(count, 0));
    for (size_t i = 0; i < count; ++i)
        for (size_t c = 0; c < size_t(channels); ++c) planes[c][i] = bytes[i * size_t(channels) + c];
    return MakeDocument8(mode, width, height, std::move(planes), document, error);
}

Placement PlaceDrawable(int32_t imageWidth, int32_t imageHeight, int32_t offsetX, int32_t offsetY, int32_t width,
                        int32_t height) {
    // In 64 bits: an offset near the int32 limits plus a size must not wrap.
    const int64_t left = std::max<int64_t>(0, offsetX), top = std::max<int64_t>(0, offsetY);
    const int64_t right = std::min<int64_t>(imageWidth, int64_t(offsetX) + width);
    const int64_t bottom = std::min<int64_t>(imageHeight, int64_t(offsetY) + height);
    Placement placement;
    if (left >= right || top >= bottom) return placement;
    placement.imageX = int32_t(left);
    placement.imageY = int32_t(top);
    placement.sourceX = int32_t(left - offsetX);
    placement.sourceY = int32_t(top - offsetY);
    placement.width = int32_t(right - left);
    placement.height = int32_t(bottom - top);
    return placement;
}

bool ValidChoice(const GimpChoice& choice) {
    return IsEdgeMethod(choice.method) && IsEdgeRadius(choice.radius);
}

bool ChoiceFromDescriptor(const Descriptor& descriptor, GimpChoice* choice) {
    const DescriptorItem* method = descriptor.Find(FourCC("EdgM"));
    const DescriptorItem* radius = descriptor.Find(FourCC("edgR"));
    if (!method || !radius || method->type != kDescEnumerated || radius->type != kDescInteger) return false;
    const GimpChoice found = {int32_t(method->integer), int32_t(radius->integer)};
    if (!ValidChoice(found) || found.method != method->integer || found.radius != radius->integer) return false;
    *choice = found;
    return true;
}

GimpChoice RememberedChoice(void) {
    const RememberedEdgeChoice remembered = ReadRememberedChoice();
    return {remembered.method, remembered.radius};
}

const char* const kGimpBlurb = "Select the edges of the drawable";
const char* const kGimpHelp =
    "Finds the edges of the drawable with one of five methods and makes them the image's selection: dark edges in "
    "the method's picture become selected pixels, flat areas stay unselected. The drawable's alpha is ignored; the "
    "image's selection before the run is replaced over the whole image.";

namespace {

// "low..high".
std::string Range(int32_t low, int32_t high) { return std::to_string(low) + ".." + std::to_string(high); }

}  // namespace

std::string GimpMethodsText(void) {
    std::string text;
    for (const EdgeMethodEntry& entry : kEdgeMethods)
        text += (text.empty() ? "" : ", ") + std::string(entry.name) + " (" + std::to_string(entry.number) + ")";
    return text;
}

std::string GimpRadiusText(void) {
    return "Edge radius " + Range(kEdgeRadiusMin, kEdgeRadiusMax) + ": the width of Variable width";
}

std::string GimpChoiceRefusal(const GimpChoice& choice) {
    return "method must be " + Range(kEdgeMethodFirst, kEdgeMethodLast) + " and radius " +
           Range(kEdgeRadiusMin, kEdgeRadiusMax) + ", not " + std::to_string(choice.method) + " and " +
           std::to_string(choice.radius);
}

GimpRunOutcome RunGimpSelection(Document* document, const GimpChoice* play, const std::atomic<int>* stop,
                                const GimpRunShow& show) {
    GimpRunOutcome outcome;
    PluginModule module;
    if (std::string failed = OpenPluginModule(DefaultPluginPath(), &module); !failed.empty()) {
        outcome.status = GimpRunOutcome::kError;
        outcome.message = "Varnocketile cannot load its module: " + failed;
        return outcome;
    }
    if (!module.warning.empty()) show.message("Varnocketile: " + module.warning);
    // The slot a host keeps for the module while it is loaded.
    static PluginInstance plugin;
    plugin.entry = reinterpret_cast<PluginEntryProc>(module.entry);
    plugin.pipl = module.pipl;

    RunOptions options;
    options.playInfo = kPlayDialogDontDisplay;
    if (play) {
        PutEdgeChoice(&options.descriptor, play->method, play->radius);
        options.playDescriptor = true;
    }
    options.interrupt = stop;
    // The plug-in counts each of its passes from the pass's own start: GIMP's bar is carried on
    // through them, so that it only moves forward.
    int32_t shown = -1;
    ForwardBar bar;
    options.progress = [&shown, &bar, &show](int32_t done, int32_t total) {
        if (total <= 0) return;
        const int32_t step = int32_t(AdvanceBar(&bar, done, total) * 256);
        if (step == shown) return;
        shown = step;
        show.progress(step / 256.0);
    };
    show.progressStart();
    // Taken as the plug-in will take it: when another program holds it, the run goes on with the
    // defaults and the user is told.
    RunFileNotes files;
    NoteFilesBeforeRun(
        &files, [](void* flag) -> int32_t { return static_cast<const std::atomic<int>*>(flag)->load() != 0 ? 1 : 0; },
        const_cast<std::atomic<int>*>(stop));
    const bool busy = files.busy;
    ReleaseRunFileNotes(&files);
    RunReport report;
    RunPlugin(&plugin, document, options, &report);
    ClosePluginModule(&module);
    // The bar (and its cancel button) goes before the image changes: from here on the run completes.
    show.progressEnd();

    const int16_t code = report.aboutResult != 0 ? report.aboutResult : report.result;
    if (code != 0) {
        outcome.status = code == -128 ? GimpRunOutcome::kCancel : GimpRunOutcome::kError;
        outcome.message = GimpFailureText(code, code == -128 ? std::string() : report.errorString);
        return outcome;
    }
    // A run that went on without what it remembers (another program held it) says so.
    if (busy) show.message(kDefaultsUsedWarning);
    outcome.choiceUsed = ChoiceFromDescriptor(report.descriptor, &outcome.used);
    return outcome;
}

std::string GimpFailureText(int16_t code, const std::string& reported) {
    const std::string meaning = reported.empty() ? ResultMeaning(code) : reported;
    return "Varnocketile: " + meaning + " (" + std::to_string(code) + ")";
}

}  // namespace varno

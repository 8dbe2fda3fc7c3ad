// The GIMP 2.10 plug-in: a second host of the plug-in module. GIMP runs this program; it registers
// the procedure plug-in-varnocketile-select and, when GIMP calls it, hands the drawable and the
// image's selection to libvarnocketile.so (installed beside it) through the module's entry point,
// exactly as varno does, and puts the new selection it gets back into the image.
//
//   plug-in-varnocketile-select (run-mode INT32, image IMAGE, drawable DRAWABLE,
//                                method INT32 3..7, radius INT32 1..3)
//
// Run modes: non-interactive runs play method and radius to the module as an action with its
// dialog suppressed; runs with last values play the choice GIMP keeps from the last run (when GIMP
// keeps none, nothing is played and the module's preferences file decides); interactive runs show
// the dialog first, starting from the same remembered choice. Nothing in the image changes until
// the run has succeeded; then the new selection replaces the image's selection as one undo step.
#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "gimp/bridge.h"
#include "gimp/dialog.h"
#include "host/actions.h"
#include "host/platform.h"
#include "host/run.h"
#include "params/edge_table.h"
#include "params/run_files.h"

namespace {

using namespace varno;

// Set from a signal handler: a lock-free atomic is safe to store there.
std::atomic<int> stopRequested{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int) { stopRequested.store(1); }

// A format of `encoding`'s layout in the colour space that the drawable's own format names, so
// that samples move as GIMP holds them and are never converted from one colour space to another
// (the module sees the values a file of the picture holds, whatever profile the image has).
const Babl* SampleFormat(gint32 drawable, const char* encoding) {
    return babl_format_with_space(encoding, gimp_drawable_get_format(drawable));
}

// A one-plane mask format of the same transfer curve as the channel's own, so that 8-bit values
// pass into and out of it by scaling alone.
const Babl* MaskFormat(gint32 channel) {
    const char* own = babl_format_get_encoding(gimp_drawable_get_format(channel));
    return SampleFormat(channel, std::strchr(own, '\'') ? "Y' u8" : "Y u8");
}

// The drawable as a document: grey or RGB, alpha dropped, indexed colours through the palette;
// 8-bit precisions as 8-bit samples, every other precision as 16-bit samples.
bool ReadDocument(gint32 image, gint32 drawable, Document* document, std::string* error) {
    const gint width = gimp_drawable_width(drawable), height = gimp_drawable_height(drawable);
    if (width > kGimpMaxSide || height > kGimpMaxSide) {
        *error = "Varnocketile takes drawables of up to 32767 pixels on a side";
        return false;
    }
    const GimpPrecision precision = gimp_image_get_precision(image);
    const bool wide = precision != GIMP_PRECISION_U8_LINEAR && precision != GIMP_PRECISION_U8_GAMMA;
    const bool grey = gimp_drawable_is_gray(drawable);
    const char* encoding = grey ? (wide ? "Y' u16" : "Y' u8") : (wide ? "R'G'B' u16" : "R'G'B' u8");
    const int32_t channels = grey ? 1 : 3;
    std::vector<uint8_t> samples(size_t(width) * size_t(height) * size_t(channels) * (wide ? 2 : 1));
    GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
    gegl_buffer_get(buffer, GEGL_RECTANGLE(0, 0, width, height), 1.0, SampleFormat(drawable, encoding), samples.data(),
                    GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    g_object_unref(buffer);
    return DocumentFromSamples(samples.data(), width, height, channels, wide, document, error);
}

// The image's selection over the drawable's area, unless the image has none.
void ReadSelection(gint32 image, gint32 drawable, Document* document) {
    if (gimp_selection_is_empty(image)) return;
    gint x = 0, y = 0;
    gimp_drawable_offsets(drawable, &x, &y);
    const gint32 mask = gimp_image_get_selection(image);
    std::vector<uint8_t> plane(size_t(document->width) * size_t(document->height));
    GeglBuffer* buffer = gimp_drawable_get_buffer(mask);
    // Parts of a drawable that lie off the image read as unselected.
    gegl_buffer_get(buffer, GEGL_RECTANGLE(x, y, document->width, document->height), 1.0, MaskFormat(mask),
                    plane.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    g_object_unref(buffer);
    std::string ignored;
    SetSelection(document, std::move(plane), &ignored);
}

// The new selection (over the drawable's area) replaces the image's selection as one undo step:
// it is drawn into a channel of its own, which the image selects and then drops.
void ReplaceSelection(gint32 image, gint32 drawable, const Document& document) {
    gint x = 0, y = 0;
    gimp_drawable_offsets(drawable, &x, &y);
    const gint imageWidth = gimp_image_width(image), imageHeight = gimp_image_height(image);
    const Placement place = PlaceDrawable(imageWidth, imageHeight, x, y, document.width, document.height);

    gimp_image_undo_group_start(image);
    if (place.width == 0) {
        gimp_selection_none(image);
    } else {
        const GimpRGB black = {0, 0, 0, 1};
        const gint32 channel = gimp_channel_new(image, "Edges (Varnocketile)", imageWidth, imageHeight, 50.0, &black);
        gimp_image_insert_channel(image, channel, 0, 0);
        GeglBuffer* buffer = gimp_drawable_get_buffer(channel);
        const size_t first = size_t(place.sourceY) * size_t(document.width) + size_t(place.sourceX);
        gegl_buffer_set(buffer, GEGL_RECTANGLE(place.imageX, place.imageY, place.width, place.height), 0,
                        MaskFormat(channel), document.selection.data() + first, document.width);
        g_object_unref(buffer);
        // A feathered replacement would soften the edges the run found.
        gimp_context_push();
        gimp_context_set_feather(FALSE);
        gimp_image_select_item(image, GIMP_CHANNEL_OP_REPLACE, channel);
        gimp_context_pop();
        gimp_image_remove_channel(image, channel);
    }
    gimp_image_undo_group_end(image);
}

// GIMP's bar follows the module's progress reports, in steps GIMP can draw.
struct ProgressShown {
    int32_t step = -1;
};

void ShowProgress(ProgressShown* shown, int32_t done, int32_t total) {
    if (total <= 0) return;
    const int32_t step = int32_t(int64_t(std::clamp(done, 0, total)) * 256 / total);
    if (step == shown->step) return;
    shown->step = step;
    gimp_progress_update(step / 256.0);
}

struct Outcome {
    GimpPDBStatusType status = GIMP_PDB_SUCCESS;
    std::string message;
};

Outcome Failed(GimpPDBStatusType status, std::string message) { return {status, std::move(message)}; }

// "low..high".
std::string Range(int32_t low, int32_t high) { return std::to_string(low) + ".." + std::to_string(high); }

// One run of the module on the drawable; `play` null plays nothing.
Outcome SelectEdges(gint32 image, gint32 drawable, const GimpChoice* play) {
    Document document;
    std::string error;
    if (!ReadDocument(image, drawable, &document, &error)) return Failed(GIMP_PDB_EXECUTION_ERROR, error);
    ReadSelection(image, drawable, &document);

    PluginModule module;
    if (std::string failed = OpenPluginModule(DefaultPluginPath(), &module); !failed.empty())
        return Failed(GIMP_PDB_EXECUTION_ERROR, "Varnocketile cannot load its module: " + failed);
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
    options.interrupt = &stopRequested;
    ProgressShown shown;
    options.progress = [&shown](int32_t done, int32_t total) { ShowProgress(&shown, done, total); };
    gimp_progress_init("Selecting edges (Varnocketile)");
    // Taken as the plug-in will take it: when another program holds it, the run goes on with the
    // defaults and the user is told.
    RunFileNotes files;
    NoteFilesBeforeRun(&files, [](void*) -> int32_t { return stopRequested.load() != 0 ? 1 : 0; }, nullptr);
    const bool busy = files.busy;
    ReleaseRunFileNotes(&files);
    RunReport report;
    RunPlugin(&plugin, &document, options, &report);
    ClosePluginModule(&module);
    // The bar (and its cancel button) goes before the image changes: from here on the run completes.
    gimp_progress_end();

    const int16_t code = report.aboutResult != 0 ? report.aboutResult : report.result;
    if (code == -128) return Failed(GIMP_PDB_CANCEL, GimpFailureText(code, {}));
    if (code != 0) return Failed(GIMP_PDB_EXECUTION_ERROR, GimpFailureText(code, report.errorString));

    ReplaceSelection(image, drawable, document);
    // A run that went on without what it remembers (another program held it) says so.
    if (busy) g_message("%s", kDefaultsUsedWarning);
    GimpChoice used;
    if (ChoiceFromDescriptor(report.descriptor, &used)) gimp_set_data(kGimpProcedure, &used, sizeof used);
    return {};
}

// The choice GIMP keeps from the last run, if it keeps a valid one.
bool StoredChoice(GimpChoice* choice) {
    GimpChoice stored = {};
    if (gimp_get_data_size(kGimpProcedure) != sizeof stored || !gimp_get_data(kGimpProcedure, &stored) ||
        !ValidChoice(stored))
        return false;
    *choice = stored;
    return true;
}

Outcome Run(gint nparams, const GimpParam* param) {
    if (nparams < 3) return Failed(GIMP_PDB_CALLING_ERROR, "plug-in-varnocketile-select needs run-mode, image and drawable");
    const GimpRunMode mode = GimpRunMode(param[0].data.d_int32);
    const gint32 image = param[1].data.d_image, drawable = param[2].data.d_drawable;
    if (!gimp_item_is_valid(drawable) || !gimp_item_is_drawable(drawable) || gimp_item_get_image(drawable) != image)
        return Failed(GIMP_PDB_CALLING_ERROR, "the drawable is not one of the image's");

    GimpChoice choice = {};
    switch (mode) {
        case GIMP_RUN_NONINTERACTIVE:
            if (nparams != 5) return Failed(GIMP_PDB_CALLING_ERROR, "plug-in-varnocketile-select takes 5 arguments");
            choice = {param[3].data.d_int32, param[4].data.d_int32};
            if (!ValidChoice(choice))
                return Failed(GIMP_PDB_CALLING_ERROR, "method must be " + Range(kEdgeMethodFirst, kEdgeMethodLast) +
                                                          " and radius " + Range(kEdgeRadiusMin, kEdgeRadiusMax) +
                                                          ", not " + std::to_string(choice.method) + " and " +
                                                          std::to_string(choice.radius));
            return SelectEdges(image, drawable, &choice);
        case GIMP_RUN_WITH_LAST_VALS:
            return SelectEdges(image, drawable, StoredChoice(&choice) ? &choice : nullptr);
        case GIMP_RUN_INTERACTIVE:
            if (!StoredChoice(&choice)) choice = RememberedChoice();
            gimp_ui_init("varnocketile", FALSE);
            if (!ShowGimpDialog(drawable, &choice)) return Failed(GIMP_PDB_CANCEL, {});
            return SelectEdges(image, drawable, &choice);
    }
    return Failed(GIMP_PDB_CALLING_ERROR, "unknown run mode " + std::to_string(int(mode)));
}

void Query(void) {
    // "Traditional (3), Skinny lines (4), ...": the methods of the table by name and number.
    static const std::string methods = [] {
        std::string text;
        for (const EdgeMethodEntry& entry : kEdgeMethods)
            text += (text.empty() ? "" : ", ") + std::string(entry.name) + " (" + std::to_string(entry.number) + ")";
        return text;
    }();
    static const std::string radius = "Edge radius " + Range(kEdgeRadiusMin, kEdgeRadiusMax) + ": the width of Variable width";
    static const GimpParamDef arguments[] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"),
         const_cast<gchar*>("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1), RUN-WITH-LAST-VALS (2) }")},
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
        {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Drawable whose edges become the selection")},
        {GIMP_PDB_INT32, const_cast<gchar*>("method"), const_cast<gchar*>(methods.c_str())},
        {GIMP_PDB_INT32, const_cast<gchar*>("radius"), const_cast<gchar*>(radius.c_str())},
    };
    gimp_install_procedure(kGimpProcedure, "Select the edges of the drawable",
                           "Finds the edges of the drawable with one of five methods and makes them the image's "
                           "selection: dark edges in the method's picture become selected pixels, flat areas stay "
                           "unselected. The drawable's alpha is ignored; the image's selection before the run is "
                           "replaced over the whole image.",
                           "the Varnocketile Team", "the Varnocketile Team", "2026", "Edges (Varnocketile)...",
                           "RGB*, GRAY*, INDEXED*", GIMP_PLUGIN, G_N_ELEMENTS(arguments), 0, arguments, nullptr);
    gimp_plugin_menu_register(kGimpProcedure, "<Image>/Select");
}

void RunProcedure(const gchar*, gint nparams, const GimpParam* param, gint* nreturn, GimpParam** returned) {
    static GimpParam values[2];
    static std::string message;
    // A stop request (SIGINT, SIGTERM) reaches the module through its abort callback, so the run
    // ends as cancelled with the image unchanged instead of being cut short half way.
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    gegl_init(nullptr, nullptr);
    const Outcome outcome = Run(nparams, param);
    message = outcome.message;
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = outcome.status;
    *nreturn = 1;
    if (!message.empty() && outcome.status != GIMP_PDB_SUCCESS) {
        values[1].type = GIMP_PDB_STRING;
        values[1].data.d_string = const_cast<gchar*>(message.c_str());
        *nreturn = 2;
    }
    *returned = values;
}

}  // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, Query, RunProcedure};

MAIN()

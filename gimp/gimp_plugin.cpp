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
#include "params/edge_table.h"

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

struct Outcome {
    GimpPDBStatusType status = GIMP_PDB_SUCCESS;
    std::string message;
};

Outcome Failed(GimpPDBStatusType status, std::string message) { return {status, std::move(message)}; }

// One run of the module on the drawable; `play` null plays nothing.
Outcome SelectEdges(gint32 image, gint32 drawable, const GimpChoice* play) {
    Document document;
    std::string error;
    if (!ReadDocument(image, drawable, &document, &error)) return Failed(GIMP_PDB_EXECUTION_ERROR, error);
    ReadSelection(image, drawable, &document);

    GimpRunShow show;
    show.message = [](const std::string& text) { g_message("%s", text.c_str()); };
    show.progressStart = [] { gimp_progress_init("Selecting edges (Varnocketile)"); };
    show.progress = [](double fraction) { gimp_progress_update(fraction); };
    show.progressEnd = [] { gimp_progress_end(); };
    const GimpRunOutcome outcome = RunGimpSelection(&document, play, &stopRequested, show);
    if (outcome.status == GimpRunOutcome::kCancel) return Failed(GIMP_PDB_CANCEL, outcome.message);
    if (outcome.status != GimpRunOutcome::kSuccess) return Failed(GIMP_PDB_EXECUTION_ERROR, outcome.message);

    ReplaceSelection(image, drawable, document);
    if (outcome.choiceUsed) gimp_set_data(kGimpProcedure, &outcome.used, sizeof outcome.used);
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
                return Failed(GIMP_PDB_CALLING_ERROR, GimpChoiceRefusal(choice));
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
    static const std::string methods = GimpMethodsText(), radius = GimpRadiusText();
    static const GimpParamDef arguments[] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"),
         const_cast<gchar*>("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1), RUN-WITH-LAST-VALS (2) }")},
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
        {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Drawable whose edges become the selection")},
        {GIMP_PDB_INT32, const_cast<gchar*>("method"), const_cast<gchar*>(methods.c_str())},
        {GIMP_PDB_INT32, const_cast<gchar*>("radius"), const_cast<gchar*>(radius.c_str())},
    };
    gimp_install_procedure(kGimpProcedure, kGimpBlurb, kGimpHelp, "the Varnocketile Team", "the Varnocketile Team", "2026", "Edges (Varnocketile)...",
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

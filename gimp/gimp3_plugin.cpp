// The GIMP 3 plug-in: the same host of the plug-in module as the GIMP 2.10 one (gimp_plugin.cpp),
// over GIMP 3's object API. It registers the image procedure plug-in-varnocketile-select
// (Select > Varnocketile...), which hands one drawable and the image's selection to
// libvarnocketile.so (installed beside it) through the bridge, exactly as the 2.10 plug-in does,
// and combines the new selection with the image's by GIMP's own selection operation.
//
//   plug-in-varnocketile-select (run-mode, image, drawables (one), method, radius, operation)
//
// method is a choice of the methods by varno's names ("traditional" ... "variable"), radius
// 1..3, operation a GimpChannelOps (replace by default). Runs of every mode play method and radius
// to the module with its dialog suppressed; interactive runs show GIMP's procedure dialog first.
// GIMP remembers the arguments of each successful run; before it remembers any, they start from
// the choice the module keeps in its preferences file. Nothing in the image changes until the run
// has succeeded; then the selection changes as one undo step.
#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "gimp/bridge.h"
#include "params/edge_table.h"

namespace {

using namespace varno;
// GIMP 3 has a GimpChoice of its own (the choices of an argument): the bridge's is named in full.

// Set from a signal handler: a lock-free atomic is safe to store there.
std::atomic<int> stopRequested{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int) { stopRequested.store(1); }

// A format of `encoding`'s layout in the colour space that the drawable's own format names, so
// that samples move as GIMP holds them and are never converted from one colour space to another.
const Babl* SampleFormat(GimpDrawable* drawable, const char* encoding) {
    return babl_format_with_space(encoding, gimp_drawable_get_format(drawable));
}

// A one-plane 8-bit mask format of the same transfer curve as the channel's own ("Y", "Y'" or
// "Y~"), so that 8-bit values pass into and out of it by scaling alone.
const Babl* MaskFormat(GimpDrawable* channel) {
    const std::string own = babl_format_get_encoding(gimp_drawable_get_format(channel));
    return SampleFormat(channel, (own.substr(0, own.find(' ')) + " u8").c_str());
}

bool WidePrecision(GimpPrecision precision) {
    return precision != GIMP_PRECISION_U8_LINEAR && precision != GIMP_PRECISION_U8_NON_LINEAR &&
           precision != GIMP_PRECISION_U8_PERCEPTUAL;
}

// The drawable as a document: grey or RGB, alpha dropped, indexed colours through the palette;
// 8-bit precisions as 8-bit samples, every other precision as 16-bit samples.
bool ReadDocument(GimpImage* image, GimpDrawable* drawable, Document* document, std::string* error) {
    const gint width = gimp_drawable_get_width(drawable), height = gimp_drawable_get_height(drawable);
    if (width > kGimpMaxSide || height > kGimpMaxSide) {
        *error = "Varnocketile takes drawables of up to 32767 pixels on a side";
        return false;
    }
    const bool wide = WidePrecision(gimp_image_get_precision(image));
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
void ReadSelection(GimpImage* image, GimpDrawable* drawable, Document* document) {
    if (gimp_selection_is_empty(image)) return;
    gint x = 0, y = 0;
    gimp_drawable_get_offsets(drawable, &x, &y);
    GimpDrawable* mask = GIMP_DRAWABLE(gimp_image_get_selection(image));
    std::vector<uint8_t> plane(size_t(document->width) * size_t(document->height));
    GeglBuffer* buffer = gimp_drawable_get_buffer(mask);
    // Parts of a drawable that lie off the image read as unselected.
    gegl_buffer_get(buffer, GEGL_RECTANGLE(x, y, document->width, document->height), 1.0, MaskFormat(mask),
                    plane.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    g_object_unref(buffer);
    std::string ignored;
    SetSelection(document, std::move(plane), &ignored);
}

// The new selection (over the drawable's area, nothing elsewhere) is combined with the image's by
// `operation`, as one undo step: it is drawn into a channel of its own, which the image selects
// and then drops.
void CombineSelection(GimpImage* image, GimpDrawable* drawable, const Document& document, GimpChannelOps operation) {
    gint x = 0, y = 0;
    gimp_drawable_get_offsets(drawable, &x, &y);
    const gint imageWidth = gimp_image_get_width(image), imageHeight = gimp_image_get_height(image);
    const Placement place = PlaceDrawable(imageWidth, imageHeight, x, y, document.width, document.height);

    gimp_image_undo_group_start(image);
    GeglColor* black = gegl_color_new("black");
    GimpChannel* channel = gimp_channel_new(image, "Edges (Varnocketile)", imageWidth, imageHeight, 50.0, black);
    g_object_unref(black);
    gimp_image_insert_channel(image, channel, nullptr, 0);
    if (place.width > 0) {
        GeglBuffer* buffer = gimp_drawable_get_buffer(GIMP_DRAWABLE(channel));
        const size_t first = size_t(place.sourceY) * size_t(document.width) + size_t(place.sourceX);
        gegl_buffer_set(buffer, GEGL_RECTANGLE(place.imageX, place.imageY, place.width, place.height), 0,
                        MaskFormat(GIMP_DRAWABLE(channel)), document.selection.data() + first, document.width);
        g_object_unref(buffer);
    }
    // A feathered selection would soften the edges the run found.
    gimp_context_push();
    gimp_context_set_feather(FALSE);
    gimp_image_select_item(image, operation, GIMP_ITEM(channel));
    gimp_context_pop();
    gimp_image_remove_channel(image, channel);
    gimp_image_undo_group_end(image);
}

GimpValueArray* Failed(GimpProcedure* procedure, GimpPDBStatusType status, const std::string& message) {
    GError* error = message.empty() ? nullptr : g_error_new_literal(GIMP_PLUG_IN_ERROR, 0, message.c_str());
    return gimp_procedure_new_return_values(procedure, status, error);
}

// The dialog: the five methods as radio buttons, the radius (sensitive with Variable width only)
// and the selection operation. True on OK, with the choice in `config`.
bool ShowDialog(GimpProcedure* procedure, GimpProcedureConfig* config) {
    gimp_ui_init("varnocketile");
    GtkWidget* dialog = gimp_procedure_dialog_new(procedure, config, "Edges (Varnocketile)");
    GimpProcedureDialog* procedureDialog = GIMP_PROCEDURE_DIALOG(dialog);
    gimp_procedure_dialog_get_widget(procedureDialog, "method", GIMP_TYPE_INT_RADIO_FRAME);
    GimpValueArray* variable = gimp_value_array_new(1);
    GValue nick = G_VALUE_INIT;
    g_value_init(&nick, G_TYPE_STRING);
    g_value_set_string(&nick, FindEdgeMethod(kMethodVariableWidth)->shortName);
    gimp_value_array_append(variable, &nick);
    g_value_unset(&nick);
    gimp_procedure_dialog_set_sensitive_if_in(procedureDialog, "radius", nullptr, "method", variable, TRUE);
    gimp_procedure_dialog_fill(procedureDialog, "method", "radius", "operation", nullptr);
    const bool accepted = gimp_procedure_dialog_run(procedureDialog);
    gtk_widget_destroy(dialog);
    return accepted;
}

GimpValueArray* Run(GimpProcedure* procedure, GimpRunMode mode, GimpImage* image, GimpDrawable** drawables,
                    GimpProcedureConfig* config, gpointer) {
    // A stop request (SIGINT, SIGTERM) reaches the module through its abort callback, so the run
    // ends as cancelled with the image unchanged instead of being cut short half way.
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    if (!drawables || !drawables[0] || drawables[1])
        return Failed(procedure, GIMP_PDB_CALLING_ERROR, "plug-in-varnocketile-select takes one drawable");
    GimpDrawable* drawable = drawables[0];
    if (gimp_item_get_image(GIMP_ITEM(drawable)) != image)
        return Failed(procedure, GIMP_PDB_CALLING_ERROR, "the drawable is not one of the image's");
    if (mode == GIMP_RUN_INTERACTIVE && !ShowDialog(procedure, config)) return Failed(procedure, GIMP_PDB_CANCEL, {});

    varno::GimpChoice choice = {gimp_procedure_config_get_choice_id(config, "method"), 0};
    gint operation = GIMP_CHANNEL_OP_REPLACE;
    g_object_get(config, "radius", &choice.radius, "operation", &operation, nullptr);
    if (!ValidChoice(choice)) return Failed(procedure, GIMP_PDB_CALLING_ERROR, GimpChoiceRefusal(choice));

    Document document;
    std::string error;
    if (!ReadDocument(image, drawable, &document, &error)) return Failed(procedure, GIMP_PDB_EXECUTION_ERROR, error);
    ReadSelection(image, drawable, &document);

    GimpRunShow show;
    show.message = [](const std::string& text) { g_message("%s", text.c_str()); };
    show.progressStart = [] { gimp_progress_init("Selecting edges (Varnocketile)"); };
    show.progress = [](double fraction) { gimp_progress_update(fraction); };
    show.progressEnd = [] { gimp_progress_end(); };
    const GimpRunOutcome outcome = RunGimpSelection(&document, &choice, &stopRequested, show);
    if (outcome.status == GimpRunOutcome::kCancel) return Failed(procedure, GIMP_PDB_CANCEL, outcome.message);
    if (outcome.status != GimpRunOutcome::kSuccess)
        return Failed(procedure, GIMP_PDB_EXECUTION_ERROR, outcome.message);
    CombineSelection(image, drawable, document, GimpChannelOps(operation));
    return gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr);
}

GimpProcedure* CreateProcedure(GimpPlugIn* plugIn, const gchar* name) {
    if (std::strcmp(name, kGimpProcedure) != 0) return nullptr;
    GimpProcedure* procedure = gimp_image_procedure_new(plugIn, name, GIMP_PDB_PROC_TYPE_PLUGIN, Run, nullptr, nullptr);
    gimp_procedure_set_image_types(procedure, "RGB*, GRAY*, INDEXED*");
    gimp_procedure_set_sensitivity_mask(procedure, GIMP_PROCEDURE_SENSITIVE_DRAWABLE);
    gimp_procedure_set_menu_label(procedure, "Varnocketile...");
    gimp_procedure_add_menu_path(procedure, "<Image>/Select");
    gimp_procedure_set_documentation(procedure, kGimpBlurb, kGimpHelp, name);
    gimp_procedure_set_attribution(procedure, "the Varnocketile Team", "the Varnocketile Team", "2026");

    // Until GIMP remembers a run, the arguments start from the module's remembered choice.
    const varno::GimpChoice remembered = RememberedChoice();
    ::GimpChoice* methods = gimp_choice_new();
    const char* first = kEdgeMethods[0].shortName;
    for (const EdgeMethodEntry& entry : kEdgeMethods) {
        // The dialog's button underlines the letter the 2.10 dialog does.
        std::string label = entry.name;
        label.insert(size_t(entry.accessKey), "_");
        gimp_choice_add(methods, entry.shortName, entry.number, label.c_str(), nullptr);
        if (entry.number == remembered.method) first = entry.shortName;
    }
    static const std::string methodsText = GimpMethodsText(), radiusText = GimpRadiusText();
    gimp_procedure_add_choice_argument(procedure, "method", "_Method", methodsText.c_str(), methods, first,
                                       G_PARAM_READWRITE);
    gimp_procedure_add_int_argument(procedure, "radius", "Edge _radius", radiusText.c_str(), kEdgeRadiusMin,
                                    kEdgeRadiusMax, remembered.radius, G_PARAM_READWRITE);
    gimp_procedure_add_enum_argument(procedure, "operation", "Selection o_peration",
                                     "How the new selection combines with the image's", GIMP_TYPE_CHANNEL_OPS,
                                     GIMP_CHANNEL_OP_REPLACE, G_PARAM_READWRITE);
    return procedure;
}

GList* QueryProcedures(GimpPlugIn*) { return g_list_append(nullptr, g_strdup(kGimpProcedure)); }

// The plug-in's texts are English only: no catalogue to look for.
gboolean NoTranslations(GimpPlugIn*, const gchar*, gchar**, gchar**) { return FALSE; }

}  // namespace

// The plug-in's GObject type, as GIMP 3 asks of a plug-in program.
extern "C" {
#define VARNO_TYPE_PLUG_IN (varno_plug_in_get_type())
G_DECLARE_FINAL_TYPE(VarnoPlugIn, varno_plug_in, VARNO, PLUG_IN, GimpPlugIn)
struct _VarnoPlugIn {
    GimpPlugIn parent_instance;
};
G_DEFINE_TYPE(VarnoPlugIn, varno_plug_in, GIMP_TYPE_PLUG_IN)

static void varno_plug_in_class_init(VarnoPlugInClass* klass) {
    GimpPlugInClass* plugInClass = GIMP_PLUG_IN_CLASS(klass);
    plugInClass->query_procedures = QueryProcedures;
    plugInClass->create_procedure = CreateProcedure;
    plugInClass->set_i18n = NoTranslations;
}

static void varno_plug_in_init(VarnoPlugIn*) {}
}

GIMP_MAIN(VARNO_TYPE_PLUG_IN)

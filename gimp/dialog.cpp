// The GTK 2 dialog of the GIMP plug-in (libgimpui widgets).
#include "gimp/dialog.h"

#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include <string>
#include <vector>

#include "gimp/preview.h"
#include "params/edge_table.h"

namespace varno {

namespace {

struct DialogState {
    GimpChoice choice;
    GtkWidget* preview = nullptr;
    GtkObject* radius = nullptr;
};

// Draws the chosen method's picture of what the preview shows (alpha dropped, as in the run).
void DrawPreview(GimpPreview* preview, DialogState* state) {
    gint width = 0, height = 0, bpp = 0;
    guchar* source = gimp_zoom_preview_get_source(GIMP_ZOOM_PREVIEW(preview), &width, &height, &bpp);
    if (!source) return;
    std::vector<uint8_t> picture;
    int32_t planes = 0;
    if (PreviewPicture(source, width, height, bpp, state->choice, &picture, &planes) == 0)
        gimp_preview_area_draw(GIMP_PREVIEW_AREA(gimp_preview_get_area(preview)), 0, 0, width, height,
                               planes == 3 ? GIMP_RGB_IMAGE : GIMP_GRAY_IMAGE, picture.data(), width * planes);
    g_free(source);
}

void OnMethodToggled(GtkWidget* button, DialogState* state) {
    if (!gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button))) return;
    state->choice.method = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "gimp-item-data"));
    gimp_scale_entry_set_sensitive(state->radius, state->choice.method == kMethodVariableWidth);
    gimp_preview_invalidate(GIMP_PREVIEW(state->preview));
}

void OnRadiusChanged(GtkAdjustment* adjustment, DialogState* state) {
    const int32_t radius = RINT(gtk_adjustment_get_value(adjustment));
    if (radius == state->choice.radius) return;
    state->choice.radius = radius;
    gimp_preview_invalidate(GIMP_PREVIEW(state->preview));
}

// The method's name with its access key marked, as GTK's mnemonics want it ("S_kinny lines").
std::string MnemonicLabel(const EdgeMethodEntry& entry) {
    std::string label = entry.name;
    return label.insert(size_t(entry.accessKey), 1, '_');
}

}  // namespace

bool ShowGimpDialog(int32_t drawable, GimpChoice* choice) {
    DialogState state;
    state.choice = *choice;

    GtkWidget* dialog = gimp_dialog_new("Edges (Varnocketile)", "varnocketile", nullptr, GtkDialogFlags(0),
                                        nullptr, nullptr,
                                        "_Cancel", GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_alternative_button_order(GTK_DIALOG(dialog), GTK_RESPONSE_OK, GTK_RESPONSE_CANCEL, -1);
    gimp_window_set_transient(GTK_WINDOW(dialog));

    GtkWidget* box = gtk_vbox_new(FALSE, 12);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), box, TRUE, TRUE, 0);

    state.preview = gimp_zoom_preview_new_from_drawable_id(drawable);
    gtk_box_pack_start(GTK_BOX(box), state.preview, TRUE, TRUE, 0);
    // The preview draws an indexed drawable itself (with Preview off) through the palette.
    if (gimp_drawable_is_indexed(drawable)) {
        gint colours = 0;
        guchar* palette = gimp_image_get_colormap(gimp_item_get_image(drawable), &colours);
        gimp_preview_area_set_colormap(GIMP_PREVIEW_AREA(gimp_preview_get_area(GIMP_PREVIEW(state.preview))), palette,
                                       colours);
        g_free(palette);
    }
    g_signal_connect(state.preview, "invalidated", G_CALLBACK(DrawPreview), &state);

    // One button per method of the table, in its order.
    static_assert(kEdgeMethodCount == 5, "the radio group below lists every method");
    std::string labels[kEdgeMethodCount];
    for (int32_t i = 0; i < kEdgeMethodCount; ++i) labels[i] = MnemonicLabel(kEdgeMethods[i]);
    GtkWidget* methods = gimp_int_radio_group_new(
        TRUE, "Method", G_CALLBACK(OnMethodToggled), &state, state.choice.method,
        labels[0].c_str(), kEdgeMethods[0].number, nullptr, labels[1].c_str(), kEdgeMethods[1].number, nullptr,
        labels[2].c_str(), kEdgeMethods[2].number, nullptr, labels[3].c_str(), kEdgeMethods[3].number, nullptr,
        labels[4].c_str(), kEdgeMethods[4].number, nullptr, nullptr);
    gtk_box_pack_start(GTK_BOX(box), methods, FALSE, FALSE, 0);

    GtkWidget* table = gtk_table_new(1, 3, FALSE);
    gtk_table_set_col_spacings(GTK_TABLE(table), 6);
    gtk_box_pack_start(GTK_BOX(box), table, FALSE, FALSE, 0);
    state.radius = gimp_scale_entry_new(GTK_TABLE(table), 0, 0, "_Radius:", 160, 3, state.choice.radius,
                                        kEdgeRadiusMin, kEdgeRadiusMax, 1, 1,
                                        0, TRUE, 0, 0, "The width of Variable width's operator", nullptr);
    gimp_scale_entry_set_sensitive(state.radius, state.choice.method == kMethodVariableWidth);
    g_signal_connect(state.radius, "value-changed", G_CALLBACK(OnRadiusChanged), &state);

    gtk_widget_show_all(dialog);
    const bool accepted = gimp_dialog_run(GIMP_DIALOG(dialog)) == GTK_RESPONSE_OK;
    gtk_widget_destroy(dialog);
    if (accepted) *choice = state.choice;
    return accepted;
}

}  // namespace varno

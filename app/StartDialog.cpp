// Start dialog (GTK): lists from StartDialogModel, picture read with the engine's PNG reader.
#include "app/StartDialog.h"

#include <gtk/gtk.h>

#include "app/GtkSupport.h"
#include "app/Production.h"
#include "app/StartDialogModel.h"
#include "engine/core/Fatal.h"
#include "engine/core/ImageReaders.h"
#include "engine/core/Interrupt.h"
#include "engine/core/Log.h"
#include "engine/device/RenderDevice.h"

namespace {

constexpr int kResponseStart = 1;
constexpr int kResponseQuit = 0;
constexpr int kResponseInterrupted = 2;
// How often the open dialog looks for a stop signal: the handler only records it.
constexpr guint kInterruptPollMs = 50;

struct DialogState {
    StartDialogModel* model = nullptr;
    GtkWidget* drivers = nullptr;
    GtkWidget* devices = nullptr;
    GtkWidget* modes = nullptr;
    GtkWidget* start = nullptr;
    GtkWidget* link = nullptr;
    bool refilling = false;
};

// Long device descriptions are cut with an ellipsis instead of widening the dialog.
GtkWidget* NewCombo()
{
    GtkWidget* combo = gtk_combo_box_text_new();
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(combo));
    for (GList* cell = cells; cell; cell = cell->next)
        g_object_set(cell->data, "ellipsize", PANGO_ELLIPSIZE_END, "width-chars", 36, nullptr);
    g_list_free(cells);
    return combo;
}

void FillCombo(GtkWidget* combo, const std::vector<std::string>& items, int selected)
{
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(combo));
    for (const std::string& item : items)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), item.c_str());
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), selected);
}

void Refresh(DialogState& state)
{
    state.refilling = true;
    FillCombo(state.devices, state.model->GetDeviceItems(), state.model->GetSelectedDevice());
    FillCombo(state.modes, state.model->GetModeItems(), state.model->GetSelectedMode());
    state.refilling = false;
    gtk_widget_set_sensitive(state.start, state.model->CanStart());
}

void OnDriverChanged(GtkComboBox* combo, gpointer data)
{
    auto& state = *static_cast<DialogState*>(data);
    if (state.refilling)
        return;
    state.model->SelectDriver(gtk_combo_box_get_active(combo));
    Refresh(state);
}

void OnDeviceChanged(GtkComboBox* combo, gpointer data)
{
    auto& state = *static_cast<DialogState*>(data);
    if (state.refilling)
        return;
    state.model->SelectDevice(gtk_combo_box_get_active(combo));
    state.refilling = true;
    FillCombo(state.modes, state.model->GetModeItems(), state.model->GetSelectedMode());
    state.refilling = false;
    gtk_widget_set_sensitive(state.start, state.model->CanStart());
}

void OnModeChanged(GtkComboBox* combo, gpointer data)
{
    auto& state = *static_cast<DialogState*>(data);
    if (state.refilling)
        return;
    state.model->SelectMode(gtk_combo_box_get_active(combo));
}

// A SIGINT or SIGTERM while the dialog waits for the user closes it at once.
gboolean PollInterrupt(gpointer dialog)
{
    if (InterruptRequested() == 0)
        return G_SOURCE_CONTINUE;
    gtk_dialog_response(GTK_DIALOG(dialog), kResponseInterrupted);
    return G_SOURCE_CONTINUE;
}

void OnButton(GtkButton* button, gpointer response)
{
    GtkWidget* dialog = gtk_widget_get_toplevel(GTK_WIDGET(button));
    gtk_dialog_response(GTK_DIALOG(dialog), GPOINTER_TO_INT(response));
}

// The address lights up only while the pointer is over it.
gboolean OnLinkEnter(GtkWidget*, GdkEvent*, gpointer data)
{
    gtk_widget_set_sensitive(static_cast<DialogState*>(data)->link, TRUE);
    return FALSE;
}

gboolean OnLinkLeave(GtkWidget*, GdkEvent*, gpointer data)
{
    gtk_widget_set_sensitive(static_cast<DialogState*>(data)->link, FALSE);
    return FALSE;
}

gboolean OnLinkClicked(GtkWidget*, GdkEventButton* event, gpointer)
{
    if (event->button != 1)
        return FALSE;
    gchar* argv[] = {const_cast<gchar*>("xdg-open"), const_cast<gchar*>(kGroupWebAddress),
                     nullptr};
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr,
                       &error)) {
        LogLine("Cannot open [%s] : %s", kGroupWebAddress, error ? error->message : "");
        g_clear_error(&error);
    }
    return TRUE;
}

// The dialog's picture: "Vireointro.png" read with the engine's PNG reader, so a missing
// or broken file stops the program like any other data file.
GtkWidget* LoadPicture()
{
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    PngLoad("Vireointro.png", rgb, width, height);
    if (width == 0 || height == 0)
        return nullptr;
    // The pixbuf copies the rows, so the buffer may go when this function returns.
    GdkPixbuf* view = gdk_pixbuf_new_from_data(rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8,
                                               static_cast<int>(width), static_cast<int>(height),
                                               static_cast<int>(width * 3), nullptr, nullptr);
    GdkPixbuf* pixbuf = gdk_pixbuf_copy(view);
    g_object_unref(view);
    GtkWidget* image = gtk_image_new_from_pixbuf(pixbuf);
    g_object_unref(pixbuf);
    return image;
}

GtkWidget* Caption(const char* text)
{
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    return label;
}

}  // namespace

bool StartDialog::Run(RenderDevice& device, const std::string& caption)
{
    if (!EnsureGtk())
        RaiseAppError("Cannot show the start dialog: no display (use --no-dialog or --headless)");

    GtkWidget* picture = LoadPicture();
    StartDialogModel model(device);
    DialogState state;
    state.model = &model;

    GtkWidget* dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_box_set_spacing(GTK_BOX(box), 3);
    gtk_container_set_border_width(GTK_CONTAINER(dialog), 8);

    if (picture)
        gtk_box_pack_start(GTK_BOX(box), picture, FALSE, FALSE, 0);

    state.drivers = NewCombo();
    state.devices = NewCombo();
    state.modes = NewCombo();
    gtk_box_pack_start(GTK_BOX(box), Caption("Driver"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), state.drivers, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), Caption("Device"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), state.devices, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), Caption("Resolution"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), state.modes, FALSE, FALSE, 0);

    GtkWidget* fullScreen = gtk_check_button_new_with_mnemonic("_Fullscreen");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(fullScreen), TRUE);
    gtk_box_pack_start(GTK_BOX(box), fullScreen, FALSE, FALSE, 0);

    GtkWidget* frame = gtk_frame_new(nullptr);
    GtkWidget* frameBox = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
    gtk_container_set_border_width(GTK_CONTAINER(frameBox), 4);
    gtk_box_pack_start(GTK_BOX(frameBox), gtk_label_new(kProductionTitle), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(frameBox), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE,
                       FALSE, 0);
    state.link = gtk_label_new(kGroupWebAddress);
    gtk_widget_set_sensitive(state.link, FALSE);
    GtkWidget* linkBox = gtk_event_box_new();
    gtk_event_box_set_above_child(GTK_EVENT_BOX(linkBox), TRUE);
    gtk_widget_add_events(linkBox, GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK |
                                       GDK_BUTTON_PRESS_MASK);
    gtk_container_add(GTK_CONTAINER(linkBox), state.link);
    gtk_box_pack_start(GTK_BOX(frameBox), linkBox, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(frame), frameBox);
    gtk_box_pack_start(GTK_BOX(box), frame, FALSE, FALSE, 4);

    GtkWidget* quit = gtk_button_new_with_mnemonic("_Quit");
    state.start = gtk_button_new_with_mnemonic("_Start");
    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    gtk_box_pack_start(GTK_BOX(buttons), quit, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(buttons), state.start, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);
    g_signal_connect(quit, "clicked", G_CALLBACK(OnButton), GINT_TO_POINTER(kResponseQuit));
    g_signal_connect(state.start, "clicked", G_CALLBACK(OnButton),
                     GINT_TO_POINTER(kResponseStart));
    gtk_widget_set_can_default(state.start, TRUE);
    gtk_widget_grab_default(state.start);

    state.refilling = true;
    FillCombo(state.drivers, model.GetDriverItems(), model.GetSelectedDriver());
    state.refilling = false;
    Refresh(state);

    g_signal_connect(state.drivers, "changed", G_CALLBACK(OnDriverChanged), &state);
    g_signal_connect(state.devices, "changed", G_CALLBACK(OnDeviceChanged), &state);
    g_signal_connect(state.modes, "changed", G_CALLBACK(OnModeChanged), &state);
    g_signal_connect(linkBox, "enter-notify-event", G_CALLBACK(OnLinkEnter), &state);
    g_signal_connect(linkBox, "leave-notify-event", G_CALLBACK(OnLinkLeave), &state);
    g_signal_connect(linkBox, "button-press-event", G_CALLBACK(OnLinkClicked), &state);

    gtk_widget_show_all(dialog);
    gtk_widget_grab_focus(state.start);
    const guint poll = g_timeout_add(kInterruptPollMs, PollInterrupt, dialog);
    bool started = false;
    for (;;) {
        const int response = gtk_dialog_run(GTK_DIALOG(dialog));
        if (response == kResponseStart) {
            if (!model.CanStart())
                continue;  // an empty list: Start is refused
            model.fullScreen = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(fullScreen));
            started = true;
        }
        break;
    }
    g_source_remove(poll);
    gtk_widget_destroy(dialog);
    FlushGtkEvents();
    ThrowIfInterrupted();

    if (!started)
        return false;
    fullScreen_ = model.fullScreen;
    return model.Apply(device);
}

// Fatal-error dialogs in GTK, always echoed to stderr.
#include "app/ErrorDialogs.h"

#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>

#include "app/GtkSupport.h"
#include "engine/core/Fatal.h"
#include "engine/core/Interrupt.h"

namespace {

bool g_consoleOnly = false;

std::string SystemErrorText(int systemError)
{
    return systemError == 0 ? std::string("Success") : std::string(std::strerror(systemError));
}

GtkWidget* ReadOnlyText(const std::string& text, int width, int height)
{
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(view), FALSE);
    gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(view), FALSE);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), text.c_str(), -1);
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER,
                                   GTK_POLICY_ALWAYS);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroll), GTK_SHADOW_IN);
    gtk_widget_set_size_request(scroll, width, height);
    gtk_container_add(GTK_CONTAINER(scroll), view);
    return scroll;
}

GtkWidget* Label(const std::string& text, bool wrap)
{
    GtkWidget* label = gtk_label_new(text.c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(label), wrap);
    gtk_label_set_selectable(GTK_LABEL(label), wrap);
    return label;
}

// How often a dialog looks for a stop signal.
constexpr guint kInterruptPollMs = 50;

// A SIGINT or SIGTERM closes the dialog as OK would: the report is on stderr already, and a
// player told to stop must not wait for a user who may not be there.
gboolean CloseOnInterrupt(gpointer dialog)
{
    if (InterruptRequested() != 0)
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CLOSE);
    return G_SOURCE_CONTINUE;
}

// Runs a modal dialog, owned by no window and above all others, until OK, close or a stop.
void RunDialog(const char* caption, GtkWidget* content, int width)
{
    GtkWidget* dialog = gtk_dialog_new_with_buttons(caption, nullptr, GTK_DIALOG_MODAL, "OK",
                                                    GTK_RESPONSE_OK, nullptr);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_default_size(GTK_WINDOW(dialog), width, -1);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(area), 10);
    gtk_box_pack_start(GTK_BOX(area), content, TRUE, TRUE, 0);
    gtk_widget_show_all(dialog);
    const guint poll = g_timeout_add(kInterruptPollMs, CloseOnInterrupt, dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    g_source_remove(poll);
    gtk_widget_destroy(dialog);
    FlushGtkEvents();
}

bool CanShowDialogs()
{
    return !g_consoleOnly && EnsureGtk();
}

}  // namespace

void SetErrorDialogsConsoleOnly(bool consoleOnly)
{
    g_consoleOnly = consoleOnly;
}

bool AreErrorDialogsConsoleOnly()
{
    return g_consoleOnly;
}

std::string FormatExceptionReport(const std::string& message, int systemError,
                                  const std::string& traceBack)
{
    return std::string(kExceptionDialogCaption) + "\nMessage\n" + message +
           "\nGetLastError (Informative)\n" + SystemErrorText(systemError) + "\nTraceBack\n" +
           (traceBack.empty() ? std::string("Not available") : traceBack) + "\n";
}

std::string FormatErrorReport(const std::string& message)
{
    return std::string(kErrorDialogCaption) + "\n" + message + "\n";
}

void ShowExceptionDialog(const std::string& message, int systemError,
                         const std::string& traceBack)
{
    DebugOutput("Glou\n");
    const std::string report = FormatExceptionReport(message, systemError, traceBack);
    std::fputs(report.c_str(), stderr);
    std::fflush(stderr);
    if (!CanShowDialogs())
        return;
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_box_pack_start(GTK_BOX(box), Label("Message", false), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), ReadOnlyText(message, 440, 96), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), Label("GetLastError (Informative)", false), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), Label(SystemErrorText(systemError), true), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), Label("TraceBack", false), FALSE, FALSE, 0);
    if (traceBack.empty())
        gtk_box_pack_start(GTK_BOX(box), Label("Not available", true), FALSE, FALSE, 0);
    else
        gtk_box_pack_start(GTK_BOX(box), ReadOnlyText(traceBack, 440, 120), TRUE, TRUE, 0);
    RunDialog(kExceptionDialogCaption, box, 466);
}

void ShowErrorDialog(const std::string& message)
{
    const std::string report = FormatErrorReport(message);
    std::fputs(report.c_str(), stderr);
    std::fflush(stderr);
    if (!CanShowDialogs())
        return;
    RunDialog(kErrorDialogCaption, ReadOnlyText(message, 406, 74), 434);
}

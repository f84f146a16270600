// One-time GTK start-up shared by the start dialog and the error dialogs.
#include "app/GtkSupport.h"

#include <gtk/gtk.h>

bool EnsureGtk()
{
    static const bool available = gtk_init_check(nullptr, nullptr);
    return available;
}

void FlushGtkEvents()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

// One-time GTK start-up shared by the start dialog and the error dialogs.
#pragma once

// Initialises GTK on first call; false when no display can be opened (then never retried).
bool EnsureGtk();
// Runs pending GTK events so that a closed dialog disappears from the screen at once.
void FlushGtkEvents();

#pragma once

#include <gtk/gtk.h>

namespace pw::gtk {

// The window dialogs belong to: the application's active window (the one holding the
// page), or nullptr when the process has no GtkApplication or no window yet.
GtkWindow* activeApplicationWindow();

}  // namespace pw::gtk

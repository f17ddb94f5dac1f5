#pragma once

#include <functional>

#include <gtk/gtk.h>

#include "platform/shell.h"

namespace pw::gtk {

// The end of the desktop session goes the way of the window's close button: the page
// is asked, and the session waits (logout is inhibited) while the page may still keep
// unsaved work. Needs the application's "register-session" set before it runs.
void closeWithTheSession(GtkApplication* application, std::function<Window*()> window);

}  // namespace pw::gtk

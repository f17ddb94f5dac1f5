#include "platform/gtk/application_window.h"

namespace pw::gtk {

GtkWindow* activeApplicationWindow()
{
    GApplication* application = g_application_get_default();
    if (!application || !GTK_IS_APPLICATION(application)) return nullptr;
    return gtk_application_get_active_window(GTK_APPLICATION(application));
}

}  // namespace pw::gtk

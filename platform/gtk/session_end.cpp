#include "platform/gtk/session_end.h"

#include <memory>
#include <utility>

#include "common/language.h"

namespace pw::gtk {

namespace {

struct SessionEnd {
    std::function<Window*()> window;
    guint inhibition = 0;
};

void onQueryEnd(GtkApplication* application, gpointer data)
{
    auto* state = static_cast<SessionEnd*>(data);
    // Asked synchronously, answered later: the inhibition holds the logout until the
    // page has agreed and the process is gone (which ends it). When the user keeps
    // the page, it stays, and the desktop shows why the session does not end.
    if (state->inhibition == 0) {
        const std::string reason =
            tr("Des modifications ne sont peut-être pas enregistrées.", "Some changes may not be saved.");
        state->inhibition = gtk_application_inhibit(application, gtk_application_get_active_window(application),
                                                    GTK_APPLICATION_INHIBIT_LOGOUT, reason.c_str());
    }
    if (Window* window = state->window ? state->window() : nullptr) window->close();
}

}  // namespace

void closeWithTheSession(GtkApplication* application, std::function<Window*()> window)
{
    auto* state = new SessionEnd{std::move(window)};
    g_signal_connect_data(
        application, "query-end", G_CALLBACK(onQueryEnd), state,
        [](gpointer data, GClosure*) { delete static_cast<SessionEnd*>(data); }, GConnectFlags(0));
}

}  // namespace pw::gtk

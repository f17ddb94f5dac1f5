#include "platform/gtk/gtk_app_window.h"

#include <string>

#include <gdk/gdkx.h>

#include "platform/gtk/gtk_web_view.h"

namespace pw::gtk {

namespace {

// Moves and resizes come in bursts; the frame is kept once the burst is over.
constexpr guint frameReportDelayMs = 300;

bool positionsAreKnown(GtkWindow* window)
{
    return GDK_IS_X11_DISPLAY(gtk_widget_get_display(GTK_WIDGET(window)));
}

}  // namespace

GtkAppWindow::GtkAppWindow(GtkApplication* application, const std::shared_ptr<GtkWebView>& content, Size size)
    : application_(application), window_(GTK_WINDOW(gtk_application_window_new(application))), content_(content)
{
    g_object_ref(window_);
    gtk_window_set_default_size(window_, size.width, size.height);
    gtk_container_add(GTK_CONTAINER(window_), content->widget());
    g_signal_connect(window_, "configure-event", G_CALLBACK(onConfigure), this);
    g_signal_connect(window_, "window-state-event", G_CALLBACK(onWindowState), this);
    g_signal_connect(window_, "destroy", G_CALLBACK(onDestroy), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(onDeleteEvent), this);
}

GtkAppWindow::~GtkAppWindow()
{
    if (pendingReport_) g_source_remove(pendingReport_);
    g_signal_handlers_disconnect_by_data(window_, this);
    g_object_unref(window_);
}

void GtkAppWindow::setTitle(const std::string& title)
{
    gtk_window_set_title(window_, title.c_str());
}

std::string GtkAppWindow::title() const
{
    const char* title = gtk_window_get_title(window_);
    return title ? title : "";
}

void GtkAppWindow::setMinimumSize(Size size)
{
    GdkGeometry geometry{};
    geometry.min_width = size.width;
    geometry.min_height = size.height;
    gtk_window_set_geometry_hints(window_, nullptr, &geometry, GDK_HINT_MIN_SIZE);
}

Frame GtkAppWindow::frame() const
{
    Frame frame;
    gtk_window_get_size(window_, &frame.width, &frame.height);
    frame.hasPosition = positionsAreKnown(window_);
    if (frame.hasPosition) gtk_window_get_position(window_, &frame.x, &frame.y);
    return frame;
}

bool GtkAppWindow::fitsOnAMonitor(const Frame& frame) const
{
    // A frame saved on a monitor that is gone would put the window out of reach:
    // its title bar must lie on some monitor's work area.
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window_));
    const int monitors = gdk_display_get_n_monitors(display);
    for (int i = 0; i < monitors; ++i) {
        GdkRectangle area;
        gdk_monitor_get_workarea(gdk_display_get_monitor(display, i), &area);
        const bool titleBarInside = frame.y >= area.y && frame.y < area.y + area.height &&
                                    frame.x + frame.width > area.x + 48 && frame.x < area.x + area.width - 48;
        if (titleBarInside) return true;
    }
    return false;
}

void GtkAppWindow::setFrame(const Frame& frame)
{
    gtk_window_resize(window_, frame.width, frame.height);
    if (frame.hasPosition && positionsAreKnown(window_) && fitsOnAMonitor(frame))
        gtk_window_move(window_, frame.x, frame.y);
    else
        center();
}

void GtkAppWindow::center()
{
    gtk_window_set_position(window_, GTK_WIN_POS_CENTER);
}

void GtkAppWindow::observeFrame(std::function<void(const Frame&)> changed)
{
    frameChanged_ = std::move(changed);
}

void GtkAppWindow::show()
{
    gtk_widget_show_all(GTK_WIDGET(window_));
    gtk_window_present(window_);
}

void GtkAppWindow::close()
{
    gtk_window_close(window_);
}

void GtkAppWindow::minimize()
{
    gtk_window_iconify(window_);
}

void GtkAppWindow::toggleFullScreen()
{
    if (fullScreen_)
        gtk_window_unfullscreen(window_);
    else
        gtk_window_fullscreen(window_);
}

void GtkAppWindow::setMenuBar(const std::vector<Menu>& menus)
{
    GMenu* bar = g_menu_new();
    for (std::size_t m = 0; m < menus.size(); ++m) {
        GMenu* menu = g_menu_new();
        GMenu* section = g_menu_new();
        for (std::size_t i = 0; i < menus[m].items.size(); ++i) {
            const auto& item = menus[m].items[i];
            if (!item) {
                g_menu_append_section(menu, nullptr, G_MENU_MODEL(section));
                g_object_unref(section);
                section = g_menu_new();
                continue;
            }
            const std::string name = "menu-" + std::to_string(m) + "-" + std::to_string(i);
            GSimpleAction* action = g_simple_action_new(name.c_str(), nullptr);
            g_simple_action_set_enabled(action, static_cast<bool>(item->action));
            g_signal_connect_data(
                action, "activate", G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer data) {
                    if (auto* run = static_cast<std::function<void()>*>(data); *run) (*run)();
                }),
                new std::function<void()>(item->action),
                +[](gpointer data, GClosure*) { delete static_cast<std::function<void()>*>(data); }, GConnectFlags(0));
            g_action_map_add_action(G_ACTION_MAP(window_), G_ACTION(action));
            g_object_unref(action);

            const std::string detailed = "win." + name;
            g_menu_append(section, item->title.c_str(), detailed.c_str());
            std::vector<const gchar*> accels;
            if (!item->accelerator.empty()) accels.push_back(item->accelerator.c_str());
            // F11 is where Linux users look for full screen.
            if (item->accelerator == "<Primary><Super>f") accels.push_back("F11");
            accels.push_back(nullptr);
            gtk_application_set_accels_for_action(application_, detailed.c_str(), accels.data());
        }
        g_menu_append_section(menu, nullptr, G_MENU_MODEL(section));
        g_object_unref(section);
        g_menu_append_submenu(bar, menus[m].title.c_str(), G_MENU_MODEL(menu));
        g_object_unref(menu);
    }
    gtk_application_set_menubar(application_, G_MENU_MODEL(bar));
    gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window_), TRUE);
    g_object_unref(bar);
}

void GtkAppWindow::reportFrameSoon()
{
    if (pendingReport_) g_source_remove(pendingReport_);
    pendingReport_ = g_timeout_add(frameReportDelayMs, +[](gpointer self) -> gboolean {
        auto* window = static_cast<GtkAppWindow*>(self);
        window->pendingReport_ = 0;
        window->reportFrameNow();
        return G_SOURCE_REMOVE;
    }, this);
}

void GtkAppWindow::reportFrameNow()
{
    // A maximised or full-screen window keeps the frame it had before.
    if (frameChanged_ && !fullScreen_ && !maximized_) frameChanged_(frame());
}

gboolean GtkAppWindow::onConfigure(GtkWidget*, GdkEvent*, gpointer self)
{
    static_cast<GtkAppWindow*>(self)->reportFrameSoon();
    return FALSE;
}

gboolean GtkAppWindow::onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self)
{
    auto* window = static_cast<GtkAppWindow*>(self);
    window->fullScreen_ = event->new_window_state & GDK_WINDOW_STATE_FULLSCREEN;
    window->maximized_ = event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED;
    return FALSE;
}

gboolean GtkAppWindow::onDeleteEvent(GtkWidget*, GdkEvent*, gpointer self)
{
    // Every way of closing comes here (the close button, File > Close, Quit, the end of
    // the session): the page is asked first, and may keep its unsaved work.
    auto* window = static_cast<GtkAppWindow*>(self);
    auto content = window->content_.lock();
    if (window->pageAgreedToClose_ || !content) return FALSE;
    std::weak_ptr<bool> alive = window->alive_;
    content->requestClose([window, alive] {
        if (alive.expired()) return;
        window->pageAgreedToClose_ = true;
        gtk_window_close(window->window_);
    });
    return TRUE;
}

void GtkAppWindow::onDestroy(GtkWidget*, gpointer self)
{
    auto* window = static_cast<GtkAppWindow*>(self);
    if (window->pendingReport_) {
        g_source_remove(window->pendingReport_);
        window->pendingReport_ = 0;
        window->reportFrameNow();
    }
}

}  // namespace pw::gtk

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

using Command = std::function<void()>;

void runCommand(GSimpleAction*, GVariant*, gpointer command)
{
    if (auto* run = static_cast<Command*>(command); *run) (*run)();
}

// The command's action, disabled when there is nothing to run.
GObjectPtr<GSimpleAction> actionFor(const MenuCommand& command)
{
    auto action = GObjectPtr<GSimpleAction>::adopt(g_simple_action_new(command.name.c_str(), nullptr));
    g_simple_action_set_enabled(action.get(), static_cast<bool>(command.action));
    g_signal_connect_data(
        action.get(), "activate", G_CALLBACK(runCommand), new Command(command.action),
        [](gpointer data, GClosure*) { delete static_cast<Command*>(data); }, GConnectFlags(0));
    return action;
}

}  // namespace

GtkAppWindow::GtkAppWindow(GtkApplication* application, const std::shared_ptr<GtkWebView>& content, Size size)
    // GTK owns its toplevels; the reference of our own keeps the pointer valid after
    // the window is destroyed, until this wrapper goes.
    : application_(application),
      window_(GObjectPtr<GtkWindow>::ref(GTK_WINDOW(gtk_application_window_new(application)))),
      content_(content)
{
    gtk_window_set_default_size(window_.get(), size.width, size.height);
    gtk_container_add(GTK_CONTAINER(window_.get()), content->widget());
    g_signal_connect(window_.get(), "configure-event", G_CALLBACK(onConfigure), this);
    g_signal_connect(window_.get(), "window-state-event", G_CALLBACK(onWindowState), this);
    g_signal_connect(window_.get(), "destroy", G_CALLBACK(onDestroy), this);
    g_signal_connect(window_.get(), "delete-event", G_CALLBACK(onDeleteEvent), this);
}

GtkAppWindow::~GtkAppWindow()
{
    if (pendingReport_) g_source_remove(pendingReport_);
    g_signal_handlers_disconnect_by_data(window_.get(), this);
}

void GtkAppWindow::setTitle(const std::string& title)
{
    gtk_window_set_title(window_.get(), title.c_str());
}

std::string GtkAppWindow::title() const
{
    const char* title = gtk_window_get_title(window_.get());
    return title ? title : "";
}

void GtkAppWindow::setMinimumSize(Size size)
{
    GdkGeometry geometry{};
    geometry.min_width = size.width;
    geometry.min_height = size.height;
    gtk_window_set_geometry_hints(window_.get(), nullptr, &geometry, GDK_HINT_MIN_SIZE);
}

Frame GtkAppWindow::frame() const
{
    Frame frame;
    gtk_window_get_size(window_.get(), &frame.width, &frame.height);
    frame.hasPosition = positionsAreKnown(window_.get());
    if (frame.hasPosition) gtk_window_get_position(window_.get(), &frame.x, &frame.y);
    return frame;
}

bool GtkAppWindow::fitsOnAMonitor(const Frame& frame) const
{
    // A frame saved on a monitor that is gone would put the window out of reach:
    // its title bar must lie on some monitor's work area.
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window_.get()));
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
    gtk_window_resize(window_.get(), frame.width, frame.height);
    if (frame.hasPosition && positionsAreKnown(window_.get()) && fitsOnAMonitor(frame))
        gtk_window_move(window_.get(), frame.x, frame.y);
    else
        center();
}

void GtkAppWindow::center()
{
    gtk_window_set_position(window_.get(), GTK_WIN_POS_CENTER);
}

void GtkAppWindow::observeFrame(std::function<void(const Frame&)> changed)
{
    frameChanged_ = std::move(changed);
}

void GtkAppWindow::show()
{
    gtk_widget_show_all(GTK_WIDGET(window_.get()));
    gtk_window_present(window_.get());
}

void GtkAppWindow::close()
{
    gtk_window_close(window_.get());
}

void GtkAppWindow::minimize()
{
    gtk_window_iconify(window_.get());
}

void GtkAppWindow::toggleFullScreen()
{
    if (fullScreen_)
        gtk_window_unfullscreen(window_.get());
    else
        gtk_window_fullscreen(window_.get());
}

void GtkAppWindow::setMenuBar(const std::vector<Menu>& menus)
{
    auto bar = GObjectPtr<GMenu>::adopt(g_menu_new());
    for (const auto& menu : menus)
        g_menu_append_submenu(bar.get(), menu.title.c_str(), G_MENU_MODEL(submenuOf(menu).get()));
    gtk_application_set_menubar(application_, G_MENU_MODEL(bar.get()));
    gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window_.get()), TRUE);
}

GObjectPtr<GMenu> GtkAppWindow::submenuOf(const Menu& menu)
{
    // Separators end one section and begin the next.
    auto submenu = GObjectPtr<GMenu>::adopt(g_menu_new());
    auto section = GObjectPtr<GMenu>::adopt(g_menu_new());
    for (const auto& item : menu.items) {
        if (item) {
            addCommand(section.get(), *item);
            continue;
        }
        g_menu_append_section(submenu.get(), nullptr, G_MENU_MODEL(section.get()));
        section = GObjectPtr<GMenu>::adopt(g_menu_new());
    }
    g_menu_append_section(submenu.get(), nullptr, G_MENU_MODEL(section.get()));
    return submenu;
}

void GtkAppWindow::addCommand(GMenu* section, const MenuCommand& command)
{
    g_action_map_add_action(G_ACTION_MAP(window_.get()), G_ACTION(actionFor(command).get()));
    const std::string detailed = "win." + command.name;
    g_menu_append(section, command.title.c_str(), detailed.c_str());
    std::vector<const gchar*> accelerators;
    for (const auto& accelerator : command.accelerators) accelerators.push_back(accelerator.c_str());
    accelerators.push_back(nullptr);
    gtk_application_set_accels_for_action(application_, detailed.c_str(), accelerators.data());
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
        gtk_window_close(window->window_.get());
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

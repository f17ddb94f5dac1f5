#pragma once

#include <functional>
#include <memory>

#include <gtk/gtk.h>

#include "platform/gtk/gobject_ptr.h"
#include "platform/shell.h"

namespace pw::gtk {

class GtkWebView;

// The application's window around the web view, with the menu bar's actions and
// accelerators and the frame reported to whoever keeps it.
class GtkAppWindow : public Window {
public:
    GtkAppWindow(GtkApplication* application, const std::shared_ptr<GtkWebView>& content, Size size);
    ~GtkAppWindow() override;

    GtkWindow* gtkWindow() const { return window_.get(); }

    void setTitle(const std::string& title) override;
    std::string title() const override;
    void setMinimumSize(Size size) override;
    Frame frame() const override;
    void setFrame(const Frame& frame) override;
    void center() override;
    void observeFrame(std::function<void(const Frame&)> changed) override;
    void show() override;
    void close() override;
    void minimize() override;
    void toggleFullScreen() override;
    void setMenuBar(const std::vector<Menu>& menus) override;

private:
    bool fitsOnAMonitor(const Frame& frame) const;
    void reportFrameSoon();
    void reportFrameNow();
    GObjectPtr<GMenu> submenuOf(const Menu& menu);
    // The command's action on the window, named after it, with its accelerators.
    void addCommand(GMenu* section, const MenuCommand& command);

    static gboolean onConfigure(GtkWidget* widget, GdkEvent* event, gpointer self);
    static gboolean onWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer self);
    static void onDestroy(GtkWidget* widget, gpointer self);
    static gboolean onDeleteEvent(GtkWidget* widget, GdkEvent* event, gpointer self);

    GtkApplication* application_;
    GObjectPtr<GtkWindow> window_;
    std::weak_ptr<GtkWebView> content_;
    // Set once the page has agreed to close: the next delete event closes for real.
    bool pageAgreedToClose_ = false;
    // Lets a late answer of the page find out that this wrapper is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::function<void(const Frame&)> frameChanged_;
    guint pendingReport_ = 0;
    bool fullScreen_ = false;
    bool maximized_ = false;
};

}  // namespace pw::gtk

#pragma once

#include <gtk/gtk.h>

#include "platform/shell.h"

namespace pw::gtk {

class GtkShell : public Shell {
public:
    explicit GtkShell(GtkApplication* application) : application_(application) {}

    std::shared_ptr<WebView> createWebView(const WebViewConfiguration& configuration) override;
    std::unique_ptr<Window> createWindow(const std::shared_ptr<WebView>& content, Size size) override;
    void showAbout() override;
    void quit() override;

private:
    GtkApplication* application_;
};

}  // namespace pw::gtk

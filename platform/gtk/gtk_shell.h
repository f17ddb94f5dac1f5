#pragma once

#include <gtk/gtk.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/shell.h"

namespace pw::gtk {

class GtkShell : public Shell {
public:
    // `languages`: the user's languages, most preferred first, for the page to see
    // the same choice the shell made.
    explicit GtkShell(GtkApplication* application, std::vector<std::string> languages = {})
        : application_(application), languages_(std::move(languages))
    {
    }

    std::shared_ptr<WebView> createWebView(const WebViewConfiguration& configuration) override;
    std::unique_ptr<Window> createWindow(const std::shared_ptr<WebView>& content, Size size) override;
    void showAbout() override;
    void quit() override;

private:
    GtkApplication* application_;
    std::vector<std::string> languages_;
};

}  // namespace pw::gtk

#pragma once

#include <gtk/gtk.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/paths.h"
#include "platform/shell.h"

namespace pw::gtk {

class GtkShell : public Shell {
public:
    // `languages`: the user's languages, most preferred first, for the page to see
    // the same choice the shell made.
    // `webProcessExtensions`: the folder of the web process's extension.
    explicit GtkShell(GtkApplication* application, std::vector<std::string> languages = {},
                      std::string webProcessExtensions = webProcessExtensionsBeside(executableDirectory()))
        : application_(application), languages_(std::move(languages)),
          webProcessExtensions_(std::move(webProcessExtensions))
    {
    }

    std::shared_ptr<WebView> createWebView(const WebViewConfiguration& configuration) override;
    std::unique_ptr<Window> createWindow(const std::shared_ptr<WebView>& content, Size size) override;
    void showAbout() override;
    void quit() override;

private:
    GtkApplication* application_;
    std::vector<std::string> languages_;
    std::string webProcessExtensions_;
};

}  // namespace pw::gtk

#include "platform/gtk/gtk_shell.h"

#include "common/language.h"
#include "platform/gtk/gtk_app_window.h"
#include "platform/gtk/gtk_web_view.h"

namespace pw::gtk {

std::shared_ptr<WebView> GtkShell::createWebView(const WebViewConfiguration& configuration)
{
    if (languages_.empty() || !configuration.preferredLanguages.empty())
        return GtkWebView::create(configuration, webProcessExtensions_);
    WebViewConfiguration withLanguages = configuration;
    withLanguages.preferredLanguages = languages_;
    return GtkWebView::create(withLanguages, webProcessExtensions_);
}

std::unique_ptr<Window> GtkShell::createWindow(const std::shared_ptr<WebView>& content, Size size)
{
    return std::make_unique<GtkAppWindow>(application_, std::static_pointer_cast<GtkWebView>(content), size);
}

void GtkShell::showAbout()
{
    const std::string comments = tr("Ouvrir, modifier et enregistrer des documents PDF.",
                                    "Open, edit and save PDF documents.");
    gtk_show_about_dialog(gtk_application_get_active_window(application_), "program-name", "Pagewick", "version",
                          PAGEWICK_VERSION, "comments", comments.c_str(), "logo-icon-name",
                          gtk_window_get_default_icon_name(), nullptr);
}

void GtkShell::quit()
{
    g_application_quit(G_APPLICATION(application_));
}

}  // namespace pw::gtk

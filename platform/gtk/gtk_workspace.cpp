#include "platform/gtk/gtk_workspace.h"

#include "platform/gtk/application_window.h"

namespace pw::gtk {

namespace {

// Launches the application the user picked for the file the dialog was made for.
void launchChosenApplication(GtkDialog* dialog, gint response, gpointer)
{
    if (response == GTK_RESPONSE_OK) {
        const auto application = GObjectPtr<GAppInfo>::adopt(gtk_app_chooser_get_app_info(GTK_APP_CHOOSER(dialog)));
        GFile* chosenFile = nullptr;
        g_object_get(dialog, "gfile", &chosenFile, nullptr);
        const auto file = GObjectPtr<GFile>::adopt(chosenFile);
        if (application && file) {
            const auto context = GObjectPtr<GdkAppLaunchContext>::adopt(
                gdk_display_get_app_launch_context(gtk_widget_get_display(GTK_WIDGET(dialog))));
            GList files = {file.get(), nullptr, nullptr};
            // A failed launch is the chosen application's business; the file stays put.
            (void)g_app_info_launch(application.get(), &files, G_APP_LAUNCH_CONTEXT(context.get()), nullptr);
        }
    }
    // A dialog is not held by reference: destroying it is what ends it.
    gtk_widget_destroy(GTK_WIDGET(dialog));
}

}  // namespace

GtkWorkspace::GtkWorkspace(GtkRecentManager* recent)
    : recent_(GObjectPtr<GtkRecentManager>::ref(recent ? recent : gtk_recent_manager_get_default()))
{
}

void GtkWorkspace::openURL(const std::string& url)
{
    // Failures are not reported: the desktop may have no handler for the scheme.
    (void)gtk_show_uri_on_window(activeApplicationWindow(), url.c_str(), GDK_CURRENT_TIME, nullptr);
}

void GtkWorkspace::share(const std::string& path)
{
    // The chooser lists the applications for the file's content type, which it reads
    // from the file itself. It does not block: the choice is acted on when it comes.
    const auto file = GObjectPtr<GFile>::adopt(g_file_new_for_path(path.c_str()));
    GtkWindow* parent = activeApplicationWindow();
    GtkWidget* dialog = gtk_app_chooser_dialog_new(parent, GTK_DIALOG_DESTROY_WITH_PARENT, file.get());
    g_signal_connect(dialog, "response", G_CALLBACK(launchChosenApplication), nullptr);
    gtk_widget_show(dialog);
}

std::optional<std::string> GtkWorkspace::documentsDirectory() const
{
    const gchar* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
    if (!documents || !*documents) return std::nullopt;
    return std::string(documents);
}

std::string GtkWorkspace::temporaryDirectory() const
{
    return g_get_tmp_dir();
}

std::string GtkWorkspace::makeUUID() const
{
    const GCharPtr random(g_uuid_string_random());
    const GCharPtr upper(g_ascii_strup(random.get(), -1));
    return upper.get();
}

void GtkWorkspace::noteRecentDocument(const std::string& path)
{
    // A URI keeps any file name exact, UTF-8 or not. The manager reads the file's type
    // and saves its list in the background.
    const GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    if (!uri) return;
    gtk_recent_manager_add_item(recent_.get(), uri.get());
}

}  // namespace pw::gtk

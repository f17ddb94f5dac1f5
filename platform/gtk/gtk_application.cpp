#include "platform/gtk/gtk_application.h"

#include <cstdio>
#include <utility>

#include <gtk/gtk.h>

#include "common/text.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/gtk_main_queue.h"
#include "platform/gtk/gtk_panels.h"
#include "platform/gtk/gtk_printing.h"
#include "platform/gtk/gtk_shell.h"
#include "platform/gtk/gtk_workspace.h"
#include "platform/gtk/session_end.h"

namespace pw::gtk {

namespace {

constexpr const char* applicationId = "app.pagewick.Pagewick";

// "C", "POSIX" and their variants ("C.UTF-8") name no language.
bool namesNoLanguage(const std::string& name)
{
    const std::string_view base = localeWithoutCodeset(name);
    return base == "C" || base == "POSIX";
}

struct Application {
    GObjectPtr<GtkApplication> gtk;
    std::vector<std::string> pageLanguages;
    ApplicationHandlers handlers;
};

std::vector<std::string> pathsOf(GFile** files, gint count)
{
    std::vector<std::string> paths;
    for (gint i = 0; i < count; ++i) {
        // Documents that are not on a local file system (no path) cannot be read here.
        if (const GCharPtr path{g_file_get_path(files[i])}) paths.emplace_back(path.get());
    }
    return paths;
}

void onStartup(GApplication*, gpointer data)
{
    auto* app = static_cast<Application*>(data);
    app->handlers.startup(GtkServices{
        .mainQueue = std::make_shared<GtkMainQueue>(),
        .panels = std::make_shared<GtkPanels>(),
        .workspace = std::make_shared<GtkWorkspace>(),
        .printing = std::make_shared<GtkPrinting>(),
        .shell = std::make_unique<GtkShell>(app->gtk.get(), app->pageLanguages),
    });
    closeWithTheSession(app->gtk.get(), [app] { return app->handlers.window(); });
}

void onActivate(GApplication*, gpointer data)
{
    static_cast<Application*>(data)->handlers.activate();
}

void onOpen(GApplication*, GFile** files, gint count, const gchar*, gpointer data)
{
    static_cast<Application*>(data)->handlers.open(pathsOf(files, count));
}

}  // namespace

std::vector<std::string> preferredLanguages()
{
    std::vector<std::string> languages;
    for (const gchar* const* name = g_get_language_names(); name && *name; ++name)
        if (!namesNoLanguage(*name)) languages.emplace_back(*name);
    return languages;
}

int runApplication(int argc, char** argv, std::vector<std::string> pageLanguages, ApplicationHandlers handlers)
{
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr,
                     "pagewick: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset or "
                     "unreachable); to run without one: xvfb-run -a %s [file.pdf ...]\n",
                     argv[0]);
        return 1;
    }

    Application app{.gtk = {}, .pageLanguages = std::move(pageLanguages), .handlers = std::move(handlers)};
    // One instance per user session: a second launch hands its files to the first.
    // Without a session bus GApplication runs as a lone instance.
    app.gtk = GObjectPtr<GtkApplication>::adopt(gtk_application_new(applicationId, G_APPLICATION_HANDLES_OPEN));
    // The session manager tells us when the session is about to end, so that the page
    // can be asked about unsaved work first.
    g_object_set(app.gtk.get(), "register-session", TRUE, nullptr);
    g_set_application_name("Pagewick");
    // The installed icon is named after the application id, as the desktop entry says.
    gtk_window_set_default_icon_name(applicationId);
    g_signal_connect(app.gtk.get(), "startup", G_CALLBACK(onStartup), &app);
    g_signal_connect(app.gtk.get(), "activate", G_CALLBACK(onActivate), &app);
    g_signal_connect(app.gtk.get(), "open", G_CALLBACK(onOpen), &app);
    const int status = g_application_run(G_APPLICATION(app.gtk.get()), argc, argv);
    // The delegate goes before the application it was shown in.
    app.handlers.finish();
    app.gtk.reset();
    return status;
}

}  // namespace pw::gtk

#pragma once

// The real shell around a page folder, started as the application starts it, for the
// benchmarks that measure the page: GTK panels, workspace and printing, preferences
// under $XDG_CONFIG_HOME. Construct after gtk_init.

#include <memory>
#include <string>

#include <gtk/gtk.h>

#include "app/app_delegate.h"
#include "bridge/bridge.h"
#include "platform/gtk/gtk_main_queue.h"
#include "platform/gtk/gtk_panels.h"
#include "platform/gtk/gtk_printing.h"
#include "platform/gtk/gtk_shell.h"
#include "platform/gtk/gtk_workspace.h"
#include "platform/json_preferences.h"
#include "platform/paths.h"

namespace pw::bench {

struct BenchShell {
    explicit BenchShell(const std::string& webRoot)
        : application(gtk_application_new(nullptr, G_APPLICATION_NON_UNIQUE)),
          preferences(std::make_shared<JsonPreferences>(JsonPreferences::defaultFile())),
          bridge(std::make_shared<Bridge>(BridgeServices{
              std::make_shared<gtk::GtkMainQueue>(), std::make_shared<gtk::GtkPanels>(),
              std::make_shared<gtk::GtkWorkspace>(), std::make_shared<gtk::GtkPrinting>(), preferences})),
          // Registered before the shell takes it, as the application's start does. The
          // web process's extension is the one the build put beside the application.
          shell((g_application_register(G_APPLICATION(application), nullptr, nullptr), application), {},
                webProcessExtensionsBeside(executableDirectory() + "/..")),
          delegate(std::make_shared<AppDelegate>(shell, bridge, preferences, webRoot))
    {
        delegate->applicationDidFinishLaunching();
    }

    GtkApplication* application;
    std::shared_ptr<JsonPreferences> preferences;
    std::shared_ptr<Bridge> bridge;
    gtk::GtkShell shell;
    std::shared_ptr<AppDelegate> delegate;
};

}  // namespace pw::bench

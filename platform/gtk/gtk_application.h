#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/main_queue.h"
#include "platform/panels.h"
#include "platform/printing.h"
#include "platform/shell.h"
#include "platform/workspace.h"

namespace pw::gtk {

// The GTK services the application runs on, made when it starts.
struct GtkServices {
    std::shared_ptr<MainQueue> mainQueue;
    std::shared_ptr<Panels> panels;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Printing> printing;
    std::unique_ptr<Shell> shell;
};

// What the application does at the GtkApplication's signals, all on the main thread.
struct ApplicationHandlers {
    // Once, when this process starts as the one instance of the session.
    std::function<void(GtkServices)> startup;
    // A launch without documents, here or from a second launch.
    std::function<void()> activate;
    // Documents handed over (the command line, a second launch, the file manager): the
    // local paths among them.
    std::function<void(std::vector<std::string>)> open;
    // The window the end of the desktop session closes, if there is one.
    std::function<Window*()> window;
    // After the main loop has ended, while the toolkit is still up.
    std::function<void()> finish;
};

// The user's languages in order of preference, without the C and POSIX locales.
std::vector<std::string> preferredLanguages();

// Runs the GtkApplication until its window closes and returns its exit status; 1, said
// on standard error, without a display. The shell lists `pageLanguages` to the page.
int runApplication(int argc, char** argv, std::vector<std::string> pageLanguages, ApplicationHandlers handlers);

}  // namespace pw::gtk

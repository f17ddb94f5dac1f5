#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "app/app_delegate.h"
#include "bridge/bridge.h"
#include "platform/gtk/gtk_main_queue.h"
#include "platform/gtk/gtk_shell.h"
#include "platform/gtk/gtk_web_view.h"
#include "platform/json_preferences.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/temp_dir.h"

namespace pw::testing {

// Runs the main loop until the condition holds or the time is up; returns the
// condition's last value. Used only to wait for events, never to measure time.
bool waitUntil(const std::function<bool()>& condition, double seconds = 20);

// Runs the main loop for about the given time.
void spin(double seconds);

// Evaluates a script in the view and returns its value turned into a string (JSON
// text for objects); nullopt when evaluation failed.
std::optional<std::string> evaluate(WebKitWebView* view, const std::string& script);

// The page the build staged beside the executable: <build>/web, found from the test
// binary at <build>/tests/.
std::string builtWebFolder();

// The default page answers the shell's readiness probe from its first script on; it has
// taken over, and its controls work, once that early holder of files is replaced.
inline constexpr const char* defaultPageTookOver =
    "typeof window.__nativeOpen === 'function' && !window.__nativeOpen.takeHeld";
// The web process's extension the build put beside the executable: <build>/web-process.
std::string builtWebProcessExtensions();

// The real GTK shell and WebKitGTK view, driven through the application delegate,
// serving a web tree made by the test. Panels, workspace and printing are fakes.
class ShellHarness {
public:
    ShellHarness();
    // Serves the given folder (such as builtWebFolder()) instead of the test's tree.
    // `webProcessExtensions` empty runs the web view without the extension.
    explicit ShellHarness(const std::string& webRoot,
                          const std::string& webProcessExtensions = builtWebProcessExtensions());
    ~ShellHarness();

    TempDir web;     // the page's files
    TempDir config;  // XDG_CONFIG_HOME
    std::shared_ptr<FakePanels> panels = std::make_shared<FakePanels>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakePrinting> printing = std::make_shared<FakePrinting>();
    std::shared_ptr<JsonPreferences> preferences;
    std::shared_ptr<Bridge> bridge;
    std::shared_ptr<AppDelegate> delegate;

    // Builds the window and loads pagewick://app/index.html.
    void launch();
    // Launches and waits for the first page load to finish.
    void launchAndWait();

    gtk::GtkWebView& view() const;
    WebKitWebView* webKitView() const { return view().webKitView(); }
    std::optional<std::string> evaluate(const std::string& script) const;
    bool waitForScript(const std::string& condition, double seconds = 20) const;
    int loadsFinished() const { return loadsFinished_; }

private:
    GtkApplication* application_ = nullptr;
    std::unique_ptr<gtk::GtkShell> shell_;
    int loadsFinished_ = 0;
};

}  // namespace pw::testing

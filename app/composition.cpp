#include "app/composition.h"

#include <memory>
#include <utility>

#include "app/app_delegate.h"
#include "app/preferred_languages.h"
#include "bridge/bridge.h"
#include "common/language.h"
#include "ocr/native_ocr.h"
#include "platform/graphics_acceleration.h"
#include "platform/gtk/gtk_application.h"
#include "platform/json_preferences.h"
#include "platform/main_queue.h"
#include "platform/paths.h"
#include "platform/script_engine_options.h"
#include "platform/tesseract/tesseract_services.h"
#include "platform/web_process_memory.h"

namespace pw {

namespace {

struct Application {
    std::unique_ptr<Shell> shell;
    std::shared_ptr<AppDelegate> delegate;
};

void start(Application& app, gtk::GtkServices services)
{
    auto preferences = std::make_shared<JsonPreferences>(JsonPreferences::defaultFile());
    // The engines start on first use, on their workers: nothing here waits for them.
    NativeOCR::install(tess::makeRecognitionServices());
    Bridge::configure(BridgeServices{std::move(services.mainQueue), std::move(services.panels),
                                     std::move(services.workspace), std::move(services.printing), preferences});
    app.shell = std::move(services.shell);
    app.delegate = std::make_shared<AppDelegate>(*app.shell, Bridge::shared(), preferences,
                                                 webRootBeside(executableDirectory()));
    app.delegate->applicationDidFinishLaunching();
}

void showWindow(const Application& app)
{
    if (app.delegate && app.delegate->window()) app.delegate->window()->show();
}

}  // namespace

int runPagewick(int argc, char** argv)
{
    // While this is the only thread: the environment is not safe to change later.
    configureScriptEngine();
    configureWebPresentation(graphicsFacts());
    configureWebProcessMemory();
    const std::vector<std::string> languages = gtk::preferredLanguages();
    setFrench(prefersFrench(languages));
    Application app;
    return gtk::runApplication(
        argc, argv, pageLanguages(languages),
        {
            .startup = [&app](gtk::GtkServices services) { start(app, std::move(services)); },
            .activate = [&app] { showWindow(app); },
            .open =
                [&app](const std::vector<std::string>& paths) {
                    if (!app.delegate) return;
                    showWindow(app);
                    // Read once this turn of the main loop is over: at launch the page
                    // has only just begun to load, and its web process starts up while
                    // the files are read rather than after.
                    Bridge::shared()->services().mainQueue->post([&app, paths] {
                        if (app.delegate) app.delegate->open(paths);
                    });
                },
            .window = [&app]() -> Window* { return app.delegate ? app.delegate->window() : nullptr; },
            .finish = [&app] { app.delegate.reset(); },
        });
}

}  // namespace pw

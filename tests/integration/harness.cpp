#include "tests/integration/harness.h"

#include <cstdlib>

namespace pw::testing {

bool waitUntil(const std::function<bool()>& condition, double seconds)
{
    const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
    while (!condition()) {
        if (g_get_monotonic_time() > deadline) return condition();
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
    }
    return true;
}

void spin(double seconds)
{
    const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
    waitUntil([&] { return g_get_monotonic_time() > deadline; }, seconds + 1);
}

std::optional<std::string> evaluate(WebKitWebView* view, const std::string& script)
{
    struct Outcome {
        bool done = false;
        std::optional<std::string> value;
    } outcome;
    webkit_web_view_evaluate_javascript(
        view, script.data(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer data) {
            auto* out = static_cast<Outcome*>(data);
            GError* error = nullptr;
            if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error)) {
                gchar* text = jsc_value_is_string(value) || jsc_value_is_number(value) || jsc_value_is_boolean(value)
                                  ? jsc_value_to_string(value)
                                  : jsc_value_to_json(value, 0);
                if (text) out->value = text;
                g_free(text);
                g_object_unref(value);
            }
            g_clear_error(&error);
            out->done = true;
        },
        &outcome);
    waitUntil([&] { return outcome.done; });
    return outcome.value;
}

namespace {

std::string builtFolder(const char* name)
{
    gchar* binary = g_file_read_link("/proc/self/exe", nullptr);
    gchar* tests = g_path_get_dirname(binary);
    gchar* build = g_path_get_dirname(tests);
    std::string folder = std::string(build) + "/" + name;
    g_free(build);
    g_free(tests);
    g_free(binary);
    return folder;
}

}  // namespace

std::string builtWebFolder()
{
    return builtFolder("web");
}

std::string builtWebProcessExtensions()
{
    return builtFolder("web-process");
}

ShellHarness::ShellHarness() : ShellHarness(std::string()) {}

ShellHarness::ShellHarness(const std::string& webRoot, const std::string& webProcessExtensions)
{
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    preferences = std::make_shared<JsonPreferences>(JsonPreferences::defaultFile());
    bridge = std::make_shared<Bridge>(
        BridgeServices{std::make_shared<gtk::GtkMainQueue>(), panels, workspace, printing, preferences});
    // One registered application for the whole test process, as in the product.
    static GtkApplication* application = [] {
        GtkApplication* app = gtk_application_new(nullptr, G_APPLICATION_NON_UNIQUE);
        g_application_register(G_APPLICATION(app), nullptr, nullptr);
        return app;
    }();
    application_ = application;
    shell_ = std::make_unique<gtk::GtkShell>(application_, std::vector<std::string>{}, webProcessExtensions);
    delegate = std::make_shared<AppDelegate>(*shell_, bridge, preferences, webRoot.empty() ? web.path() : webRoot);
}

ShellHarness::~ShellHarness()
{
    // Closing asks the page first, through the web process: wait for the answer.
    panels->confirmAnswer = true;
    if (auto* window = delegate->window()) window->close();
    waitUntil([this] { return bridge->web.expired(); }, 10);
    delegate.reset();
}

void ShellHarness::launch()
{
    delegate->applicationDidFinishLaunching();
    g_signal_connect(webKitView(), "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
                         if (event == WEBKIT_LOAD_FINISHED) ++static_cast<ShellHarness*>(self)->loadsFinished_;
                     }),
                     this);
}

void ShellHarness::launchAndWait()
{
    launch();
    waitUntil([this] { return loadsFinished_ > 0; });
}

gtk::GtkWebView& ShellHarness::view() const
{
    auto view = bridge->web.lock();
    if (!view) std::abort();
    return static_cast<gtk::GtkWebView&>(*view);
}

std::optional<std::string> ShellHarness::evaluate(const std::string& script) const
{
    return testing::evaluate(webKitView(), script);
}

bool ShellHarness::waitForScript(const std::string& condition, double seconds) const
{
    return waitUntil([&] { return evaluate("!!(" + condition + ")") == "true"; }, seconds);
}

}  // namespace pw::testing

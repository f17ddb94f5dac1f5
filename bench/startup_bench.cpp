// Cold start: from process start to the page having loaded, for the application
// against a minimal WebKitGTK program that loads the same page from a file: URL,
// measured alternately in the same run. Prints medians and their ratio.
//
// The moment of "loaded" is seen from outside without any hook in the application:
// the page, on its load event, asks the application to open a FIFO, and opening the
// FIFO's other end returns in this process at that moment. The minimal program opens
// the same FIFO when WebKit reports the load finished.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

int runMinimal(const char* url, const char* fifo)
{
    gtk_init(nullptr, nullptr);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 1280, 860);
    GtkWidget* view = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer fifo) {
                         if (event != WEBKIT_LOAD_FINISHED) return;
                         const int fd = ::open(static_cast<const char*>(fifo), O_RDONLY | O_NONBLOCK);
                         if (fd >= 0) ::close(fd);
                     }),
                     const_cast<char*>(fifo));
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}

// Starts argv, waits for the FIFO to be opened by it, returns the seconds taken.
double timeToLoad(const std::vector<std::string>& argv, const std::string& fifo, const std::string& config)
{
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    // Blocks until the other side opens for reading.
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (fd >= 0) ::close(fd);
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    return seconds;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--minimal") return runMinimal(argv[2], argv[3]);

    const fs::path here = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path root = fs::temp_directory_path() / ("pagewick-startup-" + std::to_string(::getpid()));
    fs::create_directories(root / "bin" / "web");
    fs::create_directories(root / "config");
    fs::copy_file(here.parent_path() / "pagewick", root / "bin" / "pagewick", fs::copy_options::overwrite_existing);
    const std::string fifo = (root / "loaded.fifo").string();
    ::mkfifo(fifo.c_str(), 0600);
    std::ofstream(root / "bin" / "web" / "index.html")
        << "<!doctype html><meta charset=utf-8><title>Start</title><h1>Start</h1><script>"
           "addEventListener('load', () => window.webkit && window.webkit.messageHandlers.pagewick &&"
           " window.webkit.messageHandlers.pagewick.postMessage({type: 'openpath', path: '"
        << fifo << "'}));</script>";

    const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    const std::string page = "file://" + (root / "bin" / "web" / "index.html").string();
    std::vector<double> app, minimal;
    timeToLoad({(root / "bin" / "pagewick").string()}, fifo, (root / "config").string());  // warm the disk cache
    for (int i = 0; i < rounds; ++i) {
        app.push_back(timeToLoad({(root / "bin" / "pagewick").string()}, fifo, (root / "config").string()));
        minimal.push_back(timeToLoad({(here / "startup_bench").string(), "--minimal", page, fifo}, fifo,
                                     (root / "config").string()));
    }
    const double a = median(app), m = median(minimal);
    std::printf("cold start to page loaded (median of %d): pagewick %.3f s, minimal WebKitGTK %.3f s, ratio %.2f\n",
                rounds, a, m, a / m);
    fs::remove_all(root);
    return 0;
}

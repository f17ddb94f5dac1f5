#include "tests/integration/process_harness.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pw::testing {

namespace {

std::vector<gchar*> cStrings(const std::vector<std::string>& strings)
{
    std::vector<gchar*> out;
    for (const auto& s : strings) out.push_back(const_cast<gchar*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

}  // namespace

PrivateBus::PrivateBus()
{
    const gchar* argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr};
    gint out = -1;
    if (!g_spawn_async_with_pipes(nullptr, const_cast<gchar**>(argv), nullptr,
                                  GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                              G_SPAWN_STDERR_TO_DEV_NULL),
                                  nullptr, nullptr, &pid_, nullptr, &out, nullptr, nullptr))
        return;
    char c;
    while (::read(out, &c, 1) == 1 && c != '\n') address_ += c;
    ::close(out);
}

PrivateBus::~PrivateBus()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

InstalledCopy::InstalledCopy()
{
    const char* built = std::getenv("PAGEWICK_BINARY");
    binary = root.path() + "/bin/pagewick";
    web = root.path() + "/bin/web";
    config = root.path() + "/config";
    std::filesystem::create_directories(web);
    std::filesystem::create_directories(config);
    // Beside the build tree's test binaries when ctest did not say where.
    const auto fallback = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "pagewick";
    std::filesystem::copy_file(built ? std::filesystem::path(built) : fallback, binary);
}

void InstalledCopy::writePage(const std::string& html) const
{
    std::ofstream(web + "/index.html") << html;
}

std::vector<std::string> InstalledCopy::environment(const std::string& busAddress) const
{
    std::vector<std::string> env;
    for (const char* keep : {"DISPLAY", "XAUTHORITY", "PATH", "HOME", "LANG"})
        if (const char* value = std::getenv(keep)) env.push_back(std::string(keep) + "=" + value);
    env.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress);
    env.push_back("XDG_CONFIG_HOME=" + config);
    env.push_back("NO_AT_BRIDGE=1");
    env.push_back("GSETTINGS_BACKEND=memory");
    return env;
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDOUT_SILENCE);
    auto env = cStrings(environment);
    g_subprocess_launcher_set_environ(launcher, env.data());
    g_subprocess_launcher_set_stderr_file_path(launcher, (logs_.path() + "/stderr").c_str());
    auto args = cStrings(argv);
    process_ = g_subprocess_launcher_spawnv(launcher, args.data(), nullptr);
    g_object_unref(launcher);
}

Child::~Child()
{
    kill();
    if (process_) g_object_unref(process_);
}

void Child::kill()
{
    if (!process_ || wait(0) >= 0) return;
    g_subprocess_send_signal(process_, SIGTERM);
    if (wait(10) < 0) {
        g_subprocess_force_exit(process_);
        wait(10);
    }
}

int Child::wait(double seconds)
{
    if (!process_) return -1;
    const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
    // The child is reaped by GLib's child watch, which runs from the main context.
    do {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        if (g_subprocess_get_identifier(process_) == nullptr) {
            if (g_subprocess_get_if_exited(process_)) return g_subprocess_get_exit_status(process_);
            return 128 + g_subprocess_get_term_sig(process_);
        }
        g_usleep(10000);
    } while (g_get_monotonic_time() < deadline);
    return -1;
}

std::string Child::errors() const
{
    return TempDir::read(logs_.path() + "/stderr");
}

std::string waitForFile(const std::string& path, double seconds)
{
    const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
    while (g_get_monotonic_time() < deadline) {
        const std::string contents = TempDir::read(path);
        if (!contents.empty()) return contents;
        g_usleep(20000);
    }
    return "";
}

}  // namespace pw::testing

// First page on screen, and memory, after a cold start with the file on the command
// line: Pagewick against the desktop's document viewer (Evince, when installed) on the
// same generated files, runs interleaved, medians and their ratios printed. A browser
// whose built-in viewer draws with pdf.js, as the page does (Firefox ESR, when
// installed), is measured beside them.
//
//   first_page_bench [rounds]            (scripts/bench.sh first_page_bench)
//
// FIRST_PAGE_BENCH_AGAINST=<build folder> measures another build of Pagewick beside
// this one (a change's before and after in the same run); FIRST_PAGE_BENCH_BROWSER=0
// leaves the browser out, which shortens a round by half.
//
// "First page on screen" is seen from outside: every generated file carries a large
// pure-red block on page 1, and the screen is sampled until that much red shows. PSS is
// summed over the program's whole process tree five seconds later. Each run starts with
// empty configuration and cache folders.
//
// Pagewick's own phases come from a copy of its page with one extra classic script
// that, at each phase, asks the shell to open a FIFO; the moment the shell opens it
// returns in a thread here. The application itself carries no hook.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench/support/generated_pdf.h"
#include "bench/support/process_tree.h"
#include "bench/support/screen_watch.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace pw::bench;

namespace {

constexpr long redOnScreen = 20000;  // pixels: the page-1 block drawn large, not a thumbnail
constexpr auto runTimeout = std::chrono::seconds(120);
constexpr auto settleBeforeMemory = std::chrono::seconds(5);

// The FIFO names the probe uses, and what each moment is.
const std::vector<std::string> phaseNames = {"loaded", "handed", "parsed", "drawn"};
const std::map<std::string, std::string> phaseLabels = {{"loaded", "page loaded"},
                                                        {"handed", "file handed over"},
                                                        {"parsed", "document parsed"},
                                                        {"drawn", "page 1 drawn on its canvas"}};

double secondsSince(Clock::time_point start, Clock::time_point t)
{
    return std::chrono::duration<double>(t - start).count();
}

// FIFOs that the page's probe asks the shell to open, one a phase; a thread blocked in
// opening the writing end of each notes the moment a reader came.
class PhaseFifos {
public:
    explicit PhaseFifos(const fs::path& folder) : folder_(folder)
    {
        for (const auto& name : phaseNames) ::mkfifo((folder_ / name).c_str(), 0600);
    }

    void arm(Clock::time_point start)
    {
        start_ = start;
        for (const auto& name : phaseNames) {
            auto& seen = seen_[name];
            seen = -1;
            threads_.emplace_back([this, name, &seen] {
                const int fd = ::open((folder_ / name).c_str(), O_WRONLY);
                if (stopping_) {
                    if (fd >= 0) ::close(fd);
                    return;
                }
                seen = secondsSince(start_, Clock::now());
                if (fd >= 0) ::close(fd);
            });
        }
    }

    // Ends the waits that no reader ended, by being the reader.
    std::map<std::string, double> collect()
    {
        stopping_ = true;
        for (const auto& name : phaseNames) {
            const int fd = ::open((folder_ / name).c_str(), O_RDONLY | O_NONBLOCK);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // lets a waiting writer return
            if (fd >= 0) ::close(fd);
        }
        for (auto& thread : threads_) thread.join();
        threads_.clear();
        stopping_ = false;
        std::map<std::string, double> result;
        for (const auto& [name, seen] : seen_) result[name] = seen;
        return result;
    }

private:
    fs::path folder_;
    Clock::time_point start_;
    std::vector<std::thread> threads_;
    std::map<std::string, double> seen_;
    std::atomic<bool> stopping_{false};
};

struct Sample {
    double mapped = -1, onScreen = -1, pss = -1;
    std::map<std::string, double> phases;
};

struct Program {
    std::string label;
    std::vector<std::string> command;  // the file's path is appended
    std::map<std::string, std::string> environment;
    bool probed = false;  // Pagewick with the phase probe in its page
    std::function<void(const fs::path& home)> prepare = {};  // after the fresh home is made
};

std::map<std::string, std::string> freshHome(const fs::path& run)
{
    fs::remove_all(run);
    for (const char* sub : {"home", "config", "cache", "data", "state"}) fs::create_directories(run / sub);
    return {{"HOME", (run / "home").string()},
            {"XDG_CONFIG_HOME", (run / "config").string()},
            {"XDG_CACHE_HOME", (run / "cache").string()},
            {"XDG_DATA_HOME", (run / "data").string()},
            {"XDG_STATE_HOME", (run / "state").string()}};
}

Sample runOnce(const Program& program, const fs::path& file, const fs::path& run, PhaseFifos& fifos,
               const ScreenWatch& screen)
{
    auto environment = freshHome(run);
    if (program.prepare) program.prepare(run / "home");
    environment.insert(program.environment.begin(), program.environment.end());
    auto argv = program.command;
    argv.push_back(file.string());

    Sample sample;
    const auto start = Clock::now();
    if (program.probed) fifos.arm(start);
    ProcessTree tree(argv, environment);
    while (Clock::now() - start < runTimeout) {
        if (sample.mapped < 0) {
            const auto members = tree.members();
            if (screen.windowMapped([&](pid_t pid) { return members.count(pid) > 0; }))
                sample.mapped = secondsSince(start, Clock::now());
        }
        if (screen.redPixels() >= redOnScreen) {
            sample.onScreen = secondsSince(start, Clock::now());
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (sample.onScreen >= 0) {
        std::this_thread::sleep_for(settleBeforeMemory);
        sample.pss = tree.pssMiB();
    }
    tree.end();
    if (program.probed) sample.phases = fifos.collect();
    return sample;
}

std::optional<double> median(std::vector<double> values)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return v < 0; }), values.end());
    if (values.empty()) return std::nullopt;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string shown(std::optional<double> value, const char* format)
{
    if (!value) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

std::string ratio(std::optional<double> a, std::optional<double> b)
{
    return a && b && *b > 0 ? shown(*a / *b, "%.2fx") : "n/a";
}

// A copy of the built application whose page carries the phase probe.
fs::path probedCopy(const fs::path& built, const fs::path& bin, const fs::path& fifos)
{
    fs::create_directories(bin);
    fs::copy_file(built / "pagewick", bin / "pagewick", fs::copy_options::overwrite_existing);
    fs::copy(built / "web", bin / "web", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    // The web process's extension comes along: without it the page gets its files another way.
    fs::copy(built / "web-process", bin / "web-process",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);

    std::ofstream(bin / "web" / "bench-probe.js")
        << "(() => {\n"
           "  const post = (name) => { try { window.webkit.messageHandlers.pagewick.postMessage("
           "{ type: 'openpath', path: '"
        << fifos.string()
        << "/' + name }); } catch (e) {} };\n"
           "  addEventListener('load', () => post('loaded'));\n"
           "  let current, handed = false;\n"
           "  const noted = (f) => typeof f !== 'function' ? f : Object.assign(function (...args) {\n"
           "    if (!handed) { handed = true; post('handed'); } return f.apply(this, args); }, f);\n"
           "  Object.defineProperty(window, '__nativeOpen', { configurable: true,\n"
           "    get() { return current; }, set(f) { current = noted(f); } });\n"
           "  document.addEventListener('DOMContentLoaded', () => {\n"
           "    const count = document.getElementById('page-count');\n"
           "    if (!count) return;\n"
           "    const watch = new MutationObserver(() => {\n"
           "      if (count.textContent.trim() !== '0') { watch.disconnect(); post('parsed'); } });\n"
           "    watch.observe(count, { childList: true, characterData: true, subtree: true });\n"
           "    const pages = document.querySelector('#viewer .pages');\n"
           "    const drawn = new MutationObserver(() => {\n"
           "      if (pages.querySelector('.page[data-index=\"0\"] > canvas')) { drawn.disconnect(); post('drawn'); } });\n"
           "    if (pages) drawn.observe(pages, { childList: true, subtree: true });\n"
           "  });\n"
           "})();\n";

    const fs::path index = bin / "web" / "index.html";
    std::ifstream in(index);
    std::stringstream html;
    html << in.rdbuf();
    std::string text = html.str();
    const auto head = text.find("<head>");
    if (head != std::string::npos) text.insert(head + 6, "\n<script src=\"bench-probe.js\"></script>");
    std::ofstream(index) << text;
    return bin / "pagewick";
}

// The browser with a profile of its own, told to show neither first-run pages nor
// prompts, so that the file's tab is the only thing it opens.
Program browserViewer(const fs::path& run)
{
    const fs::path profile = run / "home" / "profile";
    Program browser{"firefox-esr (pdf.js viewer)",
                    {"firefox-esr", "--no-remote", "--new-instance", "--profile", profile.string()},
                    {{"MOZ_CRASHREPORTER_DISABLE", "1"}},
                    false};
    browser.prepare = [profile](const fs::path&) {
        fs::create_directories(profile);
        std::ofstream prefs(profile / "user.js");
        for (const char* pref : {
                 R"(user_pref("browser.shell.checkDefaultBrowser", false);)",
                 R"(user_pref("browser.startup.homepage_override.mstone", "ignore");)",
                 R"(user_pref("startup.homepage_welcome_url", "");)",
                 R"(user_pref("startup.homepage_welcome_url.additional", "");)",
                 R"(user_pref("browser.aboutwelcome.enabled", false);)",
                 R"(user_pref("datareporting.policy.dataSubmissionEnabled", false);)",
                 R"(user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);)",
                 R"(user_pref("app.update.enabled", false);)",
                 R"(user_pref("browser.sessionstore.resume_from_crash", false);)",
             })
            prefs << pref << '\n';
    };
    return browser;
}

bool installed(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path built = fs::read_symlink("/proc/self/exe").parent_path().parent_path();
    const fs::path root = fs::temp_directory_path() / ("pagewick-first-page-" + std::to_string(::getpid()));
    fs::create_directories(root / "files");
    fs::create_directories(root / "fifos");

    struct File {
        std::string label;
        PdfShape shape;
        fs::path path;
    };
    std::vector<File> files = {
        {"3-page text PDF", {3, 40, 0}, {}},
        {"2,400-page text PDF", {2400, 45, 0}, {}},
        {"3,600-page PDF of ~100 MB", {3600, 20, 96}, {}},
    };
    for (auto& f : files) {
        f.path = root / "files" / (std::to_string(f.shape.pages) + ".pdf");
        writePdf(f.path.string(), f.shape);
        std::printf("made %-28s %8.1f MB\n", f.label.c_str(), fs::file_size(f.path) / 1e6);
    }

    const fs::path pagewick = probedCopy(built, root / "bin", root / "fifos");
    std::vector<Program> programs = {
        {"pagewick", {pagewick.string()}, {}, true},
    };
    if (const char* other = std::getenv("FIRST_PAGE_BENCH_AGAINST"); other && *other) {
        const fs::path copy = probedCopy(fs::path(other), root / "other", root / "fifos");
        programs.push_back({"pagewick (other build)", {copy.string()}, {}, true});
    }
    const char* browser = std::getenv("FIRST_PAGE_BENCH_BROWSER");
    if (browser && std::string(browser) == "0") std::printf("the browser viewer is left out\n");
    else if (installed("firefox-esr")) programs.push_back(browserViewer(root / "run"));
    else std::printf("firefox-esr is not installed: no browser viewer (scripts/bench.sh installs it)\n");
    // The baseline comes last.
    const bool withEvince = installed("evince");
    if (withEvince) programs.push_back({"evince", {"evince"}, {}, false});
    else std::printf("evince is not installed: no baseline (scripts/bench.sh installs it)\n");

    ScreenWatch screen;
    PhaseFifos fifos(root / "fifos");
    // samples[file][program]
    std::vector<std::vector<std::vector<Sample>>> samples(files.size(),
                                                         std::vector<std::vector<Sample>>(programs.size()));
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t f = 0; f < files.size(); ++f)
            // Each round starts with another program, so that none always runs on the
            // caches the one before it left warm.
            for (std::size_t i = 0; i < programs.size(); ++i) {
                const std::size_t p = (i + round) % programs.size();
                samples[f][p].push_back(runOnce(programs[p], files[f].path, root / "run", fifos, screen));
            }
        std::printf("round %d of %d done\n", round + 1, rounds);
    }

    std::printf("\nmedians of %d interleaved rounds; ratios to evince in the same run\n", rounds);
    for (std::size_t f = 0; f < files.size(); ++f) {
        std::printf("\n%s\n", files[f].label.c_str());
        std::printf("  %-27s %12s %10s %10s %10s\n", "program", "first page", "ratio", "PSS", "ratio");
        auto columnOf = [&](std::size_t p, auto field) {
            std::vector<double> values;
            for (const auto& s : samples[f][p]) values.push_back(field(s));
            return median(values);
        };
        const auto screenOf = [](const Sample& s) { return s.onScreen; };
        const auto pssOf = [](const Sample& s) { return s.pss; };
        const std::size_t baseline = programs.size() - 1;
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const auto first = columnOf(p, screenOf), pss = columnOf(p, pssOf);
            std::printf("  %-27s %12s %10s %10s %10s\n", programs[p].label.c_str(), shown(first, "%.3f s").c_str(),
                        withEvince ? ratio(first, columnOf(baseline, screenOf)).c_str() : "",
                        shown(pss, "%.0f MiB").c_str(),
                        withEvince ? ratio(pss, columnOf(baseline, pssOf)).c_str() : "");
        }
        for (std::size_t p = 0; p < programs.size(); ++p) {
            if (!programs[p].probed) continue;
            std::printf("  phases of %s, seconds from process start:", programs[p].label.c_str());
            std::printf(" window mapped %s", shown(columnOf(p, [](const Sample& s) { return s.mapped; }), "%.3f").c_str());
            for (const auto& name : phaseNames)
                std::printf(", %s %s", phaseLabels.at(name).c_str(),
                            shown(columnOf(p, [&](const Sample& s) {
                                      const auto it = s.phases.find(name);
                                      return it == s.phases.end() ? -1.0 : it->second;
                                  }), "%.3f").c_str());
            std::printf(", first page on screen %s\n", shown(columnOf(p, screenOf), "%.3f").c_str());
        }
    }
    fs::remove_all(root);
    return 0;
}

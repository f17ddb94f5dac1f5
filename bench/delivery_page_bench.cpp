// Opening a file end to end: from openFile to the page holding the decoded bytes,
// for 1, 10 and 100 MB, beside the native part alone (read, encode into shared memory)
// and a baseline of reading the file plus one copy of a Base64-sized buffer, all in
// the same run. Then 20 successive deliveries of different 10 MB files, with the
// resident memory of the UI process and of the web process after each: neither may
// keep growing.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtk/gtk.h>
#include <unistd.h>

#include "bench/bench_shell.h"
#include "bench/process_memory.h"
#include "bench/support/own_user_folders.h"
#include "bridge/bridge.h"
#include "bridge/file_delivery.h"
#include "common/base64.h"
#include "platform/file_io.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

using pw::bench::residentKiB;
using pw::bench::webProcessesKiB;

// The page decodes what it is given and says how many bytes it holds through a
// "filter" message, which the benchmark reads back from the bridge.
constexpr const char* page = R"(<!doctype html><meta charset=utf-8><script>
window.__nativeOpen = (name, b64, path) => {
  window.webkit.messageHandlers.pagewick.postMessage({type: 'filter', kind: 'called:' + b64.length});
  const bytes = Uint8Array.fromBase64 ? Uint8Array.fromBase64(b64)
                                      : Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
  window.webkit.messageHandlers.pagewick.postMessage({type: 'filter', kind: 'got:' + bytes.length});
};
</script>)";

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void waitFor(const std::function<bool()>& condition)
{
    while (!condition()) g_main_context_iteration(nullptr, TRUE);
}

// Each variant has bytes of its own: the engine may keep what it made of a script it
// has run, and a file delivered twice would be measured from that.
std::string writeRandomFile(const fs::path& folder, std::size_t size, int variant = 0)
{
    std::vector<char> bytes(size);
    std::mt19937_64 random(size * 64 + variant);
    for (auto& b : bytes) b = static_cast<char>(random());
    const auto path = folder / ("file-" + std::to_string(size) + "-" + std::to_string(variant) + ".pdf");
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// Reading the file plus one copy of a buffer the size of its Base64.
double baseline(const std::string& path)
{
    const auto start = Clock::now();
    auto bytes = pw::readWholeFile(path);
    std::string script(pw::base64::encodedLength(bytes->size()) + 64, 'x');
    std::string copy = script;
    const double t = seconds(start);
    if (copy.size() != script.size()) std::abort();
    return t;
}

double nativePart(const std::string& path)
{
    const auto start = Clock::now();
    auto bytes = pw::readWholeFile(path);
    auto arguments = pw::nativeOpenArguments(pw::lastPathComponent(path), bytes->data(), bytes->size(), path);
    const double t = seconds(start);
    if (!arguments) std::abort();
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    gtk_init(&argc, &argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const fs::path root = fs::temp_directory_path() / ("pagewick-delivery-" + std::to_string(::getpid()));
    fs::create_directories(root / "web");
    std::ofstream(root / "web" / "index.html") << page;
    pw::bench::useOwnUserFolders(root);

    pw::bench::BenchShell app((root / "web").string());
    auto& bridge = app.bridge;

    // Wait until the page can take files.
    const std::string warm = writeRandomFile(root, 1000);
    bridge->openFile(warm);
    waitFor([&] { return bridge->nextFilter == "got:1000"; });

    auto deliver = [&](const std::string& path, std::size_t size) {
        bridge->nextFilter.clear();
        const auto start = Clock::now();
        bridge->openFile(path);
        const std::string expected = "got:" + std::to_string(size);
        waitFor([&] { return bridge->nextFilter == expected; });
        return seconds(start);
    };

    std::printf("%-8s %12s %12s %12s %14s %14s\n", "size", "baseline s", "native s", "native/base", "to page s",
                "page/native");
    for (std::size_t mb : {1, 10, 100}) {
        const std::size_t size = mb * 1000 * 1000;
        std::vector<double> base, native, whole;
        for (int round = 0; round < 3; ++round) {
            const std::string path = writeRandomFile(root, size, round);
            base.push_back(baseline(path));
            native.push_back(nativePart(path));
            whole.push_back(deliver(path, size));
            fs::remove(path);
        }
        std::sort(base.begin(), base.end());
        std::sort(native.begin(), native.end());
        std::sort(whole.begin(), whole.end());
        std::printf("%-8s %12.4f %12.4f %12.2f %14.4f %14.2f\n", (std::to_string(mb) + " MB").c_str(), base[1],
                    native[1], native[1] / base[1], whole[1], whole[1] / native[1]);
    }

    std::printf("\n20 deliveries of 10 MB, resident memory (MB): UI process, web processes\n");
    long firstUi = 0, firstWeb = 0, lastUi = 0, lastWeb = 0;
    for (int i = 1; i <= 20; ++i) {
        const std::string ten = writeRandomFile(root, 10 * 1000 * 1000, i);
        deliver(ten, 10 * 1000 * 1000);
        fs::remove(ten);
        // Let the page's garbage collector have its turn, as it would between opens.
        const auto settle = Clock::now();
        waitFor([&] { return seconds(settle) > 0.3; });
        lastUi = residentKiB(::getpid());
        lastWeb = webProcessesKiB();
        if (i == 1) {
            firstUi = lastUi;
            firstWeb = lastWeb;
        }
        std::printf("  %2d: %7.1f %7.1f\n", i, lastUi / 1024.0, lastWeb / 1024.0);
    }
    std::printf("growth after the 1st: UI %+.1f MB, web %+.1f MB (limit +150 MB each): %s\n",
                (lastUi - firstUi) / 1024.0, (lastWeb - firstWeb) / 1024.0,
                (lastUi - firstUi) < 150 * 1024 && (lastWeb - firstWeb) < 150 * 1024 ? "within" : "EXCEEDED");
    fs::remove_all(root);
    return 0;
}

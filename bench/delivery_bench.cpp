// Opening a file is the product's hot path: the file is read whole and encoded in
// Base64 into memory the page's process maps. This times the native part (read,
// encode) against a baseline measured in the same run: reading the file plus one copy
// of a buffer the size of its Base64. The page's side is not part of this program.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bridge/file_delivery.h"
#include "platform/file_io.h"
#include "tests/fakes/fake_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// Keeps the compiler from dropping work whose result is otherwise unused.
volatile std::size_t sink = 0;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

std::string randomBytes(std::size_t size)
{
    std::string bytes(size, '\0');
    std::mt19937_64 random(size);
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(bytes.data() + i, &word, 8);
    }
    return bytes;
}

double timeNative(const std::string& path)
{
    const auto start = Clock::now();
    const auto bytes = pw::readWholeFile(path);
    const auto arguments = pw::nativeOpenArguments(pw::lastPathComponent(path), bytes->data(), bytes->size(), path);
    const double ms = millisecondsSince(start);
    sink = sink + (arguments ? std::get<pw::SharedText>((*arguments)[1]).size() : 0);
    return ms;
}

double timeBaseline(const std::string& path, const std::string& callSized)
{
    const auto start = Clock::now();
    const auto bytes = pw::readWholeFile(path);
    std::string copy = callSized;
    const double ms = millisecondsSince(start);
    sink = sink + bytes->size() + static_cast<unsigned char>(copy[copy.size() / 2]);
    return ms;
}

// The whole of openFile with the page answering at once: the native part plus the
// recent-files store (a synced write) and the hand-over.
double timeOpenFile(pw::testing::BridgeFixture& fixture, const std::string& path)
{
    const auto start = Clock::now();
    fixture.bridge->openFile(path);
    const double ms = millisecondsSince(start);
    sink = sink + static_cast<std::size_t>(fixture.view->callCount);
    fixture.view->scripts.clear();
    return ms;
}

}  // namespace

int main()
{
    pw::testing::TempDir dir;
    pw::testing::BridgeFixture fixture;
    // The page's side is not measured: the view takes the call without reading it back.
    fixture.view->recordCalls = false;
    std::printf("%8s %14s %14s %8s %16s\n", "size", "baseline ms", "native ms", "ratio", "openFile ms");

    for (const std::size_t megabytes : {1, 10, 100}) {
        const std::size_t size = megabytes * 1000 * 1000;
        const std::string path = dir.write("bench-" + std::to_string(megabytes) + "MB.pdf", randomBytes(size));
        const std::string callSized((size + 2) / 3 * 4, 'A');

        const int rounds = megabytes >= 100 ? 7 : megabytes >= 10 ? 15 : 60;
        std::vector<double> native, baseline, openFile;
        timeNative(path);  // the file into the page cache, the allocator warmed up
        for (int round = 0; round < rounds; ++round) {
            baseline.push_back(timeBaseline(path, callSized));
            native.push_back(timeNative(path));
            openFile.push_back(timeOpenFile(fixture, path));
        }
        const double b = median(baseline), n = median(native);
        std::printf("%6zuMB %14.2f %14.2f %7.2fx %16.2f\n", megabytes, b, n, n / b, median(openFile));
    }
    std::printf("target: native at most 2x the baseline (medians of the rounds)\n");
    return 0;
}

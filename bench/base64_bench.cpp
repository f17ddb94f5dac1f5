// Base64 of 100 MB, our codec against GLib's in the same run. Prints the best time of
// several repetitions of each and the ratio (GLib's time over ours; above 1, ours is faster).
#include <glib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <utility>
#include <string>
#include <vector>

#include "common/base64.h"

namespace {

constexpr std::size_t payloadSize = 100u * 1000u * 1000u;
constexpr int repetitions = 7;

double seconds(const std::function<void()>& run)
{
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best time of each side, the two taking turns so that a busy moment of the machine
// falls on both alike.
std::pair<double, double> bestOfTurns(const std::function<void()>& ours, const std::function<void()>& glib)
{
    double bestOurs = 1e300, bestGlib = 1e300;
    for (int i = 0; i < repetitions; ++i) {
        bestOurs = std::min(bestOurs, seconds(ours));
        bestGlib = std::min(bestGlib, seconds(glib));
    }
    return {bestOurs, bestGlib};
}

std::vector<std::uint8_t> randomBytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::mt19937_64 random(20240611);
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(bytes.data() + i, &word, 8);
    }
    for (std::size_t i = size - size % 8; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(random());
    return bytes;
}

void report(const char* what, double ours, double glib)
{
    std::printf("%s: ours %.3f s, glib %.3f s, ratio %.1fx\n", what, ours, glib, glib / ours);
}

[[noreturn]] void fail(const char* why)
{
    std::fprintf(stderr, "base64_bench: %s\n", why);
    std::exit(1);
}

}  // namespace

int main()
{
    const auto bytes = randomBytes(payloadSize);
    std::printf("payload %zu bytes, best of %d runs each\n", bytes.size(), repetitions);

    std::string ours;
    gchar* theirs = nullptr;
    const auto [oursEncode, glibEncode] = bestOfTurns([&] {
                                                          // Both sides give their last result back first.
                                                          std::string().swap(ours);
                                                          ours = pw::base64::encode(bytes);
                                                      },
                                                      [&] {
                                                          g_free(theirs);
                                                          theirs = g_base64_encode(bytes.data(), bytes.size());
                                                      });
    if (ours != theirs) fail("the two encoders disagree");
    report("encode", oursEncode, glibEncode);

    std::optional<std::vector<std::uint8_t>> decoded;
    guchar* glibDecoded = nullptr;
    gsize glibLength = 0;
    const auto [oursDecode, glibDecode] = bestOfTurns([&] {
                                                          decoded.reset();
                                                          decoded = pw::base64::decode(ours);
                                                      },
                                                      [&] {
                                                          g_free(glibDecoded);
                                                          glibDecoded = g_base64_decode(theirs, &glibLength);
                                                      });
    if (!decoded || *decoded != bytes) fail("our decoder does not give the bytes back");
    if (glibLength != bytes.size() || !std::equal(bytes.begin(), bytes.end(), glibDecoded))
        fail("GLib's decoder does not give the bytes back");
    report("decode", oursDecode, glibDecode);

    g_free(theirs);
    g_free(glibDecoded);
    return 0;
}

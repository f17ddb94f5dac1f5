// The preferences store over a file holding anything: reading never throws, the recent
// files read from it never throw, and a later write leaves a valid file that keeps
// every other value as it was read.
#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "bridge/bridge.h"
#include "platform/file_io.h"
#include "platform/json_preferences.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/scratch_dir.h"

namespace {

using nlohmann::json;

// The keys the application uses, and one it does not.
constexpr const char* keys[] = {pw::Bridge::recentKey, "PagewickMain", "pagewick.other", ""};

struct Store {
    pw::fuzzing::ScratchDir scratch;
    std::string file = scratch.path() + "/config/pagewick/preferences.json";
    std::string document = scratch.path() + "/doc.pdf";

    Store()
    {
        std::filesystem::create_directories(scratch.path() + "/config/pagewick");
        std::ofstream(document) << "%PDF-";
    }

    void fill(const std::uint8_t* data, std::size_t size) const
    {
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    json readBack() const
    {
        const auto bytes = pw::readWholeFile(file);
        FUZZ_CHECK(bytes.has_value());
        return json::parse(bytes->begin(), bytes->end(), nullptr, /*allow_exceptions=*/false);
    }
};

std::shared_ptr<pw::Bridge> bridgeOn(const std::shared_ptr<pw::JsonPreferences>& preferences)
{
    using namespace pw::testing;
    return std::make_shared<pw::Bridge>(pw::BridgeServices{std::make_shared<FakeMainQueue>(),
                                                           std::make_shared<FakePanels>(),
                                                           std::make_shared<FakeWorkspace>(),
                                                           std::make_shared<FakePrinting>(), preferences});
}

template <typename Step>
void mustNotThrow(Step step)
{
    try {
        step();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "threw: %s\n", error.what());
        FUZZ_CHECK(!"an exception left the preferences store");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Store store;
    if (size == 0) return 0;
    const std::string key = keys[data[0] % std::size(keys)];
    ++data;
    --size;

    store.fill(data, size);
    // Nested deeper than anything the application stores (64 levels), the file counts
    // as damaged and reads as empty.
    int deepest = 0;
    const json parsed = json::parse(
        data, data + size,
        [&deepest](int depth, json::parse_event_t, json&) {
            deepest = std::max(deepest, depth);
            return true;
        },
        /*allow_exceptions=*/false);
    const json original = deepest > 64 ? json::object() : parsed;
    auto preferences = std::make_shared<pw::JsonPreferences>(store.file);

    mustNotThrow([&] {
        const json got = preferences->get(key);
        if (original.is_object() && original.contains(key)) FUZZ_CHECK(got == original[key]);
        else FUZZ_CHECK(got.is_null());
    });
    auto bridge = bridgeOn(preferences);
    mustNotThrow([&] { FUZZ_CHECK(bridge->recentsJS().starts_with("window.__nativeRecent = ")); });

    mustNotThrow([&] {
        const json value = {{"x", json::array({1, "\u00e9", nullptr, 2.5})}};
        preferences->set(key, value);
        json expected = original.is_object() ? original : json::object();
        expected[key] = value;
        FUZZ_CHECK(store.readBack() == expected);
    });

    // Remembering a file over whatever the list held puts it first; forgetting takes it out.
    store.fill(data, size);
    mustNotThrow([&] {
        bridge->remember(store.document);
        const json shown = bridge->recents();
        FUZZ_CHECK(!shown.empty() && shown[0]["path"] == store.document);
        FUZZ_CHECK(store.readBack().is_object());
        bridge->forget(store.document);
        for (const auto& entry : bridge->recents()) FUZZ_CHECK(entry.value("path", "") != store.document);
    });
    return 0;
}

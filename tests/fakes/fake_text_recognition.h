#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/recognition_services.h"

namespace pw::testing {

struct FakeImage : Image {
    FakeImage(int w, int h) : w(w), h(h) {}
    int width() const override { return w; }
    int height() const override { return h; }
    int w, h;
};

// Reads "image WxH" as an image of that size; any other bytes are no image.
class FakeImageDecoder : public ImageDecoder {
public:
    std::shared_ptr<const Image> decodeFirst(std::span<const std::uint8_t> bytes) override
    {
        ++calls;
        const std::string text(bytes.begin(), bytes.end());
        int w = 0, h = 0;
        if (std::sscanf(text.c_str(), "image %dx%d", &w, &h) != 2) return nullptr;
        return std::make_shared<FakeImage>(w, h);
    }
    int calls = 0;
};

// A line whose ranges have the boxes the test gives; any other range has none.
class FakeObservation : public TextObservation {
public:
    explicit FakeObservation(std::string text) : text_(std::move(text)) {}
    const std::string& text() const override { return text_; }
    std::optional<NormalizedRect> boundingBox(std::size_t begin, std::size_t end) const override
    {
        {
            // Requests on a pool share one scripted line.
            std::lock_guard lock(askedMutex);
            asked.emplace_back(begin, end);
        }
        auto found = boxes.find({begin, end});
        if (found != boxes.end()) return found->second;
        return everywhere;
    }
    std::map<std::pair<std::size_t, std::size_t>, NormalizedRect> boxes;
    std::optional<NormalizedRect> everywhere;  // the box of any range not in `boxes`
    mutable std::vector<std::pair<std::size_t, std::size_t>> asked;
    mutable std::mutex askedMutex;

private:
    std::string text_;
};

// Reports a scripted outcome: `report` to the handler (unless it is nullopt), then
// `performError` as the failure of performing (when set).
class FakeRecognizer : public TextRecognizer {
public:
    std::optional<std::string> perform(const Image& image, const std::vector<std::string>& languages,
                                       const std::function<void(RecognitionReport)>& handler) override
    {
        {
            std::lock_guard lock(mutex);
            seenLanguages.push_back(languages);
            seenSizes.emplace_back(image.width(), image.height());
            threads.push_back(std::this_thread::get_id());
        }
        if (report) handler(*report);
        return performError;
    }

    std::optional<RecognitionReport> report = RecognitionReport{};
    std::optional<std::string> performError;

    std::mutex mutex;
    std::vector<std::vector<std::string>> seenLanguages;
    std::vector<std::pair<int, int>> seenSizes;
    std::vector<std::thread::id> threads;
};

// Holds queued work until the test runs it, on the test's own thread.
class ManualWorkQueue : public WorkQueue {
public:
    void async(std::function<void()> work) override { queued.push_back(std::move(work)); }
    int runAll()
    {
        int ran = 0;
        while (!queued.empty()) {
            auto work = std::move(queued.front());
            queued.pop_front();
            work();
            ++ran;
        }
        return ran;
    }
    std::deque<std::function<void()>> queued;
};

}  // namespace pw::testing

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <thread>

#include <nlohmann/json.hpp>

#include "common/base64.h"
#include "ocr/native_ocr.h"
#include "platform/thread_pool.h"
#include "tests/fakes/fake_text_recognition.h"

namespace pw {
namespace {

using testing::FakeImageDecoder;
using testing::FakeObservation;
using testing::FakeRecognizer;
using testing::ManualWorkQueue;

std::string b64(const std::string& bytes)
{
    return base64::encode(bytes.data(), bytes.size());
}

std::shared_ptr<FakeObservation> line(const std::string& text, std::optional<NormalizedRect> everywhere = NormalizedRect{0, 0, 1, 1})
{
    auto observation = std::make_shared<FakeObservation>(text);
    observation->everywhere = everywhere;
    return observation;
}

class NativeOCRRun : public ::testing::Test {
protected:
    NativeOCRRun()
    {
        services.decoder = decoder;
        services.recognizer = recognizer;
        services.workers = workers;
    }

    void observe(std::vector<std::shared_ptr<const TextObservation>> observations)
    {
        recognizer->report = RecognitionReport{std::move(observations), std::nullopt};
    }

    // Runs one request on a 1000 x 800 image to its end; the documents it delivered.
    std::vector<std::string> recognise(const std::string& lang = "fr")
    {
        std::vector<std::string> delivered;
        NativeOCR::run(services, b64("image 1000x800"), lang, [&](std::string document) {
            delivered.push_back(std::move(document));
        });
        workers->runAll();
        return delivered;
    }

    nlohmann::json recogniseOnce()
    {
        auto delivered = recognise();
        EXPECT_EQ(delivered.size(), 1u);
        return delivered.empty() ? nlohmann::json() : nlohmann::json::parse(delivered.front());
    }

    // The texts of each line's words.
    static std::vector<std::vector<std::string>> wordTexts(const nlohmann::json& document)
    {
        std::vector<std::vector<std::string>> lines;
        for (const auto& l : document.at("lines")) {
            lines.emplace_back();
            for (const auto& word : l.at("words")) lines.back().push_back(word.at("t"));
        }
        return lines;
    }

    std::shared_ptr<FakeImageDecoder> decoder = std::make_shared<FakeImageDecoder>();
    std::shared_ptr<FakeRecognizer> recognizer = std::make_shared<FakeRecognizer>();
    std::shared_ptr<ManualWorkQueue> workers = std::make_shared<ManualWorkQueue>();
    RecognitionServices services;
};

TEST_F(NativeOCRRun, ExampleWordBecomesAPixelBoxFromTheTopLeft)
{
    auto total = line("Total", std::nullopt);
    total->boxes[{0, 5}] = NormalizedRect{.minX = 0.125, .minY = 0.75, .maxX = 0.375, .maxY = 0.875};
    observe({total});

    EXPECT_EQ(recogniseOnce(), nlohmann::json::parse(
                                   R"({"lines":[{"words":[{"t":"Total","x0":125,"y0":100,"x1":375,"y1":200}]}]})"));
}

TEST_F(NativeOCRRun, DocumentHasOnlyItsKeysAndKeepsFractions)
{
    auto observation = line("ab", NormalizedRect{.minX = 0.0001, .minY = 0.5, .maxX = 0.3333, .maxY = 0.5005});
    observe({observation});

    const auto document = recogniseOnce();
    ASSERT_EQ(document.size(), 1u);
    ASSERT_EQ(document.at("lines").size(), 1u);
    const auto& first = document["lines"][0];
    ASSERT_EQ(first.size(), 1u);
    const auto& word = first.at("words").at(0);
    EXPECT_EQ(word.size(), 5u);
    EXPECT_DOUBLE_EQ(word.at("x0").get<double>(), 0.1);
    EXPECT_DOUBLE_EQ(word.at("x1").get<double>(), 333.3);
    EXPECT_DOUBLE_EQ(word.at("y0").get<double>(), 800 * (1 - 0.5005));
    EXPECT_DOUBLE_EQ(word.at("y1").get<double>(), 400);
}

TEST_F(NativeOCRRun, NoObservationsGiveAnEmptyLineList)
{
    observe({});
    EXPECT_EQ(recognise(), std::vector<std::string>{R"({"lines":[]})"});
}

TEST_F(NativeOCRRun, LinesWithoutWordsAreLeftOutAndOrderIsKept)
{
    observe({line("first"), line(" \t\n\u00a0\u3000"), line(""), line("second")});
    EXPECT_EQ(wordTexts(recogniseOnce()), (std::vector<std::vector<std::string>>{{"first"}, {"second"}}));
}

TEST_F(NativeOCRRun, WhitespaceSeparatesWordsAndNeverMakesEmptyOnes)
{
    auto spaced = line("  a  b\tc\u00a0d\r\ne\u2028f ");
    observe({spaced});

    EXPECT_EQ(wordTexts(recogniseOnce()), (std::vector<std::vector<std::string>>{{"a", "b", "c", "d", "e", "f"}}));
    // The boxes asked for are exactly the words' ranges.
    using Range = std::pair<std::size_t, std::size_t>;
    EXPECT_THAT(spaced->asked, ::testing::ElementsAre(Range{2, 3}, Range{5, 6}, Range{7, 8}, Range{10, 11},
                                                     Range{13, 14}, Range{17, 18}));
}

TEST_F(NativeOCRRun, WordWithoutABoxIsDroppedAndTheOthersStay)
{
    auto partly = line("one two three", std::nullopt);
    partly->boxes[{0, 3}] = NormalizedRect{0, 0, 0.1, 0.1};
    partly->boxes[{8, 13}] = NormalizedRect{0.2, 0, 0.3, 0.1};
    auto none = line("lost", std::nullopt);
    observe({partly, none});

    EXPECT_EQ(wordTexts(recogniseOnce()), (std::vector<std::vector<std::string>>{{"one", "three"}}));
}

TEST_F(NativeOCRRun, OnlyTheExactHintFrPutsFrenchFirst)
{
    const std::vector<std::string> frenchFirst{"fr-FR", "en-US"};
    const std::vector<std::string> englishFirst{"en-US", "fr-FR"};
    for (const std::string lang : {"fr", "FR", "fr-FR", "en", "", " fr"}) recognise(lang);
    EXPECT_EQ(recognizer->seenLanguages,
              (std::vector<std::vector<std::string>>{frenchFirst, englishFirst, englishFirst, englishFirst,
                                                     englishFirst, englishFirst}));
}

TEST_F(NativeOCRRun, RecogniserErrorsBecomeErrorDocuments)
{
    recognizer->report = RecognitionReport{{line("ignored")}, "The models are missing."};
    EXPECT_EQ(recognise(), std::vector<std::string>{R"({"error":"The models are missing."})"});

    recognizer->report.reset();
    recognizer->performError = "Cannot perform.";
    EXPECT_EQ(recognise(), std::vector<std::string>{R"({"error":"Cannot perform."})"});
}

TEST_F(NativeOCRRun, HandlerAndPerformingBothReportingGiveOneCompletion)
{
    observe({line("kept")});
    recognizer->performError = "too late";
    const auto delivered = recognise();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(wordTexts(nlohmann::json::parse(delivered[0])), (std::vector<std::vector<std::string>>{{"kept"}}));
}

TEST_F(NativeOCRRun, TextThatIsNotUTF8GivesTheJSONFallback)
{
    observe({line("ok \xff\xfe")});
    EXPECT_EQ(recognise(), std::vector<std::string>{R"({"error":"json"})"});
}

TEST_F(NativeOCRRun, UndecodableRequestsAreAnsweredBeforeRunReturns)
{
    const std::string png = b64("image 10x10");
    const std::vector<std::string> bad{
        png.substr(0, 8) + "\n" + png.substr(8),                    // line break
        png.substr(0, 8) + "\r\n" + png.substr(8),                   // CR LF
        "data:image/png;base64," + png,                              // data-URL prefix
        " " + png,                                                   // leading space
        png.substr(0, png.size() - 1),                               // cut short
        b64("GIF89a not really"),                                    // no image
        b64(""),                                                     // nothing
    };
    for (const auto& text : bad) {
        std::vector<std::string> delivered;
        NativeOCR::run(services, text, "fr", [&](std::string document) { delivered.push_back(document); });
        EXPECT_EQ(delivered, std::vector<std::string>{R"({"error":"image"})"}) << text;
    }
    EXPECT_TRUE(workers->queued.empty());
    // Only the two texts that are valid Base64 reached the decoder.
    EXPECT_EQ(decoder->calls, 2);
}

TEST_F(NativeOCRRun, RecognitionWaitsForAWorkerAndSeesTheStoredSize)
{
    int calls = 0;
    NativeOCR::run(services, b64("image 640x480"), "fr", [&](std::string) { ++calls; });
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(recognizer->seenSizes.empty());
    EXPECT_EQ(workers->runAll(), 1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(recognizer->seenSizes, (std::vector<std::pair<int, int>>{{640, 480}}));
}

TEST(NativeOCRPool, ManyRequestsEachCompleteOnceOffTheCallingThread)
{
    auto recognizer = std::make_shared<FakeRecognizer>();
    recognizer->report = RecognitionReport{{line("word")}, std::nullopt};
    recognizer->performError = "second report";
    RecognitionServices services{std::make_shared<FakeImageDecoder>(), recognizer, std::make_shared<ThreadPool>(2)};

    constexpr int requests = 16;
    std::mutex mutex;
    std::condition_variable done;
    std::vector<int> completions(requests, 0);
    int finished = 0;
    for (int i = 0; i < requests; ++i) {
        NativeOCR::run(services, b64("image 100x100"), "fr", [&, i](std::string document) {
            EXPECT_NE(document.find("word"), std::string::npos);
            std::lock_guard lock(mutex);
            ++completions[i];
            ++finished;
            done.notify_all();
        });
    }
    {
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return finished >= requests; });
    }
    services.workers.reset();  // joins the pool: no late second completion can follow
    EXPECT_EQ(completions, std::vector<int>(requests, 1));
    for (auto id : recognizer->threads) EXPECT_NE(id, std::this_thread::get_id());
}

TEST(NativeOCRInstall, RunUsesTheInstalledServices)
{
    auto workers = std::make_shared<ManualWorkQueue>();
    auto recognizer = std::make_shared<FakeRecognizer>();
    recognizer->report = RecognitionReport{{line("installed")}, std::nullopt};
    NativeOCR::install({std::make_shared<FakeImageDecoder>(), recognizer, workers});

    std::vector<std::string> delivered;
    NativeOCR::run(b64("image 2x2"), "en", [&](std::string document) { delivered.push_back(document); });
    workers->runAll();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_NE(delivered[0].find("installed"), std::string::npos);

    // Without services a request still gets its one answer.
    NativeOCR::install({});
    delivered.clear();
    NativeOCR::run(b64("image 2x2"), "en", [&](std::string document) { delivered.push_back(document); });
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_NE(nlohmann::json::parse(delivered[0]).at("error"), "image");
}

}  // namespace
}  // namespace pw

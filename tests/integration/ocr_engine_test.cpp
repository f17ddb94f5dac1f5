// Text recognition on the real engine (Tesseract with Debian's models, Leptonica) over
// pages the tests draw with Pango, so the words and where they stand are known.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>

#include <leptonica/allheaders.h>
#include <nlohmann/json.hpp>

#include "common/base64.h"
#include "ocr/native_ocr.h"
#include "platform/tesseract/tesseract_services.h"
#include "tests/fakes/temp_dir.h"
#include "tests/support/text_page.h"

namespace pw {
namespace {

using testing::DrawnWord;
using testing::PageStyle;
using testing::TextPage;
using testing::renderTextPage;

struct Recognised {
    std::string text;
    double x0, y0, x1, y1;
};

class OcrEngine : public ::testing::Test {
protected:
    // The document of one request, however long the engine takes.
    std::string recognise(const std::vector<std::uint8_t>& bytes, const std::string& lang = "fr")
    {
        auto promise = std::make_shared<std::promise<std::string>>();
        auto document = promise->get_future();
        NativeOCR::run(services, base64::encode(bytes), lang,
                       [promise](std::string result) { promise->set_value(std::move(result)); });
        if (document.wait_for(std::chrono::minutes(2)) != std::future_status::ready) {
            ADD_FAILURE() << "no reply";
            return {};
        }
        return document.get();
    }

    static std::vector<std::vector<Recognised>> lines(const std::string& document)
    {
        std::vector<std::vector<Recognised>> out;
        const auto parsed = nlohmann::json::parse(document);
        for (const auto& line : parsed.at("lines")) {
            out.emplace_back();
            for (const auto& w : line.at("words"))
                out.back().push_back({w.at("t"), w.at("x0"), w.at("y0"), w.at("x1"), w.at("y1")});
        }
        return out;
    }

    static std::vector<std::vector<std::string>> texts(const std::vector<std::vector<Recognised>>& lines)
    {
        std::vector<std::vector<std::string>> out;
        for (const auto& line : lines) {
            out.emplace_back();
            for (const auto& word : line) out.back().push_back(word.text);
        }
        return out;
    }

    static std::vector<std::vector<std::string>> texts(const TextPage& page)
    {
        std::vector<std::vector<std::string>> out;
        for (const auto& line : page.lines) {
            out.emplace_back();
            for (const auto& word : line) out.back().push_back(word.text);
        }
        return out;
    }

    RecognitionServices services = tess::makeRecognitionServices(2);
};

TEST_F(OcrEngine, WordsComeInReadingOrderWithBoxesAroundTheirInk)
{
    const TextPage page = renderTextPage(
        {"Invoice number 4521", "Total amount due", "Merci pour votre commande"}, PageStyle{});
    const auto found = lines(recognise(page.png, "en"));

    ASSERT_EQ(texts(found), texts(page));
    constexpr double slack = 3;  // anti-aliased edges may binarise either way
    for (std::size_t l = 0; l < found.size(); ++l) {
        for (std::size_t w = 0; w < found[l].size(); ++w) {
            const Recognised& got = found[l][w];
            const DrawnWord& drawn = page.lines[l][w];
            SCOPED_TRACE(drawn.text);
            EXPECT_LE(got.x0, drawn.x0 + slack);
            EXPECT_LE(got.y0, drawn.y0 + slack);
            EXPECT_GE(got.x1, drawn.x1 - slack);
            EXPECT_GE(got.y1, drawn.y1 - slack);
            EXPECT_GE(got.x0, drawn.x0 - slack);
            EXPECT_GE(got.y0, drawn.y0 - slack);
            EXPECT_LE(got.x1, drawn.x1 + slack);
            EXPECT_LE(got.y1, drawn.y1 + slack);
        }
    }
}

TEST_F(OcrEngine, FrenchWithAccentsIsRead)
{
    const TextPage page = renderTextPage({"Été à la forêt", "Où êtes-vous déjà"},
                                         PageStyle{.family = "DejaVu Serif", .points = 14});
    EXPECT_EQ(texts(lines(recognise(page.png, "fr"))), texts(page));
}

TEST_F(OcrEngine, ColouredPageIsRead)
{
    // Blue ink on yellowish paper: the blue channel is the same everywhere.
    const TextPage page = renderTextPage({"Coloured paper note"}, PageStyle{});
    Pix* pix = pixReadMem(page.png.data(), page.png.size());
    ASSERT_NE(pix, nullptr);
    Pix* blue = pixCreate(pixGetWidth(pix), pixGetHeight(pix), 8);
    pixSetAllArbitrary(blue, 200);
    pixSetRGBComponent(pix, blue, COLOR_BLUE);
    l_uint8* data = nullptr;
    size_t size = 0;
    pixWriteMem(&data, &size, pix, IFF_PNG);
    const std::vector<std::uint8_t> png(data, data + size);
    lept_free(data);
    pixDestroy(&blue);
    pixDestroy(&pix);

    EXPECT_EQ(texts(lines(recognise(png, "en"))), texts(page));
}

TEST_F(OcrEngine, BlankPageHasNoLines)
{
    const TextPage page = renderTextPage({}, PageStyle{});
    EXPECT_EQ(recognise(page.png), R"({"lines":[]})");
}

TEST_F(OcrEngine, MultiPageTiffIsReadOnItsFirstPage)
{
    const TextPage first = renderTextPage({"First page words"}, PageStyle{.width = 900, .height = 300});
    const TextPage second = renderTextPage({"Second sheet here"}, PageStyle{.width = 1000, .height = 500});
    testing::TempDir dir;
    const std::string file = dir.path() + "/pages.tif";
    for (const auto* page : {&first, &second}) {
        Pix* pix = pixReadMem(page->png.data(), page->png.size());
        ASSERT_NE(pix, nullptr);
        pixWriteTiff(file.c_str(), pix, IFF_TIFF_ZIP, page == &first ? "w" : "a");
        pixDestroy(&pix);
    }
    const std::string tiff = testing::TempDir::read(file);
    const std::vector<std::uint8_t> bytes(tiff.begin(), tiff.end());

    const auto found = lines(recognise(bytes, "en"));
    ASSERT_EQ(texts(found), texts(first));
    // Boxes are in the first page's pixel grid.
    const auto& drawn = first.lines[0][2];
    EXPECT_NEAR(found[0][2].x1, drawn.x1, 3);
    EXPECT_NEAR(found[0][2].y1, drawn.y1, 3);
}

TEST_F(OcrEngine, BytesThatAreNoImageAreRefusedBeforeRunReturns)
{
    const TextPage page = renderTextPage({"x"}, PageStyle{.width = 100, .height = 100});
    const std::string png = base64::encode(page.png);
    const std::vector<std::string> refused{
        png.substr(0, 76) + "\n" + png.substr(76),
        "data:image/png;base64," + png,
        base64::encode(std::vector<std::uint8_t>(page.png.begin(), page.png.begin() + page.png.size() / 2)),
        base64::encode(std::vector<std::uint8_t>{'%', 'P', 'D', 'F', '-', '1', '.', '7', '\n'}),
    };
    for (const auto& text : refused) {
        std::string answer;
        NativeOCR::run(services, text, "fr", [&](std::string document) { answer = std::move(document); });
        EXPECT_EQ(answer, R"({"error":"image"})") << text.substr(0, 40);
    }
}

TEST_F(OcrEngine, SixteenRequestsAtOnceEachCompleteOnce)
{
    std::vector<TextPage> pages;
    for (int i = 0; i < 16; ++i)
        pages.push_back(renderTextPage({"Request number " + std::to_string(100 + i)},
                                       PageStyle{.width = 700, .height = 140}));
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<std::string>> answers(pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        NativeOCR::run(services, base64::encode(pages[i].png), "en", [&, i](std::string document) {
            std::lock_guard lock(mutex);
            answers[i].push_back(std::move(document));
            changed.notify_all();
        });
    }
    {
        std::unique_lock lock(mutex);
        const bool all = changed.wait_for(lock, std::chrono::minutes(3), [&] {
            return std::all_of(answers.begin(), answers.end(), [](const auto& a) { return !a.empty(); });
        });
        ASSERT_TRUE(all);
    }
    services.workers.reset();  // nothing still running could answer twice
    for (std::size_t i = 0; i < pages.size(); ++i) {
        ASSERT_EQ(answers[i].size(), 1u);
        EXPECT_EQ(texts(lines(answers[i][0])), texts(pages[i]));
    }
}

}  // namespace
}  // namespace pw

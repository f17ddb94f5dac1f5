// The default page in the real shell: documents generated here are opened through the
// bridge and the page is driven through its own controls, as a person would, while the
// panels are scripted fakes. What the page writes is read back with Poppler and Cairo.

#include <gtest/gtest.h>

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>
#include <poppler.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "ocr/native_ocr.h"
#include "platform/tesseract/tesseract_services.h"
#include "tests/integration/harness.h"
#include "tests/integration/page_fixture.h"
#include "tests/integration/pdf_tools.h"

namespace pw::testing {
namespace {

// The entries of a ZIP archive, each checked against its stored CRC-32.
struct ZipEntry {
    std::string data;
    bool crcMatches = false;
};

std::uint32_t crc32Bitwise(const std::string& data)
{
    std::uint32_t crc = 0xffffffffu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::map<std::string, ZipEntry> readZip(const std::string& archive)
{
    auto u16 = [&](std::size_t at) { return std::uint32_t(std::uint8_t(archive[at])) | std::uint32_t(std::uint8_t(archive[at + 1])) << 8; };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    std::map<std::string, ZipEntry> entries;
    if (archive.size() < 22) return entries;
    const std::size_t end = archive.size() - 22;  // no archive comment
    if (u32(end) != 0x06054b50) return entries;
    std::size_t at = u32(end + 16);
    for (std::uint32_t i = 0; i < u16(end + 10) && u32(at) == 0x02014b50; ++i) {
        const std::uint32_t crc = u32(at + 16), size = u32(at + 24), nameLength = u16(at + 28);
        const std::uint32_t skip = u16(at + 30) + u16(at + 32), local = u32(at + 42);
        const std::string name = archive.substr(at + 46, nameLength);
        if (u32(local) != 0x04034b50 || u16(local + 8) != 0) break;  // stored, not deflated
        const std::size_t data = local + 30 + u16(local + 26) + u16(local + 28);
        ZipEntry entry{archive.substr(data, size)};
        entry.crcMatches = crc32Bitwise(entry.data) == crc;
        entries[name] = entry;
        at += 46 + nameLength + skip;
    }
    return entries;
}

struct PngSize {
    int width = 0, height = 0;
};

PngSize decodePng(const std::string& png)
{
    struct Reader {
        const std::string& bytes;
        std::size_t at = 0;
    } reader{png};
    cairo_surface_t* image = cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* data, unsigned int length) {
            auto* r = static_cast<Reader*>(closure);
            if (r->bytes.size() - r->at < length) return CAIRO_STATUS_READ_ERROR;
            std::copy_n(r->bytes.data() + r->at, length, data);
            r->at += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &reader);
    PngSize size;
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS)
        size = {cairo_image_surface_get_width(image), cairo_image_surface_get_height(image)};
    cairo_surface_destroy(image);
    return size;
}

using Page = PageFixture;

TEST_F(Page, OpeningADocumentShowsItsPagesDrawn)
{
    const std::string path = writeNumberedPdf(files.path() + "/report.pdf", 3);
    start();
    shell.evaluate("window.layouts = 0; new MutationObserver((records) => { for (const r of records)"
                   "  for (const node of r.addedNodes) if (node.dataset?.pageNumber === '1') ++window.layouts;"
                   "}).observe(document.querySelector('.pages'), {childList: true})");
    open(path, 3);
    EXPECT_EQ(text("document.querySelector('.tab.active .tab-name').textContent"), "report.pdf");
    EXPECT_EQ(text("document.getElementById('page-number').value"), "1");
    EXPECT_TRUE(waitUntil([&] { return shell.delegate->window()->title() == "report.pdf — Pagewick"; }));

    // What is on screen: the first page's rectangle holds the band and the heading in
    // dark pixels on a white page.
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.page[data-page-number=\"1\"]').dataset.drawn === 'true'"));
    // Laid out once, at the view's real width, not first for a hidden view and again
    // once it appears.
    spin(0.5);
    EXPECT_EQ(text("window.layouts"), "1");
    const auto box = shell.evaluate(
        "(() => { const r = document.querySelector('.page').getBoundingClientRect();"
        " return [r.left, r.top, r.width, r.height].map(Math.round).join(' '); })()");
    ASSERT_TRUE(box);
    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(std::sscanf(box->c_str(), "%d %d %d %d", &left, &top, &width, &height), 4);

    struct Shot {
        bool done = false;
        cairo_surface_t* surface = nullptr;
    } shot;
    webkit_web_view_get_snapshot(
        shell.webKitView(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        +[](GObject* view, GAsyncResult* result, gpointer data) {
            auto* s = static_cast<Shot*>(data);
            s->surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
            s->done = true;
        },
        &shot);
    ASSERT_TRUE(waitUntil([&] { return shot.done; }));
    ASSERT_NE(shot.surface, nullptr);
    cairo_surface_flush(shot.surface);
    const int stride = cairo_image_surface_get_stride(shot.surface);
    const unsigned char* pixels = cairo_image_surface_get_data(shot.surface);
    const int surfaceWidth = cairo_image_surface_get_width(shot.surface);
    const int surfaceHeight = cairo_image_surface_get_height(shot.surface);
    long dark = 0, white = 0, counted = 0;
    for (int y = std::max(top, 0); y < std::min(top + height, surfaceHeight); ++y) {
        for (int x = std::max(left, 0); x < std::min(left + width, surfaceWidth); ++x) {
            const auto* p = pixels + y * stride + x * 4;  // B, G, R, unused
            const int brightest = std::max({p[0], p[1], p[2]});
            dark += brightest < 80;
            white += p[0] > 235 && p[1] > 235 && p[2] > 235;
            ++counted;
        }
    }
    cairo_surface_destroy(shot.surface);
    ASSERT_GT(counted, 10000);
    EXPECT_GT(dark, counted / 50) << "the page looks blank";
    EXPECT_GT(white, counted / 2) << "the page is not drawn on white";
}

// Pages and their pictures far out of view are let go of, and drawn again when the
// reader comes back to them.
TEST_F(Page, PagesLeftBehindAreLetGoOfAndDrawnAgainOnReturn)
{
    const std::string path = writeNumberedPdf(files.path() + "/long.pdf", 40);
    start();
    open(path, 40);
    const std::string firstDrawn = "document.querySelector('.page[data-page-number=\"1\"]').dataset.drawn === 'true'";
    const std::string firstPicture = "!!document.querySelector('.thumb[data-index=\"0\"] canvas')";
    ASSERT_TRUE(shell.waitForScript(firstDrawn + " && " + firstPicture));

    key("End");
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.page[data-page-number=\"40\"]').dataset.drawn === 'true'"
                                    " && !!document.querySelector('.thumb[data-index=\"39\"] canvas')"));
    // Page 1 keeps no drawing: its frame is empty or gone from the column.
    EXPECT_TRUE(shell.waitForScript("!document.querySelector('.page[data-page-number=\"1\"]')?.firstChild && !" +
                                    firstPicture));

    key("Home");
    EXPECT_TRUE(shell.waitForScript(firstDrawn + " && " + firstPicture));
}

// The frames in the column are the pages near the view, in order, each one gap below
// the one before, the column as tall as every page: checked at the top, in the middle
// after scrolling there, and after a page there turns to landscape.
TEST_F(Page, OnlyPagesNearTheViewHaveFramesAndEachStandsInItsPlace)
{
    const std::string path = writeNumberedPdf(files.path() + "/long.pdf", 40);
    start();
    open(path, 40);
    const auto framedInPlace = [&](int from, int to) {
        return shell.waitForScript(
            "(() => { const f = [...document.querySelectorAll('#viewer .page')];"
            " const n = f.map((p) => Number(p.dataset.pageNumber));"
            " return f.length >= 2 && f.length <= 12 && n[0] <= " + std::to_string(from) +
            " && n.at(-1) >= " + std::to_string(to) +
            " && n.every((k, i) => i === 0 || k === n[i - 1] + 1)"
            " && f.every((p, i) => i === 0 || p.offsetTop === f[i - 1].offsetTop + f[i - 1].offsetHeight + 16); })()");
    };
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.page[data-page-number=\"1\"]')?.dataset.drawn === 'true'"));
    EXPECT_TRUE(framedInPlace(1, 2));
    EXPECT_TRUE(shell.waitForScript("(() => { const v = document.getElementById('viewer'); const p = document.querySelector('.page');"
                                    " return v.scrollHeight >= 40 * (p.offsetHeight + 16); })()"));

    // Scrolled by hand to page 30's top: the pager follows, page 30 is drawn, page 1 has no frame.
    shell.evaluate("document.getElementById('viewer').scrollTop = 29 * (document.querySelector('.page').offsetHeight + 16) + 24");
    EXPECT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '30'"
                                    " && document.querySelector('.page[data-page-number=\"30\"]')?.dataset.drawn === 'true'"
                                    " && !document.querySelector('.page[data-page-number=\"1\"]')"));
    EXPECT_TRUE(framedInPlace(30, 31));
    // The sidebar follows with page 30's picture marked, among a few of its neighbours.
    EXPECT_TRUE(shell.waitForScript("document.querySelector('.thumb.current')?.dataset.index === '29'"
                                    " && !!document.querySelector('.thumb[data-index=\"29\"] canvas')"
                                    " && !document.querySelector('.thumb[data-index=\"0\"]')"))
        << text("[...document.querySelectorAll('.thumb')].map((t) => t.dataset.index + (t.classList.contains('current') ? '*' : '')).join()");

    const std::string tall = "document.querySelector('.page[data-page-number=\"30\"]').offsetHeight";
    const std::string before = text(tall);
    click("#rotate-right");
    EXPECT_TRUE(shell.waitForScript(tall + " < " + before));
    EXPECT_TRUE(framedInPlace(30, 31));

    // A hidden sidebar cannot follow; shown again, it goes to the page one is on.
    shell.evaluate("document.getElementById('thumbnails').hidden = true");
    key("Home");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '1'"));
    click("#show-pages");
    EXPECT_TRUE(shell.waitForScript("document.querySelector('.thumb.current')?.dataset.index === '0'"));
}

// The engine lays out nothing taller than some 33 million pixels: 12,000 pages at 300 %
// are a column of 40 million, every page of which can still be gone to and scrolled
// through.
TEST_F(Page, EveryPageOfAColumnTallerThanTheEngineLaysOutCanBeReached)
{
    const std::string path = writeNumberedPdf(files.path() + "/long.pdf", 12000);
    start();
    open(path, 12000);
    shell.evaluate("const zoom = document.getElementById('zoom'); zoom.value = '3'; zoom.dispatchEvent(new Event('change'))");
    const auto shownAndDrawn = [&](int page) {
        const std::string frame = "document.querySelector('.page[data-page-number=\"" + std::to_string(page) + "\"]')";
        return shell.waitForScript("(() => { const v = document.getElementById('viewer').getBoundingClientRect();"
                                   " const f = " + frame + "; const p = f?.getBoundingClientRect();"
                                   " return document.getElementById('page-number').value === '" + std::to_string(page) + "'"
                                   " && f.dataset.drawn === 'true' && p.top < v.bottom && p.bottom > v.top; })()");
    };
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.page').offsetHeight > 3000"));
    key("End");
    EXPECT_TRUE(shownAndDrawn(12000)) << text("document.getElementById('page-number').value");

    shell.evaluate("const box = document.getElementById('page-number'); box.value = '6000';"
                   " box.dispatchEvent(new Event('change'))");
    EXPECT_TRUE(shownAndDrawn(6000));
    // Scrolled by hand a page on: the next page, its frame one gap below the one before.
    shell.evaluate("document.getElementById('viewer').scrollTop += document.querySelector('.page').offsetHeight + 16");
    EXPECT_TRUE(shownAndDrawn(6001));
    EXPECT_TRUE(shell.waitForScript("(() => { const a = document.querySelector('.page[data-page-number=\"6000\"]');"
                                    " const b = document.querySelector('.page[data-page-number=\"6001\"]');"
                                    " return !!a && !!b && b.offsetTop === a.offsetTop + a.offsetHeight + 16; })()"));
    key("Home");
    EXPECT_TRUE(shownAndDrawn(1));
}

// A page tree that names its one page twice under a count far too high: pdf.js loads
// the page once and cannot load the second entry. The file opens as damaged (to read
// and print), with that page left blank, instead of being refused.
TEST_F(Page, APageThePdfEngineCannotLoadIsLeftBlankAndTheOthersAreShown)
{
    const std::string path = files.path() + "/twice.pdf";
    std::ofstream(path, std::ios::binary) << pdfFile({"<</Type/Catalog/Pages 2 0 R>>",
                                                      "<</Type/Pages/Kids[3 0 R 3 0 R]/Count 500>>",
                                                      "<</Type/Page/Parent 2 0 R/MediaBox[0 0 595 842]/Contents 4 0 R>>",
                                                      wordContent("Alpha")});
    start();
    shell.bridge->openFile(path);
    EXPECT_TRUE(shell.waitForScript("document.querySelector('.page[data-page-number=\"1\"]')?.dataset.drawn === 'true'"
                                    " && Number(document.getElementById('page-count').textContent) >= 2"));
    shell.evaluate("(async () => { window.__wanted = (await import('./src/i18n.mjs')).t('lockedDamaged', {name: 'twice.pdf'}); })()");
    EXPECT_TRUE(shell.waitForScript("[...document.querySelectorAll('.toast-warn .toast-text')].some((t) => t.textContent === window.__wanted)"));
    EXPECT_EQ(text("document.querySelectorAll('.toast-error').length"), "0");
    // Find goes through the blank page too, and counts the one word there is.
    key("<Control>f");
    ASSERT_TRUE(shell.waitForScript("document.activeElement.id === 'find-text'"));
    type("Alpha");
    EXPECT_TRUE(shell.waitForScript("document.getElementById('find-count').textContent.includes('1')"
                                    " && !!CSS.highlights.get('find-current')?.size"))
        << text("document.getElementById('find-count').textContent");
}

// A page far wider than any other (here beyond what the smallest fit can narrow to the
// view) makes the column wider than the view; going to a narrow page brings it across.
TEST_F(Page, GoingToAPageBringsItIntoViewBesideAFarWiderOne)
{
    std::vector<std::string> objects = {"<</Type/Catalog/Pages 2 0 R>>",
                                        "<</Type/Pages/Kids[3 0 R 4 0 R 5 0 R]/Count 3>>"};
    for (const char* box : {"[0 0 595 842]", "[0 0 400000 842]", "[0 0 595 842]"})
        objects.push_back(std::string("<</Type/Page/Parent 2 0 R/MediaBox") + box + "/Contents 6 0 R/Resources<<>>>>");
    objects.push_back("<</Length 0>>stream\n\nendstream");
    const std::string path = files.path() + "/banner.pdf";
    std::ofstream(path, std::ios::binary) << pdfFile(objects);
    start();
    open(path, 3);
    const auto inSight = [&](int page) {
        return shell.waitForScript("(() => { const v = document.getElementById('viewer').getBoundingClientRect();"
                                   " const p = document.querySelector('.page[data-page-number=\"" + std::to_string(page) +
                                   "\"]')?.getBoundingClientRect();"
                                   " return !!p && p.right > v.left && p.left < v.right; })()");
    };
    ASSERT_TRUE(shell.waitForScript("document.getElementById('viewer').scrollWidth > 4 * document.getElementById('viewer').clientWidth"));
    EXPECT_TRUE(inSight(1)) << "the first page is shown where the view is";
    shell.evaluate("document.getElementById('viewer').scrollLeft = 0");
    key("End");
    EXPECT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '3'"));
    EXPECT_TRUE(inSight(3));
}

TEST_F(Page, RotatingPageTwoAndSavingWritesTheDocumentBackToItsPath)
{
    const std::string path = writeNumberedPdf(files.path() + "/report.pdf", 3);
    const std::string original = readFile(path);
    start();
    open(path, 3);

    click(".thumb[data-index=\"1\"]");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '2'"));
    click("#rotate-right");
    ASSERT_TRUE(waitUntil([&] { return hasDirtyTab(); }));
    EXPECT_EQ(readFile(path), original) << "nothing is written before saving";

    click("#save");
    ASSERT_TRUE(waitUntil([&] { return !hasDirtyTab(); }));
    EXPECT_TRUE(shell.panels->saveRequests.empty()) << "a document with a path is saved without a panel";
    EXPECT_TRUE(shell.waitForScript("[...document.querySelectorAll('.toast-ok')].some(t => t.textContent.includes("
                                    + NativeOCR::lit(path) + "))"));

    const PdfFacts saved = readPdf(path);
    ASSERT_EQ(saved.pages, 3);
    EXPECT_EQ(saved.landscape, (std::vector<bool>{false, true, false}));
    for (int i = 0; i < 3; ++i) EXPECT_NE(saved.text[i].find("Page " + std::to_string(i + 1)), std::string::npos);
    // The shell remembered the written file.
    EXPECT_EQ(shell.bridge->recents().at(0).at("path"), path);
}

TEST_F(Page, RecognisedWordsLieOverThePageAsSelectableText)
{
    NativeOCR::install(tess::makeRecognitionServices(1));
    const std::string path = writeScannedInvoice(files.path() + "/scan.pdf");
    ASSERT_TRUE(readPdf(path).text.at(0).find("Invoice") == std::string::npos) << "the words must be shapes only";

    start();
    open(path, 1);
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.page').dataset.drawn === 'true'"));
    EXPECT_EQ(text("document.querySelector('.page .textLayer')?.textContent.trim()"), "");

    click("#ocr");
    ASSERT_TRUE(shell.waitForScript("document.querySelectorAll('.page .ocrLayer span').length >= 5", 120));
    const std::string words = text("[...document.querySelectorAll('.ocrLayer span')].map(s => s.textContent.trim()).join(' ')");
    for (const char* word : {"Invoice", "4821", "total", "amount", "due"})
        EXPECT_NE(words.find(word), std::string::npos) << word << " not in: " << words;

    // The first word sits where it was drawn: 60 points in, in the page's top band.
    const auto place = text(
        "(() => { const page = document.querySelector('.page').getBoundingClientRect();"
        " const word = [...document.querySelectorAll('.ocrLayer span')].find(s => s.textContent.includes('Invoice'))"
        "   .getBoundingClientRect();"
        " return [(word.left - page.left) / page.width, (word.top - page.top) / page.height].map(v => v.toFixed(3)).join(' '); })()");
    double x = 0, y = 0;
    ASSERT_EQ(std::sscanf(place.c_str(), "%lf %lf", &x, &y), 2) << place;
    EXPECT_NEAR(x, 60 / pageWidth, 0.02);
    EXPECT_NEAR(y, 80 / pageHeight, 0.03);

    // The words can be selected and copied like any text of the page.
    EXPECT_NE(text("(() => { const s = getSelection(); s.selectAllChildren(document.querySelector('.ocrLayer'));"
                   " return s.toString(); })()")
                  .find("Invoice 4821"),
              std::string::npos);
}

TEST_F(Page, ExportsTheChosenPagesAsImagesInAZipArchive)
{
    const std::string path = writeNumberedPdf(files.path() + "/report.pdf", 3);
    start();
    open(path, 3);
    shell.panels->promptAnswer = "1, 3";

    click("#export");
    ASSERT_TRUE(waitUntil([&] { return !shell.panels->saveRequests.empty(); }, 60));
    ASSERT_EQ(shell.panels->dialogs.size(), 1u) << "the page range is asked first";
    EXPECT_EQ(shell.panels->promptDefaults.at(0), "1-3");
    EXPECT_EQ(shell.panels->saveRequests.at(0).name, "report-pages.zip");
    EXPECT_EQ(shell.panels->saveRequests.at(0).filter, FileFilter::Zip);

    const std::string archivePath = files.path() + "/pages.zip";
    shell.panels->answerSave(archivePath);
    const auto entries = readZip(readFile(archivePath));
    ASSERT_EQ(entries.size(), 2u);
    for (const char* name : {"report-1.png", "report-3.png"}) {
        ASSERT_TRUE(entries.count(name)) << name;
        const ZipEntry& entry = entries.at(name);
        EXPECT_TRUE(entry.crcMatches) << name;
        const PngSize size = decodePng(entry.data);
        // 150 dots per inch of an A4 page.
        EXPECT_EQ(size.width, 1240) << name;
        EXPECT_EQ(size.height, 1754) << name;
    }
}

TEST_F(Page, InsertsTheChosenPdfAfterTheCurrentPageAndUndoes)
{
    const std::string path = writeNumberedPdf(files.path() + "/report.pdf", 3);
    const std::string original = readFile(path);
    const std::string other = files.path() + "/appendix.pdf";
    {
        cairo_surface_t* surface = cairo_pdf_surface_create(other.c_str(), pageHeight, pageWidth);
        cairo_t* cr = cairo_create(surface);
        for (const char* label : {"Appendix A", "Appendix B"}) {
            cairo_move_to(cr, 60, 120);
            cairo_set_font_size(cr, 40);
            cairo_show_text(cr, label);
            cairo_show_page(cr);
        }
        cairo_destroy(cr);
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
    }
    start();
    open(path, 3);

    click("#insert");
    ASSERT_TRUE(waitUntil([&] { return !shell.panels->pendingOpens.empty(); }));
    EXPECT_EQ(shell.panels->openRequests.back().filter, FileFilter::Pdf);
    EXPECT_EQ(shell.bridge->nextFilter, "") << "the filter applies to one chooser";
    shell.panels->answerOpen(std::vector<std::string>{other});
    ASSERT_TRUE(showsPageCount(5));

    // The appendix follows page 1 and the view is on its first page.
    EXPECT_EQ(text("document.getElementById('page-number').value"), "2");
    click("#save");
    ASSERT_TRUE(waitUntil([&] { return !hasDirtyTab(); }));
    EXPECT_EQ(readFile(path).compare(0, original.size(), original), 0) << "the pages came in as an update";
    const PdfFacts saved = readPdf(path);
    ASSERT_EQ(saved.pages, 5);
    EXPECT_EQ(saved.landscape, (std::vector<bool>{false, true, true, false, false}));
    EXPECT_NE(saved.text[1].find("Appendix A"), std::string::npos);
    EXPECT_NE(saved.text[4].find("Page 3"), std::string::npos);

    click("#undo");
    ASSERT_TRUE(showsPageCount(3));
    EXPECT_TRUE(hasDirtyTab()) << "undoing past a save leaves changes to save";
}

TEST_F(Page, ClosingAsksOnlyWhenThereAreUnsavedChanges)
{
    const std::string path = writeNumberedPdf(files.path() + "/report.pdf", 3);
    start();
    open(path, 3);

    click("#rotate-left");
    ASSERT_TRUE(waitUntil([&] { return hasDirtyTab(); }));
    click("#undo");
    ASSERT_TRUE(waitUntil([&] { return !hasDirtyTab(); })) << "undo back to the saved state is clean";
    click("#delete");
    ASSERT_TRUE(showsPageCount(2));

    shell.panels->confirmAnswer = false;
    click(".tab-close");
    ASSERT_EQ(shell.panels->dialogs.size(), 1u);
    EXPECT_NE(shell.panels->dialogs[0].message.find("report.pdf"), std::string::npos);
    EXPECT_EQ(text("document.querySelectorAll('.tab').length"), "1") << "refusing keeps the document";

    shell.panels->confirmAnswer = true;
    click(".tab-close");
    EXPECT_EQ(shell.panels->dialogs.size(), 2u);
    EXPECT_TRUE(shell.waitForScript("document.querySelectorAll('.tab').length === 0 && !document.getElementById('start').hidden"));
    EXPECT_EQ(readPdf(path).pages, 3) << "discarded changes never reach the file";
}

TEST_F(Page, SaveAsStartsBesideTheDocumentAndACancelSaysNothing)
{
    const std::string path = writeNumberedPdf(files.path() + "/report.pdf", 2);
    start();
    open(path, 2);

    click("#save-as");
    ASSERT_TRUE(waitUntil([&] { return shell.panels->pendingSaves.size() == 1; }));
    EXPECT_EQ(shell.panels->saveRequests[0].name, "report.pdf");
    EXPECT_EQ(shell.panels->saveRequests[0].directory, files.path());
    shell.panels->answerSave(std::nullopt);
    spin(0.5);
    EXPECT_EQ(text("document.querySelectorAll('.toast-error, .toast-ok').length"), "0");

    click("#save-as");
    ASSERT_TRUE(waitUntil([&] { return shell.panels->pendingSaves.size() == 1; }));
    const std::string copy = files.path() + "/copy.pdf";
    shell.panels->answerSave(copy);
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.tab.active .tab-name').textContent === 'copy.pdf'"));
    EXPECT_EQ(readPdf(copy).pages, 2);

    // From now on Save writes the copy.
    click("#rotate-right");
    ASSERT_TRUE(waitUntil([&] { return hasDirtyTab(); }));
    click("#save");
    ASSERT_TRUE(waitUntil([&] { return !hasDirtyTab(); }));
    EXPECT_EQ(readPdf(copy).landscape, (std::vector<bool>{true, false}));
    EXPECT_EQ(readPdf(path).landscape, (std::vector<bool>{false, false}));
}

TEST_F(Page, PrintsAndSharesTheDocumentAsEdited)
{
    const std::string path = writeNumberedPdf(files.path() + "/report.pdf", 2);
    start();
    open(path, 2);
    click("#rotate-right");
    ASSERT_TRUE(waitUntil([&] { return hasDirtyTab(); }));

    click("#print");
    ASSERT_TRUE(waitUntil([&] { return shell.printing->printed.size() == 1; }));
    EXPECT_EQ(shell.printing->printed[0].attachedTo, &shell.view()) << "printed as a sheet of the window";

    const std::string temporary = files.path() + "/shared";
    std::filesystem::create_directories(temporary);
    shell.workspace->temporary = temporary;
    click("#share");
    ASSERT_TRUE(waitUntil([&] { return shell.workspace->shared.size() == 1; }));
    const std::string shared = shell.workspace->shared[0].path;
    EXPECT_EQ(std::filesystem::path(shared).filename(), "report.pdf");
    EXPECT_EQ(readPdf(shared).landscape, (std::vector<bool>{true, false})) << "the edit travels with the copy";
    EXPECT_TRUE(hasDirtyTab()) << "sharing a copy does not save the document";
}

TEST_F(Page, KeysDraggingAndFindWorkOnThePages)
{
    const std::string path = writeNumberedPdf(files.path() + "/report.pdf", 3);
    start();
    open(path, 3);

    press("End");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '3'"));
    press("ArrowUp", "altKey: true");  // moves page 3 up: 1, 3, 2
    ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '2' && "
                                    "!document.getElementById('undo').disabled"));

    // Dragging the first thumbnail onto the lower half of the last puts it last: 3, 2, 1.
    ASSERT_TRUE(shell.waitForScript("document.querySelectorAll('.thumb').length === 3"));
    shell.evaluate(
        "(() => { const data = new DataTransfer(); const thumbs = document.querySelectorAll('.thumb');"
        " const fire = (el, type, y) => el.dispatchEvent(new DragEvent(type,"
        "   {bubbles: true, cancelable: true, dataTransfer: data, clientY: y}));"
        " const box = thumbs[2].getBoundingClientRect();"
        " fire(thumbs[0], 'dragstart', 0); fire(thumbs[2], 'dragover', box.bottom - 2);"
        " fire(thumbs[2], 'drop', box.bottom - 2); fire(thumbs[0], 'dragend', 0); })()");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '3'"));

    press("s", "ctrlKey: true");
    ASSERT_TRUE(waitUntil([&] { return !hasDirtyTab(); }));
    const PdfFacts saved = readPdf(path);
    ASSERT_EQ(saved.pages, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(saved.text[i].find("Page " + std::to_string(3 - i)), std::string::npos) << saved.text[i];

    // Find goes to the page that has the words and marks them there.
    press("Home");
    press("f", "ctrlKey: true");
    ASSERT_EQ(text("document.getElementById('find-bar').hidden"), "false");
    shell.evaluate("document.getElementById('find-text').value = 'page 1';"
                   "document.getElementById('find-bar').requestSubmit()");
    EXPECT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '3' && "
                                    "[...CSS.highlights.get('find-current')].map(String).join() === 'Page 1'"));
}

TEST_F(Page, AnEditQueuedBehindAnotherStillActsOnItsOwnPage)
{
    const std::string path = writeNumberedPdf(files.path() + "/report.pdf", 3);
    start();
    open(path, 3);

    // Both keys land before the first edit has finished: the rotation was asked of page 1
    // and must follow it to its new place.
    shell.evaluate("for (const init of [{key: 'ArrowDown', altKey: true}, {key: 'r'}])"
                   "  document.getElementById('viewer').dispatchEvent("
                   "    new KeyboardEvent('keydown', {bubbles: true, cancelable: true, ...init}))");
    click("#save");  // queued behind both edits
    ASSERT_TRUE(shell.waitForScript("[...document.querySelectorAll('.toast-ok')].some(t => t.textContent.includes(" +
                                    NativeOCR::lit(path) + "))"));
    const PdfFacts saved = readPdf(path);
    ASSERT_EQ(saved.pages, 3);
    EXPECT_NE(saved.text[0].find("Page 2"), std::string::npos);
    EXPECT_NE(saved.text[1].find("Page 1"), std::string::npos);
    EXPECT_EQ(saved.landscape, (std::vector<bool>{false, true, false}));
}

TEST_F(Page, FilesChosenTogetherOpenAsTabsInTheirOrder)
{
    const std::string first = writeNumberedPdf(files.path() + "/first.pdf", 1);
    const std::string second = writeNumberedPdf(files.path() + "/second.pdf", 2);
    start();

    click("#start-open");
    ASSERT_TRUE(waitUntil([&] { return shell.panels->pendingOpens.size() == 1; }));
    EXPECT_EQ(shell.panels->openRequests.back().filter, FileFilter::Pdf);
    EXPECT_TRUE(shell.panels->openRequests.back().multiple);
    shell.panels->answerOpen(std::vector<std::string>{first, second});

    ASSERT_TRUE(shell.waitForScript("document.querySelectorAll('.tab').length === 2"));
    EXPECT_EQ(text("[...document.querySelectorAll('.tab-name')].map(t => t.textContent).join()"), "first.pdf,second.pdf");
    EXPECT_TRUE(showsPageCount(2)) << "the last one opened is shown";
    click(".tab:not(.active)");
    EXPECT_TRUE(showsPageCount(1));
}

TEST_F(Page, OffersRecentFilesAndShowsTheShellsMessages)
{
    const std::string path = writeNumberedPdf(files.path() + "/recent.pdf", 2);
    shell.bridge->remember(path);
    start();
    ASSERT_EQ(text("document.querySelector('#start-recent .recent-name').textContent"), "recent.pdf");

    click("#start-recent .recent-item");
    ASSERT_TRUE(showsPageCount(2));

    shell.bridge->openFile(files.path() + "/missing.pdf");
    EXPECT_TRUE(shell.waitForScript("document.querySelectorAll('.toast-warn').length === 1"));
}

}  // namespace
}  // namespace pw::testing

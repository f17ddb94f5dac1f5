// What the page writes when a document is saved, checked with the tools other people
// use on the files: qpdf's own check, its decompressed form, and Poppler.

#include <glib.h>

#include <regex>
#include <string>
#include <vector>

#include "platform/tesseract/tesseract_services.h"
#include "tests/integration/page_fixture.h"
#include "tests/integration/pdf_tools.h"

namespace pw::testing {
namespace {

class PageSaving : public PageFixture {
protected:
    // Types into the form's text field as the field sees typing: its value, then the
    // input event (real key presses are the keyboard tests' business).
    void fill(const std::string& value)
    {
        shell.evaluate("(() => { const field = document.querySelector('.textWidgetAnnotation input'); field.focus();"
                       " field.value = " + NativeOCR::lit(value) + "; field.dispatchEvent(new Event('input', {bubbles: true})); })()");
    }
};

TEST_F(PageSaving, EditsAreAppendedToTheFileOfEitherKindAndAnUnchangedOneIsNotWritten)
{
    const std::string plain = writePlainPdf(files.path() + "/plain.pdf", {"Alpha", "Bravo", "Charlie"});
    // The same document with its objects packed into compressed object streams.
    const std::string packed = files.path() + "/packed.pdf";
    ASSERT_EQ(run({"qpdf", "--object-streams=generate", plain, packed}).status, 0);
    start();
    for (const std::string& path : {plain, packed}) {
        SCOPED_TRACE(path);
        const std::string original = readFile(path);
        open(path, 3);
        click("#save");
        EXPECT_TRUE(toastSays("info", "No changes to save"));
        EXPECT_EQ(readFile(path), original);

        click(".thumb[data-index=\"1\"]");
        ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '2'"));
        click("#rotate-right");
        click("#move-up");  // Bravo, Alpha, Charlie
        ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '1'"));
        saveAndWait();
        const std::string saved = readFile(path);
        ASSERT_GT(saved.size(), original.size());
        EXPECT_EQ(saved.compare(0, original.size(), original), 0) << "the original bytes are kept as they were";
        EXPECT_TRUE(qpdfAccepts(path));
        PdfFacts facts = readPdf(path);
        ASSERT_EQ(facts.pages, 3);
        EXPECT_EQ(facts.landscape, (std::vector<bool>{true, false, false}));
        EXPECT_NE(facts.text[0].find("Bravo"), std::string::npos);
        EXPECT_NE(facts.text[1].find("Alpha"), std::string::npos);

        // A second save appends again: the first update stays a revision of its own.
        click("#rotate-right");
        saveAndWait();
        const std::string twice = readFile(path);
        EXPECT_EQ(twice.compare(0, saved.size(), saved), 0);
        EXPECT_TRUE(qpdfAccepts(path));
        facts = readPdf(path);
        EXPECT_EQ(facts.landscape, (std::vector<bool>{false, false, false})) << "turned twice from upright: upside down";
        click(".tab-close");
    }
}

TEST_F(PageSaving, ADeletedPageLeavesNothingOfItInTheSavedFileWrittenAsTheOriginalWas)
{
    const std::string plain = writePlainPdf(files.path() + "/report.pdf", {"Alpha", "Zanzibar", "Charlie"});
    const std::string packed = files.path() + "/packed.pdf";
    ASSERT_EQ(run({"qpdf", "--object-streams=generate", plain, packed}).status, 0);
    ASSERT_NE(decompressed(plain).find("Zanzibar"), std::string::npos);
    start();
    for (const std::string& path : {plain, packed}) {
        SCOPED_TRACE(path);
        open(path, 3);
        click(".thumb[data-index=\"1\"]");
        ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '2'"));
        click("#delete");
        ASSERT_TRUE(showsPageCount(2));
        saveAndWait();
        EXPECT_TRUE(showsPageCount(2)) << "shown from the file written";
        EXPECT_EQ(text("document.querySelectorAll('.toast-error').length"), "0");

        EXPECT_TRUE(qpdfAccepts(path));
        const std::string bytes = decompressed(path);
        EXPECT_EQ(bytes.find("Zanzibar"), std::string::npos) << "neither the page's text nor its outline item";
        EXPECT_NE(bytes.find("About Charlie"), std::string::npos) << "the other outline items stay";
        const PdfFacts facts = readPdf(path);
        ASSERT_EQ(facts.pages, 2);
        EXPECT_NE(facts.text[1].find("Charlie"), std::string::npos);
        // Objects packed in compressed streams stay so: written loose, they made the
        // files of many small objects twice as large.
        const bool compressed = run({"qpdf", "--show-xref", path}).out.find(": compressed") != std::string::npos;
        EXPECT_EQ(compressed, path == packed);
        click(".tab-close");
    }
}

TEST_F(PageSaving, AnEncryptedDocumentIsReadAndPrintedButNotChanged)
{
    const std::string plain = writePlainPdf(files.path() + "/plain.pdf", {"Alpha", "Bravo"});
    // Only an owner password: it opens without asking, as most such files do.
    const std::string path = files.path() + "/locked.pdf";
    ASSERT_EQ(run({"qpdf", "--encrypt", "", "owner-secret", "256", "--", plain, path}).status, 0);
    const std::string original = readFile(path);
    start();
    open(path, 2);
    EXPECT_TRUE(toastSays("warn", "“locked.pdf” is protected by its author: you can read and print it, but not change it here."));
    EXPECT_EQ(text("['rotate-left', 'rotate-right', 'move-down', 'insert', 'delete'].every(id => document.getElementById(id).disabled)"), "true");

    press("r");
    press("Delete");
    spin(0.5);
    EXPECT_EQ(text("document.getElementById('page-count').textContent"), "2");
    EXPECT_FALSE(hasDirtyTab());
    click("#save");
    EXPECT_TRUE(toastSays("info", "No changes to save"));
    EXPECT_EQ(text("document.querySelectorAll('.toast-ok').length"), "0") << "never Saved";
    EXPECT_EQ(readFile(path), original);

    click("#print");
    EXPECT_TRUE(waitUntil([&] { return shell.printing->printed.size() == 1; }));
    EXPECT_EQ(text("document.body.textContent.includes('ignoreEncryption')"), "false");
}

// Values typed into a protected file's form could be neither saved nor printed: its
// fields are shown as the file draws them, not as fields to fill in.
TEST_F(PageSaving, AProtectedFormShowsItsFieldsWithoutTakingValuesItCouldNotKeep)
{
    start();
    const std::string form = makePdf("form.pdf", R"(
        const doc = await lib.PDFDocument.create();
        const page = doc.addPage([595, 842]);
        const field = doc.getForm().createTextField('name');
        field.setText('Preset');
        field.addToPage(page, { x: 60, y: 700, width: 250, height: 30 });
        return doc.save();
    )");
    ASSERT_FALSE(form.empty());
    const std::string path = files.path() + "/locked-form.pdf";
    ASSERT_EQ(run({"qpdf", "--encrypt", "", "owner-secret", "256", "--", form, path}).status, 0);
    open(path, 1);
    EXPECT_TRUE(toastSays("warn", "is protected by its author"));
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.page').dataset.drawn === 'true'"));
    EXPECT_EQ(text("document.querySelectorAll('.annotationLayer input, .annotationLayer select, .annotationLayer textarea').length"), "0");

    // The same form unprotected is filled in as usual.
    open(form, 1);
    EXPECT_TRUE(shell.waitForScript("document.querySelector('.textWidgetAnnotation input')?.value === 'Preset'"));
}

TEST_F(PageSaving, ASaveThatWouldVoidACertificationAsksFirst)
{
    const std::string path = writePlainPdf(files.path() + "/certified.pdf", {"Alpha", "Bravo"}, "/Perms<</DocMDP<</Type/Sig>>>>");
    const std::string original = readFile(path);
    start();
    open(path, 2);
    click("#rotate-right");
    ASSERT_TRUE(waitUntil([&] { return hasDirtyTab(); }));

    shell.panels->confirmAnswer = false;
    click("#save");
    ASSERT_TRUE(waitUntil([&] { return shell.panels->dialogs.size() == 1; }));
    EXPECT_NE(shell.panels->dialogs[0].message.find("certified"), std::string::npos) << shell.panels->dialogs[0].message;
    spin(0.3);
    EXPECT_EQ(readFile(path), original) << "declined: nothing written";
    EXPECT_TRUE(hasDirtyTab());

    shell.panels->confirmAnswer = true;
    saveAndWait();
    EXPECT_EQ(readFile(path).compare(0, original.size(), original), 0);
    EXPECT_EQ(readPdf(path).landscape, (std::vector<bool>{true, false}));
}

TEST_F(PageSaving, RecognisedTextOfEveryPageIsSavedAsInvisibleTextWhereItWasRead)
{
    NativeOCR::install(tess::makeRecognitionServices(1));
    const std::string path = writeScannedInvoice(files.path() + "/scan.pdf", [](cairo_t* cr) {
        cairo_show_page(cr);
        // Scanned sideways: the words run up the page, upright once it is turned right.
        cairo_translate(cr, 120, 700);
        cairo_rotate(cr, -G_PI / 2);
        drawOutlinedText(cr, "Delivery note", 0, 0, 40);
    });
    const std::string original = readFile(path);
    ASSERT_EQ(run({"pdftotext", path, "-"}).out.find("Invoice"), std::string::npos) << "the words must be shapes only";

    start();
    open(path, 2);
    // From the second page, turned upright: it is read first, and the first page after it.
    click(".thumb[data-index=\"1\"]");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '2'"));
    click("#rotate-right");
    click("#ocr");
    ASSERT_TRUE(toastSays("info", "page 1 of 2"));
    ASSERT_TRUE(shell.waitForScript("[...document.querySelectorAll('.toast-ok')].some(t => t.textContent.includes('on 2 page(s)'))", 120));
    EXPECT_TRUE(hasDirtyTab()) << "recognised text is a change to save";
    saveAndWait();

    const std::string saved = readFile(path);
    EXPECT_EQ(saved.compare(0, original.size(), original), 0) << "appended as an update";
    EXPECT_TRUE(qpdfAccepts(path));
    const std::string words = run({"pdftotext", path, "-"}).out;
    EXPECT_NE(words.find("Invoice 4821"), std::string::npos) << words;
    EXPECT_NE(words.find("total amount due"), std::string::npos) << words;
    EXPECT_LT(words.find("Invoice"), words.find("Delivery")) << "in page order";
    EXPECT_NE(words.find("Delivery note"), std::string::npos) << words;
    EXPECT_EQ(readPdf(path).landscape, (std::vector<bool>{false, true}));

    // Where a reader finds the first word: 60 points in, in the page's top band.
    const std::string boxes = run({"pdftotext", "-bbox", "-f", "1", "-l", "1", path, "-"}).out;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(boxes, match, std::regex(R"re(xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>Invoice<)re"))) << boxes;
    EXPECT_NEAR(std::stod(match[1]), 60, 8);
    EXPECT_NEAR(std::stod(match[2]), 85, 25);

    // Saved once: the words are not written a second time.
    click("#save");
    EXPECT_TRUE(toastSays("info", "No changes to save"));
}

TEST_F(PageSaving, RecognitionStoppedPartWayKeepsThePagesAlreadyRead)
{
    NativeOCR::install(tess::makeRecognitionServices(1));
    const std::string path = writeScannedInvoice(files.path() + "/scan.pdf", [](cairo_t* cr) {
        for (const char* words : {"Second page", "Third page"}) {
            cairo_show_page(cr);
            drawOutlinedText(cr, words, 60, 80, 40);
        }
    });
    start();
    open(path, 3);
    click("#ocr");
    ASSERT_TRUE(toastSays("info", "page 1 of 3"));
    click("#ocr");  // the same button stops the run
    ASSERT_TRUE(shell.waitForScript("[...document.querySelectorAll('.toast')].some(t => t.textContent.startsWith('Recognition stopped'))", 60));
    EXPECT_EQ(text("document.getElementById('ocr').classList.contains('running')"), "false");
    EXPECT_EQ(text("document.querySelectorAll('.ocrLayer').length"), "1") << "the page in progress was finished, no other begun";
    EXPECT_TRUE(hasDirtyTab());
    saveAndWait();
    const std::string words = run({"pdftotext", path, "-"}).out;
    EXPECT_NE(words.find("Invoice"), std::string::npos) << words;
    EXPECT_EQ(words.find("Second"), std::string::npos) << words;
}

TEST_F(PageSaving, FormValuesAreAppendedWithTheFileSoOtherReadersShowThem)
{
    start();
    const std::string path = makePdf("form.pdf", R"(
        const doc = await lib.PDFDocument.create();
        const font = await doc.embedFont(lib.StandardFonts.Helvetica);
        const page = doc.addPage([595, 842]);
        const form = doc.getForm();
        form.createTextField('name').addToPage(page, { x: 60, y: 700, width: 250, height: 30, font });
        form.createCheckBox('agree').addToPage(page, { x: 60, y: 650, width: 20, height: 20 });
        doc.addPage([595, 842]);
        return doc.save();
    )");
    ASSERT_FALSE(path.empty());
    const std::string original = readFile(path);
    open(path, 2);
    ASSERT_TRUE(shell.waitForScript("!!document.querySelector('.textWidgetAnnotation input')"));
    fill("robert");
    // An "r" typed in a field is the field's, not a rotation.
    shell.evaluate("document.querySelector('.textWidgetAnnotation input').dispatchEvent("
                   "new KeyboardEvent('keydown', {bubbles: true, cancelable: true, key: 'r'}))");
    click(".buttonWidgetAnnotation.checkBox input");
    ASSERT_TRUE(waitUntil([&] { return hasDirtyTab(); }));
    saveAndWait();

    const std::string saved = readFile(path);
    EXPECT_EQ(saved.compare(0, original.size(), original), 0) << "appended as an update";
    EXPECT_TRUE(qpdfAccepts(path));
    // qpdf writes text strings with a "u:" in front.
    const std::string fields = run({"qpdf", "--json", "--json-key=acroform", path}).out;
    EXPECT_NE(fields.find("\"value\": \"u:robert\""), std::string::npos) << fields;
    EXPECT_NE(fields.find("\"value\": \"/Yes\""), std::string::npos) << fields;
    EXPECT_EQ(readPdf(path).landscape, (std::vector<bool>{false, false}));

    // Saved: nothing more to write until the next change, which is appended again.
    click("#save");
    EXPECT_TRUE(toastSays("info", "No changes to save"));
    fill("roberta");
    ASSERT_TRUE(waitUntil([&] { return hasDirtyTab(); }));
    saveAndWait();
    EXPECT_EQ(readFile(path).compare(0, saved.size(), saved), 0);
    EXPECT_NE(run({"qpdf", "--json", "--json-key=acroform", path}).out.find("\"value\": \"u:roberta\""), std::string::npos);
}

}  // namespace
}  // namespace pw::testing

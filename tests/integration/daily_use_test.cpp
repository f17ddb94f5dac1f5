// Moving about a document as a person does: its links and outline, the fields of its
// forms, find, undo and redo, all through real keys and clicks in the real shell.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ocr/native_ocr.h"
#include "tests/integration/page_fixture.h"
#include "tests/integration/pdf_tools.h"

namespace pw::testing {
namespace {

// Four pages; page 1 has a link to page 3, a link to the web, a text field and a check
// box; the outline has "Chapter One" (page 2) holding "Section" (page 4).
const char* linkedDocument = R"(
    const doc = await lib.PDFDocument.create();
    const font = await doc.embedFont(lib.StandardFonts.Helvetica);
    const pages = [1, 2, 3, 4].map((n) => {
        const page = doc.addPage([595, 842]);
        page.drawText('Page ' + n, { x: 60, y: 740, size: 40, font });
        return page;
    });
    const ctx = doc.context, N = lib.PDFName.of, S = lib.PDFString.of;
    const links = [
        [[55, 640, 300, 680], { S: 'GoTo', D: [pages[2].ref, N('XYZ'), 0, 842, null] }],
        [[55, 580, 300, 620], { S: 'URI', URI: S('https://example.org/help') }],
    ].map(([Rect, A]) => ctx.register(ctx.obj({ Type: 'Annot', Subtype: 'Link', Rect, Border: [0, 0, 0], A })));
    pages[0].node.set(N('Annots'), ctx.obj(links));
    const form = doc.getForm();
    form.createTextField('name').addToPage(pages[0], { x: 60, y: 480, width: 250, height: 30, font });
    form.createCheckBox('agree').addToPage(pages[0], { x: 60, y: 430, width: 20, height: 20 });
    const root = ctx.register(ctx.obj({ Type: 'Outlines' }));
    const entry = (title, parent, page) =>
        ctx.register(ctx.obj({ Title: S(title), Parent: parent, Dest: [page.ref, N('Fit')] }));
    const chapter = entry('Chapter One', root, pages[1]);
    const section = entry('Section', chapter, pages[3]);
    ctx.lookup(chapter).set(N('First'), section);
    ctx.lookup(chapter).set(N('Last'), section);
    ctx.lookup(chapter).set(N('Count'), lib.PDFNumber.of(-1));
    ctx.lookup(root).set(N('First'), chapter);
    ctx.lookup(root).set(N('Last'), chapter);
    ctx.lookup(root).set(N('Count'), lib.PDFNumber.of(1));
    doc.catalog.set(N('Outlines'), root);
    return doc.save();
)";

// `count` A4 pages, each saying "Page n".
std::string numberedPages(int count)
{
    return "const doc = await lib.PDFDocument.create();"
           " for (let n = 1; n <= " + std::to_string(count) + "; ++n)"
           "   doc.addPage([595, 842]).drawText('Page ' + n, { x: 60, y: 740, size: 40 });"
           " return doc.save();";
}

class DailyUse : public PageFixture {
protected:
    std::string writeCopy(const std::string& from, const std::string& name)
    {
        const std::string to = files.path() + "/" + name;
        std::filesystem::copy_file(from, to);
        return to;
    }
    std::string currentPage() { return text("document.getElementById('page-number').value"); }
    // Makes the document in the page, opens it and waits until it is shown.
    std::string openMade(const std::string& name, const std::string& build, int pages)
    {
        const std::string path = makePdf(name, build);
        EXPECT_FALSE(path.empty()) << name;
        if (!path.empty()) open(path, pages);
        return path;
    }
    // How many copies of the document at `path` the page's storage keeps (other test
    // runs share it: only this path counts).
    std::string keptCopies(const std::string& path)
    {
        shell.evaluate("(window.__copies = undefined, indexedDB.open('pagewick-recovery').onsuccess = (e) => {"
                       " const r = e.target.result.transaction('copies').objectStore('copies').getAll();"
                       " r.onsuccess = () => (window.__copies = r.result.filter((c) => c.path === " +
                       NativeOCR::lit(path) + ").length); })");
        shell.waitForScript("window.__copies !== undefined", 5);
        return text("window.__copies");
    }
    // Whether the first page is shown wider than tall (turned a quarter).
    bool firstPageTurned()
    {
        return text("(() => { const p = document.querySelector('.page');"
                    " return parseFloat(p.style.width) > parseFloat(p.style.height); })()") == "true";
    }
};

TEST_F(DailyUse, LinksLeadToTheirPageOrOutOfTheApplicationAndFieldsTakeTheirKeys)
{
    start();
    const std::string path = openMade("linked.pdf", linkedDocument, 4);
    ASSERT_TRUE(shell.waitForScript("document.querySelectorAll('.page[data-page-number=\"1\"] .linkAnnotation').length === 2"));

    ASSERT_TRUE(clickOn(".linkAnnotation[data-internal-link] a"));
    EXPECT_TRUE(waitUntil([&] { return currentPage() == "3"; }));

    key("Home");
    ASSERT_TRUE(waitUntil([&] { return currentPage() == "1"; }));
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.linkAnnotation a[href^=\"https:\"]')"));
    ASSERT_TRUE(clickOn(".linkAnnotation a[href^=\"https:\"]"));
    EXPECT_TRUE(waitUntil([&] { return !shell.workspace->openedURLs.empty(); }));
    EXPECT_EQ(shell.workspace->openedURLs, std::vector<std::string>{"https://example.org/help"});
    EXPECT_EQ(text("location.href"), "pagewick://app/index.html") << "the page stays";

    // Typed into a field, the page's own keys are letters like any other.
    ASSERT_TRUE(clickOn(".textWidgetAnnotation input"));
    type("r");
    key("BackSpace");
    type("rr");
    key("Delete");
    key("Home");
    // The keys reach the web process in order, but it may still be drawing the pages
    // when the last of them arrives.
    const std::string typed = "document.querySelector('.textWidgetAnnotation input').value";
    EXPECT_TRUE(waitUntil([&] { return text(typed) == "rr"; })) << text(typed);
    EXPECT_EQ(currentPage(), "1");
    EXPECT_EQ(text("document.getElementById('page-count').textContent"), "4");
    EXPECT_EQ(text("document.getElementById('undo').disabled"), "true") << "no page was rotated or deleted";
    ASSERT_TRUE(clickOn(".buttonWidgetAnnotation.checkBox input"));
    EXPECT_EQ(text("document.querySelector('.buttonWidgetAnnotation.checkBox input').checked"), "true");

    // The values live with the document, not in the fields: a page drawn again after
    // scrolling far away shows them still.
    ASSERT_TRUE(clickOn(".page[data-page-number=\"1\"] .textLayer"));
    key("End");
    ASSERT_TRUE(shell.waitForScript("!document.querySelector('.page[data-page-number=\"1\"] .annotationLayer')"));
    key("Home");
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.page[data-page-number=\"1\"]').dataset.drawn === 'true'"));
    EXPECT_TRUE(waitUntil([&] { return text(typed) == "rr"; })) << text(typed);
    EXPECT_EQ(text("document.querySelector('.buttonWidgetAnnotation.checkBox input').checked"), "true");

    // ... and an edit of the document, which rewrites it, keeps them too.
    ASSERT_TRUE(clickOn(".page[data-page-number=\"1\"] .textLayer"));
    key("r");
    ASSERT_TRUE(waitUntil([&] { return firstPageTurned(); }));
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.page[data-page-number=\"1\"]').dataset.drawn === 'true'"));
    EXPECT_TRUE(waitUntil([&] { return text(typed) == "rr"; })) << text(typed);
    EXPECT_EQ(text("document.querySelector('.buttonWidgetAnnotation.checkBox input').checked"), "true");
}

TEST_F(DailyUse, PasswordsAreTypedUnseenAndUnreadableFilesSayWhyInASentence)
{
    start();
    const std::string plain = makePdf("plain.pdf", R"(
        const doc = await lib.PDFDocument.create();
        doc.addPage([300, 300]).drawText('secret', { x: 20, y: 150, size: 30 });
        return doc.save();)");
    ASSERT_FALSE(plain.empty());
    // AES-256 with a password outside ASCII, which is prepared (SASLprep) before use.
    const std::string locked = files.path() + "/locked.pdf";
    const std::string command = "qpdf --encrypt 'clé été' 'owner' 256 -- '" + plain + "' '" + locked + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    shell.bridge->openFile(locked);
    ASSERT_TRUE(shell.waitForScript("document.getElementById('password-dialog').open"));
    EXPECT_EQ(text("document.getElementById('password-input').type"), "password");
    EXPECT_NE(text("document.getElementById('password-message').textContent").find("locked.pdf"), std::string::npos);
    // Behind the dialog, the start screen says which document is being opened.
    EXPECT_NE(text("document.getElementById('start').classList.contains('opening') &&"
                   " document.getElementById('start-opening').textContent").find("locked.pdf"), std::string::npos);
    type("wrong");
    key("Return");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('password-dialog').open && "
                                    "document.getElementById('password-input').value === ''"));
    // Typed through an input method, as letters outside the keyboard's own are.
    shell.evaluate("document.getElementById('password-input').value = 'cle\u0301 e\u0301te\u0301'");
    key("Return");
    ASSERT_TRUE(showsPageCount(1)) << "the decomposed form of the password opens it too";
    EXPECT_EQ(text("document.getElementById('password-dialog').open"), "false");

    // A file that cannot be read gets one sentence of the page's, and nothing else.
    const auto sentence = [&](const std::string& key, const std::string& name) {
        return "(await import('./src/i18n.mjs')).t('" + key + "', {name: '" + name + "'})";
    };
    const std::string damaged = files.path() + "/damaged.pdf";
    std::ofstream(damaged) << "%PDF-1.7\n1 0 obj << /Type /Catalog /Pages 9 0 R >>\ntrailer << /Root 1 0 R >>\n";
    const std::string picture = files.path() + "/picture.pdf";
    std::ofstream(picture) << "\x89PNG\r\n\x1a\n not a document at all";
    // Whole and well formed, but its page tree holds no page.
    const std::string pageless = files.path() + "/pageless.pdf";
    std::ofstream(pageless) << pdfFile({"<</Type/Catalog/Pages 2 0 R>>", "<</Type/Pages/Kids[]/Count 0>>"});
    for (const auto& [path, key] : {std::pair{damaged, "fileDamaged"}, {picture, "fileNotPdf"}, {pageless, "fileDamaged"}}) {
        const std::string name = path.substr(path.rfind('/') + 1);
        shell.evaluate("(async () => { window.__wanted = " + sentence(key, name) + "; })()");
        ASSERT_TRUE(shell.waitForScript("typeof window.__wanted === 'string'"));
        shell.bridge->openFile(path);
        EXPECT_TRUE(shell.waitForScript("[...document.querySelectorAll('.toast-error .toast-text')]"
                                        ".some((t) => t.textContent === window.__wanted)")) << key;
        shell.evaluate("window.__wanted = undefined");
    }
    EXPECT_EQ(text("document.querySelectorAll('.tab').length"), "1");

    // A dynamic XFA form opens on its waiting page, and a sentence says why that is all.
    const std::string form = makePdf("form.pdf", R"(
        const doc = await lib.PDFDocument.create();
        doc.addPage([300, 300]).drawText('Please wait', { x: 20, y: 150, size: 30 });
        const packet = doc.context.register(doc.context.stream('<xdp:xdp xmlns:xdp="http://ns.adobe.com/xdp/"/>'));
        doc.catalog.set(lib.PDFName.of('AcroForm'),
            doc.context.obj({ Fields: [], XFA: [lib.PDFString.of('xdp:xdp'), packet] }));
        return doc.save();)");
    ASSERT_FALSE(form.empty());
    shell.evaluate("(async () => { window.__wanted = " + sentence("fileXfa", "form.pdf") + "; })()");
    ASSERT_TRUE(shell.waitForScript("typeof window.__wanted === 'string'"));
    shell.bridge->openFile(form);
    EXPECT_TRUE(shell.waitForScript("[...document.querySelectorAll('.toast-error .toast-text')]"
                                    ".some((t) => t.textContent === window.__wanted)"));
    EXPECT_TRUE(shell.waitForScript("document.querySelector('.tab.active .tab-name').textContent === 'form.pdf' &&"
                                    " document.querySelector('.page[data-page-number=\"1\"]').dataset.drawn === 'true'"));
}

TEST_F(DailyUse, FindVisitsEveryMatchOfALongDocumentInOrderAndTheFieldKeepsTakingKeys)
{
    start();
    // 40 pages; "charlie" stands on lines 12 and 24 of every page but the tenth, twice
    // on line 12 of page 33: 79 matches in all.
    const std::string path = openMade("long.pdf", R"(
        const doc = await lib.PDFDocument.create();
        const font = await doc.embedFont(lib.StandardFonts.Helvetica);
        for (let n = 1; n <= 40; ++n) {
            const page = doc.addPage([595, 842]);
            for (let line = 1; line <= 30; ++line) {
                const marked = n !== 10 && line % 12 === 0;
                const text = `page ${n} line ${line} ` + (marked ? (n === 33 && line === 12 ? 'charlie and Charlie' : 'charlie') : 'alpha');
                page.drawText(text, { x: 60, y: 800 - line * 24, size: 12, font });
            }
        }
        return doc.save();)", 40);
    const auto counter = [&] { return text("document.getElementById('find-count').textContent"); };
    const auto current = [&] {
        return text("(() => { const [range] = CSS.highlights.get('find-current'); if (!range) return '';"
                    " const page = range.startContainer.parentElement.closest('.page').dataset.pageNumber;"
                    " return page + ':' + range.startOffset + ':' + range.startContainer.textContent; })()");
    };

    key("<Control>f");
    ASSERT_TRUE(shell.waitForScript("document.activeElement.id === 'find-text'"));
    type("charlie");
    // The count is the document's; "n of m" in the page's language.
    ASSERT_TRUE(waitUntil([&] { return counter().find("79") != std::string::npos && !current().empty(); })) << counter();
    EXPECT_EQ(current(), "1:15:page 1 line 12 charlie");
    EXPECT_TRUE(shell.waitForScript("CSS.highlights.get('find-match').size >= 3")) << "the other matches in view are marked";

    // Every match, in order, with Enter; the tenth page has none.
    std::vector<std::string> visited{current()};
    for (int step = 1; step < 79; ++step) {
        key(step % 2 ? "Return" : "F3");
        const std::string before = visited.back();
        ASSERT_TRUE(waitUntil([&] { return current() != before && !current().empty(); })) << "step " << step;
        visited.push_back(current());
    }
    std::vector<std::string> expected;
    for (int n = 1; n <= 40; ++n)
        for (int line = 12; n != 10 && line <= 24; line += 12) {
            const std::string text = "page " + std::to_string(n) + " line " + std::to_string(line) + " ";
            const std::string at = std::to_string(n) + ":" + std::to_string(text.size()) + ":";
            if (n == 33 && line == 12) {
                expected.push_back(at + text + "charlie and Charlie");
                expected.push_back(std::to_string(n) + ":" + std::to_string(text.size() + 12) + ":" + text + "charlie and Charlie");
            } else {
                expected.push_back(at + text + "charlie");
            }
        }
    EXPECT_EQ(visited, expected);
    EXPECT_NE(counter().find("79"), std::string::npos);
    EXPECT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '40'"));

    // Past the last it wraps to the first; Shift+Enter goes back to the last.
    key("Return");
    ASSERT_TRUE(waitUntil([&] { return current() == expected.front(); }));
    key("<Shift>Return");
    ASSERT_TRUE(waitUntil([&] { return current() == expected.back(); }));
    key("<Shift>F3");
    ASSERT_TRUE(waitUntil([&] { return current() == expected[77]; }));

    // The field still takes what is typed: a word found nowhere says so.
    EXPECT_EQ(text("document.activeElement.id"), "find-text");
    type("x");
    ASSERT_TRUE(waitUntil([&] { return current().empty(); }));
    EXPECT_EQ(text("document.getElementById('find-text').value"), "charliex");
    EXPECT_EQ(text("CSS.highlights.get('find-match').size"), "0");
    EXPECT_EQ(text("document.getElementById('find-count').classList.contains('none')"), "true") << counter();
}

TEST_F(DailyUse, UndoAndRedoFromTheKeysAndTheMenuActOnTheDocumentUnlessAFieldHasTheFocus)
{
    start();
    const std::string path = openMade("three.pdf", numberedPages(3), 3);
    const auto turned = [&] { return firstPageTurned(); };
    const auto menu = [&](const char* action) {
        GtkWidget* window = gtk_widget_get_toplevel(shell.view().widget());
        g_action_group_activate_action(G_ACTION_GROUP(window), action, nullptr);
    };
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.page').dataset.drawn === 'true'"));
    ASSERT_TRUE(clickOn(".page[data-page-number=\"1\"] .textLayer"));

    key("r");
    ASSERT_TRUE(waitUntil(turned));
    key("<Control>z");
    ASSERT_TRUE(waitUntil([&] { return !turned(); }));
    EXPECT_TRUE(shell.waitForScript("!document.querySelector('.tab.dirty')")) << "back to the state on disk";
    key("<Control><Shift>z");
    ASSERT_TRUE(waitUntil(turned));

    // Edit ▸ Undo and Edit ▸ Redo, as a click in the menu runs them.
    menu("undo");
    ASSERT_TRUE(waitUntil([&] { return !turned(); }));
    menu("redo");
    ASSERT_TRUE(waitUntil(turned));
    EXPECT_EQ(text("document.getElementById('redo').disabled"), "true");

    // In a field the keys undo the typing and leave the document alone.
    key("<Control>f");
    ASSERT_TRUE(shell.waitForScript("document.activeElement.id === 'find-text'"));
    type("ab");
    key("<Control>z");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('find-text').value !== 'ab'"));
    spin(0.3);
    EXPECT_TRUE(turned());
    type("cd");

    // Once the field is gone, undo is the document's again, typing or not before it.
    key("Escape");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('find-bar').hidden"));
    key("<Control>z");
    ASSERT_TRUE(waitUntil([&] { return !turned(); }));
    EXPECT_EQ(text("document.getElementById('undo').disabled"), "true");
    // The toolbar's buttons go the same way.
    ASSERT_TRUE(clickOn("#redo"));
    ASSERT_TRUE(waitUntil(turned));
    ASSERT_TRUE(clickOn("#undo"));
    ASSERT_TRUE(waitUntil([&] { return !turned(); }));
}

TEST_F(DailyUse, ASmallWindowReachesEveryCommandAndItsNoticesGoAway)
{
    start(600, 500);
    const std::string path = openMade("three.pdf", numberedPages(3), 3);
    ASSERT_TRUE(shell.waitForScript("innerWidth <= 600"));

    // Each command is either whole inside the toolbar or in its "more" menu.
    const char* reach = R"((() => {
        const bar = document.querySelector('.toolbar').getBoundingClientRect();
        const ids = ['open', 'recent', 'save', 'save-as', 'export', 'share', 'print', 'previous', 'page-number', 'next',
                     'zoom-out', 'zoom', 'zoom-in', 'rotate-left', 'rotate-right', 'move-up', 'move-down', 'insert',
                     'delete', 'undo', 'redo', 'find-toggle', 'ocr'];
        return ids.filter((id) => {
            const el = document.getElementById(id);
            if (el.closest('#more-menu')) return false;
            const r = el.getBoundingClientRect();
            return !(r.width > 0 && r.left >= bar.left && r.right <= bar.right);
        }).join(' ');
    })())";
    EXPECT_EQ(text(reach), "");
    EXPECT_EQ(text("document.getElementById('more').hidden"), "false");
    // Each names its key in its tooltip.
    EXPECT_EQ(text("[...document.querySelectorAll('.toolbar button[id], #more-menu button[id], #page-number, #zoom')]"
                   ".filter((el) => el.id !== 'more' && !/\\(.+\\)/.test(el.title)).map((el) => el.id).join(' ')"), "");
    EXPECT_EQ(text("document.querySelector('.toolbar').scrollWidth <= document.querySelector('.toolbar').clientWidth"), "true");

    // A command from the menu, with the pointer.
    ASSERT_TRUE(clickOn("#more"));
    ASSERT_TRUE(shell.waitForScript("!document.getElementById('more-menu').hidden"));
    ASSERT_TRUE(clickOn("#more-menu #rotate-right"));
    EXPECT_TRUE(shell.waitForScript("document.querySelector('.tab.dirty')"));
    EXPECT_EQ(text("document.getElementById('more-menu').hidden"), "true") << "the menu closes once used";
    // The notice of the edit goes away on its own.
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.toast-ok')"));
    EXPECT_TRUE(shell.waitForScript("!document.querySelector('.toast-ok')"));

    // Errors stay, one at a time, until dismissed.
    for (const char* name : {"first.pdf", "second.pdf"}) {
        const std::string bad = files.path() + "/" + name;
        std::ofstream(bad) << "not a document";
        shell.bridge->openFile(bad);
        ASSERT_TRUE(shell.waitForScript("document.querySelector('.toast-error')?.textContent.includes('" + std::string(name) + "')"));
    }
    EXPECT_EQ(text("document.querySelectorAll('.toast-error').length"), "1");
    // The notices of the openings leave first; until they are gone the error moves.
    ASSERT_TRUE(shell.waitForScript("!document.querySelector('.toast.leaving')"));
    ASSERT_TRUE(clickOn(".toast-error .toast-close"));
    EXPECT_TRUE(shell.waitForScript("!document.querySelector('.toast-error')"));

    // Many tabs: the active one is always in sight.
    for (int i = 0; i < 7; ++i) shell.bridge->openFile(writeCopy(path, "copy " + std::to_string(i) + ".pdf"));
    ASSERT_TRUE(shell.waitForScript("document.querySelectorAll('.tab').length === 8"));
    const char* activeInSight = "(() => { const s = document.getElementById('tabs').getBoundingClientRect();"
                                " const t = document.querySelector('.tab.active').getBoundingClientRect();"
                                " return t.left >= s.left - 1 && t.right <= s.right + 1; })()";
    EXPECT_TRUE(shell.waitForScript(std::string("document.querySelector('.tab.active .tab-name').textContent === 'copy 6.pdf' && ") + activeInSight));
    ASSERT_TRUE(clickOn(".page[data-page-number=\"1\"]"));
    key("<Control>Tab");
    EXPECT_TRUE(shell.waitForScript(std::string("document.querySelector('.tab.active .tab-name').textContent === 'three.pdf' && ") + activeInSight));
    key("<Control><Shift>Tab");
    EXPECT_TRUE(shell.waitForScript(std::string("document.querySelector('.tab.active .tab-name').textContent === 'copy 6.pdf' && ") + activeInSight));
}

TEST_F(DailyUse, ThePageBoxTakesOnlyNumbersAndTheZoomListOnlyRealLevels)
{
    start();
    const std::string path = openMade("five.pdf", R"(
        const doc = await lib.PDFDocument.create();
        for (let n = 1; n <= 5; ++n) doc.addPage([595, 842]);
        // A banner 200 inches wide: fitting shows all of it.
        doc.addPage([14400, 600]);
        return doc.save();)", 6);
    ASSERT_TRUE(clickOn("#page-number"));
    type("3");
    key("Return");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '3'"));
    ASSERT_TRUE(clickOn("#page-number"));
    type("abc");
    EXPECT_EQ(text("document.getElementById('page-number').value"), "");
    key("Return");
    EXPECT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '3'")) << "the page stays";
    ASSERT_TRUE(clickOn(".page[data-page-number=\"3\"]"));
    key("<Control>g");
    ASSERT_TRUE(shell.waitForScript("document.activeElement.id === 'page-number'"));
    type("99");
    key("Return");
    EXPECT_TRUE(shell.waitForScript("document.getElementById('page-number').value === '3'"));

    // The thumbnail strip is one stop for Tab; the arrows go from page to page in it.
    ASSERT_TRUE(clickOn(".thumb[data-index=\"1\"]"));
    ASSERT_TRUE(shell.waitForScript("document.activeElement.dataset.index === '1'"));
    key("Down");
    EXPECT_TRUE(shell.waitForScript("document.activeElement.dataset.index === '2' && "
                                    "document.getElementById('page-number').value === '3'"));
    key("Tab");
    EXPECT_TRUE(shell.waitForScript("!document.activeElement.closest('#thumbnails')")) << text("document.activeElement.outerHTML");

    const char* entries = "[...document.getElementById('zoom').options].map((o) => o.textContent.trim() || '<blank>').join('|')";
    const std::string presets = text(entries);
    EXPECT_EQ(presets.find("<blank>"), std::string::npos) << presets;
    ASSERT_TRUE(clickOn(".page[data-page-number=\"3\"]"));
    key("plus");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('zoom').value !== 'auto'"));
    const std::string zoomed = text(entries);
    EXPECT_EQ(text("document.getElementById('zoom').selectedOptions[0].textContent.trim().endsWith('%')"), "true") << zoomed;
    // Back to a fit mode: no entry is left of the level that was.
    shell.evaluate("const z = document.getElementById('zoom'); z.value = 'width'; z.dispatchEvent(new Event('change'))");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('zoom').value === 'width'"));
    EXPECT_EQ(text(entries), presets);
    // The banner fits the width, its right edge inside the view.
    EXPECT_TRUE(shell.waitForScript("(() => { const v = document.getElementById('viewer').getBoundingClientRect();"
                                    " const p = document.querySelector('.page[data-page-number=\"6\"]').getBoundingClientRect();"
                                    " return p.left >= v.left && p.right <= v.right; })()"));
}

TEST_F(DailyUse, TheOutlineLeadsToItsPagesAndADocumentReopensWhereItWasLeft)
{
    start();
    const std::string path = openMade("linked.pdf", linkedDocument, 4);
    ASSERT_TRUE(shell.waitForScript("!document.getElementById('show-outline').hidden"));
    ASSERT_TRUE(clickOn("#show-outline"));
    ASSERT_TRUE(shell.waitForScript("!document.getElementById('outline').hidden && document.getElementById('thumbnails').hidden"));
    const auto page = [&] { return text("document.getElementById('page-number').value"); };

    ASSERT_TRUE(clickOn(".outline-title"));  // Chapter One
    EXPECT_TRUE(waitUntil([&] { return page() == "2"; }));
    // "Section" sits folded under it until unfolded.
    EXPECT_EQ(text("document.querySelectorAll('.outline-title')[1].getClientRects().length"), "0");
    ASSERT_TRUE(clickOn(".outline-toggle"));
    ASSERT_TRUE(shell.waitForScript("document.querySelectorAll('.outline-title')[1].getClientRects().length > 0"));
    EXPECT_EQ(text("document.querySelectorAll('.outline-title')[1].textContent"), "Section");
    ASSERT_TRUE(clickOn("li li .outline-title"));
    EXPECT_TRUE(waitUntil([&] { return page() == "4"; }));

    // Zoomed in on page 4, closed, and opened again: page 4 at the same zoom.
    ASSERT_TRUE(clickOn(".page[data-page-number=\"4\"]"));
    key("plus");
    ASSERT_TRUE(shell.waitForScript("document.getElementById('zoom').value !== 'auto'"));
    const std::string zoom = text("document.getElementById('zoom').selectedOptions[0].textContent");
    ASSERT_TRUE(shell.waitForScript("JSON.parse(localStorage.getItem('pagewick.places'))[" + NativeOCR::lit(path) + "]?.page === 4"));
    ASSERT_TRUE(clickOn(".tab-close"));
    ASSERT_TRUE(shell.waitForScript("document.querySelectorAll('.tab').length === 0"));
    open(path, 4);
    EXPECT_TRUE(waitUntil([&] { return page() == "4"; }));
    EXPECT_EQ(text("document.getElementById('zoom').selectedOptions[0].textContent"), zoom);
}

TEST_F(DailyUse, TheDesktopsDarkPreferenceDarkensTheChromeButNotTheDocument)
{
    GtkSettings* settings = gtk_settings_get_default();
    g_object_set(settings, "gtk-application-prefer-dark-theme", TRUE, nullptr);
    start();
    const std::string path = openMade("one.pdf", numberedPages(1), 1);
    // The brightest of the red, green and blue of an element's background.
    const auto brightness = [&](const std::string& selector) {
        return std::stoi(text("Math.max(...getComputedStyle(document.querySelector(" + NativeOCR::lit(selector) +
                              ")).backgroundColor.match(/\\d+/g).slice(0, 3).map(Number))"));
    };
    EXPECT_LT(brightness(".toolbar"), 80);
    EXPECT_LT(brightness("#viewer"), 80);
    EXPECT_EQ(brightness(".page"), 255) << "the document stays on white";
    g_object_set(settings, "gtk-application-prefer-dark-theme", FALSE, nullptr);
    EXPECT_TRUE(waitUntil([&] { return brightness(".toolbar") > 200; })) << "and follows the desktop back";
}

TEST_F(DailyUse, AReloadOffersUnsavedDocumentsBackUntilTheyAreSaved)
{
    start();
    const std::string path = openMade("draft.pdf", numberedPages(2), 2);
    const auto kept = [&] { return keptCopies(path); };
    ASSERT_TRUE(clickOn(".page[data-page-number=\"1\"]"));
    key("r");
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.tab.dirty')"));
    ASSERT_TRUE(waitUntil([&] { return kept() == "1"; }));

    // The page's process dies and the shell loads the page again.
    const int loads = shell.loadsFinished();
    webkit_web_view_terminate_web_process(shell.webKitView());
    ASSERT_TRUE(waitUntil([&] { return shell.loadsFinished() > loads; }));
    ASSERT_TRUE(shell.waitForScript("document.querySelector('.toast-question .toast-action')"));
    EXPECT_NE(text("document.querySelector('.toast-question').textContent").find("draft.pdf"), std::string::npos);
    ASSERT_TRUE(clickOn(".toast-question .toast-action"));  // Restore
    const std::string tab = "[...document.querySelectorAll('.tab')].find((t) => t.title === " + NativeOCR::lit(path) + ")";
    ASSERT_TRUE(shell.waitForScript(tab));
    ASSERT_TRUE(clickOn(".tab[title=\"" + path + "\"] .tab-name"));
    ASSERT_TRUE(showsPageCount(2));
    EXPECT_TRUE(shell.waitForScript(tab + ".classList.contains('dirty')")) << "the changes are still to be saved";
    EXPECT_TRUE(waitUntil([&] { return firstPageTurned(); }));

    ASSERT_TRUE(clickOn(".page[data-page-number=\"1\"]"));
    key("<Control>s");
    ASSERT_TRUE(shell.waitForScript("!" + tab + ".classList.contains('dirty')"));
    EXPECT_TRUE(waitUntil([&] { return kept() == "0"; })) << "a saved document leaves no copy behind";
}

// A save that could not write the file keeps the change where a reload finds it, even
// when it was asked for right after the change.
TEST_F(DailyUse, ASaveThatFailsKeepsTheUnsavedChangesForRecovery)
{
    start();
    const std::string path = openMade("blocked.pdf", numberedPages(2), 2);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);  // the file cannot be written any more
    ASSERT_TRUE(clickOn(".page[data-page-number=\"1\"]"));
    key("r");
    key("<Control>s");
    ASSERT_TRUE(shell.waitForScript("[...document.querySelectorAll('.toast')].some((t) => t.textContent.includes('Could not save') || t.textContent.includes('Enregistrement impossible'))"));
    EXPECT_TRUE(shell.waitForScript("document.querySelector('.tab.dirty')"));
    EXPECT_TRUE(waitUntil([&] { return keptCopies(path) == "1"; }));
}

}  // namespace
}  // namespace pw::testing

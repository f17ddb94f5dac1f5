// The default page's Content-Security-Policy, in the real shell: the page opens, draws,
// edits and saves a document with text in an embedded font without a single violation,
// while inline script, eval, frames and plugins are refused.

#include <gtest/gtest.h>

#include <cairo-pdf.h>
#include <cairo.h>

#include <filesystem>
#include <string>

#include "tests/integration/harness.h"

namespace pw::testing {
namespace {

// Two pages of real text: Cairo embeds the font, which pdf.js loads into the page.
std::string writeTextPdf(const std::string& path)
{
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), 595, 842);
    cairo_t* cr = cairo_create(surface);
    for (int page = 1; page <= 2; ++page) {
        cairo_select_font_face(cr, "DejaVu Serif", CAIRO_FONT_SLANT_ITALIC, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 40);
        cairo_move_to(cr, 60, 140);
        cairo_show_text(cr, ("Policy page " + std::to_string(page)).c_str());
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return path;
}

TEST(PagePolicy, ThePageWorksUnderItsPolicyAndRefusesWhatItForbids)
{
    ShellHarness shell(builtWebFolder());
    TempDir files;
    shell.launchAndWait();
    ASSERT_TRUE(shell.waitForScript(defaultPageTookOver));
    ASSERT_EQ(shell.evaluate("window.violations = [];"
                             "document.addEventListener('securitypolicyviolation', (e) =>"
                             "  violations.push(e.effectiveDirective + ' ' + e.blockedURI));"
                             "String(!!document.querySelector('meta[http-equiv=Content-Security-Policy]'))"),
              "true");

    const std::string path = writeTextPdf(files.path() + "/policy.pdf");
    const auto before = std::filesystem::file_size(path);
    shell.bridge->openFile(path);
    ASSERT_TRUE(shell.waitForScript("document.getElementById('page-count').textContent === '2' && "
                                    "document.querySelectorAll('.thumb').length === 2"));
    // Drawn, with its text laid out from the embedded font.
    EXPECT_TRUE(shell.waitForScript("document.querySelector('.textLayer span') && "
                                    "document.querySelector('.textLayer').textContent.includes('Policy page 1')"));
    EXPECT_TRUE(shell.waitForScript("[...document.fonts].some((f) => f.status === 'loaded')"));
    shell.evaluate("document.getElementById('rotate-right').click()");
    spin(0.5);
    shell.evaluate("document.getElementById('save').click()");
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::file_size(path) != before; }));
    EXPECT_EQ(shell.evaluate("JSON.stringify(violations)"), "[]");

    // What the policy is for.
    EXPECT_EQ(shell.evaluate("(() => { const s = document.createElement('script'); s.textContent = 'window.ran = 1';"
                             "document.head.append(s); return String(window.ran); })()"),
              "undefined");
    EXPECT_EQ(shell.evaluate("(() => { try { eval('1'); return 'eval ran'; } catch (e) { return 'refused'; } })()"),
              "refused");
    shell.evaluate("document.body.insertAdjacentHTML('beforeend', \"<iframe src='index.html'></iframe>"
                   "<object data='x.pdf'></object><img src='data:image/gif;base64,R0lGODlhAQABAAAAACw='>\")");
    EXPECT_TRUE(shell.waitForScript("['frame-src', 'object-src', 'img-src'].every((d) => "
                                    "violations.some((v) => v.startsWith(d)))", 5))
        << *shell.evaluate("JSON.stringify(violations)");
}

}  // namespace
}  // namespace pw::testing

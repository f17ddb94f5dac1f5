#pragma once

// The default page in the real shell, driven as a person would: real key presses and
// pointer clicks go through the X server (XTest) to the window, so the menu bar's
// accelerators and WebKit's own key handling see them exactly as they see a user's;
// or, where the way in does not matter, through the page's own controls. Generated
// documents are opened the way the desktop hands them over, and what the page wrote is
// read back with Poppler.

#include <gtest/gtest.h>

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>
#include <poppler.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ocr/native_ocr.h"
#include "tests/integration/harness.h"

namespace pw::testing {

inline constexpr double pageWidth = 595;   // A4 portrait, in points
inline constexpr double pageHeight = 842;

// Draws text as outlines: the PDF then holds no text of its own, only shapes.
inline void drawOutlinedText(cairo_t* cr, const std::string& text, double x, double y, int points)
{
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans");
    pango_font_description_set_absolute_size(font, points * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, text.c_str(), -1);
    cairo_move_to(cr, x, y);
    pango_cairo_layout_path(cr, layout);
    cairo_fill(cr);
    pango_font_description_free(font);
    g_object_unref(layout);
}

// A scanned invoice: its first page shows "Invoice 4821" and "total amount due" as
// shapes, with no text of its own; `more` draws further pages after it.
inline std::string writeScannedInvoice(const std::string& path, const std::function<void(cairo_t*)>& more = nullptr)
{
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), pageWidth, pageHeight);
    cairo_t* cr = cairo_create(surface);
    drawOutlinedText(cr, "Invoice 4821", 60, 80, 40);
    drawOutlinedText(cr, "total amount due", 60, 160, 40);
    if (more) more(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return path;
}

// Writes a PDF of portrait pages; page i shows "Page i" in real text and a black band.
inline std::string writeNumberedPdf(const std::string& path, int pages)
{
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), pageWidth, pageHeight);
    cairo_t* cr = cairo_create(surface);
    for (int i = 1; i <= pages; ++i) {
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 56);
        cairo_move_to(cr, 60, 140);
        cairo_show_text(cr, ("Page " + std::to_string(i)).c_str());
        cairo_rectangle(cr, 60, 180, 475, 40);
        cairo_fill(cr);
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return path;
}

struct PdfFacts {
    int pages = 0;
    std::vector<bool> landscape;  // as shown, so a quarter turn of a portrait page
    std::vector<std::string> text;
};

inline PdfFacts readPdf(const std::string& path)
{
    PdfFacts facts;
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    PopplerDocument* document = poppler_document_new_from_file(uri, nullptr, nullptr);
    g_free(uri);
    if (!document) return facts;
    facts.pages = poppler_document_get_n_pages(document);
    for (int i = 0; i < facts.pages; ++i) {
        PopplerPage* page = poppler_document_get_page(document, i);
        double width = 0, height = 0;
        // Poppler reports the size with the page's /Rotate applied.
        poppler_page_get_size(page, &width, &height);
        facts.landscape.push_back(width > height);
        gchar* text = poppler_page_get_text(page);
        facts.text.emplace_back(text ? text : "");
        g_free(text);
        g_object_unref(page);
    }
    g_object_unref(document);
    return facts;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class PageFixture : public ::testing::Test {
protected:
    ShellHarness shell{builtWebFolder()};
    TempDir files;

    // Shows the window, loads the page and waits until it can take files.
    void start(int width = 0, int height = 0);
    // Opens a file the way the desktop hands one over, and waits until it is shown.
    void open(const std::string& path, int pages);
    bool showsPageCount(int pages);
    std::string text(const std::string& script);

    // A key as GTK names accelerators: "<Control><Shift>z", "F3", "Return", "r".
    void key(const std::string& accelerator);
    void type(const std::string& letters);
    // A left click on the first element the selector finds, once it is in view: in the
    // middle of its width, `fromTop` of the way down; false when there is none.
    bool clickOn(const std::string& selector, double fromTop = 0.5);
    void takeFocus();

    // Writes a PDF made in the page with its own pdf-lib: `build` is the body of an
    // async function given `lib` (the module) that returns the document's bytes.
    std::string makePdf(const std::string& name, const std::string& build);

    // A click on the first element the selector finds, through the page itself.
    void click(const std::string& selector)
    {
        ASSERT_EQ(shell.evaluate("(() => { const el = document.querySelector(" + NativeOCR::lit(selector) +
                                 "); if (!el || el.disabled) return false; el.click(); return true; })()"),
                  "true")
            << selector;
    }

    // A key pressed while the page has the focus; `options` adds modifiers.
    void press(const std::string& key, const std::string& options = "")
    {
        shell.evaluate("document.getElementById('viewer').dispatchEvent(new KeyboardEvent('keydown', {bubbles: true,"
                       " cancelable: true, key: " + NativeOCR::lit(key) + (options.empty() ? "" : ", " + options) + "}))");
    }

    bool hasDirtyTab() { return text("!!document.querySelector('.tab.dirty')") == "true"; }

    // Whether a notice of the kind ("ok", "info", "warn", "error") saying `words` shows.
    bool toastSays(const std::string& kind, const std::string& words)
    {
        return shell.waitForScript("[...document.querySelectorAll('.toast-" + kind + "')].some(t => t.textContent.includes(" +
                                   NativeOCR::lit(words) + "))");
    }

    // Saves with the toolbar's button and waits until the tab no longer says unsaved.
    void saveAndWait()
    {
        click("#save");
        ASSERT_TRUE(waitUntil([&] { return !hasDirtyTab(); }));
    }
};

}  // namespace pw::testing

#pragma once

// Pages of known text drawn with Pango and Cairo, for testing and measuring text
// recognition: the PNG bytes and, for every word, the box of the ink it left.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <cairo.h>
#include <pango/pangocairo.h>

namespace pw::testing {

struct PageStyle {
    int width = 1000;   // pixels
    int height = 400;   // pixels
    std::string family = "DejaVu Sans";
    double points = 12;  // font size
    double dpi = 150;    // how many pixels a point is worth
    int margin = 40;     // pixels on every side
    double leading = 1.5;  // line pitch, in font sizes
};

struct DrawnWord {
    std::string text;
    // The ink's box in pixels from the top-left corner.
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct TextPage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> png;
    std::vector<std::vector<DrawnWord>> lines;  // as drawn, top to bottom

    std::vector<std::string> words() const
    {
        std::vector<std::string> all;
        for (const auto& line : lines)
            for (const auto& word : line) all.push_back(word.text);
        return all;
    }
};

inline std::vector<std::string> splitOnSpaces(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

// Draws each paragraph from a new line, black on white, wrapping at the margin; stops
// at the bottom margin. Words are laid out one by one so each one's ink is known.
inline TextPage renderTextPage(const std::vector<std::string>& paragraphs, const PageStyle& style)
{
    TextPage page;
    page.width = style.width;
    page.height = style.height;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, style.width, style.height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);

    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, style.family.c_str());
    pango_font_description_set_size(font, static_cast<int>(style.points * PANGO_SCALE));
    PangoLayout* layout = pango_cairo_create_layout(cr);
    pango_cairo_context_set_resolution(pango_layout_get_context(layout), style.dpi);
    pango_layout_context_changed(layout);
    pango_layout_set_font_description(layout, font);

    const double pitch = style.points * style.dpi / 72 * style.leading;
    const int space = static_cast<int>(style.points * style.dpi / 72 * 0.4);
    double y = style.margin;
    int x = style.margin;
    bool full = false;
    auto newLine = [&] {
        if (!page.lines.empty() && page.lines.back().empty()) return;
        y += page.lines.empty() ? 0 : pitch;
        x = style.margin;
        full = y + pitch > style.height - style.margin;
        if (!full) page.lines.emplace_back();
    };
    for (const auto& paragraph : paragraphs) {
        if (full) break;
        newLine();
        for (const auto& word : splitOnSpaces(paragraph)) {
            if (full) break;
            pango_layout_set_text(layout, word.c_str(), -1);
            PangoRectangle ink, logical;
            pango_layout_get_pixel_extents(layout, &ink, &logical);
            if (x + logical.width > style.width - style.margin && !page.lines.back().empty()) {
                newLine();
                if (full) break;
            }
            const int top = static_cast<int>(std::lround(y));
            cairo_move_to(cr, x, top);
            pango_cairo_show_layout(cr, layout);
            page.lines.back().push_back(
                {word, x + ink.x, top + ink.y, x + ink.x + ink.width, top + ink.y + ink.height});
            x += logical.width + space;
        }
    }
    if (!page.lines.empty() && page.lines.back().empty()) page.lines.pop_back();

    g_object_unref(layout);
    pango_font_description_free(font);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* png = static_cast<std::vector<std::uint8_t>*>(closure);
            png->insert(png->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &page.png);
    cairo_surface_destroy(surface);
    return page;
}

}  // namespace pw::testing

#pragma once

// PDF files made at run time for the benchmarks, drawn with Cairo: A4 pages of text,
// optionally each with a block of noise that does not compress (to reach a file size),
// and on the first page a large pure-red block that a screen watcher can look for.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <cairo-pdf.h>
#include <cairo.h>

namespace pw::bench {

struct PdfShape {
    int pages = 3;
    int linesPerPage = 40;
    int noiseSide = 0;  // pixels of an incompressible square image on every page; 0 for none
};

// The red block on page 1, in points from the top-left corner.
constexpr double markerX = 100, markerY = 160, markerWidth = 395, markerHeight = 300;

namespace detail {

inline void drawNoise(cairo_t* cr, int side, std::mt19937& random)
{
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, side, side);
    cairo_surface_flush(image);
    auto* pixels = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < side; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(pixels + y * stride);
        for (int x = 0; x < side; ++x) row[x] = random() & 0xffffff;
    }
    cairo_surface_mark_dirty(image);
    cairo_save(cr);
    cairo_translate(cr, 420, 700);
    cairo_scale(cr, 100.0 / side, 100.0 / side);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(image);
}

inline void drawText(cairo_t* cr, int page, int lines)
{
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 10);
    const double top = page == 0 ? markerY + markerHeight + 30 : 60;
    const double pitch = (800 - top) / std::max(lines, 1);
    for (int line = 0; line < lines; ++line) {
        const std::string text = "Page " + std::to_string(page + 1) + ", line " + std::to_string(line + 1) +
                                 ": the quick brown fox jumps over the lazy dog, le cœur à l'ouvrage.";
        cairo_move_to(cr, 60, top + line * pitch);
        cairo_show_text(cr, text.c_str());
    }
}

}  // namespace detail

inline void writePdf(const std::string& path, const PdfShape& shape)
{
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), 595, 842);
    cairo_t* cr = cairo_create(surface);
    std::mt19937 random(7);
    for (int page = 0; page < shape.pages; ++page) {
        if (page == 0) {
            cairo_set_source_rgb(cr, 1, 0, 0);
            cairo_rectangle(cr, markerX, markerY, markerWidth, markerHeight);
            cairo_fill(cr);
        }
        detail::drawText(cr, page, shape.linesPerPage);
        if (shape.noiseSide > 0) detail::drawNoise(cr, shape.noiseSide, random);
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

}  // namespace pw::bench

#include <cmath>
#include <string>
#include <vector>

#include <cairo-pdf.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <poppler.h>

#include "platform/gtk/gtk_printing.h"
#include "tests/fakes/temp_dir.h"

namespace pw {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct SourcePage {
    double width, height;
    // The black area, in the page's own coordinates; white text sits on it.
    double blackX, blackY, blackWidth, blackHeight;
    std::string text;
};

cairo_status_t appendTo(void* closure, const unsigned char* data, unsigned int length)
{
    auto* bytes = static_cast<Bytes*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

Bytes makePdf(const std::vector<SourcePage>& pages)
{
    Bytes bytes;
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(appendTo, &bytes, pages[0].width, pages[0].height);
    cairo_t* cr = cairo_create(surface);
    for (const auto& page : pages) {
        cairo_pdf_surface_set_size(surface, page.width, page.height);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_rectangle(cr, page.blackX, page.blackY, page.blackWidth, page.blackHeight);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_set_font_size(cr, 20);
        cairo_move_to(cr, page.blackX + 10, page.blackY + 30);
        cairo_show_text(cr, page.text.c_str());
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return bytes;
}

struct Box {
    int left = -1, top = -1, right = -1, bottom = -1;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

// The bounding box of the dark pixels of a page drawn at one pixel per point.
Box darkBox(PopplerPage* page, int& pageWidth, int& pageHeight)
{
    double width = 0, height = 0;
    poppler_page_get_size(page, &width, &height);
    pageWidth = static_cast<int>(std::ceil(width));
    pageHeight = static_cast<int>(std::ceil(height));
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, pageWidth, pageHeight);
    cairo_t* cr = cairo_create(image);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    poppler_page_render(page, cr);
    cairo_destroy(cr);
    cairo_surface_flush(image);

    Box box;
    const unsigned char* pixels = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < pageHeight; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            const auto pixel = *reinterpret_cast<const std::uint32_t*>(pixels + y * stride + x * 4);
            if (((pixel >> 8) & 0xff) >= 64) continue;  // green channel: not dark
            if (box.left < 0 || x < box.left) box.left = x;
            if (box.right < 0 || x > box.right) box.right = x;
            if (box.top < 0) box.top = y;
            box.bottom = y;
        }
    }
    cairo_surface_destroy(image);
    return box;
}

std::string pageText(PopplerPage* page)
{
    const gtk::GCharPtr text(poppler_page_get_text(page));
    return text ? text.get() : "";
}

// The print dialog, once it is up. It is reached through its properties, as its own
// header is not on the include path.
GtkDialog* shownPrintDialog()
{
    const GType printDialog = g_type_from_name("GtkPrintUnixDialog");
    GtkDialog* dialog = nullptr;
    // The list is ours, the windows are not.
    const gtk::GOwned<GList, g_list_free> windows(gtk_window_list_toplevels());
    for (GList* window = windows.get(); window && !dialog; window = window->next)
        if (printDialog && G_TYPE_CHECK_INSTANCE_TYPE(window->data, printDialog) &&
            gtk_widget_get_visible(GTK_WIDGET(window->data)))
            dialog = GTK_DIALOG(window->data);
    return dialog;
}

// Answers the print dialog as a user would who chooses to print to a PDF file and
// presses Print once the dialog shows that printer. A dialog that never gets there is
// cancelled, so that the job ends.
struct PrintToFile {
    static constexpr int patience = 200;  // steps of a tenth of a second
    std::string uri;
    bool printerChosen = false;
    bool answered = false;
    int steps = 0;

    static gboolean step(gpointer data)
    {
        auto* self = static_cast<PrintToFile*>(data);
        GtkDialog* dialog = shownPrintDialog();
        if (!dialog) return ++self->steps < patience ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
        if (++self->steps >= patience) {
            gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
            return G_SOURCE_REMOVE;
        }
        if (!self->printerChosen) {
            GtkPrintSettings* shown = nullptr;
            g_object_get(dialog, "print-settings", &shown, nullptr);
            const auto settings = gtk::GObjectPtr<GtkPrintSettings>::adopt(shown);
            gtk_print_settings_set_printer(settings.get(), "Print to File");
            gtk_print_settings_set(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_URI, self->uri.c_str());
            gtk_print_settings_set(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
            g_object_set(dialog, "print-settings", settings.get(), nullptr);
            self->printerChosen = true;
            return G_SOURCE_CONTINUE;
        }
        GObject* selected = nullptr;
        g_object_get(dialog, "selected-printer", &selected, nullptr);
        const auto printer = gtk::GObjectPtr<GObject>::adopt(selected);
        gboolean toFile = FALSE;
        if (printer) g_object_get(printer.get(), "is-virtual", &toFile, nullptr);
        if (!toFile) return G_SOURCE_CONTINUE;
        gtk_dialog_response(dialog, GTK_RESPONSE_OK);
        self->answered = true;
        return G_SOURCE_REMOVE;
    }
};

TEST(Printing, PrintedJobHasEveryPageScaledDownAndTurnedToFit)
{
    const std::vector<SourcePage> source{
        // Small portrait: printed at its own size.
        {300, 400, 0, 0, 300, 400, "Page one"},
        // Landscape letter with its left half black: turned a quarter on portrait paper,
        // the black half becomes wider than tall.
        {792, 612, 0, 0, 396, 612, "Page two"},
        // Far larger than any paper, black all over: shrunk whole, never cropped.
        {2000, 2400, 0, 0, 2000, 2400, "Page three"},
    };
    auto document = gtk::PopplerPdfDocument::fromBytes(makePdf(source));
    ASSERT_TRUE(document);
    ASSERT_EQ(document->pageCount(), 3);

    testing::TempDir dir;
    const gtk::GCharPtr uri(g_filename_to_uri((dir.path() + "/printed.pdf").c_str(), nullptr, nullptr));
    // Without a window the job runs application-modally: print() returns once it is over.
    PrintToFile user{uri.get()};
    const guint answering = g_timeout_add(100, PrintToFile::step, &user);
    gtk::GtkPrinting().print(document, nullptr);
    if (GSource* source = g_main_context_find_source_by_id(nullptr, answering)) g_source_destroy(source);
    ASSERT_TRUE(user.answered) << "the print dialog never offered to print to a file";

    const auto printed = gtk::GObjectPtr<PopplerDocument>::adopt(poppler_document_new_from_file(uri.get(), nullptr, nullptr));
    ASSERT_TRUE(printed);
    ASSERT_EQ(poppler_document_get_n_pages(printed.get()), 3);

    int paperWidth = 0, paperHeight = 0;
    std::vector<Box> boxes;
    for (int i = 0; i < 3; ++i) {
        const auto page = gtk::GObjectPtr<PopplerPage>::adopt(poppler_document_get_page(printed.get(), i));
        EXPECT_NE(pageText(page.get()).find(source[i].text), std::string::npos) << i;
        int width = 0, height = 0;
        boxes.push_back(darkBox(page.get(), width, height));
        if (i == 0) paperWidth = width, paperHeight = height;
        EXPECT_EQ(width, paperWidth);
        EXPECT_EQ(height, paperHeight);
    }
    ASSERT_LT(paperWidth, paperHeight) << "the default paper is expected in portrait";

    // Page one: its own size, not enlarged.
    EXPECT_NEAR(boxes[0].width(), 300, 2);
    EXPECT_NEAR(boxes[0].height(), 400, 2);

    // Page two: turned, so the black half is now wider than tall, in the source's
    // proportions (612 by 396), and no larger than the paper allows.
    EXPECT_GT(boxes[1].width(), boxes[1].height());
    EXPECT_NEAR(double(boxes[1].width()) / boxes[1].height(), 612.0 / 396.0, 0.03);
    EXPECT_LT(boxes[1].width(), paperWidth);

    // Page three: shrunk whole (its proportions kept, so nothing was cut off), inside
    // the paper's margins, centred across.
    const Box& huge = boxes[2];
    EXPECT_NEAR(double(huge.width()) / huge.height(), 2000.0 / 2400.0, 0.01);
    EXPECT_GT(huge.left, 0);
    EXPECT_GT(huge.top, 0);
    EXPECT_LT(huge.right, paperWidth - 1);
    EXPECT_LT(huge.bottom, paperHeight - 1);
    EXPECT_NEAR(huge.left, paperWidth - 1 - huge.right, 2);
}

TEST(Printing, BytesThatAreNoPdfMakeNoDocument)
{
    gtk::GtkPrinting printing;
    const std::string png = "\x89PNG\r\n\x1a\n";
    EXPECT_EQ(printing.makeDocument(Bytes(png.begin(), png.end())), nullptr);
    EXPECT_EQ(printing.makeDocument({}), nullptr);
    const std::string truncated = "%PDF-1.7\n1 0 obj";
    EXPECT_EQ(printing.makeDocument(Bytes(truncated.begin(), truncated.end())), nullptr);
}

}  // namespace
}  // namespace pw

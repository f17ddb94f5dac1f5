#include "platform/gtk/gtk_printing.h"

#include <cmath>
#include <utility>

#include <gtk/gtk.h>

#include "platform/gtk/application_window.h"
#include "platform/gtk/gtk_web_view.h"
#include "platform/page_fit.h"

namespace pw::gtk {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Hands the vector's memory to GLib without copying it.
GBytesPtr takeBytes(Bytes bytes)
{
    auto* owned = new Bytes(std::move(bytes));
    return GBytesPtr(g_bytes_new_with_free_func(
        owned->data(), owned->size(), [](gpointer data) { delete static_cast<Bytes*>(data); }, owned));
}

// Settings every job starts from. Each job works on a copy, so what one job's dialog
// changes does not carry over to the next. Kept for the process's life.
GtkPrintSettings* sharedPrintSettings()
{
    static GtkPrintSettings* settings = gtk_print_settings_new();
    return settings;
}

void drawPage(GtkPrintOperation*, GtkPrintContext* context, gint pageNumber, gpointer data)
{
    auto* document = static_cast<PopplerPdfDocument*>(data);
    const auto page = GObjectPtr<PopplerPage>::adopt(poppler_document_get_page(document->poppler(), pageNumber));
    if (!page) return;
    double width = 0, height = 0;
    poppler_page_get_size(page.get(), &width, &height);
    const PageFit fit =
        fitPage(width, height, gtk_print_context_get_width(context), gtk_print_context_get_height(context));

    cairo_t* cr = gtk_print_context_get_cairo_context(context);
    cairo_save(cr);
    cairo_translate(cr, fit.x, fit.y);
    cairo_scale(cr, fit.scale, fit.scale);
    if (fit.rotate) {
        // A quarter turn clockwise: the page's top edge runs down the right side.
        cairo_translate(cr, height, 0);
        cairo_rotate(cr, M_PI / 2);
    }
    poppler_page_render_for_printing(page.get(), cr);
    cairo_restore(cr);
}

// A job for the document, which it keeps alive as long as it lasts. nullptr when there
// is nothing Poppler can print.
GObjectPtr<GtkPrintOperation> makeOperation(const std::shared_ptr<PdfDocument>& document)
{
    auto pdf = std::dynamic_pointer_cast<PopplerPdfDocument>(document);
    if (!pdf || pdf->pageCount() <= 0) return {};

    auto operation = GObjectPtr<GtkPrintOperation>::adopt(gtk_print_operation_new());
    const auto settings = GObjectPtr<GtkPrintSettings>::adopt(gtk_print_settings_copy(sharedPrintSettings()));
    gtk_print_operation_set_print_settings(operation.get(), settings.get());
    gtk_print_operation_set_n_pages(operation.get(), pdf->pageCount());
    // The context then measures in points, as Poppler does.
    gtk_print_operation_set_unit(operation.get(), GTK_UNIT_POINTS);

    auto* held = new std::shared_ptr<PopplerPdfDocument>(pdf);
    g_object_set_data_full(G_OBJECT(operation.get()), "pagewick-document", held,
                           [](gpointer data) { delete static_cast<std::shared_ptr<PopplerPdfDocument>*>(data); });
    g_signal_connect(operation.get(), "draw-page", G_CALLBACK(drawPage), pdf.get());
    return operation;
}

GtkWindow* windowOf(WebView* view)
{
    if (auto* gtkView = dynamic_cast<GtkWebView*>(view)) {
        GtkWidget* toplevel = gtk_widget_get_toplevel(gtkView->widget());
        if (GTK_IS_WINDOW(toplevel)) return GTK_WINDOW(toplevel);
    }
    return activeApplicationWindow();
}

void releaseWhenDone(GtkPrintOperation*, GtkPrintOperationResult, gpointer job)
{
    // The reference the job was started with; the emission holds its own meanwhile.
    GObjectPtr<GtkPrintOperation>::adopt(static_cast<GtkPrintOperation*>(job));
}

}  // namespace

std::shared_ptr<PopplerPdfDocument> PopplerPdfDocument::fromBytes(Bytes bytes)
{
    const GBytesPtr data = takeBytes(std::move(bytes));
    // Poppler keeps its own reference to the bytes for the document's life.
    auto document = GObjectPtr<PopplerDocument>::adopt(poppler_document_new_from_bytes(data.get(), nullptr, nullptr));
    if (!document) return nullptr;
    return std::shared_ptr<PopplerPdfDocument>(new PopplerPdfDocument(std::move(document)));
}

int PopplerPdfDocument::pageCount() const
{
    return poppler_document_get_n_pages(document_.get());
}

std::shared_ptr<PdfDocument> GtkPrinting::makeDocument(Bytes bytes)
{
    return PopplerPdfDocument::fromBytes(std::move(bytes));
}

void GtkPrinting::print(const std::shared_ptr<PdfDocument>& document, WebView* attachTo)
{
    const auto operation = makeOperation(document);
    if (!operation) return;
    gtk_print_operation_set_show_progress(operation.get(), TRUE);

    GtkWindow* parent = attachTo ? windowOf(attachTo) : nullptr;
    if (parent) {
        // Attached to the window: the dialog and the job run on their own while the
        // rest of the application stays usable; the job lets go of itself when done.
        gtk_print_operation_set_allow_async(operation.get(), TRUE);
        g_signal_connect(operation.get(), "done", G_CALLBACK(releaseWhenDone), GObjectPtr(operation).release());
    }
    // Without a window this runs application-modally, returning when the job is over.
    gtk_print_operation_run(operation.get(), GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG, parent, nullptr);
}

}  // namespace pw::gtk

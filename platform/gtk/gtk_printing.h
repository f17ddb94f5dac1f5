#pragma once

#include <string>

#include <poppler.h>

#include "platform/gtk/gobject_ptr.h"
#include "platform/printing.h"

namespace pw::gtk {

// A PDF read by Poppler from bytes held in memory.
class PopplerPdfDocument : public PdfDocument {
public:
    // nullptr when Poppler cannot read the bytes as a PDF.
    static std::shared_ptr<PopplerPdfDocument> fromBytes(std::vector<std::uint8_t> bytes);
    int pageCount() const override;
    PopplerDocument* poppler() const { return document_.get(); }

private:
    explicit PopplerPdfDocument(GObjectPtr<PopplerDocument> document) : document_(std::move(document)) {}
    GObjectPtr<PopplerDocument> document_;
};

// Prints through GtkPrintOperation with Poppler drawing each page: a copy of the
// process's shared print settings per job, pages shrunk and turned to fit the paper.
class GtkPrinting : public Printing {
public:
    std::shared_ptr<PdfDocument> makeDocument(std::vector<std::uint8_t> bytes) override;
    void print(const std::shared_ptr<PdfDocument>& document, WebView* attachTo) override;
};

}  // namespace pw::gtk

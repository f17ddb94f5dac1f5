#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace pw {

class WebView;

// A PDF document the printing service accepted.
class PdfDocument {
public:
    virtual ~PdfDocument() = default;
    virtual int pageCount() const = 0;
};

class Printing {
public:
    virtual ~Printing() = default;
    // A document made from the bytes, or nullptr when they are not a readable PDF.
    virtual std::shared_ptr<PdfDocument> makeDocument(std::vector<std::uint8_t> bytes) = 0;
    // Prints with the print dialog and a progress dialog, pages scaled down and rotated
    // to fit. Attached to the view's window when `attachTo` is given, else
    // application-modal.
    virtual void print(const std::shared_ptr<PdfDocument>& document, WebView* attachTo) = 0;
};

}  // namespace pw

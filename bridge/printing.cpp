#include <memory>

#include "bridge/bridge.h"
#include "platform/printing.h"
#include "platform/web_view.h"

namespace pw {

void Bridge::printPDF(std::shared_ptr<PdfDocument> document)
{
    if (!document) return;
    // Attached to the page's window when there is one, so the rest of the desktop stays
    // usable; without a window the job runs application-modally.
    auto view = web.lock();
    WebView* attachTo = view && view->isInWindow() ? view.get() : nullptr;
    services_.printing->print(document, attachTo);
}

}  // namespace pw

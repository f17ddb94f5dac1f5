#pragma once

#include <string>
#include <vector>

#include <webkit2/webkit2.h>

#include "platform/web_view.h"

namespace pw::gtk {

// Sends a call of a page function (WebView::call) to the page's process, where the
// extension maps the large texts instead of receiving them copied. When no extension
// takes it (a view made without one) or the extension cannot map a text, the call is
// made by a script instead, with the texts read back into it.
void sendPageCall(WebKitWebView* view, std::string condition, std::string function,
                  std::vector<PageArgument> arguments);

}  // namespace pw::gtk

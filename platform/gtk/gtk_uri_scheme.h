#pragma once

#include <memory>
#include <string>

#include <webkit2/webkit2.h>

#include "platform/scheme_handler.h"

namespace pw::gtk {

// Answers every request under `scheme` in `context` with `handler`, which the context
// keeps alive for as long as the scheme is registered. The scheme is also marked secure
// and CORS-enabled so that module scripts, workers, fetch and WebAssembly work from it.
void registerScheme(WebKitWebContext* context, const std::string& scheme, std::shared_ptr<SchemeHandler> handler);

}  // namespace pw::gtk

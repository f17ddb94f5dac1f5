#pragma once

#include <gio/gunixfdlist.h>

#include <optional>

#include "platform/web_view_delegate.h"

namespace pw::gtk {

// The message the page posted, from what the web process's extension carried in its
// place (web_process_messages.h): the same fields as WebKit's own route would give,
// the large ones read from their memory files only when asked for. nullopt when the
// parameters are not such a message, or a file is not a sealed memory file.
std::optional<ScriptMessage> postedMessageFrom(GVariant* parameters, GUnixFDList* files);

}  // namespace pw::gtk

#pragma once

#include <webkit2/webkit2.h>

namespace pw::gtk {

// Takes out of WebKit's context menu what would leave or reload the page (Back,
// Forward, Stop, Reload): either drops every open document. Editing items and the
// inspector stay. Separators left doubled or at an end go too.
void removeNavigation(WebKitContextMenu* menu);

}  // namespace pw::gtk

#pragma once

#include <JavaScriptCore/JavaScript.h>
#include <webkit2/webkit-web-extension.h>

namespace pw::gtk {

// What the extension does with each page of its process, one file each.

// Stops the main frame's own requests for the web (main_frame_guard.cpp).
void guardMainFrame(WebKitWebPage* page);
// Makes the view's calls of page functions (page_calls.cpp).
void takePageCalls(WebKitWebPage* page);
// Carries the page's file-sized posts to the view in memory files, for every page of
// the process (posted_messages.cpp).
void carryFileSizedPosts();
// Has the engine collect its garbage shortly after a call that passed a file-sized
// string, in or out (garbage.cpp).
void collectFileSizedGarbage(JSGlobalContextRef context);

}  // namespace pw::gtk

#pragma once

// Messages between the web process's extension and the view, and what both sides
// agree on. Plain C++: the extension and the UI process link different WebKit
// libraries.

#include <string_view>

namespace pw::gtk {

// Sent by the extension when it stopped the main frame's own request for a web
// address; its parameter is that address as a string.
inline constexpr const char* mainFrameWebMessage = "pagewick.main-frame-web";

inline bool isWebAddress(std::string_view uri)
{
    // WebKit hands both sides canonical addresses: the scheme is in lower case.
    return uri.starts_with("http:") || uri.starts_with("https:");
}

// The address without its fragment: what a request carries.
inline std::string_view withoutFragment(std::string_view uri)
{
    return uri.substr(0, uri.find('#'));
}

}  // namespace pw::gtk

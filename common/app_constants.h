#pragma once

namespace pw {

// The private scheme the page is served under, and the page's start address.
inline constexpr const char* appScheme = "pagewick";
inline constexpr const char* appURL = "pagewick://app/index.html";

// The script message handler the page posts to.
inline constexpr const char* messageHandlerName = "pagewick";

}  // namespace pw

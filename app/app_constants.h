#pragma once

namespace pw {

// Added to the web view's user agent.
inline constexpr const char* userAgentApplicationName = "pagewick-mac";

// What the page learns of the shell before its own scripts run; the recent-files
// statement follows it.
inline constexpr const char* startScriptPrefix =
    "window.__nativeOcr = 'vision'; window.__nativePrint = true; window.__nativeFiles = true; ";

inline constexpr const char* applicationTitle = "Pagewick";
// The window frame is kept in the preferences under this name.
inline constexpr const char* frameAutosaveName = "PagewickMain";

inline constexpr int initialWidth = 1280;
inline constexpr int initialHeight = 860;
inline constexpr int minimumWidth = 520;
inline constexpr int minimumHeight = 420;

}  // namespace pw

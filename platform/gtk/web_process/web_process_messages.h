#pragma once

// Messages between the web process's extension and the view, and what both sides
// agree on. Plain C++: the extension and the UI process link different WebKit
// libraries.

#include <cstddef>
#include <string>
#include <string_view>

namespace pw::gtk {

// Sent by the extension when it stopped the main frame's own request for a web
// address; its parameter is that address as a string.
inline constexpr const char* mainFrameWebMessage = "pagewick.main-frame-web";

// Sent by the view to call a page function in the main frame's document. Parameters
// (condition, function, arguments): two expressions, and the arguments, each a string
// or the handle of a sealed memory file that holds one. The extension replies once the
// call is over or refused by its condition, with a boolean: false when it could not
// make an argument. A view told false, or whose message no extension took, makes the
// call itself.
inline constexpr const char* pageCallMessage = "pagewick.page-call";
inline constexpr const char* pageCallParameters = "(ssav)";

// What both sides run for such a call: a function of the arguments that calls
// `function` with them as a script's call would (so that `this` is what it would be),
// only where the condition holds at that moment.
inline std::string pageCallFunction(std::string_view condition, std::string_view function, std::size_t count)
{
    std::string names;
    for (std::size_t i = 0; i < count; ++i) names += (i ? ", a" : "a") + std::to_string(i);
    std::string source = "(function (" + names + ") {\nif (";
    source += condition;
    source += ") ";
    source += function;
    source += "(" + names + ");\n})";
    return source;
}

// Sent by the extension for a message the page posted to the shell's handler with a
// file-sized Base64 string (a save), in place of WebKit's own route, which copies and
// serialises it in both processes. Parameters (strings, bytes): the message's other
// fields as UTF-8; and, for each large field, the handle of a sealed memory file that
// holds the bytes its text encodes under strict Base64. The view reads it as the
// message it stands for.
inline constexpr const char* postedMessage = "pagewick.posted-message";
inline constexpr const char* postedMessageParameters = "(a{say}a{sh})";
// The length from which a string goes in a memory file.
inline constexpr std::size_t postedFileSizedLength = 256 * 1024;
// Such a string is read in pieces of this many characters (whole groups of four), the
// last one shorter.
inline constexpr std::size_t postedPieceLength = 1 << 20;

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

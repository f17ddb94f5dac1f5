#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/web_view_delegate.h"
#include "tests/fuzz/path_jail.h"

namespace pw::fuzzing {

// One page message of a dispatch fuzz input and how the test plays the user around it.
struct ScriptedMessage {
    ScriptMessage message;
    enum class Token { Own, None, Wrong } token = Token::Own;
    bool withoutView = false;
    // Answers for the panels the message opens, in order: the chosen files, or
    // nullopt for a cancelled panel. Panels beyond these are cancelled.
    std::vector<std::optional<std::vector<std::string>>> answers;
};

// Reads a dispatch fuzz input: one message per paragraph (paragraphs are separated by
// a blank line), one line per field. A text form keeps the seed inputs readable and
// lets every mutation of one still mean something.
//
//   key=value     the field as it stands; \n \r \t \0 \\ and \xHH are escapes
//   key:value     "b64": the Base64 of the value; "path", "dir": a relative path;
//                 any other key: as with "="
//   !notobject    the body is not an object (a string, an array, null)
//   !token=none   posted without the launch secret; !token=wrong: with another one
//   !noview       the web view is gone when the message arrives
//   !answer=a|b   the next panel chooses files a and b; !answer alone cancels it
//
// "path" and "dir" values, and the files panels choose, are kept inside the jail.
std::vector<ScriptedMessage> readMessageScript(std::string_view text, const PathJail& jail,
                                               std::size_t maxMessages = 8);

// Decodes the escapes of a value.
std::string unescape(std::string_view text);

}  // namespace pw::fuzzing

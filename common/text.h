#pragma once

#include <string>
#include <string_view>

namespace pw {

// ASCII case only: other bytes, those of UTF-8 among them, are left as they are.
constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
std::string asciiLowered(std::string_view text);
bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view lowerCaseSuffix);

// The value of a hexadecimal digit in either case, -1 for any other character.
int hexDigitValue(char c);

// The scheme a URI begins with, as written and without its ":": a letter, then
// letters, digits, "+", "-" or ".". Empty when the text has none (a path reference).
std::string_view uriScheme(std::string_view uri);

// A locale name without its codeset and modifier: "fr_FR.UTF-8@euro" gives "fr_FR".
std::string_view localeWithoutCodeset(std::string_view name);

}  // namespace pw

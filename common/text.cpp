#include "common/text.h"

#include <algorithm>

namespace pw {

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSchemeCharacter(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

}  // namespace

std::string asciiLowered(std::string_view text)
{
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), asciiLower);
    return lowered;
}

bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view lowerCaseSuffix)
{
    if (text.size() < lowerCaseSuffix.size()) return false;
    return std::equal(lowerCaseSuffix.begin(), lowerCaseSuffix.end(), text.end() - lowerCaseSuffix.size(),
                      [](char suffix, char c) { return asciiLower(c) == suffix; });
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c = asciiLower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string_view uriScheme(std::string_view uri)
{
    const auto colon = uri.find(':');
    if (colon == std::string_view::npos || colon == 0 || !isAsciiLetter(uri[0])) return {};
    const std::string_view scheme = uri.substr(0, colon);
    return std::all_of(scheme.begin(), scheme.end(), isSchemeCharacter) ? scheme : std::string_view{};
}

std::string_view localeWithoutCodeset(std::string_view name)
{
    return name.substr(0, name.find_first_of(".@"));
}

}  // namespace pw

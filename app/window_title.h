#pragma once

#include <optional>
#include <string>

namespace pw {

// The window's title for a page title: the title without white space or line breaks
// at either end, or "Pagewick" when nothing is left.
std::string windowTitle(const std::optional<std::string>& pageTitle);

}  // namespace pw

#include "app/preferred_languages.h"

#include <algorithm>
#include <utility>

#include "common/text.h"

namespace pw {

bool prefersFrench(const std::vector<std::string>& preferredLanguages)
{
    const std::string first = preferredLanguages.empty() ? "fr" : preferredLanguages.front();
    return first.size() >= 2 && asciiLower(first[0]) == 'f' && asciiLower(first[1]) == 'r';
}

std::vector<std::string> pageLanguages(const std::vector<std::string>& preferredLanguages)
{
    std::vector<std::string> tags;
    for (const auto& name : preferredLanguages) {
        std::string tag(localeWithoutCodeset(name));
        std::replace(tag.begin(), tag.end(), '_', '-');
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.push_back(std::move(tag));
    }
    if (tags.empty()) tags.push_back("fr");
    return tags;
}

}  // namespace pw

#include "app/language.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <utility>

namespace pw {

namespace {
std::atomic<bool> french{true};
}

bool prefersFrench(const std::vector<std::string>& preferredLanguages)
{
    const std::string first = preferredLanguages.empty() ? "fr" : preferredLanguages.front();
    return first.size() >= 2 && std::tolower(static_cast<unsigned char>(first[0])) == 'f' &&
           std::tolower(static_cast<unsigned char>(first[1])) == 'r';
}

std::vector<std::string> pageLanguages(const std::vector<std::string>& preferredLanguages)
{
    std::vector<std::string> tags;
    for (const auto& name : preferredLanguages) {
        std::string tag = name.substr(0, name.find_first_of(".@"));
        std::replace(tag.begin(), tag.end(), '_', '-');
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.push_back(std::move(tag));
    }
    if (tags.empty()) tags.push_back("fr");
    return tags;
}

bool isFrench()
{
    return french.load(std::memory_order_relaxed);
}

void setFrench(bool value)
{
    french.store(value, std::memory_order_relaxed);
}

std::string tr(std::string frenchText, std::string englishText)
{
    return isFrench() ? std::move(frenchText) : std::move(englishText);
}

}  // namespace pw

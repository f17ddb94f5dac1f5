#include "app/language.h"

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

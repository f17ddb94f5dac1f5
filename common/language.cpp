#include "common/language.h"

#include <atomic>
#include <utility>

namespace pw {

namespace {
std::atomic<bool> french{true};
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

#include "app/window_frame.h"

#include <limits>

#include "app/app_constants.h"
#include "platform/preferences.h"

namespace pw {

namespace {

// Sizes beyond this are not a window anyone made; they come from a damaged file.
constexpr int largestSide = 32768;

std::optional<int> integerField(const nlohmann::json& object, const char* key)
{
    auto it = object.find(key);
    if (it == object.end() || !it->is_number_integer()) return std::nullopt;
    const auto value = it->get<long long>();
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

std::optional<Frame> savedFrame(const Preferences& preferences)
{
    const nlohmann::json stored = preferences.get(frameAutosaveName);
    if (!stored.is_object()) return std::nullopt;
    const auto width = integerField(stored, "width");
    const auto height = integerField(stored, "height");
    if (!width || !height) return std::nullopt;
    if (*width < minimumWidth || *height < minimumHeight || *width > largestSide || *height > largestSide)
        return std::nullopt;

    Frame frame{0, 0, *width, *height, false};
    const auto x = integerField(stored, "x");
    const auto y = integerField(stored, "y");
    if (x && y) {
        frame.x = *x;
        frame.y = *y;
        frame.hasPosition = true;
    }
    return frame;
}

void saveFrame(Preferences& preferences, const Frame& frame)
{
    nlohmann::json stored = {{"width", frame.width}, {"height", frame.height}};
    if (frame.hasPosition) {
        stored["x"] = frame.x;
        stored["y"] = frame.y;
    } else if (auto previous = savedFrame(preferences); previous && previous->hasPosition) {
        // Where positions are not known (Wayland), keep the last one known.
        stored["x"] = previous->x;
        stored["y"] = previous->y;
    }
    preferences.set(frameAutosaveName, stored);
}

}  // namespace pw

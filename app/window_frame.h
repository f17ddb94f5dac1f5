#pragma once

#include <optional>

#include "platform/shell.h"

namespace pw {

class Preferences;

// The frame saved under the autosave name, when one was saved and it is usable
// (at least the minimum size).
std::optional<Frame> savedFrame(const Preferences& preferences);

void saveFrame(Preferences& preferences, const Frame& frame);

}  // namespace pw

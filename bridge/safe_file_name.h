#pragma once

#include <string>

namespace pw {

// A suggested file name made fit for a save panel: every "/" and then every ":"
// becomes "-". Nothing else changes; an empty name stays empty.
std::string safeFileName(std::string name);

}  // namespace pw

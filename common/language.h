#pragma once

#include <string>

namespace pw {

// The interface language, fixed once at start-up.
bool isFrench();
void setFrench(bool french);

// The French text when the interface is French, else the English one.
std::string tr(std::string french, std::string english);

}  // namespace pw

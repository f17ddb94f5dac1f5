#pragma once

#include <string>
#include <vector>

namespace pw {

// True when the first preferred language begins with "fr" in any case; an empty list
// counts as French.
bool prefersFrench(const std::vector<std::string>& preferredLanguages);

// The preferred languages as the page's navigator.languages should list them, so that
// the page chooses as the shell did: "fr_FR.UTF-8" becomes "fr-FR", repeats go, and an
// empty list (which the shell takes as French) becomes "fr".
std::vector<std::string> pageLanguages(const std::vector<std::string>& preferredLanguages);

}  // namespace pw

#pragma once

#include <string>

namespace pw {

// The folder holding the running executable.
std::string executableDirectory();

// Where the page lives: "web" beside the executable (a build tree) when that folder
// exists, else "../share/pagewick/web" from it (an installed copy).
std::string webRootBeside(const std::string& executableDir);

// Where the web process's extension lives: "web-process" beside the executable (a build
// tree) when that folder exists, else "../lib/pagewick/web-process" from it.
std::string webProcessExtensionsBeside(const std::string& executableDir);

}  // namespace pw

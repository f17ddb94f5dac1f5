#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace pw {

class Bridge;
class Preferences;

// Builds the one window and its web view when launching has finished, takes the
// documents handed over from outside, and runs File > Open.
class AppDelegate : public std::enable_shared_from_this<AppDelegate> {
public:
    AppDelegate(Shell& shell, std::shared_ptr<Bridge> bridge, std::shared_ptr<Preferences> preferences,
                std::string webRoot);

    void applicationDidFinishLaunching();
    // Documents handed over by the desktop (command line, a second launch, a drop).
    void open(const std::vector<std::string>& paths);
    void openDocument();

    Window* window() const { return window_.get(); }

private:
    std::string startScript() const;
    void restoreFrame();
    void buildMenu();

    Shell& shell_;
    std::shared_ptr<Bridge> bridge_;
    std::shared_ptr<Preferences> preferences_;
    std::string webRoot_;
    std::unique_ptr<Window> window_;
};

}  // namespace pw

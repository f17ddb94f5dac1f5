#pragma once

#include <functional>
#include <vector>

#include "platform/shell.h"

namespace pw {

// What the menu commands do; an empty function leaves its command disabled.
struct MenuActions {
    std::function<void()> about, hide, hideOthers, quit;
    std::function<void()> open, close;
    std::function<void()> undo, redo, cut, copy, paste, selectAll;
    std::function<void()> minimize, toggleFullScreen;
};

// The application menu, File, Edit and Window, titled in the interface language.
// Each command is named after what it does. Key equivalents: Command is Ctrl
// (<Primary>), Option is Alt, Control is Super.
std::vector<Menu> buildMenuBar(const MenuActions& actions);

}  // namespace pw

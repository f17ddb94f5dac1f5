#pragma once

#include "platform/panels.h"

namespace pw::gtk {

// Open and save panels as GtkFileChooserNative (a portal's dialog where the desktop
// has one), alerts as modal GtkMessageDialogs. Each belongs to the application's
// active window when there is one.
class GtkPanels : public Panels {
public:
    void beginOpen(const OpenPanelRequest& request, std::function<void(ChosenPaths)> done) override;
    ChosenPaths runOpen(const OpenPanelRequest& request) override;
    void beginSave(const SavePanelRequest& request, std::function<void(std::optional<std::string>)> done) override;

    void alert(const std::string& message, const std::string& info) override;
    bool confirm(const std::string& message, const std::string& firstButton,
                 const std::string& secondButton) override;
    bool confirmLoss(const std::string& message, const std::string& loseButton,
                     const std::string& keepButton) override;
    std::optional<std::string> prompt(const std::string& message, const std::string& defaultText,
                                      const std::string& firstButton, const std::string& secondButton) override;
};

}  // namespace pw::gtk

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/web_view_delegate.h"

namespace pw {

// The file types a panel may be limited to.
enum class FileFilter { Any, Pdf, Image, Zip };

struct OpenPanelRequest {
    FileFilter filter = FileFilter::Any;
    bool multiple = false;
};

struct SavePanelRequest {
    std::string name;                      // the name field
    FileFilter filter = FileFilter::Pdf;   // Pdf or Zip
    std::string message;                   // prompt shown in the panel; may be empty
    std::optional<std::string> directory;  // start folder; nullopt: the system's choice
    bool canCreateFolders = true;
};

// Native panels and alerts. Main thread only. Panels never choose folders.
class Panels {
public:
    virtual ~Panels() = default;

    // Shows an open panel without blocking; `done` runs later with the choice.
    virtual void beginOpen(const OpenPanelRequest& request, std::function<void(ChosenPaths)> done) = 0;
    // Runs an open panel modally and returns the choice.
    virtual ChosenPaths runOpen(const OpenPanelRequest& request) = 0;
    // Shows a save panel without blocking; `done` runs later with the chosen path or
    // nullopt when cancelled.
    virtual void beginSave(const SavePanelRequest& request,
                           std::function<void(std::optional<std::string>)> done) = 0;

    // Modal alert with the one button "OK". `info` may be empty.
    virtual void alert(const std::string& message, const std::string& info) = 0;
    // Modal alert with two buttons; true when the first one closed it.
    virtual bool confirm(const std::string& message, const std::string& firstButton,
                         const std::string& secondButton) = 0;
    // The same before something is lost: true only when the first button (the one that
    // loses it) closed it. The second is the default, so that Return, Escape and
    // closing the alert all keep what would be lost.
    virtual bool confirmLoss(const std::string& message, const std::string& loseButton,
                             const std::string& keepButton) = 0;
    // Modal alert with a single-line text field holding `defaultText`; the field's text
    // when the first button closed it, nullopt otherwise.
    virtual std::optional<std::string> prompt(const std::string& message, const std::string& defaultText,
                                              const std::string& firstButton,
                                              const std::string& secondButton) = 0;
};

}  // namespace pw

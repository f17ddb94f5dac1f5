#pragma once

#include <gtk/gtk.h>

#include "platform/gtk/gobject_ptr.h"
#include "platform/workspace.h"

namespace pw::gtk {

// The desktop through GTK and GIO: URI handlers, the "open with" chooser, the XDG
// folders and the recent-documents list. Nothing here talks to a portal on its own,
// so constructing it never stalls start-up.
class GtkWorkspace : public Workspace {
public:
    // `recent` is the list files are added to; the desktop's default one when null.
    explicit GtkWorkspace(GtkRecentManager* recent = nullptr);

    void openURL(const std::string& url) override;
    void share(const std::string& path) override;
    std::optional<std::string> documentsDirectory() const override;
    std::string temporaryDirectory() const override;
    std::string makeUUID() const override;
    void noteRecentDocument(const std::string& path) override;

private:
    GObjectPtr<GtkRecentManager> recent_;
};

}  // namespace pw::gtk

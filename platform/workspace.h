#pragma once

#include <optional>
#include <string>

namespace pw {

// The desktop around the application. Main thread only.
class Workspace {
public:
    virtual ~Workspace() = default;
    // Hands a URL to the desktop's handler for it; failures are not reported.
    virtual void openURL(const std::string& url) = 0;
    // Offers the file to the user's applications ("open with"), over the active window.
    virtual void share(const std::string& path) = 0;
    // The user's Documents folder, if the desktop names one.
    virtual std::optional<std::string> documentsDirectory() const = 0;
    // The per-user temporary folder.
    virtual std::string temporaryDirectory() const = 0;
    // A fresh random UUID in upper-case 8-4-4-4-12 form.
    virtual std::string makeUUID() const = 0;
    // Adds a file to the desktop's list of recently used documents.
    virtual void noteRecentDocument(const std::string& path) = 0;
};

}  // namespace pw

#pragma once

#include <string>

#include "platform/preferences.h"

namespace pw {

// Preferences kept as one JSON object in a file. Every read parses the file afresh;
// a missing, unreadable, truncated or malformed file reads as empty. Every write
// replaces the file atomically, so a crash never leaves half a file behind.
class JsonPreferences : public Preferences {
public:
    explicit JsonPreferences(std::string file);

    nlohmann::json get(const std::string& key) const override;
    void set(const std::string& key, const nlohmann::json& value) override;

    const std::string& file() const { return file_; }

    // $XDG_CONFIG_HOME/pagewick/preferences.json, with ~/.config when the variable is
    // unset or not an absolute path.
    static std::string defaultFile();

private:
    nlohmann::json readAll() const;

    std::string file_;
};

}  // namespace pw

#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace pw {

// The user's preferences: values under text keys that persist across launches.
// Read afresh on every call; nothing is cached.
class Preferences {
public:
    virtual ~Preferences() = default;
    // The value under the key; null when there is none.
    virtual nlohmann::json get(const std::string& key) const = 0;
    virtual void set(const std::string& key, const nlohmann::json& value) = 0;
};

}  // namespace pw

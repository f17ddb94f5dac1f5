#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace pw {

// Text recognition for the page, and the encoders every reply to the page goes through.
class NativeOCR {
public:
    NativeOCR() = delete;

    // Compact JSON of a dictionary: no whitespace, solidus escaped, non-ASCII written
    // as itself. Falls back to {"error":"json"} when the value cannot be written.
    static std::string json(const nlohmann::json& dictionary);

    // A JavaScript expression that evaluates to exactly `text`: the compact JSON of
    // the one-element array holding it, then [0]. Falls back to [""][0].
    static std::string lit(std::string_view text);

    // The compact JSON writer both rest on; nullopt when the value cannot be written
    // (text that is not valid UTF-8).
    static std::optional<std::string> compactJSON(const nlohmann::json& value);
};

}  // namespace pw

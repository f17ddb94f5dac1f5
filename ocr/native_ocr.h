#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/recognition_services.h"

namespace pw {

// Text recognition for the page, and the encoders every reply to the page goes through.
class NativeOCR {
public:
    NativeOCR() = delete;

    // Recognises the text of the image in `b64` (strict Base64) and calls completion
    // exactly once with the result document: {"lines":[...]} or {"error":...}. An image
    // that does not decode is answered before run returns; otherwise recognition runs on
    // a worker and completion is called there. Uses the installed services.
    static void run(const std::string& b64, const std::string& lang, std::function<void(std::string)> completion);
    // The same on the given services (tests).
    static void run(const RecognitionServices& services, const std::string& b64, const std::string& lang,
                    std::function<void(std::string)> completion);
    // Sets the services run() uses; start-up calls it once before the first request.
    static void install(RecognitionServices services);

    // Compact JSON of a dictionary: no whitespace, solidus escaped, non-ASCII written
    // as itself. Falls back to {"error":"json"} when the value cannot be written.
    static std::string json(const nlohmann::json& dictionary);

    // A JavaScript expression that evaluates to exactly `text`: the compact JSON of
    // the one-element array holding it, then [0]. Falls back to [""][0].
    static std::string lit(std::string_view text);

    // The compact JSON of the one-element array holding `text`, or `fallback` when the
    // writer refuses it (text that is not UTF-8, which a Linux file name may well be).
    static std::string arrayOfOne(std::string_view text, std::string_view fallback);

    // The compact JSON writer both rest on; nullopt when the value cannot be written
    // (text that is not valid UTF-8).
    static std::optional<std::string> compactJSON(const nlohmann::json& value);
};

}  // namespace pw

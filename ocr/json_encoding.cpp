#include "ocr/native_ocr.h"

namespace pw {

std::optional<std::string> NativeOCR::compactJSON(const nlohmann::json& value)
{
    std::string dumped;
    try {
        dumped = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    // The writer leaves the solidus alone; the page's JSON has it escaped, so "</script>"
    // can never close anything. A solidus can only occur inside a string here.
    std::string out;
    out.reserve(dumped.size() + dumped.size() / 16);
    for (char c : dumped) {
        if (c == '/') out += '\\';
        out += c;
    }
    return out;
}

std::string NativeOCR::json(const nlohmann::json& dictionary)
{
    if (auto text = compactJSON(dictionary)) return *text;
    return R"({"error":"json"})";
}

std::string NativeOCR::lit(std::string_view text)
{
    std::optional<std::string> array;
    try {
        array = compactJSON(nlohmann::json::array({std::string(text)}));
    } catch (const std::exception&) {
        array.reset();
    }
    return array.value_or(R"([""])") + "[0]";
}

}  // namespace pw

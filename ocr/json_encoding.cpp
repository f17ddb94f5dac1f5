#include <cmath>

#include "ocr/native_ocr.h"

namespace pw {
namespace {

// The writer would print NaN and the infinities as null, a value the reader could not
// tell from a real null; like any other value JSON cannot hold, they make writing fail.
bool holdsNonFiniteNumber(const nlohmann::json& value)
{
    if (value.is_number_float()) return !std::isfinite(value.get<double>());
    if (!value.is_structured()) return false;
    for (const auto& element : value) {
        if (holdsNonFiniteNumber(element)) return true;
    }
    return false;
}

}  // namespace

std::optional<std::string> NativeOCR::compactJSON(const nlohmann::json& value)
{
    if (holdsNonFiniteNumber(value)) return std::nullopt;
    try {
        const std::string dumped = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
        // The writer leaves the solidus alone; the page's JSON has it escaped, so
        // "</script>" can never close anything. A solidus can only occur inside a string.
        std::string out;
        out.reserve(dumped.size() + dumped.size() / 16);
        for (char c : dumped) {
            if (c == '/') out += '\\';
            out += c;
        }
        return out;
    } catch (const std::exception&) {
        // Text that is not valid UTF-8, or no memory for the copy.
        return std::nullopt;
    }
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

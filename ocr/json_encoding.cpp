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

// The writer leaves the solidus alone; the page's JSON has it escaped, so "</script>"
// can never close anything. A solidus can only occur inside a string here. Copies runs
// between solidi whole: the text may be a file's worth of Base64.
std::string escapeSolidus(std::string dumped)
{
    std::size_t next = dumped.find('/');
    if (next == std::string::npos) return dumped;
    std::string out;
    out.reserve(dumped.size() + dumped.size() / 32);
    std::size_t from = 0;
    for (; next != std::string::npos; from = next + 1, next = dumped.find('/', from)) {
        out.append(dumped, from, next - from);
        out += "\\/";
    }
    out.append(dumped, from);
    return out;
}

}  // namespace

std::optional<std::string> NativeOCR::compactJSON(const nlohmann::json& value)
{
    if (holdsNonFiniteNumber(value)) return std::nullopt;
    try {
        std::string dumped = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
        return escapeSolidus(std::move(dumped));
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

std::string NativeOCR::arrayOfOne(std::string_view text, std::string_view fallback)
{
    std::optional<std::string> array;
    try {
        array = compactJSON(nlohmann::json::array({std::string(text)}));
    } catch (const std::exception&) {
        array.reset();
    }
    return array ? std::move(*array) : std::string(fallback);
}

std::string NativeOCR::lit(std::string_view text)
{
    std::string expression = arrayOfOne(text, R"([""])");
    expression += "[0]";
    return expression;
}

}  // namespace pw

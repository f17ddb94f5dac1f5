#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ocr/native_ocr.h"
#include "tests/unit/js_engine.h"

namespace pw {
namespace {

using nlohmann::json;
using namespace std::string_literals;
using testing::JsEngine;

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Random valid UTF-8, weighted towards the characters an encoder gets wrong: controls,
// quotes, backslash, solidus, U+007F, the JavaScript line terminators U+2028/2029 and
// characters outside the Basic Multilingual Plane.
std::string randomText(std::mt19937& random)
{
    static const char32_t awkward[] = {U'"', U'\\', U'/', U'\'', U'`', U'<', U'>', U'$', U'{', U'}', U'[', U']',
                                       0x7F, 0x2028, 0x2029, 0xFEFF, 0xFFFD, 0xFFFF, 0x1F600, 0x10FFFF};
    std::string text;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) {
        char32_t c = 0;
        switch (random() % 6) {
        case 0: c = random() % 0x20; break;
        case 1: c = awkward[random() % std::size(awkward)]; break;
        case 2: c = 0x20 + random() % 0x60; break;
        case 3: c = 0x80 + random() % 0x780; break;
        case 4:
            c = 0x800 + random() % (0x10000 - 0x800);
            if (c >= 0xD800 && c <= 0xDFFF) c -= 0x800;  // no surrogates: they are not text
            break;
        default: c = 0x10000 + random() % 0x100000; break;
        }
        appendUtf8(text, c);
    }
    return text;
}

bool holdsRawControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// True when some solidus is not escaped, i.e. follows an even run of backslashes.
bool holdsBareSolidus(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '/') continue;
        std::size_t backslashes = 0;
        while (backslashes < i && text[i - 1 - backslashes] == '\\') ++backslashes;
        if (backslashes % 2 == 0) return true;
    }
    return false;
}

// The text with the contents of every JSON string left out, to look at the syntax alone.
std::string outsideStrings(std::string_view text)
{
    std::string out;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (inString && text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            inString = !inString;
            out += '"';
        } else if (!inString) {
            out += text[i];
        }
    }
    return out;
}

std::string hostileName(const std::string& text)
{
    std::string name;
    for (unsigned char c : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c < 0x20 || c >= 0x7F ? "\\x%02X" : "%c", c);
        name += hex;
    }
    return name;
}

std::vector<std::string> hostileTexts()
{
    std::vector<std::string> texts = {
        "",
        "abc",
        "say \"hi\"",
        "C:\\temp",
        "\\\\server\\share\\",
        "\\",
        "a/b",
        "/tmp/a.pdf",
        "\\/",
        "</script><script>alert(1)</script>",
        "<!-- -->",
        "\"]; alert(1); [\"",
        "'single' and `back` ${x}",
        "[0]",
        "a\nb\r\nc",
        "quote\" backslash\\ solidus/ newline\n nul\0 end"s,
        "\u2028",
        "line\u2028para\u2029end",
        "\u00e9t\u00e9 \u00e0 No\u00ebl",
        "\U0001F600 \U00010000 \U0010FFFF",
        "\xEF\xBB\xBF" "bom",
        "\x7F",
    };
    std::string everyControl;
    for (int c = 0; c < 0x20; ++c) {
        texts.emplace_back(1, static_cast<char>(c));
        everyControl += static_cast<char>(c);
    }
    texts.push_back(everyControl + "\x7F");
    return texts;
}

TEST(NativeOCRLit, ExactFormsOfShortTexts)
{
    const std::pair<std::string, std::string> examples[] = {
        {"abc", R"(["abc"][0])"},
        {"", R"([""][0])"},
        {"a/b", R"(["a\/b"][0])"},
        {"say \"hi\"", R"(["say \"hi\""][0])"},
        {"C:\\temp", R"(["C:\\temp"][0])"},
        {"a\nb", R"(["a\nb"][0])"},
        {"\x01", R"(["\u0001"][0])"},
        {std::string(1, '\0'), R"(["\u0000"][0])"},
        {"\x1F", R"(["\u001f"][0])"},
        {"\b\f\r\t", R"(["\b\f\r\t"][0])"},
        {"\u00e9", "[\"\u00e9\"][0]"},
        {"\x7F", "[\"\x7F\"][0]"},
        {"\u2028\u2029", "[\"\u2028\u2029\"][0]"},
        {"\U0001F600", "[\"\U0001F600\"][0]"},
    };
    for (const auto& [text, literal] : examples) EXPECT_EQ(NativeOCR::lit(text), literal) << hostileName(text);
}

TEST(NativeOCRLit, HostileTextsEvaluateToThemselvesInJavaScript)
{
    JsEngine engine;
    for (const std::string& text : hostileTexts()) {
        const std::string literal = NativeOCR::lit(text);
        EXPECT_EQ(engine.evaluateString(literal), text) << hostileName(text) << " " << engine.lastError();
        EXPECT_FALSE(holdsRawControlCharacter(literal)) << hostileName(literal);
        EXPECT_FALSE(holdsBareSolidus(literal)) << literal;
        // The literal is an expression usable as an argument, like every caller does.
        EXPECT_EQ(engine.evaluateString("(function (s) { return s; })(" + literal + ")"), text);
    }
}

TEST(NativeOCRLit, RandomTextsEvaluateToThemselvesInJavaScript)
{
    JsEngine engine;
    std::mt19937 random(2024);
    for (int i = 0; i < 10000; ++i) {
        const std::string text = randomText(random);
        const std::string literal = NativeOCR::lit(text);
        ASSERT_EQ(engine.evaluateString(literal), text) << hostileName(text) << " " << engine.lastError();
        ASSERT_FALSE(holdsRawControlCharacter(literal)) << hostileName(literal);
        ASSERT_FALSE(holdsBareSolidus(literal)) << hostileName(literal);
    }
}

const std::string_view invalidUtf8[] = {
    "\xFF",
    "\x80",                  // a lone continuation byte
    "abc\xC3",               // cut short at the end
    "\xE2\x82x",             // cut short before another character
    "\xC0\xAF",              // overlong solidus
    "\xE0\x80\xAF",          // overlong, three bytes
    "\xED\xA0\x80",          // a surrogate
    "\xF4\x90\x80\x80",      // beyond U+10FFFF
    "\xF8\x88\x80\x80\x80",  // five-byte form
};

TEST(NativeOCRLit, InvalidUtf8GivesTheEmptyText)
{
    for (std::string_view text : invalidUtf8) EXPECT_EQ(NativeOCR::lit(text), R"([""][0])") << hostileName(std::string(text));
}

TEST(NativeOCRJson, ExactForms)
{
    EXPECT_EQ(NativeOCR::json(json::object()), "{}");
    EXPECT_EQ(NativeOCR::json({{"error", "image"}}), R"({"error":"image"})");
    EXPECT_EQ(NativeOCR::json({{"path", "/tmp/a.pdf"}}), R"({"path":"\/tmp\/a.pdf"})");
    EXPECT_EQ(NativeOCR::json({{"a", json::array({1, "x", json::object()})}}), R"({"a":[1,"x",{}]})");
    // The recognition reply passes through both and is escaped twice.
    EXPECT_EQ(NativeOCR::lit(NativeOCR::json({{"error", "image"}})), R"(["{\"error\":\"image\"}"][0])");
}

TEST(NativeOCRJson, FailuresGiveTheFixedFallback)
{
    const std::string fallback = R"({"error":"json"})";
    ASSERT_EQ(fallback.size(), 16u);
    for (std::string_view bad : invalidUtf8) {
        const std::string text(bad);
        EXPECT_EQ(NativeOCR::json({{"text", text}}), fallback);
        EXPECT_EQ(NativeOCR::json({{text, "key"}}), fallback);
        EXPECT_EQ(NativeOCR::json({{"lines", json::array({json::object({{"words", json::array({text})}})})}}), fallback);
    }
    // JSON has no NaN or infinity; writing them as null would change the value.
    for (double odd : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(NativeOCR::json({{"x0", odd}}), fallback);
        EXPECT_EQ(NativeOCR::json({{"lines", json::array({json::object({{"x0", 1.0}, {"y0", odd}})})}}), fallback);
    }
}

json sampleDocument()
{
    return {
        {"text", "Ligne 1\nLigne 2 \u00e9\u2028 \U0001F600"},
        {"path", "/home/user/Documents/a \"b\".pdf"},
        {"controls", "\0\x01\x1F\x7F\b\f\n\r\t"s},
        {"", "empty key"},
        {"numbers",
         json::array({0.0, -0.0, 0.1, -1.5, 1e-300, 5e-324, 1.7976931348623157e308, 123456789.123456789, 1e21,
                      1.0 / 3.0, 42, -7})},
        {"lines", json::array({json::object({{"text", "</script>"}, {"x0", 12.5}, {"words", json::array()}}),
                               json::object()})},
    };
}

TEST(NativeOCRJson, ParsesBackToTheSameDictionary)
{
    std::mt19937 random(11);
    std::vector<json> documents = {sampleDocument()};
    for (int i = 0; i < 500; ++i) {
        json document = json::object();
        for (int k = 0; k < 4; ++k) document[randomText(random)] = randomText(random);
        double number;
        const std::uint64_t bits = (std::uint64_t(random()) << 32) | random();
        std::memcpy(&number, &bits, sizeof number);
        if (std::isfinite(number)) document["n"] = number;
        documents.push_back(std::move(document));
    }
    for (const json& document : documents) {
        const std::string text = NativeOCR::json(document);
        ASSERT_EQ(json::parse(text), document) << text;
        ASSERT_FALSE(holdsRawControlCharacter(text)) << hostileName(text);
        ASSERT_FALSE(holdsBareSolidus(text)) << text;
        const std::string syntax = outsideStrings(text);
        ASSERT_EQ(syntax.find_first_of(" \n\r\t"), std::string::npos) << text;
    }
}

TEST(NativeOCRJson, NumbersKeepTheirExactValue)
{
    std::mt19937_64 random(13);
    for (int i = 0; i < 2000; ++i) {
        double number;
        const std::uint64_t bits = random();
        std::memcpy(&number, &bits, sizeof number);
        if (!std::isfinite(number)) continue;
        const json parsed = json::parse(NativeOCR::json({{"v", number}}));
        const double back = parsed["v"].get<double>();
        ASSERT_EQ(std::memcmp(&back, &number, sizeof number), 0) << number;
    }
}

TEST(NativeOCRJson, ThePageReadsTheDocumentBackThroughLit)
{
    // What the page does with a recognition reply: evaluate the literal, JSON.parse it.
    JsEngine engine;
    const json document = sampleDocument();
    const auto roundTrip = engine.evaluateString("JSON.stringify(JSON.parse(" + NativeOCR::lit(NativeOCR::json(document)) + "))");
    ASSERT_TRUE(roundTrip) << engine.lastError();
    EXPECT_EQ(json::parse(*roundTrip), document);
}

}  // namespace
}  // namespace pw

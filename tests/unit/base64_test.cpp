#include <glib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/base64.h"

namespace pw {
namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> randomBytes(std::mt19937& random, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// GLib's encoder is a sound reference for writing; only its decoder is lenient.
std::string referenceEncode(const std::vector<std::uint8_t>& bytes)
{
    gchar* encoded = g_base64_encode(bytes.data(), bytes.size());
    std::string text(encoded);
    g_free(encoded);
    return text;
}

TEST(Base64, Rfc4648Vectors)
{
    const std::pair<std::string_view, std::string_view> vectors[] = {
        {"", ""},         {"f", "Zg=="},        {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(base64::encode(bytesOf(plain)), encoded);
        EXPECT_EQ(base64::decode(encoded), bytesOf(plain)) << encoded;
    }
}

TEST(Base64, RejectsMalformedText)
{
    const std::string_view malformed[] = {
        "Zm9v Zm9v",                     // space
        " Zm9",                          // leading space
        "Zm9v\n",                        // trailing line break
        "Zm9v\r\nZm9v",                  // line break inside
        "Zm9v\tZm9",                     // tab
        "Zm=v",                          // "=" in the middle of a group
        "Zg==Zm9v",                      // padding followed by more groups
        "Z===",                          // three padding characters
        "A===",
        "====",
        "Zm9v====",                      // a whole group of padding
        "Zm9vY",                         // length 5
        "Zg=",                           // length 3
        "Z",
        "QR==",                          // non-zero padding bits (R = 010001)
        "Zm9=",                          // non-zero padding bits (9 = 111101)
        "Zh==",
        "data:application/pdf;base64,Zm9v",
        "Zm-_",                          // URL-safe alphabet
        "Zm9v\xc3\xa9Zm",                // non-ASCII bytes
        "Zm\xffv",
        std::string_view("Zm9v\0\0\0\0", 8),  // NUL
        std::string_view("\0\0\0\0", 4),
    };
    for (std::string_view text : malformed) EXPECT_FALSE(base64::decode(text)) << testing::PrintToString(text);
}

TEST(Base64, RejectsAnyForeignByteAtAnyPlace)
{
    // A text long enough for the wide path, then its scalar tail and last group.
    std::mt19937 random(7);
    const std::string valid = base64::encode(randomBytes(random, 150));
    ASSERT_TRUE(base64::decode(valid));
    for (std::size_t place = 0; place < valid.size(); ++place) {
        for (int c = 0; c < 256; ++c) {
            const bool inAlphabet = c != 0 && alphabet.find(static_cast<char>(c)) != std::string_view::npos;
            if (inAlphabet) continue;
            std::string text = valid;
            text[place] = static_cast<char>(c);
            ASSERT_FALSE(base64::decode(text)) << "byte " << c << " at " << place;
        }
    }
}

TEST(Base64, RoundTripsEveryLengthUpTo4099)
{
    std::mt19937 random(42);
    std::vector<char> buffer;
    for (std::size_t size = 0; size <= 4099; ++size) {
        const auto bytes = randomBytes(random, size);
        const std::string text = base64::encode(bytes);
        ASSERT_EQ(text, referenceEncode(bytes)) << size;
        ASSERT_EQ(text.size(), base64::encodedLength(size));

        // encodeInto writes exactly encodedLength characters and nothing past them.
        buffer.assign(text.size() + 40, '#');
        base64::encodeInto(bytes.data(), bytes.size(), buffer.data());
        ASSERT_EQ(std::string_view(buffer.data(), text.size()), text);
        ASSERT_EQ(std::string(buffer.begin() + static_cast<long>(text.size()), buffer.end()), std::string(40, '#'));

        ASSERT_EQ(base64::decode(text), bytes) << size;
    }
}

TEST(Base64, RoundTripsLargeBuffersAcrossTheirInternalSteps)
{
    std::mt19937 random(3);
    // Around the codec's 24 KB output steps, and large enough for huge pages.
    for (std::size_t size : {24575u, 24576u, 24577u, 49151u, 49153u, (1u << 20) + 2u, (12u << 20) + 1u}) {
        const auto bytes = randomBytes(random, size);
        const std::string text = base64::encode(bytes);
        ASSERT_EQ(text, referenceEncode(bytes)) << size;
        ASSERT_EQ(base64::decode(text), bytes) << size;
    }
}

TEST(Base64, RejectsAForeignByteDeepInsideALargeText)
{
    std::mt19937 random(5);
    const std::string valid = base64::encode(randomBytes(random, 9u << 20));
    for (std::size_t place : {std::size_t{0}, std::size_t{32768}, valid.size() / 2, valid.size() - 5}) {
        for (char c : {'\n', '=', '\0', '.'}) {
            std::string text = valid;
            text[place] = c;
            EXPECT_FALSE(base64::decode(text)) << "at " << place;
        }
    }
}

}  // namespace
}  // namespace pw

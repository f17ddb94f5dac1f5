// The strict Base64 codec against a plain reference: encoding round-trips, and the
// decoder accepts exactly the canonical texts (those that encode() could have written).
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/base64.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

int sextet(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// One character at a time, straight from RFC 4648 with every leniency refused.
std::optional<Bytes> referenceDecode(std::string_view text)
{
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    Bytes out;
    std::uint32_t bits = 0;
    int held = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int v = sextet(text[i]);
        if (v < 0) return std::nullopt;
        bits = bits << 6 | static_cast<std::uint32_t>(v);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.push_back(static_cast<std::uint8_t>(bits >> held));
        }
    }
    // What is left over is padding and must be zero bits.
    if (held > 0 && (bits & ((1u << held) - 1)) != 0) return std::nullopt;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    namespace base64 = pw::base64;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // The bytes as a text to decode.
    const auto decoded = base64::decode(text);
    const auto expected = referenceDecode(text);
    FUZZ_CHECK(decoded.has_value() == expected.has_value());
    if (decoded) {
        FUZZ_CHECK(*decoded == *expected);
        FUZZ_CHECK(base64::encode(*decoded) == text);
    }

    // The bytes as data to encode, here and into a larger buffer at an odd offset.
    const std::string encoded = base64::encode(data, size);
    FUZZ_CHECK(encoded.size() == base64::encodedLength(size));
    const auto back = base64::decode(encoded);
    FUZZ_CHECK(back && back->size() == size && (size == 0 || std::memcmp(back->data(), data, size) == 0));
    std::string framed(encoded.size() + 3, '#');
    base64::encodeInto(data, size, framed.data() + 1);
    FUZZ_CHECK(framed.substr(1, encoded.size()) == encoded);
    FUZZ_CHECK(framed[0] == '#' && framed.substr(encoded.size() + 1) == "##");
    return 0;
}

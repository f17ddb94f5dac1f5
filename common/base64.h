#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pw::base64 {

// Standard alphabet (RFC 4648), "=" padding, no line breaks.
std::string encode(const void* data, std::size_t size);
inline std::string encode(const std::vector<std::uint8_t>& bytes) { return encode(bytes.data(), bytes.size()); }

// Number of characters encode() writes for `size` bytes.
constexpr std::size_t encodedLength(std::size_t size) { return (size + 2) / 3 * 4; }

// Encodes into `out`, which must hold encodedLength(size) characters; lets a caller
// build a larger text (a script) in one allocation.
void encodeInto(const void* data, std::size_t size, char* out);

// Strict decoding: fails on any character outside the alphabet (whitespace included),
// on a length that is not a multiple of 4, on "=" anywhere but the last one or two
// places, and on padding bits that are not zero.
std::optional<std::vector<std::uint8_t>> decode(std::string_view text);

}  // namespace pw::base64

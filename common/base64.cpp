#include "common/base64.h"

#include <sys/mman.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace pw::base64 {
namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr bool little = std::endian::native == std::endian::little;

// Two output characters for every 12-bit value, in memory order, so three input
// bytes take two lookups.
struct PairTable {
    std::array<std::uint16_t, 4096> pairs{};
    constexpr PairTable()
    {
        for (unsigned i = 0; i < 4096; ++i) {
            const unsigned first = static_cast<unsigned char>(alphabet[i >> 6]);
            const unsigned second = static_cast<unsigned char>(alphabet[i & 63]);
            pairs[i] = static_cast<std::uint16_t>(little ? first | second << 8 : first << 8 | second);
        }
    }
};
constexpr PairTable pairTable;

// A character's 6-bit value already shifted to its place in a 24-bit group, one table
// per position in the group. Characters outside the alphabet carry a bit above the
// group, so OR-ing the lookups of the whole text and testing that bit once at the end
// finds any of them without a branch per character.
constexpr std::uint32_t invalid = 0x8000'0000u;

struct DecodeTables {
    std::array<std::array<std::uint32_t, 256>, 4> at{};
    constexpr DecodeTables()
    {
        for (auto& table : at) table.fill(invalid);
        for (std::uint32_t v = 0; v < 64; ++v) {
            const auto c = static_cast<unsigned char>(alphabet[v]);
            for (unsigned position = 0; position < 4; ++position) at[position][c] = v << (18 - 6 * position);
        }
    }
};
constexpr DecodeTables decodeTables;

inline std::uint64_t load64(const void* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void store64(void* p, std::uint64_t v) { std::memcpy(p, &v, 8); }

inline std::uint64_t bigEndian(std::uint64_t v) { return little ? __builtin_bswap64(v) : v; }

// The four characters of a 24-bit group as they lie in memory.
inline std::uint32_t encodeGroup(std::uint32_t group)
{
    const std::uint32_t first = pairTable.pairs[group >> 12];
    const std::uint32_t second = pairTable.pairs[group & 0xFFF];
    return little ? first | second << 16 : first << 16 | second;
}

inline std::uint32_t decodeGroup(const unsigned char* in)
{
    const auto& t = decodeTables.at;
    return t[0][in[0]] | t[1][in[1]] | t[2][in[2]] | t[3][in[3]];
}

inline void putGroup(std::uint32_t group, std::uint8_t* out)
{
    out[0] = static_cast<std::uint8_t>(group >> 16);
    out[1] = static_cast<std::uint8_t>(group >> 8);
    out[2] = static_cast<std::uint8_t>(group);
}

// Large buffers are written once from start to end; asking for huge pages turns tens
// of thousands of page faults into a few dozen. Only a hint: failure changes nothing.
void adviseHugePages(void* data, std::size_t size)
{
    constexpr std::uintptr_t huge = 2u << 20;
    if (size < 4 * huge) return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + huge - 1) & ~(huge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(huge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// Grows `buffer` to `total` elements a cache-sized step at a time, handing each new
// step to `fill` right after it was zeroed: the zeroing then costs a pass over cache,
// not a second pass over memory.
template <class Buffer, class Fill>
void growAndFill(Buffer& buffer, std::size_t total, std::size_t step, Fill fill)
{
    buffer.reserve(total);
    adviseHugePages(buffer.data(), total);
    for (std::size_t done = 0; done < total; done += step) {
        const std::size_t n = std::min(step, total - done);
        buffer.resize(done + n);
        fill(buffer.data() + done, done, n);
    }
}

// Encodes whole groups: `size` is a multiple of 3.
void encodeGroupsScalar(const unsigned char* in, std::size_t size, char* out)
{
    std::size_t i = 0;
    // Two groups per step from one 8-byte load; the load reaches 2 bytes past the
    // groups it encodes, so stop while 8 bytes are still there.
    for (; i + 8 <= size; i += 6, out += 8) {
        const std::uint64_t v = bigEndian(load64(in + i));
        const std::uint64_t first = encodeGroup(static_cast<std::uint32_t>(v >> 40));
        const std::uint64_t second = encodeGroup(static_cast<std::uint32_t>(v >> 16) & 0xFFFFFF);
        store64(out, little ? first | second << 32 : first << 32 | second);
    }
    for (; i < size; i += 3, out += 4) {
        const std::uint32_t chars = encodeGroup(std::uint32_t(in[i]) << 16 | std::uint32_t(in[i + 1]) << 8 | in[i + 2]);
        std::memcpy(out, &chars, 4);
    }
}

// Decodes `groups` complete groups without padding into 3 * groups bytes; returns the
// OR of their lookups.
std::uint32_t decodeGroupsScalar(const unsigned char* in, std::size_t groups, std::uint8_t* out)
{
    std::uint32_t flags = 0;
    std::size_t g = 0;
    // Two groups per step, stored as one 8-byte write of which 6 bytes count; the two
    // extra bytes are overwritten by the next step, so keep them inside the output.
    for (; g + 3 <= groups; g += 2, in += 8, out += 6) {
        const std::uint32_t first = decodeGroup(in);
        const std::uint32_t second = decodeGroup(in + 4);
        flags |= first | second;
        store64(out, bigEndian((std::uint64_t(first) << 24 | (second & 0xFFFFFF)) << 16));
    }
    for (; g < groups; ++g, in += 4, out += 3) {
        const std::uint32_t group = decodeGroup(in);
        flags |= group;
        putGroup(group, out);
    }
    return flags;
}

#if defined(__x86_64__)
// 24 bytes to 32 characters and back per step with AVX2, where the processor has it;
// the byte arithmetic gives exactly what the scalar tables give.

__attribute__((target("avx2"))) void encodeGroupsAvx2(const unsigned char* in, std::size_t size, char* out)
{
    // Each 128-bit lane takes 12 input bytes, spread so that every 32-bit word holds
    // one group as b a c b; two multiplies then move the four 6-bit fields into place.
    const __m256i spread = _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,  //
                                            1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
    // Offset from a 6-bit value to its character, chosen by the value's range.
    const __m256i offsets = _mm256_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                             '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0,
                                             'a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                             '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    std::size_t i = 0;
    for (; i + 28 <= size; i += 24, out += 32) {
        const __m256i raw = _mm256_setr_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)),
                                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 12)));
        const __m256i words = _mm256_shuffle_epi8(raw, spread);
        const __m256i firstThird = _mm256_mulhi_epu16(_mm256_and_si256(words, _mm256_set1_epi32(0x0FC0FC00)),
                                                      _mm256_set1_epi32(0x04000040));
        const __m256i secondFourth = _mm256_mullo_epi16(_mm256_and_si256(words, _mm256_set1_epi32(0x003F03F0)),
                                                        _mm256_set1_epi32(0x01000010));
        const __m256i values = _mm256_or_si256(firstThird, secondFourth);
        // 0 for A-Z (then 13 below) and a-z, 1..10 for digits, 11 for "+", 12 for "/".
        __m256i range = _mm256_subs_epu8(values, _mm256_set1_epi8(51));
        const __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), values);
        range = _mm256_or_si256(range, _mm256_and_si256(upper, _mm256_set1_epi8(13)));
        const __m256i chars = _mm256_add_epi8(values, _mm256_shuffle_epi8(offsets, range));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), chars);
    }
    encodeGroupsScalar(in + i, size - i, out);
}

__attribute__((target("avx2"))) std::uint32_t decodeGroupsAvx2(const unsigned char* in, std::size_t groups,
                                                               std::uint8_t* out)
{
    // A character is valid when its low-nibble class and high-nibble class share no
    // bit: the high nibble picks one bit (0x10 for nibbles that start no valid
    // character), the low nibble's entry holds the bits of the high nibbles that do
    // not form a valid character with it.
    const __m256i lowClasses = _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13,
                                                0x1A, 0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11,
                                                0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i highClasses = _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10,
                                                 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08,
                                                 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    // Offset from a character to its value by high nibble; "/" shares its nibble with
    // "+" and is moved one entry down.
    const __m256i offsets = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                             0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i gather = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,  //
                                            2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    __m256i bad = _mm256_setzero_si256();
    std::size_t g = 0;
    // The 32-byte store writes 8 bytes past the 24 that count: keep them inside.
    for (; g + 11 <= groups; g += 8, in += 32, out += 24) {
        const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        const __m256i high = _mm256_and_si256(_mm256_srli_epi32(chars, 4), nibble);
        const __m256i low = _mm256_and_si256(chars, nibble);
        bad = _mm256_or_si256(bad, _mm256_and_si256(_mm256_shuffle_epi8(lowClasses, low),
                                                     _mm256_shuffle_epi8(highClasses, high)));
        const __m256i slash = _mm256_cmpeq_epi8(chars, _mm256_set1_epi8('/'));
        const __m256i values = _mm256_add_epi8(chars, _mm256_shuffle_epi8(offsets, _mm256_add_epi8(high, slash)));
        // Pairs of 6-bit values to 12 bits, pairs of those to 24 bits per word.
        const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
        const __m256i groupsOf24 = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
        const __m256i packed = _mm256_shuffle_epi8(groupsOf24, gather);
        const __m256i joined = _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), joined);
    }
    const std::uint32_t flags = _mm256_testz_si256(bad, bad) ? 0 : invalid;
    return flags | decodeGroupsScalar(in, groups - g, out);
}

bool hasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();  // in case the first call comes from a static initializer
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

void encodeGroups(const unsigned char* in, std::size_t size, char* out)
{
    hasAvx2() ? encodeGroupsAvx2(in, size, out) : encodeGroupsScalar(in, size, out);
}

std::uint32_t decodeGroups(const unsigned char* in, std::size_t groups, std::uint8_t* out)
{
    return hasAvx2() ? decodeGroupsAvx2(in, groups, out) : decodeGroupsScalar(in, groups, out);
}
#else
void encodeGroups(const unsigned char* in, std::size_t size, char* out) { encodeGroupsScalar(in, size, out); }

std::uint32_t decodeGroups(const unsigned char* in, std::size_t groups, std::uint8_t* out)
{
    return decodeGroupsScalar(in, groups, out);
}
#endif

constexpr std::size_t stepGroups = 8192;  // 32 KB of text, 24 KB of bytes

}  // namespace

void encodeInto(const void* data, std::size_t size, char* out)
{
    const auto* in = static_cast<const unsigned char*>(data);
    const std::size_t whole = size - size % 3;
    encodeGroups(in, whole, out);
    out += whole / 3 * 4;

    const std::size_t rest = size - whole;
    if (rest == 0) return;
    const std::uint32_t group = std::uint32_t(in[whole]) << 16 | (rest == 2 ? std::uint32_t(in[whole + 1]) << 8 : 0);
    out[0] = alphabet[group >> 18];
    out[1] = alphabet[(group >> 12) & 63];
    out[2] = rest == 2 ? alphabet[(group >> 6) & 63] : '=';
    out[3] = '=';
}

std::string encode(const void* data, std::size_t size)
{
    const auto* in = static_cast<const unsigned char*>(data);
    std::string text;
    growAndFill(text, encodedLength(size), 4 * stepGroups, [&](char* out, std::size_t done, std::size_t n) {
        const std::size_t from = done / 4 * 3;
        encodeInto(in + from, std::min(n / 4 * 3, size - from), out);
    });
    return text;
}

std::optional<std::vector<std::uint8_t>> decode(std::string_view text)
{
    if (text.size() % 4 != 0) return std::nullopt;
    if (text.empty()) return std::vector<std::uint8_t>{};

    // Only the last group may hold "=", and only in its last one or two places; an
    // "=" anywhere else is looked up like any character outside the alphabet.
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t groups = text.size() / 4;
    const unsigned char* last = in + 4 * (groups - 1);
    const std::size_t padding = last[3] != '=' ? 0 : last[2] != '=' ? 1 : 2;

    std::vector<std::uint8_t> bytes;
    bytes.reserve(3 * groups - padding);  // room for the last group too
    std::uint32_t flags = 0;
    growAndFill(bytes, 3 * (groups - 1), 3 * stepGroups, [&](std::uint8_t* out, std::size_t done, std::size_t n) {
        flags |= decodeGroups(in + done / 3 * 4, n / 3, out);
    });

    const unsigned char tail[4] = {last[0], last[1], padding == 2 ? (unsigned char)'A' : last[2],
                                   padding >= 1 ? (unsigned char)'A' : last[3]};
    const std::uint32_t group = decodeGroup(tail);
    // Bits below the last byte must be zero, or two texts would decode to the same bytes.
    const std::uint32_t unused = padding == 2 ? 0xFFFF : padding == 1 ? 0xFF : 0;
    if (((flags | group) & invalid) || (group & unused)) return std::nullopt;

    std::uint8_t full[3];
    putGroup(group, full);
    bytes.insert(bytes.end(), full, full + 3 - padding);
    return bytes;
}

}  // namespace pw::base64

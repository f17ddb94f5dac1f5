#include "tests/fuzz/input_mutator.h"

#include <algorithm>
#include <fstream>

namespace pw::fuzzing {

namespace {

// Bytes that tend to sit on a boundary of some parser.
constexpr std::uint8_t special[] = {0, 1, 0x7f, 0x80, 0xff, '\n', ' ', '/', '.', '%', '=', ':', '\\', '"', '{', '['};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string dictionaryValue(const std::string& quoted)
{
    std::string value;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == '\\' && i + 1 < quoted.size()) {
            if (quoted[i + 1] == 'x' && i + 3 < quoted.size() && hexDigit(quoted[i + 2]) >= 0 &&
                hexDigit(quoted[i + 3]) >= 0) {
                value += static_cast<char>(hexDigit(quoted[i + 2]) * 16 + hexDigit(quoted[i + 3]));
                i += 3;
                continue;
            }
            value += quoted[++i];
            continue;
        }
        value += quoted[i];
    }
    return value;
}

}  // namespace

InputMutator::InputMutator(std::uint64_t seed, std::size_t maxLength) : random_(seed), maxLength_(maxLength) {}

void InputMutator::addTokens(std::vector<std::string> tokens)
{
    tokens_.insert(tokens_.end(), std::make_move_iterator(tokens.begin()), std::make_move_iterator(tokens.end()));
}

void InputMutator::addToPool(Input input)
{
    if (input.size() > maxLength_) input.resize(maxLength_);
    // A bounded pool: past its size, a newcomer takes a random place.
    constexpr std::size_t poolLimit = 512;
    if (pool_.size() < poolLimit) pool_.push_back(std::move(input));
    else pool_[below(poolLimit)] = std::move(input);
}

std::size_t InputMutator::below(std::size_t bound)
{
    return bound == 0 ? 0 : static_cast<std::size_t>(random_() % bound);
}

Input InputMutator::next()
{
    Input input;
    if (pool_.empty() || below(16) == 0) {
        input.resize(below(std::min<std::size_t>(maxLength_, 256) + 1));
        for (auto& byte : input) byte = static_cast<std::uint8_t>(random_());
    } else {
        input = pool_[below(pool_.size())];
    }
    const std::size_t edits = 1 + below(6);
    for (std::size_t i = 0; i < edits; ++i) mutate(input);
    if (input.size() > maxLength_) input.resize(maxLength_);
    // Some offspring breed further, so edits can pile up over a run.
    if (below(8) == 0) addToPool(input);
    return input;
}

void InputMutator::mutate(Input& input)
{
    const std::size_t at = below(input.size() + 1);
    switch (below(8)) {
    case 0:  // flip one bit
        if (!input.empty()) input[below(input.size())] ^= static_cast<std::uint8_t>(1u << below(8));
        break;
    case 1:  // a boundary byte in place of one
        if (!input.empty()) input[below(input.size())] = special[below(std::size(special))];
        break;
    case 2: {  // a few random bytes inserted
        const std::size_t count = 1 + below(8);
        for (std::size_t i = 0; i < count; ++i)
            input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::uint8_t>(random_()));
        break;
    }
    case 3: {  // a stretch removed
        const std::size_t count = std::min(input.size() - std::min(at, input.size()), 1 + below(16));
        input.erase(input.begin() + static_cast<std::ptrdiff_t>(at),
                    input.begin() + static_cast<std::ptrdiff_t>(at + count));
        break;
    }
    case 4: {  // a stretch copied elsewhere
        if (input.empty()) break;
        const std::size_t from = below(input.size());
        const std::size_t count = 1 + below(std::min<std::size_t>(input.size() - from, 32));
        const Input piece(input.begin() + static_cast<std::ptrdiff_t>(from),
                          input.begin() + static_cast<std::ptrdiff_t>(from + count));
        input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), piece.begin(), piece.end());
        break;
    }
    case 5: {  // the tail of another pooled input
        if (pool_.empty()) break;
        const Input& other = pool_[below(pool_.size())];
        const std::size_t from = below(other.size() + 1);
        input.resize(at);
        input.insert(input.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
        break;
    }
    default:  // a dictionary token, twice as likely as the rest
        if (tokens_.empty()) break;
        const std::string& token = tokens_[below(tokens_.size())];
        input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), token.begin(), token.end());
        break;
    }
}

std::vector<std::string> readDictionary(const std::string& file)
{
    std::vector<std::string> tokens;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto open = line.find('"');
        const auto close = line.rfind('"');
        if (line.starts_with('#') || open == std::string::npos || close <= open) continue;
        tokens.push_back(dictionaryValue(line.substr(open + 1, close - open - 1)));
    }
    return tokens;
}

}  // namespace pw::fuzzing

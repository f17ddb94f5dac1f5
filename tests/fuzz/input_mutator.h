#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace pw::fuzzing {

using Input = std::vector<std::uint8_t>;

// Makes new inputs from a pool of known ones, without coverage feedback: the replay
// driver's stand-in for libFuzzer in builds without it. Seeded, so a run can be
// repeated exactly.
class InputMutator {
public:
    InputMutator(std::uint64_t seed, std::size_t maxLength);

    // Tokens worth inserting whole (a libFuzzer dictionary's entries).
    void addTokens(std::vector<std::string> tokens);
    void addToPool(Input input);

    // A new input: a few random edits of a pooled one, now and then of random bytes.
    Input next();

private:
    void mutate(Input& input);
    std::size_t below(std::size_t bound);

    std::mt19937_64 random_;
    std::size_t maxLength_;
    std::vector<Input> pool_;
    std::vector<std::string> tokens_;
};

// Reads a libFuzzer dictionary: one entry per line, name="value" or "value", with
// \\, \" and \xHH escapes; "#" starts a comment line.
std::vector<std::string> readDictionary(const std::string& file);

}  // namespace pw::fuzzing

// Runs a fuzz target without libFuzzer, for builds made with any compiler: every seed
// input once, then inputs made from them by InputMutator, until the runs or the time
// given are spent. A broken property or a crash leaves the input in a file.
//
//   <target> [--seconds=N] [--runs=N] [--seed=N] [--max-len=N] [--dict=FILE] [DIR|FILE ...]
//
// Directories are seed corpora; files are inputs replayed once each (a finding of
// libFuzzer or of this driver). The seed is also read from PAGEWICK_FUZZ_SEED.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/input_mutator.h"

namespace {

using pw::fuzzing::Input;

struct Options {
    double seconds = 10;
    unsigned long runs = 1'000'000;
    unsigned long long seed = 1;
    std::size_t maxLength = 4096;
    std::vector<std::string> dictionaries;
    std::vector<std::string> corpora;
    std::vector<std::string> inputs;
};

// The input being run, for the signal handler to save.
const Input* current = nullptr;
char findingPath[4096];

void saveFinding(int signal)
{
    if (current) {
        const int fd = ::open(findingPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            (void)!::write(fd, current->data(), current->size());
            ::close(fd);
        }
        static const char note[] = "\nfuzz: finding; the input is saved in ";
        (void)!::write(STDERR_FILENO, note, sizeof note - 1);
        (void)!::write(STDERR_FILENO, findingPath, std::strlen(findingPath));
        (void)!::write(STDERR_FILENO, "\n", 1);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void watchForFindings(const char* program)
{
    const std::string name = std::filesystem::path(program).filename().string();
    const std::string path = (std::filesystem::current_path() / ("finding-" + name)).string();
    std::snprintf(findingPath, sizeof findingPath, "%s", path.c_str());
    for (int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(signal, saveFinding);
}

Input readInput(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return Input(std::istreambuf_iterator<char>(in), {});
}

void run(const Input& input)
{
    current = &input;
    LLVMFuzzerTestOneInput(input.data(), input.size());
    current = nullptr;
}

bool option(const std::string& argument, const char* name, std::string& value)
{
    const std::string prefix = std::string("--") + name + "=";
    if (!argument.starts_with(prefix)) return false;
    value = argument.substr(prefix.size());
    return true;
}

Options parse(int argc, char** argv)
{
    Options options;
    if (const char* seed = std::getenv("PAGEWICK_FUZZ_SEED"); seed && *seed) options.seed = std::strtoull(seed, nullptr, 10);
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        std::string value;
        if (option(argument, "seconds", value)) options.seconds = std::strtod(value.c_str(), nullptr);
        else if (option(argument, "runs", value)) options.runs = std::strtoul(value.c_str(), nullptr, 10);
        else if (option(argument, "seed", value)) options.seed = std::strtoull(value.c_str(), nullptr, 10);
        else if (option(argument, "max-len", value)) options.maxLength = std::strtoul(value.c_str(), nullptr, 10);
        else if (option(argument, "dict", value)) options.dictionaries.push_back(value);
        else if (std::filesystem::is_directory(argument)) options.corpora.push_back(argument);
        else if (std::filesystem::is_regular_file(argument)) options.inputs.push_back(argument);
        else {
            std::fprintf(stderr, "fuzz: no such option, folder or file: %s\n", argument.c_str());
            std::exit(2);
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    watchForFindings(argv[0]);

    if (!options.inputs.empty()) {
        for (const auto& file : options.inputs) run(readInput(file));
        std::printf("fuzz: %zu inputs replayed, no findings\n", options.inputs.size());
        return 0;
    }

    pw::fuzzing::InputMutator mutator(options.seed, options.maxLength);
    for (const auto& dictionary : options.dictionaries) mutator.addTokens(pw::fuzzing::readDictionary(dictionary));

    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    unsigned long seeds = 0, generated = 0;
    for (const auto& corpus : options.corpora) {
        for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
            if (!entry.is_regular_file()) continue;
            Input input = readInput(entry.path());
            run(input);
            mutator.addToPool(std::move(input));
            ++seeds;
        }
    }
    while (seeds + generated < options.runs && elapsed() < options.seconds) {
        run(mutator.next());
        ++generated;
    }
    std::printf("fuzz: %lu runs (%lu seeds, %lu generated) in %.1f s with seed %llu, no findings\n", seeds + generated,
                seeds, generated, elapsed(), options.seed);
    return 0;
}

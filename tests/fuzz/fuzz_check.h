#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The entry point every target defines; libFuzzer calls it, and so does the replay
// driver of the ordinary test build.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace pw::fuzzing {

// A broken property ends the run the way a crash does, so that both libFuzzer and the
// replay driver keep the input that broke it.
[[noreturn]] inline void failed(const char* property, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, property);
    std::fflush(stderr);
    std::abort();
}

}  // namespace pw::fuzzing

#define FUZZ_CHECK(property) ((property) ? (void)0 : ::pw::fuzzing::failed(#property, __FILE__, __LINE__))

#include "platform/memory_advice.h"

#include <cstdint>

#include <sys/mman.h>

namespace pw {

namespace {

// The size of a large page on the usual four-kilobyte-page systems. Elsewhere a region
// aligned to it is still whole pages, and the advice is merely less useful.
constexpr std::uintptr_t largePage = std::uintptr_t{2} << 20;

}  // namespace

void adviseWrittenWhole(void* data, std::size_t size)
{
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + largePage - 1) & ~(largePage - 1);
    const std::uintptr_t end = (start + size) & ~(largePage - 1);
    if (end <= first) return;
    // Advice only: a kernel without transparent large pages refuses it, which changes
    // nothing.
    ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace pw

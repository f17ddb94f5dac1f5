#pragma once

#include <string>
#include <string_view>

namespace pw {

// The allocator settings of the web processes, which inherit this process's
// environment and read it when they start: call before the first web view is made,
// best while the process has one thread. A value the user set stays as it is.
//
// The C library serves a large block from its own heap rather than from a mapping of
// its own once a block of that size has been freed, and its heap seldom goes back to
// the system. A page's drawing is such a block (some 8 MB for a page at the width of
// the window), made anew for each page read: over a long document the freed drawings
// would stay in the web process. With a fixed threshold every block of 1 MiB or more
// is a mapping of its own, given back when it is freed.
void configureWebProcessMemory();

// `tunables` (the C library's colon-separated settings) with the fixed threshold
// added, or as it is when it already sets one.
std::string withFixedMmapThreshold(std::string_view tunables);

}  // namespace pw

#pragma once

#include <cstddef>

namespace pw {

// Tells the system that a large buffer, not yet written, is about to be written whole
// and is best backed by large pages. Each first write to a small page costs a fault,
// and on some virtual machines the fault costs far more than the write: the Base64 of
// a 100 MB file is 35,000 such faults. Only the large pages lying wholly inside the
// buffer are advised, and only where there are some; the contents and the allocation
// stay as they are, and a system that cannot follow the advice ignores it.
void adviseWrittenWhole(void* data, std::size_t size);

}  // namespace pw

#include "platform/tesseract/openmp_cap.h"

#include <dlfcn.h>

namespace pw::tess {
namespace {

using SetInt = void (*)(int);

// The runtime is the one Tesseract was linked with (libgomp on Debian); looking the
// calls up at run time reaches that very runtime without linking one ourselves.
SetInt lookUp(const char* name)
{
    return reinterpret_cast<SetInt>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

void capOpenMPOnThisThread()
{
    // OMP_THREAD_LIMIT is read once when the runtime loads, so setting it now is too
    // late. The active-levels limit is a per-thread setting in libgomp and, at zero,
    // makes every region inactive: it overrides num_threads clauses, which
    // omp_set_num_threads does not.
    static const SetInt setMaxActiveLevels = lookUp("omp_set_max_active_levels");
    static const SetInt setNumThreads = lookUp("omp_set_num_threads");
    if (setMaxActiveLevels) setMaxActiveLevels(0);
    if (setNumThreads) setNumThreads(1);
}

}  // namespace pw::tess

#include "platform/web_process_memory.h"

#include <cstdlib>

namespace pw {

namespace {

constexpr std::string_view mmapThreshold = "glibc.malloc.mmap_threshold";

bool setsMmapThreshold(std::string_view tunables)
{
    while (!tunables.empty()) {
        const auto end = tunables.find(':');
        const std::string_view entry = tunables.substr(0, end);
        if (entry.substr(0, entry.find('=')) == mmapThreshold) return true;
        if (end == std::string_view::npos) break;
        tunables.remove_prefix(end + 1);
    }
    return false;
}

}  // namespace

std::string withFixedMmapThreshold(std::string_view tunables)
{
    if (setsMmapThreshold(tunables)) return std::string(tunables);
    std::string out(tunables);
    if (!out.empty()) out += ':';
    return out.append(mmapThreshold).append("=1048576");
}

void configureWebProcessMemory()
{
    const char* current = std::getenv("GLIBC_TUNABLES");
    ::setenv("GLIBC_TUNABLES", withFixedMmapThreshold(current ? current : "").c_str(), /*overwrite=*/1);
}

}  // namespace pw

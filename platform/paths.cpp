#include "platform/paths.h"

#include <climits>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_io.h"

namespace pw {

std::string executableDirectory()
{
    std::string path(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0) return absolutePath(".");
    path.resize(static_cast<std::size_t>(n));
    return deletingLastPathComponent(path);
}

std::string webRootBeside(const std::string& executableDir)
{
    const std::string beside = executableDir + "/web";
    struct stat st {};
    if (::stat(beside.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return beside;
    return executableDir + "/../share/pagewick/web";
}

}  // namespace pw

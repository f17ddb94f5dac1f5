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

namespace {

// `folder` beside the executable when it is there (a build tree), else `installed`.
std::string besideOrInstalled(const std::string& executableDir, const char* folder, const char* installed)
{
    const std::string beside = executableDir + "/" + folder;
    struct stat st {};
    if (::stat(beside.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return beside;
    return executableDir + "/" + installed;
}

}  // namespace

std::string webRootBeside(const std::string& executableDir)
{
    return besideOrInstalled(executableDir, "web", "../share/pagewick/web");
}

std::string webProcessExtensionsBeside(const std::string& executableDir)
{
    return besideOrInstalled(executableDir, "web-process", "../lib/pagewick/web-process");
}

}  // namespace pw

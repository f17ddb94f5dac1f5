#include "platform/graphics_acceleration.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace pw {

namespace {

// Kernel drivers that expose a render node without a GPU behind it: rendering through
// them ends in a software rasteriser anyway.
constexpr std::array<std::string_view, 3> driversWithoutGpu = {"vgem", "vkms", "simpledrm"};

bool environmentAsksForSoftware()
{
    const char* always = std::getenv("LIBGL_ALWAYS_SOFTWARE");
    if (always && *always && std::string_view(always) != "0" && std::string_view(always) != "false") return true;
    const char* gallium = std::getenv("GALLIUM_DRIVER");
    return gallium && (std::string_view(gallium) == "llvmpipe" || std::string_view(gallium) == "softpipe");
}

std::string driverOf(const fs::path& sysFolder, const std::string& node)
{
    std::error_code error;
    const fs::path driver = fs::read_symlink(sysFolder / node / "device" / "driver", error);
    return error ? std::string() : driver.filename().string();
}

}  // namespace

GraphicsFacts graphicsFacts(const std::string& devFolder, const std::string& sysFolder)
{
    GraphicsFacts facts;
    facts.softwareRequested = environmentAsksForSoftware();
    std::error_code error;
    for (fs::directory_iterator it(devFolder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("renderD", 0) == 0) facts.renderNodes.push_back({name, driverOf(sysFolder, name)});
    }
    return facts;
}

bool acceleratedCompositingPays(const GraphicsFacts& facts)
{
    if (facts.softwareRequested) return false;
    return std::any_of(facts.renderNodes.begin(), facts.renderNodes.end(), [](const auto& node) {
        return std::find(driversWithoutGpu.begin(), driversWithoutGpu.end(), node.driver) == driversWithoutGpu.end();
    });
}

void configureWebPresentation(const GraphicsFacts& facts)
{
    if (!acceleratedCompositingPays(facts)) ::setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", /*overwrite=*/0);
}

}  // namespace pw

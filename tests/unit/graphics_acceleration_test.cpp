#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/graphics_acceleration.h"
#include "tests/fakes/temp_dir.h"

namespace pw {
namespace {

using Node = GraphicsFacts::RenderNode;

TEST(GraphicsAcceleration, OnlyARealDeviceWithoutASoftwareRequestPays)
{
    EXPECT_FALSE(acceleratedCompositingPays({}));
    EXPECT_TRUE(acceleratedCompositingPays({{Node{"renderD128", "amdgpu"}}, false}));
    EXPECT_TRUE(acceleratedCompositingPays({{Node{"renderD128", ""}}, false}));  // driver unknown: trust the node
    EXPECT_FALSE(acceleratedCompositingPays({{Node{"renderD128", "i915"}}, true}));
    EXPECT_FALSE(acceleratedCompositingPays({{Node{"renderD128", "vgem"}, Node{"renderD129", "vkms"}}, false}));
    EXPECT_TRUE(acceleratedCompositingPays({{Node{"renderD128", "vgem"}, Node{"renderD129", "nouveau"}}, false}));
}

TEST(GraphicsAcceleration, FactsAreReadFromTheDeviceAndDriverFolders)
{
    testing::TempDir root;
    namespace fs = std::filesystem;
    const fs::path dev = fs::path(root.path()) / "dev";
    const fs::path sys = fs::path(root.path()) / "sys";
    root.write("dev/card0", "");
    root.write("dev/renderD128", "");
    root.write("drivers/i915/.keep", "");
    fs::create_directories(sys / "renderD128" / "device");
    fs::create_symlink(fs::path(root.path()) / "drivers" / "i915", sys / "renderD128" / "device" / "driver");

    ::setenv("LIBGL_ALWAYS_SOFTWARE", "0", 1);
    ::unsetenv("GALLIUM_DRIVER");
    GraphicsFacts facts = graphicsFacts(dev.string(), sys.string());
    ASSERT_EQ(facts.renderNodes.size(), 1u);  // the card node is not a render node
    EXPECT_EQ(facts.renderNodes[0].name, "renderD128");
    EXPECT_EQ(facts.renderNodes[0].driver, "i915");
    EXPECT_FALSE(facts.softwareRequested);

    ::setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    EXPECT_TRUE(graphicsFacts(dev.string(), sys.string()).softwareRequested);
    ::unsetenv("GALLIUM_DRIVER");
    ::setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    EXPECT_TRUE(graphicsFacts(dev.string(), sys.string()).softwareRequested);
    ::unsetenv("LIBGL_ALWAYS_SOFTWARE");

    EXPECT_TRUE(graphicsFacts((fs::path(root.path()) / "missing").string(), sys.string()).renderNodes.empty());
}

// Frames go through shared memory only where compositing does not pay; a user's
// choice is kept.
TEST(GraphicsAcceleration, WithoutAGpuFramesGoThroughSharedMemoryUnlessTheUserChose)
{
    constexpr const char* variable = "WEBKIT_DISABLE_DMABUF_RENDERER";
    const auto value = [&] { return std::string(std::getenv(variable) ? std::getenv(variable) : "unset"); };
    ::unsetenv(variable);
    configureWebPresentation({{Node{"renderD128", "amdgpu"}}, false});
    EXPECT_EQ(value(), "unset");
    configureWebPresentation({{Node{"renderD128", "vgem"}}, false});
    EXPECT_EQ(value(), "1");
    ::setenv(variable, "0", 1);
    configureWebPresentation({});
    EXPECT_EQ(value(), "0");
    ::unsetenv(variable);
}

}  // namespace
}  // namespace pw

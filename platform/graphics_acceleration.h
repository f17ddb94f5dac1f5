#pragma once

#include <string>
#include <vector>

namespace pw {

// What the machine offers for drawing with a GPU, as far as a process can tell
// without starting a renderer: the DRM render nodes and the kernel driver behind
// each, and whether the user asked the GL stack for software rendering.
struct GraphicsFacts {
    struct RenderNode {
        std::string name;    // "renderD128"
        std::string driver;  // the kernel driver's name, "" when unknown
    };
    std::vector<RenderNode> renderNodes;
    bool softwareRequested = false;
};

// Reads the facts: render nodes under devFolder ("/dev/dri"), their drivers from
// sysFolder ("/sys/class/drm"), the software request from the environment.
GraphicsFacts graphicsFacts(const std::string& devFolder = "/dev/dri",
                            const std::string& sysFolder = "/sys/class/drm");

// Whether accelerated compositing pays for itself. Without a GPU the web view would
// composite on a software GL implementation, several times slower than drawing
// without compositing: only a render node of a real device is worth it.
bool acceleratedCompositingPays(const GraphicsFacts& facts);

// How the web view brings its drawing to the window, for this process and the web
// processes started from it. The engine reads this from the environment once, when
// its first view starts: call it before that, best while the process has one thread.
// Where compositing does not pay, the engine would still hand every frame over as a
// GPU buffer and show it through GL, which means loading and running a software GL
// stack before the page can even start: frames then go through shared memory
// instead. A value the user set stays as it is.
void configureWebPresentation(const GraphicsFacts& facts);

}  // namespace pw

#include "bridge/bridge.h"

#include <mutex>
#include <utility>

#include "platform/main_queue.h"

namespace pw {

namespace {
BridgeServices& configuredServices()
{
    static BridgeServices services;
    return services;
}
}  // namespace

Bridge::Bridge(BridgeServices services) : services_(std::move(services)) {}

Bridge::~Bridge() = default;

void Bridge::configure(BridgeServices services)
{
    configuredServices() = std::move(services);
}

std::shared_ptr<Bridge> Bridge::shared()
{
    // Lives for the whole process: deferred work holds it weakly and the web view's
    // signal handlers reach it through here.
    static std::shared_ptr<Bridge> instance = std::make_shared<Bridge>(configuredServices());
    return instance;
}

}  // namespace pw

#pragma once

#include <functional>

namespace pw {

// Where slow work runs, away from the main thread.
class WorkQueue {
public:
    virtual ~WorkQueue() = default;
    // Runs work later on a worker thread, never on the calling one. Items may run side
    // by side and finish in any order. Any thread.
    virtual void async(std::function<void()> work) = 0;
};

}  // namespace pw

#pragma once

#include <functional>
#include <memory>

namespace pw {

// A one-shot timer armed on the main queue.
class Timer {
public:
    virtual ~Timer() = default;
    // Stops the timer from firing. Harmless after it fired or when called twice.
    virtual void invalidate() = 0;
};

// The main thread's serial queue.
class MainQueue {
public:
    virtual ~MainQueue() = default;
    // Runs task on the main thread after the current work has returned, in the order
    // posted. Safe to call from any thread.
    virtual void post(std::function<void()> task) = 0;
    // Runs task once on the main thread after the given delay. Main thread only.
    virtual std::shared_ptr<Timer> schedule(double seconds, std::function<void()> task) = 0;
};

}  // namespace pw

#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/work_queue.h"

namespace pw {

// A fixed set of worker threads taking items in the order queued. Threads live as long
// as the pool, so whatever a worker keeps per thread (a loaded engine) is reused.
class ThreadPool : public WorkQueue {
public:
    // One thread per core when threads is 0.
    explicit ThreadPool(std::size_t threads = 0);
    // Lets running items finish and drops the ones still queued.
    ~ThreadPool() override;
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    void async(std::function<void()> work) override;

    std::size_t size() const { return workers_.size(); }

private:
    void serve();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queued_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace pw

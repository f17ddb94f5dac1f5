#include "platform/thread_pool.h"

#include <algorithm>

namespace pw {

ThreadPool::ThreadPool(std::size_t threads)
{
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    workers_.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) workers_.emplace_back([this] { serve(); });
}

ThreadPool::~ThreadPool()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& worker : workers_) worker.join();
}

void ThreadPool::async(std::function<void()> work)
{
    {
        std::lock_guard lock(mutex_);
        queued_.push_back(std::move(work));
    }
    wake_.notify_one();
}

void ThreadPool::serve()
{
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
            if (stopping_) return;
            work = std::move(queued_.front());
            queued_.pop_front();
        }
        work();
    }
}

}  // namespace pw

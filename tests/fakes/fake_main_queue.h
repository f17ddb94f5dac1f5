#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/main_queue.h"

namespace pw::testing {

// A main queue on a virtual clock: nothing runs until the test drains the queue or
// moves the clock on.
class FakeMainQueue : public MainQueue {
public:
    void post(std::function<void()> task) override
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(task));
    }

    std::shared_ptr<Timer> schedule(double seconds, std::function<void()> task) override
    {
        auto timer = std::make_shared<FakeTimer>();
        timers_.emplace(Due{now_ + seconds, nextSerial_++}, Armed{timer, std::move(task)});
        return timer;
    }

    // Runs posted tasks, including those they post, until none is left.
    int drain()
    {
        int ran = 0;
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(mutex_);
                if (posted_.empty()) return ran;
                task = std::move(posted_.front());
                posted_.pop_front();
            }
            task();
            ++ran;
        }
    }

    // Moves the clock on, firing due timers in order and draining after each.
    void advance(double seconds)
    {
        const double until = now_ + seconds;
        drain();
        while (!timers_.empty() && timers_.begin()->first.at <= until) {
            auto node = timers_.extract(timers_.begin());
            now_ = node.key().at;
            if (!node.mapped().timer->invalidated) {
                node.mapped().timer->fired = true;
                node.mapped().task();
            }
            drain();
        }
        now_ = until;
    }

    double now() const { return now_; }

    // Timers armed and neither fired nor invalidated.
    int liveTimers() const
    {
        int n = 0;
        for (const auto& [due, armed] : timers_) n += armed.timer->invalidated ? 0 : 1;
        return n;
    }

    std::size_t postedCount() const
    {
        std::lock_guard lock(mutex_);
        return posted_.size();
    }

private:
    struct FakeTimer : Timer {
        void invalidate() override { invalidated = true; }
        bool invalidated = false;
        bool fired = false;
    };
    struct Due {
        double at;
        long serial;
        bool operator<(const Due& o) const { return at < o.at || (at == o.at && serial < o.serial); }
    };
    struct Armed {
        std::shared_ptr<FakeTimer> timer;
        std::function<void()> task;
    };

    mutable std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    std::map<Due, Armed> timers_;
    double now_ = 0;
    long nextSerial_ = 0;
};

}  // namespace pw::testing

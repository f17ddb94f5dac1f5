#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace pw {

// Shared by the places that may finish one recognition request, so that the first one
// to report reaches the completion and any later one is dropped.
class RequestGuard {
public:
    explicit RequestGuard(std::function<void(std::string)> completion) : completion_(std::move(completion)) {}

    // Hands result to the completion unless the request is finished already; true when
    // it did. The lock is held only for the flag, never while the completion runs.
    bool finish(std::string result)
    {
        std::function<void(std::string)> completion;
        {
            std::lock_guard lock(mutex_);
            if (finished_) return false;
            finished_ = true;
            completion = std::move(completion_);
        }
        if (completion) completion(std::move(result));
        return true;
    }

private:
    std::mutex mutex_;
    bool finished_ = false;
    std::function<void(std::string)> completion_;
};

}  // namespace pw

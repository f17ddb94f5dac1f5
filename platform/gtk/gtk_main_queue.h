#pragma once

#include "platform/main_queue.h"

namespace pw::gtk {

// The GLib main context's queue: idle sources for posted work, timeout sources for
// timers.
class GtkMainQueue : public MainQueue {
public:
    void post(std::function<void()> task) override;
    std::shared_ptr<Timer> schedule(double seconds, std::function<void()> task) override;
};

}  // namespace pw::gtk

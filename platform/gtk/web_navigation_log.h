#pragma once

#include <cstddef>
#include <deque>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "platform/gtk/web_process/web_process_messages.h"

namespace pw::gtk {

// WebKitGTK decides a navigation before it says which frame it is for, and says whether
// the user started it only then. A web address let through for what may be an embedded
// frame is noted here with that answer, so that when it turns out to be the main
// frame's (the web process's extension stopped it, or it failed or answered) the
// hand-off keeps the rule that only the user's own moves reach the desktop.
class WebNavigationLog {
public:
    struct Entry {
        std::string uri;
        bool userGesture = false;
    };

    void note(std::string uri, bool userGesture)
    {
        if (entries_.size() == capacity) entries_.pop_front();
        entries_.push_back({std::move(uri), userGesture});
    }

    // The newest navigation to `uri` (fragments aside), forgotten once taken, so that
    // one move is handed over once however many ways it ends; nullopt when none is left.
    std::optional<Entry> take(std::string_view uri)
    {
        for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
            if (withoutFragment(it->uri) != withoutFragment(uri)) continue;
            Entry entry = std::move(*it);
            entries_.erase(std::next(it).base());
            return entry;
        }
        return std::nullopt;
    }

private:
    // Embedded frames add entries that are never taken; the newest few are enough.
    static constexpr std::size_t capacity = 32;
    std::deque<Entry> entries_;
};

}  // namespace pw::gtk

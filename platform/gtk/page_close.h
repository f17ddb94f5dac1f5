#pragma once

#include <functional>
#include <memory>

#include <webkit2/webkit2.h>

namespace pw {
class WebViewDelegate;
}

namespace pw::gtk {

// A close the user asked for, on its way through the page. WebKit closes a page that
// does not answer its close request within a twentieth of a second as if it had
// nothing to lose, so a page busy with a large document would lose its work: the
// request goes to the page only once the page is free again (a script that does
// nothing has come back). A page that stays silent is not waited for forever: the
// user is asked whether to close it all the same.
class PageClose : public std::enable_shared_from_this<PageClose> {
public:
    PageClose(WebKitWebView* view, std::weak_ptr<WebViewDelegate> delegate);
    ~PageClose();
    PageClose(const PageClose&) = delete;
    PageClose& operator=(const PageClose&) = delete;

    // `agreed` runs once the page lets itself be closed; not at all when the user keeps
    // it. A second request while one is on its way replaces the first's `agreed`.
    void request(std::function<void()> agreed);
    // True while the page is being asked on the user's behalf (its beforeunload
    // question is then about closing, not about moving elsewhere).
    bool asking() const { return state_ == State::AtThePage; }
    // The user kept the page when it asked.
    void declined();
    // WebKit's "close": the page agreed, or closed itself.
    void closed();

private:
    enum class State { Idle, WaitingForThePage, AtThePage };

    void waitUntilThePageIsFree();
    void thePageIsFree();
    void thePageIsSilent();
    void stopWaiting();
    void reset();

    WebKitWebView* view_;
    std::weak_ptr<WebViewDelegate> delegate_;
    State state_ = State::Idle;
    std::function<void()> agreed_;
    guint silenceTimer_ = 0;
};

}  // namespace pw::gtk

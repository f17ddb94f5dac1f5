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
// nothing to lose, so a page busy with a large document, or on a loaded machine, would
// lose its work. So the page is first asked, by a script that runs once it is free,
// whether it would ask to stay; if so the user is asked here, and only then does the
// request go to WebKit. A page that stays silent is not waited for forever: the user
// is asked whether to close it all the same.
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
    // True when the user has already agreed to lose what the page keeps: WebKit's own
    // run of the handlers is then answered without asking again.
    bool userAgreed() const { return state_ == State::AtThePage && userAgreed_; }
    // The user kept the page when it asked.
    void declined();
    // WebKit's "close": the page agreed, or closed itself.
    void closed();

private:
    enum class State { Idle, WaitingForThePage, AtThePage };

    void waitUntilThePageIsFree();
    void thePageIsFree(bool asksToStay);
    void thePageIsSilent();
    void stopWaiting();
    void reset();

    WebKitWebView* view_;
    std::weak_ptr<WebViewDelegate> delegate_;
    State state_ = State::Idle;
    std::function<void()> agreed_;
    bool userAgreed_ = false;
    guint silenceTimer_ = 0;
};

}  // namespace pw::gtk

#include "platform/gtk/page_close.h"

#include <utility>

#include "platform/web_view_delegate.h"

namespace pw::gtk {

namespace {

// Long enough for a page's ordinary heavy work, short enough not to look stuck.
constexpr guint silenceSeconds = 3;

using WeakClose = std::weak_ptr<PageClose>;

}  // namespace

PageClose::PageClose(WebKitWebView* view, std::weak_ptr<WebViewDelegate> delegate)
    : view_(view), delegate_(std::move(delegate))
{
}

PageClose::~PageClose()
{
    stopWaiting();
}

void PageClose::request(std::function<void()> agreed)
{
    agreed_ = std::move(agreed);
    // One request at a time: a second one while the page is asked (the session ending
    // during the question) would put the question twice.
    if (state_ == State::Idle) waitUntilThePageIsFree();
}

void PageClose::waitUntilThePageIsFree()
{
    state_ = State::WaitingForThePage;
    webkit_web_view_evaluate_javascript(
        view_, "0", -1, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<WeakClose> weak(static_cast<WeakClose*>(data));
            // An error (no web process any more) counts as free: nothing there waits.
            if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr))
                g_object_unref(value);
            if (auto self = weak->lock()) self->thePageIsFree();
        },
        new WeakClose(weak_from_this()));
    silenceTimer_ = g_timeout_add_seconds_full(
        G_PRIORITY_DEFAULT, silenceSeconds,
        [](gpointer data) -> gboolean {
            if (auto self = static_cast<WeakClose*>(data)->lock()) {
                self->silenceTimer_ = 0;
                self->thePageIsSilent();
            }
            return G_SOURCE_REMOVE;
        },
        new WeakClose(weak_from_this()), [](gpointer data) { delete static_cast<WeakClose*>(data); });
}

void PageClose::thePageIsFree()
{
    if (state_ != State::WaitingForThePage) return;
    stopWaiting();
    state_ = State::AtThePage;
    // Runs the page's beforeunload handlers; WebKit emits "close" when they let it go,
    // at once when there are none or the web process is gone.
    webkit_web_view_try_close(view_);
}

void PageClose::thePageIsSilent()
{
    if (state_ != State::WaitingForThePage) return;
    // The question is modal; whatever the page does meanwhile, this request is over.
    state_ = State::Idle;
    auto agreed = std::exchange(agreed_, nullptr);
    auto delegate = delegate_.lock();
    if (delegate && delegate->runNotRespondingConfirm() && agreed) agreed();
}

void PageClose::declined()
{
    reset();
}

void PageClose::closed()
{
    // Only a close the user asked for closes: a page's own window.close() does nothing.
    if (state_ != State::AtThePage) return;
    auto agreed = std::exchange(agreed_, nullptr);
    reset();
    if (agreed) agreed();
}

void PageClose::stopWaiting()
{
    if (silenceTimer_) g_source_remove(silenceTimer_);
    silenceTimer_ = 0;
}

void PageClose::reset()
{
    stopWaiting();
    state_ = State::Idle;
    agreed_ = nullptr;
}

}  // namespace pw::gtk

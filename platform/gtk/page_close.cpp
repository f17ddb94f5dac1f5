#include "platform/gtk/page_close.h"

#include <utility>

#include "platform/gtk/gobject_ptr.h"
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

// Whether the page would ask to stay: its beforeunload handlers, run on an event of the
// real kind (a plain Event takes a text return value for "go on").
constexpr const char* wouldAskToStay = R"((() => {
  const event = document.createEvent('BeforeUnloadEvent');
  event.initEvent('beforeunload', false, true);
  window.dispatchEvent(event);
  return event.defaultPrevented || event.returnValue !== '';
})())";

void PageClose::waitUntilThePageIsFree()
{
    state_ = State::WaitingForThePage;
    // The answer comes once the page is free; an error (no web process any more, or a
    // document without the event) counts as nothing to keep.
    webkit_web_view_evaluate_javascript(
        view_, wouldAskToStay, -1, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<WeakClose> weak(static_cast<WeakClose*>(data));
            const auto value = GObjectPtr<JSCValue>::adopt(
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr));
            const bool asks = value && jsc_value_is_boolean(value.get()) && jsc_value_to_boolean(value.get());
            if (auto self = weak->lock()) self->thePageIsFree(asks);
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

void PageClose::thePageIsFree(bool asksToStay)
{
    if (state_ != State::WaitingForThePage) return;
    stopWaiting();
    if (asksToStay) {
        // Asked here rather than when WebKit runs the handlers again: WebKit gives the
        // page a twentieth of a second to bring its question and then closes without
        // it, which a loaded machine can miss. Meanwhile (the question is modal) a
        // second request only joins this one.
        auto delegate = delegate_.lock();
        if (!delegate || !delegate->runBeforeUnloadConfirm(true)) {
            reset();
            return;
        }
        userAgreed_ = true;
    }
    state_ = State::AtThePage;
    // WebKit emits "close" once the handlers let it go, at once when there are none or
    // the web process is gone.
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
    userAgreed_ = false;
}

}  // namespace pw::gtk

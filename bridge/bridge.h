#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/message_guard.h"
#include "common/shared_bytes.h"
#include "platform/web_view.h"
#include "platform/web_view_delegate.h"

namespace pw {

class MainQueue;
class Panels;
class Preferences;
class Printing;
class PdfDocument;
class Timer;
class WebView;
class Workspace;

// What waits for the page, in the order it arose: a call of one of its functions. A
// file read for it is window.__nativeOpen with the file's name, its whole contents in
// Base64 and its absolute path; the Base64 is encoded straight into memory the page's
// process maps, so a file-sized text is neither copied on its way nor parsed as script.
// A message about a file it asked for is window.__nativeMsg: raised while the page is
// still loading, it would otherwise be evaluated into a page that cannot show it. Both
// go the same way, so that they arrive in this order.
struct PendingDelivery {
    std::string function;
    std::vector<PageArgument> arguments;
};

// The platform services the bridge calls.
struct BridgeServices {
    std::shared_ptr<MainQueue> mainQueue;
    std::shared_ptr<Panels> panels;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Printing> printing;
    std::shared_ptr<Preferences> preferences;
};

// The one door between the page and the desktop: the page's messages, the replies
// evaluated on the page, opened files, recent files, saving and printing, and the web
// view's navigation and UI roles. Main thread only, except result().
class Bridge : public WebViewDelegate, public std::enable_shared_from_this<Bridge> {
public:
    explicit Bridge(BridgeServices services);
    ~Bridge() override;

    // The process's bridge, created on first use with the services given to
    // configure(), which start-up calls before anything else touches the bridge.
    static void configure(BridgeServices services);
    static std::shared_ptr<Bridge> shared();

    // The page's web view; it belongs to the window.
    std::weak_ptr<WebView> web;
    // The page's choice of file type for its next file input ("pdf", "image", other).
    std::string nextFilter;

    // Replies. result() may be called on any thread; it always queues the call.
    void result(const std::string& id, bool ok, const std::string& path = {}, const std::string& msg = {});
    void pageMessage(const std::string& text);
    // The page's function that shows a message, and the script pageMessage evaluates:
    // window.__nativeMsg(<text>).
    static constexpr const char* pageMessageFunction = "window.__nativeMsg";
    static std::string pageMessageScript(const std::string& text);

    // Recent files.
    static constexpr const char* recentKey = "pagewick.recent";
    nlohmann::json recents() const;
    std::string recentsJS() const;
    void remember(const std::string& path);
    void forget(const std::string& path);

    // Opened-file delivery.
    void openFile(const std::string& path);
    void pickPDFs();
    void flush();

    // Saving, sharing and printing.
    void save(const std::string& name, const std::string& b64, bool share);
    void save(const std::string& name, SharedBytes bytes, bool share);
    void saveToPath(const std::string& id, const std::string& path, SharedBytes bytes);
    void saveAs(const std::string& name, const std::string& dir, const std::string& id, SharedBytes bytes);
    void printPDF(std::shared_ptr<PdfDocument> document);

    // WebViewDelegate.
    void didReceiveScriptMessage(const ScriptMessage& message) override;
    NavigationPolicy decidePolicy(const NavigationAction& action) override;
    void createWebView(const NavigationAction& action) override;
    void webContentProcessDidTerminate(WebView& view) override;
    void didFinishNavigation() override;
    void runOpenPanel(bool allowsMultipleSelection, std::function<void(ChosenPaths)> done) override;
    void runAlert(const std::string& message) override;
    bool runConfirm(const std::string& message) override;
    std::optional<std::string> runPrompt(const std::string& prompt,
                                         const std::optional<std::string>& defaultText) override;
    bool runBeforeUnloadConfirm(bool closing) override;
    bool runNotRespondingConfirm() override;

    const BridgeServices& services() const { return services_; }
    // Admits only the top-level page's messages; its script goes into the start script.
    const MessageGuard& messageGuard() const { return guard_; }

private:
    void handOver(const NavigationAction& action);
    void retry();
    bool readAndQueue(const std::string& path);
    // Queues a message for the page; dropped when there is no web view to show it.
    bool queueMessage(const std::string& text);

    void dispatch(const ScriptMessage& message);
    void dispatchOcr(const std::string& id, const std::string& b64, const std::string& lang);

    BridgeServices services_;
    MessageGuard guard_;
    std::deque<PendingDelivery> pending_;
    std::shared_ptr<Timer> timer_;
};

}  // namespace pw

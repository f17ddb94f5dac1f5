// Closing the window, quitting and the page's own reloads, with a page that has work to
// lose: the page is asked, the question is the shell's, and declining keeps everything.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>


#include "common/language.h"
#include "platform/gtk/session_end.h"
#include "tests/integration/harness.h"

namespace pw::testing {
namespace {

// A page that always has unsaved work, and counts its loads in the session's storage.
constexpr const char* pageWithWork = R"(<!doctype html><meta charset="utf-8"><body style="height:100vh">
<input id=field value="some text"><script>
sessionStorage.loads = Number(sessionStorage.loads || 0) + 1;
window.addEventListener('beforeunload', (event) => { event.preventDefault(); event.returnValue = 'work'; });
</script>)";

// Clicks into the page as a person would: WebKit asks before unloading only a page
// the user has interacted with. The events go to the view itself, not through the
// display's one pointer, which tests running side by side share.
void clickInto(ShellHarness& shell, int x, int y, int button = 1)
{
    GtkWidget* widget = shell.view().widget();
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(widget)));
    // Until the page has seen it: on a loaded machine a click can come before the page
    // takes input.
    shell.evaluate("window.seenClicks = 0; addEventListener('mousedown', () => window.seenClicks++, true)");
    for (int attempt = 0; attempt < 5 && shell.evaluate("window.seenClicks > 0") != "true"; ++attempt) {
        for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
            GdkEvent* event = gdk_event_new(type);
            event->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
            event->button.time = GDK_CURRENT_TIME;
            event->button.x = x;
            event->button.y = y;
            event->button.button = button;
            gdk_event_set_device(event, pointer);
            gtk_widget_event(widget, event);
            gdk_event_free(event);
        }
        shell.waitForScript("window.seenClicks > 0", 2);
    }
    spin(0.2);
}

// Runs the window's menu command of that name, as a click on it would.
void runMenuCommand(ShellHarness& shell, const char* name)
{
    GtkWidget* window = gtk_widget_get_toplevel(shell.view().widget());
    g_action_group_activate_action(G_ACTION_GROUP(window), name, nullptr);
}

// Shows the page with work and touches it.
void launchWithWork(ShellHarness& shell)
{
    shell.web.write("index.html", pageWithWork);
    shell.launchAndWait();
    clickInto(shell, 300, 300);
}

bool viewIsGone(const ShellHarness& shell)
{
    return shell.bridge->web.expired();
}

TEST(Leaving, CloseAndQuitAskAPageWithWorkAndKeepItWhenTheUserDeclines)
{
    setFrench(false);
    ShellHarness shell;
    launchWithWork(shell);

    // File > Close, declined.
    shell.panels->confirmAnswer = false;
    runMenuCommand(shell, "close");
    ASSERT_TRUE(waitUntil([&] { return shell.panels->dialogs.size() == 1; }, 20)) << "view gone: " << viewIsGone(shell);
    spin(0.5);
    ASSERT_FALSE(viewIsGone(shell));
    EXPECT_EQ(shell.panels->dialogs[0].message, "Some changes are not saved. Quit anyway?");
    EXPECT_EQ(shell.panels->dialogs[0].first, "Quit");
    EXPECT_EQ(shell.panels->dialogs[0].second, "Cancel");

    // The window's own close button (a delete event), declined.
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(gtk_widget_get_toplevel(shell.view().widget()))));
    gtk_main_do_event(event);
    gdk_event_free(event);
    ASSERT_TRUE(waitUntil([&] { return shell.panels->dialogs.size() == 2; }, 20)) << "view gone: " << viewIsGone(shell);
    spin(0.5);
    ASSERT_FALSE(viewIsGone(shell));
    EXPECT_EQ(shell.evaluate("document.getElementById('field').value"), "some text");

    // Quit, confirmed: the window closes.
    shell.panels->confirmAnswer = true;
    runMenuCommand(shell, "quit");
    EXPECT_TRUE(waitUntil([&] { return viewIsGone(shell); }, 20));
    EXPECT_EQ(shell.panels->dialogs.size(), 3u);
}

TEST(Leaving, TheEndOfTheSessionAsksThePageTheSameWay)
{
    setFrench(false);
    ShellHarness shell;
    launchWithWork(shell);
    GtkApplication* application = gtk_window_get_application(GTK_WINDOW(gtk_widget_get_toplevel(shell.view().widget())));
    std::weak_ptr<AppDelegate> delegate = shell.delegate;
    gtk::closeWithTheSession(application, [delegate] {
        auto alive = delegate.lock();
        return alive ? alive->window() : nullptr;
    });

    shell.panels->confirmAnswer = false;
    g_signal_emit_by_name(application, "query-end");
    ASSERT_TRUE(waitUntil([&] { return shell.panels->dialogs.size() == 1; }, 20));
    spin(0.5);
    ASSERT_FALSE(viewIsGone(shell));
    EXPECT_EQ(shell.panels->dialogs[0].message, "Some changes are not saved. Quit anyway?");

    shell.panels->confirmAnswer = true;
    g_signal_emit_by_name(application, "query-end");
    EXPECT_TRUE(waitUntil([&] { return viewIsGone(shell); }, 20));
}

TEST(Leaving, APageBusyWhenTheUserClosesIsStillAskedOnceItIsFree)
{
    // WebKit on its own gives a page a twentieth of a second to answer, then closes it
    // as if it had nothing to lose.
    setFrench(false);
    ShellHarness shell;
    launchWithWork(shell);
    shell.panels->confirmAnswer = false;
    shell.evaluate("setTimeout(() => { const end = Date.now() + 1500; while (Date.now() < end) {} }, 0)");
    spin(0.3);  // the page is busy now
    shell.delegate->window()->close();
    ASSERT_TRUE(waitUntil([&] { return viewIsGone(shell) || !shell.panels->dialogs.empty(); }, 20));
    ASSERT_FALSE(viewIsGone(shell));
    EXPECT_EQ(shell.panels->dialogs[0].message, "Some changes are not saved. Quit anyway?");
}

TEST(Leaving, APageStuckInALoopCannotHoldTheWindow)
{
    setFrench(false);
    ShellHarness shell;
    launchWithWork(shell);
    shell.evaluate("setTimeout(() => { for (;;) {} }, 0)");
    spin(0.3);  // the page can no longer answer

    shell.panels->confirmAnswer = false;
    shell.delegate->window()->close();
    ASSERT_TRUE(waitUntil([&] { return !shell.panels->dialogs.empty(); }, 20));
    EXPECT_EQ(shell.panels->dialogs[0].message,
              "The page is not responding. Close anyway? Unsaved changes will be lost.");
    spin(0.3);
    ASSERT_FALSE(viewIsGone(shell));

    shell.panels->confirmAnswer = true;
    shell.delegate->window()->close();
    EXPECT_TRUE(waitUntil([&] { return viewIsGone(shell); }, 20));
    EXPECT_EQ(shell.panels->dialogs.size(), 2u);
}

// One empty page; the reader rebuilds the missing cross-reference table.
constexpr const char* onePagePdf = R"(%PDF-1.4
1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj
2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj
3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >> endobj
trailer << /Root 1 0 R >>
%%EOF
)";

TEST(Leaving, TheDefaultPageAsksOnlyOnceATabHoldsUnsavedChanges)
{
    setFrench(false);
    ShellHarness shell{builtWebFolder()};
    TempDir files;
    shell.launchAndWait();
    ASSERT_TRUE(shell.waitForScript(defaultPageTookOver));
    shell.bridge->openFile(files.write("one.pdf", onePagePdf));
    ASSERT_TRUE(shell.waitForScript("document.querySelectorAll('.thumb').length === 1"));
    clickInto(shell, 600, 400);

    const std::string wouldAsk =
        "(() => { const e = new Event('beforeunload', {cancelable: true}); dispatchEvent(e); return e.defaultPrevented; })()";
    EXPECT_EQ(shell.evaluate(wouldAsk), "false");
    ASSERT_EQ(shell.evaluate("document.getElementById('rotate-right').click(), 1"), "1");
    ASSERT_TRUE(shell.waitForScript("!!document.querySelector('.tab.dirty')"));
    EXPECT_EQ(shell.evaluate(wouldAsk), "true");

    shell.panels->confirmAnswer = false;
    shell.delegate->window()->close();
    ASSERT_TRUE(waitUntil([&] { return viewIsGone(shell) || !shell.panels->dialogs.empty(); }, 20));
    spin(0.3);
    ASSERT_FALSE(viewIsGone(shell));
    EXPECT_EQ(shell.evaluate("document.querySelectorAll('.thumb').length"), "1");
}

TEST(Leaving, APageWithNothingToLoseClosesAtOnceWithoutAQuestion)
{
    ShellHarness shell;
    shell.web.write("index.html", "<!doctype html><p>nothing to lose");
    shell.launchAndWait();
    clickInto(shell, 100, 100);
    // A page cannot close the window on its own either.
    shell.evaluate("window.close()");
    spin(0.5);
    ASSERT_FALSE(viewIsGone(shell));

    shell.delegate->window()->close();
    EXPECT_TRUE(waitUntil([&] { return viewIsGone(shell); }, 20));
    EXPECT_TRUE(shell.panels->dialogs.empty());
}

TEST(Leaving, ThePagesOwnReloadIsAskedInTheInterfaceLanguage)
{
    setFrench(true);
    ShellHarness shell;
    launchWithWork(shell);

    // The user's own reload (a click on the page's button): only what the user does may
    // move the page away, and then the page is asked first.
    shell.panels->confirmAnswer = false;
    shell.evaluate("addEventListener('click', () => location.reload(), {once: true})");
    clickInto(shell, 300, 300);
    ASSERT_TRUE(waitUntil([&] { return shell.panels->dialogs.size() == 1; }, 20));
    EXPECT_EQ(shell.panels->dialogs[0].message,
              "Des modifications ne sont pas enregistrées. Quitter la page quand même ?");
    spin(0.5);
    EXPECT_EQ(shell.evaluate("sessionStorage.loads"), "1");

    shell.panels->confirmAnswer = true;
    shell.evaluate("addEventListener('click', () => location.reload(), {once: true})");
    clickInto(shell, 300, 300);
    EXPECT_TRUE(shell.waitForScript("sessionStorage.loads === '2'", 10));
    setFrench(false);
}

// Stands for a separator among the actions read from a menu.
constexpr auto separator = static_cast<WebKitContextMenuAction>(-1);

// No separator at either end or next to another.
bool separatorsSeparate(const std::vector<WebKitContextMenuAction>& items)
{
    if (items.empty()) return true;
    if (items.front() == separator || items.back() == separator) return false;
    return std::adjacent_find(items.begin(), items.end(), [](auto a, auto b) { return a == separator && b == separator; }) ==
           items.end();
}

// What WebKit's context menu offers, read when it is about to be shown (after the
// shell has had its say) and then kept from showing.
std::vector<WebKitContextMenuAction> menuOfARightClick(ShellHarness& shell, int x, int y)
{
    std::vector<WebKitContextMenuAction> actions;
    bool shown = false;
    auto onMenu = +[](WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*, gpointer data) {
        auto* seen = static_cast<std::pair<std::vector<WebKitContextMenuAction>*, bool*>*>(data);
        for (GList* item = webkit_context_menu_get_items(menu); item; item = item->next) {
            auto* entry = WEBKIT_CONTEXT_MENU_ITEM(item->data);
            seen->first->push_back(webkit_context_menu_item_is_separator(entry)
                                       ? separator
                                       : webkit_context_menu_item_get_stock_action(entry));
        }
        *seen->second = true;
        return TRUE;
    };
    std::pair<std::vector<WebKitContextMenuAction>*, bool*> seen{&actions, &shown};
    const gulong handler = g_signal_connect(shell.webKitView(), "context-menu", G_CALLBACK(onMenu), &seen);
    clickInto(shell, x, y, 3);
    waitUntil([&] { return shown; }, 10);
    g_signal_handler_disconnect(shell.webKitView(), handler);
    return actions;
}

TEST(Leaving, TheContextMenuOffersNoWayAwayFromThePage)
{
    ShellHarness shell;
    shell.web.write("index.html", R"(<!doctype html><body style="height:100vh">
<p>Some text</p><textarea id=field style="position:absolute;left:0;top:200px;width:300px;height:100px"></textarea>)");
    shell.launchAndWait();
    // A history to go back in, where WebKit would offer Back.
    shell.evaluate("history.pushState({}, '', '#second')");

    const std::vector<WebKitContextMenuAction> navigation = {
        WEBKIT_CONTEXT_MENU_ACTION_GO_BACK, WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD, WEBKIT_CONTEXT_MENU_ACTION_STOP,
        WEBKIT_CONTEXT_MENU_ACTION_RELOAD};
    const auto onThePage = menuOfARightClick(shell, 400, 500);
    for (auto action : navigation)
        EXPECT_EQ(std::count(onThePage.begin(), onThePage.end(), action), 0) << "action " << action;
    EXPECT_EQ(std::count(onThePage.begin(), onThePage.end(), WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT), 1);
    EXPECT_TRUE(separatorsSeparate(onThePage));

    const auto inTheField = menuOfARightClick(shell, 100, 250);
    EXPECT_EQ(std::count(inTheField.begin(), inTheField.end(), WEBKIT_CONTEXT_MENU_ACTION_PASTE), 1);
    EXPECT_EQ(std::count(inTheField.begin(), inTheField.end(), WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL), 1);
    for (auto action : navigation)
        EXPECT_EQ(std::count(inTheField.begin(), inTheField.end(), action), 0) << "action " << action;
    EXPECT_TRUE(separatorsSeparate(inTheField));
}

}  // namespace
}  // namespace pw::testing

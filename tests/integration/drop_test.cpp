#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/integration/harness.h"
#include "tests/integration/pointer.h"

namespace pw::testing {
namespace {

// A window of our own that offers a drag the way another application does (a file
// manager's file, a browser's link), and the real pointer (through XTest) that drags it
// onto the page. It offers exactly the given target with the given text.
class DragSource {
public:
    DragSource(const char* target, std::string text) : text_(std::move(text))
    {
        window_ = gtk_window_new(GTK_WINDOW_POPUP);
        gtk_window_move(GTK_WINDOW(window_), 0, 0);
        gtk_window_set_default_size(GTK_WINDOW(window_), 120, 120);
        GtkWidget* box = gtk_event_box_new();
        gtk_container_add(GTK_CONTAINER(window_), box);
        GtkTargetEntry entry = {const_cast<gchar*>(target), 0, 0};
        gtk_drag_source_set(box, GDK_BUTTON1_MASK, &entry, 1, GDK_ACTION_COPY);
        g_signal_connect(box, "drag-data-get", G_CALLBACK(giveText), &text_);
        gtk_widget_show_all(window_);
    }
    ~DragSource() { gtk_widget_destroy(window_); }
    DragSource(const DragSource&) = delete;
    DragSource& operator=(const DragSource&) = delete;

    // Presses on the source, moves in steps onto the view and lets go.
    void dragOnto(GtkWidget* view) const
    {
        int x = 0, y = 0;
        Pointer::spotApartIn(view, x, y);
        const Pointer pointer;
        pointer.moveTo(60, 60);
        pointer.press(true);
        for (int step = 1; step <= 20; ++step) pointer.moveTo(60 + (x - 60) * step / 20, 60 + (y - 60) * step / 20);
        pointer.moveTo(x + 1, y + 1);
        pointer.moveTo(x, y);
        pointer.press(false);
    }

private:
    static void giveText(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint, gpointer text)
    {
        const auto& bytes = *static_cast<std::string*>(text);
        gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
                               reinterpret_cast<const guchar*>(bytes.data()), static_cast<gint>(bytes.size()));
    }

    std::string text_;
    GtkWidget* window_;
};

constexpr const char* dropPage = "<!doctype html><body style='height:100vh'><script>window.marker = 7; "
                                "window.got = []; window.__nativeOpen = (n, b64) => got.push(n + ':' + atob(b64));"
                                "</script>";

TEST(Drop, AFileDroppedOnThePageIsOpenedAndThePageStays)
{
    PointerLock pointer;
    ShellHarness shell;
    shell.web.write("index.html", dropPage);
    shell.launchAndWait();
    const std::string file = shell.config.write("dropped file.pdf", "%PDF-drop");
    gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
    DragSource source("text/uri-list", std::string(uri) + "\r\n");
    g_free(uri);
    spin(0.3);
    source.dragOnto(shell.view().widget());

    EXPECT_TRUE(shell.waitForScript("window.got.length === 1", 10)) << "the drop never reached the page";
    EXPECT_EQ(shell.evaluate("window.got[0]"), "dropped file.pdf:%PDF-drop");
    EXPECT_EQ(shell.evaluate("String(window.marker) + ' ' + location.href"), "7 pagewick://app/index.html");
}

// A link or text dragged from another application is refused, whatever it offers: the
// view would otherwise navigate to it (a data: document included) and lose the page.
// Each of these replaced the page before every drop was taken from WebKit.
TEST(Drop, DraggedLinksAndTextNeverMoveThePage)
{
    PointerLock pointer;
    ShellHarness shell;
    shell.web.write("index.html", dropPage);
    shell.launchAndWait();
    const std::string foreign = "data:text/html,<title>dropped</title><script>window.marker = 'foreign'</script>";
    const std::pair<const char*, std::string> drags[] = {
        {"_NETSCAPE_URL", foreign + "\ndropped"},
        {"text/x-moz-url", foreign + "\ndropped"},
        {"text/uri-list", "https://example.org/page\r\n" + foreign + "\r\n"},
        {"text/plain", foreign},
    };
    for (const auto& [target, text] : drags) {
        DragSource source(target, text);
        spin(0.3);
        source.dragOnto(shell.view().widget());
        spin(1.0);
        EXPECT_EQ(shell.evaluate("String(window.marker) + ' ' + location.href"), "7 pagewick://app/index.html")
            << target;
    }
    EXPECT_EQ(shell.evaluate("window.got.length"), "0");
    EXPECT_TRUE(shell.workspace->openedURLs.empty());
}

}  // namespace
}  // namespace pw::testing

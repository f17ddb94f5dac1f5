#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include "tests/integration/harness.h"

namespace pw::testing {
namespace {

// A window of our own that offers a file the way a file manager does, and the real
// pointer (through XTest) that drags it onto the page.
class FileDragSource {
public:
    explicit FileDragSource(const std::string& path) : uri_(g_filename_to_uri(path.c_str(), nullptr, nullptr))
    {
        window_ = gtk_window_new(GTK_WINDOW_POPUP);
        gtk_window_move(GTK_WINDOW(window_), 0, 0);
        gtk_window_set_default_size(GTK_WINDOW(window_), 120, 120);
        GtkWidget* box = gtk_event_box_new();
        gtk_container_add(GTK_CONTAINER(window_), box);
        gtk_drag_source_set(box, GDK_BUTTON1_MASK, nullptr, 0, GDK_ACTION_COPY);
        gtk_drag_source_add_uri_targets(box);
        g_signal_connect(box, "drag-data-get", G_CALLBACK(giveUri), uri_);
        gtk_widget_show_all(window_);
    }
    ~FileDragSource()
    {
        gtk_widget_destroy(window_);
        g_free(uri_);
    }

    // Presses on the source, moves in steps to (x, y) on the screen and lets go.
    void dragTo(int x, int y) const
    {
        Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
        auto move = [&](int px, int py) {
            XTestFakeMotionEvent(display, -1, px, py, CurrentTime);
            XFlush(display);
            spin(0.03);
        };
        move(60, 60);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XFlush(display);
        spin(0.05);
        for (int step = 1; step <= 20; ++step) move(60 + (x - 60) * step / 20, 60 + (y - 60) * step / 20);
        move(x + 1, y + 1);
        move(x, y);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XFlush(display);
    }

private:
    static void giveUri(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint, gpointer uri)
    {
        gchar* uris[] = {static_cast<gchar*>(uri), nullptr};
        gtk_selection_data_set_uris(data, uris);
    }

    gchar* uri_;
    GtkWidget* window_;
};

TEST(Drop, AFileDroppedOnThePageIsOpenedAndThePageStays)
{
    ShellHarness shell;
    shell.web.write("index.html", "<!doctype html><body style='height:100vh'><script>window.marker = 7; "
                                  "window.got = []; window.__nativeOpen = (n, b64) => got.push(n + ':' + atob(b64));"
                                  "</script>");
    shell.launchAndWait();
    const std::string file = shell.config.write("dropped file.pdf", "%PDF-drop");
    FileDragSource source(file);
    // Into the screen's corner, out from under the centred windows of the test that
    // runs beside this one on the same display, and on top.
    GtkWindow* window = GTK_WINDOW(gtk_widget_get_toplevel(shell.view().widget()));
    GdkRectangle screen;
    gdk_monitor_get_geometry(gdk_display_get_monitor(gdk_display_get_default(), 0), &screen);
    gtk_window_resize(window, 560, 440);
    gtk_window_move(window, screen.x + screen.width - 560, screen.y + screen.height - 440);
    spin(0.3);
    gdk_window_raise(gtk_widget_get_window(GTK_WIDGET(window)));
    spin(0.3);

    gint x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(shell.view().widget()), &x, &y);
    const GtkAllocation area = [&] {
        GtkAllocation a;
        gtk_widget_get_allocation(shell.view().widget(), &a);
        return a;
    }();
    source.dragTo(x + area.x + area.width / 2, y + area.y + area.height / 2);

    EXPECT_TRUE(shell.waitForScript("window.got.length === 1", 10)) << "the drop never reached the page";
    EXPECT_EQ(shell.evaluate("window.got[0]"), "dropped file.pdf:%PDF-drop");
    EXPECT_EQ(shell.evaluate("String(window.marker) + ' ' + location.href"), "7 pagewick://app/index.html");
}

}  // namespace
}  // namespace pw::testing

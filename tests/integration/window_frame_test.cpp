#include <gtest/gtest.h>

#include <cstdlib>

#include <gtk/gtk.h>

#include "app/app_constants.h"
#include "platform/gtk/gtk_app_window.h"
#include "tests/integration/harness.h"

namespace pw::testing {
namespace {

// Where the X server put the window, and the work area of the monitor it is on.
struct Placement {
    GdkRectangle frame{};
    GdkRectangle workArea{};
};

GtkWindow* gtkWindowOf(const ShellHarness& shell)
{
    return static_cast<gtk::GtkAppWindow*>(shell.delegate->window())->gtkWindow();
}

Placement placement(GtkWindow* window)
{
    Placement out;
    GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window));
    gdk_window_get_frame_extents(gdkWindow, &out.frame);
    GdkMonitor* monitor = gdk_display_get_monitor_at_window(gdk_window_get_display(gdkWindow), gdkWindow);
    gdk_monitor_get_workarea(monitor, &out.workArea);
    return out;
}

// Launches with the given frame saved by an earlier run and waits until the window
// is mapped at the size it asked for.
Placement launchWithSavedFrame(ShellHarness& shell, const nlohmann::json& saved, int width, int height)
{
    shell.web.write("index.html", "<!doctype html><body>frame</body>");
    shell.preferences->set(frameAutosaveName, saved);
    shell.launch();
    GtkWindow* window = gtkWindowOf(shell);
    waitUntil([&] {
        if (!gtk_widget_get_mapped(GTK_WIDGET(window))) return false;
        const auto now = placement(window);
        return now.frame.width == width && now.frame.height == height;
    });
    // Let a late move from the placement settle before it is read.
    spin(0.2);
    return placement(window);
}

void expectCentred(const Placement& where)
{
    const int centreX = where.frame.x + where.frame.width / 2;
    const int centreY = where.frame.y + where.frame.height / 2;
    EXPECT_LE(std::abs(centreX - (where.workArea.x + where.workArea.width / 2)), 16) << centreX;
    EXPECT_LE(std::abs(centreY - (where.workArea.y + where.workArea.height / 2)), 16) << centreY;
}

TEST(WindowFrame, AFrameWhoseTitleBarIsOnNoMonitorIsCentredAtItsSavedSize)
{
    // Saved on a monitor that is gone: beyond the right and bottom edges, above the top
    // (the body visible, the title bar not), and left with less than a grip showing.
    for (const char* saved : {R"({"x":5000,"y":4000,"width":900,"height":700})",
                              R"({"x":200,"y":-300,"width":900,"height":700})",
                              R"({"x":-880,"y":100,"width":900,"height":700})"}) {
        ShellHarness shell;
        const auto where = launchWithSavedFrame(shell, nlohmann::json::parse(saved), 900, 700);
        EXPECT_EQ(where.frame.width, 900) << saved;
        EXPECT_EQ(where.frame.height, 700) << saved;
        expectCentred(where);
    }
}

TEST(WindowFrame, AFrameOnScreenIsRestoredWhereItWas)
{
    ShellHarness shell;
    const auto where = launchWithSavedFrame(shell, {{"x", 120}, {"y", 90}, {"width", 1000}, {"height", 720}}, 1000, 720);
    EXPECT_EQ(where.frame.x, 120);
    EXPECT_EQ(where.frame.y, 90);
    EXPECT_EQ(where.frame.width, 1000);
    EXPECT_EQ(where.frame.height, 720);
}

TEST(WindowFrame, ASizeSavedWithoutAPositionIsRestoredCentred)
{
    // What a session that knows no positions (Wayland) saves on the first run.
    ShellHarness shell;
    const auto where = launchWithSavedFrame(shell, {{"width", 1000}, {"height", 640}}, 1000, 640);
    EXPECT_EQ(where.frame.width, 1000);
    EXPECT_EQ(where.frame.height, 640);
    expectCentred(where);
}

TEST(WindowFrame, MovingAndResizingTheWindowIsSaved)
{
    ShellHarness shell;
    launchWithSavedFrame(shell, {{"x", 100}, {"y", 100}, {"width", 900}, {"height", 700}}, 900, 700);
    GtkWindow* window = gtkWindowOf(shell);
    gtk_window_move(window, 260, 150);
    gtk_window_resize(window, 1100, 760);
    const nlohmann::json expected = {{"x", 260}, {"y", 150}, {"width", 1100}, {"height", 760}};
    EXPECT_TRUE(waitUntil([&] { return shell.preferences->get(frameAutosaveName) == expected; }))
        << shell.preferences->get(frameAutosaveName).dump();
}

}  // namespace
}  // namespace pw::testing

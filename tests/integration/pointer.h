#pragma once

#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/integration/harness.h"

namespace pw::testing {

// The suite runs two tests at a time on one display, and the display has one pointer: a
// test that moves it holds this lock for as long as it needs the pointer where it put it.
class PointerLock {
public:
    PointerLock()
    {
        const char* display = std::getenv("DISPLAY");
        const std::string path = std::string(g_get_tmp_dir()) + "/pagewick-tests-pointer" + (display ? display : "");
        fd_ = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
    }
    ~PointerLock()
    {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    PointerLock(const PointerLock&) = delete;
    PointerLock& operator=(const PointerLock&) = delete;

private:
    int fd_ = -1;
};

// The real pointer, moved and pressed through XTest, so that WebKit sees the user's own
// clicks and drags.
class Pointer {
public:
    Pointer() : display_(GDK_DISPLAY_XDISPLAY(gdk_display_get_default())) {}

    void moveTo(int x, int y) const
    {
        XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
        XFlush(display_);
        spin(0.03);
    }
    void press(bool down) const
    {
        XTestFakeButtonEvent(display_, 1, down ? True : False, CurrentTime);
        XFlush(display_);
        spin(0.05);
    }
    void clickAt(int x, int y) const
    {
        moveTo(x + 1, y + 1);
        moveTo(x, y);
        press(true);
        press(false);
    }

    // A point of the widget that no other test's window covers: the other test running
    // at the same time centres its window, so this one's window goes to the screen's
    // left edge, below where drag sources sit, and the point is near its left side.
    static void spotApartIn(GtkWidget* widget, int& x, int& y)
    {
        gtk_window_move(GTK_WINDOW(gtk_widget_get_toplevel(widget)), 0, 140);
        spin(0.5);
        gdk_window_get_origin(gtk_widget_get_window(widget), &x, &y);
        GtkAllocation area;
        gtk_widget_get_allocation(widget, &area);
        x += area.x + 160;
        y += area.y + area.height / 2;
    }

private:
    Display* display_;
};

}  // namespace pw::testing

#pragma once

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "tests/integration/harness.h"

namespace pw::testing {

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

    // The middle of a widget, on the screen.
    static void centreOf(GtkWidget* widget, int& x, int& y)
    {
        gdk_window_get_origin(gtk_widget_get_window(widget), &x, &y);
        GtkAllocation area;
        gtk_widget_get_allocation(widget, &area);
        x += area.x + area.width / 2;
        y += area.y + area.height / 2;
    }

private:
    Display* display_;
};

}  // namespace pw::testing

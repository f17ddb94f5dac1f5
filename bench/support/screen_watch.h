#pragma once

// What a program shows on the X screen, seen from outside it: whether a window of a
// given process is mapped, and how much of the screen is pure red (the marker that the
// generated PDFs carry on their first page).

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <sys/types.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace pw::bench {

class ScreenWatch {
public:
    ScreenWatch() : display_(XOpenDisplay(nullptr))
    {
        if (!display_) throw std::runtime_error("no X display: run under xvfb-run");
        // Windows come and go between listing and asking about them: such errors only
        // mean "not that window", never the end of the measurement.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        root_ = DefaultRootWindow(display_);
        XWindowAttributes attributes;
        XGetWindowAttributes(display_, root_, &attributes);
        width_ = attributes.width;
        height_ = attributes.height;
        pidAtom_ = XInternAtom(display_, "_NET_WM_PID", False);
    }
    ~ScreenWatch() { XCloseDisplay(display_); }
    ScreenWatch(const ScreenWatch&) = delete;
    ScreenWatch& operator=(const ScreenWatch&) = delete;

    // Screen pixels that are pure red, estimated from every second pixel of every
    // second row.
    long redPixels() const
    {
        XImage* image = XGetImage(display_, root_, 0, 0, width_, height_, AllPlanes, ZPixmap);
        if (!image) return 0;
        long count = 0;
        if (image->bits_per_pixel == 32 && image->red_mask == 0xff0000 && image->blue_mask == 0xff) {
            for (int y = 0; y < height_; y += 2) {
                const auto* row = reinterpret_cast<const std::uint32_t*>(image->data + y * image->bytes_per_line);
                for (int x = 0; x < width_; x += 2) {
                    const std::uint32_t p = row[x];
                    if (((p >> 16) & 0xff) > 220 && ((p >> 8) & 0xff) < 40 && (p & 0xff) < 40) ++count;
                }
            }
        }
        XDestroyImage(image);
        return count * 4;
    }

    // Whether a top-level window that the process (or one of its children: any pid in
    // the set the caller passes) owns is viewable.
    template <typename PidTest>
    bool windowMapped(PidTest ownedByRun) const
    {
        Window parent, rootReturn, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, root_, &rootReturn, &parent, &children, &count)) return false;
        bool found = false;
        for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(display_, children[i], &attributes) || attributes.map_state != IsViewable) continue;
            const long pid = windowPid(children[i]);
            found = pid > 0 && ownedByRun(static_cast<pid_t>(pid));
        }
        if (children) XFree(children);
        return found;
    }

private:
    long windowPid(Window window) const
    {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        long pid = 0;
        if (XGetWindowProperty(display_, window, pidAtom_, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                               &data) == Success &&
            data && items == 1 && format == 32)
            pid = *reinterpret_cast<long*>(data);
        if (data) XFree(data);
        return pid;
    }

    Display* display_;
    Window root_;
    int width_ = 0, height_ = 0;
    Atom pidAtom_;
};

}  // namespace pw::bench

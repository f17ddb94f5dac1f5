#include "tests/integration/page_fixture.h"

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include <cmath>
#include <fstream>
#include <vector>

#include "ocr/native_ocr.h"

namespace pw::testing {
namespace {

Display* xDisplay()
{
    return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

// Lets the server deliver the events and the view take them.
void settle(double seconds = 0.05)
{
    XFlush(xDisplay());
    spin(seconds);
}

}  // namespace

// Other tests' windows may share the display: the keyboard focus and the top of the
// stack are taken back before every press and click, or a window mapped meanwhile
// would receive them.
void PageFixture::takeFocus()
{
    GtkWindow* window = GTK_WINDOW(gtk_widget_get_toplevel(shell.view().widget()));
    gtk_window_present(window);
    Display* display = xDisplay();
    const ::Window xid = GDK_WINDOW_XID(gtk_widget_get_window(GTK_WIDGET(window)));
    XRaiseWindow(display, xid);
    XSetInputFocus(display, xid, RevertToParent, CurrentTime);
    XFlush(display);
}

void PageFixture::start(int width, int height)
{
    shell.launchAndWait();
    GtkWindow* window = GTK_WINDOW(gtk_widget_get_toplevel(shell.view().widget()));
    if (width > 0) gtk_window_resize(window, width, height);
    gtk_window_present(window);
    gtk_widget_grab_focus(shell.view().widget());
    ASSERT_TRUE(shell.waitForScript(defaultPageTookOver));
    spin(0.3);
    XSetInputFocus(xDisplay(), GDK_WINDOW_XID(gtk_widget_get_window(GTK_WIDGET(window))), RevertToParent, CurrentTime);
    settle(0.15);
}

void PageFixture::open(const std::string& path, int pages)
{
    shell.bridge->openFile(path);
    ASSERT_TRUE(showsPageCount(pages));
}

bool PageFixture::showsPageCount(int pages)
{
    // The sidebar has its pictures (those near its view) once the first page is drawn.
    return shell.waitForScript("document.getElementById('page-count').textContent === '" + std::to_string(pages) +
                               "' && !!document.querySelector('.thumb')");
}

std::string PageFixture::text(const std::string& script)
{
    return shell.evaluate(script).value_or("<failed>");
}

void PageFixture::key(const std::string& accelerator)
{
    guint keyval = 0;
    GdkModifierType modifiers{};
    gtk_accelerator_parse(accelerator.c_str(), &keyval, &modifiers);
    ASSERT_NE(keyval, 0u) << accelerator;
    takeFocus();
    Display* display = xDisplay();
    std::vector<KeyCode> held;
    for (auto [mask, sym] : {std::pair{GDK_CONTROL_MASK, XK_Control_L}, {GDK_SHIFT_MASK, XK_Shift_L}, {GDK_MOD1_MASK, XK_Alt_L}})
        if (modifiers & mask) held.push_back(XKeysymToKeycode(display, sym));
    for (KeyCode code : held) XTestFakeKeyEvent(display, code, True, CurrentTime);
    const KeyCode code = XKeysymToKeycode(display, keyval);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    for (auto it = held.rbegin(); it != held.rend(); ++it) XTestFakeKeyEvent(display, *it, False, CurrentTime);
    settle();
}

void PageFixture::type(const std::string& letters)
{
    for (char letter : letters) key(std::string(1, letter));
}

bool PageFixture::clickOn(const std::string& selector, double fromTop)
{
    const auto place = shell.evaluate(
        "(() => { const el = document.querySelector(" + NativeOCR::lit(selector) + "); if (!el) return '';"
        " el.scrollIntoView({block: 'nearest', inline: 'nearest'}); const r = el.getBoundingClientRect();"
        " return Math.round(r.left + r.width / 2) + ' ' + Math.round(r.top + r.height * " + std::to_string(std::lround(fromTop * 1000)) + " / 1000); })()");
    int x = 0, y = 0;
    if (!place || std::sscanf(place->c_str(), "%d %d", &x, &y) != 2) return false;
    // The view's place on the screen: the window's origin plus where the view sits in it.
    GtkWidget* view = shell.view().widget();
    GtkWidget* window = gtk_widget_get_toplevel(view);
    gint originX = 0, originY = 0, inX = 0, inY = 0;
    gdk_window_get_origin(gtk_widget_get_window(window), &originX, &originY);
    gtk_widget_translate_coordinates(view, window, 0, 0, &inX, &inY);
    takeFocus();
    Display* display = xDisplay();
    XTestFakeMotionEvent(display, -1, originX + inX + x, originY + inY + y, CurrentTime);
    settle(0.15);
    takeFocus();  // a window mapped meanwhile would be the one under the pointer
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    settle(0.15);
    return true;
}

std::string PageFixture::makePdf(const std::string& name, const std::string& build)
{
    shell.evaluate("window.__fixture = undefined; (async () => {"
                   " const lib = await import('./vendor/pdf-lib/pdf-lib.esm.min.js');"
                   " const { bytesToBase64 } = await import('./src/base64.mjs');"
                   " const bytes = await (async (lib) => {" + build + "})(lib);"
                   " window.__fixture = bytesToBase64(bytes); })().catch((e) => (window.__fixture = 'failed: ' + e))");
    if (!shell.waitForScript("typeof window.__fixture === 'string'")) return {};
    const std::string b64 = text("window.__fixture");
    gsize length = 0;
    guchar* bytes = g_base64_decode(b64.c_str(), &length);
    const std::string path = files.path() + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(length));
    g_free(bytes);
    return b64.rfind("failed", 0) == 0 ? std::string() : path;
}

}  // namespace pw::testing

#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

#include "common/language.h"
#include "tests/integration/harness.h"

namespace pw::testing {
namespace {

// Every item of the installed menu bar as "Menu/Item=accelerator", separators left out.
std::vector<std::string> installedMenus(GtkApplication* application)
{
    std::vector<std::string> items;
    GMenuModel* bar = gtk_application_get_menubar(application);
    for (int m = 0; bar && m < g_menu_model_get_n_items(bar); ++m) {
        gchar* menuTitle = nullptr;
        g_menu_model_get_item_attribute(bar, m, G_MENU_ATTRIBUTE_LABEL, "s", &menuTitle);
        GMenuModel* menu = g_menu_model_get_item_link(bar, m, G_MENU_LINK_SUBMENU);
        for (int s = 0; menu && s < g_menu_model_get_n_items(menu); ++s) {
            GMenuModel* section = g_menu_model_get_item_link(menu, s, G_MENU_LINK_SECTION);
            for (int i = 0; section && i < g_menu_model_get_n_items(section); ++i) {
                gchar *label = nullptr, *action = nullptr;
                g_menu_model_get_item_attribute(section, i, G_MENU_ATTRIBUTE_LABEL, "s", &label);
                g_menu_model_get_item_attribute(section, i, G_MENU_ATTRIBUTE_ACTION, "s", &action);
                gchar** accels = gtk_application_get_accels_for_action(application, action);
                std::string entry = std::string(menuTitle) + "/" + label + "=";
                for (gchar** a = accels; *a; ++a) entry += std::string(a == accels ? "" : " ") + *a;
                items.push_back(entry);
                g_strfreev(accels);
                g_free(label);
                g_free(action);
            }
            if (section) g_object_unref(section);
        }
        if (menu) g_object_unref(menu);
        g_free(menuTitle);
    }
    return items;
}

TEST(MenuBar, TheWindowCarriesTheMenusAndTheirKeysInEitherLanguage)
{
    for (bool french : {false, true}) {
        setFrench(french);
        ShellHarness shell;
        shell.web.write("index.html", "<!doctype html>");
        shell.launchAndWait();
        GtkWindow* window = GTK_WINDOW(gtk_widget_get_toplevel(shell.view().widget()));
        const auto items = installedMenus(gtk_window_get_application(window));
        const std::vector<std::string> expected =
            french ? std::vector<std::string>{"Pagewick/À propos de Pagewick=", "Pagewick/Masquer Pagewick=<Primary>h",
                                              "Pagewick/Masquer les autres=<Primary><Alt>h",
                                              "Pagewick/Quitter Pagewick=<Primary>q", "Fichier/Ouvrir…=<Primary>o",
                                              "Fichier/Fermer=<Primary>w", "Édition/Annuler=<Primary>z",
                                              "Édition/Rétablir=<Primary><Shift>z", "Édition/Couper=<Primary>x",
                                              "Édition/Copier=<Primary>c", "Édition/Coller=<Primary>v",
                                              "Édition/Tout sélectionner=<Primary>a",
                                              "Fenêtre/Placer dans le Dock=<Primary>m",
                                              "Fenêtre/Plein écran=<Primary><Super>f F11"}
                   : std::vector<std::string>{"Pagewick/About Pagewick=", "Pagewick/Hide Pagewick=<Primary>h",
                                              "Pagewick/Hide Others=<Primary><Alt>h", "Pagewick/Quit Pagewick=<Primary>q",
                                              "File/Open…=<Primary>o", "File/Close=<Primary>w", "Edit/Undo=<Primary>z",
                                              "Edit/Redo=<Primary><Shift>z", "Edit/Cut=<Primary>x", "Edit/Copy=<Primary>c",
                                              "Edit/Paste=<Primary>v", "Edit/Select All=<Primary>a",
                                              "Window/Minimize=<Primary>m",
                                              "Window/Enter Full Screen=<Primary><Super>f F11"};
        EXPECT_EQ(items, expected);
    }
    setFrench(false);
}

TEST(MenuBar, ControlOReachesTheOpenCommandWhileThePageHasTheFocus)
{
    ShellHarness shell;
    shell.web.write("index.html", "<!doctype html><input id=field autofocus>");
    shell.launchAndWait();
    GtkWindow* window = GTK_WINDOW(gtk_widget_get_toplevel(shell.view().widget()));
    gtk_window_present(window);
    gtk_widget_grab_focus(shell.view().widget());
    shell.evaluate("document.getElementById('field').focus()");
    spin(0.3);

    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    XSetInputFocus(display, GDK_WINDOW_XID(gtk_widget_get_window(GTK_WIDGET(window))), RevertToParent, CurrentTime);
    const KeyCode control = XKeysymToKeycode(display, XK_Control_L), o = XKeysymToKeycode(display, XK_o);
    XTestFakeKeyEvent(display, control, True, CurrentTime);
    XTestFakeKeyEvent(display, o, True, CurrentTime);
    XTestFakeKeyEvent(display, o, False, CurrentTime);
    XTestFakeKeyEvent(display, control, False, CurrentTime);
    XFlush(display);

    EXPECT_TRUE(waitUntil([&] { return shell.panels->modalOpens == 1; }, 10));
    EXPECT_EQ(shell.evaluate("document.getElementById('field').value"), "") << "the key did not reach the page";
}

}  // namespace
}  // namespace pw::testing

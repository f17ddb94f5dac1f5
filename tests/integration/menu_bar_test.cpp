#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

#include "common/language.h"
#include "tests/integration/harness.h"

namespace pw::testing {
namespace {

// Every item of the installed menu bar as "Menu/Item (action)=accelerators", with "-"
// where a separator divides two sections.
std::vector<std::string> installedMenus(GtkApplication* application)
{
    std::vector<std::string> items;
    GMenuModel* bar = gtk_application_get_menubar(application);
    for (int m = 0; bar && m < g_menu_model_get_n_items(bar); ++m) {
        gchar* menuTitle = nullptr;
        g_menu_model_get_item_attribute(bar, m, G_MENU_ATTRIBUTE_LABEL, "s", &menuTitle);
        const gtk::GCharPtr title(menuTitle);
        const auto menu = gtk::GObjectPtr<GMenuModel>::adopt(g_menu_model_get_item_link(bar, m, G_MENU_LINK_SUBMENU));
        for (int s = 0; menu && s < g_menu_model_get_n_items(menu.get()); ++s) {
            if (s > 0) items.push_back("-");
            const auto section =
                gtk::GObjectPtr<GMenuModel>::adopt(g_menu_model_get_item_link(menu.get(), s, G_MENU_LINK_SECTION));
            for (int i = 0; section && i < g_menu_model_get_n_items(section.get()); ++i) {
                gchar *label = nullptr, *action = nullptr;
                g_menu_model_get_item_attribute(section.get(), i, G_MENU_ATTRIBUTE_LABEL, "s", &label);
                g_menu_model_get_item_attribute(section.get(), i, G_MENU_ATTRIBUTE_ACTION, "s", &action);
                const gtk::GCharPtr ownedLabel(label), ownedAction(action);
                const gtk::GStrvPtr accels(gtk_application_get_accels_for_action(application, action));
                std::string entry = std::string(title.get()) + "/" + label + " (" + action + ")=";
                for (gchar** a = accels.get(); *a; ++a) entry += std::string(a == accels.get() ? "" : " ") + *a;
                items.push_back(entry);
            }
        }
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
            french ? std::vector<std::string>{"Pagewick/À propos de Pagewick (win.about)=",
                                              "-",
                                              "Pagewick/Masquer Pagewick (win.hide)=<Primary>h",
                                              "Pagewick/Masquer les autres (win.hide-others)=<Primary><Alt>h",
                                              "-",
                                              "Pagewick/Quitter Pagewick (win.quit)=<Primary>q",
                                              "Fichier/Ouvrir… (win.open)=<Primary>o",
                                              "-",
                                              "Fichier/Fermer (win.close)=<Primary>w",
                                              "Édition/Annuler (win.undo)=<Primary>z",
                                              "Édition/Rétablir (win.redo)=<Primary><Shift>z",
                                              "-",
                                              "Édition/Couper (win.cut)=<Primary>x",
                                              "Édition/Copier (win.copy)=<Primary>c",
                                              "Édition/Coller (win.paste)=<Primary>v",
                                              "Édition/Tout sélectionner (win.select-all)=<Primary>a",
                                              "Fenêtre/Placer dans le Dock (win.minimize)=<Primary>m",
                                              "Fenêtre/Plein écran (win.full-screen)=<Primary><Super>f F11"}
                   : std::vector<std::string>{"Pagewick/About Pagewick (win.about)=",
                                              "-",
                                              "Pagewick/Hide Pagewick (win.hide)=<Primary>h",
                                              "Pagewick/Hide Others (win.hide-others)=<Primary><Alt>h",
                                              "-",
                                              "Pagewick/Quit Pagewick (win.quit)=<Primary>q",
                                              "File/Open… (win.open)=<Primary>o",
                                              "-",
                                              "File/Close (win.close)=<Primary>w",
                                              "Edit/Undo (win.undo)=<Primary>z",
                                              "Edit/Redo (win.redo)=<Primary><Shift>z",
                                              "-",
                                              "Edit/Cut (win.cut)=<Primary>x",
                                              "Edit/Copy (win.copy)=<Primary>c",
                                              "Edit/Paste (win.paste)=<Primary>v",
                                              "Edit/Select All (win.select-all)=<Primary>a",
                                              "Window/Minimize (win.minimize)=<Primary>m",
                                              "Window/Enter Full Screen (win.full-screen)=<Primary><Super>f F11"};
        EXPECT_EQ(items, expected);
        // Hide Others has nothing to do on this desktop: its action is there, disabled.
        EXPECT_FALSE(g_action_group_get_action_enabled(G_ACTION_GROUP(window), "hide-others"));
        EXPECT_TRUE(g_action_group_get_action_enabled(G_ACTION_GROUP(window), "open"));
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

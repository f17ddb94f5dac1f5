#include "app/menu_bar.h"

#include "common/language.h"

namespace pw {

namespace {

std::optional<MenuCommand> command(std::string name, std::string title, std::vector<std::string> accelerators,
                                   const std::function<void()>& action)
{
    return MenuCommand{std::move(name), std::move(title), std::move(accelerators), action};
}

constexpr std::nullopt_t separator = std::nullopt;

}  // namespace

std::vector<Menu> buildMenuBar(const MenuActions& a)
{
    std::vector<Menu> menus;
    menus.push_back({"Pagewick",
                     {
                         command("about", tr("À propos de Pagewick", "About Pagewick"), {}, a.about),
                         separator,
                         command("hide", tr("Masquer Pagewick", "Hide Pagewick"), {"<Primary>h"}, a.hide),
                         command("hide-others", tr("Masquer les autres", "Hide Others"), {"<Primary><Alt>h"},
                                 a.hideOthers),
                         separator,
                         command("quit", tr("Quitter Pagewick", "Quit Pagewick"), {"<Primary>q"}, a.quit),
                     }});
    menus.push_back({tr("Fichier", "File"),
                     {
                         command("open", tr("Ouvrir…", "Open…"), {"<Primary>o"}, a.open),
                         separator,
                         command("close", tr("Fermer", "Close"), {"<Primary>w"}, a.close),
                     }});
    menus.push_back({tr("Édition", "Edit"),
                     {
                         command("undo", tr("Annuler", "Undo"), {"<Primary>z"}, a.undo),
                         command("redo", tr("Rétablir", "Redo"), {"<Primary><Shift>z"}, a.redo),
                         separator,
                         command("cut", tr("Couper", "Cut"), {"<Primary>x"}, a.cut),
                         command("copy", tr("Copier", "Copy"), {"<Primary>c"}, a.copy),
                         command("paste", tr("Coller", "Paste"), {"<Primary>v"}, a.paste),
                         command("select-all", tr("Tout sélectionner", "Select All"), {"<Primary>a"}, a.selectAll),
                     }});
    // F11 is where Linux users look for full screen.
    menus.push_back({tr("Fenêtre", "Window"),
                     {
                         command("minimize", tr("Placer dans le Dock", "Minimize"), {"<Primary>m"}, a.minimize),
                         command("full-screen", tr("Plein écran", "Enter Full Screen"), {"<Primary><Super>f", "F11"},
                                 a.toggleFullScreen),
                     }});
    return menus;
}

}  // namespace pw

#include "app/menu_bar.h"

#include "common/language.h"

namespace pw {

namespace {

std::optional<MenuCommand> command(std::string title, std::string accelerator, const std::function<void()>& action)
{
    return MenuCommand{std::move(title), std::move(accelerator), action};
}

constexpr std::nullopt_t separator = std::nullopt;

}  // namespace

std::vector<Menu> buildMenuBar(const MenuActions& a)
{
    std::vector<Menu> menus;
    menus.push_back({"Pagewick",
                     {
                         command(tr("À propos de Pagewick", "About Pagewick"), "", a.about),
                         separator,
                         command(tr("Masquer Pagewick", "Hide Pagewick"), "<Primary>h", a.hide),
                         command(tr("Masquer les autres", "Hide Others"), "<Primary><Alt>h", a.hideOthers),
                         separator,
                         command(tr("Quitter Pagewick", "Quit Pagewick"), "<Primary>q", a.quit),
                     }});
    menus.push_back({tr("Fichier", "File"),
                     {
                         command(tr("Ouvrir…", "Open…"), "<Primary>o", a.open),
                         separator,
                         command(tr("Fermer", "Close"), "<Primary>w", a.close),
                     }});
    menus.push_back({tr("Édition", "Edit"),
                     {
                         command(tr("Annuler", "Undo"), "<Primary>z", a.undo),
                         command(tr("Rétablir", "Redo"), "<Primary><Shift>z", a.redo),
                         separator,
                         command(tr("Couper", "Cut"), "<Primary>x", a.cut),
                         command(tr("Copier", "Copy"), "<Primary>c", a.copy),
                         command(tr("Coller", "Paste"), "<Primary>v", a.paste),
                         command(tr("Tout sélectionner", "Select All"), "<Primary>a", a.selectAll),
                     }});
    menus.push_back({tr("Fenêtre", "Window"),
                     {
                         command(tr("Placer dans le Dock", "Minimize"), "<Primary>m", a.minimize),
                         command(tr("Plein écran", "Enter Full Screen"), "<Primary><Super>f", a.toggleFullScreen),
                     }});
    return menus;
}

}  // namespace pw

#include "platform/gtk/context_menu.h"

namespace pw::gtk {

namespace {

bool navigates(WebKitContextMenuItem* item)
{
    switch (webkit_context_menu_item_get_stock_action(item)) {
    case WEBKIT_CONTEXT_MENU_ACTION_GO_BACK:
    case WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD:
    case WEBKIT_CONTEXT_MENU_ACTION_STOP:
    case WEBKIT_CONTEXT_MENU_ACTION_RELOAD:
        return true;
    default:
        return false;
    }
}

// Removes, in order, every item the predicate does not want.
template <typename Unwanted>
void removeWhere(WebKitContextMenu* menu, Unwanted unwanted)
{
    for (guint i = 0; i < webkit_context_menu_get_n_items(menu);) {
        WebKitContextMenuItem* item = webkit_context_menu_get_item_at_position(menu, i);
        if (unwanted(item))
            webkit_context_menu_remove(menu, item);
        else
            ++i;
    }
}

}  // namespace

void removeNavigation(WebKitContextMenu* menu)
{
    removeWhere(menu, navigates);
    // A separator first, or right after another, separates nothing.
    bool afterSeparator = true;
    removeWhere(menu, [&afterSeparator](WebKitContextMenuItem* item) {
        const bool separator = webkit_context_menu_item_is_separator(item);
        if (separator && afterSeparator) return true;
        afterSeparator = separator;
        return false;
    });
    const guint count = webkit_context_menu_get_n_items(menu);
    if (count == 0) return;
    WebKitContextMenuItem* last = webkit_context_menu_get_item_at_position(menu, count - 1);
    if (webkit_context_menu_item_is_separator(last)) webkit_context_menu_remove(menu, last);
}

}  // namespace pw::gtk

// The recent files, as the start screen's list or as the toolbar's menu: the name, and
// the folder it is in.

import { t } from './i18n.mjs';
import { icon } from './icons.mjs';
import { folderName } from './native.mjs';

export function renderRecent(container, list, { menu, open }) {
    container.replaceChildren(...list.map((entry) => {
        const button = document.createElement('button');
        button.type = 'button';
        button.className = 'recent-item';
        if (menu) button.setAttribute('role', 'menuitem');
        button.title = entry.path;
        const name = document.createElement('span');
        name.className = 'recent-name';
        name.textContent = entry.name;
        const where = document.createElement('span');
        where.className = 'recent-folder';
        where.textContent = folderName(entry.path);
        button.append(icon('file'), name, where);
        button.addEventListener('click', () => open(entry));
        if (menu) return button;
        const item = document.createElement('li');
        item.append(button);
        return item;
    }));
    if (!list.length) {
        const none = document.createElement(menu ? 'div' : 'li');
        none.className = 'recent-none';
        none.textContent = t('noRecent');
        container.append(none);
    }
}

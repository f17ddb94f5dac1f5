// The document's outline (its bookmarks) as a tree beside the pages: entries with
// children fold and unfold, a click on an entry goes where it leads. Entries come
// folded or unfolded as the document asks (a negative count means folded).

import { icon } from './icons.mjs';
import { outsideAddress } from './links.mjs';

export class Outline {
    // follow(dest): goes to a destination inside the document.
    constructor(container, { follow }) {
        this.container = container;
        this.follow = follow;
        this.generation = 0;
    }

    // Shows the outline of the document; resolves with whether it has one.
    async show(doc) {
        const generation = ++this.generation;
        let items = null;
        try {
            items = doc?.pdf ? await doc.pdf.getOutline() : null;
        } catch {
            items = null;  // an outline that cannot be read is as good as none
        }
        if (generation !== this.generation) return false;
        this.container.replaceChildren();
        if (!items?.length) return false;
        const tree = this.#list(items);
        tree.setAttribute('role', 'tree');
        this.container.append(tree);
        return true;
    }

    #list(items) {
        const list = document.createElement('ul');
        list.setAttribute('role', 'group');
        for (const item of items) list.append(this.#entry(item));
        return list;
    }

    #entry(item) {
        const entry = document.createElement('li');
        entry.setAttribute('role', 'treeitem');
        const row = document.createElement('div');
        row.className = 'outline-row';
        const children = item.items ?? [];
        const toggle = document.createElement('button');
        toggle.type = 'button';
        toggle.className = 'outline-toggle';
        toggle.tabIndex = -1;
        toggle.append(icon('chevron'));
        toggle.hidden = !children.length;
        const title = document.createElement(item.url ? 'a' : 'button');
        title.className = 'outline-title';
        title.textContent = (item.title ?? '').trim() || '—';
        title.title = title.textContent;
        if (item.bold) title.classList.add('bold');
        if (item.italic) title.classList.add('italic');
        if (item.url) {
            const address = outsideAddress(item.url);
            if (address) {
                title.href = address;
                title.target = '_blank';
                title.rel = 'noopener noreferrer nofollow';
            }
        } else {
            title.type = 'button';
            title.addEventListener('click', () => item.dest && this.follow(item.dest));
        }
        row.append(toggle, title);
        entry.append(row);
        if (children.length) {
            const setOpen = (open) => {
                entry.setAttribute('aria-expanded', String(open));
                entry.classList.toggle('open', open);
            };
            setOpen((item.count ?? 0) > 0);
            toggle.addEventListener('click', () => setOpen(!entry.classList.contains('open')));
            entry.append(this.#list(children));
        }
        return entry;
    }
}

// The sidebar: a small picture of every page, the current one marked. Clicking a page
// goes to it; dragging one to another place moves the page there. The strip is one
// stop for Tab: only the current page's picture takes the focus, and the arrow keys go
// from page to page inside it. As in the page view, only the pictures within reach of
// the list's view have an element.

import { PlacedList } from './placed_list.mjs';
import { turnedCopy } from './turned_copy.mjs';

const THUMB_WIDTH = 116;  // CSS pixels of the picture's longer horizontal extent
// Keep in step with the style sheet: an item's border, padding and label around its
// picture, the space between items and the list's padding.
const ITEM_CHROME = 2 * 2 + 2 * 6 + 6 + 16;
const ITEM_GAP = 10;
const LIST_PADDING = 14;
const REACH = 2;  // heights of the list above and below it

function pictureSize(size) {
    const scale = THUMB_WIDTH / Math.max(size.width, size.height * 0.8);
    return { width: Math.round(size.width * scale), height: Math.round(size.height * scale) };
}

function sizeItem(item, size) {
    const { width, height } = pictureSize(size);
    item.style.height = `${height + ITEM_CHROME}px`;
    item.firstElementChild.style.width = `${width}px`;
    item.firstElementChild.style.height = `${height}px`;
}

export class Thumbnails {
    constructor(list, { onSelect, onMove }) {
        this.list = list;
        this.onSelect = onSelect;
        this.onMove = onMove;
        this.doc = null;
        this.current = 0;
        this.dragged = null;  // the index of the picture being dragged
        this.generation = 0;
        this.column = document.createElement('div');
        this.column.className = 'thumb-column';
        list.append(this.column);
        this.items = new PlacedList(list, this.column, {
            make: (index) => this.#item(index),
            drop: (index, item) => {
                this.observer.unobserve(item);
                this.#release(item);
            },
            keep: (index) => index === this.dragged,
            gap: ITEM_GAP,
            padding: LIST_PADDING,
            reach: REACH,
        });
        this.observer = new IntersectionObserver((entries) => {
            for (const { isIntersecting, target } of entries) {
                if (isIntersecting) this.#render(target);
                else this.#release(target);
            }
        }, { root: list, rootMargin: '200px 0px' });
        this.#wireDragging();
        list.addEventListener('keydown', (event) => {
            const item = event.target.closest?.('.thumb');
            const step = { ArrowDown: 1, ArrowUp: -1 }[event.key];
            if (!item || !step || event.altKey || event.ctrlKey) return;
            event.preventDefault();
            const next = Number(item.dataset.index) + step;
            if (next < 0 || next >= this.items.length) return;
            this.onSelect(next + 1);
            this.items.element(next)?.focus();
        });
    }

    // The pictures are drawn once `ready` resolves (the page in view is drawn first).
    show(doc, ready = Promise.resolve()) {
        this.doc = doc;
        this.ready = ready;
        ++this.generation;
        this.observer.disconnect();
        this.items.clear();
        if (!doc) return;
        this.#place();
        this.mark(doc.currentPage);
    }

    // Every picture's place in the list, from the pages' sizes as they stand.
    #place() {
        this.items.place(this.doc.sizes.map((size) => pictureSize(size).height + ITEM_CHROME));
    }

    #item(index) {
        const item = document.createElement('button');
        item.type = 'button';
        item.className = 'thumb';
        item.draggable = true;
        item.dataset.index = String(index);
        const picture = document.createElement('div');
        picture.className = 'thumb-picture';
        const label = document.createElement('span');
        label.className = 'thumb-label';
        label.textContent = String(index + 1);
        item.append(picture, label);
        sizeItem(item, this.doc.sizes[index]);
        this.#markItem(item, index === this.current - 1);
        item.addEventListener('click', () => this.onSelect(index + 1));
        this.observer.observe(item);
        return item;
    }

    // Draws one page's picture again after it alone changed (a quarter turn of `turn`
    // degrees): the old picture, turned, stands in until `ready` resolves.
    refreshItem(index, turn = 0, ready = Promise.resolve()) {
        if (!this.doc) return this.show(this.doc, ready);
        this.#place();
        const item = this.items.element(index);
        if (!item) return;
        sizeItem(item, this.doc.sizes[index]);
        const picture = item.firstElementChild;
        const old = picture.querySelector('canvas');
        picture.replaceChildren(...(old && turn ? [turnedCopy(old, turn)] : []));
        delete item.dataset.rendered;
        const generation = this.generation;
        ready.then(() => generation === this.generation && item.isConnected && this.#render(item));
    }

    // Marks the current page's picture, scrolling the list to it when it is out of view.
    mark(pageNumber) {
        this.current = pageNumber;
        for (const item of this.column.querySelectorAll('.thumb.current')) this.#markItem(item, false);
        const index = pageNumber - 1;
        if (index < 0 || index >= this.items.length) return;
        const top = this.items.topOf(index);
        const bottom = top + this.items.heightOf(index);
        if (top < this.list.scrollTop) this.list.scrollTop = top;
        else if (bottom > this.list.scrollTop + this.list.clientHeight) this.list.scrollTop = bottom - this.list.clientHeight;
        this.items.update();
        const item = this.items.element(index);
        if (item) this.#markItem(item, true);
    }

    // Only the current page's picture takes the focus: the strip is one stop for Tab.
    #markItem(item, current) {
        item.classList.toggle('current', current);
        item.tabIndex = current ? 0 : -1;
        if (current) item.setAttribute('aria-current', 'page');
        else item.removeAttribute('aria-current');
    }

    async #render(item) {
        if (item.dataset.rendered) return;
        item.dataset.rendered = 'true';
        const generation = this.generation;
        const picture = item.firstElementChild;
        try {
            await this.ready;
            if (generation !== this.generation) {
                delete item.dataset.rendered;
                return;
            }
            const index = Number(item.dataset.index);
            const page = await this.doc.page(index);
            const ratio = window.devicePixelRatio || 1;
            const base = this.doc.viewport(page, index, 1);
            const viewport = this.doc.viewport(page, index, (parseFloat(picture.style.width) / base.width) * ratio);
            const canvas = document.createElement('canvas');
            canvas.width = Math.floor(viewport.width);
            canvas.height = Math.floor(viewport.height);
            await page.render({ canvasContext: canvas.getContext('2d', { alpha: false }), viewport }).promise;
            // pdf.js keeps what it drew the page from until told otherwise: over a long
            // document that is more than the pictures themselves.
            page.cleanup();
            if (generation === this.generation && item.dataset.rendered) picture.replaceChildren(canvas);
        } catch (error) {
            if (error?.name !== 'RenderingCancelledException') console.error(error);
        }
    }

    // A picture scrolled well out of the list is let go of, and drawn again if it
    // comes back.
    #release(item) {
        if (!item.dataset.rendered) return;
        delete item.dataset.rendered;
        item.firstElementChild.replaceChildren();
    }

    #wireDragging() {
        let from = null;
        const itemOf = (event) => event.target.closest?.('.thumb');
        const clearMarks = () => {
            for (const el of this.list.querySelectorAll('.drop-before, .drop-after'))
                el.classList.remove('drop-before', 'drop-after');
        };
        // Dropping on the lower half of a page puts the dragged page after it.
        const target = (event, item) => {
            const box = item.getBoundingClientRect();
            const after = event.clientY > box.top + box.height / 2;
            return { index: Number(item.dataset.index), after };
        };
        this.list.addEventListener('dragstart', (event) => {
            const item = itemOf(event);
            if (!item) return;
            from = Number(item.dataset.index);
            this.dragged = from;
            item.classList.add('dragging');
            if (event.dataTransfer) {
                event.dataTransfer.effectAllowed = 'move';
                event.dataTransfer.setData('text/plain', String(from + 1));
            }
        });
        this.list.addEventListener('dragover', (event) => {
            const item = itemOf(event);
            if (from === null || !item) return;
            event.preventDefault();
            if (event.dataTransfer) event.dataTransfer.dropEffect = 'move';
            clearMarks();
            item.classList.add(target(event, item).after ? 'drop-after' : 'drop-before');
        });
        this.list.addEventListener('dragleave', (event) => {
            if (!this.list.contains(event.relatedTarget)) clearMarks();
        });
        this.list.addEventListener('drop', (event) => {
            const item = itemOf(event);
            clearMarks();
            if (from === null || !item) return;
            event.preventDefault();
            const { index, after } = target(event, item);
            let to = after ? index + 1 : index;
            if (to > from) --to;  // the dragged page leaves its old place first
            const moving = from;
            from = null;
            this.dragged = null;
            if (to !== moving) this.onMove(moving, to);
        });
        this.list.addEventListener('dragend', () => {
            from = null;
            this.dragged = null;
            clearMarks();
            for (const el of this.list.querySelectorAll('.dragging')) el.classList.remove('dragging');
        });
    }
}

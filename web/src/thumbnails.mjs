// The sidebar: a small picture of every page, the current one marked. Clicking a page
// goes to it; dragging one to another place moves the page there. The strip is one
// stop for Tab: only the current page's picture takes the focus, and the arrow keys go
// from page to page inside it.

import { turnedCopy } from './turned_copy.mjs';

const THUMB_WIDTH = 116;  // CSS pixels of the picture's longer horizontal extent

function sizePicture(picture, size) {
    const scale = THUMB_WIDTH / Math.max(size.width, size.height * 0.8);
    picture.style.width = `${Math.round(size.width * scale)}px`;
    picture.style.height = `${Math.round(size.height * scale)}px`;
}

export class Thumbnails {
    constructor(list, { onSelect, onMove }) {
        this.list = list;
        this.onSelect = onSelect;
        this.onMove = onMove;
        this.doc = null;
        this.generation = 0;
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
            const next = this.list.children[Number(item.dataset.index) + step];
            if (!next) return;
            this.onSelect(Number(next.dataset.index) + 1);
            next.focus();
        });
    }

    // The pictures are drawn once `ready` resolves (the page in view is drawn first).
    show(doc, ready = Promise.resolve()) {
        this.doc = doc;
        this.ready = ready;
        ++this.generation;
        this.observer.disconnect();
        this.list.replaceChildren();
        if (!doc) return;
        doc.sizes.forEach((size, index) => {
            const item = document.createElement('button');
            item.type = 'button';
            item.className = 'thumb';
            item.draggable = true;
            item.tabIndex = -1;
            item.dataset.index = String(index);
            const picture = document.createElement('div');
            picture.className = 'thumb-picture';
            sizePicture(picture, size);
            const label = document.createElement('span');
            label.className = 'thumb-label';
            label.textContent = String(index + 1);
            item.append(picture, label);
            item.addEventListener('click', () => this.onSelect(index + 1));
            this.list.append(item);
            this.observer.observe(item);
        });
        this.mark(doc.currentPage);
    }

    // Draws one page's picture again after it alone changed (a quarter turn of `turn`
    // degrees): the old picture, turned, stands in until `ready` resolves.
    refreshItem(index, turn = 0, ready = Promise.resolve()) {
        const item = this.list.children[index];
        if (!item || !this.doc) return this.show(this.doc, ready);
        const picture = item.firstElementChild;
        sizePicture(picture, this.doc.sizes[index]);
        const old = picture.querySelector('canvas');
        picture.replaceChildren(...(old && turn ? [turnedCopy(old, turn)] : []));
        delete item.dataset.rendered;
        const generation = this.generation;
        ready.then(() => generation === this.generation && item.isConnected && this.#render(item));
    }

    mark(pageNumber) {
        for (const item of this.list.querySelectorAll('.thumb.current')) {
            item.classList.remove('current');
            item.removeAttribute('aria-current');
            item.tabIndex = -1;
        }
        const item = this.list.children[pageNumber - 1];
        if (!item) return;
        item.classList.add('current');
        item.tabIndex = 0;
        item.setAttribute('aria-current', 'page');
        const top = item.offsetTop - this.list.offsetTop;
        if (top < this.list.scrollTop || top + item.offsetHeight > this.list.scrollTop + this.list.clientHeight)
            item.scrollIntoView({ block: 'nearest' });
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
            if (to !== moving) this.onMove(moving, to);
        });
        this.list.addEventListener('dragend', () => {
            from = null;
            clearMarks();
            for (const el of this.list.querySelectorAll('.dragging')) el.classList.remove('dragging');
        });
    }
}

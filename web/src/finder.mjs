// Find in the document: looks through the text of each page (its own text and any
// recognised words) from the current page on, goes to the first page that has the
// words, and selects them there in the page's text layer.

import { t } from './i18n.mjs';

const normalise = (text) => text.replace(/\s+/g, ' ').toLocaleLowerCase();

export class Finder {
    constructor(app, bar, input) {
        this.app = app;
        this.bar = bar;
        this.input = input;
        this.last = null;  // {query, page}
        bar.addEventListener('submit', (event) => {
            event.preventDefault();
            this.find(1);
        });
        bar.querySelector('#find-previous').addEventListener('click', () => this.find(-1));
        bar.querySelector('#find-close').addEventListener('click', () => this.close());
        input.addEventListener('keydown', (event) => {
            if (event.key === 'Enter' && event.shiftKey) {
                event.preventDefault();
                this.find(-1);
            }
        });
    }

    open() {
        this.bar.hidden = false;
        this.input.focus();
        this.input.select();
    }

    close() {
        if (this.bar.hidden) return;
        this.bar.hidden = true;
        this.app.viewer.scroller.focus();
    }

    toggle() {
        if (this.bar.hidden) this.open();
        else this.close();
    }

    reset() {
        this.last = null;
    }

    async find(direction) {
        const doc = this.app.active;
        const query = this.input.value.trim();
        if (!doc || !query) return;
        const wanted = normalise(query);
        const count = doc.pageCount;
        // The same query again moves on from the page of the previous match.
        const again = this.last?.query === wanted;
        const start = again ? this.last.page - 1 + direction : doc.currentPage - 1;
        for (let step = 0; step < count; ++step) {
            const index = (((start + direction * step) % count) + count) % count;
            if (normalise(await doc.pageText(index)).includes(wanted)) {
                this.last = { query: wanted, page: index + 1 };
                await this.#select(index, query, direction);
                return;
            }
        }
        this.last = null;
        this.app.toasts.show(t('notFound', { q: query }), 'info');
    }

    // Goes to the page, waits for its text layer, and lets the engine select the words
    // inside that page.
    async #select(index, query, direction) {
        const viewer = this.app.viewer;
        viewer.goTo(index + 1);
        const frame = viewer.frame(index);
        for (let tries = 0; tries < 50 && frame.dataset.drawn !== 'true'; ++tries)
            await new Promise((resolve) => setTimeout(resolve, 40));
        const selection = window.getSelection();
        selection.removeAllRanges();
        const range = document.createRange();
        range.selectNodeContents(frame);
        range.collapse(direction > 0);
        selection.addRange(range);
        if (typeof window.find === 'function') window.find(query, false, direction < 0, false);
        this.input.focus();
    }
}

// Find in the document: every match of the words typed, on every page (its own text
// and any recognised words). The matches on the pages drawn are highlighted, the
// current one more strongly; Enter and Shift+Enter (F3, Shift+F3) step through all of
// them in reading order, and the count says which one is shown. The field keeps the
// focus throughout: nothing here selects text or moves the focus.

import { t } from './i18n.mjs';
import { findInPieces, queryPattern, stepMatch } from './text_search.mjs';

const TYPING_PAUSE = 250;  // ms of quiet after a key before the document is searched
const supportsHighlights = typeof CSS !== 'undefined' && 'highlights' in CSS && typeof Highlight === 'function';

export class Finder {
    constructor(app, bar) {
        this.app = app;
        this.bar = bar;
        this.input = bar.querySelector('#find-text');
        this.counter = bar.querySelector('#find-count');
        this.results = null;   // {doc, bytes, query, pages: [[match]]}
        this.position = null;  // {page, index} of the current match
        this.queue = Promise.resolve();
        bar.addEventListener('submit', (event) => {
            event.preventDefault();
            this.step(1);
        });
        bar.querySelector('#find-previous').addEventListener('click', () => this.step(-1));
        bar.querySelector('#find-close').addEventListener('click', () => this.close());
        this.input.addEventListener('keydown', (event) => {
            if (event.key === 'Enter' && event.shiftKey) {
                event.preventDefault();
                this.step(-1);
            }
        });
        this.input.addEventListener('input', () => {
            clearTimeout(this.timer);
            this.timer = setTimeout(() => this.step(0), TYPING_PAUSE);
        });
    }

    get isOpen() {
        return !this.bar.hidden;
    }

    open() {
        this.bar.hidden = false;
        this.input.focus();
        this.input.select();
    }

    close() {
        if (this.bar.hidden) return;
        this.bar.hidden = true;
        this.reset();
        this.app.viewer.scroller.focus();
    }

    toggle() {
        if (this.bar.hidden) this.open();
        else this.close();
    }

    // Forgets the matches (another document is shown).
    reset() {
        clearTimeout(this.timer);
        this.results = null;
        this.position = null;
        this.counter.textContent = '';
        this.highlight();
    }

    // Goes to the next (1) or previous (-1) match, or to the first one from the current
    // page on for a query just typed (0). Steps run one after another.
    step(direction) {
        clearTimeout(this.timer);
        this.queue = this.queue.then(() => this.#step(direction)).catch((error) => console.error(error));
        return this.queue;
    }

    async #step(direction) {
        const results = await this.#search();
        if (!results) {
            this.position = null;
            this.counter.textContent = '';
            this.highlight();
            return;
        }
        const doc = results.doc;
        const fresh = direction === 0 || !this.position;
        const next = stepMatch(results.pages.map((m) => m.length), fresh ? null : this.position,
            direction || 1, doc.currentPage - 1);
        this.position = next && { page: next.page, index: next.index };
        this.counter.textContent = next ? t('findCount', { n: next.ordinal, count: next.total }) : t('findNone');
        this.counter.classList.toggle('none', !next);
        this.highlight();
        if (next) await this.#reveal(next.page, next.index);
    }

    // The matches of the field's text in the active document, searched again only when
    // the text or the document changed.
    async #search() {
        const doc = this.app.active;
        const query = this.input.value;
        const pattern = queryPattern(query);
        if (!doc || !pattern) return null;
        const known = this.results;
        // Every edit gives the document a new state: results hold for the one they read.
        if (known?.doc === doc && known.state === doc.state && known.query === query) return known;
        const state = doc.state;
        const pages = [];
        for (let index = 0; index < doc.pageCount; ++index) pages.push(findInPieces(await doc.pagePieces(index), pattern));
        // The document may have changed while its pages were read: search again then.
        if (doc.state !== state || doc !== this.app.active) return this.#search();
        this.results = { doc, state, query, pages };
        this.position = null;
        return this.results;
    }

    // Brings the match into the middle of the view, drawing its page first if needed.
    async #reveal(page, index) {
        const viewer = this.app.viewer;
        if (!viewer.isDrawn(page)) {
            viewer.goTo(page + 1);
            await viewer.drawn(page);
        }
        const range = this.#range(page, this.results.pages[page][index]);
        if (!range) return;
        const box = range.getBoundingClientRect();
        const view = viewer.scroller.getBoundingClientRect();
        viewer.scroller.scrollBy({ top: box.top - view.top - viewer.scroller.clientHeight / 3, left: 0, behavior: 'instant' });
    }

    // Highlights the matches on every page drawn; the viewer calls it again whenever a
    // page is drawn.
    highlight() {
        if (!supportsHighlights) return;
        const all = new Highlight();
        const current = new Highlight();
        const results = this.results;
        if (results && results.doc === this.app.active && !this.bar.hidden) {
            results.pages.forEach((matches, page) => {
                if (!matches.length || !this.app.viewer.isDrawn(page)) return;
                matches.forEach((match, index) => {
                    const range = this.#range(page, match);
                    if (!range) return;
                    const here = this.position?.page === page && this.position.index === index;
                    (here ? current : all).add(range);
                });
            });
        }
        CSS.highlights.set('find-match', all);
        CSS.highlights.set('find-current', current);
    }

    #range(page, { from, to }) {
        const spans = this.app.viewer.textSpans(page);
        const start = spans[from.piece]?.firstChild;
        const end = spans[to.piece]?.firstChild;
        if (!start || !end || from.offset > start.length || to.offset > end.length) return null;
        const range = document.createRange();
        range.setStart(start, from.offset);
        range.setEnd(end, to.offset);
        return range;
    }
}

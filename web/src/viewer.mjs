// The page view: every page of the active document in one scrolling column, drawn by
// pdf.js when it comes near the visible area and released when it goes far away, with
// pdf.js's text layer for selection, its annotation layer for links and form fields,
// and a layer of recognised text where there is one. Only the pages within a few
// screens of the view have a frame in the column.

import { AnnotationLayer, TextLayer } from './pdf_engine.mjs';
import { PlacedList } from './placed_list.mjs';
import { buildRecognisedLayer } from './recognised_layer.mjs';
import { turnInPlace } from './turned_copy.mjs';

const CSS_PER_PDF_UNIT = 96 / 72;  // 100 % shows a page at its printed size
const ZOOM_STEPS = [0.25, 0.33, 0.5, 0.67, 0.75, 0.8, 0.9, 1, 1.1, 1.25, 1.5, 1.75, 2, 2.5, 3, 4, 5];
const AUTO_LIMIT = 1.25;
// Fitting goes as low as the page needs (a 200-inch banner); only stepping stops at
// the list's ends.
const FIT_FLOOR = 0.01;
// A canvas larger than this is not drawn at all by the engine: bigger pages are drawn
// at a lower resolution and stretched.
const MAX_CANVAS_PIXELS = 2 ** 25;
// The longest the layers wait for the drawing to reach the screen: a view that is not
// shown has no frames.
const FRAME_WAIT_MS = 50;
const GAP = 16;
const PADDING = 24;  // keep in step with .page's left and right in the style sheet
// How far beyond the view, in heights of the view, pages keep their frames: further
// than the reach at which they are drawn ahead (the observer's margin).
const FRAMED_SCREENS = 1.5;

// Resolves once the next frame has been made, or after FRAME_WAIT_MS without one.
function afterNextFrame() {
    return new Promise((resolve) => {
        let done = false;
        const go = () => {
            if (done) return;
            done = true;
            setTimeout(resolve, 0);
        };
        requestAnimationFrame(go);
        setTimeout(go, FRAME_WAIT_MS);
    });
}

export class Viewer {
    constructor(scroller, { onPageChange, onScaleChange, onPageDrawn, links }) {
        this.scroller = scroller;
        this.links = links;
        this.onPageDrawn = onPageDrawn;
        this.waiting = [];  // {index, resolve} of drawn(index)
        this.column = scroller.querySelector('.pages');
        this.onPageChange = onPageChange;
        this.onScaleChange = onScaleChange;
        this.doc = null;
        this.frames = new PlacedList(scroller, this.column, {
            make: (index) => this.#frame(index),
            drop: (index, frame) => this.#unframe(frame),
            gap: GAP,
            padding: PADDING,
            reach: FRAMED_SCREENS,
        });
        this.zoom = { mode: 'auto' };
        this.scale = 1;
        this.generation = 0;
        this.observer = new IntersectionObserver((entries) => this.#visibilityChanged(entries), {
            root: scroller,
            rootMargin: '100% 0px',
        });
        this.scroller.addEventListener('scroll', () => this.#scrolled(), { passive: true });
        // A page chosen by number stays current while it is in view, even when it cannot
        // scroll up to the top (the last pages); the user's own scrolling ends that.
        this.pinned = 0;
        for (const type of ['wheel', 'pointerdown', 'keydown', 'touchstart'])
            this.scroller.addEventListener(type, () => (this.pinned = 0), { passive: true });
        new ResizeObserver(() => this.#resized()).observe(scroller);
        this.lastWidth = scroller.clientWidth;
    }

    // Shows a document, at its remembered page.
    show(doc) {
        this.doc = doc;
        this.#layout();
        if (doc) this.goTo(doc.currentPage);
    }

    // Lays the pages out again after the document changed (an edit or an undo).
    refresh() {
        const page = this.doc?.currentPage ?? 1;
        this.#layout();
        if (this.doc) this.goTo(page);
    }

    // Draws one page again after it alone changed (a quarter turn of `turn` degrees):
    // the others keep their frames, and their drawings unless the turn changes the scale
    // that fits. What was drawn is shown at once, turned and stretched to the new frame,
    // until pdf.js has drawn the page anew.
    refreshPage(index, turn = 0) {
        if (!this.doc) return this.refresh();
        const frame = this.frames.element(index);
        const scale = this.#fitScale();
        if (Math.abs(scale - this.scale) > 1e-6) {
            const page = this.currentPage;
            this.scale = scale;
            this.onScaleChange?.(this.scale, this.zoom);
            this.#place();
            for (const [, drawn] of this.frames.shown()) if (drawn.dataset.rendered) this.#redraw(drawn, drawn === frame ? turn : 0);
            this.goTo(page);
            return;
        }
        this.#place();
        if (frame) this.#redraw(frame, turn);
    }

    // The drawing and the layers' content are kept for the new frame: the page is shown
    // turned and sized at once, and its layers are laid out without asking pdf.js.
    #redraw(frame, turn = 0) {
        const canvas = frame.dataset.drawn === 'true' ? frame.querySelector(':scope > canvas') : null;
        const preview = canvas && { canvas, text: frame.pageText, annotations: frame.annotations };
        this.#release(frame);
        if (preview) frame.replaceChildren(turnInPlace(canvas, turn, parseFloat(frame.style.width), parseFloat(frame.style.height)));
        this.#render(frame, preview);
    }

    // A page's size on screen, in whole CSS pixels.
    #pixels(size) {
        const units = this.scale * CSS_PER_PDF_UNIT;
        return { width: Math.floor(size.width * units), height: Math.floor(size.height * units) };
    }

    #size(frame, index) {
        const { width, height } = this.#pixels(this.doc.sizes[index]);
        frame.style.width = `${width}px`;
        frame.style.height = `${height}px`;
        frame.style.setProperty('--scale-factor', String(this.scale * CSS_PER_PDF_UNIT));
    }

    // Every page's place in the column at the scale shown; the frames there are sized
    // and moved to match.
    #place() {
        const sizes = this.doc.sizes.map((size) => this.#pixels(size));
        this.frames.place(sizes.map((s) => s.height), sizes.reduce((widest, s) => Math.max(widest, s.width), 0));
        for (const [index, frame] of this.frames.shown()) this.#size(frame, index);
    }

    #frame(index) {
        const frame = document.createElement('div');
        frame.className = 'page';
        frame.dataset.index = String(index);
        frame.dataset.pageNumber = String(index + 1);
        this.#size(frame, index);
        this.observer.observe(frame);
        return frame;
    }

    #unframe(frame) {
        this.observer.unobserve(frame);
        frame.near = false;
        this.#leave(frame);
    }

    get currentPage() {
        return this.doc?.currentPage ?? 0;
    }

    goTo(pageNumber) {
        if (!this.doc) return;
        const n = Math.min(Math.max(1, Math.round(pageNumber) || 1), this.doc.pageCount);
        this.pinned = n;
        this.scroller.scrollTo({ top: this.frames.topOf(n - 1) - PADDING / 2, behavior: 'instant' });
        this.frames.update();
        this.#bringAcross(n - 1);
        this.#setCurrent(n);
    }

    // A page far narrower than the widest one (which sets the column's width) may lie
    // wholly to one side of the view: it is brought to the middle. A page the view shows
    // part of stays where the user has scrolled it.
    #bringAcross(index) {
        const frame = this.frames.element(index);
        if (!frame) return;
        const view = this.scroller.getBoundingClientRect();
        const box = frame.getBoundingClientRect();
        if (box.right > view.left && box.left < view.right) return;
        this.scroller.scrollLeft += box.left - view.left - Math.max(0, (this.scroller.clientWidth - box.width) / 2);
    }

    // Goes to a point of a page given in PDF units (a link's destination); a missing
    // coordinate keeps the page's top.
    // `pageIndex` counts the file's pages (a destination's), or the pages as shown when
    // `shown` is set; a page the user deleted leads nowhere.
    async goToPoint({ pageIndex, left = null, top = null, shown = false }) {
        const doc = this.doc;
        const index = shown ? pageIndex : doc?.indexOfFilePage(pageIndex) ?? -1;
        if (index < 0) return;
        this.goTo(index + 1);
        if (top === null) return;
        const page = await doc.page(index);
        if (doc !== this.doc) return;
        const viewport = doc.viewport(page, index, this.scale * CSS_PER_PDF_UNIT);
        const [, y] = viewport.convertToViewportPoint(left ?? 0, top);
        this.scroller.scrollTo({ top: this.frames.topOf(index) + Math.max(0, y) - PADDING / 2, behavior: 'instant' });
        this.frames.update();
    }

    setZoom(zoom) {
        const page = this.currentPage;
        this.zoom = zoom;
        this.#layout();
        if (this.doc) this.goTo(page);
    }

    zoomIn() {
        this.setZoom({ mode: 'scale', value: ZOOM_STEPS.find((s) => s > this.scale + 0.001) ?? ZOOM_STEPS.at(-1) });
    }

    zoomOut() {
        // Below the list's lowest step (a fit for a huge page), zooming out stays put.
        const lower = [...ZOOM_STEPS].reverse().find((s) => s < this.scale - 0.001);
        this.setZoom({ mode: 'scale', value: lower ?? Math.min(this.scale, ZOOM_STEPS[0]) });
    }

    // The frame of a page, for layers added later (recognised text).
    frame(index) {
        return this.frames.element(index);
    }

    showRecognised(index) {
        const frame = this.frames.element(index);
        if (!frame || !this.doc) return;
        frame.querySelector('.ocrLayer')?.remove();
        const entry = this.doc.recognisedText(index);
        if (entry) frame.append(buildRecognisedLayer(entry, parseFloat(frame.style.width), parseFloat(frame.style.height)));
        if (this.isDrawn(index)) this.onPageDrawn?.(index);
    }

    isDrawn(index) {
        return this.frames.element(index)?.dataset.drawn === 'true';
    }

    // Resolves once the page is drawn, or once it no longer will be (it went out of
    // view, or the pages were laid out again).
    drawn(index) {
        if (this.isDrawn(index)) return Promise.resolve();
        return new Promise((resolve) => this.waiting.push({ index, resolve }));
    }

    #settle(index = null) {
        const done = this.waiting.filter((w) => index === null || w.index === index);
        this.waiting = this.waiting.filter((w) => !done.includes(w));
        for (const w of done) w.resolve();
    }

    // The spans holding the page's text, in the order find counts them: pdf.js's text
    // layer, then the recognised words.
    textSpans(index) {
        const frame = this.frames.element(index);
        if (!frame) return [];
        return [...(frame.textDivs ?? []), ...frame.querySelectorAll('.ocrLayer span')];
    }

    #fitScale() {
        const doc = this.doc;
        if (!doc || this.zoom.mode === 'scale') return this.zoom.value ?? 1;
        const widest = Math.max(...doc.sizes.map((s) => s.width));
        const available = Math.max(this.scroller.clientWidth - 2 * PADDING, 100);
        let scale = available / (widest * CSS_PER_PDF_UNIT);
        // Automatic: the width of the window, but no larger than reads comfortably.
        if (this.zoom.mode === 'auto') scale = Math.min(scale, AUTO_LIMIT);
        if (this.zoom.mode === 'page') {
            const tallest = Math.max(...doc.sizes.map((s) => s.height));
            const height = Math.max(this.scroller.clientHeight - PADDING, 100);
            scale = Math.min(scale, height / (tallest * CSS_PER_PDF_UNIT));
        }
        return Math.min(Math.max(scale, FIT_FLOOR), ZOOM_STEPS.at(-1));
    }

    // The frames are made by goTo, which every caller goes on to, at the place shown.
    #layout() {
        ++this.generation;
        this.#settle();
        this.observer.disconnect();
        this.frames.clear();
        const doc = this.doc;
        if (!doc) return;
        this.scale = this.#fitScale();
        this.lastWidth = this.scroller.clientWidth;
        this.onScaleChange?.(this.scale, this.zoom);
        this.#place();
    }

    // Pages in view are drawn first; those only near it (drawn ahead for scrolling)
    // once the pages in view are, so that they do not hold those up.
    #visibilityChanged(entries) {
        const view = this.scroller.getBoundingClientRect();
        const near = [];
        const shown = [];
        for (const { target: frame, isIntersecting, boundingClientRect: box } of entries) {
            frame.near = isIntersecting;
            if (!isIntersecting) this.#leave(frame);
            else if (box.bottom > view.top && box.top < view.bottom) shown.push(this.#render(frame));
            else near.push(frame);
        }
        if (!near.length) return;
        this.shownWork = Promise.all([this.shownWork, ...shown]).then(() => undefined);
        const generation = this.generation;
        this.shownWork.then(() => {
            for (const frame of near) if (frame.near && frame.isConnected && generation === this.generation) this.#render(frame);
        });
    }

    // A page out of view keeps no drawing, and pdf.js nothing for drawing it again.
    #leave(frame) {
        frame.page?.cleanup();
        frame.page = null;
        this.#release(frame);
    }

    // A frame that holds nothing is left untouched: touching it anyway would have
    // every frame of a long document restyled when the pages are first laid out.
    #release(frame) {
        if (frame.dataset.rendered || frame.firstChild) {
            frame.dataset.rendered = '';
            delete frame.dataset.drawn;
            frame.renderTask?.cancel();
            frame.renderTask = null;
            frame.textDivs = null;
            frame.pageText = null;
            frame.annotations = null;
            frame.replaceChildren();
        }
        this.#settle(Number(frame.dataset.index));
    }

    // `preview`: {canvas, text} to show while the page is drawn, with the text content
    // it was drawn with, so that its layers can be laid out without waiting for pdf.js.
    async #render(frame, preview = null) {
        if (frame.dataset.rendered === String(this.generation)) return;
        frame.dataset.rendered = String(this.generation);
        const generation = this.generation;
        const current = () => generation === this.generation && frame.dataset.rendered === String(generation);
        const doc = this.doc;
        const index = Number(frame.dataset.index);
        try {
            const page = await doc.page(index);
            if (!current()) return;
            frame.page = page;
            const viewport = doc.viewport(page, index, this.scale * CSS_PER_PDF_UNIT);
            let layers = null;
            if (preview) layers = this.#layers(frame, page, viewport, doc, preview);
            const canvas = await this.#draw(frame, page, viewport, doc);
            if (!current()) return;
            if (preview) preview.canvas.replaceWith(canvas);
            else frame.replaceChildren(canvas);
            // Laying the text out takes the main thread for a while: the drawing goes to
            // the screen first.
            if (!layers) await afterNextFrame();
            if (!current()) return;
            await (layers ?? this.#layers(frame, page, viewport, doc));
        } catch (error) {
            if (error?.name === 'RenderingCancelledException') return;
            console.error(error);
            this.#settle(index);  // no one waits for a page that cannot be drawn
        }
    }

    // The page drawn by pdf.js on a canvas of its own.
    async #draw(frame, page, viewport, doc) {
        const ratio = Math.min(window.devicePixelRatio || 1,
            Math.sqrt(MAX_CANVAS_PIXELS / Math.max(1, viewport.width * viewport.height)));
        const canvas = document.createElement('canvas');
        canvas.width = Math.floor(viewport.width * ratio);
        canvas.height = Math.floor(viewport.height * ratio);
        canvas.setAttribute('aria-hidden', 'true');
        frame.renderTask = page.render({
            canvasContext: canvas.getContext('2d', { alpha: false }),
            viewport,
            transform: ratio !== 1 ? [ratio, 0, 0, ratio, 0, 0] : null,
            annotationMode: doc.annotationMode,
        });
        const task = frame.renderTask;
        try {
            await task.promise;
        } finally {
            // The task holds the canvas: a frame keeps it only while it draws.
            if (frame.renderTask === task) frame.renderTask = null;
        }
        return canvas;
    }

    // The text, recognised text and annotation layers over the canvas; the page counts
    // as drawn once they are there.
    async #layers(frame, page, viewport, doc, { text: textContent = null, annotations = null } = {}) {
        const generation = this.generation;
        const current = () => generation === this.generation && frame.dataset.rendered === String(generation);
        const index = Number(frame.dataset.index);
        const text = document.createElement('div');
        text.className = 'textLayer';
        frame.append(text);
        this.showRecognised(index);
        const content = textContent ?? await page.getTextContent();
        if (!current()) return;
        const textLayer = new TextLayer({ textContentSource: content, container: text, viewport });
        await textLayer.render();
        if (!current()) return;
        await this.#renderAnnotations(frame, page, viewport, doc, annotations);
        if (!current()) return;
        frame.textDivs = textLayer.textDivs;
        frame.pageText = content;
        frame.dataset.drawn = 'true';
        this.#settle(index);
        this.onPageDrawn?.(index);
    }

    async #renderAnnotations(frame, page, viewport, doc, known = null) {
        const annotations = known ?? await page.getAnnotations({ intent: 'display' });
        frame.annotations = annotations;
        if (!annotations.length) return;
        const div = document.createElement('div');
        div.className = 'annotationLayer';
        frame.append(div);
        const flat = viewport.clone({ dontFlip: true });
        const { annotationStorage } = doc.pdf;
        const layer = new AnnotationLayer({ div, page, viewport: flat, linkService: this.links, annotationStorage });
        await layer.render({ annotations, viewport: flat, renderForms: !doc.locked, enableScripting: false, linkService: this.links, annotationStorage });
    }

    #scrolled() {
        if (this.scrollPending) return;
        this.scrollPending = true;
        requestAnimationFrame(() => {
            this.scrollPending = false;
            if (!this.doc || !this.frames.length) return;
            const top = this.scroller.scrollTop;
            const bottom = top + this.scroller.clientHeight;
            const pinnedTop = this.pinned ? this.frames.topOf(this.pinned - 1) : 0;
            if (this.pinned && pinnedTop < bottom && pinnedTop + this.frames.heightOf(this.pinned - 1) > top) {
                this.#setCurrent(this.pinned);
                return;
            }
            this.pinned = 0;
            // The current page is the one under a line a third of the way down.
            this.#setCurrent(this.frames.indexAt(top + this.scroller.clientHeight / 3) + 1);
        });
    }

    #setCurrent(n) {
        if (!this.doc) return;
        this.doc.currentPage = n;
        this.onPageChange?.(n);
    }

    #resized() {
        const width = this.scroller.clientWidth;
        if (Math.abs(width - this.lastWidth) < 2 || this.zoom.mode === 'scale') {
            this.lastWidth = width;
            return;
        }
        this.lastWidth = width;
        clearTimeout(this.resizeTimer);
        this.resizeTimer = setTimeout(() => this.setZoom(this.zoom), 120);
    }
}


// One open PDF: its bytes, where it lives on disk (if anywhere), its pdf.js handle, the
// undo history, and the text recognised on its pages. Pages carry ids that follow them
// through moves, so what belongs to a page (its recognised text) moves with it.

import { loadPdf } from './pdf_engine.mjs';
import { shownWords } from './recognised_layer.mjs';

// Each step keeps a whole copy of the document, so the history is bounded by size too.
const HISTORY_LIMIT = 50;
const HISTORY_BYTES = 512 * 1024 * 1024;
let lastDocumentId = 0;
let lastPageId = 0;

const newRecoveryId = () => globalThis.crypto?.randomUUID?.() ?? `${Date.now()}-${Math.random().toString(36).slice(2)}`;
const newPageIds = (count) => Array.from({ length: count }, () => ++lastPageId);

// What was typed into the form's fields lives in pdf.js's storage, not yet in the
// bytes: it goes over to the document an edit or an undo makes, where the same fields
// (the same object numbers) stand.
function carryFieldValues(from, to) {
    for (const [key, value] of from.annotationStorage)
        if (value?.constructor === Object) to.annotationStorage.setValue(key, { ...value });
}

export class PdfDoc {
    // recoveryId: the name of its working copy (recovery.mjs), kept across reloads.
    constructor({ name, path = '', bytes, recoveryId = newRecoveryId() }) {
        this.id = ++lastDocumentId;
        this.recoveryId = recoveryId;
        this.name = name;
        this.path = path;
        this.bytes = bytes;
        this.savedBytes = bytes;
        this.history = [];
        this.future = [];  // the states undone, for redo
        this.pdf = null;
        this.pageIds = [];
        this.rotations = [];
        this.sizes = [];
        // page id -> {rotation, image: {width, height}, lines}
        this.recognised = new Map();
        this.currentPage = 1;
    }

    get pageCount() {
        return this.pageIds.length;
    }

    get dirty() {
        return this.bytes !== this.savedBytes;
    }

    get canUndo() {
        return this.history.length > 0;
    }

    get canRedo() {
        return this.future.length > 0;
    }

    // Opens the bytes with pdf.js; the password asked for, if any, is kept for reloads
    // after edits.
    async open(askPassword) {
        let password = null;
        const pdf = await loadPdf(this.bytes, async (again) => (password = await askPassword(again)));
        this.password = password;
        await this.adopt(pdf, newPageIds(pdf.numPages));
    }

    async adopt(pdf, pageIds) {
        const old = this.pdf;
        this.pdf = pdf;
        this.pageIds = pageIds;
        const pages = await Promise.all(pageIds.map((_, i) => pdf.getPage(i + 1)));
        this.rotations = pages.map((page) => page.rotate);
        // Sizes in PDF units as shown, that is after the page's own rotation.
        this.sizes = pages.map((page) => {
            const { width, height } = page.getViewport({ scale: 1 });
            return { width, height };
        });
        this.currentPage = Math.min(Math.max(this.currentPage, 1), pageIds.length);
        if (old) {
            carryFieldValues(old, pdf);
            old.loadingTask.destroy();
        }
    }

    async reload(bytes, pageIds) {
        const pdf = await loadPdf(bytes, () => this.password ?? null);
        this.bytes = bytes;
        await this.adopt(pdf, pageIds);
    }

    // Applies an edit: `change(bytes)` returns the new bytes; `arrange(ids, count)` says
    // which page stands where afterwards, given the old ids and the new page count
    // (null for a page new to the document).
    async apply(change, arrange) {
        const before = this.#state();
        const bytes = await change(this.bytes);
        const pdf = await loadPdf(bytes, () => this.password ?? null);
        const pageIds = arrange(this.pageIds.slice(), pdf.numPages).map((id) => id ?? ++lastPageId);
        this.bytes = bytes;
        await this.adopt(pdf, pageIds);
        this.history.push(before);
        this.future = [];
        let kept = this.history.reduce((sum, step) => sum + step.bytes.length, 0);
        while (this.history.length > 1 && (this.history.length > HISTORY_LIMIT || kept > HISTORY_BYTES))
            kept -= this.history.shift().bytes.length;
    }

    async undo() {
        return this.#travel(this.history, this.future);
    }

    async redo() {
        return this.#travel(this.future, this.history);
    }

    #state() {
        return { bytes: this.bytes, pageIds: this.pageIds, currentPage: this.currentPage };
    }

    // Goes back (or forth) one state: the one left goes on the other stack.
    async #travel(from, to) {
        const target = from.at(-1);
        if (!target) return false;
        const now = this.#state();
        this.currentPage = target.currentPage;
        await this.reload(target.bytes, target.pageIds);
        from.pop();
        to.push(now);
        return true;
    }

    // The bytes written (the document may have changed since they were taken) and
    // where they went.
    markSaved(bytes, path) {
        this.savedBytes = bytes;
        if (path) {
            this.path = path;
            this.name = path.split('/').filter(Boolean).pop() || this.name;
        }
    }

    // Recognised text, valid only while the page keeps the rotation it was read in.
    recognisedText(index) {
        const entry = this.recognised.get(this.pageIds[index]);
        return entry && entry.rotation === this.rotations[index] ? entry : null;
    }

    setRecognisedText(pageId, rotation, result) {
        this.recognised.set(pageId, { ...result, rotation });
    }

    // The text of a page as find searches it: the pieces of pdf.js's text layer, then
    // the recognised words as their layer shows them. pdf.js's part is kept per page
    // id, since no edit here changes what a page says.
    async pagePieces(index) {
        const id = this.pageIds[index];
        this.texts ??= new Map();
        if (!this.texts.has(id)) {
            const content = await (await this.pdf.getPage(index + 1)).getTextContent();
            this.texts.set(id, content.items.filter((item) => item.str !== undefined)
                .map((item) => ({ str: item.str, eol: !!item.hasEOL })));
        }
        const recognised = this.recognisedText(index);
        const words = recognised ? shownWords(recognised).map(({ text, eol }) => ({ str: text, eol })) : [];
        return [...this.texts.get(id), ...words];
    }

    close() {
        this.closed = true;
        this.pdf?.loadingTask.destroy();
        this.pdf = null;
    }
}

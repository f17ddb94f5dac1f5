// One open PDF: where it lives on disk (if anywhere), the file as last opened or
// saved, the pages as the user has arranged them since, the undo history, and the
// text recognised on its pages.
//
// An edit changes only the arrangement (which page of the file stands where, turned
// how): it is on screen at once, pdf.js drawing the same page with another rotation,
// and costs nothing in the file until a save writes it. Pages carry ids that follow
// them through moves, so what belongs to a page (its recognised text) moves with it.

import { AnnotationMode, loadPdf, prepareDrawing } from './pdf_engine.mjs';
import { PdfReader } from './pdf/reader.mjs';
import { LETTER, pageGeometry } from './pdf/page_geometry.mjs';
import { quarterTurns } from './pdf/page_tree.mjs';
import { formObjects, sourceObjects } from './pdf/form_values.mjs';
import { documentBytes, insertedFile, protections } from './pdf/saving.mjs';
import { shownWords } from './recognised_layer.mjs';

const HISTORY_LIMIT = 200;
const PREPARE_PATIENCE_MS = 250;  // the longest the opening waits for the first page
let lastDocumentId = 0;
let lastPageId = 0;

const newRecoveryId = () => globalThis.crypto?.randomUUID?.() ?? `${Date.now()}-${Math.random().toString(36).slice(2)}`;

// Why a document cannot be changed here, if it cannot.
export const Locked = Object.freeze({ encrypted: 'encrypted', damaged: 'damaged' });

// The file a state's pages come from: its bytes and reader, the pdf.js document that
// draws them, and for each page pdf.js numbers, its size and turn (`pdfPages`, read
// from the page tree by the reader where it can, so that pdf.js is asked only for the
// pages drawn). `removed` names pages of earlier revisions still in the bytes that the
// user deleted (an insertion appends to a file whose deletions are not yet saved);
// `textIn` the page ids whose recognised text the bytes already hold; `source` the
// reader of the bytes pdf.js was opened on (this base's own, unless it was saved
// since); `formsIn` the numbers of the source's objects that saves since gave form
// values to; `imported` that pages of another file came in since the last save.
// `reader`: a promise of the bytes' reader, when it was started beside pdf.js.
async function makeBase(bytes, pdf, { pdfPages = null, reader: opening = null, removed = new Set(), textIn = new Set(), source = null, formsIn = new Set(), imported = false } = {}) {
    const reader = await (opening ?? openReader(bytes));
    const pages = reader ? await reader.pages().catch(() => []) : [];
    const usable = !!reader && pages.length === pdf.numPages;
    pdfPages ??= (usable ? await geometryOf(reader, pages) : null) ?? await askPdfJs(pdf);
    return { bytes, reader, pdf, pdfPages, pages, removed, textIn, source: source ?? reader, formsIn, imported, usable };
}

// pdf.js may still show what this reader cannot follow; edits are then refused.
const openReader = (bytes) => PdfReader.open(bytes).catch(() => null);

// A reader that has walked the bytes' page tree, made while something else waits (pdf.js
// opening the bytes, the shell writing them).
const readAhead = (bytes) => openReader(bytes).then(async (reader) => {
    await reader?.pages().catch(() => null);
    return reader;
});

async function geometryOf(reader, pages) {
    try {
        const found = pages.map((page) => pageGeometry(reader, page));
        const sizes = found.some((g) => g instanceof Promise) ? await Promise.all(found) : found;
        return sizes.map((size, i) => ({ number: i + 1, ...size }));
    } catch {
        return null;
    }
}

// A page pdf.js cannot load (one a damaged page tree names twice) is laid out at the
// size of the page before it and stays blank: only a file none of whose pages loads is
// refused.
async function askPdfJs(pdf) {
    const found = await Promise.allSettled(Array.from({ length: pdf.numPages }, (_, i) => pdf.getPage(i + 1)));
    if (!found.some((result) => result.status === 'fulfilled')) throw found[0]?.reason ?? new RangeError('the document has no pages');
    let size = { rotation: 0, width: LETTER[2], height: LETTER[3] };
    return found.map((result, i) => {
        if (result.status === 'fulfilled') {
            const page = result.value;
            const { width, height } = page.getViewport({ scale: 1, rotation: 0 });
            size = { rotation: quarterTurns(page.rotate), width, height };
        }
        return { number: i + 1, ...size };
    });
}

export class PdfDoc {
    // recoveryId: the name of its working copy (recovery.mjs), kept across reloads;
    // `restored`: the bytes are such a copy, with changes the file on disk lacks;
    // `removed`: the object numbers of pages such a copy still holds but no longer shows.
    constructor({ name, path = '', bytes, recoveryId = newRecoveryId(), restored = false, removed = [] }) {
        this.id = ++lastDocumentId;
        this.recoveryId = recoveryId;
        this.restored = restored;
        this.name = name;
        this.path = path;
        this.openedBytes = bytes;
        this.openedRemoved = new Set(removed);
        this.history = [];
        this.future = [];  // the states undone, for redo
        this.state = null;
        this.savedState = null;
        this.pageIds = [];
        this.rotations = [];
        this.sizes = [];
        // page id -> {rotation, image: {width, height}, lines}
        this.recognised = new Map();
        this.currentPage = 1;
        // Form values typed since the file last took them; `onChange` hears of the first.
        // The revision tells a save whether more were typed while it ran.
        this.formsModified = false;
        this.formsRevision = 0;
        this.onChange = null;
    }

    get pdf() {
        return this.state?.base.pdf ?? null;
    }

    get pageCount() {
        return this.pageIds.length;
    }

    // Changed since opened or saved: pages arranged otherwise, or recognised text that
    // the file does not hold yet.
    get dirty() {
        return this.state !== this.savedState || this.pendingText().size > 0 || (this.formsModified && !this.locked);
    }

    get canUndo() {
        return this.history.length > 0;
    }

    get canRedo() {
        return this.future.length > 0;
    }

    // Why the document cannot be edited, or null.
    get locked() {
        const base = this.state?.base;
        if (!base) return null;
        if (base.reader?.encrypted) return Locked.encrypted;
        return base.usable ? null : Locked.damaged;
    }

    // Opens the bytes with pdf.js; the password asked for, if any, is kept for files
    // opened later on behalf of this one.
    async open(askPassword) {
        let password = null;
        const reader = readAhead(this.openedBytes);
        const pdf = await loadPdf(this.openedBytes, async (again) => (password = await askPassword(again)));
        this.password = password;
        const base = await makeBase(this.openedBytes, pdf, { reader, removed: this.openedRemoved });
        // A page tree without a page leaves nothing to show, edit or save.
        if (!base.pdfPages.length) {
            pdf.loadingTask.destroy();
            throw new RangeError('the document has no pages');
        }
        this.openedBytes = null;
        this.#watchForms(pdf);
        this.#enter(this.#identity(base));
        this.savedState = this.restored ? null : this.state;
        await this.#prepareShownPage();
    }

    // The page shown first is worked out in pdf.js's worker while the view is set up
    // around it. Its page is asked for here, while the main thread is still free to
    // take the answer: setting the view up holds the thread for a while. A page slow to
    // come does not hold the opening up; the view asks for it again.
    async #prepareShownPage() {
        const page = this.page(this.currentPage - 1).catch(() => null);
        let timer;
        const waited = new Promise((resolve) => (timer = setTimeout(resolve, PREPARE_PATIENCE_MS, null)));
        const ready = await Promise.race([page, waited]);
        clearTimeout(timer);
        if (ready) prepareDrawing(ready, this.annotationMode);
    }

    // Form fields are drawn by the annotation layer, as fields one can fill in; in a
    // document that cannot be changed here, on the page as they are.
    get annotationMode() {
        return this.locked ? AnnotationMode.ENABLE : AnnotationMode.ENABLE_FORMS;
    }

    #watchForms(pdf) {
        pdf.annotationStorage.onSetModified = () => {
            this.formsModified = true;
            ++this.formsRevision;
            this.onChange?.();
        };
    }

    // The state that shows the base's pages as they are.
    #identity(base, ids = null) {
        const entries = base.pdfPages.map((p, i) => ({ page: i, rotation: p.rotation, id: ids?.[i] ?? ++lastPageId }));
        return { base, entries };
    }

    #enter(state) {
        this.state = state;
        const { base, entries } = state;
        this.pageIds = entries.map((e) => e.id);
        this.rotations = entries.map((e) => e.rotation);
        this.sizes = entries.map((e) => {
            const { width, height } = base.pdfPages[e.page];
            return e.rotation % 180 ? { width: height, height: width } : { width, height };
        });
        this.currentPage = Math.min(Math.max(this.currentPage, 1), entries.length);
    }

    // The pdf.js page shown at `index`, and its viewport at `scale` as arranged.
    async page(index) {
        const { base, entries } = this.state;
        return base.pdf.getPage(base.pdfPages[entries[index].page].number);
    }

    // Where the page that pdf.js numbers `pdfIndex` (from 0) is shown, or -1 when it
    // was deleted.
    indexOfFilePage(pdfIndex) {
        const { base, entries } = this.state;
        return entries.findIndex((e) => base.pdfPages[e.page].number === pdfIndex + 1);
    }

    viewport(page, index, scale) {
        return page.getViewport({ scale, rotation: this.state.entries[index].rotation });
    }

    // Applies an edit of the arrangement: `change(entries)` returns the new entries
    // (each {page, rotation, id}; a copy, the old ones stay for undo).
    apply(change) {
        const entries = change(this.state.entries.map((e) => ({ ...e })));
        if (!entries.length) throw new RangeError('a document keeps at least one page');
        this.#push({ base: this.state.base, entries });
    }

    #push(state) {
        this.history.push({ state: this.state, currentPage: this.currentPage });
        if (this.history.length > HISTORY_LIMIT) this.history.shift();
        this.future = [];
        this.#enter(state);
    }

    rotate(index, delta) {
        this.apply((entries) => {
            entries[index].rotation = quarterTurns(entries[index].rotation + delta);
            return entries;
        });
    }

    // Inserts every page of another file at `at`. The pages are appended to this
    // file's bytes as an update (what the arrangement holds so far comes along), which
    // pdf.js then opens; returns how many pages came in.
    async insert(otherBytes, at) {
        const { bytes, count, removed } = await insertedFile(this.state, otherBytes, at, await this.#formObjects());
        const pdf = await loadPdf(bytes, () => this.password ?? null);
        const base = await makeBase(bytes, pdf, { removed, textIn: this.state.base.textIn, imported: true });
        // The values typed so far are in the new bytes, which pdf.js now shows.
        this.formsModified = false;
        this.#watchForms(pdf);
        const ids = this.pageIds.slice();
        ids.splice(at, 0, ...Array(count).fill(null));
        this.#push(this.#identity(base, ids));
        return count;
    }

    undo() {
        return this.#travel(this.history, this.future);
    }

    redo() {
        return this.#travel(this.future, this.history);
    }

    // Goes back (or forth) one state: the one left goes on the other stack.
    #travel(from, to) {
        const target = from.pop();
        if (!target) return false;
        to.push({ state: this.state, currentPage: this.currentPage });
        this.currentPage = target.currentPage;
        this.#enter(target.state);
        return true;
    }

    // What a save writes for the current state: {state, bytes, whole} where `whole`
    // says the file is written anew (pages were deleted) rather than appended to,
    // `unchanged` that the bytes are the file's own, `inserted` that they hold pages of
    // another file not saved before.
    // `forSave`: the bytes are to be written as the document's file; `forRecovery`:
    // they are for a working copy, which needs only what is added (see documentBytes).
    async output({ forSave = false, forRecovery = false } = {}) {
        const state = this.state;
        const layers = this.pendingText();
        const ids = [...layers.keys()].map((index) => state.entries[index].id);
        const forms = await this.#formObjects();
        const formsRevision = forms.size > 0 ? this.formsRevision : null;
        const formsIn = sourceObjects(forms, state.base.source);
        const inserted = state.base.imported;
        return { state, textIds: ids, formsRevision, formsIn, inserted, ...(await documentBytes(state, layers, forms, { inPlace: forSave, updateOnly: forRecovery })) };
    }

    // The objects that carry the form values typed since the last save, if any.
    async #formObjects() {
        const base = this.state.base;
        if (!this.formsModified || this.locked) return new Map();
        return formObjects(base.pdf, base.source, base.reader.size, base.formsIn);
    }

    // The recognised text a save would add: entry index -> {lines, transform}, for the
    // pages whose text the file does not hold yet. None for a document that cannot be
    // changed here.
    pendingText() {
        const layers = new Map();
        if (!this.state || this.locked) return layers;
        this.state.entries.forEach((entry, index) => {
            const text = this.recognised.get(entry.id);
            if (text?.lines.length && text.transform && !this.state.base.textIn.has(entry.id)) layers.set(index, text);
        });
        return layers;
    }

    // What saving the current state would break: {signed, certified, usageRights}.
    protections() {
        return this.state.base.reader ? protections(this.state.base.reader) : Promise.resolve({});
    }

    // Starts reading the bytes a save is writing while the shell writes them, so that
    // the reader the next edits need is ready when the save is confirmed.
    prepareSaved(output) {
        if (output.unchanged || output.whole) return;
        output.opening = readAhead(output.bytes);
    }

    // `output` was written (to `path`, when given). When it is still what is shown, the
    // written file becomes the base the next edits are appended to.
    async markSaved(output, path) {
        if (path) {
            this.path = path;
            this.name = path.split('/').filter(Boolean).pop() || this.name;
        }
        if (output.formsRevision === this.formsRevision) this.formsModified = false;
        if (output.unchanged || this.state !== output.state) {
            this.savedState = output.state;
            return;
        }
        const { base, entries } = output.state;
        const textIn = new Set([...base.textIn, ...output.textIds]);
        const saved = output.whole ? await this.#reopened(output.bytes, textIn)
            : await makeBase(output.bytes, base.pdf, { reader: output.opening, pdfPages: entries.map((e) => ({ ...base.pdfPages[e.page], rotation: e.rotation })),
                textIn, source: base.source, formsIn: new Set([...base.formsIn, ...output.formsIn]) });
        const state = this.#identity(saved, this.pageIds);
        this.state = state;
        this.savedState = state;
        this.#enter(state);
    }

    // A file written anew is numbered anew: pdf.js opens it, so that the form values
    // typed from now on are written with the numbers it has.
    async #reopened(bytes, textIn) {
        const pdf = await loadPdf(bytes, () => this.password ?? null);
        this.#watchForms(pdf);
        return makeBase(bytes, pdf, { textIn });
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
            // A page pdf.js cannot load has no text to find.
            const content = await this.page(index).then((page) => page.getTextContent()).catch(() => ({ items: [] }));
            this.texts.set(id, content.items.filter((item) => item.str !== undefined)
                .map((item) => ({ str: item.str, eol: !!item.hasEOL })));
        }
        const recognised = this.recognisedText(index);
        const words = recognised ? shownWords(recognised).map(({ text, eol }) => ({ str: text, eol })) : [];
        return [...this.texts.get(id), ...words];
    }

    close() {
        this.closed = true;
        const states = [this.state, ...this.history.map((h) => h.state), ...this.future.map((h) => h.state)];
        for (const pdf of new Set(states.map((s) => s?.base.pdf).filter(Boolean))) pdf.loadingTask.destroy();
        this.state = null;
        this.history = [];
        this.future = [];
    }
}

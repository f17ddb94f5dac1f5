// The application: open documents as tabs, the toolbar's commands, the keyboard, and
// every exchange with the desktop shell.

import { bytesToBase64, base64ToBytes } from './base64.mjs';
import { PdfDoc } from './document.mjs';
import { Finder } from './finder.mjs';
import { t, translateDocument } from './i18n.mjs';
import { placeIcons } from './icons.mjs';
import { LinkService } from './links.mjs';
import { wireKeyboard } from './keyboard.mjs';
import { native, post, receiveFiles, receiveMessages, request, watchRecent } from './native.mjs';
import { fileStem, pageImageName, renderPagePng } from './page_images.mjs';
import { isDynamicXfa, unreadableReason } from './open_errors.mjs';
import { Outline } from './outline.mjs';
import { parsePageNumber, parsePageRange, wholeRange } from './page_range.mjs';
import { askPassword } from './password_dialog.mjs';
import { decodeWithRoom } from './pdf/growable.mjs';
import { InsertionError } from './pdf/saving.mjs';
import { confirmSave, lockedReason } from './save_checks.mjs';
import { Recognition } from './recognition.mjs';
import { Places } from './places.mjs';
import { Recovery } from './recovery.mjs';
import { renderRecent } from './recent_list.mjs';
import { renderTabs, wireTabScrolling } from './tab_strip.mjs';
import { Thumbnails } from './thumbnails.mjs';
import { Toasts } from './toasts.mjs';
import { ToolbarOverflow } from './toolbar_overflow.mjs';
import { UndoBridge } from './undo_bridge.mjs';
import { Viewer } from './viewer.mjs';
import { zipStore } from './zip.mjs';

const EXPORT_DPI = 150;
const WORKING_COPY_DELAY = 1000;  // ms
const WORKING_COPY_PATIENCE = 10000;  // ms a save may hold the working copy back
const EDIT_TOOLS = ['rotate-left', 'rotate-right', 'move-up', 'move-down', 'insert', 'delete'];

const $ = (id) => document.getElementById(id);

// What went wrong, for the user: pdf.js's messages are for developers.
function reason(error) {
    if (error?.name === 'InvalidPDFException' || error?.name === 'FormatError') return t('notPdf');
    return t('unexpected');
}

export class App {
    constructor() {
        this.docs = [];
        this.active = null;
        // Edits, exports and prints of a document run one after another, each on the
        // bytes the previous one left.
        this.work = Promise.resolve();
        this.toasts = new Toasts($('toasts'));
        this.links = new LinkService({
            document: () => this.active?.pdf ?? null,
            currentPage: () => this.viewer.currentPage,
            goTo: (target) => this.viewer.goToPoint(target),
            broken: () => this.toasts.show(t('brokenLink'), 'warn', { key: 'link' }),
        });
        this.viewer = new Viewer($('viewer'), {
            onPageChange: (n) => this.#pageChanged(n),
            onScaleChange: (scale, zoom) => this.#scaleChanged(scale, zoom),
            onPageDrawn: () => this.finder.highlight(),
            links: this.links,
        });
        this.thumbnails = new Thumbnails($('thumbnails'), {
            onSelect: (n) => this.viewer.goTo(n),
            onMove: (from, to) => this.movePage(from, to),
        });
        this.finder = new Finder(this, $('find-bar'));
        this.recognition = new Recognition({
            button: $('ocr'),
            toasts: this.toasts,
            queue: (task) => this.#queue(task),
            describe: reason,
            shown: (doc, pageId) => {
                const now = doc.pageIds.indexOf(pageId);
                if (doc === this.active && now >= 0) this.viewer.showRecognised(now);
                this.update();
            },
        });
        this.outline = new Outline($('outline'), { follow: (dest) => this.links.goToDestination(dest) });
        this.places = new Places();
        this.recovery = new Recovery();
    }

    start() {
        this.undoSteps = new UndoBridge({ undo: () => this.undo(), redo: () => this.redo() });
        translateDocument();
        placeIcons();
        document.body.classList.toggle('native', native.available);
        document.body.classList.toggle('can-recognise', native.ocr);
        document.body.classList.toggle('can-print', native.print);
        this.#wireToolbar();
        this.overflow = new ToolbarOverflow(document.querySelector('.toolbar'), $('more'), $('more-menu'));
        wireTabScrolling($('tabs'));
        wireKeyboard(this);
        this.#wireFileInputs();
        watchRecent((list) => {
            const open = (entry) => {
                this.closeMenu();
                post({ type: 'openpath', path: entry.path });
            };
            renderRecent($('start-recent'), list, { menu: false, open });
            renderRecent($('recent-menu'), list, { menu: true, open });
        });
        receiveMessages((text) => this.toasts.show(text, 'warn'));
        // Last: from here on the shell may hand over files.
        // The text is decoded as it comes, so that it is not kept while files queue.
        receiveFiles((name, b64, path) => {
            const bytes = decodeWithRoom(b64, base64ToBytes);
            this.#queue(() => this.openBytes(name, bytes, path));
        });
        this.update();
        this.recovery.leftOver().then((copies) => copies.length && this.#offerRecovery(copies));
    }

    // Documents whose changes were not saved when the page last went away.
    #offerRecovery(copies) {
        const names = copies.map((c) => c.name).join(', ');
        this.toasts.show(t('recoverOffer', { count: copies.length, names }), 'question', {
            key: 'recover',
            actions: [
                { label: t('restore'), run: () => copies.forEach((c) => this.#queue(() => this.openBytes(c.name, c.bytes, c.path, c.id, c.removed))) },
                { label: t('discardCopies'), run: () => this.recovery.forgetAll() },
            ],
        });
    }

    // ---- documents ---------------------------------------------------------------

    // A working copy being restored comes with its recoveryId: it opens with its
    // changes still to be saved (and the pages it no longer shows, `removed`).
    async openBytes(name, bytes, path = '', recoveryId = undefined, removed = []) {
        const existing = path ? this.docs.find((d) => d.path === path) : null;
        if (existing?.dirty && !confirm(t('replaceOpen', { name: existing.name }))) {
            this.activate(existing);
            return;
        }
        const doc = new PdfDoc({ name, path, bytes, recoveryId, restored: !!recoveryId, removed });
        // Known before the opening, which gets the page shown first ready to draw.
        const left = this.places.recall(path);
        if (left) {
            doc.currentPage = left.page;
            doc.zoom = left.zoom ?? undefined;
        }
        const key = `open-${doc.id}`;
        this.toasts.show(t('loading', { name }), 'progress', { key });
        this.#showOpening(name);
        let gaveUp = false;
        try {
            await doc.open(async (again) => {
                const answer = await askPassword(t(again ? 'passwordAgain' : 'passwordPrompt', { name }));
                gaveUp = answer === null;
                return answer;
            });
        } catch (error) {
            this.toasts.dismiss(key);
            this.#showOpening(null);
            if (!gaveUp) this.toasts.show(t(unreadableReason(bytes), { name }), 'error');
            return;
        }
        this.#showOpening(null);
        doc.onChange = () => {
            this.update();
            this.#keepWorkingCopy(doc);
        };
        // Asked beside the first drawing, which does not wait for the answer.
        const xfa = isDynamicXfa(doc.pdf);
        // The older copy may have been closed while this one was opening.
        const place = existing ? this.docs.indexOf(existing) : -1;
        if (place >= 0) {
            this.docs[place] = doc;
            existing.close();
        } else {
            this.docs.push(doc);
        }
        this.activate(doc);
        xfa.then((found) => found && this.toasts.show(t('fileXfa', { name }), 'error'));
        // "Opening…" stays until there is something to look at.
        this.viewer.drawn(doc.currentPage - 1).then(() => this.toasts.dismiss(key));
        if (doc.locked) this.toasts.show(lockedReason(doc), 'warn');
    }

    // The start screen, shown while the first document is still being read, says so.
    #showOpening(name) {
        $('start').classList.toggle('opening', name !== null);
        $('start-opening').hidden = name === null;
        $('start-opening').textContent = name === null ? '' : t('loading', { name });
    }

    activate(doc) {
        if (this.active && this.active !== doc) this.finder.reset();
        this.active = doc;
        // The view is shown first, so that the pages are laid out to its real width.
        this.update();
        if (doc) this.viewer.zoom = doc.zoom ?? { mode: 'auto' };
        this.viewer.show(doc);
        // The pictures are listed once the page in view is drawn: for thousands of pages
        // making the list takes longer than drawing that page.
        this.thumbnails.show(null);
        if (doc) this.viewer.drawn(doc.currentPage - 1).then(() => this.active === doc && this.thumbnails.show(doc));
        this.#showOutline(doc);
        this.update();
    }

    // The outline beside the pages, when the document has one.
    async #showOutline(doc) {
        const has = await this.outline.show(doc);
        if (doc !== this.active) return;
        $('show-outline').hidden = !has;
        if (!has) this.#showSidebar('pages');
    }

    #showSidebar(which) {
        $('thumbnails').hidden = which !== 'pages';
        $('outline').hidden = which !== 'outline';
        $('show-pages').setAttribute('aria-selected', String(which === 'pages'));
        $('show-outline').setAttribute('aria-selected', String(which === 'outline'));
        // A hidden list does not scroll: back in view, it goes to the page one is on.
        if (which === 'pages' && this.active) this.thumbnails.mark(this.active.currentPage);
    }

    // Where the user is in the document, for the next time it is opened: written once
    // the scrolling pauses, and at once when the document is closed.
    #rememberPlace() {
        clearTimeout(this.placeTimer);
        this.placeTimer = setTimeout(() => this.#rememberNow(this.active), 400);
    }

    #rememberNow(doc) {
        if (doc?.path) this.places.remember(doc.path, { page: doc.currentPage, zoom: doc.zoom ?? this.viewer.zoom });
    }

    close(doc) {
        if (doc.dirty && !confirm(t('discard', { name: doc.name }))) return;
        this.recovery.forget(doc, { closing: true });
        this.#rememberNow(doc);
        const index = this.docs.indexOf(doc);
        this.docs.splice(index, 1);
        doc.close();
        if (this.active === doc) this.activate(this.docs[Math.min(index, this.docs.length - 1)] ?? null);
        else this.update();
    }

    // ---- edits ---------------------------------------------------------------------

    #queue(task) {
        const run = this.work.then(task).catch((error) => {
            console.error(error);
            this.toasts.show(t('somethingWrong'), 'error');
        });
        this.work = run;
        return run;
    }

    // Runs an edit of the active document after those already queued. The page it
    // concerns is named by id when asked for, and found again when its turn comes, since
    // the edits before it may have moved it. `plan(index)` gives the change (done on the
    // document) and what to tell the user.
    #edit(plan, page = this.active?.currentPage - 1) {
        const doc = this.active;
        if (!doc) return Promise.resolve();
        if (doc.locked) {
            this.toasts.show(lockedReason(doc), 'warn', { key: 'edit' });
            return Promise.resolve();
        }
        const pageId = doc.pageIds[page];
        return this.#queue(async () => {
            const index = doc.pageIds.indexOf(pageId);
            if (doc.closed || index < 0) return;
            const steps = plan(index, doc);
            if (!steps) return;
            const { change, describe } = steps;
            try {
                await change(doc);
            } catch (error) {
                if (error instanceof InsertionError) this.toasts.show(t(error.reason === 'encrypted' ? 'insertProtected' : 'insertDamaged'), 'error');
                else if (error instanceof RangeError) this.toasts.show(t('lastPage'), 'warn');
                else this.toasts.show(t('editFailed', { why: reason(error) }), 'error');
                return;
            }
            const message = describe(doc);  // may move to the page the edit concerns
            this.undoSteps.record();
            this.#documentChanged(doc, steps.onlyPage, steps.turn);
            this.toasts.show(message, 'ok', { key: 'edit' });
        });
    }

    // The working copy of a document with unsaved changes, kept a moment after its
    // changes stop; forgotten once it has none. It is the file as opened or saved
    // (stored once) and what the changes add to it.
    #keepWorkingCopy(doc) {
        clearTimeout(doc.keepTimer);
        doc.keepTimer = setTimeout(async () => {
            // The save arms this again when it is over; one that takes very long (or
            // never hears back) holds nothing back for good.
            if (doc.writtenSince && Date.now() - doc.writtenSince < WORKING_COPY_PATIENCE) return this.#keepWorkingCopy(doc);
            if (doc.closed || !doc.dirty) return this.recovery.forget(doc);
            const output = await doc.output({ forRecovery: true }).catch(() => null);
            if (!output || doc.closed) return;
            const copy = output.update ? { file: output.state.base.bytes, update: output.update, removed: output.removed } : { bytes: output.bytes };
            this.recovery.keep(doc, copy);
        }, WORKING_COPY_DELAY);
    }

    // `onlyPage`: the index of the one page that changed, when the others did not, and
    // `turn` how far it was turned. Thumbnails are drawn after the page in view.
    #documentChanged(doc, onlyPage, turn = 0) {
        if (doc.closed) return;
        this.#keepWorkingCopy(doc);
        if (doc === this.active && onlyPage !== undefined) {
            this.viewer.refreshPage(onlyPage, turn);
            this.thumbnails.refreshItem(onlyPage, turn, this.viewer.drawn(onlyPage));
        } else if (doc === this.active) {
            this.viewer.refresh();
            this.thumbnails.show(doc, this.viewer.drawn(doc.currentPage - 1));
            this.#showOutline(doc);
        }
        this.update();
    }

    rotate(delta) {
        return this.#edit((index) => ({
            change: (doc) => doc.rotate(index, delta),
            describe: () => t('rotated', { n: index + 1 }),
            onlyPage: index,
            turn: delta,
        }));
    }

    deletePage() {
        if (this.active?.pageCount <= 1) {
            this.toasts.show(t('lastPage'), 'warn');
            return Promise.resolve();
        }
        return this.#edit((index) => ({
            change: (doc) => doc.apply((entries) => entries.filter((_, i) => i !== index)),
            describe: () => t('deleted', { n: index + 1 }),
        }));
    }

    // Moves the page at index `from` to index `to`.
    movePage(from, to) {
        const doc = this.active;
        if (!doc || to < 0 || to >= doc.pageCount || to === from) return Promise.resolve();
        return this.#edit((index) => {
            const target = Math.min(Math.max(to + (index - from), 0), doc.pageCount - 1);
            if (target === index) return null;
            return {
                change: (doc) => doc.apply((entries) => {
                    const [entry] = entries.splice(index, 1);
                    entries.splice(target, 0, entry);
                    return entries;
                }),
                describe: (d) => {
                    d.currentPage = target + 1;
                    return t('moved', { n: target + 1 });
                },
            };
        }, from);
    }

    insertPages(otherBytes) {
        return this.#edit((index) => {
            const at = index + 1;  // after the current page
            let count = 0;
            return {
                change: async (doc) => (count = await doc.insert(otherBytes, at)),
                describe: (d) => {
                    d.currentPage = at + 1;
                    return t('inserted', { count });
                },
            };
        });
    }

    undo() {
        return this.#travel((doc) => doc.undo(), 'nothingToUndo', 'undone');
    }

    redo() {
        return this.#travel((doc) => doc.redo(), 'nothingToRedo', 'redone');
    }

    #travel(step, nothing, done) {
        const doc = this.active;
        if (!doc) return Promise.resolve();
        return this.#queue(async () => {
            if (!(await step(doc))) {
                this.toasts.show(t(nothing), 'info', { key: 'edit' });
                return;
            }
            this.#documentChanged(doc);
            this.toasts.show(t(done), 'ok', { key: 'edit' });
        });
    }

    // ---- out -------------------------------------------------------------------------

    // Saving a document that has not changed since it was opened or saved writes
    // nothing: the file on disk is already what it shows.
    save() {
        const doc = this.active;
        if (!doc) return Promise.resolve();
        if (native.available && !doc.path) return this.saveAs();
        return this.#queue(async () => {
            if (native.available && !doc.dirty) {
                this.toasts.show(t('nothingToSave'), 'info', { key: 'save' });
                return;
            }
            const output = await this.#outputToWrite(doc);
            if (!output) return;
            if (!native.available) return this.#download(doc, output);
            this.toasts.show(t('saving'), 'progress', { key: 'save' });
            // While the file is written, the working copy waits: storing one means copying
            // the whole file on this thread, and the save decides whether one is needed.
            doc.writtenSince = Date.now();
            const reply = request({ type: 'savepath', path: doc.path, b64: bytesToBase64(output.bytes) });
            doc.prepareSaved(output);
            await this.#saved(doc, output, await reply);
        });
    }

    saveAs() {
        const doc = this.active;
        if (!doc) return Promise.resolve();
        return this.#queue(async () => {
            const output = await this.#outputToWrite(doc);
            if (!output) return;
            if (!native.available) return this.#download(doc, output);
            const name = /\.pdf$/i.test(doc.name) ? doc.name : `${doc.name}.pdf`;
            const reply = request({ type: 'saveas', name, dir: doc.path, b64: bytesToBase64(output.bytes) });
            doc.prepareSaved(output);
            // The panel may stay open a long time: the queue goes on meanwhile.
            reply.then((r) => this.#queue(() => this.#saved(doc, output, r)));
        });
    }

    // The bytes a save of the document writes, once the user has agreed to what the
    // save would break; null when they declined.
    async #outputToWrite(doc) {
        const output = await this.#output(doc, { forSave: true });
        return output && (await confirmSave(doc, output)) ? output : null;
    }

    // The document's bytes as shown, or null (and the reason said) when they cannot be
    // made.
    async #output(doc, options = {}) {
        try {
            return await doc.output(options);
        } catch (error) {
            console.error(error);
            this.toasts.show(t('saveDamaged', { name: doc.name }), 'error', { key: 'save' });
            return null;
        }
    }

    async #saved(doc, output, reply) {
        this.toasts.dismiss('save');
        doc.writtenSince = 0;
        if (reply.ok) {
            await doc.markSaved(output, reply.path);
            this.toasts.show(t('saved', { path: reply.path }), 'ok');
        } else if (reply.msg !== 'cancel') {
            this.toasts.show(reply.msg, 'error');
        }
        // Saved, the copy goes; not saved, the changes are kept until they are.
        this.#keepWorkingCopy(doc);
        // The pages look as they did: only the title and the tab change, unless the
        // file was written anew and is shown from its new bytes.
        if (reply.ok && output.whole) this.#documentChanged(doc);
        else this.update();
    }

    async #download(doc, output) {
        downloadBytes(output.bytes, doc.name, 'application/pdf');
        await doc.markSaved(output);
        this.#keepWorkingCopy(doc);
        this.toasts.show(t('downloaded', { name: doc.name }), 'ok');
        this.update();
    }

    exportImages() {
        const doc = this.active;
        if (!doc) return Promise.resolve();
        const count = doc.pageCount;
        const answer = prompt(t('rangePrompt', { count }), wholeRange(count));
        if (answer === null) return Promise.resolve();
        const pages = parsePageRange(answer, count);
        if (!pages) {
            this.toasts.show(t('badRange', { text: answer }), 'error');
            return Promise.resolve();
        }
        return this.#queue(async () => {
            const stem = fileStem(doc.name);
            const entries = [];
            for (const n of pages) {
                this.toasts.show(t('exporting', { n, count: pages.length }), 'progress', { key: 'export' });
                const image = await renderPagePng(doc, n - 1, EXPORT_DPI);
                entries.push({ name: pageImageName(stem, n, count), bytes: image.bytes });
            }
            const archive = zipStore(entries);
            const name = `${stem}-pages.zip`;
            if (native.available) {
                post({ type: 'save', name, b64: bytesToBase64(archive) });
                this.toasts.show(t('exportReady', { count: entries.length }), 'ok', { key: 'export' });
            } else {
                this.toasts.dismiss('export');
                downloadBytes(archive, name, 'application/zip');
            }
        });
    }

    share() {
        const doc = this.active;
        if (!doc || !native.available) return Promise.resolve();
        return this.#queue(async () => {
            const output = await this.#output(doc);
            if (!output) return;
            post({ type: 'share', name: doc.name, b64: bytesToBase64(output.bytes) });
            this.toasts.show(t('shareReady'), 'info');
        });
    }

    print() {
        const doc = this.active;
        if (!doc || !native.print) return Promise.resolve();
        return this.#queue(async () => {
            const output = await this.#output(doc);
            if (!output) return;
            post({ type: 'print', b64: bytesToBase64(output.bytes) });
            this.toasts.show(t('printing'), 'info');
        });
    }

    // ---- recognition -------------------------------------------------------------

    recognise() {
        const doc = this.active;
        if (!doc || !native.ocr) return Promise.resolve();
        return this.recognition.toggle(doc);
    }

    // ---- the interface -----------------------------------------------------------

    update() {
        const doc = this.active;
        const wasEmpty = document.body.classList.contains('empty');
        document.body.classList.toggle('empty', !doc);
        if (wasEmpty !== !doc) this.overflow.fit();  // the document's commands came or went
        $('start').hidden = !!doc;
        $('undo').disabled = !doc?.canUndo;
        $('redo').disabled = !doc?.canRedo;
        document.title = doc ? `${doc.dirty ? '• ' : ''}${doc.name} — ${t('appName')}` : t('appName');
        this.#updatePager();
        renderTabs($('tabs'), this.docs, this.active, {
            activate: (doc) => doc !== this.active && this.activate(doc),
            close: (doc) => this.close(doc),
        });
    }

    // What follows the current page; runs on every scroll step.
    #updatePager() {
        const doc = this.active;
        const count = doc?.pageCount ?? 0;
        const page = doc?.currentPage ?? 0;
        $('page-count').textContent = String(count);
        if (document.activeElement !== $('page-number')) $('page-number').value = String(page);
        $('previous').disabled = page <= 1;
        $('next').disabled = page >= count;
        $('move-up').disabled = page <= 1;
        $('move-down').disabled = page >= count;
        $('delete').disabled = count <= 1;
        // A document that cannot be changed here offers none of the tools that would.
        const locked = !!doc?.locked;
        for (const id of EDIT_TOOLS) if (locked) $(id).disabled = true;
        for (const id of ['rotate-left', 'rotate-right', 'insert']) if (!locked) $(id).disabled = false;
    }

    #pageChanged(n) {
        this.thumbnails.mark(n);
        this.#updatePager();
        this.#rememberPlace();
    }

    // The zoom list holds only real entries: a level of no preset gets an entry of its
    // own while it is the one in use, and loses it after.
    #scaleChanged(scale, zoom) {
        if (this.active) this.active.zoom = zoom;
        this.#rememberPlace();
        const select = $('zoom');
        select.querySelector('option[value="custom"]')?.remove();
        const match = [...select.options].find((o) => Math.abs(Number(o.value) - scale) < 0.001);
        if (zoom.mode !== 'scale' || match) {
            select.value = zoom.mode !== 'scale' ? zoom.mode : match.value;
            return;
        }
        const custom = new Option(`${Math.round(scale * 100)} %`, 'custom');
        const after = [...select.options].find((o) => Number(o.value) > scale);
        select.add(custom, after ?? null);
        select.value = 'custom';
    }

    toggleMenu() {
        const menu = $('recent-menu');
        if (!menu.hidden) return this.closeMenu();
        const anchor = $('recent').getBoundingClientRect();
        menu.style.left = `${anchor.left}px`;
        menu.style.top = `${anchor.bottom + 4}px`;
        menu.hidden = false;
        $('recent').setAttribute('aria-expanded', 'true');
        menu.querySelector('button')?.focus();
    }

    closeMenu() {
        this.overflow.close();
        this.#closeRecent();
    }

    #closeRecent() {
        $('recent-menu').hidden = true;
        $('recent').setAttribute('aria-expanded', 'false');
    }

    openDialog() {
        if (native.available) post({ type: 'open' });
        else $('open-input').click();
    }

    chooseInsertion() {
        if (!this.active) return;
        // The next file chooser offers PDF files only.
        if (native.available) post({ type: 'filter', kind: 'pdf' });
        $('insert-input').click();
    }

    #wireToolbar() {
        const on = (id, action) => $(id).addEventListener('click', () => action());
        on('open', () => this.openDialog());
        on('start-open', () => this.openDialog());
        on('recent', () => this.toggleMenu());
        on('save', () => this.save());
        on('save-as', () => this.saveAs());
        on('export', () => this.exportImages());
        on('share', () => this.share());
        on('print', () => this.print());
        on('previous', () => this.viewer.goTo(this.viewer.currentPage - 1));
        on('next', () => this.viewer.goTo(this.viewer.currentPage + 1));
        on('zoom-in', () => this.viewer.zoomIn());
        on('zoom-out', () => this.viewer.zoomOut());
        on('rotate-left', () => this.rotate(-90));
        on('rotate-right', () => this.rotate(90));
        on('move-up', () => this.movePage(this.active.currentPage - 1, this.active.currentPage - 2));
        on('move-down', () => this.movePage(this.active.currentPage - 1, this.active.currentPage));
        on('delete', () => this.deletePage());
        on('insert', () => this.chooseInsertion());
        on('undo', () => this.undoSteps.undo());
        on('redo', () => this.undoSteps.redo());
        on('ocr', () => this.recognise());
        on('find-toggle', () => this.finder.toggle());
        on('show-pages', () => this.#showSidebar('pages'));
        on('show-outline', () => this.#showSidebar('outline'));
        $('zoom').addEventListener('change', (event) => {
            const value = event.target.value;
            if (value === 'auto' || value === 'width' || value === 'page') this.viewer.setZoom({ mode: value });
            else if (value !== 'custom') this.viewer.setZoom({ mode: 'scale', value: Number(value) });
        });
        const pageInput = $('page-number');
        const goToTyped = () => {
            const n = parsePageNumber(pageInput.value, this.active?.pageCount ?? 0);
            if (n) this.viewer.goTo(n);
            else this.#updatePager();
        };
        pageInput.addEventListener('input', () => {
            const digits = pageInput.value.replace(/\D+/g, '');
            if (digits !== pageInput.value) pageInput.value = digits;
        });
        pageInput.addEventListener('change', goToTyped);
        pageInput.addEventListener('keydown', (event) => {
            if (event.key === 'Enter') {
                goToTyped();
                pageInput.blur();
            }
        });
        // Clicked or tabbed into, the box holds its number selected, ready to be typed
        // over: the click's own mouseup would otherwise put the caret in it instead.
        pageInput.addEventListener('focus', () => pageInput.select());
        let clickedIn = false;
        pageInput.addEventListener('pointerdown', () => (clickedIn = document.activeElement !== pageInput));
        pageInput.addEventListener('mouseup', (event) => {
            if (clickedIn) event.preventDefault();
            clickedIn = false;
        });
        pageInput.addEventListener('blur', () => this.#updatePager());
        // Ctrl with the wheel zooms the document, not the whole page.
        $('viewer').addEventListener('wheel', (event) => {
            if (!event.ctrlKey || !this.active) return;
            event.preventDefault();
            if (event.deltaY < 0) this.viewer.zoomIn();
            else if (event.deltaY > 0) this.viewer.zoomOut();
        }, { passive: false });
        document.addEventListener('pointerdown', (event) => {
            if (!event.target.closest('#recent-menu, #recent')) this.#closeRecent();
        });
    }

    #wireFileInputs() {
        const readAll = async (input, each) => {
            const files = [...input.files];
            input.value = '';
            for (const file of files) await each(file, new Uint8Array(await file.arrayBuffer()));
        };
        $('open-input').addEventListener('change', (event) =>
            readAll(event.target, (file, bytes) => this.#queue(() => this.openBytes(file.name, bytes))));
        $('insert-input').addEventListener('change', (event) =>
            readAll(event.target, (file, bytes) => this.insertPages(bytes)));
        if (!native.available) {
            // In a plain browser the page takes dropped files itself.
            document.addEventListener('dragover', (event) => {
                if (event.dataTransfer?.types.includes('Files')) event.preventDefault();
            });
            document.addEventListener('drop', (event) => {
                if (!event.dataTransfer?.files.length) return;
                event.preventDefault();
                for (const file of event.dataTransfer.files)
                    file.arrayBuffer().then((b) => this.#queue(() => this.openBytes(file.name, new Uint8Array(b))));
            });
        }
    }

    cycleTab(step) {
        const index = this.docs.indexOf(this.active);
        this.activate(this.docs[(index + step + this.docs.length) % this.docs.length]);
    }
}

// Hands bytes to the browser as a download (used without the desktop shell).
function downloadBytes(bytes, name, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
}

// Text recognition of a whole document: the current page first, then the ones after
// it and those before, one at a time, with a progress notice; pressing the button
// again stops the run. Each page's words are shown as soon as they come and become part
// of the document, so the next save writes them.

import { bytesToBase64 } from './base64.mjs';
import { lang, t } from './i18n.mjs';
import { request } from './native.mjs';
import { renderPagePng } from './page_images.mjs';
import { roundFrom } from './page_range.mjs';
import { parseRecognition } from './recognised_layer.mjs';

const DPI = 200;  // enough for body text, and quick on the engine

export class Recognition {
    // `queue(task)` runs a task after the edits queued before it; `shown(doc, pageId)`
    // is told when a page's words are in.
    constructor({ button, toasts, queue, shown, describe }) {
        Object.assign(this, { button, toasts, queue, shown, describe });
        this.run = null;
    }

    toggle(doc) {
        if (this.run) {
            this.run.cancelled = true;
            return this.run.done;
        }
        const run = { cancelled: false };
        this.run = run;
        this.button.classList.add('running');
        this.button.title = t('ocrStop');
        run.done = this.#all(doc, run).finally(() => {
            this.run = null;
            this.button.classList.remove('running');
            this.button.title = t('ocrTip');
        });
        return run.done;
    }

    async #all(doc, run) {
        const order = roundFrom(doc.pageIds, doc.currentPage - 1);
        let words = 0;
        let pages = 0;
        for (const [step, pageId] of order.entries()) {
            if (run.cancelled || doc.closed) break;
            this.toasts.show(t('recognisingProgress', { k: step + 1, count: order.length }), 'info', { key: 'ocr' });
            try {
                const found = await this.#page(doc, pageId);
                if (found === null) continue;
                words += found;
                ++pages;
            } catch (error) {
                const why = error?.message === 'image' ? t('ocrImage') : this.describe(error);
                this.toasts.show(t('ocrFailed', { why }), 'error', { key: 'ocr' });
                return;
            }
        }
        const key = run.cancelled ? 'recognitionStopped' : words ? 'recognisedAll' : 'noTextAnywhere';
        this.toasts.show(t(key, { count: words, pages }), words ? 'ok' : 'info', { key: 'ocr' });
    }

    // Recognises one page, found again by id since edits may have moved it; returns
    // how many words it has, or null when it is gone or was already read as it stands.
    async #page(doc, pageId) {
        const shot = await this.queue(async () => {
            const at = doc.pageIds.indexOf(pageId);
            if (doc.closed || at < 0 || doc.recognisedText(at)) return null;
            return { image: await renderPagePng(doc, at, DPI), rotation: doc.rotations[at] };
        });
        if (!shot) return null;
        const { image, rotation } = shot;
        const reply = await request({ type: 'ocr', b64: bytesToBase64(image.bytes), lang });
        const lines = parseRecognition(reply.json);
        doc.setRecognisedText(pageId, rotation, { image: { width: image.width, height: image.height }, transform: image.transform, lines });
        this.shown(doc, pageId);
        return lines.reduce((sum, line) => sum + line.words.length, 0);
    }
}

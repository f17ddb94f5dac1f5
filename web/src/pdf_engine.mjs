// pdf.js, set up for this page: one module worker shared by every document, and the
// character maps, standard fonts, image decoders (WebAssembly) and the CMYK colour
// profile served from the page's own folder, so nothing is fetched from outside.

import * as pdfjs from '../vendor/pdfjs/pdf.min.mjs';

const vendor = new URL('../vendor/pdfjs/', import.meta.url);

// The worker is started here rather than by pdf.js: pdf.js takes a URL of a scheme it
// does not know for another origin and would wrap the worker in a blob. It is handed to
// each document explicitly, so that destroying one document (after every edit) does not
// tear down the worker that the next one is already being opened on.
// early_worker.js has usually started it already, while this module was still loading.
const takeEarlyWorker = () => {
    const early = globalThis.__pdfWorker;
    delete globalThis.__pdfWorker;
    return typeof Worker === 'function' && early instanceof Worker ? early : null;
};
const worker = new pdfjs.PDFWorker({
    port: takeEarlyWorker() ?? new Worker(new URL('pdf.worker.min.mjs', vendor), { type: 'module' }),
});

export const { AnnotationLayer, AnnotationMode, TextLayer, PasswordResponses } = pdfjs;

// How long work on a page started by prepareDrawing waits for the drawing that takes
// it over (pdf.js allows up to a second beyond its own tenth).
const PREPARED_WAIT_MS = 900;

// Starts pdf.js working out how a page is drawn (its operators, fonts and images, in
// the worker) before the view knows the size it will draw it at. A drawing begun and
// called off at once leaves that work going on; a drawing of the page in the same
// annotation mode started while it goes on, or after it is done, takes it over. It
// draws nothing: a drawing called off never touches its canvas.
export function prepareDrawing(page, annotationMode) {
    const canvas = document.createElement('canvas');
    canvas.width = canvas.height = 1;
    const task = page.render({ canvasContext: canvas.getContext('2d'), viewport: page.getViewport({ scale: 1 }), annotationMode });
    task.cancel(PREPARED_WAIT_MS);
    task.promise.catch(() => {});
}

// Opens a document from its bytes. `askPassword(again)` gives the password (or a
// promise of it), or null when the user gives up; the bytes are copied, since pdf.js
// hands its input to the worker.
export async function loadPdf(bytes, askPassword) {
    const task = pdfjs.getDocument({
        data: bytes.slice(),
        worker,
        cMapUrl: new URL('cmaps/', vendor).href,
        cMapPacked: true,
        standardFontDataUrl: new URL('standard_fonts/', vendor).href,
        wasmUrl: new URL('wasm/', vendor).href,
        iccUrl: new URL('iccs/', vendor).href,
        isEvalSupported: false,
        enableXfa: false,
    });
    task.onPassword = async (update, reason) => {
        const password = await askPassword(reason === PasswordResponses.INCORRECT_PASSWORD);
        if (password === null) task.destroy();
        else update(password);
    };
    try {
        return await task.promise;
    } catch (error) {
        // A document that did not open holds nothing worth keeping in the worker.
        task.destroy();
        throw error;
    }
}

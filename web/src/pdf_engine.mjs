// pdf.js, set up for this page: one module worker shared by every document, and the
// character maps, standard fonts, image decoders (WebAssembly) and the CMYK colour
// profile served from the page's own folder, so nothing is fetched from outside.

import * as pdfjs from '../vendor/pdfjs/pdf.min.mjs';

const vendor = new URL('../vendor/pdfjs/', import.meta.url);

// The worker is started here rather than by pdf.js: pdf.js takes a URL of a scheme it
// does not know for another origin and would wrap the worker in a blob. It is handed to
// each document explicitly, so that destroying one document (after every edit) does not
// tear down the worker that the next one is already being opened on.
const worker = new pdfjs.PDFWorker({
    port: new Worker(new URL('pdf.worker.min.mjs', vendor), { type: 'module' }),
});

export const { AnnotationLayer, AnnotationMode, TextLayer, PasswordResponses } = pdfjs;

// pdf.js reads the document from the page's own bytes, a range at a time, and only
// the ranges it needs: its worker holds no copy of the whole file, and opening a large
// file reads its cross-references and first page rather than all of it.
class BytesSource extends pdfjs.PDFDataRangeTransport {
    constructor(bytes) {
        super(bytes.length, null);
        this.bytes = bytes;
    }

    requestDataRange(begin, end) {
        // A copy of its own, since the range is handed to the worker.
        const chunk = this.bytes.slice(begin, end);
        queueMicrotask(() => this.onDataRange(begin, chunk));
    }
}

// Opens a document from its bytes, which pdf.js reads and never changes.
// `askPassword(again)` gives the password (or a promise of it), or null when the user
// gives up.
export async function loadPdf(bytes, askPassword) {
    const task = pdfjs.getDocument({
        range: new BytesSource(bytes),
        disableStream: true,
        disableAutoFetch: true,
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
    return task.promise;
}

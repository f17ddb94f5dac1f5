// Loaded as a classic script before the page's modules: pdf.js's worker is a large
// module of its own, and starting it here lets it be fetched and compiled while the
// page's modules still are. pdf_engine.mjs takes it over; a page that never does
// leaves an idle worker behind, nothing more.
(() => {
    try {
        window.__pdfWorker = new Worker('vendor/pdfjs/pdf.worker.min.mjs', { type: 'module' });
    } catch {
        // pdf_engine.mjs starts one itself.
    }
})();

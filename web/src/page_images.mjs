// Pages drawn to PNG images: for recognition and for exporting.

// Draws the document's page at `index` (with its rotation) at `dpi` dots per inch, on
// white.
export async function renderPagePng(doc, index, dpi) {
    const page = await doc.page(index);
    const viewport = doc.viewport(page, index, dpi / 72);
    const canvas = document.createElement('canvas');
    canvas.width = Math.max(1, Math.round(viewport.width));
    canvas.height = Math.max(1, Math.round(viewport.height));
    const context = canvas.getContext('2d', { alpha: false });
    context.fillStyle = '#fff';
    context.fillRect(0, 0, canvas.width, canvas.height);
    await page.render({ canvasContext: context, viewport }).promise;
    // pdf.js would keep the page's operator list and decoded images: for a scan, tens of
    // megabytes a page, over every page recognised or exported.
    page.cleanup();
    const blob = await new Promise((resolve, reject) =>
        canvas.toBlob((b) => (b ? resolve(b) : reject(new Error('the page could not be turned into an image'))), 'image/png'));
    const bytes = new Uint8Array(await blob.arrayBuffer());
    // Frees the canvas's memory now rather than at the next collection.
    canvas.width = canvas.height = 0;
    // The transform from page space to the image's pixels, for placing what is found in
    // the image back on the page.
    return { bytes, width: Math.round(viewport.width), height: Math.round(viewport.height), transform: viewport.transform };
}

// A page's image file name, numbered so that the files sort in page order.
export function pageImageName(stem, pageNumber, pageCount) {
    const digits = String(pageCount).length;
    return `${stem}-${String(pageNumber).padStart(digits, '0')}.png`;
}

export function fileStem(name) {
    const stem = name.replace(/\.pdf$/i, '');
    return stem || 'document';
}

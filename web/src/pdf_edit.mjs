// Page edits on the document's bytes with pdf-lib. Each edit loads the current bytes
// and returns new ones, so the previous bytes stay intact for undo. The document's own
// metadata is kept as it was.

import { PDFDocument, degrees, EncryptedPDFError } from '../vendor/pdf-lib/pdf-lib.esm.min.js';

export class ProtectedDocumentError extends Error {}

async function open(bytes) {
    try {
        return await PDFDocument.load(bytes, { updateMetadata: false });
    } catch (error) {
        // Saving an encrypted file through pdf-lib would write it unreadable.
        if (error instanceof EncryptedPDFError) throw new ProtectedDocumentError(error.message);
        throw error;
    }
}

async function edit(bytes, change) {
    const doc = await open(bytes);
    await change(doc);
    return doc.save();
}

// Quarter turns only: a page's /Rotate must be a multiple of 90.
export function addQuarterTurns(angle, delta) {
    return (((Math.round(angle / 90) + delta / 90) % 4) + 4) % 4 * 90;
}

export function rotatePages(bytes, indices, delta) {
    return edit(bytes, (doc) => {
        for (const index of indices) {
            const page = doc.getPage(index);
            page.setRotation(degrees(addQuarterTurns(page.getRotation().angle, delta)));
        }
    });
}

export function deletePages(bytes, indices) {
    return edit(bytes, (doc) => {
        const doomed = [...new Set(indices)].sort((a, b) => b - a);
        if (doomed.length >= doc.getPageCount()) throw new RangeError('a document keeps at least one page');
        for (const index of doomed) doc.removePage(index);
    });
}

// Moves one page so that it ends up at index `to`; the page object itself moves, so
// its links and annotations stay with it.
export function movePage(bytes, from, to) {
    return edit(bytes, (doc) => {
        const page = doc.getPage(from);
        doc.removePage(from);
        doc.insertPage(to, page);
    });
}

// Inserts every page of another PDF at index `at`; returns the new bytes and how many
// pages came in.
export async function insertDocument(bytes, otherBytes, at) {
    let count = 0;
    const result = await edit(bytes, async (doc) => {
        const other = await open(otherBytes);
        const pages = await doc.copyPages(other, other.getPageIndices());
        pages.forEach((page, i) => doc.insertPage(at + i, page));
        count = pages.length;
    });
    return { bytes: result, count };
}

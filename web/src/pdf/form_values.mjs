// The values typed into a document's form fields, as objects of its file: pdf.js,
// which holds them, writes them with their appearances as an update of the bytes it
// was opened on; the objects of that update are taken out and given numbers of the
// file being saved, so they join its own update (or its rewrite) like any change.

import { Ref, Stream, isName } from './objects.mjs';
import { copyValue } from './page_tree.mjs';
import { PdfReader } from './reader.mjs';

export class FormSaveError extends Error {}

// `pdf`: the pdf.js document; `source`: the reader of the bytes it was opened on;
// `firstFree`: the first number the file being saved does not use; `earlier`: the
// numbers of the source's objects that saves since it was opened gave values to.
// Returns num -> value.
export async function formObjects(pdf, source, firstFree, earlier = new Set()) {
    const written = await PdfReader.open(await pdf.saveDocument());
    const updated = [...written.entries].filter(([, e]) => e?.type === 1 && e.offset >= source.bytes.length).map(([num]) => num);
    if ((!updated.length && !earlier.size) || written.repaired) throw new FormSaveError('the form values could not be written');
    // Objects new to pdf.js's update may clash with numbers later saves gave out here.
    const numbers = new Map();
    let next = firstFree;
    const mapRef = (ref) => {
        if (ref.num < source.size) return ref;
        if (!numbers.has(ref.num)) numbers.set(ref.num, next++);
        return new Ref(numbers.get(ref.num), 0);
    };
    const objects = new Map();
    for (const num of updated) {
        const value = await written.get(num);
        // pdf.js's own cross-reference stream is not an object of the document.
        if (value instanceof Stream && isName(value.dict.get('Type'), 'XRef')) continue;
        objects.set(mapRef(new Ref(num)).num, copyValue(value, mapRef));
    }
    // pdf.js writes only what differs from the source: an object an earlier save gave a
    // value that it leaves out now is as the source has it again (a radio button turned
    // off, a field emptied), which the file must say too.
    for (const num of earlier) if (!objects.has(num)) objects.set(num, await source.get(num));
    return objects;
}

// The numbers of the source's own objects among `objects` (formObjects), which later
// saves pass back as `earlier`.
export const sourceObjects = (objects, source) => [...objects.keys()].filter((num) => num < source.size);

// What a save writes for an arrangement of a file's pages: nothing new when nothing
// changed, an incremental update when pages were only turned, moved or added, and a
// whole new file when pages were deleted, so that none of them stays in the bytes.

import { appendBytes } from './growable.mjs';
import { decodeStream } from './inflate.mjs';
import { Dict, Ref, Stream, concatBytes, isName, latin1 } from './objects.mjs';
import { arrangePages, importPages, pageRotation } from './page_tree.mjs';
import { prunedFile } from './prune.mjs';
import { DamagedFileError, PdfReader } from './reader.mjs';
import { addTextLayer, textLayerFont } from './text_layer.mjs';
import { incrementalUpdate } from './writer.mjs';

export class InsertionError extends Error {
    constructor(reason) {
        super(reason);
        this.reason = reason;  // 'encrypted' | 'damaged'
    }
}

// `state`: {base: {bytes, reader, pages, pdfPages, removed}, entries: [{page, rotation}]}
// where `page` indexes base.pages. `layers`: entry index -> recognised text to write
// ({lines, transform}).
export function isUnchanged({ base, entries }, layers = new Map(), forms = new Map()) {
    return layers.size === 0 && forms.size === 0 && base.removed.size === 0 && entries.length === base.pdfPages.length &&
        entries.every((e, i) => e.page === i && e.rotation === base.pdfPages[i].rotation);
}

// Writes the recognised text of pages into copies of their dictionaries, with the
// new objects numbered after everything the file and `objects` hold.
async function addTextLayers(reader, placed, layers, objects) {
    if (!layers.size) return;
    let next = Math.max(reader.size, ...[...objects.keys()].map((n) => n + 1));
    const add = (value) => {
        objects.set(next, value);
        return new Ref(next++, 0);
    };
    const fontRef = add(textLayerFont());
    for (const [index, layer] of layers) {
        const { page } = placed[index];
        const dict = new Dict(objects.get(page.ref.num) ?? page.dict);
        const resources = await reader.resolve(dict.get('Resources') ?? page.inherited.get('Resources'));
        const fonts = await reader.resolve(resources instanceof Dict ? resources.get('Font') : null);
        addTextLayer(dict, { resources, fonts }, layer, add, fontRef);
        objects.set(page.ref.num, dict);
    }
}

const arranged = ({ base, entries }) => entries.map((e) => ({ page: base.pages[e.page], rotation: e.rotation }));

// Whether the file must be written anew: pages were deleted, or its cross-references
// had to be rebuilt by a scan, so that an update could not point back at them.
function needsWholeFile({ base, entries }) {
    return base.reader.repaired || base.removed.size > 0 || new Set(entries.map((e) => e.page)).size < base.pages.length;
}

// The object numbers of the base's pages that the state no longer shows, with those
// of earlier revisions already dropped.
function removedPages({ base, entries }) {
    const kept = new Set(entries.map((e) => e.page));
    const removed = new Set(base.removed);
    base.pages.forEach((page, i) => kept.has(i) || removed.add(page.ref.num));
    return removed;
}

// {bytes, unchanged, whole, update}: `update` is what was appended to the base's
// bytes, when that is how the file was written.
// `forms`: num -> value of the objects that hold the form's values (formObjects).
// `inPlace`: the bytes are to become the file's (a save), so the update may be written
// into the room after the base's bytes; a copy that is only printed or shared gets
// bytes of its own and leaves that room to the next save.
// `updateOnly`: only what the state adds to the base's bytes is wanted, as
// {update, removed} (the pages dropped, which such an update still holds), where an
// update can be appended at all; the whole file otherwise. Made for working copies,
// never for a file the user gets.
export async function documentBytes(state, layers = new Map(), forms = new Map(), { inPlace = false, updateOnly = false } = {}) {
    const { base } = state;
    if (isUnchanged(state, layers, forms)) return { bytes: base.bytes, unchanged: true, whole: false, update: new Uint8Array(0), removed: new Set() };
    const placed = arranged(state);
    const objects = new Map(forms);
    await addTextLayers(base.reader, placed, layers, objects);
    if (updateOnly && !base.reader.repaired)
        return { unchanged: false, whole: false, update: incrementalUpdate(base.reader, await arrangePages(base.reader, placed, objects)), removed: removedPages(state) };
    if (needsWholeFile(state)) {
        const bytes = await prunedFile(base.reader, placed, objects, base.removed);
        return { bytes, unchanged: false, whole: true };
    }
    const update = incrementalUpdate(base.reader, await arrangePages(base.reader, placed, objects));
    const bytes = inPlace ? appendBytes(base.bytes, update) : concatBytes([base.bytes, update]);
    return { bytes, unchanged: false, whole: false, update };
}

// The base's bytes with every page of `otherBytes` inserted at `at` as an update.
export async function insertedFile(state, otherBytes, at, forms = new Map()) {
    let source;
    try {
        source = await PdfReader.open(otherBytes);
    } catch (error) {
        if (error instanceof DamagedFileError) throw new InsertionError('damaged');
        throw error;
    }
    if (source.encrypted) throw new InsertionError('encrypted');
    const { base } = state;
    const reader = base.reader;
    const { objects: imported, pages } = await importPages(source, Math.max(reader.size, ...[...forms.keys()].map((n) => n + 1)));
    if (!pages.length) throw new InsertionError('damaged');
    const objects = new Map([...forms, ...imported]);
    const placed = arranged(state);
    const turnOf = (page) => pageRotation(page, (ref) => imported.get(ref.num));
    placed.splice(at, 0, ...(await Promise.all(pages.map(async (page) => ({ page, rotation: await turnOf(page) })))));
    const removed = removedPages(state);
    if (reader.repaired) return { bytes: await prunedFile(reader, placed, objects, removed), count: pages.length, removed: new Set() };
    await arrangePages(reader, placed, objects);
    return { bytes: appendBytes(base.bytes, incrementalUpdate(reader, objects)), count: pages.length, removed };
}

async function signatureFields(reader, fields, seen = new Set()) {
    for (const ref of Array.isArray(fields) ? fields : []) {
        if (ref instanceof Ref && seen.has(ref.num)) continue;
        if (ref instanceof Ref) seen.add(ref.num);
        const field = await reader.resolve(ref);
        if (!(field instanceof Dict)) continue;
        if (isName(field.get('FT'), 'Sig') && field.get('V')) return true;
        if (await signatureFields(reader, await reader.resolve(field.get('Kids')), seen)) return true;
    }
    return false;
}

// Whether the document's metadata says it conforms to PDF/A.
async function claimsPdfA(reader, catalog) {
    const metadata = await reader.resolve(catalog?.get('Metadata'));
    if (!(metadata instanceof Stream)) return false;
    try {
        return /pdfaid:part/.test(latin1(await decodeStream(metadata)));
    } catch {
        return false;  // metadata this reader cannot decode claims nothing it can see
    }
}

// What a change would break: a signature (when the signed bytes are rewritten), a
// certification or usage rights (any change outside what they allow), a PDF/A claim
// (pages from another file, which need not conform).
export async function protections(reader) {
    const catalog = await reader.catalog();
    const perms = await reader.resolve(catalog?.get('Perms'));
    const form = await reader.resolve(catalog?.get('AcroForm'));
    return {
        pdfa: await claimsPdfA(reader, catalog),
        signed: form instanceof Dict && await signatureFields(reader, await reader.resolve(form.get('Fields'))),
        certified: perms instanceof Dict && perms.has('DocMDP'),
        usageRights: perms instanceof Dict && (perms.has('UR3') || perms.has('UR')),
    };
}

// The size and turn of a page as the viewer draws it, read from the page's dictionary
// and what it inherits, so that a document can be laid out without asking the
// rendering engine for every page. The rules are the engine's: the visible box is the
// crop box within the media box, an unusable box is replaced by the one below it (the
// media box by US Letter), the user unit scales the page, and a turn that is not a
// multiple of 90 degrees counts as none.

import { Ref } from './objects.mjs';

export const LETTER = [0, 0, 612, 792];

// A value with the reference it may be (and, in an array, each element's) followed: the
// value itself when there was none, else a promise of it. Most pages write their boxes
// in place, and for thousands of pages a wait for every number cost more than the
// reading itself.
function followed(reader, value) {
    if (value instanceof Ref) return reader.get(value).then((v) => elementsFollowed(reader, v));
    return elementsFollowed(reader, value);
}

function elementsFollowed(reader, value) {
    if (!Array.isArray(value) || !value.some((v) => v instanceof Ref)) return value;
    return Promise.all(value.map((v) => reader.resolve(v)));
}

const own = (page, key) => (page.dict.has(key) ? page.dict.get(key) : page.inherited.get(key));

// [x0, y0, x1, y1] with x0 < x1 and y0 < y1, or null when the value is not a box of
// some area.
function box(n) {
    if (!Array.isArray(n) || n.length !== 4) return null;
    if (!n.every((v) => typeof v === 'number' && Number.isFinite(v))) return null;
    const rect = [Math.min(n[0], n[2]), Math.min(n[1], n[3]), Math.max(n[0], n[2]), Math.max(n[1], n[3])];
    return rect[2] > rect[0] && rect[3] > rect[1] ? rect : null;
}

function intersection(a, b) {
    const rect = [Math.max(a[0], b[0]), Math.max(a[1], b[1]), Math.min(a[2], b[2]), Math.min(a[3], b[3])];
    return rect[2] > rect[0] && rect[3] > rect[1] ? rect : null;
}

export function normalTurn(value) {
    if (typeof value !== 'number' || !Number.isInteger(value) || value % 90 !== 0) return 0;
    return ((value % 360) + 360) % 360;
}

function geometry([mediaBox, cropBox, unit, rotate]) {
    const media = box(mediaBox) ?? LETTER;
    const crop = box(cropBox);
    const view = (crop && intersection(crop, media)) ?? media;
    const scale = typeof unit === 'number' && unit > 0 ? unit : 1;
    return {
        width: (view[2] - view[0]) * scale,
        height: (view[3] - view[1]) * scale,
        rotation: normalTurn(rotate),
    };
}

// `page`: one of reader.pages(). Gives {width, height, rotation}: the unturned size in
// PDF units and the turn the page asks for; a promise of it when a value had to be
// read from another object.
export function pageGeometry(reader, page) {
    const values = [own(page, 'MediaBox'), own(page, 'CropBox'), page.dict.get('UserUnit'), own(page, 'Rotate')]
        .map((value) => followed(reader, value));
    return values.some((v) => v instanceof Promise) ? Promise.all(values).then(geometry) : geometry(values);
}

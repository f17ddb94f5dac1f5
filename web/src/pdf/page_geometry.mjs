// The size and turn of a page as the viewer draws it, read from the page's dictionary
// and what it inherits, so that a document can be laid out without asking the
// rendering engine for every page. The rules are the engine's: the visible box is the
// crop box within the media box, an unusable box is replaced by the one below it (the
// media box by US Letter), the user unit scales the page, and a turn that is not a
// multiple of 90 degrees counts as none.

const LETTER = [0, 0, 612, 792];

async function own(reader, page, key) {
    return reader.resolve(page.dict.has(key) ? page.dict.get(key) : page.inherited.get(key));
}

// [x0, y0, x1, y1] with x0 < x1 and y0 < y1, or null when the value is not a box of
// some area.
async function box(reader, value) {
    if (!Array.isArray(value) || value.length !== 4) return null;
    const n = await Promise.all(value.map((v) => reader.resolve(v)));
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

// `page`: one of reader.pages(). Returns {width, height, rotation}: the unturned size
// in PDF units and the turn the page asks for.
export async function pageGeometry(reader, page) {
    const media = (await box(reader, await own(reader, page, 'MediaBox'))) ?? LETTER;
    const crop = await box(reader, await own(reader, page, 'CropBox'));
    const view = (crop && intersection(crop, media)) ?? media;
    const unit = await reader.resolve(page.dict.get('UserUnit'));
    const scale = typeof unit === 'number' && unit > 0 ? unit : 1;
    return {
        width: (view[2] - view[0]) * scale,
        height: (view[3] - view[1]) * scale,
        rotation: normalTurn(await own(reader, page, 'Rotate')),
    };
}

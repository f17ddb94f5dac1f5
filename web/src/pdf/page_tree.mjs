// The page tree after an edit, as the objects that change: a page whose rotation
// changed gets a copy of its own dictionary with a new /Rotate (same number, so
// everything that points at it still does), and a new order is a new /Kids of the
// root node. Pages copied in from another file get numbers of their own.

import { Dict, Ref, Stream, isName } from './objects.mjs';
import { INHERITED } from './reader.mjs';
import { normalTurn } from './page_geometry.mjs';

export const quarterTurns = (angle) => ((Math.round((Number(angle) || 0) / 90) % 4) + 4) % 4 * 90;

const storedTurn = (page) => (page.dict.has('Rotate') ? page.dict.get('Rotate') : page.inherited.get('Rotate'));

// The rotation a page is shown with, from its own /Rotate or the one it inherits; a
// turn that is not a multiple of 90 degrees is shown as none. `resolve(ref)` gives the
// value of a turn stored as an object of its own.
export async function pageRotation(page, resolve) {
    const value = storedTurn(page);
    return normalTurn(value instanceof Ref ? await resolve(value) : value ?? 0);
}

// `entries`: the pages in their new order, each {page, rotation} where `page` is one
// of `reader.pages()` or an imported page. Returns num -> new value.
export async function arrangePages(reader, entries, objects = new Map()) {
    const pages = await reader.pages();
    const catalog = await reader.catalog();
    const rootRef = catalog.get('Pages');
    const sameOrder = entries.length === pages.length && entries.every((e, i) => e.page.ref.num === pages[i].ref.num);
    for (const { page, rotation } of entries) {
        let dict = objects.get(page.ref.num) ?? page.dict;
        const copy = () => (dict === page.dict ? (dict = new Dict(page.dict)) : dict);
        if (!sameOrder && !(dict.get('Parent') instanceof Ref && dict.get('Parent').num === rootRef.num)) {
            // Moved under the root: what it inherited from the nodes between comes along.
            copy().set('Parent', rootRef);
            for (const key of INHERITED) if (!dict.has(key) && page.inherited.has(key)) dict.set(key, page.inherited.get(key));
        }
        const resolve = (ref) => (objects.has(ref.num) ? objects.get(ref.num) : reader.resolve(ref));
        if (quarterTurns(rotation) !== (await pageRotation(page, resolve))) copy().set('Rotate', quarterTurns(rotation));
        if (dict !== page.dict) objects.set(page.ref.num, dict);
    }
    if (!sameOrder) {
        const root = new Dict(await reader.get(rootRef));
        root.set('Kids', entries.map((e) => e.page.ref));
        root.set('Count', entries.length);
        objects.set(rootRef.num, root);
    }
    return objects;
}

export function copyValue(value, mapRef) {
    if (value instanceof Ref) return mapRef(value);
    if (Array.isArray(value)) return value.map((v) => copyValue(v, mapRef));
    if (value instanceof Stream) return new Stream(copyValue(value.dict, mapRef), value.data);
    if (value instanceof Dict) {
        const out = new Dict();
        for (const [key, v] of value) out.set(key, copyValue(v, mapRef));
        return out;
    }
    return value;
}

// Copies every page of `source` with all it needs into new numbers from `firstNum` on.
// The pages come without a parent: arrangePages gives them one.
export async function importPages(source, firstNum) {
    const pages = await source.pages();
    const numbers = new Map();
    const queue = [];
    let next = firstNum;
    const mapRef = (ref) => {
        if (!numbers.has(ref.num)) {
            numbers.set(ref.num, next++);
            queue.push(ref);
        }
        return new Ref(numbers.get(ref.num), 0);
    };
    const refs = pages.map((p) => mapRef(p.ref));
    const inherited = pages.map((p) => new Map([...p.inherited].map(([key, v]) => [key, copyValue(v, mapRef)])));
    const objects = new Map();
    while (queue.length) {
        const ref = queue.shift();
        let value = await source.get(ref);
        if (value instanceof Dict && isName(value.get('Type'), 'Page')) {
            value = new Dict(value);
            value.delete('Parent');
        }
        objects.set(numbers.get(ref.num), copyValue(value, mapRef));
    }
    const imported = refs.map((ref, i) => ({ ref, dict: objects.get(ref.num), inherited: inherited[i] }));
    return { objects, pages: imported, next };
}

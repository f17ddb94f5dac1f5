// A whole new file without the pages the user deleted: outline items, named
// destinations, links and form fields that led to them go first, then only what is
// still reachable from the trailer is written. Any other reference to a deleted page
// (a structure element's /Pg, an annotation's /P) becomes null.

import { Dict, PdfString, Ref, Stream, isName, latin1 } from './objects.mjs';
import { arrangePages } from './page_tree.mjs';
import { packObjects } from './packing.mjs';
import { wholeFile } from './writer.mjs';

// Every object reachable from `roots` through `get`, in the order first met; a
// reference that `skip(ref)` refuses is not followed.
export async function reachable(roots, get, skip = () => false) {
    const order = [];
    const seen = new Set();
    const stack = [...roots].reverse();
    const visit = (value, found) => {
        if (value instanceof Ref) {
            if (!skip(value)) found.push(value);
        } else if (Array.isArray(value)) {
            for (const v of value) visit(v, found);
        } else if (value instanceof Stream) {
            visit(value.dict, found);
        } else if (value instanceof Dict) {
            for (const v of value.values()) visit(v, found);
        }
    };
    while (stack.length) {
        const ref = stack.pop();
        if (seen.has(ref.num)) continue;
        seen.add(ref.num);
        order.push(ref.num);
        const found = [];
        visit(await get(ref.num), found);
        for (let i = found.length - 1; i >= 0; --i) if (!seen.has(found[i].num)) stack.push(found[i]);
    }
    return order;
}

// Reads objects through the changes made so far; every change is a copy.
class Overlay {
    constructor(reader, objects) {
        this.reader = reader;
        this.objects = objects;
    }

    async get(ref) {
        const num = ref instanceof Ref ? ref.num : ref;
        return this.objects.has(num) ? this.objects.get(num) : this.reader.get(num);
    }

    async resolve(value) {
        return value instanceof Ref ? this.get(value) : value;
    }

    // A changeable copy of the dictionary at `ref`.
    async edit(ref) {
        const value = await this.get(ref);
        if (!(value instanceof Dict)) return null;
        const copy = new Dict(value);
        this.objects.set(ref.num, copy);
        return copy;
    }
}

const nameKey = (value) => (value instanceof PdfString ? value.bytes : value?.name ?? null);

// The leaves of a name tree: [key, value, holder node ref or dict, index].
async function nameTreeEntries(store, node, out = [], seen = new Set()) {
    const dict = await store.resolve(node);
    if (!(dict instanceof Dict) || seen.has(dict)) return out;
    seen.add(dict);
    const names = await store.resolve(dict.get('Names'));
    if (Array.isArray(names)) for (let i = 0; i + 1 < names.length; i += 2) out.push([nameKey(names[i]), names[i + 1]]);
    for (const kid of (await store.resolve(dict.get('Kids'))) ?? []) await nameTreeEntries(store, kid, out, seen);
    return out;
}

// Rewrites a name tree's leaves without the entries `drop(value)` names.
async function filterNameTree(store, nodeRef, drop, seen = new Set()) {
    const dict = nodeRef instanceof Ref ? await store.edit(nodeRef) : nodeRef;
    if (!(dict instanceof Dict) || seen.has(dict)) return dict;
    seen.add(dict);
    const names = await store.resolve(dict.get('Names'));
    if (Array.isArray(names)) {
        const kept = [];
        for (let i = 0; i + 1 < names.length; i += 2) if (!(await drop(names[i + 1]))) kept.push(names[i], names[i + 1]);
        dict.set('Names', kept);
        if (kept.length) dict.set('Limits', [kept[0], kept.at(-2)]);
    }
    for (const kid of (await store.resolve(dict.get('Kids'))) ?? []) await filterNameTree(store, kid, drop, seen);
    return dict;
}

class Cleaner {
    constructor(store, deleted) {
        this.store = store;
        this.deleted = deleted;  // page object numbers
    }

    async prepare(catalog) {
        this.named = new Map();
        const dests = await this.store.resolve(catalog.get('Dests'));
        if (dests instanceof Dict) for (const [key, v] of dests) this.named.set(key, v);
        const names = await this.store.resolve(catalog.get('Names'));
        if (names instanceof Dict && names.has('Dests'))
            for (const [key, v] of await nameTreeEntries(this.store, names.get('Dests'))) this.named.set(key, v);
    }

    // Whether a destination (explicit, named, or a dictionary with /D) leads to a
    // deleted page.
    async deadDest(value, depth = 0) {
        value = await this.store.resolve(value);
        if (depth > 8 || value === null || value === undefined) return false;
        if (Array.isArray(value)) return value[0] instanceof Ref && this.deleted.has(value[0].num);
        if (value instanceof Dict) return this.deadDest(value.get('D'), depth + 1);
        const key = nameKey(value);
        return key !== null && this.named.has(key) ? this.deadDest(this.named.get(key), depth + 1) : false;
    }

    async deadAction(value) {
        const action = await this.store.resolve(value);
        return action instanceof Dict && isName(action.get('S'), 'GoTo') && this.deadDest(action.get('D'));
    }

    async leadsToDeletedPage(dict) {
        return (await this.deadDest(dict.get('Dest'))) || this.deadAction(dict.get('A'));
    }

    async cleanCatalog(catalogRef) {
        const catalog = await this.store.edit(catalogRef);
        await this.prepare(catalog);
        if (await this.deadDest(catalog.get('OpenAction')) || await this.deadAction(catalog.get('OpenAction'))) catalog.delete('OpenAction');
        await this.#cleanDests(catalog);
        if (catalog.get('Outlines')) await this.#cleanOutline(catalog.get('Outlines'));
        const form = catalog.get('AcroForm');
        if (form) await this.#cleanFields(form);
    }

    async #cleanDests(catalog) {
        const drop = (v) => this.deadDest(v);
        const dests = catalog.get('Dests');
        const dict = dests instanceof Ref ? await this.store.edit(dests) : dests instanceof Dict ? new Dict(dests) : null;
        if (dict) {
            for (const [key, v] of [...dict]) if (await drop(v)) dict.delete(key);
            if (!(dests instanceof Ref)) catalog.set('Dests', dict);
        }
        const namesRef = catalog.get('Names');
        const names = namesRef instanceof Ref ? await this.store.edit(namesRef) : namesRef instanceof Dict ? new Dict(namesRef) : null;
        if (!names?.has('Dests')) return;
        if (!(namesRef instanceof Ref)) catalog.set('Names', names);
        const tree = names.get('Dests');
        const cleaned = await filterNameTree(this.store, tree instanceof Ref ? tree : new Dict(tree), drop);
        if (!(tree instanceof Ref)) names.set('Dests', cleaned);
    }

    // Items that led to a deleted page go; one that still has items under it stays,
    // without its destination, as their heading.
    async #cleanOutline(rootRef) {
        if (!(rootRef instanceof Ref)) return;
        const root = await this.store.edit(rootRef);
        if (root) await this.#relink(rootRef, root, new Set([rootRef.num]));
    }

    async #relink(parentRef, parent, seen) {
        const kept = [];
        let visible = 0;
        for (let ref = parent.get('First'); ref instanceof Ref && !seen.has(ref.num); ) {
            seen.add(ref.num);
            const item = await this.store.edit(ref);
            if (!item) break;
            const next = item.get('Next');
            const below = await this.#relink(ref, item, seen);
            const dead = await this.leadsToDeletedPage(item);
            if (dead) {
                item.delete('Dest');
                item.delete('A');
            }
            if (!dead || item.has('First')) {
                kept.push(ref);
                visible += 1 + (Number(item.get('Count')) > 0 ? below : 0);
            }
            ref = next;
        }
        for (let i = 0; i < kept.length; ++i) {
            const item = await this.store.get(kept[i]);
            item.set('Parent', parentRef);
            if (i > 0) item.set('Prev', kept[i - 1]); else item.delete('Prev');
            if (i + 1 < kept.length) item.set('Next', kept[i + 1]); else item.delete('Next');
        }
        if (kept.length) {
            parent.set('First', kept[0]);
            parent.set('Last', kept.at(-1));
            if (parent.has('Count')) parent.set('Count', Number(parent.get('Count')) < 0 ? -visible : visible);
        } else {
            parent.delete('First');
            parent.delete('Last');
            parent.delete('Count');
        }
        return visible;
    }

    // Links on the kept pages that led to a deleted one go.
    async cleanLinks(pageRef) {
        const page = await this.store.get(pageRef);
        const annots = await this.store.resolve(page.get('Annots'));
        if (!Array.isArray(annots)) return;
        const kept = [];
        for (const a of annots) {
            const annot = await this.store.resolve(a);
            if (annot instanceof Dict && isName(annot.get('Subtype'), 'Link') && await this.leadsToDeletedPage(annot)) continue;
            kept.push(a);
        }
        if (kept.length === annots.length) return;
        const copy = await this.store.edit(pageRef);
        copy.set('Annots', kept);
    }

    // The structure elements that describe content of deleted pages (their /Alt and
    // /ActualText say what the page said): they go wherever they are referenced.
    async structureOfDeletedPages(catalogRef) {
        const catalog = await this.store.get(catalogRef);
        const found = [];
        const seen = new Set();
        const walk = async (value, page) => {
            if (value instanceof Ref) {
                if (seen.has(value.num)) return;
                seen.add(value.num);
            }
            const node = await this.store.resolve(value);
            if (Array.isArray(node)) {
                for (const kid of node) await walk(kid, page);
                return;
            }
            if (!(node instanceof Dict)) return;
            const own = node.get('Pg') instanceof Ref ? node.get('Pg').num : page;
            if (value instanceof Ref && this.deleted.has(own)) found.push(value.num);
            else await walk(node.get('K'), own);
        };
        const root = await this.store.resolve(catalog.get('StructTreeRoot'));
        if (root instanceof Dict) await walk(root.get('K'), null);
        return found;
    }

    // Fields all of whose widgets sat on deleted pages go, with their values.
    async #cleanFields(formValue) {
        const form = formValue instanceof Ref ? await this.store.edit(formValue) : new Dict(formValue);
        const fields = await this.store.resolve(form.get('Fields'));
        if (!Array.isArray(fields)) return;
        this.deadWidgets = new Set();
        for (const num of this.deleted) {
            const page = await this.store.get(num);
            for (const a of (await this.store.resolve(page?.get('Annots'))) ?? []) if (a instanceof Ref) this.deadWidgets.add(a.num);
        }
        const kept = [];
        for (const f of fields) if (await this.#keepField(f, new Set())) kept.push(f);
        form.set('Fields', kept);
        if (!(formValue instanceof Ref)) (await this.store.get(this.store.reader.trailer.get('Root'))).set('AcroForm', form);
    }

    async #keepField(ref, seen) {
        if (!(ref instanceof Ref) || seen.has(ref.num)) return true;
        seen.add(ref.num);
        if (this.deadWidgets.has(ref.num)) return false;
        const field = await this.store.get(ref);
        const kids = await this.store.resolve(field?.get('Kids'));
        if (!Array.isArray(kids) || !kids.length) return true;
        const kept = [];
        for (const kid of kids) if (await this.#keepField(kid, seen)) kept.push(kid);
        if (!kept.length) return false;
        if (kept.length !== kids.length) (await this.store.edit(ref)).set('Kids', kept);
        return true;
    }
}

function headerVersion(bytes) {
    const match = /%PDF-(\d\.\d)/.exec(latin1(bytes, 0, Math.min(bytes.length, 1024)));
    return match ? match[1] : '1.7';
}

// The whole file for `entries` (as for arrangePages), without every page of the
// reader that is not among them, nor the pages numbered in `alsoDeleted` (deleted
// before an update that left them out of the page tree).
export async function prunedFile(reader, entries, objects = new Map(), alsoDeleted = []) {
    await arrangePages(reader, entries, objects);
    const store = new Overlay(reader, objects);
    const kept = new Set(entries.map((e) => e.page.ref.num));
    const deleted = new Set((await reader.pages()).map((p) => p.ref.num).filter((num) => !kept.has(num)));
    for (const num of alsoDeleted) if (!kept.has(num)) deleted.add(num);
    const cleaner = new Cleaner(store, deleted);
    const rootRef = reader.trailer.get('Root');
    await cleaner.cleanCatalog(rootRef);
    for (const { page } of entries) await cleaner.cleanLinks(page.ref);

    const gone = new Set([...deleted, ...(await cleaner.structureOfDeletedPages(rootRef))]);
    const roots = [rootRef, reader.trailer.get('Info')].filter((r) => r instanceof Ref);
    const order = await reachable(roots, (num) => store.get(num), (ref) => gone.has(ref.num));
    const numbers = new Map(order.map((num, i) => [num, i + 1]));
    const mapRef = (ref) => (numbers.has(ref.num) ? new Ref(numbers.get(ref.num), 0) : null);
    const out = new Map();
    for (const num of order) out.set(numbers.get(num), await store.get(num));
    const trailer = new Dict([['Size', order.length + 1]]);
    for (const key of ['Root', 'Info', 'ID']) if (reader.trailer.has(key)) trailer.set(key, reader.trailer.get(key));
    if (!reader.packsObjects) return wholeFile(headerVersion(reader.bytes), out, trailer, mapRef);
    const { loose, places } = await packObjects(out, mapRef, order.length + 1);
    return wholeFile(headerVersion(reader.bytes), loose, trailer, mapRef, places);
}

// Reads a PDF file lazily: the cross-reference sections (tables, streams, hybrid files,
// the /Prev chain) are read at once, an object only when it is asked for. Nothing is
// copied: streams point into the file's bytes.

import { decodeStream } from './inflate.mjs';
import { Dict, Parser, ParseError, Ref, Stream, isName, lastIndexOf, latin1 } from './objects.mjs';

export class DamagedFileError extends Error {}

export class PdfReader {
    constructor(bytes) {
        this.bytes = bytes;
        this.entries = new Map();  // num -> {type: 1, offset, gen} | {type: 2, stream, index}
        this.cache = new Map();
        this.objectStreams = new Map();
        this.trailer = new Dict();
        this.kind = 'table';
        this.startxref = -1;
        this.repaired = false;
    }

    static async open(bytes) {
        const reader = new PdfReader(bytes);
        try {
            await reader.#readSections();
        } catch (error) {
            if (!(error instanceof ParseError || error instanceof DamagedFileError || error instanceof RangeError)) throw error;
            await reader.#reconstruct();
        }
        if (!(reader.trailer.get('Root') instanceof Ref)) await reader.#reconstruct();
        return reader;
    }

    get encrypted() {
        return this.trailer.has('Encrypt');
    }

    // Whether the file keeps objects in object streams.
    get packsObjects() {
        for (const entry of this.entries.values()) if (entry?.type === 2) return true;
        return false;
    }

    // The next free object number.
    get size() {
        let size = Number(this.trailer.get('Size')) || 0;
        for (const num of this.entries.keys()) size = Math.max(size, num + 1);
        return size;
    }

    // ---- cross-reference sections --------------------------------------------------

    async #readSections() {
        const at = lastIndexOf(this.bytes, 'startxref');
        if (at < 0) throw new DamagedFileError('no startxref');
        const parser = new Parser(this.bytes, at + 9);
        this.startxref = Number(parser.word());
        const seen = new Set();
        let offset = this.startxref;
        let newest = true;
        while (Number.isInteger(offset) && offset >= 0 && !seen.has(offset)) {
            seen.add(offset);
            if (offset >= this.bytes.length) throw new DamagedFileError('a section lies outside the file');
            const { trailer, kind } = await this.#readSection(offset);
            if (newest) this.kind = kind;
            newest = false;
            // Keys the newest trailer lacks are taken from the older ones.
            for (const [key, value] of trailer) if (!this.trailer.has(key) && key !== 'Prev' && key !== 'XRefStm') this.trailer.set(key, value);
            offset = trailer.get('Prev');
        }
    }

    async #readSection(offset) {
        const parser = new Parser(this.bytes, offset);
        if (parser.peekWord() === 'xref') return { trailer: await this.#readTable(parser), kind: 'table' };
        const { value } = parser.indirect();
        if (!(value instanceof Stream) || !isName(value.dict.get('Type'), 'XRef')) throw new DamagedFileError('not a cross-reference section');
        await this.#readXrefStream(value);
        return { trailer: value.dict, kind: 'stream' };
    }

    async #readTable(parser) {
        parser.expect('xref');
        const found = [];
        while (/^\d+$/.test(parser.peekWord())) {
            const first = Number(parser.word());
            const count = Number(parser.word());
            for (let i = 0; i < count; ++i) {
                const offset = Number(parser.word());
                const gen = Number(parser.word());
                const type = parser.word();
                if (type !== 'n' && type !== 'f') throw new DamagedFileError('a bad cross-reference entry');
                if (type === 'n') found.push([first + i, { type: 1, offset, gen }]);
                else found.push([first + i, null]);
            }
        }
        parser.expect('trailer');
        const trailer = parser.object();
        if (!(trailer instanceof Dict)) throw new DamagedFileError('no trailer');
        // A hybrid file lists in its stream the objects its table leaves out.
        const hidden = trailer.get('XRefStm');
        const stream = Number.isInteger(hidden) ? new Parser(this.bytes, hidden).indirect().value : null;
        for (const [num, entry] of found) if (entry && !this.entries.has(num)) this.entries.set(num, entry);
        if (stream instanceof Stream) await this.#readXrefStream(stream);
        for (const [num, entry] of found) if (!this.entries.has(num)) this.entries.set(num, entry);
        return trailer;
    }

    async #readXrefStream(stream) {
        const data = await decodeStream(stream);
        const widths = stream.dict.get('W');
        if (!Array.isArray(widths) || widths.length < 3) throw new DamagedFileError('a cross-reference stream without /W');
        const [w0, w1, w2] = widths;
        const rowLength = w0 + w1 + w2;
        if (!(rowLength > 0)) throw new DamagedFileError('a cross-reference stream with empty rows');
        const index = stream.dict.get('Index') ?? [0, stream.dict.get('Size')];
        const field = (at, width) => {
            let v = 0;
            for (let k = 0; k < width; ++k) v = v * 256 + data[at + k];
            return v;
        };
        let row = 0;
        for (let s = 0; s + 1 < index.length; s += 2) {
            for (let i = 0; i < index[s + 1]; ++i, ++row) {
                const at = row * rowLength;
                if (at + rowLength > data.length) return;
                const num = index[s] + i;
                if (this.entries.has(num)) continue;
                const type = w0 ? field(at, w0) : 1;
                const a = field(at + w0, w1);
                const b = field(at + w0 + w1, w2);
                if (type === 1) this.entries.set(num, { type: 1, offset: a, gen: b });
                else if (type === 2) this.entries.set(num, { type: 2, stream: a, index: b });
                else this.entries.set(num, null);
            }
        }
    }

    // A file whose cross-references cannot be read: every "n g obj" in it is found by a
    // scan, the last one of a number winning, as it would after updates.
    async #reconstruct() {
        this.repaired = true;
        this.entries.clear();
        this.cache.clear();
        this.objectStreams.clear();
        const text = latin1(this.bytes);
        const pattern = /(?:^|[\r\n\s])(\d+)\s+(\d+)\s+obj\b/g;
        for (let m; (m = pattern.exec(text));) {
            const offset = m.index + m[0].length - m[0].trimStart().length;
            this.entries.set(Number(m[1]), { type: 1, offset, gen: Number(m[2]) });
        }
        await this.#indexObjectStreams(text);
        let at = text.lastIndexOf('trailer');
        while (at >= 0) {
            try {
                const trailer = new Parser(this.bytes, at + 7).object();
                if (trailer instanceof Dict && trailer.get('Root') instanceof Ref) {
                    this.trailer = trailer;
                    return;
                }
            } catch {
                // an older trailer may still be whole
            }
            at = text.lastIndexOf('trailer', at - 1);
        }
        this.trailer = new Dict();
        for (const [num, entry] of this.entries) {
            try {
                const { value } = new Parser(this.bytes, entry.offset).indirect();
                const dict = value instanceof Stream ? value.dict : value;
                if (dict instanceof Dict && isName(dict.get('Type'), 'XRef')) for (const key of ['Root', 'Info', 'ID', 'Encrypt']) if (dict.has(key)) this.trailer.set(key, dict.get(key));
                if (dict instanceof Dict && isName(dict.get('Type'), 'Catalog') && !this.trailer.has('Root')) this.trailer.set('Root', new Ref(num, entry.gen));
            } catch {
                // not every match is an object
            }
        }
        if (!(this.trailer.get('Root') instanceof Ref)) throw new DamagedFileError('no document catalog');
    }

    // Objects packed in object streams have no "n g obj" of their own: each stream's
    // header names them. One written on its own wins over a packed one; of two packed
    // ones, the later stream's.
    async #indexObjectStreams(text) {
        const direct = new Set(this.entries.keys());
        const streams = [...this.entries].filter(([, entry]) => /\/Type\s*\/ObjStm\b/.test(text.slice(entry.offset, entry.offset + 512)));
        for (const [streamNum, entry] of streams.sort((a, b) => a[1].offset - b[1].offset)) {
            try {
                if (!isName((await this.get(streamNum))?.dict?.get('Type'), 'ObjStm')) continue;
                const { numbers } = await this.#objectStreamContents(streamNum);
                numbers.forEach((num, index) => direct.has(num) || this.entries.set(num, { type: 2, stream: streamNum, index }));
            } catch {
                // a damaged stream holds nothing that can be had
            }
        }
    }

    // ---- objects -------------------------------------------------------------------

    generation(num) {
        const entry = this.entries.get(num);
        return entry?.type === 1 ? entry.gen : 0;
    }

    async get(ref) {
        const num = ref instanceof Ref ? ref.num : ref;
        if (this.cache.has(num)) return this.cache.get(num);
        const entry = this.entries.get(num);
        let value = null;
        if (entry?.type === 1) {
            try {
                value = this.#parseAt(entry.offset, num);
            } catch (error) {
                if (!this.#misplaced(error, entry, num)) throw error;
                await this.#reconstruct();
                return this.get(num);
            }
        } else if (entry?.type === 2) value = await this.#fromObjectStream(entry);
        this.cache.set(num, value);
        return value;
    }

    async resolve(value) {
        return value instanceof Ref ? this.get(value) : value;
    }

    // An object that is not where the cross-references say means they no longer fit
    // the bytes (something put in front of the file, a file edited by hand): the
    // file is scanned once and the object looked for again.
    #misplaced(error, { offset }, num) {
        if (this.repaired || !(error instanceof ParseError || error instanceof DamagedFileError)) return false;
        const head = /^\s*(\d+)\s+\d+\s+obj\b/.exec(latin1(this.bytes, offset, Math.min(this.bytes.length, offset + 48)));
        return Number(head?.[1]) !== num;
    }

    #parseAt(offset, num) {
        const parser = new Parser(this.bytes, offset, (ref) => this.#lengthNow(ref));
        const object = parser.indirect();
        if (object.num !== num) throw new DamagedFileError(`object ${num} is not where the file says`);
        return object.value;
    }

    // A stream's indirect length, where it can be had without waiting.
    #lengthNow(ref) {
        if (this.cache.has(ref.num)) return this.cache.get(ref.num);
        const entry = this.entries.get(ref.num);
        if (entry?.type !== 1) return undefined;
        try {
            return this.#parseAt(entry.offset, ref.num);
        } catch {
            return undefined;
        }
    }

    async #fromObjectStream({ stream: streamNum, index }) {
        let objects = this.objectStreams.get(streamNum);
        if (!objects) {
            objects = await this.#readObjectStream(streamNum);
            this.objectStreams.set(streamNum, objects);
        }
        return objects[index] ?? null;
    }

    async #readObjectStream(num) {
        const { data, first, offsets } = await this.#objectStreamContents(num);
        return offsets.map((offset) => {
            try {
                return new Parser(data, first + offset).object();
            } catch {
                return null;
            }
        });
    }

    // An object stream's decoded bytes and what its header says: the number of each
    // object in it and where, after /First, the object begins.
    async #objectStreamContents(num) {
        const stream = await this.get(num);
        if (!(stream instanceof Stream)) throw new DamagedFileError(`object stream ${num} is missing`);
        const data = await decodeStream(stream);
        const count = stream.dict.get('N');
        const first = stream.dict.get('First');
        const header = new Parser(data, 0);
        const numbers = [];
        const offsets = [];
        // A count larger than the header holds (a hostile /N) ends with the header.
        for (let i = 0; i < count; ++i) {
            const packed = header.word();
            const offset = header.word();
            if (!offset) break;
            numbers.push(Number(packed));
            offsets.push(Number(offset));
        }
        return { data, first, numbers, offsets };
    }

    // ---- the page tree -------------------------------------------------------------

    async catalog() {
        return this.get(this.trailer.get('Root'));
    }

    // Every page in order: its reference, its dictionary, and what it inherits from the
    // nodes above it.
    async pages() {
        if (this.pageList) return this.pageList;
        const catalog = await this.catalog();
        const rootRef = catalog?.get('Pages');
        const list = [];
        const seen = new Set();
        const walk = async (ref, inherited) => {
            if (!(ref instanceof Ref) || seen.has(ref.num)) return;
            seen.add(ref.num);
            const node = await this.get(ref);
            if (!(node instanceof Dict)) return;
            const kids = await this.resolve(node.get('Kids'));
            if (isName(node.get('Type'), 'Pages') || (Array.isArray(kids) && !isName(node.get('Type'), 'Page'))) {
                const passed = new Map(inherited);
                for (const key of INHERITED) if (node.has(key)) passed.set(key, node.get(key));
                for (const kid of Array.isArray(kids) ? kids : []) await walk(kid, passed);
                return;
            }
            list.push({ ref, dict: node, inherited });
        };
        await walk(rootRef, new Map());
        this.pageList = list;
        return list;
    }
}

export const INHERITED = ['Resources', 'MediaBox', 'CropBox', 'Rotate'];

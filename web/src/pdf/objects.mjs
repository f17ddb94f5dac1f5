// PDF objects as the file writes them: parsed from bytes and written back so that an
// object read and written unchanged means the same to any reader. Strings keep their
// bytes (one character per byte), so encrypted or binary strings survive a copy.

export class Name {
    constructor(name) {
        this.name = name;
    }
}

export class Ref {
    constructor(num, gen = 0) {
        this.num = num;
        this.gen = gen;
    }
}

export class PdfString {
    constructor(bytes) {
        this.bytes = bytes;  // one character per byte
    }
}

// A dictionary keyed by name (without the slash).
export class Dict extends Map {}

export class Stream {
    constructor(dict, data) {
        this.dict = dict;
        this.data = data;  // the encoded bytes as stored in the file
    }
}

export const name = (text) => new Name(text);

// Names read from a file, one object for each: a document says /Type /Page on every
// page, and each name read anew would be kept in every dictionary that holds it (as
// the engine's string of it, made a letter at a time). The table is bounded, since a
// hostile file may use any number of names.
const namesRead = new Map();
const NAMES_KEPT = 4096;

function nameRead(text) {
    let found = namesRead.get(text);
    if (!found) {
        found = new Name(text);
        if (namesRead.size < NAMES_KEPT) namesRead.set(text, found);
    }
    return found;
}

export const isName = (value, text) => value instanceof Name && (text === undefined || value.name === text);

// What each byte is to the syntax: 0 regular, WHITE, or DELIMITER.
const WHITE = 1, DELIMITER = 2;
const KIND = new Uint8Array(256);
for (const c of [0, 9, 10, 12, 13, 32]) KIND[c] = WHITE;
for (const c of [0x28, 0x29, 0x3c, 0x3e, 0x5b, 0x5d, 0x7b, 0x7d, 0x2f, 0x25]) KIND[c] = DELIMITER;
const isWhite = (c) => KIND[c] === WHITE;
const isRegular = (c) => c !== undefined && KIND[c] === 0;

export class ParseError extends Error {}

// Reads objects from `bytes` starting at `pos`. `lengthOf(value)` resolves an indirect
// /Length of a stream; without it, or when it is wrong, the stream ends at "endstream".
export class Parser {
    constructor(bytes, pos = 0, lengthOf = null) {
        this.bytes = bytes;
        this.pos = pos;
        this.lengthOf = lengthOf;
    }

    skipSpace() {
        const b = this.bytes;
        for (;;) {
            while (this.pos < b.length && isWhite(b[this.pos])) ++this.pos;
            if (b[this.pos] !== 0x25) return;
            while (this.pos < b.length && b[this.pos] !== 10 && b[this.pos] !== 13) ++this.pos;
        }
    }

    // The next bare word (a number or keyword) without consuming it; '' if none.
    peekWord() {
        this.skipSpace();
        let end = this.pos;
        while (end < this.bytes.length && isRegular(this.bytes[end])) ++end;
        return latin1(this.bytes, this.pos, end);
    }

    word() {
        const text = this.peekWord();
        this.pos += text.length;
        return text;
    }

    expect(keyword) {
        const got = this.word();
        if (got !== keyword) throw new ParseError(`expected ${keyword}, found ${got.slice(0, 20) || 'nothing'}`);
    }

    // Parses "num gen obj ... endobj" at the current position.
    indirect() {
        const num = Number(this.word());
        const gen = Number(this.word());
        this.expect('obj');
        if (!Number.isInteger(num) || !Number.isInteger(gen)) throw new ParseError('not an object');
        const value = this.object();
        return { num, gen, value };
    }

    object() {
        this.skipSpace();
        const b = this.bytes;
        const c = b[this.pos];
        if (c === undefined) throw new ParseError('unexpected end of data');
        if (c === 0x2f) return this.#name();
        if (c === 0x28) return this.#literalString();
        if (c === 0x3c && b[this.pos + 1] === 0x3c) return this.#dictOrStream();
        if (c === 0x3c) return this.#hexString();
        if (c === 0x5b) return this.#array();
        // Most words are object numbers and the like: read without making text of them.
        const integer = this.#plainInteger();
        if (integer >= 0) return this.#referenceOr(integer);
        const text = this.word();
        if (!text) throw new ParseError(`unexpected character ${String.fromCharCode(c)}`);
        if (text === 'true') return true;
        if (text === 'false') return false;
        if (text === 'null') return null;
        const number = Number(text);
        if (!/^[+-]?(\d+\.?\d*|\.\d+)$/.test(text)) throw new ParseError(`unexpected word ${text.slice(0, 20)}`);
        return /^\d+$/.test(text) ? this.#referenceOr(number) : number;
    }

    // The word at the current position when it is all digits (at most 15, so exact),
    // read; otherwise -1, with nothing read.
    #plainInteger() {
        const b = this.bytes;
        let value = 0;
        let end = this.pos;
        while (b[end] >= 0x30 && b[end] <= 0x39) value = value * 10 + (b[end++] - 0x30);
        if (end === this.pos || end - this.pos > 15 || isRegular(b[end])) return -1;
        this.pos = end;
        return value;
    }

    // "num gen R" is a reference; otherwise the number stands alone.
    #referenceOr(number) {
        const save = this.pos;
        const gen = this.word();
        if (/^\d+$/.test(gen) && this.word() === 'R') return new Ref(number, Number(gen));
        this.pos = save;
        return number;
    }

    #name() {
        ++this.pos;
        const start = this.pos;
        while (this.pos < this.bytes.length && isRegular(this.bytes[this.pos])) ++this.pos;
        const raw = latin1(this.bytes, start, this.pos);
        if (!raw.includes('#')) return nameRead(raw);
        return nameRead(raw.replace(/#([0-9a-fA-F]{2})/g, (_, hex) => String.fromCharCode(parseInt(hex, 16))));
    }

    #array() {
        ++this.pos;
        const items = [];
        for (;;) {
            this.skipSpace();
            if (this.bytes[this.pos] === 0x5d) {
                ++this.pos;
                return items;
            }
            items.push(this.object());
        }
    }

    #dictOrStream() {
        this.pos += 2;
        const dict = new Dict();
        for (;;) {
            this.skipSpace();
            if (this.bytes[this.pos] === 0x3e && this.bytes[this.pos + 1] === 0x3e) {
                this.pos += 2;
                break;
            }
            const key = this.object();
            if (!(key instanceof Name)) throw new ParseError('a dictionary key is not a name');
            dict.set(key.name, this.object());
        }
        const save = this.pos;
        if (this.peekWord() !== 'stream') {
            this.pos = save;
            return dict;
        }
        this.pos += 6;
        if (this.bytes[this.pos] === 13) ++this.pos;
        if (this.bytes[this.pos] === 10) ++this.pos;
        return new Stream(dict, this.#streamData(dict.get('Length')));
    }

    #streamData(lengthValue) {
        const start = this.pos;
        let length = lengthValue instanceof Ref ? this.lengthOf?.(lengthValue) : lengthValue;
        if (!(Number.isInteger(length) && length >= 0 && this.#endsAt(start + length))) length = this.#findEnd(start) - start;
        this.pos = start + length;
        this.skipSpace();
        this.expect('endstream');
        return this.bytes.subarray(start, start + length);
    }

    #endsAt(end) {
        if (end > this.bytes.length) return false;
        const probe = new Parser(this.bytes, end);
        return probe.peekWord() === 'endstream';
    }

    // The data runs to the end-of-line before "endstream".
    #findEnd(start) {
        const at = indexOf(this.bytes, 'endstream', start);
        if (at < 0) throw new ParseError('a stream has no end');
        let end = at;
        if (this.bytes[end - 1] === 10) --end;
        if (this.bytes[end - 1] === 13) --end;
        return Math.max(end, start);
    }

    #literalString() {
        const b = this.bytes;
        ++this.pos;
        let depth = 1;
        let out = '';
        while (this.pos < b.length) {
            const c = b[this.pos++];
            if (c === 0x5c) {
                const e = b[this.pos++];
                const simple = { 0x6e: '\n', 0x72: '\r', 0x74: '\t', 0x62: '\b', 0x66: '\f', 0x28: '(', 0x29: ')', 0x5c: '\\' }[e];
                if (simple !== undefined) out += simple;
                else if (e >= 0x30 && e <= 0x37) {
                    let octal = e - 0x30;
                    for (let k = 0; k < 2 && b[this.pos] >= 0x30 && b[this.pos] <= 0x37; ++k) octal = octal * 8 + b[this.pos++] - 0x30;
                    out += String.fromCharCode(octal & 0xff);
                } else if (e === 13) {
                    if (b[this.pos] === 10) ++this.pos;
                } else if (e !== 10) {
                    out += String.fromCharCode(e);
                }
                continue;
            }
            if (c === 0x28) ++depth;
            if (c === 0x29 && --depth === 0) return new PdfString(out);
            out += String.fromCharCode(c);
        }
        throw new ParseError('a string has no end');
    }

    #hexString() {
        ++this.pos;
        const end = this.bytes.indexOf(0x3e, this.pos);
        if (end < 0) throw new ParseError('a string has no end');
        let hex = latin1(this.bytes, this.pos, end).replace(/[^0-9a-fA-F]/g, '');
        this.pos = end + 1;
        if (hex.length % 2) hex += '0';
        let out = '';
        for (let i = 0; i < hex.length; i += 2) out += String.fromCharCode(parseInt(hex.slice(i, i + 2), 16));
        return new PdfString(out);
    }
}

export function latin1(bytes, start = 0, end = bytes.length) {
    // Most are words of a few letters, for which a view of the bytes costs more than
    // the letters.
    if (end - start <= 16) {
        let out = '';
        for (let i = start; i < end; ++i) out += String.fromCharCode(bytes[i]);
        return out;
    }
    let out = '';
    const chunk = 0x8000;
    for (let i = start; i < end; i += chunk) out += String.fromCharCode.apply(null, bytes.subarray(i, Math.min(end, i + chunk)));
    return out;
}

export function latin1Bytes(text) {
    const out = new Uint8Array(text.length);
    for (let i = 0; i < text.length; ++i) out[i] = text.charCodeAt(i);
    return out;
}

export function indexOf(bytes, text, from = 0) {
    const first = text.charCodeAt(0);
    outer: for (let i = bytes.indexOf(first, from); i >= 0 && i <= bytes.length - text.length; i = bytes.indexOf(first, i + 1)) {
        for (let k = 1; k < text.length; ++k) if (bytes[i + k] !== text.charCodeAt(k)) continue outer;
        return i;
    }
    return -1;
}

export function lastIndexOf(bytes, text, from = bytes.length - text.length) {
    for (let i = Math.min(from, bytes.length - text.length); i >= 0; --i) {
        let k = 0;
        while (k < text.length && bytes[i + k] === text.charCodeAt(k)) ++k;
        if (k === text.length) return i;
    }
    return -1;
}

// ---- writing ----------------------------------------------------------------------

function formatNumber(n) {
    if (Number.isInteger(n)) return String(n);
    // Plain decimals: some readers do not take exponents.
    return n.toFixed(6).replace(/0+$/, '').replace(/\.$/, '');
}

function formatName(text) {
    let out = '/';
    for (const ch of text) {
        const c = ch.charCodeAt(0);
        out += c < 0x21 || c > 0x7e || c === 0x23 || KIND[c] === DELIMITER ? `#${c.toString(16).padStart(2, '0')}` : ch;
    }
    return out;
}

function formatString(bytes) {
    let hex = '<';
    for (let i = 0; i < bytes.length; ++i) hex += bytes.charCodeAt(i).toString(16).padStart(2, '0');
    return `${hex}>`;
}

// One object as text, one character per byte. A stream is written by `writeObject`.
// `mapRef` may rename references (a renumbering) or drop them (null).
export function serialize(value, mapRef = null) {
    if (value === null || value === undefined) return 'null';
    if (value === true) return 'true';
    if (value === false) return 'false';
    if (typeof value === 'number') return formatNumber(value);
    if (value instanceof Name) return formatName(value.name);
    if (value instanceof PdfString) return formatString(value.bytes);
    if (value instanceof Ref) {
        const ref = mapRef ? mapRef(value) : value;
        return ref ? `${ref.num} ${ref.gen} R` : 'null';
    }
    if (Array.isArray(value)) return `[${value.map((v) => serialize(v, mapRef)).join(' ')}]`;
    if (value instanceof Dict) {
        let out = '<<';
        for (const [key, v] of value) out += `${formatName(key)} ${serialize(v, mapRef)}`;
        return `${out}>>`;
    }
    if (value instanceof Stream) throw new TypeError('a stream is written with writeObject');
    throw new TypeError(`not a PDF object: ${value}`);
}

// "num gen obj ... endobj" as byte chunks; a stream's data is passed on uncopied.
export function writeObject(num, gen, value, mapRef = null) {
    if (value instanceof Stream) {
        const dict = new Dict(value.dict);
        dict.set('Length', value.data.length);
        return [latin1Bytes(`${num} ${gen} obj\n${serialize(dict, mapRef)}\nstream\n`), value.data, latin1Bytes('\nendstream\nendobj\n')];
    }
    return [latin1Bytes(`${num} ${gen} obj\n${serialize(value, mapRef)}\nendobj\n`)];
}

export function concatBytes(chunks) {
    const total = chunks.reduce((sum, c) => sum + c.length, 0);
    const out = new Uint8Array(total);
    let at = 0;
    for (const c of chunks) {
        out.set(c, at);
        at += c.length;
    }
    return out;
}

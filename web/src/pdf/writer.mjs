// Writing files: an incremental update appended after a file's own bytes, and a whole
// new file. Both end in a cross-reference section and a trailer that keeps the file's
// identity (/Root, /Info, /ID, /Encrypt).

import { Dict, Stream, concatBytes, latin1Bytes, name, serialize, writeObject } from './objects.mjs';

const KEPT_TRAILER_KEYS = ['Root', 'Info', 'ID', 'Encrypt'];

function trailerFor(reader, size) {
    const trailer = new Dict([['Size', size]]);
    for (const key of KEPT_TRAILER_KEYS) if (reader.trailer.has(key)) trailer.set(key, reader.trailer.get(key));
    return trailer;
}

// Groups sorted object numbers into runs of consecutive ones: [[first, count], ...].
export function runsOf(nums) {
    const runs = [];
    for (const num of nums) {
        const last = runs.at(-1);
        if (last && last[0] + last[1] === num) ++last[1];
        else runs.push([num, 1]);
    }
    return runs;
}

function tableSection(offsets, trailer, runs, mapRef = null) {
    let text = 'xref\n';
    for (const [first, count] of runs) {
        text += `${first} ${count}\n`;
        for (let num = first; num < first + count; ++num) {
            const { offset, gen } = offsets.get(num);
            text += offset === null ? `0000000000 ${String(gen).padStart(5, '0')} f\r\n`
                : `${String(offset).padStart(10, '0')} ${String(gen).padStart(5, '0')} n\r\n`;
        }
    }
    return `${text}trailer\n${serialize(trailer, mapRef)}\n`;
}

// An entry of a cross-reference stream: [type, field 2, field 3].
function streamEntry({ offset, gen, stream, index }) {
    if (stream !== undefined) return [2, stream, index];
    return offset === null ? [0, 0, gen] : [1, offset, gen];
}

// A cross-reference stream numbered `num` that lists itself too; stored uncompressed,
// which every reader takes. An entry {stream, index} is an object packed in a stream.
function streamSection(offsets, trailer, num, at, mapRef = null) {
    offsets.set(num, { offset: at, gen: 0 });
    const nums = [...offsets.keys()].sort((a, b) => a - b);
    const runs = runsOf(nums);
    const width = Math.max(4, Math.ceil(Math.log2(at + 2) / 8));
    const row = 1 + width + 2;
    const data = new Uint8Array(nums.length * row);
    nums.forEach((n, i) => {
        const [type, field, last] = streamEntry(offsets.get(n));
        data[i * row] = type;
        let v = field;
        for (let k = width; k >= 1; --k, v = Math.floor(v / 256)) data[i * row + k] = v % 256;
        data[i * row + width + 1] = (last >> 8) & 0xff;
        data[i * row + width + 2] = last & 0xff;
    });
    const dict = new Dict(trailer);
    dict.set('Type', name('XRef'));
    dict.set('Size', Math.max(trailer.get('Size'), num + 1));
    dict.set('W', [1, width, 2]);
    dict.set('Index', runs.flat());
    if (trailer.has('Prev')) dict.set('Prev', trailer.get('Prev'));
    return writeObject(num, 0, new Stream(dict, data), mapRef);
}

// The bytes to append to the file read by `reader` so that `objects` (num -> value,
// new or replacing) take effect. The section is of the kind the file's newest one is.
export function incrementalUpdate(reader, objects) {
    const base = reader.bytes.length;
    const chunks = [];
    let length = 0;
    const push = (list) => {
        for (const c of list) {
            chunks.push(c);
            length += c.length;
        }
    };
    const last = reader.bytes[base - 1];
    if (last !== 10 && last !== 13) push([latin1Bytes('\n')]);
    const offsets = new Map();
    const nums = [...objects.keys()].sort((a, b) => a - b);
    for (const num of nums) {
        const gen = reader.generation(num);
        offsets.set(num, { offset: base + length, gen });
        push(writeObject(num, gen, objects.get(num)));
    }
    let size = Math.max(reader.size, (nums.at(-1) ?? 0) + 1);
    const xrefAt = base + length;
    if (reader.kind === 'stream' && !reader.repaired) {
        const trailer = trailerFor(reader, size + 1);
        trailer.set('Prev', reader.startxref);
        push(streamSection(offsets, trailer, size, xrefAt));
    } else {
        const trailer = trailerFor(reader, size);
        if (reader.startxref >= 0 && !reader.repaired) trailer.set('Prev', reader.startxref);
        push([latin1Bytes(tableSection(offsets, trailer, runsOf(nums)))]);
    }
    push([latin1Bytes(`startxref\n${xrefAt}\n%%EOF\n`)]);
    return concatBytes(chunks);
}

// A whole file holding `objects` (num -> value, numbered 1..n), its header taken from
// the original's version; `mapRef` renumbers the references inside them. `packed`
// (num -> {stream, index}) names the objects that object streams among `objects`
// hold; the file then ends in a cross-reference stream.
export function wholeFile(version, objects, trailer, mapRef = null, packed = null) {
    const chunks = [latin1Bytes(`%PDF-${version}\n%\xe2\xe3\xcf\xd3\n`)];
    let length = chunks[0].length;
    const offsets = new Map([[0, { offset: null, gen: 65535 }]]);
    const nums = [...objects.keys()].sort((a, b) => a - b);
    for (const num of nums) {
        offsets.set(num, { offset: length, gen: 0 });
        for (const c of writeObject(num, 0, objects.get(num), mapRef)) {
            chunks.push(c);
            length += c.length;
        }
    }
    if (packed) {
        for (const [num, place] of packed) offsets.set(num, place);
        const num = Math.max(...offsets.keys()) + 1;
        chunks.push(...streamSection(offsets, trailer, num, length, mapRef), latin1Bytes(`startxref\n${length}\n%%EOF\n`));
        return concatBytes(chunks);
    }
    const table = tableSection(offsets, trailer, runsOf([0, ...nums]), mapRef);
    chunks.push(latin1Bytes(`${table}startxref\n${length}\n%%EOF\n`));
    return concatBytes(chunks);
}

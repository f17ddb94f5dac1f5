// Small PDF files written by hand for the tests, with the cross-reference layouts real
// files use: a table, or a compressed stream with a PNG predictor and objects packed
// into an object stream.

const text = (s) => new Uint8Array([...s].map((c) => c.charCodeAt(0)));

export async function deflate(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
}

function concat(parts) {
    const out = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
    let at = 0;
    for (const p of parts) {
        out.set(p, at);
        at += p.length;
    }
    return out;
}

// `bodies[i]` is the text of object i + 1. Options: `xref: 'stream'` and `packed`
// (numbers of objects to put in an object stream; streams cannot be packed).
export async function makePdf(bodies, { xref = 'table', packed = [], trailer = '/Root 1 0 R' } = {}) {
    const parts = [text('%PDF-1.7\n%\xe2\xe3\xcf\xd3\n')];
    let length = parts[0].length;
    const offsets = new Map();
    const add = (num, body) => {
        offsets.set(num, { type: 1, offset: length });
        const bytes = typeof body === 'string' ? text(`${num} 0 obj\n${body}\nendobj\n`) : body;
        parts.push(bytes);
        length += bytes.length;
    };
    const loose = bodies.map((b, i) => i + 1).filter((n) => !packed.includes(n));
    for (const num of loose) add(num, bodies[num - 1]);
    let size = bodies.length + 1;
    if (packed.length) {
        const streamNum = size++;
        let header = '';
        let body = '';
        packed.forEach((num, index) => {
            header += `${num} ${body.length} `;
            body += `${bodies[num - 1]}\n`;
            offsets.set(num, { type: 2, stream: streamNum, index });
        });
        const data = await deflate(text(header + body));
        add(streamNum, concat([text(`${streamNum} 0 obj\n<</Type/ObjStm/N ${packed.length}/First ${header.length}/Filter/FlateDecode/Length ${data.length}>>\nstream\n`), data, text('\nendstream\nendobj\n')]));
    }
    if (xref === 'table') {
        let table = `xref\n0 ${size}\n0000000000 65535 f\r\n`;
        for (let num = 1; num < size; ++num) table += `${String(offsets.get(num).offset).padStart(10, '0')} 00000 n\r\n`;
        parts.push(text(`${table}trailer\n<</Size ${size}${trailer}>>\nstartxref\n${length}\n%%EOF\n`));
        return concat(parts);
    }
    // A stream with rows [type, offset(4), index(2)], PNG "Up" filtered.
    const xrefNum = size++;
    offsets.set(xrefNum, { type: 1, offset: length });
    const rows = [];
    let prior = new Uint8Array(7);
    for (let num = 0; num < size; ++num) {
        const e = offsets.get(num);
        const raw = new Uint8Array(7);
        if (e?.type === 1) raw.set([1, e.offset >>> 24, (e.offset >> 16) & 255, (e.offset >> 8) & 255, e.offset & 255, 0, 0]);
        else if (e?.type === 2) raw.set([2, 0, 0, (e.stream >> 8) & 255, e.stream & 255, 0, e.index]);
        else raw.set([0, 0, 0, 0, 0, 255, 255]);
        rows.push(2, ...raw.map((b, i) => (b - prior[i]) & 255));
        prior = raw;
    }
    const data = await deflate(new Uint8Array(rows));
    parts.push(concat([text(`${xrefNum} 0 obj\n<</Type/XRef/Size ${size}/W[1 4 2]${trailer}/Filter/FlateDecode/DecodeParms<</Predictor 12/Columns 7>>/Length ${data.length}>>\nstream\n`), data, text(`\nendstream\nendobj\nstartxref\n${length}\n%%EOF\n`)]));
    return concat(parts);
}

// A document of `count` pages; page i's content draws the word `Secret<i>`.
export function pagedBodies(count, { extraCatalog = '', extraPage = () => '' } = {}) {
    const kids = Array.from({ length: count }, (_, i) => `${3 + 2 * i} 0 R`).join(' ');
    const bodies = [`<</Type/Catalog/Pages 2 0 R${extraCatalog}>>`, `<</Type/Pages/Kids[${kids}]/Count ${count}/MediaBox[0 0 200 200]>>`];
    for (let i = 1; i <= count; ++i) {
        const content = `BT /F1 12 Tf 10 10 Td (Secret${i}) Tj ET`;
        bodies.push(`<</Type/Page/Parent 2 0 R/Contents ${4 + 2 * (i - 1)} 0 R${extraPage(i)}>>`);
        bodies.push(`<</Length ${content.length}>>\nstream\n${content}\nendstream`);
    }
    return bodies;
}

export const asText = (bytes) => String.fromCharCode(...bytes);

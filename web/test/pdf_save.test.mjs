import { test } from 'node:test';
import assert from 'node:assert/strict';
import { appendBytes } from '../src/pdf/growable.mjs';
import { Dict, PdfString, Ref, Stream, concatBytes, latin1, name, serialize } from '../src/pdf/objects.mjs';
import { STRUCTURE_LIMIT } from '../src/pdf/inflate.mjs';
import { PdfReader } from '../src/pdf/reader.mjs';
import { arrangePages, importPages, pageRotation } from '../src/pdf/page_tree.mjs';

const turns = (reader, pages) => Promise.all(pages.map((page) => pageRotation(page, (ref) => reader.resolve(ref))));
import { incrementalUpdate } from '../src/pdf/writer.mjs';
import { prunedFile } from '../src/pdf/prune.mjs';
import { documentBytes, protections } from '../src/pdf/saving.mjs';
import { formObjects, sourceObjects } from '../src/pdf/form_values.mjs';
import { deflate, makePdf, pagedBodies } from './pdf_maker.mjs';

const layouts = [
    { label: 'a table', options: { xref: 'table' } },
    { label: 'a compressed stream with packed objects', options: { xref: 'stream', packed: [1, 2, 3, 5] } },
];

async function saveIncrementally(bytes, plan) {
    const reader = await PdfReader.open(bytes);
    const pages = await reader.pages();
    const objects = await arrangePages(reader, await plan(pages));
    const update = incrementalUpdate(reader, objects);
    const saved = new Uint8Array(bytes.length + update.length);
    saved.set(bytes);
    saved.set(update, bytes.length);
    return { reader, saved, update };
}

// Every object of a file as text, those packed in object streams too.
async function everyObject(reader) {
    let text = '';
    for (const num of reader.entries.keys()) {
        const value = await reader.get(num);
        text += value instanceof Stream ? serialize(value.dict) + latin1(value.data) : serialize(value);
    }
    return text;
}

async function contents(reader) {
    const out = [];
    for (const page of await reader.pages()) out.push(latin1((await reader.get(page.dict.get('Contents'))).data).match(/Secret\d/)[0]);
    return out;
}

for (const { label, options } of layouts) {
    test(`a rotation and a new order are appended to a file with ${label}, its bytes untouched`, async () => {
        const original = await makePdf(pagedBodies(3), options);
        const { saved, update } = await saveIncrementally(original, (pages) =>
            [pages[2], pages[0], pages[1]].map((page, i) => ({ page, rotation: i === 1 ? 90 : 0 })));
        assert.deepEqual(saved.subarray(0, original.length), original);
        // Only the root node and the turned page are written again.
        assert.equal((latin1(update).match(/ obj\b/g) ?? []).length, options.xref === 'stream' ? 3 : 2);
        assert.equal(/\/XRef\b/.test(latin1(update)), options.xref === 'stream', 'the section is of the file\'s own kind');

        const again = await PdfReader.open(saved);
        assert.equal(again.repaired, false);
        assert.deepEqual(await contents(again), ['Secret3', 'Secret1', 'Secret2']);
        assert.deepEqual(await turns(again, await again.pages()), [0, 90, 0]);
        assert.ok(again.trailer.get('Root') instanceof Ref);

        // A second update chains onto the first.
        const { saved: twice } = await saveIncrementally(saved, (pages) => pages.map((page) => ({ page, rotation: 180 })));
        const third = await PdfReader.open(twice);
        assert.deepEqual(await turns(third, await third.pages()), [180, 180, 180]);
        assert.deepEqual(await contents(third), ['Secret3', 'Secret1', 'Secret2']);
    });
}

test('a page that inherits its rotation and sits under an inner node keeps what it inherited when moved', async () => {
    const bodies = [
        '<</Type/Catalog/Pages 2 0 R>>',
        '<</Type/Pages/Kids[3 0 R 6 0 R]/Count 2>>',
        '<</Type/Pages/Parent 2 0 R/Kids[4 0 R]/Count 1/Rotate 90/MediaBox[0 0 300 100]>>',
        '<</Type/Page/Parent 3 0 R/Contents 5 0 R>>',
        '<</Length 21>>\nstream\nBT (Secret1) Tj ET...\nendstream',
        '<</Type/Page/Parent 2 0 R/MediaBox[0 0 100 100]/Contents 7 0 R>>',
        '<</Length 21>>\nstream\nBT (Secret2) Tj ET...\nendstream',
    ];
    const original = await makePdf(bodies);
    const { saved } = await saveIncrementally(original, async (pages) => {
        assert.deepEqual(await turns(null, pages), [90, 0]);
        return [{ page: pages[1], rotation: 0 }, { page: pages[0], rotation: 90 }];
    });
    const reader = await PdfReader.open(saved);
    const pages = await reader.pages();
    assert.deepEqual(pages.map((p) => p.ref.num), [6, 4]);
    assert.deepEqual(await turns(reader, pages), [0, 90]);
    assert.deepEqual(pages[1].dict.get('MediaBox'), [0, 0, 300, 100]);
    assert.equal(pages[1].dict.get('Parent').num, 2);
});

test('a turn stored as an object of its own, or not a multiple of 90 degrees, is compared as it is shown', async () => {
    const bodies = [
        '<</Type/Catalog/Pages 2 0 R>>',
        '<</Type/Pages/Kids[3 0 R 4 0 R]/Count 2>>',
        '<</Type/Page/Parent 2 0 R/MediaBox[0 0 100 100]/Rotate 5 0 R>>',
        '<</Type/Page/Parent 2 0 R/MediaBox[0 0 100 100]/Rotate 45>>',
        '90',
    ];
    const original = await makePdf(bodies);
    const { saved } = await saveIncrementally(original, async (pages) => {
        assert.deepEqual(await turns(await PdfReader.open(original), pages), [90, 0]);
        // Turned back to upright, and left as shown.
        return [{ page: pages[0], rotation: 0 }, { page: pages[1], rotation: 0 }];
    });
    const reader = await PdfReader.open(saved);
    const pages = await reader.pages();
    assert.deepEqual(await turns(reader, pages), [0, 0]);
    assert.equal(pages[0].dict.get('Rotate'), 0, 'the indirect turn is replaced');
    assert.equal(pages[1].dict.get('Rotate'), 45, 'a page shown as it was is not written again');
});

test('pages of another file come in with everything they use, under new numbers', async () => {
    const target = await PdfReader.open(await makePdf(pagedBodies(2)));
    const source = await PdfReader.open(await makePdf(pagedBodies(1, { extraPage: () => '/Resources<</Font<</F1 99 0 R>>>>' }).concat(
        Array.from({ length: 94 }, () => 'null'), ['<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>'])));
    const { objects, pages } = await importPages(source, target.size);
    const kept = await target.pages();
    await arrangePages(target, [{ page: kept[0], rotation: 0 }, { page: pages[0], rotation: 0 }, { page: kept[1], rotation: 0 }], objects);
    const update = incrementalUpdate(target, objects);
    const saved = new Uint8Array([...target.bytes, ...update]);
    const reader = await PdfReader.open(saved);
    assert.deepEqual(await contents(reader), ['Secret1', 'Secret1', 'Secret2']);
    const inserted = (await reader.pages())[1];
    assert.ok(inserted.ref.num >= target.size);
    const font = await reader.get(inserted.dict.get('Resources').get('Font').get('F1'));
    assert.equal(font.get('BaseFont').name, 'Helvetica');
});

test('a deleted page leaves nothing behind: its content, outline item, named destination, link and field', async () => {
    // Objects 9.. follow the three pages (3..8).
    const bodies = pagedBodies(3, {
        extraCatalog: '/Outlines 9 0 R/Names<</Dests 12 0 R>>/AcroForm<</Fields[14 0 R 15 0 R]>>/StructTreeRoot 16 0 R',
        extraPage: (i) => (i === 1 ? '/Annots[13 0 R]' : i === 2 ? '/Annots[14 0 R]' : '/Annots[15 0 R]'),
    });
    bodies.push(
        '<</Type/Outlines/First 10 0 R/Last 11 0 R/Count 2>>',
        '<</Title(One)/Parent 9 0 R/Next 11 0 R/Dest[3 0 R/Fit]>>',
        '<</Title(Two)/Parent 9 0 R/Prev 10 0 R/A<</S/GoTo/D(two)>>>>',
        '<</Names[(one)[3 0 R/Fit](two)[5 0 R/Fit]]/Limits[(one)(two)]>>',
        '<</Type/Annot/Subtype/Link/Rect[0 0 10 10]/Dest(two)>>',
        '<</Type/Annot/Subtype/Widget/FT/Tx/T(secretfield)/V(SecretValue)/P 5 0 R/Rect[0 0 10 10]>>',
        '<</Type/Annot/Subtype/Widget/FT/Tx/T(kept)/V(KeptValue)/P 7 0 R/Rect[0 0 10 10]>>',
        '<</Type/StructTreeRoot/K[17 0 R]>>',
        '<</S/P/Pg 5 0 R/Alt(about page two)>>',
    );
    const reader = await PdfReader.open(await makePdf(bodies, { xref: 'stream', packed: [1, 2, 3, 5, 9, 10, 11] }));
    const pages = await reader.pages();
    const saved = await prunedFile(reader, [{ page: pages[0], rotation: 0 }, { page: pages[2], rotation: 270 }]);
    const result = await PdfReader.open(saved);
    const text = await everyObject(result);
    for (const gone of ['Secret2', 'SecretValue', '74776f' /* "two", in names and the page's /Alt */]) assert.ok(!text.includes(gone), gone);

    assert.equal(result.repaired, false);
    assert.deepEqual(await contents(result), ['Secret1', 'Secret3']);
    assert.deepEqual(await turns(result, await result.pages()), [0, 270]);
    const catalog = await result.catalog();
    const outline = await result.get(catalog.get('Outlines'));
    const first = await result.get(outline.get('First'));
    assert.equal(first.get('Title').bytes, 'One');
    assert.equal(first.has('Next'), false);
    assert.equal(outline.get('Count'), 1);
    assert.equal(outline.get('Last').num, outline.get('First').num);
    const names = await result.get(catalog.get('Names').get('Dests'));
    assert.deepEqual(names.get('Names').filter((v, i) => i % 2 === 0).map((s) => s.bytes), ['one']);
    const firstPage = (await result.pages())[0].dict;
    assert.deepEqual(await result.resolve(firstPage.get('Annots')), []);
    const fields = catalog.get('AcroForm').get('Fields');
    assert.equal(fields.length, 1);
    assert.equal((await result.get(fields[0])).get('T').bytes, 'kept');
    assert.deepEqual((await result.get(catalog.get('StructTreeRoot'))).get('K'), [null]);
    // Numbered from 1 without gaps.
    assert.equal(result.trailer.get('Size'), result.entries.size);
});

test('a file written whole keeps the layout of the one it replaces: object streams only where it had them', async () => {
    const keep = async (bytes) => {
        const reader = await PdfReader.open(bytes);
        const pages = await reader.pages();
        return PdfReader.open(await prunedFile(reader, [{ page: pages[1], rotation: 0 }, { page: pages[2], rotation: 0 }]));
    };
    const packed = await keep(await makePdf(pagedBodies(3), { xref: 'stream', packed: [1, 2, 3, 5, 7] }));
    assert.equal(packed.packsObjects, true);
    assert.equal(packed.kind, 'stream');
    assert.deepEqual(await contents(packed), ['Secret2', 'Secret3']);
    assert.ok(!(await everyObject(packed)).includes('Secret1'));
    assert.equal(packed.trailer.get('Root').num, 1);
    // A file of an older version, or one that must not hold them (PDF/A-1), gets none.
    const plain = await keep(await makePdf(pagedBodies(3)));
    assert.equal(plain.packsObjects, false);
    assert.equal(plain.kind, 'table');
    assert.deepEqual(await contents(plain), ['Secret2', 'Secret3']);
});

test('a file whose cross-references are broken is read by a scan, and its saves are written whole', async () => {
    const bytes = await makePdf(pagedBodies(2));
    const text = latin1(bytes).replace(/startxref\n\d+/, 'startxref\n999999');
    const damaged = new Uint8Array([...text].map((c) => c.charCodeAt(0)));
    const reader = await PdfReader.open(damaged);
    assert.equal(reader.repaired, true);
    assert.deepEqual(await contents(reader), ['Secret1', 'Secret2']);
    assert.ok((await reader.catalog()) instanceof Dict);

    // A turn of the second page: an update could not point back at the broken
    // section, so the file is written whole, and reads without a scan.
    const pages = await reader.pages();
    const base = { bytes: damaged, reader, pages, pdfPages: pages.map(() => ({ rotation: 0 })), removed: new Set() };
    const out = await documentBytes({ base, entries: [{ page: 0, rotation: 0 }, { page: 1, rotation: 90 }] });
    assert.equal(out.whole, true);
    const saved = await PdfReader.open(out.bytes);
    assert.equal(saved.repaired, false);
    assert.deepEqual(await turns(saved, await saved.pages()), [0, 90]);
});

test('cross-references that no longer fit the bytes are replaced by a scan that also finds packed objects', async () => {
    const fromText = (s) => new Uint8Array([...s].map((c) => c.charCodeAt(0)));
    // Bytes put in front of a file whose catalog and pages are in an object stream.
    const packed = await makePdf(pagedBodies(2), { xref: 'stream', packed: [1, 2, 3, 5] });
    const prefixed = await PdfReader.open(fromText(`HTTP/1.1 200 OK\r\n\r\n${latin1(packed)}`));
    assert.equal(prefixed.repaired, true);
    assert.deepEqual(await contents(prefixed), ['Secret1', 'Secret2']);
    // An object stream claiming far more objects than its header holds.
    const boasting = await PdfReader.open(fromText(latin1(packed).replace('/ObjStm/N 4', '/ObjStm/N 999999999')));
    assert.deepEqual(await contents(boasting), ['Secret1', 'Secret2']);
    // A cross-reference stream that inflates to more than any real one (a bomb) is
    // not expanded: the file is scanned instead.
    const packedText = latin1(packed);
    const dataAt = packedText.lastIndexOf('stream\n', packedText.lastIndexOf('endstream')) + 7;
    const bomb = await deflate(new Uint8Array(STRUCTURE_LIMIT + 4096));
    const head = packedText.slice(0, dataAt).replace(/\/Length \d+>>\nstream\n$/, `/Length ${bomb.length}>>\nstream\n`);
    const bombed = await PdfReader.open(concatBytes([fromText(head), bomb, fromText(packedText.slice(packedText.lastIndexOf('\nendstream')))]));
    assert.equal(bombed.repaired, true);
    assert.deepEqual(await contents(bombed), ['Secret1', 'Secret2']);

    // A table whose offsets are right but for the second page's content: the fault is
    // found when that object is read, not before.
    const whole = latin1(await makePdf(pagedBodies(2)));
    const at = String(whole.indexOf('6 0 obj')).padStart(10, '0');
    const moved = fromText(whole.replace(`${at} 00000 n`, `${String(Number(at) - 3).padStart(10, '0')} 00000 n`));
    const late = await PdfReader.open(moved);
    assert.equal(late.repaired, false);
    assert.deepEqual(await contents(late), ['Secret1', 'Secret2']);
    assert.equal(late.repaired, true, 'saves of it are written whole');

    // An object where the table says it is, but malformed, is not a reason to scan.
    const malformed = fromText(latin1(await makePdf(pagedBodies(2))).replace('6 0 obj\n<</Length', '6 0 obj\n<<)Length'));
    const kept = await PdfReader.open(malformed);
    await assert.rejects(kept.get(6));
    assert.equal(kept.repaired, false);
});

test('saves append in place to the bytes of the newest state, and an older state gets a copy of its own', async () => {
    const original = new Uint8Array([1, 2, 3]);
    const first = appendBytes(original, new Uint8Array([4]));
    const second = appendBytes(first, new Uint8Array([5, 6]));
    assert.equal(second.buffer, first.buffer, 'no copy of the file per save');
    assert.deepEqual([...second], [1, 2, 3, 4, 5, 6]);
    assert.deepEqual([...first], [1, 2, 3, 4], 'the earlier state still sees only its own bytes');
    const branch = appendBytes(first, new Uint8Array([9]));
    assert.notEqual(branch.buffer, second.buffer);
    assert.deepEqual([...branch], [1, 2, 3, 4, 9]);
    assert.deepEqual([...second], [1, 2, 3, 4, 5, 6], 'the later state is not written over');
});

test('form values written by pdf.js join the save under numbers the file does not use yet', async () => {
    const source = await PdfReader.open(await makePdf(pagedBodies(1), { xref: 'stream', packed: [1, 2] }));
    const page = new Dict((await source.pages())[0].dict);
    const widget = new Dict([['Subtype', name('Widget')], ['V', new PdfString('Alice')]]);
    page.set('Annots', [new Ref(source.size, 0)]);
    // What pdf.js hands back: the bytes it was opened on and its own update after them.
    const update = incrementalUpdate(source, new Map([[3, page], [source.size, widget]]));
    const pdf = { saveDocument: async () => new Uint8Array([...source.bytes, ...update]) };
    const objects = await formObjects(pdf, source, 40);
    assert.deepEqual([...objects.keys()].sort((a, b) => a - b), [3, 40], 'its cross-reference stream is left out');
    assert.equal(objects.get(3).get('Annots')[0].num, 40);
    assert.equal(objects.get(40).get('V').bytes, 'Alice');
});

test('a field an earlier save gave a value, that pdf.js now leaves out, is written back as the file had it', async () => {
    const bodies = pagedBodies(1);
    bodies.push('<</Subtype/Widget/FT/Btn/AS/Off>>', '<</Subtype/Widget/FT/Btn/AS/Off>>');
    const source = await PdfReader.open(await makePdf(bodies));
    const [first, second] = [source.size - 2, source.size - 1];
    const on = new Dict([['Subtype', name('Widget')], ['FT', name('Btn')], ['AS', name('1')]]);
    // pdf.js writes against the bytes it was opened on: after the first button was
    // saved on and the second is chosen now, only the second differs from them.
    const pdf = { saveDocument: async () => new Uint8Array([...source.bytes, ...incrementalUpdate(source, new Map([[second, on]]))]) };
    const objects = await formObjects(pdf, source, 40, new Set([first]));
    assert.equal(objects.get(first).get('AS').name, 'Off', 'the button saved on before is off again');
    assert.equal(objects.get(second).get('AS').name, '1');
    assert.deepEqual(sourceObjects(objects, source).sort((a, b) => a - b), [first, second]);

    // Every value back as the file had it: pdf.js writes no object of its own.
    const none = { saveDocument: async () => new Uint8Array([...source.bytes, ...incrementalUpdate(source, new Map())]) };
    const back = await formObjects(none, source, 40, new Set([first, second]));
    assert.deepEqual([...back.keys()].sort((a, b) => a - b), [first, second]);
    assert.equal(back.get(second).get('AS').name, 'Off');
});

test('signatures, certifications, usage rights and PDF/A claims are seen where the file keeps them', async () => {
    const xmp = '<x:xmpmeta><rdf:Description pdfaid:part="1" pdfaid:conformance="B"/></x:xmpmeta>';
    const plain = await PdfReader.open(await makePdf(pagedBodies(1)));
    assert.deepEqual(await protections(plain), { pdfa: false, signed: false, certified: false, usageRights: false });
    const bodies = pagedBodies(1, { extraCatalog: '/Metadata 5 0 R/AcroForm<</Fields[6 0 R]/SigFlags 3>>/Perms<</UR3 7 0 R>>' });
    bodies.push(`<</Type/Metadata/Subtype/XML/Length ${xmp.length}>>\nstream\n${xmp}\nendstream`,
        '<</FT/Sig/T(signature)/V 7 0 R>>', '<</Type/Sig/Filter/Adobe.PPKLite>>');
    const marked = await PdfReader.open(await makePdf(bodies));
    assert.deepEqual(await protections(marked), { pdfa: true, signed: true, certified: false, usageRights: true });
});

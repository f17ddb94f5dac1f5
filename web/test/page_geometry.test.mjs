import { test } from 'node:test';
import assert from 'node:assert/strict';
import { PdfReader } from '../src/pdf/reader.mjs';
import { normalTurn, pageGeometry } from '../src/pdf/page_geometry.mjs';
import { makePdf } from './pdf_maker.mjs';

// A tree of two nodes: the root gives a media box and a turn, the inner node overrides
// the media box; each page then says what of its own it has.
async function geometries(pageExtras, { root = '/MediaBox[0 0 600 800]/Rotate 90', inner = '/MediaBox[0 0 300 400]', extra = [] } = {}) {
    const pageNums = pageExtras.map((_, i) => 4 + i);
    const bodies = [
        '<</Type/Catalog/Pages 2 0 R>>',
        `<</Type/Pages/Kids[3 0 R]/Count ${pageExtras.length}${root}>>`,
        `<</Type/Pages/Parent 2 0 R/Kids[${pageNums.map((n) => `${n} 0 R`).join(' ')}]/Count ${pageExtras.length}${inner}>>`,
        ...pageExtras.map((own) => `<</Type/Page/Parent 3 0 R${own}>>`),
        ...extra,
    ];
    const found = [];
    for (const layout of [{ xref: 'table' }, { xref: 'stream', packed: [1, 2, 3, 4] }]) {
        const reader = await PdfReader.open(await makePdf(bodies, layout));
        found.push(await Promise.all((await reader.pages()).map((page) => pageGeometry(reader, page))));
    }
    return found;  // one list for each layout
}

test('a page takes the nearest box and turn, the crop box within the media box', async () => {
    const n = 4 + 7;  // the first object after the pages
    const found = await geometries([
        '',                                              // all inherited
        '/MediaBox[100 100 0 0]',                        // its own, corners swapped
        '/CropBox[50 50 250 350]',                       // inside the inherited media box
        '/CropBox[200 300 900 900]',                     // partly outside: the overlap
        '/CropBox[500 500 600 600]',                     // outside: the media box
        `/MediaBox ${n} 0 R/Rotate ${n + 1} 0 R`,        // indirect values
        '/UserUnit 2/Rotate -90',                        // a larger unit, turned back
    ], { extra: [`[0 0 ${n + 2} 0 R 500]`, '180', '612'] });
    const expected = [
        { width: 300, height: 400, rotation: 90 },
        { width: 100, height: 100, rotation: 90 },
        { width: 200, height: 300, rotation: 90 },
        { width: 100, height: 100, rotation: 90 },
        { width: 300, height: 400, rotation: 90 },
        { width: 612, height: 500, rotation: 180 },
        { width: 600, height: 800, rotation: 270 },
    ];
    assert.deepEqual(found, [expected, expected]);
});

test('unusable boxes and turns fall back as the viewer does', async () => {
    const found = await geometries([
        '/MediaBox[0 0 0 500]',      // no area: US Letter
        '/MediaBox[0 0 200]',        // three numbers
        '/MediaBox[0 0 (a) 200]',    // not a number
        '/CropBox[10 10 10 10]',     // an empty crop box: the media box
        '/Rotate 45',                // not a quarter turn: none
        '/Rotate 450/UserUnit -1',   // past a full turn; a unit that is not one
    ], { root: '', inner: '' });
    const expected = [
        { width: 612, height: 792, rotation: 0 },
        { width: 612, height: 792, rotation: 0 },
        { width: 612, height: 792, rotation: 0 },
        { width: 612, height: 792, rotation: 0 },
        { width: 612, height: 792, rotation: 0 },
        { width: 612, height: 792, rotation: 90 },
    ];
    assert.deepEqual(found, [expected, expected]);
    assert.deepEqual([null, '90', 90.5, 720, -180].map(normalTurn), [0, 0, 0, 0, 180]);
});

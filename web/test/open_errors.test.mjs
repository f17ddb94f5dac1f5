import assert from 'node:assert/strict';
import { test } from 'node:test';

import { isDynamicXfa, unknownFilters, unreadableReason } from '../src/open_errors.mjs';

const bytes = (text) => Uint8Array.from(text, (c) => c.charCodeAt(0));

test('a file that failed to open is described by what its bytes show', () => {
    assert.equal(unreadableReason(new Uint8Array()), 'fileEmpty');
    assert.equal(unreadableReason(bytes('PK\x03\x04 a zip archive')), 'fileNotPdf');
    assert.equal(unreadableReason(bytes(`${'x'.repeat(1100)}%PDF-1.7`)), 'fileNotPdf');
    assert.equal(unreadableReason(bytes('junk before %PDF-1.4\n1 0 obj <</Filter /FlateDecode>> endobj')), 'fileDamaged');
    assert.equal(unreadableReason(bytes('%PDF-2.0\n1 0 obj <</Length 4 /Filter [/ZstdDecode]>> endobj')), 'fileCompression');
});

test('filters are read as names, alone or in arrays, abbreviations included', () => {
    const text = '%PDF-1.7 <</Filter/FlateDecode>> <</Filter [ /AHx /Zstd/LZW ]>> <</Filter /Foo#20Bar /DecodeParms <<>> >>'
        + ' <</Filter /BrotliDecode>> <</Filter[/A85/Fl]>>';
    assert.deepEqual(unknownFilters(bytes(text)), ['Zstd', 'Foo#20Bar']);
    // Large files are read in pieces without losing a name across a piece's edge.
    const big = new Uint8Array(0x8000 * 3);
    big.set(bytes('<</Filter /Unknown1>>'), 0x8000 - 8);
    assert.deepEqual(unknownFilters(big), ['Unknown1']);
});

test('only an XFA form without fields of its own is taken for one that cannot be shown', async () => {
    const pdf = (info) => ({ getMetadata: async () => ({ info }) });
    assert.equal(await isDynamicXfa(pdf({ IsXFAPresent: true, IsAcroFormPresent: false })), true);
    assert.equal(await isDynamicXfa(pdf({ IsXFAPresent: true, IsAcroFormPresent: true })), false);
    assert.equal(await isDynamicXfa(pdf({ IsXFAPresent: false })), false);
    assert.equal(await isDynamicXfa({ getMetadata: async () => { throw new Error('gone'); } }), false);
});

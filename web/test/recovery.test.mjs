import { test } from 'node:test';
import assert from 'node:assert/strict';
import { IDBFactory } from 'fake-indexeddb';
import { Recovery } from '../src/recovery.mjs';
import { appendBytes } from '../src/pdf/growable.mjs';

const bytesOf = (text) => new Uint8Array([...text].map((c) => c.charCodeAt(0)));
const textOf = (bytes) => String.fromCharCode(...bytes);

// What the storage holds: the number of stored files, and each copy's fields.
async function stored(factory) {
    const db = await new Promise((resolve) => (factory.open('pagewick-recovery').onsuccess = (e) => resolve(e.target.result)));
    const all = (name) => new Promise((resolve) => (db.transaction(name).objectStore(name).getAll().onsuccess = (e) => resolve(e.target.result)));
    const result = { files: (await all('files')).length, copies: await all('copies') };
    db.close();
    return result;
}

function setUp() {
    const factory = new IDBFactory();
    const recovery = new Recovery(factory);
    const doc = { recoveryId: 'doc-1', name: 'a.pdf', path: '/tmp/a.pdf', dirty: true };
    return { factory, recovery, doc };
}

test('a document edited many times stores its file once and each pause only what the edits add', async () => {
    const { factory, recovery, doc } = setUp();
    const file = bytesOf('%PDF original');
    for (let i = 1; i <= 5; ++i) await recovery.keep(doc, { file, update: bytesOf(` update ${i}`), removed: new Set(i === 5 ? [7] : []) });
    const { files, copies } = await stored(factory);
    assert.equal(files, 1);
    assert.equal(copies.length, 1);
    assert.equal(textOf(copies[0].update), ' update 5');
    const [left] = await recovery.leftOver();
    assert.equal(textOf(left.bytes), '%PDF original update 5');
    assert.deepEqual(left.removed, [7]);
    assert.equal(left.path, '/tmp/a.pdf');
});

test('after a save that appended in place, the stored file is reused with what was appended since', async () => {
    const { factory, recovery, doc } = setUp();
    const file = appendBytes(new Uint8Array(0), bytesOf('%PDF original'));  // with room after it
    await recovery.keep(doc, { file, update: bytesOf(' one'), removed: new Set() });
    const saved = appendBytes(file, bytesOf(' one'));
    assert.ok(saved.buffer === file.buffer, 'the save grew the same buffer');
    // The save left the document clean: its copy goes, the file it was made from stays.
    doc.dirty = false;
    await recovery.keep(doc, null);
    assert.deepEqual(await stored(factory).then((s) => [s.files, s.copies.length]), [1, 0]);
    doc.dirty = true;
    await recovery.keep(doc, { file: saved, update: bytesOf(' two'), removed: new Set() });
    assert.equal((await stored(factory)).files, 1);
    const [left] = await recovery.leftOver();
    assert.equal(textOf(left.bytes), '%PDF original one two');

    // A file written anew replaces the stored one; closing lets both the copy and it go.
    await recovery.keep(doc, { file: bytesOf('%PDF pruned'), update: new Uint8Array(0), removed: new Set() });
    assert.equal((await stored(factory)).files, 1);
    assert.equal(textOf((await recovery.leftOver())[0].bytes), '%PDF pruned');
    await recovery.forget(doc, { closing: true });
    assert.deepEqual(await stored(factory).then((s) => [s.files, s.copies.length]), [0, 0]);
});

test('whole copies are kept as they are, and files no copy needs are let go at the next start', async () => {
    const { factory, recovery, doc } = setUp();
    await recovery.keep(doc, { file: bytesOf('%PDF a'), update: bytesOf(' b'), removed: new Set() });
    await recovery.forget(doc);  // saved, still open: the file stays for its next edit
    assert.equal((await stored(factory)).files, 1);
    const other = { recoveryId: 'doc-2', name: 'b.pdf', path: '', dirty: true };
    await recovery.keep(other, { bytes: bytesOf('%PDF whole') });
    // The page went away; the next run finds the whole copy and drops the lone file.
    const next = new Recovery(factory);
    const left = await next.leftOver();
    assert.deepEqual(left.map((c) => [c.name, textOf(c.bytes), c.removed]), [['b.pdf', '%PDF whole', []]]);
    assert.equal((await stored(factory)).files, 0);
});

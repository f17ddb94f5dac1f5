import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { runInNewContext } from 'node:vm';

// The page's start as the shell sees it: early_open.js runs first, native.mjs takes over.
async function startPage() {
    const window = {};
    runInNewContext(readFileSync(new URL('../src/early_open.js', import.meta.url), 'utf8'), { window });
    globalThis.window = window;
    const native = await import(`../src/native.mjs?${Math.random()}`);
    return { window, native };
}

test('files and messages that come before the page is ready reach it in order', async () => {
    const { window, native } = await startPage();
    assert.equal(typeof window.__nativeOpen, 'function', 'the readiness probe answers true at once');
    window.__nativeOpen('a.pdf', 'QQ==', '/a.pdf');
    window.__nativeMsg('“b.pdf” not found');
    const seen = [];
    native.receiveMessages((text) => seen.push(`message ${text}`));
    window.__nativeOpen('c.pdf', 'Qw==', '/c.pdf');
    native.receiveFiles((name, b64, path) => seen.push(`file ${name} ${b64} ${path}`));
    window.__nativeMsg('later');
    window.__nativeOpen('d.pdf', 'RA==', '/d.pdf');
    assert.deepEqual(seen, [
        'file a.pdf QQ== /a.pdf',
        'message “b.pdf” not found',
        'file c.pdf Qw== /c.pdf',
        'message later',
        'file d.pdf RA== /d.pdf',
    ]);
});

test('without the early script the page takes files directly', async () => {
    globalThis.window = {};
    const native = await import(`../src/native.mjs?${Math.random()}`);
    const seen = [];
    native.receiveMessages((text) => seen.push(text));
    native.receiveFiles((name) => seen.push(name));
    window.__nativeMsg('m');
    window.__nativeOpen('f.pdf', '', '/f.pdf');
    assert.deepEqual(seen, ['m', 'f.pdf']);
});

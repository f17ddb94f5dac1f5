import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { runInNewContext } from 'node:vm';

const script = readFileSync(new URL('../src/early_worker.js', import.meta.url), 'utf8');
const page = 'pagewick://app/index.html';

test('the early worker is the module pdf_engine.mjs would start, and a refused one is no error', () => {
    const started = [];
    class Worker {
        constructor(url, options) {
            started.push({ url: new URL(url, page).href, options });
        }
    }
    const window = {};
    runInNewContext(script, { window, Worker });
    assert.equal(started.length, 1);
    // pdf_engine.mjs (in src/) resolves '../vendor/pdfjs/' for its own worker.
    assert.equal(started[0].url, new URL('pdf.worker.min.mjs', new URL('../vendor/pdfjs/', `${page.replace('index.html', 'src/')}pdf_engine.mjs`)).href);
    assert.equal(started[0].options.type, 'module');
    assert.ok(window.__pdfWorker instanceof Worker);

    const refusing = {};
    class RefusedWorker {
        constructor() {
            throw new Error('blocked by the security policy');
        }
    }
    assert.doesNotThrow(() => runInNewContext(script, { window: refusing, Worker: RefusedWorker }));
    assert.equal(refusing.__pdfWorker, undefined);
});

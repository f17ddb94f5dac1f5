import { test } from 'node:test';
import assert from 'node:assert/strict';
import { invisibleText, winAnsi } from '../src/pdf/text_layer.mjs';

const codes = (text) => [...winAnsi(text)].map((c) => c.charCodeAt(0));

test('French and English text is written in WinAnsi, and what it lacks is taken apart or marked', () => {
    assert.deepEqual(codes('œ’«»€é'), [0x9c, 0x92, 0xab, 0xbb, 0x80, 0xe9]);
    assert.deepEqual(codes('Ça'), [0xc7, 0x61]);
    assert.deepEqual(codes('e\u0301'), [0xe9], 'a decomposed accent is composed first');
    assert.equal(winAnsi('ﬁn'), 'fin');
    assert.equal(winAnsi('中'), '?');
});

// The text matrices of the content, in order.
const matrices = (content) => [...content.matchAll(/((?:-?[\d.]+ ){6})Tm/g)].map((m) => m[1].trim().split(' ').map(Number));
const apply = ([a, b, c, d, e, f], [x, y]) => [a * x + c * y + e, b * x + d * y + f];

for (const [label, transform] of [
    ['upright at twice the size', [2, 0, 0, -2, 0, 400]],
    ['turned a quarter', [0, 2, 2, 0, 0, 0]],
]) {
    test(`each word spans its box on the page, ${label}, on its line's baseline`, () => {
        const lines = [{ words: [{ t: 'Invoice', x0: 20, y0: 10, x1: 90, y1: 30 }, { t: 'due', x0: 100, y0: 14, x1: 130, y1: 34 }] }];
        const content = invisibleText(lines, transform);
        assert.match(content, /^BT 3 Tr \/\w+ 1 Tf\n/);
        assert.match(content, /\(Invoice\) Tj[\s\S]*\(due\) Tj/);
        const [first, second] = matrices(content);
        // Back in image pixels: the word's start at the line's bottom, its end after
        // all its advances (half a font size each), and one font size up to the line's top.
        const toImage = (m, x, y) => apply(transform, apply(m, [x, y])).map((v) => Math.round(v * 1000) / 1000);
        assert.deepEqual(toImage(first, 0, 0), [20, 34]);
        assert.deepEqual(toImage(first, 3.5, 0), [90, 34]);
        assert.deepEqual(toImage(first, 0, 1), [20, 10]);
        assert.deepEqual(toImage(second, 0, 0), [100, 34]);
        assert.deepEqual(toImage(second, 1.5, 0), [130, 34]);
    });
}

test('a string with parentheses and backslashes stays one string', () => {
    const content = invisibleText([{ words: [{ t: 'a(b)\\c', x0: 0, y0: 0, x1: 10, y1: 10 }] }], [1, 0, 0, -1, 0, 10]);
    assert.match(content, /\(a\\\(b\\\)\\\\c\) Tj/);
});

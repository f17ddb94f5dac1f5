import { test } from 'node:test';
import assert from 'node:assert/strict';
import { parsePageNumber, parsePageRange, roundFrom, wholeRange } from '../src/page_range.mjs';

test('ranges keep the order typed, drop repeats and run open ends to the edges', () => {
    assert.deepEqual(parsePageRange('', 3), [1, 2, 3]);
    assert.deepEqual(parsePageRange('3, 1-2; 2', 5), [3, 1, 2]);
    assert.deepEqual(parsePageRange('4-', 5), [4, 5]);
    assert.deepEqual(parsePageRange('-2', 5), [1, 2]);
    assert.deepEqual(parsePageRange('2 – 3', 5), [2, 3]);
});

test('text that is not a range of this document is refused', () => {
    for (const text of ['0', '6', '3-2', '-', 'a', '1-2-3', '1.5']) {
        assert.equal(parsePageRange(text, 5), null, text);
    }
});

test('the whole document is proposed as one range', () => {
    assert.equal(wholeRange(1), '1');
    assert.equal(wholeRange(7), '1-7');
});

test('every page is visited from the current one round to the one before it', () => {
    assert.deepEqual(roundFrom([1, 2, 3, 4], 2), [3, 4, 1, 2]);
    assert.deepEqual(roundFrom([1, 2], 0), [1, 2]);
});

test('the page box takes a page number of the document and nothing else', () => {
    assert.equal(parsePageNumber('7', 40), 7);
    assert.equal(parsePageNumber(' 040 ', 40), 40);
    for (const text of ['abc', '', '0', '41', '3a', '1.5', '-2', '1e1', '  ']) assert.equal(parsePageNumber(text, 40), null, text);
});

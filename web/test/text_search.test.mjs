import assert from 'node:assert/strict';
import { test } from 'node:test';

import { findInPieces, queryPattern, stepMatch } from '../src/text_search.mjs';

const pieces = (...strs) => strs.map((s) => (typeof s === 'string' ? { str: s, eol: false } : s));

test('every match on a page is found, in order, as piece and offset', () => {
    const page = pieces('Charlie met ', 'charlie', { str: ' and CHARLIE', eol: true }, 'again');
    const found = findInPieces(page, queryPattern('charlie'));
    assert.deepEqual(found.map((m) => [m.from.piece, m.from.offset, m.to.piece, m.to.offset]),
        [[0, 0, 0, 7], [1, 0, 1, 7], [2, 5, 2, 12]]);
});

test('a phrase is found across pieces and line ends, and spaces in the query are loose', () => {
    const page = pieces('the quick br', { str: 'own', eol: true }, { str: 'fox', eol: false });
    const [match] = findInPieces(page, queryPattern('  Quick   BROWN fox '));
    assert.deepEqual([match.from, match.to], [{ piece: 0, offset: 4 }, { piece: 2, offset: 3 }]);
    assert.equal(findInPieces(page, queryPattern('brownfox')).length, 0);
});

test('characters that mean something in patterns are found as themselves', () => {
    const page = pieces('cost (net): 3.5 * 2 [approx] $10 ^ a|b');
    for (const q of ['(net)', '3.5 *', '[approx]', '$10', '^', 'a|b']) assert.equal(findInPieces(page, queryPattern(q)).length, 1, q);
    assert.equal(findInPieces(page, queryPattern('3x5')).length, 0);
    assert.equal(queryPattern('   '), null);
    assert.deepEqual(findInPieces([], queryPattern('a')), []);
});

test('folding keeps offsets when lower case would change the length', () => {
    // "İ" lowers to two characters: it is left as it is, so later offsets stay right.
    const [match] = findInPieces(pieces('İstanbul ABC'), queryPattern('abc'));
    assert.deepEqual([match.from.offset, match.to.offset], [9, 12]);
});

test('stepping visits every match of every page in order, both ways, and wraps', () => {
    const counts = [0, 2, 0, 1, 3];
    const visit = (direction, fromPage) => {
        const seen = [];
        let at = null;
        for (let i = 0; i < 7; ++i) {
            at = stepMatch(counts, at, direction, fromPage);
            seen.push(`${at.page}.${at.index}:${at.ordinal}/${at.total}`);
        }
        return seen;
    };
    assert.deepEqual(visit(1, 2), ['3.0:3/6', '4.0:4/6', '4.1:5/6', '4.2:6/6', '1.0:1/6', '1.1:2/6', '3.0:3/6']);
    assert.deepEqual(visit(-1, 3), ['1.1:2/6', '1.0:1/6', '4.2:6/6', '4.1:5/6', '4.0:4/6', '3.0:3/6', '1.1:2/6']);
    assert.equal(stepMatch([0, 0], null, 1, 0), null);
});

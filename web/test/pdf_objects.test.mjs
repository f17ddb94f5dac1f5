import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Name, ParseError, Parser, Ref, latin1, latin1Bytes, serialize } from '../src/pdf/objects.mjs';

const parse = (text) => new Parser(latin1Bytes(text)).object();

test('numbers and references are told apart by what follows them', () => {
    assert.deepEqual(parse('[12 0 R 7 3 5 0 R 007 -4 +2.5 .5 12. 3.25]'),
        [new Ref(12, 0), 7, 3, new Ref(5, 0), 7, -4, 2.5, 0.5, 12, 3.25]);
    // A gen without the R, or an R that begins a longer word, leaves the numbers alone.
    assert.throws(() => parse('[4 0 Rx]'), ParseError);
    assert.deepEqual(parse('[4 0]'), [4, 0]);
    assert.deepEqual(parse('<</N 4 0 R/M 9>>').get('N'), new Ref(4, 0));
    // Past fifteen digits the number is read as text is; digits run into letters are no number.
    assert.equal(parse('12345678901234567890'), 12345678901234567890);
    assert.throws(() => parse('123abc'), ParseError);
    assert.equal(parse('true'), true);
    assert.equal(parse('null'), null);
});

test('names keep their letters and decode #-escapes, and write back as they read', () => {
    const dict = parse('<</Type/Page/A#20B/#2Fslash/Sh#c3#a9 1>>');
    assert.deepEqual([...dict.keys()], ['Type', 'A B', 'Sh\u00c3\u00a9']);
    assert.deepEqual([...dict.values()], [new Name('Page'), new Name('/slash'), 1]);
    assert.equal(serialize(new Name('A B/(x)#')), '/A#20B#2f#28x#29#23');
    // More names than are kept for reuse: each still reads as itself.
    const many = parse(`<<${Array.from({ length: 5000 }, (_, i) => `/K${i}/V${i}`).join('')}>>`);
    assert.equal(many.size, 5000);
    assert.ok([...many].every(([key, value], i) => key === `K${i}` && value.name === `V${i}`));
});

test('bytes become the same text however long the run', () => {
    const bytes = Uint8Array.from({ length: 70000 }, (_, i) => (i * 7) % 256);
    for (const [start, end] of [[0, 0], [5, 9], [100, 116], [100, 117], [0, 70000]]) {
        const expected = Array.from(bytes.subarray(start, end), (b) => String.fromCharCode(b)).join('');
        assert.equal(latin1(bytes, start, end), expected);
    }
});

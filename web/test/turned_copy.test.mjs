import { test } from 'node:test';
import assert from 'node:assert/strict';
import { turnInPlace } from '../src/turned_copy.mjs';

const canvas = () => ({ style: {} });
const box = ({ style }) => [style.left, style.top, style.width, style.height, style.transform];

test('a drawing turned in place fills its new frame, however often it is turned before it is redrawn', () => {
    // A 600 × 800 page turned right: its frame is now 800 × 600.
    const drawn = canvas();
    assert.equal(turnInPlace(drawn, 90, 800, 600), drawn);
    assert.deepEqual(box(drawn), ['100px', '-100px', '600px', '800px', 'rotate(90deg)']);
    // Turned right again before pdf.js answered: upside down, in a frame as first.
    turnInPlace(drawn, 90, 600, 800);
    assert.deepEqual(box(drawn), ['0px', '0px', '600px', '800px', 'rotate(180deg)']);
    // Left from upright is three quarters right.
    const left = canvas();
    turnInPlace(left, -90, 800, 600);
    assert.equal(left.style.transform, 'rotate(270deg)');
});

test('a drawing back upright, or only rescaled, is laid out as any drawn page', () => {
    const drawn = canvas();
    turnInPlace(drawn, 90, 800, 600);
    turnInPlace(drawn, -90, 600, 800);
    assert.deepEqual(box(drawn), ['', '', '', '', '']);
    assert.equal(drawn.style.position, '');
    // The scale changed, the page did not turn: the turn shown so far is kept.
    const turned = canvas();
    turnInPlace(turned, 270, 400, 300);
    turnInPlace(turned, 0, 800, 600);
    assert.deepEqual(box(turned), ['100px', '-100px', '600px', '800px', 'rotate(270deg)']);
});

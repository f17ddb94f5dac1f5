import assert from 'node:assert/strict';
import { test } from 'node:test';

import { groupsToFold } from '../src/toolbar_overflow.mjs';

test('groups fold from the end only as far as needed, counting the button that opens them', () => {
    const widths = [100, 200, 150, 120];  // 570 in all
    assert.equal(groupsToFold(widths, 570, 40), 0);
    assert.equal(groupsToFold(widths, 569, 40), 1);   // 450 + 40 fits
    assert.equal(groupsToFold(widths, 489, 40), 2);   // 450 + 40 does not, 300 + 40 does
    assert.equal(groupsToFold(widths, 100, 40), 3);   // the first group stays, even alone
    assert.equal(groupsToFold(widths, 10, 40, 2), 2);
    assert.equal(groupsToFold([], 0, 40), 0);
});

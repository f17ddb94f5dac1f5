import assert from 'node:assert/strict';
import { test } from 'node:test';

import { destinationPoint, outsideAddress, resolveDestination } from '../src/links.mjs';

test('only addresses for the desktop leave the page; those that would replace it do not', () => {
    assert.equal(outsideAddress('https://example.org/a b'), 'https://example.org/a%20b');
    assert.equal(outsideAddress('HTTP://Example.org'), 'http://example.org/');
    assert.equal(outsideAddress('mailto:someone@example.org'), 'mailto:someone@example.org');
    for (const url of ['javascript:alert(1)', 'data:text/html,x', 'pagewick://app/index.html', 'file:///etc/passwd',
        'blob:pagewick://app/1', 'about:blank', 'not a url', '', null, 42])
        assert.equal(outsideAddress(url), null, String(url));
});

test('a destination names the coordinates its kind fixes and leaves the others', () => {
    const page = { num: 4, gen: 0 };
    assert.deepEqual(destinationPoint([page, { name: 'XYZ' }, 72, 700, 0]), { left: 72, top: 700 });
    assert.deepEqual(destinationPoint([page, { name: 'XYZ' }, null, 500, null]), { left: null, top: 500 });
    assert.deepEqual(destinationPoint([page, { name: 'FitH' }, 300]), { left: null, top: 300 });
    assert.deepEqual(destinationPoint([page, { name: 'FitR' }, 10, 20, 30, 40]), { left: 10, top: 40 });
    assert.deepEqual(destinationPoint([page, { name: 'Fit' }]), { left: null, top: null });
    assert.deepEqual(destinationPoint([page, { name: 'XYZ' }, NaN, 'x']), { left: null, top: null });
});

test('destinations resolve by name, by reference or by index, and nowhere when out of the document', async () => {
    const ref = { num: 9, gen: 0 };
    const pdf = {
        numPages: 3,
        getDestination: async (name) => (name === 'chapter' ? [ref, { name: 'Fit' }] : null),
        getPageIndex: async (r) => (r === ref ? 2 : 7),
    };
    assert.deepEqual(await resolveDestination(pdf, 'chapter'), { pageIndex: 2, left: null, top: null });
    assert.deepEqual(await resolveDestination(pdf, [1, { name: 'XYZ' }, 0, 10, 0]), { pageIndex: 1, left: 0, top: 10 });
    assert.equal(await resolveDestination(pdf, 'missing'), null);
    assert.equal(await resolveDestination(pdf, [{ num: 1, gen: 0 }, { name: 'Fit' }]), null);
    assert.equal(await resolveDestination(pdf, [5, { name: 'Fit' }]), null);
    assert.equal(await resolveDestination(pdf, []), null);
});

import assert from 'node:assert/strict';
import { test } from 'node:test';

import { Places, validPlace, withPlace } from '../src/places.mjs';

class MemoryStorage {
    constructor(text) { this.items = new Map(text === undefined ? [] : [['pagewick.places', text]]); }
    getItem(key) { return this.items.get(key) ?? null; }
    setItem(key, value) { this.items.set(key, String(value)); }
}

test('a document reopened finds its page and zoom again, by path', () => {
    const places = new Places(new MemoryStorage());
    places.remember('/home/a/report.pdf', { page: 12, zoom: { mode: 'scale', value: 1.5 } });
    places.remember('/home/a/other.pdf', { page: 2, zoom: { mode: 'width' } });
    places.remember('/home/a/report.pdf', { page: 14, zoom: { mode: 'scale', value: 1.5 } });
    assert.deepEqual(places.recall('/home/a/report.pdf'), { page: 14, zoom: { mode: 'scale', value: 1.5 } });
    assert.deepEqual(places.recall('/home/a/other.pdf'), { page: 2, zoom: { mode: 'width' } });
    assert.equal(places.recall('/home/a/never.pdf'), null);
    assert.equal(places.recall(''), null);
});

test('the oldest places go first once there are too many', () => {
    let places = {};
    for (let i = 0; i < 5; ++i) places = withPlace(places, `/d/${i}.pdf`, { page: 1, zoom: null }, 100 + i, 3);
    assert.deepEqual(Object.keys(places).sort(), ['/d/2.pdf', '/d/3.pdf', '/d/4.pdf']);
    places = withPlace(places, '/d/2.pdf', { page: 9, zoom: null }, 200, 3);
    places = withPlace(places, '/d/5.pdf', { page: 1, zoom: null }, 201, 3);
    assert.deepEqual(Object.keys(places).sort(), ['/d/2.pdf', '/d/4.pdf', '/d/5.pdf']);
});

test('what storage holds is checked before use: damage is forgotten, not followed', () => {
    for (const text of ['not json', '[1,2]', 'null', '{"/a.pdf": 5}', '{"/a.pdf": {"page": "3"}}', '{"/a.pdf": {"page": 0}}'])
        assert.equal(new Places(new MemoryStorage(text)).recall('/a.pdf'), null, text);
    assert.deepEqual(validPlace({ page: 3, zoom: { mode: 'scale', value: 1e9 } }), { page: 3, zoom: null });
    assert.deepEqual(validPlace({ page: 3, zoom: { mode: 'evil' } }), { page: 3, zoom: null });
    const refusing = { getItem: () => null, setItem: () => { throw new Error('QuotaExceededError'); } };
    assert.doesNotThrow(() => new Places(refusing).remember('/a.pdf', { page: 1, zoom: null }));
});

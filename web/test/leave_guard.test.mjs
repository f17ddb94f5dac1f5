import { test } from 'node:test';
import assert from 'node:assert/strict';
import { guardUnsavedWork } from '../src/leave_guard.mjs';

function leave(target) {
    const event = new Event('beforeunload', { cancelable: true });
    // As on the page's BeforeUnloadEvent, where it is writable.
    Object.defineProperty(event, 'returnValue', { value: undefined, writable: true });
    target.dispatchEvent(event);
    return event;
}

test('leaving asks exactly while some work is unsaved', () => {
    const target = new EventTarget();
    const docs = [{ dirty: false }, { dirty: false }];
    guardUnsavedWork(target, () => docs.some((d) => d.dirty));

    assert.equal(leave(target).defaultPrevented, false);
    docs[1].dirty = true;
    const asked = leave(target);
    assert.equal(asked.defaultPrevented, true);
    assert.equal(typeof asked.returnValue, 'string');
    docs[1].dirty = false;
    assert.equal(leave(target).defaultPrevented, false);
});

// Short notices in the corner of the window: every reply of the shell and every
// failure reaches the user here. Each can be dismissed; most go away on their own
// after a few seconds. Errors stay until dismissed, one at a time (a new one takes the
// place of the last), and progress stays until the work is done.

import { t } from './i18n.mjs';

const DURATION = { info: 4000, ok: 4000, warn: 7000, error: 0, progress: 0, question: 0 };
const SHOWN_AT_ONCE = 4;

export class Toasts {
    constructor(container) {
        this.container = container;
    }

    // actions: [{label, run}] buttons that answer the notice (and dismiss it).
    show(text, kind = 'info', { key = kind === 'error' ? 'error' : undefined, actions = [] } = {}) {
        // A keyed notice replaces the previous one with the same key (progress).
        let item = key ? this.#keyed(key) : null;
        if (!item) {
            item = document.createElement('div');
            item.setAttribute('role', kind === 'error' ? 'alert' : 'status');
            if (key) item.dataset.key = key;
            const label = document.createElement('span');
            label.className = 'toast-text';
            const close = document.createElement('button');
            close.className = 'toast-close';
            close.type = 'button';
            close.textContent = '×';
            close.title = t('dismiss');
            close.setAttribute('aria-label', close.title);
            close.addEventListener('click', () => this.dismiss(item));
            item.append(label, close);
            this.container.append(item);
            while (this.container.children.length > SHOWN_AT_ONCE) this.container.firstElementChild.remove();
        }
        item.className = `toast toast-${kind}`;
        item.querySelector('.toast-text').textContent = text;
        item.querySelectorAll('.toast-action').forEach((b) => b.remove());
        for (const { label, run } of actions) {
            const button = document.createElement('button');
            button.type = 'button';
            button.className = 'toast-action';
            button.textContent = label;
            button.addEventListener('click', () => {
                this.dismiss(item);
                run();
            });
            item.querySelector('.toast-close').before(button);
        }
        clearTimeout(item.timer);
        const duration = DURATION[kind] ?? 3500;
        if (duration) item.timer = setTimeout(() => this.dismiss(item), duration);
        return item;
    }

    #keyed(key) {
        return this.container.querySelector(`[data-key="${CSS.escape(key)}"]`);
    }

    dismiss(itemOrKey) {
        const item = typeof itemOrKey === 'string' ? this.#keyed(itemOrKey) : itemOrKey;
        if (!item) return;
        clearTimeout(item.timer);
        // Leaving, it no longer answers to its key: a notice shown under the same key
        // meanwhile is a new one.
        delete item.dataset.key;
        item.classList.add('leaving');
        setTimeout(() => item.remove(), 200);
    }
}

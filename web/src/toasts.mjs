// Short notices in the corner of the window: every reply of the shell and every
// failure reaches the user here. Errors stay until dismissed or replaced.

const DURATION = { info: 3500, ok: 3500, warn: 7000, error: 0 };

export class Toasts {
    constructor(container) {
        this.container = container;
    }

    show(text, kind = 'info', { key } = {}) {
        // A keyed notice replaces the previous one with the same key (progress), unless
        // that one is already leaving: it would take the new text away with it.
        let item = key ? this.container.querySelector(`[data-key="${CSS.escape(key)}"]:not(.leaving)`) : null;
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
            close.addEventListener('click', () => this.dismiss(item));
            item.append(label, close);
            this.container.append(item);
            while (this.container.children.length > 4) this.container.firstElementChild.remove();
        }
        item.className = `toast toast-${kind}`;
        item.querySelector('.toast-text').textContent = text;
        clearTimeout(item.timer);
        const duration = DURATION[kind] ?? 3500;
        if (duration) item.timer = setTimeout(() => this.dismiss(item), duration);
        return item;
    }

    dismiss(itemOrKey) {
        const item = typeof itemOrKey === 'string'
            ? this.container.querySelector(`[data-key="${CSS.escape(itemOrKey)}"]`)
            : itemOrKey;
        if (!item) return;
        clearTimeout(item.timer);
        item.classList.add('leaving');
        setTimeout(() => item.remove(), 200);
    }
}

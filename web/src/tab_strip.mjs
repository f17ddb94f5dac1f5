// The strip of open documents: one tab each, with its page count, a mark for unsaved
// changes and a close button (a middle click closes too). Ctrl+Tab and Ctrl+Shift+Tab
// go from one to the next.

import { t } from './i18n.mjs';
import { icon } from './icons.mjs';

export function renderTabs(strip, docs, active, { activate, close }) {
    strip.replaceChildren(...docs.map((doc) => {
        const tab = document.createElement('div');
        tab.className = 'tab';
        tab.setAttribute('role', 'tab');
        tab.setAttribute('aria-selected', String(doc === active));
        tab.title = doc.path || doc.name;
        tab.classList.toggle('active', doc === active);
        tab.classList.toggle('dirty', doc.dirty);
        const label = document.createElement('span');
        label.className = 'tab-name';
        label.textContent = doc.name;
        const pages = document.createElement('span');
        pages.className = 'tab-pages';
        pages.textContent = doc.pageCount === 1 ? t('onePage') : t('pages', { count: doc.pageCount });
        const closer = document.createElement('button');
        closer.className = 'tab-close';
        closer.type = 'button';
        closer.title = t('closeTab');
        closer.setAttribute('aria-label', `${t('closeTab')} ${doc.name}`);
        closer.append(icon('close'));
        closer.addEventListener('click', (event) => {
            event.stopPropagation();
            close(doc);
        });
        tab.append(icon('file'), label, pages, closer);
        tab.addEventListener('click', () => activate(doc));
        tab.addEventListener('auxclick', (event) => event.button === 1 && close(doc));
        return tab;
    }));
    strip.hidden = docs.length === 0;
    // However many tabs there are, the active one is in sight.
    strip.querySelector('.tab.active')?.scrollIntoView({ block: 'nearest', inline: 'nearest' });
}

// A strip wider than the window scrolls sideways, with the wheel too.
export function wireTabScrolling(strip) {
    strip.addEventListener('wheel', (event) => {
        if (!event.deltaY || event.deltaX || strip.scrollWidth <= strip.clientWidth) return;
        event.preventDefault();
        strip.scrollBy({ left: event.deltaY, behavior: 'instant' });
    }, { passive: false });
}

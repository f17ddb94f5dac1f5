// Line icons on a 24-unit grid, drawn with the button's text colour.

const paths = {
    open: 'M3 7.5A1.5 1.5 0 0 1 4.5 6H9l2 2h8.5A1.5 1.5 0 0 1 21 9.5v8a1.5 1.5 0 0 1-1.5 1.5h-15A1.5 1.5 0 0 1 3 17.5z',
    clock: 'M12 21a9 9 0 1 0 0-18 9 9 0 0 0 0 18zM12 7v5l3 2',
    save: 'M5 4h11l3 3v12a1 1 0 0 1-1 1H6a1 1 0 0 1-1-1V5a1 1 0 0 1 1-1zM8 4v5h7V4M8 20v-6h8v6',
    saveAs: 'M5 4h11l3 3v5M8 4v5h7V4M8 20H6a1 1 0 0 1-1-1V5M8 20v-6h5M14.5 20.5l.5-2.5 5-5 2 2-5 5z',
    images: 'M4 5h16v14H4zM4 16l4.5-4.5 3.5 3.5 2.5-2.5L20 17.5M15.5 9.5h.01',
    share: 'M12 3v12M7.5 7.5 12 3l4.5 4.5M5 12v7a1 1 0 0 0 1 1h12a1 1 0 0 0 1-1v-7',
    print: 'M7 9V4h10v5M7 17H5a1 1 0 0 1-1-1v-5a2 2 0 0 1 2-2h12a2 2 0 0 1 2 2v5a1 1 0 0 1-1 1h-2M7 14h10v6H7z',
    up: 'M6 15l6-6 6 6',
    down: 'M6 9l6 6 6-6',
    minus: 'M5 12h14',
    plus: 'M12 5v14M5 12h14',
    rotateLeft: 'M4 4v5h5M4.6 9A8 8 0 1 1 4 12.5',
    rotateRight: 'M20 4v5h-5M19.4 9A8 8 0 1 0 20 12.5',
    moveUp: 'M12 19V5M6 11l6-6 6 6',
    moveDown: 'M12 5v14M6 13l6 6 6-6',
    insert: 'M14 3H7a1 1 0 0 0-1 1v16a1 1 0 0 0 1 1h10a1 1 0 0 0 1-1V7zM14 3v4h4M12 10v7M8.5 13.5h7',
    trash: 'M4 7h16M9 7V4h6v3M6 7l1 13h10l1-13M10 11v6M14 11v6',
    undo: 'M9 14 4 9l5-5M4 9h10.5a5.5 5.5 0 0 1 0 11H11',
    redo: 'M15 14l5-5-5-5M20 9H9.5a5.5 5.5 0 0 0 0 11H13',
    search: 'M10.5 17a6.5 6.5 0 1 0 0-13 6.5 6.5 0 0 0 0 13zM15.5 15.5 20 20',
    scan: 'M4 8V5a1 1 0 0 1 1-1h3M16 4h3a1 1 0 0 1 1 1v3M20 16v3a1 1 0 0 1-1 1h-3M8 20H5a1 1 0 0 1-1-1v-3M8.5 8.5h7M12 8.5v7',
    close: 'M6 6l12 12M18 6 6 18',
    more: 'M5 12h.01M12 12h.01M19 12h.01',
    chevron: 'M9 6l6 6-6 6',
    file: 'M14 3H7a1 1 0 0 0-1 1v16a1 1 0 0 0 1 1h10a1 1 0 0 0 1-1V7zM14 3v4h4M9 13h6M9 17h4',
};

export function icon(name) {
    const svg = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
    svg.setAttribute('viewBox', '0 0 24 24');
    svg.setAttribute('aria-hidden', 'true');
    svg.classList.add('icon');
    const path = document.createElementNS('http://www.w3.org/2000/svg', 'path');
    path.setAttribute('d', paths[name] ?? '');
    svg.append(path);
    return svg;
}

// Puts its icon in front of every element that names one in data-icon.
export function placeIcons(root = document) {
    for (const el of root.querySelectorAll('[data-icon]')) el.prepend(icon(el.dataset.icon));
}

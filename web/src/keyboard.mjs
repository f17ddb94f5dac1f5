// The page's keyboard shortcuts. The menu bar takes Ctrl with O, W, Q, H, M, Z, X, C,
// V and A (and Ctrl+Shift+Z, F11) before the page sees them, so the page uses others:
// Ctrl+S save, Ctrl+Shift+S save as, Ctrl+P print, Ctrl+E export, Ctrl+I insert,
// Ctrl+F find, F3 next match, Ctrl+G go to page, Ctrl+Shift+O recent documents,
// Ctrl+Shift+E share, Ctrl+Shift+R recognise, + and - zoom, R rotate, Delete,
// Alt+arrows move a page.
// Undo and redo are the menu's own Ctrl+Z and Ctrl+Shift+Z (see undo_bridge.mjs).

import { native } from './native.mjs';

export function wireKeyboard(app) {
    document.addEventListener('keydown', (event) => {
        if (event.defaultPrevented) return;
        if (event.key === 'Escape') {
            app.closeMenu();
            app.finder.close();
            return;
        }
        const doc = app.active;
        const command = event.ctrlKey || event.metaKey;
        const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
        const act = (action) => {
            event.preventDefault();
            action();
        };
        if (key === 'F3' && doc && !command && !event.altKey)
            return act(() => (app.finder.isOpen ? app.finder.step(event.shiftKey ? -1 : 1) : app.finder.open()));
        if (command && !event.altKey) {
            if (key === 's' && doc) return act(() => (event.shiftKey ? app.saveAs() : app.save()));
            // The menu's Ctrl+O opens; with Shift it is the recent documents.
            if (key === 'o' && event.shiftKey && native.available) return act(() => app.toggleMenu());
            if (key === 'e' && event.shiftKey && doc && native.available) return act(() => app.share());
            if (key === 'r' && event.shiftKey && doc && native.ocr) return act(() => app.recognise());
            if (key === 'g' && doc) return act(() => document.getElementById('page-number').focus());
            if (key === 'p' && doc && native.print) return act(() => app.print());
            if (key === 'e' && doc) return act(() => app.exportImages());
            if (key === 'i' && doc) return act(() => app.chooseInsertion());
            if (key === 'f' && doc) return act(() => app.finder.open());
            if ((key === '=' || key === '+') && doc) return act(() => app.viewer.zoomIn());
            if (key === '-' && doc) return act(() => app.viewer.zoomOut());
            if (key === '0' && doc) return act(() => app.viewer.setZoom({ mode: 'auto' }));
            if (key === 'PageDown' && app.docs.length > 1) return act(() => app.cycleTab(1));
            if (key === 'PageUp' && app.docs.length > 1) return act(() => app.cycleTab(-1));
            // With Shift the engine may name the key "Unidentified" (the desktop's
            // ISO_Left_Tab); its place on the keyboard is still Tab's.
            if ((key === 'Tab' || event.code === 'Tab') && app.docs.length > 1)
                return act(() => app.cycleTab(event.shiftKey ? -1 : 1));
            return;
        }
        if (!doc || typingIn(event.target)) return;
        if (event.altKey) {
            if (key === 'ArrowUp') return act(() => app.movePage(doc.currentPage - 1, doc.currentPage - 2));
            if (key === 'ArrowDown') return act(() => app.movePage(doc.currentPage - 1, doc.currentPage));
            return;
        }
        switch (key) {
        case '+': case '=': return act(() => app.viewer.zoomIn());
        case '-': return act(() => app.viewer.zoomOut());
        case 'r': return act(() => app.rotate(event.shiftKey ? -90 : 90));
        case 'Delete': return act(() => app.deletePage());
        case 'PageDown': case 'ArrowRight': return act(() => app.viewer.goTo(doc.currentPage + 1));
        case 'PageUp': case 'ArrowLeft': return act(() => app.viewer.goTo(doc.currentPage - 1));
        case 'Home': return act(() => app.viewer.goTo(1));
        case 'End': return act(() => app.viewer.goTo(doc.pageCount));
        default:
        }
    });
}

// Keys typed into a field (the find box, a form field of the document, any editable
// text) are the field's: the page's single-key commands never take them.
export function typingIn(target) {
    return !!(target?.isContentEditable || target?.closest?.('input, select, textarea'));
}

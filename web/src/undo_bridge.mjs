// Edit ▸ Undo and Redo and their keys (Ctrl+Z, Ctrl+Shift+Z) reach the page only as
// the web view's own editing commands: the menu takes the keys before the page sees
// them. So each document edit is also written as one character into a hidden editable
// element, and the view's editing history holds one step per edit. Undoing or redoing
// such a step, from the menu, the keys or the page's buttons, comes back here as an
// input event and becomes the document's undo or redo.
//
// A step of a text field that has lost the focus is taken for the document as well:
// undo acts on what is in front of the user, never on a field out of sight. In a field
// that has the focus, the keys undo its typing, as in any text field.

const HISTORY = new Set(['historyUndo', 'historyRedo']);

export class UndoBridge {
    constructor({ undo, redo }) {
        this.actions = { historyUndo: undo, historyRedo: redo };
        this.marker = document.createElement('div');
        this.marker.className = 'undo-steps';
        this.marker.contentEditable = 'true';
        this.marker.tabIndex = -1;
        this.marker.setAttribute('aria-hidden', 'true');
        document.body.append(this.marker);
        document.addEventListener('beforeinput', (event) => {
            if (!HISTORY.has(event.inputType) || event.target === this.marker || holdsFocus(event.target)) return;
            event.preventDefault();
            this.actions[event.inputType]();
        }, true);
        this.marker.addEventListener('input', (event) => {
            if (HISTORY.has(event.inputType)) this.actions[event.inputType]();
        });
    }

    // One document edit happened: one step in the view's history, the focus left where
    // it was.
    record() {
        const before = document.activeElement;
        this.marker.focus({ preventScroll: true });
        const selection = getSelection();
        selection.selectAllChildren(this.marker);
        selection.collapseToEnd();
        document.execCommand('insertText', false, '·');
        if (before && before !== document.body && before !== this.marker) before.focus({ preventScroll: true });
        else this.marker.blur();
    }

    // The page's own undo and redo (buttons, shortcuts) go through the same history,
    // so that it stays in step; with nothing left there, straight to the document.
    undo() {
        if (!document.execCommand('undo')) this.actions.historyUndo();
    }

    redo() {
        if (!document.execCommand('redo')) this.actions.historyRedo();
    }
}

function holdsFocus(target) {
    const focused = document.activeElement;
    return !!focused && focused !== document.body && (target === focused || target.contains?.(focused));
}

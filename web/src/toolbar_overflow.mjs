// The toolbar at any window width: the groups of commands that do not fit move, from
// the end, into the menu of a "more" button at the toolbar's end, and come back when
// there is room again. The buttons themselves move, so each keeps its handler, its
// state (disabled, busy) and its tooltip, which the menu shows as its label.

// How many groups, counted from the end, must fold for the rest to fit: `widths` of
// the groups in order, `available` width, `more` width of the button that opens the
// menu, `fixed` the count of leading groups that never fold.
export function groupsToFold(widths, available, more, fixed = 1) {
    const total = widths.reduce((sum, w) => sum + w, 0);
    if (total <= available) return 0;
    let width = total + more;
    let folded = 0;
    while (folded < widths.length - fixed && width > available) width -= widths[widths.length - 1 - folded++];
    return folded;
}

export class ToolbarOverflow {
    constructor(toolbar, moreButton, menu) {
        this.toolbar = toolbar;
        this.more = moreButton;
        this.menu = menu;
        this.groups = [...toolbar.querySelectorAll(':scope > .group')];
        moreButton.addEventListener('click', () => (this.menu.hidden ? this.open() : this.close()));
        menu.addEventListener('click', (event) => {
            if (event.target.closest('button:not(:disabled)')) this.close();
        });
        document.addEventListener('pointerdown', (event) => {
            if (!this.menu.hidden && !event.target.closest?.('#more, #more-menu')) this.close();
        });
        new ResizeObserver(() => this.fit()).observe(toolbar);
    }

    // Puts every group back, measures, and folds what does not fit.
    fit() {
        for (const group of this.groups) this.more.before(group);
        this.more.hidden = true;
        const shown = this.groups.filter((g) => g.offsetWidth > 0);
        const style = getComputedStyle(this.toolbar);
        const available = this.toolbar.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
        const gap = parseFloat(style.columnGap) || 0;
        const widths = shown.map((g) => g.offsetWidth + gap);
        const folded = groupsToFold(widths, available, 40 + gap);
        if (!folded) {
            this.close();
            return;
        }
        this.menu.replaceChildren(...shown.slice(shown.length - folded));
        this.more.hidden = false;
    }

    open() {
        const anchor = this.more.getBoundingClientRect();
        this.menu.hidden = false;
        this.menu.style.top = `${anchor.bottom + 4}px`;
        this.menu.style.right = `${Math.max(4, document.documentElement.clientWidth - anchor.right)}px`;
        this.more.setAttribute('aria-expanded', 'true');
        this.menu.querySelector('button:not(:disabled)')?.focus();
    }

    close() {
        this.menu.hidden = true;
        this.more.setAttribute('aria-expanded', 'false');
    }
}

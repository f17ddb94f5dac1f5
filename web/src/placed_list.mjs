// A long column of items of known heights in a scrolling box, of which only those
// within reach of the view exist as elements. The column is as tall as all the items
// together and each element stands, absolutely placed, at its item's top in it; the
// elements are in the items' order, so that selecting and tabbing go from one to the
// next. The page view and the sidebar's pictures are such columns: with thousands of
// pages, laying out, watching and restyling thousands of elements cost more than
// drawing the page in view.
//
// The engine lays nothing out taller than about 33 million pixels: some 30,000 pages
// at the width of a window, 6,000 at the highest zoom. A longer column is made only
// TALLEST high, and the items near the view stand in it at their true distances from
// one another, shifted: scrolling moves through them one to one, a jump of the scroll
// bar goes to the same fraction of the items, and the shift is set again (the view
// keeping what it shows) when the scroll position drifts far from that fraction or
// nears an end of the column.

const TALLEST = 16_000_000;  // CSS pixels
const JUMP = 3;  // views: a scroll further than this at once is a jump to a fraction
const DRIFT = 50;  // views

export class PlacedList {
    // `make(index)` gives a new element for an item, `drop(index, element)` hears of
    // one taken away; `keep(index)` holds an element out of reach back from being taken
    // (the one being dragged). `gap` and `padding` are CSS pixels between the items and
    // around them; `reach` is in heights of the view, above it and below it.
    constructor(scroller, column, { make, drop = () => {}, keep = () => false, gap, padding, reach }) {
        Object.assign(this, { scroller, column, make, drop, keep, gap, padding, reach });
        this.elements = [];
        this.tops = [];
        this.heights = [];
        this.total = 0;  // the column's height were it laid out whole
        this.shift = 0;  // how far the items stand above their true places
        this.lastTop = 0;  // the scroll position the shift was last checked at
        this.going = false;  // a place was asked for (topOf): the next jump is the caller's
        let pending = false;
        scroller.addEventListener('scroll', () => {
            if (pending) return;
            pending = true;
            requestAnimationFrame(() => {
                pending = false;
                this.update();
            });
        }, { passive: true });
        new ResizeObserver(() => this.update()).observe(scroller);
    }

    get length() {
        return this.tops.length;
    }

    // The element of an item, if it has one now.
    element(index) {
        return this.elements[index];
    }

    // Every element there is, with its item's index.
    shown() {
        const found = [];
        this.elements.forEach((element, index) => found.push([index, element]));
        return found;
    }

    // Takes every element away, without telling: a new list is coming.
    clear() {
        this.column.replaceChildren();
        this.elements = [];
        this.place([]);
    }

    // The items' heights, in order, and the widest item's width (the column is at least
    // that wide, with its padding); the elements there move to their items' new places.
    place(heights, widest = null) {
        this.heights = heights;
        this.tops = [];
        let y = this.padding;
        for (const height of heights) {
            this.tops.push(y);
            y += height + this.gap;
        }
        this.total = heights.length ? y - this.gap + this.padding : 0;
        this.column.style.height = heights.length ? `${Math.min(this.total, TALLEST)}px` : '';
        this.column.style.minWidth = widest === null || !heights.length ? '' : `${widest + 2 * this.padding}px`;
        this.shift = this.#long ? Math.min(Math.max(this.shift, 0), this.total - TALLEST) : 0;
        this.#restyle();
    }

    // Where an item's top is in the scrolling box's content. In a column shorter than
    // its items, one too far from the view to be scrolled to is first brought within
    // reach: the caller is about to go there.
    topOf(index) {
        const y = this.tops[index];
        if (this.#long && (y - this.shift < 0 || y - this.shift > TALLEST - this.scroller.clientHeight))
            this.#setShift(y - y / this.#stretch);
        this.going = this.#long;
        return this.#origin() + y - this.shift;
    }

    heightOf(index) {
        return this.heights[index];
    }

    // The first item whose lower edge (with half the gap after it) is at or below `y`
    // in the scrolling box's content, or the last item.
    indexAt(y) {
        return this.#indexAtColumn(y - this.#origin() + this.shift);
    }

    // Makes the elements of the items within reach and takes the others' away.
    update() {
        if (!this.length) return;
        if (this.#long) this.#follow();
        const view = this.scroller.clientHeight;
        const top = this.scroller.scrollTop - this.#origin() + this.shift;
        const first = this.#indexAtColumn(top - view * this.reach);
        const last = this.#indexAtColumn(top + view * (1 + this.reach));
        this.elements.forEach((element, index) => {
            if ((index < first || index > last) && !this.keep(index)) this.#take(index, element);
        });
        for (let index = last; index >= first; --index) if (!this.elements[index]) this.#add(index);
    }

    get #long() {
        return this.total > TALLEST;
    }

    // How much further the true places run than the column's scroll positions: a
    // scroll position stands for the true place the same fraction of the way down.
    get #stretch() {
        const view = this.scroller.clientHeight;
        return Math.max(1, this.total - view) / Math.max(1, TALLEST - view);
    }

    #setShift(shift) {
        this.shift = Math.min(Math.max(shift, 0), this.total - TALLEST);
        this.#restyle();
    }

    #restyle() {
        this.elements.forEach((element, index) => (element.style.top = `${this.tops[index] - this.shift}px`));
    }

    // Keeps the shift in step with the scroll position: a jump goes to its fraction of
    // the items (unless it went to a place asked for); a drift far from that fraction,
    // or a view near an end of the column, sets the shift and the scroll position again
    // so that the view shows what it showed.
    #follow() {
        const view = this.scroller.clientHeight;
        const origin = this.#origin();
        const top = this.scroller.scrollTop - origin;
        const going = this.going;
        this.going = false;
        if (Math.abs(top - this.lastTop) > JUMP * view) {
            this.lastTop = top;
            if (!going) this.#setShift(top * this.#stretch - top);
            return;
        }
        const shown = top + this.shift;
        const wanted = shown / this.#stretch;
        const nearEnd = top < 2 * view || top > TALLEST - 3 * view;
        if ((nearEnd || Math.abs(top - wanted) > DRIFT * view) && Math.abs(top - wanted) >= 1) {
            this.#setShift(shown - wanted);
            this.scroller.scrollTop = origin + shown - this.shift;
        }
        this.lastTop = this.scroller.scrollTop - origin;
    }

    #add(index) {
        const element = this.make(index);
        element.style.top = `${this.tops[index] - this.shift}px`;
        this.elements[index] = element;
        this.column.insertBefore(element, this.#nextAfter(index));
    }

    #take(index, element) {
        delete this.elements[index];
        element.remove();
        this.drop(index, element);
    }

    #nextAfter(index) {
        for (let next = index + 1; next < this.elements.length; ++next) if (this.elements[next]) return this.elements[next];
        return null;
    }

    #indexAtColumn(y) {
        let low = 0;
        let high = this.tops.length - 1;
        while (low < high) {
            const mid = (low + high) >> 1;
            if (this.tops[mid] + this.heights[mid] + this.gap / 2 < y) low = mid + 1;
            else high = mid;
        }
        return low;
    }

    // The column's top in the scrolling box's content.
    #origin() {
        const box = this.scroller.getBoundingClientRect();
        return this.column.getBoundingClientRect().top - box.top - this.scroller.clientTop + this.scroller.scrollTop;
    }
}

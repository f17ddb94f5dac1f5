// A long column of items of known heights in a scrolling box, of which only those
// within reach of the view exist as elements. The column is as tall as all the items
// together and each element stands, absolutely placed, at its item's top in it; the
// elements are in the items' order, so that selecting and tabbing go from one to the
// next. The page view and the sidebar's pictures are such columns: with thousands of
// pages, laying out, watching and restyling thousands of elements cost more than
// drawing the page in view.

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
        this.column.style.height = heights.length ? `${y - this.gap + this.padding}px` : '';
        this.column.style.minWidth = widest === null || !heights.length ? '' : `${widest + 2 * this.padding}px`;
        this.elements.forEach((element, index) => (element.style.top = `${this.tops[index]}px`));
    }

    // Where an item's top is in the scrolling box's content.
    topOf(index) {
        return this.#origin() + this.tops[index];
    }

    heightOf(index) {
        return this.heights[index];
    }

    // The first item whose lower edge (with half the gap after it) is at or below `y`
    // in the scrolling box's content, or the last item.
    indexAt(y) {
        return this.#indexAtColumn(y - this.#origin());
    }

    // Makes the elements of the items within reach and takes the others' away.
    update() {
        if (!this.length) return;
        const view = this.scroller.clientHeight;
        const top = this.scroller.scrollTop - this.#origin();
        const first = this.#indexAtColumn(top - view * this.reach);
        const last = this.#indexAtColumn(top + view * (1 + this.reach));
        this.elements.forEach((element, index) => {
            if ((index < first || index > last) && !this.keep(index)) this.#take(index, element);
        });
        for (let index = last; index >= first; --index) if (!this.elements[index]) this.#add(index);
    }

    #add(index) {
        const element = this.make(index);
        element.style.top = `${this.tops[index]}px`;
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

// Parses a page range typed by the user: "1-3, 5, 8-" (an open end runs to the last
// page, an open start from the first). Empty text means every page. Returns the
// 1-based page numbers in the order given, without repeats, or null when the text is
// not a range of this document.

export function parsePageRange(text, count) {
    const parts = String(text).split(/[,;]/).map((part) => part.trim()).filter(Boolean);
    if (!parts.length) return Array.from({ length: count }, (_, i) => i + 1);
    const pages = [];
    const seen = new Set();
    for (const part of parts) {
        const match = /^(\d*)\s*(?:([-–])\s*(\d*))?$/.exec(part);
        if (!match || (!match[1] && !match[3])) return null;
        const first = match[1] ? Number(match[1]) : 1;
        const last = match[2] ? (match[3] ? Number(match[3]) : count) : first;
        if (first < 1 || last > count || first > last) return null;
        for (let n = first; n <= last; ++n) {
            if (!seen.has(n)) {
                seen.add(n);
                pages.push(n);
            }
        }
    }
    return pages;
}

// The text proposed for the whole document.
export function wholeRange(count) {
    return count > 1 ? `1-${count}` : '1';
}

// The items from index `current` to the end, then those before it: the order in which
// every page is visited starting from the one shown.
export function roundFrom(items, current) {
    return [...items.slice(current), ...items.slice(0, current)];
}

// The page number typed in the page box: digits only, within the document; null for
// anything else, so that a stray letter never sends the view to page 1.
export function parsePageNumber(text, count) {
    const digits = String(text).trim();
    if (!/^\d+$/.test(digits)) return null;
    const n = Number(digits);
    return n >= 1 && n <= count ? n : null;
}

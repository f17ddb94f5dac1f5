// Finding words in a page's text as pdf.js lays it out: a list of pieces (one per span
// of the text layer, then one per recognised word). Matches are reported as piece and
// offset pairs, so they can be shown on the very spans that draw them.

// Lower case, one character for one, so that offsets in the folded text are offsets
// in the pieces; a character that would fold into several stays as it is.
function fold(text) {
    let folded = '';
    for (const ch of text) {
        const lower = ch.toLowerCase();
        folded += lower.length === ch.length ? lower : ch;
    }
    return folded;
}

// Any run of white space in the query matches any run in the text, line ends included.
export function queryPattern(query) {
    const words = fold(query.trim()).split(/\s+/).filter(Boolean);
    if (!words.length) return null;
    return new RegExp(words.map((w) => w.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')).join('\\s+'), 'gu');
}

// pieces: [{str, eol}] -> the text searched and where each piece starts in it. A line
// end counts as one space, so words on two lines are found as one phrase.
export function pageText(pieces) {
    const starts = [];
    let text = '';
    for (const piece of pieces) {
        starts.push(text.length);
        text += fold(piece.str);
        if (piece.eol) text += '\n';
    }
    return { text, starts };
}

// The piece holding a text offset, and the offset inside it (offsets past a piece's
// end belong to the line end after it, and map to its end).
function locate(starts, pieces, offset) {
    let low = 0;
    let high = starts.length - 1;
    while (low < high) {
        const mid = (low + high + 1) >> 1;
        if (starts[mid] <= offset) low = mid;
        else high = mid - 1;
    }
    return { piece: low, offset: Math.min(offset - starts[low], pieces[low].str.length) };
}

// Every match on the page, in reading order: [{from: {piece, offset}, to: {piece, offset}}].
export function findInPieces(pieces, pattern) {
    if (!pattern || !pieces.length) return [];
    const { text, starts } = pageText(pieces);
    const matches = [];
    for (const found of text.matchAll(pattern)) {
        if (!found[0].length) continue;
        // The end is where the last character ends, so a match never reaches into the
        // piece after it.
        const last = locate(starts, pieces, found.index + found[0].length - 1);
        matches.push({
            from: locate(starts, pieces, found.index),
            to: { piece: last.piece, offset: Math.min(last.offset + 1, pieces[last.piece].str.length) },
        });
    }
    return matches;
}

// Steps through matches counted page by page: `counts[i]` matches on page i. From the
// match at `position` ({page, index}, or null for none yet) goes `direction` (+1 / -1)
// and wraps around the document; with no position, starts at the first match on or
// after `fromPage` (or before it, going back). Null when there are no matches at all.
export function stepMatch(counts, position, direction, fromPage = 0) {
    const total = counts.reduce((sum, n) => sum + n, 0);
    if (!total) return null;
    const flat = (page, index) => counts.slice(0, page).reduce((sum, n) => sum + n, 0) + index;
    let at;
    if (position) {
        at = (flat(position.page, position.index) + direction + total) % total;
    } else if (direction > 0) {
        at = flat(fromPage, 0) % total;
    } else {
        at = (flat(fromPage, 0) - 1 + total) % total;
    }
    let page = 0;
    let rest = at;
    while (rest >= counts[page]) rest -= counts[page++];
    return { page, index: rest, ordinal: at + 1, total };
}

// Recognised words written into a page as invisible text (render mode 3), each word
// stretched over the box it was read from, so that any reader finds and selects them
// where they are seen. The font is the standard Helvetica in WinAnsi, which every
// reader has and which covers French and English; it is not embedded, and its widths
// are given as one fixed advance, so the stretch to each box is exact.

import { Dict, Stream, latin1Bytes, name } from './objects.mjs';

export const FONT_RESOURCE = 'PWRecognised';
const ADVANCE = 500;  // thousandths of the font size, for every character

export function textLayerFont() {
    return new Dict([
        ['Type', name('Font')], ['Subtype', name('Type1')], ['BaseFont', name('Helvetica')],
        ['Encoding', name('WinAnsiEncoding')], ['FirstChar', 32], ['LastChar', 255],
        ['Widths', Array(224).fill(ADVANCE)],
    ]);
}

// The WinAnsi codes above 127 that are not the Latin-1 ones.
const WIN_ANSI = new Map(Object.entries({
    '€': 0x80, '‚': 0x82, 'ƒ': 0x83, '„': 0x84, '…': 0x85, '†': 0x86, '‡': 0x87, 'ˆ': 0x88, '‰': 0x89, 'Š': 0x8a,
    '‹': 0x8b, 'Œ': 0x8c, 'Ž': 0x8e, '‘': 0x91, '’': 0x92, '“': 0x93, '”': 0x94, '•': 0x95, '–': 0x96, '—': 0x97,
    '˜': 0x98, '™': 0x99, 'š': 0x9a, '›': 0x9b, 'œ': 0x9c, 'ž': 0x9e, 'Ÿ': 0x9f,
}));

function codeOf(ch) {
    const c = ch.codePointAt(0);
    if ((c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff)) return c;
    return WIN_ANSI.get(ch) ?? null;
}

// A word's bytes in WinAnsi; a character outside it is taken apart (ligatures,
// compatibility forms) or becomes "?".
export function winAnsi(text) {
    let out = '';
    for (const ch of text.normalize('NFC')) {
        const code = codeOf(ch);
        if (code !== null) {
            out += String.fromCharCode(code);
            continue;
        }
        const parts = [...ch.normalize('NFKC')].map(codeOf);
        out += parts.every((p) => p !== null) ? String.fromCharCode(...parts) : '?';
    }
    return out;
}

const literal = (bytes) => `(${bytes.replace(/[\\()]/g, (c) => `\\${c}`).replace(/\r/g, '\\r')})`;
const fixed = (n) => (Math.abs(n) < 1e-9 ? '0' : n.toFixed(4).replace(/0+$/, '').replace(/\.$/, ''));

// `transform`: the pdf.js viewport transform the page was drawn with for recognition
// (page space to image pixels, top-left origin). Returns the inverse mapping.
function pixelsToPage([a, b, c, d, e, f]) {
    const det = a * d - b * c;
    return (x, y) => [(d * (x - e) - c * (y - f)) / det, (a * (y - f) - b * (x - e)) / det];
}

// The content that draws the words invisibly. `lines`: [{words: [{t, x0, y0, x1, y1}]}]
// in image pixels. Every word of a line stands on the line's baseline, so readers
// take the line's words together and in order.
export function invisibleText(lines, transform) {
    const toPage = pixelsToPage(transform);
    let out = `BT 3 Tr /${FONT_RESOURCE} 1 Tf\n`;
    for (const line of lines) {
        const top = Math.min(...line.words.map((w) => w.y0));
        const bottom = Math.max(...line.words.map((w) => w.y1));
        for (const word of line.words) {
            const bytes = winAnsi(word.t);
            if (!bytes || !(word.x1 > word.x0) || !(bottom > top)) continue;
            const [ox, oy] = toPage(word.x0, bottom);
            const [rx, ry] = toPage(word.x1, bottom);
            const [ux, uy] = toPage(word.x0, top);
            // Text space: x along the word, scaled so its advances span the box; y up
            // the line, one font size being the line's height.
            const natural = (bytes.length * ADVANCE) / 1000;
            const m = [(rx - ox) / natural, (ry - oy) / natural, ux - ox, uy - oy, ox, oy];
            out += `${m.map(fixed).join(' ')} Tm ${literal(bytes)} Tj\n`;
        }
    }
    return `${out}ET\n`;
}

// Adds the words to a page: its content is wrapped in q/Q so that nothing it leaves
// set moves the words, and the font joins a copy of its resources (`resources` and
// its `fonts`, resolved). `dict` is a copy of the page's dictionary, changed in place;
// `add(value)` stores a new object and returns its reference.
export function addTextLayer(dict, { resources, fonts }, layer, add, fontRef) {
    const stream = (text) => add(new Stream(new Dict(), latin1Bytes(text)));
    const contents = dict.get('Contents');
    const before = Array.isArray(contents) ? contents : contents ? [contents] : [];
    dict.set('Contents', [stream('q\n'), ...before, stream(`Q\n${invisibleText(layer.lines, layer.transform)}`)]);
    const copy = new Dict(resources instanceof Dict ? resources : []);
    copy.set('Font', new Dict([...(fonts instanceof Dict ? fonts : []), [FONT_RESOURCE, fontRef]]));
    dict.set('Resources', copy);
}

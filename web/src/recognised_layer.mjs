// The text recognised on a page, laid over it as invisible, selectable words. The
// boxes come in pixels of the image that was recognised; the layer scales them to the
// page as shown. Each word is stretched to its box so a selection covers what it reads.

let measure = null;

function textWidth(text, font) {
    measure ??= document.createElement('canvas').getContext('2d');
    measure.font = font;
    return measure.measureText(text).width;
}

const FONT_FAMILY = 'sans-serif';

// The words the layer shows, each with the text of its span: a trailing space makes a
// copied line read as words, not one run. Find searches the same texts, so that what
// it finds is what the spans hold. entry: {image, lines: [{words: [{t, x0, y0, x1, y1}]}]}
export function shownWords(entry) {
    const shown = [];
    for (const line of entry.lines) {
        const words = line.words.filter((w) => w.t && w.x1 > w.x0 && w.y1 > w.y0);
        words.forEach((word, i) => shown.push({ word, text: i < words.length - 1 ? `${word.t} ` : word.t, eol: i === words.length - 1 }));
    }
    return shown;
}

export function buildRecognisedLayer(entry, width, height) {
    const layer = document.createElement('div');
    layer.className = 'ocrLayer';
    layer.style.width = `${width}px`;
    layer.style.height = `${height}px`;
    const kx = width / entry.image.width;
    const ky = height / entry.image.height;
    for (const { word, text, eol } of shownWords(entry)) {
        const boxWidth = (word.x1 - word.x0) * kx;
        const size = (word.y1 - word.y0) * ky;
        const span = document.createElement('span');
        span.textContent = text;
        span.style.left = `${word.x0 * kx}px`;
        span.style.top = `${word.y0 * ky}px`;
        span.style.fontSize = `${size}px`;
        span.style.fontFamily = FONT_FAMILY;
        const natural = textWidth(word.t, `${size}px ${FONT_FAMILY}`);
        if (natural > 0) span.style.transform = `scaleX(${boxWidth / natural})`;
        layer.append(span);
        if (eol) layer.append(document.createElement('br'));
    }
    return layer;
}

// Parses the shell's result document; throws with the shell's error text.
export function parseRecognition(json) {
    const result = JSON.parse(json);
    if (typeof result.error === 'string') throw new Error(result.error);
    if (!Array.isArray(result.lines)) throw new Error('json');
    return result.lines
        .map((line) => ({
            words: (Array.isArray(line?.words) ? line.words : []).filter(
                (w) => typeof w?.t === 'string' && [w.x0, w.y0, w.x1, w.y1].every(Number.isFinite)),
        }))
        .filter((line) => line.words.length);
}

// A drawn page turned by `turn` degrees (a multiple of 90), to stand in for the page
// until it is drawn anew.

// A copy of the canvas, turned; the canvas itself when there is nothing to turn.

export function turnedCopy(canvas, turn) {
    const quarter = ((Math.round(turn / 90) % 4) + 4) % 4;
    if (!quarter) return canvas;
    const copy = document.createElement('canvas');
    const across = quarter % 2 === 1;
    copy.width = across ? canvas.height : canvas.width;
    copy.height = across ? canvas.width : canvas.height;
    const context = copy.getContext('2d', { alpha: false });
    context.translate(copy.width / 2, copy.height / 2);
    context.rotate((quarter * Math.PI) / 2);
    context.drawImage(canvas, -canvas.width / 2, -canvas.height / 2);
    return copy;
}

// Shows a drawn page's own canvas turned a further `turn` degrees inside a frame of
// `width` × `height` CSS pixels, by a transform rather than a copy: no pixel is drawn
// again, however large the drawing. The turn shown so far is kept on the canvas, for a
// page turned again before pdf.js has drawn it anew.
export function turnInPlace(canvas, turn, width, height) {
    const quarter = ((((canvas.shownQuarter ?? 0) + Math.round(turn / 90)) % 4) + 4) % 4;
    canvas.shownQuarter = quarter;
    const across = quarter % 2 === 1;
    const [w, h] = across ? [height, width] : [width, height];
    Object.assign(canvas.style, quarter ? {
        position: 'absolute',
        left: `${(width - w) / 2}px`,
        top: `${(height - h) / 2}px`,
        width: `${w}px`,
        height: `${h}px`,
        transform: `rotate(${quarter * 90}deg)`,
    } : { position: '', left: '', top: '', width: '', height: '', transform: '' });
    return canvas;
}

// A copy of a drawn page turned by `turn` degrees (a multiple of 90), to stand in for
// the page until it is drawn anew; the canvas itself when there is nothing to turn.

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

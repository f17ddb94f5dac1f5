// Decoding of the streams the structure of a file is kept in (cross-reference and
// object streams): Flate with the PNG and TIFF predictors. Other streams are never
// decoded here; they are copied as they are stored.

import { Dict, concatBytes, isName } from './objects.mjs';

// The most a structure stream may inflate to. Real ones hold a few bytes per object
// (a million objects are a few megabytes); more is a compression bomb, and the file
// is read by a scan instead.
export const STRUCTURE_LIMIT = 128 * 1024 * 1024;

// Many files carry a few bytes of junk after the compressed data: what was inflated
// before the engine complained is kept.
async function inflate(data) {
    const stream = new Blob([data]).stream().pipeThrough(new DecompressionStream('deflate'));
    const reader = stream.getReader();
    const chunks = [];
    let total = 0;
    try {
        for (;;) {
            const { done, value } = await reader.read();
            if (done) break;
            chunks.push(value);
            total += value.length;
            if (total > STRUCTURE_LIMIT) {
                reader.cancel().catch(() => {});
                throw new RangeError('a structure stream inflates beyond any real one');
            }
        }
    } catch (error) {
        if (error instanceof RangeError) throw error;
        if (!total) throw error;
    }
    return concatBytes(chunks);
}

function unpredict(data, params) {
    const predictor = params?.get('Predictor') ?? 1;
    if (predictor < 2) return data;
    const colors = params.get('Colors') ?? 1;
    const bits = params.get('BitsPerComponent') ?? 8;
    const columns = params.get('Columns') ?? 1;
    const bpp = Math.max(1, Math.ceil((colors * bits) / 8));
    const rowLength = Math.ceil((colors * bits * columns) / 8);
    if (predictor === 2) {
        const out = data.slice();
        for (let row = 0; row < out.length; row += rowLength)
            for (let i = bpp; i < rowLength && row + i < out.length; ++i) out[row + i] = (out[row + i] + out[row + i - bpp]) & 0xff;
        return out;
    }
    // PNG: each row starts with its filter type.
    const rows = Math.floor(data.length / (rowLength + 1));
    const out = new Uint8Array(rows * rowLength);
    let prior = new Uint8Array(rowLength);
    for (let r = 0; r < rows; ++r) {
        const type = data[r * (rowLength + 1)];
        const src = data.subarray(r * (rowLength + 1) + 1, (r + 1) * (rowLength + 1));
        const row = out.subarray(r * rowLength, (r + 1) * rowLength);
        for (let i = 0; i < rowLength; ++i) {
            const left = i >= bpp ? row[i - bpp] : 0;
            const up = prior[i];
            const upLeft = i >= bpp ? prior[i - bpp] : 0;
            let add = 0;
            if (type === 1) add = left;
            else if (type === 2) add = up;
            else if (type === 3) add = (left + up) >> 1;
            else if (type === 4) {
                const p = left + up - upLeft;
                const pa = Math.abs(p - left), pb = Math.abs(p - up), pc = Math.abs(p - upLeft);
                add = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
            }
            row[i] = (src[i] + add) & 0xff;
        }
        prior = row;
    }
    return out;
}

export class UnsupportedFilterError extends Error {}

// The decoded data of a stream whose filters are Flate (or none).
export async function decodeStream(stream) {
    const filters = [stream.dict.get('Filter') ?? []].flat();
    const params = [stream.dict.get('DecodeParms') ?? []].flat();
    let data = stream.data;
    for (let i = 0; i < filters.length; ++i) {
        if (!isName(filters[i], 'FlateDecode')) throw new UnsupportedFilterError(filters[i]?.name ?? 'unknown');
        data = unpredict(await inflate(data), params[i] instanceof Dict ? params[i] : null);
    }
    return data;
}

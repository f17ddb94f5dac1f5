// Bytes that updates are appended to in place. Each saved state of a file is a view of
// one buffer with room to spare, so a save costs what it appends, and the earlier
// states kept for undo share those bytes instead of each holding a copy of the file.

const used = new WeakMap();  // ArrayBuffer -> the end of its longest view

const room = (length) => Math.max(1 << 20, Math.ceil(length / 16));

// Decodes a file's Base64 text into a buffer with room for its first updates, where
// the engine can decode in place; `decode` otherwise.
export function decodeWithRoom(text, decode) {
    if (typeof Uint8Array.prototype.setFromBase64 !== 'function') return decode(text);
    const padding = text.endsWith('==') ? 2 : text.endsWith('=') ? 1 : 0;
    const length = Math.floor((text.length * 3) / 4) - padding;
    const buffer = new Uint8Array(length + room(length));
    const { written } = buffer.setFromBase64(text);
    used.set(buffer.buffer, written);
    return buffer.subarray(0, written);
}

export function appendBytes(bytes, extra) {
    const buffer = bytes.buffer;
    const end = bytes.byteOffset + bytes.length;
    // Only the longest view may grow: a shorter one would write over what a later
    // state holds.
    if (used.get(buffer) === end && buffer.byteLength - end >= extra.length) {
        new Uint8Array(buffer, end, extra.length).set(extra);
        used.set(buffer, end + extra.length);
        return new Uint8Array(buffer, bytes.byteOffset, bytes.length + extra.length);
    }
    const total = bytes.length + extra.length;
    const grown = new Uint8Array(new ArrayBuffer(total + room(total)), 0, total);
    grown.set(bytes);
    grown.set(extra, bytes.length);
    used.set(grown.buffer, total);
    return grown;
}

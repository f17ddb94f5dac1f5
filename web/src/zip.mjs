// A store-only ZIP writer: the pages are already compressed PNG files, so deflating
// them again would gain nothing. Names are written as UTF-8 (general-purpose flag 11).

const crcTable = (() => {
    const table = new Uint32Array(256);
    for (let n = 0; n < 256; ++n) {
        let c = n;
        for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
        table[n] = c >>> 0;
    }
    return table;
})();

export function crc32(bytes) {
    let c = 0xffffffff;
    for (let i = 0; i < bytes.length; ++i) c = crcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
}

// MS-DOS time and date fields; the format cannot hold years before 1980.
function dosDateTime(date) {
    const year = Math.max(date.getFullYear(), 1980);
    return {
        time: (date.getHours() << 11) | (date.getMinutes() << 5) | (date.getSeconds() >> 1),
        date: ((year - 1980) << 9) | ((date.getMonth() + 1) << 5) | date.getDate(),
    };
}

const UTF8_NAMES = 0x0800;
const VERSION = 20;  // 2.0: the lowest that knows folders and UTF-8 names
const LIMIT = 0xffffffff;

// entries: [{name, bytes}]; returns the archive as one Uint8Array.
export function zipStore(entries, when = new Date()) {
    if (entries.length > 0xffff) throw new Error('too many files for a ZIP archive');
    const stamp = dosDateTime(when);
    const encoder = new TextEncoder();
    const records = entries.map(({ name, bytes }) => {
        if (bytes.length >= LIMIT) throw new Error(`${name} is too large for a ZIP archive`);
        return { name: encoder.encode(name), bytes, crc: crc32(bytes) };
    });

    const localSize = records.reduce((sum, r) => sum + 30 + r.name.length + r.bytes.length, 0);
    const centralSize = records.reduce((sum, r) => sum + 46 + r.name.length, 0);
    if (localSize + centralSize >= LIMIT) throw new Error('the archive would exceed 4 GiB');
    const out = new Uint8Array(localSize + centralSize + 22);
    const view = new DataView(out.buffer);
    let at = 0;
    const u16 = (v) => { view.setUint16(at, v, true); at += 2; };
    const u32 = (v) => { view.setUint32(at, v, true); at += 4; };
    const put = (bytes) => { out.set(bytes, at); at += bytes.length; };

    const offsets = [];
    for (const r of records) {
        offsets.push(at);
        u32(0x04034b50); u16(VERSION); u16(UTF8_NAMES); u16(0); u16(stamp.time); u16(stamp.date);
        u32(r.crc); u32(r.bytes.length); u32(r.bytes.length); u16(r.name.length); u16(0);
        put(r.name); put(r.bytes);
    }
    const centralStart = at;
    records.forEach((r, i) => {
        u32(0x02014b50); u16(VERSION); u16(VERSION); u16(UTF8_NAMES); u16(0); u16(stamp.time); u16(stamp.date);
        u32(r.crc); u32(r.bytes.length); u32(r.bytes.length); u16(r.name.length);
        u16(0); u16(0); u16(0); u16(0); u32(0); u32(offsets[i]);
        put(r.name);
    });
    const centralLength = at - centralStart;
    u32(0x06054b50); u16(0); u16(0); u16(records.length); u16(records.length);
    u32(centralLength); u32(centralStart); u16(0);
    return out;
}

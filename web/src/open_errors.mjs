// Why a file could not be opened, in words for the user: pdf.js's own messages are
// for developers. Decided from the bytes where they tell (an empty file, another kind
// of file, a compression pdf.js has no decoder for) and from the error otherwise.

// Every stream filter pdf.js decodes, in their long and abbreviated names.
const KNOWN_FILTERS = new Set([
    'FlateDecode', 'Fl', 'LZWDecode', 'LZW', 'DCTDecode', 'DCT', 'JPXDecode', 'JBIG2Decode',
    'ASCII85Decode', 'A85', 'ASCIIHexDecode', 'AHx', 'CCITTFaxDecode', 'CCF', 'RunLengthDecode', 'RL',
    'BrotliDecode', 'Crypt',
]);

const HEADER_WINDOW = 1024;  // readers accept the header anywhere in the first kilobyte

function latin1(bytes) {
    let text = '';
    for (let at = 0; at < bytes.length; at += 0x8000)
        text += String.fromCharCode(...bytes.subarray(at, at + 0x8000));
    return text;
}

// The filter names the file's dictionaries ask for that no decoder here knows.
export function unknownFilters(bytes) {
    const unknown = new Set();
    const text = latin1(bytes);
    for (const [, value] of text.matchAll(/\/Filter\s*(\[[^\]]*\]|\/[^\s/[\]<>()]+)/g))
        for (const [, name] of value.matchAll(/\/([^\s/[\]<>()]+)/g))
            if (!KNOWN_FILTERS.has(name)) unknown.add(name);
    return [...unknown];
}

// The message key for a file that failed to open.
export function unreadableReason(bytes) {
    if (!bytes.length) return 'fileEmpty';
    if (!latin1(bytes.subarray(0, HEADER_WINDOW)).includes('%PDF-')) return 'fileNotPdf';
    if (unknownFilters(bytes).length) return 'fileCompression';
    return 'fileDamaged';
}

// A document pdf.js opens but shows only as the placeholder page of a dynamic XFA
// form: the form lives in XML that no page here draws.
export async function isDynamicXfa(pdf) {
    try {
        const { info } = await pdf.getMetadata();
        return !!info?.IsXFAPresent && !info?.IsAcroFormPresent;
    } catch {
        return false;
    }
}

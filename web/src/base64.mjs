// Base64 of byte arrays, with the engine's native codec when it has one. The shell's
// decoder is strict: no line breaks, no data-URL prefix.

export function bytesToBase64(bytes) {
    if (typeof bytes.toBase64 === 'function') return bytes.toBase64();
    let binary = '';
    const chunk = 0x8000;  // keeps apply() below the engine's argument limit
    for (let i = 0; i < bytes.length; i += chunk) binary += String.fromCharCode.apply(null, bytes.subarray(i, i + chunk));
    return btoa(binary);
}

export function base64ToBytes(text) {
    if (typeof Uint8Array.fromBase64 === 'function') return Uint8Array.fromBase64(text);
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
}

// The page's side of the desktop shell: messages posted to the "pagewick" handler,
// replies the shell evaluates on the page, and what the shell said it can do. Without
// the shell (a plain browser) `native.available` is false and callers fall back.

const handler = window.webkit?.messageHandlers?.pagewick ?? null;

export const native = {
    available: handler !== null,
    ocr: handler !== null && window.__nativeOcr === 'vision',
    print: handler !== null && window.__nativePrint === true,
};

// Posts one message. Every field goes as a string: the shell ignores fields of any
// other type, and a numeric id would get no reply at all.
export function post(message) {
    if (!handler) throw new Error('no desktop shell');
    const body = {};
    for (const [key, value] of Object.entries(message)) body[key] = String(value);
    handler.postMessage(body);
}

let serial = 0;
const waiting = new Map();

// Posts a message that the shell answers by id; resolves with the reply's fields. A
// malformed request gets no reply, so callers never wait on one to unblock the page.
export function request(message) {
    const id = `p${Date.now().toString(36)}-${++serial}`;
    return new Promise((resolve, reject) => {
        waiting.set(id, resolve);
        try {
            post({ ...message, id });
        } catch (error) {
            waiting.delete(id);
            reject(error);
        }
    });
}

function settle(id, reply) {
    const resolve = waiting.get(id);
    if (!resolve) return;
    waiting.delete(id);
    resolve(reply);
}

window.__nativeResult = (id, ok, path, msg) => settle(String(id), { ok: ok === true, path: String(path ?? ''), msg: String(msg ?? '') });
window.__nativeOcrResult = (id, json) => settle(String(id), { json: String(json ?? '') });

// Files and messages from the shell. early_open.js answers for the page from the start
// and holds what comes before the page is ready; taking over files, the last step of
// the page's start, hands on what it held, in the order it came.
let messageHandler = null;

export function receiveMessages(onMessage) {
    messageHandler = (text) => onMessage(String(text));
    // While files are held, messages wait behind them: receiveFiles takes both over.
    if (!window.__nativeOpen?.takeHeld) window.__nativeMsg = messageHandler;
}

export function receiveFiles(onFile) {
    const held = window.__nativeOpen?.takeHeld?.() ?? [];
    window.__nativeOpen = (name, b64, path) => onFile(String(name), String(b64), String(path));
    if (messageHandler) window.__nativeMsg = messageHandler;
    for (const entry of held) {
        if (entry.file) onFile(...entry.file);
        else messageHandler?.(entry.message);
    }
}

// The recent files: the shell assigns window.__nativeRecent at start and after every
// change. An accessor turns those assignments into notifications.
export function watchRecent(onChange) {
    let current = window.__nativeRecent;
    Object.defineProperty(window, '__nativeRecent', {
        configurable: true,
        enumerable: true,
        get: () => current,
        set: (value) => {
            current = value;
            onChange(recentList());
        },
    });
    onChange(recentList());
}

export function recentList() {
    const value = window.__nativeRecent;
    if (!Array.isArray(value)) return [];
    return value.filter((e) => e && typeof e.path === 'string' && e.path)
        .map((e) => ({ name: typeof e.name === 'string' && e.name ? e.name : baseName(e.path), path: e.path }));
}

export function baseName(path) {
    return path.split('/').filter(Boolean).pop() ?? path;
}

export function folderName(path) {
    const cut = path.lastIndexOf('/');
    return cut > 0 ? path.slice(0, cut) : '/';
}

// Where the user left each document: its page and zoom, kept in the page's own storage
// under the document's path, and offered again the next time it is opened. The most
// recent entries are kept, so the list never grows without end.

const KEY = 'pagewick.places';
const LIMIT = 200;

// The places with one more (or one updated), the oldest dropped beyond `limit`.
export function withPlace(places, path, place, now, limit = LIMIT) {
    const next = { ...places, [path]: { ...place, at: now } };
    const paths = Object.keys(next);
    if (paths.length <= limit) return next;
    paths.sort((a, b) => next[b].at - next[a].at);
    return Object.fromEntries(paths.slice(0, limit).map((p) => [p, next[p]]));
}

// A stored place checked for use: a page number and a zoom the viewer knows, or null.
export function validPlace(value) {
    if (!value || !Number.isInteger(value.page) || value.page < 1) return null;
    const zoom = value.zoom;
    const known = zoom && (['auto', 'width', 'page'].includes(zoom.mode)
        || (zoom.mode === 'scale' && Number.isFinite(zoom.value) && zoom.value > 0 && zoom.value <= 10));
    return { page: value.page, zoom: known ? { mode: zoom.mode, ...(zoom.mode === 'scale' ? { value: zoom.value } : {}) } : null };
}

function load(storage) {
    try {
        const value = JSON.parse(storage.getItem(KEY) ?? '{}');
        return value && typeof value === 'object' && !Array.isArray(value) ? value : {};
    } catch {
        return {};
    }
}

// The page's storage, or a stand-in that keeps nothing where the engine refuses it.
function pageStorage() {
    try {
        if (globalThis.localStorage) return globalThis.localStorage;
    } catch {
        // refused for this origin
    }
    return { getItem: () => null, setItem: () => {} };
}

export class Places {
    constructor(storage = pageStorage()) {
        this.storage = storage;
    }

    recall(path) {
        return path ? validPlace(load(this.storage)[path]) : null;
    }

    remember(path, place) {
        if (!path) return;
        try {
            this.storage.setItem(KEY, JSON.stringify(withPlace(load(this.storage), path, place, Date.now())));
        } catch {
            // Storage full or refused: forgetting where one was is no failure to report.
        }
    }
}

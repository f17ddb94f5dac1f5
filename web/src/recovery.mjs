// Working copies of documents with unsaved changes, kept in the page's own storage
// (IndexedDB) after every change, so that a reload (the shell reloads the page when
// its process dies) does not lose them: the next start offers them back. A copy is
// forgotten once its document is saved or closed.

const DATABASE = 'pagewick-recovery';
const STORE = 'copies';

function request(req) {
    return new Promise((resolve, reject) => {
        req.onsuccess = () => resolve(req.result);
        req.onerror = () => reject(req.error);
    });
}

export class Recovery {
    constructor(factory = globalThis.indexedDB) {
        this.factory = factory;
        this.database = null;
        this.writes = Promise.resolve();
    }

    #open() {
        if (!this.factory) return Promise.reject(new Error('no storage'));
        this.database ??= new Promise((resolve, reject) => {
            const req = this.factory.open(DATABASE, 1);
            req.onupgradeneeded = () => req.result.createObjectStore(STORE, { keyPath: 'id' });
            req.onsuccess = () => resolve(req.result);
            req.onerror = () => reject(req.error);
        });
        return this.database;
    }

    async #store(mode) {
        return (await this.#open()).transaction(STORE, mode).objectStore(STORE);
    }

    // Writes run one after another, so that a later state never loses to an earlier
    // one; a storage that refuses is no reason to stop working.
    #write(action) {
        this.writes = this.writes.then(action).catch((error) => console.error(error));
        return this.writes;
    }

    // Keeps the document's current bytes (as shown) while it has unsaved changes,
    // forgets them when it has none.
    keep(doc, bytes) {
        const copy = { id: doc.recoveryId, name: doc.name, path: doc.path, bytes, at: Date.now() };
        if (!doc.dirty) return this.forget(doc);
        return this.#write(async () => request((await this.#store('readwrite')).put(copy)));
    }

    forget(doc) {
        const id = doc.recoveryId;
        return this.#write(async () => request((await this.#store('readwrite')).delete(id)));
    }

    forgetAll() {
        return this.#write(async () => request((await this.#store('readwrite')).clear()));
    }

    // The copies left by an earlier run of the page, oldest first.
    async leftOver() {
        try {
            const copies = await request((await this.#store('readonly')).getAll());
            return copies.filter((c) => c?.bytes instanceof Uint8Array && typeof c.name === 'string').sort((a, b) => a.at - b.at);
        } catch {
            return [];
        }
    }
}

// Working copies of documents with unsaved changes, kept in the page's own storage
// (IndexedDB) after every change, so that a reload (the shell reloads the page when
// its process dies) does not lose them: the next start offers them back. A copy is
// forgotten once its document is saved or closed.
//
// A copy is the file the document's edits apply to, stored once, and what the edits
// add to it (an update to append, and the pages it no longer shows): a pause after an
// edit writes only that, whatever the size of the file.

const DATABASE = 'pagewick-recovery';
const STORE = 'copies';
const FILES = 'files';

function request(req) {
    return new Promise((resolve, reject) => {
        req.onsuccess = () => resolve(req.result);
        req.onerror = () => reject(req.error);
    });
}

function joined(file, update) {
    const bytes = new Uint8Array(file.length + update.length);
    bytes.set(file);
    bytes.set(update, file.length);
    return bytes;
}

export class Recovery {
    constructor(factory = globalThis.indexedDB) {
        this.factory = factory;
        this.database = null;
        this.writes = Promise.resolve();
        // recoveryId -> {key, bytes}: the file stored for a document, kept while it is
        // open (a save makes it clean, and its next edit then needs no second copy).
        this.stored = new Map();
        this.serial = 0;
    }

    #open() {
        if (!this.factory) return Promise.reject(new Error('no storage'));
        this.database ??= new Promise((resolve, reject) => {
            const req = this.factory.open(DATABASE, 2);
            req.onupgradeneeded = () => {
                const db = req.result;
                if (!db.objectStoreNames.contains(STORE)) db.createObjectStore(STORE, { keyPath: 'id' });
                if (!db.objectStoreNames.contains(FILES)) db.createObjectStore(FILES, { keyPath: 'key' });
            };
            req.onsuccess = () => resolve(req.result);
            req.onerror = () => reject(req.error);
        });
        return this.database;
    }

    async #stores(mode) {
        const transaction = (await this.#open()).transaction([STORE, FILES], mode);
        return { copies: transaction.objectStore(STORE), files: transaction.objectStore(FILES) };
    }

    // Writes run one after another, so that a later state never loses to an earlier
    // one; a storage that refuses is no reason to stop working.
    #write(action) {
        this.writes = this.writes.then(action).catch((error) => console.error(error));
        return this.writes;
    }

    // Keeps the document as shown while it has unsaved changes, forgets it when it has
    // none. `copy`: {file, update, removed} (the bytes the edits apply to, the update
    // appended to them, the numbers of the pages they drop) or {bytes} (the whole file).
    keep(doc, copy) {
        if (!doc.dirty) return this.forget(doc);
        const record = { id: doc.recoveryId, name: doc.name, path: doc.path, at: Date.now() };
        return this.#write(async () => {
            const { copies, files } = await this.#stores('readwrite');
            if (copy.file) {
                const { key, since } = this.#file(record.id, copy.file, files);
                Object.assign(record, { file: key, update: since.length ? joined(since, copy.update) : copy.update, removed: [...copy.removed] });
            } else {
                record.bytes = copy.bytes;
            }
            return request(copies.put(record));
        });
    }

    // The key of the stored file that `file` is, or extends (a save appends to the
    // bytes in place), with what it has more: the file is stored only when neither.
    #file(id, file, files) {
        const known = this.stored.get(id);
        const extends_ = known && known.bytes.buffer === file.buffer && known.bytes.byteOffset === file.byteOffset && known.bytes.length <= file.length;
        if (extends_) return { key: known.key, since: file.subarray(known.bytes.length) };
        if (known) files.delete(known.key);
        const key = `${id}/${++this.serial}`;
        files.put({ key, bytes: file });
        this.stored.set(id, { key, bytes: file });
        return { key, since: new Uint8Array(0) };
    }

    // Forgets the document's changes; its stored file too when it is being closed.
    forget(doc, { closing = false } = {}) {
        const id = doc.recoveryId;
        const known = closing ? this.stored.get(id) : null;
        if (closing) this.stored.delete(id);
        return this.#write(async () => {
            const { copies, files } = await this.#stores('readwrite');
            if (known) files.delete(known.key);
            return request(copies.delete(id));
        });
    }

    forgetAll() {
        this.stored.clear();
        return this.#write(async () => {
            const { copies, files } = await this.#stores('readwrite');
            files.clear();
            return request(copies.clear());
        });
    }

    // The copies left by an earlier run of the page, oldest first: {id, name, path,
    // bytes, removed}. Files no copy refers to (the run ended before their documents
    // were closed) are let go.
    async leftOver() {
        try {
            const { copies, files } = await this.#stores('readwrite');
            const found = [];
            const used = new Set();
            for (const c of await request(copies.getAll())) {
                if (typeof c?.name !== 'string') continue;
                used.add(c.file);
                const file = c.file ? (await request(files.get(c.file)))?.bytes : null;
                if (file instanceof Uint8Array && c.update instanceof Uint8Array) found.push({ ...c, bytes: joined(file, c.update), removed: c.removed ?? [] });
                else if (c.bytes instanceof Uint8Array) found.push({ ...c, removed: [] });
            }
            for (const key of await request(files.getAllKeys())) if (!used.has(key)) files.delete(key);
            return found.sort((a, b) => a.at - b.at);
        } catch {
            return [];
        }
    }
}

// Loaded as a classic script before the page's modules: the shell may hand over files
// (and messages about files) as soon as the document has loaded, while the modules are
// still being fetched. Until the page takes over, they are kept here in the order they
// came, and native.mjs hands them on.
(() => {
    const held = [];
    const holdFile = (name, b64, path) => { held.push({ file: [String(name), String(b64), String(path)] }); };
    const holdMessage = (text) => { held.push({ message: String(text) }); };
    holdFile.takeHeld = () => held.splice(0);
    window.__nativeOpen = holdFile;
    window.__nativeMsg = holdMessage;
})();

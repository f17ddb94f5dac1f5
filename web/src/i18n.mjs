// The page speaks the shell's language: French when the first preferred language is
// French (any region), English otherwise; French too when the browser names none.

export function prefersFrench(languages) {
    const first = languages.length ? String(languages[0]) : 'fr';
    return first.slice(0, 2).toLowerCase() === 'fr';
}

function browserLanguages() {
    if (navigator.languages && navigator.languages.length) return [...navigator.languages];
    return navigator.language ? [navigator.language] : [];
}

export const french = prefersFrench(browserLanguages());
// The code sent with recognition requests and set on the document.
export const lang = french ? 'fr' : 'en';

const strings = {
    appName: ['Pagewick', 'Pagewick'],
    open: ['Ouvrir', 'Open'],
    openTip: ['Ouvrir des documents PDF (Ctrl+O)', 'Open PDF documents (Ctrl+O)'],
    recentTip: ['Documents récents (Ctrl+Maj+O)', 'Recent documents (Ctrl+Shift+O)'],
    recent: ['Récents', 'Recent'],
    recentTitle: ['Documents récents', 'Recent documents'],
    noRecent: ['Aucun document récent', 'No recent documents'],
    save: ['Enregistrer', 'Save'],
    saveTip: ['Enregistrer (Ctrl+S)', 'Save (Ctrl+S)'],
    saveAs: ['Enregistrer sous…', 'Save As…'],
    saveAsTip: ['Enregistrer sous… (Ctrl+Maj+S)', 'Save As… (Ctrl+Shift+S)'],
    exportTip: ['Exporter les pages en images PNG dans un ZIP (Ctrl+E)', 'Export pages as PNG images in a ZIP (Ctrl+E)'],
    share: ['Partager', 'Share'],
    shareTip: ['Partager le document (Ctrl+Maj+E)', 'Share the document (Ctrl+Shift+E)'],
    print: ['Imprimer', 'Print'],
    printTip: ['Imprimer (Ctrl+P)', 'Print (Ctrl+P)'],
    previous: ['Page précédente (Page préc.)', 'Previous page (Page Up)'],
    next: ['Page suivante (Page suiv.)', 'Next page (Page Down)'],
    pageNumber: ['Aller à la page (Ctrl+G)', 'Go to page (Ctrl+G)'],
    zoomIn: ['Zoom avant (+)', 'Zoom in (+)'],
    zoomOut: ['Zoom arrière (−)', 'Zoom out (−)'],
    zoomLevel: ['Niveau de zoom (Ctrl+0 : automatique)', 'Zoom level (Ctrl+0: automatic)'],
    fitAuto: ['Automatique', 'Automatic'],
    fitWidth: ['Pleine largeur', 'Fit width'],
    fitPage: ['Page entière', 'Fit page'],
    rotateLeft: ['Pivoter à gauche (Maj+R)', 'Rotate left (Shift+R)'],
    rotateRight: ['Pivoter à droite (R)', 'Rotate right (R)'],
    moveUp: ['Avancer la page (Alt+↑)', 'Move page up (Alt+↑)'],
    moveDown: ['Reculer la page (Alt+↓)', 'Move page down (Alt+↓)'],
    deletePage: ['Supprimer la page (Suppr)', 'Delete page (Delete)'],
    insertPages: ['Insérer les pages d’un PDF (Ctrl+I)', 'Insert pages from a PDF (Ctrl+I)'],
    undo: ['Annuler (Ctrl+Z)', 'Undo (Ctrl+Z)'],
    redo: ['Rétablir (Ctrl+Maj+Z)', 'Redo (Ctrl+Shift+Z)'],
    ocr: ['Reconnaître le texte', 'Recognise text'],
    ocrTip: ['Reconnaître le texte de toutes les pages (Ctrl+Maj+R)', 'Recognise the text of every page (Ctrl+Shift+R)'],
    ocrStop: ['Arrêter la reconnaissance du texte', 'Stop recognising text'],
    recognisingProgress: ['Reconnaissance du texte : page {k} sur {count}…', 'Recognising text: page {k} of {count}…'],
    recognisedAll: ['{count} mot(s) reconnu(s) sur {pages} page(s)', '{count} word(s) recognised on {pages} page(s)'],
    recognitionStopped: ['Reconnaissance arrêtée : {count} mot(s) sur {pages} page(s)', 'Recognition stopped: {count} word(s) on {pages} page(s)'],
    noTextAnywhere: ['Aucun texte trouvé', 'No text found'],
    find: ['Rechercher (Ctrl+F)', 'Find (Ctrl+F)'],
    findPlaceholder: ['Rechercher…', 'Find…'],
    findCount: ['{n} sur {count}', '{n} of {count}'],
    findNone: ['Aucun résultat', 'No matches'],
    findNext: ['Résultat suivant (Entrée, F3)', 'Next match (Enter, F3)'],
    findPrevious: ['Résultat précédent (Maj+Entrée, Maj+F3)', 'Previous match (Shift+Enter, Shift+F3)'],
    findClose: ['Fermer la recherche (Échap)', 'Close find (Escape)'],
    sidebar: ['Miniatures', 'Thumbnails'],
    pagesTab: ['Pages', 'Pages'],
    outlineTab: ['Signets', 'Outline'],
    more: ['Plus de commandes', 'More commands'],
    closeTab: ['Fermer', 'Close'],
    dismiss: ['Masquer ce message', 'Dismiss this message'],
    recoverOffer: [
        'Des modifications non enregistrées peuvent être récupérées ({count}) : {names}',
        'Unsaved changes can be brought back ({count}): {names}',
    ],
    restore: ['Restaurer', 'Restore'],
    discardCopies: ['Abandonner', 'Discard'],
    welcome: ['Ouvrez un document PDF pour commencer', 'Open a PDF document to get started'],
    welcomeHint: [
        'Affichez, réorganisez, faites pivoter, fusionnez et reconnaissez le texte de vos PDF.',
        'View, reorder, rotate, merge and recognise the text of your PDFs.',
    ],
    openButton: ['Ouvrir un PDF…', 'Open a PDF…'],
    dropHint: ['ou déposez un fichier dans cette fenêtre', 'or drop a file on this window'],
    loading: ['Ouverture de {name}…', 'Opening {name}…'],
    notPdf: ['ce n’est pas un document PDF lisible', 'it is not a readable PDF document'],
    unexpected: ['une erreur inattendue est survenue', 'something unexpected went wrong'],
    somethingWrong: ['Une erreur inattendue est survenue.', 'Something unexpected went wrong.'],
    fileEmpty: ['{name} est vide.', '{name} is empty.'],
    fileNotPdf: ['{name} n’est pas un document PDF.', '{name} is not a PDF document.'],
    fileDamaged: ['{name} est endommagé et ne peut pas être lu.', '{name} is damaged and cannot be read.'],
    fileCompression: [
        '{name} utilise une compression que cette version ne sait pas lire.',
        '{name} uses a compression this version cannot read.',
    ],
    fileXfa: [
        '{name} est un formulaire XFA, qui ne peut pas être affiché : seule sa page d’attente apparaît.',
        '{name} is an XFA form, which can’t be shown: only its waiting page appears.',
    ],
    password: ['Mot de passe', 'Password'],
    ok: ['OK', 'OK'],
    cancel: ['Annuler', 'Cancel'],
    passwordPrompt: ['{name} est protégé. Mot de passe :', '{name} is protected. Password:'],
    passwordAgain: ['Mot de passe incorrect pour {name}. Réessayez :', 'Wrong password for {name}. Try again:'],
    lockedEncrypted: [
        '« {name} » est protégé par son auteur : vous pouvez le lire et l’imprimer, mais pas le modifier ici.',
        '“{name}” is protected by its author: you can read and print it, but not change it here.',
    ],
    lockedDamaged: [
        '« {name} » est endommagé : vous pouvez le lire et l’imprimer, mais pas le modifier ici.',
        '“{name}” is damaged: you can read and print it, but not change it here.',
    ],
    insertProtected: [
        'Ce PDF est protégé par son auteur : ses pages ne peuvent pas être insérées.',
        'That PDF is protected by its author: its pages cannot be inserted.',
    ],
    insertDamaged: ['Ce PDF est endommagé : ses pages ne peuvent pas être insérées.', 'That PDF is damaged: its pages cannot be inserted.'],
    saveDamaged: [
        'Impossible de produire « {name} » tel qu’il est affiché : une partie de son fichier est illisible.',
        '“{name}” cannot be written as shown: part of its file cannot be read.',
    ],
    nothingToSave: ['Aucune modification à enregistrer', 'No changes to save'],
    saveBreaksSignature: [
        '« {name} » est signé. Sans les pages supprimées, le fichier est réécrit en entier et ses signatures ne seront plus valables. Enregistrer quand même ?',
        '“{name}” is signed. Without the deleted pages the whole file is written anew, and its signatures will no longer be valid. Save anyway?',
    ],
    saveBreaksCertification: [
        '« {name} » est certifié par son auteur : cette modification rendra la certification non valable. Enregistrer quand même ?',
        '“{name}” is certified by its author: this change will make the certification invalid. Save anyway?',
    ],
    saveBreaksUsageRights: [
        '« {name} » donne des droits d’utilisation dans d’autres lecteurs : après cette modification, ils ne vaudront plus. Enregistrer quand même ?',
        '“{name}” grants usage rights in other readers: after this change they will no longer apply. Save anyway?',
    ],
    saveBreaksPdfA: [
        '« {name} » se déclare conforme à PDF/A, mais les pages insérées d’un autre fichier peuvent ne pas l’être : la déclaration ne vaudra peut-être plus. Enregistrer quand même ?',
        '“{name}” declares that it conforms to PDF/A, but the pages inserted from another file may not: the claim may no longer hold. Save anyway?',
    ],
    editFailed: ['La modification a échoué : {why}', 'The change failed: {why}'],
    saved: ['Enregistré : {path}', 'Saved: {path}'],
    saving: ['Enregistrement…', 'Saving…'],
    downloaded: ['{name} téléchargé', '{name} downloaded'],
    discard: [
        '« {name} » a des modifications non enregistrées. Les abandonner ?',
        '“{name}” has unsaved changes. Discard them?',
    ],
    replaceOpen: [
        '« {name} » est déjà ouvert avec des modifications non enregistrées. Le rouvrir depuis le disque ?',
        '“{name}” is already open with unsaved changes. Reopen it from disk?',
    ],
    lastPage: ['Un document garde au moins une page.', 'A document keeps at least one page.'],
    rangePrompt: [
        'Pages à exporter (par ex. 1-3, 5) — {count} au total :',
        'Pages to export (e.g. 1-3, 5) — {count} in all:',
    ],
    badRange: ['Plage de pages invalide : {text}', 'Invalid page range: {text}'],
    exporting: ['Export de la page {n} sur {count}…', 'Exporting page {n} of {count}…'],
    exportReady: ['{count} image(s) prête(s) : choisissez où enregistrer le ZIP', '{count} image(s) ready: choose where to save the ZIP'],
    shareReady: ['Choisissez l’application de partage', 'Choose an application to share with'],
    printing: ['Ouverture de l’impression…', 'Opening the print dialog…'],
    ocrFailed: ['La reconnaissance a échoué : {why}', 'Recognition failed: {why}'],
    ocrImage: ['image illisible', 'unreadable image'],
    inserted: ['{count} page(s) insérée(s)', '{count} page(s) inserted'],
    nothingToUndo: ['Rien à annuler', 'Nothing to undo'],
    undone: ['Modification annulée', 'Change undone'],
    nothingToRedo: ['Rien à rétablir', 'Nothing to redo'],
    redone: ['Modification rétablie', 'Change redone'],
    rotated: ['Page {n} pivotée', 'Page {n} rotated'],
    deleted: ['Page {n} supprimée', 'Page {n} deleted'],
    moved: ['Page déplacée en position {n}', 'Page moved to position {n}'],
    brokenLink: ['Ce lien ne mène à aucune page du document.', 'This link leads to no page of the document.'],
    pages: ['{count} pages', '{count} pages'],
    onePage: ['1 page', '1 page'],
};

// The text for a key in the page's language, with {name} placeholders filled in.
export function t(key, values = {}) {
    const entry = strings[key];
    if (!entry) return key;
    const text = entry[french ? 0 : 1];
    return text.replace(/\{(\w+)\}/g, (whole, name) => (name in values ? String(values[name]) : whole));
}

// Fills the static interface: data-t (text), data-t-title (tooltip and accessible
// name), data-t-placeholder.
export function translateDocument(root = document) {
    // The markup already says so in most cases; setting it anyway would have every
    // style and font worked out again.
    if (document.documentElement.lang !== lang) document.documentElement.lang = lang;
    for (const el of root.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
    for (const el of root.querySelectorAll('[data-t-title]')) {
        el.title = t(el.dataset.tTitle);
        el.setAttribute('aria-label', el.title);
    }
    for (const el of root.querySelectorAll('[data-t-placeholder]')) el.placeholder = t(el.dataset.tPlaceholder);
}

// Where links and outline entries lead. A destination inside the document is resolved
// to a page and a point on it; an address outside goes out as an ordinary link, which
// the shell hands to the desktop. Only the schemes a document may reasonably name are
// let through: a link to the page's own scheme, to data: or to javascript: would
// replace the page, and every open document with it.

const OUTSIDE_SCHEMES = new Set(['http:', 'https:', 'mailto:', 'tel:', 'ftp:']);

// The address as a link may carry it, or null when it must not be followed.
export function outsideAddress(url) {
    if (typeof url !== 'string') return null;
    let parsed;
    try {
        parsed = new URL(url);
    } catch {
        return null;
    }
    return OUTSIDE_SCHEMES.has(parsed.protocol) ? parsed.href : null;
}

// The point an explicit destination ([page, {name: kind}, ...numbers]) names on its
// page, in PDF units; null where the kind leaves that coordinate as it is.
export function destinationPoint(explicit) {
    const kind = explicit?.[1]?.name;
    const args = explicit.slice(2).map((v) => (typeof v === 'number' && Number.isFinite(v) ? v : null));
    switch (kind) {
    case 'XYZ': return { left: args[0] ?? null, top: args[1] ?? null };
    case 'FitH': case 'FitBH': return { left: null, top: args[0] ?? null };
    case 'FitV': case 'FitBV': return { left: args[0] ?? null, top: null };
    case 'FitR': return { left: args[0] ?? null, top: args[3] ?? null };
    default: return { left: null, top: null };
    }
}

// Resolves a named or explicit destination to {pageIndex, left, top}, or null.
export async function resolveDestination(pdf, dest) {
    const explicit = typeof dest === 'string' ? await pdf.getDestination(dest) : dest;
    if (!Array.isArray(explicit) || explicit.length < 2) return null;
    const ref = explicit[0];
    // Some writers name the page by its index rather than by reference.
    const pageIndex = Number.isInteger(ref) ? ref : await pdf.getPageIndex(ref);
    if (!Number.isInteger(pageIndex) || pageIndex < 0 || pageIndex >= pdf.numPages) return null;
    return { pageIndex, ...destinationPoint(explicit) };
}

// What pdf.js's annotation layer asks of the viewer to follow links.
export class LinkService {
    // document(): the pdf.js document shown; currentPage(): its page number in view;
    // goTo({pageIndex, left, top}); broken() when a link leads nowhere.
    constructor({ document, currentPage, goTo, broken }) {
        this.document = document;
        this.currentPage = currentPage;
        this.goTo = goTo;
        this.broken = broken;
        this.eventBus = null;
    }

    addLinkAttributes(link, url) {
        const address = outsideAddress(url);
        if (!address) return;
        link.href = address;
        // As a new window, the shell hands the address to the desktop at once. In this
        // window it would first be loaded, and an address that gets no answer (offline)
        // would put an error page in place of the page and its open documents.
        link.target = '_blank';
        link.rel = 'noopener noreferrer nofollow';
        link.title = address;
    }

    getDestinationHash() {
        return '#';
    }

    getAnchorUrl() {
        return '#';
    }

    async goToDestination(dest) {
        const pdf = this.document();
        let target = null;
        try {
            target = pdf && (await resolveDestination(pdf, dest));
        } catch {
            target = null;
        }
        if (target && pdf === this.document()) this.goTo(target);
        else if (!target) this.broken();
    }

    // The page-turning actions; the others (print, find, full screen...) are the
    // toolbar's to offer.
    executeNamedAction(action) {
        const count = this.document()?.numPages ?? 0;
        const page = { NextPage: this.currentPage() + 1, PrevPage: this.currentPage() - 1, FirstPage: 1, LastPage: count }[action];
        if (page >= 1 && page <= count) this.goTo({ pageIndex: page - 1, left: null, top: null, shown: true });
    }

    executeSetOCGState() {}

    async getAttachmentContent() {
        return null;
    }
}

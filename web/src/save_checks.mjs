// What the user is told before a save, and why a document cannot be changed here: in
// plain words, never a library's message.

import { Locked } from './document.mjs';
import { t } from './i18n.mjs';

export function lockedReason(doc) {
    return t(doc.locked === Locked.encrypted ? 'lockedEncrypted' : 'lockedDamaged', { name: doc.name });
}

// Asks before a save that would make a signature, a certification, usage rights or a
// PDF/A claim invalid; true when the save may go ahead.
export async function confirmSave(doc, output) {
    if (output.unchanged) return true;
    const { signed, certified, usageRights, pdfa } = await doc.protections();
    if (output.whole && signed) return confirm(t('saveBreaksSignature', { name: doc.name }));
    if (certified) return confirm(t('saveBreaksCertification', { name: doc.name }));
    if (usageRights) return confirm(t('saveBreaksUsageRights', { name: doc.name }));
    if (pdfa && output.inserted) return confirm(t('saveBreaksPdfA', { name: doc.name }));
    return true;
}

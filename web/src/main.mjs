// Entry point of the page.

import { App } from './app.mjs';
import { guardUnsavedWork } from './leave_guard.mjs';
import { t } from './i18n.mjs';

const app = new App();
window.addEventListener('unhandledrejection', (event) => {
    console.error(event.reason);
    app.toasts.show(t('somethingWrong'), 'error');
});
guardUnsavedWork(window, () => app.docs.some((doc) => doc.dirty));
app.start();

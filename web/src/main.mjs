// Entry point of the page.

import { App } from './app.mjs';
import { t } from './i18n.mjs';

const app = new App();
window.addEventListener('unhandledrejection', (event) => {
    console.error(event.reason);
    app.toasts.show(t('somethingWrong'), 'error');
});
app.start();

// Entry point of the page.

import { App } from './app.mjs';
import { guardUnsavedWork } from './leave_guard.mjs';

const app = new App();
window.addEventListener('unhandledrejection', (event) => {
    console.error(event.reason);
    app.toasts.show(String(event.reason?.message ?? event.reason), 'error');
});
guardUnsavedWork(window, () => app.docs.some((doc) => doc.dirty));
app.start();

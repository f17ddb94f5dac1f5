// Entry point of the page.

import { App } from './app.mjs';

const app = new App();
window.addEventListener('unhandledrejection', (event) => {
    console.error(event.reason);
    app.toasts.show(String(event.reason?.message ?? event.reason), 'error');
});
app.start();

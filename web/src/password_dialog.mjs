// Asks for a document's password in the page's own dialog, where the field can hide
// what is typed (the shell's prompt shows it in clear). Resolves with the password,
// or null when the user gives up.

const $ = (id) => document.getElementById(id);

export function askPassword(message) {
    const dialog = $('password-dialog');
    const form = dialog.querySelector('form');
    const input = $('password-input');
    $('password-message').textContent = message;
    input.value = '';
    return new Promise((resolve) => {
        const controller = new AbortController();
        const finish = (answer) => {
            controller.abort();
            input.value = '';
            dialog.close();
            resolve(answer);
        };
        const { signal } = controller;
        form.addEventListener('submit', (event) => {
            event.preventDefault();
            finish(input.value);
        }, { signal });
        $('password-cancel').addEventListener('click', () => finish(null), { signal });
        // Escape
        dialog.addEventListener('cancel', (event) => {
            event.preventDefault();
            finish(null);
        }, { signal });
        dialog.showModal();
        input.focus();
    });
}

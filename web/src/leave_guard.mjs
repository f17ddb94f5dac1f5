// Leaving the page (closing the window, quitting, a reload) with unsaved changes asks
// first: the browser, or the desktop shell, puts the question to the user.

export function guardUnsavedWork(target, hasUnsavedWork) {
    target.addEventListener('beforeunload', (event) => {
        if (!hasUnsavedWork()) return;
        event.preventDefault();
        // Engines that predate preventDefault() here ask only when the return value is
        // set to some text; the text itself is never shown.
        event.returnValue = 'unsaved';
    });
}

#include "platform/gtk/gtk_panels.h"

#include <utility>

#include <gtk/gtk.h>

#include "common/language.h"
#include "platform/gtk/application_window.h"
#include "platform/gtk/gobject_ptr.h"

namespace pw::gtk {

namespace {

// --- File choosers ---------------------------------------------------------------

GtkFileFilter* makeFilter(FileFilter filter)
{
    const char* mimeType = nullptr;
    std::string name;
    switch (filter) {
    case FileFilter::Any:
        return nullptr;
    case FileFilter::Pdf:
        mimeType = "application/pdf";
        name = tr("Documents PDF", "PDF documents");
        break;
    case FileFilter::Image:
        mimeType = "image/*";
        name = tr("Images", "Images");
        break;
    case FileFilter::Zip:
        mimeType = "application/zip";
        name = tr("Archives ZIP", "ZIP archives");
        break;
    }
    GtkFileFilter* fileFilter = gtk_file_filter_new();
    gtk_file_filter_set_name(fileFilter, name.c_str());
    gtk_file_filter_add_mime_type(fileFilter, mimeType);
    return fileFilter;
}

// The one filter, so that nothing else can be chosen; no filter offers every file. A
// new filter is floating: the chooser takes it.
void restrictTo(GtkFileChooser* chooser, FileFilter filter)
{
    if (GtkFileFilter* fileFilter = makeFilter(filter)) {
        gtk_file_chooser_add_filter(chooser, fileFilter);
        gtk_file_chooser_set_filter(chooser, fileFilter);
    }
}

// A chooser is no widget: it is held by reference, and lives as long as one is held.
GObjectPtr<GtkFileChooserNative> makeChooser(const std::string& title, GtkFileChooserAction action,
                                             const std::string& acceptLabel)
{
    auto chooser = GObjectPtr<GtkFileChooserNative>::adopt(gtk_file_chooser_native_new(
        title.c_str(), activeApplicationWindow(), action, acceptLabel.c_str(), tr("_Annuler", "_Cancel").c_str()));
    // Paths are what the bridge works with: no remote locations.
    gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser.get()), TRUE);
    return chooser;
}

GObjectPtr<GtkFileChooserNative> makeOpenChooser(const OpenPanelRequest& request)
{
    // An open chooser picks files only, never folders.
    auto chooser = makeChooser(tr("Ouvrir", "Open"), GTK_FILE_CHOOSER_ACTION_OPEN, tr("_Ouvrir", "_Open"));
    gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser.get()), request.multiple);
    restrictTo(GTK_FILE_CHOOSER(chooser.get()), request.filter);
    return chooser;
}

GObjectPtr<GtkFileChooserNative> makeSaveChooser(const SavePanelRequest& request)
{
    const std::string title = request.message.empty() ? tr("Enregistrer", "Save") : request.message;
    auto chooser = makeChooser(title, GTK_FILE_CHOOSER_ACTION_SAVE, tr("_Enregistrer", "_Save"));
    GtkFileChooser* fileChooser = GTK_FILE_CHOOSER(chooser.get());
    gtk_file_chooser_set_do_overwrite_confirmation(fileChooser, TRUE);
    gtk_file_chooser_set_create_folders(fileChooser, request.canCreateFolders);
    if (request.directory) gtk_file_chooser_set_current_folder(fileChooser, request.directory->c_str());
    gtk_file_chooser_set_current_name(fileChooser, request.name.c_str());
    restrictTo(fileChooser, request.filter);
    return chooser;
}

std::vector<std::string> chosenFiles(GtkFileChooser* chooser)
{
    std::vector<std::string> paths;
    const GStringListPtr names(gtk_file_chooser_get_filenames(chooser));
    for (GSList* item = names.get(); item; item = item->next) paths.emplace_back(static_cast<const char*>(item->data));
    return paths;
}

ChosenPaths openAnswer(GtkFileChooserNative* chooser, gint response)
{
    if (response != GTK_RESPONSE_ACCEPT) return std::nullopt;
    return chosenFiles(GTK_FILE_CHOOSER(chooser));
}

std::optional<std::string> saveAnswer(GtkFileChooserNative* chooser, gint response)
{
    if (response != GTK_RESPONSE_ACCEPT) return std::nullopt;
    const GCharPtr name(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser)));
    if (!name) return std::nullopt;
    return std::string(name.get());
}

using Answered = std::function<void(GtkFileChooserNative*, gint)>;

void onChooserResponse(GtkNativeDialog* dialog, gint response, gpointer data)
{
    // The reference it was shown with, let go once it has answered; the signal
    // emission holds its own meanwhile.
    const auto shown = GObjectPtr<GtkNativeDialog>::adopt(dialog);
    (*static_cast<Answered*>(data))(GTK_FILE_CHOOSER_NATIVE(dialog), response);
}

// Shows the chooser without blocking. It stays alive until it answers, and the
// answer runs `answered` once.
void showWithoutBlocking(GObjectPtr<GtkFileChooserNative> chooser, Answered answered)
{
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser.get()), FALSE);
    g_signal_connect_data(
        chooser.get(), "response", G_CALLBACK(onChooserResponse), new Answered(std::move(answered)),
        [](gpointer data, GClosure*) { delete static_cast<Answered*>(data); }, GConnectFlags(0));
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser.get()));
    // From here the chooser holds itself until its answer (onChooserResponse).
    static_cast<void>(chooser.release());
}

// --- Alerts ----------------------------------------------------------------------

GtkWidget* makeAlert(GtkMessageType type, const std::string& message, const std::string& info)
{
    GtkWidget* dialog = gtk_message_dialog_new(activeApplicationWindow(), GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE,
                                               "%s", message.c_str());
    if (!info.empty()) gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", info.c_str());
    return dialog;
}

// The first button is the default one and sits at the far end, where GTK puts the
// affirmative answer; the second, when given, sits before it.
void addButtons(GtkWidget* dialog, const std::string& first, const std::string* second)
{
    if (second) gtk_dialog_add_button(GTK_DIALOG(dialog), second->c_str(), GTK_RESPONSE_CANCEL);
    gtk_dialog_add_button(GTK_DIALOG(dialog), first.c_str(), GTK_RESPONSE_OK);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
}

// Runs the alert in its own modal loop; true when the first button closed it (closing
// the window or Escape counts as the other answer). The caller destroys it.
bool runAlert(GtkWidget* dialog)
{
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    return response == GTK_RESPONSE_OK;
}

}  // namespace

void GtkPanels::beginOpen(const OpenPanelRequest& request, std::function<void(ChosenPaths)> done)
{
    showWithoutBlocking(makeOpenChooser(request), [done = std::move(done)](GtkFileChooserNative* chooser,
                                                                           gint response) {
        done(openAnswer(chooser, response));
    });
}

ChosenPaths GtkPanels::runOpen(const OpenPanelRequest& request)
{
    const auto chooser = makeOpenChooser(request);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser.get()), TRUE);
    const gint response = gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser.get()));
    return openAnswer(chooser.get(), response);
}

void GtkPanels::beginSave(const SavePanelRequest& request, std::function<void(std::optional<std::string>)> done)
{
    showWithoutBlocking(makeSaveChooser(request), [done = std::move(done)](GtkFileChooserNative* chooser,
                                                                           gint response) {
        done(saveAnswer(chooser, response));
    });
}

void GtkPanels::alert(const std::string& message, const std::string& info)
{
    GtkWidget* dialog = makeAlert(GTK_MESSAGE_INFO, message, info);
    addButtons(dialog, "OK", nullptr);
    runAlert(dialog);
    gtk_widget_destroy(dialog);
}

bool GtkPanels::confirm(const std::string& message, const std::string& firstButton, const std::string& secondButton)
{
    GtkWidget* dialog = makeAlert(GTK_MESSAGE_QUESTION, message, {});
    addButtons(dialog, firstButton, &secondButton);
    const bool first = runAlert(dialog);
    gtk_widget_destroy(dialog);
    return first;
}

bool GtkPanels::confirmLoss(const std::string& message, const std::string& loseButton, const std::string& keepButton)
{
    GtkWidget* dialog = makeAlert(GTK_MESSAGE_WARNING, message, {});
    addButtons(dialog, loseButton, &keepButton);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    GtkWidget* lose = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_style_context_add_class(gtk_widget_get_style_context(lose), "destructive-action");
    const bool lost = runAlert(dialog);
    gtk_widget_destroy(dialog);
    return lost;
}

std::optional<std::string> GtkPanels::prompt(const std::string& message, const std::string& defaultText,
                                             const std::string& firstButton, const std::string& secondButton)
{
    GtkWidget* dialog = makeAlert(GTK_MESSAGE_QUESTION, message, {});
    addButtons(dialog, firstButton, &secondButton);

    GtkWidget* entry = gtk_entry_new();
    gtk_widget_set_size_request(entry, 280, 24);
    gtk_widget_set_halign(entry, GTK_ALIGN_CENTER);
    gtk_entry_set_text(GTK_ENTRY(entry), defaultText.c_str());
    // Return in the field answers with the first button, as in a browser's prompt.
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), entry, FALSE, FALSE, 0);
    gtk_widget_show(entry);

    std::optional<std::string> text;
    if (runAlert(dialog)) text = gtk_entry_get_text(GTK_ENTRY(entry));
    gtk_widget_destroy(dialog);
    return text;
}

}  // namespace pw::gtk

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "common/language.h"
#include "platform/gtk/gtk_panels.h"
#include "tests/fakes/temp_dir.h"
#include "tests/integration/harness.h"

namespace pw {
namespace {

using testing::TempDir;
using testing::waitUntil;

// Acts on the first visible window of the given kind as soon as it shows, from inside
// whatever loop is running then (a modal dialog runs its own).
template <typename Act>
void whenShown(GType kind, Act act)
{
    struct Watch {
        GType kind;
        Act act;
        gint64 deadline;
    };
    auto* watch = new Watch{kind, std::move(act), g_get_monotonic_time() + 10 * G_USEC_PER_SEC};
    g_timeout_add(20, +[](gpointer data) -> gboolean {
        auto* w = static_cast<Watch*>(data);
        GList* windows = gtk_window_list_toplevels();
        GtkWindow* found = nullptr;
        for (GList* item = windows; item && !found; item = item->next) {
            auto* window = GTK_WINDOW(item->data);
            if (G_TYPE_CHECK_INSTANCE_TYPE(window, w->kind) && gtk_widget_get_visible(GTK_WIDGET(window)))
                found = window;
        }
        g_list_free(windows);
        if (found) w->act(found);
        if (found || g_get_monotonic_time() > w->deadline) {
            delete w;
            return G_SOURCE_REMOVE;
        }
        return G_SOURCE_CONTINUE;
    }, watch);
}

std::string buttonLabel(GtkWindow* dialog, gint response)
{
    GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response);
    return button ? gtk_button_get_label(GTK_BUTTON(button)) : "<none>";
}

void press(GtkWindow* dialog, gint response)
{
    gtk_button_clicked(GTK_BUTTON(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response)));
}

// A file chooser ignores its buttons until it has settled (its folder loaded), and
// gives no sign of that: press until it closes.
void pressUntilClosed(GtkWindow* dialog, gint response)
{
    g_object_ref(dialog);
    for (int attempt = 0; attempt < 20 && gtk_widget_get_visible(GTK_WIDGET(dialog)); ++attempt) {
        press(dialog, response);
        waitUntil([&] { return !gtk_widget_get_visible(GTK_WIDGET(dialog)); }, 0.5);
    }
    g_object_unref(dialog);
}

GtkEntry* findEntry(GtkWidget* widget)
{
    if (GTK_IS_ENTRY(widget)) return GTK_ENTRY(widget);
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GtkEntry* found = nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* item = children; item && !found; item = item->next) found = findEntry(GTK_WIDGET(item->data));
    g_list_free(children);
    return found;
}

std::string textOf(GtkWindow* dialog, const char* property)
{
    gchar* text = nullptr;
    g_object_get(dialog, property, &text, nullptr);
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

class GtkPanelsTest : public ::testing::Test {
protected:
    void TearDown() override { setFrench(false); }
    gtk::GtkPanels panels;
};

TEST_F(GtkPanelsTest, PromptShowsTheDefaultTextAndGivesBackWhatWasTyped)
{
    struct Seen {
        std::string message, first, second, initial;
        int width = 0, height = 0;
    } seen;
    whenShown(GTK_TYPE_MESSAGE_DIALOG, [&](GtkWindow* dialog) {
        seen.message = textOf(dialog, "text");
        seen.first = buttonLabel(dialog, GTK_RESPONSE_OK);
        seen.second = buttonLabel(dialog, GTK_RESPONSE_CANCEL);
        GtkEntry* entry = findEntry(GTK_WIDGET(dialog));
        ASSERT_NE(entry, nullptr);
        seen.initial = gtk_entry_get_text(entry);
        gtk_widget_get_size_request(GTK_WIDGET(entry), &seen.width, &seen.height);
        gtk_entry_set_text(entry, "typed é");
        press(dialog, GTK_RESPONSE_OK);
    });
    EXPECT_EQ(panels.prompt("Your name?", "Ada", "OK", "Annuler"), "typed é");
    EXPECT_EQ(seen.message, "Your name?");
    EXPECT_EQ(seen.first, "OK");
    EXPECT_EQ(seen.second, "Annuler");
    EXPECT_EQ(seen.initial, "Ada");
    EXPECT_EQ(seen.width, 280);
    EXPECT_EQ(seen.height, 24);
}

TEST_F(GtkPanelsTest, PromptAnswersEmptyWithAnEmptiedFieldAndNothingWhenCancelled)
{
    whenShown(GTK_TYPE_MESSAGE_DIALOG, [](GtkWindow* dialog) {
        gtk_entry_set_text(findEntry(GTK_WIDGET(dialog)), "");
        press(dialog, GTK_RESPONSE_OK);
    });
    EXPECT_EQ(panels.prompt("?", "something", "OK", "Cancel"), "");

    whenShown(GTK_TYPE_MESSAGE_DIALOG, [](GtkWindow* dialog) { press(dialog, GTK_RESPONSE_CANCEL); });
    EXPECT_EQ(panels.prompt("?", "something", "OK", "Cancel"), std::nullopt);

    // Closing the window is no answer either.
    whenShown(GTK_TYPE_MESSAGE_DIALOG,
              [](GtkWindow* dialog) { gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT); });
    EXPECT_EQ(panels.prompt("?", "", "OK", "Cancel"), std::nullopt);
}

TEST_F(GtkPanelsTest, ConfirmIsTrueOnlyForTheFirstButton)
{
    whenShown(GTK_TYPE_MESSAGE_DIALOG, [](GtkWindow* dialog) { press(dialog, GTK_RESPONSE_OK); });
    EXPECT_TRUE(panels.confirm("Sure?", "OK", "Cancel"));
    whenShown(GTK_TYPE_MESSAGE_DIALOG, [](GtkWindow* dialog) { press(dialog, GTK_RESPONSE_CANCEL); });
    EXPECT_FALSE(panels.confirm("Sure?", "OK", "Cancel"));
    whenShown(GTK_TYPE_MESSAGE_DIALOG,
              [](GtkWindow* dialog) { gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT); });
    EXPECT_FALSE(panels.confirm("Sure?", "OK", "Cancel"));
}

TEST_F(GtkPanelsTest, ConfirmingALossKeepsOnReturnAndLosesOnlyOnItsOwnButton)
{
    whenShown(GTK_TYPE_MESSAGE_DIALOG, [](GtkWindow* dialog) { gtk_window_activate_default(dialog); });
    EXPECT_FALSE(panels.confirmLoss("Lose it?", "Quit", "Cancel"));
    whenShown(GTK_TYPE_MESSAGE_DIALOG, [](GtkWindow* dialog) {
        EXPECT_EQ(buttonLabel(dialog, GTK_RESPONSE_OK), "Quit");
        press(dialog, GTK_RESPONSE_OK);
    });
    EXPECT_TRUE(panels.confirmLoss("Lose it?", "Quit", "Cancel"));
}

TEST_F(GtkPanelsTest, AlertShowsTitleInformationAndOneButton)
{
    std::string message, info, cancel;
    whenShown(GTK_TYPE_MESSAGE_DIALOG, [&](GtkWindow* dialog) {
        message = textOf(dialog, "text");
        info = textOf(dialog, "secondary-text");
        cancel = buttonLabel(dialog, GTK_RESPONSE_CANCEL);
        press(dialog, GTK_RESPONSE_OK);
    });
    panels.alert("Could not save", "No space left on device");
    EXPECT_EQ(message, "Could not save");
    EXPECT_EQ(info, "No space left on device");
    EXPECT_EQ(cancel, "<none>");
}

TEST_F(GtkPanelsTest, SavePanelProposesNameFolderAndTypeAndAnswersLater)
{
    setFrench(true);
    TempDir dir;
    struct Seen {
        std::string title, name, filter;
        bool overwriteConfirmation = false, createFolders = false;
        int filters = 0;
    } seen;
    whenShown(GTK_TYPE_FILE_CHOOSER_DIALOG, [&](GtkWindow* dialog) {
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        seen.title = gtk_window_get_title(dialog);
        gchar* name = gtk_file_chooser_get_current_name(chooser);
        seen.name = name ? name : "";
        g_free(name);
        seen.overwriteConfirmation = gtk_file_chooser_get_do_overwrite_confirmation(chooser);
        seen.createFolders = gtk_file_chooser_get_create_folders(chooser);
        GSList* filters = gtk_file_chooser_list_filters(chooser);
        seen.filters = static_cast<int>(g_slist_length(filters));
        g_slist_free(filters);
        if (GtkFileFilter* filter = gtk_file_chooser_get_filter(chooser)) seen.filter = gtk_file_filter_get_name(filter);
        gtk_file_chooser_set_current_name(chooser, "chosen.zip");
        pressUntilClosed(dialog, GTK_RESPONSE_ACCEPT);
    });

    std::optional<std::optional<std::string>> answer;
    SavePanelRequest request;
    request.name = "pages.zip";
    request.filter = FileFilter::Zip;
    request.message = "Choisissez le dossier et le nom du fichier";
    request.directory = dir.path();
    panels.beginSave(request, [&](std::optional<std::string> path) { answer = path; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }, 15));

    // Only the name was typed: the panel started in the folder asked for.
    EXPECT_EQ(*answer, dir.path() + "/chosen.zip");
    EXPECT_EQ(seen.title, "Choisissez le dossier et le nom du fichier");
    EXPECT_EQ(seen.name, "pages.zip");
    EXPECT_TRUE(seen.overwriteConfirmation);
    EXPECT_TRUE(seen.createFolders);
    EXPECT_EQ(seen.filters, 1);
    EXPECT_EQ(seen.filter, "Archives ZIP");
}

TEST_F(GtkPanelsTest, OpenPanelsOfferFilesOfTheChosenTypeAndReportCancelling)
{
    struct Seen {
        GtkFileChooserAction action = GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
        bool multiple = false;
        int filters = -1;
    };
    auto inspectAndCancel = [](Seen& seen) {
        return [&seen](GtkWindow* dialog) {
            GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
            seen.action = gtk_file_chooser_get_action(chooser);
            seen.multiple = gtk_file_chooser_get_select_multiple(chooser);
            GSList* filters = gtk_file_chooser_list_filters(chooser);
            seen.filters = static_cast<int>(g_slist_length(filters));
            g_slist_free(filters);
            pressUntilClosed(dialog, GTK_RESPONSE_CANCEL);
        };
    };

    Seen free;
    whenShown(GTK_TYPE_FILE_CHOOSER_DIALOG, inspectAndCancel(free));
    int answers = 0;
    ChosenPaths answer = std::vector<std::string>{"untouched"};
    panels.beginOpen({FileFilter::Image, true}, [&](ChosenPaths paths) {
        answer = std::move(paths);
        ++answers;
    });
    ASSERT_TRUE(waitUntil([&] { return answers > 0; }, 15));
    EXPECT_EQ(answer, std::nullopt);
    EXPECT_EQ(free.action, GTK_FILE_CHOOSER_ACTION_OPEN);
    EXPECT_TRUE(free.multiple);
    EXPECT_EQ(free.filters, 1);

    Seen modal;
    whenShown(GTK_TYPE_FILE_CHOOSER_DIALOG, inspectAndCancel(modal));
    EXPECT_EQ(panels.runOpen({FileFilter::Any, false}), std::nullopt);
    EXPECT_EQ(modal.action, GTK_FILE_CHOOSER_ACTION_OPEN);
    EXPECT_FALSE(modal.multiple);
    EXPECT_EQ(modal.filters, 0);

    // Each answer came once, and no dialog stays behind.
    waitUntil([] { return false; }, 0.2);
    EXPECT_EQ(answers, 1);
}

TEST_F(GtkPanelsTest, OpenPanelHandsBackTheChosenFiles)
{
    TempDir dir;
    const std::string file = dir.write("a.pdf", "%PDF-1.4");
    whenShown(GTK_TYPE_FILE_CHOOSER_DIALOG, [&](GtkWindow* dialog) {
        // The selection takes once the folder has loaded.
        gtk_file_chooser_select_filename(GTK_FILE_CHOOSER(dialog), file.c_str());
        waitUntil([&] {
            gchar* selected = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
            const bool ready = selected && file == selected;
            g_free(selected);
            return ready;
        }, 10);
        pressUntilClosed(dialog, GTK_RESPONSE_ACCEPT);
    });
    EXPECT_EQ(panels.runOpen({FileFilter::Pdf, false}), ChosenPaths(std::vector<std::string>{file}));
}

}  // namespace
}  // namespace pw

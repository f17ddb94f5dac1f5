#include <optional>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "platform/gtk/gtk_workspace.h"
#include "tests/fakes/temp_dir.h"
#include "tests/integration/harness.h"

namespace pw {
namespace {

using testing::waitUntil;

// A recent-documents list of the test's own, so the user's list is never touched.
class GtkWorkspaceTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    GtkRecentManager* recent = GTK_RECENT_MANAGER(
        g_object_new(GTK_TYPE_RECENT_MANAGER, "filename", (dir.path() + "/recently-used.xbel").c_str(), nullptr));
    gtk::GtkWorkspace workspace{recent};

    ~GtkWorkspaceTest() override { g_object_unref(recent); }

    static std::string uriOf(const std::string& path)
    {
        gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
        std::string text = uri ? uri : "";
        g_free(uri);
        return text;
    }

    // The item's MIME type; nullopt while the list does not hold it.
    std::optional<std::string> mimeTypeOf(const std::string& path) const
    {
        GtkRecentInfo* info = gtk_recent_manager_lookup_item(recent, uriOf(path).c_str(), nullptr);
        if (!info) return std::nullopt;
        std::string type = gtk_recent_info_get_mime_type(info);
        gtk_recent_info_unref(info);
        return type;
    }
};

TEST_F(GtkWorkspaceTest, UUIDsAreFreshAndUpperCase)
{
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const auto uuid = workspace.makeUUID();
        EXPECT_TRUE(std::regex_match(uuid, form)) << uuid;
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST_F(GtkWorkspaceTest, NotedFilesReachTheRecentDocumentsWithTheirType)
{
    const auto pdf = dir.write("r\u00e9sum\u00e9 #1.pdf", "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    const auto odd = dir.write("bad\xff name.pdf", "%PDF-1.4\n");
    workspace.noteRecentDocument(pdf);
    workspace.noteRecentDocument(odd);
    workspace.noteRecentDocument("relative.pdf");  // no URI for it: ignored

    ASSERT_TRUE(waitUntil([&] { return mimeTypeOf(pdf) && mimeTypeOf(odd); }));
    EXPECT_EQ(mimeTypeOf(pdf), "application/pdf");

    // The list is saved for other programs to read.
    EXPECT_TRUE(waitUntil([&] {
        return testing::TempDir::read(dir.path() + "/recently-used.xbel").find(uriOf(pdf)) != std::string::npos;
    }));
}

TEST_F(GtkWorkspaceTest, ShareOffersApplicationsForTheFilesTypeAndCancelLeavesTheFile)
{
    const auto pdf = dir.write("shared.pdf", "%PDF-1.4\n");
    workspace.share(pdf);

    GtkWidget* chooser = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        GList* windows = gtk_window_list_toplevels();
        for (GList* w = windows; w; w = w->next)
            if (GTK_IS_APP_CHOOSER_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)))
                chooser = GTK_WIDGET(w->data);
        g_list_free(windows);
        if (!chooser) return false;
        gchar* type = gtk_app_chooser_get_content_type(GTK_APP_CHOOSER(chooser));
        const bool known = type && std::string(type) == "application/pdf";
        g_free(type);
        return known;
    }));

    GtkWidget* const dialog = chooser;
    bool destroyed = false;
    g_signal_connect_swapped(dialog, "destroy", G_CALLBACK(+[](bool* flag) { *flag = true; }), &destroyed);
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    EXPECT_TRUE(waitUntil([&] { return destroyed; }));
    EXPECT_EQ(testing::TempDir::read(pdf), "%PDF-1.4\n");
}

}  // namespace
}  // namespace pw

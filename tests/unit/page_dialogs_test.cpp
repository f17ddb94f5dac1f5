#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/language.h"
#include "tests/fakes/fake_platform.h"

namespace pw {
namespace {

using testing::BridgeFixture;

class PageDialogs : public ::testing::Test {
protected:
    void TearDown() override { setFrench(false); }

    // Opens the page's file input and answers it at once with `answer`; returns what
    // the page received.
    ChosenPaths openFileInput(bool multiple, ChosenPaths answer)
    {
        ChosenPaths received = std::vector<std::string>{"not answered"};
        int calls = 0;
        f.bridge->runOpenPanel(multiple, [&](ChosenPaths paths) {
            received = std::move(paths);
            ++calls;
        });
        f.panels->answerOpen(std::move(answer));
        EXPECT_EQ(calls, 1);
        return received;
    }

    BridgeFixture f;
};

TEST_F(PageDialogs, FilterAppliesToTheNextFileInputOnly)
{
    f.bridge->nextFilter = "image";
    openFileInput(false, std::nullopt);
    EXPECT_EQ(f.bridge->nextFilter, "");
    openFileInput(false, std::nullopt);
    f.bridge->nextFilter = "pdf";
    openFileInput(true, std::nullopt);
    openFileInput(true, std::nullopt);

    ASSERT_EQ(f.panels->openRequests.size(), 4u);
    EXPECT_EQ(f.panels->openRequests[0].filter, FileFilter::Image);
    EXPECT_EQ(f.panels->openRequests[1].filter, FileFilter::Any);
    EXPECT_EQ(f.panels->openRequests[2].filter, FileFilter::Pdf);
    EXPECT_EQ(f.panels->openRequests[3].filter, FileFilter::Any);
    EXPECT_FALSE(f.panels->openRequests[0].multiple);
    EXPECT_TRUE(f.panels->openRequests[2].multiple);
}

TEST_F(PageDialogs, OnlyExactFilterNamesRestrictTheInput)
{
    for (const char* other : {"PDF", "Image", "images", " pdf", "zip", ""}) {
        f.bridge->nextFilter = other;
        openFileInput(false, std::nullopt);
        EXPECT_EQ(f.panels->openRequests.back().filter, FileFilter::Any) << other;
        EXPECT_EQ(f.bridge->nextFilter, "");
    }
}

TEST_F(PageDialogs, FileInputHandsBackTheChoiceWithoutReadingIt)
{
    const std::vector<std::string> chosen{"/docs/a.pdf", "/docs/b.png"};
    EXPECT_EQ(openFileInput(true, chosen), ChosenPaths(chosen));
    EXPECT_EQ(openFileInput(false, std::nullopt), std::nullopt);
    // Neither queued for the page, nor remembered.
    EXPECT_EQ(f.queue->drain(), 0);
    EXPECT_TRUE(f.view->scripts.empty());
    EXPECT_TRUE(f.bridge->recents().empty());
    // The panel is not modal.
    EXPECT_EQ(f.panels->modalOpens, 0);
}

TEST_F(PageDialogs, AlertShowsThePageMessage)
{
    f.bridge->runAlert("Saved \"x\"\nline two");
    ASSERT_EQ(f.panels->alerts.size(), 1u);
    EXPECT_EQ(f.panels->alerts[0].message, "Saved \"x\"\nline two");
    EXPECT_EQ(f.panels->alerts[0].info, "");
}

TEST_F(PageDialogs, ConfirmAnswersInEitherLanguage)
{
    for (bool french : {false, true}) {
        setFrench(french);
        f.panels->confirmAnswer = true;
        EXPECT_TRUE(f.bridge->runConfirm("Delete?"));
        f.panels->confirmAnswer = false;
        EXPECT_FALSE(f.bridge->runConfirm("Delete?"));
    }
    ASSERT_EQ(f.panels->dialogs.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(f.panels->dialogs[i].message, "Delete?");
        EXPECT_EQ(f.panels->dialogs[i].first, "OK");
    }
    EXPECT_EQ(f.panels->dialogs[0].second, "Cancel");
    EXPECT_EQ(f.panels->dialogs[2].second, "Annuler");
}

TEST_F(PageDialogs, PromptAnswersInEitherLanguage)
{
    setFrench(true);
    f.panels->promptAnswer = "typed";
    EXPECT_EQ(f.bridge->runPrompt("Name?", std::string("default")), "typed");
    f.panels->promptAnswer = "";
    EXPECT_EQ(f.bridge->runPrompt("Name?", std::nullopt), "");
    setFrench(false);
    f.panels->promptAnswer = std::nullopt;
    EXPECT_EQ(f.bridge->runPrompt("Name?", std::string("")), std::nullopt);

    ASSERT_EQ(f.panels->dialogs.size(), 3u);
    EXPECT_EQ(f.panels->dialogs[0].first, "OK");
    EXPECT_EQ(f.panels->dialogs[0].second, "Annuler");
    EXPECT_EQ(f.panels->dialogs[2].second, "Cancel");
    EXPECT_EQ(f.panels->promptDefaults, (std::vector<std::string>{"default", "", ""}));
}

TEST_F(PageDialogs, LeavingQuestionsAreTheShellsOwnAndPassTheAnswerOn)
{
    using Dialog = testing::FakePanels::Dialog;
    setFrench(true);
    f.panels->confirmAnswer = false;
    EXPECT_FALSE(f.bridge->runBeforeUnloadConfirm(true));
    EXPECT_FALSE(f.bridge->runBeforeUnloadConfirm(false));
    EXPECT_FALSE(f.bridge->runNotRespondingConfirm());
    setFrench(false);
    f.panels->confirmAnswer = true;
    EXPECT_TRUE(f.bridge->runBeforeUnloadConfirm(true));
    EXPECT_TRUE(f.bridge->runBeforeUnloadConfirm(false));
    EXPECT_TRUE(f.bridge->runNotRespondingConfirm());

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Des modifications ne sont pas enregistrées. Quitter quand même ?", "Quitter"},
        {"Des modifications ne sont pas enregistrées. Quitter la page quand même ?", "Quitter la page"},
        {"La page ne répond pas. Fermer quand même ? Les modifications non enregistrées seront perdues.", "Fermer"},
        {"Some changes are not saved. Quit anyway?", "Quit"},
        {"Some changes are not saved. Leave the page anyway?", "Leave"},
        {"The page is not responding. Close anyway? Unsaved changes will be lost.", "Close"},
    };
    ASSERT_EQ(f.panels->dialogs.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Dialog& dialog = f.panels->dialogs[i];
        EXPECT_EQ(dialog.message, expected[i].first);
        EXPECT_EQ(dialog.first, expected[i].second);
        EXPECT_EQ(dialog.second, i < 3 ? "Annuler" : "Cancel");
    }
}

}  // namespace
}  // namespace pw

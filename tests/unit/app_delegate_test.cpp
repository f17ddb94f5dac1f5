#include <gtest/gtest.h>

#include <set>

#include "app/app_constants.h"
#include "app/app_delegate.h"
#include "app/window_frame.h"
#include "app/window_title.h"
#include "bridge/app_page.h"
#include "common/language.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_shell.h"

namespace pw::testing {
namespace {

struct Launched : BridgeFixture {
    FakeShell shell;
    std::shared_ptr<AppDelegate> delegate;

    Launched() { delegate = std::make_shared<AppDelegate>(shell, bridge, preferences, "/srv/web"); }
    void launch() { delegate->applicationDidFinishLaunching(); }
    // Finds a command by its title in any menu.
    const MenuCommand* command(const std::string& title) const
    {
        for (const auto& menu : shell.window->menus)
            for (const auto& item : menu.items)
                if (item && item->title == title) return &*item;
        return nullptr;
    }
};

TEST(WindowTitle, TrimsWhiteSpaceAndFallsBackToTheApplicationName)
{
    EXPECT_EQ(windowTitle(std::nullopt), "Pagewick");
    EXPECT_EQ(windowTitle(""), "Pagewick");
    EXPECT_EQ(windowTitle(" \t\n\r "), "Pagewick");
    EXPECT_EQ(windowTitle("\u00a0\u2028 \u3000"), "Pagewick");
    EXPECT_EQ(windowTitle("  Report.pdf \n"), "Report.pdf");
    EXPECT_EQ(windowTitle("\u00a0Été 2024\u2029"), "Été 2024");
    EXPECT_EQ(windowTitle("a  b"), "a  b");
    // Broken UTF-8 is not white space and is kept as it came.
    EXPECT_EQ(windowTitle(" \xff "), "\xff");
}

TEST(AppDelegate, ConfiguresTheWebViewAndLoadsThePage)
{
    Launched app;
    app.launch();
    const auto& c = app.shell.configuration;
    EXPECT_EQ(c.applicationName, "pagewick-mac");
    EXPECT_EQ(c.messageHandlerName, "pagewick");
    EXPECT_EQ(c.scheme, "pagewick");
    EXPECT_TRUE(c.developerExtras);
    EXPECT_EQ(c.delegate, app.bridge);
    ASSERT_TRUE(c.schemeHandler);
    // Inside the app-page check: the fixed text, the recent files, the message guard.
    ASSERT_TRUE(c.startScript.starts_with(appPageGuardOpen));
    const std::string inner = c.startScript.substr(appPageGuardOpen.size());
    EXPECT_EQ(inner.substr(0, 89),
              "window.__nativeOcr = 'vision'; window.__nativePrint = true; window.__nativeFiles = true; ");
    EXPECT_EQ(std::string(startScriptPrefix).size(), 89u);
    EXPECT_EQ(inner.substr(89), app.bridge->recentsJS() + app.bridge->messageGuard().pageScript() +
                                    std::string(appPageGuardClose));
    EXPECT_EQ(c.pageOrigin, "pagewick://app");
    EXPECT_EQ(app.shell.view->loaded, std::vector<std::string>{"pagewick://app/index.html"});
    EXPECT_EQ(app.bridge->web.lock(), app.shell.view);
}

TEST(AppDelegate, WindowStartsCentredAtItsInitialSizeWithTheApplicationTitle)
{
    Launched app;
    app.launch();
    FakeWindow& window = *app.shell.window;
    EXPECT_EQ(app.shell.windowSize.width, 1280);
    EXPECT_EQ(app.shell.windowSize.height, 860);
    EXPECT_EQ(window.minimum.width, 520);
    EXPECT_EQ(window.minimum.height, 420);
    EXPECT_TRUE(window.centered);
    EXPECT_FALSE(window.restored);
    EXPECT_EQ(window.title(), "Pagewick");
    EXPECT_EQ(window.shown, 1);
}

TEST(AppDelegate, DroppedFilesAreOpenedInOrder)
{
    Launched app;
    app.launch();
    const std::string a = app.dir.write("a.pdf", "%PDF-a"), b = app.dir.write("b.pdf", "%PDF-b");
    ASSERT_TRUE(app.shell.view->filesDropped);
    app.shell.view->filesDropped({a, b});
    ASSERT_EQ(app.shell.view->scripts.size(), 4u);  // the recent files and a delivery, twice
    EXPECT_TRUE(app.shell.view->scripts[1].starts_with("window.__nativeOpen(\"a.pdf\", "));
    EXPECT_TRUE(app.shell.view->scripts[3].starts_with("window.__nativeOpen(\"b.pdf\", "));
}

TEST(AppDelegate, TitleFollowsThePage)
{
    Launched app;
    app.launch();
    app.shell.view->changeTitle("  Invoice.pdf\n");
    EXPECT_EQ(app.shell.window->title(), "Invoice.pdf");
    app.shell.view->changeTitle(std::nullopt);
    EXPECT_EQ(app.shell.window->title(), "Pagewick");
}

TEST(AppDelegate, FrameIsSavedOnChangeAndRestoredAtTheNextLaunch)
{
    Frame moved{40, 60, 900, 700, true};
    {
        Launched first;
        first.launch();
        first.shell.window->userMoves(moved);
        Launched second;
        second.preferences = first.preferences;
        second.delegate = std::make_shared<AppDelegate>(second.shell, second.bridge, first.preferences, "/srv/web");
        second.launch();
        EXPECT_TRUE(second.shell.window->restored);
        EXPECT_FALSE(second.shell.window->centered);
        EXPECT_EQ(second.shell.window->current, moved);
    }
}

TEST(WindowFrame, UnusableSavedFramesAreIgnored)
{
    BridgeFixture f;
    auto& prefs = *f.preferences;
    EXPECT_FALSE(savedFrame(prefs));
    for (const char* stored : {R"("x")", R"({"width":100,"height":100})", R"({"width":"900","height":700})",
                               R"({"width":900})", R"({"width":1e12,"height":700})", R"([1,2,3,4])",
                               R"({"width":99999999,"height":700})"}) {
        prefs.set("PagewickMain", nlohmann::json::parse(stored));
        EXPECT_FALSE(savedFrame(prefs)) << stored;
    }
    // Without a known position (Wayland) the size is still kept, and a position known
    // before is not lost.
    saveFrame(prefs, Frame{10, 20, 800, 600, true});
    saveFrame(prefs, Frame{0, 0, 1000, 700, false});
    EXPECT_EQ(savedFrame(prefs), (Frame{10, 20, 1000, 700, true}));
}

// The installed menu's titles and keys are checked against the window (the
// integration tests); what must hold of any table is checked here.
TEST(MenuBar, EveryCommandIsNamedTitledInBothLanguagesAndHasKeysOfItsOwn)
{
    std::vector<MenuCommand> english, french;
    for (bool inFrench : {false, true}) {
        setFrench(inFrench);
        Launched app;
        app.launch();
        for (const auto& menu : app.shell.window->menus)
            for (const auto& item : menu.items)
                if (item) (inFrench ? french : english).push_back(*item);
    }
    setFrench(false);

    ASSERT_FALSE(english.empty());
    ASSERT_EQ(english.size(), french.size());
    std::set<std::string> names, accelerators;
    for (std::size_t i = 0; i < english.size(); ++i) {
        const auto& command = english[i];
        EXPECT_FALSE(command.name.empty()) << command.title;
        EXPECT_TRUE(names.insert(command.name).second) << "two commands are named " << command.name;
        for (const auto& accelerator : command.accelerators)
            EXPECT_TRUE(accelerators.insert(accelerator).second) << "two commands answer " << accelerator;
        // The language changes the titles only.
        EXPECT_EQ(french[i].name, command.name);
        EXPECT_EQ(french[i].accelerators, command.accelerators) << command.name;
        EXPECT_FALSE(command.title.empty()) << command.name;
        EXPECT_NE(french[i].title, command.title) << command.name << " has no French title";
    }
}

TEST(MenuBar, CommandsReachTheWindowTheViewAndTheOpenPanel)
{
    setFrench(false);
    Launched app;
    app.launch();
    for (const char* title : {"Undo", "Redo", "Cut", "Copy", "Paste", "Select All"}) app.command(title)->action();
    EXPECT_EQ(app.shell.view->editingCommands,
              (std::vector<std::string>{"Undo", "Redo", "Cut", "Copy", "Paste", "SelectAll"}));
    app.command("Minimize")->action();
    app.command("Hide Pagewick")->action();
    app.command("Enter Full Screen")->action();
    app.command("Close")->action();
    app.command("Quit Pagewick")->action();
    app.command("About Pagewick")->action();
    EXPECT_EQ(app.shell.window->minimized, 2);
    EXPECT_EQ(app.shell.window->fullScreenToggles, 1);
    // Quit goes the way of Close, so that the page is asked before anything is lost.
    EXPECT_EQ(app.shell.window->closed, 2);
    EXPECT_EQ(app.shell.quits, 0);
    EXPECT_EQ(app.shell.abouts, 1);
    // Hiding other applications is not something a Linux client can do.
    EXPECT_FALSE(app.command("Hide Others")->action);

    app.command("Open…")->action();
    EXPECT_EQ(app.panels->modalOpens, 1);
    ASSERT_EQ(app.panels->openRequests.size(), 1u);
    EXPECT_EQ(app.panels->openRequests[0].filter, FileFilter::Pdf);
    EXPECT_TRUE(app.panels->openRequests[0].multiple);
}

}  // namespace
}  // namespace pw::testing

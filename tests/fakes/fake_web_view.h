#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bridge/app_page.h"
#include "platform/web_view.h"

namespace pw::testing {

// Records every script and answers boolean probes as the test decides: at once with
// `probeAnswer`, or later when `holdProbes` is set and the test calls answerProbes().
// Scripts are recorded without the app-page check around them, as the page runs them;
// a script that came without the check is recorded in `unguarded` as well.
class FakeWebView : public WebView {
public:
    void evaluate(std::string script) override { scripts.push_back(inner(std::move(script))); }

    void evaluate(std::string script, std::function<void(std::optional<bool>)> done) override
    {
        probes.push_back(inner(std::move(script)));
        if (holdProbes) {
            heldProbes.push_back(std::move(done));
            return;
        }
        done(probeAnswer);
    }

    // Answers the held probes, oldest first.
    void answerProbes(std::optional<bool> answer)
    {
        auto held = std::move(heldProbes);
        heldProbes.clear();
        for (auto& done : held) done(answer);
    }

    std::string committedURI() const override { return committed; }
    void load(const std::string& url) override { loaded.push_back(url); }
    void reload() override { ++reloads; }
    std::optional<std::string> title() const override { return currentTitle; }
    void observeTitle(std::function<void()> changed) override { titleChanged = std::move(changed); }
    bool isInWindow() const override { return inWindow; }
    void executeEditingCommand(const std::string& command) override { editingCommands.push_back(command); }
    void observeDroppedFiles(std::function<void(std::vector<std::string>)> dropped) override
    {
        filesDropped = std::move(dropped);
    }

    // Sets the title and tells the observer, as the page would.
    void changeTitle(std::optional<std::string> t)
    {
        currentTitle = std::move(t);
        if (titleChanged) titleChanged();
    }

    std::vector<std::string> scripts;
    std::vector<std::string> unguarded;
    std::string committed = "pagewick://app/index.html";
    std::vector<std::string> probes;
    std::optional<bool> probeAnswer = true;
    bool holdProbes = false;
    std::deque<std::function<void(std::optional<bool>)>> heldProbes;
    std::vector<std::string> loaded;
    int reloads = 0;
    std::optional<std::string> currentTitle;
    std::function<void()> titleChanged;
    std::function<void(std::vector<std::string>)> filesDropped;
    bool inWindow = true;
    std::vector<std::string> editingCommands;

private:
    std::string inner(std::string script)
    {
        if (script.starts_with(appPageGuardOpen) && script.ends_with(appPageGuardClose))
            return script.substr(appPageGuardOpen.size(),
                                 script.size() - appPageGuardOpen.size() - appPageGuardClose.size());
        unguarded.push_back(script);
        return script;
    }
};

}  // namespace pw::testing

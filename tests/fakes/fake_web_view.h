#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/app_page.h"
#include "platform/web_view.h"

namespace pw::testing {

// Records every script and answers boolean probes as the test decides: at once with
// `probeAnswer`, or later when `holdProbes` is set and the test calls answerProbes().
// Scripts are recorded without the app-page check around them, as the page runs them;
// a script that came without the check is recorded in `unguarded` as well. A call of a
// page function is recorded among the scripts as the script that would make it, its
// arguments written as JSON strings, and in `calls` as it came.
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

    void call(std::string condition, std::string function, std::vector<PageArgument> arguments) override
    {
        ++callCount;
        if (!recordCalls) return;
        std::string script = function + "(";
        std::vector<std::string> texts;
        for (const auto& argument : arguments) {
            const auto* text = std::get_if<std::string>(&argument);
            texts.push_back(text ? *text : std::get<SharedText>(argument).read().value());
            script += (texts.size() > 1 ? ", " : "") + nlohmann::json(texts.back()).dump();
        }
        script += ")";
        if (condition != appPageCondition) unguarded.push_back(script);
        scripts.push_back(script);
        calls.push_back({std::move(condition), std::move(function), std::move(texts)});
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

    struct Call {
        std::string condition;
        std::string function;
        std::vector<std::string> arguments;
    };

    std::vector<std::string> scripts;
    std::vector<Call> calls;
    // Off, calls are only counted: recording reads every text back.
    bool recordCalls = true;
    int callCount = 0;
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

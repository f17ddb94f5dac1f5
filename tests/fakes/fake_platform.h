#pragma once

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bridge/bridge.h"
#include "platform/json_preferences.h"
#include "platform/panels.h"
#include "platform/printing.h"
#include "platform/workspace.h"
#include "tests/fakes/fake_main_queue.h"
#include "tests/fakes/fake_web_view.h"
#include "tests/fakes/temp_dir.h"

namespace pw::testing {

// Panels that record what they were asked and answer from scripted replies. Modal
// panels answer at once; non-blocking ones are held until the test answers them.
class FakePanels : public Panels {
public:
    void beginOpen(const OpenPanelRequest& request, std::function<void(ChosenPaths)> done) override
    {
        openRequests.push_back(request);
        pendingOpens.push_back(std::move(done));
    }
    ChosenPaths runOpen(const OpenPanelRequest& request) override
    {
        openRequests.push_back(request);
        ++modalOpens;
        return modalOpenAnswer;
    }
    void beginSave(const SavePanelRequest& request, std::function<void(std::optional<std::string>)> done) override
    {
        saveRequests.push_back(request);
        pendingSaves.push_back(std::move(done));
    }
    void alert(const std::string& message, const std::string& info) override
    {
        alerts.push_back({message, info});
    }
    bool confirm(const std::string& message, const std::string& first, const std::string& second) override
    {
        dialogs.push_back({message, first, second});
        return confirmAnswer;
    }
    bool confirmLoss(const std::string& message, const std::string& lose, const std::string& keep) override
    {
        return confirm(message, lose, keep);
    }
    std::optional<std::string> prompt(const std::string& message, const std::string& defaultText,
                                      const std::string& first, const std::string& second) override
    {
        dialogs.push_back({message, first, second});
        promptDefaults.push_back(defaultText);
        return promptAnswer;
    }

    // Answers the oldest non-blocking open panel.
    void answerOpen(ChosenPaths paths)
    {
        auto done = std::move(pendingOpens.front());
        pendingOpens.pop_front();
        done(std::move(paths));
    }
    // Answers the oldest non-blocking save panel.
    void answerSave(std::optional<std::string> path)
    {
        auto done = std::move(pendingSaves.front());
        pendingSaves.pop_front();
        done(std::move(path));
    }

    struct Alert {
        std::string message, info;
    };
    struct Dialog {
        std::string message, first, second;
    };
    std::vector<OpenPanelRequest> openRequests;
    std::deque<std::function<void(ChosenPaths)>> pendingOpens;
    int modalOpens = 0;
    ChosenPaths modalOpenAnswer;
    std::vector<SavePanelRequest> saveRequests;
    std::deque<std::function<void(std::optional<std::string>)>> pendingSaves;
    std::vector<Alert> alerts;
    std::vector<Dialog> dialogs;
    std::vector<std::string> promptDefaults;
    bool confirmAnswer = true;
    std::optional<std::string> promptAnswer;
};

class FakeWorkspace : public Workspace {
public:
    void openURL(const std::string& url) override { openedURLs.push_back(url); }
    void share(const std::string& path) override { shared.push_back({path}); }
    std::optional<std::string> documentsDirectory() const override { return documents; }
    std::string temporaryDirectory() const override { return temporary; }
    std::string makeUUID() const override
    {
        static int serial = 0;
        char text[40];
        std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012X", ++serial);
        return text;
    }
    void noteRecentDocument(const std::string& path) override { desktopRecents.push_back(path); }

    struct Share {
        std::string path;
    };
    std::vector<std::string> openedURLs;
    std::vector<Share> shared;
    std::optional<std::string> documents;
    std::string temporary = "/tmp";
    std::vector<std::string> desktopRecents;
};

class FakePdfDocument : public PdfDocument {
public:
    explicit FakePdfDocument(int pages) : pages_(pages) {}
    int pageCount() const override { return pages_; }

private:
    int pages_;
};

// Accepts bytes that begin with "%PDF-" as a one-page document.
class FakePrinting : public Printing {
public:
    std::shared_ptr<PdfDocument> makeDocument(std::vector<std::uint8_t> bytes) override
    {
        static const std::string magic = "%PDF-";
        if (bytes.size() < magic.size() || !std::equal(magic.begin(), magic.end(), bytes.begin())) return nullptr;
        return std::make_shared<FakePdfDocument>(1);
    }
    void print(const std::shared_ptr<PdfDocument>& document, WebView* attachTo) override
    {
        printed.push_back({document, attachTo});
    }

    struct Job {
        std::shared_ptr<PdfDocument> document;
        WebView* attachedTo;
    };
    std::vector<Job> printed;
};

// A bridge wired to fakes, with its preferences in a fresh temporary folder.
struct BridgeFixture {
    TempDir dir;
    std::shared_ptr<FakeMainQueue> queue = std::make_shared<FakeMainQueue>();
    std::shared_ptr<FakePanels> panels = std::make_shared<FakePanels>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakePrinting> printing = std::make_shared<FakePrinting>();
    std::shared_ptr<JsonPreferences> preferences =
        std::make_shared<JsonPreferences>(dir.path() + "/config/pagewick/preferences.json");
    std::shared_ptr<FakeWebView> view = std::make_shared<FakeWebView>();
    std::shared_ptr<Bridge> bridge =
        std::make_shared<Bridge>(BridgeServices{queue, panels, workspace, printing, preferences});

    BridgeFixture() { bridge->web = view; }
};

}  // namespace pw::testing

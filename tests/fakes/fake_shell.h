#pragma once

#include <memory>
#include <vector>

#include "platform/shell.h"
#include "tests/fakes/fake_web_view.h"

namespace pw::testing {

class FakeWindow : public Window {
public:
    void setTitle(const std::string& t) override { titles.push_back(t); }
    std::string title() const override { return titles.empty() ? "" : titles.back(); }
    void setMinimumSize(Size size) override { minimum = size; }
    Frame frame() const override { return current; }
    void setFrame(const Frame& frame) override { current = frame; restored = true; }
    void center() override { centered = true; }
    void observeFrame(std::function<void(const Frame&)> changed) override { frameChanged = std::move(changed); }
    void show() override { ++shown; }
    void close() override { ++closed; }
    void minimize() override { ++minimized; }
    void toggleFullScreen() override { ++fullScreenToggles; }
    void setMenuBar(const std::vector<Menu>& m) override { menus = m; }

    // The user moves or resizes the window.
    void userMoves(const Frame& frame)
    {
        current = frame;
        if (frameChanged) frameChanged(frame);
    }

    std::vector<std::string> titles;
    Size minimum;
    Frame current{0, 0, 1280, 860, true};
    bool restored = false;
    bool centered = false;
    std::function<void(const Frame&)> frameChanged;
    int shown = 0, closed = 0, minimized = 0, fullScreenToggles = 0;
    std::vector<Menu> menus;
};

class FakeShell : public Shell {
public:
    std::shared_ptr<WebView> createWebView(const WebViewConfiguration& c) override
    {
        configuration = c;
        view = std::make_shared<FakeWebView>();
        return view;
    }
    std::unique_ptr<Window> createWindow(const std::shared_ptr<WebView>&, Size size) override
    {
        windowSize = size;
        auto created = std::make_unique<FakeWindow>();
        window = created.get();
        return created;
    }
    void showAbout() override { ++abouts; }
    void quit() override { ++quits; }

    WebViewConfiguration configuration;
    std::shared_ptr<FakeWebView> view;
    FakeWindow* window = nullptr;
    Size windowSize;
    int abouts = 0, quits = 0;
};

}  // namespace pw::testing

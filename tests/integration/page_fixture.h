#pragma once

// The default page in the real shell, driven as a person would: real key presses and
// pointer clicks go through the X server (XTest) to the window, so the menu bar's
// accelerators and WebKit's own key handling see them exactly as they see a user's.

#include <gtest/gtest.h>

#include <string>

#include "tests/integration/harness.h"

namespace pw::testing {

class PageFixture : public ::testing::Test {
protected:
    ShellHarness shell{builtWebFolder()};
    TempDir files;

    // Shows the window, loads the page and waits until it can take files.
    void start(int width = 0, int height = 0);
    // Opens a file the way the desktop hands one over, and waits until it is shown.
    void open(const std::string& path, int pages);
    bool showsPageCount(int pages);
    std::string text(const std::string& script);

    // A key as GTK names accelerators: "<Control><Shift>z", "F3", "Return", "r".
    void key(const std::string& accelerator);
    void type(const std::string& letters);
    // A left click in the middle of the first element the selector finds, once it is
    // in view; false when there is none.
    bool clickOn(const std::string& selector);

    // Writes a PDF made in the page with its own pdf-lib: `build` is the body of an
    // async function given `lib` (the module) that returns the document's bytes.
    std::string makePdf(const std::string& name, const std::string& build);
};

}  // namespace pw::testing

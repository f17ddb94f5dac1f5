#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>

#include "tests/fakes/temp_dir.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The web view keeps the page's storage (local storage, IndexedDB: the places and
    // working copies it remembers) under this folder: one per test process, so that no
    // test finds what another one left behind, and none of it outlives the run.
    const pw::testing::TempDir data;
    ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    // Listing the tests needs no display; running them does.
    if (!::testing::GTEST_FLAG(list_tests) && !gtk_init_check(&argc, &argv)) {
        fprintf(stderr, "integration tests need a display (run them under xvfb-run)\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}

#include <gtest/gtest.h>
#include <gtk/gtk.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display; running them does.
    if (!::testing::GTEST_FLAG(list_tests) && !gtk_init_check(&argc, &argv)) {
        fprintf(stderr, "integration tests need a display (run them under xvfb-run)\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}

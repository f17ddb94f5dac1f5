#include "platform/gtk/gtk_application.h"

#include <cstdio>

#include <gtk/gtk.h>

namespace pw::gtk {

int runApplication(int argc, char** argv)
{
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "pagewick: cannot open a display; to run without one: xvfb-run -a %s\n", argv[0]);
        return 1;
    }
    return 0;
}

}  // namespace pw::gtk

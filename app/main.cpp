#include "platform/gtk/gtk_application.h"

int main(int argc, char** argv)
{
    return pw::gtk::runApplication(argc, argv);
}

#include "app/composition.h"

int main(int argc, char** argv)
{
    return pw::runPagewick(argc, argv);
}

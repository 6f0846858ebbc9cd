// The executable: hands the process over to the program entry.
#include "simulation/main.h"

int main(int argc, char** argv)
{
    return MAIN_Run(argc, argv);
}

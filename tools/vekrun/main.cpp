// vekrun: run programs on the simulated target.
#include "toollib/quit.h"
#include "tools/vekrun/vekrun.h"

int main(int argc, char** argv) {
    return tl::runmain([&] { return vekrun::run(argc, argv); });
}

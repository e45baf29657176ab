// qvbuild: build one absolute program for the simulator.
#include "toollib/quit.h"
#include "tools/qvbuild/qvbuild.h"

int main(int argc, char** argv) {
    return tl::runmain([&] { return qvbuild::run(argc, argv); });
}

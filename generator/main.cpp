// cgppc: the code generator for PowerPC VLE.
#include "generator/gen.h"
#include "toollib/quit.h"

int main(int argc, char** argv) {
    return tl::runmain([&] { return cg::run(argc, argv); });
}

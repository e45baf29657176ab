// coppc: the assembly optimizer pass of the compiler.
#include "optimizer/opt.h"
#include "toollib/quit.h"

int main(int argc, char** argv) { return tl::runmain([&] { return opt::run(argc, argv); }); }

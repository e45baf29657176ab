// optcheck: the optimizer's rewrite checker as a developer tool.
#include "toollib/quit.h"
#include "tools/optcheck/checker.h"

int main(int argc, char** argv) { return tl::runmain([&] { return optcheck::run(argc, argv); }); }

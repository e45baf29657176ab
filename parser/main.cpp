// cpppc: the C parser pass of the compiler.
#include "parser/parser.h"
#include "toollib/quit.h"

int main(int argc, char** argv) { return tl::runmain([&] { return cpppc::run(argc, argv); }); }

// cappc: the macro assembler for PowerPC VLE.
#include "assembler/asm.h"
#include "toollib/quit.h"

int main(int argc, char** argv) {
    return tl::runmain([&] { return as::run(argc, argv); });
}

// qvobjdump: dump object files of the assembler.
#include "toollib/quit.h"
#include "tools/objdump/objdump.h"

int main(int argc, char** argv) {
    return tl::runmain([&] { return objdump::run(argc, argv); });
}

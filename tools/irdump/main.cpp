// irdump: prints and checks an intermediate file (see irdump.h).
#include "toollib/quit.h"
#include "tools/irdump/irdump.h"

int main(int argc, char** argv) {
    return tl::runmain([&] { return irdump::run(argc, argv); });
}

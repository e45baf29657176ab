// irasm: the intermediate file from its text form (see irasm.cpp).
#include "toollib/quit.h"
#include "tools/irasm/irasm.h"

int main(int argc, char** argv) {
    return tl::runmain([&] { return irasm::run(argc, argv); });
}

// qvppc: the compiler driver program; see driver.h.
#include "driver/driver.h"
#include "toollib/quit.h"

int main(int argc, char** argv) { return tl::runmain([&] { return driver::run(argc, argv); }); }

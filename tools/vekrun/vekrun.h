// vekrun: loads program files into a fresh simulated target and runs them
// until an undecodable instruction or an instruction count, then prints why
// it stopped, the counters and the registers. A developer's tool for trying
// programs without the debugger's windows.
#pragma once

namespace vekrun {

// vekrun [-n count] [-p name[:n]]... [-s symbol] [-t] file...: 0 after a
// run that ends at the stop symbol (or of a program without one), 3 when
// it ends elsewhere, 1 when a file fails to load, no entry point is found,
// a name is unknown or the first instruction is already illegal.
int run(int argc, char** argv);

}  // namespace vekrun

// Start-up of the debugger program: the command line, the program file,
// the start command file, and the main loop without a screen (batch mode:
// commands from standard input, output on standard output, error boxes on
// standard error).
//
// A screen front end plugs in through ShellMain: the program's main passes
// one when it is linked with it, and vekmain calls it instead of the batch
// loop when a display is wanted (no -c, and a display to show on). The front
// end calls runstart once its windows exist and returns the exit status,
// normally exitstatus(state) when its loop ends.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vek/command/control/control.h"

namespace vek {

struct StartOptions {
    bool banner = true, normalshow = true, quiet = false;
    bool nodisplay = false;          // -c: batch mode even with a display
    bool badoption = false;
    std::string startfile;           // -i
    std::string path;                // -p
    std::vector<std::string> early;  // command lines of -r and -s, in order
    std::string program;             // what follows the options
};

// Reads the options; what follows the last one is the program file.
StartOptions parsecmdline(const std::vector<std::string>& args);

struct StartState {
    std::unique_ptr<Session> session;
    std::unique_ptr<Debugger> debugger;
    StartOptions options;
    bool failed = false;             // a load or the start file failed
    // A front end's own load of the program file (its Load menu); the
    // load command when empty.
    std::function<void(const std::string&)> load;
};

using ShellMain = int (*)(StartState& state);

// Early commands, the program (by the load command), the start file.
void runstart(StartState& state);
// The batch loop over standard input; returns the exit status.
int batchloop(StartState& state);
// 0; 1 after any reported error; 2 after an interrupt outside a run.
int exitstatus(const StartState& state);

// The whole program; shell may be nullptr.
int vekmain(int argc, char** argv, ShellMain shell);

}  // namespace vek

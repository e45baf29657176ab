// Small services that connect the debugger to the host system: running a
// command line through the shell ("sys"), ending the program, asking the main
// window to close, the process id as text, and a list box's scroll extent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vek {

struct ShellState {
    std::string interpreter = "/bin/sh";
    std::string cmdline;   // the command line last started, as reported
};
ShellState& shellstate();
void resetshell();

// The argument vector that runs text: the interpreter alone for an empty
// text, else the interpreter, "-c" and the text.
std::vector<std::string> shellargs(const std::string& interpreter, const std::string& text);

// Starts the command line detached and does not wait for it; a start that
// fails is reported through puterror as the command line, "  Error:", the
// code, a blank and the code's text. Returns 0 on success, else the code.
int shellcmd(const char* text);
// The text of a start-failure code (below 32), or "" when it has none.
const char* starterror(int code);

// Ends the program with status (tl::quit).
[[noreturn]] void exitprog(int status);
void closemain();
// The process id in decimal, in a buffer that the next call overwrites.
const char* pidtext();
// The new horizontal extent of a list box for a text of textwidth pixels.
int32_t fitlistextent(int32_t textwidth, int32_t clientwidth, int32_t extent);

}  // namespace vek

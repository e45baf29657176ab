// How a program ends. Library code never calls exit(): a stop anywhere in a
// program's library throws QuitRequest, which unwinds to the program's main
// (see runmain), so tests can run a whole program in-process and check both
// its output and its exit status.
#pragma once

#include <functional>
#include <string_view>

namespace tl {

struct QuitRequest {
    int status;
};

// Ends the program with the given status by unwinding to runmain.
[[noreturn]] void quit(int status);

// Runs body and returns its status, or the status of a quit() inside it.
// An allocation failure that escapes body ends the program as xalloc would:
// "no memory" and status 1.
int runmain(const std::function<int()>& body);

// Writes text unbuffered to the standard error descriptor, whole; false
// when the descriptor refused it.
bool puterr(std::string_view text);
// The same to the standard output descriptor.
bool putout(std::string_view text);

}  // namespace tl

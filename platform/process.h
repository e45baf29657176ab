// Child processes for the compiler driver: where the running program lives,
// and starting one program with an argument vector and waiting for its end.
// A program is always started by the path given, never searched for on PATH;
// how it ended (exit status, signal, or not started at all) is reported as
// such, so the caller can tell an interrupted pass from a failing one.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The absolute path of the running executable (symbolic links resolved), or
// the empty text when the system cannot tell.
std::string selfpath();

struct SpawnOptions {
    bool newgroup = false;    // the child leads a process group of its own
    std::string stdoutpath;   // non-empty: the child's standard output goes to this file
    std::string stderrpath;   // the same for the standard error stream
};

struct ProcessResult {
    enum class End { Exited, Signaled, NotStarted };
    End end = End::NotStarted;
    int status = 0;  // exit status (Exited)
    int signal = 0;  // the signal that ended the child (Signaled)
};

// Flushes the C streams, starts program with args (args[0] is what the child
// sees as its name) and waits until it ends. An interrupt that arrives while
// waiting does not stop the wait: the child is always reaped.
ProcessResult runprocess(const std::string& program, const std::vector<std::string>& args,
                         const SpawnOptions& options = {});

}  // namespace platform

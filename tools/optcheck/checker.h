// The rewrite checker: runs a function before and after a change on the
// simulator from the same random states and reports the first register or
// byte in which they part.
//
// Each version is wrapped into one self-contained source: its data symbols
// at fixed addresses, a stub for every function and run-time helper it calls
// (the stub appends what the call takes to a trace and returns values made
// from it, clobbering what a call may clobber), a return address at an
// undecodable half-word. The assembler builds both in-process; the simulator
// runs the entry label to its return. Registers the caller relies on (r1,
// r2, r13, r14 to r31 and the returned ones), the caller's stack, the data
// and the call trace must come out the same.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace optcheck {

struct Settings {
    int seeds = 12;             // random states per comparison
    uint32_t firstseed = 1;
    uint64_t maxsteps = 1000000;  // instructions per run before it counts as not returning
};

struct Verdict {
    bool ok = true;
    std::string message;   // the first difference, or why nothing could be run
    int returned = 0;      // seeds whose first version ran to its return
};

// Compares two versions of one function (the text of a unit, with or
// without its FL: markers). The reference, the function as the generator
// wrote it, tells from its "use" lines which registers the function returns
// and which each called function takes; empty: before.
Verdict compare(std::string_view before, std::string_view after, const Settings& settings = {},
                std::string_view reference = {});

// One change as the optimizer's hook reports it.
struct Change {
    std::string pass;
    std::string text;
};

// Checks every change against the one before it; the first change is the
// unit as read. A failure names the pass that made the change.
Verdict checkchanges(const std::vector<Change>& changes, const Settings& settings = {});

// The self-contained source the checker assembles for one version.
std::string wrap(std::string_view text, std::string_view reference = {});

// optcheck [-n seeds] [-s first seed] unit.s [after.s]: with one file, the
// file is optimized and every change checked; with two, they are compared.
int run(int argc, char** argv);

}  // namespace optcheck

// The end of a program run: the stop symbol (by default __stop, where the
// start-up code lands when main returns) and the words printed afterwards.
// The stop is a breakpoint: the halfword at the stop symbol is made an
// undecodable instruction for the run, so the executor stops before
// executing it at full speed, and is restored afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <string>
#include <vector>

#include "toollib/options.h"
#include "vek/core/session/session.h"

namespace vekrun {

struct WordPrint {
    std::string name;     // as given, without the word count
    uint32_t address = 0;
    uint32_t count = 1;
};

struct StopPlan {
    std::string name;        // the stop symbol; empty when the program has none
    uint32_t address = 0;
    std::vector<WordPrint> prints;
    uint16_t original = 0;   // the halfword the breakpoint replaced
    std::function<void(int, std::string_view)> errmsg;  // the report it wraps
};

// Resolves the stop symbol (stopname, or __stop when that exists) and each
// "name[:n]" of prints (the symbol _name, else name). False, with a message,
// for an unknown name or a bad count.
bool planstop(vek::Session& s, const char* stopname, const tl::CountdownList& prints, StopPlan& plan);

// Sets the breakpoint; the run's "illegal instruction" there is no error.
void armstop(vek::Session& s, StopPlan& plan);

// Removes the breakpoint; true when the run ended at the stop symbol.
bool disarmstop(vek::Session& s, StopPlan& plan);

// "main returned: N" (at __stop) and one line per printed symbol.
std::string resulttext(vek::Session& s, const StopPlan& plan, bool atstop);

}  // namespace vekrun

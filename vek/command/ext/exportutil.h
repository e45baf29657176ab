// Helpers shared by the files of the exported interface.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "vek/command/control/control.h"
#include "vek/command/ext/exports.h"
#include "vek/shell/vekext.h"

namespace vek {

// The debugger the extensions work on.
Debugger& extdebugger();

// Runs f on the debugger's thread (at once when called there) and gives
// its result.
template <class F>
auto ondebugger(F f) -> decltype(f()) {
    if (ondebuggerthread()) return f();
    if constexpr (std::is_void_v<decltype(f())>) {
        rundebugger(f);
    } else {
        decltype(f()) result{};
        rundebugger([&] { result = f(); });
        return result;
    }
}

// A list of names: each NUL-ended, an extra NUL at the end; null when empty.
char* makelist(const std::vector<std::string>& names);
// A malloc'ed copy.
char* copyout(const std::string& text);
// Copies at most size - 1 characters and a NUL.
void copytext(char* buffer, int size, const char* text);

// The C copy of a variable record of the loaded program's tables (made
// when needed), or null.
VekVarRecord* cvar(const VarRecord* var);

}  // namespace vek

// The machine-level windows bound to a debugger: memory through the peek,
// the disassembler, events, the running flag, register banks, call frames
// and the address texts of dialogs.
#pragma once

#include <string>
#include <vector>

#include "vek/views/machinemodel/memwin.h"
#include "vek/views/machinemodel/regwin.h"
#include "vek/views/machinemodel/stackwin.h"

namespace vek {
struct Debugger;
}

namespace vek::views {

MemEnv memenv(Debugger& d);
// Core 0 or core 1's bank (core 1 reads and writes registers + 0x80).
RegSource regsource(Debugger& d, int core);
// The active calls from the frame in scope outward.
std::vector<StackLine> stacklines(Debugger& d);

// The address field of the memory dialogs: a number, an expression, a
// program symbol; else "Can't evaluate " and the text is reported and
// false returned (the dialog stays).
bool readaddress(Debugger& d, const std::string& text, uint32_t& address);
// A field that must read wholly as a number.
bool readnumber(const std::string& text, uint32_t& value);

// The fill dialog: checks the fields, reports "Wrong Start Address",
// "Wrong End Address" or "Wrong value" (false), else fills and refreshes.
struct FillFields {
    std::string from, to, value;
    int size = 1;
    bool verify = false, random = false;
};
bool filldialog(Debugger& d, const FillFields& f);

}  // namespace vek::views

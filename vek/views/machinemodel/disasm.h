// The Disassembly pane without a screen: lines that follow a core's
// program counter, the highlighted source line, scrolling, keys and clicks.
#pragma once

#include "vek/views/machinemodel/memwin.h"

namespace vek::views {

struct DisasmPane {
    int core = 0;
    int linecount = 10;                 // client height in lines, rounded up
    uint32_t start = 0, end = 0;        // first and last line's addresses
    uint32_t hlstart = 0, hlnext = 0;   // the highlighted source line
    std::vector<uint32_t> table;
    std::vector<std::string> lines;
};

// Builds the lines from address (keepstart), or from the source line of
// the program counter pc when it starts one.
void builddisalines(DisasmPane& p, const MemEnv& env, uint32_t address, bool keepstart, uint32_t pc);
// After a stop: only the highlight moves while pc stays among the lines.
// True when the lines were rebuilt.
bool refreshdisasm(DisasmPane& p, const MemEnv& env, uint32_t pc);
// False (a beep) while the target runs.
bool scrolldisasm(DisasmPane& p, const MemEnv& env, ScrollAction a, uint32_t pc);
// A typed character: the command to run, "" for nothing; false is a beep.
bool disasmkey(char c, std::string& command);
// A click: right is the right button (else a left double click).
MemClick disasmclick(const DisasmPane& p, const MemEnv& env, int row, int col, bool right, unsigned keys);

}  // namespace vek::views

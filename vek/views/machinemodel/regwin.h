// The Registers window without a screen: the register text of a core, the
// characters changed since the last paint, the field under a cell and the
// in-place edit of a value.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vek::views {

struct RegSource {
    std::function<uint32_t(unsigned)> getreg;   // 1-37 of the pane's core
    std::function<void(unsigned, uint32_t)> storereg;
    uint32_t instructions = 0, lastcycles = 0, cycles = 0;
    std::function<void(uint32_t)> setinstructions;
    std::function<void(uint32_t)> setcycles;
};

// The text of one core's registers and counters.
std::string registertext(const RegSource& src);

struct RegField {
    uint16_t reg;            // 1-37, 0xFFFF the instruction counter, 0 the end
    uint16_t line;
    uint16_t labelfirst, labellast, valuefirst, valuelast;
};
const std::vector<RegField>& regfields();

struct RegisterPane {
    std::string last;              // text last painted
    std::vector<bool> changed;     // one per character of it
    bool painted = false;
    // the edit
    bool editing = false;
    int field = -1, caretpos = 0, caretcol = 0, caretrow = 0;
    std::string edittext;
    uint32_t pcatstart = 0;
};

// Paints a new text: false when nothing changed and always is off.
bool paintregs(RegisterPane& p, const std::string& text, bool always);

struct RegClick {
    enum What { Nothing, Beep, CycleEdit, Edit, Dialog, EndEdit } what = Nothing;
    int field = -1;
};
RegClick regclick(RegisterPane& p, const RegSource& src, int row, int col, bool running);
// A typed character during an edit: false is a beep.
bool regtype(RegisterPane& p, const RegSource& src, char c);
// Ends an edit; true when the pc changed since it started.
bool regendedit(RegisterPane& p, const RegSource& src);

}  // namespace vek::views

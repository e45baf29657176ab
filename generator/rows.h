// The code templates of expression code: for each operator a list of rows,
// tried in order by findtemplate (select.cpp) and expanded by
// emittemplate (expand.cpp). The rows themselves are data in rows.cpp.
#pragma once

#include <cstdint>
#include <span>

namespace cg {

// Row flags.
enum RowFlag : uint8_t {
    RF_SPECIAL = 0x80,   // a handler builds the text (or, with handler bit 0x40, a skip row)
    RF_NOVALUE = 0x40,   // only when the result is not used; its register is released at once
    RF_SETCC = 0x04,     // the code sets the condition register
    RF_COMPARE = 0x38,   // stands on every comparison row; changes nothing
};

// One row: the class of the left operand and of the result, the class of
// the right operand, the flags, and a template text or a special handler
// with its argument (a number for handlers 4, 6 and 8, a text for 7 and 9).
struct Row {
    uint8_t left = 0, right = 0, flags = 0;
    const char* text = nullptr;   // an ordinary row's template text
    uint8_t handler = 0;          // a special row's handler 1-9; 0x40 | n skips the next n rows
    int32_t num = 0;              // the handler's number argument
    const char* arg = nullptr;    // the handler's text argument

    bool special() const { return flags & RF_SPECIAL; }
    bool skip() const { return special() && (handler & 0x40); }
    int skipcount() const { return handler & 0x3F; }
};

struct RowList {
    const char* name;
    std::span<const Row> rows;
};

// An operator and the list it uses; with unsignleft the left and result
// types are looked at in their unsigned form, with unsignright the right.
struct OpEntry {
    int16_t op;
    const RowList* list;
    bool unsignleft, unsignright;
};

// The operator's entry, nullptr for an operator without rows.
const OpEntry* oplookup(int op);
std::span<const OpEntry> optable();
std::span<const RowList> rowlists();

// Rows that expression code names directly: address arithmetic (both
// operands into registers, nothing written), the rotate of an or of two
// shifts, the step of an increment or decrement used as an address and the
// store back of its new value.
extern const Row kRowAddrArith, kRowRotate, kRowIncStep, kRowDecStep, kRowStoreBack;

}  // namespace cg

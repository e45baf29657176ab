// The debugger's instruction decoder and disassembler. Three decode tables
// (classic Book E with SPE, VLE 16-bit, VLE 32-bit), each bucketed by the top
// four bits of the instruction, are built at first use from the shared
// encoding table (toollib/isa/isa.h): a row matches a word w when
// (w & mask) == match, the first match in a bucket wins, and rows are ordered
// most specific mask first so simplified names (nop, li, mr, beq) win over the
// general form.
//
// Memory and symbols come in through DecodeEnv so this library does not depend
// on the simulated memory or the program symbol table; the simulator binds the
// callbacks to its own services. Execution is the simulator's: decodeinsn
// fills a Decoded record (row, operand slots, CR field) that its handlers use.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toollib/isa/isa.h"

namespace vek {

// Operand kinds of a decode row (the value and text rules in decode.cpp).
enum DecodeKind : uint8_t {
    KNone = 0, KGpr = 1, KShort = 2, KCrf = 3, KSimm = 5, KUimm = 6, KSplitU = 7,
    KSplitS = 8, KUi5 = 9, KOim5 = 10, KSplat = 11, KUi7 = 12, KFxm = 13, KSpr = 14,
    KLi20 = 15, KSci8 = 16, KAbs = 17, KRel24 = 19, KRelVle24 = 20, KRel16 = 21,
    KRel8 = 22, KDisp16 = 23, KDisp8 = 24, KSd4 = 25,
    // kinds of this decoder beyond the classic set
    KSimm5 = 26,   // signed 5-bit immediate (SPE splat)
    KEvDisp = 27,  // SPE d(rA), 5-bit index scaled by the access size
};

struct DecodeRow {
    uint16_t type = 0;      // index into the mnemonic table; 0 never in a table
    uint16_t flags = 0;     // isa::DecFlag bits (OE, Rc, sizes, update/link, ...);
                            // 0x0008: split immediate with its upper bits at 16
    uint32_t mask = 0;
    uint32_t match = 0;
    std::array<uint8_t, 5> kinds{};  // DecodeKind per operand, 0 when absent
    std::array<int8_t, 5> pos{};     // field position per operand (the row's layout)
    uint8_t layout = 0;              // index of pos in DecodeTables::layouts
    uint8_t handler = 0;             // isa::Exec group
    const isa::Insn* insn = nullptr; // the encoding the row came from
};

struct DecodeTables {
    std::array<std::vector<DecodeRow>, 16> classic, vle16, vle32;
    std::vector<std::string> mnemonics;  // sorted; index 0 is "????"
    std::vector<std::array<int8_t, 5>> layouts;  // distinct field-position lists
};
const DecodeTables& decodetables();

// Slot kinds of a decoded operand.
enum SlotKind : uint8_t { SlotNone = 0, SlotReg = 1, SlotAddr = 2, SlotImm = 3 };
struct Slot {
    uint8_t kind = SlotNone;
    uint32_t value = 0;  // register number 1-37, effective address or immediate
};

struct Decoded {
    unsigned length = 0;            // 2 or 4
    uint32_t address = 0;
    uint32_t word = 0;              // the instruction (a halfword in the low bits)
    const DecodeRow* row = nullptr; // nullptr: undecodable
    std::array<Slot, 8> slots{};    // one per operand; an address slot is followed
                                    // by a register slot holding its base
    unsigned crfield = 0;           // CR field of the instruction's CR operand
};

// What the decoder needs of the target. Unset callbacks read as 0 / no name.
struct DecodeEnv {
    std::function<uint16_t(uint32_t)> gethalf;             // big-endian halfword
    std::function<uint32_t(uint32_t)> getword;             // big-endian word
    std::function<uint32_t(unsigned)> getreg;              // register 1-37
    std::function<const char*(uint32_t)> symbolat;         // name of a symbol exactly at
    std::function<std::optional<uint32_t>(std::string_view)> symbolvalue;
    uint32_t vleboundary = 0;                               // VLE code from here up
    std::function<uint32_t()> getvle;                       // when set, read instead
};

enum DecodeFlag : unsigned { DecodeText = 1, DecodeExec = 2 };

// Decodes the instruction at address. With DecodeText writes the disassembly
// (at most 512 bytes with the NUL) into text. Returns the length, 2 or 4.
// Slots are always filled (address slots hold effective addresses, base
// register values read through env.getreg); DecodeExec only says the caller
// is the executor: it runs the handler out.row->handler (an isa::Exec group)
// on out.slots, out.crfield and out.row->flags, and treats out.row == nullptr
// as an undecodable instruction. The mnemonic of a row is
// decodetables().mnemonics[row->type]; row->insn is its encoding-table row.
unsigned decodeinsn(const DecodeEnv& env, uint32_t address, unsigned flags, char* text,
                    Decoded& out);

// Reads the instruction at address as decodeinsn does (the same accesses,
// in the same order): the bytes as one big-endian word (a 16-bit VLE
// instruction in the high half) and whether it is VLE code.
uint32_t fetchinsn(const DecodeEnv& env, uint32_t address, bool& vle);

// Decodes the four bytes at address given as one big-endian word (a 16-bit
// VLE instruction is its high half). Used by decodeinsn and by tests.
unsigned decodevalue(const DecodeEnv& env, uint32_t address, bool vle, uint32_t bytes,
                     unsigned flags, char* text, Decoded& out);

}  // namespace vek

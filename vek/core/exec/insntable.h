// The executor's instruction table: one row per instruction with its
// encoding, the form its fields are read by, and its semantics.
#pragma once

#include <cstdint>
#include <span>

#include "vek/core/exec/exec.h"

namespace vek {

// How the fields of an instruction land in an Insn. Bit positions count
// from the least significant bit of the instruction word.
enum class Form : uint8_t {
    None,
    D,        // d=21 a=16 imm=signed 16
    DU,       // d=21 a=16 imm=unsigned 16
    DCmp,     // d=crf(23) a=16 imm=signed 16
    DCmpU,    // d=crf(23) a=16 imm=unsigned 16
    X,        // d=21 a=16 b=11 rc=0 oe=10
    XCmp,     // d=crf(23) a=16 b=11
    XCrf,     // d=crf(23) a=crf(18)
    M,        // d=21 a=16 b=11 c=MB(6) e=ME(1) imm=mask rc=0
    M32,      // as M without Rc
    XFX,      // d=21 imm=special register number (halves swapped)
    XFXM,     // d=21 imm=field mask (12)
    A,        // d=21 a=16 b=11 c=6
    I,        // imm=target c=LK
    B,        // d=BO a=BI imm=target c=LK
    XL,       // d=21 a=16 b=11 c=LK
    R16,      // d=rx
    RR16,     // d=rx a=ry
    Mtar16,   // d=r8+x a=ry
    Mfar16,   // d=rx a=r8+y
    Im5,      // d=rx imm=5 bits (4)
    Oim5,     // d=rx imm=5 bits (4) + 1
    Im7,      // d=rx imm=7 bits (4)
    Sd4B,     // d=rz(4) a=rx(0) imm=offset (8) scaled 1
    Sd4H,     //                              scaled 2
    Sd4W,     //                              scaled 4
    Bd8,      // imm=target c=LK(8)
    Bd8C,     // d=BO a=BI(8) imm=target
    Lk16,     // c=LK(0)
    D8,       // d=21 a=16 imm=signed 8
    Sci8,     // d=21 a=16 imm=scaled 8 bits rc=11
    Sci8Cmp,  // d=crf(21, 2 bits) a=16 imm=scaled 8 bits
    I16A,     // a=16 imm=signed 16 (5 bits from 21, 11 from 0)
    I16AU,    // a=16 imm=unsigned, split as I16A
    I16L,     // d=21 imm=unsigned 16 (5 bits from 16, 11 from 0)
    Li20,     // d=21 imm=signed 20
    Bd24,     // imm=target c=LK
    Bd15,     // d=BO a=BI(16) imm=target c=LK
};

struct InsnRow {
    const char* name;  // as the shared encoding table names it
    InsnSet set;
    Form form;
    ExecFn fn;
};

// Row 0 stands for an undecodable instruction ("????").
std::span<const InsnRow> insnrows();
// A row matches a word w when (w & mask) == match; both come from the shared
// encoding table. A row whose name the table lacks never matches.
struct RowEncoding {
    uint32_t mask = 0, match = 1;
    bool resolved = false;
    bool branch = false;  // may change pc: a decoded block ends with it
};
const RowEncoding& rowencoding(uint16_t row);
// The threaded form of a row's semantics (see insntable.cpp); last for the
// final instruction of a block.
ThreadFn threadfn(uint16_t row, bool last);
// Index of the first row of set that matches word, 0 when none does. For
// Vle16, word holds the half-word.
uint16_t findrow(InsnSet set, uint32_t word);
// True when a VLE half-word starts a 32-bit instruction.
inline bool isvle32(uint32_t half) {
    unsigned top = (half >> 12) & 0xF;
    return top == 1 || top == 3 || top == 5 || top == 7 || top == 15;
}
// Fills the fields of i from word by the row's form; pc is the
// instruction's own address (branch targets are made absolute).
void readfields(const InsnRow& row, uint32_t word, uint32_t pc, Insn& i);

}  // namespace vek

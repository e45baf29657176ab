// The evaluator's own state, shared by the files of this library only.
// One set lives program-wide; xexpr saves the caller's mode and error and
// restores them, so an evaluation may start another.
#pragma once

#include <cstdint>

#include "vek/command/expr/expr.h"

namespace vek::exprimpl {

// Token codes: bit 0x40 marks a binary operator, bit 0x20 a prefix one.
enum Token : int {
    TDot = 22, TArrow = 23, TLParen = 24, TRParen = 25, TLBracket = 26, TRBracket = 27, TName = 28,
    TInt = 29, TEnd = 30, TFloat = 31, THash = 32, TNot = 52, TCompl = 53, TDiv = 66, TMod = 67,
    TShl = 70, TShr = 71, TLt = 72, TLe = 73, TGt = 74, TGe = 75, TEq = 76, TNe = 77, TXor = 79,
    TOr = 80, TAndAnd = 81, TOrOr = 82, TAssign = 83, TStar = 97, TPlus = 100, TMinus = 101,
    TAmp = 110,
};
inline bool isbinary(int t) { return (t & 0x40) != 0; }
inline bool isprefix(int t) { return (t & 0x20) != 0; }

constexpr size_t NameMax = 128;   // a name part, NUL included

struct ExprState {
    const char* cursor = nullptr;
    const char* tokstart = nullptr;
    int pushed = 0;
    const char* pushedstart = nullptr;
    int error = 0;
    int mode = 0;
    bool assigncontext = false;
    uint32_t ival = 0;
    double dval = 0;
    // The last name token: file, function and name parts.
    char file[NameMax] = {}, func[NameMax] = {}, name[NameMax] = {};
    bool hasfile = false, hasfunc = false, hasname = false;
    int depth = 0;       // nesting of terms, bounded
};
ExprState& st();

// Records a message number; the first one recorded wins.
inline void seterror(int n) {
    if (st().error == 0) st().error = n;
}
inline bool failed() { return st().error != 0; }

// Integer codes up to the long bit-field, enums, floating types.
inline bool isintcode(uint8_t c) { return c <= tc::LongBits; }
inline bool isenumcode(uint8_t c) { return c >= tc::Enum && c <= tc::LongEnum; }
inline bool isfloatcode(uint8_t c) { return c >= 35 && c <= tc::LDouble; }
inline bool isunsignedcode(uint8_t c) { return c == tc::UInt || c == tc::ULong; }

// Shared empty descriptor for values without one.
const TypeDesc& nodesc();
inline const TypeDesc& descof(const ExprValue& v) { return v.desc ? *v.desc : nodesc(); }
// The descriptor word of the outermost remaining step (0 when missing).
uint32_t stepword(const ExprValue& v);

// Derivation helpers on a value: remove the outermost step, add one.
void dropstep(ExprValue& v);
void addstep(ExprValue& v, uint32_t s, uint32_t word);

// A value as an integer object of that type holds it (sign, width, bits).
uint32_t fitint(uint32_t v, uint8_t code, uint32_t bitword);

// Reads the target for the environment.
uint8_t getbyte(uint32_t a);
uint16_t getword(uint32_t a);
uint32_t getlong(uint32_t a);
bool stoprequested();

}  // namespace vek::exprimpl

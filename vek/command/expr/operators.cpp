// Operators on target values, as the evaluator applies them the moment
// both operands are parsed: C on a 32-bit target. char, short, _Bool,
// bit-field and enum operands count as int; an unsigned int or long operand
// makes the operation unsigned and gives it that type; comparisons and
// logical operators give int; pointers move by their element size and
// compare as addresses; every floating value is held as a double.
// Assignment writes the target in the left operand's own type.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "vek/command/expr/internal.h"
#include "vek/core/support/symbols.h"
#include "vek/core/target/registers.h"

namespace vek {

using namespace exprimpl;

namespace {

bool isptr(const ExprValue& v) {
    uint32_t t = step::top(v.type);
    return t == step::Ptr || t == step::Arr;
}

// The code an operand counts as: enums as int.
uint8_t opcode(const ExprValue& v) {
    if (v.derived()) return tc::Pointer;
    return isenumcode(v.base()) ? tc::Int : v.base();
}
bool arithmetic(const ExprValue& v) { return !v.derived() && opcode(v) <= tc::LDouble; }
bool integral(const ExprValue& v) { return !v.derived() && isintcode(opcode(v)); }

// The type an integer operand has in arithmetic.
uint8_t promote(uint8_t code) { return isunsignedcode(code) ? code : tc::Int; }

void plain(ExprValue& v) {
    v.kind = term::Value;
    v.count = 0;
}

void setplain(ExprValue& v, uint8_t code, uint32_t value) {
    v.type = code;
    v.desc = nullptr;
    v.owned.reset();
    v.cursor = 0;
    v.setint(value);
    plain(v);
}

void decay(ExprValue& v) {
    if (step::top(v.type) != step::Arr) return;
    v.type = (v.type & 0x3FFFFFFFu) | (step::Ptr << 30);
    v.setint(v.address);
}

bool sametype(const ExprValue& a, const ExprValue& b) {
    if (a.type != b.type) return false;
    uint8_t base = a.base();
    if (base == tc::Struct || base == tc::Union || isenumcode(base)) return descof(a).agg == descof(b).agg;
    return true;
}

}  // namespace

uint32_t exprimpl::fitint(uint32_t v, uint8_t code, uint32_t bitword) {
    switch (code) {
    case tc::SChar:
    case tc::Char:
    case tc::CharEnum: return uint32_t(int32_t(int8_t(v)));
    case tc::UChar: return v & 0xFFu;
    case tc::Short:
    case tc::ShortEnum: return uint32_t(int32_t(int16_t(v)));
    case tc::UShort: return v & 0xFFFFu;
    case tc::Bool: return v != 0;
    case tc::CharBits:
    case tc::ShortBits:
    case tc::IntBits:
    case tc::LongBits: {
        uint32_t w = bitword & 0xFF;
        return w >= 32 ? v : v & ((1u << w) - 1);
    }
    default: return v;
    }
}

namespace {

void assign(ExprValue& l, const ExprValue& r) {
    if (failed()) return;
    uint8_t base = l.base();
    // Resolving mode writes nothing; an enumerator is a constant.
    if (st().mode == 0 || l.kind == term::Value || l.kind == sc::EnumMem || step::top(l.type) == step::Arr ||
        (!l.derived() && (base == tc::Struct || base == tc::Union))) {
        seterror(61);
        return;
    }
    // The right value in the left operand's type.
    uint64_t bits;
    if (l.derived()) {
        bits = r.isfloat() ? dbltoint(r.dbl(), tc::ULong) : r.u32();
    } else if (l.isfloat()) {
        double d = r.isfloat() ? r.dbl() : inttodbl(r.u32(), r.base());
        if (base == tc::Float) d = double(float(d));
        std::memcpy(&bits, &d, sizeof d);
    } else {
        uint32_t v = r.isfloat() ? dbltoint(r.dbl(), base) : r.u32();
        bits = fitint(v, base, descof(l).bitword);
    }
    ExprEnv& env = exprenv();
    switch (l.kind) {
    case term::Counter:
        if (l.address == 1) {
            if (symtab().time) *symtab().time = uint32_t(bits);
            if (env.hooks.settimestart) env.hooks.settimestart(uint32_t(bits));
        } else if (l.address == 3 && symtab().xtime) {
            *symtab().xtime = uint32_t(bits);
        }
        break;
    case term::DotVar: {
        std::string name = ".." + l.symname;
        ProgramSymbol* sym = rensym(name);
        if (!sym) sym = defsym(name, 0);
        sym->value = uint32_t(bits);
        break;
    }
    case term::Register:
        if (env.regs) {
            uint32_t pc = env.regs->getpc();
            env.regs->storereg(l.address, uint32_t(bits));
            syncregs(env.regs->getpc() != pc);
        }
        break;
    default:
        writeval(l, bits);
        // The target's float format saturates where the host's overflows:
        // the result is what the object now holds.
        if (l.isfloat()) bits = readval(l, base);
        break;
    }
    l.bits = bits;
    plain(l);
}

void pointerop(int op, ExprValue& l, ExprValue& r) {
    bool lp = isptr(l), rp = isptr(r);
    uint32_t esize = elementsize(lp ? l : r);
    if (op != TAssign || step::top(l.type) != step::Arr) decay(l);
    decay(r);
    if (lp && rp && !sametype(l, r)) {
        seterror(55);
        return;
    }
    bool rint = !rp && integral(r) && opcode(r) <= tc::ULong;
    bool lint = !lp && integral(l) && opcode(l) <= tc::ULong;
    uint32_t a = l.u32(), b = r.u32();
    switch (op) {
    case TLt: setplain(l, tc::Int, a < b); return;
    case TLe: setplain(l, tc::Int, a <= b); return;
    case TGt: setplain(l, tc::Int, a > b); return;
    case TGe: setplain(l, tc::Int, a >= b); return;
    case TEq: setplain(l, tc::Int, a == b); return;
    case TNe: setplain(l, tc::Int, a != b); return;
    case TPlus:
        if (lp && rint && esize) {
            l.setint(a + esize * b);
            plain(l);
        } else if (rp && lint && esize) {
            uint32_t v = esize * a + b;
            l = r;
            l.setint(v);
            plain(l);
        } else {
            seterror(55);
        }
        return;
    case TMinus:
        if (lp && rp && esize) {
            // A signed difference: q - p is -2 when q lies below p.
            int32_t d = int32_t(a - b);
            setplain(l, tc::Int, uint32_t(d / int32_t(esize)));
        } else if (lp && rint && esize) {
            l.setint(a - esize * b);
            plain(l);
        } else {
            seterror(55);
        }
        return;
    case TAssign:
        if (!((lp || l.kind == term::Register) && (rp || (rint && b == 0)))) {
            seterror(55);
            return;
        }
        assign(l, r);
        return;
    default: seterror(57); return;
    }
}

void floatop(int op, ExprValue& l, const ExprValue& r, uint8_t restype) {
    double x = l.dbl(), y = r.dbl(), z = 0;
    switch (op) {
    case TStar: z = x * y; break;
    case TDiv:
        if (y == 0.0) {
            seterror(12);
            return;
        }
        z = x / y;
        break;
    case TPlus: z = x + y; break;
    case TMinus: z = x - y; break;
    case TLt: setplain(l, tc::Int, x < y); return;
    case TLe: setplain(l, tc::Int, x <= y); return;
    case TGt: setplain(l, tc::Int, x > y); return;
    case TGe: setplain(l, tc::Int, x >= y); return;
    case TEq: setplain(l, tc::Int, x == y); return;
    case TNe: setplain(l, tc::Int, x != y); return;
    default: seterror(57); return;
    }
    if (restype == tc::Float) z = double(float(z));
    setplain(l, restype, 0);
    l.setdbl(z);
}

void intop(int op, ExprValue& l, const ExprValue& r) {
    uint8_t lc = promote(opcode(l)), rc = promote(opcode(r));
    bool uns = isunsignedcode(lc) || isunsignedcode(rc);
    uint8_t type = isunsignedcode(lc) ? lc : isunsignedcode(rc) ? rc : tc::Int;
    uint32_t a = l.u32(), b = r.u32(), z = 0;
    const int32_t sa = int32_t(a), sb = int32_t(b);
    switch (op) {
    case TStar: z = a * b; break;
    case TDiv:
    case TMod:
        if (b == 0) {
            seterror(12);
            return;
        }
        if (uns)
            z = op == TDiv ? a / b : a % b;
        else if (sb == -1)   // INT_MIN / -1 would trap: C on 32 bits wraps
            z = op == TDiv ? 0u - a : 0;
        else
            z = uint32_t(op == TDiv ? sa / sb : sa % sb);
        break;
    case TPlus: z = a + b; break;
    case TMinus: z = a - b; break;
    case TShl:
        z = a << (b & 31);
        type = lc;
        break;
    case TShr:
        z = isunsignedcode(lc) ? a >> (b & 31) : uint32_t(sa >> (b & 31));
        type = lc;
        break;
    case TAmp: z = a & b; break;
    case TXor: z = a ^ b; break;
    case TOr: z = a | b; break;
    case TAndAnd: setplain(l, tc::Int, a != 0 && b != 0); return;
    case TOrOr: setplain(l, tc::Int, a != 0 || b != 0); return;
    case TLt: setplain(l, tc::Int, uns ? a < b : sa < sb); return;
    case TLe: setplain(l, tc::Int, uns ? a <= b : sa <= sb); return;
    case TGt: setplain(l, tc::Int, uns ? a > b : sa > sb); return;
    case TGe: setplain(l, tc::Int, uns ? a >= b : sa >= sb); return;
    case TEq: setplain(l, tc::Int, a == b); return;
    case TNe: setplain(l, tc::Int, a != b); return;
    default: seterror(57); return;
    }
    setplain(l, type, z);
}

void truthvalue(ExprValue& v) {
    if (v.isfloat()) setplain(v, tc::Int, v.dbl() != 0.0);
}

}  // namespace

uint32_t dbltoint(double d, uint8_t code) {
    if (std::isnan(d)) return 0;
    if (code == tc::Bool) return d != 0.0;
    double lo = -2147483648.0, hi = 2147483647.0;
    switch (code) {
    case tc::SChar:
    case tc::Char:
    case tc::CharEnum: lo = -128, hi = 127; break;
    case tc::UChar:
    case tc::CharBits: lo = 0, hi = 255; break;
    case tc::Short:
    case tc::ShortEnum: lo = -32768, hi = 32767; break;
    case tc::UShort:
    case tc::ShortBits: lo = 0, hi = 65535; break;
    case tc::UInt:
    case tc::ULong:
    case tc::IntBits:
    case tc::LongBits: lo = 0, hi = 4294967295.0; break;
    default: break;
    }
    d = std::trunc(d);
    if (d < lo) d = lo;
    if (d > hi) d = hi;
    return d < 0 ? uint32_t(int32_t(d)) : uint32_t(d);
}

double inttodbl(uint32_t v, uint8_t code) {
    bool uns = code == tc::UChar || code == tc::UShort || code == tc::UInt || code == tc::ULong ||
               code == tc::CharBits || code == tc::ShortBits || code == tc::IntBits || code == tc::LongBits;
    return uns ? double(v) : double(int32_t(v));
}

void applyunary(int op, ExprValue& v) {
    v.count = 0;
    if (failed()) return;
    switch (op) {
    case TNot:
        if (!integral(v)) break;
        setplain(v, tc::Int, v.u32() == 0);
        return;
    case TCompl:
        // Enumerators count as int here too, as C has them.
        if (!integral(v)) break;
        setplain(v, promote(opcode(v)), ~v.u32());
        return;
    case TPlus:
    case TMinus:
        if (!arithmetic(v)) break;
        if (v.isfloat()) {
            double d = op == TMinus ? -v.dbl() : v.dbl();
            uint8_t t = v.base();
            setplain(v, t, 0);
            v.setdbl(d);
        } else {
            setplain(v, promote(opcode(v)), op == TMinus ? 0u - v.u32() : v.u32());
        }
        return;
    case TStar: {
        uint32_t top = step::top(v.type);
        if (top != step::Ptr && top != step::Arr) break;
        if (top == step::Ptr && step::top(step::drop(v.type)) == step::Func) break;
        if (top == step::Ptr) {
            v.address = v.u32();
            v.attr = v.attr < 0 ? int16_t(stepword(v) >> 16) : 0;
        }
        dropstep(v);
        v.kind = term::Mem;
        loadvalue(v);
        return;
    }
    case TAmp:
        switch (v.kind) {
        // Plain values, registers, enumerators, counters, and the debugger's
        // own variables, which live in no target memory.
        case 0: case 4: case 5: case 7: case 12: case 13: case 15: case 22: case 23: case 24: case 25:
        case term::DotVar:
            seterror(53);
            return;
        default: break;
        }
        addstep(v, step::Ptr, v.attr < 0 ? uint16_t(v.attr) : 0);
        if (v.attr < 0) v.attr = 0;
        v.setint(v.address);
        plain(v);
        return;
    case THash: plain(v); return;
    default: break;
    }
    seterror(55);
}

void applybinary(int op, ExprValue& l, ExprValue& r) {
    l.count = 0;
    if (failed()) return;
    if (isptr(l) || isptr(r)) {
        pointerop(op, l, r);
        return;
    }
    if (!arithmetic(l) || !arithmetic(r)) {
        seterror(55);
        return;
    }
    if (op == TAssign) {
        assign(l, r);
        return;
    }
    if (op == TAndAnd || op == TOrOr) {
        truthvalue(l);
        truthvalue(r);
    }
    bool lf = l.isfloat(), rf = r.isfloat();
    if (!lf && !rf) {
        intop(op, l, r);
        return;
    }
    // A floating result has the widest floating operand's type.
    uint8_t restype = lf && rf ? std::max(l.base(), r.base()) : lf ? l.base() : r.base();
    ExprValue rd = r;
    if (!rf) rd.setdbl(inttodbl(r.u32(), opcode(r)));
    if (!lf) l.setdbl(inttodbl(l.u32(), opcode(l)));
    floatop(op, l, rd, restype);
}

int storevalue(ExprValue& target, const ExprValue& value) {
    ExprState& s = st();
    const ExprState saved = s;
    s.mode = 1;
    s.error = 0;
    assign(target, value);
    const int error = s.error;
    s = saved;
    return error;
}

}  // namespace vek

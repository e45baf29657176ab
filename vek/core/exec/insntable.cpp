// The instruction table of the executor: classic Book E integer and SPE
// scalar float instructions, VLE 16-bit and VLE 32-bit instructions. Each
// row is one instruction: mnemonic, table, mask, match, form (how its fields
// are read, see insntable.h) and its semantics in one to three lines.
//
// Column key: name | set | form | semantics. The encodings (mask and match)
// come from the shared encoding table by name when the table is first used,
// so each instruction's bits are declared in one place; a name ending in "."
// is the record variant of a row with Rc. Where the form reads the Rc or OE
// bit, one row covers both variants. The first row of a set that matches
// wins. Registers: x.r[n] is rn.
#include "vek/core/exec/insntable.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <utility>
#include <vector>

#include "toollib/isa/isa.h"
#include "vek/core/exec/spefloat.h"

namespace vek {

namespace {

#define EXEC(body) []([[maybe_unused]] Executor& x, [[maybe_unused]] const Insn& i) { body; }

// ---- semantic helpers

inline uint32_t rotl(uint32_t v, unsigned n) { return std::rotl(v, int(n & 31)); }

// Ones from bit mb to bit me (bit 0 is the most significant); wraps when
// mb > me.
inline uint32_t rotmask(unsigned mb, unsigned me)
{
    uint32_t from = 0xFFFFFFFFu >> mb, to = 0xFFFFFFFFu << (31 - me);
    return mb <= me ? from & to : from | to;
}

inline uint32_t ra0(Executor& x, const Insn& i) { return i.a ? x.r[i.a] : 0; }

// rD := a + b + carry-in, with CA when carrying, OV with OE, CR0 with Rc.
inline void addop(Executor& x, const Insn& i, uint32_t a, uint32_t b, uint32_t cin, bool carrying)
{
    uint64_t sum = uint64_t(a) + b + cin;
    uint32_t res = uint32_t(sum);
    if (carrying) x.setca(sum >> 32);
    if (i.oe) x.setov(((a ^ res) & (b ^ res)) >> 31);
    x.r[i.d] = res;
    if (i.rc) x.record(res);
}

// rA := v with CR0 when Rc (the logical and shift instructions).
inline void setra(Executor& x, const Insn& i, uint32_t v)
{
    x.r[i.a] = v;
    if (i.rc) x.record(v);
}

inline void setrd(Executor& x, const Insn& i, uint32_t v)
{
    x.r[i.d] = v;
    if (i.rc) x.record(v);
}

inline uint32_t sraw(Executor& x, uint32_t v, unsigned n)
{
    int32_t s = int32_t(v);
    if (n & 0x20) {
        x.setca(s < 0);
        return s < 0 ? 0xFFFFFFFFu : 0;
    }
    x.setca(s < 0 && (v & ((1u << n) - 1)) != 0);
    return uint32_t(s >> n);
}

inline uint32_t slw(uint32_t v, unsigned n) { return n & 0x20 ? 0 : v << (n & 31); }
inline uint32_t srw(uint32_t v, unsigned n) { return n & 0x20 ? 0 : v >> (n & 31); }

inline void mullw(Executor& x, const Insn& i, uint32_t a, uint32_t b)
{
    int64_t p = int64_t(int32_t(a)) * int32_t(b);
    uint32_t lo = uint32_t(p);
    if (i.oe) x.setov(p != int64_t(int32_t(lo)));
    setrd(x, i, lo);
}

inline void divw(Executor& x, const Insn& i, bool isunsigned)
{
    uint32_t a = x.r[i.a], b = x.r[i.b];
    bool bad = b == 0 || (!isunsigned && a == 0x80000000u && b == 0xFFFFFFFFu);
    uint32_t q = bad ? a : isunsigned ? a / b : uint32_t(int32_t(a) / int32_t(b));
    if (i.oe) x.setov(bad);
    setrd(x, i, q);
    x.cycles(11);
}

// Conditional branch test with the ctr decrement (BO bits: 16 ignore the
// condition, 8 branch when the bit is set, 4 leave ctr alone, 2 branch when
// ctr reaches 0).
inline bool bcond(Executor& x, unsigned bo, unsigned bi)
{
    bool ok = true;
    if (!(bo & 4)) {
        x.ctr()--;
        ok = (x.ctr() == 0) == ((bo & 2) != 0);
    }
    if (!(bo & 16)) ok = ok && x.crbit(bi) == ((bo & 8) != 0);
    return ok;
}

// The link register is written whether or not the branch is taken.
inline void branch(Executor& x, const Insn& i, uint32_t target, bool taken)
{
    if (i.c) x.lr() = x.pc();
    if (taken) {
        x.pc() = target;
        x.cycles(1);
    }
}

inline void crlogic(Executor& x, const Insn& i, bool v)
{
    uint32_t bit = 0x80000000u >> (i.d & 31);
    x.cr() = v ? x.cr() | bit : x.cr() & ~bit;
}
inline bool crA(Executor& x, const Insn& i) { return x.crbit(i.a); }
inline bool crB(Executor& x, const Insn& i) { return x.crbit(i.b); }

inline uint32_t crfield(Executor& x, unsigned f) { return (x.cr() >> (28 - 4 * (f & 7))) & 0xF; }

inline uint32_t bswap32(uint32_t v)
{
    return v >> 24 | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | v << 24;
}
inline uint32_t bswap16(uint32_t v) { return ((v & 0xFF) << 8) | ((v >> 8) & 0xFF); }

inline uint32_t exts8(uint32_t v) { return uint32_t(int32_t(int8_t(uint8_t(v)))); }
inline uint32_t exts16(uint32_t v) { return uint32_t(int32_t(int16_t(uint16_t(v)))); }

// Load and store multiple: registers d..31, one extra cycle each.
inline void lmw(Executor& x, const Insn& i, uint32_t ea)
{
    for (unsigned n = i.d; n < 32; n++, ea += 4) x.r[n] = x.mem.getlong(ea);
    x.cycles(32 - i.d);
}
inline void stmw(Executor& x, const Insn& i, uint32_t ea)
{
    for (unsigned n = i.d; n < 32; n++, ea += 4) x.mem.putlong(ea, x.r[n]);
    x.cycles(32 - i.d);
}

// The volatile register groups of the VLE load/store multiple.
constexpr unsigned gprw_regs[] = {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
constexpr unsigned sprw_regs[] = {RegCr - 1, RegLr - 1, RegCtr - 1, RegXer - 1};
template <size_t N>
inline void loadgroup(Executor& x, const unsigned (&regs)[N], uint32_t ea)
{
    for (unsigned n : regs) x.r[n] = x.mem.getlong(ea), ea += 4;
}
template <size_t N>
inline void storegroup(Executor& x, const unsigned (&regs)[N], uint32_t ea)
{
    for (unsigned n : regs) x.mem.putlong(ea, x.r[n]), ea += 4;
}

inline uint32_t mfspr(Executor& x, uint32_t spr)
{
    switch (spr) {
    case 1: return x.xer();
    case 8: return x.lr();
    case 9: return x.ctr();
    default: {
        auto it = x.spr.find(spr);
        return it == x.spr.end() ? 0 : it->second;
    }
    }
}

inline void mtspr(Executor& x, uint32_t spr, uint32_t v)
{
    switch (spr) {
    case 1: x.xer() = v; break;
    case 8: x.lr() = v; break;
    case 9: x.ctr() = v; break;
    default: x.spr[spr] = v; break;
    }
}

// Load and store string: n bytes through consecutive registers from rD,
// four to a register (high byte first), wrapping from r31 to r0; the last
// register loaded is zero-filled.
inline void lsw(Executor& x, unsigned r, uint32_t ea, unsigned n)
{
    for (unsigned k = 0; n--; ea++) {
        if (k == 0) x.r[r] = 0;
        x.r[r] |= uint32_t(x.mem.getbyte(ea)) << (24 - 8 * k);
        if (++k == 4) k = 0, r = (r + 1) & 31;
    }
}
inline void stsw(Executor& x, unsigned r, uint32_t ea, unsigned n)
{
    for (unsigned k = 0; n--; ea++) {
        x.mem.putbyte(ea, uint8_t(x.r[r] >> (24 - 8 * k)));
        if (++k == 4) k = 0, r = (r + 1) & 31;
    }
}

// Device control and performance monitor registers share the store of the
// unmodelled special registers under their own keys.
constexpr uint32_t DcrKey = 0x10000, PmrKey = 0x20000;

inline uint32_t fieldmask(uint32_t fxm)
{
    uint32_t m = 0;
    for (unsigned f = 0; f < 8; f++)
        if (fxm & (0x80u >> f)) m |= 0xF0000000u >> (4 * f);
    return m;
}

// SPE single precision: operands rA, rB; results to rD.
inline float fa(Executor& x, const Insn& i) { return f32(x.r[i.a]); }
inline float fb(Executor& x, const Insn& i) { return f32(x.r[i.b]); }
// Results never leave the normal range: an overflow gives the largest value,
// an underflow zero, each with the result's sign.
inline void setf(Executor& x, const Insn& i, float v)
{
    if (std::isinf(v))
        v = std::signbit(v) ? -FLT_MAX : FLT_MAX;
    else if (std::fpclassify(v) == FP_SUBNORMAL)
        v = std::copysign(0.0f, v);
    x.r[i.d] = bits32(v);
}
// Division by zero gives the largest value with the quotient's sign.
inline float spediv(float a, float b)
{
    if (b != 0) return a / b;
    if (a == 0 || std::isnan(a)) return 0.0f;
    return std::signbit(a) != std::signbit(b) ? -FLT_MAX : FLT_MAX;
}
// The compares and tests set only the GT position of the CR field.
inline void spetest(Executor& x, const Insn& i, bool v)
{
    uint32_t f = crfield(x, i.d);
    x.setcrf(i.d, v ? f | 4 : f & ~4u);
}

// Semantics shared by a classic row and its VLE twin.
constexpr ExecFn cr_nor = EXEC(crlogic(x, i, !(crA(x, i) | crB(x, i))));
constexpr ExecFn cr_andc = EXEC(crlogic(x, i, crA(x, i) & !crB(x, i)));
constexpr ExecFn cr_xor = EXEC(crlogic(x, i, crA(x, i) ^ crB(x, i)));
constexpr ExecFn cr_nand = EXEC(crlogic(x, i, !(crA(x, i) & crB(x, i))));
constexpr ExecFn cr_and = EXEC(crlogic(x, i, crA(x, i) & crB(x, i)));
constexpr ExecFn cr_eqv = EXEC(crlogic(x, i, crA(x, i) == crB(x, i)));
constexpr ExecFn cr_orc = EXEC(crlogic(x, i, crA(x, i) | !crB(x, i)));
constexpr ExecFn cr_or = EXEC(crlogic(x, i, crA(x, i) | crB(x, i)));
constexpr ExecFn mcrf = EXEC(x.setcrf(i.d, crfield(x, i.a)));
// Branches: the link and absolute variants are rows of their own.
constexpr ExecFn branch_i = EXEC(branch(x, i, i.imm, true));
constexpr ExecFn branch_bc = EXEC(branch(x, i, i.imm, bcond(x, i.d, i.a)));
constexpr ExecFn branch_bclr = EXEC(uint32_t t = x.lr() & ~3u; branch(x, i, t, bcond(x, i.d, i.a)));
constexpr ExecFn branch_bcctr = EXEC(uint32_t t = x.ctr() & ~3u; branch(x, i, t, bcond(x, i.d, i.a)));
constexpr ExecFn se_blr = EXEC(branch(x, i, x.lr() & ~1u, true));
constexpr ExecFn se_bctr = EXEC(branch(x, i, x.ctr() & ~1u, true));

constexpr InsnSet C = InsnSet::Classic, V16 = InsnSet::Vle16, V32 = InsnSet::Vle32;
// Rows of opcode 31 and 4 serve classic and VLE code alike.
constexpr InsnSet SHARED = InsnSet::Classic;

// clang-format off
constexpr InsnRow rows[] = {
  {"????",       C,      Form::None,    EXEC()},

  // ---- classic: immediate arithmetic and logic
  {"addi",       C,      Form::D,       EXEC(x.r[i.d] = ra0(x, i) + i.imm)},
  {"addis",      C,      Form::D,       EXEC(x.r[i.d] = ra0(x, i) + (i.imm << 16))},
  {"addic",      C,      Form::D,       EXEC(addop(x, i, x.r[i.a], i.imm, 0, true))},
  {"addic.",     C,      Form::D,       EXEC(addop(x, i, x.r[i.a], i.imm, 0, true); x.record(x.r[i.d]))},
  {"subfic",     C,      Form::D,       EXEC(addop(x, i, ~x.r[i.a], i.imm, 1, true))},
  {"mulli",      C,      Form::D,       EXEC(x.r[i.d] = x.r[i.a] * i.imm)},
  {"cmpi",       C,      Form::DCmp,    EXEC(x.setcrf(i.d, x.compare(int32_t(x.r[i.a]), int32_t(i.imm))))},
  {"cmpli",      C,      Form::DCmpU,   EXEC(x.setcrf(i.d, x.compareu(x.r[i.a], i.imm)))},
  {"ori",        C,      Form::DU,      EXEC(x.r[i.a] = x.r[i.d] | i.imm)},
  {"oris",       C,      Form::DU,      EXEC(x.r[i.a] = x.r[i.d] | i.imm << 16)},
  {"xori",       C,      Form::DU,      EXEC(x.r[i.a] = x.r[i.d] ^ i.imm)},
  {"xoris",      C,      Form::DU,      EXEC(x.r[i.a] = x.r[i.d] ^ i.imm << 16)},
  {"andi.",      C,      Form::DU,      EXEC(x.r[i.a] = x.r[i.d] & i.imm; x.record(x.r[i.a]))},
  {"andis.",     C,      Form::DU,      EXEC(x.r[i.a] = x.r[i.d] & i.imm << 16; x.record(x.r[i.a]))},

  // ---- classic: loads and stores, D form
  {"lwz",        C,      Form::D,       EXEC(x.r[i.d] = x.mem.getlong(ra0(x, i) + i.imm))},
  {"lwzu",       C,      Form::D,       EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getlong(ea); x.r[i.a] = ea)},
  {"lbz",        C,      Form::D,       EXEC(x.r[i.d] = x.mem.getbyte(ra0(x, i) + i.imm))},
  {"lbzu",       C,      Form::D,       EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getbyte(ea); x.r[i.a] = ea)},
  {"stw",        C,      Form::D,       EXEC(x.mem.putlong(ra0(x, i) + i.imm, x.r[i.d]))},
  {"stwu",       C,      Form::D,       EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putlong(ea, x.r[i.d]); x.r[i.a] = ea)},
  {"stb",        C,      Form::D,       EXEC(x.mem.putbyte(ra0(x, i) + i.imm, uint8_t(x.r[i.d])))},
  {"stbu",       C,      Form::D,       EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putbyte(ea, uint8_t(x.r[i.d])); x.r[i.a] = ea)},
  {"lhz",        C,      Form::D,       EXEC(x.r[i.d] = x.mem.getword(ra0(x, i) + i.imm))},
  {"lhzu",       C,      Form::D,       EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getword(ea); x.r[i.a] = ea)},
  {"lha",        C,      Form::D,       EXEC(x.r[i.d] = exts16(x.mem.getword(ra0(x, i) + i.imm)))},
  {"lhau",       C,      Form::D,       EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = exts16(x.mem.getword(ea)); x.r[i.a] = ea)},
  {"sth",        C,      Form::D,       EXEC(x.mem.putword(ra0(x, i) + i.imm, uint16_t(x.r[i.d])))},
  {"sthu",       C,      Form::D,       EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putword(ea, uint16_t(x.r[i.d])); x.r[i.a] = ea)},
  {"lmw",        C,      Form::D,       EXEC(lmw(x, i, ra0(x, i) + i.imm))},
  {"stmw",       C,      Form::D,       EXEC(stmw(x, i, ra0(x, i) + i.imm))},

  // ---- classic: rotates
  {"rlwimi",     C,      Form::M,       EXEC(setra(x, i, (rotl(x.r[i.d], i.b) & i.imm) | (x.r[i.a] & ~i.imm)))},
  {"rlwinm",     C,      Form::M,       EXEC(setra(x, i, rotl(x.r[i.d], i.b) & i.imm))},
  {"rlwnm",      C,      Form::M,       EXEC(setra(x, i, rotl(x.r[i.d], x.r[i.b]) & i.imm))},

  // ---- classic: branches and system
  {"b",          C,      Form::I,       branch_i},
  {"ba",         C,      Form::I,       branch_i},
  {"bl",         C,      Form::I,       branch_i},
  {"bla",        C,      Form::I,       branch_i},
  {"bc",         C,      Form::B,       branch_bc},
  {"bca",        C,      Form::B,       branch_bc},
  {"bcl",        C,      Form::B,       branch_bc},
  {"bcla",       C,      Form::B,       branch_bc},
  {"bclr",       C,      Form::XL,      branch_bclr},
  {"bclrl",      C,      Form::XL,      branch_bclr},
  {"bcctr",      C,      Form::XL,      branch_bcctr},
  {"bcctrl",     C,      Form::XL,      branch_bcctr},
  {"sc",         C,      Form::None,    EXEC()},
  {"twi",        C,      Form::None,    EXEC()},
  {"mcrf",       C,      Form::XCrf,    mcrf},
  {"crnor",      C,      Form::XL,      cr_nor},
  {"crandc",     C,      Form::XL,      cr_andc},
  {"crxor",      C,      Form::XL,      cr_xor},
  {"crnand",     C,      Form::XL,      cr_nand},
  {"crand",      C,      Form::XL,      cr_and},
  {"creqv",      C,      Form::XL,      cr_eqv},
  {"crorc",      C,      Form::XL,      cr_orc},
  {"cror",       C,      Form::XL,      cr_or},
  {"isync",      C,      Form::None,    EXEC()},
  {"rfi",        C,      Form::None,    EXEC()},
  {"rfci",       C,      Form::None,    EXEC()},
  {"rfdi",       C,      Form::None,    EXEC()},
  {"rfmci",      C,      Form::None,    EXEC()},

  // ---- opcode 31 (classic and VLE): add and subtract, multiply, divide
  {"add",        SHARED, Form::X,       EXEC(addop(x, i, x.r[i.a], x.r[i.b], 0, false))},
  {"addc",       SHARED, Form::X,       EXEC(addop(x, i, x.r[i.a], x.r[i.b], 0, true))},
  {"adde",       SHARED, Form::X,       EXEC(addop(x, i, x.r[i.a], x.r[i.b], x.ca(), true))},
  {"addze",      SHARED, Form::X,       EXEC(addop(x, i, x.r[i.a], 0, x.ca(), true))},
  {"addme",      SHARED, Form::X,       EXEC(addop(x, i, x.r[i.a], 0xFFFFFFFFu, x.ca(), true))},
  {"subf",       SHARED, Form::X,       EXEC(addop(x, i, ~x.r[i.a], x.r[i.b], 1, false))},
  {"subfc",      SHARED, Form::X,       EXEC(addop(x, i, ~x.r[i.a], x.r[i.b], 1, true))},
  {"subfe",      SHARED, Form::X,       EXEC(addop(x, i, ~x.r[i.a], x.r[i.b], x.ca(), true))},
  {"subfze",     SHARED, Form::X,       EXEC(addop(x, i, ~x.r[i.a], 0, x.ca(), true))},
  {"subfme",     SHARED, Form::X,       EXEC(addop(x, i, ~x.r[i.a], 0xFFFFFFFFu, x.ca(), true))},
  {"neg",        SHARED, Form::X,       EXEC(uint32_t a = x.r[i.a]; if (i.oe) x.setov(a == 0x80000000u); setrd(x, i, 0u - a))},
  {"mullw",      SHARED, Form::X,       EXEC(mullw(x, i, x.r[i.a], x.r[i.b]))},
  {"mulhw",      SHARED, Form::X,       EXEC(setrd(x, i, uint32_t(uint64_t(int64_t(int32_t(x.r[i.a])) * int32_t(x.r[i.b])) >> 32)))},
  {"mulhwu",     SHARED, Form::X,       EXEC(setrd(x, i, uint32_t(uint64_t(x.r[i.a]) * x.r[i.b] >> 32)))},
  {"divw",       SHARED, Form::X,       EXEC(divw(x, i, false))},
  {"divwu",      SHARED, Form::X,       EXEC(divw(x, i, true))},

  // ---- opcode 31: compare, logic, shifts
  {"isel",       SHARED, Form::A,       EXEC(x.r[i.d] = x.crbit(i.c) ? ra0(x, i) : x.r[i.b])},
  {"cmp",        SHARED, Form::XCmp,    EXEC(x.setcrf(i.d, x.compare(int32_t(x.r[i.a]), int32_t(x.r[i.b]))))},
  {"cmpl",       SHARED, Form::XCmp,    EXEC(x.setcrf(i.d, x.compareu(x.r[i.a], x.r[i.b])))},
  {"and",        SHARED, Form::X,       EXEC(setra(x, i, x.r[i.d] & x.r[i.b]))},
  {"andc",       SHARED, Form::X,       EXEC(setra(x, i, x.r[i.d] & ~x.r[i.b]))},
  {"or",         SHARED, Form::X,       EXEC(setra(x, i, x.r[i.d] | x.r[i.b]))},
  {"orc",        SHARED, Form::X,       EXEC(setra(x, i, x.r[i.d] | ~x.r[i.b]))},
  {"xor",        SHARED, Form::X,       EXEC(setra(x, i, x.r[i.d] ^ x.r[i.b]))},
  {"nand",       SHARED, Form::X,       EXEC(setra(x, i, ~(x.r[i.d] & x.r[i.b])))},
  {"nor",        SHARED, Form::X,       EXEC(setra(x, i, ~(x.r[i.d] | x.r[i.b])))},
  {"eqv",        SHARED, Form::X,       EXEC(setra(x, i, ~(x.r[i.d] ^ x.r[i.b])))},
  {"slw",        SHARED, Form::X,       EXEC(setra(x, i, slw(x.r[i.d], x.r[i.b] & 0x3F)))},
  {"srw",        SHARED, Form::X,       EXEC(setra(x, i, srw(x.r[i.d], x.r[i.b] & 0x3F)))},
  {"sraw",       SHARED, Form::X,       EXEC(setra(x, i, sraw(x, x.r[i.d], x.r[i.b] & 0x3F)))},
  {"srawi",      SHARED, Form::X,       EXEC(setra(x, i, sraw(x, x.r[i.d], i.b)))},
  {"cntlzw",     SHARED, Form::X,       EXEC(setra(x, i, uint32_t(std::countl_zero(x.r[i.d]))))},
  {"extsb",      SHARED, Form::X,       EXEC(setra(x, i, exts8(x.r[i.d])))},
  {"extsh",      SHARED, Form::X,       EXEC(setra(x, i, exts16(x.r[i.d])))},

  // ---- opcode 31: indexed loads and stores
  {"lwzx",       SHARED, Form::X,       EXEC(x.r[i.d] = x.mem.getlong(ra0(x, i) + x.r[i.b]))},
  {"lwzux",      SHARED, Form::X,       EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.r[i.d] = x.mem.getlong(ea); x.r[i.a] = ea)},
  {"lbzx",       SHARED, Form::X,       EXEC(x.r[i.d] = x.mem.getbyte(ra0(x, i) + x.r[i.b]))},
  {"lbzux",      SHARED, Form::X,       EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.r[i.d] = x.mem.getbyte(ea); x.r[i.a] = ea)},
  {"lhzx",       SHARED, Form::X,       EXEC(x.r[i.d] = x.mem.getword(ra0(x, i) + x.r[i.b]))},
  {"lhzux",      SHARED, Form::X,       EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.r[i.d] = x.mem.getword(ea); x.r[i.a] = ea)},
  {"lhax",       SHARED, Form::X,       EXEC(x.r[i.d] = exts16(x.mem.getword(ra0(x, i) + x.r[i.b])))},
  {"lhaux",      SHARED, Form::X,       EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.r[i.d] = exts16(x.mem.getword(ea)); x.r[i.a] = ea)},
  {"stwx",       SHARED, Form::X,       EXEC(x.mem.putlong(ra0(x, i) + x.r[i.b], x.r[i.d]))},
  {"stwux",      SHARED, Form::X,       EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.mem.putlong(ea, x.r[i.d]); x.r[i.a] = ea)},
  {"stbx",       SHARED, Form::X,       EXEC(x.mem.putbyte(ra0(x, i) + x.r[i.b], uint8_t(x.r[i.d])))},
  {"stbux",      SHARED, Form::X,       EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.mem.putbyte(ea, uint8_t(x.r[i.d])); x.r[i.a] = ea)},
  {"sthx",       SHARED, Form::X,       EXEC(x.mem.putword(ra0(x, i) + x.r[i.b], uint16_t(x.r[i.d])))},
  {"sthux",      SHARED, Form::X,       EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.mem.putword(ea, uint16_t(x.r[i.d])); x.r[i.a] = ea)},
  {"lhbrx",      SHARED, Form::X,       EXEC(x.r[i.d] = bswap16(x.mem.getword(ra0(x, i) + x.r[i.b])))},
  {"lwbrx",      SHARED, Form::X,       EXEC(x.r[i.d] = bswap32(x.mem.getlong(ra0(x, i) + x.r[i.b])))},
  {"sthbrx",     SHARED, Form::X,       EXEC(x.mem.putword(ra0(x, i) + x.r[i.b], uint16_t(bswap16(x.r[i.d]))))},
  {"stwbrx",     SHARED, Form::X,       EXEC(x.mem.putlong(ra0(x, i) + x.r[i.b], bswap32(x.r[i.d])))},
  {"lwarx",      SHARED, Form::X,       EXEC(x.r[i.d] = x.mem.getlong(ra0(x, i) + x.r[i.b]))},
  // One core: the reservation always holds, so the store is done.
  {"lswi",       SHARED, Form::X,       EXEC(lsw(x, i.d, ra0(x, i), i.b ? i.b : 32))},
  {"lswx",       SHARED, Form::X,       EXEC(lsw(x, i.d, ra0(x, i) + x.r[i.b], x.xer() & 0x7F))},
  {"stswi",      SHARED, Form::X,       EXEC(stsw(x, i.d, ra0(x, i), i.b ? i.b : 32))},
  {"stswx",      SHARED, Form::X,       EXEC(stsw(x, i.d, ra0(x, i) + x.r[i.b], x.xer() & 0x7F))},
  {"stwcx.",     SHARED, Form::X,       EXEC(x.mem.putlong(ra0(x, i) + x.r[i.b], x.r[i.d]); x.setcrf(0, 2 | x.xer() >> 31))},

  // ---- opcode 31: moves and system
  {"mfcr",       SHARED, Form::X,       EXEC(x.r[i.d] = x.cr())},
  {"mtcrf",      SHARED, Form::XFXM,    EXEC(uint32_t m = fieldmask(i.imm); x.cr() = (x.cr() & ~m) | (x.r[i.d] & m))},
  {"mfspr",      SHARED, Form::XFX,     EXEC(x.r[i.d] = mfspr(x, i.imm))},
  {"mtspr",      SHARED, Form::XFX,     EXEC(mtspr(x, i.imm, x.r[i.d]))},
  {"mfdcr",      SHARED, Form::XFX,     EXEC(x.r[i.d] = mfspr(x, DcrKey | i.imm))},
  {"mtdcr",      SHARED, Form::XFX,     EXEC(mtspr(x, DcrKey | i.imm, x.r[i.d]))},
  {"mfpmr",      SHARED, Form::XFX,     EXEC(x.r[i.d] = mfspr(x, PmrKey | i.imm))},
  {"mtpmr",      SHARED, Form::XFX,     EXEC(mtspr(x, PmrKey | i.imm, x.r[i.d]))},
  {"mcrxr",      SHARED, Form::XCrf,    EXEC(x.setcrf(i.d, x.xer() >> 28); x.xer() &= 0x0FFFFFFFu)},
  {"mfmsr",      SHARED, Form::X,       EXEC(x.r[i.d] = x.msr)},
  {"mtmsr",      SHARED, Form::X,       EXEC(x.msr = x.r[i.d])},
  {"wrtee",      SHARED, Form::None,    EXEC()},
  {"wrteei",     SHARED, Form::None,    EXEC()},
  {"tw",         SHARED, Form::None,    EXEC()},
  {"msync",      SHARED, Form::None,    EXEC()},
  {"mbar",       SHARED, Form::None,    EXEC()},
  {"dcbf",       SHARED, Form::None,    EXEC()},
  {"dcbst",      SHARED, Form::None,    EXEC()},
  {"dcbt",       SHARED, Form::None,    EXEC()},
  {"dcbtst",     SHARED, Form::None,    EXEC()},
  {"dcbi",       SHARED, Form::None,    EXEC()},
  {"dcba",       SHARED, Form::None,    EXEC()},
  {"icbi",       SHARED, Form::None,    EXEC()},
  {"icbt",       SHARED, Form::None,    EXEC()},
  {"tlbwe",      SHARED, Form::None,    EXEC()},
  {"tlbre",      SHARED, Form::None,    EXEC()},
  {"tlbsx",      SHARED, Form::None,    EXEC()},
  {"tlbsync",    SHARED, Form::None,    EXEC()},
  {"tlbivax",    SHARED, Form::None,    EXEC()},
  {"wait",       SHARED, Form::None,    EXEC()},
  {"dcblc",      SHARED, Form::None,    EXEC()},
  {"dcbtls",     SHARED, Form::None,    EXEC()},
  {"dcbtstls",   SHARED, Form::None,    EXEC()},
  {"icblc",      SHARED, Form::None,    EXEC()},
  {"icbtls",     SHARED, Form::None,    EXEC()},
  {"tlbia",      SHARED, Form::None,    EXEC()},
  {"tlbie",      SHARED, Form::None,    EXEC()},
  {"mfapidi",    SHARED, Form::None,    EXEC()},
  // External control is not modelled.
  {"eciwx",      SHARED, Form::None,    EXEC()},
  {"ecowx",      SHARED, Form::None,    EXEC()},
  // dcbz clears the 32-byte block around the address.
  {"dcbz",       SHARED, Form::X,       EXEC(uint32_t ea = (ra0(x, i) + x.r[i.b]) & ~31u; for (unsigned k = 0; k < 32; k += 4) x.mem.putlong(ea + k, 0))},

  // ---- opcode 4: SPE scalar single precision (classic and VLE)
  {"efsadd",     SHARED, Form::X,       EXEC(setf(x, i, fa(x, i) + fb(x, i)))},
  {"efssub",     SHARED, Form::X,       EXEC(setf(x, i, fa(x, i) - fb(x, i)))},
  {"efsabs",     SHARED, Form::X,       EXEC(x.r[i.d] = x.r[i.a] & 0x7FFFFFFFu)},
  {"efsnabs",    SHARED, Form::X,       EXEC(x.r[i.d] = x.r[i.a] | 0x80000000u)},
  {"efsneg",     SHARED, Form::X,       EXEC(x.r[i.d] = x.r[i.a] ^ 0x80000000u)},
  {"efsmul",     SHARED, Form::X,       EXEC(setf(x, i, fa(x, i) * fb(x, i)))},
  {"efsdiv",     SHARED, Form::X,       EXEC(setf(x, i, spediv(fa(x, i), fb(x, i))))},
  {"efscmpgt",   SHARED, Form::XCmp,    EXEC(spetest(x, i, fa(x, i) > fb(x, i)))},
  {"efscmplt",   SHARED, Form::XCmp,    EXEC(spetest(x, i, fa(x, i) < fb(x, i)))},
  {"efscmpeq",   SHARED, Form::XCmp,    EXEC(spetest(x, i, fa(x, i) == fb(x, i)))},
  {"efscfui",    SHARED, Form::X,       EXEC(setf(x, i, float(x.r[i.b])))},
  {"efscfsi",    SHARED, Form::X,       EXEC(setf(x, i, float(int32_t(x.r[i.b]))))},
  {"efscfuf",    SHARED, Form::X,       EXEC(setf(x, i, float(double(x.r[i.b]) / 4294967296.0)))},
  {"efscfsf",    SHARED, Form::X,       EXEC(setf(x, i, float(double(int32_t(x.r[i.b])) / 2147483648.0)))},
  {"efsctui",    SHARED, Form::X,       EXEC(x.r[i.d] = spetounsigned(fb(x, i), false))},
  {"efsctsi",    SHARED, Form::X,       EXEC(x.r[i.d] = uint32_t(spetosigned(fb(x, i), false)))},
  {"efsctuf",    SHARED, Form::X,       EXEC(x.r[i.d] = spetounsigned(double(fb(x, i)) * 4294967296.0, false))},
  {"efsctsf",    SHARED, Form::X,       EXEC(x.r[i.d] = uint32_t(spetosigned(double(fb(x, i)) * 2147483648.0, false)))},
  {"efsctuiz",   SHARED, Form::X,       EXEC(x.r[i.d] = spetounsigned(fb(x, i), true))},
  {"efsctsiz",   SHARED, Form::X,       EXEC(x.r[i.d] = uint32_t(spetosigned(fb(x, i), true)))},
  {"efststgt",   SHARED, Form::XCmp,    EXEC(spetest(x, i, fa(x, i) > fb(x, i)))},
  {"efststlt",   SHARED, Form::XCmp,    EXEC(spetest(x, i, fa(x, i) < fb(x, i)))},
  {"efststeq",   SHARED, Form::XCmp,    EXEC(spetest(x, i, fa(x, i) == fb(x, i)))},

  // ---- VLE 16-bit
  {"se_isync",   V16,    Form::None,    EXEC()},
  {"se_sc",      V16,    Form::None,    EXEC()},
  {"se_blr",     V16,    Form::Lk16,    se_blr},
  {"se_blrl",    V16,    Form::Lk16,    se_blr},
  {"se_bctr",    V16,    Form::Lk16,    se_bctr},
  {"se_bctrl",   V16,    Form::Lk16,    se_bctr},
  {"se_rfi",     V16,    Form::None,    EXEC()},
  {"se_rfci",    V16,    Form::None,    EXEC()},
  {"se_rfdi",    V16,    Form::None,    EXEC()},
  {"se_rfmci",   V16,    Form::None,    EXEC()},
  {"se_not",     V16,    Form::R16,     EXEC(x.r[i.d] = ~x.r[i.d])},
  {"se_neg",     V16,    Form::R16,     EXEC(x.r[i.d] = 0u - x.r[i.d])},
  {"se_mflr",    V16,    Form::R16,     EXEC(x.r[i.d] = x.lr())},
  {"se_mtlr",    V16,    Form::R16,     EXEC(x.lr() = x.r[i.d])},
  {"se_mfctr",   V16,    Form::R16,     EXEC(x.r[i.d] = x.ctr())},
  {"se_mtctr",   V16,    Form::R16,     EXEC(x.ctr() = x.r[i.d])},
  {"se_extzb",   V16,    Form::R16,     EXEC(x.r[i.d] &= 0xFF)},
  {"se_extsb",   V16,    Form::R16,     EXEC(x.r[i.d] = exts8(x.r[i.d]))},
  {"se_extzh",   V16,    Form::R16,     EXEC(x.r[i.d] &= 0xFFFF)},
  {"se_extsh",   V16,    Form::R16,     EXEC(x.r[i.d] = exts16(x.r[i.d]))},
  {"se_mr",      V16,    Form::RR16,    EXEC(x.r[i.d] = x.r[i.a])},
  {"se_mtar",    V16,    Form::Mtar16,  EXEC(x.r[i.d] = x.r[i.a])},
  {"se_mfar",    V16,    Form::Mfar16,  EXEC(x.r[i.d] = x.r[i.a])},
  {"se_add",     V16,    Form::RR16,    EXEC(x.r[i.d] += x.r[i.a])},
  {"se_mullw",   V16,    Form::RR16,    EXEC(x.r[i.d] *= x.r[i.a])},
  {"se_sub",     V16,    Form::RR16,    EXEC(x.r[i.d] -= x.r[i.a])},
  {"se_subf",    V16,    Form::RR16,    EXEC(x.r[i.d] = x.r[i.a] - x.r[i.d])},
  {"se_cmp",     V16,    Form::RR16,    EXEC(x.setcrf(0, x.compare(int32_t(x.r[i.d]), int32_t(x.r[i.a]))))},
  {"se_cmpl",    V16,    Form::RR16,    EXEC(x.setcrf(0, x.compareu(x.r[i.d], x.r[i.a])))},
  {"se_cmph",    V16,    Form::RR16,    EXEC(x.setcrf(0, x.compare(int16_t(x.r[i.d]), int16_t(x.r[i.a]))))},
  {"se_cmphl",   V16,    Form::RR16,    EXEC(x.setcrf(0, x.compareu(uint16_t(x.r[i.d]), uint16_t(x.r[i.a]))))},
  {"se_addi",    V16,    Form::Oim5,    EXEC(x.r[i.d] += i.imm)},
  {"se_cmpli",   V16,    Form::Oim5,    EXEC(x.setcrf(0, x.compareu(x.r[i.d], i.imm)))},
  {"se_subi",    V16,    Form::Oim5,    EXEC(x.r[i.d] -= i.imm)},
  {"se_subi.",   V16,    Form::Oim5,    EXEC(x.r[i.d] -= i.imm; x.record(x.r[i.d]))},
  {"se_cmpi",    V16,    Form::Im5,     EXEC(x.setcrf(0, x.compare(int32_t(x.r[i.d]), int32_t(i.imm))))},
  {"se_bmaski",  V16,    Form::Im5,     EXEC(x.r[i.d] = i.imm ? 0xFFFFFFFFu >> (32 - i.imm) : 0xFFFFFFFFu)},
  {"se_andi",    V16,    Form::Im5,     EXEC(x.r[i.d] &= i.imm)},
  {"se_srw",     V16,    Form::RR16,    EXEC(x.r[i.d] = srw(x.r[i.d], x.r[i.a] & 0x3F))},
  {"se_sraw",    V16,    Form::RR16,    EXEC(x.r[i.d] = sraw(x, x.r[i.d], x.r[i.a] & 0x3F))},
  {"se_slw",     V16,    Form::RR16,    EXEC(x.r[i.d] = slw(x.r[i.d], x.r[i.a] & 0x3F))},
  {"se_or",      V16,    Form::RR16,    EXEC(x.r[i.d] |= x.r[i.a])},
  {"se_andc",    V16,    Form::RR16,    EXEC(x.r[i.d] &= ~x.r[i.a])},
  {"se_and",     V16,    Form::RR16,    EXEC(x.r[i.d] &= x.r[i.a])},
  {"se_and.",    V16,    Form::RR16,    EXEC(x.r[i.d] &= x.r[i.a]; x.record(x.r[i.d]))},
  {"se_li",      V16,    Form::Im7,     EXEC(x.r[i.d] = i.imm)},
  {"se_bclri",   V16,    Form::Im5,     EXEC(x.r[i.d] &= ~(0x80000000u >> i.imm))},
  {"se_bgeni",   V16,    Form::Im5,     EXEC(x.r[i.d] = 0x80000000u >> i.imm)},
  {"se_bseti",   V16,    Form::Im5,     EXEC(x.r[i.d] |= 0x80000000u >> i.imm)},
  {"se_btsti",   V16,    Form::Im5,     EXEC(x.setcrf(0, ((x.r[i.d] >> (31 - i.imm)) & 1 ? 4u : 2u) | x.xer() >> 31))},
  {"se_srwi",    V16,    Form::Im5,     EXEC(x.r[i.d] >>= i.imm)},
  {"se_srawi",   V16,    Form::Im5,     EXEC(x.r[i.d] = sraw(x, x.r[i.d], i.imm))},
  {"se_slwi",    V16,    Form::Im5,     EXEC(x.r[i.d] <<= i.imm)},
  {"se_lbz",     V16,    Form::Sd4B,    EXEC(x.r[i.d] = x.mem.getbyte(x.r[i.a] + i.imm))},
  {"se_stb",     V16,    Form::Sd4B,    EXEC(x.mem.putbyte(x.r[i.a] + i.imm, uint8_t(x.r[i.d])))},
  {"se_lhz",     V16,    Form::Sd4H,    EXEC(x.r[i.d] = x.mem.getword(x.r[i.a] + i.imm))},
  {"se_sth",     V16,    Form::Sd4H,    EXEC(x.mem.putword(x.r[i.a] + i.imm, uint16_t(x.r[i.d])))},
  {"se_lwz",     V16,    Form::Sd4W,    EXEC(x.r[i.d] = x.mem.getlong(x.r[i.a] + i.imm))},
  {"se_stw",     V16,    Form::Sd4W,    EXEC(x.mem.putlong(x.r[i.a] + i.imm, x.r[i.d]))},
  {"se_bc",      V16,    Form::Bd8C,    EXEC(branch(x, i, i.imm, bcond(x, i.d, i.a)))},
  {"se_b",       V16,    Form::Bd8,     branch_i},
  {"se_bl",      V16,    Form::Bd8,     branch_i},

  // ---- VLE 32-bit
  {"e_add16i",   V32,    Form::D,       EXEC(x.r[i.d] = x.r[i.a] + i.imm)},
  {"e_lbz",      V32,    Form::D,       EXEC(x.r[i.d] = x.mem.getbyte(ra0(x, i) + i.imm))},
  {"e_stb",      V32,    Form::D,       EXEC(x.mem.putbyte(ra0(x, i) + i.imm, uint8_t(x.r[i.d])))},
  {"e_lha",      V32,    Form::D,       EXEC(x.r[i.d] = exts16(x.mem.getword(ra0(x, i) + i.imm)))},
  {"e_lwz",      V32,    Form::D,       EXEC(x.r[i.d] = x.mem.getlong(ra0(x, i) + i.imm))},
  {"e_stw",      V32,    Form::D,       EXEC(x.mem.putlong(ra0(x, i) + i.imm, x.r[i.d]))},
  {"e_lhz",      V32,    Form::D,       EXEC(x.r[i.d] = x.mem.getword(ra0(x, i) + i.imm))},
  {"e_sth",      V32,    Form::D,       EXEC(x.mem.putword(ra0(x, i) + i.imm, uint16_t(x.r[i.d])))},
  {"e_lbzu",     V32,    Form::D8,      EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getbyte(ea); x.r[i.a] = ea)},
  {"e_lhzu",     V32,    Form::D8,      EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getword(ea); x.r[i.a] = ea)},
  {"e_lwzu",     V32,    Form::D8,      EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getlong(ea); x.r[i.a] = ea)},
  {"e_lhau",     V32,    Form::D8,      EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = exts16(x.mem.getword(ea)); x.r[i.a] = ea)},
  {"e_stbu",     V32,    Form::D8,      EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putbyte(ea, uint8_t(x.r[i.d])); x.r[i.a] = ea)},
  {"e_sthu",     V32,    Form::D8,      EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putword(ea, uint16_t(x.r[i.d])); x.r[i.a] = ea)},
  {"e_stwu",     V32,    Form::D8,      EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putlong(ea, x.r[i.d]); x.r[i.a] = ea)},
  {"e_lmw",      V32,    Form::D8,      EXEC(lmw(x, i, ra0(x, i) + i.imm))},
  {"e_stmw",     V32,    Form::D8,      EXEC(stmw(x, i, ra0(x, i) + i.imm))},
  {"e_lmvgprw",  V32,    Form::D8,      EXEC(loadgroup(x, gprw_regs, ra0(x, i) + i.imm))},
  {"e_stmvgprw", V32,    Form::D8,      EXEC(storegroup(x, gprw_regs, ra0(x, i) + i.imm))},
  {"e_lmvsprw",  V32,    Form::D8,      EXEC(loadgroup(x, sprw_regs, ra0(x, i) + i.imm))},
  {"e_stmvsprw", V32,    Form::D8,      EXEC(storegroup(x, sprw_regs, ra0(x, i) + i.imm))},
  // The save and restore registers are not modelled.
  {"e_lmvsrrw",  V32,    Form::D8,      EXEC()},
  {"e_stmvsrrw", V32,    Form::D8,      EXEC()},
  {"e_lmvcsrrw", V32,    Form::D8,      EXEC()},
  {"e_stmvcsrrw", V32,    Form::D8,      EXEC()},
  {"e_lmvdsrrw", V32,    Form::D8,      EXEC()},
  {"e_stmvdsrrw", V32,    Form::D8,      EXEC()},
  {"e_addi",     V32,    Form::Sci8,    EXEC(setrd(x, i, x.r[i.a] + i.imm))},
  {"e_addic",    V32,    Form::Sci8,    EXEC(addop(x, i, x.r[i.a], i.imm, 0, true))},
  {"e_mulli",    V32,    Form::Sci8,    EXEC(x.r[i.d] = x.r[i.a] * i.imm)},
  {"e_cmpi",     V32,    Form::Sci8Cmp, EXEC(x.setcrf(i.d, x.compare(int32_t(x.r[i.a]), int32_t(i.imm))))},
  {"e_cmpli",    V32,    Form::Sci8Cmp, EXEC(x.setcrf(i.d, x.compareu(x.r[i.a], i.imm)))},
  {"e_subfic",   V32,    Form::Sci8,    EXEC(addop(x, i, ~x.r[i.a], i.imm, 1, true))},
  {"e_andi",     V32,    Form::Sci8,    EXEC(setra(x, i, x.r[i.d] & i.imm))},
  {"e_ori",      V32,    Form::Sci8,    EXEC(setra(x, i, x.r[i.d] | i.imm))},
  {"e_xori",     V32,    Form::Sci8,    EXEC(setra(x, i, x.r[i.d] ^ i.imm))},
  {"e_li",       V32,    Form::Li20,    EXEC(x.r[i.d] = i.imm)},
  {"e_add2i.",   V32,    Form::I16A,    EXEC(x.r[i.a] += i.imm; x.record(x.r[i.a]))},
  {"e_add2is",   V32,    Form::I16A,    EXEC(x.r[i.a] += i.imm << 16)},
  {"e_cmp16i",   V32,    Form::I16A,    EXEC(x.setcrf(0, x.compare(int32_t(x.r[i.a]), int32_t(i.imm))))},
  {"e_mull2i",   V32,    Form::I16A,    EXEC(x.r[i.a] *= i.imm)},
  {"e_cmpl16i",  V32,    Form::I16AU,   EXEC(x.setcrf(0, x.compareu(x.r[i.a], i.imm)))},
  {"e_cmph16i",  V32,    Form::I16A,    EXEC(x.setcrf(0, x.compare(int16_t(x.r[i.a]), int32_t(i.imm))))},
  {"e_cmphl16i", V32,    Form::I16AU,   EXEC(x.setcrf(0, x.compareu(uint16_t(x.r[i.a]), i.imm)))},
  {"e_or2i",     V32,    Form::I16L,    EXEC(x.r[i.d] |= i.imm)},
  {"e_and2i.",   V32,    Form::I16L,    EXEC(x.r[i.d] &= i.imm; x.record(x.r[i.d]))},
  {"e_or2is",    V32,    Form::I16L,    EXEC(x.r[i.d] |= i.imm << 16)},
  {"e_lis",      V32,    Form::I16L,    EXEC(x.r[i.d] = i.imm << 16)},
  {"e_and2is.",  V32,    Form::I16L,    EXEC(x.r[i.d] &= i.imm << 16; x.record(x.r[i.d]))},
  {"e_rlwimi",   V32,    Form::M32,     EXEC(x.r[i.a] = (rotl(x.r[i.d], i.b) & i.imm) | (x.r[i.a] & ~i.imm))},
  {"e_rlwinm",   V32,    Form::M32,     EXEC(x.r[i.a] = rotl(x.r[i.d], i.b) & i.imm)},
  {"e_b",        V32,    Form::Bd24,    branch_i},
  {"e_bl",       V32,    Form::Bd24,    branch_i},
  {"e_bc",       V32,    Form::Bd15,    branch_bc},
  {"e_bcl",      V32,    Form::Bd15,    branch_bc},
  {"e_cmph",     V32,    Form::XCmp,    EXEC(x.setcrf(i.d, x.compare(int16_t(x.r[i.a]), int16_t(x.r[i.b]))))},
  {"e_cmphl",    V32,    Form::XCmp,    EXEC(x.setcrf(i.d, x.compareu(uint16_t(x.r[i.a]), uint16_t(x.r[i.b]))))},
  {"e_mcrf",     V32,    Form::XCrf,    mcrf},
  {"e_crnor",    V32,    Form::XL,      cr_nor},
  {"e_crandc",   V32,    Form::XL,      cr_andc},
  {"e_crxor",    V32,    Form::XL,      cr_xor},
  {"e_crnand",   V32,    Form::XL,      cr_nand},
  {"e_crand",    V32,    Form::XL,      cr_and},
  {"e_creqv",    V32,    Form::XL,      cr_eqv},
  {"e_crorc",    V32,    Form::XL,      cr_orc},
  {"e_cror",     V32,    Form::XL,      cr_or},
  {"e_slwi",     V32,    Form::X,       EXEC(setra(x, i, x.r[i.d] << i.b))},
  {"e_srwi",     V32,    Form::X,       EXEC(setra(x, i, x.r[i.d] >> i.b))},
  {"e_rlw",      V32,    Form::X,       EXEC(setra(x, i, rotl(x.r[i.d], x.r[i.b])))},
  {"e_rlwi",     V32,    Form::X,       EXEC(setra(x, i, rotl(x.r[i.d], i.b)))},
};
// clang-format on

// Threaded code: each row's semantics in a wrapper that goes straight on to
// the next instruction of the block, so every row has its own indirect
// jump (which the host predicts far better than one shared call). A
// wrapper returns where a block ended: after the block's last instruction,
// or after an instruction that left a notice in memory.
template <ExecFn F>
[[gnu::flatten]] const Insn* threadstep(Executor& x, const Insn* i)
{
    F(x, *i);
    if (x.mem.notice) [[unlikely]]
        return i + 1;
    return i[1].tfn(x, i + 1);
}

// A block's last instruction sets pc first: a branch reads it (the link)
// and may replace it.
template <ExecFn F>
[[gnu::flatten]] const Insn* threadlast(Executor& x, const Insn* i)
{
    x.pc() = i->next;
    F(x, *i);
    return i + 1;
}

template <size_t... K>
constexpr std::array<ThreadFn, sizeof...(K)> threadtable(bool last, std::index_sequence<K...>)
{
    return {(last ? &threadlast<rows[K].fn> : &threadstep<rows[K].fn>)...};
}
constexpr auto threadsteps = threadtable(false, std::make_index_sequence<std::size(rows)>());
constexpr auto threadlasts = threadtable(true, std::make_index_sequence<std::size(rows)>());

inline uint32_t sext(uint32_t v, unsigned bits) { return uint32_t(int32_t(v << (32 - bits)) >> (32 - bits)); }
// VLE 16-bit register field: 0-7 are r0-r7, 8-15 are r24-r31.
inline uint8_t vlereg(uint32_t f) { return uint8_t((f & 15) < 8 ? (f & 15) : (f & 15) + 16); }

// Whether readfields takes the Rc (OE) bit of a form from the word, so one
// row serves both variants.
bool readsrc(Form f) { return f == Form::X || f == Form::M || f == Form::Sci8; }
bool readsoe(Form f) { return f == Form::X; }

// The encoding of a row from the shared table: the entry of the same name
// and size, or the Rc variant of the name without its '.'. Where the name
// has a short form besides the full one (dcbtls rA,rB with CT 0 beside
// dcbtls CT,rA,rB), the most general entry is taken, so every form runs.
RowEncoding resolve(const InsnRow& r)
{
    std::string_view name = r.name, base = name;
    if (base.ends_with('.')) base.remove_suffix(1);
    RowEncoding best;
    for (const isa::Insn& in : isa::insns()) {
        bool vle32 = in.size() == 4 && (in.flags & isa::FE32);
        if ((in.size() == 2) != (r.set == InsnSet::Vle16) || vle32 != (r.set == InsnSet::Vle32)) continue;
        bool hasrc = (in.flags & isa::FRc) && !isa::alwaysrecord(in);
        bool record = in.name != name && in.name == base && hasrc;
        if (in.name != name && !record) continue;
        uint32_t mask = isa::fixedmask(in), match = in.opcode;
        if (record)
            match |= isa::formrcbit(in.form);
        else if (hasrc && readsrc(r.form))
            mask &= ~isa::formrcbit(in.form);
        if ((in.flags & isa::FOe) && readsoe(r.form)) mask &= ~isa::formoebit(in.form);
        if (!best.resolved || ((mask & best.mask) == mask && mask != best.mask)) best = {mask, match & mask, true, best.branch};
        if (in.exec == isa::Exec::Branch) best.branch = true;
    }
    return best;
}

// Row encodings and row indices per set, bucketed by the top bits (6 for
// 32-bit words, 4 for half-words); VLE 32-bit code also sees the shared
// opcode 31 and 4 rows.
struct Buckets {
    std::vector<RowEncoding> enc;
    std::array<std::vector<uint16_t>, 64> classic, vle32;
    std::array<std::vector<uint16_t>, 16> vle16;
    Buckets() : enc(std::size(rows))
    {
        for (uint16_t k = 1; k < std::size(rows); k++) {
            const InsnRow& r = rows[k];
            enc[k] = resolve(r);
            if (!enc[k].resolved) continue;
            if (r.set == InsnSet::Vle16) {
                vle16[(enc[k].match >> 12) & 15].push_back(k);
                continue;
            }
            unsigned primary = enc[k].match >> 26;
            if (r.set == InsnSet::Classic) classic[primary].push_back(k);
            if (r.set == InsnSet::Vle32 || primary == 31 || primary == 4) vle32[primary].push_back(k);
        }
        // VLE-only opcode 31 rows come first in their bucket.
        std::stable_partition(vle32[31].begin(), vle32[31].end(),
                              [](uint16_t k) { return rows[k].set == InsnSet::Vle32; });
    }
};

const Buckets& buckets()
{
    static const Buckets b;
    return b;
}

}  // namespace

const RowEncoding& rowencoding(uint16_t row) { return buckets().enc.at(row); }

std::span<const InsnRow> insnrows() { return rows; }

ThreadFn threadfn(uint16_t row, bool last) { return (last ? threadlasts : threadsteps).at(row); }

uint16_t findrow(InsnSet set, uint32_t word)
{
    const Buckets& b = buckets();
    const std::vector<uint16_t>& list = set == InsnSet::Vle16 ? b.vle16[(word >> 12) & 15]
                                      : set == InsnSet::Vle32 ? b.vle32[word >> 26]
                                                              : b.classic[word >> 26];
    for (uint16_t k : list)
        if ((word & b.enc[k].mask) == b.enc[k].match) return k;
    return 0;
}

void readfields(const InsnRow& row, uint32_t w, uint32_t pc, Insn& i)
{
    auto f5 = [w](unsigned at) { return uint8_t((w >> at) & 31); };
    auto crf = [w](unsigned at) { return uint8_t((w >> at) & 7); };
    switch (row.form) {
    case Form::None: break;
    case Form::D: i.d = f5(21), i.a = f5(16), i.imm = sext(w & 0xFFFF, 16); break;
    case Form::DU: i.d = f5(21), i.a = f5(16), i.imm = w & 0xFFFF; break;
    case Form::DCmp: i.d = crf(23), i.a = f5(16), i.imm = sext(w & 0xFFFF, 16); break;
    case Form::DCmpU: i.d = crf(23), i.a = f5(16), i.imm = w & 0xFFFF; break;
    case Form::X: i.d = f5(21), i.a = f5(16), i.b = f5(11), i.rc = w & 1, i.oe = (w >> 10) & 1; break;
    case Form::XCmp: i.d = crf(23), i.a = f5(16), i.b = f5(11); break;
    case Form::XCrf: i.d = crf(23), i.a = crf(18); break;
    case Form::M:
    case Form::M32:
        i.d = f5(21), i.a = f5(16), i.b = f5(11), i.c = f5(6), i.e = f5(1);
        i.imm = rotmask(i.c, i.e);
        i.rc = row.form == Form::M ? (w & 1) : 0;
        break;
    case Form::XFX: i.d = f5(21), i.imm = uint32_t(f5(16)) | uint32_t(f5(11)) << 5; break;
    case Form::XFXM: i.d = f5(21), i.imm = (w >> 12) & 0xFF; break;
    case Form::A: i.d = f5(21), i.a = f5(16), i.b = f5(11), i.c = f5(6); break;
    case Form::I: {
        uint32_t off = sext(w & 0x03FFFFFC, 26);
        i.imm = (w & 2) ? off : pc + off, i.c = w & 1;
        break;
    }
    case Form::B: {
        uint32_t off = sext(w & 0xFFFC, 16);
        i.d = f5(21), i.a = f5(16), i.imm = (w & 2) ? off : pc + off, i.c = w & 1;
        break;
    }
    case Form::XL: i.d = f5(21), i.a = f5(16), i.b = f5(11), i.c = w & 1; break;
    case Form::R16: i.d = vlereg(w); break;
    case Form::RR16: i.d = vlereg(w), i.a = vlereg(w >> 4); break;
    case Form::Mtar16: i.d = uint8_t(8 + (w & 15)), i.a = vlereg(w >> 4); break;
    case Form::Mfar16: i.d = vlereg(w), i.a = uint8_t(8 + ((w >> 4) & 15)); break;
    case Form::Im5: i.d = vlereg(w), i.imm = (w >> 4) & 31; break;
    case Form::Oim5: i.d = vlereg(w), i.imm = ((w >> 4) & 31) + 1; break;
    case Form::Im7: i.d = vlereg(w), i.imm = (w >> 4) & 0x7F; break;
    case Form::Sd4B: i.d = vlereg(w >> 4), i.a = vlereg(w), i.imm = (w >> 8) & 15; break;
    case Form::Sd4H: i.d = vlereg(w >> 4), i.a = vlereg(w), i.imm = ((w >> 8) & 15) * 2; break;
    case Form::Sd4W: i.d = vlereg(w >> 4), i.a = vlereg(w), i.imm = ((w >> 8) & 15) * 4; break;
    case Form::Bd8: i.imm = pc + sext(w & 0xFF, 8) * 2, i.c = (w >> 8) & 1; break;
    case Form::Bd8C:
        i.d = (w & 0x400) ? 12 : 4, i.a = (w >> 8) & 3, i.imm = pc + sext(w & 0xFF, 8) * 2;
        break;
    case Form::Lk16: i.c = w & 1; break;
    case Form::D8: i.d = f5(21), i.a = f5(16), i.imm = sext(w & 0xFF, 8); break;
    case Form::Sci8:
    case Form::Sci8Cmp: {
        unsigned scl = 8 * ((w >> 8) & 3);
        uint32_t v = (w & 0xFF) << scl;
        if (w & 0x400) v |= ~(0xFFu << scl);
        i.imm = v, i.a = f5(16);
        if (row.form == Form::Sci8)
            i.d = f5(21), i.rc = (w >> 11) & 1;
        else
            i.d = (w >> 21) & 3;
        break;
    }
    case Form::I16A: i.a = f5(16), i.imm = sext(uint32_t(f5(21)) << 11 | (w & 0x7FF), 16); break;
    case Form::I16AU: i.a = f5(16), i.imm = uint32_t(f5(21)) << 11 | (w & 0x7FF); break;
    case Form::I16L: i.d = f5(21), i.imm = uint32_t(f5(16)) << 11 | (w & 0x7FF); break;
    case Form::Li20:
        i.d = f5(21);
        i.imm = sext((w & 0x7FF) | uint32_t(f5(16)) << 11 | ((w >> 11) & 15) << 16, 20);
        break;
    case Form::Bd24: i.imm = pc + sext(w & 0x01FFFFFE, 25), i.c = w & 1; break;
    case Form::Bd15: {
        unsigned bo32 = (w >> 20) & 3;
        i.d = bo32 == 0 ? 4 : bo32 == 1 ? 12 : bo32 == 2 ? 16 : 18;
        i.a = (w >> 16) & 15, i.imm = pc + sext(w & 0xFFFE, 16), i.c = w & 1;
        break;
    }
    }
}

}  // namespace vek

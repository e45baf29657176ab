// The instruction table of the executor: classic Book E integer and SPE
// scalar float instructions, VLE 16-bit and VLE 32-bit instructions. Each
// row is one instruction: mnemonic, table, mask, match, form (how its fields
// are read, see insntable.h) and its semantics in one to three lines.
//
// Column key: name | set | mask | match | form | semantics. The first row of
// a set that matches wins; rows with a Rc or OE bit cover both forms (the
// mnemonic is shown without "." and "o"). Registers: x.r[n] is rn.
#include "vek/core/exec/insntable.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <vector>

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
inline void setf(Executor& x, const Insn& i, float v) { x.r[i.d] = bits32(v); }
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
const ExecFn cr_nor = EXEC(crlogic(x, i, !(crA(x, i) | crB(x, i))));
const ExecFn cr_andc = EXEC(crlogic(x, i, crA(x, i) & !crB(x, i)));
const ExecFn cr_xor = EXEC(crlogic(x, i, crA(x, i) ^ crB(x, i)));
const ExecFn cr_nand = EXEC(crlogic(x, i, !(crA(x, i) & crB(x, i))));
const ExecFn cr_and = EXEC(crlogic(x, i, crA(x, i) & crB(x, i)));
const ExecFn cr_eqv = EXEC(crlogic(x, i, crA(x, i) == crB(x, i)));
const ExecFn cr_orc = EXEC(crlogic(x, i, crA(x, i) | !crB(x, i)));
const ExecFn cr_or = EXEC(crlogic(x, i, crA(x, i) | crB(x, i)));
const ExecFn mcrf = EXEC(x.setcrf(i.d, crfield(x, i.a)));

// ---- encodings

constexpr uint32_t op(uint32_t n) { return n << 26; }
constexpr uint32_t x31(uint32_t xo) { return op(31) | xo << 1; }
constexpr uint32_t x19(uint32_t xo) { return op(19) | xo << 1; }
constexpr uint32_t evx(uint32_t xo) { return op(4) | xo; }
constexpr uint32_t PRI = 0xFC000000u;   // primary opcode
constexpr uint32_t XO = 0xFC0003FEu;    // 9-bit extended opcode (OE and Rc free)
constexpr uint32_t XM = 0xFC0007FEu;    // 10-bit extended opcode (Rc free)
constexpr uint32_t XR = 0xFC0007FFu;    // 10-bit extended opcode with Rc
constexpr uint32_t EVX = 0xFC0007FFu;
constexpr uint32_t D8M = 0xFC00FF00u;   // VLE D8: sub-opcode in bits 8-15
constexpr uint32_t SCI = 0xFC00F000u;   // VLE SCI8: sub-opcode in bits 12-15
constexpr uint32_t SCR = 0xFC00F800u;   // VLE SCI8/I16 with bit 11 fixed

constexpr InsnSet C = InsnSet::Classic, V16 = InsnSet::Vle16, V32 = InsnSet::Vle32;
// Rows of opcode 31 and 4 serve classic and VLE code alike.
constexpr InsnSet SHARED = InsnSet::Classic;

// clang-format off
const InsnRow rows[] = {
  {"????",      C,   0,          0,            Form::None,  EXEC()},

  // ---- classic: immediate arithmetic and logic
  {"addi",      C,   PRI,        op(14),       Form::D,     EXEC(x.r[i.d] = ra0(x, i) + i.imm)},
  {"addis",     C,   PRI,        op(15),       Form::D,     EXEC(x.r[i.d] = ra0(x, i) + (i.imm << 16))},
  {"addic",     C,   PRI,        op(12),       Form::D,     EXEC(addop(x, i, x.r[i.a], i.imm, 0, true))},
  {"addic.",    C,   PRI,        op(13),       Form::D,     EXEC(addop(x, i, x.r[i.a], i.imm, 0, true); x.record(x.r[i.d]))},
  {"subfic",    C,   PRI,        op(8),        Form::D,     EXEC(addop(x, i, ~x.r[i.a], i.imm, 1, true))},
  {"mulli",     C,   PRI,        op(7),        Form::D,     EXEC(x.r[i.d] = x.r[i.a] * i.imm)},
  {"cmpi",      C,   PRI,        op(11),       Form::DCmp,  EXEC(x.setcrf(i.d, x.compare(int32_t(x.r[i.a]), int32_t(i.imm))))},
  {"cmpli",     C,   PRI,        op(10),       Form::DCmpU, EXEC(x.setcrf(i.d, x.compareu(x.r[i.a], i.imm)))},
  {"ori",       C,   PRI,        op(24),       Form::DU,    EXEC(x.r[i.a] = x.r[i.d] | i.imm)},
  {"oris",      C,   PRI,        op(25),       Form::DU,    EXEC(x.r[i.a] = x.r[i.d] | i.imm << 16)},
  {"xori",      C,   PRI,        op(26),       Form::DU,    EXEC(x.r[i.a] = x.r[i.d] ^ i.imm)},
  {"xoris",     C,   PRI,        op(27),       Form::DU,    EXEC(x.r[i.a] = x.r[i.d] ^ i.imm << 16)},
  {"andi.",     C,   PRI,        op(28),       Form::DU,    EXEC(x.r[i.a] = x.r[i.d] & i.imm; x.record(x.r[i.a]))},
  {"andis.",    C,   PRI,        op(29),       Form::DU,    EXEC(x.r[i.a] = x.r[i.d] & i.imm << 16; x.record(x.r[i.a]))},

  // ---- classic: loads and stores, D form
  {"lwz",       C,   PRI,        op(32),       Form::D,     EXEC(x.r[i.d] = x.mem.getlong(ra0(x, i) + i.imm))},
  {"lwzu",      C,   PRI,        op(33),       Form::D,     EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getlong(ea); x.r[i.a] = ea)},
  {"lbz",       C,   PRI,        op(34),       Form::D,     EXEC(x.r[i.d] = x.mem.getbyte(ra0(x, i) + i.imm))},
  {"lbzu",      C,   PRI,        op(35),       Form::D,     EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getbyte(ea); x.r[i.a] = ea)},
  {"stw",       C,   PRI,        op(36),       Form::D,     EXEC(x.mem.putlong(ra0(x, i) + i.imm, x.r[i.d]))},
  {"stwu",      C,   PRI,        op(37),       Form::D,     EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putlong(ea, x.r[i.d]); x.r[i.a] = ea)},
  {"stb",       C,   PRI,        op(38),       Form::D,     EXEC(x.mem.putbyte(ra0(x, i) + i.imm, uint8_t(x.r[i.d])))},
  {"stbu",      C,   PRI,        op(39),       Form::D,     EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putbyte(ea, uint8_t(x.r[i.d])); x.r[i.a] = ea)},
  {"lhz",       C,   PRI,        op(40),       Form::D,     EXEC(x.r[i.d] = x.mem.getword(ra0(x, i) + i.imm))},
  {"lhzu",      C,   PRI,        op(41),       Form::D,     EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getword(ea); x.r[i.a] = ea)},
  {"lha",       C,   PRI,        op(42),       Form::D,     EXEC(x.r[i.d] = exts16(x.mem.getword(ra0(x, i) + i.imm)))},
  {"lhau",      C,   PRI,        op(43),       Form::D,     EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = exts16(x.mem.getword(ea)); x.r[i.a] = ea)},
  {"sth",       C,   PRI,        op(44),       Form::D,     EXEC(x.mem.putword(ra0(x, i) + i.imm, uint16_t(x.r[i.d])))},
  {"sthu",      C,   PRI,        op(45),       Form::D,     EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putword(ea, uint16_t(x.r[i.d])); x.r[i.a] = ea)},
  {"lmw",       C,   PRI,        op(46),       Form::D,     EXEC(lmw(x, i, ra0(x, i) + i.imm))},
  {"stmw",      C,   PRI,        op(47),       Form::D,     EXEC(stmw(x, i, ra0(x, i) + i.imm))},

  // ---- classic: rotates
  {"rlwimi",    C,   PRI,        op(20),       Form::M,     EXEC(setra(x, i, (rotl(x.r[i.d], i.b) & i.imm) | (x.r[i.a] & ~i.imm)))},
  {"rlwinm",    C,   PRI,        op(21),       Form::M,     EXEC(setra(x, i, rotl(x.r[i.d], i.b) & i.imm))},
  {"rlwnm",     C,   PRI,        op(23),       Form::M,     EXEC(setra(x, i, rotl(x.r[i.d], x.r[i.b]) & i.imm))},

  // ---- classic: branches and system
  {"b",         C,   PRI,        op(18),       Form::I,     EXEC(branch(x, i, i.imm, true))},
  {"bc",        C,   PRI,        op(16),       Form::B,     EXEC(branch(x, i, i.imm, bcond(x, i.d, i.a)))},
  {"bclr",      C,   XM,         x19(16),      Form::XL,    EXEC(uint32_t t = x.lr() & ~3u; branch(x, i, t, bcond(x, i.d, i.a)))},
  {"bcctr",     C,   XM,         x19(528),     Form::XL,    EXEC(uint32_t t = x.ctr() & ~3u; branch(x, i, t, bcond(x, i.d, i.a)))},
  {"sc",        C,   PRI,        op(17),       Form::None,  EXEC()},
  {"twi",       C,   PRI,        op(3),        Form::None,  EXEC()},
  {"mcrf",      C,   XM,         x19(0),       Form::XCrf,  mcrf},
  {"crnor",     C,   XM,         x19(33),      Form::XL,    cr_nor},
  {"crandc",    C,   XM,         x19(129),     Form::XL,    cr_andc},
  {"crxor",     C,   XM,         x19(193),     Form::XL,    cr_xor},
  {"crnand",    C,   XM,         x19(225),     Form::XL,    cr_nand},
  {"crand",     C,   XM,         x19(257),     Form::XL,    cr_and},
  {"creqv",     C,   XM,         x19(289),     Form::XL,    cr_eqv},
  {"crorc",     C,   XM,         x19(417),     Form::XL,    cr_orc},
  {"cror",      C,   XM,         x19(449),     Form::XL,    cr_or},
  {"isync",     C,   XM,         x19(150),     Form::None,  EXEC()},
  {"rfi",       C,   XM,         x19(50),      Form::None,  EXEC()},
  {"rfci",      C,   XM,         x19(51),      Form::None,  EXEC()},
  {"rfdi",      C,   XM,         x19(39),      Form::None,  EXEC()},
  {"rfmci",     C,   XM,         x19(38),      Form::None,  EXEC()},

  // ---- opcode 31 (classic and VLE): add and subtract, multiply, divide
  {"add",       SHARED, XO,      x31(266),     Form::X,     EXEC(addop(x, i, x.r[i.a], x.r[i.b], 0, false))},
  {"addc",      SHARED, XO,      x31(10),      Form::X,     EXEC(addop(x, i, x.r[i.a], x.r[i.b], 0, true))},
  {"adde",      SHARED, XO,      x31(138),     Form::X,     EXEC(addop(x, i, x.r[i.a], x.r[i.b], x.ca(), true))},
  {"addze",     SHARED, XO,      x31(202),     Form::X,     EXEC(addop(x, i, x.r[i.a], 0, x.ca(), true))},
  {"addme",     SHARED, XO,      x31(234),     Form::X,     EXEC(addop(x, i, x.r[i.a], 0xFFFFFFFFu, x.ca(), true))},
  {"subf",      SHARED, XO,      x31(40),      Form::X,     EXEC(addop(x, i, ~x.r[i.a], x.r[i.b], 1, false))},
  {"subfc",     SHARED, XO,      x31(8),       Form::X,     EXEC(addop(x, i, ~x.r[i.a], x.r[i.b], 1, true))},
  {"subfe",     SHARED, XO,      x31(136),     Form::X,     EXEC(addop(x, i, ~x.r[i.a], x.r[i.b], x.ca(), true))},
  {"subfze",    SHARED, XO,      x31(200),     Form::X,     EXEC(addop(x, i, ~x.r[i.a], 0, x.ca(), true))},
  {"subfme",    SHARED, XO,      x31(232),     Form::X,     EXEC(addop(x, i, ~x.r[i.a], 0xFFFFFFFFu, x.ca(), true))},
  {"neg",       SHARED, XO,      x31(104),     Form::X,     EXEC(uint32_t a = x.r[i.a]; if (i.oe) x.setov(a == 0x80000000u); setrd(x, i, 0u - a))},
  {"mullw",     SHARED, XO,      x31(235),     Form::X,     EXEC(mullw(x, i, x.r[i.a], x.r[i.b]))},
  {"mulhw",     SHARED, XO,      x31(75),      Form::X,     EXEC(setrd(x, i, uint32_t(uint64_t(int64_t(int32_t(x.r[i.a])) * int32_t(x.r[i.b])) >> 32)))},
  {"mulhwu",    SHARED, XO,      x31(11),      Form::X,     EXEC(setrd(x, i, uint32_t(uint64_t(x.r[i.a]) * x.r[i.b] >> 32)))},
  {"divw",      SHARED, XO,      x31(491),     Form::X,     EXEC(divw(x, i, false))},
  {"divwu",     SHARED, XO,      x31(459),     Form::X,     EXEC(divw(x, i, true))},

  // ---- opcode 31: compare, logic, shifts
  {"isel",      SHARED, 0xFC00003Eu, x31(15),  Form::A,     EXEC(x.r[i.d] = x.crbit(i.c) ? ra0(x, i) : x.r[i.b])},
  {"cmp",       SHARED, XM,      x31(0),       Form::XCmp,  EXEC(x.setcrf(i.d, x.compare(int32_t(x.r[i.a]), int32_t(x.r[i.b]))))},
  {"cmpl",      SHARED, XM,      x31(32),      Form::XCmp,  EXEC(x.setcrf(i.d, x.compareu(x.r[i.a], x.r[i.b])))},
  {"and",       SHARED, XM,      x31(28),      Form::X,     EXEC(setra(x, i, x.r[i.d] & x.r[i.b]))},
  {"andc",      SHARED, XM,      x31(60),      Form::X,     EXEC(setra(x, i, x.r[i.d] & ~x.r[i.b]))},
  {"or",        SHARED, XM,      x31(444),     Form::X,     EXEC(setra(x, i, x.r[i.d] | x.r[i.b]))},
  {"orc",       SHARED, XM,      x31(412),     Form::X,     EXEC(setra(x, i, x.r[i.d] | ~x.r[i.b]))},
  {"xor",       SHARED, XM,      x31(316),     Form::X,     EXEC(setra(x, i, x.r[i.d] ^ x.r[i.b]))},
  {"nand",      SHARED, XM,      x31(476),     Form::X,     EXEC(setra(x, i, ~(x.r[i.d] & x.r[i.b])))},
  {"nor",       SHARED, XM,      x31(124),     Form::X,     EXEC(setra(x, i, ~(x.r[i.d] | x.r[i.b])))},
  {"eqv",       SHARED, XM,      x31(284),     Form::X,     EXEC(setra(x, i, ~(x.r[i.d] ^ x.r[i.b])))},
  {"slw",       SHARED, XM,      x31(24),      Form::X,     EXEC(setra(x, i, slw(x.r[i.d], x.r[i.b] & 0x3F)))},
  {"srw",       SHARED, XM,      x31(536),     Form::X,     EXEC(setra(x, i, srw(x.r[i.d], x.r[i.b] & 0x3F)))},
  {"sraw",      SHARED, XM,      x31(792),     Form::X,     EXEC(setra(x, i, sraw(x, x.r[i.d], x.r[i.b] & 0x3F)))},
  {"srawi",     SHARED, XM,      x31(824),     Form::X,     EXEC(setra(x, i, sraw(x, x.r[i.d], i.b)))},
  {"cntlzw",    SHARED, XM,      x31(26),      Form::X,     EXEC(setra(x, i, uint32_t(std::countl_zero(x.r[i.d]))))},
  {"extsb",     SHARED, XM,      x31(954),     Form::X,     EXEC(setra(x, i, exts8(x.r[i.d])))},
  {"extsh",     SHARED, XM,      x31(922),     Form::X,     EXEC(setra(x, i, exts16(x.r[i.d])))},

  // ---- opcode 31: indexed loads and stores
  {"lwzx",      SHARED, XM,      x31(23),      Form::X,     EXEC(x.r[i.d] = x.mem.getlong(ra0(x, i) + x.r[i.b]))},
  {"lwzux",     SHARED, XM,      x31(55),      Form::X,     EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.r[i.d] = x.mem.getlong(ea); x.r[i.a] = ea)},
  {"lbzx",      SHARED, XM,      x31(87),      Form::X,     EXEC(x.r[i.d] = x.mem.getbyte(ra0(x, i) + x.r[i.b]))},
  {"lbzux",     SHARED, XM,      x31(119),     Form::X,     EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.r[i.d] = x.mem.getbyte(ea); x.r[i.a] = ea)},
  {"lhzx",      SHARED, XM,      x31(279),     Form::X,     EXEC(x.r[i.d] = x.mem.getword(ra0(x, i) + x.r[i.b]))},
  {"lhzux",     SHARED, XM,      x31(311),     Form::X,     EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.r[i.d] = x.mem.getword(ea); x.r[i.a] = ea)},
  {"lhax",      SHARED, XM,      x31(343),     Form::X,     EXEC(x.r[i.d] = exts16(x.mem.getword(ra0(x, i) + x.r[i.b])))},
  {"lhaux",     SHARED, XM,      x31(375),     Form::X,     EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.r[i.d] = exts16(x.mem.getword(ea)); x.r[i.a] = ea)},
  {"stwx",      SHARED, XM,      x31(151),     Form::X,     EXEC(x.mem.putlong(ra0(x, i) + x.r[i.b], x.r[i.d]))},
  {"stwux",     SHARED, XM,      x31(183),     Form::X,     EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.mem.putlong(ea, x.r[i.d]); x.r[i.a] = ea)},
  {"stbx",      SHARED, XM,      x31(215),     Form::X,     EXEC(x.mem.putbyte(ra0(x, i) + x.r[i.b], uint8_t(x.r[i.d])))},
  {"stbux",     SHARED, XM,      x31(247),     Form::X,     EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.mem.putbyte(ea, uint8_t(x.r[i.d])); x.r[i.a] = ea)},
  {"sthx",      SHARED, XM,      x31(407),     Form::X,     EXEC(x.mem.putword(ra0(x, i) + x.r[i.b], uint16_t(x.r[i.d])))},
  {"sthux",     SHARED, XM,      x31(439),     Form::X,     EXEC(uint32_t ea = x.r[i.a] + x.r[i.b]; x.mem.putword(ea, uint16_t(x.r[i.d])); x.r[i.a] = ea)},
  {"lhbrx",     SHARED, XM,      x31(790),     Form::X,     EXEC(x.r[i.d] = bswap16(x.mem.getword(ra0(x, i) + x.r[i.b])))},
  {"lwbrx",     SHARED, XM,      x31(534),     Form::X,     EXEC(x.r[i.d] = bswap32(x.mem.getlong(ra0(x, i) + x.r[i.b])))},
  {"sthbrx",    SHARED, XM,      x31(918),     Form::X,     EXEC(x.mem.putword(ra0(x, i) + x.r[i.b], uint16_t(bswap16(x.r[i.d]))))},
  {"stwbrx",    SHARED, XM,      x31(662),     Form::X,     EXEC(x.mem.putlong(ra0(x, i) + x.r[i.b], bswap32(x.r[i.d])))},
  {"lwarx",     SHARED, XM,      x31(20),      Form::X,     EXEC(x.r[i.d] = x.mem.getlong(ra0(x, i) + x.r[i.b]))},
  // One core: the reservation always holds, so the store is done.
  {"stwcx.",    SHARED, XR,      x31(150) | 1, Form::X,     EXEC(x.mem.putlong(ra0(x, i) + x.r[i.b], x.r[i.d]); x.setcrf(0, 2 | x.xer() >> 31))},

  // ---- opcode 31: moves and system
  {"mfcr",      SHARED, XM,      x31(19),      Form::X,     EXEC(x.r[i.d] = x.cr())},
  {"mtcrf",     SHARED, XM,      x31(144),     Form::XFXM,  EXEC(uint32_t m = fieldmask(i.imm); x.cr() = (x.cr() & ~m) | (x.r[i.d] & m))},
  {"mfspr",     SHARED, XM,      x31(339),     Form::XFX,   EXEC(x.r[i.d] = mfspr(x, i.imm))},
  {"mtspr",     SHARED, XM,      x31(467),     Form::XFX,   EXEC(mtspr(x, i.imm, x.r[i.d]))},
  {"mcrxr",     SHARED, XM,      x31(512),     Form::XCrf,  EXEC(x.setcrf(i.d, x.xer() >> 28); x.xer() &= 0x0FFFFFFFu)},
  {"mfmsr",     SHARED, XM,      x31(83),      Form::X,     EXEC(x.r[i.d] = x.msr)},
  {"mtmsr",     SHARED, XM,      x31(146),     Form::X,     EXEC(x.msr = x.r[i.d])},
  {"wrtee",     SHARED, XM,      x31(131),     Form::None,  EXEC()},
  {"wrteei",    SHARED, XM,      x31(163),     Form::None,  EXEC()},
  {"tw",        SHARED, XM,      x31(4),       Form::None,  EXEC()},
  {"msync",     SHARED, XM,      x31(598),     Form::None,  EXEC()},
  {"mbar",      SHARED, XM,      x31(854),     Form::None,  EXEC()},
  {"dcbf",      SHARED, XM,      x31(86),      Form::None,  EXEC()},
  {"dcbst",     SHARED, XM,      x31(54),      Form::None,  EXEC()},
  {"dcbt",      SHARED, XM,      x31(278),     Form::None,  EXEC()},
  {"dcbtst",    SHARED, XM,      x31(246),     Form::None,  EXEC()},
  {"dcbi",      SHARED, XM,      x31(470),     Form::None,  EXEC()},
  {"dcba",      SHARED, XM,      x31(758),     Form::None,  EXEC()},
  {"icbi",      SHARED, XM,      x31(982),     Form::None,  EXEC()},
  {"icbt",      SHARED, XM,      x31(22),      Form::None,  EXEC()},
  {"tlbwe",     SHARED, XM,      x31(978),     Form::None,  EXEC()},
  {"tlbre",     SHARED, XM,      x31(946),     Form::None,  EXEC()},
  {"tlbsx",     SHARED, XM,      x31(914),     Form::None,  EXEC()},
  {"tlbsync",   SHARED, XM,      x31(566),     Form::None,  EXEC()},
  {"tlbivax",   SHARED, XM,      x31(786),     Form::None,  EXEC()},
  {"wait",      SHARED, XM,      x31(62),      Form::None,  EXEC()},
  // dcbz clears the 32-byte block around the address.
  {"dcbz",      SHARED, XM,      x31(1014),    Form::X,     EXEC(uint32_t ea = (ra0(x, i) + x.r[i.b]) & ~31u; for (unsigned k = 0; k < 32; k += 4) x.mem.putlong(ea + k, 0))},

  // ---- opcode 4: SPE scalar single precision (classic and VLE)
  {"efsadd",    SHARED, EVX,     evx(704),     Form::X,     EXEC(setf(x, i, fa(x, i) + fb(x, i)))},
  {"efssub",    SHARED, EVX,     evx(705),     Form::X,     EXEC(setf(x, i, fa(x, i) - fb(x, i)))},
  {"efsabs",    SHARED, EVX,     evx(708),     Form::X,     EXEC(x.r[i.d] = x.r[i.a] & 0x7FFFFFFFu)},
  {"efsnabs",   SHARED, EVX,     evx(709),     Form::X,     EXEC(x.r[i.d] = x.r[i.a] | 0x80000000u)},
  {"efsneg",    SHARED, EVX,     evx(710),     Form::X,     EXEC(x.r[i.d] = x.r[i.a] ^ 0x80000000u)},
  {"efsmul",    SHARED, EVX,     evx(712),     Form::X,     EXEC(setf(x, i, fa(x, i) * fb(x, i)))},
  {"efsdiv",    SHARED, EVX,     evx(713),     Form::X,     EXEC(setf(x, i, spediv(fa(x, i), fb(x, i))))},
  {"efscmpgt",  SHARED, EVX,     evx(716),     Form::XCmp,  EXEC(spetest(x, i, fa(x, i) > fb(x, i)))},
  {"efscmplt",  SHARED, EVX,     evx(717),     Form::XCmp,  EXEC(spetest(x, i, fa(x, i) < fb(x, i)))},
  {"efscmpeq",  SHARED, EVX,     evx(718),     Form::XCmp,  EXEC(spetest(x, i, fa(x, i) == fb(x, i)))},
  {"efscfui",   SHARED, EVX,     evx(720),     Form::X,     EXEC(setf(x, i, float(x.r[i.b])))},
  {"efscfsi",   SHARED, EVX,     evx(721),     Form::X,     EXEC(setf(x, i, float(int32_t(x.r[i.b]))))},
  {"efscfuf",   SHARED, EVX,     evx(722),     Form::X,     EXEC(setf(x, i, float(double(x.r[i.b]) / 4294967296.0)))},
  {"efscfsf",   SHARED, EVX,     evx(723),     Form::X,     EXEC(setf(x, i, float(double(int32_t(x.r[i.b])) / 2147483648.0)))},
  {"efsctui",   SHARED, EVX,     evx(724),     Form::X,     EXEC(x.r[i.d] = spetounsigned(fb(x, i), false))},
  {"efsctsi",   SHARED, EVX,     evx(725),     Form::X,     EXEC(x.r[i.d] = uint32_t(spetosigned(fb(x, i), false)))},
  {"efsctuf",   SHARED, EVX,     evx(726),     Form::X,     EXEC(x.r[i.d] = spetounsigned(double(fb(x, i)) * 4294967296.0, false))},
  {"efsctsf",   SHARED, EVX,     evx(727),     Form::X,     EXEC(x.r[i.d] = uint32_t(spetosigned(double(fb(x, i)) * 2147483648.0, false)))},
  {"efsctuiz",  SHARED, EVX,     evx(728),     Form::X,     EXEC(x.r[i.d] = spetounsigned(fb(x, i), true))},
  {"efsctsiz",  SHARED, EVX,     evx(730),     Form::X,     EXEC(x.r[i.d] = uint32_t(spetosigned(fb(x, i), true)))},
  {"efststgt",  SHARED, EVX,     evx(732),     Form::XCmp,  EXEC(spetest(x, i, fa(x, i) > fb(x, i)))},
  {"efststlt",  SHARED, EVX,     evx(733),     Form::XCmp,  EXEC(spetest(x, i, fa(x, i) < fb(x, i)))},
  {"efststeq",  SHARED, EVX,     evx(734),     Form::XCmp,  EXEC(spetest(x, i, fa(x, i) == fb(x, i)))},

  // ---- VLE 16-bit
  {"se_isync",  V16, 0xFFFF,     0x0001,       Form::None,  EXEC()},
  {"se_sc",     V16, 0xFFFF,     0x0002,       Form::None,  EXEC()},
  {"se_blr",    V16, 0xFFFE,     0x0004,       Form::Lk16,  EXEC(branch(x, i, x.lr() & ~1u, true))},
  {"se_bctr",   V16, 0xFFFE,     0x0006,       Form::Lk16,  EXEC(branch(x, i, x.ctr() & ~1u, true))},
  {"se_rfi",    V16, 0xFFFF,     0x0008,       Form::None,  EXEC()},
  {"se_rfci",   V16, 0xFFFF,     0x0009,       Form::None,  EXEC()},
  {"se_rfdi",   V16, 0xFFFF,     0x000A,       Form::None,  EXEC()},
  {"se_rfmci",  V16, 0xFFFF,     0x000B,       Form::None,  EXEC()},
  {"se_not",    V16, 0xFFF0,     0x0020,       Form::R16,   EXEC(x.r[i.d] = ~x.r[i.d])},
  {"se_neg",    V16, 0xFFF0,     0x0030,       Form::R16,   EXEC(x.r[i.d] = 0u - x.r[i.d])},
  {"se_mflr",   V16, 0xFFF0,     0x0080,       Form::R16,   EXEC(x.r[i.d] = x.lr())},
  {"se_mtlr",   V16, 0xFFF0,     0x0090,       Form::R16,   EXEC(x.lr() = x.r[i.d])},
  {"se_mfctr",  V16, 0xFFF0,     0x00A0,       Form::R16,   EXEC(x.r[i.d] = x.ctr())},
  {"se_mtctr",  V16, 0xFFF0,     0x00B0,       Form::R16,   EXEC(x.ctr() = x.r[i.d])},
  {"se_extzb",  V16, 0xFFF0,     0x00C0,       Form::R16,   EXEC(x.r[i.d] &= 0xFF)},
  {"se_extsb",  V16, 0xFFF0,     0x00D0,       Form::R16,   EXEC(x.r[i.d] = exts8(x.r[i.d]))},
  {"se_extzh",  V16, 0xFFF0,     0x00E0,       Form::R16,   EXEC(x.r[i.d] &= 0xFFFF)},
  {"se_extsh",  V16, 0xFFF0,     0x00F0,       Form::R16,   EXEC(x.r[i.d] = exts16(x.r[i.d]))},
  {"se_mr",     V16, 0xFF00,     0x0100,       Form::RR16,  EXEC(x.r[i.d] = x.r[i.a])},
  {"se_mtar",   V16, 0xFF00,     0x0200,       Form::Mtar16, EXEC(x.r[i.d] = x.r[i.a])},
  {"se_mfar",   V16, 0xFF00,     0x0300,       Form::Mfar16, EXEC(x.r[i.d] = x.r[i.a])},
  {"se_add",    V16, 0xFF00,     0x0400,       Form::RR16,  EXEC(x.r[i.d] += x.r[i.a])},
  {"se_mullw",  V16, 0xFF00,     0x0500,       Form::RR16,  EXEC(x.r[i.d] *= x.r[i.a])},
  {"se_sub",    V16, 0xFF00,     0x0600,       Form::RR16,  EXEC(x.r[i.d] -= x.r[i.a])},
  {"se_subf",   V16, 0xFF00,     0x0700,       Form::RR16,  EXEC(x.r[i.d] = x.r[i.a] - x.r[i.d])},
  {"se_cmp",    V16, 0xFF00,     0x0C00,       Form::RR16,  EXEC(x.setcrf(0, x.compare(int32_t(x.r[i.d]), int32_t(x.r[i.a]))))},
  {"se_cmpl",   V16, 0xFF00,     0x0D00,       Form::RR16,  EXEC(x.setcrf(0, x.compareu(x.r[i.d], x.r[i.a])))},
  {"se_cmph",   V16, 0xFF00,     0x0E00,       Form::RR16,  EXEC(x.setcrf(0, x.compare(int16_t(x.r[i.d]), int16_t(x.r[i.a]))))},
  {"se_cmphl",  V16, 0xFF00,     0x0F00,       Form::RR16,  EXEC(x.setcrf(0, x.compareu(uint16_t(x.r[i.d]), uint16_t(x.r[i.a]))))},
  {"se_addi",   V16, 0xFE00,     0x2000,       Form::Oim5,  EXEC(x.r[i.d] += i.imm)},
  {"se_cmpli",  V16, 0xFE00,     0x2200,       Form::Oim5,  EXEC(x.setcrf(0, x.compareu(x.r[i.d], i.imm)))},
  {"se_subi",   V16, 0xFE00,     0x2400,       Form::Oim5,  EXEC(x.r[i.d] -= i.imm)},
  {"se_subi.",  V16, 0xFE00,     0x2600,       Form::Oim5,  EXEC(x.r[i.d] -= i.imm; x.record(x.r[i.d]))},
  {"se_cmpi",   V16, 0xFE00,     0x2A00,       Form::Im5,   EXEC(x.setcrf(0, x.compare(int32_t(x.r[i.d]), int32_t(i.imm))))},
  {"se_bmaski", V16, 0xFE00,     0x2C00,       Form::Im5,   EXEC(x.r[i.d] = i.imm ? 0xFFFFFFFFu >> (32 - i.imm) : 0xFFFFFFFFu)},
  {"se_andi",   V16, 0xFE00,     0x2E00,       Form::Im5,   EXEC(x.r[i.d] &= i.imm)},
  {"se_srw",    V16, 0xFF00,     0x4000,       Form::RR16,  EXEC(x.r[i.d] = srw(x.r[i.d], x.r[i.a] & 0x3F))},
  {"se_sraw",   V16, 0xFF00,     0x4100,       Form::RR16,  EXEC(x.r[i.d] = sraw(x, x.r[i.d], x.r[i.a] & 0x3F))},
  {"se_slw",    V16, 0xFF00,     0x4200,       Form::RR16,  EXEC(x.r[i.d] = slw(x.r[i.d], x.r[i.a] & 0x3F))},
  {"se_or",     V16, 0xFF00,     0x4400,       Form::RR16,  EXEC(x.r[i.d] |= x.r[i.a])},
  {"se_andc",   V16, 0xFF00,     0x4500,       Form::RR16,  EXEC(x.r[i.d] &= ~x.r[i.a])},
  {"se_and",    V16, 0xFF00,     0x4600,       Form::RR16,  EXEC(x.r[i.d] &= x.r[i.a])},
  {"se_and.",   V16, 0xFF00,     0x4700,       Form::RR16,  EXEC(x.r[i.d] &= x.r[i.a]; x.record(x.r[i.d]))},
  {"se_li",     V16, 0xF800,     0x4800,       Form::Im7,   EXEC(x.r[i.d] = i.imm)},
  {"se_bclri",  V16, 0xFE00,     0x6000,       Form::Im5,   EXEC(x.r[i.d] &= ~(0x80000000u >> i.imm))},
  {"se_bgeni",  V16, 0xFE00,     0x6200,       Form::Im5,   EXEC(x.r[i.d] = 0x80000000u >> i.imm)},
  {"se_bseti",  V16, 0xFE00,     0x6400,       Form::Im5,   EXEC(x.r[i.d] |= 0x80000000u >> i.imm)},
  {"se_btsti",  V16, 0xFE00,     0x6600,       Form::Im5,   EXEC(x.setcrf(0, ((x.r[i.d] >> (31 - i.imm)) & 1 ? 4u : 2u) | x.xer() >> 31))},
  {"se_srwi",   V16, 0xFE00,     0x6800,       Form::Im5,   EXEC(x.r[i.d] >>= i.imm)},
  {"se_srawi",  V16, 0xFE00,     0x6A00,       Form::Im5,   EXEC(x.r[i.d] = sraw(x, x.r[i.d], i.imm))},
  {"se_slwi",   V16, 0xFE00,     0x6C00,       Form::Im5,   EXEC(x.r[i.d] <<= i.imm)},
  {"se_lbz",    V16, 0xF000,     0x8000,       Form::Sd4B,  EXEC(x.r[i.d] = x.mem.getbyte(x.r[i.a] + i.imm))},
  {"se_stb",    V16, 0xF000,     0x9000,       Form::Sd4B,  EXEC(x.mem.putbyte(x.r[i.a] + i.imm, uint8_t(x.r[i.d])))},
  {"se_lhz",    V16, 0xF000,     0xA000,       Form::Sd4H,  EXEC(x.r[i.d] = x.mem.getword(x.r[i.a] + i.imm))},
  {"se_sth",    V16, 0xF000,     0xB000,       Form::Sd4H,  EXEC(x.mem.putword(x.r[i.a] + i.imm, uint16_t(x.r[i.d])))},
  {"se_lwz",    V16, 0xF000,     0xC000,       Form::Sd4W,  EXEC(x.r[i.d] = x.mem.getlong(x.r[i.a] + i.imm))},
  {"se_stw",    V16, 0xF000,     0xD000,       Form::Sd4W,  EXEC(x.mem.putlong(x.r[i.a] + i.imm, x.r[i.d]))},
  {"se_bc",     V16, 0xF800,     0xE000,       Form::Bd8C,  EXEC(branch(x, i, i.imm, bcond(x, i.d, i.a)))},
  {"se_b",      V16, 0xFE00,     0xE800,       Form::Bd8,   EXEC(branch(x, i, i.imm, true))},

  // ---- VLE 32-bit
  {"e_add16i",  V32, PRI,        op(7),        Form::D,     EXEC(x.r[i.d] = x.r[i.a] + i.imm)},
  {"e_lbz",     V32, PRI,        op(12),       Form::D,     EXEC(x.r[i.d] = x.mem.getbyte(ra0(x, i) + i.imm))},
  {"e_stb",     V32, PRI,        op(13),       Form::D,     EXEC(x.mem.putbyte(ra0(x, i) + i.imm, uint8_t(x.r[i.d])))},
  {"e_lha",     V32, PRI,        op(14),       Form::D,     EXEC(x.r[i.d] = exts16(x.mem.getword(ra0(x, i) + i.imm)))},
  {"e_lwz",     V32, PRI,        op(20),       Form::D,     EXEC(x.r[i.d] = x.mem.getlong(ra0(x, i) + i.imm))},
  {"e_stw",     V32, PRI,        op(21),       Form::D,     EXEC(x.mem.putlong(ra0(x, i) + i.imm, x.r[i.d]))},
  {"e_lhz",     V32, PRI,        op(22),       Form::D,     EXEC(x.r[i.d] = x.mem.getword(ra0(x, i) + i.imm))},
  {"e_sth",     V32, PRI,        op(23),       Form::D,     EXEC(x.mem.putword(ra0(x, i) + i.imm, uint16_t(x.r[i.d])))},
  {"e_lbzu",    V32, D8M,        op(6) | 0x0000, Form::D8,  EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getbyte(ea); x.r[i.a] = ea)},
  {"e_lhzu",    V32, D8M,        op(6) | 0x0100, Form::D8,  EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getword(ea); x.r[i.a] = ea)},
  {"e_lwzu",    V32, D8M,        op(6) | 0x0200, Form::D8,  EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = x.mem.getlong(ea); x.r[i.a] = ea)},
  {"e_lhau",    V32, D8M,        op(6) | 0x0300, Form::D8,  EXEC(uint32_t ea = x.r[i.a] + i.imm; x.r[i.d] = exts16(x.mem.getword(ea)); x.r[i.a] = ea)},
  {"e_stbu",    V32, D8M,        op(6) | 0x0400, Form::D8,  EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putbyte(ea, uint8_t(x.r[i.d])); x.r[i.a] = ea)},
  {"e_sthu",    V32, D8M,        op(6) | 0x0500, Form::D8,  EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putword(ea, uint16_t(x.r[i.d])); x.r[i.a] = ea)},
  {"e_stwu",    V32, D8M,        op(6) | 0x0600, Form::D8,  EXEC(uint32_t ea = x.r[i.a] + i.imm; x.mem.putlong(ea, x.r[i.d]); x.r[i.a] = ea)},
  {"e_lmw",     V32, D8M,        op(6) | 0x0800, Form::D8,  EXEC(lmw(x, i, ra0(x, i) + i.imm))},
  {"e_stmw",    V32, D8M,        op(6) | 0x0900, Form::D8,  EXEC(stmw(x, i, ra0(x, i) + i.imm))},
  {"e_lmvgprw", V32, 0xFFE0FF00u, op(6) | 0x001000, Form::D8, EXEC(loadgroup(x, gprw_regs, ra0(x, i) + i.imm))},
  {"e_stmvgprw", V32, 0xFFE0FF00u, op(6) | 0x001100, Form::D8, EXEC(storegroup(x, gprw_regs, ra0(x, i) + i.imm))},
  {"e_lmvsprw", V32, 0xFFE0FF00u, op(6) | 0x201000, Form::D8, EXEC(loadgroup(x, sprw_regs, ra0(x, i) + i.imm))},
  {"e_stmvsprw", V32, 0xFFE0FF00u, op(6) | 0x201100, Form::D8, EXEC(storegroup(x, sprw_regs, ra0(x, i) + i.imm))},
  // The save and restore registers are not modelled.
  {"e_lmvsrrw", V32, 0xFFE0FF00u, op(6) | 0x801000, Form::D8, EXEC()},
  {"e_stmvsrrw", V32, 0xFFE0FF00u, op(6) | 0x801100, Form::D8, EXEC()},
  {"e_lmvcsrrw", V32, 0xFFE0FF00u, op(6) | 0xA01000, Form::D8, EXEC()},
  {"e_stmvcsrrw", V32, 0xFFE0FF00u, op(6) | 0xA01100, Form::D8, EXEC()},
  {"e_lmvdsrrw", V32, 0xFFE0FF00u, op(6) | 0xC01000, Form::D8, EXEC()},
  {"e_stmvdsrrw", V32, 0xFFE0FF00u, op(6) | 0xC01100, Form::D8, EXEC()},
  {"e_addi",    V32, SCI,        op(6) | 0x8000, Form::Sci8, EXEC(setrd(x, i, x.r[i.a] + i.imm))},
  {"e_addic",   V32, SCI,        op(6) | 0x9000, Form::Sci8, EXEC(addop(x, i, x.r[i.a], i.imm, 0, true))},
  {"e_mulli",   V32, SCR,        op(6) | 0xA000, Form::Sci8, EXEC(x.r[i.d] = x.r[i.a] * i.imm)},
  {"e_cmpi",    V32, 0xFF80F800u, op(6) | 0xA800, Form::Sci8Cmp, EXEC(x.setcrf(i.d, x.compare(int32_t(x.r[i.a]), int32_t(i.imm))))},
  {"e_cmpli",   V32, 0xFF80F800u, op(6) | 0x80A800, Form::Sci8Cmp, EXEC(x.setcrf(i.d, x.compareu(x.r[i.a], i.imm)))},
  {"e_subfic",  V32, SCI,        op(6) | 0xB000, Form::Sci8, EXEC(addop(x, i, ~x.r[i.a], i.imm, 1, true))},
  {"e_andi",    V32, SCI,        op(6) | 0xC000, Form::Sci8, EXEC(setra(x, i, x.r[i.d] & i.imm))},
  {"e_ori",     V32, SCI,        op(6) | 0xD000, Form::Sci8, EXEC(setra(x, i, x.r[i.d] | i.imm))},
  {"e_xori",    V32, SCI,        op(6) | 0xE000, Form::Sci8, EXEC(setra(x, i, x.r[i.d] ^ i.imm))},
  {"e_li",      V32, 0xFC008000u, op(28),      Form::Li20,  EXEC(x.r[i.d] = i.imm)},
  {"e_add2i.",  V32, SCR,        op(28) | 0x8800, Form::I16A, EXEC(x.r[i.a] += i.imm; x.record(x.r[i.a]))},
  {"e_add2is",  V32, SCR,        op(28) | 0x9000, Form::I16A, EXEC(x.r[i.a] += i.imm << 16)},
  {"e_cmp16i",  V32, SCR,        op(28) | 0x9800, Form::I16A, EXEC(x.setcrf(0, x.compare(int32_t(x.r[i.a]), int32_t(i.imm))))},
  {"e_mull2i",  V32, SCR,        op(28) | 0xA000, Form::I16A, EXEC(x.r[i.a] *= i.imm)},
  {"e_cmpl16i", V32, SCR,        op(28) | 0xA800, Form::I16AU, EXEC(x.setcrf(0, x.compareu(x.r[i.a], i.imm)))},
  {"e_cmph16i", V32, SCR,        op(28) | 0xB000, Form::I16A, EXEC(x.setcrf(0, x.compare(int16_t(x.r[i.a]), int32_t(i.imm))))},
  {"e_cmphl16i", V32, SCR,       op(28) | 0xB800, Form::I16AU, EXEC(x.setcrf(0, x.compareu(uint16_t(x.r[i.a]), i.imm)))},
  {"e_or2i",    V32, SCR,        op(28) | 0xC000, Form::I16L, EXEC(x.r[i.d] |= i.imm)},
  {"e_and2i.",  V32, SCR,        op(28) | 0xC800, Form::I16L, EXEC(x.r[i.d] &= i.imm; x.record(x.r[i.d]))},
  {"e_or2is",   V32, SCR,        op(28) | 0xD000, Form::I16L, EXEC(x.r[i.d] |= i.imm << 16)},
  {"e_lis",     V32, SCR,        op(28) | 0xE000, Form::I16L, EXEC(x.r[i.d] = i.imm << 16)},
  {"e_and2is.", V32, SCR,        op(28) | 0xE800, Form::I16L, EXEC(x.r[i.d] &= i.imm << 16; x.record(x.r[i.d]))},
  {"e_rlwimi",  V32, 0xFC000001u, op(29),      Form::M32,   EXEC(x.r[i.a] = (rotl(x.r[i.d], i.b) & i.imm) | (x.r[i.a] & ~i.imm))},
  {"e_rlwinm",  V32, 0xFC000001u, op(29) | 1,  Form::M32,   EXEC(x.r[i.a] = rotl(x.r[i.d], i.b) & i.imm)},
  {"e_b",       V32, 0xFE000000u, op(30),      Form::Bd24,  EXEC(branch(x, i, i.imm, true))},
  {"e_bc",      V32, 0xFFC00000u, op(30) | 0x02000000, Form::Bd15, EXEC(branch(x, i, i.imm, bcond(x, i.d, i.a)))},
  {"e_cmph",    V32, XM,         x31(14),      Form::XCmp,  EXEC(x.setcrf(i.d, x.compare(int16_t(x.r[i.a]), int16_t(x.r[i.b]))))},
  {"e_cmphl",   V32, XM,         x31(46),      Form::XCmp,  EXEC(x.setcrf(i.d, x.compareu(uint16_t(x.r[i.a]), uint16_t(x.r[i.b]))))},
  {"e_mcrf",    V32, XM,         x31(16),      Form::XCrf,  mcrf},
  {"e_crnor",   V32, XM,         x31(33),      Form::XL,    cr_nor},
  {"e_crandc",  V32, XM,         x31(129),     Form::XL,    cr_andc},
  {"e_crxor",   V32, XM,         x31(193),     Form::XL,    cr_xor},
  {"e_crnand",  V32, XM,         x31(225),     Form::XL,    cr_nand},
  {"e_crand",   V32, XM,         x31(257),     Form::XL,    cr_and},
  {"e_creqv",   V32, XM,         x31(289),     Form::XL,    cr_eqv},
  {"e_crorc",   V32, XM,         x31(417),     Form::XL,    cr_orc},
  {"e_cror",    V32, XM,         x31(449),     Form::XL,    cr_or},
  {"e_slwi",    V32, XM,         x31(56),      Form::X,     EXEC(setra(x, i, x.r[i.d] << i.b))},
  {"e_srwi",    V32, XM,         x31(568),     Form::X,     EXEC(setra(x, i, x.r[i.d] >> i.b))},
  {"e_rlw",     V32, XM,         x31(280),     Form::X,     EXEC(setra(x, i, rotl(x.r[i.d], x.r[i.b])))},
  {"e_rlwi",    V32, XM,         x31(312),     Form::X,     EXEC(setra(x, i, rotl(x.r[i.d], i.b)))},
};
// clang-format on

inline uint32_t sext(uint32_t v, unsigned bits) { return uint32_t(int32_t(v << (32 - bits)) >> (32 - bits)); }
// VLE 16-bit register field: 0-7 are r0-r7, 8-15 are r24-r31.
inline uint8_t vlereg(uint32_t f) { return uint8_t((f & 15) < 8 ? (f & 15) : (f & 15) + 16); }

// Row indices per set, bucketed by the top bits (6 for 32-bit words, 4 for
// half-words); VLE 32-bit code also sees the shared opcode 31 and 4 rows.
struct Buckets {
    std::array<std::vector<uint16_t>, 64> classic, vle32;
    std::array<std::vector<uint16_t>, 16> vle16;
    Buckets()
    {
        for (uint16_t k = 1; k < std::size(rows); k++) {
            const InsnRow& r = rows[k];
            if (r.set == InsnSet::Vle16) {
                vle16[r.match >> 12].push_back(k);
                continue;
            }
            unsigned primary = r.match >> 26;
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

std::span<const InsnRow> insnrows() { return rows; }

uint16_t findrow(InsnSet set, uint32_t word)
{
    const Buckets& b = buckets();
    const std::vector<uint16_t>& list = set == InsnSet::Vle16 ? b.vle16[(word >> 12) & 15]
                                      : set == InsnSet::Vle32 ? b.vle32[word >> 26]
                                                              : b.classic[word >> 26];
    for (uint16_t k : list)
        if ((word & rows[k].mask) == rows[k].match) return k;
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

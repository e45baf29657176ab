// Typed values of the target: reading and writing an object by its type
// and storage class (registers or big-endian memory), and the texts that
// show a value in a display format chosen by a letter.
//
// The one idea: a value is reached by (address, storage class, type), the
// same three things an ExprValue carries, so the evaluator, the eval
// command and the windows all read, write and print through here.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vek/command/expr/internal.h"
#include "vek/core/support/format.h"
#include "vek/core/support/output.h"
#include "vek/core/target/memory.h"
#include "vek/core/target/registers.h"

namespace vek {

using namespace exprimpl;

namespace exprimpl {

uint32_t stepword(const ExprValue& v) {
    const TypeDesc& d = descof(v);
    return v.cursor < d.steps.size() ? d.steps[v.cursor] : 0;
}

void dropstep(ExprValue& v) {
    v.type = step::drop(v.type);
    ++v.cursor;
}

void addstep(ExprValue& v, uint32_t s, uint32_t word) {
    const TypeDesc& old = descof(v);
    auto d = std::make_shared<TypeDesc>();
    d->attr = old.attr;
    d->bitword = old.bitword;
    d->agg = old.agg;
    d->steps.push_back(word);
    if (v.cursor < old.steps.size()) d->steps.insert(d->steps.end(), old.steps.begin() + long(v.cursor), old.steps.end());
    v.owned = d;
    v.desc = d.get();
    v.cursor = 0;
    v.type = step::add(v.type, s);
}

uint8_t getbyte(uint32_t a) { return exprenv().mem ? exprenv().mem->getbyte(a) : 0; }
uint16_t getword(uint32_t a) { return exprenv().mem ? exprenv().mem->getword(a) : 0; }
uint32_t getlong(uint32_t a) { return exprenv().mem ? exprenv().mem->getlong(a) : 0; }
bool stoprequested() { return exprenv().hooks.stoprequested && exprenv().hooks.stoprequested(); }

}  // namespace exprimpl

namespace {

// Classes read and written as registers (the address holds the register's
// debug number).
bool inreg(uint8_t kind, uint8_t code) {
    switch (kind) {
    case 4: case 7: case 15: case 20: case 21: case 22: case 23: case 24: return true;
    case 5: return code == tc::Bool || code == tc::Float || code == tc::Double || code == tc::LDouble;
    default: return false;
    }
}

// Debug register n of the value's core: the second core's registers are
// the second bank.
uint32_t bankreg(const ExprValue& v, uint32_t n) { return (37 - n) | (v.core == 1 ? uint32_t(RegBank1) : 0u); }
uint32_t reg(const ExprValue& v, uint32_t n) {
    if (!exprenv().regs) return 0;
    return v.core == 1 ? exprenv().regs->getreg(bankreg(v, n)) : dbgreg(*exprenv().regs, n);
}
void setreg(const ExprValue& v, uint32_t n, uint32_t x) {
    if (!exprenv().regs) return;
    if (v.core == 1) exprenv().regs->storereg(bankreg(v, n), x);
    else setdbgreg(*exprenv().regs, n, x);
}

// Bytes of an object: 1, 2, 4 or 8; 0 for the others.
int objbytes(uint8_t code) {
    switch (code) {
    case tc::Bool: case tc::SChar: case tc::Char: case tc::UChar: case tc::CharBits: case tc::CharEnum: return 1;
    case tc::Short: case tc::UShort: case tc::ShortBits: case tc::ShortEnum: case tc::SFract: return 2;
    case tc::Int: case tc::IntBits: case tc::UInt: case tc::Long: case tc::ULong: case tc::LongBits:
    case tc::Enum: case tc::IntEnum: case tc::LongEnum: case tc::LFract: case tc::Float: return 4;
    case tc::Double: case tc::LDouble: case tc::LLong: case tc::ULLong: return 8;
    default: return 0;
    }
}

// The container of an object of 1, 2 or 4 bytes, from memory or a register.
uint32_t getraw(const ExprValue& v, int n, bool r) {
    if (r) return reg(v, v.address);
    return n == 1 ? getbyte(v.address) : n == 2 ? getword(v.address) : getlong(v.address);
}

void putraw(const ExprValue& v, int n, bool r, uint32_t x) {
    if (r) {
        setreg(v, v.address, x);
        return;
    }
    Memory* m = exprenv().mem;
    if (!m) return;
    if (n == 1) m->putbyte(v.address, uint8_t(x));
    else if (n == 2) m->putword(v.address, uint16_t(x));
    else m->putlong(v.address, x);
}

uint64_t get8(const ExprValue& v, bool r) {
    if (r) return uint64_t(reg(v, v.address)) << 32 | reg(v, v.address - 1);
    return uint64_t(getlong(v.address)) << 32 | getlong(v.address + 4);
}

void put8(const ExprValue& v, bool r, uint64_t x) {
    if (r) {
        setreg(v, v.address, uint32_t(x >> 32));
        setreg(v, v.address - 1, uint32_t(x));
        return;
    }
    if (Memory* m = exprenv().mem) {
        m->putlong(v.address, uint32_t(x >> 32));
        m->putlong(v.address + 4, uint32_t(x));
    }
}

// The bit of a _Bool: in a byte of memory, or anywhere in a register.
uint32_t boolshift(const ExprValue& v, bool r) { return v.boolbit & (r ? 31 : 7); }

bool isbits(uint8_t code) { return code == tc::CharBits || code == tc::ShortBits || code == tc::IntBits || code == tc::LongBits; }

uint32_t bitmask(uint32_t width) { return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1; }

std::string fmt(const char* format, FmtArg a = FmtArg(), FmtArg b = FmtArg()) {
    char buf[200];
    const FmtArg list[] = {a, b};
    int32_t n = fmtbufv(buf, sizeof buf, format, FmtArgs(list, 2));
    return std::string(buf, size_t(n));
}

}  // namespace

uint32_t typesizeof(const ExprValue& v) { return typesizeat(v.type, descof(v), v.cursor); }

uint32_t elementsize(const ExprValue& v) {
    if (!v.derived()) return 0;
    return typesizeat(step::drop(v.type), descof(v), v.cursor + 1);
}

bool isstrtype(const ExprValue& v) {
    uint32_t t = step::top(v.type);
    return (t == step::Ptr || t == step::Arr) && step::drop(v.type) <= 0xFF && v.base() <= tc::UChar;
}

void fromvar(ExprValue& v, const VarRecord& var) {
    v.owner = var.owner;
    v.attr = int16_t(var.attr);
    v.type = var.type;
    v.value2 = var.value2;
    v.desc = &var.desc;
    v.owned.reset();
    v.cursor = 0;
    v.boolbit = 0;
    if (var.type == tc::Bool) {
        bool regarg = var.sclass == sc::RegArg || var.sclass == sc::RRArg || var.sclass == sc::RFArg;
        v.boolbit = uint8_t(var.desc.bitword ? var.desc.bitword & 0x1F : regarg ? 0 : var.value2 & 7);
    }
}

uint64_t readval(const ExprValue& v, uint8_t code) {
    if (code == tc::Pointer)
        return inregister(v.kind) ? reg(v, v.address) : getlong(v.address);
    if (v.kind == sc::EnumMem) return v.address;
    bool r = inreg(v.kind, code);
    int n = objbytes(code);
    switch (code) {
    case tc::SChar: case tc::Char: case tc::CharEnum: return uint32_t(int32_t(int8_t(getraw(v, 1, r))));
    case tc::UChar: return getraw(v, 1, r) & 0xFF;
    case tc::Short: case tc::ShortEnum: case tc::SFract: return uint32_t(int32_t(int16_t(getraw(v, 2, r))));
    case tc::UShort: return getraw(v, 2, r) & 0xFFFF;
    case tc::Int: case tc::UInt: case tc::Long: case tc::ULong: case tc::Enum: case tc::IntEnum:
    case tc::LongEnum: case tc::LFract:
        return getraw(v, 4, r);
    case tc::CharBits: case tc::ShortBits: case tc::IntBits: case tc::LongBits: {
        uint32_t w = descof(v).bitword;
        return (getraw(v, n, r) >> ((w >> 8) & 0x1F)) & bitmask(w & 0xFF);
    }
    case tc::Bool: return (getraw(v, 1, r) >> boolshift(v, r)) & 1;
    case tc::Float: {
        uint32_t x = getraw(v, 4, r);
        const uint8_t b[4] = {uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), uint8_t(x)};
        ExprValue t;
        t.setdbl(fromtgtfloat(b, false));
        return t.bits;
    }
    case tc::Double: case tc::LDouble: {
        uint64_t x = get8(v, r);
        uint8_t b[8];
        for (int i = 0; i < 8; ++i) b[i] = uint8_t(x >> (56 - 8 * i));
        ExprValue t;
        t.setdbl(fromtgtfloat(b, true));
        return t.bits;
    }
    case tc::LLong: case tc::ULLong: return get8(v, r);
    default: return 0;
    }
}

void writeval(const ExprValue& v, uint64_t bits) {
    ExprEnv& env = exprenv();
    if (v.derived()) {
        if (inregister(v.kind)) setreg(v, v.address, uint32_t(bits));
        else if (env.mem) env.mem->putlong(v.address, uint32_t(bits));
        return;
    }
    uint8_t code = v.base();
    bool r = inreg(v.kind, code);
    int n = objbytes(code);
    uint32_t x = uint32_t(bits);
    if (isbits(code)) {
        uint32_t w = descof(v).bitword, shift = (w >> 8) & 0x1F, mask = bitmask(w & 0xFF) << shift;
        putraw(v, n, r, (getraw(v, n, r) & ~mask) | ((x << shift) & mask));
        return;
    }
    switch (code) {
    case tc::Bool: {
        uint32_t bit = 1u << boolshift(v, r);
        uint32_t old = getraw(v, 1, r);
        putraw(v, 1, r, x ? old | bit : old & ~bit);
        return;
    }
    case tc::Float: {
        ExprValue t;
        t.bits = bits;
        uint8_t b[4];
        totgtfloat(t.dbl(), b, false);
        putraw(v, 4, r, uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]);
        return;
    }
    case tc::Double: case tc::LDouble: {
        ExprValue t;
        t.bits = bits;
        uint8_t b[8];
        totgtfloat(t.dbl(), b, true);
        uint64_t y = 0;
        for (int i = 0; i < 8; ++i) y = y << 8 | b[i];
        put8(v, r, y);
        return;
    }
    case tc::LLong: case tc::ULLong: put8(v, r, bits); return;
    default:
        if (n == 1 || n == 2 || n == 4) putraw(v, n, r, x);
        return;
    }
}

void loadvalue(ExprValue& v) {
    uint32_t top = step::top(v.type);
    if (top == step::Arr || top == step::Func) {
        v.setint(v.address);
    } else if (top == step::Ptr) {
        v.bits = readval(v, tc::Pointer);
    } else if (v.kind == sc::TLabel || v.kind == sc::TGLabel || v.base() == tc::Struct || v.base() == tc::Union) {
        v.setint(v.address);
    } else {
        v.bits = readval(v, v.base());
    }
}

// ---- display

const char* typefmt(uint8_t code, const VarRecord* var) {
    static const char* const radixfmt[3][5] = {
        {"0%oc", "0%os", "", "0%ol", ""}, {"0x%hc", "0x%hs", "", "0x%hl", ""}, {"0b%zc", "0b%zs", "", "0b%zl", ""}};
    int radix = exprenv().radix;
    int row = radix == 1 ? 0 : radix == 2 ? 1 : radix == 4 ? 2 : -1;
    switch (code) {
    case tc::Char: case tc::SChar: case tc::Short: case tc::Int: case tc::Long: case tc::UChar:
    case tc::UShort: case tc::UInt: case tc::ULong:
        if (row >= 0) return radixfmt[row][objbytes(code) - 1];
        break;
    default: break;
    }
    switch (code) {
    case tc::Char: case tc::SChar: case tc::CharEnum: case tc::CharBits: return "%c";
    case tc::Short: case tc::Bool: case tc::ShortEnum: case tc::ShortBits: return "%s";
    case tc::Int: case tc::Long: case tc::Enum: case tc::IntEnum: case tc::LongEnum: case tc::IntBits:
    case tc::LongBits: return "%l";
    case tc::UChar: return "%uc";
    case tc::UShort: return "%us";
    case tc::UInt: case tc::ULong: return "%ul";
    case tc::Float: case tc::Double: case tc::LDouble: return "%d";
    case tc::SFract: return "%1.5f";
    case tc::LFract: return "%1.9f";
    case tc::Pointer: {
        if (!var) return "0x%hl";
        uint32_t word = var->desc.steps.empty() ? 0 : var->desc.steps[0];
        uint32_t cls = word & 0x3000;
        if (var->attr) cls = (word & 0x40) ? 0x3000 : 0x2000;
        return cls == 0x1000 ? "0x%hc" : cls == 0x2000 ? "0x%hs" : "0x%hl";
    }
    default: return nullptr;
    }
}

std::string dbltext(double d) {
    char buf[64];
    int32_t n = fmtbuf(buf, sizeof buf, "%.10d", d);
    std::string t(buf, size_t(n));
    size_t e = t.find('e');
    if (e == std::string::npos) return t;   // nan, inf, -inf
    std::string sign = t[0] == '-' ? "-" : "";
    std::string mant = t.substr(sign.size(), e - sign.size());
    std::string exptext = t.substr(e);
    int exponent = std::atoi(exptext.c_str() + 1);
    mant.pop_back();
    while (mant.size() > 3 && mant.back() == '0') mant.pop_back();
    std::string digits = mant.substr(0, 1) + mant.substr(2);
    if (exponent <= -1 && exponent >= -4) {
        std::string out = sign + "0." + std::string(size_t(-exponent - 1), '0') + digits;
        if (out.back() == '0') out.pop_back();
        return out;
    }
    if (exponent >= 0 && exponent <= 6) {
        std::string whole = digits.substr(0, std::min(digits.size(), size_t(exponent) + 1));
        whole.resize(size_t(exponent) + 1, '0');
        std::string frac = digits.size() > size_t(exponent) + 1 ? digits.substr(size_t(exponent) + 1) : "0";
        return sign + whole + "." + frac;
    }
    return sign + mant + exptext;
}

namespace {

std::string escapedchar(uint8_t c) {
    static const char names[] = "abtnvfr";   // 7 to 13
    if (c >= 7 && c <= 13) return std::string("\\") + names[c - 7];
    if (c < 32 || c == 127) return fmt("\\%oc", c);
    return std::string(1, char(c));
}

std::string stringtext(const ExprValue& v, bool quoted) {
    uint32_t a = step::top(v.type) == step::Arr ? v.address : v.u32();
    if (a == 0) return "NULL";
    constexpr size_t Limit = 1280;
    std::string out;
    bool cut = false;
    for (uint32_t i = 0;; ++i) {
        uint8_t c = getbyte(a + i);
        if (c == 0) break;
        std::string piece = quoted ? escapedchar(c) : std::string(1, char(c));
        if (out.size() + piece.size() > Limit) {
            cut = true;
            break;
        }
        out += piece;
    }
    if (cut) out.replace(out.size() - 3, 3, "...");
    return quoted ? "\"" + out + "\"" : out;
}

// 64-bit numbers for long long, which the format language does not hold.
std::string lltext(uint64_t x, char letter, bool issigned) {
    char buf[80];
    switch (letter) {
    case 'x': std::snprintf(buf, sizeof buf, "0x%016" PRIx64, x); break;
    case 'h': std::snprintf(buf, sizeof buf, "%016" PRIx64, x); break;
    case 'o': std::snprintf(buf, sizeof buf, "0%" PRIo64, x); break;
    case 'u': std::snprintf(buf, sizeof buf, "%" PRIu64, x); break;
    case 'd': std::snprintf(buf, sizeof buf, "%" PRId64, int64_t(x)); break;
    case 'b': {
        std::string s = "0b";
        for (int i = 63; i >= 0; --i) s += char('0' + ((x >> i) & 1));
        return s;
    }
    default:
        if (issigned) std::snprintf(buf, sizeof buf, "%" PRId64, int64_t(x));
        else std::snprintf(buf, sizeof buf, "%" PRIu64, x);
    }
    return buf;
}

const FunctionRecord* functionat(uint32_t address) {
    if (!exprenv().debug) return nullptr;
    for (auto& f : exprenv().debug->files)
        for (auto& fn : f->funcs)
            if (fn->start && fn->start->address == address && !fn->name.empty() && fn->name != ".") return fn.get();
    return nullptr;
}

std::string enumtext(const ExprValue& v) {
    if (const AggregateDescriptor* agg = descof(v).agg)
        for (const VarRecord& m : agg->members)
            if (m.value == v.u32()) return m.name;
    return fmt("%l (unknown enum value)", v.u32());
}

bool isaggregate(const ExprValue& v) {
    return step::top(v.type) == step::Arr || (!v.derived() && (v.base() == tc::Struct || v.base() == tc::Union));
}

bool capturing() {
    OutputState& o = outstate();
    return o.value.on || o.stack.on || o.ext.on;
}

// Aggregates nest at most this deep in a value's text, and one text shows
// at most so many members and elements: damaged debug information can make
// a structure its own member, many times over.
constexpr int MaxNest = 16;
constexpr size_t MaxParts = 50000;

std::string valuetextat(const ExprValue& v, char letter, int depth, size_t& room);

std::string structtext(const ExprValue& v, char letter, int depth, size_t& room) {
    if (depth >= MaxNest) return "{...}";
    std::string out = "{";
    const AggregateDescriptor* agg = descof(v).agg;
    bool first = true;
    if (agg)
        for (const VarRecord& m : agg->members) {
            if (m.name.empty()) break;
            if (room == 0) {
                out += first ? "..." : ", ...";
                break;
            }
            --room;
            ExprValue e;
            fromvar(e, m);
            e.core = v.core;
            e.address = v.address + m.value;
            e.kind = term::Mem;
            loadvalue(e);
            if (!first) out += ", ";
            first = false;
            out += m.name + "=" + valuetextat(e, letter, depth + 1, room);
        }
    return out + "}";
}

// The format a letter asks for, by the width of the type; nullptr for the
// type's default.
const char* letterfmt(const ExprValue& v, char letter) {
    int n = v.derived() ? 4 : objbytes(v.base());
    if (v.isfloat()) n = 0;
    switch (letter) {
    case 'c': return "%ac";
    case 'd': return "%l";
    case 'u': return "%ul";
    case 'o': return "0%ol";
    case 'x': return n == 1 ? "0x%+02h" : n == 2 ? "0x%+04h" : n == 4 ? "0x%+08hl" : "0x%hl";
    case 'h': return n == 1 ? "%+02h" : n == 2 ? "%+04h" : n == 4 ? "%+08hl" : "%hl";
    case 'b': return n == 1 ? "0b%+08z" : n == 2 ? "0b%+016z" : n == 4 ? "0b%+032z" : "0b%z";
    default: return nullptr;
    }
}

// Masks a value to the width of a char or short type.
uint32_t masked(const ExprValue& v) {
    if (v.derived()) return v.u32();
    switch (v.base()) {
    case tc::SChar: case tc::Char: case tc::UChar: case tc::CharBits: case tc::CharEnum: return v.u32() & 0xFF;
    case tc::Short: case tc::UShort: case tc::ShortBits: case tc::ShortEnum: return v.u32() & 0xFFFF;
    default: return v.u32();
    }
}

std::string numbertext(const ExprValue& v, const char* format, bool mask) {
    if (v.isfloat()) return fmt(format, v.dbl());
    return fmt(format, mask ? masked(v) : v.u32());
}

}  // namespace

std::string valuetext(const ExprValue& v, char letter) {
    size_t room = MaxParts;
    return valuetextat(v, letter, 0, room);
}

namespace {

std::string valuetextat(const ExprValue& v, char letter, int depth, size_t& room) {
    uint32_t top = step::top(v.type);
    uint8_t base = v.base();
    bool ll = !v.derived() && (base == tc::LLong || base == tc::ULLong);
    if (letter == 'C') return "'" + escapedchar(uint8_t(v.u32())) + "'";
    if ((letter == 'S' || letter == 's') && isstrtype(v)) return stringtext(v, letter == 'S');
    if (ll && letter != 'c') return lltext(v.bits, letter, base == tc::LLong);
    if (!v.derived() && (base == tc::Struct || base == tc::Union)) return structtext(v, letter, depth, room);
    if (const char* f = letterfmt(v, letter)) {
        bool mask = f[0] == '0' || f[1] == 'u' || letter == 'h';
        return numbertext(v, f, mask);
    }
    if (top == step::Ptr) {
        if (step::top(step::drop(v.type)) == step::Func)
            if (const FunctionRecord* f = functionat(v.u32())) return "(" + f->name + ")";
        return v.u32() ? fmt("0x%hl", v.u32()) : "NULL";
    }
    if (top == step::Arr) return fmt("@0x%hl", v.address);
    if (top == step::Func) return fmt("0x%hl", v.address);
    if (base == tc::SFract) return fmt("%1.5f", double(v.i32()) / 32768.0);
    if (base == tc::LFract) return fmt("%1.9f", double(v.i32()) / 2147483648.0);
    if (v.isfloat()) return dbltext(v.dbl());
    if (isenumcode(base)) return enumtext(v);
    if (v.kind == term::Register || v.kind == sc::TLabel || v.kind == sc::TGLabel) return fmt("0x%hl", v.u32());
    if (v.kind == term::Counter) return fmt("%ul", v.u32());
    const char* f = typefmt(base, nullptr);
    if (!f) return fmt("%l", v.u32());
    return numbertext(v, f, f[0] == '0' || f[1] == 'u');
}

}  // namespace

void printvalue(const ExprValue& v, char letter) {
    if (isaggregate(v) && !capturing() && exprenv().hooks.aggregatewindow && exprenv().hooks.aggregatewindow(v, letter))
        return;
    std::string t = valuetext(v, letter);
    writeout(t);
}

bool putresult(const ExprValue& v, char letter) {
    if (v.count == 0) {
        printvalue(v, letter);
        return true;
    }
    writeout("{");
    ExprValue e = v;
    e.count = 0;
    uint32_t size = typesizeof(e);
    for (uint32_t i = 0; i < v.count; ++i) {
        if (stoprequested()) {
            writeout("}");
            return false;
        }
        if (i > 0) {
            writeout(", ");
            e.address += size;
            loadvalue(e);
        }
        writeout(valuetext(e, letter));
    }
    writeout("}");
    return true;
}

bool putvalueline(const ExprValue& v, char letter) {
    if (isaggregate(v) && v.count == 0) {
        if (!capturing() && exprenv().hooks.aggregatewindow && exprenv().hooks.aggregatewindow(v, letter))
            return true;
        writeout(valuetext(v, letter));
        writeout("\n");
        return true;
    }
    writeout("    ");
    writeout(v.text);
    writeout(" = ");
    bool done = putresult(v, letter);
    writeout("\n");
    return done;
}

namespace {

std::string vartext(const ExprValue& v, int depth, size_t& room) {
    uint32_t top = step::top(v.type);
    uint8_t base = v.base();
    if (depth >= MaxNest && (top == step::Arr || (!v.derived() && (base == tc::Struct || base == tc::Union))))
        return " {...}";
    if (top == step::Arr) {
        std::string out;
        ExprValue e = v;
        uint32_t dim = stepword(v);
        dropstep(e);
        uint32_t size = typesizeof(e);
        for (uint32_t i = 0; i < dim && i < 4096; ++i, e.address += size) {
            if (room == 0) return out + " ...";
            --room;
            loadvalue(e);
            out += " " + vartext(e, depth + 1, room);
        }
        return out;
    }
    if (top == step::Ptr) {
        if (v.u32() == 0) return " NULL";
        return fmt("0x%hl", v.u32());
    }
    if (top == step::Func) return fmt("0x%hl", v.address);
    if (base == tc::Struct || base == tc::Union) {
        std::string out = " {";
        bool first = true;
        if (const AggregateDescriptor* agg = descof(v).agg)
            for (const VarRecord& m : agg->members) {
                if (m.name.empty()) break;
                if (room == 0) {
                    out += first ? "..." : ",...";
                    break;
                }
                --room;
                ExprValue e;
                fromvar(e, m);
                e.address = v.address + m.value;
                e.kind = term::Mem;
                loadvalue(e);
                if (!first) out += ",";
                first = false;
                out += m.name + "=" + vartext(e, depth + 1, room);
            }
        return out + "}";
    }
    if (isenumcode(base)) return enumtext(v);
    if (base < 1 || base > 78) return fmt("0x%hl", v.address);
    if (v.isfloat()) return dbltext(v.dbl());
    const char* f = typefmt(base, nullptr);
    if (!f) return "(no format)";
    return numbertext(v, f, f[0] == '0' || f[1] == 'u');
}

}  // namespace

void putvar(const VarRecord& var) {
    ExprValue v;
    fromvar(v, var);
    v.core = var.core;
    FrameRefIx frame;
    FrameAccess& fr = exprenv().frames;
    if (fr.current) frame = {var.core, fr.current(var.core)};
    v.address = frameaddr(var, frame);
    bool flag = framevarsflag();
    v.kind = var.sclass;
    if (((var.sclass == sc::FirstArg || var.sclass == sc::StatFArg) && flag) || (var.sclass == sc::RegArg && !flag))
        v.kind = term::Mem;
    loadvalue(v);
    size_t room = MaxParts;
    writeout(var.name + "=" + vartext(v, 0, room));
}

}  // namespace vek

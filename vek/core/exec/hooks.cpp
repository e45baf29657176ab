// Target hooks for variables, registers, frames, floats, cores and the
// target symbols. Most are fixed answers of this single-core-at-a-time
// PowerPC target; the variable addresses follow the storage classes of the
// debug information.
#include "vek/core/exec/hooks.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace vek {

uint32_t dbgreg(RegisterFile& regs, uint32_t n) { return regs.getreg(37 - n); }
void setdbgreg(RegisterFile& regs, uint32_t n, uint32_t value) { regs.storereg(37 - n, value); }

bool inregister(uint8_t sclass)
{
    return sclass == sc::Reg || sclass == sc::RegArg || sclass == sc::FirstArg || sclass == sc::StatFArg ||
           sclass == sc::RFArg;
}

uint32_t readvarval(RegisterFile& regs, Memory& mem, uint8_t sclass, uint32_t where)
{
    return inregister(sclass) ? dbgreg(regs, where) : mem.getlong(where);
}

void writevarval(RegisterFile& regs, Memory& mem, uint8_t sclass, uint32_t where, uint32_t value)
{
    if (inregister(sclass))
        setdbgreg(regs, where, value);
    else
        mem.putlong(where, value);
}

std::string regvarname(uint8_t sclass, uint32_t first, uint32_t second, uint32_t type)
{
    uint32_t n = (sclass == sc::Reg || sclass == sc::RegArg || sclass == sc::RFArg) ? first : second;
    uint8_t base = uint8_t(type & 0xFF);
    bool isdouble = (type >> 8) == 0 && (base == 41 || base == 42);
    std::string text = "reg. R";
    text += std::to_string(int32_t(36 - n));
    if (isdouble) {
        text += ",R";
        text += std::to_string(int32_t(37 - n));
    }
    return text;
}

void putmembytes(Memory& mem, uint32_t address, const uint8_t* bytes, bool eight)
{
    mem.putmem(address, bytes, eight ? 8 : 4);
}

void ptrdeclarator(char* buffer) { std::strcpy(buffer, "*"); }
std::string ptrprefix(std::string_view text)
{
    std::string out = "*";
    out += text;
    return out;
}

bool onvarlist(const FunctionRecord* func, std::string_view name)
{
    if (!func) return false;
    for (const VarRecord& v : func->vars)
        if (v.name == name) return true;
    return false;
}

namespace {

// B - A of the function's frame record: the size of its frame.
uint32_t framesize(const FunctionRecord* func)
{
    if (!func || !func->frame) return 0;
    return uint32_t(func->frame->endline) - func->frame->line;
}

}  // namespace

uint32_t varaddr(const VarRecord& var, std::span<const FrameRef> chain)
{
    switch (var.sclass) {
    case sc::Fix:
    case sc::FixExt:
    case sc::Absolu:
    case sc::EnumMem: return var.value;
    default: break;
    }
    const FrameRef* frame = nullptr;
    for (const FrameRef& f : chain)
        if (onvarlist(f.func, var.name)) {
            frame = &f;
            break;
        }
    if (!frame) return 0;
    switch (var.sclass) {
    case sc::Reg: return var.value;
    case sc::RFArg: return frame->midentry ? var.value : var.value2;
    case sc::RegArg: return frame->midentry ? var.value2 : frame->base + var.value;
    case sc::FirstArg: return frame->midentry ? frame->base + var.value - framesize(frame->func) : var.value2;
    case sc::Arg: return frame->base + var.value;
    case sc::Aut: return frame->base - var.value;
    default: return frame->base;
    }
}

uint32_t FrameHooks::framebase(RegisterFile& regs, const FunctionRecord* func)
{
    last = stackpointer(regs) - framesize(func);
    return last;
}

uint32_t FrameHooks::framebaseatpc(RegisterFile& regs, const LineRecord* at)
{
    const FunctionRecord* func = at ? at->owner : nullptr;
    uint32_t base = stackpointer(regs) - framesize(func);
    if (at && at->kind != kind::Start && func && func->frame && !(func->name.size() && func->name[0] == '.'))
        base += func->frame->endline;
    last = base;
    return base;
}


double fromtgtfloat(const uint8_t* b, bool isdouble)
{
    if (b[0] == 0 && b[1] == 0) return 0.0;
    if (!isdouble) {
        uint32_t bits = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
        if ((bits & 0x7F800000u) == 0x7F800000u) {
            if (bits & 0x007FFFFFu) return std::nan("");
            return bits >> 31 ? -double(FLT_MAX) : double(FLT_MAX);
        }
        return std::bit_cast<float>(bits);
    }
    uint64_t bits = 0;
    for (int k = 0; k < 8; k++) bits = bits << 8 | b[k];
    return std::bit_cast<double>(bits);  // NaN stays NaN
}

void totgtfloat(double value, uint8_t* dest, bool isdouble)
{
    if (value == 0) {
        std::memset(dest, 0, isdouble ? 8 : 4);
        return;
    }
    if (!isdouble) {
        uint32_t bits;
        if (std::isnan(value))
            bits = 0x7FC00000u;
        else if (std::fabs(value) > double(FLT_MAX))
            bits = std::bit_cast<uint32_t>(std::signbit(value) ? -FLT_MAX : FLT_MAX);
        else
            bits = std::bit_cast<uint32_t>(float(value));  // rounds to nearest even
        for (int k = 0; k < 4; k++) dest[k] = uint8_t(bits >> (24 - 8 * k));
        return;
    }
    if (std::isinf(value)) value = std::signbit(value) ? -DBL_MAX : DBL_MAX;
    uint64_t bits = std::isnan(value) ? 0x7FF8000000000000ull : std::bit_cast<uint64_t>(value);
    for (int k = 0; k < 8; k++) dest[k] = uint8_t(bits >> (56 - 8 * k));
}

const char* coretag(int flag) { return flag ? " [z0] " : " [z1] "; }
const char* corename(int flag) { return flag ? " z0 " : " z1 "; }

uint32_t corecycles(const CounterBindings& c, uint32_t splitmask, int core)
{
    const uint32_t* counter = (core == 0 || splitmask == 0) ? c.time : core == 1 ? c.xtime : nullptr;
    return counter ? *counter : 0;
}

uint32_t insncount(const CounterBindings& c) { return c.nbins ? *c.nbins : 0; }

void bindtgtsyms(bool loaded, const std::function<std::optional<uint32_t>(std::string_view)>& findsym,
                 Executor& x, uint32_t& splitmask)
{
    x.setvleboundary(0);
    if (!loaded) return;
    if (auto vle = findsym("__vle__")) x.setvleboundary(*vle);
    if (findsym("__stext0")) splitmask = 0xFFFFFF75u;
}

}  // namespace vek

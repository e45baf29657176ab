// Operand kinds: where each field sits and how values go in and out. This is
// the only place that knows bit positions; the assembler's layout pairs, the
// decoder's masks and the disassembler's field reads all come from here.
#include "toollib/isa/isa.h"

#include <cstring>

namespace isa {

namespace {

constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;

// Column key: name, class, first bit, width, lowest and highest value,
// instruction bits covered.
constexpr OpdInfo kOpd[] = {
    {"none",  OpdClass::None,   0, 0, 0, 0, 0},
    {"RD",    OpdClass::Gpr,   21, 5, 0, 31, 0x03E00000},
    {"RA",    OpdClass::Gpr,   16, 5, 0, 31, 0x001F0000},
    {"RB",    OpdClass::Gpr,   11, 5, 0, 31, 0x0000F800},
    {"RDA",   OpdClass::Gpr,   21, 5, 0, 31, 0x03FF0000},
    {"RSB",   OpdClass::Gpr,   21, 5, 0, 31, 0x03E0F800},
    {"RAB",   OpdClass::Gpr,   16, 5, 0, 31, 0x001FF800},
    {"RX",    OpdClass::Short,  0, 4, 0, 31, 0x0000000F},
    {"RY",    OpdClass::Short,  4, 4, 0, 31, 0x000000F0},
    {"ARX",   OpdClass::Alt,    0, 4, 8, 23, 0x0000000F},
    {"ARY",   OpdClass::Alt,    4, 4, 8, 23, 0x000000F0},
    {"Same",  OpdClass::Same,   0, 0, 0, 31, 0},
    {"CRD",   OpdClass::Crf,   23, 3, 0, 7, 0x03800000},
    {"CRS",   OpdClass::Crf,   18, 3, 0, 7, 0x001C0000},
    {"CRD32", OpdClass::Crf,   21, 2, 0, 3, 0x00600000},
    {"CRSEL", OpdClass::Crf,    0, 3, 0, 7, 0x00000007},
    {"CRBD",  OpdClass::Imm,   21, 5, 0, 31, 0x03E00000},
    {"CRBA",  OpdClass::Imm,   16, 5, 0, 31, 0x001F0000},
    {"CRBB",  OpdClass::Imm,   11, 5, 0, 31, 0x0000F800},
    {"CRBDAB", OpdClass::Imm,  21, 5, 0, 31, 0x03FFF800},
    {"CRBAB", OpdClass::Imm,   16, 5, 0, 31, 0x001FF800},
    {"BO",    OpdClass::Imm,   21, 5, 0, 31, 0x03E00000},
    {"BI",    OpdClass::Imm,   16, 5, 0, 31, 0x001F0000},
    {"BI32",  OpdClass::Imm,   16, 4, 0, 15, 0x000F0000},
    {"CRB32", OpdClass::Crf,   18, 2, 0, 3, 0x000C0000},
    {"CRB",   OpdClass::Crf,   18, 3, 0, 7, 0x001C0000},
    {"BO32",  OpdClass::Imm,   20, 2, 0, 3, 0x00300000},
    {"BI16",  OpdClass::Imm,    8, 2, 0, 3, 0x00000300},
    {"BO16",  OpdClass::Imm,   10, 1, 0, 1, 0x00000400},
    {"SIMM",  OpdClass::Imm,    0, 16, -32768, 32767, 0x0000FFFF},
    {"UIMM",  OpdClass::Imm,    0, 16, 0, 65535, 0x0000FFFF},
    {"SI16A", OpdClass::Imm,    0, 0, -32768, 32767, 0x03E007FF},
    {"UI16A", OpdClass::Imm,    0, 0, 0, 65535, 0x03E007FF},
    {"UI16L", OpdClass::Imm,    0, 0, 0, 65535, 0x001F07FF},
    {"LI20",  OpdClass::Imm,    0, 0, -0x80000, 0x7FFFF, 0x001F7FFF},
    {"SCI8",  OpdClass::Imm,    0, 0, kMin, kMax, 0x000007FF},
    {"SH",    OpdClass::Imm,   11, 5, 0, 31, 0x0000F800},
    {"MB",    OpdClass::Imm,    6, 5, 0, 31, 0x000007C0},
    {"ME",    OpdClass::Imm,    1, 5, 0, 31, 0x0000003E},
    {"NB",    OpdClass::Imm,   11, 5, 0, 31, 0x0000F800},
    {"TO",    OpdClass::Imm,   21, 5, 0, 31, 0x03E00000},
    {"MO",    OpdClass::Imm,   21, 5, 0, 31, 0x03E00000},
    {"CT",    OpdClass::Imm,   21, 5, 0, 31, 0x03E00000},
    {"UI5A",  OpdClass::Imm,   16, 5, 0, 31, 0x001F0000},
    {"SI5A",  OpdClass::Imm,   16, 5, -16, 15, 0x001F0000},
    {"CRBC",  OpdClass::Imm,    6, 5, 0, 31, 0x000007C0},
    {"SPR",   OpdClass::Imm,   11, 0, 0, 1023, 0x001FF800},
    {"DCR",   OpdClass::Imm,   11, 0, 0, 1023, 0x001FF800},
    {"PMR",   OpdClass::Imm,   11, 0, 0, 1023, 0x001FF800},
    {"FXM",   OpdClass::Imm,   12, 8, 0, 255, 0x000FF000},
    {"WE",    OpdClass::Imm,   15, 1, 0, 1, 0x00008000},
    {"OIM5",  OpdClass::Imm,    4, 5, 1, 32, 0x000001F0},
    {"UI5",   OpdClass::Imm,    4, 5, 0, 31, 0x000001F0},
    {"UI7",   OpdClass::Imm,    4, 7, 0, 127, 0x000007F0},
    {"DRA",   OpdClass::Disp,   0, 16, -32768, 32767, 0x001FFFFF},
    {"D8RA",  OpdClass::Disp,   0, 8, -128, 127, 0x001F00FF},
    {"SD4W",  OpdClass::Disp,   8, 4, 0, 60, 0x00000F0F},
    {"SD4H",  OpdClass::Disp,   8, 4, 0, 30, 0x00000F0F},
    {"SD4B",  OpdClass::Disp,   8, 4, 0, 15, 0x00000F0F},
    {"EVD8",  OpdClass::Disp,  11, 5, 0, 248, 0x001FF800},
    {"EVD4",  OpdClass::Disp,  11, 5, 0, 124, 0x001FF800},
    {"EVD2",  OpdClass::Disp,  11, 5, 0, 62, 0x001FF800},
    {"LI24",  OpdClass::Branch,    2, 24, -0x2000000, 0x1FFFFFC, 0x03FFFFFC},
    {"LI24A", OpdClass::AbsBranch, 2, 24, -0x2000000, 0x3FFFFFC, 0x03FFFFFC},
    {"BD14",  OpdClass::Branch,    2, 14, -32768, 32764, 0x0000FFFC},
    {"BD14A", OpdClass::AbsBranch, 2, 14, -32768, 0xFFFC, 0x0000FFFC},
    {"BD24",  OpdClass::Branch,    1, 24, -0x1000000, 0xFFFFFE, 0x01FFFFFE},
    {"BD15",  OpdClass::Branch,    1, 15, -32768, 32766, 0x0000FFFE},
    {"BD8",   OpdClass::Branch,    0, 8, -256, 254, 0x000000FF},
    {"RotN",  OpdClass::Rot,   0, 0, 0, 32, 0},
    {"RotB",  OpdClass::Rot,   0, 0, 0, 31, 0},
};
static_assert(sizeof(kOpd) / sizeof(kOpd[0]) == static_cast<size_t>(Opd::Count),
              "one placement per operand kind");

uint32_t field(int64_t v, int bit, unsigned width) {
    return (static_cast<uint32_t>(v) & ((1u << width) - 1)) << bit;
}

int64_t sext(uint32_t v, unsigned bits) {
    uint32_t m = 1u << (bits - 1);
    return static_cast<int64_t>(static_cast<int32_t>((v ^ m) - m));
}

unsigned scaleof(Opd k) {
    switch (k) {
    case Opd::SD4W: case Opd::EVD4: return 4;
    case Opd::SD4H: case Opd::EVD2: return 2;
    case Opd::EVD8: return 8;
    default: return 1;
    }
}

// The SCI8 field for value, or -1 when value has no SCI8 form.
int32_t sci8(uint32_t v) {
    for (unsigned f = 0; f < 2; ++f)
        for (unsigned scl = 0; scl < 4; ++scl) {
            uint32_t others = ~(0xFFu << (8 * scl));
            uint32_t want = f ? others : 0;
            if ((v & others) == want)
                return static_cast<int32_t>(((v >> (8 * scl)) & 0xFF) | (scl << 8) | (f << 10));
        }
    return -1;
}

}  // namespace

const OpdInfo& opdinfo(Opd kind) { return kOpd[static_cast<size_t>(kind)]; }

bool isshortreg(unsigned r) { return r <= 7 || (r >= 24 && r <= 31); }
bool isaltreg(unsigned r) { return r >= 8 && r <= 23; }
unsigned shortcode(unsigned r) { return r <= 7 ? r : r - 16; }
unsigned shortreg(unsigned code) { return code <= 7 ? code : code + 16; }

bool opdfits(Opd kind, int64_t v) {
    const OpdInfo& in = opdinfo(kind);
    switch (in.cls) {
    case OpdClass::Short: return v >= 0 && v <= 31 && isshortreg(static_cast<unsigned>(v));
    case OpdClass::Alt: return v >= 8 && v <= 23;
    case OpdClass::Branch:
    case OpdClass::AbsBranch: {
        unsigned align = (kind == Opd::LI24 || kind == Opd::LI24A || kind == Opd::BD14 ||
                          kind == Opd::BD14A) ? 4 : 2;
        return v >= in.lo && v <= in.hi && v % align == 0;
    }
    default: break;
    }
    if (kind == Opd::SCI8)
        return v >= INT32_MIN && v <= UINT32_MAX && sci8(static_cast<uint32_t>(v)) >= 0;
    return v >= in.lo && v <= in.hi;
}

uint32_t opdinsert(Opd kind, int64_t v) {
    const OpdInfo& in = opdinfo(kind);
    uint32_t u = static_cast<uint32_t>(v);
    switch (kind) {
    case Opd::RDA: return field(v, 21, 5) | field(v, 16, 5);
    case Opd::RSB: return field(v, 21, 5) | field(v, 11, 5);
    case Opd::RAB: case Opd::CRBAB: return field(v, 16, 5) | field(v, 11, 5);
    case Opd::CRBDAB: return field(v, 21, 5) | field(v, 16, 5) | field(v, 11, 5);
    case Opd::RX: case Opd::RY: return field(shortcode(u), in.bit, 4);
    case Opd::ARX: case Opd::ARY: return field(u - 8, in.bit, 4);
    case Opd::SI16A: case Opd::UI16A: return (u & 0x7FF) | field(u >> 11, 21, 5);
    case Opd::UI16L: return (u & 0x7FF) | field(u >> 11, 16, 5);
    case Opd::LI20: return (u & 0x7FF) | field(u >> 11, 16, 5) | field(u >> 16, 11, 4);
    case Opd::SCI8: return static_cast<uint32_t>(sci8(u));
    case Opd::SPR: case Opd::DCR: case Opd::PMR:
        return field(u & 0x1F, 16, 5) | field(u >> 5, 11, 5);
    case Opd::OIM5: return field(u - 1, 4, 5);
    case Opd::Same: case Opd::RotN: case Opd::RotB: case Opd::None: return 0;
    default: break;
    }
    if (kind == Opd::BD8) return (u >> 1) & 0xFF;
    if (in.cls == OpdClass::Branch || in.cls == OpdClass::AbsBranch)
        return u & in.mask;
    return field(v, in.bit, in.width);
}

int64_t opdextract(Opd kind, uint32_t w) {
    const OpdInfo& in = opdinfo(kind);
    switch (kind) {
    case Opd::RX: case Opd::RY: return shortreg((w >> in.bit) & 0xF);
    case Opd::ARX: case Opd::ARY: return 8 + ((w >> in.bit) & 0xF);
    case Opd::SIMM: return sext(w & 0xFFFF, 16);
    case Opd::SI16A: return sext((w & 0x7FF) | (((w >> 21) & 0x1F) << 11), 16);
    case Opd::UI16A: return (w & 0x7FF) | (((w >> 21) & 0x1F) << 11);
    case Opd::UI16L: return (w & 0x7FF) | (((w >> 16) & 0x1F) << 11);
    case Opd::LI20:
        return sext((w & 0x7FF) | (((w >> 16) & 0x1F) << 11) | (((w >> 11) & 0xF) << 16), 20);
    case Opd::SCI8: {
        unsigned scl = (w >> 8) & 3;
        uint32_t v = (w & 0xFF) << (8 * scl);
        if (w & 0x400) v |= ~(0xFFu << (8 * scl));
        return v;
    }
    case Opd::SPR: case Opd::DCR: case Opd::PMR:
        return ((w >> 16) & 0x1F) | (((w >> 11) & 0x1F) << 5);
    case Opd::OIM5: return ((w >> 4) & 0x1F) + 1;
    case Opd::SI5A: return sext((w >> 16) & 0x1F, 5);
    case Opd::LI24: return sext(w & 0x03FFFFFC, 26);
    case Opd::LI24A: return sext(w & 0x03FFFFFC, 26);
    case Opd::BD14: case Opd::BD14A: return sext(w & 0xFFFC, 16);
    case Opd::BD24: return sext(w & 0x01FFFFFE, 25);
    case Opd::BD15: return sext(w & 0xFFFE, 16);
    case Opd::BD8: return sext(w & 0xFF, 8) * 2;
    case Opd::Same: case Opd::RotN: case Opd::RotB: case Opd::None: return 0;
    default: break;
    }
    if (in.cls == OpdClass::Disp) return dispextract(kind, w);
    return (w >> in.bit) & ((1u << in.width) - 1);
}

bool dispfits(Opd kind, int64_t d, unsigned base) {
    const OpdInfo& in = opdinfo(kind);
    if (base > 31 || d < in.lo || d > in.hi) return false;
    unsigned scale = scaleof(kind);
    if (d % scale != 0) return false;
    if (kind == Opd::SD4W || kind == Opd::SD4H || kind == Opd::SD4B) return isshortreg(base);
    return true;
}

uint32_t dispinsert(Opd kind, int64_t d, unsigned base) {
    switch (kind) {
    case Opd::DRA: return field(d, 0, 16) | field(base, 16, 5);
    case Opd::D8RA: return field(d, 0, 8) | field(base, 16, 5);
    case Opd::SD4W: case Opd::SD4H: case Opd::SD4B:
        return field(d / scaleof(kind), 8, 4) | field(shortcode(base), 0, 4);
    case Opd::EVD8: case Opd::EVD4: case Opd::EVD2:
        return field(d / scaleof(kind), 11, 5) | field(base, 16, 5);
    default: return 0;
    }
}

int64_t dispextract(Opd kind, uint32_t w) {
    switch (kind) {
    case Opd::DRA: return sext(w & 0xFFFF, 16);
    case Opd::D8RA: return sext(w & 0xFF, 8);
    case Opd::SD4W: case Opd::SD4H: case Opd::SD4B: return ((w >> 8) & 0xF) * scaleof(kind);
    case Opd::EVD8: case Opd::EVD4: case Opd::EVD2: return ((w >> 11) & 0x1F) * scaleof(kind);
    default: return 0;
    }
}

unsigned baseextract(Opd kind, uint32_t w) {
    if (kind == Opd::SD4W || kind == Opd::SD4H || kind == Opd::SD4B) return shortreg(w & 0xF);
    return (w >> 16) & 0x1F;
}

bool rotfields(Rot rule, int64_t n, int64_t b, unsigned& sh, unsigned& mb, unsigned& me) {
    auto in = [](int64_t v, int64_t lo, int64_t hi) { return v >= lo && v <= hi; };
    switch (rule) {
    case Rot::Slwi: if (!in(n, 0, 31)) return false; sh = n; mb = 0; me = 31 - n; return true;
    case Rot::Srwi: if (!in(n, 0, 31)) return false; sh = (32 - n) & 31; mb = n; me = 31; return true;
    case Rot::Clrlwi: if (!in(n, 0, 31)) return false; sh = 0; mb = n; me = 31; return true;
    case Rot::Clrrwi: if (!in(n, 0, 31)) return false; sh = 0; mb = 0; me = 31 - n; return true;
    case Rot::Rotlwi: if (!in(n, 0, 31)) return false; sh = n; mb = 0; me = 31; return true;
    case Rot::Rotrwi: if (!in(n, 0, 31)) return false; sh = (32 - n) & 31; mb = 0; me = 31; return true;
    case Rot::Extlwi:
        if (!in(n, 1, 32) || !in(b, 0, 31)) return false;
        sh = b; mb = 0; me = n - 1; return true;
    case Rot::Extrwi:
        if (!in(n, 1, 32) || !in(b, 0, 31) || n + b > 32) return false;
        sh = (b + n) & 31; mb = 32 - n; me = 31; return true;
    case Rot::Inslwi:
        if (!in(n, 1, 32) || !in(b, 0, 31) || n + b > 32) return false;
        sh = (32 - b) & 31; mb = b; me = b + n - 1; return true;
    case Rot::Insrwi:
        if (!in(n, 1, 32) || !in(b, 0, 31) || n + b > 32) return false;
        sh = (32 - (b + n)) & 31; mb = b; me = b + n - 1; return true;
    case Rot::Clrlslwi:  // clrlslwi rA,rS,b,n: b is the first operand written
        if (!in(n, 0, 31) || !in(b, 0, 31) || n > b) return false;
        sh = n; mb = b - n; me = 31 - n; return true;
    case Rot::Extzb: sh = 0; mb = 24; me = 31; return true;
    case Rot::Extzh: sh = 0; mb = 16; me = 31; return true;
    case Rot::None: return false;
    }
    return false;
}

unsigned formsize(Form form) { return form >= Form::SE_C ? 2 : 4; }

uint32_t formrcbit(Form form) {
    switch (form) {
    case Form::X: case Form::XO: case Form::M: case Form::A: case Form::E_X: return 0x1;
    case Form::E_SCI8: return 0x800;
    case Form::SE_RR: case Form::SE_R: case Form::SE_IM5: return 0x100;
    case Form::SE_IM5R9: return 0x200;
    default: return 0;
    }
}

uint32_t formoebit(Form form) { return form == Form::XO ? 0x400 : 0; }

unsigned Insn::opcount() const {
    unsigned n = 0;
    while (n < ops.size() && ops[n] != Opd::None) ++n;
    return n;
}

uint32_t fixedmask(const Insn& insn) {
    uint32_t covered = 0;
    for (Opd k : insn.ops) covered |= opdinfo(k).mask;
    uint32_t all = insn.size() == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    return all & ~covered;
}

std::string_view disname(const Insn& insn) {
    if (insn.dis) return insn.dis;
    std::string_view n = insn.name;
    if (n.starts_with("se_")) n.remove_prefix(3);
    else if (n.starts_with("e_")) n.remove_prefix(2);
    if (n.ends_with('.')) n.remove_suffix(1);
    return n;
}

bool alwaysrecord(const Insn& insn) {
    size_t len = std::strlen(insn.name);
    return len > 0 && insn.name[len - 1] == '.';
}

}  // namespace isa

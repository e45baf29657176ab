// The encoder: form choice, operand fitting and field placement for the
// assembler. The one idea: the entries of a mnemonic are the table rows that
// carry the name (or have it as their generic name) in table order, 16-bit
// rows first; the first VLE row whose operands all fit wins, so a line
// shrinks to the shortest form its values allow.
#include "toollib/isa/encode.h"
#include "toollib/strings.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

namespace isa {

namespace {

// Names of instructions this target never executes (floating point, 64-bit,
// segment and other server-only forms). They are known, so that a line using
// one gets an error naming it rather than an unknown-mnemonic error.
const char* const kNotVle[] = {
    "extsw", "fabs", "fadd", "fadds", "fcfid", "fcmpo", "fcmpu", "fctid", "fctidz", "fctiw",
    "fctiwz", "fdiv", "fdivs", "fmadd", "fmadds", "fmr", "fmsub", "fmsubs", "fmul", "fmuls",
    "fnabs", "fneg", "fnmadd", "fnmadds", "fnmsub", "fnmsubs", "fres", "frsp", "frsqrte", "fsel",
    "fsqrt", "fsqrts", "fsub", "fsubs", "ld", "ldarx", "ldu", "ldux", "ldx", "lfd", "lfdu",
    "lfdux", "lfdx", "lfs", "lfsu", "lfsux", "lfsx", "lwa", "lwaux", "lwax", "mcrfs", "mffs",
    "mfsr", "mfsrin", "mtfsb0", "mtfsb1", "mtfsf", "mtfsfi", "mtmsrd", "mtsr", "mtsrd",
    "mtsrdin", "mtsrin", "mulhd", "mulhdu", "mulld", "rldcl", "rldcr", "rldic", "rldicl",
    "rldicr", "rldimi", "slbia", "slbie", "sldi", "srad", "sradi", "srd", "std", "stdcx.",
    "stdu", "stdux", "stdx", "stfd", "stfdu", "stfdux", "stfdx", "stfiwx", "stfs", "stfsu",
    "stfsux", "stfsx",
};


struct NameIndex {
    std::unordered_map<std::string, std::vector<const Insn*>, tl::NameHash, std::equal_to<>> rows;
};

const NameIndex& nameindex() {
    static const NameIndex index = [] {
        NameIndex ix;
        for (const Insn& in : insns()) {
            ix.rows[in.name].push_back(&in);
            if (in.also) ix.rows[in.also].push_back(&in);
        }
        for (const char* n : kNotVle) ix.rows[n];
        return ix;
    }();
    return index;
}

const std::vector<const Insn*>* rowsof(std::string_view name) {
    const auto& rows = nameindex().rows;
    auto it = rows.find(name);
    return it == rows.end() ? nullptr : &it->second;
}

bool isimm16(Opd k) {
    return k == Opd::SIMM || k == Opd::UIMM || k == Opd::SI16A || k == Opd::UI16A ||
           k == Opd::UI16L;
}

// The lis, addis and oris families take the high-adjusted half for ".".
bool highfamily(const Insn& in) {
    std::string_view n = in.name;
    return n == "e_lis" || n == "lis" || n == "e_add2is" || n == "addis" || n == "e_or2is" ||
           n == "oris" || n == "e_sub2is" || n == "subis";
}

int64_t applysuffix(const Insn& in, const Operand& op) {
    int64_t v = op.value;
    Suffix s = op.suffix;
    if (s == Suffix::Dot) s = highfamily(in) ? Suffix::HighAdjust : Suffix::Low;
    uint32_t u = static_cast<uint32_t>(v);
    switch (s) {
    case Suffix::High: return (u >> 16) & 0xFFFF;
    case Suffix::HighAdjust: return ((u + 0x8000u) >> 16) & 0xFFFF;
    case Suffix::Low: return u & 0xFFFF;
    default: return v;
    }
}

bool isreg(const Operand& op) { return op.cls == ClsAltReg || op.cls == ClsReg; }

// The value an immediate field of kind receives from op.
int64_t immvalue(const Insn& in, const Operand& op, Opd kind) {
    int64_t v = applysuffix(in, op);
    if ((in.flags & FNeg) && (kind == Opd::SIMM || kind == Opd::SI16A)) v = -v;
    if ((in.flags & FNeg) && kind == Opd::SCI8)
        v = static_cast<uint32_t>(0u - static_cast<uint32_t>(v));
    return v;
}

bool fail(std::string* why, const char* text) {
    if (why && why->empty()) *why = text;
    return false;
}

// Displacement of a branch target from the instruction, when it has one.
std::optional<int64_t> branchdisp(const Operand& op, const EncodeContext& ctx) {
    if (op.cls == ClsReloc && op.section >= 0 && op.section == ctx.section)
        return op.value - static_cast<int64_t>(ctx.address);
    if (op.cls == ClsAbs && ctx.absolute_section)
        return op.value - static_cast<int64_t>(ctx.address);
    return std::nullopt;
}


}  // namespace

std::vector<uint8_t> EncodeResult::bytes() const {
    std::vector<uint8_t> b;
    if (size == 2) b = {uint8_t(bits >> 8), uint8_t(bits)};
    else if (size == 4) b = {uint8_t(bits >> 24), uint8_t(bits >> 16), uint8_t(bits >> 8), uint8_t(bits)};
    return b;
}

std::optional<Mnemonic> lookupmnemonic(std::string_view written) {
    if (written.ends_with('.') && rowsof(written.substr(0, written.size() - 1)))
        return Mnemonic{std::string(written.substr(0, written.size() - 1)), true, false};
    if (rowsof(written)) return Mnemonic{std::string(written), false, false};
    bool record = false;
    std::string_view base = written;
    if (base.ends_with('.')) base.remove_suffix(1), record = true;
    if (base.ends_with('o') && rowsof(base.substr(0, base.size() - 1)))
        return Mnemonic{std::string(base.substr(0, base.size() - 1)), record, true};
    return std::nullopt;
}

bool matchoperand(const Operand& op, Opd kind, const Insn& in, const EncodeContext& ctx,
                  const Operand* previous, std::string* why) {
    const OpdInfo& info = opdinfo(kind);
    switch (info.cls) {
    case OpdClass::Gpr: return isreg(op) && op.value >= 0 && op.value <= 31;
    case OpdClass::Short: return isreg(op) && isshortreg(static_cast<unsigned>(op.value));
    case OpdClass::Alt: return op.cls == ClsAltReg;
    case OpdClass::Same: return isreg(op) && previous && isreg(*previous) && previous->value == op.value;
    case OpdClass::Crf:
        if (op.cls != ClsCrField) return false;
        if (op.value > info.hi) return fail(why, "bad register");
        return op.value >= 0;
    case OpdClass::Imm: {
        if (op.cls == ClsReloc)
            return isimm16(kind) || kind == Opd::LI20;
        if (op.cls != ClsAbs) return false;
        // a negated 16-bit immediate is checked as written
        int64_t v = kind == Opd::SCI8 || kind == Opd::SIMM ? immvalue(in, op, kind)
                                                           : applysuffix(in, op);
        if (op.suffix != Suffix::None && isimm16(kind)) return true;
        if (kind == Opd::WE && !opdfits(kind, v)) return fail(why, "value too large");
        return opdfits(kind, v) || fail(why, "value too large");
    }
    case OpdClass::Rot:
        return op.cls == ClsAbs && (opdfits(kind, op.value) || fail(why, "value too large"));
    case OpdClass::Disp: {
        if (op.cls != ClsDisp) return false;
        if (op.reloc || op.suffix != Suffix::None) return kind == Opd::DRA;
        const OpdInfo& d = info;
        if (op.value < d.lo || op.value > d.hi) return fail(why, "value too large");
        if (!dispfits(kind, op.value, op.base)) {
            if (kind == Opd::SD4W || kind == Opd::SD4H || kind == Opd::SD4B) return false;
            return fail(why, "bad address alignment");
        }
        return true;
    }
    case OpdClass::Branch: {
        if (auto disp = branchdisp(op, ctx))
            return opdfits(kind, *disp) || fail(why, "value too large");
        // other sections and undefined targets: only the long forms, by record
        return op.cls == ClsReloc && (kind == Opd::BD24 || kind == Opd::LI24);
    }
    case OpdClass::AbsBranch:
        if (op.cls != ClsAbs) return false;
        if (op.value % 4) return fail(why, "bad address alignment");
        return opdfits(kind, op.value) || fail(why, "value too large");
    case OpdClass::None: return false;
    }
    return false;
}

bool encodefield(unsigned index, const Operand& op, Opd kind, const Insn& in,
                 const EncodeContext& ctx, uint32_t& bits, std::optional<RelocRequest>& reloc,
                 std::string* why) {
    const OpdInfo& info = opdinfo(kind);
    switch (info.cls) {
    case OpdClass::Imm:
        if (op.cls == ClsReloc) {
            RelocRequest r;
            r.operand = index;
            r.addend = op.value;
            Suffix s = op.suffix;
            if (s == Suffix::Dot) s = highfamily(in) ? Suffix::HighAdjust : Suffix::Low;
            bool split = kind == Opd::SI16A || kind == Opd::UI16A || kind == Opd::UI16L;
            std::string_view n = in.name;
            if (kind == Opd::LI20) {
                r.descriptor = 0x18;
            } else if (n == "e_lis") {
                if (s == Suffix::HighAdjust) r.descriptor = 0x16;
                else if (s == Suffix::High) r.descriptor = 0x1A;
                else return fail(why, "bad relocatable expression");
            } else if (highfamily(in)) {
                if (s == Suffix::HighAdjust) r.descriptor = 0x1B;
                else return fail(why, "bad relocatable expression");
            } else if (s == Suffix::Low && split) {
                r.descriptor = 0x17;
            } else if (s == Suffix::Low) {
                if (op.longsection) r.descriptor = 0x17;
                else r.code = 11, r.second_half = true;
            } else if (s == Suffix::None && !split && !op.longsection) {
                r.code = 1;
                r.second_half = true;
            } else {
                return fail(why, "bad relocatable expression");
            }
            reloc = r;
            if (kind != Opd::LI20) bits |= opdinsert(kind, applysuffix(in, op) & 0xFFFF);
            return true;
        }
        bits |= opdinsert(kind, immvalue(in, op, kind));
        return true;
    case OpdClass::Disp:
        if (op.reloc) {
            RelocRequest r;
            r.operand = index;
            r.addend = op.value;
            Suffix s = op.suffix == Suffix::Dot ? Suffix::Low : op.suffix;
            if (s == Suffix::None && !op.longsection) r.code = 1;
            else if (s == Suffix::Low) r.code = 11;
            else return fail(why, "bad relocatable expression");
            r.second_half = true;
            reloc = r;
        }
        bits |= dispinsert(kind, op.reloc ? applysuffix(in, op) & 0xFFFF : applysuffix(in, op), op.base);
        return true;
    case OpdClass::Branch:
        if (auto disp = branchdisp(op, ctx)) {
            bits |= opdinsert(kind, *disp);
        } else {
            RelocRequest r;
            r.code = 31;
            r.descriptor = kind == Opd::BD24 ? 0x14 : 0x13;
            r.addend = op.value - static_cast<int64_t>(ctx.address);
            r.operand = index;
            reloc = r;
        }
        return true;
    case OpdClass::Rot:
    case OpdClass::Same:
        return true;
    default:
        bits |= opdinsert(kind, op.value);
        return true;
    }
}

EncodeResult encoderow(const Insn& row, bool record, bool overflow, std::span<const Operand> ops,
                       const EncodeContext& ctx, std::string* why) {
    EncodeResult res;
    const Insn* in = &row;
    if ((record && !(in->flags & FRc)) || (overflow && !(in->flags & FOe)) ||
        in->opcount() != ops.size())
        return res;
    for (size_t i = 0; i < ops.size(); ++i)
        if (!matchoperand(ops[i], in->ops[i], *in, ctx, i ? &ops[i - 1] : nullptr, why)) return res;
    // indexed update forms: rA = 0, or rA = rD for loads, are invalid forms
    if (in->form == Form::X && (in->dflags & DUpd) && ops.size() == 3 &&
        (ops[1].value == 0 || (in->exec == Exec::Load && ops[1].value == ops[0].value))) {
        res.error = "bad register";
        return res;
    }
    uint32_t bits = in->opcode;
    std::optional<RelocRequest> reloc;
    int64_t rotn = 0, rotb = 0;
    for (size_t i = 0; i < ops.size(); ++i) {
        if (in->ops[i] == Opd::RotN) rotn = ops[i].value;
        if (in->ops[i] == Opd::RotB) rotb = ops[i].value;
        if (!encodefield(static_cast<unsigned>(i), ops[i], in->ops[i], *in, ctx, bits, reloc,
                         &res.error))
            return res;
    }
    if (in->rot != Rot::None) {
        unsigned sh = 0, mb = 0, me = 0;
        if (!rotfields(in->rot, rotn, rotb, sh, mb, me)) {
            fail(why, "value too large");
            return res;
        }
        bits = (bits & ~0xFFFEu) | (sh << 11) | (mb << 6) | (me << 1);
    }
    if (record) bits |= formrcbit(in->form);
    if (overflow) bits |= formoebit(in->form);
    res.insn = in;
    res.bits = bits;
    res.size = in->size();
    res.reloc = reloc;
    return res;
}

// mayencode for a row that does not carry the written name itself.
static bool maygeneric(const Insn& row, std::span<const Operand> ops) {
    for (size_t i = 0; i < ops.size() && i < row.ops.size(); ++i) {
        Opd k = row.ops[i];
        if ((k == Opd::SD4W || k == Opd::SD4H || k == Opd::SD4B) && ops[i].cls == ClsDisp && ops[i].base == 0)
            return false;
    }
    return true;
}

bool mayencode(const Insn& row, std::string_view written, std::span<const Operand> ops) {
    if (row.name == written) return true;
    for (size_t i = 0; i < ops.size() && i < row.ops.size(); ++i) {
        Opd k = row.ops[i];
        if ((k == Opd::SD4W || k == Opd::SD4H || k == Opd::SD4B) && ops[i].cls == ClsDisp && ops[i].base == 0)
            return false;
    }
    return true;
}

NameRows namerows(std::string_view name) {
    NameRows r;
    r.rows = rowsof(name);
    std::string dotted = std::string(name) + ".";
    r.dotrows = rowsof(dotted);
    auto same = [](const std::vector<const Insn*>* rows, std::string_view n) {
        uint64_t bits = 0;
        if (rows)
            for (size_t i = 0; i < rows->size() && i < 64; i++)
                if ((*rows)[i]->name == n) bits |= uint64_t{1} << i;
        return bits;
    };
    r.samename = same(r.rows, name);
    r.dotsame = same(r.dotrows, name);
    return r;
}

EncodeResult encodeinsn(std::string_view name, bool record, bool overflow,
                        std::span<const Operand> ops, const EncodeContext& ctx) {
    return encodeinsn(name, namerows(name), record, overflow, ops, ctx);
}

EncodeResult encodeinsn(std::string_view name, const NameRows& nr, bool record, bool overflow,
                        std::span<const Operand> ops, const EncodeContext& ctx) {
    EncodeResult res;
    // A name whose record form is built in (e_add2i.) is reached as its base
    // name with the record mark; its base name alone is no instruction.
    const auto* rows = nr.rows;
    const auto* dotrows = record ? nr.dotrows : nullptr;
    // the rows of the name with the record mark as written, then the rows
    // of its built-in record form; f(row, record, written as named)
    auto eachtry = [&](auto&& f) {
        if (rows)
            for (size_t i = 0; i < rows->size(); i++)
                if (f((*rows)[i], record, i < 64 ? ((nr.samename >> i) & 1) != 0 : (*rows)[i]->name == name))
                    return true;
        if (dotrows)
            for (size_t i = 0; i < dotrows->size(); i++)
                if (f((*dotrows)[i], false, i < 64 ? ((nr.dotsame >> i) & 1) != 0 : (*dotrows)[i]->name == name))
                    return true;
        return false;
    };
    if ((!rows || rows->empty()) && (!dotrows || dotrows->empty())) {
        std::string dotted = std::string(name) + ".";
        dotrows = nr.dotrows;
        if (!rows && !dotrows) res.error = "bad addressing mode";
        else if (dotrows) res.error = std::string(name) + " must be written " + dotted;
        else res.error = std::string(name) + " is not a VLE instruction";
        return res;
    }
    if (!eachtry([](const Insn* in, bool, bool) { return (in->flags & FVle) != 0; })) {
        res.error = std::string(name) + " is not a VLE instruction";
        return res;
    }
    if (ops.size() > 5) {
        res.error = "bad addressing mode";
        return res;
    }
    std::string why;
    EncodeResult found;
    if (eachtry([&](const Insn* in, bool rec, bool named) {
            if (!(in->flags & FVle)) return false;
            if (!named && !maygeneric(*in, ops)) return false;
            EncodeResult r = encoderow(*in, rec, overflow, ops, ctx, &why);
            if (r.insn || !r.error.empty()) {
                found = std::move(r);
                return true;
            }
            return false;
        }))
        return found;
    res.error = why.empty() ? "bad addressing mode" : why;
    return res;
}

std::span<const RegisterName> registernames() {
    static const std::vector<RegisterName> names = [] {
        static std::vector<std::string> text;
        text.reserve(160);
        std::vector<std::pair<std::string, int>> list;
        for (int i = 0; i < 32; ++i) list.push_back({"r" + std::to_string(i), 1 + i});
        for (int i = 0; i < 8; ++i) list.push_back({"cr" + std::to_string(i), 33 + i});
        for (int i = 0; i < 32; ++i) list.push_back({"fr" + std::to_string(i), 41 + i});
        list.push_back({"pc", 73});
        list.push_back({"sp", 2});
        std::vector<RegisterName> out;
        for (auto& [n, code] : list) {
            std::string up = n;
            for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            text.push_back(n);
            out.push_back({text.back().c_str(), code});
            text.push_back(up);
            out.push_back({text.back().c_str(), code});
        }
        return out;
    }();
    return names;
}

const std::vector<std::string>& mnemonics() {
    static const std::vector<std::string> names = [] {
        std::set<std::string> names;
        for (auto& [n, rows] : nameindex().rows) {
            names.insert(n);
            // e_add2i. is written as e_add2i with the record mark
            if (n.size() > 1 && n.back() == '.') names.insert(n.substr(0, n.size() - 1));
        }
        return std::vector<std::string>(names.begin(), names.end());
    }();
    return names;
}

uint8_t patterncode(Opd k) {
    switch (k) {
    case Opd::RX: case Opd::RY: return 101;
    case Opd::CRD: case Opd::CRS: case Opd::CRD32: case Opd::CRSEL: case Opd::CRB:
    case Opd::CRB32: return 102;
    case Opd::SIMM: case Opd::SI16A: return 110;
    case Opd::UIMM: case Opd::UI16A: case Opd::UI16L: return 111;
    case Opd::OIM5: return 113;
    case Opd::SI5A: return 114;
    case Opd::UI7: return 115;
    case Opd::FXM: return 116;
    case Opd::SPR: case Opd::DCR: case Opd::PMR: return 117;
    case Opd::LI20: return 118;
    case Opd::SCI8: return 119;
    case Opd::LI24A: case Opd::BD14A: return 120;
    case Opd::LI24: return 130;
    case Opd::BD24: return 131;
    case Opd::BD14: case Opd::BD15: return 132;
    case Opd::BD8: return 133;
    case Opd::DRA: return 140;
    case Opd::D8RA: return 141;
    case Opd::SD4W: case Opd::SD4H: case Opd::SD4B: return 142;
    case Opd::EVD8: case Opd::EVD4: case Opd::EVD2: return 143;
    case Opd::None: return 0;
    default: break;
    }
    OpdClass c = opdinfo(k).cls;
    if (c == OpdClass::Gpr || c == OpdClass::Alt || c == OpdClass::Same) return 100;
    return 112;
}

const AsmTables& asmtables() {
    static const AsmTables tables = [] {
        AsmTables t;
        const auto& names = mnemonics();
        for (size_t i = 0; i < names.size(); ++i) {
            t.first.push_back(static_cast<uint32_t>(t.entries.size()));
            const auto* rows = rowsof(names[i]);
            if (!rows) continue;
            for (const Insn* in : *rows) {
                AsmEntry e{static_cast<uint16_t>(i + 1), in->flags, in->opcode, 0, {}, in};
                std::array<LayoutPair, 5> layout{};
                for (unsigned j = 0; j < in->opcount(); ++j) {
                    Opd k = in->ops[j];
                    e.patterns[j] = patterncode(k);
                    uint8_t kind = (k == Opd::RDA || k == Opd::RSB || k == Opd::RAB) ? 1
                                 : (k == Opd::SI16A || k == Opd::UI16A) ? 2
                                 : k == Opd::UI16L ? 3
                                 : (k == Opd::RotN || k == Opd::RotB) ? 4 : 0;
                    layout[j] = {kind, static_cast<uint8_t>(opdinfo(k).bit)};
                }
                auto it = std::find_if(t.layouts.begin(), t.layouts.end(), [&](const auto& l) {
                    for (unsigned j = 0; j < 5; ++j)
                        if (l[j].kind != layout[j].kind || l[j].bit != layout[j].bit) return false;
                    return true;
                });
                e.layout = static_cast<uint8_t>(it - t.layouts.begin());
                if (it == t.layouts.end()) t.layouts.push_back(layout);
                t.entries.push_back(e);
            }
        }
        return t;
    }();
    return tables;
}

}  // namespace isa

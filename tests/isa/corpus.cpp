// Operand samples per kind; a row gets as many lines as its richest operand
// has samples, operand i taking sample (line mod count).
#include "corpus.h"

#include <cstdio>

namespace corpus {

namespace {

using isa::Opd;
using Sample = std::pair<std::string, isa::Operand>;

std::string hexs(int64_t v) {
    char b[32];
    if (v < 0) std::snprintf(b, sizeof b, "-0x%llx", static_cast<unsigned long long>(-v));
    else std::snprintf(b, sizeof b, "0x%llx", static_cast<unsigned long long>(v));
    return b;
}

Sample reg(unsigned r) { return {"r" + std::to_string(r), {isa::regclass(r), r}}; }
Sample cr(unsigned f) { return {"cr" + std::to_string(f), {isa::ClsCrField, f}}; }
Sample num(int64_t v) { return {hexs(v), {isa::ClsAbs, v}}; }
Sample disp(int64_t d, unsigned base) {
    isa::Operand o{isa::ClsDisp, d};
    o.base = base;
    return {std::to_string(d) + "(r" + std::to_string(base) + ")", o};
}
Sample branch(int64_t d) {
    // the value is filled in per line: the target is the line's address + d
    isa::Operand o{isa::ClsReloc, d};
    return {d < 0 ? ".-" + hexs(-d) : ".+" + hexs(d), o};
}

std::vector<Sample> samples(Opd k) {
    switch (k) {
    case Opd::RD: case Opd::RA: case Opd::RB: case Opd::RDA: case Opd::RSB: case Opd::RAB:
        return {reg(0), reg(31), reg(13)};
    case Opd::RX: case Opd::RY: return {reg(0), reg(7), reg(24), reg(31)};
    case Opd::ARX: case Opd::ARY: return {reg(8), reg(23), reg(15)};
    case Opd::CRD: case Opd::CRS: case Opd::CRB: case Opd::CRSEL: return {cr(0), cr(7), cr(3)};
    case Opd::CRD32: case Opd::CRB32: return {cr(0), cr(3), cr(1)};
    case Opd::BI32: return {num(0), num(15), num(6)};
    case Opd::BO32: return {num(0), num(3), num(1)};
    case Opd::BI16: return {num(0), num(3), num(2)};
    case Opd::BO16: return {num(0), num(1)};
    case Opd::SIMM: return {num(-32768), num(32767), num(0), num(-1)};
    case Opd::UIMM: return {num(0), num(65535), num(0x1234)};
    case Opd::SI16A: return {num(-32768), num(32767), num(5)};
    case Opd::UI16A: case Opd::UI16L: return {num(0), num(65535), num(0x8001)};
    case Opd::LI20: return {num(-0x80000), num(0x7FFFF), num(100), num(-1)};
    case Opd::SCI8:
        return {num(0x12), num(0x3400), num(0x560000), num(0x78000000), num(0xFFFFFF9A),
                num(0xFFBCFFFF), num(0), num(0xFFFFFFFF)};
    case Opd::SPR: case Opd::DCR: case Opd::PMR: return {num(1), num(1023), num(500)};
    case Opd::BO: return {num(12), num(4), num(20)};
    case Opd::FXM: return {num(0), num(255), num(0x81)};
    case Opd::WE: return {num(0), num(1)};
    case Opd::OIM5: return {num(1), num(32), num(17)};
    case Opd::UI7: return {num(0), num(127), num(64)};
    case Opd::SI5A: return {num(-16), num(15), num(0)};
    case Opd::DRA: return {disp(-32768, 1), disp(32767, 31), disp(0, 0)};
    case Opd::D8RA: return {disp(-128, 2), disp(127, 31), disp(0, 0)};
    case Opd::SD4W: return {disp(0, 3), disp(60, 31), disp(28, 24)};
    case Opd::SD4H: return {disp(0, 7), disp(30, 24), disp(14, 1)};
    case Opd::SD4B: return {disp(15, 0), disp(7, 31), disp(0, 24)};
    case Opd::EVD8: return {disp(0, 1), disp(248, 31)};
    case Opd::EVD4: return {disp(0, 2), disp(124, 31)};
    case Opd::EVD2: return {disp(0, 3), disp(62, 31)};
    case Opd::BD8: return {branch(-256), branch(254), branch(2)};
    case Opd::BD15: case Opd::BD14: return {branch(-32768), branch(32764), branch(0)};
    case Opd::BD24: return {branch(-0x1000000), branch(0xFFFFFE), branch(8)};
    case Opd::LI24: return {branch(-0x2000000), branch(0x1FFFFFC), branch(8)};
    case Opd::LI24A: return {num(0), num(0x1FFFFFC), num(0x100)};
    case Opd::BD14A: return {num(0), num(0x7FFC), num(0x100)};
    case Opd::RotN: return {num(1), num(3)};
    case Opd::RotB: return {num(4), num(8)};
    default: {
        const isa::OpdInfo& in = isa::opdinfo(k);
        return {num(in.lo), num(in.hi), num((in.lo + in.hi) / 2 + 1)};
    }
    }
}

}  // namespace

std::vector<std::vector<Sample>> operandsets(const isa::Insn& in) {
    std::vector<std::vector<Sample>> per;
    size_t most = 1;
    for (unsigned i = 0; i < in.opcount(); ++i) {
        if (in.ops[i] == Opd::Same) per.push_back({});
        else per.push_back(samples(in.ops[i]));
        most = std::max(most, per.back().size());
    }
    std::vector<std::vector<Sample>> sets;
    for (size_t j = 0; j < most; ++j) {
        std::vector<Sample> set;
        for (unsigned i = 0; i < per.size(); ++i)
            set.push_back(per[i].empty() ? set.back() : per[i][(j + i) % per[i].size()]);
        sets.push_back(set);
    }
    return sets;
}

template <class Filter>
std::vector<Line> build(Filter keep) {
    std::vector<Line> lines;
    uint32_t address = 0;
    for (const isa::Insn& in : isa::insns()) {
        if (!keep(in)) continue;
        auto sets = operandsets(in);
        // plain lines for every set; the record and overflow forms once
        std::vector<std::pair<int, size_t>> variants;
        for (size_t j = 0; j < sets.size(); ++j) variants.push_back({0, j});
        if (in.flags & isa::FRc) variants.push_back({1, 0});
        if (in.flags & isa::FOe) variants.push_back({2, sets.size() - 1});
        if ((in.flags & isa::FOe) && (in.flags & isa::FRc)) variants.push_back({3, 0});
        for (auto [v, j] : variants) {
            const auto& set = sets[j];
            static const char* kSuffix[] = {"", ".", "o", "o."};
            Line l{&in, std::string(in.name) + kSuffix[v], {}, address, 0, 0, {}};
            for (size_t i = 0; i < set.size(); ++i) {
                l.text += (i ? "," : " ") + set[i].first;
                isa::Operand o = set[i].second;
                if (o.cls == isa::ClsReloc) o.value += address;
                l.ops.push_back(o);
            }
            isa::EncodeContext ctx;
            ctx.address = address;
            std::string why;
            auto r = isa::encoderow(in, v & 1, v & 2, l.ops, ctx, &why);
            l.bits = r.bits;
            l.size = r.size;
            l.error = r.insn ? "" : (!r.error.empty() ? r.error : why.empty() ? "no fit" : why);
            if (r.reloc) l.error = "relocation";
            address += r.size ? r.size : 4;
            lines.push_back(l);
        }
    }
    return lines;
}

template std::vector<Line> build(bool (*)(const isa::Insn&));

std::vector<uint32_t> words(const isa::Insn& in, uint32_t extra) {
    std::vector<uint32_t> out;
    for (auto& set : operandsets(in)) {
        uint32_t w = in.opcode | extra;
        for (unsigned i = 0; i < set.size(); ++i) {
            Opd k = in.ops[i];
            const isa::Operand& o = set[i].second;
            if (o.cls == isa::ClsDisp) w |= isa::dispinsert(k, o.value, o.base);
            else w |= isa::opdinsert(k, o.value);
        }
        out.push_back(w);
    }
    return out;
}

}  // namespace corpus

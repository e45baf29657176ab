// Decode tables built from the shared encoding table, the decoder and the
// disassembly text. A row of the encoding table becomes one decode row per
// variant (plain, record, overflow, both); its mask is every bit no operand
// covers. Within a bucket rows are sorted most specific first (stable, so of
// two rows with the same mask and match the one earlier in the encoding
// table shows: bge before bnl, nop before or).
#include "vek/core/decode/decode.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>

namespace vek {

namespace {

using isa::Opd;

struct KindPos {
    DecodeKind kind;
    int8_t pos;
};

KindPos kindof(Opd k) {
    switch (k) {
    case Opd::RD: case Opd::RDA: case Opd::RSB: return {KGpr, 21};
    case Opd::RA: case Opd::RAB: return {KGpr, 16};
    case Opd::RB: return {KGpr, 11};
    case Opd::RX: case Opd::ARX: return {KShort, 0};
    case Opd::RY: case Opd::ARY: return {KShort, 4};
    case Opd::CRD: return {KCrf, 21};
    case Opd::CRS: case Opd::CRB: case Opd::CRB32: return {KCrf, 16};
    case Opd::CRD32: return {KCrf, 19};
    case Opd::CRSEL: return {KCrf, -2};
    case Opd::SIMM: return {KSimm, 0};
    case Opd::UIMM: return {KUimm, 0};
    case Opd::SI16A: return {KSplitS, 0};
    case Opd::UI16A: case Opd::UI16L: return {KSplitU, 0};
    case Opd::LI20: return {KLi20, 0};
    case Opd::SCI8: return {KSci8, 0};
    case Opd::OIM5: return {KOim5, 4};
    case Opd::UI7: return {KUi7, 4};
    case Opd::FXM: return {KFxm, 12};
    case Opd::SPR: case Opd::DCR: case Opd::PMR: return {KSpr, 11};
    case Opd::SI5A: return {KSimm5, 16};
    case Opd::DRA: return {KDisp16, 0};
    case Opd::D8RA: return {KDisp8, 0};
    case Opd::SD4W: case Opd::SD4H: case Opd::SD4B: return {KSd4, 0};
    case Opd::EVD8: case Opd::EVD4: case Opd::EVD2: return {KEvDisp, 11};
    case Opd::LI24: return {KRel24, 0};
    case Opd::LI24A: case Opd::BD14A: return {KAbs, 0};
    case Opd::BD14: case Opd::BD15: return {KRel16, 0};
    case Opd::BD24: return {KRelVle24, 0};
    case Opd::BD8: return {KRel8, 0};
    default: return {KUi5, static_cast<int8_t>(isa::opdinfo(k).bit)};
    }
}

std::array<std::vector<DecodeRow>, 16>* tablefor(DecodeTables& t, const isa::Insn& in, int which) {
    bool e32 = in.flags & isa::FE32, vle = in.flags & isa::FVle, be = in.flags & isa::FBookE;
    if (which == 0) return in.size() == 2 ? &t.vle16 : nullptr;
    if (which == 1) return in.size() == 4 && (e32 || (vle && be)) ? &t.vle32 : nullptr;
    return be && !e32 ? &t.classic : nullptr;
}

DecodeTables build() {
    DecodeTables t;
    std::map<std::string, uint16_t> index;
    for (const isa::Insn& in : isa::insns())
        if (!(in.dis && !*in.dis)) index[std::string(isa::disname(in))] = 0;
    t.mnemonics.push_back("????");
    for (auto& [name, number] : index) {
        number = static_cast<uint16_t>(t.mnemonics.size());
        t.mnemonics.push_back(name);
    }
    for (int which = 0; which < 3; ++which) {
        for (const isa::Insn& in : isa::insns()) {
            if (in.dis && !*in.dis) continue;
            auto* table = tablefor(t, in, which);
            if (!table) continue;
            DecodeRow row;
            row.type = index[std::string(isa::disname(in))];
            row.flags = in.dflags | (isa::alwaysrecord(in) ? isa::DRc : 0);
            row.mask = isa::fixedmask(in);
            row.handler = static_cast<uint8_t>(in.exec);
            row.insn = &in;
            unsigned n = 0;
            for (Opd k : in.ops) {
                if (k == Opd::None) break;
                KindPos kp = kindof(k);
                row.kinds[n] = kp.kind;
                row.pos[n] = kp.pos;
                ++n;
            }
            if (in.form == isa::Form::E_I16L) row.flags |= 0x0008;  // upper bits from 16
            auto lay = std::find(t.layouts.begin(), t.layouts.end(), row.pos);
            row.layout = static_cast<uint8_t>(lay - t.layouts.begin());
            if (lay == t.layouts.end()) t.layouts.push_back(row.pos);
            if (in.ops[0] == Opd::CRD32 || in.ops[0] == Opd::CRB32) row.flags |= isa::DCr2;
            uint32_t rc = (in.flags & isa::FRc) ? isa::formrcbit(in.form) : 0;
            uint32_t oe = (in.flags & isa::FOe) ? isa::formoebit(in.form) : 0;
            for (uint32_t o = 0;; o = oe) {
                for (uint32_t r = 0;; r = rc) {
                    DecodeRow v = row;
                    v.match = (in.opcode | o | r) & v.mask;
                    if (o) v.flags |= isa::DOe;
                    if (r) v.flags |= isa::DRc;
                    unsigned bucket = in.size() == 2 ? (v.match >> 12) & 0xF : v.match >> 28;
                    (*table)[bucket].push_back(v);
                    if (r == rc) break;
                }
                if (o == oe) break;
            }
        }
    }
    for (auto* tab : {&t.classic, &t.vle16, &t.vle32})
        for (auto& bucket : *tab)
            std::stable_sort(bucket.begin(), bucket.end(), [](const DecodeRow& a, const DecodeRow& b) {
                return std::popcount(a.mask) > std::popcount(b.mask);
            });
    return t;
}

const DecodeRow* findrow(const std::vector<DecodeRow>& bucket, uint32_t w) {
    for (const DecodeRow& r : bucket)
        if ((w & r.mask) == r.match) return &r;
    return nullptr;
}

// The text being written: at most 511 characters and a NUL. Numbers are
// formatted here rather than by printf, which a trace pays for on every
// instruction.
struct Text {
    char* buf;
    size_t len = 0;
    void put(char c) {
        if (len + 1 < 512) buf[len++] = c;
        buf[len] = 0;
    }
    void put(const char* s) {
        while (*s && len + 1 < 512) buf[len++] = *s++;
        buf[len] = 0;
    }
    void dec(int32_t v) {
        char tmp[12];
        char* p = tmp + sizeof tmp;
        *--p = 0;
        uint32_t u = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
        do *--p = static_cast<char>('0' + u % 10);
        while (u /= 10);
        if (v < 0) *--p = '-';
        put(p);
    }
    // "0x" and the digits, at least width of them.
    void hex(uint32_t v, int width) {
        char tmp[11];
        char* p = tmp + sizeof tmp;
        *--p = 0;
        do {
            *--p = "0123456789abcdef"[v & 15];
            width--;
        } while ((v >>= 4) || width > 0);
        put("0x");
        put(p);
    }
    void reg(const char* prefix, unsigned r) {
        put(prefix);
        dec(static_cast<int32_t>(r));
    }
    // Blanks up to column.
    void padto(size_t column) {
        while (len < column && len + 1 < 512) put(' ');
    }
};

const char* symbolat(const DecodeEnv& env, uint32_t value) {
    return env.symbolat ? env.symbolat(value) : nullptr;
}

void immtext(Text& t, const DecodeEnv& env, int32_t v) {
    if (const char* s = symbolat(env, static_cast<uint32_t>(v))) t.put(s);
    else if (v >= -999 && v <= 999) t.dec(v);
    else t.hex(static_cast<uint32_t>(v), 1);
}

void targettext(Text& t, const DecodeEnv& env, uint32_t target, bool padded) {
    if (const char* s = symbolat(env, target)) t.put(s);
    else t.hex(target, padded ? 8 : 1);
}

void basetext(Text& t, const DecodeEnv& env, int32_t d, unsigned base) {
    if (base == 2 && env.symbolvalue) {
        if (auto sdata = env.symbolvalue("__sdata")) {
            if (const char* s = symbolat(env, *sdata + static_cast<uint32_t>(d))) {
                t.put(s);
                t.reg("(r", base);
                t.put(')');
                return;
            }
        }
    }
    t.dec(d);
    t.reg("(r", base);
    t.put(')');
}

}  // namespace

const DecodeTables& decodetables() {
    static const DecodeTables tables = build();
    return tables;
}

unsigned decodevalue(const DecodeEnv& env, uint32_t address, bool vle, uint32_t bytes,
                     unsigned flags, char* text, Decoded& out) {
    const DecodeTables& tabs = decodetables();
    out = Decoded{};
    out.address = address;
    const DecodeRow* row = nullptr;
    uint32_t w = bytes;
    unsigned length = 4;
    bool undecodable16 = false;
    if (vle) {
        uint32_t h = bytes >> 16;
        const auto& bucket = tabs.vle16[h >> 12];
        if (!bucket.empty()) {
            w = h;
            length = 2;
            row = findrow(bucket, h);
            undecodable16 = row == nullptr;
        } else {
            row = findrow(tabs.vle32[w >> 28], w);
        }
    } else {
        row = findrow(tabs.classic[w >> 28], w);
    }
    out.word = w;
    out.length = length;
    out.row = row;
    Text t{text};
    if (flags & DecodeText) text[0] = 0;
    if (!row) {
        (void)undecodable16;
        if (flags & DecodeText) {
            t.put("????");
            t.padto(9);
            t.put('(');
            t.hex(w, length == 2 ? 4 : 8);
            t.put(')');
        }
        return length;
    }
    auto reg = [&](unsigned r) { return env.getreg ? env.getreg(r + 1) : 0u; };
    const isa::Insn& in = *row->insn;
    if (flags & DecodeText) {
        const char* name = tabs.mnemonics[row->type].c_str();
        t.put(name);
        if (row->flags & isa::DOe) t.put('o');
        if (row->flags & isa::DRc) t.put('.');
        t.padto(9);
        t.put(' ');
    }
    unsigned slot = 0;
    unsigned count = in.opcount();
    // or rA,rS,rS reads as mr rA,rS
    bool asmr = std::string_view(tabs.mnemonics[row->type]) == "or" && count == 3 &&
                isa::opdextract(in.ops[1], w) == isa::opdextract(in.ops[2], w);
    for (unsigned i = 0; i < count; ++i) {
        Opd k = in.ops[i];
        if (asmr && i == 2) break;
        if ((flags & DecodeText) && i > 0) t.put(",");
        Slot& s = out.slots[slot++];
        switch (row->kinds[i]) {
        case KGpr: case KShort: {
            unsigned r = static_cast<unsigned>(isa::opdextract(k, w));
            s = {SlotReg, r + 1};
            if (flags & DecodeText) t.reg("r", r);
            break;
        }
        case KCrf: {
            unsigned f = static_cast<unsigned>(isa::opdextract(k, w));
            s = {SlotReg, 35};
            out.crfield = f;
            if (flags & DecodeText) t.reg("cr", f);
            break;
        }
        case KSimm: case KUimm: case KSplitU: case KSimm5: {
            int32_t v = static_cast<int32_t>(isa::opdextract(k, w));
            s = {SlotImm, static_cast<uint32_t>(v)};
            if (flags & DecodeText) immtext(t, env, v);
            break;
        }
        case KAbs: {
            // absolute targets are sign-extended like the relative ones
            uint32_t target = static_cast<uint32_t>(isa::opdextract(k, w));
            s = {SlotAddr, target};
            if (flags & DecodeText) targettext(t, env, target, false);
            break;
        }
        case KRel24: case KRelVle24: case KRel16: case KRel8: {
            uint32_t target = address + static_cast<uint32_t>(isa::opdextract(k, w));
            s = {SlotAddr, target};
            if (flags & DecodeText) targettext(t, env, target, true);
            break;
        }
        case KDisp16: case KDisp8: case KSd4: case KEvDisp: {
            int32_t d = static_cast<int32_t>(isa::dispextract(k, w));
            unsigned base = isa::baseextract(k, w);
            if (row->kinds[i] == KDisp16 && base == 0) {
                s = {SlotAddr, static_cast<uint32_t>(d)};
                if (flags & DecodeText) targettext(t, env, static_cast<uint32_t>(d), false);
                break;
            }
            s = {SlotAddr, static_cast<uint32_t>(d) + reg(base)};
            out.slots[slot++] = {SlotReg, base + 1};
            if (flags & DecodeText) basetext(t, env, d, base);
            break;
        }
        default: {
            int32_t v = static_cast<int32_t>(isa::opdextract(k, w));
            s = {SlotImm, static_cast<uint32_t>(v)};
            if (flags & DecodeText) t.dec(v);
            break;
        }
        }
    }
    if (flags & DecodeText) {
        std::string_view nm = tabs.mnemonics[row->type];
        if (nm == "se_mtar" || nm == "se_mfar") std::memcpy(text, "mr       ", 9);
        if (asmr) text[0] = 'm';
    }
    return length;
}

uint32_t fetchinsn(const DecodeEnv& env, uint32_t address, bool& vle) {
    vle = address >= (env.getvle ? env.getvle() : env.vleboundary);
    if (!vle) return env.getword ? env.getword(address) : 0;
    uint32_t h = env.gethalf ? env.gethalf(address) : 0;
    uint32_t bytes = h << 16;
    if (decodetables().vle16[h >> 12].empty()) bytes |= env.gethalf ? env.gethalf(address + 2) : 0;
    return bytes;
}

unsigned decodeinsn(const DecodeEnv& env, uint32_t address, unsigned flags, char* text,
                    Decoded& out) {
    bool vle = false;
    uint32_t bytes = fetchinsn(env, address, vle);
    return decodevalue(env, address, vle, bytes, flags, text, out);
}

}  // namespace vek

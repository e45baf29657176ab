// The target's instruction names, the operand parser and the single point
// where an instruction line is handed to the encoder (asminsn).
//
// The encoding table and the choice of form live in the shared ISA library;
// this file turns the line's operands into its Operand records (class,
// value, base register, suffix, section facts), emits the chosen bytes in the
// section's byte order and writes the relocation record the encoder asks
// for, before the halfword that holds the field.
#include <new>
#include <type_traits>

#include "assembler/asm.h"

#include "toollib/isa/encode.h"

namespace as {

namespace {

constexpr size_t kMaxOperands = 5;

struct ParsedOperand {
    isa::Operand op;
    AsmValue value;
};

// Room for a line's operands, each made as it is parsed: most lines have
// two or three, and the rest of the room is never touched.
union OperandSlot {
    OperandSlot() {}
    ParsedOperand p;
};
static_assert(std::is_trivially_destructible_v<ParsedOperand>);

isa::Operand regoperand(int code) {
    isa::Operand op;
    if (code >= 1 && code <= 32) {
        op.value = code - 1;
        op.cls = isa::regclass(static_cast<unsigned>(code - 1));
    } else if (code >= 33 && code <= 40) {
        op.value = code - 33;
        op.cls = isa::ClsCrField;
    } else if (code >= 41 && code <= 72) {
        op.value = code - 41;
        op.cls = isa::ClsFpr;
    } else {
        op.value = code;
        op.cls = isa::ClsPc;
    }
    return op;
}

void setsection(ParsedOperand& p) {
    const AsmValue& v = p.value;
    p.op.section = (v.sym && !(v.sym->flags & SYM_DEFINED)) ? -1 : v.section;
    p.op.longsection = (v.kind & 0x0F) == 3;
    p.op.value = static_cast<int32_t>(v.value);
}

// operand: register | ["."] expression ["@" (h|ha|l)] ["(" register ")"]
bool getoperand(Assembler& a, ParsedOperand& p) {
    int t = gettoken(a);
    if (t == T_EOL) {
        ungettoken(a, t);
        return false;
    }
    if (t == T_REG) {
        p.op = regoperand(a.tokreg);
        return true;
    }
    bool dot = false;
    if (t == T_DOT) dot = true;
    else ungettoken(a, t);
    getexpr(a, p.value);
    p.op.cls = p.value.absolute() ? isa::ClsAbs : isa::ClsReloc;
    if (dot) p.op.suffix = isa::Suffix::Dot;
    t = gettoken(a);
    if (t == T_AT) {
        std::string s = scanname(a);
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (dot) asmerr(a, "unexpected @ suffix");
        else if (s == "h") p.op.suffix = isa::Suffix::High;
        else if (s == "ha") p.op.suffix = isa::Suffix::HighAdjust;
        else if (s == "l") p.op.suffix = isa::Suffix::Low;
        else asmerr(a, "invalid @ suffix");
        t = gettoken(a);
    }
    setsection(p);
    if (t == T_LPAREN) {
        int r = gettoken(a);
        if (r != T_REG) {
            asmerr(a, "syntax error");
            ungettoken(a, r);
            return true;
        }
        if (a.tokreg > 32) asmerr(a, "bad register");
        p.op.base = static_cast<unsigned>(a.tokreg - 1);
        p.op.reloc = !p.value.absolute();
        p.op.cls = isa::ClsDisp;
        needtoken(a, T_RPAREN);
        return true;
    }
    ungettoken(a, t);
    return true;
}

}  // namespace

void registerinsns(Assembler& a) {
    const auto& names = isa::mnemonics();
    for (size_t i = 0; i < names.size(); i++) {
        std::string n = names[i];
        if (!n.empty() && n.back() == '.') continue;  // reached through the record mark
        OpcodeEntry* e = a.ops.add(n, OP_INSN, 0, nullptr);
        e->insn = static_cast<int>(i);
        e->rows = isa::namerows(e->name);
    }
}

// The encoding of a line of constant operands, remembered for later passes.
static void rememberinsn(Assembler& a, LineMemo* m, uint8_t marks, uint8_t mode, const isa::EncodeResult& res) {
    if (m != a.tokline || a.tokvolatile || a.backtokens.size() != 1 || a.pos > 0xFFFF) return;
    auto& toks = a.tokmemo->tokens;
    // tokens kept from an earlier pass stay (they hold the line's place)
    if (a.tokreplay) return;
    // the tokens just recorded are not needed again: the memory is given back
    if (m->tokcount == 0 || m->tokfirst + m->tokcount != toks.size()) return;
    toks.resize(m->tokfirst);
    m->tokcount = 0;
    a.tokline = nullptr;
    m->bits = res.bits;
    m->insnsize = static_cast<uint8_t>(res.size);
    m->insnend = static_cast<uint16_t>(a.pos);
    m->insnlast = static_cast<uint8_t>(a.backtokens.back());
    m->insnmode = mode;
    m->insnmarks = marks;
}

void asminsn(Assembler& a, const OpcodeEntry& e) {
    a.dotnames = false;
    bool record = a.recmark || a.sizeletter != 0;
    uint8_t marks = static_cast<uint8_t>(1 | (record ? 2 : 0) | (a.ovmark ? 4 : 0));
    LineMemo* m = a.tokline;
    bool absolute = (a.cur->attr & SA_ABS) != 0;
    if (m && !absolute && m->insnsize && m->entry == e.id + 1 && m->insnmarks == marks && skipoperands(a, *m)) {
        a.dotnames = true;
        if (m->insnsize == 2) {
            emitword(a, m->bits & 0xFFFF);
        } else {
            emitword(a, m->bits >> 16);
            emitword(a, m->bits & 0xFFFF);
        }
        return;
    }
    // a line read straight from its file, its operands not scanned yet
    bool fresh = m && !absolute && (a.tokreplay ? a.toknext == m->tokfirst : m->tokcount == 0) &&
                 a.backtokens.empty();
    a.tokvolatile = false;
    uint32_t errs = a.errcalls;
    uint8_t mode = tokenmode(a);
    // one spare: a sixth operand is parsed before it is refused
    OperandSlot slots[kMaxOperands + 1];
    size_t count = 0;
    for (;;) {
        ParsedOperand& p = *new (&slots[count].p) ParsedOperand();
        if (!getoperand(a, p)) break;
        if (count >= kMaxOperands) {
            asmerr(a, "bad addressing mode");
            break;
        }
        count++;
        int t = gettoken(a);
        if (t != T_COMMA) {
            ungettoken(a, t);
            break;
        }
    }
    a.dotnames = true;
    alignas(isa::Operand) unsigned char room[sizeof(isa::Operand) * kMaxOperands];
    auto* operands = reinterpret_cast<isa::Operand*>(room);
    for (size_t i = 0; i < count; i++) new (&operands[i]) isa::Operand(slots[i].p.op);
    isa::EncodeContext ctx;
    ctx.address = here(a);
    ctx.section = a.cur->index;
    ctx.absolute_section = (a.cur->attr & SA_ABS) != 0;
    isa::EncodeResult res = isa::encodeinsn(e.name, e.rows, record, a.ovmark, std::span(operands, count), ctx);
    if (!res.insn || res.size == 0) {
        asmerr(a, res.error.empty() ? "bad addressing mode" : res.error);
        return;
    }
    if (!res.error.empty()) asmerr(a, res.error);
    const AsmValue* rv = nullptr;
    int code = 0;
    if (res.reloc && res.reloc->operand < count) {
        rv = &slots[res.reloc->operand].p.value;
        code = static_cast<int>(res.reloc->code);
    }
    auto record_ = [&] {
        const isa::RelocRequest& r = *res.reloc;
        if ((code & 15) == 15) putreloc(a, code, rv, static_cast<int>(r.descriptor), static_cast<uint32_t>(r.addend));
        else putreloc(a, code, rv);
    };
    if (res.size == 2) {
        if (rv) record_();
        emitword(a, res.bits & 0xFFFF);
    } else {
        if (rv && !res.reloc->second_half) record_();
        emitword(a, res.bits >> 16);
        if (rv && res.reloc->second_half) record_();
        emitword(a, res.bits & 0xFFFF);
    }
    if (rv) a.cur->relend = a.cur->loc;
    if (fresh && !res.reloc && res.error.empty() && a.errcalls == errs) rememberinsn(a, m, marks, mode, res);
}

}  // namespace as

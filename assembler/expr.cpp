// The expression evaluator and the relocation rules of values.
//
// Values are 32-bit and wrap; signed operators reinterpret the bits. A value
// is absolute or relocatable (kind 1 to 3, possibly marked by page(), high()
// or plow()); only the sums and differences that a relocation record can
// express are accepted, the rest report "bad relocatable expression" and
// still yield a value so that the line goes on.
#include "assembler/asm.h"

namespace as {

namespace {

int priority(int tok) {
    switch (tok) {
    case T_MUL: case T_DIV: case T_MOD: return 14;
    case T_PLUS: case T_MINUS: return 13;
    case T_SHL: case T_SHR: return 12;
    case T_LT: case T_LE: case T_GT: case T_GE: return 11;
    case T_EQ: case T_NE: return 10;
    case T_AND: return 9;
    case T_XOR: return 8;
    case T_OR: return 7;
    case T_LAND: return 6;
    case T_LOR: return 5;
    default: return 0;
    }
}

uint32_t absop(Assembler& a, int op, uint32_t l, uint32_t r) {
    int32_t sl = static_cast<int32_t>(l), sr = static_cast<int32_t>(r);
    switch (op) {
    case T_MUL: return l * r;
    case T_DIV:
        if (r == 0) {
            asmerr(a, "zero divide");
            return l;
        }
        if (sl == INT32_MIN && sr == -1) return l;
        return static_cast<uint32_t>(sl / sr);
    case T_MOD:
        if (r == 0) {
            asmerr(a, "zero divide");
            return l;
        }
        return l % r;
    case T_SHL: return l << (r & 31);
    case T_SHR: return l >> (r & 31);
    case T_LT: return sl < sr;
    case T_LE: return sl <= sr;
    case T_GT: return sl > sr;
    case T_GE: return sl >= sr;
    case T_EQ: return l == r;
    case T_NE: return l != r;
    case T_AND: return l & r;
    case T_XOR: return l ^ r;
    case T_OR: return l | r;
    case T_LAND: return (l != 0 && r != 0);
    case T_LOR: return (l != 0 || r != 0);
    case T_PLUS: return l + r;
    case T_MINUS: return l - r;
    default: return 0;
    }
}

void exprop(Assembler& a, int op, AsmValue& l, const AsmValue& r) {
    uint32_t v = absop(a, op, l.value, r.value);
    if (l.absolute() && r.absolute()) {
        l.value = v;
        return;
    }
    bool ok = false;
    if (op == T_PLUS) {
        if (l.absolute() != r.absolute()) {
            const AsmValue& rel = l.absolute() ? r : l;
            if (!rel.marked()) {
                AsmValue res = rel;
                res.value = v;
                l = res;
                ok = true;
            }
        }
    } else if (op == T_MINUS) {
        if (!l.absolute() && r.absolute() && !l.marked()) {
            ok = true;
        } else if (!l.absolute() && !r.absolute() && !l.marked() && !r.marked() && l.section == r.section &&
                   l.section != 0 && !l.sym && !r.sym) {
            l = AsmValue{};
            ok = true;
        }
    }
    if (!ok) asmerr(a, "bad relocatable expression");
    l.value = v;
}

void parseexpr(Assembler& a, AsmValue& v, int minprio);

uint32_t location(const Assembler& a) { return here(a); }

constexpr int kMaxNesting = 256;  // parentheses, built-ins and unary operators

// A term one level deeper; past the limit the rest of the line is dropped.
void term(Assembler& a, AsmValue& v);
void nestedterm(Assembler& a, AsmValue& v) {
    if (a.exprdepth >= kMaxNesting) {
        asmerr(a, "expression too complex");
        v = AsmValue{};
        a.pos = a.line.size();
        resettokens(a);
        return;
    }
    a.exprdepth++;
    term(a, v);
    a.exprdepth--;
}

void term(Assembler& a, AsmValue& v) {
    v = AsmValue{};
    int t = gettoken(a);
    switch (t) {
    case T_MINUS:
    case T_PLUS:
    case T_COMPL:
    case T_NOT: {
        nestedterm(a, v);
        if (!v.absolute() && t != T_PLUS) asmerr(a, "bad relocatable expression");
        if (t == T_MINUS) v.value = 0u - v.value;
        else if (t == T_COMPL) v.value = ~v.value;
        else if (t == T_NOT) v.value = v.value == 0;
        return;
    }
    case T_NUMBER: v.value = a.tokval; return;
    case T_STRING: {
        if (a.tokstr.size() > 4) asmerr(a, "bad character constant");
        for (size_t i = 0; i < a.tokstr.size() && i < 4; i++)
            v.value = (v.value << 8) | static_cast<unsigned char>(a.tokstr[i]);
        return;
    }
    case T_STRLEN: {
        std::string s;
        if (!getstring(a, s)) asmerr(a, "syntax error");
        v.value = static_cast<uint32_t>(s.size());
        needtoken(a, T_RPAREN);
        return;
    }
    case T_LPAREN:
        parseexpr(a, v, 0);
        needtoken(a, T_RPAREN);
        return;
    case T_MUL: {
        const AsmSection* s = a.cur;
        v.value = location(a);
        if (s->attr & SA_ABS) return;
        v.kind = (s->attr & SA_LONG) ? 3 : 1;
        v.section = static_cast<uint16_t>(s->index);
        return;
    }
    case T_SYMBOL: v = symvalue(a, a.toksym); return;
    case T_DOLLAR: prefixnumber(a, 16), v.value = a.tokval; return;
    case T_AT: prefixnumber(a, 8), v.value = a.tokval; return;
    case T_MOD: prefixnumber(a, 2), v.value = a.tokval; return;
    case T_PAGE:
    case T_HIGH:
    case T_LOW:
    case T_PHIGH:
    case T_PLOW: {
        parseexpr(a, v, 0);
        needtoken(a, T_RPAREN);
        goto builtin;
    }
    case T_LT:
        parseexpr(a, v, 0);
        t = T_LOW;
        goto builtin;
    case T_GT: parseexpr(a, v, 0); return;
    default:
        asmerr(a, "syntax error");
        ungettoken(a, t);
        return;
    }
    return;
builtin:
    switch (t) {
    case T_PAGE:
    case T_PHIGH:
    case T_PLOW:
        if (v.absolute() || v.marked()) {
            asmerr(a, "bad relocatable expression");
            return;
        }
        v.kind = static_cast<uint8_t>(v.kind | (t == T_PAGE ? 0x80 : t == T_PHIGH ? 0x50 : 0x10));
        return;
    case T_HIGH:
        if (v.absolute()) v.value = (v.value >> 8) & 0xFF;
        else if (v.marked()) asmerr(a, "bad relocatable expression");
        else v.kind |= 0x40;
        return;
    default:  // low
        if (v.absolute()) v.value &= 0xFF;
        else {
            if (v.marked()) asmerr(a, "bad relocatable expression");
            v.kind = 2;
        }
        return;
    }
}

void parseexpr(Assembler& a, AsmValue& v, int minprio) {
    nestedterm(a, v);
    for (;;) {
        int op = gettoken(a);
        int p = priority(op);
        if (p == 0 || p <= minprio) {
            ungettoken(a, op);
            return;
        }
        AsmValue r;
        parseexpr(a, r, p);
        exprop(a, op, v, r);
    }
}

}  // namespace

AsmValue symvalue(Assembler& a, AsmSymbol* s) {
    AsmValue v;
    if (s->iflags & SI_ALIAS) {
        AsmSymbol* t = s->alias;
        v.value = s->value;
        if (t->flags & SYM_DEFINED) {
            AsmValue tv = symvalue(a, t);
            tv.value += s->value;
            return tv;
        }
        v.sym = t;
        v.kind = (t->flags & SYM_ZPAGE) ? 2 : (t->flags & SYM_LONG) ? 3 : 1;
        return v;
    }
    v.value = s->value;
    if (s->flags & SYM_DEFINED) {
        if (s->flags & SYM_ABSOLUTE) return v;
        // A symbol of this section not yet met in this pass is estimated
        // where the previous pass put it, moved as far as the code before
        // it has moved so far: long forward branches then shrink in a few
        // passes, not one run of them per pass. A pass in which nothing
        // moves estimates nothing, so the settled layout is the one the
        // previous pass's values give; after an error nothing is estimated.
        if (!s->definedthispass && s->section == a.cur->index && a.pass > 0 && a.errors == 0)
            v.value += a.cur->shift;
        v.section = s->section;
        v.kind = (s->flags & SYM_ZPAGE) ? 2 : (s->flags & SYM_LONG) ? 3 : 1;
        return v;
    }
    if (a.opt.u && a.pass > 0 && !(s->flags & SYM_PUBLIC)) asmerr(a, "symbol " + s->name + " not defined");
    v.value = 0;
    v.sym = s;
    v.kind = (s->flags & SYM_ZPAGE) ? 2 : (s->flags & SYM_LONG) ? 3 : 1;
    return v;
}

void getexpr(Assembler& a, AsmValue& v) { parseexpr(a, v, 0); }

uint32_t getabs(Assembler& a, bool& ok) {
    AsmValue v;
    getexpr(a, v);
    ok = v.absolute();
    if (!ok) asmerr(a, "relocatable expression not allowed");
    return v.value;
}

void defcmdsym(Assembler& a, const std::string& text) {
    a.line = text;
    a.pos = 0;
    resettokens(a);
    int saved = a.pass;
    a.pass = 1;
    std::string name = scanname(a);
    if (name.empty()) {
        asmerr(a, "syntax error");
    } else {
        AsmSymbol* s = a.syms.find(name);
        uint32_t value = 1;
        bool ok = true;
        if (curc(a) == '=') {
            advance(a);
            AsmValue v;
            getexpr(a, v);
            value = v.value;
            if (!v.absolute()) {
                asmerr(a, "relocatable expression not allowed");
                ok = false;
            }
        }
        if (!atend(a)) asmerr(a, "bad comment delimiter");
        if (s->flags & SYM_DEFINED) {
            asmerr(a, "symbol " + name + " multiply defined");
        } else if (ok) {
            s->flags = SYM_DEFINED | SYM_ABSOLUTE;
            s->iflags |= SI_CMDLINE;
            s->value = value;
            s->section = 0;
        }
    }
    printerr(a);
    flushdiags(a, true);
    a.pass = saved;
    if (!a.passdiags.empty()) a.passdiags.clear();
}

}  // namespace as

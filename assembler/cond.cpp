// Conditional assembly: the if family, else and endif on one stack.
//
// Each open if is a level with its kind ('I' met while assembling, 'i' met
// inside a false region, 'E'/'e' after its else) and its condition; lines
// are assembled while the stack is empty or its top is true. ifdef sees a
// symbol only when its definition lies on an earlier line of the pass.
#include "assembler/asm.h"

namespace as {

bool assembling(const Assembler& a) { return a.conds.empty() || a.conds.back().cond; }

static bool evaluate(Assembler& a, int kind) {
    if (kind <= 5) {
        AsmValue v;
        getexpr(a, v);
        if (!v.absolute()) {
            asmerr(a, "relocatable expression not allowed");
            return false;
        }
        int32_t x = static_cast<int32_t>(v.value);
        switch (kind) {
        case 0: return x != 0;
        case 1: return x == 0;
        case 2: return x < 0;
        case 3: return x <= 0;
        case 4: return x > 0;
        default: return x >= 0;
        }
    }
    if (kind <= 7) {
        std::string s1, s2;
        bool ok = getstring(a, s1);
        if (ok) {
            int t = gettoken(a);
            ok = t == T_COMMA;
            if (!ok) ungettoken(a, t);
        }
        if (!ok || !getstring(a, s2)) {
            asmerr(a, "missing string");
            while (curc(a)) advance(a);
            return false;
        }
        return (s1 == s2) == (kind == 6);
    }
    std::string name = scanname(a);
    if (name.empty()) {
        asmerr(a, "missing string");
        return false;
    }
    AsmSymbol* s = a.syms.find(name);
    bool defined = ((s->flags & SYM_DEFINED) || (s->iflags & SI_ALIAS)) && s->defglobal < a.globline;
    if (!defined && !(s->flags & SYM_DEFINED)) s->iflags |= SI_IFDEF;
    return defined == (kind == 8);
}

void conddirective(Assembler& a, const OpcodeEntry& e, std::string_view) {
    if (e.value < 20) {
        if (assembling(a)) {
            a.conds.push_back({'I', evaluate(a, e.value)});
        } else {
            a.conds.push_back({'i', false});
            while (curc(a)) advance(a);
        }
        return;
    }
    if (e.value == 20) {
        if (a.conds.empty() || (a.conds.back().kind != 'I' && a.conds.back().kind != 'i')) {
            if (a.conds.empty() || a.conds.size() == 1 || a.conds[a.conds.size() - 2].cond) asmerr(a, "bad else");
            return;
        }
        CondLevel& c = a.conds.back();
        if (c.kind == 'I') {
            c.kind = 'E';
            c.cond = !c.cond;
        } else {
            c.kind = 'e';
        }
        return;
    }
    if (a.conds.empty()) {
        asmerr(a, "bad endif");
        return;
    }
    a.conds.pop_back();
}

void endconds(Assembler& a) {
    if (!a.conds.empty() && a.pass > 0)
        a.passdiags.push_back(Diagnostic{a.srcname, a.lastlines, "unclosed if"});
    a.conds.clear();
}

}  // namespace as

// Directives and conditional compilation. ppline takes the tokens of one
// logical line: a line that starts with '#' runs one of the handlers of the
// directive table; other lines are dropped in an inactive region or macro
// expanded and handed on. The conditional stack, the #asm state, #line and
// the pragmas live here.
#include <cstring>
#include <string>

#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

using Handler = void (*)(Parser&, PpToken**);

bool isend(const PpToken* t) { return !t || t->kind == tok::Eol; }

// Opens a conditional at this line. In an inactive region it stays inactive
// for good and none is returned; otherwise its branch is still to be decided.
Conditional* pushcond(Parser& P) {
    Conditional c;
    c.file = srcfilename(P);
    c.line = srcline(P);
    bool active = ppactive(P);
    c.state = active ? 'I' : 'i';
    P.pp.conds.push_back(c);
    return active ? &P.pp.conds.back() : nullptr;
}

void unexpected(Parser& P, const PpToken* t) {
    if (P.opt.sa && !isend(t)) putdiag(P, "unexpected token");
}

// Without -sa, an enumeration constant named in #if stands for its value:
// the tokens of the number (in parentheses when it is negative).
PpToken* enumvalue(Parser& P, const PpToken* t) {
    if (P.opt.sa) return nullptr;
    Symbol* s = lookupsym(P, internname(P, t->text, t->textlen), &P.syms.scopes.ordinary, nullptr);
    if (!s || s->sclass != sc::EnumConst) return nullptr;
    int32_t v = static_cast<int32_t>(s->value);
    std::string text = v < 0 ? "(-" + std::to_string(0u - static_cast<uint32_t>(v)) + ")" : std::to_string(v);
    PpToken* list = splittokens(P, keeptext(P, text.data(), text.size()));
    for (PpToken* q = list; q; q = q->link) {
        q->line = t->line;
        q->column = t->column;
    }
    if (list) {
        list->ws = t->ws;
        list->wslen = t->wslen;
    }
    return list;
}

// The #if line: macros expanded, names replaced, the expression evaluated.
bool evalif(Parser& P, PpToken** rest, const char* bad, const char* incomplete) {
    expandmacros(P, rest, 0);
    // ifnames: sizeof(...) kept, other names become 0, the line end ';'
    PpToken** cell = rest;
    bool ended = false;
    while (*cell) {
        PpToken* t = *cell;
        if (t->kind == tok::Name && !P.opt.sa && tokenis(t, "sizeof") && t->link && t->link->kind == tok::LParen) {
            int depth = 0;
            PpToken* q = t->link;
            for (; q; q = q->link) {
                if (q->kind == tok::LParen) ++depth;
                if (q->kind == tok::RParen && --depth == 0) break;
                if (q->kind == tok::Eol) break;
            }
            if (!q || q->kind == tok::Eol) {
                cell = &t->link;
                continue;
            }
            cell = &q->link;
            continue;
        }
        if (t->kind == tok::Name) {
            if (PpToken* number = enumvalue(P, t)) {
                *cell = number;
                PpToken* last = lasttoken(number);
                last->link = t->link;
                freepptoken(P, t);
                cell = &last->link;
                continue;
            }
            t->kind = tok::Number;
            t->text = "0";
            t->textlen = 1;
        } else if (t->kind == tok::Eol) {
            t->kind = tok::Semi;
            t->text = ";";
            t->textlen = 1;
            ended = true;
        }
        cell = &t->link;
    }
    if (!ended) {
        PpToken* semi = newpptoken(P);
        semi->kind = tok::Semi;
        semi->text = ";";
        semi->textlen = 1;
        semi->line = srcline(P);
        *cell = semi;
    }
    settokensource(P, *rest);
    int32_t value = 0;
    int found = evalconst(P, value, 2);
    int next = settokensourcedone(P);
    // with -e no other tree is alive: the condition's nodes are reused
    if (P.opt.e) releaseexprs(P);
    if (!found) {
        putdiag(P, "%s", bad);
        return false;
    }
    if (next != tok::Semi) putdiag(P, "%s", incomplete);
    return value != 0;
}

void doif(Parser& P, PpToken** rest) {
    Conditional* c = pushcond(P);
    if (c) c->value = evalif(P, rest, "bad #if expression", "incomplete #if expression") ? 1 : 0;
}

void doifdef(Parser& P, PpToken** rest, bool negate, const char* bad) {
    Conditional* c = pushcond(P);
    if (!c) return;
    PpToken* t = *rest;
    if (!t || t->kind != tok::Name) {
        putdiag(P, "%s", bad);
        return;
    }
    bool defined = ispredefined(t) || findmacro(P, t);
    c->value = (defined != negate) ? 1 : 0;
    unexpected(P, t->link);
}

void doifdef(Parser& P, PpToken** rest) { doifdef(P, rest, false, "bad #ifdef syntax"); }
void doifndef(Parser& P, PpToken** rest) { doifdef(P, rest, true, "bad #ifndef syntax"); }

// The open conditional that #elif or #else continues, moved to this line;
// none after "bad #else" (nothing open, or #else already seen).
Conditional* continuecond(Parser& P) {
    if (P.pp.conds.empty() || P.pp.conds.back().state == 'E' || P.pp.conds.back().state == 'e') {
        putdiag(P, "bad #else");
        return nullptr;
    }
    Conditional& c = P.pp.conds.back();
    c.file = srcfilename(P);
    c.line = srcline(P);
    return &c;
}

void doelif(Parser& P, PpToken** rest) {
    Conditional* cp = continuecond(P);
    if (!cp) return;
    Conditional& c = *cp;
    if (c.state == 'I' && c.value) {
        c.value = 0;
        c.state = 'i';
    } else if (c.state == 'I') {
        c.value = evalif(P, rest, "bad #elif expression", "incomplete #elif expression") ? 1 : 0;
    }
}

void doelse(Parser& P, PpToken** rest) {
    Conditional* cp = continuecond(P);
    if (!cp) return;
    Conditional& c = *cp;
    if (c.state == 'I') {
        c.state = 'E';
        c.value = !c.value;
        unexpected(P, *rest);
    } else {
        c.state = 'e';
    }
}

void doendif(Parser& P, PpToken** rest) {
    if (P.pp.conds.empty()) {
        putdiag(P, "bad #endif");
        return;
    }
    P.pp.conds.pop_back();
    if (ppactive(P)) unexpected(P, *rest);
}

void doinclude(Parser& P, PpToken** rest) {
    if (!ppactive(P)) return;
    PpToken* t = *rest;
    if (!t || (t->kind != tok::String && t->kind != tok::Lt)) {
        expandmacros(P, rest, 0);
        t = *rest;
    }
    std::string name;
    if (t && t->kind == tok::String) {
        const char* s = t->text;
        size_t n = t->textlen;
        if (n && *s == 'L') ++s, --n;
        if (n >= 2 && s[n - 1] == '"')
            name.assign(s + 1, n - 2);
        else if (n >= 1)
            name.assign(s + 1, n - 1);
    } else if (t && t->kind == tok::Lt) {
        PpToken* q = t->link;
        for (; q && q->kind != tok::Gt; q = q->link) {
            if (q->kind == tok::Eol) {
                q = nullptr;
                break;
            }
            if (q->kind != tok::Param) name.append(q->text, q->textlen);
        }
        if (!q) {
            putdiag(P, "missing '>' in #include");
            return;
        }
    } else {
        putdiag(P, "bad #include syntax");
        return;
    }
    if (name.empty()) {
        putdiag(P, "missing file name in #include");
        return;
    }
    openinput(P, name, true);
}

// The name after #define or #undef, or none after the message: a name is
// required, and "defined" and the predefined names cannot be changed.
PpToken* macroname(Parser& P, PpToken* t, const char* badsyntax, const char* predefined) {
    if (!t || t->kind != tok::Name) {
        putdiag(P, "%s", badsyntax);
        return nullptr;
    }
    if (ispredefined(t)) {
        putdiag(P, predefined, static_cast<int>(t->textlen), t->text);
        return nullptr;
    }
    return t;
}

void dodefine(Parser& P, PpToken** rest) {
    if (!ppactive(P)) return;
    PpToken* t = macroname(P, *rest, "bad #define syntax", "can't redefine macro %.*s");
    if (!t) return;
    Macro* old = findmacro(P, t);
    if (!old) {
        defmacro(P, t);
        return;
    }
    Macro* fresh = parsemacro(P, t);
    bool same = fresh && samemacro(old, fresh);
    if (fresh) {
        discardmacro(P, fresh);
        if (&P.mac.store.back() == fresh) P.mac.store.pop_back();  // a header read again
    }
    if (!same) putdiag(P, "can't redefine macro %.*s", static_cast<int>(t->textlen), t->text);
}

void doundef(Parser& P, PpToken** rest) {
    if (!ppactive(P)) return;
    PpToken* t = macroname(P, *rest, "bad #undef syntax", "can't undef macro %.*s");
    if (!t) return;
    if (Macro* m = findmacro(P, t)) undefmacro(P, m);
    unexpected(P, t->link);
}

void doline(Parser& P, PpToken** rest) {
    if (!ppactive(P)) return;
    expandmacros(P, rest, 0);
    PpToken* t = *rest;
    LineOverride& o = currentoverride(P);
    if (isend(t)) {
        putdiag(P, "missing line number");
        o.hasline = false;
        return;
    }
    Token number;
    if (t->kind == tok::Number) lexnumber(P, number, t->text, t->textlen);
    if (number.code != tok::IntConst && number.code != tok::UIntConst && number.code != tok::MinIntConst) {
        putdiag(P, "invalid line number");
        return;
    }
    // The next line read gets the number N.
    o.hasline = true;
    o.line = static_cast<uint32_t>(number.ival) - 1;
    t = t->link;
    if (isend(t)) return;
    if (t->kind != tok::String) {
        putdiag(P, "string constant expected");
        return;
    }
    std::vector<unsigned char> bytes = stringbytes(P, t->text, t->textlen);
    std::string name(bytes.begin(), bytes.end());
    if (!o.hasname || o.name != name) {
        o.hasname = true;
        o.name = name;
    }
}

void doerror(Parser& P, PpToken** rest) {
    if (!ppactive(P)) return;
    putdiag(P, "%s", jointokens(*rest).c_str());
}

void doasm(Parser& P, PpToken**) {
    if (!ppactive(P)) return;
    if (P.pp.asmstate != 0)
        putdiag(P, "bad #asm directive");
    else
        P.pp.asmstate = 1;
}

void doendasm(Parser& P, PpToken**) {
    if (!ppactive(P)) return;
    if (P.pp.asmstate == 0)
        putdiag(P, "bad #endasm directive");
    else
        P.pp.asmstate = 0;
}

// #pragma space, section and attribute: the declaration parser reads the
// rest of the line, whose end reads as ';'.
struct PragmaHandler {
    const char* name;
    bool (*parse)(Parser&);
    const char* bad;
};
const PragmaHandler kDeclarationPragmas[] = {
    {"space", pragmaspace, "bad #pragma space directive"},
    {"section", pragmasection, "bad #pragma section directive"},
    {"attribute", pragmaattribute, "bad #pragma attribute directive"},
};

void pragmadeclaration(Parser& P, const PragmaHandler& h, PpToken** rest) {
    if (h.parse == pragmasection && P.decl.infunction) {
        putdiag(P, "misplaced #pragma section directive");
        return;
    }
    PpToken** cell = rest;
    while (*cell && (*cell)->kind != tok::Eol) cell = &(*cell)->link;
    PpToken* semi = *cell;
    if (!semi) {
        semi = newpptoken(P);
        semi->line = srcline(P);
        *cell = semi;
    }
    semi->kind = tok::Semi;
    semi->text = ";";
    semi->textlen = 1;
    settokensource(P, *rest);
    if (!h.parse(P) || nexttoken(P)->code != tok::Semi) putdiag(P, "%s", h.bad);
    settokensourcedone(P);
}

void dopragma(Parser& P, PpToken** rest) {
    if (!ppactive(P)) return;
    PpToken* t = *rest;
    if (!t || t->kind != tok::Name) return;
    PpToken** after = &t->link;
    if (tokenis(t, "asm")) {
        doasm(P, after);
    } else if (tokenis(t, "endasm")) {
        doendasm(P, after);
    } else if (tokenis(t, "message")) {
        expandmacros(P, after, 0);
        std::FILE* to = P.err ? P.err : stderr;
        std::fprintf(to, "#message %s\n", jointokens(*after).c_str());
        std::fflush(to);
    } else if (tokenis(t, "unroll")) {
        PpToken* n = *after;
        if (n && n->kind == tok::Number) {
            Token number;
            lexnumber(P, number, n->text, n->textlen);
            if (number.code == tok::IntConst || number.code == tok::UIntConst || number.code == tok::MinIntConst)
                P.pp.unroll = number.ival;
            else
                putdiag(P, "bad #pragma unroll directive");
        } else {
            P.pp.unroll = 0;
        }
    } else {
        for (const PragmaHandler& h : kDeclarationPragmas)
            if (tokenis(t, h.name)) pragmadeclaration(P, h, after);
    }
}

struct Directive {
    const char* name;
    Handler handler;
};
// Ordered by name length, as the lookup was first written.
const Directive kDirectives[] = {
    {"if", doif},           {"asm", doasm},         {"else", doelse},       {"elif", doelif},
    {"line", doline},       {"endif", doendif},     {"error", doerror},     {"undef", doundef},
    {"ifdef", doifdef},     {"define", dodefine},   {"endasm", doendasm},   {"ifndef", doifndef},
    {"pragma", dopragma},   {"include", doinclude},
};

}  // namespace

std::string jointokens(PpToken* from) {
    std::string s;
    for (PpToken* t = from; t && t->kind != tok::Eol; t = t->link) {
        if (t != from) s.append(t->ws, t->wslen);
        if (t->kind != tok::Param) s.append(t->text, t->textlen);
    }
    return s;
}

bool ppactive(Parser& P) { return P.pp.conds.empty() || P.pp.conds.back().value == 1; }

PpToken* ppline(Parser& P, PpToken* list) {
    for (;;) {
        if (!list) return nullptr;
        if (list->kind == tok::Hash) {
            PpToken* n = list->link;
            if (isend(n)) {
                freepptokens(P, list);
                return nullptr;
            }
            if (n->kind != tok::Name) {
                if (ppactive(P)) putdiag(P, "bad # syntax");
                freepptokens(P, list);
                return nullptr;
            }
            // A comment open at the end of the line continues the directive.
            while (P.src.opencomment) {
                PpToken* prev = list;
                while (prev->link && prev->link->link) prev = prev->link;
                if (!prev->link || prev->link->kind != tok::Eol) break;
                const char* line = getlogline(P, true);
                if (!line) break;
                PpToken* eol = prev->link;
                prev->link = splittokens(P, line);
                if (prev->link) prependws(P, prev->link, eol->ws, eol->wslen);
                freepptoken(P, eol);
            }
            const Directive* d = nullptr;
            for (const Directive& dir : kDirectives)
                if (tokenis(n, dir.name)) d = &dir;
            if (!d) {
                if (ppactive(P)) putdiag(P, "bad # directive: %.*s", static_cast<int>(n->textlen), n->text);
                freepptokens(P, list);
                return nullptr;
            }
            if (P.opt.e && ppactive(P) && d->handler == dopragma) {
                PpToken* w = n->link;
                if (!w || w->kind != tok::Name || (!tokenis(w, "asm") && !tokenis(w, "endasm"))) return list;
            }
            P.pp.indirective = true;
            d->handler(P, &n->link);
            P.pp.indirective = false;
            freepptokens(P, list);
            return nullptr;
        }
        if (!ppactive(P)) {
            freepptokens(P, list);
            return nullptr;
        }
        if (P.pp.asmstate == 0 || P.opt.ad) expandmacros(P, &list, 0);
        if (list && list->kind == tok::BackHash) {
            list->kind = tok::Hash;
            ++list->text;
            --list->textlen;
            continue;
        }
        if (P.pp.asmstate != 0 && list) {
            for (PpToken* t = list; t; t = t->link)
                if (t->kind != tok::Eol) t->kind = tok::AsmLine;
            if (P.pp.asmstate == 1) {
                list->column |= kAsmFirstColumn;
                P.pp.asmstate = 2;
            }
        }
        return list;
    }
}

void putdefine(Parser& P, const std::string& text) {
    const char* kept = keeptext(P, text.data(), text.size());
    PpToken* list = splittokens(P, kept);
    P.pp.indirective = true;
    dodefine(P, &list);
    P.pp.indirective = false;
    freepptokens(P, list);
}

void checkopenifs(Parser& P) {
    if (P.pp.conds.empty()) return;
    const Conditional& c = P.pp.conds.back();
    P.diagat = true;
    P.diagfile = c.file;
    P.diagline = c.line;
    P.diagcolumn = -1;
    P.diagwidth = 0;
    putdiag(P, "missing #endif directive");
    P.diagat = false;
}

}  // namespace cpppc

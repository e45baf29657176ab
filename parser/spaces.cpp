// Memory spaces and the three declaration pragmas. Every object, function
// and pointed-to type carries a 16-bit attribute word: a space in two bits,
// const and volatile, nostack, inline, packed, code, and one bit for each of
// up to eight space names of the user's own. The words come from "@" space
// modifiers, from the default-space tables (set by the model option -m# and
// by #pragma space) and from the templates of #pragma attribute; #pragma
// section chooses the output section.
#include <cstring>
#include <string_view>

#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

constexpr uint16_t kw(int index) { return static_cast<uint16_t>(tok::KeywordBase + index); }
constexpr uint16_t kAuto = kw(0), kConst = kw(4), kExtern = kw(11), kStatic = kw(23), kVolatile = kw(30);

// The predefined space names, announced from the start.
struct PredefinedSpace {
    const char* name;
    uint16_t bit;
};
constexpr PredefinedSpace kPredefinedSpaces[] = {
    {"tiny", attr::Tiny},       {"near", attr::Near},     {"far", attr::Far},
    {"nostack", attr::Nostack}, {"inline", attr::Inline}, {"packed", attr::Packed},
};

bool islocalclass(uint8_t c) {
    return c == sc::Auto || c == sc::Register || c == sc::Param || c == sc::RegParam;
}

Symbol* newspace(Parser& P, const unsigned char* name) {
    SpaceTables& S = P.spaces;
    uint16_t bit = static_cast<uint16_t>(S.lastbit >> 1);
    if (bit == 0) putdiag(P, "too many space modifiers");
    Symbol* s = newsym(P, &P.syms.scopes.spaces, name, 0, nullptr);
    s->attributes = bit;
    S.lastbit = bit;
    if (namelength(name) == 3 && std::string_view(nametext(name), 3) == "spr") S.sprbit = bit;
    return s;
}

// "]" after "[" or ")" after "(" in a pragma; a missing one leaves the
// token for the dispatcher to report.
bool closes(Parser& P, uint16_t code) {
    if (nexttoken(P)->code == code) return true;
    pushtoken(P);
    return false;
}

}  // namespace

void initspaces(Parser& P) {
    for (const PredefinedSpace& p : kPredefinedSpaces) {
        Symbol* s = newsym(P, &P.syms.scopes.spaces, internname(P, p.name, std::strlen(p.name)), 0, nullptr);
        s->attributes = p.bit;
        s->flags |= sf::Declared;
        P.spaces.lastbit = p.bit;
    }
    P.spaces.consttable = P.spaces.code;
}

void setmodel(Parser& P, uint32_t word) {
    SpaceTables& S = P.spaces;
    for (int i = 0; i < 4; ++i) {
        if (word & 0xFF) S.code[i] = static_cast<uint16_t>((word & 0xFF) << 8);
        if (word & 0xFF00) S.data[i] = static_cast<uint16_t>(word & 0xFF00);
    }
}

Symbol* findspace(Parser& P, const unsigned char* name) { return lookupsym(P, name, &P.syms.scopes.spaces, nullptr); }

// After an '@': a space name or the keyword inline adds its bits to word.
uint16_t spacemodifier(Parser& P, uint16_t word) {
    Token* t = nexttoken(P);
    if (t->code == tok::Inline) return word | attr::Inline;
    if (t->code != tok::Name) {
        pushtoken(P);
        putdiag(P, "bad space modifier");
        return word;
    }
    Symbol* s = findspace(P, t->name);
    if (!s) s = newspace(P, t->name);
    if ((s->attributes & attr::Space) && (word & attr::Space)) {
        putdiag(P, "ambiguous space modifier");
        return word;
    }
    return word | s->attributes;
}

uint16_t defaultspace(Parser& P, uint16_t word, uint8_t sclass, uint16_t code) {
    SpaceTables& S = P.spaces;
    const uint16_t* table = S.data;
    if (code == ty::Function)
        table = S.code;
    else if ((word & attr::Const) && !islocalclass(sclass))
        table = S.consttable;
    int entry = islocalclass(sclass) ? 2 : sclass == sc::Pointee ? 3 : sclass == sc::Static ? 1 : 0;
    uint16_t e = table[entry];
    if (!(word & attr::Space)) word |= e & attr::Space;
    if (!(word & 0x04FF)) word |= e & 0xCFFF;
    return word;
}

// #pragma space [class] [kind] modifiers
//   class: extern, static, auto, '*' (pointed-to types) or const
//   kind:  "[]" data, "()" code
bool pragmaspace(Parser& P) {
    SpaceTables& S = P.spaces;
    int entry = -1;  // all four
    bool isconst = false;
    Token* t = nexttoken(P);
    switch (t->code) {
    case kExtern: entry = 0; break;
    case kStatic: entry = 1; break;
    case kAuto: entry = 2; break;
    case tok::Star: entry = 3; break;
    case kConst: isconst = true; break;
    default: pushtoken(P); break;
    }
    bool data = true, code = true;
    t = nexttoken(P);
    if (t->code == tok::LBrack) {
        if (!closes(P, tok::RBrack)) return false;
        code = false;
    } else if (t->code == tok::LParen) {
        if (!closes(P, tok::RParen)) return false;
        data = false;
    } else {
        pushtoken(P);
    }
    uint16_t word = 0;
    for (;;) {
        t = nexttoken(P);
        if (t->code == tok::At) {
            word = spacemodifier(P, word);
        } else if (t->code == kVolatile) {
            word |= attr::Volatile;
        } else {
            pushtoken(P);
            break;
        }
    }
    if (isconst) {
        if (data && code) {
            S.consttable = S.own;
            for (uint16_t& e : S.own) e = word;
        } else {
            S.consttable = data ? S.data : S.code;
        }
        return true;
    }
    for (int i = 0; i < 4; ++i) {
        if (entry >= 0 && i != entry) continue;
        if (data) S.data[i] = word;
        if (code) S.code[i] = word;
    }
    return true;
}

// #pragma section {const | @space} ( "(" | "[" | "{" ) [name] ( ")" | "]" | "}" )
bool pragmasection(Parser& P) {
    uint16_t word = 0;
    for (;;) {
        Token* t = nexttoken(P);
        if (t->code == kConst) {
            word |= attr::Const;
        } else if (t->code == tok::At) {
            word = spacemodifier(P, word);
        } else {
            pushtoken(P);
            break;
        }
    }
    word &= static_cast<uint16_t>(~attr::Volatile);
    Token* t = nexttoken(P);
    uint16_t close;
    switch (t->code) {
    case tok::LParen:
        word = defaultspace(P, word, sc::Extern, ty::Function) | attr::Code;
        close = tok::RParen;
        break;
    case tok::LBrack:
        word = defaultspace(P, word, sc::Extern, ty::Int) | attr::Volatile;
        close = tok::RBrack;
        break;
    case tok::LBrace:
        word = defaultspace(P, word, sc::Extern, ty::Int);
        close = tok::RBrace;
        break;
    default: pushtoken(P); return false;
    }
    const unsigned char* name = nullptr;
    t = nexttoken(P);
    if (t->code == tok::Name)
        name = t->name;
    else
        pushtoken(P);
    if (!closes(P, close)) return false;
    uint32_t line = srcline(P);
    putspaces(P);
    if ((word & attr::Volatile) && !(word & attr::Const)) endunit(P, 0);
    if (word & attr::Const) {
        putliterals(P);
        int id = 0;
        if (name) {
            std::vector<const unsigned char*>& names = P.spaces.constsections;
            size_t i = 0;
            while (i < names.size() && names[i] != name) ++i;
            if (i == names.size()) names.push_back(name);
            id = static_cast<int>(i) + 1;
        }
        P.names.section = id;
    }
    putsection(P, line, word, name);
    return true;
}

// #pragma attribute declaration-specifiers declarator
bool pragmaattribute(Parser& P) {
    Decl d;
    declhead(P, d, allow::Block);
    if (!declarator(P, d)) {
        putdiag(P, "invalid #pragma attribute syntax");
        return true;
    }
    const unsigned char* name = d.s.name;
    if (!name) {
        putdiag(P, "missing #pragma attribute name");
        return true;
    }
    Scopes& S = P.syms.scopes;
    if (lookupsym(P, name, &S.attributes, nullptr)) {
        putdiag(P, "duplicate #pragma attribute name %.*s", namelength(name), nametext(name));
        return true;
    }
    if (lookupsym(P, name, &S.ordinary, nullptr)) {
        putdiag(P, "redeclared #pragma attribute name %.*s", namelength(name), nametext(name));
        return true;
    }
    Symbol* s = newsym(P, &S.attributes, name, d.s.sclass, d.s.type);
    s->attributes = d.s.attributes;
    s->flags = d.s.flags;
    s->value = d.s.value;
    return true;
}

void applyattribute(Parser& P, Symbol* s) {
    Symbol* tmpl = lookupsym(P, s->name, &P.syms.scopes.attributes, nullptr);
    if (!tmpl) return;
    uint16_t a = tmpl->attributes & attr::Space, b = s->attributes & attr::Space;
    bool isstatic = s->sclass == sc::Static;
    if (a && b && a != b) {
        if (!isstatic)
            putdiag(P, "space conflict with #pragma attribute for %.*s", namelength(s->name), nametext(s->name));
        return;
    }
    if (const char* msg = matchattribute(P, tmpl->type, s->type)) {
        if (!isstatic) putdiag(P, msg, namelength(s->name), nametext(s->name));
        return;
    }
    s->attributes |= tmpl->attributes;
}

// Walks a template's type and a declared type in step; returns the message
// (a format taking the name) when they do not match.
const char* matchattribute(Parser& P, TypeNode* tmpl, TypeNode* decl) {
    static const char* const kMismatch = "type mismatch with #pragma attribute for %.*s";
    for (;;) {
        TypeNode* a = basetype(tmpl);
        TypeNode* b = basetype(decl);
        if (!a || !b) return nullptr;
        bool aarr = a->code == ty::Array, barr = b->code == ty::Array;
        bool aptr = a->code == ty::Pointer, bptr = b->code == ty::Pointer;
        bool afun = a->code == ty::Function, bfun = b->code == ty::Function;
        if (aarr || barr) {
            if (!(aarr && barr)) return kMismatch;
        } else if (aptr || bptr) {
            if (!(aptr && bptr)) return kMismatch;
            uint16_t sa = a->pointerattr() & attr::Space, sb = b->pointerattr() & attr::Space;
            if (sa && sb && sa != sb) return "pointer space conflict with #pragma attribute for %.*s";
            b->detail |= a->pointerattr();
        } else if (afun || bfun) {
            if (!(afun && bfun)) return kMismatch;
            if (a->params && a->params->type) {
                if (!b->params || !b->params->type) return "missing prototype for #pragma attribute usage";
                Symbol* x = a->params;
                Symbol* y = b->params;
                for (; x && y; x = x->next, y = y->next) {
                    bool xend = x->type && x->type->code == ty::Void, yend = y->type && y->type->code == ty::Void;
                    if (xend != yend) return "argument mismatch in #pragma attribute for %.*s";
                    if (const char* msg = matchattribute(P, x->type, y->type)) return msg;
                }
                if (x || y) return "argument mismatch in #pragma attribute for %.*s";
            }
        } else {
            return nullptr;
        }
        tmpl = a->subtype;
        decl = b->subtype;
    }
}

}  // namespace cpppc

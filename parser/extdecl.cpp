// External declarations: one declaration or function definition of the
// translation unit per call of extdecl, with the checks of redeclarations,
// placements at fixed addresses ("@" address or alias), and the file-level
// bookkeeping (labels of statics, the file's declaration list, whether the
// unit defines anything).
//
// Function bodies and initializers are read over here: funcdef and
// defglobal mark what they name as referenced, complete an array's count
// from its initializer and treat an initialized object as written, so that
// the end of the unit settles the symbols as a full parse would.
//
// external-declaration := declaration-specifiers [ init-declarator { ',' init-declarator } ] ';'
//                       | declaration-specifiers declarator [ old-style-parameters ] body
// init-declarator      := declarator [ '@' placement | '=' initializer ]
#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {


// A symbol for a declaration that cannot be entered: it goes through the
// rest of the declaration but is on no list and never listed for its file.
Symbol* placeholder(Parser& P, const Decl& d, const unsigned char* name) {
    Symbol* s = newsym(P, nullptr, name, d.s.sclass, d.s.type);
    s->attributes = d.s.attributes;
    s->flags = d.s.flags | sf::Declared;
    s->value = d.s.value;
    s->filelink = s;
    return s;
}

// A name read over inside a body or an initializer counts as a use of the
// file-level symbol it names.
void noteuse(Parser& P, const Token* t) {
    if (t->code != tok::Name) return;
    Symbol* s = findordinary(P, t->name);
    if (s && (s->flags & sf::FileLevel)) s->flags |= sf::Referenced;
}

// Reads over a balanced group whose opening token was just read.
void skipgroup(Parser& P) {
    int depth = 1;
    while (depth > 0) {
        Token* t = nexttoken(P);
        switch (t->code) {
        case tok::End: pushtoken(P); return;
        case tok::LBrace:
        case tok::LParen:
        case tok::LBrack: ++depth; break;
        case tok::RBrace:
        case tok::RParen:
        case tok::RBrack: --depth; break;
        default: noteuse(P, t); break;
        }
    }
}

bool ischararray(const TypeNode* t) {
    const TypeNode* e = t && t->code == ty::Array ? basetype(t->subtype) : nullptr;
    return e && (e->code == ty::Char || e->code == ty::UChar);
}

// Reads over an initializer after '='; returns the number of elements it
// gives an array of unknown count (0 when it cannot tell).
uint32_t skipinitializer(Parser& P, TypeNode* type) {
    Token* t = nexttoken(P);
    if (t->code == tok::String) {
        uint32_t n = t->lit ? t->lit->length + 1 : 1;
        return ischararray(type) ? n : 0;
    }
    if (t->code != tok::LBrace) {
        pushtoken(P);
        for (;;) {
            t = nexttoken(P);
            if (t->code == tok::Comma || t->code == tok::Semi || t->code == tok::End || t->code == tok::RBrace) {
                pushtoken(P);
                return 0;
            }
            if (t->code == tok::LParen || t->code == tok::LBrack || t->code == tok::LBrace)
                skipgroup(P);
            else
                noteuse(P, t);
        }
    }
    uint32_t elements = 0;
    bool item = false;
    uint32_t stringlength = 0;
    for (;;) {
        t = nexttoken(P);
        switch (t->code) {
        case tok::End: pushtoken(P); return elements;
        case tok::RBrace:
            if (stringlength && elements == 0 && ischararray(type)) return stringlength;
            return elements + (item ? 1 : 0);
        case tok::Comma:
            if (item) ++elements;
            item = false;
            break;
        case tok::LBrace:
        case tok::LParen:
        case tok::LBrack:
            item = true;
            skipgroup(P);
            break;
        case tok::String:
            if (!item && elements == 0) stringlength = t->lit ? t->lit->length + 1 : 1;
            item = true;
            break;
        default:
            item = true;
            noteuse(P, t);
            break;
        }
    }
}

}  // namespace

// Stands in for the full definition of a function until statements are
// parsed: old-style parameter declarations and the body are read over.
int funcdef(Parser& P, Symbol* s, uint32_t) {
    TypeNode* f = s->type;
    bool identlist = f && f->params && !f->params->type;
    Token* t = nexttoken(P);
    if (identlist && (startstypename(P, t) || t->code == kw::Register)) {
        while (t->code != tok::LBrace && t->code != tok::End) t = nexttoken(P);
    }
    if (t->code != tok::LBrace) {
        pushtoken(P);
        if (s->sclass == sc::None && !(s->flags & sf::Written)) s->sclass = sc::Extern;
        return 0;
    }
    if (s->flags & sf::Written) putdiag(P, "redeclared function %.*s", namelength(s->name), nametext(s->name));
    marktypes(P);
    P.decl.infunction = true;
    skipgroup(P);
    P.decl.infunction = false;
    // the function would be written here: its space names go first
    if (!P.errors) putspaces(P);
    releasestmts(P);
    releaseexprs(P);
    releasetypes(P);
    s->flags |= sf::Declared | sf::Written;
    return 1;
}

int defglobal(Parser& P, Symbol* s) {
    if (nexttoken(P)->code == tok::Assign) {
        if (s->flags & sf::Written) putdiag(P, "redeclared external %.*s", namelength(s->name), nametext(s->name));
        if (s->sclass == sc::Extern) s->sclass = sc::None;
        s->flags |= sf::Written | sf::Referenced;
        putspaces(P);
        putdatalabel(P, s);
        if ((s->attributes & (attr::Const | attr::Volatile)) == attr::Const) {
            // a const object keeps its values for constant replacement
            s->valueexpr = initvalues(P, &s->type);
        } else {
            uint32_t count = skipinitializer(P, s->type);
            if (count && s->type && s->type->code == ty::Array && s->type->count() == 0) {
                TypeNode* a = newtype(P, ty::Array, s->type->subtype);
                a->detail = count;
                s->type = a;
            }
        }
        putenddata(P);
        return 1;
    }
    pushtoken(P);
    if (s->type && s->type->code == ty::Void && s->sclass != sc::Extern) putdiag(P, "invalid void declaration");
    return s->sclass != sc::Extern;
}

void parsealias(Parser& P, Symbol* s) {
    if (s->flags & sf::Referenced) putdiag(P, "redefined alias %.*s", namelength(s->name), nametext(s->name));
    ExprNode* e = assignexpr(P);
    if (e) foldexpr(P, e, 0);
    bool isleaf = e && e->op == 0 && !(e->leafbits & leaf::Literal);
    if (isleaf && !(e->leafbits & leaf::Symbol) && !(e->leafbits & leaf::Contents)) {
        s->value = e->value;
    } else if (isleaf && e->sym && e->sym->sclass == sc::Placed) {
        s->value = e->sym->value + e->value;  // the offset after the placed symbol counts
    } else {
        putdiag(P, "bad alias expression");
    }
    s->sclass = sc::Placed;
    putspaces(P);
    putdatalabel(P, s);
}

namespace {

// A new file-level name, or one that was only used so far (it keeps its
// uses).
Symbol* enter(Parser& P, Decl& d, Symbol* used = nullptr) {
    Symbol* s = used;
    if (s) {
        s->sclass = d.s.sclass;
        s->type = d.s.type;
        s->flags |= d.s.flags;
    } else {
        s = newsym(P, &P.syms.scopes.ordinary, d.s.name, d.s.sclass, d.s.type);
        s->flags = d.s.flags;
        s->useline = d.line;
        s->usecolumn = d.column;
    }
    s->attributes = d.s.attributes;
    s->value = d.s.value;
    if (s->sclass != sc::Typedef) {
        applyattribute(P, s);
        s->attributes = defaultspace(P, s->attributes, s->sclass, s->type ? s->type->code : 0);
    }
    s->flags |= sf::Declared;
    return s;
}

// A name declared before: the earlier symbol is kept and completed, or the
// declaration goes on without being entered.
Symbol* redeclare(Parser& P, Symbol* old, Decl& d) {
    const unsigned char* name = d.s.name;
    const char* msg = nullptr;
    if (old->sclass == sc::Typedef || d.s.sclass == sc::Typedef)
        msg = "redeclared typedef %.*s";
    else if (old->sclass == sc::Placed)
        msg = "redeclared localized %.*s";
    else if (!sametype(P, old->type, d.s.type) || (d.s.sclass == sc::Static && old->sclass != sc::Static) ||
             (P.opt.sa && ((old->attributes ^ d.s.attributes) & (attr::Const | attr::Volatile))))
        msg = "redeclared external %.*s";
    if (msg) {
        // reported at the name being redeclared
        putdiagat(P, d.line, d.column, namelength(name), msg, namelength(name), nametext(name));
        return placeholder(P, d, name);
    }
    bool plain = d.s.sclass == sc::Extern || d.s.sclass == sc::None;
    if (plain && isfunction(d.s.type) && isfunction(old->type) && !old->type->params) {
        old->type = d.s.type;
        old->attributes = defaultspace(P, d.s.attributes, old->sclass, ty::Function);
    }
    if (old->sclass == sc::Extern && d.s.sclass == sc::None) {
        old->sclass = sc::None;
        old->declline = srcline(P);
    }
    mergedecl(old->type, d.s.type);
    mergespace(P, old, d.s.attributes);
    return old;
}

}  // namespace

void extdecl(Parser& P) {
    Scopes& S = P.syms.scopes;
    Decl spec;
    uint32_t classes = allow::File | (P.opt.c99 ? allow::Inline : 0);
    declspecs(P, spec, classes);
    bool declared = spec.declares;
    bool warned = false;
    for (;;) {
        Decl d = spec;
        if (!declarator(P, d)) break;
        declared = true;
        if (d.implicitint && !warned) {
            putdiag(P, "W5implicit int type in global declaration");
            warned = true;
        }
        // With -x a qualified basic type gets a node of its own, so that its
        // debug description can carry the attributes.
        if (P.opt.x && d.s.attributes && d.s.type) {
            TypeNode** slot = isfunction(d.s.type) ? &d.s.type->subtype : &d.s.type;
            TypeNode* b = *slot;
            if (b && (ty::isinteger(b->code) || ty::isfloating(b->code)) && !ty::isbitfield(b->code)) {
                TypeNode* copy = newtype(P, b->code, nullptr);
                *slot = copy;
            }
        }
        if (d.s.sclass == sc::Inline) {
            if (isfunction(d.s.type))
                d.s.attributes |= attr::Inline;
            else
                putdiag(P, "invalid inline specifier");
            d.s.sclass = sc::None;
        }
        Symbol* s;
        if (!d.s.name) {
            putdiag(P, "missing name in declaration");
            s = placeholder(P, d, internname(P, "<missing>", 9));
        } else if (Symbol* old = lookupsym(P, d.s.name, &S.ordinary, nullptr)) {
            s = (old->flags & sf::Declared) ? redeclare(P, old, d) : enter(P, d, old);
        } else {
            s = enter(P, d);
        }
        bool istypedef = s->sclass == sc::Typedef;
        if (!istypedef) s->flags |= sf::FileLevel;
        if (s->sclass == sc::Static && (s->value & 0xFFFF) == 0) s->value = nextlabel(P);
        if (istypedef && P.opt.xx) notefilesym(P, s);

        bool defines = false;
        if (nexttoken(P)->code == tok::At) {
            parsealias(P, s);
            defines = !isfunction(s->type);
            notefilesym(P, s);
        } else {
            pushtoken(P);
            if (isfunction(s->type) && !istypedef) {
                if (funcdef(P, s, s->declline)) {
                    if (d.fromtypedef && !d.funcsuffix) putdiag(P, "invalid function declaration");
                    P.decl.definition = true;
                    notefilesym(P, s);
                    return;
                }
                if (d.s.type->params && !d.s.type->params->type) putdiag(P, "useless argument list");
            } else if (!istypedef) {
                defines = defglobal(P, s) != 0;
                if (defines) notefilesym(P, s);
            }
        }
        if (defines) P.decl.definition = true;
        if (nexttoken(P)->code != tok::Comma) {
            pushtoken(P);
            break;
        }
    }
    if (!declared) putdiag(P, "incomplete declaration");
    // A declaration that went wrong is read over to its ';'.
    P.ts.s.target = tok::Semi;
    expecttoken(P, tok::Semi);
    P.ts.s.target = 0;
}

}  // namespace cpppc

// External declarations: one declaration or function definition of the
// translation unit per call of extdecl, with the checks of redeclarations,
// placements at fixed addresses ("@" address or alias), and the file-level
// bookkeeping (labels of statics, the file's declaration list, whether the
// unit defines anything).
//
// Function definitions go on in funcdef.cpp, initializers in init.cpp.
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

}  // namespace

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
    Decl common;
    uint32_t classes = allow::File | (P.opt.c99 ? allow::Inline : 0);
    declhead(P, common, classes);
    bool declared = common.declares;
    bool warned = false;
    for (;;) {
        Decl d = common;
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

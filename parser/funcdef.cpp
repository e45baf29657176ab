// Function definitions: old-style parameter declarations, the layout of
// the parameters in the frame, the body (stmt.cpp), the per-function
// pipeline (later.cpp) and the release of every record of the function.
// An inline function is parsed and checked like any other, but its body's
// tokens are recorded and nothing is written: each call replays them
// (inline.cpp).
//
// function-definition := declarator [ old-style-parameters ] compound
// old-style-parameters := { declaration-specifiers declarator { ',' declarator } ';' }
#include "parser/exprtree.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

// The types of a symbol that outlives the function, out of the recycled
// pool: pointer, array and function steps are copied to permanent nodes.
TypeNode* permanenttype(Parser& P, TypeNode* t, int depth) {
    if (!t || depth > 64) return t;
    switch (t->code) {
    case ty::Pointer:
    case ty::Array:
    case ty::Function: break;
    default: return t;
    }
    TypeNode* c = newtype(P, static_cast<uint16_t>(t->code | ty::Permanent), nullptr);
    TypeNode* link = c->link;
    *c = *t;
    c->link = link;
    c->subtype = permanenttype(P, t->subtype, depth + 1);
    if (t->code == ty::Function)
        for (Symbol* p = c->params; p; p = p->next) p->type = permanenttype(P, p->type, depth + 1);
    return c;
}

// A parameter's promoted type; float stays float with -f.
TypeNode* promoted(Parser& P, TypeNode* t) { return promotetype(P, t, 1); }

Symbol* newparam(Parser& P, const unsigned char* name, uint8_t sclass, TypeNode* type, uint16_t attributes) {
    Symbol* s = newsym(P, &P.syms.scopes.ordinary, name, sclass, type);
    s->attributes = attributes;
    s->flags = sf::Declared;
    s->declstamp = P.syms.sequence;
    return s;
}

// Releases a list of symbols to the free list.
void releaselist(Parser& P, Symbol* list) {
    if (list) popscope(P, &list, nullptr);
}

class FunctionParser {
public:
    FunctionParser(Parser& p, Symbol* s) : P(p), S(p.syms.scopes), fs(s), f(s->type) {}

    int run(uint32_t line) {
        savedmark = S.ordinarymark;
        savedtagmark = S.tagmark;
        S.ordinarymark = S.ordinary;
        S.tagmark = S.tags;
        head = S.ordinary;
        taghead = S.tags;
        marktypes(P);
        savedattr = fs->attributes;
        fs->attributes &= static_cast<uint16_t>(~attr::Volatile);
        bool proto = f->params && f->params->type;
        bool variadic = false;
        if (proto) {
            const Symbol* p = f->params;
            while (p && codeof(p->type) != ty::Void) p = p->next;
            variadic = !p;
        }
        if (variadic) fs->attributes |= attr::Volatile;
        bool usedbefore = (fs->flags & (sf::Referenced | sf::Called)) != 0;
        bool identlist = f->params && !f->params->type;
        bool olddecls = identlist && oldstyle();
        Token* brace = nexttoken(P);
        if (brace->code != tok::LBrace) {
            if (olddecls) putdiag(P, "bad function declaration");
            popscope(P, &S.ordinary, head);
            S.ordinarymark = savedmark;
            S.tagmark = savedtagmark;
            pushtoken(P);
            if (fs->sclass == sc::None && !(fs->flags & sf::Written)) fs->sclass = sc::Extern;
            fs->attributes = savedattr;
            return 0;
        }
        uint32_t braceline = brace->line;
        for (Symbol* s = S.ordinary; s; s = s->next) {
            s->weight = 0;
            s->blocklink = nullptr;
        }
        // what the prototype declared is seen by the body
        for (Symbol* c = f->members; c; c = c->next) {
            Symbol* e = newsym(P, &S.ordinary, c->name, c->sclass, c->type);
            e->value = c->value;
            e->flags = c->flags;
            e->attributes = c->attributes;
        }
        for (Symbol* t = f->prototags; t; t = t->next) {
            Symbol* e = newsym(P, &S.tags, t->name, t->sclass, t->type);
            e->flags = t->flags;
        }
        uint32_t paramsize = layout(identlist);
        if (variadic && (fs->attributes & attr::Nostack)) putdiag(P, "variable arguments not allowed in nostack mode");
        if (fs->flags & sf::Written) putdiag(P, "redeclared function %.*s", namelength(fs->name), nametext(fs->name));

        FuncState& F = P.fn;
        F.func = fs;
        P.ex.defining = fs;
        P.decl.infunction = true;
        F.compounds = F.lastcompound = F.switches = F.lastswitch = F.curswitch = nullptr;
        F.loops = nullptr;
        F.loopstore.clear();
        F.calls = F.returnedcalls = 0;
        F.attributes = fs->attributes;
        F.rettype = f->subtype;
        F.braceline = braceline;
        uint16_t rc = codeof(F.rettype);
        if ((rc == ty::Struct || rc == ty::Union) && !basetype(F.rettype)->members) putdiag(P, "incomplete return type");
        P.ex.calls = 0;
        P.ex.loopdepth = 0;
        P.ex.inlinecalls = 0;
        F.expnest = 0;
        F.expcount = 0;
        F.toolarge = false;
        forgetall(P);
        bool isinline = fs->attributes & attr::Inline;
        if (isinline) {
            fs->flags |= sf::Expanding;
            F.recordings.emplace_back();
            fs->body = &F.recordings.back();
            F.recording = true;
            startrecording(P, fs->body, brace);
        }
        StmtNode* body = parseblock(P, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (isinline) {
            stoprecording(P);
            F.recording = false;
        }
        fs->flags &= ~sf::Expanding;
        for (Symbol* l = S.labels; l; l = l->next)
            if ((l->flags & sf::Referenced) && !(l->flags & sf::Declared))
                putdiag(P, "undefined label %.*s", namelength(l->name), nametext(l->name));
        if (P.ex.calls) fs->flags |= sf::Promoted;
        F.calls = P.ex.calls;

        // the pipeline
        if (P.errors) {
            fs->attributes &= static_cast<uint16_t>(~attr::Inline);
            savedattr &= static_cast<uint16_t>(~attr::Inline);
            fs->body = nullptr;
            lowerfunc(P, body);
        } else if (isinline) {
            inlineprototype(usedbefore);
        } else {
            if (!P.opt.an) {
                finishloops(P, body);
                if (!P.opt.ns) flowlocals(P, body);
                assignregs(P, body);
                putspaces(P);
                int32_t cp = P.opt.cp;
                P.opt.cp = 1;
                lowerfunc(P, body);
                P.opt.cp = cp;
            }
            putfunc(P, fs, body, line, braceline, paramsize);
        }
        if (P.onfunction) P.onfunction(P, fs, body);
        release(body);
        return 1;
    }

private:
    Parser& P;
    Scopes& S;
    Symbol* fs;
    TypeNode* f;
    Symbol *savedmark = nullptr, *savedtagmark = nullptr, *head = nullptr, *taghead = nullptr;
    uint16_t savedattr = 0;

    // The declarations of an identifier list's names; true when there were any.
    bool oldstyle() {
        bool any = false, warned = false, reported = false;
        for (;;) {
            Token* t = nexttoken(P);
            bool starts = startstypename(P, t) || t->code == kw::Register;
            pushtoken(P);
            if (!starts) break;
            if (P.opt.p && !reported) {
                putdiag(P, "old style argument declaration");
                reported = true;
            }
            any = true;
            Decl common;
            declhead(P, common, allow::Param);
            for (;;) {
                Decl d = common;
                if (!declarator(P, d)) break;
                if (d.implicitint && !warned) {
                    putdiag(P, "W5implicit int type in argument declaration");
                    warned = true;
                }
                if (!d.s.name) {
                    putdiag(P, "missing argument name");
                } else {
                    Symbol* listed = nullptr;
                    for (Symbol* p = f->params; p; p = p->next)
                        if (p->name == d.s.name) listed = p;
                    if (!listed) {
                        putdiag(P, "%.*s not an argument", namelength(d.s.name), nametext(d.s.name));
                    } else {
                        uint8_t cls = d.s.sclass == kw::Register ? sc::RegParam : sc::Param;
                        Symbol* s = newparam(P, d.s.name, cls, d.s.type, d.s.attributes);
                        paramtopointer(P, s);
                        s->attributes = defaultspace(P, s->attributes, sc::Param, codeof(s->type));
                    }
                }
                if (nexttoken(P)->code != tok::Comma) {
                    pushtoken(P);
                    break;
                }
            }
            if (nexttoken(P)->code != tok::Semi) {
                pushtoken(P);
                putdiag(P, "missing ; in argument declaration");
                for (;;) {
                    Token* r = nexttoken(P);
                    if (r->code == tok::Semi) break;
                    if (r->code == tok::LBrace || r->code == tok::End) {
                        pushtoken(P);
                        break;
                    }
                }
            }
        }
        return any;
    }

    void place(Symbol* s, uint32_t& offset) {
        TypeNode* pt = promoted(P, s->type);
        offset = static_cast<uint32_t>(alignup(static_cast<int32_t>(offset), pt));
        s->value = offset;
        offset += typesize(P, pt);
        s->flags |= sf::Declared;
        if (pt != s->type && !sametype(P, pt, s->type)) s->flags |= sf::Promoted;
    }

    // The parameters in list order from offset 0; the bytes they take.
    uint32_t layout(bool identlist) {
        uint32_t offset = 0;
        bool isinline = fs->attributes & attr::Inline;
        P.fn.params.clear();
        if (identlist) {
            for (Symbol* p = f->params; p; p = p->next) {
                Symbol* s = lookupsym(P, p->name, &S.ordinary, head);
                if (!s) {
                    s = newparam(P, p->name, sc::Param, P.types.sint, 0);
                    s->attributes = defaultspace(P, 0, sc::Param, ty::Int);
                }
                place(s, offset);
                P.fn.params.push_back(s);
            }
            return offset;
        }
        uint16_t paramdefault = defaultspace(P, 0, sc::Param, ty::Int) & attr::Space;
        for (Symbol* p = f->params; p; p = p->next) {
            if (codeof(p->type) == ty::Void && !p->name) break;
            if (!p->name) {
                putdiag(P, "missing argument name");
                continue;
            }
            bool reg = p->sclass == kw::Register;
            uint8_t cls = isinline ? (reg ? sc::Register : sc::Auto) : (reg ? sc::RegParam : sc::Param);
            Symbol* s = newparam(P, p->name, cls, p->type, p->attributes);
            if (codeof(p->type) != ty::Pointer && codeof(p->type) != ty::Function && (p->attributes & attr::Space) &&
                (p->attributes & attr::Space) != paramdefault)
                putdiag(P, "invalid space for argument %.*s", namelength(p->name), nametext(p->name));
            place(s, offset);
            P.fn.params.push_back(s);
        }
        return offset;
    }

    // An inline function's prototype takes from the body's parameter
    // locals what the expansions need to bind arguments.
    void inlineprototype(bool usedbefore) {
        bool proto = f->params && f->params->type;
        if (!proto) {
            putdiag(P, "missing prototype for inline function %.*s", namelength(fs->name), nametext(fs->name));
            f->params = nullptr;
        } else {
            const Symbol* p = f->params;
            while (p && codeof(p->type) != ty::Void) p = p->next;
            if (!p) putdiag(P, "invalid prototype for inline function %.*s", namelength(fs->name), nametext(fs->name));
        }
        for (Symbol* p = f->params; p; p = p->next) {
            if (!p->name) continue;
            Symbol* local = nullptr;
            for (Symbol* s = S.ordinary; s && s != head; s = s->next)
                if (s->name == p->name) local = s;
            if (!local) continue;
            p->flags = (p->flags & ~(sf::Referenced | sf::Untracked | sf::Assigned)) |
                       (local->flags & (sf::Referenced | sf::Untracked | sf::Assigned));
            p->weight = local->weight;
        }
        if (fs->sclass == sc::Static) fs->sclass = sc::None;
        if (usedbefore)
            putdiag(P, "usage conflict for inline function %.*s", namelength(fs->name), nametext(fs->name));
    }

    void release(StmtNode*) {
        FuncState& F = P.fn;
        releaselist(P, S.labels);
        S.labels = nullptr;
        releaselist(P, S.inlinelabels);
        S.inlinelabels = nullptr;
        for (StmtNode* c = F.compounds; c; c = c->aux) {
            releaselist(P, c->locals);
            c->locals = nullptr;
        }
        for (StmtNode* w = F.switches; w; w = w->nextswitch) {
            releaselist(P, w->cases);
            w->cases = nullptr;
        }
        popscope(P, &S.ordinary, head);
        popscope(P, &S.tags, taghead);
        S.ordinarymark = savedmark;
        S.tagmark = savedtagmark;
        F.compounds = F.lastcompound = F.switches = F.lastswitch = F.curswitch = nullptr;
        F.func = nullptr;
        F.loops = nullptr;
        F.loopstore.clear();
        F.temps.clear();
        F.itemps.clear();
        F.loopnotes.clear();
        P.ex.defining = nullptr;
        releasestmts(P);
        releaseexprs(P);
        releasetypes(P);
        fs->flags |= sf::Declared | sf::Written;
        P.decl.infunction = false;
        fs->attributes = savedattr;
    }
};

}  // namespace

void makepermanent(Parser& P, Symbol* s) {
    if (s) s->type = permanenttype(P, s->type, 0);
}

int funcdef(Parser& P, Symbol* s, uint32_t line) {
    if (P.decl.infunction) {
        // a definition inside a body (never reached from extdecl)
        return 0;
    }
    FunctionParser fp(P, s);
    return fp.run(line);
}

}  // namespace cpppc

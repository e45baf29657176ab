// The symbol table: making and finding symbols, scope lists, the node pools
// and the run-wide counters (label numbers, sequence stamps).
//
// Scope lists are plain lists, newest first, and a lookup means "the first
// symbol of this name from the head of the list up to the stop symbol". The
// ordinary and tag lists of a large unit are long, so those two lookups do
// not walk them: every name keeps the chain of its symbols in insertion
// order, and each symbol knows the list it is on (home) and its insertion
// serial. The first symbol of the chain that is on the list, newer than the
// stop symbol and not hidden is the one the walk would have found.
#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

void indexname(Symbol* s) {
    if (!s->name) return;
    Symbol*& head = namesyms(s->name);
    s->prevsamename = nullptr;
    s->samename = head;
    if (head) head->prevsamename = s;
    head = s;
}

void unindexname(Symbol* s) {
    if (!s->name) return;
    if (s->prevsamename)
        s->prevsamename->samename = s->samename;
    else if (namesyms(s->name) == s)
        namesyms(s->name) = s->samename;
    if (s->samename) s->samename->prevsamename = s->prevsamename;
    s->samename = s->prevsamename = nullptr;
}

bool isindexed(Parser& P, Symbol** list) {
    return list == &P.syms.scopes.ordinary || list == &P.syms.scopes.tags;
}

}  // namespace

Symbol* newsym(Parser& P, Symbol** list, const unsigned char* name, uint8_t sclass, TypeNode* type) {
    SymbolTable& T = P.syms;
    Symbol* s = T.freesyms;
    if (s) {
        T.freesyms = s->next;
        *s = Symbol{};
    } else {
        T.store.emplace_back();
        s = &T.store.back();
    }
    s->name = name;
    s->sclass = sclass;
    s->type = type;
    s->declline = srcline(P);
    s->serial = ++T.serial;
    if (name) {
        namemark(name) = 1;
        indexname(s);
    }
    if (list) {
        s->next = *list;
        *list = s;
        s->home = list;
    }
    return s;
}

Symbol* lookupsym(Parser& P, const unsigned char* name, Symbol** list, Symbol* stop) {
    if (!name || !namemark(name)) return nullptr;
    if (isindexed(P, list)) {
        for (Symbol* s = namesyms(name); s; s = s->samename) {
            if (stop && s->serial <= stop->serial) break;
            if (s->home == list && !(s->flags & sf::Hidden)) return s;
        }
        return nullptr;
    }
    for (Symbol* s = *list; s && s != stop; s = s->next)
        if (s->name == name && !(s->flags & sf::Hidden)) return s;
    return nullptr;
}

Symbol* findordinary(Parser& P, const unsigned char* name) {
    Scopes& S = P.syms.scopes;
    if (S.protodepth > 0)
        if (Symbol* s = lookupsym(P, name, &S.protoordinary, nullptr)) return s;
    return lookupsym(P, name, &S.ordinary, nullptr);
}

Symbol* popscope(Parser& P, Symbol** list, Symbol* marker) {
    Symbol* s = *list;
    while (s && s != marker) {
        Symbol* next = s->next;
        unindexname(s);
        s->home = nullptr;
        s->next = P.syms.freesyms;
        P.syms.freesyms = s;
        s = next;
    }
    *list = marker;
    return marker;
}

Symbol* cutscope(Parser&, Symbol** list, Symbol* marker) {
    Symbol* head = *list;
    if (head == marker) return nullptr;
    Symbol* last = head;
    for (;;) {
        last->home = nullptr;
        if (last->next == marker) break;
        last = last->next;
    }
    last->next = nullptr;
    *list = marker;
    return head;
}

void linksym(Parser& P, Symbol** list, Symbol* s) {
    unindexname(s);
    s->serial = ++P.syms.serial;
    indexname(s);
    s->next = *list;
    *list = s;
    s->home = list;
}

TypeNode* newtype(Parser& P, uint16_t code, TypeNode* subtype) {
    TypeNode* t = (code & ty::Permanent) ? P.syms.types.permanent() : P.syms.types.take();
    t->code = code & 0xFF;
    t->subtype = subtype;
    return t;
}

StmtNode* newstmt(Parser& P, uint8_t kind) {
    StmtNode* s = P.syms.stmts.take();
    s->kind = kind;
    return s;
}

ExprNode* newexpr(Parser& P, uint8_t op) {
    ExprNode* e = P.syms.exprs.take();
    e->op = op;
    return e;
}

void marktypes(Parser& P) { P.syms.types.mark(); }
void releasetypes(Parser& P) { P.syms.types.release(); }
void releasestmts(Parser& P) { P.syms.stmts.release(); }
void releaseexprs(Parser& P) {
    forgetall(P);  // the known values of the released trees go with them
    P.syms.exprs.release();
}

uint32_t nextlabel(Parser& P) {
    P.syms.label += 2;
    // Label numbers travel in 16-bit fields of the intermediate file.
    if (P.syms.label >= 65536) putdiag(P, "file too large for label information");
    return P.syms.label;
}

uint32_t nextstamp(Parser& P) { return ++P.syms.sequence; }

}  // namespace cpppc

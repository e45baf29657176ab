// Switches that need no table: a switch on a constant becomes a jump to
// the case that matches, a switch left with one case an if, one without
// cases a block entered at its default. A switch whose body holds a goto
// label keeps its body whenever control could reach it that way.
#include <unordered_set>

#include "parser/exprtree.h"

namespace cpppc {

namespace {

using Targets = std::unordered_set<const StmtNode*>;

// The statements that goto labels name.
Targets gototargets(Parser& P) {
    Targets t;
    for (Symbol* l = P.syms.scopes.labels; l; l = l->next)
        if (l->stmt) t.insert(l->stmt);
    for (Symbol* l = P.syms.scopes.inlinelabels; l; l = l->next)
        if (l->stmt) t.insert(l->stmt);
    return t;
}

bool haslabelin(const Targets& t, const StmtNode* s, int depth = 0);

bool haslabelin(const Targets& t, const ExprNode* e, int depth) {
    for (; e && depth < 400; e = e->right) {
        if (e->op == opc::Sequence)
            for (const StmtNode* s = e->stmts; s; s = s->next)
                if (haslabelin(t, s, depth + 1)) return true;
        if (haslabelin(t, e->left, depth + 1) || haslabelin(t, e->middle, depth + 1)) return true;
    }
    return depth >= 400;
}

// Whether a goto could enter the statement (too deep counts as yes).
bool haslabelin(const Targets& t, const StmtNode* s, int depth) {
    if (!s) return false;
    if (depth >= 400 || t.count(s)) return true;
    if (s->kind == sk::Compound) {
        for (const StmtNode* c = s->body; c; c = c->next)
            if (haslabelin(t, c, depth + 1)) return true;
        return false;
    }
    if (haslabelin(t, s->expr, depth + 1) || haslabelin(t, s->init, depth + 1) || haslabelin(t, s->incr, depth + 1))
        return true;
    bool jump = s->kind == sk::Break || s->kind == sk::Continue;
    return (!jump && haslabelin(t, s->body, depth + 1)) || (s->kind == sk::If && haslabelin(t, s->aux, depth + 1));
}

// A goto statement (no expression) to the statement, at its positions.
StmtNode* newgoto(Parser& P, StmtNode* at, StmtNode* target) {
    StmtNode* g = newstmt(P, sk::Goto);
    g->firstline = at->firstline;
    g->firstcol = at->firstcol;
    g->lastline = at->lastline;
    g->lastcol = at->lastcol;
    g->file = at->file;
    Symbol* l = newsym(P, nullptr, nullptr, 0, nullptr);
    l->stmt = target;
    l->flags = sf::Declared | sf::Referenced;
    g->gotolabel = l;
    g->flags = sflag::NoComplete;
    return g;
}

void prepend(StmtNode* compound, StmtNode* s) {
    s->next = compound->body;
    compound->body = s;
}

// After a constant switch's jump: the statements up to the target (or a
// goto label) cannot be reached, nor those after a break up to the next
// goto label.
void markskipped(const Targets& t, StmtNode* first, StmtNode* target) {
    bool skipping = true;
    for (StmtNode* s = first; s; s = s->next) {
        if (s == target || haslabelin(t, s)) skipping = false;
        if (skipping) s->flags |= sflag::Unreachable;
        else if (s->kind == sk::Break) skipping = true;
    }
}

void toexprstmt(Parser& P, StmtNode* st, ExprNode* value) {
    st->kind = sk::Expr;
    st->expr = value && !isfree(P, value) ? value : nullptr;
    st->body = nullptr;
    st->cases = nullptr;
}

}  // namespace

void lowerswitch(Parser& P, StmtNode* st) {
    ExprNode* value = st->expr;
    if (!value || !st->body) return;
    TypeNode* vt = value->type;
    ExprNode* last = value;
    while (last && last->op == opc::Sequence) last = last->right;
    if (last) vt = last->type;
    bool isunsigned = isunsignedcode(codeof(vt));
    Symbol* deflt = nullptr;
    int ncases = 0;
    for (Symbol* c = st->cases; c; c = c->next) {
        if (c->sclass == sc::DefaultLabel)
            deflt = c;
        else
            ++ncases;
    }
    bool constant = isintconst(value);
    Symbol* match = nullptr;
    if (constant)
        for (Symbol* c = st->cases; c; c = c->next) {
            if (c->sclass != sc::CaseLabel) continue;
            if (isunsigned && static_cast<int32_t>(c->value) < 0) constant = false;
            if (c->value == value->value) match = c;
        }
    StmtNode* body = st->body;
    bool compound = body->kind == sk::Compound;
    Targets targets = gototargets(P);
    if (!st->cases) {
        // never entered but through a goto
        if (!haslabelin(targets, body)) toexprstmt(P, st, value);
        return;
    }

    if (constant) {
        Symbol* to = match ? match : deflt;
        if (!to) {
            if (!haslabelin(targets, body)) toexprstmt(P, st, nullptr);
            return;
        }
        if (!compound && body != to->stmt) return;
        st->kind = sk::Block;
        st->expr = nullptr;
        if (compound) {
            markskipped(targets, body->body, to->stmt);
            prepend(body, newgoto(P, st, to->stmt));
        }
        return;
    }
    if (!ncases) {
        // only a default: the block is entered there
        if (!deflt || !compound) return;
        st->kind = sk::Block;
        st->expr = value;
        prepend(body, newgoto(P, st, deflt->stmt));
        return;
    }
    if (ncases != 1 || value->op == opc::Sequence || !compound) return;
    Symbol* only = nullptr;
    for (Symbol* c = st->cases; c; c = c->next)
        if (c->sclass == sc::CaseLabel) only = c;
    ExprNode* k = mkconst(P, only->value, isunsigned ? P.types.uint : P.types.sint);
    ExprNode* cond = binop(P, mknode(P, 79, P.types.sint, value, k));
    if (!cond || !iscompare(cond->op)) return;
    st->kind = sk::If;
    st->expr = cond;
    st->aux = deflt ? newgoto(P, st, deflt->stmt) : nullptr;
    prepend(body, newgoto(P, st, only->stmt));
}

}  // namespace cpppc

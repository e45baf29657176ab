// Common subexpressions of one statement: every node gets a value number
// (equal numbers, equal computations), the repeated ones are ranked by cost
// times count, and the best are bound: a binding node (182) above the
// lowest node that holds every occurrence computes the value once into a
// register, and each occurrence becomes a reference (118) to it.
//
// Volatile leaves and indirections are never numbered alike: each read of a
// volatile object happens as written.
#include "generator/gen.h"

namespace cg {

bool isvolatile(const GenNode* n) { return (n->leafflags & LF_VOLATILE) || (n->attr & GF_VOLATILE); }

namespace {

struct Entry {
    uint32_t number = 0;
    uint32_t count = 0;
    int32_t cost = 0;
    GenNode* node = nullptr;
};

struct Numbering {
    std::vector<Entry> list;   // newest last
    std::vector<std::pair<GenNode*, uint32_t>> numbers;
    std::vector<std::pair<GenNode*, int32_t>> costs;

    uint32_t num(const GenNode* n) const {
        for (auto& p : numbers)
            if (p.first == n) return p.second;
        return 0;
    }
    int32_t cost(const GenNode* n) const {
        for (auto& p : costs)
            if (p.first == n) return p.second;
        return 0;
    }
    Entry* entry(uint32_t number) {
        for (Entry& e : list)
            if (e.number == number) return &e;
        return nullptr;
    }
};

bool hasright(const GenNode* n) { return (n->op & 0x80) && n->right; }

bool sameplace(const GenNode* a, const GenNode* b) {
    return a->storage == b->storage && a->indexstorage == b->indexstorage && a->indir == b->indir &&
           (a->leafflags & ~uint32_t{LF_VOLATILE}) == (b->leafflags & ~uint32_t{LF_VOLATILE}) &&
           unsignedtype(a->typecode()) == unsignedtype(b->typecode()) && a->name == b->name && a->value == b->value &&
           a->fbits == b->fbits;
}


uint32_t valnum(Numbering& V, GenNode* n, int mode) {
    int32_t cost = 0;
    Entry* found = nullptr;
    if (n->isleaf()) {
        if (isplainconst(n)) {
            int32_t v = n->value;
            cost = (v < -524288 || v > 524287) ? 2 : (v < 0 || v > 127) ? 1 : 0;
        }
        // a volatile object is read each time it is named
        if (!(n->indir && isvolatile(n)) && !isbitfield(n->type) && !(mode & 2)) {
            for (Entry& e : V.list)
                if (e.node->isleaf() && sameplace(e.node, n)) found = &e;
        }
    } else {
        int op = n->op;
        if (op == ir::O_CALL || op == ir::O_CALLARGS || op == ir::O_ASM || op == ir::O_ASMARGS) return 0;
        if (!(mode & 1) && (isasgn(op) || op == ir::O_ASSIGN || op == ir::O_POSTINC || op == ir::O_POSTDEC ||
                            op == 114 || op == 115))
            return 0;
        if (op == G_CSEREF || op == G_CSEBIND) return 0;
        uint32_t mid = 0, right = 0, left = 0;
        if (op == ir::O_COND && !(mid = valnum(V, n->middle, 0))) return 0;
        if (hasright(n) && !(right = valnum(V, n->right, 0))) return 0;
        bool written = isasgn(op) || op == ir::O_ASSIGN || op == ir::O_POSTINC || op == ir::O_POSTDEC;
        if (!(left = valnum(V, n->left, (mode & 1) && written ? 2 : 0))) return 0;
        if (op == ir::O_IND && written) return 0;
        bool shareable = !(op == ir::O_IND && ((mode & 2) || isbitfield(n->type) || isvolatile(n))) && !written &&
                         op != ir::O_COMMA;
        if (shareable) {
            for (Entry& e : V.list) {
                GenNode* m = e.node;
                if (m->isleaf() || m->op != op || unsignedtype(m->typecode()) != unsignedtype(n->typecode())) continue;
                if (m->type != n->type) continue;
                if (op == ir::O_COND && V.num(m->middle) != mid) continue;
                uint32_t ml = V.num(m->left), mr = hasright(m) ? V.num(m->right) : 0;
                bool direct = ml == left && mr == right;
                bool cross = iscommut(op) && ml == right && mr == left;
                if (direct || cross) found = &e;
            }
        }
        if (op == ir::O_IND) {
            int32_t pc = V.cost(n->left);
            cost = pc ? pc + 1 : 0;
        } else {
            cost = 2 + V.cost(n->left) + (hasright(n) ? V.cost(n->right) : 0) + (op == ir::O_COND ? V.cost(n->middle) : 0);
        }
        if (!shareable) {
            V.list.push_back({static_cast<uint32_t>(V.list.size() + 1), 1, 0, n});
            V.numbers.push_back({n, V.list.back().number});
            V.costs.push_back({n, cost});
            V.list.back().count = 0;  // never bound
            return V.list.back().number;
        }
    }
    if (n->isleaf() && n->indir && isvolatile(n)) {
        V.list.push_back({static_cast<uint32_t>(V.list.size() + 1), 0, 0, n});
        V.numbers.push_back({n, V.list.back().number});
        V.costs.push_back({n, cost});
        return V.list.back().number;
    }
    if (found) {
        ++found->count;
    } else {
        V.list.push_back({static_cast<uint32_t>(V.list.size() + 1), 1, 0, n});
        found = &V.list.back();
    }
    V.numbers.push_back({n, found->number});
    V.costs.push_back({n, cost});
    return found->number;
}

uint32_t replaceuses(Gen& G, Numbering& V, GenNode*& slot, const Entry& e, GenNode* bind) {
    GenNode* x = slot;
    if (!x) return 0;
    if (x != e.node && V.num(x) == e.number) {
        GenNode* r = newnode(G);
        makenode(r, G_CSEREF, e.node->type, e.node->attr, bind->left, zeroleaf(G));
        slot = r;
        return 1;
    }
    if (x == e.node) {
        GenNode* r = newnode(G);
        makenode(r, G_CSEREF, e.node->type, e.node->attr, bind->left, zeroleaf(G));
        slot = r;
        return 1;
    }
    if (x->isleaf() || x->op == G_CSEREF) return 0;
    uint32_t total = 0, last = 0;
    if (x->op == ir::O_COND) {
        last = replaceuses(G, V, x->left, e, bind);
        if (last == e.count) return last;
        total = last;
        last = replaceuses(G, V, x->middle, e, bind);
        total += last;
        last = replaceuses(G, V, x->right, e, bind);
        total += last;
    } else {
        if (hasright(x)) {
            last = replaceuses(G, V, x->right, e, bind);
            if (last == e.count) return last;
            total = last;
        }
        last = replaceuses(G, V, x->left, e, bind);
        if (last == e.count) return last;
        total += last;
        if (iscommut(x->op) && x->left->op == G_CSEREF && x->right->op != G_CSEREF && !isplainconst(x->right))
            std::swap(x->left, x->right);
    }
    if (total == e.count && total > 0) {
        bind->right = x;
        bind->type = x->type;
        bind->attr = x->attr;
        slot = bind;
    }
    return total;
}

void markused(Numbering& V, GenNode* n) {
    if (!n) return;
    if (!n->isleaf()) {
        if (n->op == ir::O_COND) markused(V, n->middle);
        if (hasright(n)) markused(V, n->right);
        markused(V, n->left);
    }
    if (Entry* e = V.entry(V.num(n))) {
        e->count = 1;
        e->cost = 0;
    }
}

bool hasdouble(const GenNode* n, uint8_t code) {
    if (!n) return false;
    if (n->typecode() == code) return true;
    if (n->isleaf()) return false;
    if (hasdouble(n->left, code)) return true;
    if (n->op == ir::O_COND && hasdouble(n->middle, code)) return true;
    return hasright(n) && hasdouble(n->right, code);
}

}  // namespace

bool sametree(const GenNode* a, const GenNode* b) {
    if (!a || !b) return a == b;
    if (a->op != b->op || a->type != b->type) return false;
    if (a->isleaf()) return sameplace(a, b) && !(a->indir && isvolatile(a));
    if (isasgn(a->op) || a->op == ir::O_ASSIGN || a->op == ir::O_POSTINC || a->op == ir::O_POSTDEC) return false;
    if (a->op == ir::O_CALL || a->op == ir::O_CALLARGS || a->op == ir::O_ASM || a->op == ir::O_ASMARGS) return false;
    if (a->op == ir::O_COND && !sametree(a->middle, b->middle)) return false;
    if (hasright(a) && !sametree(a->right, b->right)) return false;
    return sametree(a->left, b->left);
}

void cse(Gen& G, GenNode*& slot) {
    GenNode** at = &slot;
    while (*at && (*at)->op == ir::O_COMMA) {
        cse(G, (*at)->left);
        at = &(*at)->right;
    }
    Numbering V;
    if (!*at || !valnum(V, *at, 1)) return;
    for (Entry& e : V.list) e.cost = e.count < 2 ? 0 : V.cost(e.node) * static_cast<int32_t>(e.count);
    uint8_t limit = G.ex.limit;
    int budget = limit ? (13 - limit) / 2 : 4;
    while (budget > 0) {
        Entry* best = nullptr;
        for (size_t i = V.list.size(); i-- > 0;) {
            Entry& e = V.list[i];
            if (e.cost > 0 && (!best || e.cost > best->cost)) best = &e;
        }
        if (!best) return;
        GenNode* n = best->node;
        if (n->typecode() == ir::T_DOUBLE && budget < 2) {
            best->cost = 0;
            continue;
        }
        if (iscond(n->op) || n->isleaf() || n->typecode() == 0 || n->typecode() == ir::T_STRUCT) {
            best->cost = 0;
            continue;
        }
        budget -= n->typecode() == ir::T_DOUBLE ? 2 : 1;
        Entry chosen = *best;
        GenNode* bind = newnode(G);
        makenode(bind, G_CSEBIND, n->type, n->attr, n, nullptr);
        GenNode* top = *at;
        uint32_t found = replaceuses(G, V, *at, chosen, bind);
        if (found != chosen.count || !bind->right) {
            // the occurrences could not be gathered: leave the tree as it was
            (void)top;
            return;
        }
        markused(V, n);
        best = V.entry(chosen.number);
        if (best) best->cost = 0;
    }
}

RegSet genbind(Gen& G, GenNode* n, uint32_t w, RegSet s, uint8_t t) {
    ExprState& x = G.ex;
    uint8_t hint = x.hint, limit = x.limit;
    x.hint = 0;
    if (hasdouble(n->right, ir::T_DOUBLE) && x.limit <= gpr(6))
        x.limit = gpr(6);
    else if (hasdouble(n->right, ir::T_FLOAT) && x.limit <= gpr(4))
        x.limit = gpr(4);
    else if (x.limit < gpr(3))
        x.limit = gpr(3);
    GenNode* L = n->left;
    s = genexpr(G, L, LK_REG, s, L->typecode());
    x.hint = hint;
    x.limit = limit;
    if (!setvalid(s)) return s;
    L->flags |= NF_REUSABLE;
    uint8_t r = plainreg(L->loc.reg);
    setadd(x.cseregs, r);
    s = genexpr(G, n->right, w, s, t);
    setdel(x.cseregs, r);
    if (!setvalid(s)) return s;
    L->flags |= NF_OWNSREG;
    ownregs(L, &s, 1);
    n->loc = n->right->loc;
    n->flags = n->right->flags;
    return s;
}

}  // namespace cg

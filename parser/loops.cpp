// Loop rewrites made while a function is parsed, right after each loop
// statement is built: a while loop between an assignment and an increment
// of one variable becomes a for loop; leading assignments whose value
// cannot change inside the loop move in front of it; a for loop whose
// number of runs is known on entry becomes a counted loop (written fully
// unrolled when short enough); and addresses indexed by the loop variable
// become induction temporaries stepped beside the variable.
//
// Each rewrite must keep the program's meaning, so the tests are about what
// the loop really does, walked from its trees: which named objects it
// assigns, whether it stores to memory or calls, whether it carries labels.
// A loop variable's initialization and step are dropped only at the end of
// the function body (finishloops), once no other statement can read it.
#include <algorithm>

#include "parser/exprtree.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

constexpr uint32_t kMaxUnrolled = 4096;  // copies of an unrolled body, whatever the limit says
constexpr int kMaxCandidates = 4;        // reduced addresses per loop

// A local whose every access is by its name: no address taken, not volatile.
bool plainlocal(const Symbol* s) {
    return s && (s->sclass == sc::Auto || s->sclass == sc::Register || s->sclass == sc::Param) &&
           !(s->flags & (sf::Untracked | sf::AddrTaken)) && !(s->attributes & attr::Volatile);
}

bool issymleaf(const ExprNode* e, const Symbol* s) { return isleaf(e) && (e->leafbits & leaf::Symbol) && e->sym == s; }

// ---- walking what a loop does ----

struct Facts {
    std::vector<Symbol*> assigned;  // one entry per assignment to a named object
    bool memstores = false;         // a store that a pointer can reach
    bool calls = false;             // a call or inline assembly
    bool labels = false;            // a statement that a jump can reach
    bool sequences = false;         // statements inside an expression
};

void factsstmt(const StmtNode* st, Facts& f);

void factsexpr(const ExprNode* e, Facts& f) {
    while (e) {
        if (e->op == opc::Call) f.calls = true;
        if (e->op == opc::Sequence) {
            f.sequences = true;
            for (const StmtNode* s = e->stmts; s; s = s->next) factsstmt(s, f);
        }
        if (e->op != opc::Leaf && isassignop(e->op)) {
            if (isnamedcontents(e->left)) {
                f.assigned.push_back(e->left->sym);
                if (!plainlocal(e->left->sym)) f.memstores = true;
            } else {
                f.memstores = true;
            }
        }
        if (e->op == opc::Leaf) return;
        factsexpr(e->left, f);
        factsexpr(e->middle, f);
        e = e->right;
    }
}

void factsstmt(const StmtNode* st, Facts& f) {
    for (; st; st = nullptr) {
        if (st->label) f.labels = true;
        switch (st->kind) {
        case sk::Compound:
            for (const StmtNode* s = st->body; s; s = s->next) factsstmt(s, f);
            continue;
        case sk::Break:
        case sk::Continue: continue;
        case sk::AsmLine: f.calls = true; continue;
        default: break;
        }
        factsexpr(st->expr, f);
        factsexpr(st->init, f);
        factsexpr(st->incr, f);
        factsstmt(st->body, f);
        if (st->kind == sk::If) factsstmt(st->aux, f);
    }
}

// What the loop's test, step and body do (the initialization runs once).
Facts loopfacts(const StmtNode* loop) {
    Facts f;
    factsexpr(loop->expr, f);
    factsexpr(loop->incr, f);
    factsstmt(loop->body, f);
    return f;
}

int assigncount(const Facts& f, const Symbol* s) {
    return static_cast<int>(std::count(f.assigned.begin(), f.assigned.end(), s));
}

// References to a symbol (leaves naming it) in a tree and in a statement.
uint32_t refsstmt(const StmtNode* st, const Symbol* s);

uint32_t refsexpr(const ExprNode* e, const Symbol* s) {
    uint32_t n = 0;
    while (e) {
        if (e->op == opc::Leaf) return n + (issymleaf(e, s) ? 1 : 0);
        if (e->op == opc::Sequence)
            for (const StmtNode* t = e->stmts; t; t = t->next) n += refsstmt(t, s);
        n += refsexpr(e->left, s) + refsexpr(e->middle, s);
        e = e->right;
    }
    return n;
}

uint32_t refsstmt(const StmtNode* st, const Symbol* s) {
    if (!st) return 0;
    switch (st->kind) {
    case sk::Compound: {
        uint32_t n = 0;
        for (const StmtNode* t = st->body; t; t = t->next) n += refsstmt(t, s);
        return n;
    }
    case sk::Break:
    case sk::Continue: return 0;
    default: break;
    }
    uint32_t n = refsexpr(st->expr, s) + refsexpr(st->init, s) + refsexpr(st->incr, s) + refsstmt(st->body, s);
    if (st->kind == sk::If) n += refsstmt(st->aux, s);
    return n;
}

// ---- invariance ----

// The value of e cannot change while the loop runs: it reads no object
// that the loop assigns (unless an assignment already moved in front of
// the loop sets it, listed in `before`), reads memory only when the loop
// neither calls nor stores to memory, and has no side effects.
bool invariant(const ExprNode* e, const Facts& f, const std::vector<Symbol*>& before) {
    if (!e) return true;
    if (e->op == opc::Leaf) {
        if (!(e->leafbits & leaf::Symbol) || !e->sym) return true;
        if (!(e->leafbits & leaf::Contents)) return true;  // an address
        const Symbol* s = e->sym;
        if (s->attributes & attr::Volatile) return false;
        int n = assigncount(f, s);
        int moved = static_cast<int>(std::count(before.begin(), before.end(), s));
        if (n > moved) return false;
        if (!plainlocal(s) && moved == 0 && (f.memstores || f.calls)) return false;
        return true;
    }
    if (e->op == opc::Call || e->op == opc::Sequence || isassignop(e->op)) return false;
    if (e->op == opc::Ind) {
        TypeNode* p = basetype(e->left ? e->left->type : nullptr);
        if (f.memstores || f.calls) return false;
        if (p && p->code == ty::Pointer && (p->pointerattr() & attr::Volatile)) return false;
    }
    return invariant(e->left, f, before) && invariant(e->middle, f, before) && invariant(e->right, f, before);
}

// ---- comma chains ----

void commaelements(ExprNode* e, std::vector<ExprNode*>& out) {
    if (e && e->op == opc::Comma) {
        commaelements(e->left, out);
        commaelements(e->right, out);
    } else if (e) {
        out.push_back(e);
    }
}

void appendcomma(Parser& P, ExprNode** slot, ExprNode* e) {
    *slot = *slot ? mknode(P, opc::Comma, e->type, *slot, e) : e;
}

// Takes the element x out of the comma chain in the slot.
bool unlinkcomma(ExprNode** slot, const ExprNode* x) {
    ExprNode* e = *slot;
    if (!e) return false;
    if (e == x) {
        *slot = nullptr;
        return true;
    }
    if (e->op != opc::Comma) return false;
    if (unlinkcomma(&e->left, x) || unlinkcomma(&e->right, x)) {
        if (!e->left) *slot = e->right;
        else if (!e->right) *slot = e->left;
        return true;
    }
    return false;
}

// The last element of the initialization that assigns the variable; none
// when it is not a plain "=" or something else touches the variable after it.
ExprNode* findinduction(Parser& P, ExprNode* init, const ExprNode* var) {
    std::vector<ExprNode*> list;
    commaelements(init, list);
    ExprNode* found = nullptr;
    for (ExprNode* e : list) {
        if (e->op == tok::Assign && sameexpr(P, e->left, var, 1) && refsexpr(e->right, var->sym) == 0) {
            found = e;
            continue;
        }
        Facts f;
        factsexpr(e, f);
        if (assigncount(f, var->sym) || (!plainlocal(var->sym) && (f.calls || f.memstores))) found = nullptr;
    }
    return found;
}

// A copy of a tree without side effects.
ExprNode* copytree(Parser& P, const ExprNode* e) {
    if (!e) return nullptr;
    if (e->op == opc::Leaf) return copyleaf(P, e);
    ExprNode* c = newexpr(P, e->op);
    setnode(c, e);
    c->left = copytree(P, e->left);
    c->middle = copytree(P, e->middle);
    c->right = copytree(P, e->right);
    return c;
}

bool signedtype(TypeNode* t) { return !isunsignedcode(codeof(t)); }

// A constant of the variable's type as a 64-bit number.
int64_t asnumber(Parser& P, uint32_t v, TypeNode* t) {
    uint32_t n = narrowvalue(P, v, t);
    return signedtype(t) ? static_cast<int64_t>(static_cast<int32_t>(n)) : static_cast<int64_t>(n);
}

bool fits(Parser& P, int64_t v, TypeNode* t) {
    uint32_t size = typesize(P, t);
    if (size == 0 || size > 4) return false;
    int bits = static_cast<int>(size * 8);
    if (signedtype(t)) return v >= -(int64_t{1} << (bits - 1)) && v < (int64_t{1} << (bits - 1));
    return v >= 0 && v < (int64_t{1} << bits);
}

LoopNote& note(Parser& P, StmtNode* loop, Symbol* var) {
    for (LoopNote& n : P.fn.loopnotes)
        if (n.loop == loop) return n;
    P.fn.loopnotes.emplace_back();
    LoopNote& n = P.fn.loopnotes.back();
    n.loop = loop;
    n.var = var;
    return n;
}

bool bodylabels(const StmtNode* loop) {
    Facts f;
    factsstmt(loop->body, f);
    return f.labels;
}

// ---- strength reduction ----

struct Candidate {
    ExprNode* base = nullptr;   // an address leaf or an invariant expression (none: only the index is reduced)
    ExprNode* index = nullptr;  // the scaled index (the variable, v * k or v << k)
    int32_t scale = 1;          // bytes per step of the variable
    std::vector<ExprNode*> adds;
    ExprNode* rep = nullptr;    // the occurrence with the lowest base offset
    uint32_t uses = 0;
};

// The byte step of an index made of the variable alone, or 0.
int32_t indexscale(Parser& P, const ExprNode* idx, const ExprNode* var) {
    if (sameexpr(P, idx, var, 1)) return 1;
    if (idx->op == 99) {
        const ExprNode* c = isintconst(idx->right) ? idx->right : isintconst(idx->left) ? idx->left : nullptr;
        const ExprNode* v = c == idx->right ? idx->left : idx->right;
        if (c && sameexpr(P, v, var, 1)) {
            int32_t k = static_cast<int32_t>(c->value);
            return k > 0 && k <= 0x10000 ? k : 0;
        }
    }
    if (idx->op == tok::Shl && isintconst(idx->right) && sameexpr(P, idx->left, var, 1) && idx->right->value < 16)
        return 1 << idx->right->value;
    return 0;
}

struct Reducer {
    Parser& P;
    StmtNode* loop;
    ExprNode* var;
    const Facts& facts;
    std::vector<Candidate> cands;

    bool offer(ExprNode* e) {
        if (e->op != tok::Plus || isretyped(e) || tcode(e) != ty::Pointer || !e->left || !e->right) return false;
        if (!ty::isinteger(tcode(e->right))) return false;
        int32_t scale = indexscale(P, e->right, var);
        if (!scale) return false;
        ExprNode* base = e->left;
        bool named = isnamedaddr(base);
        if (!named && !invariant(base, facts, {})) {
            // a base that may change: the scaled index alone gets a temporary
            if (scale == 1 || isretyped(e->right) || !sametype(P, e->right->type, var->type)) return false;
            base = nullptr;
        }
        for (Candidate& c : cands) {
            if (!sameexpr(P, c.index, e->right, 1) || !c.base != !base) continue;
            if (!base) {
                c.adds.push_back(e);
                c.uses += 1;
                return true;
            }
            if (!sametype(P, c.base->type, base->type)) continue;
            bool match = named ? isnamedaddr(c.base) && c.base->sym == base->sym
                               : !isnamedaddr(c.base) && sameexpr(P, c.base, base, 1);
            if (!match) continue;
            c.adds.push_back(e);
            c.uses += 1;
            if (named && static_cast<int32_t>(base->value) < static_cast<int32_t>(c.rep->left->value)) c.rep = e;
            return true;
        }
        Candidate c;
        c.base = base;
        c.index = e->right;
        c.scale = scale;
        c.adds.push_back(e);
        c.rep = e;
        c.uses = 1;
        cands.push_back(c);
        return true;
    }

    // Every pointer addition, outermost first; a taken one is not entered.
    void scanexpr(ExprNode* e) {
        while (e && e->op != opc::Leaf) {
            if (e->op == opc::Sequence)
                for (StmtNode* s = e->stmts; s; s = s->next) scanstmt(s);
            if (offer(e)) return;
            scanexpr(e->left);
            scanexpr(e->middle);
            e = e->right;
        }
    }

    void scanstmt(StmtNode* st) {
        if (!st) return;
        switch (st->kind) {
        case sk::Compound:
            for (StmtNode* s = st->body; s; s = s->next) scanstmt(s);
            return;
        case sk::Break:
        case sk::Continue: return;
        default: break;
        }
        scanexpr(st->expr);
        scanexpr(st->init);
        scanexpr(st->incr);
        scanstmt(st->body);
        if (st->kind == sk::If) scanstmt(st->aux);
    }
};

Symbol* newitemp(Parser& P, TypeNode* type) {
    FuncState& F = P.fn;
    Scopes& S = P.syms.scopes;
    for (Symbol* t : F.itemps)
        if (t->home == &S.ordinary && !(t->flags & sf::Assigned) && typesize(P, t->type) == typesize(P, type)) {
            t->flags |= sf::Assigned | sf::Referenced;
            return t;
        }
    char buf[32];
    int n = std::snprintf(buf, sizeof buf, ".itmp_%u.", ++F.itempcount);
    Symbol* t = newsym(P, &S.ordinary, internname(P, buf, static_cast<size_t>(n)), sc::Auto, type);
    t->flags = sf::Assigned | sf::Declared | sf::Referenced;
    t->attributes = defaultspace(P, 0, sc::Auto, codeof(type));
    t->declstamp = P.syms.sequence;
    F.itemps.push_back(t);
    return t;
}

ExprNode* templeaf(Parser& P, Symbol* t, TypeNode* type) {
    ExprNode* e = newexpr(P, opc::Leaf);
    e->leafbits = leaf::Contents | leaf::Symbol;
    e->sym = t;
    e->type = type;
    return e;
}

uint16_t addweight(uint16_t w, uint32_t n) { return static_cast<uint16_t>(std::min<uint32_t>(w + n, 0xFFFF)); }

// The scaled index of a candidate whose base may change becomes a
// temporary of the index's type: set to the start value times the scale
// before the loop and stepped by the scale beside the variable. The one
// with the smallest step is noted for the loop's test.
void reduceindex(Parser& P, StmtNode* loop, ExprNode* set, Candidate& c, bool up, uint32_t cost, LoopNote& n) {
    TypeNode* type = c.index->type;
    Symbol* t = newitemp(P, type);
    uint32_t scale = static_cast<uint32_t>(c.scale);
    ExprNode* value = isintconst(set->right)
                          ? mkconst(P, narrowvalue(P, set->right->value * scale, type), type)
                          : mknode(P, 99, type, copyleaf(P, set->right), mkconst(P, scale, type));
    ExprNode* target = templeaf(P, t, type);
    target->leafbits |= leaf::InitTarget;
    appendcomma(P, &loop->init, mknode(P, tok::Assign, type, target, value));
    appendcomma(P, &loop->incr, mknode(P, up ? 81 : 82, type, templeaf(P, t, type), mkconst(P, scale, type)));
    for (ExprNode* add : c.adds) add->right = templeaf(P, t, type);
    t->weight = addweight(t->weight, cost * (c.uses + 1) + 1);
    Symbol* var = set->left->sym;
    uint32_t drop = cost * c.uses;
    var->weight = static_cast<uint16_t>(var->weight > drop ? var->weight - drop : 0);
    if (!n.indextemp || scale < n.indexstep) {
        n.indextemp = t;
        n.indextype = type;
        n.indexstep = scale;
    }
}

// The loop's test moves onto the noted index temporary: v op b becomes
// t op b × step. Only where every value of v that the test sees, times the
// step, stays in v's type: a constant start, a test that the steps move
// towards failing, and a bound (past it by one for <= and >=) whose
// product does not wrap.
bool rewritetest(Parser& P, LoopNote& n, ExprNode* set) {
    StmtNode* loop = n.loop;
    ExprNode* cond = loop->expr;
    if (loop->kind != sk::For || !n.indextemp || !set || !isintconst(set->right) || !cond) return false;
    if (!iscompare(cond->op) || !issymleaf(cond->left, n.var) || !isintconst(cond->right)) return false;
    if (cond->left->value != 0 || !sametype(P, cond->left->type, n.indextype) ||
        !sametype(P, cond->right->type, n.indextype))
        return false;
    TypeNode* vt = cond->left->type;
    int64_t s = asnumber(P, set->right->value, vt);
    int64_t b = asnumber(P, cond->right->value, vt);
    int64_t last = b;  // the value at which the test fails
    switch (cond->op) {
    case 75: if (!n.up) return false; break;                           // <
    case 78: if (!n.up) return false; last = b + 1; break;             // <=
    case 77: if (n.up) return false; break;                            // >
    case 76: if (n.up) return false; last = b - 1; break;              // >=
    case 80: if (n.up ? s > b : s < b) return false; break;            // !=
    default: return false;
    }
    int64_t k = n.indexstep;
    if (!fits(P, last, vt) || !fits(P, s * k, vt) || !fits(P, last * k, vt) || !fits(P, b * k, vt)) return false;
    cond->left = templeaf(P, n.indextemp, n.indextype);
    cond->right = mkconst(P, static_cast<uint32_t>(b * k), cond->right->type);
    n.indextemp->weight = addweight(n.indextemp->weight, n.cost);
    n.var->weight = static_cast<uint16_t>(n.var->weight > n.cost ? n.var->weight - n.cost : 0);
    return true;
}

}  // namespace

// ---- entry test ----

int entrytest(Parser& P, ExprNode* init, ExprNode* cond) {
    if (!cond) return 0;
    if (cond->nflags & kTrueOnEntry) return 2;
    if (!iscompare(cond->op) || !isintconst(cond->right) || !isnamedcontents(cond->left)) return 0;
    if (!ty::isinteger(tcode(cond->left))) return 0;
    ExprNode* a = findinduction(P, init, cond->left);
    if (!a || !isintconst(a->right)) return 0;
    ExprNode value;
    value.type = cond->left->type;
    value.value = narrowvalue(P, a->right->value, cond->left->type);
    return cmpconst(P, cond->op, &value, cond->right) ? 2 : 1;
}

// ---- while to for ----

void whiletofor(Parser& P, StmtNode* loop, StmtNode* previous) {
    if (loop->kind != sk::While || !previous || previous->kind != sk::Expr || !previous->expr) return;
    ExprNode* set = previous->expr;
    // a jump to the loop must not run the assignment again
    if (set->op != tok::Assign || (loop->flags & sflag::Continued) || !loop->body || loop->label) return;
    if (previous->flags & sflag::Unreachable) return;
    StmtNode* last = loop->body;
    StmtNode* before = nullptr;
    if (last->kind == sk::Compound) {
        if (!last->body) return;
        StmtNode* s = last->body;
        for (; s->next; s = s->next) before = s;
        last = s;
    }
    if (last->kind != sk::Expr || last->label || (last->flags & sflag::Unreachable) || !last->expr) return;
    ExprNode* step = last->expr;
    if ((step->op != 81 && step->op != 82) || !sameexpr(P, step->left, set->left, 1)) return;
    loop->kind = sk::For;
    loop->init = set;
    loop->incr = step;
    previous->expr = nullptr;
    if (last == loop->body)
        last->expr = nullptr;
    else if (before)
        before->next = nullptr;
    else
        loop->body->body = nullptr;
    loop->partline2 = last->firstline;
    loop->partcol2 = last->firstcol;
    loop->partline1 = loop->firstline;
    loop->partcol1 = loop->firstcol;
    loop->firstline = previous->firstline;
    loop->firstcol = previous->firstcol;
}

// ---- invariant hoisting ----

StmtNode* hoistinvariants(Parser& P, StmtNode* loop, uint32_t start, int calls) {
    bool isdo = loop->kind == sk::Do;
    if (!isdo && loop->kind != sk::For) return nullptr;
    if (!loop->body || (loop->flags & sflag::HasLabel)) return nullptr;
    if (isdo && isintconst(loop->expr) && loop->expr->value == 0) return nullptr;
    if (!isdo && (!loop->expr || !loop->init || entrytest(P, loop->init, loop->expr) != 2)) return nullptr;
    Facts f = loopfacts(loop);
    if (calls) f.calls = true;
    if (f.labels) return nullptr;
    bool compound = loop->body->kind == sk::Compound;
    StmtNode* first = compound ? loop->body->body : loop->body;
    std::vector<Symbol*> moved;
    StmtNode* stop = first;
    StmtNode* lastmoved = nullptr;
    for (StmtNode* s = first; s; s = compound ? s->next : nullptr) {
        ExprNode* e = s->expr;
        if (s->kind != sk::Expr || s->label || !e || e->op != tok::Assign || !isnamedcontents(e->left)) break;
        if (e->left->nflags & nf::UnionRead) break;
        Symbol* v = e->left->sym;
        uint16_t c = tcode(e->left);
        if (!plainlocal(v) || v->declstamp >= start || !(ty::isinteger(c) || ty::isfloating(c) || c == ty::Pointer))
            break;
        if (assigncount(f, v) != 1 || std::count(moved.begin(), moved.end(), v)) break;
        if (!isdo && refsexpr(loop->expr, v)) break;
        if (!invariant(e->right, f, moved)) break;
        moved.push_back(v);
        lastmoved = s;
        stop = s->next;
        if (!compound) stop = nullptr;
    }
    if (!lastmoved) return nullptr;
    if (!isdo) {
        for (StmtNode* s = first; s != stop; s = s->next) {
            appendcomma(P, &loop->init, s->expr);
            if (!compound) s->expr = nullptr;
        }
        if (compound) loop->body->body = stop;
        return nullptr;
    }
    // do: { moved statements; do rest while (test); }
    StmtNode* inner = newstmt(P, sk::Do);
    StmtNode* link = inner->link;
    *inner = *loop;  // kind, test, positions, file
    inner->link = link;
    inner->next = nullptr;
    inner->label = 0;
    inner->flags = static_cast<uint16_t>(loop->flags & ~(sflag::HasCase | sflag::HasLabel));
    if (compound) {
        inner->body = loop->body;
        loop->body->body = stop;
        lastmoved->next = inner;
    } else {
        StmtNode* empty = newstmt(P, sk::Expr);
        empty->firstline = first->firstline;
        empty->firstcol = first->firstcol;
        empty->file = first->file;
        inner->body = empty;
        first->next = inner;
    }
    loop->kind = sk::Compound;
    loop->body = first;
    loop->expr = nullptr;
    loop->locals = nullptr;
    loop->aux = nullptr;
    loop->flags = static_cast<uint16_t>(loop->flags & (sflag::HasCase | sflag::NoComplete | sflag::Unreachable));
    return inner;
}

// ---- counted loops ----

void makecountedloop(Parser& P, StmtNode* loop, uint16_t rank, uint32_t operations, uint32_t start) {
    (void)start;
    if (loop->kind != sk::For || (loop->flags & sflag::VarSet) || !loop->incr) return;
    ExprNode* step = loop->incr;
    ExprNode* cond = loop->expr;
    if (step->op != 81 && step->op != 82) return;
    ExprNode* varleaf = step->left;
    if (!isnamedcontents(varleaf) || !cond || !iscompare(cond->op) || !sameexpr(P, cond->left, varleaf, 1)) return;
    Symbol* var = varleaf->sym;
    TypeNode* vt = varleaf->type;
    if (!plainlocal(var) || !ty::isinteger(tcode(varleaf)) || !isfree(P, cond)) return;
    ExprNode* set = nullptr;
    if (loop->init) {
        set = findinduction(P, loop->init, varleaf);
        if (!set) return;
    }
    Facts f = loopfacts(loop);
    if (f.calls || assigncount(f, var) != 1) return;  // the step is its only assignment
    bool up = step->op == 81;
    uint32_t size = typesize(P, vt);
    ExprNode* bound = cond->right;
    ExprNode* count = nullptr;
    bool known = false;
    int64_t s = 0, c = 0;
    if (!set || !isintconst(set->right)) {
        // counting down to zero from any start
        if (rank > 1 || up || cond->op != 80 || !isintconst(bound) || bound->value != 0) return;
        // a negative start runs until a break, a goto or a return ends the loop
        if (signedtype(vt)) return;
        count = copyleaf(P, varleaf);
    } else if (!isintconst(bound)) {
        // from 0 up to an invariant bound
        s = asnumber(P, set->right->value, vt);
        if (rank > 1 || s != 0 || !up || cond->op != 75 || size != 4 || !invariant(bound, f, {})) return;
        count = copytree(P, bound);
        if (signedtype(vt)) {
            ExprNode* positive = mknode(P, 77, P.types.sint, copytree(P, bound), mkconst(P, 0, vt));
            count = mknode(P, opc::Cond, vt, positive, mkconst(P, 0, vt));
            count->middle = copytree(P, bound);
        }
    } else {
        s = asnumber(P, set->right->value, vt);
        int64_t b = asnumber(P, bound->value, vt);
        uint8_t op = cond->op;
        int64_t fin = b;
        if (up) {
            if (op == 75 || op == 80) c = b - s;
            else if (op == 78 || (op == 79 && b == s)) c = b - s + 1, fin = b + 1;
            else return;
        } else {
            if (op == 77 || op == 80) c = s - b;
            else if (op == 76 || (op == 79 && b == s)) c = s - b + 1, fin = b - 1;
            else return;
        }
        // a count of none or less leaves the loop to the entry test
        if (c <= 0 || c > 0x7FFFFFFF || !fits(P, s, vt) || !fits(P, fin, vt)) return;
        uint64_t limit = P.pp.unroll > 0 ? static_cast<uint64_t>(P.pp.unroll) : 0;
        known = operations != 0 && !(loop->flags & (sflag::Breaks | sflag::Continued | sflag::HasGoto)) &&
                (static_cast<uint64_t>(c) * operations <= limit || c == 1) && c <= kMaxUnrolled && !bodylabels(loop) &&
                !f.sequences;
        if (!known && rank > 1) return;
        count = mkconst(P, static_cast<uint32_t>(c), P.types.sint);
    }
    loop->kind = sk::CountedLoop;
    loop->expr = count;
    LoopNote& n = note(P, loop, var);
    if (known) {
        loop->flags |= sflag::KnownTrips;
        // the copies count for the loops around this one
        uint64_t grown = P.ex.operators + static_cast<uint64_t>(c - 1) * operations;
        P.ex.operators = static_cast<uint32_t>(std::min<uint64_t>(grown, 0xFFFFFFFFu));
        n.unrolled = true;
        n.start = static_cast<uint32_t>(s);
        n.up = up;
    }
}

// ---- strength reduction ----

StmtNode* reducestrength(Parser& P, StmtNode* loop, Symbol* var, uint32_t start) {
    (void)start;
    if ((loop->kind != sk::For && loop->kind != sk::CountedLoop) || (loop->flags & sflag::KnownTrips)) return loop;
    ExprNode* step = loop->incr;
    if (!step || (step->op != 81 && step->op != 82) || !loop->body || !isnamedcontents(step->left)) return loop;
    if (step->left->sym != var || !plainlocal(var) || typesize(P, step->left->type) != 4) return loop;
    if (!isintconst(step->right) || step->right->value != 1 || (loop->flags & sflag::HasLabel)) return loop;
    ExprNode* set = loop->init ? findinduction(P, loop->init, step->left) : nullptr;
    if (!set || !isleaf(set->right)) return loop;
    Facts f = loopfacts(loop);
    if (assigncount(f, var) != 1 || f.labels) return loop;
    Reducer r{P, loop, step->left, f, {}};
    r.scanstmt(loop->body);
    if (r.cands.empty()) return loop;
    std::stable_sort(r.cands.begin(), r.cands.end(),
                     [](const Candidate& a, const Candidate& b) { return a.uses > b.uses; });
    uint32_t bodyrefs = refsstmt(loop->body, var);
    uint32_t covered = 0;
    for (int k = 0; k < kMaxCandidates && k < static_cast<int>(r.cands.size()); ++k) covered += r.cands[k].uses;
    uint32_t cost = 2u * static_cast<uint32_t>(P.ex.loopdepth) + 1;
    bool up = step->op == 81;
    bool any = false;
    LoopNote n;
    for (int k = 0; k < kMaxCandidates && k < static_cast<int>(r.cands.size()); ++k) {
        Candidate& c = r.cands[k];
        if (c.scale == 1 && c.uses < 3 && covered < bodyrefs) continue;
        if (!c.base) {
            reduceindex(P, loop, set, c, up, cost, n);
            continue;
        }
        // the temporary holds a whole address, whatever the space of the sum
        TypeNode* type = pointerto(P, basetype(c.rep->type)->subtype, 0);
        Symbol* t = newitemp(P, type);
        // t = the representative address with the variable's current value
        ExprNode* value = nullptr;
        if (isintconst(set->right)) {
            // start at the start value's element: the base moved by start × scale bytes
            uint32_t offset = set->right->value * static_cast<uint32_t>(c.scale);
            if (isnamedaddr(c.rep->left)) {
                value = copyleaf(P, c.rep->left);
                value->value += offset;
                value->type = type;
            } else {
                value = mknode(P, tok::Plus, type, copytree(P, c.rep->left), mkconst(P, offset, P.types.sint));
            }
        } else {
            value = mknode(P, tok::Plus, type, copytree(P, c.rep->left), copytree(P, c.rep->right));
        }
        ExprNode* target = templeaf(P, t, type);
        target->leafbits |= leaf::InitTarget;
        appendcomma(P, &loop->init, mknode(P, tok::Assign, type, target, value));
        appendcomma(P, &loop->incr,
                    mknode(P, up ? 81 : 82, type, templeaf(P, t, type),
                           mkconst(P, static_cast<uint32_t>(c.scale), P.types.sint)));
        int32_t repoffset = isnamedaddr(c.rep->left) ? static_cast<int32_t>(c.rep->left->value) : 0;
        for (ExprNode* add : c.adds) {
            int32_t diff = isnamedaddr(add->left) ? static_cast<int32_t>(add->left->value) - repoffset : 0;
            ExprNode* use = templeaf(P, t, type);
            if (diff) use = mknode(P, tok::Plus, type, use, mkconst(P, static_cast<uint32_t>(diff), P.types.sint));
            setnode(add, use);
        }
        t->weight = addweight(t->weight, cost * (c.uses + 1) + 1);
        uint32_t drop = cost * c.uses;
        var->weight = static_cast<uint16_t>(var->weight > drop ? var->weight - drop : 0);
        any = true;
    }
    if (any || n.indextemp) {
        LoopNote& kept = note(P, loop, var);
        kept.indextemp = n.indextemp;
        kept.indextype = n.indextype;
        kept.indexstep = n.indexstep;
        kept.cost = cost;
        kept.up = up;
    }
    return loop;
}

void freeitemps(Parser& P) {
    for (Symbol* t : P.fn.itemps) t->flags &= ~sf::Assigned;
}

bool assignsin(const StmtNode* body, const Symbol* var) {
    Facts f;
    factsstmt(body, f);
    return assigncount(f, var) != 0;
}

const LoopNote* loopnote(Parser& P, const StmtNode* loop) {
    for (const LoopNote& n : P.fn.loopnotes)
        if (n.loop == loop) return &n;
    return nullptr;
}

// A variable that only its loop's initialization and step still name
// loses both: nothing can read the values they give it.
void finishloops(Parser& P, StmtNode* body) {
    for (LoopNote& n : P.fn.loopnotes) {
        StmtNode* loop = n.loop;
        if (n.unrolled || !n.var || (n.var->sclass != sc::Auto && n.var->sclass != sc::Register)) continue;
        if (!plainlocal(n.var) || !loop->incr) continue;
        std::vector<ExprNode*> steps;
        commaelements(loop->incr, steps);
        ExprNode* step = nullptr;
        for (ExprNode* e : steps)
            if ((e->op == 81 || e->op == 82) && isnamedcontents(e->left) && e->left->sym == n.var) step = e;
        if (!step) continue;
        ExprNode* set = loop->init ? findinduction(P, loop->init, step->left) : nullptr;
        uint32_t counted = loop->kind == sk::CountedLoop ? refsexpr(loop->expr, n.var) : 0;
        uint32_t own = 1 + (set ? 1 : 0) + counted;
        uint32_t refs = refsstmt(body, n.var);
        // the test alone still reads the variable: it may move onto a temporary
        if (refs == own + 1 && loop->kind == sk::For && refsexpr(loop->expr, n.var) == 1 && rewritetest(P, n, set))
            refs = own;
        if (refs != own) continue;
        unlinkcomma(&loop->incr, step);
        if (set && !counted) unlinkcomma(&loop->init, set);
        if (!counted) {
            n.var->weight = 0;
            n.var->flags &= ~sf::Referenced;
        }
    }
}

}  // namespace cpppc

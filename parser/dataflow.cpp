// Data flow over a function's most important locals: liveness of up to 32
// scalar locals over the basic blocks of the body. From it come the
// "used before set" warnings, the removal of stores whose value nobody
// reads, the marks of calls in tail position, the sharing of one slot by
// locals whose lives never overlap, and the test that keeps registers for
// heavier locals of inner blocks (regok).
//
// Every decision errs on the safe side: a store is dropped only when no
// path reads the value; two locals share only when neither is live, set or
// read in any block where the other is live; the right operand of && and
// || and the arms of ?: are blocks of their own, so a store in them never
// counts as certain.
#include <algorithm>
#include <map>
#include <unordered_map>

#include "parser/exprtree.h"

namespace cpppc {

namespace {

constexpr uint8_t kTailCall = 0x40;  // call node: in tail position
constexpr int kMaxTracked = 32;
constexpr size_t kSearchBudget = 20000;  // states of the slot-sharing search

bool isparam(const Symbol* s) { return s->sclass == sc::Param || s->sclass == sc::RegParam; }

bool iscandidate(const Symbol* s) {
    switch (s->sclass) {
    case sc::Auto:
    case sc::Register:
    case sc::Param:
    case sc::RegParam: break;
    default: return false;
    }
    uint16_t c = codeof(s->type);
    if (c == ty::Struct || c == ty::Union || c == ty::Array || c == ty::Function || c == 0) return false;
    return s->weight != 0 && !(s->attributes & attr::Volatile) &&
           !(s->flags & (sf::Expanding | sf::Untracked | sf::AddrTaken));
}

struct Block {
    uint32_t def = 0, use = 0, in = 0, out = 0;
    std::vector<int> succ;
    bool hasexpr = false;
    ExprNode* call = nullptr;          // the block is a call statement
    std::vector<ExprNode*> stores;     // statement-level stores to tracked locals
};

using Exits = std::vector<int>;

class Flow {
public:
    explicit Flow(Parser& p) : P(p) {}

    void run(StmtNode* body);

private:
    Parser& P;
    std::vector<Block> blocks;
    Exits pending;  // blocks that flow into the next one made
    uint32_t accdef = 0, accuse = 0;
    std::vector<ExprNode*> accstores;
    Exits* breaks = nullptr;
    Exits* continues = nullptr;
    Exits returns;
    int switchblock = -1;
    std::unordered_map<const StmtNode*, int> labels;
    std::vector<std::pair<int, const StmtNode*>> gotos;

    void edge(int from, int to) { blocks[static_cast<size_t>(from)].succ.push_back(to); }

    int newblock() {
        blocks.emplace_back();
        int b = static_cast<int>(blocks.size() - 1);
        for (int p : pending) edge(p, b);
        pending.assign(1, b);
        return b;
    }

    // The accumulated sets become a block.
    int endblock(bool expr) {
        int b = newblock();
        Block& k = blocks[static_cast<size_t>(b)];
        k.def = accdef;
        k.use = accuse;
        k.hasexpr = expr;
        k.stores.swap(accstores);
        accdef = accuse = 0;
        accstores.clear();
        return b;
    }

    void leafflow(ExprNode* e, int mode) {
        if (!(e->leafbits & leaf::Symbol) || !e->sym) return;
        uint32_t bit = e->sym->flowbit;
        if (!bit) return;
        // only a store to the whole object sets it
        bool whole = (e->leafbits & leaf::Contents) && e->value == 0 &&
                     typesize(P, e->type) == typesize(P, e->sym->type);
        if ((mode == 1 || mode == 3) && whole) accdef |= bit;
        if (mode != 1 || !whole) accuse |= bit;
    }

    // mode: 0 statement level, 1 store target, 2 value, 3 read and stored
    void exprflow(ExprNode* e, int mode) {
        if (!e) return;
        switch (e->op) {
        case opc::Leaf: leafflow(e, mode); return;
        case opc::Sequence:
            seqflow(e);
            exprflow(e->right, mode);
            return;
        case opc::Comma:
            exprflow(e->left, 0);
            endblock(true);
            exprflow(e->right, mode == 0 ? 0 : 2);
            return;
        case 91:
        case 92: {
            exprflow(e->left, 2);
            endblock(true);
            Exits skip = pending;
            exprflow(e->right, 2);
            endblock(true);
            pending.insert(pending.end(), skip.begin(), skip.end());
            return;
        }
        case opc::Cond: {
            exprflow(e->left, 2);
            endblock(true);
            Exits test = pending;
            exprflow(e->middle, 2);
            endblock(true);
            Exits one = pending;
            pending = test;
            exprflow(e->right, 2);
            endblock(true);
            pending.insert(pending.end(), one.begin(), one.end());
            return;
        }
        case 95:
            // the value first: the store happens at the end
            exprflow(e->right, 2);
            exprflow(e->left, 1);
            if (mode == 0 && isnamedcontents(e->left) && e->left->sym->flowbit && e->left->value == 0) accstores.push_back(e);
            return;
        default: break;
        }
        if (isassignop(e->op)) {
            exprflow(e->right, 2);
            exprflow(e->left, 3);
            return;
        }
        if (e->op == opc::Ind || e->op == opc::Addr) {
            exprflow(e->left, 2);
            return;
        }
        exprflow(e->left, 2);
        exprflow(e->middle, 2);
        exprflow(e->right, 2);
    }

    void seqflow(ExprNode* seq) {
        if (seq->left && seq->left->op == opc::Sequence) seqflow(seq->left);
        endblock(true);
        for (StmtNode* s = seq->stmts; s; s = s->next) stmtflow(s);
    }

    // A condition: the blocks that go on when it holds and when it fails.
    void condflow(ExprNode* e, Exits& yes, Exits& no) {
        while (e && (e->op == opc::Sequence || e->op == opc::Comma)) {
            if (e->op == opc::Sequence)
                seqflow(e);
            else {
                exprflow(e->left, 0);
                endblock(true);
            }
            e = e->right;
        }
        if (e && (e->op == 91 || e->op == 92)) {
            Exits ly, ln;
            condflow(e->left, ly, ln);
            bool isand = e->op == 91;
            pending = isand ? ly : ln;
            Exits ry, rn;
            condflow(e->right, ry, rn);
            yes = ry;
            no = rn;
            Exits& other = isand ? no : yes;
            Exits& from = isand ? ln : ly;
            other.insert(other.end(), from.begin(), from.end());
            return;
        }
        exprflow(e, 2);
        int b = endblock(true);
        yes.assign(1, b);
        no.assign(1, b);
    }

    void loopbody(StmtNode* body, Exits& brk, Exits& cont) {
        Exits* savedbreaks = breaks;
        Exits* savedcontinues = continues;
        breaks = &brk;
        continues = &cont;
        if (body) stmtflow(body);
        breaks = savedbreaks;
        continues = savedcontinues;
    }

    // An expression of its own (initialisation, step), when there is one.
    void sideblock(ExprNode* e) {
        if (!e) return;
        exprflow(e, 0);
        endblock(true);
    }

    // The body and step of a for or counted loop, back to its head; then
    // the exits (the test's or the count's) and the breaks go on. A counted
    // loop also leaves at the end of its last round (bottomexit).
    void stepped(StmtNode* st, int head, const Exits& exits, bool bottomexit = false) {
        Exits brk, cont;
        loopbody(st->body, brk, cont);
        pending.insert(pending.end(), cont.begin(), cont.end());
        sideblock(st->incr);
        for (int p : pending) edge(p, head);
        Exits bottom = bottomexit ? pending : Exits{};
        pending = exits;
        pending.insert(pending.end(), bottom.begin(), bottom.end());
        pending.insert(pending.end(), brk.begin(), brk.end());
    }

    void stmtflow(StmtNode* st);
};

void Flow::stmtflow(StmtNode* st) {
    if (!st || (st->flags & sflag::Unreachable)) return;
    if (st->label) {
        int l = newblock();
        labels[st] = l;
        if ((st->flags & sflag::HasCase) && switchblock >= 0) edge(switchblock, l);
    }
    switch (st->kind) {
    case sk::Expr:
    case sk::DeferredInit:
        if (st->expr) {
            exprflow(st->expr, 0);
            int b = endblock(true);
            ExprNode* e = st->expr;
            while (e && e->op == opc::Cast && codeof(e->type) == ty::Void) e = e->left;
            if (e && e->op == opc::Call) blocks[static_cast<size_t>(b)].call = e;
        }
        break;
    case sk::Block: {
        if (st->expr) {
            exprflow(st->expr, 0);
            endblock(true);
        }
        Exits brk;
        Exits* sb = breaks;
        breaks = &brk;
        if (st->body) stmtflow(st->body);
        breaks = sb;
        pending.insert(pending.end(), brk.begin(), brk.end());
        break;
    }
    case sk::Compound:
        for (StmtNode* s = st->body; s; s = s->next) stmtflow(s);
        break;
    case sk::AsmLine: endblock(true); break;
    case sk::Break:
        if (breaks) breaks->insert(breaks->end(), pending.begin(), pending.end());
        pending.clear();
        break;
    case sk::Continue:
        if (continues) continues->insert(continues->end(), pending.begin(), pending.end());
        pending.clear();
        break;
    case sk::Goto: {
        exprflow(st->expr, 0);
        int b = endblock(true);
        const StmtNode* target = st->gotolabel ? st->gotolabel->stmt : nullptr;
        gotos.emplace_back(b, target);
        pending.clear();
        break;
    }
    case sk::Return:
        if (st->expr) {
            exprflow(st->expr, 2);
            endblock(true);
        }
        returns.insert(returns.end(), pending.begin(), pending.end());
        pending.clear();
        break;
    case sk::If: {
        Exits yes, no;
        condflow(st->expr, yes, no);
        pending = yes;
        if (st->body) stmtflow(st->body);
        Exits after = pending;
        pending = no;
        if (st->aux) stmtflow(st->aux);
        pending.insert(pending.end(), after.begin(), after.end());
        break;
    }
    case sk::While: {
        int head = newblock();
        Exits yes, no;
        condflow(st->expr, yes, no);
        pending = yes;
        Exits brk, cont;
        loopbody(st->body, brk, cont);
        for (int p : pending) edge(p, head);
        for (int p : cont) edge(p, head);
        pending = no;
        pending.insert(pending.end(), brk.begin(), brk.end());
        break;
    }
    case sk::Do: {
        int head = newblock();
        Exits brk, cont;
        loopbody(st->body, brk, cont);
        pending.insert(pending.end(), cont.begin(), cont.end());
        Exits yes, no;
        condflow(st->expr, yes, no);
        for (int p : yes) edge(p, head);
        pending = no;
        pending.insert(pending.end(), brk.begin(), brk.end());
        break;
    }
    case sk::For: {
        sideblock(st->init);
        Exits entry = pending;
        bool onentry = st->expr && st->init && entrytest(P, st->init, st->expr) == 2;
        if (onentry) st->expr->nflags |= kTrueOnEntry;
        int head = newblock();
        Exits yes, no;
        if (st->expr)
            condflow(st->expr, yes, no);
        else
            yes.assign(1, head);
        pending = yes;
        if (onentry) pending.insert(pending.end(), entry.begin(), entry.end());
        stepped(st, head, no);
        break;
    }
    case sk::CountedLoop: {
        // the count is taken once; the body runs that many times (maybe none)
        sideblock(st->init);
        exprflow(st->expr, 2);
        endblock(true);
        Exits skip = pending;
        int head = newblock();
        stepped(st, head, skip, true);
        break;
    }
    case sk::Switch: {
        exprflow(st->expr, 2);
        int value = endblock(true);
        pending.clear();
        int savedswitch = switchblock;
        switchblock = value;
        Exits brk;
        Exits* sb = breaks;
        breaks = &brk;
        if (st->body) stmtflow(st->body);
        breaks = sb;
        switchblock = savedswitch;
        pending.insert(pending.end(), brk.begin(), brk.end());
        bool hasdefault = false;
        for (Symbol* c = st->cases; c; c = c->next)
            if (c->sclass == sc::DefaultLabel) hasdefault = true;
        if (!hasdefault) pending.push_back(value);
        break;
    }
    default: break;
    }
}

// The tracked locals: the 32 heaviest candidates; the scope table.
void assignflowbits(Parser& P) {
    FuncState& F = P.fn;
    FlowState& W = F.flow;
    W.tracked.clear();
    W.scopeof.clear();
    W.scopes.clear();
    std::unordered_map<const StmtNode*, int> index;
    for (StmtNode* c = F.compounds; c; c = c->aux) index[c] = static_cast<int>(index.size());
    W.scopes.resize(index.size());
    // nesting from the statement tree
    struct Walk {
        std::unordered_map<const StmtNode*, int>& index;
        std::vector<FlowScope>& scopes;
        void stmt(StmtNode* s, int scope) {
            for (; s; s = s->next) one(s, scope);
        }
        void expr(ExprNode* e, int scope) {
            for (; e; e = e->right) {
                if (e->op == opc::Sequence) {
                    expr(e->left, scope);
                    stmt(e->stmts, scope);
                    continue;
                }
                expr(e->left, scope);
                expr(e->middle, scope);
            }
        }
        void one(StmtNode* s, int scope) {
            int inner = scope;
            if (s->kind == sk::Compound) {
                auto it = index.find(s);
                if (it != index.end()) {
                    inner = it->second;
                    scopes[static_cast<size_t>(inner)].block = s;
                    scopes[static_cast<size_t>(inner)].parent = scope;
                    scopes[static_cast<size_t>(inner)].depth = scope < 0 ? 0 : scopes[static_cast<size_t>(scope)].depth + 1;
                }
                stmt(s->body, inner);
                return;
            }
            expr(s->expr, scope);
            expr(s->init, scope);
            expr(s->incr, scope);
            if (s->body && s->kind != sk::Break && s->kind != sk::Continue) one(s->body, scope);
            if (s->aux && s->kind == sk::If) one(s->aux, scope);
        }
    } walk{index, W.scopes};
    if (F.compounds) walk.one(F.compounds, -1);

    auto consider = [&](Symbol* s, int scope) {
        s->flowbit = 0;
        if (!iscandidate(s)) return;
        if (W.tracked.size() < kMaxTracked) {
            s->flowbit = 1u << W.tracked.size();
            W.tracked.push_back(s);
            W.scopeof.push_back(scope);
            return;
        }
        size_t light = 0;
        for (size_t k = 1; k < W.tracked.size(); ++k)
            if (W.tracked[k]->weight < W.tracked[light]->weight) light = k;
        if (W.tracked[light]->weight < s->weight) {
            s->flowbit = W.tracked[light]->flowbit;
            W.tracked[light]->flowbit = 0;
            W.tracked[light] = s;
            W.scopeof[light] = scope;
        }
    };
    for (Symbol* p : F.params) consider(p, 0);
    for (StmtNode* c = F.compounds; c; c = c->aux) {
        int scope = index[c];
        for (Symbol* s = c->locals; s; s = s->next) consider(s, scope);
    }
}

void sortbyweight(FlowState& W) {
    std::vector<size_t> order(W.tracked.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return W.tracked[a]->weight > W.tracked[b]->weight; });
    std::vector<Symbol*> t;
    std::vector<int> s;
    for (size_t k : order) {
        t.push_back(W.tracked[k]);
        s.push_back(W.scopeof[k]);
    }
    W.tracked = t;
    W.scopeof = s;
}

bool inside(const FlowState& W, int scope, int outer) {
    for (int k = 0; scope >= 0 && k < 10000; ++k) {
        if (scope == outer) return true;
        scope = W.scopes[static_cast<size_t>(scope)].parent;
    }
    return false;
}

int depthof(const FlowState& W, int scope) { return scope < 0 ? 0 : W.scopes[static_cast<size_t>(scope)].depth; }

// One register class and one size: the slot (or register) fits both.
bool samesize(Parser& P, const Symbol* a, const Symbol* b) {
    if (isparam(a) && isparam(b)) return false;
    if (ty::isfloating(codeof(a->type)) != ty::isfloating(codeof(b->type))) return false;
    return typesize(P, a->type) == typesize(P, b->type);
}

// The partition of the tracked locals into the fewest groups whose members
// never live together, best first; empty when the budget runs out.
std::vector<uint32_t> findgroups(Parser& P, const std::vector<uint32_t>& interf, uint32_t readset) {
    const FlowState& W = P.fn.flow;
    size_t n = W.tracked.size();
    struct State {
        size_t next;
        std::vector<uint32_t> groups;
    };
    std::map<size_t, std::vector<State>> queue;  // by locals left + groups; the back is the front
    queue[n - 1 + 1].push_back(State{1, {W.tracked[0]->flowbit}});
    size_t made = 1;
    while (!queue.empty()) {
        auto first = queue.begin();
        State s = std::move(first->second.back());
        first->second.pop_back();
        if (first->second.empty()) queue.erase(first);
        if (s.next == n) return s.groups;
        Symbol* L = W.tracked[s.next];
        uint32_t bit = L->flowbit;
        size_t left = n - s.next - 1;
        if (readset & bit) {
            for (size_t g = 0; g < s.groups.size(); ++g) {
                uint32_t members = s.groups[g];
                if ((members & ~readset) || (members & interf[s.next])) continue;
                bool fits = true;
                for (size_t k = 0; k < n && fits; ++k)
                    if (members & W.tracked[k]->flowbit) fits = samesize(P, W.tracked[k], L);
                if (!fits) continue;
                State t{s.next + 1, s.groups};
                t.groups[g] |= bit;
                queue[left + t.groups.size()].push_back(std::move(t));
                ++made;
            }
        }
        State own{s.next + 1, s.groups};
        own.groups.push_back(bit);
        queue[left + own.groups.size()].push_back(std::move(own));
        if (++made > kSearchBudget) return {};
    }
    return {};
}

void sharegroup(Parser& P, uint32_t group) {
    FlowState& W = P.fn.flow;
    std::vector<size_t> members;
    for (size_t k = 0; k < W.tracked.size(); ++k)
        if (group & W.tracked[k]->flowbit) members.push_back(k);
    if (members.size() < 2) return;
    size_t rep = members[0];
    if (W.scopeof[rep] != 0) {
        int shallow = depthof(W, W.scopeof[rep]);
        for (size_t m : members) shallow = std::min(shallow, depthof(W, W.scopeof[m]));
        size_t count = 0;
        for (size_t m : members)
            if (depthof(W, W.scopeof[m]) == shallow) {
                if (!count) rep = m;
                ++count;
            }
        if (count > 1 && shallow != 0) return;
    }
    std::vector<size_t> kept;
    for (size_t m : members)
        if (inside(W, W.scopeof[m], W.scopeof[rep])) kept.push_back(m);
    if (W.scopeof[rep] == 0 && !isparam(W.tracked[rep]))
        for (size_t m : kept)
            if (m > rep && isparam(W.tracked[m])) {
                rep = m;
                break;
            }
    Symbol* r = W.tracked[rep];
    for (size_t m : kept) {
        if (m == rep) continue;
        Symbol* s = W.tracked[m];
        s->sclass = sc::Alias;
        s->standsfor = r;
        r->weight = static_cast<uint16_t>(std::min<uint32_t>(0xFFFFu, uint32_t{r->weight} + s->weight));
    }
}

// A local's name as the program wrote it (not a temporary of the parser).
bool usernamed(const Symbol* s) { return s->name && namelength(s->name) > 0 && nametext(s->name)[0] != '.'; }

void Flow::run(StmtNode* body) {
    FuncState& F = P.fn;
    FlowState& W = F.flow;
    assignflowbits(P);
    if (W.tracked.empty() && F.calls == 0) return;
    sortbyweight(W);

    int entry = newblock();
    for (Symbol* s : W.tracked)
        if (isparam(s)) blocks[static_cast<size_t>(entry)].def |= s->flowbit;
    stmtflow(body);
    blocks.emplace_back();
    int exitblock = static_cast<int>(blocks.size() - 1);
    for (int p : pending) edge(p, exitblock);
    for (int p : returns) edge(p, exitblock);
    for (auto& g : gotos) {
        auto it = g.second ? labels.find(g.second) : labels.end();
        if (it != labels.end()) {
            edge(g.first, it->second);
        } else {
            for (auto& l : labels) edge(g.first, l.second);
            edge(g.first, exitblock);
        }
    }
    // liveness to a fixed point
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t k = blocks.size(); k-- > 0;) {
            Block& b = blocks[k];
            uint32_t out = 0;
            for (int s : b.succ) out |= blocks[static_cast<size_t>(s)].in;
            uint32_t in = b.use | (out & ~b.def);
            if (out != b.out || in != b.in) changed = true;
            b.out = out;
            b.in = in;
        }
    }
    uint32_t readset = 0;
    std::vector<uint32_t> interf(W.tracked.size(), 0);
    for (const Block& b : blocks) {
        readset |= b.use;
        uint32_t together = b.in | b.out | b.def | b.use;
        for (size_t k = 0; k < W.tracked.size(); ++k)
            if (together & W.tracked[k]->flowbit) interf[k] |= together;
    }

    // used before set
    uint32_t early = blocks[static_cast<size_t>(entry)].in;
    if (P.opt.warnlevel != 0 && early)
        for (Symbol* s : W.tracked)
            if ((early & s->flowbit) && !isparam(s) && usernamed(s))
                putdiagat(P, s->useline, s->usecolumn, namelength(s->name), "W7%.*s used before set",
                          namelength(s->name), nametext(s->name));

    // dead stores and tail calls
    bool tailok = true;
    for (Symbol* p : F.params)
        if (p->flags & sf::AddrTaken) tailok = false;
    for (StmtNode* c = F.compounds; c; c = c->aux)
        for (Symbol* s = c->locals; s; s = s->next)
            if ((s->sclass == sc::Auto || s->sclass == sc::Register) && (s->flags & sf::AddrTaken)) tailok = false;
    for (Block& b : blocks) {
        for (ExprNode* store : b.stores)
            if (!(store->left->sym->flowbit & b.out)) setnode(store, store->right);
        if (b.call && tailok && !(b.call->nflags & kTailCall)) {
            const Block* k = &b;
            for (size_t steps = 0; steps <= blocks.size(); ++steps) {
                if (k->succ.size() != 1) break;
                const Block& next = blocks[static_cast<size_t>(k->succ[0])];
                if (next.hasexpr) break;
                if (next.succ.empty()) {
                    b.call->nflags |= kTailCall;
                    break;
                }
                k = &next;
            }
        }
    }

    // shared slots
    if (W.tracked.size() >= 2) {
        std::vector<uint32_t> groups = findgroups(P, interf, readset);
        if (!groups.empty() && groups.size() < W.tracked.size()) {
            for (uint32_t g : groups) sharegroup(P, g);
            sortbyweight(W);
        }
    }
}

}  // namespace

void flowlocals(Parser& P, StmtNode* body) {
    if (!body) return;
    Flow flow(P);
    flow.run(body);
}

int regok(Parser& P, Symbol* s, uint32_t candidates) {
    if (!s->flowbit) return 1;
    const FlowState& W = P.fn.flow;
    size_t at = W.tracked.size();
    for (size_t k = 0; k < W.tracked.size(); ++k)
        if (W.tracked[k] == s) at = k;
    if (at == W.tracked.size()) return 1;
    int mydepth = depthof(W, W.scopeof[at]);
    for (size_t k = 0; k < at; ++k) {
        const Symbol* t = W.tracked[k];
        if (t->weight == s->weight) break;
        if ((t->flags & sf::LaidOut) || t->sclass == sc::Alias) continue;
        if (depthof(W, W.scopeof[k]) > mydepth && inside(W, W.scopeof[k], W.scopeof[at]))
            candidates &= candidates - 1;  // one register kept for it
    }
    return (candidates & 0xFFFF) != 0;
}

}  // namespace cpppc

// The per-function passes that run after a body is parsed: lowering (frame
// layout of the locals, folding, statics and externs of blocks, dead
// loops) and the statement and function writer. Data flow over locals,
// register assignment and the loop rewrites the statement parser offers
// (counted loops, strength reduction, invariant hoisting, while to for)
// leave the trees as they are, which is always a correct program: every
// local lives in the frame and every loop is written as it stands.
#include <algorithm>

#include "parser/exprtree.h"
#include "parser/irwrite.h"
#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

constexpr uint8_t kTailCall = 0x40;  // call node: in tail position

bool isconstleaf(const ExprNode* e) { return isleaf(e) && !(e->leafbits & (leaf::Symbol | leaf::Literal)); }

// Calls left in a tree, and of them those in tail position. A callee
// that could see the caller's frame (a local whose address was taken)
// makes no call a tail call.
void countcalls(Parser& P, ExprNode* e, bool tailok) {
    while (e) {
        if (e->op == opc::Call) {
            if (!tailok) e->nflags = static_cast<uint8_t>(e->nflags & ~kTailCall);
            if (!putasmcall(P, e, 1, nullptr)) {
                ++P.fn.callsmade;
                if (e->nflags & kTailCall) ++P.fn.tailcalls;
            }
        }
        if (e->op == opc::Sequence) {
            e = e->right;
            continue;
        }
        countcalls(P, e->left, tailok);
        countcalls(P, e->middle, tailok);
        e = e->right;
    }
}

bool frameescapes(Parser& P) {
    for (Symbol* p : P.fn.params)
        if (p->flags & sf::AddrTaken) return true;
    for (StmtNode* c = P.fn.compounds; c; c = c->aux)
        for (Symbol* s = c->locals; s; s = s->next)
            if ((s->sclass == sc::Auto || s->sclass == sc::Register) && (s->flags & sf::AddrTaken)) return true;
    return false;
}

// ---- locals that nothing uses ----

bool unusedlocal(const Symbol* s) {
    return (s->sclass == sc::Auto || s->sclass == sc::Register) && !(s->flags & sf::Referenced);
}

// An initialization of a local that nothing reads leaves only its value,
// or nothing when the value has no side effects.
void dropinits(Parser& P, ExprNode** slot) {
    ExprNode* e = *slot;
    if (!e) return;
    if (e->op == opc::Comma) {
        dropinits(P, &e->left);
        dropinits(P, &e->right);
        if (!e->left || !e->right) *slot = e->left ? e->left : e->right;
        return;
    }
    if (e->op != tok::Assign || !isnamedcontents(e->left) || !(e->left->leafbits & leaf::InitTarget) ||
        !unusedlocal(e->left->sym))
        return;
    *slot = isfree(P, e->right) ? nullptr : e->right;
    if (!*slot) dropexpr(P, e->right);
}

void nameduses(Parser& P, StmtNode* st);

// Every local that a tree still names keeps its storage.
void namedin(Parser& P, ExprNode* e) {
    while (e) {
        if (e->op == opc::Leaf) {
            if ((e->leafbits & leaf::Symbol) && e->sym && unusedlocal(e->sym)) e->sym->flags |= sf::Referenced;
            return;
        }
        if (e->op == opc::Sequence)
            for (StmtNode* t = e->stmts; t; t = t->next) nameduses(P, t);
        namedin(P, e->left);
        namedin(P, e->middle);
        e = e->right;
    }
}

void nameduses(Parser& P, StmtNode* st) {
    if (!st || st->kind == sk::Break || st->kind == sk::Continue) return;  // their body is the loop they leave
    if (st->kind == sk::Compound) {
        for (StmtNode* t = st->body; t; t = t->next) nameduses(P, t);
        return;
    }
    if (st->kind == sk::Expr || st->kind == sk::DeferredInit) dropinits(P, &st->expr);
    namedin(P, st->expr);
    namedin(P, st->init);
    namedin(P, st->incr);
    nameduses(P, st->body);
    if (st->kind == sk::If) nameduses(P, st->aux);
}

void lowerexpr(Parser& P, ExprNode* e, uint16_t width) {
    if (!e) return;
    foldexpr(P, e, width);
    countcalls(P, e, P.fn.tailok);
}

void lowerstmt(Parser& P, StmtNode* st);

void lowerlist(Parser& P, StmtNode* list) {
    for (StmtNode* s = list; s; s = s->next)
        if (!(s->flags & sflag::Unreachable)) lowerstmt(P, s);
}

void lowerstmt(Parser& P, StmtNode* st) {
    FuncState& F = P.fn;
    switch (st->kind) {
    case sk::Expr:
    case sk::DeferredInit:
    case sk::Goto: lowerexpr(P, st->expr, 0); break;
    case sk::Block:
        lowerexpr(P, st->expr, 0);
        if (st->body) lowerstmt(P, st->body);
        break;
    case sk::Compound: {
        int32_t saved = F.localoffset;
        uint32_t savedfree = F.freeint & 0xFFFF;  // r15 and r14 stay taken after a nested block
        decidelocals(P, st);
        lowerlist(P, st->body);
        addrblockend(P, st);
        F.localoffset = saved;
        F.freeint = savedfree;
        break;
    }
    case sk::Do:
        lowerexpr(P, st->expr, 0);
        if (st->body) lowerstmt(P, st->body);
        break;
    case sk::For:
    case sk::CountedLoop:
        lowerexpr(P, st->init, 0);
        lowerexpr(P, st->expr, 0);
        if (st->kind == sk::For && st->init && st->expr) {
            // a test known on entry: no jump to it first, or no loop
            int entry = entrytest(P, st->init, st->expr);
            if (entry == 2) st->expr->nflags |= kTrueOnEntry;
            if (entry == 1) st->expr = mkconst(P, 0, P.types.sint);
        }
        if (st->kind == sk::For && isconstleaf(st->expr) && st->expr->value == 0 && !ty::isfloating(tcode(st->expr)) &&
            !(st->flags & sflag::HasLabel)) {
            // never runs: only the initialization stays
            st->kind = st->init ? sk::Expr : sk::Block;
            st->expr = st->init;
            st->init = st->incr = nullptr;
            st->body = nullptr;
            st->flags &= sflag::HasCase | sflag::Unreachable;
            break;
        }
        if (st->body) lowerstmt(P, st->body);
        lowerexpr(P, st->incr, 0);
        break;
    case sk::While:
        lowerexpr(P, st->expr, 0);
        if (isconstleaf(st->expr) && st->expr->value == 0 && !ty::isfloating(tcode(st->expr))) {
            st->kind = sk::Block;
            st->expr = nullptr;
            st->body = nullptr;
        } else if (st->body) {
            lowerstmt(P, st->body);
        }
        break;
    case sk::If:
        lowerexpr(P, st->expr, 0);
        if (st->body) lowerstmt(P, st->body);
        if (st->aux) lowerstmt(P, st->aux);
        break;
    case sk::Return: {
        TypeNode* t = basetype(F.rettype);
        uint16_t c = t ? t->code : 0;
        bool narrow = c == ty::Char || c == ty::UChar || c == ty::Short || c == ty::UShort;
        lowerexpr(P, st->expr, narrow ? c : 0);
        break;
    }
    case sk::Switch:
        lowerexpr(P, st->expr, 0);
        if (st->body) lowerstmt(P, st->body);
        lowerswitch(P, st);
        break;
    default: break;
    }
}

// ---- the writer ----

void putlabelrec(Parser& P, uint8_t code, uint32_t label, uint32_t line, uint8_t mark) {
    if (ir::Output* o = irsink(P)) {
        o->u8(code);
        o->u16(static_cast<uint16_t>(label));
        o->u32(line);
        if (line) o->u8(mark);
    }
}

void putjump(Parser& P, uint32_t label) {
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_JUMP);
        o->u16(static_cast<uint16_t>(label));
    }
}

void putjumplabel(Parser& P, uint32_t jump, uint32_t label, uint32_t line, uint8_t mark) {
    if (jump) putjump(P, jump);
    if (label) putlabelrec(P, ir::R_LABEL, label, line, mark);
}

uint32_t newlabel(Parser& P) { return nextlabel(P); }

void putstmts(Parser& P, StmtNode* st, uint32_t C, uint32_t B);

void putinnerstmts(Parser& P, ExprNode* seq) {
    if (seq->left && seq->left->op == opc::Sequence) putinnerstmts(P, seq->left);
    for (StmtNode* s = seq->stmts; s; s = s->next)
        if (!(s->flags & sflag::Unreachable)) putstmts(P, s, 0, 0);
}

ExprNode* stripsequence(Parser& P, ExprNode* e) {
    while (e && e->op == opc::Sequence) {
        putinnerstmts(P, e);
        e = e->right;
    }
    return e;
}

void putexprstmt(Parser& P, ExprNode* e) {
    e = stripsequence(P, e);
    if (!e) return;
    // the value of an expanded inline call that nobody uses
    if (isleaf(e) && !(e->sym && (e->sym->attributes & attr::Volatile))) return;
    if (ir::Output* o = irsink(P)) o->u8(ir::R_EXPR);
    putexpr(P, e, 0);
}

void putspecial(Parser& P, ExprNode* e, int storage) {
    e = stripsequence(P, e);
    if (!e) return;
    TypeNode* type = e->type;
    if (storage == ir::S_RESULT && P.fn.rettype) type = P.fn.rettype;
    if (storage == ir::S_SWITCH) type = promotetype(P, e->type, 0);
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_EXPR);
        o->u8(ir::O_ASSIGN);
    }
    puttype(P, type, 0);
    if (ir::Output* o = irsink(P)) o->u8(ir::O_LEAF);
    puttype(P, type, 0);
    if (ir::Output* o = irsink(P)) {
        o->name(ir::NameBlock{});
        o->u32(0);
        o->u8(static_cast<uint8_t>(storage));
        o->u8(0);
    }
    putexpr(P, e, 0);
}

uint8_t branchcode(uint8_t op) {
    switch (op) {
    case 75: return ir::R_BLT;
    case 76: return ir::R_BGE;
    case 77: return ir::R_BGT;
    case 78: return ir::R_BLE;
    case 79: return ir::R_BEQ;
    default: return ir::R_BNE;
    }
}

uint8_t negated(uint8_t op) {
    switch (op) {
    case 75: return 76;
    case 76: return 75;
    case 77: return 78;
    case 78: return 77;
    case 79: return 80;
    default: return 79;
    }
}

// Records that branch to the label when the condition is true (onfalse 0)
// or false (onfalse 1).
void putcond(Parser& P, ExprNode* e, uint32_t label, int onfalse) {
    e = stripsequence(P, e);
    while (e && e->op == opc::Comma) {
        if (ir::Output* o = irsink(P)) o->u8(ir::R_EXPR);
        putexpr(P, e->left, 1);
        e = stripsequence(P, e->right);
    }
    if (!e) return;
    if (e->op == 91 || e->op == 92) {
        bool isand = e->op == 91;
        if (isand == !onfalse) {
            uint32_t L = newlabel(P);
            putcond(P, e->left, L, !onfalse);
            putcond(P, e->right, label, onfalse);
            putjumplabel(P, 0, L, 0, 0);
        } else {
            putcond(P, e->left, label, onfalse);
            putcond(P, e->right, label, onfalse);
        }
        return;
    }
    if (isconstleaf(e) && !ty::isfloating(tcode(e))) {
        if ((e->value != 0) == !onfalse) putjump(P, label);
        return;
    }
    ExprNode* l = e;
    ExprNode* r = nullptr;
    uint8_t op = 80;
    if (iscompare(e->op)) {
        op = e->op;
        l = e->left;
        r = e->right;
    }
    if (onfalse) op = negated(op);
    if (ir::Output* o = irsink(P)) {
        o->u8(branchcode(op));
        o->u16(static_cast<uint16_t>(label));
    }
    putexpr(P, l, 0);
    if (r) {
        putexpr(P, r, 0);
    } else {
        ExprNode zero;
        zero.type = ispointercode(tcode(l)) || ty::isfloating(tcode(l)) || !l->type ? P.types.sint : l->type;
        zero.value = 0;
        putexpr(P, &zero, 0);
    }
}

// The run of cases that starts at a case (see putswitch).
uint32_t switchrun(Symbol* first) {
    uint32_t v = first->value;
    uint32_t count = 1;
    bool straight = true, samelabel = true;
    for (Symbol* c = first->next; c; c = c->next) {
        if (c->sclass != sc::CaseLabel) {
            samelabel = false;
            continue;
        }
        uint32_t w = c->value;
        if ((w - v) / 2 > count) break;
        if (w != v + count) straight = false;
        if (c->stmt->label != first->stmt->label) samelabel = false;
        ++count;
    }
    return straight && samelabel ? 1 : count;
}

uint32_t putswitch(Parser& P, uint32_t D, uint32_t K, Symbol* cases, uint32_t size) {
    uint32_t deflabel = 0, count = 0;
    for (Symbol* c = cases; c; c = c->next) {
        if (c->sclass == sc::CaseLabel)
            ++count;
        else
            deflabel = c->stmt->label;
    }
    if (count > 0xFFFF) {
        // the count is a 16-bit field of the file
        putdiag(P, "too many cases in switch");
        return 0;
    }
    uint32_t result = 0;
    if (!deflabel) {
        deflabel = K;
        result = K;
    }
    ir::Output* o = irsink(P);
    if (o) {
        o->u8(ir::R_SWITCHTABLES);
        o->u8(0);
        o->u16(static_cast<uint16_t>(D));
        o->u16(static_cast<uint16_t>(deflabel));
        o->u16(static_cast<uint16_t>(count));
        o->u16(static_cast<uint16_t>(size));
    }
    std::vector<Symbol*> list;
    for (Symbol* c = cases; c; c = c->next)
        if (c->sclass == sc::CaseLabel) list.push_back(c);
    std::vector<bool> written(list.size(), false);
    uint32_t remaining = count;
    size_t search = 0;
    while (remaining > 6) {
        size_t best = list.size();
        uint32_t bestrun = 0;
        for (size_t k = search; k < list.size(); ++k) {
            uint32_t run = switchrun(list[k]);
            if (run > bestrun) {
                bestrun = run;
                best = k;
            }
        }
        if (bestrun < 6) break;
        int32_t firstv = static_cast<int32_t>(list[best]->value);
        int32_t lastv = static_cast<int32_t>(list[best + bestrun - 1]->value);
        uint32_t span = static_cast<uint32_t>(lastv) - static_cast<uint32_t>(firstv) + 1;
        if (span > 0xFFFF) break;  // left to ranges and single cases
        if (o) {
            o->u8(ir::R_JUMPTABLE);
            o->u16(static_cast<uint16_t>(span));
            o->u32(static_cast<uint32_t>(firstv));
        }
        size_t at = best;
        for (uint32_t i = 0; i < span; ++i) {
            uint32_t want = static_cast<uint32_t>(firstv) + i;
            uint32_t label = deflabel;
            if (at < best + bestrun && list[at]->value == want) {
                label = list[at]->stmt->label;
                written[at] = true;
                ++at;
            }
            if (o) o->u16(static_cast<uint16_t>(label));
        }
        search = best + bestrun;
        remaining -= bestrun;
    }
    for (size_t k = 0; k < list.size(); ++k) {
        if (written[k]) continue;
        size_t n = 1;
        while (k + n < list.size() && !written[k + n] && list[k + n]->value == list[k]->value + n &&
               list[k + n]->stmt->label == list[k]->stmt->label)
            ++n;
        if (n < 2) continue;
        if (o) {
            o->u8(ir::R_RANGE);
            o->u32(list[k]->value);
            o->u32(static_cast<uint32_t>(n));
            o->u16(list[k]->stmt->label);
        }
        for (size_t i = 0; i < n; ++i) written[k + i] = true;
        remaining -= static_cast<uint32_t>(n);
    }
    if (o) {
        o->u8(ir::R_CASES);
        o->u16(static_cast<uint16_t>(remaining));
        for (size_t k = 0; k < list.size(); ++k) {
            if (written[k]) continue;
            o->u32(list[k]->value);
            o->u16(list[k]->stmt->label);
        }
        o->u8(ir::R_TABLESEND);
    }
    return result;
}

bool isconstcond(const ExprNode* e) { return !e || (isconstleaf(e) && !ty::isfloating(tcode(e))); }

// With -l or -x, the source range of a statement or of one part of it: 0 the
// whole statement, 1 a do loop's test, 2 a for loop's initialization, 3 its
// step, 4 its test (and the ends of a counted loop).
void putrange(Parser& P, const StmtNode* st, int part) {
    // -x needs the lines too; a statement made by the parser has no place of its own
    if ((!P.opt.l && !P.opt.x) || !st->lastline) return;
    uint32_t l1 = st->firstline, l2 = st->lastline;
    uint32_t c1 = st->firstcol, c2 = st->lastcol;
    switch (part) {
    case 1: l1 = st->partline1, c1 = st->partcol1; break;
    case 2: l2 = st->partline1, c2 = st->partcol1; break;
    case 3: l1 = st->partline2, c1 = st->partcol2 + 1u; break;
    case 4: l1 = st->partline1, c1 = st->partcol1 + 1u, l2 = st->partline2, c2 = st->partcol2; break;
    default: break;
    }
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_SRCRANGE);
        o->u32(l1);
        o->u16(static_cast<uint16_t>(c1));
        o->u32(l2);
        o->u16(static_cast<uint16_t>(c2));
    }
}

// The initialization of a for loop, with its range when it has columns.
void putinit(Parser& P, const StmtNode* st) {
    if (!st->init) return;
    if (st->firstcol < st->partcol1) putrange(P, st, 2);
    putexprstmt(P, st->init);
}

// A loop's step, one statement per part of its comma chain.
void putsteps(Parser& P, ExprNode* e) {
    if (e && e->op == opc::Comma) {
        putsteps(P, e->left);
        putsteps(P, e->right);
    } else {
        putexprstmt(P, e);
    }
}

void putloopmark(Parser& P, uint32_t label, uint8_t start) {
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_LOOP);
        o->u16(static_cast<uint16_t>(label));
        o->u8(start);
    }
}

// A counted loop: its body between the two loop records, or, with a known
// trip count, its body once per run with the variable's successive values
// in place of the variable, then the final value when anything reads it.
void putcounted(Parser& P, StmtNode* st) {
    putinit(P, st);
    const LoopNote* note = loopnote(P, st);
    if ((st->flags & sflag::KnownTrips) && note && note->unrolled && isconstleaf(st->expr)) {
        Symbol* v = note->var;
        ExprNode* saved = v->valueexpr;
        uint32_t replaced = v->flags & sf::Replaced;
        uint32_t value = note->start;
        for (uint32_t k = 0; k < st->expr->value && !P.errors; ++k) {
            v->valueexpr = mkconst(P, narrowvalue(P, value, v->type), v->type);
            v->flags |= sf::Replaced;
            putstmts(P, st->body, 0, 0);
            value += note->up ? 1u : 0xFFFFFFFFu;
        }
        v->valueexpr = saved;
        v->flags = (v->flags & ~sf::Replaced) | replaced;
        if (v->flags & sf::Referenced) {
            ExprNode* target = newexpr(P, opc::Leaf);
            target->leafbits = leaf::Contents | leaf::Symbol | leaf::InitTarget;
            target->sym = v;
            target->type = v->type;
            putexprstmt(P, mknode(P, 95, v->type, target, mkconst(P, narrowvalue(P, value, v->type), v->type)));
        }
        return;
    }
    uint32_t L = newlabel(P), N = newlabel(P), X = newlabel(P);
    putrange(P, st, 4);
    putloopmark(P, L, 1);
    putexpr(P, st->expr, 0);
    putstmts(P, st->body, N, X);
    if (st->file) putfilename(P, &st->file->name);
    if (st->flags & sflag::Continued)
        putjumplabel(P, 0, N, st->firstline, 0);
    else
        putline(P, st->firstline);
    if (st->incr) putrange(P, st, 3);
    putsteps(P, st->incr);
    putrange(P, st, 4);
    putloopmark(P, L, 0);
    if (st->flags & sflag::Breaks) putjumplabel(P, 0, X, 0, 0);
}

void putstmts(Parser& P, StmtNode* st, uint32_t C, uint32_t B) {
    if (P.errors || !st) return;
    if (st->file) putfilename(P, &st->file->name);
    if (st->label)
        putlabelrec(P, (st->flags & sflag::HasCase) ? ir::R_KEPTLABEL : ir::R_LABEL, st->label, st->firstline, 0);
    else if (st->kind != sk::Compound)
        putline(P, st->firstline);
    switch (st->kind) {
    case sk::Expr:
    case sk::DeferredInit:
        if (!(st->flags & sflag::NoValue)) putrange(P, st, 0);
        putexprstmt(P, st->expr);
        break;
    case sk::Block: {
        putexprstmt(P, st->expr);
        if (st->body) {
            uint32_t X = (st->flags & sflag::Breaks) ? newlabel(P) : B;
            putstmts(P, st->body, C, X);
            if (X != B) putjumplabel(P, 0, X, 0, 0);
        }
        break;
    }
    case sk::Compound:
        for (StmtNode* s = st->body; s; s = s->next)
            if (!(s->flags & sflag::Unreachable)) putstmts(P, s, C, B);
        break;
    case sk::AsmLine:
        for (StmtNode* l = st->body; l; l = l->next) {
            putrange(P, l, 0);
            putline(P, l->firstline);
            if (l->asmtext) putasmtext(P, l->asmtext->data(), l->asmtext->size());
        }
        if (st->asmtext && !st->body) putasmtext(P, st->asmtext->data(), st->asmtext->size());
        break;
    case sk::RegLoad: {
        if (st->expr && st->expr->op != opc::Leaf) {
            putexprstmt(P, st->expr);  // an address register takes its object's address
            break;
        }
        // the register takes the parameter's value from its slot; from
        // here on the parameter is that register
        Symbol* s = st->expr && st->expr->sym ? st->expr->sym : nullptr;
        if (!s) break;
        int reg = s->attributes;
        s->sclass = sc::Param;
        s->attributes = defaultspace(P, 0, sc::Param, codeof(s->type));
        putspecial(P, st->expr, regstorage(reg));
        s->sclass = sc::Register;
        s->value = 0;
        s->attributes = static_cast<uint16_t>(reg);
        break;
    }
    case sk::Break:
        putrange(P, st, 0);
        putjump(P, B);
        break;
    case sk::Continue:
        putrange(P, st, 0);
        putjump(P, C);
        break;
    case sk::Goto:
        if (!(st->flags & sflag::NoValue)) putrange(P, st, 0);
        putexprstmt(P, st->expr);
        if (st->gotolabel && st->gotolabel->stmt) putjump(P, st->gotolabel->stmt->label);
        break;
    case sk::Return:
        putrange(P, st, 0);
        if (st->expr) putspecial(P, st->expr, ir::S_RESULT);
        if (ir::Output* o = irsink(P)) o->u8(ir::R_RETURN);
        break;
    case sk::If: {
        uint32_t E = newlabel(P);
        putrange(P, st, 0);
        putcond(P, st->expr, E, 1);
        uint32_t BB = B;
        if (st->flags & sflag::Breaks) BB = newlabel(P);
        putstmts(P, st->body, C, BB);
        if (st->aux) {
            uint32_t F = newlabel(P);
            putjumplabel(P, F, E, st->aux->firstline, 0);
            putstmts(P, st->aux, C, BB);
            E = F;
        }
        putjumplabel(P, 0, E, 0, 0);
        if (BB != B) putjumplabel(P, 0, BB, 0, 0);
        break;
    }
    case sk::Do: {
        uint32_t T = newlabel(P), K = newlabel(P);
        uint32_t bodyline = st->body ? st->body->firstline : st->firstline;
        putjumplabel(P, 0, T, bodyline, 0);
        if (!isconstcond(st->expr)) {
            uint32_t X = newlabel(P);
            putstmts(P, st->body, K, X);
            putjumplabel(P, 0, K, st->lastline, 0);
            putrange(P, st, 1);
            if (st->file) putfilename(P, &st->file->name);
            putcond(P, st->expr, T, 0);
            putjumplabel(P, 0, X, 0, 0);
        } else if (!st->expr || st->expr->value == 0) {
            putstmts(P, st->body, K, K);
            putjumplabel(P, 0, K, 0, 0);
        } else {
            putstmts(P, st->body, T, K);
            putjump(P, T);
            putjumplabel(P, 0, K, 0, 0);
        }
        break;
    }
    case sk::While: {
        uint32_t T = newlabel(P), K = newlabel(P);
        uint32_t bodyline = st->body ? st->body->firstline : st->firstline;
        if (!isconstcond(st->expr)) {
            uint32_t X = newlabel(P);
            putjump(P, K);
            putjumplabel(P, 0, T, bodyline, 0);
            putstmts(P, st->body, K, X);
            putjumplabel(P, 0, K, st->firstline, 1);
            putrange(P, st, 0);
            if (st->file) putfilename(P, &st->file->name);
            putcond(P, st->expr, T, 0);
            putjumplabel(P, 0, X, 0, 0);
        } else {
            putjumplabel(P, 0, T, bodyline, 0);
            putstmts(P, st->body, T, K);
            putjump(P, T);
            putjumplabel(P, 0, K, 0, 0);
        }
        break;
    }
    case sk::For: {
        putinit(P, st);
        uint32_t T = newlabel(P), K = newlabel(P);
        uint32_t bodyline = st->body ? st->body->firstline : st->firstline;
        bool constant = isconstcond(st->expr);
        if (constant && st->expr && st->expr->value == 0) break;
        if (constant) {
            putjumplabel(P, 0, T, bodyline, 0);
            uint32_t N = st->incr ? newlabel(P) : T;
            putstmts(P, st->body, N, K);
            if (st->incr) {
                putjumplabel(P, 0, N, st->firstline, 0);
                putrange(P, st, 3);
                putsteps(P, st->incr);
            }
            putjump(P, T);
            putjumplabel(P, 0, K, 0, 0);
            break;
        }
        uint32_t E = (st->expr->nflags & kTrueOnEntry) ? 0 : newlabel(P), X = newlabel(P);
        if (E) putjump(P, E);
        putjumplabel(P, 0, T, bodyline, 0);
        putstmts(P, st->body, K, X);
        if (st->file) putfilename(P, &st->file->name);
        putjumplabel(P, 0, K, st->firstline, 0);
        if (st->incr) putrange(P, st, 3);
        putsteps(P, st->incr);
        if (E) putjumplabel(P, 0, E, st->firstline, 1);
        putrange(P, st, 4);
        putcond(P, st->expr, T, 0);
        putjumplabel(P, 0, X, 0, 0);
        break;
    }
    case sk::CountedLoop: putcounted(P, st); break;
    case sk::Switch: {
        TypeNode* vt = promotetype(P, st->expr ? st->expr->type : P.types.sint, 0);
        uint32_t size = typesize(P, vt);
        putrange(P, st, 0);
        putspecial(P, st->expr, ir::S_SWITCH);
        uint32_t D = newlabel(P);
        if (ir::Output* o = irsink(P)) {
            o->u8(size == 1 ? ir::R_SWITCH1 : size == 2 ? ir::R_SWITCH2 : ir::R_SWITCH4);
            o->u16(static_cast<uint16_t>(D));
        }
        uint32_t K = newlabel(P);
        putstmts(P, st->body, C, K);
        uint32_t end = putswitch(P, D, K, st->cases, size == 1 || size == 2 ? size : 4);
        if (end || (st->flags & sflag::Breaks)) putlabelrec(P, ir::R_KEPTLABEL, K, 0, 0);
        break;
    }
    default: break;
    }
}

}  // namespace

void lowerfunc(Parser& P, StmtNode* body) {
    FuncState& F = P.fn;
    F.localoffset = 0;
    F.lowestlocal = 0;
    F.callsmade = 0;
    F.tailcalls = 0;
    F.tailok = !frameescapes(P);
    nameduses(P, body);
    addrsetup(P, body);
    if (body) lowerstmt(P, body);
}

void lowerstmtexpr(Parser& P, StmtNode* list) { lowerlist(P, list); }

void putfunc(Parser& P, Symbol* s, StmtNode* body, uint32_t declline, uint32_t braceline, uint32_t paramsize) {
    if (P.errors || P.opt.an) return;
    FuncState& F = P.fn;
    markregpassed(P, s);
    size_t inregs = 0;
    while (inregs < F.params.size() && (F.params[inregs]->flags & sf::RegPassed)) ++inregs;
    if (P.opt.x && !P.opt.xd) {
        // the function's debug entry: its link entry, lines, return type and scopes
        filedebug(P, s);
        putdebugbody(P, s, body, declline);
    }
    if (body && body->file) putfilename(P, &body->file->name);
    putdef(P, s, 0x800);
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_FUNCLINES);
        o->u32(declline);
        o->u32(braceline);
    }
    for (size_t k = 0; k < inregs; ++k) {
        Symbol* p = F.params[k];
        uint32_t offset = p->value;
        uint16_t code = codeof(p->type);
        if ((p->flags & sf::Promoted) && !ty::isfloating(code)) offset -= 4 - typesize(P, p->type);
        if (ir::Output* o = irsink(P)) o->u8(ir::R_PARAM);
        puttype(P, p->type, 0);
        bool inreg = p->sclass == sc::RegParam && p->attributes >= 1 && p->attributes <= 36;
        if (ir::Output* o = irsink(P)) {
            o->u32(offset);
            o->u8(static_cast<uint8_t>(inreg ? regstorage(p->attributes) : 0));
        }
    }
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_PARAMSIZE);
        o->u32(paramsize);
        if (F.lowestlocal) {
            o->u8(ir::R_FRAMELOW);
            o->u32(static_cast<uint32_t>(F.lowestlocal));
        }
        o->u8(ir::R_REGMASKS);
        o->u32(F.intmask);
        o->u32(F.floatmask);
        o->u8(F.callsmade != F.tailcalls ? 1 : 0);
    }
    putstmts(P, body, 0, 0);
    if (ir::Output* o = irsink(P)) o->u8(ir::R_ENDFUNC);
    P.irw.funcno += 2;
}

}  // namespace cpppc

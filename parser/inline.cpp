// Inline expansion: a call of an inline function inside an expression is
// replaced by the statements of the function's body, parsed again from its
// recorded tokens as a block whose parameters are bound to the call's
// arguments. The enclosing expression becomes a sequence node (op 254):
// the statements to run first, then what remains of the expression, in
// which the call stands as the temporary its returns stored into.
//
// Where evaluation order matters the expression is split: the branches of
// ?:, the right operand of && and ||, and the left operand of a comma whose
// right operand holds an expansion become statements of their own.
// Arguments are substituted only where that cannot change the result
// (constants converted to the parameter's type, or auto locals whose
// address is never taken, never assigned in the body); everything else is
// assigned to the parameter's local, and an argument of an unused parameter
// still runs when it has side effects.
#include "parser/exprtree.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

constexpr int kValueUsed = 1, kCheck = 2;
// Bounds of expansion: inline functions calling each other several times
// grow exponentially with their depth.
constexpr int kMaxExpansionNesting = 64;
constexpr uint32_t kMaxExpansions = 4000;

bool isexpandable(const ExprNode* call) {
    if (!call || call->op != opc::Call || !isnamed(call->left)) return false;
    const Symbol* f = call->left->sym;
    return (f->attributes & attr::Inline) && f->body;
}

StmtNode* exprstmt(Parser& P, ExprNode* e) {
    StmtNode* st = newstmt(P, sk::Expr);
    st->firstline = srcline(P);
    st->file = srcfile(P);
    st->expr = e;
    return st;
}

void append(StmtNode**& tail, StmtNode* st) {
    *tail = st;
    while (st->next) st = st->next;
    tail = &st->next;
}

ExprNode* symleaf(Parser& P, Symbol* s, TypeNode* type, bool target) {
    ExprNode* e = newexpr(P, opc::Leaf);
    e->leafbits = leaf::Contents | leaf::Symbol | (target ? leaf::InitTarget : 0);
    e->sym = s;
    e->type = type;
    return e;
}

bool isautolocal(const Symbol* s) {
    switch (s->sclass) {
    case sc::Auto:
    case sc::Register:
    case sc::Param:
    case sc::RegParam: return true;
    default: return false;
    }
}

// The call's arguments in order.
std::vector<ExprNode**> argslots(ExprNode* call) {
    std::vector<ExprNode**> slots;
    ExprNode** at = &call->right;
    while (*at) {
        if ((*at)->op == opc::ArgCell) {
            slots.push_back(&(*at)->left);
            at = &(*at)->right;
        } else {
            slots.push_back(at);
            break;
        }
    }
    return slots;
}

// A call of an inline function: its body parsed again, in place.
int expandcall(Parser& P, ExprNode** slot, ExprNode* call, ExprNode* assign, StmtNode**& tail, int mode) {
    Symbol* callee = call->left->sym;
    if (callee->flags & sf::Expanding) {
        if (!(mode & kCheck)) putdiag(P, "invalid recursive inline function");
        return 1;
    }
    if (mode & kCheck) return 0;
    FuncState& F = P.fn;
    if (F.expnest >= kMaxExpansionNesting || F.expcount >= kMaxExpansions) {
        if (!F.toolarge) putdiag(P, "expression too complex");
        F.toolarge = true;
        return 1;
    }
    ++F.expcount;
    for (ExprNode** a : argslots(call)) expandinline(P, a, tail, kValueUsed);
    Scopes& S = P.syms.scopes;
    Expansion saved = F.exp;
    TypeNode* savedret = F.rettype;
    Symbol* savedlabels = S.labels;
    S.labels = nullptr;
    TypeNode* rettype = basetype(callee->type)->subtype;
    bool isvoid = codeof(rettype) == ty::Void;
    ExprNode* target = nullptr;
    ExprNode* result = nullptr;
    if (assign && isleaf(assign->left)) {
        target = assign->left;
        result = assign->left;
    } else if (((mode & kValueUsed) || assign) && !isvoid) {
        target = newtemp(P, rettype);
        result = target;
    }
    F.exp = Expansion{};
    F.exp.callee = callee;
    F.exp.target = target;
    F.exp.rettype = rettype;
    F.exp.active = true;
    F.rettype = rettype;
    startreplay(P, callee->body);
    Token* brace = nexttoken(P);
    StmtNode* block = newstmt(P, sk::Compound);
    block->firstline = brace->line;
    block->firstcol = static_cast<uint16_t>(brace->column & 0x7fff);
    block->file = srcfile(P);
    callee->flags |= sf::Expanding;
    F.pendinginline = true;
    ++F.expnest;
    parseblock(P, nullptr, nullptr, block, basetype(callee->type)->params, call->right);
    --F.expnest;
    callee->flags &= ~sf::Expanding;
    stopreplay(P);
    append(tail, block);
    // the expansion's labels stay with the function until it ends
    while (Symbol* l = S.labels) {
        S.labels = l->next;
        l->next = S.inlinelabels;
        S.inlinelabels = l;
    }
    S.labels = savedlabels;
    F.rettype = savedret;
    F.exp = saved;
    forgetall(P);
    if (assign && !isleaf(assign->left)) {
        // a[i++] = f(x): the returns stored into a temporary, stored once here
        if (result) {
            assign->right = copyleaf(P, result);
        } else {
            assign->right = mkconst(P, 0, P.types.sint);
        }
        return 1;
    }
    if (result)
        *slot = copyleaf(P, result);
    else
        *slot = mkconst(P, 0, P.types.sint);
    return 1;
}

int expandcond(Parser& P, ExprNode** slot, StmtNode**& tail, int mode) {
    ExprNode* e = *slot;
    if (!expandinline(P, &e->left, tail, kValueUsed | (mode & kCheck))) return 0;
    StmtNode* scratch = nullptr;
    StmtNode** scratchtail = &scratch;
    bool plain = expandinline(P, &e->middle, scratchtail, kCheck) && expandinline(P, &e->right, scratchtail, kCheck);
    if (plain) return 1;
    if (mode & kCheck) return 0;
    bool isvoid = codeof(e->type) == ty::Void;
    ExprNode* temp = isvoid ? nullptr : newtemp(P, e->type);
    StmtNode* st = newstmt(P, sk::If);
    st->firstline = srcline(P);
    st->file = srcfile(P);
    st->expr = e->left;
    st->body = temp ? mkassign(P, temp, e->middle) : exprstmt(P, e->middle);
    st->aux = temp ? mkassign(P, temp, e->right) : exprstmt(P, e->right);
    append(tail, st);
    *slot = temp ? copyleaf(P, temp) : mkconst(P, 0, P.types.sint);
    forgetall(P);
    expandexpr(P, &st->body->expr, false, false);
    expandexpr(P, &st->aux->expr, false, false);
    return 1;
}

int expandlogical(Parser& P, ExprNode** slot, StmtNode**& tail, int mode) {
    ExprNode* e = *slot;
    if (!expandinline(P, &e->left, tail, kValueUsed | (mode & kCheck))) return 0;
    StmtNode* scratch = nullptr;
    StmtNode** scratchtail = &scratch;
    if (expandinline(P, &e->right, scratchtail, kCheck)) return 1;
    if (mode & kCheck) return 0;
    bool isand = e->op == tok::AndAnd;
    ExprNode* temp = newtemp(P, P.types.sint);
    StmtNode* st = newstmt(P, sk::If);
    st->firstline = srcline(P);
    st->file = srcfile(P);
    st->expr = isand ? e->left : negatecond(e->left);
    st->body = mkassign(P, temp, e->right);
    st->aux = mkassign(P, temp, mkconst(P, isand ? 0 : 1, P.types.sint));
    append(tail, st);
    forgetall(P);  // what the branches stored is not known here
    ExprNode* value = copyleaf(P, temp);
    ExprNode* cond = value;
    *slot = testexpr(P, &cond) ? cond : value;
    expandexpr(P, &st->body->expr, false, false);
    return 1;
}

}  // namespace

ExprNode* newtemp(Parser& P, TypeNode* type) {
    FuncState& F = P.fn;
    Scopes& S = P.syms.scopes;
    Symbol* temp = nullptr;
    for (Symbol* t : F.temps) {
        if (t->home == &S.ordinary && !(t->flags & sf::Assigned) && sametype(P, t->type, type)) {
            temp = t;
            break;
        }
    }
    if (temp) {
        temp->flags |= sf::Assigned;
    } else {
        char buf[32];
        int n = std::snprintf(buf, sizeof buf, ".temp_%u.", ++F.tempcount);
        temp = newsym(P, &S.ordinary, internname(P, buf, static_cast<size_t>(n)), sc::Auto, type);
        temp->flags = 0x4006;
        temp->attributes = defaultspace(P, 0, sc::Auto, codeof(type));
        F.temps.push_back(temp);
    }
    if (temp->weight < 0xFFFF) ++temp->weight;
    return symleaf(P, temp, type, false);
}

StmtNode* mkassign(Parser& P, ExprNode* temp, ExprNode* value) {
    if (value && typesize(P, value->type) > typesize(P, temp->type))
        value = castexpr(P, mknode(P, opc::Cast, temp->type, value));
    ExprNode* a = newexpr(P, tok::Assign);
    a->left = copyleaf(P, temp);
    a->left->leafbits |= leaf::InitTarget;
    a->right = value ? value : mkconst(P, 0, P.types.sint);
    return exprstmt(P, binop(P, a));
}

StmtNode* bindinlinearg(Parser& P, Symbol* param, Symbol* local, ExprNode* arg, StmtNode*) {
    if (!local || !arg) return nullptr;
    if (!(param->flags & sf::Referenced)) {
        // the parameter is never read; the argument still runs
        return isfree(P, arg) ? nullptr : exprstmt(P, arg);
    }
    uint16_t pc = codeof(param->type);
    bool scalar = pc && pc != ty::Struct && pc != ty::Union && pc != ty::Array && !ty::isbitfield(pc);
    bool unchanged = !(param->flags & (sf::Assigned | sf::Untracked | sf::AddrTaken));
    if (!P.opt.nc && scalar && unchanged && isleaf(arg)) {
        ExprNode* value = nullptr;
        bool constant = !(arg->leafbits & (leaf::Contents | leaf::Symbol)) &&
                        (isintconst(arg) || isfloatconst(arg) || (tcode(arg) == ty::Pointer && !(arg->leafbits & leaf::Literal)));
        if (constant) {
            ExprNode* c = castexpr(P, mknode(P, opc::Cast, param->type, copyleaf(P, arg)));
            if (isleaf(c)) value = c;
        } else if (isnamedcontents(arg) && isautolocal(arg->sym) && !(arg->sym->attributes & attr::Volatile) &&
                   !(arg->sym->flags & (sf::Untracked | sf::AddrTaken)) && arg->value == 0 &&
                   sametype(P, arg->type, param->type)) {
            value = copyleaf(P, arg);
        }
        if (value) {
            value->type = param->type;
            local->attributes |= attr::Const;
            local->valueexpr = value;
            local->flags |= sf::Expanding;
            return nullptr;
        }
    }
    ExprNode* a = newexpr(P, tok::Assign);
    a->left = symleaf(P, local, param->type, true);
    a->right = arg;
    uint16_t saved = local->attributes;
    local->attributes &= static_cast<uint16_t>(~attr::Const);
    ExprNode* e = binop(P, a);
    local->attributes = saved;
    return exprstmt(P, e);
}

int expandinline(Parser& P, ExprNode** slot, StmtNode**& tail, int mode) {
    ExprNode* e = *slot;
    if (!e || isleaf(e)) return 1;
    if (e->op == opc::Call) {
        if (isexpandable(e)) return expandcall(P, slot, e, nullptr, tail, mode);
        for (ExprNode** a : argslots(e))
            if (!expandinline(P, a, tail, kValueUsed | (mode & kCheck))) return 0;
        return 1;
    }
    if (e->op == tok::Assign && isexpandable(e->right)) {
        if (!expandinline(P, &e->left, tail, kValueUsed | (mode & kCheck))) return 0;
        return expandcall(P, slot, e->right, e, tail, mode);
    }
    if (e->op == opc::Cond) return expandcond(P, slot, tail, mode);
    if (e->op == tok::AndAnd || e->op == tok::OrOr) return expandlogical(P, slot, tail, mode);
    if (e->op == opc::Comma && !(mode & kCheck)) {
        StmtNode* scratch = nullptr;
        StmtNode** scratchtail = &scratch;
        if (!expandinline(P, &e->right, scratchtail, kCheck)) {
            // the left operand runs first, as a statement of its own
            expandinline(P, &e->left, tail, 0);
            append(tail, exprstmt(P, e->left));
            *slot = e->right;
            return expandinline(P, slot, tail, mode);
        }
    }
    if (e->op == opc::Sequence) return expandinline(P, &e->right, tail, mode);
    int used = kValueUsed | (mode & kCheck);
    if (e->left && !expandinline(P, &e->left, tail, used)) return 0;
    if (e->middle && !expandinline(P, &e->middle, tail, used)) return 0;
    if (e->right && !expandinline(P, &e->right, tail, used)) return 0;
    return 1;
}

void expandexpr(Parser& P, ExprNode** slot, bool deferred, bool valueused) {
    FuncState& F = P.fn;
    if (!*slot || F.recording) return;
    if (deferred && P.ex.inlinecalls == 0) return;
    // The expression was parsed whole before its calls are expanded, so the
    // known values of its end do not hold where an expansion runs.
    if (F.expdepth == 0) forgetall(P);
    ++F.expdepth;
    StmtNode* list = nullptr;
    StmtNode** tail = &list;
    expandinline(P, slot, tail, valueused ? kValueUsed : 0);
    if (list) {
        ExprNode* seq = newexpr(P, opc::Sequence);
        seq->stmts = list;
        seq->right = *slot;
        seq->type = *slot ? (*slot)->type : P.types.sint;
        *slot = seq;
    }
    if (--F.expdepth == 0) {
        if (deferred) P.ex.inlinecalls = 0;
        for (Symbol* t : F.temps) t->flags &= ~sf::Assigned;
    }
}

}  // namespace cpppc

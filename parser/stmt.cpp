// Statements and blocks: parsestmt turns one C statement into a StmtNode
// tree, parseblock a compound statement with its local declarations. Both
// keep the bookkeeping the per-function passes rely on: label numbers of
// jump targets, break, continue and goto marks, which statements cannot
// complete (0x8) and which are unreachable (0x10), case lists sorted by
// value, loop depth and loop records, and the implicit return.
//
// The one idea of reachability: a statement that cannot complete starts a
// run; every following statement of the block is unreachable until one
// carries a label number (a jump may reach it).
//
// statement := { label ':' } ( ';' | expr ';' | compound | if | switch | while | do | for
//              | goto name ';' | continue ';' | break ';' | return [ expr ] ';' | #asm lines )
// compound  := '{' { declaration } { statement } '}'
#include "parser/exprtree.h"
#include "parser/tokencodes.h"

namespace cpppc {


namespace {

// Call flag of a call whose result is returned.
constexpr uint8_t kReturnedCall = 0x40;
// Statements nested deeper than this are read over, so that the parser's
// own recursion stays bounded.
constexpr int kMaxStmtNesting = 200;

// Reads over one statement without parsing it: to its ';' or its closing
// '}', or up to a '}' that closes the enclosing block.
void readover(Parser& P) {
    int depth = 0;
    for (;;) {
        Token* t = nexttoken(P);
        switch (t->code) {
        case tok::End: pushtoken(P); return;
        case tok::LBrace:
        case tok::LParen:
        case tok::LBrack: ++depth; break;
        case tok::RParen:
        case tok::RBrack:
            if (depth > 0) --depth;
            break;
        case tok::RBrace:
            if (depth == 0) {
                pushtoken(P);
                return;
            }
            if (--depth == 0) return;
            break;
        case tok::Semi:
            if (depth == 0) return;
            break;
        default: break;
        }
    }
}

bool accept(Parser& P, uint16_t code) {
    if (nexttoken(P)->code == code) return true;
    pushtoken(P);
    return false;
}

void atfirst(Parser& P, StmtNode* st, const Token* t) {
    st->firstline = t->line;
    st->firstcol = static_cast<uint16_t>(t->column & 0x7fff);
    st->file = srcfile(P);
}

// The last line and column: those of the token read last.
void atlast(Parser& P, StmtNode* st) {
    const StreamState& s = P.ts.s;
    int i = (s.cursor + 2) % 3;
    if (s.pushed) return;
    st->lastline = s.ring[i].line;
    st->lastcol = static_cast<uint16_t>(s.ring[i].column & 0x7fff);
}

void skipto(Parser& P, uint16_t code) {
    for (;;) {
        Token* t = nexttoken(P);
        if (t->code == code) return;
        if (t->code == tok::End || t->code == tok::RBrace) {
            pushtoken(P);
            return;
        }
    }
}

// A full expression; the "too complex" state ends with it.
ExprNode* fullexpr(Parser& P, int voidctx) {
    ExprNode* e = commaexpr(P, voidctx);
    if (P.ex.toocomplex) {
        P.ex.toocomplex = false;
        return nullptr;
    }
    return e;
}

bool isdeclstart(Parser& P, const Token* t) {
    switch (t->code) {
    case kw::Auto:
    case kw::Extern:
    case kw::Register:
    case kw::Static:
    case kw::Typedef: return true;
    default: return startstypename(P, t);
    }
}

// '(' test ')' of if, while, do and switch: the test as a condition.
ExprNode* parentest(Parser& P, const char* missing, const char* invalid, bool condition) {
    expecttoken(P, tok::LParen);
    ExprNode* e = nullptr;
    if (nexttoken(P)->code == tok::RParen) {
        pushtoken(P);
    } else {
        pushtoken(P);
        e = fullexpr(P, 0);
    }
    if (!e) {
        putdiag(P, "%s", missing);
    } else if (condition) {
        ExprNode* slot = e;
        if (!testexpr(P, &slot))
            putdiag(P, "%s", invalid);
        else
            e = slot;
    }
    expecttoken(P, tok::RParen);
    return e;
}

bool isnonzeroconst(const ExprNode* e) {
    return e && isleaf(e) && !(e->leafbits & (leaf::Contents | leaf::Symbol | leaf::Literal)) && e->value != 0;
}

// The leaf constant at the end of a condition, looking through "!= 0".
const ExprNode* constcond(const ExprNode* e) {
    if (!e) return nullptr;
    if (e->op == 80 && isintconst(e->right) && e->right->value == 0 && isintconst(e->left)) return e->left;
    return isintconst(e) ? e : nullptr;
}

Symbol* findlabel(Parser& P, const unsigned char* name) {
    Symbol* s = lookupsym(P, name, &P.syms.scopes.labels, nullptr);
    if (!s) s = newsym(P, &P.syms.scopes.labels, name, 0, nullptr);
    return s;
}

// ---- loop records ----

LoopRecord* pushloop(Parser& P, Symbol* var) {
    FuncState& F = P.fn;
    F.loopstore.emplace_back();
    LoopRecord* r = &F.loopstore.back();
    r->var = var;
    r->rank = 1;
    r->next = F.loops;
    uint16_t rank = 2;
    for (LoopRecord* b = F.loops; b; b = b->next, ++rank)
        if (b->rank < rank) b->rank = rank;
    F.loops = r;
    return r;
}

void poploop(Parser& P, bool lower) {
    FuncState& F = P.fn;
    if (!F.loops) return;
    F.loops = F.loops->next;
    if (lower)
        for (LoopRecord* b = F.loops; b; b = b->next)
            if (b->rank > 1) --b->rank;
    if (!F.loops) F.loopstore.clear();
}

// The increment steps an integer variable by the constant 1 ("+=" or "-=").
Symbol* loopvariable(const ExprNode* incr) {
    if (!incr || (incr->op != 81 && incr->op != 82)) return nullptr;
    if (!isnamedcontents(incr->left) || !ty::isinteger(tcode(incr->left))) return nullptr;
    if (!isintconst(incr->right) || incr->right->value != 1) return nullptr;
    return incr->left->sym;
}

bool bodyhaslabel(const StmtNode* st) { return st->body && ((st->body->flags & sflag::HasLabel) || st->body->label); }

class StmtParser {
public:
    explicit StmtParser(Parser& p) : P(p) {}

    StmtNode* statement(StmtNode* loop, StmtNode* breaktarget, StmtNode* previous) {
        StmtNode* st = newstmt(P, sk::Expr);
        Token* t = nexttoken(P);
        atfirst(P, st, t);
        if (P.fn.stmtdepth >= kMaxStmtNesting) {
            putdiag(P, "statement too complex");
            pushtoken(P);
            readover(P);
            return st;
        }
        struct Depth {
            int& d;
            explicit Depth(int& x) : d(x) { ++d; }
            ~Depth() { --d; }
        } depth(P.fn.stmtdepth);
        t = labels(st, t);
        switch (t->code) {
        case tok::LBrace:
            st->kind = sk::Compound;
            parseblock(P, loop, breaktarget, st, nullptr, nullptr);
            break;
        case tok::AsmLine: asmlines(st, t); break;
        case kw::Break:
        case kw::Continue: jump(st, t->code, loop, breaktarget); break;
        case kw::Do: doloop(st); break;
        case kw::Else:
            putdiag(P, "unexpected else statement");
            break;
        case kw::For: forloop(st); break;
        case kw::Goto: gotostmt(st, loop); break;
        case kw::If: ifstmt(st, loop, breaktarget); break;
        case kw::Return: returnstmt(st); break;
        case kw::Switch: switchstmt(st, loop); break;
        case kw::While: whileloop(st, previous); break;
        case tok::Semi: break;
        default:
            if (t->code == tok::At || isdeclstart(P, t)) {
                putdiag(P, "misplaced local declaration");
                skipto(P, tok::Semi);
                break;
            }
            pushtoken(P);
            st->expr = fullexpr(P, 1);
            if (!st->expr) {
                putdiag(P, "missing expression");
                P.ts.s.target = tok::Semi;
            }
            expecttoken(P, tok::Semi);
            P.ts.s.target = 0;
            expandexpr(P, &st->expr, true, false);
            break;
        }
        atlast(P, st);
        return st;
    }

private:
    Parser& P;

    Token* labels(StmtNode* st, Token* t) {
        for (;;) {
            if (t->code == kw::Case || t->code == kw::Default) {
                int32_t v = 0;
                bool iscase = t->code == kw::Case;
                if (iscase) evalconst(P, v, 1);
                expecttoken(P, tok::Colon);
                addcase(P, iscase ? sc::CaseLabel : sc::DefaultLabel, v, st);
            } else if (t->code == tok::Name) {
                const unsigned char* name = t->name;
                if (nexttoken(P)->code != tok::Colon) {
                    pushtoken(P);
                    return t;
                }
                Symbol* l = findlabel(P, name);
                if (l->flags & sf::Declared) {
                    putdiag(P, "redefined label %.*s", namelength(name), nametext(name));
                } else {
                    l->flags |= sf::Declared;
                    l->stmt = st;
                }
                st->flags |= sflag::HasLabel;
            } else {
                return t;
            }
            if (!st->label) st->label = static_cast<uint16_t>(nextlabel(P));
            forgetall(P);
            t = nexttoken(P);
            atfirst(P, st, t);
        }
    }

    void asmlines(StmtNode* st, Token* t) {
        st->kind = sk::AsmLine;
        StmtNode** tail = &st->body;
        bool first = true;
        for (;;) {
            if (t->code != tok::AsmLine || (!first && (t->column & kAsmFirstColumn))) {
                pushtoken(P);
                break;
            }
            first = false;
            bool empty = !t->asmtext || t->asmtext->find_first_not_of(" \t\r\n") == std::string::npos;
            if (!empty) {
                StmtNode* l = newstmt(P, sk::AsmLine);
                atfirst(P, l, t);
                l->asmtext = t->asmtext;
                l->partline1 = static_cast<uint32_t>(t->asmtext->size());
                *tail = l;
                tail = &l->next;
            }
            t = nexttoken(P);
        }
        ++P.ex.operators;
    }

    void jump(StmtNode* st, uint16_t code, StmtNode* loop, StmtNode* breaktarget) {
        st->kind = static_cast<uint8_t>(code);
        if (code == kw::Break) {
            if (breaktarget)
                breaktarget->flags |= sflag::Breaks;
            else
                putdiag(P, "invalid break");
            st->body = breaktarget;
        } else {
            if (loop)
                loop->flags |= sflag::Continued;
            else
                putdiag(P, "invalid continue");
            st->body = loop;
        }
        expecttoken(P, tok::Semi);
        st->flags |= sflag::NoComplete;
    }

    // The shared end of every loop.
    void loopend(StmtNode* st, bool record) {
        if (bodyhaslabel(st)) st->flags |= sflag::HasLabel;
        --P.ex.loopdepth;
        bool forever = st->kind == sk::For && (!st->expr || isnonzeroconst(constcond(st->expr)));
        if (forever && !(st->flags & (sflag::Breaks | sflag::HasGoto))) st->flags |= sflag::NoComplete;
        // a counted loop keeps the count register: the loops around it stay uncounted
        if (record) poploop(P, st->kind != sk::CountedLoop || (st->flags & sflag::KnownTrips));
        if (P.ex.loopdepth == 0) freeitemps(P);
        forgetall(P);
    }

    // The tail of a for loop with a loop variable.
    // bodystart: the stamp taken after the loop's header.
    void looptail(StmtNode* st, Symbol* var, uint32_t bodystart, uint32_t calls, uint32_t operations, uint16_t rank) {
        if (bodyhaslabel(st)) return;
        uint32_t start = bodystart;
        if (var->usestamp >= bodystart) st->flags |= sflag::VarUsed;
        if (assignsin(st->body, var)) st->flags |= sflag::VarSet;
        if (P.ex.calls == calls) {
            makecountedloop(P, st, rank, P.ex.operators - operations, start);
            if (st->kind == sk::CountedLoop) {
                uint32_t cost = 2u * static_cast<uint32_t>(P.ex.loopdepth) + 1;
                var->weight = static_cast<uint16_t>(var->weight > cost ? var->weight - cost : 0);
                if (var->weight == 0) var->flags &= ~sf::Referenced;
            }
        }
        if (!(st->flags & (sflag::VarSet | sflag::KnownTrips)) && !P.opt.sr) reducestrength(P, st, var, start);
    }

    // A body with a floating division raises its loop's rank.
    StmtNode* loopbody(StmtNode* st, LoopRecord* record) {
        bool divides = P.ex.floatdivide;
        P.ex.floatdivide = false;
        StmtNode* body = statement(st, st, nullptr);
        if (P.ex.floatdivide && record) ++record->rank;
        P.ex.floatdivide = P.ex.floatdivide || divides;
        return body;
    }

    void doloop(StmtNode* st) {
        st->kind = sk::Do;
        forgetall(P);
        ++P.ex.loopdepth;
        uint32_t start = P.syms.sequence, calls = P.ex.calls;
        st->body = statement(st, st, nullptr);
        expecttoken(P, kw::While);
        Token* t = nexttoken(P);
        pushtoken(P);
        st->partline1 = t->line;
        st->partcol1 = static_cast<uint16_t>(t->column & 0x7fff);
        st->firstline = t->line;
        st->expr = parentest(P, "missing do test expression", "invalid do test type", true);
        expecttoken(P, tok::Semi);
        if (isnonzeroconst(constcond(st->expr)) && !(st->flags & (sflag::Breaks | sflag::HasGoto)))
            st->flags |= sflag::NoComplete;
        expandexpr(P, &st->expr, true, true);
        StmtNode* inner = hoistinvariants(P, st, start, P.ex.calls != calls);
        loopend(st, false);
        if (inner) atlast(P, inner);
    }

    void forloop(StmtNode* st) {
        st->kind = sk::For;
        expecttoken(P, tok::LParen);
        if (!accept(P, tok::Semi)) {
            st->init = fullexpr(P, 1);
            expandexpr(P, &st->init, true, false);
            Token* semi = expecttoken(P, tok::Semi);
            st->partline1 = semi->line;
            st->partcol1 = static_cast<uint16_t>(semi->column & 0x7fff);
        }
        forgetall(P);
        ++P.ex.loopdepth;
        uint32_t start = nextstamp(P);
        uint32_t calls = P.ex.calls, operations = P.ex.operators;
        if (!accept(P, tok::Semi)) {
            ExprNode* e = fullexpr(P, 0);
            if (e) {
                ExprNode* slot = e;
                if (!testexpr(P, &slot))
                    putdiag(P, "invalid for test type");
                else
                    e = slot;
            }
            st->expr = e;
            expandexpr(P, &st->expr, true, true);
            Token* semi = expecttoken(P, tok::Semi);
            st->partline2 = semi->line;
            st->partcol2 = static_cast<uint16_t>(semi->column & 0x7fff);
        }
        if (!accept(P, tok::RParen)) {
            st->incr = fullexpr(P, 1);
            expandexpr(P, &st->incr, true, false);
            expecttoken(P, tok::RParen);
        }
        Symbol* var = loopvariable(st->incr);
        LoopRecord* record = var ? pushloop(P, var) : nullptr;
        uint32_t bodystart = nextstamp(P);
        st->body = loopbody(st, record);
        hoistinvariants(P, st, start, P.ex.calls != calls);
        if (var) looptail(st, var, bodystart, calls, operations, record->rank);
        loopend(st, var != nullptr);
    }

    void whileloop(StmtNode* st, StmtNode* previous) {
        st->kind = sk::While;
        forgetall(P);
        ++P.ex.loopdepth;
        uint32_t start = nextstamp(P);
        uint32_t calls = P.ex.calls, operations = P.ex.operators;
        st->expr = parentest(P, "missing while test expression", "invalid while test type", true);
        expandexpr(P, &st->expr, true, true);
        LoopRecord* record = previous && previous->kind == sk::Expr && previous->expr ? pushloop(P, nullptr) : nullptr;
        uint32_t bodystart = nextstamp(P);
        st->body = loopbody(st, record);
        if (record) {
            whiletofor(P, st, previous);
            if (st->kind == sk::For) {
                hoistinvariants(P, st, start, P.ex.calls != calls);
                if (Symbol* var = loopvariable(st->incr)) {
                    record->var = var;
                    looptail(st, var, bodystart, calls, operations, record->rank);
                }
            }
        }
        if (st->kind == sk::While && isnonzeroconst(constcond(st->expr)) &&
            !(st->flags & (sflag::Breaks | sflag::HasGoto)))
            st->flags |= sflag::NoComplete;
        loopend(st, record != nullptr);
    }

    void gotostmt(StmtNode* st, StmtNode* loop) {
        st->kind = sk::Goto;
        Token* t = nexttoken(P);
        if (t->code == tok::Name) {
            Symbol* l = findlabel(P, t->name);
            l->flags |= sf::Referenced;
            if (!l->useline) {
                l->useline = t->line;
                l->usecolumn = static_cast<uint16_t>(t->column & 0x7fff);
            }
            st->gotolabel = l;
        } else {
            pushtoken(P);
            putdiag(P, "missing goto label");
        }
        expecttoken(P, tok::Semi);
        st->flags |= sflag::NoComplete;
        if (loop) loop->flags |= sflag::HasGoto;
    }

    void ifstmt(StmtNode* st, StmtNode* loop, StmtNode* breaktarget) {
        st->kind = sk::If;
        st->expr = parentest(P, "missing if test expression", "invalid if test type", true);
        expandexpr(P, &st->expr, true, true);
        st->body = statement(loop, breaktarget, nullptr);
        // the list before the if does not hold in the else branch, and
        // after the if only what both branches agree on; kept simple:
        // nothing is known after a branch
        forgetall(P);
        if (accept(P, kw::Else)) {
            st->aux = statement(loop, breaktarget, nullptr);
            forgetall(P);
        }
        bool thenstops = st->body && (st->body->flags & sflag::NoComplete);
        bool elsestops = st->aux && (st->aux->flags & sflag::NoComplete);
        if (thenstops && elsestops) st->flags |= sflag::NoComplete;
        if ((st->body && ((st->body->flags & sflag::HasLabel) || st->body->label)) ||
            (st->aux && ((st->aux->flags & sflag::HasLabel) || st->aux->label)))
            st->flags |= sflag::HasLabel;
    }

    void returnstmt(StmtNode* st) {
        st->kind = sk::Return;
        FuncState& F = P.fn;
        TypeNode* rt = F.rettype;
        uint16_t rc = codeof(rt);
        ExprNode* e = nullptr;
        if (!accept(P, tok::Semi)) {
            e = fullexpr(P, 0);
            if (!e) putdiag(P, "missing expression");
            expecttoken(P, tok::Semi);
        }
        if (!e) {
            if (rt && rc != ty::Void) putdiag(P, "W6missing return expression");
        } else {
            decayexpr(P, e);
            uint16_t ec = tcode(e);
            if (!rt || rc == ty::Void) {
                putdiag(P, "unexpected return expression");
            } else if (rc == ty::Struct || rc == ty::Union) {
                if (!sametype(P, rt, e->type)) putdiag(P, "bad structure for return");
            } else if (!(rc == ty::Pointer && isintconst(e) && e->value == 0) && !typecompat(P, rt, e->type)) {
                putdiag(P, "incompatible return type");
            } else {
                if (P.opt.warnlevel) checkrange(P, tok::Assign, rt, e);
                if (!(rc == ec && sametype(P, rt, e->type))) e = castexpr(P, mknode(P, opc::Cast, rt, e));
            }
            ExprNode* c = e;
            while (c && c->op == opc::Cast && c->left) c = c->left;
            if (c && c->op == opc::Call && !F.recording && !F.exp.active) {
                c->nflags |= kReturnedCall;
                ++F.returnedcalls;
            }
        }
        st->expr = e;
        if (F.exp.active) {
            // inside an expanded inline body: a jump to the body's end
            st->kind = sk::Goto;
            Symbol* l = findlabel(P, F.exp.retlabel);
            l->flags |= sf::Referenced;
            st->gotolabel = l;
            forgetall(P);
            if (!e) {
                st->flags |= sflag::NoValue;
            } else if (F.exp.target && rc != ty::Void) {
                ExprNode* a = newexpr(P, tok::Assign);
                a->left = copyleaf(P, F.exp.target);
                a->right = e;
                st->expr = binop(P, a);
            }
            expandexpr(P, &st->expr, true, false);
            return;
        }
        expandexpr(P, &st->expr, true, true);
        st->flags |= sflag::NoComplete;
    }

    void switchstmt(StmtNode* st, StmtNode* loop) {
        st->kind = sk::Switch;
        FuncState& F = P.fn;
        if (F.lastswitch)
            F.lastswitch->nextswitch = st;
        else
            F.switches = st;
        F.lastswitch = st;
        ExprNode* e = parentest(P, "missing switch test expression", nullptr, false);
        if (e) {
            decayexpr(P, e);
            if (!ty::isinteger(tcode(e)))
                putdiag(P, "invalid switch test type");
            else if (isleaf(e))
                e = replaceconst(P, &e);
        }
        st->expr = e;
        expandexpr(P, &st->expr, true, true);
        StmtNode* outer = F.curswitch;
        F.curswitch = st;
        forgetall(P);
        st->body = statement(loop, st, nullptr);
        F.curswitch = outer;
        forgetall(P);
        if (bodyhaslabel(st)) st->flags |= sflag::HasLabel;
        StmtNode* first = st->body;
        if (first && first->kind == sk::Compound) first = first->body;
        while (first && first->kind == sk::Expr && !first->expr && !first->label) first = first->next;
        if (first && !first->label && P.opt.warnlevel)
            putdiagat(P, first->firstline, first->firstcol, 0, "W4unreachable code");
    }
};

}  // namespace

StmtNode* parsestmt(Parser& P, StmtNode* loop, StmtNode* breaktarget, StmtNode* previous) {
    StmtParser sp(P);
    return sp.statement(loop, breaktarget, previous);
}

void addcase(Parser& P, uint8_t kind, int32_t value, StmtNode* stmt) {
    const char* what = kind == sc::CaseLabel ? "case" : "default";
    StmtNode* sw = P.fn.curswitch;
    if (!sw) {
        putdiag(P, "invalid %s", what);
        return;
    }
    Symbol** at = &sw->cases;
    for (Symbol* c = sw->cases; c; c = c->next) {
        if (c->sclass == kind && static_cast<int32_t>(c->value) == value) {
            putdiag(P, "duplicate %s", what);
            return;
        }
    }
    while (*at && static_cast<int32_t>((*at)->value) <= value) at = &(*at)->next;
    Symbol* c = newsym(P, nullptr, nullptr, kind, nullptr);
    c->value = static_cast<uint32_t>(value);
    c->stmt = stmt;
    c->next = *at;
    *at = c;
    stmt->flags |= sflag::HasCase;
}

int markunreach(Parser& P, StmtNode* st) {
    int r = 0;
    switch (st->kind) {
    case sk::Compound:
        r = 16;
        for (StmtNode* s = st->body; s; s = s->next) {
            if (s->label) {
                r = 0;
                break;
            }
            if (s->kind == sk::Expr) {
                s->flags |= sflag::Unreachable;
                continue;
            }
            if (!markunreach(P, s)) {
                r = 0;
                break;
            }
        }
        break;
    case sk::Do:
    case sk::For:
    case sk::While:
    case sk::CountedLoop:
    case sk::Switch:
    case sk::If: r = (st->flags & sflag::HasLabel) ? 0 : 16; break;
    default: r = 0; break;
    }
    if (r) st->flags |= sflag::Unreachable;
    return r;
}

namespace {

// ---- blocks ----

bool warnsunreachable(const StmtNode* st) {
    switch (st->kind) {
    case sk::Expr: return st->expr != nullptr;
    case sk::Compound:
    case sk::If:
    case sk::Do:
    case sk::For:
    case sk::While:
    case sk::CountedLoop:
    case sk::Switch: return true;
    default: return false;
    }
}

struct BlockParser {
    Parser& P;
    StmtNode* block;
    Symbol* blockstart;  // the ordinary head when the block opened (its own symbols are above)
    bool inlinefunc;
    StmtNode** tail;
    std::vector<StmtNode*> deferred;

    void append(StmtNode* st) {
        *tail = st;
        while (st->next) st = st->next;
        tail = &st->next;
    }

    // A file-level symbol of the name (the local scope's names left out).
    Symbol* filesymbol(const unsigned char* name) {
        for (Symbol* s = namesyms(name); s; s = s->samename)
            if ((s->flags & sf::FileLevel) && s->home == &P.syms.scopes.ordinary) return s;
        return nullptr;
    }

    void declaration(Decl& common, bool& warned) {
        Scopes& S = P.syms.scopes;
        bool declared = common.declares;
        for (;;) {
            Decl d = common;
            if (!declarator(P, d)) break;
            declared = true;
            if (d.implicitint && !warned) {
                putdiag(P, "W5implicit int type in local declaration");
                warned = true;
            }
            if (!d.s.name) {
                putdiag(P, "missing local name");
                if (nexttoken(P)->code != tok::Comma) {
                    pushtoken(P);
                    break;
                }
                continue;
            }
            const unsigned char* name = d.s.name;
            bool isfunc = isfunction(d.s.type);
            uint8_t sclass = d.s.sclass;
            if (isfunc && sclass == sc::None) sclass = sc::Extern;
            Symbol* old = lookupsym(P, name, &S.ordinary, blockstart);
            Symbol* s = nullptr;
            if (old && old->sclass == sc::Extern && sclass == sc::Extern) {
                if (!sametype(P, old->type, d.s.type))
                    putdiag(P, "redeclared external %.*s", namelength(name), nametext(name));
                s = old;
            } else if (old) {
                putdiag(P, "redeclared local %.*s", namelength(name), nametext(name));
                s = newsym(P, nullptr, name, sclass ? sclass : sc::Auto, d.s.type);
                s->filelink = s;
            } else {
                Symbol* global = sclass == sc::Extern ? filesymbol(name) : nullptr;
                s = newsym(P, &S.ordinary, name, sclass ? sclass : sc::Auto, d.s.type);
                s->flags = sf::Declared;
                s->attributes = d.s.attributes;
                s->declstamp = P.syms.sequence;
                Token* next = nexttoken(P);
                s->declline = next->line;
                s->useline = next->line;
                s->usecolumn = static_cast<uint16_t>(next->column & 0x7fff);
                pushtoken(P);
                if (s->sclass == sc::Static && inlinefunc)
                    putdiag(P, "invalid static %.*s in inline function", namelength(name), nametext(name));
                if (s->sclass == sc::Static) s->value = nextlabel(P);
                if (nexttoken(P)->code == tok::At) {
                    s->flags |= sf::PlacedLocal;
                    parsealias(P, s);
                } else {
                    pushtoken(P);
                }
                if (s->sclass != sc::Typedef) {
                    uint16_t before = s->attributes;
                    s->attributes = defaultspace(P, s->attributes, s->sclass, codeof(s->type));
                    if ((s->sclass == sc::Auto || s->sclass == sc::Register) && (before & attr::Space) &&
                        (before & attr::Space) != (s->attributes & attr::Space))
                        putdiag(P, "invalid space for local %.*s", namelength(name), nametext(name));
                }
                if (global && s->sclass == sc::Extern) {
                    // the block's extern completes and is completed by the file's
                    if (!sametype(P, global->type, s->type)) {
                        putdiag(P, "redeclared external %.*s", namelength(name), nametext(name));
                    } else {
                        mergedecl(global->type, s->type);
                        mergedecl(s->type, global->type);
                        mergespace(P, s, global->attributes);
                        makepermanent(P, global);
                        global->flags |= sf::Referenced;
                        if (global->sclass == sc::Static) {
                            // the name keeps referring to the static object
                            s->name = internname(P, "<extern>", 8);
                            s->flags |= sf::Hidden;
                        }
                    }
                }
            }
            if (isfunc && s->sclass == sc::Static)
                putdiag(P, "static function %.*s undefined", namelength(name), nametext(name));
            if (isfunc && d.s.type->params && !d.s.type->params->type) putdiag(P, "useless argument list");
            uint32_t pending = P.ex.inlinecalls;
            if (ExprNode* init = initlocal(P, s)) {
                StmtNode* st = newstmt(P, sk::Expr);
                st->firstline = srcline(P);
                st->file = srcfile(P);
                st->expr = init;
                if (P.ex.inlinecalls != pending && !P.fn.recording) {
                    st->kind = sk::DeferredInit;
                    deferred.push_back(st);
                }
                append(st);
            }
            if (nexttoken(P)->code != tok::Comma) {
                pushtoken(P);
                break;
            }
        }
        if (!declared) putdiag(P, "incomplete declaration");
        P.ts.s.target = tok::Semi;
        Token* t = nexttoken(P);
        if (t->code != tok::Semi) {
            pushtoken(P);
            putdiag(P, "missing ; in local declaration");
            skipto(P, tok::Semi);
        }
        P.ts.s.target = 0;
    }
};

}  // namespace

StmtNode* parseblock(Parser& P, StmtNode* loop, StmtNode* breaktarget, StmtNode* stmt, Symbol* params, ExprNode* args) {
    Scopes& S = P.syms.scopes;
    FuncState& F = P.fn;
    bool inlinebody = F.exp.active && F.pendinginline;
    F.pendinginline = false;
    if (inlinebody) {
        char buf[32];
        int n = std::snprintf(buf, sizeof buf, ".return_%u.", ++F.returncount);
        F.exp.retlabel = internname(P, buf, static_cast<size_t>(n));
    }
    Symbol* openhead = S.ordinary;
    Symbol* savedmark = S.ordinarymark;
    Symbol* savedtagmark = S.tagmark;
    Symbol* savedtags = S.tags;
    bool body = !stmt;
    if (stmt) {
        S.ordinarymark = S.ordinary;
        S.tagmark = S.tags;
    } else {
        stmt = newstmt(P, sk::Compound);
        Token* t = nexttoken(P);
        pushtoken(P);
        atfirst(P, stmt, t);
    }
    stmt->kind = sk::Compound;
    if (F.lastcompound)
        F.lastcompound->aux = stmt;
    else
        F.compounds = stmt;
    F.lastcompound = stmt;

    BlockParser b{P, stmt, body ? savedmark : S.ordinary, (F.func && (F.func->attributes & attr::Inline)) || inlinebody,
                  &stmt->body, {}};
    if (body) b.blockstart = S.ordinarymark;
    if (inlinebody) {
        // the parameters become locals of the expansion, bound to the arguments
        std::vector<Symbol*> locals;
        for (Symbol* p = params; p; p = p->next) {
            if (codeof(p->type) == ty::Void || !p->name) continue;
            Symbol* l = newsym(P, &S.ordinary, p->name, p->sclass == sc::Register ? sc::Register : sc::Auto, p->type);
            l->flags = sf::Declared | (p->flags & (sf::Referenced | sf::Untracked | sf::Assigned));
            l->attributes = p->attributes;
            l->weight = p->weight;
            l->declstamp = P.syms.sequence;
            locals.push_back(l);
        }
        size_t i = 0;
        for (Symbol* p = params; p; p = p->next) {
            if (codeof(p->type) == ty::Void || !p->name) continue;
            ExprNode* arg = nullptr;
            if (args) {
                arg = args->op == opc::ArgCell ? args->left : args;
                args = args->op == opc::ArgCell ? args->right : nullptr;
            }
            if (arg)
                if (StmtNode* bind = bindinlinearg(P, p, locals[i], arg, stmt)) b.append(bind);
            ++i;
        }
    }

    bool warned = false;
    for (;;) {
        Decl common;
        if (!declhead(P, common, allow::Block)) break;
        b.declaration(common, warned);
    }
    // statements
    bool inrun = false, warnedrun = false, haslabel = false;
    StmtNode* previous = nullptr;
    for (StmtNode* s = stmt->body; s; s = s->next) previous = s;
    for (;;) {
        Token* t = nexttoken(P);
        if (t->code == tok::RBrace) break;
        if (t->code == tok::End) {
            putdiag(P, "unexpected end of file");
            pushtoken(P);
            break;
        }
        pushtoken(P);
        StmtNode* st = parsestmt(P, loop, breaktarget, previous);
        b.append(st);
        previous = st;
        if (st->label || (st->flags & sflag::HasLabel)) haslabel = true;
        if (st->label) {
            inrun = false;
            warnedrun = false;
        }
        if (inrun) {
            bool marked;
            if (st->kind == sk::Expr) {
                st->flags |= sflag::Unreachable;
                marked = true;
            } else {
                marked = markunreach(P, st) != 0;
            }
            if (marked && !warnedrun && warnsunreachable(st)) {
                putdiagat(P, st->firstline, st->firstcol, 0, "W4unreachable code");
                warnedrun = true;
            }
            if (st->kind != sk::Expr || st->expr) warnedrun = true;
            if (!marked) inrun = false;
        }
        if (st->flags & sflag::NoComplete) {
            if (!inrun) warnedrun = false;
            inrun = true;
        }
    }
    if (inrun) stmt->flags |= sflag::NoComplete;
    if (haslabel) stmt->flags |= sflag::HasLabel;
    for (StmtNode* st : b.deferred) {
        expandexpr(P, &st->expr, false, false);
        st->kind = sk::Expr;
    }
    // the implicit end
    if (inlinebody) {
        StmtNode* end = newstmt(P, sk::Expr);
        atlast(P, end);
        end->firstline = end->lastline;
        end->firstcol = end->lastcol;
        end->file = srcfile(P);
        end->flags = 0x840;
        end->label = static_cast<uint16_t>(nextlabel(P));
        Symbol* l = lookupsym(P, F.exp.retlabel, &S.labels, nullptr);
        if (!l) l = newsym(P, &S.labels, F.exp.retlabel, 0, nullptr);
        l->flags |= sf::Declared;
        l->stmt = end;
        b.append(end);
    } else if (body && !(stmt->flags & sflag::NoComplete)) {
        StmtNode* ret = newstmt(P, sk::Return);
        atlast(P, ret);
        ret->firstline = ret->lastline;
        ret->firstcol = ret->lastcol;
        ret->file = srcfile(P);
        ret->flags = sflag::NoComplete;
        if (F.rettype && codeof(F.rettype) != ty::Void) putdiag(P, "W6missing explicit return");
        b.append(ret);
    }
    atlast(P, stmt);
    if (body) {
        // promoted parameters are read where the caller left them
        StmtNode* entry = nullptr;
        StmtNode** entrytail = &entry;
        for (Symbol* p = S.ordinary; p && p != S.ordinarymark; p = p->next) {
            if (p->sclass != sc::Param && p->sclass != sc::RegParam) continue;
            if (!(p->flags & sf::Promoted)) continue;
            uint16_t code = codeof(p->type);
            if (code == ty::Float) {
                if (!(p->flags & sf::Referenced)) continue;
                p->flags |= sf::Untracked;
                ExprNode* from = newexpr(P, opc::Leaf);
                from->leafbits = leaf::Contents | leaf::Symbol;
                from->sym = p;
                from->type = P.types.dbl;
                ExprNode* to = copyleaf(P, from);
                to->type = p->type;
                to->leafbits |= leaf::InitTarget;
                StmtNode* st = newstmt(P, sk::Expr);
                st->firstline = stmt->firstline;
                st->firstcol = stmt->firstcol;
                st->file = stmt->file;
                st->expr = mknode(P, tok::Assign, p->type, to, castexpr(P, mknode(P, opc::Cast, p->type, from)));
                *entrytail = st;
                entrytail = &st->next;
            } else {
                // read from the low-order end of its int slot
                uint32_t size = typesize(P, p->type);
                if (size < 4) p->value += 4 - size;
            }
        }
        if (entry) {
            *entrytail = stmt->body;
            stmt->body = entry;
        }
    }
    // the block's symbols leave the scope with the statement
    stmt->locals = cutscope(P, &S.ordinary, openhead);
    if (body)
        for (Symbol* s = stmt->locals; s; s = s->next) s->flags &= ~sf::Implicit;
    if (!body) {
        S.ordinarymark = savedmark;
        S.tagmark = savedtagmark;
        popscope(P, &S.tags, savedtags);
    }
    return stmt;
}

}  // namespace cpppc

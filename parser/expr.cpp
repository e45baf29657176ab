// The expression parser: primary, postfix and prefix expressions, binary
// operators by precedence climbing, comma expressions, calls with their
// prototype checks, member access and the prefix-operator semantics.
//
// Every node goes to its semantic routine (binop, assignop, castexpr,
// unaryop) the moment its operands are parsed, and the parser continues
// with the node that routine returns, so trees are typed, folded and
// simplified as they are built. The recursion of the grammar is bounded:
// past kMaxNesting levels the expression is "too complex" and the parser
// unwinds without further messages.
//
// comma-expr  := assign-expr { ',' assign-expr }
// assign-expr := unary-expr { binary-operator unary-expr }   (by priority)
// binary-op   := '?' comma-expr ':' | '*' | '/' | ... | '=' | '+=' | ...
// unary-expr  := postfix-expr | ('++' | '--') unary-expr | ('!' | '~' | '-' | '*' | '&' | '+') unary-expr
//              | '(' type-name ')' unary-expr | sizeof ['@'] unary-expr | sizeof ['@'] '(' type-name ')'
// postfix-expr:= primary { '[' comma-expr ']' | '(' [ assign-expr { ',' assign-expr } ] ')'
//                          | '.' name | '->' name | '++' | '--' }
// primary     := constant | string | name | '(' comma-expr ')'
#include <cstring>

#include "parser/exprtree.h"
#include "parser/targetmath.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

// One level of the grammar's recursion while it lives.
struct Nest {
    Parser& P;
    bool ok;
    explicit Nest(Parser& p) : P(p) {
        if (P.ex.nesting == 0) P.ex.toocomplex = false;
        ++P.ex.nesting;
        ok = !P.ex.toocomplex && P.ex.nesting <= kMaxNesting;
        if (!ok) toocomplex(P);
    }
    ~Nest() { --P.ex.nesting; }
};

// Whether the tree is higher than kMaxHeight, measured without recursion.
bool toohigh(const ExprNode* e) {
    std::vector<std::pair<const ExprNode*, int>> work;
    if (e) work.push_back({e, 1});
    while (!work.empty()) {
        auto [n, h] = work.back();
        work.pop_back();
        if (h > kMaxHeight) return true;
        for (const ExprNode* c : {n->left, n->middle, n->right})
            if (c) work.push_back({c, h + 1});
    }
    return false;
}

// A complete expression that the later passes cannot walk ends as "too
// complex", like one that nests too deeply while it is read.
ExprNode* boundheight(Parser& P, ExprNode* e) {
    if (!e || !toohigh(e)) return e;
    toocomplex(P);
    return nullptr;
}

void missing(Parser& P, const char* msg) {
    if (!P.ex.toocomplex) putdiag(P, "%s", msg);
}

// Priorities of the binary operators, keyed by their full code.
int priority(uint16_t op) {
    switch (op) {
    case 99:
    case 68:
    case 69: return 12;
    case 97:
    case 98: return 11;
    case 70:
    case 71: return 10;
    case 75:
    case 76:
    case 77:
    case 78: return 9;
    case 79:
    case 80: return 8;
    case 104: return 7;
    case 73: return 6;
    case 74: return 5;
    case 91: return 4;
    case 92: return 3;
    case opc::Cond: return 2;
    case 95: return 1;
    default: return op >= 81 && op <= 90 ? 1 : 0;
    }
}

bool bindstighter(uint8_t a, uint8_t b) {
    if (!a) return true;
    int pa = priority(a), pb = priority(b);
    if (pa != pb) return pa < pb;
    return a == opc::Cond || pa == 1 || a == 91 || a == 92;
}

// The end of a ?: node: the counts raised for its operands go down.
void endcond(Parser& P, const ExprNode* op) {
    if (op && op->op == opc::Cond) {
        --P.ex.opencond;
        --P.ex.condctx;
    }
}

// The next token as a binary operator node, or null (the token pushed back).
// A '?' brings its middle operand and the ':' along.
ExprNode* nextbinop(Parser& P) {
    if (P.ex.toocomplex) return nullptr;
    Token* t = nexttoken(P);
    uint16_t code = t->code;
    if (code != tok::Quest && !(code < 128 && priority(code) > 0)) {
        pushtoken(P);
        return nullptr;
    }
    ExprNode* node = newexpr(P, static_cast<uint8_t>(code));
    if (code == tok::Slash || code == tok::Percent || code == 84 || code == 85) node->savedpos = savepos(P);
    if (code == tok::Quest) {
        ++P.ex.opencond;
        ExprNode* middle = commaexpr(P, 0);
        if (!middle) {
            missing(P, "missing ? test expression");
            middle = mkconst(P, 0, P.types.sint);
        }
        node->middle = middle;
        if (!P.ex.toocomplex) expecttoken(P, tok::Colon);
        ++P.ex.condctx;
    }
    return node;
}

// Operators that bind tighter than `outer`, with `left` as the first
// operand and `pending` the operator read after it. On return `pending`
// holds the operator that stopped the loop, or null.
ExprNode* binaryexpr(Parser& P, uint8_t outer, ExprNode* left, ExprNode*& pending) {
    while (pending && bindstighter(outer, pending->op)) {
        ExprNode* node = pending;
        pending = nullptr;
        bool logical = islogical(node->op);
        if (logical) ++P.ex.condctx;
        ExprNode* right = unaryexpr(P, 0);
        if (right) {
            pending = nextbinop(P);
            if (pending && bindstighter(node->op, pending->op)) {
                Nest n(P);
                if (n.ok) {
                    right = binaryexpr(P, node->op, right, pending);
                } else {
                    endcond(P, pending);
                    pending = nullptr;
                }
            }
        }
        if (logical) --P.ex.condctx;
        if (!right) {
            missing(P, "missing expression");
            endcond(P, node);
            return left;
        }
        node->left = left;
        node->right = right;
        ++P.ex.operators;
        bool cond = node->op == opc::Cond;
        left = binop(P, node);
        if (cond) {
            --P.ex.opencond;
            --P.ex.condctx;
        }
    }
    return left;
}

// ---- primary expressions ----

bool isasmname(const Symbol* s) {
    return s && namelength(s->name) == 4 && std::memcmp(nametext(s->name), "_asm", 4) == 0;
}

ExprNode* stringleaf(Parser& P, Literal* lit) {
    ExprNode* e = newexpr(P, opc::Leaf);
    e->leafbits = leaf::Literal | leaf::Contents;
    e->lit = lit;
    TypeNode* a = newtype(P, ty::Array, P.types.plainchar);
    a->detail = (lit ? lit->length : 0) + 1;
    e->type = a;
    return e;
}

ExprNode* nameleaf(Parser& P, const unsigned char* name, uint32_t line, uint16_t column) {
    Symbol* s = findordinary(P, name);
    if (!s) {
        // used before (or without) a declaration: a name of the current scope
        s = newsym(P, &P.syms.scopes.ordinary, name, sc::None, P.types.sint);
        s->useline = line;
        s->usecolumn = column;
    }
    s->flags |= sf::Referenced;
    s->usestamp = P.syms.sequence;
    uint32_t weight = s->weight + 1u;
    if (P.ex.loopdepth > 0 && !P.ex.staticinit) weight += 2u * static_cast<uint32_t>(P.ex.loopdepth);
    s->weight = static_cast<uint16_t>(std::min<uint32_t>(weight, 0xFFFF));
    if (s->sclass == sc::EnumConst) {
        TypeNode* under = basetype(s->type);
        bool chartype = under && (under->code & 0xF0) == 0x10;
        return mkconst(P, s->value, chartype || !under ? P.types.sint : under);
    }
    if (s->sclass == sc::Typedef) {
        putdiag(P, "invalid typedef usage");
        return mkconst(P, 0, P.types.sint);
    }
    bool linked = s->sclass == sc::None || s->sclass == sc::Extern || s->sclass == sc::Static || s->sclass == sc::Placed;
    if (!P.ex.staticinit && linked && !(s->flags & (sf::UsedObject | sf::Called))) s->flags |= sf::UsedObject;
    ExprNode* e = newexpr(P, opc::Leaf);
    e->leafbits = leaf::Contents | leaf::Symbol;
    e->sym = s;
    e->type = basetype(s->type) && s->type->code == ty::Enum ? basetype(s->type) : s->type;
    return e;
}

// '(' already read: a cast (iscast set; no postfix operator follows it) or
// a parenthesized expression.
ExprNode* parenexpr(Parser& P, bool& iscast) {
    iscast = false;
    Token* t = nexttoken(P);
    bool istype = startstypename(P, t);
    pushtoken(P);
    if (istype) {
        iscast = true;
        TypeNode* type = parsetypename(P);
        expecttoken(P, tok::RParen);
        ExprNode* x = nullptr;
        {
            Nest n(P);
            if (n.ok) x = unaryexpr(P, 0);
        }
        if (!x) {
            missing(P, "missing expression");
            return P.ex.toocomplex ? nullptr : mkconst(P, 0, P.types.sint);
        }
        if (x->op == opc::Call && x->left && isnamed(x->left) && isasmname(x->left->sym)) {
            TypeNode* f = basetype(x->left->sym->type);
            if (f && f->code == ty::Function && !f->params) {
                x->type = type;
                return x;
            }
        }
        return castexpr(P, mknode(P, opc::Cast, type, x));
    }
    ExprNode* e = commaexpr(P, 0);
    if (!e) {
        if (P.ex.toocomplex) return nullptr;
        putdiag(P, "invalid expression");
        e = mkconst(P, 0, P.types.sint);
    }
    expecttoken(P, tok::RParen);
    return e;
}

// sizeof has been read.
ExprNode* sizeofexpr(Parser& P) {
    bool argument = false;
    Token* t = nexttoken(P);
    if (t->code == tok::At) {
        argument = true;
        t = nexttoken(P);
    }
    TypeNode* type = nullptr;
    bool havetype = false;
    if (t->code == tok::LParen) {
        Token* n = nexttoken(P);
        if (startstypename(P, n)) {
            pushtoken(P);
            type = parsetypename(P);
            expecttoken(P, tok::RParen);
            havetype = true;
        } else {
            pushtoken(P);
            pushtoken(P);
        }
    } else {
        pushtoken(P);
    }
    if (!havetype) {
        ExprNode* x = nullptr;
        ++P.ex.nclevel;
        {
            Nest n(P);
            if (n.ok) x = unaryexpr(P, 0);
        }
        --P.ex.nclevel;
        if (!x) {
            missing(P, "missing expression");
            return P.ex.toocomplex ? nullptr : mkconst(P, 0, P.types.sint);
        }
        if (ty::isbitfield(tcode(x))) putdiag(P, "invalid sizeof(type)");
        if (argument) decayexpr(P, x);
        type = x->type;
        dropexpr(P, x);
    }
    if (argument) type = promotetype(P, type, 1);
    return mkconst(P, sizeoftype(P, type), P.types.uint);
}

// ---- postfix ----

ExprNode* member(Parser& P, ExprNode* e, bool arrow) {
    bool rvalue = e->op == opc::Call || (e->op != opc::Leaf && (e->nflags & nf::NotLvalue));
    uint8_t carry = e->nflags & (nf::UnionRead | nf::Overlaid);
    if (arrow)
        decayexpr(P, e);
    else
        e = takeaddress(P, e);
    Token* t = nexttoken(P);
    if (t->code != tok::Name) {
        pushtoken(P);
        putdiag(P, "missing member name");
        return mkconst(P, 0, P.types.sint);
    }
    const unsigned char* name = t->name;
    TypeNode* pt = basetype(e->type);
    TypeNode* st = pt && pt->code == ty::Pointer ? basetype(pt->subtype) : nullptr;
    if (!st || (st->code != ty::Struct && st->code != ty::Union)) {
        putdiag(P, "bad struct/union operand");
        return mkconst(P, 0, P.types.sint);
    }
    if (!st->members) {
        putdiag(P, "undefined struct/union");
        return mkconst(P, 0, P.types.sint);
    }
    Symbol* m = st->members;
    while (m && m->name != name) m = m->next;
    if (!m) putdiag(P, "%.*s not a member", namelength(name), nametext(name));
    uint16_t word = static_cast<uint16_t>(pt->pointerattr() | (m ? (m->attributes & ~attr::Space) : 0));
    bool isunion = st->code == ty::Union;
    uint8_t mark = static_cast<uint8_t>(carry | (isunion ? nf::UnionRead : 0));
    if (m && m->value != 0) {
        if (e->op == 97 && isintconst(e->right)) {
            e->right->value += m->value;
        } else {
            TypeNode* cp = newtype(P, ty::Pointer, P.types.chr);
            cp->detail = word;
            e->type = cp;
            e->nflags |= mark & nf::UnionRead;
            e = binop(P, mknode(P, 97, cp, e, mkconst(P, m->value, P.types.sint)));
        }
    }
    TypeNode* mp = newtype(P, ty::Pointer, m ? m->type : P.types.sint);
    mp->detail = word;
    e->type = mp;
    e->nflags |= mark & nf::UnionRead;
    ExprNode* r = unaryop(P, mknode(P, opc::Ind, nullptr, e));
    r->nflags |= mark & nf::UnionRead;
    if ((carry & nf::Overlaid) || (m && (m->flags & sf::SharesStorage))) r->nflags |= nf::Overlaid;
    if (rvalue) r->nflags |= nf::NotLvalue;
    ++P.ex.operators;
    return r;
}

bool isvoidentry(const Symbol* p) { return p && codeof(p->type) == ty::Void; }

ExprNode* matchargument(Parser& P, ExprNode* a, Symbol* param) {
    TypeNode* pt = param->type;
    uint16_t pc = codeof(pt), ac = tcode(a);
    if (pc == ty::Pointer && isintconst(a) && a->value == 0) return convertexpr(P, a, pt);
    if (!typecompat(P, pt, a->type)) {
        putdiag(P, "incompatible argument type");
        return a;
    }
    if (pc < 0x32 && ac < 0x32) return a;
    if (P.opt.warnlevel) checkrange(P, tok::Assign, pt, a);
    return convertexpr(P, a, pt);
}

// '(' after a function expression: the call.
ExprNode* callexpr(Parser& P, ExprNode* fn) {
    replaceconst(P, &fn);
    ExprNode* c = mknode(P, opc::Call, nullptr, fn);
    ++P.ex.calls;
    ++P.ex.operators;
    Symbol* named = isnamed(fn) ? fn->sym : nullptr;
    bool isasm = isasmname(named);
    bool isinline = false;
    if (named && !(named->flags & sf::Declared) && named->sclass == sc::None) {
        named->sclass = sc::Extern;
        named->attributes = defaultspace(P, attr::Code, sc::Extern, ty::Function);
        named->value = 0;
        named->type = newtype(P, ty::Function | ty::Permanent, P.types.sint);
        named->flags |= sf::Declared | sf::Referenced | sf::Implicit;
        if (!P.ex.staticinit) named->flags |= sf::Called;
        fn->type = named->type;
    }
    TypeNode* ft = basetype(fn->type);
    TypeNode* proto = nullptr;
    uint16_t fattr = 0;
    if (ft && ft->code == ty::Function) {
        c->type = ft->subtype;
        proto = ft;
        if (named) {
            if (named->flags & sf::UsedObject) named->flags = (named->flags & ~sf::UsedObject) | sf::Called;
            if (named->attributes & attr::Inline) {
                isinline = true;
                if (P.ex.defining == named) {
                    putdiag(P, "invalid recursive inline function");
                } else if (named->body) {
                    ++P.ex.inlinecalls;
                    --P.ex.calls;
                }
            }
        }
        decayexpr(P, fn);
        fattr = basetype(fn->type)->pointerattr();
    } else if (ft && ft->code == ty::Pointer && codeof(ft->subtype) == ty::Function) {
        proto = basetype(ft->subtype);
        c->type = proto->subtype;
        fattr = ft->pointerattr();
    } else {
        putdiag(P, "invalid function type");
        c->type = P.types.sint;
        dropexpr(P, fn);
        c->left = nullptr;
    }
    if (codeof(c->type) == ty::Enum || (c->type && c->type->code == ty::Enum)) c->type = basetype(c->type);
    uint16_t rc = codeof(c->type);
    if ((rc == ty::Struct || rc == ty::Union) && !basetype(c->type)->members) putdiag(P, "incomplete struct/union type");
    bool hasproto = proto && proto->params && proto->params->type;
    if ((!hasproto && !isasm && !isinline) || !c->left) {
        if (P.opt.p)
            putdiag(P, "missing prototype");
        else if (P.opt.warnlevel)
            putdiag(P, "W2missing prototype");
    }
    bool variadic = false;
    if (hasproto) {
        const Symbol* p = proto->params;
        while (p && !isvoidentry(p)) p = p->next;
        variadic = !p;
    }
    Symbol* param = hasproto ? proto->params : nullptr;
    bool toomany = false, extra = false;
    std::vector<ExprNode*> args;
    Token* t = nexttoken(P);
    if (t->code != tok::RParen) {
        pushtoken(P);
        for (;;) {
            ExprNode* a = assignexpr(P);
            if (!a) {
                if (P.ex.toocomplex) break;
                putdiag(P, "missing argument");
                a = mkconst(P, 0, P.types.sint);
            }
            decayexpr(P, a);
            a = replaceconst(P, &a);
            if (hasproto) {
                if (param && isvoidentry(param)) {
                    if (!toomany) putdiag(P, "too many arguments");
                    toomany = true;
                } else if (param) {
                    a = matchargument(P, a, param);
                    param = param->next;
                } else {
                    extra = true;
                }
            }
            args.push_back(a);
            if (nexttoken(P)->code != tok::Comma) {
                pushtoken(P);
                break;
            }
        }
        if (!P.ex.toocomplex) expecttoken(P, tok::RParen);
    }
    if (param && !isvoidentry(param) && !P.ex.toocomplex) putdiag(P, "missing argument");
    if (variadic) {
        c->nflags |= nf::Variadic;
        if (extra && (fattr & attr::Nostack)) putdiag(P, "W3variable arguments in nostack mode");
    }
    ExprNode* list = nullptr;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        list = list ? mknode(P, opc::ArgCell, nullptr, *it, list) : *it;
    c->right = list;
    forgetall(P);
    return c;
}

ExprNode* postfix(Parser& P, ExprNode* e) {
    // constants take no postfix operators: "0 (" ends the expression
    if (isintconst(e) || isfloatconst(e)) return e;
    while (e && !P.ex.toocomplex) {
        Token* t = nexttoken(P);
        switch (t->code) {
        case tok::LBrack: {
            ExprNode* sub = commaexpr(P, 0);
            if (!sub) {
                if (P.ex.toocomplex) return nullptr;
                putdiag(P, "missing array subscript");
                sub = mkconst(P, 0, P.types.sint);
            }
            ExprNode* sum = binop(P, mknode(P, 97, nullptr, e, sub));
            e = unaryop(P, mknode(P, opc::Ind, nullptr, sum));
            expecttoken(P, tok::RBrack);
            P.ex.operators += 2;
            break;
        }
        case tok::Dot: e = member(P, e, false); break;
        case tok::Arrow: e = member(P, e, true); break;
        case tok::LParen: e = callexpr(P, e); break;
        case tok::Inc:
        case tok::Dec:
            e = assignop(P, mknode(P, static_cast<uint8_t>(t->code), nullptr, e, mkconst(P, 1, P.types.sint)));
            ++P.ex.operators;
            break;
        default: pushtoken(P); return e;
        }
    }
    return e;
}

// '&' over a node: unaryop's share, with takeaddress's implicit mark.
ExprNode* addressof(Parser& P, ExprNode* e, bool implicit) {
    ExprNode* x = e->left;
    if (x->nflags & nf::NotLvalue) putdiag(P, "invalid lvalue");
    if (ty::isbitfield(tcode(x))) {
        putdiag(P, "invalid address type");
        e->type = pointerto(P, P.types.sint, 0);
        return e;
    }
    if (x->op == opc::Ind) {
        ExprNode* p = x->left;
        TypeNode* pt = basetype(p->type);
        TypeNode* np = newtype(P, ty::Pointer, x->type);
        np->detail = pt && pt->code == ty::Pointer ? pt->pointerattr() : 0;
        p->type = np;
        return p;
    }
    if (x->op != opc::Leaf) {
        uint16_t c = tcode(x);
        if (!(x->op == opc::Call && (c == ty::Struct || c == ty::Union))) putdiag(P, "invalid address expression");
        e->type = pointerto(P, x->type, 0);
        return e;
    }
    Symbol* s = isnamed(x) ? x->sym : nullptr;
    if (!(x->leafbits & leaf::Contents) || (s && (s->sclass == sc::Register || s->sclass == sc::RegParam))) {
        putdiag(P, "invalid address operand");
        e->type = pointerto(P, x->type, 0);
        return e;
    }
    x->leafbits &= static_cast<uint8_t>(~leaf::Contents);
    x->type = pointerto(P, x->type, s ? s->attributes : 0);
    if (s) s->flags |= sf::AddrTaken | (implicit ? 0 : sf::Untracked);
    return x;
}

}  // namespace

// ---- entry points ----

ExprNode* commaexpr(Parser& P, int voidctx) {
    bool outermost = P.ex.nesting == 0;
    ExprNode* e = assignexpr(P);
    if (!e) return nullptr;
    while (!P.ex.toocomplex) {
        if (nexttoken(P)->code != tok::Comma) {
            pushtoken(P);
            break;
        }
        ExprNode* r = assignexpr(P);
        if (!r) {
            missing(P, "missing expression");
            break;
        }
        decayexpr(P, r);
        if (isintconst(e) || isfloatconst(e) || isfree(P, e)) {
            dropexpr(P, e);
            r->nflags |= nf::NotLvalue;
            e = r;
        } else {
            e = mknode(P, opc::Comma, r->type, e, r);
        }
    }
    voidexpr(P, e, voidctx);
    return outermost ? boundheight(P, e) : e;
}

ExprNode* assignexpr(Parser& P) {
    bool outermost = P.ex.nesting == 0;
    ExprNode* e = nullptr;
    {
        Nest n(P);
        if (!n.ok) return nullptr;
        ExprNode* left = unaryexpr(P, 0);
        if (!left) return nullptr;
        ExprNode* pending = nextbinop(P);
        e = binaryexpr(P, 0, left, pending);
        endcond(P, pending);
    }
    return outermost ? boundheight(P, e) : e;
}

// A value-discarded position: postfix increments become compound
// assignments, and casts and the operands of commas are looked through.
void voidexpr(Parser& P, ExprNode* e, int voidctx) {
    (void)P;
    std::vector<ExprNode*> work;
    if (!e) return;
    if (voidctx)
        work.push_back(e);
    else if (e->op == opc::Comma)
        work.push_back(e->left);
    while (!work.empty()) {
        ExprNode* n = work.back();
        work.pop_back();
        while (n) {
            if (n->op == opc::PostInc) n->op = 81;
            if (n->op == opc::PostDec) n->op = 82;
            if (n->op == opc::Cast) {
                n = n->left;
            } else if (n->op == opc::Comma) {
                work.push_back(n->right);
                n = n->left;
            } else {
                break;
            }
        }
    }
}

ExprNode* unaryexpr(Parser& P, uint8_t enclosing) {
    if (P.ex.toocomplex) return nullptr;
    Token* t = nexttoken(P);
    uint16_t code = t->code;
    ExprNode* e = nullptr;
    switch (code) {
    case tok::String: e = stringleaf(P, t->lit); break;
    case tok::FloatConst:
    case tok::DoubleConst:
        e = newexpr(P, opc::Leaf);
        e->leafbits = leaf::Literal;
        e->lit = t->lit;
        e->type = code == tok::FloatConst ? P.types.flt : P.types.dbl;
        return e;
    case tok::IntConst:
        return mkconst(P, static_cast<uint32_t>(t->ival),
                       t->ival == 32768 && enclosing != opc::Neg ? P.types.slong : P.types.sint);
    case tok::UIntConst: return mkconst(P, static_cast<uint32_t>(t->ival), P.types.uint);
    case tok::MinIntConst:
        return mkconst(P, static_cast<uint32_t>(t->ival), enclosing == opc::Neg ? P.types.slong : P.types.ulong);
    case tok::Name: {
        const unsigned char* name = t->name;
        e = nameleaf(P, name, t->line, t->column);
        break;
    }
    case tok::LParen: {
        bool iscast = false;
        e = parenexpr(P, iscast);
        if (iscast || P.ex.toocomplex) return P.ex.toocomplex ? nullptr : e;
        break;
    }
    case tok::Inc:
    case tok::Dec:
    case tok::Not:
    case tok::Tilde:
    case tok::Minus:
    case tok::Star:
    case tok::Amp:
    case tok::Plus: {
        uint8_t op = static_cast<uint8_t>(code);
        if (code == tok::Minus || code == tok::Star || code == tok::Amp) op = static_cast<uint8_t>(code & ~0x40);
        ExprNode* x = nullptr;
        {
            Nest n(P);
            if (n.ok) x = unaryexpr(P, op);
        }
        if (!x) {
            if (P.ex.toocomplex) return nullptr;
            putdiag(P, "missing expression");
            x = mkconst(P, 0, P.types.sint);
        }
        ++P.ex.operators;
        if (code == tok::Inc || code == tok::Dec)
            return assignop(P, mknode(P, code == tok::Inc ? 81 : 82, nullptr, x, mkconst(P, 1, P.types.sint)));
        if (code == tok::Plus) {
            uint16_t c = tcode(x);
            if (!isarithcode(c)) {
                putdiag(P, "invalid arithmetic operand");
                return x;
            }
            if ((c & 0xF0) == 0x10 || (c & 0xF0) == 0x20 || c == ty::IntField) x = convertexpr(P, x, P.types.sint);
            if (!isintconst(x) && !isfloatconst(x)) x->nflags |= nf::NotLvalue;
            return x;
        }
        return unaryop(P, mknode(P, op, nullptr, x));
    }
    case kw::Sizeof: return sizeofexpr(P);
    default: pushtoken(P); return nullptr;
    }
    if (!e) return nullptr;
    return postfix(P, e);
}

ExprNode* takeaddress(Parser& P, ExprNode* e) {
    if (e->op == opc::Cond && e->middle && e->right) {
        e->middle = takeaddress(P, e->middle);
        e->right = takeaddress(P, e->right);
        e->type = e->middle->type;
        e->nflags |= nf::NotLvalue;
        return e;
    }
    if (e->op == opc::Comma && e->right) {
        e->right = takeaddress(P, e->right);
        e->type = e->right->type;
        e->nflags |= nf::NotLvalue;
        return e;
    }
    uint8_t overlaid = e->nflags & nf::Overlaid;
    ExprNode* a = addressof(P, mknode(P, opc::Addr, nullptr, e), true);
    a->nflags |= overlaid;
    return a;
}

ExprNode* unaryop(Parser& P, ExprNode* e) {
    if (!e || !e->left) return e;
    if (e->op == opc::Addr) return addressof(P, e, false);
    replaceconst(P, &e->left);
    ExprNode* x = e->left;
    uint16_t c = tcode(x);
    switch (e->op) {
    case opc::Neg: {
        if (!isarithcode(c)) {
            putdiag(P, "invalid operand type");
            e->type = x->type;
            return e;
        }
        TypeNode* t = ty::isinteger(c) ? promotetype(P, x->type, 0) : x->type;
        if (isintconst(x)) {
            x->value = tgt::neg(x->value);
            x->type = t;
            return x;
        }
        if (isfloatconst(x)) {
            ExprNode* f = mkfloat(P, -floatvalue(x), x->type);
            dropexpr(P, x);
            return f;
        }
        if (x->op == opc::Neg && !isretyped(x)) {
            ExprNode* y = convertexpr(P, x->left, t);
            y->nflags |= nf::NotLvalue;
            return y;
        }
        if (x->op == 98 && ty::isinteger(c) && !isretyped(x)) return binop(P, mknode(P, 98, nullptr, x->right, x->left));
        e->type = t;
        return e;
    }
    case opc::Ind: {
        if (x->op == opc::Addr && x->left && x->left->op != opc::Call) {
            ExprNode* y = x->left;
            TypeNode* pt = basetype(x->type);
            if (pt && pt->code == ty::Pointer) y->type = pt->subtype;
            return y;
        }
        decayexpr(P, x);
        TypeNode* pt = basetype(x->type);
        e->nflags &= static_cast<uint8_t>(~nf::NotLvalue);
        if (!pt || pt->code != ty::Pointer || codeof(pt->subtype) == ty::Void) {
            putdiag(P, "invalid indirection operand");
            e->type = x->type;
            return e;
        }
        TypeNode* to = pt->subtype;
        if (to && to->code == ty::Enum) to = basetype(to);
        e->type = to;
        bool address = isleaf(x) && !(x->leafbits & leaf::Contents);
        uint16_t word = pt->pointerattr();
        if (address && ((word & attr::Code) || !(word & 0xC0FF))) {
            x->leafbits |= leaf::Contents;
            x->type = to;
            x->nflags &= static_cast<uint8_t>(~(nf::Typed | nf::NotLvalue));
            return x;
        }
        return e;
    }
    case opc::Not: {
        if (isintconst(x)) return mkconst(P, x->value == 0 ? 1 : 0, P.types.sint);
        ExprNode* t = testexpr(P, &e->left);
        if (!t) {
            putdiag(P, "invalid operand type");
            e->type = P.types.sint;
            return e;
        }
        return negatecond(t);
    }
    case opc::Compl: {
        if (!ty::isinteger(c)) {
            putdiag(P, "invalid operand type");
            e->type = x->type;
            return e;
        }
        TypeNode* t = promotetype(P, x->type, 0);
        if (isintconst(x)) {
            x->value = ~x->value;
            x->type = t;
            return x;
        }
        if (x->op == opc::Compl && !isretyped(x)) {
            ExprNode* y = convertexpr(P, x->left, t);
            y->nflags |= nf::NotLvalue;
            return y;
        }
        e->type = t;
        return e;
    }
    default: return e;
    }
}

}  // namespace cpppc

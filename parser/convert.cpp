// Expression trees: structural equality, the integer promotions, decay of
// arrays and functions, conversion to a type and the semantics of casts,
// with the helpers that build and copy nodes.
//
// A cast is resolved as soon as it is parsed: a constant becomes a constant
// of the new type, a value-preserving retyping is done in place (so that
// `(char)(a + b)` computes in char), and only a real conversion keeps the
// cast node.
#include <cstring>

#include "parser/exprtree.h"
#include "parser/targetmath.h"

namespace cpppc {

// ---- building blocks ----

ExprNode* mknode(Parser& P, uint8_t op, TypeNode* type, ExprNode* left, ExprNode* right) {
    ExprNode* e = newexpr(P, op);
    e->type = type;
    e->left = left;
    e->right = right;
    return e;
}

ExprNode* mkconst(Parser& P, uint32_t value, TypeNode* type) {
    ExprNode* e = mkintconst(P, nullptr, value);
    e->type = type ? type : P.types.sint;
    return e;
}

ExprNode* mkfloat(Parser& P, double value, TypeNode* type) {
    unsigned char bytes[sizeof(double)];
    std::memcpy(bytes, &value, sizeof bytes);
    ExprNode* e = newexpr(P, opc::Leaf);
    e->leafbits = leaf::Literal;
    e->lit = internliteral(P, bytes, sizeof bytes);
    e->type = type;
    return e;
}

double floatvalue(const ExprNode* e) {
    double d = 0;
    if (e && e->lit && e->lit->bytes.size() == sizeof(double)) std::memcpy(&d, e->lit->bytes.data(), sizeof d);
    return d;
}

ExprNode* copyleaf(Parser& P, const ExprNode* e) {
    ExprNode* c = newexpr(P, opc::Leaf);
    setnode(c, e);
    if (c->lit) ++c->lit->uses;
    return c;
}

TypeNode* pointerto(Parser& P, TypeNode* to, uint16_t attributes) {
    TypeNode* p = newtype(P, ty::Pointer, to);
    p->detail = defaultspace(P, attributes, sc::Pointee, to ? to->code : 0);
    return p;
}

uint32_t bitwidthof(Parser& P, TypeNode* t) {
    t = basetype(t);
    if (!t) return 32;
    if (ty::isbitfield(t->code)) return t->bitwidth();
    return 8 * typesize(P, t);
}

ExprNode* keepeffects(Parser& P, ExprNode* e, ExprNode* result) {
    if (!e || isfree(P, e)) {
        dropexpr(P, e);
        return result;
    }
    ExprNode* c = mknode(P, opc::Comma, result->type, e, result);
    c->nflags |= nf::NotLvalue;
    return c;
}

void dropexpr(Parser& P, ExprNode* e) {
    // Only leaves hold literals; deep trees are left alone (their literals
    // are then written unused, which costs bytes but loses nothing).
    std::vector<ExprNode*> work;
    if (e) work.push_back(e);
    while (!work.empty() && work.size() < 4096) {
        ExprNode* n = work.back();
        work.pop_back();
        if (n->op == opc::Leaf) {
            if (n->lit) droplituse(P, n->lit);
            n->lit = nullptr;
            continue;
        }
        if (n->op == opc::Sequence) continue;
        for (ExprNode* k : {n->left, n->middle, n->right})
            if (k) work.push_back(k);
    }
}

void toocomplex(Parser& P) {
    if (!P.ex.toocomplex) putdiag(P, "expression too complex");
    P.ex.toocomplex = true;
}

// ---- equality ----

namespace {

bool bitfieldsagree(TypeNode* a, TypeNode* b) {
    a = basetype(a);
    b = basetype(b);
    if (!a || !b || !ty::isbitfield(a->code) || !ty::isbitfield(b->code)) return true;
    return a->detail == b->detail;
}

bool volatilepointer(const ExprNode* p) {
    TypeNode* t = p ? basetype(p->type) : nullptr;
    return t && t->code == ty::Pointer && (t->pointerattr() & attr::Volatile);
}

bool commutes(uint8_t op) { return op == 73 || op == 74 || op == 79 || op == 80 || op == 97 || op == 99 || op == 104; }

int same(Parser& P, const ExprNode* a, const ExprNode* b, bool strict, int depth) {
    if (!a || !b) return a == b;
    if (depth > kMaxCompare) return 0;
    if (a->op != b->op) return 0;
    if (a->type != b->type) {
        uint16_t ca = codeof(a->type), cb = codeof(b->type);
        if (ca != ty::Pointer || cb != ty::Pointer)
            if (!sametype(P, a->type, b->type)) return 0;
        if (!bitfieldsagree(a->type, b->type)) return 0;
    }
    if (a->op == opc::Leaf) {
        if ((a->leafbits ^ b->leafbits) & ~leaf::InitTarget) return 0;
        if (a->sym != b->sym || a->lit != b->lit || a->value != b->value) return 0;
        if (strict && a->sym && (a->leafbits & leaf::Contents) && (a->sym->attributes & attr::Volatile)) return 0;
        return 1;
    }
    switch (a->op) {
    case opc::Call:
    case opc::PostInc:
    case opc::PostDec:
    case opc::Sequence:
    case 95: return 0;
    default: break;
    }
    if (a->op >= 81 && a->op <= 90) return 0;
    if (strict && a->op == opc::Ind && (volatilepointer(a->left) || volatilepointer(b->left))) return 0;
    ++depth;
    if (a->op == opc::Cast || (a->op >= 32 && a->op <= 63)) return same(P, a->left, b->left, true, depth);
    if (a->op == opc::Cond)
        return same(P, a->middle, b->middle, true, depth) && same(P, a->left, b->left, true, depth) &&
               same(P, a->right, b->right, true, depth);
    // Right operands first: in a long left-leaning chain they differ soonest.
    if (same(P, a->right, b->right, true, depth) && same(P, a->left, b->left, true, depth)) return 1;
    return commutes(a->op) && same(P, a->left, b->right, true, depth) && same(P, a->right, b->left, true, depth);
}

}  // namespace

int sameexpr(Parser& P, const ExprNode* a, const ExprNode* b, int strict) { return same(P, a, b, strict != 0, 0); }

// ---- promotions, decay, conversion ----

TypeNode* promotetype(Parser& P, TypeNode* t, int argument) {
    TypeNode* b = basetype(t);
    if (!b) return t;
    switch (b->code) {
    case ty::Char:
    case ty::UChar:
    case ty::Short:
    case ty::UShort:
    case ty::CharField:
    case ty::ShortField:
    case 0x01: return P.types.sint;
    case ty::IntField: return P.types.uint;
    case ty::LongField: return P.types.ulong;
    case ty::Float: return argument && !P.opt.f ? P.types.dbl : b;
    case ty::Pointer:
        if (argument && (b->pointerattr() & attr::Space) != attr::Far) return P.types.uint;
        return b;
    default: return b;
    }
}

TypeNode* decayexpr(Parser& P, ExprNode* e) {
    TypeNode* t = basetype(e->type);
    if (!t || (t->code != ty::Array && t->code != ty::Function)) return e->type;
    if (P.opt.sa && (e->nflags & nf::NotLvalue)) putdiag(P, "invalid lvalue");
    TypeNode* to = t->code == ty::Array ? t->subtype : t;
    uint16_t word = 0;
    if (e->op == opc::Leaf) {
        if (e->sym && (e->leafbits & leaf::Symbol))
            word = e->sym->attributes;
        else if ((e->leafbits & leaf::Literal) && !P.opt.sa)
            word = attr::Const;
        e->leafbits &= static_cast<uint8_t>(~leaf::Contents);
    } else if (e->op == opc::Ind && e->left) {
        TypeNode* pt = basetype(e->left->type);
        word = pt && pt->code == ty::Pointer ? pt->pointerattr() : 0;
        setnode(e, e->left);
    }
    e->type = pointerto(P, to, word);
    return e->type;
}

ExprNode* convertexpr(Parser& P, ExprNode* e, TypeNode* t) {
    if (!e || sametype(P, e->type, t)) return e;
    return castexpr(P, mknode(P, opc::Cast, t, e));
}

void castconst(Parser& P, ExprNode* e, TypeNode* t) {
    if (P.opt.cc || !e) return;
    switch (codeof(t)) {
    case ty::Char: e->value = tgt::extend(e->value, 8, true); break;
    case ty::UChar: e->value &= 0xFF; break;
    case ty::Short: e->value = tgt::extend(e->value, 16, true); break;
    case ty::UShort: e->value &= 0xFFFF; break;
    default: break;
    }
}

// ---- casts ----

namespace {

// The space of a pointer type, none counting as near; far above near above tiny.
uint16_t spaceof(TypeNode* t) {
    uint16_t s = basetype(t)->pointerattr() & attr::Space;
    return s ? s : attr::Near;
}

// An integer constant read as the floating value of a cast to a type: the
// unsigned and bit-field types by their width, the rest as signed 32-bit.
double constasfloat(const ExprNode* e) {
    switch (tcode(e)) {
    case ty::UChar:
    case ty::CharField: return static_cast<double>(e->value & 0xFF);
    case ty::UShort:
    case ty::ShortField: return static_cast<double>(e->value & 0xFFFF);
    case ty::UInt:
    case ty::IntField:
    case ty::ULong:
    case ty::LongField: return static_cast<double>(e->value);
    default: return static_cast<double>(tgt::sval(e->value));
    }
}

ExprNode* retype(ExprNode* e, TypeNode* t, bool typed) {
    e->type = t;
    if (typed) e->nflags |= nf::Typed;
    return e;
}

ExprNode* castfloat(Parser& P, ExprNode* cast, ExprNode* x) {
    uint16_t c = tcode(x);
    if (c > ty::Double) {
        putdiag(P, "invalid cast operand");
        return cast;
    }
    if (isfloatconst(x)) return retype(x, cast->type, false);
    if (isintconst(x)) {
        bool zero = x->leafbits & leaf::ZeroDivide;
        ExprNode* f = mkfloat(P, constasfloat(x), cast->type);
        setnode(cast, f);
        if (zero) cast->leafbits |= leaf::ZeroDivide, cast->savedpos = x->savedpos;
    }
    return cast;
}

ExprNode* castpointer(Parser& P, ExprNode* cast, ExprNode* x) {
    decayexpr(P, x);
    uint16_t c = tcode(x);
    if (c > 0x4B) {
        if (c != ty::Pointer) {
            putdiag(P, "invalid pointer cast operand");
            return cast;
        }
        uint16_t from = spaceof(x->type), to = spaceof(cast->type);
        if ((basetype(x->type)->pointerattr() ^ basetype(cast->type)->pointerattr()) & attr::Const) return cast;
        if (from == to) return retype(x, cast->type, true);
        if (from == attr::Tiny && to == attr::Near && isaddrleaf(x)) return retype(x, cast->type, true);
        if (to < from) {
            if (!P.opt.np) {
                putdiag(P, "invalid narrow pointer cast");
                return cast;
            }
            if (isleaf(x) && !(x->leafbits & (leaf::Contents | leaf::Symbol))) return retype(x, cast->type, true);
        }
        return cast;
    }
    if (isintconst(x)) return retype(x, cast->type, true);
    return cast;
}

ExprNode* castinteger(Parser& P, ExprNode* cast, ExprNode* x, TypeNode* to) {
    decayexpr(P, x);
    uint16_t c = tcode(x), tc = to->code;
    if (c == ty::Pointer) {
        if (typesize(P, x->type) > typesize(P, to) && !P.opt.np) putdiag(P, "invalid narrow pointer cast");
    } else if (!isarithcode(c)) {
        putdiag(P, "invalid cast operand");
        return cast;
    }
    if (isfloatconst(x)) {
        bool inrange = true;
        uint32_t v = tgt::ftoi(floatvalue(x), inrange);
        if (!inrange) putdiag(P, "W1float value too large for integer cast");
        dropexpr(P, x);
        return mkconst(P, v, cast->type);
    }
    if (isintconst(x)) {
        castconst(P, x, to);
        return retype(x, cast->type, false);
    }
    if (tc == ty::UChar && x->op == 104 && isintconst(x->right)) {
        x->right->value &= 0xFF;
        if (x->right->value == 0) return keepeffects(P, x->left, mkconst(P, 0, cast->type));
        return cast;
    }
    bool plainpointer = c == ty::Pointer && isleaf(x) && x->leafbits == 0;
    bool keep = !sametype(P, x->type, cast->type) &&
                (x->op < 32 || x->op == opc::Ind || x->op == 71 || x->op == 68 || x->op == 69);
    // An assignment keeps its own type: retyping it would change the store.
    if (!keep && !isassignop(x->op) && (tc <= c || ty::isbitfield(c)) && !ty::isfloating(c))
        return retype(x, cast->type, true);
    if (plainpointer) return retype(x, cast->type, false);
    return cast;
}

}  // namespace

ExprNode* castexpr(Parser& P, ExprNode* cast) {
    if (!cast || !cast->left) return cast;
    replaceconst(P, &cast->left);
    ExprNode* x = cast->left;
    TypeNode* to = basetype(cast->type);
    if (!to) return cast;
    if (ty::isfloating(to->code)) return castfloat(P, cast, x);
    switch (to->code) {
    case ty::Struct:
    case ty::Union:
    case ty::Array:
    case ty::Function: putdiag(P, "invalid cast type"); return cast;
    case ty::Void:
        if (tcode(x) == ty::Void) return retype(x, x->type, true);
        return cast;
    case ty::Pointer: return castpointer(P, cast, x);
    default: return castinteger(P, cast, x, to);
    }
}

}  // namespace cpppc

// Types for the target: the shared basic type nodes, size and alignment
// with the memory spaces (a pointer's size is its space's: tiny 1, near 2,
// far 4), compatibility and equality with their space and qualifier rules,
// the range and truncation warnings, the small predicates on expression
// leaves and the negation of conditions. Enumerations are looked through to
// their underlying integer type everywhere.
#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

TypeNode* basicnode(Parser& P, uint16_t code) { return newtype(P, code | ty::Permanent, nullptr); }

// Space of a pointer node; 0 counts as near.
uint16_t pointerspace(const TypeNode* t) {
    uint16_t s = t->pointerattr() & attr::Space;
    return s ? s : attr::Near;
}

uint32_t sizeof_(Parser& P, TypeNode* t, bool report) {
    auto fail = [&](const char* msg) -> uint32_t {
        if (report) putdiag(P, "%s", msg);
        return 0;
    };
    if (!t) return fail("size unknown");
    switch (t->code & 0xF0) {
    case 0x10: return 1;
    case 0x20: return 2;
    case 0x30:
    case 0x40: return 4;
    default: break;
    }
    switch (t->code) {
    case ty::Float: return 4;
    case ty::Double: return P.opt.f ? 4 : 8;
    case ty::Struct:
    case ty::Union:
        if (!t->members) return fail("struct/union size unknown");
        return t->size;
    case ty::Enum:
        if (!t->members && !P.opt.ne && report) putdiag(P, "enum size unknown");
        return t->subtype ? sizeof_(P, t->subtype, report) : 4;
    case ty::Pointer: return pointersize(t->pointerattr());
    case ty::Array:
        if (t->count() == 0) return fail("array size unknown");
        return t->count() * sizeof_(P, t->subtype, report);
    case 0x01: return 1;
    default: return fail("size unknown");
    }
}

bool ispointer(const TypeNode* t) { return t && t->code == ty::Pointer; }

// The first entry of a prototype's parameter list has a type; an identifier
// list's entries have none.
bool hasprototype(const TypeNode* f) { return f->params && f->params->type; }

// A prototype against a declaration without one: no parameter may change
// under the default promotions, and the list must end in its void entry.
bool matchesunprototyped(Parser& P, const TypeNode* proto, const TypeNode* other) {
    uint32_t count = 0;
    const Symbol* p = proto->params;
    for (; p; p = p->next) {
        TypeNode* pt = basetype(p->type);
        if (pt && pt->code == ty::Void) break;
        if (!pt || pt->code < 0x12) return false;
        if (pt->code == ty::Float && !P.opt.f) return false;
        ++count;
    }
    if (!p) return false;  // variadic
    if (other->params) {
        uint32_t names = 0;
        for (const Symbol* q = other->params; q; q = q->next) ++names;
        if (names != count) return false;
    }
    return true;
}

}  // namespace

void inittypes(Parser& P) {
    BasicTypes& B = P.types;
    B.uchar = basicnode(P, ty::UChar);
    B.chr = basicnode(P, ty::Char);
    B.ushrt = basicnode(P, ty::UShort);
    B.shrt = basicnode(P, ty::Short);
    B.uint = basicnode(P, ty::UInt);
    B.sint = basicnode(P, ty::Int);
    B.ulong = basicnode(P, ty::ULong);
    B.slong = basicnode(P, ty::Long);
    B.flt = basicnode(P, ty::Float);
    B.dbl = basicnode(P, P.opt.f ? ty::Float : ty::Double);
    B.vd = basicnode(P, ty::Void);
    B.plainchar = P.opt.u ? B.uchar : B.chr;
}

TypeNode* basetype(TypeNode* t) {
    while (t && t->code == ty::Enum) t = t->subtype;
    return t;
}

uint32_t pointersize(uint16_t word) {
    switch (word & attr::Space) {
    case attr::Tiny: return 1;
    case attr::Far: return 4;
    default: return 2;
    }
}

uint32_t sizeoftype(Parser& P, TypeNode* t) { return sizeof_(P, t, true); }
uint32_t typesize(Parser& P, TypeNode* t) { return sizeof_(P, t, false); }

int alignclass(TypeNode* t) {
    t = basetype(t);
    if (!t) return 2;
    while (t->code == ty::Array && t->subtype) t = basetype(t->subtype);
    switch (t->code & 0xF0) {
    case 0x00:
    case 0x10: return 0;
    case 0x20: return 1;
    default: break;
    }
    switch (t->code) {
    case ty::Struct:
    case ty::Union: {
        int best = 0;
        for (Symbol* m = t->members; m; m = m->next) best = std::max(best, alignclass(m->type));
        return best;
    }
    case ty::Pointer: {
        uint16_t s = t->pointerattr() & attr::Space;
        return s == attr::Tiny ? 0 : s == attr::Far ? 2 : 1;
    }
    default: return 2;
    }
}

int32_t alignup(int32_t offset, TypeNode* t) {
    int32_t a = 1 << alignclass(t);
    int32_t rest = offset & (a - 1);
    if (rest == 0) return offset;
    // Frame offsets are negative and grow downwards; the target's offsets
    // wrap around at 32 bits.
    int64_t r = offset > 0 ? int64_t{offset} + (a - rest) : int64_t{offset} - rest;
    return static_cast<int32_t>(static_cast<uint32_t>(r));
}

int typecompat(Parser& P, TypeNode* to, TypeNode* from) {
    to = basetype(to);
    from = basetype(from);
    if (!to || !from) return 0;
    if (to->code == ty::Struct || to->code == ty::Union) return sametype(P, to, from);
    if (to->code == ty::Pointer) {
        if (from->code != ty::Pointer) return 0;
        if (pointerspace(to) < pointerspace(from)) return 0;
        if (P.opt.sa && (from->pointerattr() & ~to->pointerattr() & (attr::Const | attr::Volatile))) return 0;
        TypeNode* a = basetype(to->subtype);
        TypeNode* b = basetype(from->subtype);
        while (ispointer(a) && ispointer(b)) {
            if (pointerspace(a) != pointerspace(b)) return 0;
            a = basetype(a->subtype);
            b = basetype(b->subtype);
        }
        if ((a && a->code == ty::Void) || (b && b->code == ty::Void)) return 1;
        return sametype(P, a, b);
    }
    return !(from->code == ty::Pointer || from->code == ty::Struct || from->code == ty::Union);
}

int sametype(Parser& P, TypeNode* a, TypeNode* b) {
    for (;;) {
        a = basetype(a);
        b = basetype(b);
        if (!a || !b) return !a && !b;
        if (a == b) return 1;
        if (a->code != b->code) return 0;
        switch (a->code) {
        case ty::Struct:
        case ty::Union: return a->members == b->members;
        case ty::Pointer:
            if (pointerspace(a) != pointerspace(b)) return 0;
            break;
        case ty::Array:
            if (a->count() != b->count() && a->count() && b->count()) return 0;
            break;
        case ty::Function: {
            bool pa = hasprototype(a), pb = hasprototype(b);
            if (pa && pb) {
                Symbol* x = a->params;
                Symbol* y = b->params;
                for (; x && y; x = x->next, y = y->next) {
                    TypeNode* tx = basetype(x->type);
                    TypeNode* ty_ = basetype(y->type);
                    if (ispointer(tx) && ispointer(ty_)) {
                        if (P.opt.sa && ((tx->pointerattr() ^ ty_->pointerattr()) & (attr::Const | attr::Volatile)))
                            return 0;
                        TypeNode* px = basetype(tx->subtype);
                        TypeNode* py = basetype(ty_->subtype);
                        if ((px && px->code == ty::Void) || (py && py->code == ty::Void)) continue;
                    }
                    if (!sametype(P, tx, ty_)) return 0;
                }
                if (x || y) return 0;
            } else if (pa != pb) {
                if (!matchesunprototyped(P, pa ? a : b, pa ? b : a)) return 0;
            }
            break;
        }
        default: return 1;
        }
        a = a->subtype;
        b = b->subtype;
    }
}

int rankabove(uint16_t a, uint16_t b) {
    auto rank = [](uint16_t c) -> uint16_t { return (c == ty::Int || c == ty::UInt) ? static_cast<uint16_t>(c + 0x10) : c; };
    return rank(a) > rank(b);
}

void mergedecl(TypeNode* old, TypeNode* fresh) {
    for (;;) {
        old = basetype(old);
        fresh = basetype(fresh);
        if (!old || !fresh || old == fresh) return;
        if (old->code == ty::Pointer && fresh->code == ty::Pointer) old->detail |= fresh->pointerattr();
        if (old->code == ty::Array && fresh->code == ty::Array && old->count() == 0) old->detail = fresh->count();
        if (old->code == ty::Function && fresh->code == ty::Function && fresh->params) {
            old->params = fresh->params;
            old->members = fresh->members;
            old->prototags = fresh->prototags;
        }
        old = old->subtype;
        fresh = fresh->subtype;
    }
}

bool isintconst(const ExprNode* e) {
    return e && e->op == 0 && (e->leafbits & 3) == 0 && e->type && ty::isinteger(basetype(e->type)->code);
}

bool isscalconst(const ExprNode* e) {
    if (!e || e->op != 0 || (e->leafbits & 7) != 0 || !e->type) return false;
    uint16_t c = basetype(e->type)->code;
    return ty::isinteger(c) || c == ty::Pointer;
}

bool isfloatconst(const ExprNode* e) {
    return e && e->op == 0 && !(e->leafbits & leaf::Contents) && e->type && ty::isfloating(e->type->code);
}

bool ispointerval(const ExprNode* e) {
    if (!e || e->op != 0 || !e->type) return false;
    if (e->type->code == ty::Function) return true;
    return e->type->code == ty::Pointer && !(e->leafbits & leaf::Contents);
}

ExprNode* mkintconst(Parser& P, ExprNode* e, uint32_t value) {
    if (!e) e = newexpr(P, 0);
    e->op = 0;
    e->leafbits = 0;
    e->sym = nullptr;
    e->lit = nullptr;
    e->left = e->middle = e->right = nullptr;
    e->type = P.types.sint;
    e->value = value;
    return e;
}

Token* savepos(Parser& P) {
    const StreamState& s = P.ts.s;
    Token t;
    if (s.pos >= 0) {
        t = s.ring[s.pos];
        t.asmtext.reset();
    } else {
        t.line = srcline(P);
    }
    P.syms.savedpos.push_back(t);
    return &P.syms.savedpos.back();
}

ExprNode* negatecond(ExprNode* e) {
    if (!e) return e;
    switch (e->op) {
    case tok::Comma: negatecond(e->right); break;
    case tok::AndAnd:
    case tok::OrOr:
        negatecond(e->left);
        negatecond(e->right);
        e->op = e->op == tok::AndAnd ? tok::OrOr : tok::AndAnd;
        break;
    case tok::Lt: e->op = tok::Ge; break;
    case tok::Ge: e->op = tok::Lt; break;
    case tok::Gt: e->op = tok::Le; break;
    case tok::Le: e->op = tok::Gt; break;
    case tok::EqEq: e->op = tok::NotEq; break;
    case tok::NotEq: e->op = tok::EqEq; break;
    case 0:
        if (isintconst(e)) e->value = e->value == 0 ? 1 : 0;
        break;
    default: break;
    }
    return e;
}

// The range and truncation warnings of an assignment of e to an object of
// type to. An array or function e counts as the pointer it decays to.
void checkrange(Parser& P, int op, TypeNode* to, ExprNode* e) {
    if (!to || !e || !e->type) return;
    TypeNode* target = basetype(to);
    TypeNode* source = basetype(e->type);
    if (!target || !source) return;
    if (isintconst(e) && !ty::isfloating(target->code)) {
        uint32_t bits = ty::isbitfield(target->code) ? target->bitwidth() : 8 * typesize(P, target);
        uint32_t v = e->value;
        if (!(target->code & 0x01)) {
            --bits;
            if (!(source->code & 0x01) && static_cast<int32_t>(v) < 0) v = ~v;
        }
        if (bits < 32 && (v >> bits) != 0) putdiag(P, "W2value out of range");
        return;
    }
    uint32_t sourcesize;
    if (source->code == ty::Array || source->code == ty::Function) {
        sourcesize = pointersize(e->sym ? e->sym->attributes : 0);
    } else {
        if (target->code == ty::Pointer && source->code != ty::Pointer && op != tok::Assign) return;
        if (ty::isbitfield(target->code)) {
            if (ty::isbitfield(source->code) && source->bitwidth() > target->bitwidth()) putdiag(P, "W1truncating assignment");
            return;
        }
        if (ty::isbitfield(source->code))
            sourcesize = source->bitwidth() <= 8 ? 1 : source->bitwidth() <= 16 ? 2 : 4;
        else
            sourcesize = typesize(P, source) * (ty::isfloating(source->code) ? 2 : 1);
    }
    uint32_t targetsize = typesize(P, target) * (ty::isfloating(target->code) ? 2 : 1);
    if (sourcesize > targetsize) putdiag(P, "W1truncating assignment");
}

}  // namespace cpppc

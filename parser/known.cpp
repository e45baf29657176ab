// Constant replacement and known values: before an expression is used as a
// value it is replaced, where the parser can tell, by the value of a const
// object's initializer, a byte of a string literal, or the value that an
// earlier assignment of straight-line code stored in the object.
//
// The known-value list is indexed by symbol: every entry is for a named
// object or a place inside one, and a symbol's entries are chained newest
// first. A store can only be tracked when it names its object; any other
// store (through a pointer, to an absolute address) may write anything and
// forgets every value, as a call does. A store into part of an object
// forgets the values of the other parts it overlaps.
#include "parser/exprtree.h"
#include "parser/targetmath.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

// The symbol an lvalue is keyed by: a named contents leaf, or an
// indirection of a named address leaf.
Symbol* keysym(const ExprNode* t) {
    if (isnamedcontents(t)) return t->sym;
    if (t && t->op == opc::Ind && isnamedaddr(t->left)) return t->left->sym;
    return nullptr;
}

// Symbols whose values may be tracked: not const or volatile, address not
// taken with &, not placed at an address (another name may be its alias).
bool trackable(const Symbol* s) {
    return s && s->attributes < 0x4000 && !(s->flags & sf::Untracked) && s->sclass != sc::Placed;
}

// Byte range of a target inside its symbol's object.
void extent(Parser& P, const ExprNode* t, uint32_t& offset, uint32_t& size) {
    offset = t->op == opc::Ind ? t->left->value : t->value;
    size = typesize(P, t->type);
    if (size == 0) size = 1;
}

bool overlaps(uint32_t o1, uint32_t s1, uint32_t o2, uint32_t s2) {
    return static_cast<uint64_t>(o1) < uint64_t{o2} + s2 && static_cast<uint64_t>(o2) < uint64_t{o1} + s1;
}

// A new newest entry for the target of a symbol.
void pushentry(Parser& P, Symbol* s, const ExprNode* t, const ExprNode* value) {
    KnownValue* k = P.ex.knownpool.take();
    k->target = *t;
    k->target.link = nullptr;
    if (t->op == opc::Ind) {
        k->inner = *t->left;
        k->inner.link = nullptr;
        k->target.left = &k->inner;
    }
    extent(P, t, k->offset, k->size);
    if (value) {
        k->value = *value;
        k->value.link = nullptr;
        k->known = true;
    }
    KnownValue*& newest = P.ex.bysym[s];
    k->older = newest;
    newest = k;
    k->next = P.ex.known;
    P.ex.known = k;
}

KnownValue* lookup(Parser& P, Symbol* s, const ExprNode* t) {
    auto it = P.ex.bysym.find(s);
    if (it == P.ex.bysym.end()) return nullptr;
    uint32_t o = 0, n = 0;
    extent(P, t, o, n);
    for (KnownValue* k = it->second; k; k = k->older)
        if (k->offset == o && k->size == n && sameexpr(P, &k->target, t, 1)) return k;
    return nullptr;
}

// Every value of the symbol that overlaps the target's bytes, other than
// the target's own, becomes unknown.
void forgetoverlaps(Parser& P, Symbol* s, const ExprNode* t) {
    auto it = P.ex.bysym.find(s);
    if (it == P.ex.bysym.end()) return;
    uint32_t o = 0, n = 0;
    extent(P, t, o, n);
    std::vector<KnownValue*> stale;
    for (KnownValue* k = it->second; k; k = k->older)
        if (k->known && overlaps(o, n, k->offset, k->size) && !sameexpr(P, &k->target, t, 1)) stale.push_back(k);
    for (KnownValue* k : stale) {
        ExprNode target = k->target;
        pushentry(P, s, &target, nullptr);
    }
}

bool isaddressvalue(const ExprNode* v) {
    uint16_t c = tcode(v);
    if (!isleaf(v)) return false;
    if (c == ty::Function) return isnamed(v);
    return c == ty::Pointer && !(v->leafbits & leaf::Contents) && (v->leafbits & (leaf::Symbol | leaf::Literal));
}

bool isfar(TypeNode* t) {
    t = basetype(t);
    return t && t->code == ty::Pointer && (t->pointerattr() & attr::Space) == attr::Far;
}

// ---- initializer-value records of const objects ----

enum class Found { Nothing, Record, Zero, Byte };

bool samefield(TypeNode* a, TypeNode* b) {
    a = basetype(a);
    b = basetype(b);
    return a && b && ty::isbitfield(a->code) && ty::isbitfield(b->code) && a->detail == b->detail;
}

// Byte size of a record in its list. Consecutive bit-field records of one
// storage unit count once: `group` is set to the unit's records.
uint32_t recordsize(Parser& P, const ExprNode* r, const ExprNode*& last) {
    last = r;
    switch (r->op) {
    case 0x70: return r->value;
    case 4:
    case 0x84:
    case 0x60:
    case 0x64: return r->extra;
    default: break;
    }
    TypeNode* t = basetype(r->type);
    if (!t || !ty::isbitfield(t->code)) return typesize(P, r->type);
    // the unit goes on while the positions advance in the order of -rb
    const ExprNode* q = r;
    while (q->link && q->link->op == 0) {
        TypeNode* n = basetype(q->link->type);
        TypeNode* c = basetype(q->type);
        if (!n || !ty::isbitfield(n->code) || (n->code & 0xF0) != (c->code & 0xF0)) break;
        bool advances = P.opt.rb ? n->bitpos() < c->bitpos() : n->bitpos() > c->bitpos();
        if (!advances) break;
        q = q->link;
    }
    last = q;
    return typesize(P, t);
}

// Walks the records of a const object to byte offset o for a read of type et.
Found walkrecords(Parser& P, const ExprNode* r, uint32_t o, TypeNode* et, const ExprNode*& found, uint32_t& byte) {
    bool inside = false;
    uint32_t esize = typesize(P, et);
    while (r) {
        const ExprNode* last = r;
        uint32_t size = recordsize(P, r, last);
        if (o < size) {
            switch (r->op) {
            case 0x84:
            case 0x60:
                r = r->left;
                inside = true;
                continue;
            case 0x64:
            case 0x70: return Found::Nothing;
            case 4: {
                if (esize != 1) return Found::Nothing;
                const Literal* lit = r->lit;
                byte = lit && o < lit->length ? lit->bytes[o] : 0;
                return Found::Byte;
            }
            default: break;
            }
            if (o != 0) return Found::Nothing;
            if (ty::isbitfield(codeof(et))) {
                for (const ExprNode* q = r;; q = q->link) {
                    if (samefield(q->type, et)) {
                        found = q;
                        return Found::Record;
                    }
                    if (q == last) return Found::Nothing;
                }
            }
            if (size != esize || ty::isbitfield(codeof(r->type))) return Found::Nothing;
            found = r;
            return Found::Record;
        }
        o -= size;
        r = last->link;
    }
    return inside ? Found::Zero : Found::Nothing;
}

}  // namespace

void forgetall(Parser& P) {
    ExprState& X = P.ex;
    if (!X.known) return;
    X.knownpool.release();
    X.known = nullptr;
    X.bysym.clear();
}

ExprNode* knownvalue(Parser& P, ExprNode* e) {
    if (P.opt.cp || P.errors || !e) return nullptr;
    TypeNode* t = basetype(e->type);
    if (t && t->code == ty::Pointer && codeof(t->subtype) != ty::Function) return nullptr;
    Symbol* s = keysym(e);
    if (!trackable(s)) return nullptr;
    if (e->op == opc::Ind && (e->left->nflags & nf::Typed)) return nullptr;
    KnownValue* k = lookup(P, s, e);
    if (!k || !k->known) return nullptr;
    if (t && t->code == ty::Pointer && isfar(e->type) != isfar(k->value.type)) return nullptr;
    return &k->value;
}

void recordvalue(Parser& P, ExprNode* assign, ExprNode* value) {
    ExprNode* t = assign->left;
    Symbol* s = keysym(t);
    if (!s) {
        // a store that names no object may write any object
        if (t->op == opc::Ind && t->left && t->left->op == 97) {
            ExprNode* lm = t->left;
            while (lm->op == 97 && lm->left) lm = lm->left;
            if (isnamedaddr(lm)) {
                P.ex.bysym.erase(lm->sym);
                return;
            }
        }
        if (t->op == opc::Ind || iscontents(t)) forgetall(P);
        return;
    }
    if (!trackable(s)) return;
    bool qualified = t->op == opc::Ind && (basetype(t->left->type)->pointerattr() & (attr::Const | attr::Volatile));
    bool typed = t->op == opc::Ind && (t->left->nflags & (nf::Typed | nf::UnionRead));
    if ((t->nflags & nf::UnionRead) || qualified || typed || ty::isbitfield(tcode(t))) {
        P.ex.bysym.erase(s);
        return;
    }
    ExprNode* v = value;
    while (v && v->op == 95 && v->right && sametype(P, v->type, t->type)) v = v->right;
    bool conditional = P.ex.condctx > 0 || P.ex.opencond > 0;
    uint8_t op = assign->op;
    ExprNode* known = nullptr;
    ExprNode computed;
    if (op == 95 && !conditional && (isintconst(v) || isfloatconst(v) || isaddressvalue(v))) {
        known = v;
    } else {
        KnownValue* old = lookup(P, s, t);
        if (!old || !old->known) {
            forgetoverlaps(P, s, t);
            return;
        }
        if (op >= 81 && op <= 90 && !conditional && isintconst(&old->value) && isintconst(v) &&
            ty::isinteger(tcode(t))) {
            static constexpr uint8_t kBinary[] = {97, 98, 99, 68, 69, 70, 71, 104, 73, 74};
            uint8_t bop = kBinary[op - 81];
            ExprNode a = old->value;
            a.type = t->type;
            TypeNode* type = (bop == 70 || bop == 71) ? promotetype(P, t->type, 0) : commontype(P, t->type, v->type);
            uint32_t r = 0;
            if (!foldint(P, bop, &a, v, type, r)) r = 0;
            computed = a;
            computed.value = r;
            known = &computed;
        }
    }
    ExprNode* entry = nullptr;
    if (known) {
        uint16_t tc = tcode(t), kc = tcode(known);
        if (ty::isfloating(tc) || ty::isfloating(kc)) {
            ExprNode* c = convertexpr(P, copyleaf(P, known), t->type);
            if (isleaf(c)) entry = c;
        } else if (isintconst(known)) {
            castconst(P, known, t->type);
            ExprNode* c = copyleaf(P, known);
            if (ty::isinteger(tc)) c->type = t->type;
            entry = c;
        } else {
            entry = known;
        }
    }
    forgetoverlaps(P, s, t);
    pushentry(P, s, t, entry);
}

void forgetvalue(Parser& P, ExprNode* e) {
    Symbol* s = keysym(e);
    if (s) {
        P.ex.bysym.erase(s);
        return;
    }
    if (e && (e->op == opc::Ind || iscontents(e))) forgetall(P);
}

ExprNode* replaceconst(Parser& P, ExprNode** slot) {
    ExprNode* e = *slot;
    if (!e || P.opt.nc || P.ex.nclevel) return e;
    uint16_t c = tcode(e);
    if (c == ty::Array || c == ty::Struct || c == ty::Union) return e;
    const ExprNode* candidate = nullptr;
    bool fieldrecord = false;
    ExprNode zero;
    if (isnamedcontents(e)) {
        Symbol* s = e->sym;
        if (s->attributes & attr::Volatile) return e;
        if (s->attributes & attr::Const) {
            ExprNode* r = s->valueexpr;
            if (r && r->type && r->op == 0 && e->value == 0) {
                if (typesize(P, s->type) != typesize(P, e->type)) return e;
                bool bound = s->flags & sf::Expanding;
                if (codeof(s->type) == ty::Pointer && codeof(r->type) == ty::Pointer && !bound &&
                    !((basetype(s->type)->pointerattr() ^ basetype(r->type)->pointerattr()) & attr::Const))
                    return e;
                candidate = r;
            }
        }
        if (!candidate) candidate = knownvalue(P, e);
    } else if (e->op == opc::Ind && isaddrleaf(e->left) && !(e->left->nflags & nf::Typed) && !(e->nflags & nf::Overlaid)) {
        ExprNode* a = e->left;
        uint32_t o = a->value;
        if (isnamed(a) && (a->sym->attributes & attr::Const) && !(a->sym->attributes & attr::Volatile) &&
            a->sym->valueexpr) {
            uint32_t byte = 0;
            switch (walkrecords(P, a->sym->valueexpr, o, e->type, candidate, byte)) {
            case Found::Nothing: return e;
            case Found::Record: fieldrecord = ty::isbitfield(codeof(candidate->type)); break;
            case Found::Zero:
                zero = *mkconst(P, 0, P.types.sint);
                candidate = &zero;
                break;
            case Found::Byte:
                zero = *mkconst(P, narrowvalue(P, byte, e->type), e->type);
                candidate = &zero;
                break;
            }
        } else if (!isnamed(a) && (a->leafbits & leaf::Literal) && a->lit && codeof(a->type) == ty::Pointer &&
                   ty::isinteger(c) && typesize(P, e->type) == 1) {
            if (o > a->lit->length || tcode(a) != ty::Pointer) return e;
            uint32_t byte = o < a->lit->length ? static_cast<uint32_t>(static_cast<int8_t>(a->lit->bytes[o])) : 0;
            droplituse(P, a->lit);
            a->lit = nullptr;
            ExprNode* k = mkconst(P, byte, e->type);
            castconst(P, k, e->type);
            *slot = k;
            return k;
        } else {
            candidate = knownvalue(P, e);
        }
    }
    if (!candidate) return e;
    ExprNode* copy = copyleaf(P, candidate);
    copy->nflags = 0;
    if (fieldrecord) copy->type = P.types.sint;
    ExprNode* r = convertexpr(P, copy, e->type);
    dropexpr(P, e);
    *slot = r;
    return r;
}

}  // namespace cpppc

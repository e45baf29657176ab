// Initializers. Static data is evaluated at compile time and written at
// once as data records, member by member, every gap an explicit reserve;
// automatic locals get an assignment instead, aggregates copied from a
// hidden static object. For a const object the values are also kept as a
// tree of initializer-value records (known.cpp walks them by byte offset),
// which live for the whole run outside the node pools:
//   scalar  op 0: a copy of the folded constant leaf, typed with the target type
//           (a bit-field member: its masked value, typed with the bit-field type)
//   string  op 4: left literal in lit, extra the array size
//   array   op 0x84: left the element records, extra the array size
//   struct  op 0x60: left the member records with padding records (op 0x70,
//           the gap in value) between them, extra the size
//   union   op 0x64: left the first member's record, extra the size
//
// The one idea: `written` counts the bytes of the current object laid out
// so far, so that every aggregate can reserve exactly what it left open.
//
// initializer := assign-expr | '{' initializer { ',' initializer } [ ',' ] '}'
#include <cmath>

#include "parser/exprtree.h"
#include "parser/targetmath.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

// Floating literals whose data objects are written once the object being
// laid out has ended (a data object cannot open inside another).
struct PendingLiteral {
    uint32_t label;
    int align;
    double value;
    int size;
};

class Initializer {
public:
    Initializer(Parser& p, bool want) : P(p), want(want) {}

    ExprNode* object(TypeNode** slot, bool braces) {
        TypeNode* t = basetype(*slot);
        switch (t ? t->code : 0) {
        case ty::Struct: return aggregate(t, braces);
        case ty::Union: return unionvalue(t, braces);
        case ty::Array: return array(slot, braces);
        default: return scalar(*slot);
        }
    }

    std::vector<PendingLiteral> pending;

private:
    Parser& P;
    bool want;

    ExprNode* record(uint8_t op, TypeNode* type, uint32_t extra) {
        if (!want) return nullptr;
        P.ex.records.emplace_back();
        ExprNode* r = &P.ex.records.back();
        r->op = op;
        r->type = type;
        r->extra = extra;
        return r;
    }

    bool accept(uint16_t code) {
        if (nexttoken(P)->code == code) return true;
        pushtoken(P);
        return false;
    }

    void reserve(uint32_t n) {
        if (n) putreserve(P, n);
    }

    void skiptobrace() {
        int depth = 0;
        for (;;) {
            Token* t = nexttoken(P);
            if (t->code == tok::End) {
                pushtoken(P);
                return;
            }
            if (t->code == tok::LBrace) ++depth;
            if (t->code == tok::RBrace && depth-- == 0) {
                pushtoken(P);
                return;
            }
        }
    }

    // An integer of the target's size, char and short reduced and extended.
    void putint(uint32_t v, TypeNode* type) {
        int size = static_cast<int>(typesize(P, type));
        putvalue(P, narrowvalue(P, v, basetype(type)), size);
    }

    // A floating constant for an integer target, truncated toward zero;
    // values the target cannot hold saturate.
    uint32_t floattoint(double d, TypeNode* type) {
        uint16_t c = codeof(type);
        int bits = 8 * static_cast<int>(typesize(P, type));
        if (bits <= 0 || bits > 32) bits = 32;
        bool issigned = !(c & 0x01);
        double lo = issigned ? -std::ldexp(1.0, bits - 1) : 0.0;
        double hi = issigned ? std::ldexp(1.0, bits - 1) - 1 : std::ldexp(1.0, bits) - 1;
        double t = std::trunc(d);
        if (std::isnan(d) || t > hi || t < lo) {
            putdiag(P, "W2value out of range");
            if (std::isnan(d)) return 0;
            double sat = d > 0 ? hi : lo;
            return issigned ? static_cast<uint32_t>(static_cast<int32_t>(sat)) : static_cast<uint32_t>(sat);
        }
        return t < 0 ? static_cast<uint32_t>(static_cast<int32_t>(t)) : static_cast<uint32_t>(t);
    }

    ExprNode* scalar(TypeNode* type) {
        ExprNode* saved = P.syms.exprs.free;
        bool brace = accept(tok::LBrace);
        ExprNode* e = assignexpr(P);
        if (!e) {
            putdiag(P, "missing initializer");
            e = mkconst(P, 0, P.types.sint);
        }
        decayexpr(P, e);
        if (P.opt.warnlevel) checkrange(P, tok::Assign, type, e);
        foldexpr(P, e, 0);
        while (e->op == opc::Cast && e->left) e = e->left;
        uint16_t tc = codeof(type), ec = tcode(e);
        int size = static_cast<int>(typesize(P, type));
        ExprNode* r = nullptr;
        if (tc == ty::Void) {
            putdiag(P, "invalid void initialization");
        } else if (tc == ty::Pointer) {
            bool null = isintconst(e) && e->value == 0;
            bool address = isleaf(e) && !(e->leafbits & leaf::Contents) && (e->leafbits & (leaf::Symbol | leaf::Literal)) &&
                           typecompat(P, type, e->type) &&
                           !(e->sym && (e->sym->sclass == sc::Auto || e->sym->sclass == sc::Register ||
                                        e->sym->sclass == sc::Param || e->sym->sclass == sc::RegParam));
            if (null) {
                putvalue(P, 0, size);
                r = copy(e, type);
            } else if (address && typesize(P, e->type) > static_cast<uint32_t>(size)) {
                putdiag(P, "invalid pointer initializer");
                reserve(static_cast<uint32_t>(size));
            } else if (address) {
                putaddress(P, e, size);
                r = copy(e, type);
            } else {
                putdiag(P, "invalid pointer initializer");
                reserve(static_cast<uint32_t>(size));
            }
        } else if (ec == ty::Pointer) {
            putdiag(P, "invalid initializer");
            reserve(static_cast<uint32_t>(size));
        } else if (isintconst(e) && ty::isfloating(tc)) {
            bool issigned = !(ec == ty::UInt || ec == ty::ULong);
            double d = tgt::itof(e->value, issigned);
            r = floatdata(d, type, size);
        } else if (isintconst(e)) {
            putint(e->value, type);
            r = want ? copy(mkconst(P, narrowvalue(P, e->value, basetype(type)), type), type) : nullptr;
        } else if (isfloatconst(e) && ty::isfloating(tc)) {
            r = floatdata(floatvalue(e), type, size);
        } else if (isfloatconst(e) && ty::isinteger(tc)) {
            uint32_t v = floattoint(floatvalue(e), type);
            putint(v, type);
            r = want ? copy(mkconst(P, narrowvalue(P, v, basetype(type)), type), type) : nullptr;
        } else {
            putdiag(P, "invalid initializer expression");
            reserve(static_cast<uint32_t>(size));
        }
        P.syms.exprs.free = saved;
        if (brace) expecttoken(P, tok::RBrace);
        return r ? r : record(0, type, 0);
    }

    ExprNode* floatdata(double d, TypeNode* type, int size) {
        putdouble(P, d, size);
        if (!want) return nullptr;
        ExprNode* leafnode = mkfloat(P, d, type);
        Literal* lit = leafnode->lit;
        if (lit) {
            if (!lit->label) {
                // four consecutive label numbers: the third labels the float
                // data, the fourth the double data
                lit->label = nextlabel(P);
                for (int i = 0; i < 3; ++i) nextlabel(P);
            }
            uint8_t form = size >= 8 ? 8 : 4;
            if (!(lit->flags[1] & form)) {
                lit->flags[0] |= form;
                lit->flags[1] |= form;
                pending.push_back({lit->label + (form == 8 ? 6u : 4u), alignclass(type), d, size});
            }
        }
        return copy(leafnode, type);
    }

    ExprNode* copy(const ExprNode* leafnode, TypeNode* type) {
        if (!want) return nullptr;
        ExprNode* r = record(0, type, 0);
        ExprNode* link = r->link;
        *r = *leafnode;
        r->link = link;
        r->type = type;
        r->nflags = 0;
        if (r->lit) ++r->lit->uses;
        return r;
    }

    static bool ischarelement(uint16_t ec) { return ec == ty::Char || ec == ty::UChar; }

    ExprNode* array(TypeNode** slot, bool braces) {
        TypeNode* t = basetype(*slot);
        TypeNode* elem = t->subtype;
        uint16_t ec = codeof(elem);
        uint32_t esize = typesize(P, elem);
        bool brace = accept(tok::LBrace);
        Token* first = nexttoken(P);
        if (first->code == tok::String && ischarelement(ec)) {
            Literal* lit = first->lit;
            uint32_t length = lit ? lit->length : 0;
            if (t->count() == 0) complete(slot, length + 1);
            uint32_t count = basetype(*slot)->count();
            if (length > count) {
                putdiag(P, "string too long");
                reserve(count);
            } else if (length < count) {
                putbytes(P, lit ? lit->bytes.data() : nullptr, length);
                reserve(count - length - 1);
            } else {
                for (uint32_t i = 0; i < length; ++i) putvalue(P, lit->bytes[i], 1);
            }
            if (brace) expecttoken(P, tok::RBrace);
            ExprNode* r = record(4, *slot, typesize(P, *slot));
            if (r) {
                r->lit = lit;
                if (lit) ++lit->uses;
            }
            return r;
        }
        pushtoken(P);
        if (!brace && braces) putdiag(P, "missing {");
        uint32_t count = t->count(), n = 0;
        ExprNode* head = nullptr;
        ExprNode** tail = &head;
        bool comma = false, closed = false;
        for (;;) {
            if (brace && accept(tok::RBrace)) {
                if (n == 0) putdiag(P, "missing initializer");
                closed = true;
                break;
            }
            if (count && n == count) {
                if (!brace) {
                    // the rest belongs to the enclosing aggregate
                    if (comma) pushtoken(P);
                    break;
                }
                putdiag(P, "too many initializers");
                skiptobrace();
                break;
            }
            if (nexttoken(P)->code == tok::End) {
                pushtoken(P);
                break;
            }
            pushtoken(P);
            TypeNode* e = elem;
            ExprNode* r = object(&e, false);
            if (r) {
                *tail = r;
                tail = &r->link;
            }
            ++n;
            comma = accept(tok::Comma);
            if (!comma) break;
        }
        if (brace && !closed) expecttoken(P, tok::RBrace);
        if (count == 0)
            complete(slot, n);
        else if (n < count)
            reserve((count - n) * esize);
        ExprNode* r = record(0x84, *slot, typesize(P, *slot));
        if (r) r->left = head;
        return r;
    }

    void complete(TypeNode** slot, uint32_t count) {
        TypeNode* a = newtype(P, ty::Array, basetype(*slot)->subtype);
        a->detail = count;
        *slot = a;
    }

    ExprNode* aggregate(TypeNode* t, bool braces) {
        bool brace = accept(tok::LBrace);
        if (!brace && braces) putdiag(P, "missing {");
        if (!t->members) {
            putdiag(P, "unknown structure");
            if (brace) {
                skiptobrace();
                expecttoken(P, tok::RBrace);
            }
            return record(0x60, nullptr, 0);
        }
        ExprNode* head = nullptr;
        ExprNode** tail = &head;
        auto append = [&](ExprNode* r) {
            if (!r) return;
            *tail = r;
            tail = &r->link;
        };
        uint32_t at = 0;  // bytes written
        // the bit-field storage unit being filled
        bool inunit = false;
        uint32_t unitat = 0, accumulator = 0;
        TypeNode* unittype = nullptr;
        auto flushunit = [&]() {
            if (!inunit) return;
            putint(accumulator, unittype);
            at = unitat + typesize(P, unittype);
            inunit = false;
        };
        bool comma = false, closed = false, ranout = true;
        for (Symbol* m = t->members; m; m = m->next) {
            if (m->flags & sf::SharesStorage) continue;
            if (brace && accept(tok::RBrace)) {
                closed = true;
                ranout = false;
                break;
            }
            bool field = ty::isbitfield(codeof(m->type));
            if (inunit && (!field || m->value != unitat)) flushunit();
            if (m->value > at && !inunit) {
                reserve(m->value - at);
                ExprNode* pad = record(0x70, nullptr, 0);
                if (pad) pad->value = m->value - at;
                append(pad);
                at = m->value;
            }
            if (field) {
                int32_t v = 0;
                evalconst(P, v, 1);
                TypeNode* ft = basetype(m->type);
                uint32_t width = ft->bitwidth();
                uint32_t mask = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
                uint32_t value = static_cast<uint32_t>(v) & mask;
                if (!inunit) {
                    inunit = true;
                    unitat = m->value;
                    accumulator = 0;
                    unittype = unitof(ft);
                }
                uint32_t pos = ft->bitpos();
                if (pos < 32) accumulator |= value << pos;
                ExprNode* r = record(0, m->type, 0);
                if (r) r->value = value;
                append(r);
            } else {
                TypeNode* mt = m->type;
                append(object(&mt, false));
                at = m->value + typesize(P, mt);
            }
            comma = accept(tok::Comma);
            if (!comma) {
                ranout = false;
                break;
            }
            Symbol* more = m->next;
            while (more && (more->flags & sf::SharesStorage)) more = more->next;
            if (!more && !brace) pushtoken(P);  // the rest belongs to the enclosing aggregate
        }
        flushunit();
        reserve(t->size > at ? t->size - at : 0);
        if (brace && !closed) {
            if (ranout && comma && !accept(tok::RBrace)) {
                putdiag(P, "too many initializers");
                skiptobrace();
                expecttoken(P, tok::RBrace);
            } else if (!(ranout && comma)) {
                expecttoken(P, tok::RBrace);
            }
        }
        ExprNode* r = record(0x60, nullptr, t->size);
        if (r) r->left = head;
        return r;
    }

    // The integer type of a bit-field's storage unit.
    TypeNode* unitof(TypeNode* ft) {
        switch (ft->code & 0xF0) {
        case 0x10: return P.types.uchar;
        case 0x20: return P.types.ushrt;
        default: return P.types.uint;
        }
    }

    ExprNode* unionvalue(TypeNode* t, bool braces) {
        bool brace = accept(tok::LBrace);
        if (!brace && braces) putdiag(P, "missing {");
        ExprNode* r = record(0x64, t, t->size);
        if (!t->members) {
            putdiag(P, "unknown union");
            if (brace) skiptobrace();
        } else {
            TypeNode* mt = t->members->type;
            ExprNode* first = object(&mt, false);
            if (r) r->left = first;
            uint32_t size = typesize(P, mt);
            reserve(t->size > size ? t->size - size : 0);
        }
        if (brace) expecttoken(P, tok::RBrace);
        return r;
    }
};

// The data objects of the floating values a value list entered.
void putpending(Parser& P, const std::vector<PendingLiteral>& pending) {
    for (const PendingLiteral& l : pending) {
        putlitlabel(P, l.label, l.align);
        putdouble(P, l.value, l.size);
        putenddata(P);
    }
}

// Data label, the data and its end; the literals a value list made follow.
ExprNode* writeobject(Parser& P, Symbol* s, TypeNode** slot, bool wantlist) {
    bool saved = P.ex.staticinit;
    P.ex.staticinit = true;
    putspaces(P);
    putdatalabel(P, s);
    Initializer init(P, wantlist);
    ExprNode* r = init.object(slot, true);
    P.ex.staticinit = saved;
    putenddata(P);
    putpending(P, init.pending);
    return r;
}

ExprNode* targetleaf(Parser& P, Symbol* s) {
    ExprNode* target = newexpr(P, opc::Leaf);
    target->leafbits = leaf::Contents | leaf::Symbol | leaf::InitTarget;
    target->sym = s;
    target->type = s->type;
    return target;
}

}  // namespace

ExprNode* initobject(Parser& P, TypeNode** slot, bool wantlist, uint16_t, bool braces) {
    Initializer init(P, wantlist);
    ExprNode* r = init.object(slot, braces);
    putpending(P, init.pending);
    return r;
}

int defglobal(Parser& P, Symbol* s) {
    if (nexttoken(P)->code == tok::Assign) {
        if (s->flags & sf::Written) putdiag(P, "redeclared external %.*s", namelength(s->name), nametext(s->name));
        if (s->sclass == sc::Extern) s->sclass = sc::None;
        s->flags |= sf::Written | sf::Referenced;
        bool keep = (s->attributes & (attr::Const | attr::Volatile)) == attr::Const;
        ExprNode* values = writeobject(P, s, &s->type, keep);
        if (keep) s->valueexpr = values;
        if (P.decl.infunction) makepermanent(P, s);
        return 1;
    }
    pushtoken(P);
    if (s->type && s->type->code == ty::Void && s->sclass != sc::Extern) putdiag(P, "invalid void declaration");
    return s->sclass != sc::Extern;
}

// init-declarator of a block := declarator [ '=' initializer ]
ExprNode* initlocal(Parser& P, Symbol* s) {
    if (nexttoken(P)->code != tok::Assign) {
        pushtoken(P);
        return nullptr;
    }
    if (s->sclass == sc::Placed || s->sclass == sc::Typedef)
        putdiag(P, "invalid local initialization");
    else if (s->sclass == sc::Extern)
        putdiag(P, "invalid external initialization");
    if (s->sclass == sc::Static) {
        s->flags |= sf::Written | sf::Referenced;
        writeobject(P, s, &s->type, false);
        return nullptr;
    }
    s->flags |= sf::Written | sf::Referenced;
    uint16_t code = codeof(s->type);
    bool aggregate = code == ty::Array || code == ty::Struct || code == ty::Union;
    bool brace = false;
    if (aggregate && code != ty::Array) {
        brace = nexttoken(P)->code == tok::LBrace;
        pushtoken(P);
    }
    if (!aggregate || (code != ty::Array && !brace)) {
        ExprNode* target = targetleaf(P, s);
        bool scalar = !aggregate;
        if (scalar) {
            s->flags |= sf::Hidden;
            brace = nexttoken(P)->code == tok::LBrace;
            if (!brace) pushtoken(P);
        }
        ExprNode* value = assignexpr(P);
        if (scalar) s->flags &= ~sf::Hidden;
        if (!value) {
            putdiag(P, "missing initialization expression");
            value = mkconst(P, 0, P.types.sint);
        }
        if (brace) expecttoken(P, tok::RBrace);
        ExprNode* a = newexpr(P, tok::Assign);
        a->left = target;
        a->right = value;
        return binop(P, a);
    }
    // An aggregate is copied from a hidden static object of its own name.
    Symbol* copy = newsym(P, &P.syms.scopes.ordinary, s->name, sc::Static, s->type);
    copy->flags = 0x66;
    copy->value = nextlabel(P);
    copy->attributes = defaultspace(P, static_cast<uint16_t>(s->attributes & ~attr::Space) | (P.opt.sa ? 0 : attr::Const),
                                    sc::Static, code);
    writeobject(P, copy, &copy->type, false);
    s->type = copy->type;  // the count an array's initializer gave
    ExprNode* target = targetleaf(P, s);
    ExprNode* value = newexpr(P, opc::Leaf);
    value->leafbits = leaf::Contents | leaf::Symbol;
    value->sym = copy;
    value->type = copy->type;
    if (code == ty::Array) {
        // both sides as a struct of the array's size: a block copy
        TypeNode* block = newtype(P, ty::Struct, nullptr);
        block->size = typesize(P, s->type);
        block->members = nullptr;
        target->type = block;
        value->type = block;
        return mknode(P, tok::Assign, block, target, value);
    }
    ExprNode* a = newexpr(P, tok::Assign);
    a->left = target;
    a->right = value;
    return binop(P, a);
}

}  // namespace cpppc

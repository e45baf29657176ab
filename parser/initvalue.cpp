// The initial values of a const object defined at file level, kept as a
// tree of initializer-value records so that later reads of the object can
// be replaced by constants (known.cpp walks them by byte offset).
//
// Records are ExprNode-shaped blocks that live for the whole run, outside
// the node pools, linked through their link field:
//   scalar  op 0: a copy of the folded constant leaf, typed with the target type
//           (a bit-field member: its masked value, typed with the bit-field type)
//   string  op 4: left literal in lit, extra the array size
//   array   op 0x84: left the element records, extra the array size
//   struct  op 0x60: left the member records with padding records (op 0x70,
//           the gap in value) between them, extra the size
//   union   op 0x64: left the first member's record, extra the size
//
// initializer := assign-expr | '{' initializer { ',' initializer } [ ',' ] '}'
#include "parser/exprtree.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

class Initializer {
public:
    explicit Initializer(Parser& p) : P(p) {}

    ExprNode* object(TypeNode** slot, bool braces) {
        TypeNode* t = basetype(*slot);
        switch (t ? t->code : 0) {
        case ty::Struct: return aggregate(t, braces);
        case ty::Union: return unionvalue(t, braces);
        case ty::Array: return array(slot, braces);
        default: return scalar(*slot);
        }
    }

private:
    Parser& P;

    ExprNode* record(uint8_t op, TypeNode* type, uint32_t extra) {
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

    ExprNode* scalar(TypeNode* type) {
        ExprNode* saved = P.syms.exprs.free;
        bool brace = accept(tok::LBrace);
        ExprNode* e = assignexpr(P);
        if (!e) {
            putdiag(P, "missing initializer");
            e = mkconst(P, 0, P.types.sint);
        }
        decayexpr(P, e);
        foldexpr(P, e, 0);
        while (e->op == opc::Cast && e->left) e = e->left;
        uint16_t tc = codeof(type), ec = tcode(e);
        ExprNode* r = nullptr;
        if (tc == ty::Void) {
            putdiag(P, "invalid void initialization");
        } else if (tc == ty::Pointer) {
            bool null = isintconst(e) && e->value == 0;
            bool address = isleaf(e) && !(e->leafbits & leaf::Contents) && typecompat(P, type, e->type) &&
                           !(e->sym && (e->sym->sclass == sc::Auto || e->sym->sclass == sc::Register));
            if (null || address)
                r = copy(e, type);
            else
                putdiag(P, "invalid pointer initializer");
        } else if (ec == ty::Pointer) {
            putdiag(P, "invalid initializer");
        } else if (isintconst(e) || isfloatconst(e)) {
            ExprNode* v = convertexpr(P, copyleaf(P, e), type);
            if (isintconst(v)) castconst(P, v, type);
            if (isleaf(v)) r = copy(v, type);
        } else {
            putdiag(P, "invalid initializer expression");
        }
        P.syms.exprs.free = saved;
        if (brace) expecttoken(P, tok::RBrace);
        return r ? r : record(0, type, 0);
    }

    ExprNode* copy(const ExprNode* leafnode, TypeNode* type) {
        ExprNode* r = record(0, type, 0);
        ExprNode* link = r->link;
        *r = *leafnode;
        r->link = link;
        r->type = type;
        r->nflags = 0;
        if (r->lit) ++r->lit->uses;
        return r;
    }

    ExprNode* array(TypeNode** slot, bool braces) {
        TypeNode* t = basetype(*slot);
        TypeNode* elem = t->subtype;
        uint16_t ec = codeof(elem);
        bool brace = accept(tok::LBrace);
        Token* first = nexttoken(P);
        if (first->code == tok::String && (ec == ty::Char || ec == ty::UChar)) {
            Literal* lit = first->lit;
            uint32_t length = lit ? lit->length : 0;
            if (t->count() == 0) complete(slot, length + 1);
            if (length > basetype(*slot)->count()) putdiag(P, "string too long");
            if (brace) expecttoken(P, tok::RBrace);
            ExprNode* r = record(4, *slot, typesize(P, *slot));
            r->lit = lit;
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
            TypeNode* e = elem;
            *tail = object(&e, false);
            tail = &(*tail)->link;
            ++n;
            comma = accept(tok::Comma);
            if (!comma) break;
        }
        if (brace && !closed) expecttoken(P, tok::RBrace);
        if (count == 0) complete(slot, n);
        ExprNode* r = record(0x84, *slot, typesize(P, *slot));
        r->left = head;
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
        uint32_t at = 0;
        bool comma = false, closed = false;
        for (Symbol* m = t->members; m; m = m->next) {
            if (m->flags & sf::SharesStorage) continue;
            if (brace && accept(tok::RBrace)) {
                closed = true;
                break;
            }
            if (m->value > at) {
                ExprNode* pad = record(0x70, nullptr, 0);
                pad->value = m->value - at;
                *tail = pad;
                tail = &pad->link;
                at = m->value;
            }
            if (ty::isbitfield(codeof(m->type))) {
                int32_t v = 0;
                evalconst(P, v, 1);
                uint32_t width = basetype(m->type)->bitwidth();
                ExprNode* r = record(0, m->type, 0);
                r->value = static_cast<uint32_t>(v) & (width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1);
                *tail = r;
                tail = &r->link;
                Symbol* next = m->next;
                while (next && (next->flags & sf::SharesStorage)) next = next->next;
                if (!next || next->value != m->value || !ty::isbitfield(codeof(next->type)))
                    at = m->value + typesize(P, m->type);
            } else {
                TypeNode* mt = m->type;
                *tail = object(&mt, false);
                tail = &(*tail)->link;
                at = m->value + typesize(P, mt);
            }
            comma = accept(tok::Comma);
            if (!comma) break;
            if (!m->next && !brace) pushtoken(P);  // the rest belongs to the enclosing aggregate
        }
        if (brace && !closed) {
            if (comma && !accept(tok::RBrace)) {
                putdiag(P, "too many initializers");
                skiptobrace();
                expecttoken(P, tok::RBrace);
            } else if (!comma) {
                expecttoken(P, tok::RBrace);
            }
        }
        ExprNode* r = record(0x60, nullptr, t->size);
        r->left = head;
        return r;
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
            r->left = object(&mt, false);
        }
        if (brace) expecttoken(P, tok::RBrace);
        return r;
    }
};

}  // namespace

ExprNode* initvalues(Parser& P, TypeNode** type) {
    bool saved = P.ex.staticinit;
    P.ex.staticinit = true;
    Initializer init(P);
    ExprNode* r = init.object(type, true);
    P.ex.staticinit = saved;
    return r;
}

}  // namespace cpppc

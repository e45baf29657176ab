// Algebraic simplification of arithmetic and bitwise nodes whose operands
// are not all constant: identities with 0, 1 and -1, strength reduction by
// powers of two, decisions from the range of an operand, factoring of a
// common operand, De Morgan's rules and the reassociation of constants.
// Each rewrite returns the node that replaces the one given, and a node it
// builds anew goes through binop (or unaryop) again, so rewrites cascade.
//
// Every rewrite must give the value the original gives under the target's
// 32-bit wrap-around: a narrowed node (one a cast retyped to char or short)
// is never combined with its neighbours, floating values are only touched
// where the result is exact, and an operand that a rewrite drops is kept in
// front of the result when it has side effects.
#include "parser/exprtree.h"
#include "parser/targetmath.h"

namespace cpppc {

namespace {

bool isint(const ExprNode* e) { return ty::isinteger(tcode(e)); }

// A node of one of the 32-bit integer types, not narrowed by a cast.
bool iswide(const ExprNode* e) {
    uint16_t c = tcode(e);
    return ty::isinteger(c) && c >= 0x30 && !ty::isbitfield(c);
}

ExprNode* bin(Parser& P, uint8_t op, ExprNode* l, ExprNode* r) { return binop(P, mknode(P, op, nullptr, l, r)); }
ExprNode* un(Parser& P, uint8_t op, ExprNode* x) { return unaryop(P, mknode(P, op, nullptr, x)); }

// x converted to the node's type, as a value.
ExprNode* asvalue(Parser& P, ExprNode* x, TypeNode* type) {
    x = convertexpr(P, x, type);
    x->nflags |= nf::NotLvalue;
    return x;
}

ExprNode* constant(Parser& P, ExprNode* dropped, uint32_t v, TypeNode* type) {
    return keepeffects(P, dropped, mkconst(P, v, type));
}

uint16_t unsignedof(uint16_t c) { return ty::isinteger(c) ? static_cast<uint16_t>(c | 0x01) : c; }

TypeNode* basicof(Parser& P, uint16_t c) {
    switch (c) {
    case ty::Char: return P.types.chr;
    case ty::UChar: return P.types.uchar;
    case ty::Short: return P.types.shrt;
    case ty::UShort: return P.types.ushrt;
    case ty::Int: return P.types.sint;
    case ty::UInt: return P.types.uint;
    case ty::Long: return P.types.slong;
    case ty::ULong: return P.types.ulong;
    default: return nullptr;
    }
}

// The wider of two integer types (the node's own at equal rank).
TypeNode* wider(Parser& P, TypeNode* a, TypeNode* b) {
    TypeNode* pa = promotetype(P, a, 0);
    TypeNode* pb = promotetype(P, b, 0);
    return rankabove(codeof(pb), codeof(pa)) ? pb : pa;
}

// Factoring: (a * b) + (a * c) is a * (b + c), and likewise for the
// bitwise pairs.
ExprNode* factor(Parser& P, ExprNode* e) {
    uint8_t op = e->op, inner = 0;
    if (op == 97 || op == 98) inner = 99;
    if (op == 74 || op == 73) inner = 104;
    if (op == 104) inner = 74;
    ExprNode* l = e->left;
    ExprNode* r = e->right;
    if (!inner || l->op != inner || r->op != inner || !iswide(l) || !iswide(r)) return nullptr;
    if ((l->nflags | r->nflags) & nf::Typed) return nullptr;
    if (sameexpr(P, l, r, 1)) return nullptr;
    ExprNode* pairs[4][3] = {
        {l->left, r->left, nullptr}, {l->left, r->right, nullptr}, {l->right, r->left, nullptr}, {l->right, r->right, nullptr}};
    for (auto& pr : pairs) {
        if (!sameexpr(P, pr[0], pr[1], 1)) continue;
        ExprNode* a = pr[0] == l->left ? l->right : l->left;
        ExprNode* b = pr[1] == r->left ? r->right : r->left;
        ExprNode* sum = binop(P, mknode(P, op, r->type, a, b));
        return bin(P, inner, pr[0], sum);
    }
    return nullptr;
}

}  // namespace

// x & ~x and x | ~x.
ExprNode* rewritecomplements(Parser& P, ExprNode* e) {
    if (e->op != 104 && e->op != 74) return nullptr;
    ExprNode* l = e->left;
    ExprNode* r = e->right;
    ExprNode* x = nullptr;
    if (r->op == opc::Compl && !isretyped(r) && sameexpr(P, l, r->left, 1))
        x = l;
    else if (l->op == opc::Compl && !isretyped(l) && sameexpr(P, l->left, r, 1))
        x = r;
    if (!x || !isint(x)) return nullptr;
    return mkconst(P, e->op == 104 ? 0 : 0xFFFFFFFFu, promotetype(P, x->type, 0));
}

ExprNode* rewritebefore(Parser& P, ExprNode* e) {
    uint8_t op = e->op;
    ExprNode* l = e->left;
    ExprNode* r = e->right;
    if (isretyped(l) || isretyped(r)) return nullptr;
    if ((op == 104 || op == 74) && l->op == opc::Compl && r->op == opc::Compl)
        return un(P, opc::Compl, bin(P, op == 104 ? 74 : 104, l->left, r->left));
    if ((op == 97 || op == 98) && l->op == opc::Neg && r->op == opc::Neg) return un(P, opc::Neg, bin(P, op, l->left, r->left));
    // -x / -y is x / y only where negation cannot wrap
    if (l->op == opc::Neg && r->op == opc::Neg &&
        (op == 99 || (op == 68 && ty::isfloating(tcode(l)) && ty::isfloating(tcode(r)))))
        return bin(P, op, l->left, r->left);
    if (op == 98 && isintconst(l) && l->value == 1 && ty::isbitfield(tcode(r)) && basetype(r->type)->bitwidth() == 1)
        return bin(P, 73, r, mkconst(P, 1, l->type));
    if (ExprNode* f = factor(P, e)) return f;
    if ((op == 104 || op == 74 || op == 73) && (l->op == 70 || l->op == 71) && l->op == r->op &&
        isintconst(l->right) && isintconst(r->right) && l->right->value == r->right->value && iswide(l) && iswide(r) &&
        !((l->nflags | r->nflags) & nf::Typed) && sametype(P, l->type, r->type))
        return bin(P, l->op, bin(P, op, l->left, r->left), l->right);
    return nullptr;
}

ExprNode* rewriteafter(Parser& P, ExprNode* e) {
    uint8_t op = e->op;
    bool commutative = op == 97 || op == 99 || op == 104 || op == 73 || op == 74;
    if (commutative) {
        ExprNode* l = e->left;
        ExprNode* r = e->right;
        bool lconst = isintconst(l) || isfloatconst(l);
        if ((lconst && !isintconst(r)) || (isleaf(l) && !isleaf(r))) {
            e->left = r;
            e->right = l;
        }
    }
    ExprNode* l = e->left;
    ExprNode* r = e->right;
    TypeNode* type = e->type;
    bool intnode = ty::isinteger(codeof(type));
    if (!isintconst(r)) {
        if (!intnode) return nullptr;
        if (isintconst(l) && l->value == 0) {
            if (op == 68 || op == 69) return constant(P, r, 0, type);
            if (op == 98) return asvalue(P, un(P, opc::Neg, r), type);
        }
        // the left seen through one cast that keeps its value
        ExprNode* lx = l;
        if (lx->op == opc::Cast && lx->left && sametype(P, lx->left->type, r->type)) {
            uint16_t f = tcode(lx->left), t = tcode(lx);
            uint32_t fs = typesize(P, lx->left->type), ts = typesize(P, lx->type);
            bool keeps = ty::isinteger(f) && ty::isinteger(t) && !ty::isbitfield(f) &&
                         (ts > fs ? ((f & 0x01) || !(t & 0x01)) : (ts == fs && (f & 0x01) == (t & 0x01)));
            if (keeps) lx = lx->left;
        }
        if (!sameexpr(P, lx, r, 1)) return nullptr;
        switch (op) {
        case 68: return mkconst(P, 1, type);
        case 69:
        case 73:
        case 98: return mkconst(P, 0, type);
        case 74:
        case 104: return asvalue(P, r, type);
        case 97: return bin(P, 70, convertexpr(P, r, type), mkconst(P, 1, P.types.sint));
        default: return nullptr;
        }
    }
    if (isintconst(l) || isfloatconst(l)) return nullptr;
    uint32_t c = narrowvalue(P, r->value, r->type);
    // (T)&a + c: the constant joins the address
    if ((op == 97 || op == 98) && l->op == opc::Cast && isaddrleaf(l->left) && ty::isinteger(tcode(l)) &&
        typesize(P, l->type) >= 4 && typesize(P, l->left->type) >= typesize(P, r->type)) {
        l->left->value += op == 97 ? c : tgt::neg(c);
        return asvalue(P, l, type);
    }
    if ((op == 97 || op == 98) && intnode && l->op == 98 && isintconst(l->left) && sametype(P, l->type, type)) {
        uint32_t k = op == 97 ? l->left->value + c : l->left->value - c;
        if (k == 0) return asvalue(P, un(P, opc::Neg, l->right), type);
        return bin(P, 98, mkconst(P, k, wider(P, l->left->type, type)), l->right);
    }
    if (c == 1) {
        if (op == 68 || op == 99) return asvalue(P, l, type);
        if (op == 69 && intnode) return constant(P, l, 0, type);
    }
    if (c == 0xFFFFFFFFu) {
        bool issigned = !isunsignedcode(codeof(type));
        if ((op == 68 && issigned) || op == 99) return asvalue(P, un(P, opc::Neg, l), type);
        if (op == 73 && intnode) return asvalue(P, un(P, opc::Compl, l), type);
        if (op == 74 && intnode) return constant(P, l, 0xFFFFFFFFu, type);
        if (op == 104 && intnode) return asvalue(P, l, type);
    }
    if (c == 0) {
        if (op == 98 || (intnode && (op == 70 || op == 71 || op == 73 || op == 74 || op == 97))) return asvalue(P, l, type);
        if (intnode && (op == 99 || op == 104)) return constant(P, l, 0, type);
        return nullptr;
    }
    if (!intnode || !isint(l)) return nullptr;
    uint16_t lc = tcode(l);
    uint32_t w = bitwidthof(P, l->type);
    uint32_t mask = w >= 32 ? 0xFFFFFFFFu : (1u << w) - 1;
    bool lunsigned = lc & 0x01;
    bool anyunsigned = lunsigned || isunsignedcode(codeof(type));
    int k = 0;
    bool pow2 = tgt::ispow2(c, k);
    switch (op) {
    case 68:
        if (pow2 && anyunsigned) {
            if (lunsigned && static_cast<uint32_t>(k) >= w) return constant(P, l, 0, type);
            return bin(P, 71, convertexpr(P, l, type), mkconst(P, static_cast<uint32_t>(k), P.types.sint));
        }
        break;
    case 69:
        if (pow2 && anyunsigned) return bin(P, 104, l, mkconst(P, c - 1, r->type));
        break;
    case 70:
        if (c >= 8 * typesize(P, promotetype(P, l->type, 0))) return constant(P, l, 0, type);
        break;
    case 71:
        if (lunsigned && c >= w) return constant(P, l, 0, type);
        if (!lunsigned && c >= 32) {
            r->value = 31;
            r->type = P.types.sint;
        }
        break;
    case 99:
        if (pow2) return bin(P, 70, convertexpr(P, l, type), mkconst(P, static_cast<uint32_t>(k), P.types.sint));
        break;
    case 74:
    case 104: {
        bool same = typesize(P, l->type) == typesize(P, type);
        bool covers = (c & mask) == mask && (same || (lunsigned && (c & ~mask) == 0));
        if (covers) return op == 74 ? constant(P, l, c, type) : asvalue(P, l, type);
        if (op == 104 && ty::isbitfield(lc) && c < mask && tgt::ispow2(c + 1, k)) {
            TypeNode* old = basetype(l->type);
            TypeNode* bf = newtype(P, old->code, nullptr);
            bf->detail = old->bitpos() | static_cast<uint32_t>(k) << 8;
            l->type = bf;
            if (!sametype(P, promotetype(P, bf, 0), type)) return asvalue(P, l, type);
            l->nflags |= nf::NotLvalue;
            return l;
        }
        break;
    }
    default: break;
    }
    return nullptr;
}

ExprNode* reassociate(Parser& P, ExprNode* e) {
    uint8_t op = e->op;
    ExprNode* l = e->left;
    ExprNode* r = e->right;
    TypeNode* type = e->type;
    if (!ty::isinteger(codeof(type))) return nullptr;
    if (isintconst(r) && isbinary(l->op) && l->op != 91 && l->op != 92 && !iscompare(l->op) && l->right &&
        isintconst(l->right) && isint(l) && sametype(P, l->type, type) && !(l->nflags & nf::Typed) && l->left &&
        isint(l->left)) {
        ExprNode* x = l->left;
        uint8_t op1 = l->op;
        uint32_t c1 = l->right->value, c2 = r->value;
        bool issigned = !isunsignedcode(codeof(type));
        TypeNode* ctype = wider(P, r->type, type);
        auto fits = [&](int64_t v) { return issigned ? v >= INT32_MIN && v <= INT32_MAX : v >= 0 && v <= 0xFFFFFFFFll; };
        auto as64 = [&](uint32_t v) { return issigned ? int64_t{tgt::sval(v)} : int64_t{v}; };
        auto finish = [&](ExprNode* n) { return asvalue(P, n, type); };
        if (op == 68 && op1 == 99 && issigned && c2 != 0 && tgt::mod(c1, c2, true) == 0) {
            uint32_t q = tgt::div(c1, c2, true);
            if (q == 1) return finish(x);
            return finish(bin(P, 99, x, mkconst(P, q, ctype)));
        }
        if ((op == 70 || op == 71) && op1 == op) {
            uint32_t total = c1 + c2;
            if (c1 >= 32 || c2 >= 32 || total >= 32) {
                if (op == 70 || (tcode(x) & 0x01)) return constant(P, x, 0, type);
                total = 31;
            }
            return finish(bin(P, op, x, mkconst(P, total, P.types.sint)));
        }
        if (op == 70 && (op1 == 97 || op1 == 98)) {
            uint32_t k = narrowvalue(P, tgt::shl(c1, c2), type);
            return finish(bin(P, op1, bin(P, 70, x, r), mkconst(P, k, ctype)));
        }
        if ((op == 97 || op == 98) && (op1 == 97 || op1 == 98)) {
            uint32_t sum = op1 == op ? c1 + c2 : c1 - c2;
            if (sum == 0) return finish(x);
            uint8_t o = op1;
            if (tgt::sval(sum) < 0) {
                o = o == 97 ? 98 : 97;
                sum = tgt::neg(sum);
            }
            return finish(bin(P, o, x, mkconst(P, sum, ctype)));
        }
        if (op == 99 && op1 == 99) return finish(bin(P, 99, x, mkconst(P, c1 * c2, ctype)));
        if (op == 68 && op1 == 68 && c1 != 0 && c2 != 0 && fits(as64(c1) * as64(c2)))
            return finish(bin(P, 68, x, mkconst(P, c1 * c2, ctype)));
        if (op == 99 && (op1 == 97 || op1 == 98) && tgt::sval(c2) >= 1)
            return finish(bin(P, op1, bin(P, 99, x, r), mkconst(P, c1 * c2, ctype)));
        if (op == 104 && op1 == 71 && c1 < 32) {
            uint32_t w = bitwidthof(P, x->type);
            uint32_t m = w <= c1 ? 0 : (w - c1 >= 32 ? 0xFFFFFFFFu : (1u << (w - c1)) - 1);
            bool xunsigned = tcode(x) & 0x01;
            if (m != 0) {
                if (c2 > m) {
                    if ((c2 & m) == 0 && xunsigned) return constant(P, x, 0, type);
                } else {
                    ExprNode* ux = x;
                    if (!xunsigned && !ty::isbitfield(tcode(x))) ux = convertexpr(P, x, basicof(P, unsignedof(tcode(x))));
                    ExprNode* shift = bin(P, 71, ux, l->right);
                    if (c2 == m) return finish(shift);
                    return finish(bin(P, 104, shift, r));
                }
            }
        }
    }
    if (op == 98 && isintconst(l) && isbinary(r->op) && (r->op == 97 || r->op == 98) && sametype(P, r->type, type) &&
        !(r->nflags & nf::Typed)) {
        uint32_t k1 = l->value;
        ExprNode* result = nullptr;
        if (r->op == 97 && isintconst(r->right)) {
            uint32_t k = k1 - r->right->value;
            result = k == 0 ? un(P, opc::Neg, r->left) : bin(P, 98, mkconst(P, k, l->type), r->left);
        } else if (r->op == 98 && isintconst(r->left)) {
            uint32_t k = k1 - r->left->value;
            result = k == 0 ? convertexpr(P, r->right, type)
                            : bin(P, 97, r->right, mkconst(P, k, wider(P, l->type, r->left->type)));
        } else if (r->op == 98 && isintconst(r->right)) {
            uint32_t k = k1 + r->right->value;
            result = k == 0 ? un(P, opc::Neg, r->left) : bin(P, 98, mkconst(P, k, l->type), r->left);
        }
        if (result) return asvalue(P, result, type);
    }
    if (op == 97 && l->op == 97 && isintconst(l->right) && !isintconst(r) && sametype(P, l->type, type) &&
        !(l->nflags & nf::Typed) && l->left)
        return bin(P, 97, bin(P, 97, l->left, r), l->right);
    return nullptr;
}

}  // namespace cpppc

// Assignments: =, the ten compound assignments and the postfix ++ and --
// (which are checked as += and -= while their node keeps its code). The
// target is stamped and checked, the known-value list learns what is
// stored, the value is converted and scaled for pointers, and cheap forms
// replace costly ones: `a = a op b` becomes `a op= b`, a multiplication by
// a power of two a shift, an assignment that changes nothing its target.
#include "parser/exprtree.h"
#include "parser/targetmath.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

// The compound assignment of a binary operator.
uint8_t compoundof(uint8_t op) { return static_cast<uint8_t>((op & 0xDF) | 0x10); }

bool isreadonly(const ExprNode* t) {
    if (t->op == opc::Ind) {
        TypeNode* pt = t->left ? basetype(t->left->type) : nullptr;
        return pt && pt->code == ty::Pointer && (pt->pointerattr() & attr::Const);
    }
    return isnamed(t) && !(t->leafbits & leaf::InitTarget) && (t->sym->attributes & attr::Const);
}

// The lvalue checks of a target; false after a message.
bool checktarget(Parser& P, ExprNode* t) {
    uint16_t c = tcode(t);
    if (c == ty::Array || c == ty::Function || c == ty::Void) {
        putdiag(P, "invalid assignment type");
        return false;
    }
    const char* msg = nullptr;
    if (t->nflags & nf::NotLvalue)
        msg = "invalid lvalue";
    else if (t->op == opc::Ind)
        msg = isreadonly(t) ? "const assignment" : nullptr;
    else if (t->op != opc::Leaf)
        msg = "invalid lvalue";
    else if (!(t->leafbits & leaf::InitTarget))
        msg = (!(t->leafbits & leaf::Contents) || (t->nflags & nf::Typed)) ? "invalid lvalue"
              : isreadonly(t)                                              ? "const assignment"
                                                                           : nullptr;
    if (msg) putdiag(P, "%s", msg);
    return msg == nullptr;
}

// A copy of a small side-effect-free target, to read it once more.
ExprNode* copytarget(Parser& P, const ExprNode* t) {
    if (isleaf(t)) return copyleaf(P, t);
    if (t->op == opc::Ind && isleaf(t->left)) {
        ExprNode* c = mknode(P, opc::Ind, t->type, copyleaf(P, t->left));
        c->nflags = t->nflags;
        return c;
    }
    return nullptr;
}

// The target alone: the value of an assignment that stores nothing new.
ExprNode* targetalone(Parser& P, ExprNode* e) {
    ExprNode* t = convertexpr(P, e->left, e->type);
    t->nflags |= nf::NotLvalue;
    return t;
}

ExprNode* storeconst(Parser& P, ExprNode* e, uint32_t v) {
    e->op = 95;
    e->right = mkconst(P, v, e->left->type);
    return e;
}

// `=` into a bit-field of `y & c` where c holds every bit of the field:
// the store keeps only those bits, so y is enough.
void dropfieldmask(Parser& P, ExprNode* e) {
    uint32_t width = basetype(e->left->type)->bitwidth();
    uint32_t m = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    ExprNode* v = e->right;
    for (;;) {
        uint32_t size = typesize(P, v->type);
        if (size < 4 && ty::isinteger(tcode(v))) {
            uint32_t tm = size == 1 ? 0xFFu : 0xFFFFu;
            if ((tm & m) != m) return;
        }
        if (v->op != opc::Cast || !v->left) break;
        v = v->left;
    }
    if (v->op == 104 && isintconst(v->right) && (v->right->value & m) == m) e->right = v->left;
}

ExprNode* arithmetictarget(Parser& P, ExprNode* e, uint8_t as) {
    ExprNode* t = e->left;
    ExprNode* v = e->right;
    uint16_t tc = tcode(t), vc = tcode(v);
    if (vc == ty::Pointer) {
        putdiag(P, "incompatible pointer assignment");
        return e;
    }
    if (vc == ty::Struct || vc == ty::Union) {
        putdiag(P, "incompatible struct/union assignment");
        return e;
    }
    if (vc == ty::Void) {
        putdiag(P, "illegal void usage");
        return e;
    }
    bool floating = ty::isfloating(tc) || ty::isfloating(vc);
    if (floating && as != 95 && as != 81 && as != 82 && as != 83 && as != 84) {
        putdiag(P, "invalid floating point operation");
        return e;
    }
    if (as == 84 && isfloatconst(v) && floatvalue(v) == 0.0) markzero(P, v, 84, e);
    bool integer = ty::isinteger(tc);
    if (!isintconst(v) && sameexpr(P, v, t, 1)) {
        switch (as) {
        case 81:
            if (integer && e->op == 81) {
                e->op = 86;
                e->right = mkconst(P, 1, P.types.sint);
                return e;
            }
            break;
        case 82:
        case 85:
        case 89:
            if (integer && e->op == as) return storeconst(P, e, 0);
            break;
        case 84:
            if (integer) return storeconst(P, e, 1);
            break;
        case 88:
        case 90:
        case 95: return targetalone(P, e);
        default: break;
        }
    }
    if (isintconst(v) && integer && e->op == as) {
        uint32_t c = v->value;
        bool issigned = !isunsignedcode(codeof(e->type));
        int k = 0;
        if (c == 0) {
            switch (as) {
            case 81:
            case 82:
            case 86:
            case 87:
            case 89:
            case 90: return targetalone(P, e);
            case 83:
            case 88: return storeconst(P, e, 0);
            case 84:
            case 85: markzero(P, v, as, e); return e;
            default: break;
            }
        } else if (c == 1) {
            if (as == 83 || as == 84) return targetalone(P, e);
            if (as == 85) return storeconst(P, e, 0);
        } else if (c == 0xFFFFFFFFu && tgt::sval(narrowvalue(P, c, v->type)) == -1) {
            if (as == 83 || (as == 84 && issigned)) {
                if (ExprNode* copy = (isleaf(t) || isfree(P, t)) ? copytarget(P, t) : nullptr) {
                    e->op = 95;
                    ExprNode* n = mknode(P, opc::Neg, e->type, copy);
                    e->right = n;
                    return e;
                }
            }
            if (as == 88) return targetalone(P, e);
            if (as == 90) return storeconst(P, e, 0xFFFFFFFFu);
        }
        if (c > 1 && tgt::ispow2(c, k)) {
            if (as == 83) {
                e->op = 86;
                e->right = mkconst(P, static_cast<uint32_t>(k), P.types.sint);
                return e;
            }
            if (as == 84 && !issigned) {
                e->op = 87;
                e->right = mkconst(P, static_cast<uint32_t>(k), P.types.sint);
                return e;
            }
            if (as == 85 && !issigned) {
                e->op = 88;
                e->right = mkconst(P, c - 1, v->type);
                return e;
            }
        }
    }
    if (!ty::isfloating(tc) && isfloatconst(v)) e->right = castexpr(P, mknode(P, opc::Cast, t->type, v));
    return e;
}

ExprNode* pointertarget(Parser& P, ExprNode* e, uint8_t as) {
    ExprNode* t = e->left;
    ExprNode* v = e->right;
    if (as == 95) {
        if (!(isintconst(v) && v->value == 0) && !typecompat(P, t->type, v->type)) putdiag(P, "incompatible pointer types");
        return e;
    }
    if (as != 81 && as != 82) {
        putdiag(P, "incompatible pointer operation");
        return e;
    }
    if (!ty::isinteger(tcode(v))) {
        putdiag(P, "incompatible pointer operand");
        return e;
    }
    if (isintconst(v) && v->value == 0 && e->op == as) return targetalone(P, e);
    if (e->nflags & nf::Scaled) return e;
    uint32_t s = sizeoftype(P, basetype(t->type)->subtype);
    if (isintconst(v))
        v->value *= s;
    else if (s > 1)
        e->right = binop(P, mknode(P, 99, nullptr, v, mkconst(P, s, P.types.sint)));
    return e;
}

}  // namespace

ExprNode* assignop(Parser& P, ExprNode* e) {
    if (!e || !e->left || !e->right) return e;
    ExprNode* t = e->left;
    uint8_t as = e->op == opc::PostInc ? 81 : e->op == opc::PostDec ? 82 : e->op;
    if (isnamed(t)) {
        Symbol* s = t->sym;
        s->prevsetstamp = s->setstamp;
        s->setstamp = P.syms.sequence;
        nextstamp(P);
        s->flags |= sf::Assigned;
    }
    replaceconst(P, &e->right);
    uint16_t tc = tcode(t);
    // checked before the known value narrows a constant in place
    if (P.opt.warnlevel) checkrange(P, as, t->type, e->right);
    if (!P.opt.cp && !P.ex.nclevel) {
        if (P.ex.opencond)
            forgetall(P);
        else if (tc == ty::Struct)
            forgetvalue(P, t);
        else
            recordvalue(P, e, e->right);
    }
    if (e->op == 95) {
        ExprNode* v = e->right;
        if (v->op == opc::Cast && v->left && sametype(P, v->type, t->type)) v = v->left;
        ExprNode* y = nullptr;
        bool narrowed = (v->nflags & nf::Typed) && !sametype(P, v->type, t->type);
        if (isbinary(v->op) && v->left && v->right && !narrowed) {
            switch (v->op) {
            case 68:
            case 69:
            case 70:
            case 71:
            case 98:
                if (sameexpr(P, v->left, t, 0)) y = v->right;
                break;
            case 73:
            case 74:
            case 97:
            case 99:
            case 104:
                if (sameexpr(P, v->left, t, 0))
                    y = v->right;
                else if (sameexpr(P, v->right, t, 0))
                    y = v->left;
                break;
            default: break;
            }
        }
        if (y && !(tc == ty::Pointer && !ty::isinteger(tcode(y)))) {
            e->op = as = compoundof(v->op);
            e->right = y;
            e->nflags |= nf::Scaled;
            if (v->savedpos) e->savedpos = v->savedpos;
        }
    }
    if (as == 86 || as == 87) {
        uint16_t rc = tcode(e->right);
        if (ty::isfloating(rc))
            putdiag(P, "invalid shift count type");
        else if ((rc & 0xF0) == 0x40)
            e->right = convertexpr(P, e->right, P.types.sint);
    }
    if (e->op == 95 && ty::isbitfield(tc) && !isleaf(e->right)) dropfieldmask(P, e);
    e->type = t->type;
    if ((e->op == opc::PostInc || e->op == opc::PostDec) && ty::isbitfield(tc)) {
        switch (tc & 0xF0) {
        case 0x10: e->type = P.types.uchar; break;
        case 0x20: e->type = P.types.ushrt; break;
        case 0x40: e->type = P.types.ulong; break;
        default: e->type = P.types.uint; break;
        }
    }
    if (!checktarget(P, t)) return e;
    if (tc == ty::Struct || tc == ty::Union) {
        if (!basetype(t->type)->members)
            putdiag(P, "incomplete type for assignment");
        else if (!sametype(P, t->type, e->right->type))
            putdiag(P, "incompatible types in struct/union assignment");
        else if (e->op != 95)
            putdiag(P, "invalid struct/union operation");
        return e;
    }
    decayexpr(P, e->right);
    if (tc == ty::Pointer) return pointertarget(P, e, as);
    return arithmetictarget(P, e, as);
}

}  // namespace cpppc

// Binary operators: the types of arithmetic, bitwise, shift, comparison,
// logical and conditional nodes, pointer arithmetic, and the folding of
// constant operands. The algebraic rewrites of non-constant operands are
// in simplify.cpp; assignments go to assignop.
//
// Folds and range decisions follow C exactly: constants are compared
// after the integer promotions and the usual arithmetic conversions, so a
// comparison gives the same answer whether the parser folds it or the
// generated code computes it at run time. A fold never drops an operand
// with side effects: such an operand is kept in front of the result.
#include "parser/exprtree.h"
#include "parser/targetmath.h"
#include "parser/tokencodes.h"

namespace cpppc {

// ---- constants ----

uint32_t narrowvalue(Parser& P, uint32_t v, TypeNode* t) {
    if (P.opt.cc) return v;
    switch (codeof(t)) {
    case ty::Char: return tgt::extend(v, 8, true);
    case ty::UChar: return v & 0xFF;
    case ty::Short: return tgt::extend(v, 16, true);
    case ty::UShort: return v & 0xFFFF;
    default: return v;
    }
}

TypeNode* commontype(Parser& P, TypeNode* a, TypeNode* b) {
    a = promotetype(P, a, 0);
    b = promotetype(P, b, 0);
    return rankabove(codeof(a), codeof(b)) ? a : b;
}

bool foldint(Parser& P, uint8_t op, const ExprNode* l, const ExprNode* r, TypeNode* type, uint32_t& out) {
    bool shift = op == 70 || op == 71;
    uint32_t a = narrowvalue(P, l->value, type);
    uint32_t b = narrowvalue(P, r->value, shift ? P.types.uchar : type);
    if ((op == 68 || op == 69) && b == 0) return false;
    bool issigned = !isunsignedcode(codeof(type));
    bool arithshift = !isunsignedcode(tcode(l));
    out = narrowvalue(P, tgt::arith(op, a, b, issigned, arithshift), type);
    return true;
}

bool cmpconst(Parser& P, uint8_t op, const ExprNode* l, const ExprNode* r) {
    uint16_t lc = tcode(l), rc = tcode(r);
    uint32_t a = narrowvalue(P, l->value, l->type), b = narrowvalue(P, r->value, r->type);
    bool issigned = lc != ty::Pointer && rc != ty::Pointer && !isunsignedcode(codeof(commontype(P, l->type, r->type)));
    return tgt::arith(op, a, b, issigned, false) != 0;
}

double constdouble(const ExprNode* e) {
    if (isfloatconst(e)) {
        double d = floatvalue(e);
        return tcode(e) == ty::Float ? static_cast<double>(static_cast<float>(d)) : d;
    }
    return tgt::itof(e->value, !isunsignedcode(tcode(e)));
}

void markzero(Parser& P, ExprNode* divisor, uint8_t op, const ExprNode* at) {
    divisor->leafbits |= (op == 69 || op == 85) ? leaf::ZeroModulus : leaf::ZeroDivide;
    divisor->savedpos = at && at->savedpos ? at->savedpos : savepos(P);
}

namespace {

ExprNode* intresult(Parser& P, bool v) { return mkconst(P, v ? 1 : 0, P.types.sint); }

// A comparison that the parser decides: the constant, with the left
// operand kept in front when it has side effects.
ExprNode* decided(Parser& P, ExprNode* left, bool v, bool warn) {
    if (warn) putdiag(P, "W2compare out of range");
    return keepeffects(P, left, intresult(P, v));
}

uint8_t mirror(uint8_t op) {
    switch (op) {
    case 75: return 77;
    case 77: return 75;
    case 76: return 78;
    case 78: return 76;
    default: return op;
    }
}

bool isconstleaf(const ExprNode* e) { return isintconst(e) || isfloatconst(e) || isscalconst(e); }

// The range of values of an integer operand decides a comparison with a
// constant, as C computes it: in the common type of both sides. Returns
// 0 or 1, or -1 when the values of the left can fall on both sides.
int rangedecision(Parser& P, uint8_t op, ExprNode* l, ExprNode* r) {
    uint16_t lc = tcode(l), rc = tcode(r);
    uint32_t bits = bitwidthof(P, l->type);
    bool lsigned = !(lc & 0x01);
    if (bits >= 32 && (lc & 0x01) == (rc & 0x01)) return -1;
    bool unsignedcompare = isunsignedcode(codeof(commontype(P, l->type, r->type)));
    int64_t lo, hi, c;
    uint32_t cv = narrowvalue(P, r->value, r->type);
    if (unsignedcompare) {
        if (lsigned) return -1;  // negative values wrap around to the top
        lo = 0;
        hi = bits >= 32 ? 0xFFFFFFFFll : (int64_t{1} << bits) - 1;
        c = cv;
    } else {
        if (bits >= 32) {
            lo = lsigned ? INT32_MIN : 0;
            hi = lsigned ? INT32_MAX : 0xFFFFFFFFll;
        } else {
            lo = lsigned ? -(int64_t{1} << (bits - 1)) : 0;
            hi = lsigned ? (int64_t{1} << (bits - 1)) - 1 : (int64_t{1} << bits) - 1;
        }
        c = tgt::sval(cv);
    }
    switch (op) {
    case 75: return hi < c ? 1 : lo >= c ? 0 : -1;
    case 78: return hi <= c ? 1 : lo > c ? 0 : -1;
    case 77: return lo > c ? 1 : hi <= c ? 0 : -1;
    case 76: return lo >= c ? 1 : hi < c ? 0 : -1;
    case 79: return c < lo || c > hi ? 0 : -1;
    case 80: return c < lo || c > hi ? 1 : -1;
    default: return -1;
    }
}

ExprNode* compare(Parser& P, ExprNode* e) {
    ExprNode* l = e->left;
    ExprNode* r = e->right;
    e->type = P.types.sint;
    uint16_t lc = tcode(l), rc = tcode(r);
    bool nullpointer = (lc == ty::Pointer && isintconst(r) && r->value == 0) ||
                       (rc == ty::Pointer && isintconst(l) && l->value == 0);
    if (!nullpointer && !typecompat(P, l->type, r->type) && !typecompat(P, r->type, l->type))
        putdiag(P, "incompatible compare types");
    if ((isintconst(l) || isfloatconst(l)) && !isconstleaf(r)) {
        e->left = r;
        e->right = l;
        e->op = mirror(e->op);
        l = e->left;
        r = e->right;
        std::swap(lc, rc);
    }
    uint8_t op = e->op;
    if (ty::isfloating(lc) && isfloatconst(r) && floatvalue(r) == 0.0) {
        dropexpr(P, r);
        e->right = r = mkconst(P, 0, P.types.sint);
        rc = ty::Int;
    }
    if ((isfloatconst(l) || isintconst(l)) && (isfloatconst(r) || isintconst(r)) && (isfloatconst(l) || isfloatconst(r))) {
        double a = constdouble(l), b = constdouble(r);
        bool v = false;
        switch (op) {
        case 75: v = a < b; break;
        case 76: v = a >= b; break;
        case 77: v = a > b; break;
        case 78: v = a <= b; break;
        case 79: v = a == b; break;
        default: v = a != b; break;
        }
        dropexpr(P, l);
        dropexpr(P, r);
        return intresult(P, v);
    }
    if (isscalconst(l) && isscalconst(r)) return intresult(P, cmpconst(P, op, l, r));
    if (isintconst(r) && !isconstleaf(l)) {
        if (ty::isbitfield(lc) && basetype(l->type)->bitwidth() == 1 && r->value == 1) {
            r->value = 0;
            switch (op) {
            case 75:
            case 80: op = 79; break;
            case 76:
            case 79: op = 80; break;
            case 77: op = 75; break;
            default: op = 76; break;
            }
            e->op = op;
        }
        if (iscompare(l->op) && (r->value == 0 || r->value == 1)) {
            bool one = r->value == 1;
            switch (op) {
            case 75: return one ? negatecond(l) : keepeffects(P, l, intresult(P, false));
            case 76: return one ? l : keepeffects(P, l, intresult(P, true));
            case 77: return one ? keepeffects(P, l, intresult(P, false)) : l;
            case 78: return one ? keepeffects(P, l, intresult(P, true)) : negatecond(l);
            case 79: return one ? l : negatecond(l);
            default: return one ? negatecond(l) : l;
            }
        }
        if (ty::isinteger(lc)) {
            bool lunsigned = lc & 0x01;
            bool promotedsigned = !isunsignedcode(codeof(promotetype(P, l->type, 0)));
            if (op == 76 && r->value == 1) {
                e->op = op = 77;
                r->value = 0;
            } else if (op == 75 && r->value == 1 && lunsigned) {
                e->op = op = 79;
                r->value = 0;
            } else if (op == 78 && tgt::sval(r->value) == -1 && !(rc & 0x01) && promotedsigned) {
                e->op = op = 75;
                r->value = 0;
            }
            int d = rangedecision(P, op, l, r);
            if (d >= 0) return decided(P, l, d != 0, true);
        }
    }
    if (!isconstleaf(l) && !isconstleaf(r) && sameexpr(P, l, r, 1)) {
        return intresult(P, op == 76 || op == 78 || op == 79);
    }
    if ((op == 79 || op == 80) && l->op == opc::Cond && isintconst(l->middle) && isintconst(l->right) &&
        isintconst(r)) {
        bool ea = cmpconst(P, 79, l->middle, r), eb = cmpconst(P, 79, l->right, r);
        bool eq = op == 79;
        ExprNode* c = l->left;
        if (ea == eb) return keepeffects(P, c, intresult(P, ea == eq));
        return ea == eq ? c : negatecond(c);
    }
    if (!isintconst(r) && ty::isinteger(lc) && ty::isinteger(rc) && (lc & 0xF0) == (rc & 0xF0) && lc < 0x30 &&
        rc < 0x30 && !ty::isbitfield(lc) && !ty::isbitfield(rc) && (lc & 0x01) != (rc & 0x01)) {
        e->left = convertexpr(P, l, P.types.sint);
        e->right = convertexpr(P, r, P.types.sint);
    }
    return e;
}

// The combination tables of two comparisons of the same operands: an
// operator code, or 0 and 1 for a constant. Rows and columns < >= > <= == !=.
constexpr uint8_t kAndTable[6][6] = {
    {75, 0, 0, 75, 0, 75}, {0, 76, 77, 79, 79, 77}, {0, 77, 77, 0, 0, 77},
    {75, 79, 0, 78, 79, 75}, {0, 79, 0, 79, 79, 0}, {75, 77, 77, 75, 0, 80},
};
constexpr uint8_t kOrTable[6][6] = {
    {75, 1, 80, 78, 78, 80}, {1, 76, 76, 1, 76, 1}, {80, 76, 77, 1, 76, 80},
    {78, 1, 1, 78, 78, 1}, {78, 76, 76, 78, 79, 1}, {80, 1, 80, 1, 1, 80},
};

// A test as an operand of && or ||: comparisons and logical nodes stand
// as they are, anything else is compared with 0.
ExprNode* astest(Parser& P, ExprNode* e) {
    if (iscompare(e->op) || islogical(e->op) || isintconst(e)) return e;
    return binop(P, mknode(P, 80, P.types.sint, e, mkconst(P, 0, P.types.sint)));
}

ExprNode* logical(Parser& P, ExprNode* e) {
    bool isand = e->op == 91;
    ExprNode* lt = testexpr(P, &e->left);
    ExprNode* rt = testexpr(P, &e->right);
    e->type = P.types.sint;
    if (!lt || !rt) {
        putdiag(P, "invalid conditional operand");
        return e;
    }
    ExprNode* l = e->left;
    ExprNode* r = e->right;
    if (isintconst(l) && isintconst(r)) return intresult(P, isand ? (l->value && r->value) : (l->value || r->value));
    if (isintconst(l)) {
        if (isand ? l->value == 0 : l->value != 0) {
            dropexpr(P, r);
            return intresult(P, !isand);
        }
        return astest(P, r);
    }
    if (isintconst(r)) {
        if (isand ? r->value != 0 : r->value == 0) return astest(P, l);
        if (isfree(P, l)) return intresult(P, !isand);
        return e;
    }
    if (sameexpr(P, l, r, 1)) return l;
    bool floating = ty::isfloating(tcode(l->left)) || ty::isfloating(tcode(l->right));
    if (iscompare(l->op) && iscompare(r->op) && sameexpr(P, l->left, r->left, 1) &&
        sameexpr(P, l->right, r->right, 1) && (isand || !floating)) {
        uint8_t v = (isand ? kAndTable : kOrTable)[l->op - 75][r->op - 75];
        if (v <= 1) return intresult(P, v != 0);
        l->op = v;
        return l;
    }
    return e;
}

ExprNode* condop(Parser& P, ExprNode* e) {
    if (!testexpr(P, &e->left)) putdiag(P, "invalid ? test expression");
    replaceconst(P, &e->middle);
    decayexpr(P, e->middle);
    ExprNode* m = e->middle;
    ExprNode* r = e->right;
    TypeNode* mt = promotetype(P, m->type, 0);
    TypeNode* rt = promotetype(P, r->type, 0);
    uint16_t mc = codeof(mt), rc = codeof(rt);
    bool nullpointer = (mc == ty::Pointer && isintconst(r) && r->value == 0) ||
                       (rc == ty::Pointer && isintconst(m) && m->value == 0);
    if (!nullpointer && !typecompat(P, m->type, r->type) && !typecompat(P, r->type, m->type))
        putdiag(P, "incompatible operand types");
    TypeNode* type = rankabove(mc, rc) ? mt : rt;
    ExprNode* c = e->left;
    if (isintconst(c)) {
        ExprNode* keep = c->value ? m : r;
        dropexpr(P, c->value ? r : m);
        // a bit-field keeps its type where its promotion gives the same type
        if (ty::isbitfield(tcode(keep)) && sametype(P, promotetype(P, keep->type, 0), type)) return keep;
        return convertexpr(P, keep, type);
    }
    if (mc == ty::Pointer && rc == ty::Pointer) {
        uint16_t mw = basetype(mt)->pointerattr(), rw = basetype(rt)->pointerattr();
        if ((mw ^ rw) & (attr::Const | attr::Volatile)) {
            TypeNode* p = newtype(P, ty::Pointer, basetype(mt)->subtype);
            p->detail = static_cast<uint16_t>(mw | (rw & (attr::Const | attr::Volatile)));
            type = p;
        }
    }
    e->type = type;
    return e;
}

// ---- pointer arithmetic ----

ExprNode* leftmostplus(ExprNode* e) {
    while (e && e->op == 97) e = e->left;
    return e;
}

bool isstructparam(const ExprNode* leafnode) {
    if (!leafnode->sym) return false;
    uint8_t k = leafnode->sym->sclass;
    uint16_t c = codeof(leafnode->sym->type);
    return (k == sc::Param || k == sc::RegParam) && (c == ty::Struct || c == ty::Union);
}

bool valuepreserving(Parser& P, TypeNode* from, TypeNode* to) {
    uint16_t f = codeof(from), t = codeof(to);
    if (!ty::isinteger(f) || !ty::isinteger(t) || ty::isbitfield(f) || ty::isbitfield(t)) return false;
    if (f == t) return true;
    uint32_t fs = typesize(P, from), ts = typesize(P, to);
    if (ts < fs) return false;
    if (ts == fs) return (f & 0x01) == (t & 0x01);
    return (f & 0x01) || !(t & 0x01);
}

// Constant parts of a remaining index move into the offset of the address
// leaf that starts the pointer.
void foldaddress(Parser& P, ExprNode* e) {
    ExprNode* lm = leftmostplus(e->left);
    if (!isaddrleaf(lm) || isstructparam(lm)) return;
    ExprNode* idx = e->right;
    bool minus = e->op == 98;
    auto move = [&](uint32_t k, bool negative) {
        uint32_t v = negative != minus ? tgt::neg(k) : k;
        lm->value += v;
    };
    if ((idx->op == 97 || idx->op == 98) && isintconst(idx->right) && !(idx->nflags & nf::Typed)) {
        move(idx->right->value, idx->op == 98);
        e->right = idx->left;
        return;
    }
    if ((idx->op == 99 || idx->op == 70) && isintconst(idx->right)) {
        ExprNode* z = idx->left;
        uint16_t zc = tcode(z);
        if ((z->op == 97 || z->op == 98) && isintconst(z->right) && !(z->nflags & nf::Typed) && ty::isinteger(zc) &&
            zc >= 0x20) {
            uint32_t m = idx->right->value;
            uint32_t k = idx->op == 99 ? z->right->value * m : tgt::shl(z->right->value, m);
            move(k, z->op == 98);
            idx->left = z->left;
            return;
        }
    }
    if (idx->op == opc::Cast && idx->left && (tcode(idx->left) & 0xF0) == 0x10 &&
        valuepreserving(P, idx->left->type, idx->type))
        e->right = idx->left;
}

ExprNode* scale(Parser& P, ExprNode* e) {
    ExprNode* p = e->left;
    ExprNode* idx = e->right;
    e->type = p->type;
    uint32_t s = sizeoftype(P, basetype(p->type)->subtype);
    if (isintconst(idx)) {
        if (idx->value == 0) {
            p->nflags |= nf::NotLvalue;
            return p;
        }
        uint32_t bytes = idx->value * s;
        ExprNode* lm = leftmostplus(p);
        if (isaddrleaf(lm)) {
            lm->value += e->op == 98 ? tgt::neg(bytes) : bytes;
            return p;
        }
        idx->value = bytes;
    } else if (s > 1) {
        e->right = binop(P, mknode(P, 99, nullptr, idx, mkconst(P, s, P.types.sint)));
    }
    foldaddress(P, e);
    return e;
}

ExprNode* pointerop(Parser& P, ExprNode* e) {
    ExprNode* l = e->left;
    ExprNode* r = e->right;
    uint16_t lc = tcode(l), rc = tcode(r);
    uint8_t op = e->op;
    if (lc == ty::Pointer) {
        e->type = l->type;
        if (codeof(basetype(l->type)->subtype) == ty::Void) {
            putdiag(P, "invalid void pointer");
            return e;
        }
        if (op != 97 && op != 98) {
            putdiag(P, "invalid pointer operation");
            return e;
        }
        if (op == 98 && rc == ty::Pointer) {
            if (!sametype(P, l->type, r->type)) putdiag(P, "invalid pointer types");
            bool far = (basetype(l->type)->pointerattr() & attr::Space) == attr::Far ||
                       (basetype(r->type)->pointerattr() & attr::Space) == attr::Far;
            TypeNode* rt = far ? P.types.slong : P.types.sint;
            e->type = rt;
            ExprNode* d = e;
            if ((isnamedaddr(l) && isnamedaddr(r) && l->sym == r->sym) ||
                (isleaf(l) && isleaf(r) && l->leafbits == 0 && r->leafbits == 0))
                d = mkconst(P, l->value - r->value, rt);
            uint32_t s = typesize(P, basetype(l->type)->subtype);
            if (s > 1) d = binop(P, mknode(P, 68, rt, d, mkconst(P, s, rt)));
            return d;
        }
        if (!ty::isinteger(rc)) {
            putdiag(P, "invalid pointer operand");
            return e;
        }
        return scale(P, e);
    }
    e->type = r->type;
    if (op != 97) {
        putdiag(P, "invalid pointer operation");
        return e;
    }
    if (codeof(basetype(r->type)->subtype) == ty::Void) {
        putdiag(P, "invalid void pointer");
        return e;
    }
    if (!ty::isinteger(lc)) {
        putdiag(P, "invalid pointer operand");
        return e;
    }
    e->left = r;
    e->right = l;
    return scale(P, e);
}

// ---- arithmetic and bitwise operators ----

bool isshift(uint8_t op) { return op == 70 || op == 71; }

ExprNode* arithmetic(Parser& P, ExprNode* e, bool rewrite) {
    if (rewrite)
        if (ExprNode* x = rewritecomplements(P, e)) return x;
    uint16_t lc0 = tcode(e->left), rc0 = tcode(e->right);
    if (lc0 == ty::Pointer || rc0 == ty::Pointer) return pointerop(P, e);
    if (!isarithcode(lc0) || !isarithcode(rc0)) {
        putdiag(P, "incompatible struct/union operation");
        e->type = P.types.sint;
        return e;
    }
    if (rewrite)
        if (ExprNode* x = rewritebefore(P, e)) return x;
    ExprNode* l = e->left;
    ExprNode* r = e->right;
    uint8_t op = e->op;
    TypeNode* lt = promotetype(P, l->type, 0);
    TypeNode* rt = promotetype(P, r->type, 0);
    TypeNode* type = isshift(op) ? lt : (rankabove(codeof(lt), codeof(rt)) ? lt : rt);
    e->type = type;
    uint16_t tc = codeof(type), rc = tcode(r);
    if (isshift(op)) {
        if (ty::isfloating(rc)) {
            putdiag(P, "invalid shift count type");
            return e;
        }
        if (isintconst(r)) {
            uint32_t bits = 8 * typesize(P, type);
            bool negative = !(rc & 0x01) && tgt::sval(narrowvalue(P, r->value, r->type)) < 0;
            if (negative || narrowvalue(P, r->value, r->type) >= bits) putdiag(P, "W2shift count out of range");
        } else if ((rc & 0xF0) == 0x40) {
            e->right = r = convertexpr(P, r, P.types.sint);
        }
    }
    if (ty::isfloating(tc) && op != 97 && op != 98 && op != 99 && op != 68) {
        putdiag(P, "invalid floating point operation");
        return e;
    }
    bool lconst = isintconst(l) || isfloatconst(l), rconst = isintconst(r) || isfloatconst(r);
    if (ty::isfloating(tc)) {
        if (op == 68 && isfloatconst(r) && floatvalue(r) == 0.0) {
            markzero(P, r, op, e);
            return e;
        }
        if (lconst && rconst) {
            double a = constdouble(l), b = constdouble(r), v = 0;
            switch (op) {
            case 97: v = a + b; break;
            case 98: v = a - b; break;
            case 99: v = a * b; break;
            default: v = a / b; break;
            }
            if (tc == ty::Float) v = static_cast<double>(static_cast<float>(v));
            dropexpr(P, l);
            dropexpr(P, r);
            return mkfloat(P, v, type);
        }
    } else if (isintconst(l) && isintconst(r)) {
        uint32_t v = 0;
        if (!foldint(P, op, l, r, type, v)) {
            markzero(P, r, op, e);
            return e;
        }
        return mkconst(P, v, type);
    } else if (l->op == opc::Cond && isintconst(l->middle) && isintconst(l->right) && isintconst(r)) {
        uint32_t a = 0, b = 0;
        if (!foldint(P, op, l->middle, r, type, a) || !foldint(P, op, l->right, r, type, b)) {
            markzero(P, r, op, e);
            return e;
        }
        l->middle->value = a;
        l->right->value = b;
        l->middle->type = l->right->type = l->type = type;
        return l;
    }
    if ((op == 68 || op == 69) && isintconst(r) && r->value == 0) {
        markzero(P, r, op, e);
        return e;
    }
    if (rewrite) {
        if (ExprNode* x = rewriteafter(P, e)) return x;
        if (ExprNode* x = reassociate(P, e)) return x;
    }
    l = e->left;
    r = e->right;
    if (ty::isfloating(tcode(l)) && isintconst(r)) e->right = convertexpr(P, r, l->type);
    if ((op == 68 || op == 69) && ty::isfloating(tc)) P.ex.floatdivide = true;
    return e;
}

// Bounds the cascade of rewrites that build new nodes through binop.
struct RewriteDepth {
    Parser& P;
    explicit RewriteDepth(Parser& p) : P(p) { ++P.ex.rewrites; }
    ~RewriteDepth() { --P.ex.rewrites; }
    bool ok() const { return P.ex.rewrites <= kMaxRewrites; }
};

ExprNode* chainedzero(Parser& P, ExprNode* r) {
    if (!r || r->op != 95 || !r->right) return r;
    ExprNode* w = r->right;
    while (w->op == opc::Comma && w->right) w = w->right;
    if (w->op != 95 || !isintconst(w->right) || w->right->value != 0) return r;
    ExprNode* a = r->left;
    ExprNode* store = mknode(P, 95, r->type, a, mkconst(P, 0, a->type));
    if (!P.opt.cp && !P.ex.nclevel) {
        if (P.ex.opencond)
            forgetall(P);
        else
            recordvalue(P, store, store->right);
    }
    ExprNode* c = mknode(P, opc::Comma, r->type, r->right, store);
    c->nflags |= nf::NotLvalue;
    return c;
}

}  // namespace

ExprNode* binop(Parser& P, ExprNode* e) {
    if (!e || !e->left || !e->right || (e->op == opc::Cond && !e->middle)) return e;
    if (isassignop(e->op)) return chainedzero(P, assignop(P, e));
    RewriteDepth depth(P);
    replaceconst(P, &e->left);
    replaceconst(P, &e->right);
    ExprNode* l = e->left;
    ExprNode* r = e->right;
    uint16_t lc = tcode(l), rc = tcode(r);
    if (lc == ty::Void || (rc == ty::Void && e->op != opc::Cond)) {
        putdiag(P, "illegal void operation");
        e->type = P.types.sint;
        return e;
    }
    if (lc == ty::Struct || lc == ty::Union) {
        putdiag(P, "incompatible struct/union operation");
        e->type = l->type;
        return e;
    }
    decayexpr(P, l);
    decayexpr(P, r);
    if (iscompare(e->op)) return compare(P, e);
    if (e->op == opc::Cond) return condop(P, e);
    if (islogical(e->op)) return logical(P, e);
    if (!isbinary(e->op)) return e;
    return arithmetic(P, e, depth.ok());
}

}  // namespace cpppc

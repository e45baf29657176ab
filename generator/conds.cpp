// Conditions: the compare and branch of a conditional jump record, the
// short-circuit branch code of && || ! inside expressions, and the value of
// a condition or of the conditional operator (cntlzw for equality, isel for
// two leaves, branches otherwise).
//
// A condition is carried as its long branch code (141 less, 142 less or
// equal, 136 greater, 135 greater or equal, 138 equal, 143 not equal;
// 168-171 the unsigned less, less or equal, greater, greater or equal),
// with 139 "always" and 161 "never".
#include <algorithm>

#include "generator/gen.h"

namespace cg {

namespace {

struct CondRow {
    uint8_t code, op, inv, swapped, uns, unszero;
};
// branch code, operator, inverted, operands exchanged, unsigned, unsigned against 0
constexpr CondRow kConds[] = {
    {141, 149, 135, 136, 168, 161},
    {142, 150, 136, 135, 169, 138},
    {136, 143, 142, 141, 170, 143},
    {135, 144, 141, 142, 171, 139},
    {138, 148, 143, 138, 138, 138},
    {143, 155, 138, 143, 143, 143},
};
struct UnsRow {
    uint8_t code, inv, swapped;
};
constexpr UnsRow kUnsigned[] = {{168, 171, 170}, {169, 170, 171}, {170, 169, 168}, {171, 168, 169}};

const CondRow* byop(int op) {
    for (const CondRow& c : kConds)
        if (c.op == op) return &c;
    return nullptr;
}

const CondRow* bycode(int code) {
    for (const CondRow& c : kConds)
        if (c.code == code) return &c;
    return nullptr;
}

bool isunsignedtype(uint8_t t) {
    return t == ir::T_UCHAR || t == ir::T_USHORT || t == ir::T_UINT || t == ir::T_POINTER || isbitfield(t);
}


// The condition-register bit and sense that isel selects on: (bit, true
// when the condition is that bit set).
const char* iselbit(int code, bool& direct) {
    switch (code) {
        case 138: direct = true; return "eq";
        case 143: direct = false; return "eq";
        case 136: case 170: direct = true; return "gt";
        case 142: case 169: direct = false; return "gt";
        case 141: case 168: direct = true; return "lt";
        case 135: case 171: direct = false; return "lt";
        default: direct = true; return nullptr;
    }
}

void emittext(Gen& G, const std::string& t, int units) {
    G.store.addchars(t);
    countsize(G, units);
}

RegSet release(Gen& G, GenNode* n, RegSet s) { return forceloc(G, n, W_NOVALUE, s, 0); }

}  // namespace

int invertcond(int code) {
    if (const CondRow* c = bycode(code)) return c->inv;
    for (const UnsRow& u : kUnsigned)
        if (u.code == code) return u.inv;
    if (code == 139) return 161;
    if (code == 161) return 139;
    return 0;
}

int swapcond(int code) {
    if (const CondRow* c = bycode(code)) return c->swapped;
    for (const UnsRow& u : kUnsigned)
        if (u.code == code) return u.swapped;
    return code;
}

int opcond(int op) {
    const CondRow* c = byop(op);
    return c ? c->code : 0;
}

uint8_t cmptype(const GenNode* l, const GenNode* r) {
    uint8_t lt = l->typecode(), rt = r->typecode();
    if (lt == ir::T_POINTER) lt = ir::T_UINT;
    if (rt == ir::T_POINTER) rt = ir::T_UINT;
    if (rt == ir::T_UCHAR || rt == ir::T_USHORT) return rt;
    if (lt == ir::T_CHARBITS && ((isplainconst(r) && rt == ir::T_UCHAR) || rt == ir::T_CHAR)) return ir::T_CHARBITS;
    return lt > rt ? lt : rt;
}

int prepcompare(Gen& G, GenNode* cmp, GenNode*& l, GenNode*& r, int cond) {
    (void)G;
    if (isplainconst(l) && isplainconst(r) && l->typecode() <= ir::T_UINT && r->typecode() <= ir::T_UINT) {
        int32_t a = l->value, b = r->value;
        bool uns = isunsignedtype(cmptype(l, r)) && cmptype(l, r) >= ir::T_USHORT;
        uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
        bool t = false;
        switch (cond) {
            case 141: t = uns ? ua < ub : a < b; break;
            case 142: t = uns ? ua <= ub : a <= b; break;
            case 136: t = uns ? ua > ub : a > b; break;
            case 135: t = uns ? ua >= ub : a >= b; break;
            case 138: t = a == b; break;
            case 143: t = a != b; break;
        }
        return t ? 139 : 161;
    }
    if (isplainconst(l) || (l->isleaf() && !r->isleaf())) {
        std::swap(l, r);
        cond = swapcond(cond);
    }
    uint8_t ct = cmptype(l, r);
    makenode(cmp, G_COMPARE, ct, 0, l, r);
    if (isunsignedtype(ct) && ct != ir::T_FLOAT && ct != ir::T_DOUBLE) {
        const CondRow* c = bycode(cond);
        if (c) cond = (isplainconst(r) && r->value == 0) ? c->unszero : c->uns;
    }
    return cond;
}

namespace {
// The compare node's code; its registers go back.
RegSet gencompare(Gen& G, GenNode* cmp, RegSet s) {
    s = genbinop(G, cmp, 0, s, nullptr);
    if (!setvalid(s)) return s;
    return release(G, cmp, s);
}
}  // namespace

RegSet sideeffects(Gen& G, GenNode* n, RegSet s) {
    if (!n || !setvalid(s)) return s;
    // a volatile object is read even where its value goes unused
    if (n->isleaf()) return (n->indir && isvolatile(n)) ? genexpr(G, n, W_NOVALUE, s, 0) : s;
    switch (n->op) {
        case ir::O_IND: return isvolatile(n) ? genexpr(G, n, W_NOVALUE, s, 0) : sideeffects(G, n->left, s);
        // a call inside may need registers the caller holds: a failure goes
        // back to the caller, which tries another way
        case ir::O_POSTINC: case ir::O_POSTDEC:
        case ir::O_CALL: case ir::O_CALLARGS: case ir::O_ASM: case ir::O_ASMARGS:
        case ir::O_ASSIGN: case 114: case 115:
            return genexpr(G, n, W_NOVALUE, s, 0);
        // operands that are evaluated only on a condition keep their branches
        case ir::O_COND: case ir::O_ANDAND: case ir::O_OROR:
            return genexpr(G, n, W_NOVALUE, s, 0);
        default:
            if (isasgn(n->op)) return genexpr(G, n, W_NOVALUE, s, 0);
            s = sideeffects(G, n->left, s);
            if ((n->op & 0x80) && n->right) s = sideeffects(G, n->right, s);
            return s;
    }
}

RegSet gencond(Gen& G, InsertPoint* ip, int cond, uint16_t label, GenNode* l, GenNode* r, RegSet s) {
    if (!setvalid(s)) return s;
    GenNode* cmp = newnode(G);
    cond = prepcompare(G, cmp, l, r, cond);
    if (cond == 161 || cond == 139) {
        s = sideeffects(G, l, s);
        s = sideeffects(G, r, s);
        if (cond == 139) {
            if (ip) {
                flushcode(G, ip);
                LabelRecord* lr = findlabel(G, label);
                *ip = appendinsn(*ip, newinsn(G, IK_JUMP, lr, 2));
                ++lr->refs;
            } else {
                emittext(G, " b " + labeltext(label) + ";", 2);
            }
        }
        return s;
    }
    s = gencompare(G, cmp, s);
    // a call inside needs registers the caller holds: the caller tries again
    if (!setvalid(s)) return s;
    if (ip) {
        flushcode(G, ip);
        LabelRecord* lr = findlabel(G, label);
        *ip = appendinsn(*ip, newinsn(G, static_cast<uint8_t>(cond), lr, 2));
        ++lr->refs;
    } else {
        emittext(G, std::string(" ") + branchname(static_cast<uint8_t>(cond)) + " " + labeltext(label) + ";", 2);
    }
    return s;
}

// The statement's text so far becomes a code node before a branch node.
void flushcode(Gen& G, InsertPoint* ip) {
    if (!G.store.pending() && G.ex.size == 0) return;
    G.store.addchars("`");
    InsnNode* n = newinsn(G, IK_CODE, nullptr, static_cast<uint16_t>(std::max(G.ex.size, 1)));
    n->text = G.store.claim();
    if (G.opt.l) notesource(G, n);
    *ip = appendinsn(*ip, n);
    G.ex.size = 0;
}

InsertPoint genjump(Gen& G, InsertPoint ip, int code, uint16_t label, GenNode* left, GenNode* right) {
    G.ex.size = 0;
    RegSet s = G.regs.base;
    setor(s, G.regs.freeset);
    InsertPoint p = ip;
    if (!setvalid(gencond(G, &p, code, label, left, right, s))) genpanic(G, "X ? Y");
    flushcode(G, &p);
    return p;
}

// Branch code that reaches f when the condition is false (jumpfalse) or t
// when it is true (jumptrue); the text goes straight into the code text.
RegSet jumpbranch(Gen& G, GenNode* c, uint16_t target, bool whentrue, RegSet s) {
    if (!setvalid(s)) return s;
    switch (c->op) {
        case ir::O_COMMA:
            s = sideeffects(G, c->left, s);
            return jumpbranch(G, c->right, target, whentrue, s);
        case ir::O_NOT: return jumpbranch(G, c->left, target, !whentrue, s);
        case ir::O_ANDAND:
            if (!whentrue) {
                s = jumpbranch(G, c->left, target, false, s);
                return jumpbranch(G, c->right, target, false, s);
            } else {
                uint16_t skip = genlabel(G);
                s = jumpbranch(G, c->left, skip, false, s);
                s = jumpbranch(G, c->right, target, true, s);
                emittext(G, labeltext(skip) + ":;", 0);
                return s;
            }
        case ir::O_OROR:
            if (whentrue) {
                s = jumpbranch(G, c->left, target, true, s);
                return jumpbranch(G, c->right, target, true, s);
            } else {
                uint16_t skip = genlabel(G);
                s = jumpbranch(G, c->left, skip, true, s);
                s = jumpbranch(G, c->right, target, false, s);
                emittext(G, labeltext(skip) + ":;", 0);
                return s;
            }
        default: break;
    }
    int cond = opcond(c->op);
    GenNode* l = c->left;
    GenNode* r = c->right;
    if (!cond || !l || !r) {
        cond = 143;
        l = c;
        r = zeroleaf(G);
        uint8_t ct = c->typecode();
        r->type = ct == 0 ? uint8_t{ir::T_INT} : ct == ir::T_POINTER ? uint8_t{ir::T_UINT} : ct;
    }
    if (!whentrue) cond = invertcond(cond);
    return gencond(G, nullptr, cond, target, l, r, s);
}

// The value of c ? x : y (x, y none: 1 and 0) into a register of n.
RegSet gencondvalue(Gen& G, GenNode* n, GenNode* c, GenNode* x, GenNode* y, RegSet s) {
    uint32_t type = n->typecode() >= 1 && n->typecode() <= 8 ? n->type : uint32_t{ir::T_INT};
    auto constleaf = [&](int32_t v) {
        GenNode* k = zeroleaf(G);
        k->type = type;
        k->value = v;
        return k;
    };
    if (!x) {
        x = constleaf(1);
        y = constleaf(0);
    }
    int cond = opcond(c->op);
    uint8_t ct = c->left && c->right && cond ? cmptype(c->left, c->right) : 0;
    bool intcmp = cond && ct && ct <= ir::T_UINT;
    // equality as a value: cntlzw of the difference
    if (intcmp && isplainconst(x) && isplainconst(y) && ((cond == 138 && x->value == 1 && y->value == 0) ||
                                                         (cond == 143 && x->value == 0 && y->value == 1))) {
        GenNode* d;
        if (isplainconst(c->right) && c->right->value == 0) {
            d = c->left;
        } else {
            d = newnode(G);
            makenode(d, ir::O_SUB, ct <= ir::T_INT && ct != ir::T_UCHAR && ct != ir::T_USHORT ? ir::T_INT : ir::T_UINT, 0, c->left, c->right);
        }
        Snapshot snap;
        savestate(G, snap, &s);
        RegSet t = genexpr(G, d, LK_REG, s, ir::T_INT);
        if (setvalid(t)) {
            uint8_t rr = plainreg(d->loc.reg);
            std::string rn = genregname(rr);
            if (d->loc.indir == 0 && rr >= 1 && rr <= 32 && (d->flags & NF_OWNSREG)) {
                std::string text = " cntlzw " + rn + "," + rn + "; srwi " + rn + "," + rn + ",5;";
                if (cond == 143) text += " xori " + rn + "," + rn + ",1;";
                emittext(G, text, cond == 143 ? 6 : 4);
                cacheforget(G, rr);
                n->loc = d->loc;
                n->loc.type = type;
                n->flags = d->flags;
                return t;
            }
            t = release(G, d, t);
        }
        restorestate(G, snap, &s);
    }
    // two leaves: isel
    auto iselable = [](GenNode* v) {
        return v->isleaf() && !(v->leafflags & LF_VOLATILE) && v->typecode() >= 1 && v->typecode() <= 8 &&
               !isbitfield(v->type);
    };
    if (intcmp && iselable(x) && iselable(y)) {
        Snapshot snap;
        savestate(G, snap, &s);
        RegSet t = s;
        GenNode* cmp = newnode(G);
        GenNode* l = c->left;
        GenNode* r = c->right;
        int cc = prepcompare(G, cmp, l, r, cond);
        bool direct = true;
        const char* bit = (cc == 139 || cc == 161) ? nullptr : iselbit(cc, direct);
        if (bit) {
            t = gencompare(G, cmp, t);
            GenNode* a = direct ? x : y;  // selected when the bit is set
            GenNode* b = direct ? y : x;
            bool azero = isplainconst(a) && a->value == 0;
            bool bzero = isplainconst(b) && b->value == 0;
            if (setvalid(t) && !azero) t = genexpr(G, a, LK_REG, t, ir::T_INT);
            if (setvalid(t) && !bzero) t = genexpr(G, b, LK_REG, t, ir::T_INT);
            GenNode dest;
            if (setvalid(t)) {
                // r0 stands for 0 only in the first operand: a 0 in the second is loaded
                std::string an = azero ? "r0" : genregname(plainreg(a->loc.reg));
                std::string bn;
                if (bzero) {
                    if (!allocreg(G, &dest, LK_REG, t, ir::T_INT, nullptr)) t = failset();
                    if (setvalid(t)) {
                        setdel(t, dest.loc.reg);
                        emittext(G, " li " + genregname(dest.loc.reg) + ",0;", 1);
                        bn = genregname(dest.loc.reg);
                        if (!azero) t = release(G, a, t);
                    }
                } else {
                    bn = genregname(plainreg(b->loc.reg));
                    if (!azero) t = release(G, a, t);
                    t = release(G, b, t);
                    if (setvalid(t) && !allocreg(G, &dest, LK_REG, t, ir::T_INT, nullptr)) t = failset();
                    if (setvalid(t)) setdel(t, dest.loc.reg);
                }
                if (setvalid(t)) {
                    std::string dn = genregname(dest.loc.reg);
                    emittext(G, std::string(" isel") + bit + " " + dn + "," + an + "," + bn + ";", 2);
                    cacheforget(G, dest.loc.reg);
                    n->loc = dest.loc;
                    n->loc.type = type;
                    n->flags = NF_OWNSREG;
                    return t;
                }
            }
        }
        restorestate(G, snap, &s);
    }
    // branches
    uint16_t f = genlabel(G), end = genlabel(G);
    s = jumpbranch(G, c, f, false, s);
    if (!setvalid(s)) return s;
    GenNode dest;
    uint32_t k = LK_REG;
    uint8_t want = n->typecode() ? n->typecode() : uint8_t{ir::T_INT};
    if (!isplainconst(x) || true) {
        RegSet t = genexpr(G, x, k, s, want);
        if (!setvalid(t)) return failset();
        uint8_t xr = plainreg(x->loc.reg);
        if (!(x->flags & NF_OWNSREG) || x->loc.indir) {
            t = forceloc(G, x, LK_REG, t, want);
            if (!setvalid(t)) return t;
            xr = plainreg(x->loc.reg);
        }
        if (!(x->flags & NF_OWNSREG)) {
            // a register the value only borrows: copy it into one of its own
            if (!allocreg(G, &dest, LK_REG, t, want, nullptr)) return failset();
            setdel(t, dest.loc.reg);
            emittext(G, " mr " + genregname(dest.loc.reg) + "," + genregname(xr) + ";", 1);
            if (ispair(dest.loc.reg)) genpanic(G, "? X");
            xr = dest.loc.reg;
            x->loc.reg = xr;
            x->flags |= NF_OWNSREG;
        }
        emittext(G, " b " + labeltext(end) + ";" + labeltext(f) + ":;", 2);
        // y into the same register
        RegSet u = t;
        ownregs(x, &u, 1);
        uint8_t hint = G.ex.hint;
        G.ex.hint = xr;
        u = genexpr(G, y, k, u, want);
        G.ex.hint = hint;
        // a call in y needs registers the caller holds: the caller tries again
        if (!setvalid(u)) return u;
        if (plainreg(y->loc.reg) != xr || y->loc.indir) {
            // the move leaves y in x's register: the registers y held go back
            GenNode held;
            held.loc = y->loc;
            held.flags = y->flags;
            GenNode* target = locleaf(G, x->loc, 0);
            u = movevalue(G, target, y, u);
            if (!setvalid(u)) return u;
            ownregs(&held, &u, 1);
        }
        u = release(G, y, u);
        setdel(u, xr);
        emittext(G, labeltext(end) + ":;", 0);
        regcache(G, nullptr, nullptr, 0);
        n->loc = x->loc;
        n->loc.type = n->typecode() ? n->type : type;
        n->flags = NF_OWNSREG;
        return u;
    }
    return s;
}

}  // namespace cg

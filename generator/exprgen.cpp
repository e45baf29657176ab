// Expression code: genexpr walks a tree bottom-up and leaves its value where
// the caller's wanted kinds accept it; two-operand operators try four
// evaluation orders (the last two spill the first operand), each from a
// snapshot that a failed order rolls back. The statement-level entries make
// code-list text nodes: genvoid (an expression statement), genloop (the two
// ends of a counted loop) and genasm (inline assembly).
#include <algorithm>

#include "generator/gen.h"

namespace cg {

namespace {

uint8_t fieldcontainer(uint32_t type) {
    switch (type & 15) {
        case ir::T_CHARBITS: return ir::T_UCHAR;
        case ir::T_SHORTBITS: return ir::T_USHORT;
        case ir::T_INTBITS: return ir::T_UINT;
        default: return static_cast<uint8_t>(type & 15);
    }
}

uint8_t ownertype(uint32_t type) { return isbitfield(type) ? fieldcontainer(type) : static_cast<uint8_t>(type & 15); }

RegSet genleaf(Gen& G, GenNode* n, uint32_t& w, RegSet s, uint8_t t) {
    if ((w & W_NOVALUE) && (n->leafflags & LF_VOLATILE) && n->indir) {
        treeloc(n);
        n->flags = 0;
        s = forceloc(G, n, LK_REG | LK_FLOATREG, s, ownertype(n->type));
        if (setvalid(s)) n->flags |= NF_OWNSREG;
        (void)t;
        return s;
    }
    n->flags = (w & W_OWN) ? uint32_t{NF_OWNSREG} : 0u;
    w &= ~W_OWN;
    treeloc(n);
    if (n->leafflags & LF_PARAMREG) {
        if (n->indir == 1 && !isbitfield(n->type) && paramreg(G, n, &s)) {
            n->flags |= NF_OWNSREG;
            G.fn.frameflags |= FF_EXTENDPARAMS;
            if (G.opt.no) G.fn.frameflags |= FF_STOREPARAMS;
        } else {
            // read from its home slot: the prologue must store it there
            if (n->indir == 1) paramreg(G, n, nullptr);
            G.fn.frameflags |= FF_STOREPARAMS;
            n->loc.access &= ~uint32_t{LF_PARAMREG};
        }
    }
    if (n->storage == kFrameTemp) {
        n->loc.reg = kFrameSlot;
        n->flags |= NF_OWNSREG;
    }
    return s;
}

RegSet gencast(Gen& G, GenNode* n, uint32_t w, RegSet s) {
    GenNode* c = n->left;
    uint32_t k = w;
    if ((treekinds(G, c) & LK_REUSABLE) && n->typecode() != c->typecode() &&
        unsignedtype(n->typecode()) == unsignedtype(c->typecode()))
        k &= ~uint32_t{LK_REUSABLE};
    if (n->typecode() < 3)
        k = LK_REG;
    else if (!(k & (LK_REUSABLE | LK_REG | LK_FLOATREG)))
        k |= LK_REG | LK_FLOATREG;
    s = genexpr(G, c, k, s, n->typecode());
    if (!setvalid(s)) return s;
    uint32_t ck = curkinds(G, c);
    uint8_t r = c->loc.reg;
    if (r >= gpr(3) && r <= gpr(12) && r <= G.ex.limit) ck |= LK_REG;
    if ((ck & (LK_REG | LK_REUSABLE)) && c->loc.indir == 0 && n->typecode() != (c->loc.type & 15) &&
        unsignedtype(n->typecode()) == unsignedtype(c->loc.type & 15) && n->typecode() < 6 && !ispair(r) && r &&
        r <= 32) {
        const char* kind = extkind(n->typecode());
        if (*kind) {
            G.store.addchars(exttext(kind, r) + ";");
            countsize(G, 1);
            cacheforget(G, r);
        }
    }
    n->flags = c->flags;
    n->loc = c->loc;
    n->loc.type = n->type;
    n->loc.attr = n->attr | (c->loc.attr & LF_INDIRECT);
    return s;
}

RegSet genind(Gen& G, GenNode* n, uint32_t w, RegSet s) {
    GenNode* p = n->left;
    uint8_t hint = G.ex.hint;
    G.ex.hint = 0;
    s = genexpr(G, p, LK_CONST | LK_REUSABLE | LK_REG | LK_ADDR, s, p->typecode());
    if (setvalid(s) && n->typecode() == ir::T_DOUBLE && p->loc.index) s = forceloc(G, p, LK_REG, s, 0);
    if (!setvalid(s)) {
        G.ex.hint = hint;
        return s;
    }
    n->flags = p->flags & (NF_OWNSREG | NF_OWNSINDEX);
    n->loc = p->loc;
    n->loc.indir = static_cast<uint8_t>(p->loc.indir + 1);
    n->loc.type = n->type;
    n->loc.attr = n->attr;
    n->loc.access = (p->loc.access & LF_BASEOFF) | p->loc.attr;
    if (p->loc.access & LF_PARAMREG) n->loc.access |= LF_PARAMREG;
    if (w & W_NOVALUE) {
        s = forceloc(G, n, LK_REG | LK_FLOATREG, s, ownertype(n->type));
        if (setvalid(s)) n->flags |= NF_OWNSREG;
    }
    if (setvalid(s) && (n->loc.access & LF_PARAMREG)) {
        if (n->loc.indir == 1 && !isbitfield(n->type)) paramreg(G, n, nullptr);
        G.fn.frameflags |= FF_STOREPARAMS;
        n->loc.access &= ~uint32_t{LF_PARAMREG};
    }
    G.ex.hint = hint;
    return s;
}

// a << k | a >> (32 - k) with the same a: one rotate.
const GenNode* shiftee(const GenNode* n) {
    if (n->op == ir::O_CAST && (n->typecode() == ir::T_INT || n->typecode() == ir::T_UINT)) return n->left;
    return n;
}

RegSet genor(Gen& G, GenNode* n, uint32_t w, RegSet s) {
    GenNode* a = n->left;
    GenNode* b = n->right;
    uint8_t t = unsignedtype(n->typecode());
    if (t == ir::T_UINT && a && b) {
        if (a->op == ir::O_SHR) std::swap(a, b);
        if (a->op == ir::O_SHL && b->op == ir::O_SHR && isplainconst(a->right) && isplainconst(b->right) &&
            b->typecode() == ir::T_UINT && a->right->value > 0 && b->right->value > 0 &&
            a->right->value + b->right->value == 32 && sametree(shiftee(a->left), shiftee(b->left))) {
            GenNode* r = newnode(G);
            makenode(r, ir::O_SHL, n->type, n->attr, a->left, a->right);
            s = genbinop(G, r, LK_REG, s, &kRowRotate);
            if (!setvalid(s)) return s;
            n->loc = r->loc;
            n->flags = r->flags;
            return s;
        }
    }
    return genbinop(G, n, w, s, nullptr);
}

RegSet genaddr(Gen& G, GenNode* n, uint32_t w, RegSet s) {
    GenNode* L = n->left;
    GenNode* R = n->right;
    if (isplainconst(R)) {
        s = genexpr(G, L, LK_CONST | LK_REUSABLE | LK_REG | LK_ADDR, s, n->typecode());
        if (!setvalid(s)) return s;
        if (L->loc.index && R->value) {
            s = forceloc(G, L, LK_REG, s, 0);
            if (!setvalid(s)) return s;
        }
        int64_t off = int64_t{L->loc.offset} + R->value;
        n->flags = L->flags;
        n->loc = L->loc;
        n->loc.type = n->type;
        n->loc.offset = static_cast<int32_t>(static_cast<uint32_t>(off));
        if (off < -32768 || off > 32767) {
            int32_t old = n->loc.offset;
            n->loc.offset = 0;
            s = forceloc(G, n, LK_REG, s, 0);
            if (!setvalid(s)) return s;
            uint32_t u = static_cast<uint32_t>(old);
            int32_t high = static_cast<int16_t>((u >> 16) + ((u & 0x8000) ? 1 : 0));
            G.store.addchars(" addis " + genregname(plainreg(n->loc.reg)) + "," + std::to_string(high) + ";");
            countsize(G, 2);
            cacheforget(G, plainreg(n->loc.reg));
            n->loc.offset = static_cast<int16_t>(u & 0xFFFF);
        }
        return s;
    }
    if (!(R->isleaf() && barestorage(R) && (R->leafflags & LF_DIRECT) && false)) {
        s = genbinop(G, n, LK_REUSABLE | LK_REG, s, &kRowAddrArith);
        if (!setvalid(s)) return s;
        n->loc.index = plainreg(R->loc.reg);
        if (R->flags & NF_OWNSREG) n->flags |= NF_OWNSINDEX;
        n->loc.attr |= R->loc.attr & 0x180;
        (void)w;
        return s;
    }
    return s;
}

}  // namespace

RegSet genexpr(Gen& G, GenNode* n, uint32_t w, RegSet s, uint8_t t) {
    if (!setvalid(s)) return s;
    bool own = true;
    switch (n->op) {
        case 0: s = genleaf(G, n, w, s, t); break;
        case 90: case 130: case 143: case 144: case 148: case 149: case 150: case 155: case 157:
            s = gencondvalue(G, n, n, nullptr, nullptr, s);
            break;
        case ir::O_COND: s = gencondvalue(G, n, n->left, n->middle, n->right, s); break;
        case ir::O_CALL: case ir::O_CALLARGS: case ir::O_ASM: case ir::O_ASMARGS:
            s = gencall(G, n, w, s);
            break;
        case ir::O_CAST: s = gencast(G, n, w, s); break;
        case ir::O_IND: s = genind(G, n, w, s); break;
        case 114: case 115: case 134: case 135: case 137: case 138: case 139: case 140: case 141: case 142:
        case 145: case 146:
            s = genasgn(G, n, w, s, LK_SPR | LK_REG | LK_REUSABLE | LK_MEMREG);
            break;
        case ir::O_ASSIGN: {
            GenNode* L = n->left;
            uint8_t reg = L->isleaf() && L->indir == 0 && L->name.empty() && L->value == 0 ? L->storage : 0;
            bool regvar = ((reg >= gpr(3) && reg <= gpr(31)) || ispair(reg)) && !usesstorage(n->right, reg);
            uint8_t hint = G.ex.hint;
            bool wasfree = regvar && setin(s, reg);
            if (regvar) {
                G.ex.hint = reg;
                setadd(s, reg);
            }
            s = genasgn(G, n, w, s, LK_SPR | LK_REG | LK_REUSABLE | LK_MEMREG);
            if (regvar) {
                G.ex.hint = hint;
                if (setvalid(s) && !wasfree) setdel(s, reg);
                setdel(G.regs.scratch, reg);
            }
            break;
        }
        case G_CSEREF:
            n->loc = n->left->loc;
            n->flags = n->left->flags & ~uint32_t{NF_OWNSREG | NF_OWNSINDEX};
            break;
        case ir::O_OR: s = genor(G, n, w, s); break;
        case ir::O_POSTDEC: case ir::O_POSTINC: s = genincdec(G, n, w, s); break;
        case ir::O_COMMA: {
            s = genexpr(G, n->left, W_NOVALUE, s, n->left->typecode());
            if (!setvalid(s)) return s;
            s = genexpr(G, n->right, w, s, t);
            if (!setvalid(s)) return s;
            n->loc = n->right->loc;
            n->flags = n->right->flags;
            if (w == W_PUSH) t = n->right->typecode();
            own = false;
            break;
        }
        case G_CSEBIND: s = genbind(G, n, w, s, t); own = false; break;
        case ir::O_ADD:
            if (w & W_ADDRARITH) {
                s = genaddr(G, n, w, s);
                break;
            }
            s = genbinop(G, n, w, s, nullptr);
            break;
        case 67: case 108: case 133: case 151: case 153: case 160: case 163: case 164: case 174: case 193:
        case 216: case 226:
            s = genbinop(G, n, w, s, nullptr);
            break;
        default: genpanic(G, "FIXOP");
    }
    if (!setvalid(s)) return s;
    if (own && !isbitfield(n->type) && !isasgn(n->op) && n->op != ir::O_ASSIGN && n->op != G_CSEBIND &&
        n->typecode() != 0 && unsignedtype(n->typecode()) != unsignedtype(n->loc.type & 15) &&
        unsignedtype(n->typecode()) != unsignedtype(t)) {
        s = forceloc(G, n, w, s, n->typecode());
        if (!setvalid(s)) return s;
    }
    return forceloc(G, n, w, s, t);
}

RegSet genbinop(Gen& G, GenNode* n, uint32_t w, RegSet s, const Row* R) {
    Snapshot snap;
    savestate(G, snap, &s);
    GenNode* L = n->left;
    GenNode* Rt = n->right;
    bool asg = isasgn(n->op) || n->op == ir::O_ASSIGN;
    uint32_t lk;
    if (!R) {
        R = findtemplate(G, n, 0);
        if (!R) genpanic(G, "MISSING ENTRY");
        lk = classmask(R->left);
        bool keep = ((w & W_NOVALUE) && R->text && (R->text[0] == '&' || R->text[0] == 'O')) || n->op == G_COMPARE ||
                    n->op == G_COPY || (R->flags & RF_NOVALUE);
        if (!keep) lk &= LK_REG | LK_FLOATREG;
        if (!lk) lk = classmask(R->left);
    } else {
        lk = classmask(R->left);
    }
    lk = combine(w & ~uint32_t{W_NOVALUE | W_OWN}, lk);
    if (n->op == ir::O_ASSIGN) lk |= W_DEST;
    uint32_t rk = classmask(R->right) | W_RELEASE | (w & W_OWN);
    if (w & W_NOVALUE) lk |= W_RELEASE;
    uint8_t ltype = static_cast<uint8_t>(R->left & 15);
    uint8_t rtype = R->right < 0x10 ? Rt->typecode() : static_cast<uint8_t>(R->right & 15);
    if (R->left < 0x10) ltype = L->typecode();
    bool found = false;
    RegSet result = failset();
    for (int order = 0; order < 4 && !found; ++order) {
        restorestate(G, snap, &s);
        RegSet cur = s;
        bool leftfirst = (order == 0 || order == 2) != asg;
        if (order >= 2) leftfirst = order == 2;
        GenNode* first = leftfirst ? L : Rt;
        GenNode* second = leftfirst ? Rt : L;
        uint32_t fk = leftfirst ? lk : rk, sk = leftfirst ? rk : lk;
        uint8_t ft = leftfirst ? ltype : rtype, st = leftfirst ? rtype : ltype;
        cur = genexpr(G, first, fk, cur, ft);
        if (!setvalid(cur)) {
            if (order == 2) genpanic(G, "LTR bop");
            if ((order < 2 && first == L) || (order == 3 && first == Rt)) break;
            continue;
        }
        uint8_t pushedfrom = 0;
        if (order >= 2) {
            pushedfrom = plainreg(first->loc.reg);
            cur = pushvalue(G, first, fk & ~uint32_t{W_RELEASE | W_DEST}, cur);
            if (!setvalid(cur)) continue;
        }
        cur = genexpr(G, second, sk, cur, st);
        if (!setvalid(cur)) continue;
        if (order >= 2 && (first->loc.reg & kPushedBit) && first->loc.reg != (kPushedBit | kPushedAddr) &&
            plainreg(second->loc.reg) == pushedfrom && pushedfrom) {
            GenNode blank;
            if (!allocreg(G, &blank, LK_REG, cur, first->loc.type & 15, nullptr)) break;
            first->loc.reg = static_cast<uint8_t>(blank.loc.reg | kPushedBit);
        }
        RegSet after = emittemplate(G, n, R, cur);
        if (setvalid(after)) {
            if (L->isleaf() && (L->leafflags & LF_PARAMREG) && n->op != G_COMPARE) dropparam(G, L, false);
            result = after;
            found = true;
        }
    }
    if (!found) restorestate(G, snap, &s);
    if (w & W_OWN) Rt->flags |= NF_OWNSREG;
    return found ? result : failset();
}

namespace {

// The value of n, in a register of its own, stored into L. When the value
// is used, the register that holds it stays the result (the store would
// make the result the place stored to and lose the register).
RegSet storevalue(Gen& G, GenNode* L, GenNode* n, uint32_t w, RegSet s) {
    if (w & W_NOVALUE) {
        n->flags |= NF_RELEASEAFTER;
        return movevalue(G, L, n, s);
    }
    Location held = n->loc;
    uint32_t heldflags = n->flags;
    uint8_t reg = plainreg(held.reg);
    bool inreg = held.indir == 0 && (heldflags & NF_OWNSREG) && ((reg >= 1 && reg <= 64) || ispair(reg));
    s = movevalue(G, L, n, s);
    if (setvalid(s) && inreg) {
        // the result is the register, not the place: the place's registers go back
        ownregs(L, &s, 1);
        n->loc = held;
        n->flags = heldflags;
        setdel(s, reg);
    }
    return s;
}

}  // namespace

RegSet genasgn(Gen& G, GenNode* n, uint32_t w, RegSet s, uint32_t d) {
    GenNode* L = n->left;
    if (!n->typecode()) {
        n->type = L->type;
        n->attr = L->attr;
    }
    if (L->isleaf() && (L->leafflags & LF_PARAMREG)) dropparam(G, L, true);
    Snapshot snap;
    savestate(G, snap, &s);
    RegSet t = genexpr(G, L, d | W_DEST, s, L->typecode());
    if (!setvalid(t)) return t;
    uint32_t lkinds = curkinds(G, L);
    restorestate(G, snap, &s);
    const Row* R = nullptr;
    bool search = !(lkinds & LK_ADDR);
    if (search) R = findtemplate(G, n, 1);
    GenNode* Rt = n->right;
    if (!G.ex.hint && (barestorage(Rt) || isplainconst(Rt))) {
        RegSet probe = s;
        if (barestorage(Rt)) setadd(probe, barestorage(Rt));
        uint8_t h = regcache(G, &probe, L, 0x60);
        if (h) G.ex.hint = h;
    }
    if (R) {
        RegSet r = genbinop(G, n, w & (W_NOVALUE | W_OWN), s, R);
        if (setvalid(r)) {
            n->flags = L->flags & (NF_OWNSREG | NF_OWNSINDEX);
            return r;
        }
    }
    restorestate(G, snap, &s);
    if (n->op == ir::O_ASSIGN) {
        // the value first, into a register of its own (a conversion may call a
        // helper that needs r3 and r4); then the place it goes to
        GenNode* saved = n->left;
        GenNode* sub = zeroleaf(G);
        sub->type = L->type;
        sub->attr = L->attr;
        n->left = sub;
        RegSet r = genbinop(G, n, 0, s, nullptr);
        n->left = saved;
        if (!setvalid(r)) return r;
        uint8_t reg = plainreg(n->loc.reg);
        if (n->loc.indir == 0 && ((reg >= 1 && reg <= 64) || ispair(reg))) {
            n->flags |= NF_OWNSREG;
            setdel(r, reg);
        }
        RegSet t = genexpr(G, L, d | W_DEST, r, L->typecode());
        if (!setvalid(t)) {
            RegSet p = pushvalue(G, n, LK_REG, r);
            if (setvalid(p)) t = genexpr(G, L, d | W_DEST, p, L->typecode());
            if (!setvalid(t)) return t;
            if (n->loc.reg & kPushedBit) {
                t = popvalue(G, n, t, 1, nullptr);
                if (!setvalid(t)) return t;
            }
        }
        return storevalue(G, L, n, w, t);
    }
    RegSet before = s;
    s = genexpr(G, L, d | W_DEST, s, L->typecode());
    if (!setvalid(s)) return s;
    uint32_t k = w & (W_NOVALUE | W_OWN);
    if (search) {
        R = findtemplate(G, n, 1);
        if (R) k |= w & W_NOVALUE;
    }
    GenNode* saved = n->left;
    GenNode* sub = locleaf(G, L->loc, L->flags);
    GenNode* dest = L;
    n->left = sub;
    RegSet r = genbinop(G, n, k, s, R);
    if (!setvalid(r) && !Rt->isleaf()) {
        // a call in the right needs the registers that hold the left's place:
        // the right first, into a register, then the place
        restorestate(G, snap, &s);
        RegSet t = genexpr(G, Rt, W_OWN | LK_REG | LK_FLOATREG, s, Rt->typecode());
        if (setvalid(t)) t = genexpr(G, L, d | W_DEST, t, L->typecode());
        if (setvalid(t)) {
            n->left = locleaf(G, L->loc, L->flags);
            n->right = locleaf(G, Rt->loc, Rt->flags);
            r = genbinop(G, n, k | ((Rt->flags & NF_OWNSREG) ? W_OWN : 0u), t, R);
            n->right = Rt;
        }
        if (!setvalid(r)) {
            restorestate(G, snap, &s);
            s = genexpr(G, L, d | W_DEST, s, L->typecode());
            if (!setvalid(s)) {
                n->left = saved;
                return s;
            }
        }
    }
    if (!setvalid(r)) {
        // the failed orders left sub where they put it: start again from the
        // place the left lies in, pushed; the operand is the pushed place
        sub = locleaf(G, L->loc, L->flags);
        RegSet p = pushvalue(G, sub, d, before);
        if (setvalid(p)) {
            GenNode* pushed = locleaf(G, sub->loc, sub->flags);
            n->left = pushed;
            int32_t base = G.ex.framebase;
            r = genbinop(G, n, k, p, R);
            if (setvalid(r) && !R) {
                // the value was read through a copy of the pushed address;
                // the store goes through the address popped at last
                if (G.ex.framebase != base || sub->loc.reg != (kPushedBit | kPushedAddr)) {
                    n->left = saved;
                    return failset();
                }
                GenNode* place = locleaf(G, sub->loc, 0);
                r = popvalue(G, place, r, 1, nullptr);
                dest = place;
            }
        }
    }
    n->left = saved;
    if (!setvalid(r)) return r;
    if (!R) {
        r = storevalue(G, dest, n, w, r);
    } else {
        n->flags = L->flags & (NF_OWNSREG | NF_OWNSINDEX);
    }
    return r;
}

RegSet genincdec(Gen& G, GenNode* n, uint32_t w, RegSet s) {
    GenNode* X = n->left;
    GenNode* A = n->right;
    if (X->isleaf() && (X->leafflags & LF_PARAMREG)) dropparam(G, X, true);
    s = genexpr(G, X, LK_SPR | LK_REG | LK_REUSABLE | LK_MEMREG, s, X->typecode());
    if (!setvalid(s)) return s;
    s = genexpr(G, A, LK_CONST, s, A->typecode());
    if (!setvalid(s)) return s;
    uint8_t xt = X->typecode();
    auto moveout = [&](uint8_t& reg) {
        if (reg != gpr(3) && reg != gpr(4)) return true;
        uint8_t nr = firstfree(G, s, gpr(5), gpr(12));
        if (!nr) return false;
        G.store.addchars(" mr " + genregname(nr) + "," + genregname(reg) + ";");
        countsize(G, 1);
        setadd(s, reg);
        setdel(s, nr);
        reg = nr;
        return true;
    };
    if ((xt == ir::T_FLOAT || xt == ir::T_DOUBLE) && X->loc.indir == 0 && !moveout(X->loc.reg)) return failset();
    if (X->loc.index && !moveout(X->loc.index)) return failset();
    n->loc = X->loc;
    n->flags = 0;
    bool inmem = X->loc.indir == 1 && X->loc.reg >= 1 && X->loc.reg <= 32 && xt >= 1 && xt <= 8;
    if ((w & W_ADDRARITH) && inmem) {
        Snapshot snap;
        savestate(G, snap, &s);
        RegSet t = s;
        ownregs(X, &t, 0);
        t = forceloc(G, n, LK_REG, t, ir::T_UINT);
        if (setvalid(t)) {
            GenNode* step = newnode(G);
            makenode(step, n->op == ir::O_POSTDEC ? ir::O_SUB : ir::O_ADD, ir::T_UINT, 0, n, A);
            const Row* r1 = n->op == ir::O_POSTDEC ? &kRowDecStep : &kRowIncStep;
            GenNode* nl = locleaf(G, n->loc, n->flags);
            step->left = nl;
            t = emittemplate(G, step, r1, t);
            if (setvalid(t)) {
                GenNode* back = newnode(G);
                // the row stores its left operand (the new value) into its right
                GenNode* xl = locleaf(G, X->loc, 0);
                makenode(back, ir::O_ASSIGN, X->type, X->attr, nl, xl);
                t = emittemplate(G, back, &kRowStoreBack, t);
            }
            if (setvalid(t)) {
                n->loc = nl->loc;
                n->flags = nl->flags | NF_OWNSREG;
                if (n->op == ir::O_POSTDEC)
                    n->loc.offset += A->value;
                else
                    n->loc.offset -= A->value;
                ownregs(X, &t, 1);
                return t;
            }
        }
        restorestate(G, snap, &s);
    }
    RegSet t = forceloc(G, n, LK_REG | LK_FLOATREG, s, ownertype(X->type) == ir::T_UCHAR || ownertype(X->type) == ir::T_USHORT || ownertype(X->type) == ir::T_UINT ? ownertype(X->type) : 0);
    if (!setvalid(t)) {
        t = pushvalue(G, X, LK_MEMREG, s);
        if (setvalid(t)) t = forceloc(G, n, LK_REG | LK_FLOATREG, t, 0);
        if (!setvalid(t)) return t;
    }
    GenNode* c = newnode(G);
    // the operand where it lies now: its registers stay X's
    GenNode* place = locleaf(G, X->loc, 0);
    makenode(c, static_cast<int16_t>(n->op == ir::O_POSTDEC ? ir::O_SUBASG : ir::O_ADDASG), X->type, X->attr, place, A);
    Snapshot snap;
    savestate(G, snap, &t);
    RegSet r = genasgn(G, c, W_NOVALUE, t, LK_SPR | LK_REG | LK_REUSABLE | LK_MEMREG);
    if (!setvalid(r)) {
        restorestate(G, snap, &t);
        RegSet p = pushvalue(G, n, LK_REG, t);
        if (setvalid(p)) r = genasgn(G, c, W_NOVALUE, p, LK_SPR | LK_REG | LK_REUSABLE | LK_MEMREG);
    }
    if (!setvalid(r)) {
        restorestate(G, snap, &t);
        return failset();
    }
    n->flags &= ~uint32_t{NF_SETCC};
    ownregs(X, &r, 1);
    return forceloc(G, X, W_NOVALUE, r, 0);
}

// ---- statements ----

namespace {

InsnNode* textnode(Gen& G, int32_t line) {
    G.store.addchars("`");
    InsnNode* i = newinsn(G, IK_CODE, nullptr, static_cast<uint16_t>(std::min<int32_t>(G.ex.size, 0xFFFF)));
    i->text = G.store.claim();
    i->firstline = i->lastline = line;
    if (G.opt.l) notesource(G, i);
    return i;
}

RegSet statementset(Gen& G) {
    RegSet s = G.regs.base;
    setor(s, G.regs.freeset);
    return s;
}

}  // namespace

InsnNode* genvoid(Gen& G, GenNode* e) {
    int32_t line = G.rd.line;
    G.ex.size = 0;
    RegSet s = statementset(G);
    if (!G.opt.nc) cse(G, e);
    RegSet r = genexpr(G, e, W_NOVALUE, s, e->typecode());
    if (!setvalid(r)) genpanic(G, "VOID");
    RegSet a = r, b = s;
    setand(a, G.regs.base);
    setand(b, G.regs.base);
    if (!setequal(a, b)) genpanic(G, "VOID");
    G.rd.line = line;
    return textnode(G, line);
}

InsnNode* genloop(Gen& G, GenNode* count, uint16_t label) {
    FuncState& f = G.fn;
    G.ex.size = 0;
    if (count) {
        LoopState ls;
        ls.label = label;
        if (isplainconst(count)) {
            ls.count = count->value;
            if (ls.count == 1) {
                f.loops.push_back(ls);
                return nullptr;
            }
            if (ls.count <= 0) {
                // a count that is not positive skips the body
                ls.never = true;
                ls.skip = genlabel(G);
                G.store.addchars(" b " + labeltext(ls.skip) + ";" + labeltext(label) + ":;");
                countsize(G, 2);
                f.loops.push_back(ls);
                return textnode(G, G.rd.line);
            }
        } else {
            ls.skip = genlabel(G);
        }
        RegSet s = statementset(G);
        s = genexpr(G, count, LK_REUSABLE | LK_REG, s, count->typecode());
        if (!setvalid(s)) genpanic(G, "LOOP");
        std::string r = genregname(plainreg(count->loc.reg));
        if (ls.skip) {
            uint8_t t = count->typecode();
            bool sign = t == ir::T_INT || t == ir::T_CHAR || t == ir::T_SHORT || t == ir::T_SHORTBITS ||
                        t == ir::T_INTBITS;
            G.store.addchars(" cmpi " + r + ",0; " + (sign ? "ble " : "beq ") + labeltext(ls.skip) + ";");
            countsize(G, 4);
        }
        G.store.addchars(" mtctr " + r + ";" + labeltext(label) + ":;");
        countsize(G, 2);
        f.frameflags |= FF_CTR;
        f.loops.push_back(ls);
        return textnode(G, G.rd.line);
    }
    if (f.loops.empty()) return nullptr;
    LoopState ls = f.loops.back();
    f.loops.pop_back();
    if (ls.count == 1) return nullptr;
    if (!ls.never) {
        G.store.addchars(" bdnz " + labeltext(ls.label) + ";");
        countsize(G, 2);
    }
    if (ls.skip) {
        G.store.addchars(labeltext(ls.skip) + ":;");
        countsize(G, 1);
    }
    return textnode(G, G.rd.line);
}

InsnNode* genasm(Gen& G, const std::string& text) {
    G.ex.size = 0;
    int32_t line = G.rd.line;
    G.fn.hasasm = true;
    asmcall(G, text);
    ++G.rd.line;
    return textnode(G, line);
}

}  // namespace cg

// Row selection: where an operand lies (its location kind, one bit), whether
// an operand fits an operand class, and findtemplate, which walks an
// operator's rows and returns the first whose three classes accept the left
// operand, the right operand and the result.
//
// The walk runs up to three times: first for operands where they lie, then
// accepting a right operand that will have to be loaded, then (when the left
// is still a tree) a left one too.
#include <bit>

#include "generator/gen.h"

namespace cg {

namespace {

// Type code -> rank, for comparing a type with a class.
constexpr uint8_t kRank[16] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 2, 14, 15};

uint8_t rank(uint8_t code) { return kRank[code & 15]; }

// What a place is made of, from tree fields or from a Location.
struct Place {
    uint8_t reg = 0, index = 0, indir = 0;
    bool named = false;
    int32_t offset = 0;
    uint32_t flags = 0;  // leaf or access flags
    uint32_t attr = 0;
};

uint32_t regkind(Gen& G, uint8_t c) {
    uint8_t lim = G.ex.limit;
    const RegSet& scratch = G.regs.scratch;
    if (c >= gpr(3) && c <= gpr(10)) return (c <= lim && setin(scratch, c)) ? LK_REUSABLE : LK_REG;
    if (c >= gpr(14) && c <= gpr(31)) return setin(G.fn.localregs, c) ? LK_REUSABLE : LK_REG;
    if (ispair(c)) {
        uint8_t first = static_cast<uint8_t>(c - 61);
        if (first >= gpr(14)) return setin(G.fn.localregs, c) ? LK_REUSABLE : LK_REG;
        if (c >= pairof(gpr(3)) && c <= pairof(gpr(9)))
            return (c - 60 <= lim && setin(scratch, c)) ? LK_REUSABLE : LK_REG;
        if (c == pairof(gpr(10))) return (lim > 10 && setin(scratch, gpr(10))) ? LK_REUSABLE : LK_REG;
    }
    return LK_REG;
}

uint32_t placekind(Gen& G, const Place& p) {
    if (p.reg == kPushSlot) return LK_PUSH;
    if (p.indir >= 2) return LK_MEMNAME;
    if (p.indir == 1) {
        if ((p.flags & LF_SPR) && !(p.flags & LF_FUNCTION)) return LK_SPR;
        if (p.flags & LF_BUILTIN) return LK_BITMEM;
        // without a base register even a short-addressed object (a short
        // constant) has to have its address loaded: no load takes a bare name
        if (p.reg == 0 && !(p.flags & LF_FUNCTION)) return LK_MEMNAME;
        return LK_MEMREG;
    }
    if (p.flags & LF_BASEOFF) return LK_ADDR;
    if (p.reg == 0) {
        if (p.named) return LK_ADDRNAME;
        return p.index ? LK_ADDR : LK_CONST;
    }
    if (p.reg == kFrameSlot || p.reg == kFrameTemp) return LK_ADDR;
    if ((p.reg >= 1 && p.reg <= 32) || ispair(p.reg)) {
        if (p.offset != 0 || p.named || p.index) return LK_ADDR;
        return regkind(G, p.reg);
    }
    return LK_ADDRNAME;  // floating registers, a pushed address
}

bool issubtract(int op) { return op == ir::O_SUB || op == ir::O_SUBASG || op == ir::O_POSTDEC; }

bool constfits(Gen& G, const GenNode* o, uint8_t cls, int op) {
    uint32_t v = static_cast<uint32_t>(o->value);
    int32_t sv = o->value;
    switch (cls) {
        case 0x09: return sci8fits(v);
        case 0x0A: return v <= 0xFFFF;
        case 0x0B: {
            uint8_t last = G.ex.lasttype;
            uint32_t width = last <= 2 ? 0xFF : last <= 5 ? 0xFFFF : 0xFFFFFFFF;
            return std::popcount(~v & width) == 1;
        }
        case 0x0C: return std::popcount(v) == 1;
        case 0x0D: return sv >= (issubtract(op) ? -32767 : -32768) && sv <= 32767;
        case 0x0E: return (v & 0xFFFF) == 0;
        default: return v == cls;
    }
}

}  // namespace

uint8_t unsignedtype(uint8_t code) {
    switch (code) {
        case ir::T_CHAR: return ir::T_UCHAR;
        case ir::T_SHORT: return ir::T_USHORT;
        case ir::T_INT: return ir::T_UINT;
        case ir::T_POINTER: return ir::T_UINT;
        case ir::T_OTHERFLOAT: return 0;
        default: return code;
    }
}

uint8_t containertype(uint8_t code) {
    switch (code) {
        case ir::T_SHORTBITS: return ir::T_USHORT;
        case ir::T_INTBITS: return ir::T_UINT;
        case ir::T_POINTER: return ir::T_UINT;
        case ir::T_OTHERFLOAT: return 0;
        case ir::T_CHARBITS: return ir::T_UCHAR;
        default: return code;
    }
}

bool sci8fits(uint32_t v) {
    for (int lane = 0; lane < 4; ++lane) {
        uint32_t outside = ~(0xFFu << (8 * lane));
        uint32_t rest = v & outside;
        if (rest == 0 || rest == outside) return true;
    }
    return false;
}

uint32_t fieldmask(uint32_t type) {
    uint32_t width = (type >> 10) & 63, pos = (type >> 4) & 63;
    if (width >= 32) return 0xFFFFFFFFu;
    if (pos >= 32) return 0;
    return static_cast<uint32_t>(((uint64_t{1} << width) - 1) << pos);
}

uint32_t treekinds(Gen& G, const GenNode* n) {
    if (!n->isleaf()) {
        if (n->op == ir::O_IND) return LK_MEMREG;
        if (n->op == G_CSEREF) return LK_REUSABLE;
        if (n->op == G_CSEBIND) return n->right ? treekinds(G, n->right) : 0;
        if (isasgn(n->op) && n->left) {
            if (isbitfield(n->left->type) && !isbitfield(n->type)) return 0;
            return treekinds(G, n->left);
        }
        return 0;
    }
    if (n->storage == kFrameSlot && n->indir == 1 && (n->leafflags & LF_PARAMREG))
        return (n->value >= 0 && n->value < G.fn.paramend) ? LK_REG : LK_MEMREG;
    Place p;
    p.reg = n->storage;
    p.index = n->indexstorage;
    p.indir = n->indir;
    p.named = !n->name.empty();
    p.offset = n->value;
    p.flags = n->leafflags;
    p.attr = n->attr;
    return placekind(G, p);
}

uint32_t curkinds(Gen& G, const GenNode* n) {
    const Location& l = n->loc;
    Place p;
    p.reg = (l.reg & kPushedBit) && l.reg != (kPushedBit | kPushedAddr) ? static_cast<uint8_t>(l.reg & 0x7F) : l.reg;
    if (p.reg == (kPushedBit | kPushedAddr)) p.reg = kPushedAddr;
    p.index = l.index;
    p.indir = l.indir;
    p.named = !l.name.empty();
    p.offset = l.offset;
    p.flags = l.access;
    p.attr = l.attr;
    uint32_t k = placekind(G, p);
    if (n->flags & NF_REUSABLE) k |= LK_REUSABLE;
    return k;
}

bool matchclass(Gen& G, const GenNode* o, uint8_t cls, uint32_t kinds, uint8_t type, int op) {
    if (cls < 0x0F) return isplainconst(o) && constfits(G, o, cls, op);
    if (cls == 0x0F) {
        if (!o->isleaf() || !o->name.empty() || o->storage || o->indir) return false;
        uint8_t own = o->typecode(), last = G.ex.lasttype;
        if ((last == ir::T_FLOAT || last == ir::T_DOUBLE) && own != last) return false;
        if ((own == ir::T_FLOAT || own == ir::T_DOUBLE) && last != own) return false;
        return true;
    }
    uint8_t ct = cls & 15;
    G.ex.lasttype = type;
    if (!isplainconst(o)) {
        if (rank(ct) < rank(type)) return false;
        if (kinds && rank(type) < rank(ct)) return false;
        if (!kinds && rank(ct) == 1 && op != G_COMPARE && op != ir::O_ASSIGN && op != ir::O_DIV && op != ir::O_MOD)
            return false;
    } else if (ct < type) {
        return false;
    }
    return !kinds || (kinds & classmask(cls));
}

const Row* findtemplate(Gen& G, GenNode* n, int bylocation) {
    const OpEntry* e = oplookup(n->op);
    if (!e || !n->left || !n->right) return nullptr;
    GenNode* L = n->left;
    GenNode* R = n->right;
    uint8_t lt = L->typecode(), rt = R->typecode(), rest = n->typecode();
    if (n->op == G_COMPARE && isbitfield(L->type)) rest = lt;
    if (!bylocation && n->op != G_COMPARE && n->op != ir::O_ASSIGN && rest != 0) lt = containertype(lt);
    if (e->unsignleft) {
        lt = unsignedtype(lt);
        rest = unsignedtype(rest);
    }
    if (e->unsignright) rt = unsignedtype(rt);
    uint32_t lk = 0;
    if (bylocation)
        lk = curkinds(G, L);
    else if (n->op == G_COMPARE || n->op == ir::O_ASSIGN || n->op == G_COPY || (n->op == ir::O_AND && rest == 0))
        lk = treekinds(G, L);
    uint32_t rk = treekinds(G, R);
    std::span<const Row> rows = e->list->rows;
    for (;;) {
        uint32_t resk = 0;
        if (n->op == G_COPY || ((lk & LK_MEMREG) && (isasgn(n->op) || n->op == G_COMPARE))) resk = lk;
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            if ((row.flags & RF_NOVALUE) && rest != 0) continue;
            if (!matchclass(G, L, row.left, lk, lt, n->op)) continue;
            if (!matchclass(G, R, row.right, rk, rt, n->op)) continue;
            if (!matchclass(G, n, row.left, resk, rest, n->op)) continue;
            if (row.skip()) {
                i += static_cast<size_t>(row.skipcount());
                continue;
            }
            return &row;
        }
        if (rk) {
            rk = 0;
        } else if (!bylocation && lk) {
            lk = 0;
        } else {
            return nullptr;
        }
    }
}

}  // namespace cg

// Expression trees: read from the file (through the format library's
// bounded tree decoder) into GenNodes, bottom-up, each node folded and put in
// canonical order as soon as its children are done.
//
// Every leaf gets its place: frame slots, registers and static data; a
// register variable assigned an expression of itself becomes a compound
// assignment; structure values become their addresses, a call returning a
// structure gets a frame temporary (or the assigned object) for its result,
// and a structure assignment becomes a copy.
#include <cstring>

#include <utility>

#include "generator/gen.h"

namespace cg {

namespace {

// Type classes by type code (a pointer counts as unsigned int).
constexpr uint8_t kClass[15] = {0, 1, 2, 3, 4, 5, 8, 7, 8, 9, 10, 8, 0, 13, 14};
constexpr uint8_t kTreeRank[15] = {0, 2, 2, 5, 4, 5, 8, 7, 8, 9, 10, 8, 0, 13, 14};
constexpr uint8_t kSignedClass[15] = {0, 1, 2, 3, 5, 5, 6, 8, 8, 9, 10, 8, 0, 2, 14};

uint8_t code(const GenNode* n) { return n->typecode(); }
uint8_t cls(const GenNode* n) { return kClass[code(n)]; }
uint8_t rank(const GenNode* n) { return kTreeRank[code(n)]; }

bool isintconst(const GenNode* n) { return isplainconst(n); }
bool isaddrconst(const GenNode* n) { return isnumleaf(n); }
bool leaforind(const GenNode* n) { return n->isleaf() || n->op == ir::O_IND; }

bool isregcode(uint8_t s) { return s >= 1 && s <= kPairLast; }
bool isregleaf(const GenNode* n) {
    return n->isleaf() && n->name.empty() && n->value == 0 && isregcode(n->storage) && n->indir == 0;
}


GenNode* copyleaf(Gen& G, const GenNode* n) {
    GenNode* c = newnode(G);
    *c = *n;
    return c;
}

// The type word and attribute word a node of descriptor type t ends with.
struct NodeType {
    IrType t;
    uint32_t type() const { return (t.type & 15) == ir::T_POINTER ? uint32_t{ir::T_UINT} : t.type; }
    uint32_t attr() const { return (t.type & 15) == ir::T_POINTER ? reduceattrs(t.ptrattrs) : t.attrs; }
};

GenNode* leafnode(Gen& G, const ir::Tree& t, IrType ty) {
    GenNode* n = newnode(G);
    uint8_t c = static_cast<uint8_t>(ty.type & 15);
    uint32_t ta = ty.attrs, pa = ty.ptrattrs;
    n->type = ty.type;
    n->size = ty.size;
    n->name = nametext(G, t.name);
    G.rd.lastname = t.name.name;
    n->value = t.value;
    n->indir = t.flag;
    uint8_t s = t.storage;
    FuncState& f = G.fn;

    if (c == ir::T_POINTER && n->indir == 0 && !n->name.empty() && (pa & GF_FUNCADDR) && n->name != "<@_asm")
        G.store.addchars(" .dcall \":" + n->name + "\";");

    if (s == ir::S_PARAM) {
        n->storage = kFrameSlot;
        if (!f.params.empty() && n->value < f.paramend) {
            (n->indir ? ta : pa) |= LF_PARAMREG;
        } else {
            f.frameflags |= FF_STACKPARAMS;
            if (f.retstruct) n->value += 4;
        }
    } else if (s == ir::S_LOCAL) {
        n->storage = kFrameSlot;
        f.frameflags |= FF_LOCALS;
    } else if (s == ir::S_RESULT && f.retstruct) {
        // the hidden pointer to the result place lies after the register parameters
        GenNode* p = newnode(G);
        p->type = ir::T_UINT;
        p->storage = kFrameSlot;
        p->value = f.paramend;
        p->indir = 1;
        f.frameflags |= FF_STACKPARAMS;
        n->op = ir::O_IND;
        n->name.clear();
        n->value = 0;
        n->indir = 0;
        n->left = p;
        n->right = zeroleaf(G);
        n->attr = ta;
        return n;
    } else if (s == ir::S_RESULT || s == ir::S_SWITCH) {
        n->storage = c == ir::T_DOUBLE && !G.hdr.single ? pairof(gpr(3)) : gpr(3);
        if (s == ir::S_RESULT) f.restype = c == ir::T_POINTER ? uint8_t{ir::T_UINT} : c;
    } else if (s == ir::S_STATIC) {
        n->storage = 0;
        uint32_t& m = n->indir ? ta : pa;
        if (isaliasname(n->name)) {
            m &= ~GF_DIR;
        } else {
            if ((m & GF_CONST) && !(m & GF_EXTERNAL) && !(G.opt.cm & 2)) {
                m |= GF_DIR;
                m &= ~GF_FAR;
            }
            if (m & GF_DIR) {
                if (!(m & GF_CONST))
                    n->storage = kR13;
                else if (G.opt.cm & 1)
                    n->storage = kR2;
            }
        }
    } else if (s >= ir::S_REGFIRST && s <= ir::S_REGLAST) {
        int number = s - 4;
        n->storage = number <= 18 ? gpr(ir::regnumbergpr(number)) : fpr(ir::regnumberfpr(number));
        if (c == ir::T_DOUBLE && n->storage < 33) {
            n->storage = pairof(n->storage);
            if (!ispair(n->storage)) genpanic(G, "BAD INPUT");
        }
    } else {
        genpanic(G, "BAD INPUT");
    }

    // a floating constant may carry its value (a little-endian double) in the name
    if ((c == ir::T_FLOAT || c == ir::T_DOUBLE) && s == ir::S_STATIC && n->indir == 0 && n->value == 0 &&
        t.name.present && t.name.number == 0 && t.name.name.size() == 8 && !(t.name.kind & 0x80)) {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(static_cast<uint8_t>(t.name.name[i])) << (8 * i);
        if (c == ir::T_FLOAT) {
            n->fbits = floatbits(bits);
            n->value = static_cast<int32_t>(n->fbits);
        } else {
            n->fbits = bits;
            n->value = static_cast<int32_t>(bits >> 32);
        }
        n->name.clear();
    }

    if (c == ir::T_STRUCT)
        n->leafflags = ta;
    else if (n->indir)
        n->leafflags = reduceattrs(ta);
    else
        n->leafflags = pa & LF_PARAMREG;
    n->attr = c == ir::T_POINTER ? reduceattrs(pa) : ta;
    if (c == ir::T_POINTER) n->type = ir::T_UINT;
    return n;
}

GenNode* foldcast(GenNode* n, const NodeType& nt) {
    GenNode* ch = n->left;
    uint8_t target = kClass[nt.t.type & 15];
    if (cls(ch) == target && ch->attr == nt.attr() && ch->op != ir::O_SHR && ch->op != ir::O_DIV &&
        ch->op != ir::O_MOD && (!isregleaf(ch) || code(ch) > 5)) {
        ch->type = nt.type();
        return ch;
    }
    uint8_t c = nt.t.type & 15;
    if (isintconst(ch) && (c < 9 || c == ir::T_POINTER)) {
        ch->type = nt.type();
        ch->attr = nt.attr();  // a constant cast to a pointer keeps what the pointer points at (volatile)
        return ch;
    }
    return n;
}

bool sameclass(const GenNode* a, const GenNode* b) { return cls(a) == cls(b); }

GenNode* foldadd(GenNode* n) {
    GenNode* L = n->left;
    GenNode* R = n->right;
    if (isaddrconst(R) && isintconst(L)) {
        R->type = n->type;
        R->value = static_cast<int32_t>(static_cast<uint32_t>(R->value) + static_cast<uint32_t>(L->value));
        return R;
    }
    if (leaforind(L) && ((!R->isleaf() && R->op != ir::O_MUL) || (!isaddrconst(R) && isaddrconst(L)))) {
        std::swap(n->left, n->right);
    } else if (R->op == ir::O_ADD && sameclass(R, n) && code(L) != ir::T_UCHAR) {
        n->right = R->left;
        R->left = L;
        n->left = R;
    }
    L = n->left;
    R = n->right;
    if (isintconst(R) && L->op == ir::O_ADD && sameclass(L, n) && isaddrconst(L->right)) {
        L->right->value =
            static_cast<int32_t>(static_cast<uint32_t>(L->right->value) + static_cast<uint32_t>(R->value));
        n = L;
    }
    // the constant of an inner addition moves to the top
    GenNode** link = &n->left;
    for (GenNode* cur = n->left; cur && cur->op == ir::O_ADD && sameclass(cur, n); cur = cur->left) {
        if (isaddrconst(cur->right)) {
            *link = cur->left;
            cur->left = n;
            cur->type = n->type;
            cur->attr = n->attr;
            n = cur;
            break;
        }
        link = &cur->left;
    }
    L = n->left;
    R = n->right;
    if (n->op == ir::O_ADD && leaforind(L) && R->op != ir::O_MUL &&
        (!R->isleaf() || (!isintconst(R) && rank(R) < rank(L))))
        std::swap(n->left, n->right);
    return n;
}

bool isreg(const GenNode* n, uint8_t reg) { return isregleaf(n) && n->storage == reg; }

// An assignment to a register variable R whose right side uses R.
GenNode* foldregassign(Gen& G, GenNode* n) {
    GenNode* reg = n->left;
    uint8_t r = reg->storage;
    GenNode* cur = n;
    for (int guard = 0; guard < ir::kMaxTreeDepth; ++guard) {
        GenNode* e = cur->right;
        int c = e->isleaf() ? 0 : asgnop(e->op);
        if (!c) {
            if ((e->op == ir::O_NEG || e->op == ir::O_COMPL) && isreg(e->left, r)) {
                cur->op = static_cast<int16_t>(inplaceop(e->op));
                cur->right = zeroleaf(G);
            }
            break;
        }
        if (usesstorage(e->right, r)) break;
        if (isreg(e->left, r)) {
            if ((c == ir::O_DIVASG || c == ir::O_SHRASG) && kSignedClass[code(reg)] != kSignedClass[code(e)]) break;
            cur->op = static_cast<int16_t>(c);
            cur->right = e->right;
            break;
        }
        if (cls(e) != cls(reg)) break;
        GenNode* first = newnode(G);
        makenode(first, ir::O_ASSIGN, cur->type, cur->attr, copyleaf(G, reg), e->left);
        GenNode* then = newnode(G);
        makenode(then, static_cast<int16_t>(c), cur->type, cur->attr, copyleaf(G, reg), e->right);
        cur->op = ir::O_COMMA;
        cur->left = first;
        cur->right = then;
        cur = first;
    }
    return n;
}

GenNode* fold(Gen& G, GenNode* n, const NodeType& nt) {
    switch (n->op) {
        case ir::O_CAST: {
            GenNode* r = foldcast(n, nt);
            if (r != n) return r;
            break;
        }
        case ir::O_SHL:
        case ir::O_MUL:
            if (isintconst(n->left) && isintconst(n->right)) {
                GenNode* l = n->left;
                uint32_t a = static_cast<uint32_t>(l->value), b = static_cast<uint32_t>(n->right->value);
                uint32_t v = n->op == ir::O_MUL ? a * b : (b < 32 ? a << b : 0);
                l->type = nt.type();
                l->value = static_cast<int32_t>(v);
                return l;
            }
            break;
        case ir::O_OR:
        case ir::O_XOR:
        case ir::O_AND:
            if (leaforind(n->left) && !isintconst(n->right) &&
                (!n->right->isleaf() || rank(n->right) < rank(n->left)))
                std::swap(n->left, n->right);
            break;
        case ir::O_ADD:
            if ((nt.t.type & 15) == ir::T_POINTER) {
                n->type = ir::T_UINT;
                n->attr = nt.attr();
            }
            n = foldadd(n);
            break;
        case ir::O_ASSIGN:
            if (isregleaf(n->left) && usesstorage(n->right, n->left->storage)) n = foldregassign(G, n);
            break;
        default: break;
    }
    return n;
}

// What every node goes through last: pointers, structures, call marks.
// Leaves have their pointer type and attributes from leafnode already.
GenNode* finish(Gen& G, GenNode* n, const NodeType& nt, bool isleaf) {
    if (!isleaf && (nt.t.type & 15) == ir::T_POINTER) {
        n->type = ir::T_UINT;
        n->attr = nt.attr();
    }
    if ((n->type & 15) == ir::T_STRUCT) {
        uint32_t size = nt.t.size;
        switch (n->op) {
            case 0:
            case ir::O_IND: n = addrof(G, n); break;
            case ir::O_CALL:
            case ir::O_CALLARGS: {
                GenNode* tmp = tempnode(G, newnode(G), static_cast<int32_t>(size));
                n->place = tmp;
                n->type = tmp->type;
                n->attr = tmp->attr;
                break;
            }
            case ir::O_ASSIGN: {
                GenNode* r = n->right;
                while (r->op == ir::O_COMMA) r = r->right;
                if ((r->op == ir::O_CALL || r->op == ir::O_CALLARGS) && r->place && r->place->storage == kFrameTemp) {
                    r->place = n->left;
                    n = n->right;
                } else {
                    n->op = G_COPY;
                    n->type = ir::T_UINT;
                }
                break;
            }
            case ir::O_COND:
                n->type = ir::T_UINT;
                n->attr = n->middle->attr & n->right->attr;
                break;
            case ir::O_COMMA:
                n->type = n->right->type;
                n->attr = n->right->attr;
                break;
            default: genpanic(G, "STROP");
        }
        n->size = size;
    }
    if (n->op == ir::O_CALLARGS && (nt.t.attrs & GF_VOLATILE)) n->attr |= GF_STACKARGS;
    if ((n->op == ir::O_CALL || n->op == ir::O_CALLARGS) && (nt.t.attrs & GF_CONST)) n->attr |= GF_EXTERNAL;
    return n;
}

GenNode* build(Gen& G, const ir::Tree& t) {
    NodeType nt{gentype(G, t.type)};
    if (t.op == ir::O_LEAF) return finish(G, leafnode(G, t, nt.t), nt, true);
    if (t.op == ir::O_ADDR) return build(G, *t.left);
    GenNode* n = newnode(G);
    n->op = t.op;
    n->type = nt.t.type;
    n->attr = nt.t.attrs;
    n->size = nt.t.size;
    n->left = build(G, *t.left);
    if (t.op == ir::O_COND) n->middle = build(G, *t.middle);
    if (ir::hastext(t.op)) {
        size_t nul = t.text.find('\0');
        n->left->name = t.text.substr(0, nul);
    }
    n->right = ir::hasright(t.op) ? build(G, *t.right) : zeroleaf(G);
    GenNode* r = fold(G, n, nt);
    // a node that folding put in n's place has been finished as a child already
    return r == n ? finish(G, n, nt, false) : r;
}

}  // namespace

GenNode* zeroleaf(Gen& G) { return newnode(G); }

GenNode* addrof(Gen& G, GenNode* n) {
    if (n->op == ir::O_IND) return n->left;
    if (!n->isleaf()) genpanic(G, "ADDROF2");
    if (n->indir == 0) genpanic(G, "ADDROF1");
    n->indir = static_cast<uint8_t>(n->indir - 1);
    n->type = ir::T_UINT;
    n->attr = n->leafflags;
    n->leafflags = 0;
    return n;
}

GenNode* irtree(Gen& G) {
    GenInput in(G);
    std::unique_ptr<ir::Tree> t = in.tree();
    return build(G, *t);
}

}  // namespace cg

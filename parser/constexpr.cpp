// Constant expressions, tests and the final expression pass.
//
// Since every tree is folded while it is built, a constant expression is
// simply an expression whose finished tree is an integer constant leaf:
// evalconst parses one and checks that. testexpr turns a value into a
// condition. foldexpr is the last walk over a finished tree before it is
// lowered and written: it reports the deferred "zero divide" messages at
// the place of the division, folds strlen of a literal, and narrows
// constants and memory reads to the width at which their value is used.
// It walks with a work list rather than recursion, so a tree of any depth
// (a long chain of `a + b + ...`) costs no stack.
#include <cstring>

#include "parser/exprtree.h"
#include "parser/targetmath.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

// ((x & m) >> k) == c or != c, for c of 0 or 1.
void testshift(ExprNode* e) {
    ExprNode* s = e->left;
    ExprNode* c = e->right;
    if (!s || s->op != 71 || isretyped(s) || !isintconst(c) || c->value > 1 || !isintconst(s->right)) return;
    ExprNode* a = s->left;
    if (!a || a->op != 104 || isretyped(a) || !isintconst(a->right)) return;
    uint32_t m = a->right->value, k = s->right->value;
    if (k >= 32 || (k && (m & ((1u << k) - 1)))) return;
    if (c->value == 0) {
        e->left = a;
        return;
    }
    bool arithmetic = !isunsignedcode(tcode(a));
    if ((m >> k) != 1 || (arithmetic && (m & 0x80000000u))) return;
    e->left = a;
    c->value = 0;
    e->op = e->op == 79 ? 80 : 79;
}

bool isregister(const Symbol* s) {
    return s && (s->sclass == sc::Register || s->sclass == sc::RegParam || (s->flags & sf::RegPassed));
}

TypeNode* classtype(Parser& P, uint16_t width, bool isunsigned) {
    switch (width & 0xF0) {
    case 0x10: return isunsigned ? P.types.uchar : P.types.chr;
    case 0x20: return isunsigned ? P.types.ushrt : P.types.shrt;
    case 0x30: return isunsigned ? P.types.uint : P.types.sint;
    case 0x40: return isunsigned ? P.types.ulong : P.types.slong;
    default: return nullptr;
    }
}

// A literal leaf seen through casts.
const ExprNode* literalof(const ExprNode* e) {
    while (e && e->op == opc::Cast) e = e->left;
    return isleaf(e) && (e->leafbits & leaf::Literal) && e->lit ? e : nullptr;
}

struct Work {
    ExprNode* e;
    uint16_t width;
    bool after;  // a cast whose operand is done
};

class Folder {
public:
    explicit Folder(Parser& p) : P(p) {}

    void run(ExprNode* e, uint16_t width) {
        push(e, width);
        while (!work.empty()) {
            Work w = work.back();
            work.pop_back();
            if (w.after)
                castdone(w.e);
            else
                visit(w.e, w.width);
        }
    }

private:
    Parser& P;
    std::vector<Work> work;

    void push(ExprNode* e, uint16_t width, bool after = false) {
        if (e) work.push_back({e, width, after});
    }
    // Children are visited in the order given: pushed in reverse.
    void children(ExprNode* first, uint16_t w1, ExprNode* second, uint16_t w2) {
        push(second, w2);
        push(first, w1);
    }
    static uint16_t ownwidth(const ExprNode* e) {
        uint16_t c = tcode(e);
        return ty::isinteger(c) && c < 0x30 ? c : 0;
    }

    void leafnode(ExprNode* e, uint16_t w) {
        if (e->leafbits & (leaf::ZeroDivide | leaf::ZeroModulus)) {
            const char* msg = (e->leafbits & leaf::ZeroDivide) ? "zero divide" : "zero modulus";
            if (const Token* at = e->savedpos)
                putdiagat(P, at->line, at->column & 0x7fff, static_cast<int>(at->length), "%s", msg);
            else
                putdiag(P, "%s", msg);
            return;
        }
        if (isnamed(e) && e->sym->blocklink && !(e->sym->flags & sf::AddrRegister)) {
            Symbol* alias = e->sym->blocklink;
            if (!(e->leafbits & leaf::Contents)) {
                e->sym = alias;
                e->leafbits |= leaf::Contents;
            } else {
                ExprNode* inner = copyleaf(P, e);
                inner->sym = alias;
                inner->type = alias->type;
                inner->nflags = 0;
                TypeNode* type = e->type;
                uint8_t flags = e->nflags;
                ExprNode* link = e->link;
                *e = ExprNode{};
                e->link = link;
                e->op = opc::Ind;
                e->type = type;
                e->nflags = flags;
                e->left = inner;
            }
            return;
        }
        if (w && e->leafbits == 0 && ty::isinteger(tcode(e)) && w < tcode(e)) narrowtype(P, e, w);
    }

    void castdone(ExprNode* e) {
        ExprNode* x = e->left;
        if (!x) return;
        uint16_t c = tcode(x);
        if (ty::isbitfield(c) || ty::isfloating(c) || c == ty::Pointer || !ty::isinteger(c)) return;
        uint16_t to = tcode(e);
        if (!ty::isinteger(to) || ty::isbitfield(to)) return;
        bool take = isintconst(x);
        if (!take && (c & 0xF0) == (to & 0xF0)) {
            bool regleaf = isnamed(x) && isregister(x->sym);
            take = x->op != opc::Ind && !regleaf && x->op != 71 && x->op != 68 && x->op != 69;
        }
        if (take) x->type = e->type;
    }

    // The read of a memory word narrowed to the bytes a narrow result needs
    // (big-endian: the most significant byte first).
    void narrowshift(ExprNode* e, uint16_t w) {
        ExprNode* l = e->left;
        if (!w || !isintconst(e->right) || !iscontents(l) || !isnamed(l)) return;
        Symbol* s = l->sym;
        uint16_t lc = tcode(l);
        if (isregister(s) || (s->attributes & attr::Volatile) || !ty::isinteger(lc) || ty::isbitfield(lc)) return;
        uint32_t k = e->right->value;
        uint8_t keep = l->nflags & nf::Typed;
        l->nflags &= static_cast<uint8_t>(~nf::Typed);
        bool lunsigned = lc & 0x01;
        bool changed = true;
        if (lc > 0x2F && w < 0x22) {
            uint32_t size = w < 0x12 ? 1 : 2;
            if (k == 8 && (e->op == 70 || size == 1)) {
                if (e->op == 71) {
                    l->value += 3 - size;
                    narrowtype(P, l, w);
                    setnode(e, l);
                } else {
                    l->value += 2;
                    l->type = P.types.ushrt;
                    narrowtype(P, e, w);
                }
            } else if (k == 16 && e->op == 71) {
                l->value += 2 - size;
                narrowtype(P, l, w);
                setnode(e, l);
            } else if (k == 24 && e->op == 71) {
                l->type = classtype(P, 0x10, lunsigned);
                setnode(e, l);
            } else if (k > 16 && k < 32 && e->op == 71) {
                l->type = classtype(P, 0x20, lunsigned);
                e->right->value = k - 16;
                narrowtype(P, e, w);
            } else {
                changed = false;
            }
        } else if (w < 0x12 && (lc & 0xF0) == 0x20 && k == 8 && e->op == 71) {
            l->type = classtype(P, 0x10, lunsigned);
            setnode(e, l);
        } else {
            changed = false;
        }
        if (!changed) l->nflags |= keep;
    }

    void call(ExprNode* e) {
        ExprNode* fn = e->left;
        ExprNode* args = e->right;
        if (isnamed(fn) && (fn->sym->attributes & attr::Inline)) {
            const Symbol* s = fn->sym;
            bool isstrlen = namelength(s->name) == 6 && std::memcmp(nametext(s->name), "strlen", 6) == 0;
            const ExprNode* lit = args && args->op != opc::ArgCell ? literalof(args) : nullptr;
            if (isstrlen && lit && !ty::isfloating(codeof(lit->type))) {
                const Literal* l = lit->lit;
                const void* nul = l->length ? std::memchr(l->bytes.data(), 0, l->length) : nullptr;
                uint32_t n = nul ? static_cast<uint32_t>(static_cast<const unsigned char*>(nul) - l->bytes.data()) : l->length;
                droplituse(P, lit->lit);
                TypeNode* type = e->type;
                setnode(e, mkconst(P, n, type));
                return;
            }
            if (s->body) putdiag(P, "invalid inline function usage");
        } else {
            push(fn, 0);
        }
        std::vector<ExprNode*> list;
        for (ExprNode* a = args; a;) {
            ExprNode* arg = a->op == opc::ArgCell ? a->left : a;
            if (arg) {
                arg->nflags |= nf::Typed;
                list.push_back(arg);
            }
            a = a->op == opc::ArgCell ? a->right : nullptr;
        }
        for (auto it = list.rbegin(); it != list.rend(); ++it) push(*it, 0);
    }

    void visit(ExprNode* e, uint16_t w) {
        switch (e->op) {
        case opc::Leaf: leafnode(e, w); return;
        case opc::Sequence:
            if (e->stmts) lowerstmtexpr(P, e->stmts);
            children(e->left, 0, e->right, 0);
            return;
        case opc::Comma: children(e->left, 0, e->right, 0); return;
        case opc::Cond:
            push(e->right, 0);
            children(e->left, 0, e->middle, 0);
            return;
        case opc::Cast: {
            uint16_t c = tcode(e);
            if (w && w < c && c < 0x42) narrowtype(P, e, w);
            push(e, 0, true);
            push(e->left, ty::isinteger(c) && c < 0x30 ? c : 0);
            return;
        }
        case opc::Call: call(e); return;
        case opc::Neg:
        case opc::Compl:
        case opc::Ind:
        case opc::Not: push(e->left, 0); return;
        case opc::Addr:
        case opc::ArgCell: return;
        case 70:
        case 71: {
            ExprNode* l = e->left;
            if (l && l->op == opc::Cast && isleaf(l->left) && tcode(l) == tcode(e)) {
                uint16_t from = tcode(l->left), to = tcode(l);
                if (ty::isinteger(from) && !ty::isbitfield(from) && from <= to && (from & 0x01) == (to & 0x01))
                    e->left = l->left;
            }
            narrowshift(e, w);
            if (e->op == opc::Leaf) return;
            children(e->left, 0, e->right, 0);
            return;
        }
        case 84:
        case 85:
        case 87: children(e->right, 0, e->left, 0); return;
        default: break;
        }
        if (iscompare(e->op) || islogical(e->op)) {
            if (w) narrowtype(P, e, w);
            children(e->right, ownwidth(e->right), e->left, ownwidth(e->left));
            return;
        }
        children(e->left, 0, e->right, 0);
    }
};

}  // namespace

void foldexpr(Parser& P, ExprNode* e, uint16_t width) {
    if (!e) return;
    Folder f(P);
    f.run(e, width);
}

void narrowtype(Parser& P, ExprNode* e, uint16_t width) {
    if (!e || (e->nflags & nf::Typed)) return;
    uint16_t c = tcode(e);
    bool isunsigned = isunsignedcode(c);
    if (width == ty::UChar && isbinary(e->op) &&
        (tcode(e->left) == ty::UChar || tcode(e->right) == ty::UChar))
        isunsigned = true;
    if (TypeNode* t = classtype(P, width, isunsigned)) e->type = t;
}

ExprNode* testexpr(Parser& P, ExprNode** slot) {
    ExprNode* e = *slot;
    if (!e) return nullptr;
    uint16_t c = tcode(e);
    if (c > ty::Double && c != ty::Pointer && c != ty::Array && c != ty::Function) return nullptr;
    ExprNode** at = slot;
    while ((*at)->op == opc::Comma && (*at)->right) {
        (*at)->type = P.types.sint;
        at = &(*at)->right;
    }
    ExprNode* x = *at;
    decayexpr(P, x);
    if (x->op == opc::Cond && isintconst(x->middle) && isintconst(x->right)) {
        if (x->middle->value == 1 && x->right->value == 0)
            *at = x->left;
        else if (x->middle->value == 0 && x->right->value == 1)
            *at = negatecond(x->left);
        x = *at;
    }
    if (!iscompare(x->op) && !islogical(x->op)) {
        if (x->op == 95 && isintconst(x->right)) putdiag(P, "W4constant assignment in a test");
        if ((x->op == 104 || x->op == 74) && x->left && x->right && iscompare(x->left->op) &&
            iscompare(x->right->op) && isfree(P, x->right)) {
            x->op = x->op == 104 ? 91 : 92;
            x->type = P.types.sint;
        } else {
            *at = binop(P, mknode(P, 80, P.types.sint, x, mkconst(P, 0, P.types.sint)));
        }
        x = *at;
    }
    if (x->op == 79 || x->op == 80) testshift(x);
    return *slot;
}

int evalconst(Parser& P, int32_t& out, int mode) {
    int32_t nc = P.opt.nc;
    if (mode == 2) P.opt.nc = 0;
    ExprNode* e = assignexpr(P);
    P.opt.nc = nc;
    bool complex = P.ex.toocomplex;
    P.ex.toocomplex = false;
    out = 0;
    if (!e || complex) {
        if (!complex && mode != 0) putdiag(P, "missing expression");
        return 0;
    }
    if (!isintconst(e) || (e->nflags & nf::NotLvalue)) {
        foldexpr(P, e, 0);
        putdiag(P, "invalid constant expression");
        return 1;
    }
    out = static_cast<int32_t>(e->value);
    return 1;
}

}  // namespace cpppc

// Small tools on expression trees that the expression files share: type
// codes of nodes, the kinds of leaves, node builders, floating literals and
// the rule that a folded or dropped operand keeps its side effects.
#pragma once

#include "parser/parser.h"

namespace cpppc {

constexpr int kMaxNesting = 200;  // recursion of the grammar ("expression too complex")
constexpr int kMaxCompare = 400;  // depth of a tree comparison; deeper counts as different
constexpr int kMaxRewrites = 64;  // nested rewrites of one node
// Height of a whole expression tree. Chains of left-associative operators
// (a + b + c ..., p->n->n ...) are read by loops, not by the grammar's
// recursion, so their trees are measured once complete: the later passes
// walk trees recursively, and the code generator takes trees of at most
// twice this height (conversions can add a node per level).
constexpr int kMaxHeight = 1000;

// Operator codes that have no token of their own.
namespace opc {
constexpr uint8_t Leaf = 0, Comma = 1, Cond = 9, PostInc = 14, PostDec = 15, ArgCell = 25, Cast = 26, Call = 27,
                  Neg = 34, Ind = 35, Addr = 40, Not = 61, Compl = 62, Sequence = 254;
}

inline uint16_t codeof(TypeNode* t) {
    t = basetype(t);
    return t ? t->code : 0;
}
inline uint16_t tcode(const ExprNode* e) { return e ? codeof(e->type) : 0; }
inline bool isarithcode(uint16_t c) { return c && (ty::isinteger(c) || ty::isfloating(c)); }
inline bool isunsignedcode(uint16_t c) { return c == ty::Pointer || (ty::isinteger(c) && (c & 0x01)); }
inline bool ispointercode(uint16_t c) { return c == ty::Pointer; }

inline bool isleaf(const ExprNode* e) { return e && e->op == opc::Leaf; }
inline bool isnamed(const ExprNode* e) { return isleaf(e) && (e->leafbits & leaf::Symbol) && e->sym; }
inline bool iscontents(const ExprNode* e) { return isleaf(e) && (e->leafbits & leaf::Contents); }
// A leaf that denotes the address of a symbol or a literal.
inline bool isaddrleaf(const ExprNode* e) {
    return isleaf(e) && !(e->leafbits & leaf::Contents) && (e->leafbits & (leaf::Symbol | leaf::Literal));
}
inline bool isnamedaddr(const ExprNode* e) { return isnamed(e) && !(e->leafbits & leaf::Contents); }
inline bool isnamedcontents(const ExprNode* e) { return isnamed(e) && (e->leafbits & leaf::Contents); }
inline bool iscompare(uint8_t op) { return op >= 75 && op <= 80; }
inline bool islogical(uint8_t op) { return op == 91 || op == 92; }
inline bool isassignop(uint8_t op) { return op == 95 || (op >= 81 && op <= 90) || op == opc::PostInc || op == opc::PostDec; }
inline bool isbinary(uint8_t op) { return (op & 0x40) && !(op & 0x80); }
// An operator node that a cast retyped in place (to compute in a narrower
// type): its value is not what its operator and operands say, so rewrites
// must not look into it.
inline bool isretyped(const ExprNode* e) { return e && e->op != 0 && (e->nflags & nf::Typed); }

// The node's content made a copy of another node's; the pool link stays.
inline void setnode(ExprNode* dst, const ExprNode* src) {
    if (dst == src) return;
    ExprNode* link = dst->link;
    *dst = *src;
    dst->link = link;
}

ExprNode* mknode(Parser& P, uint8_t op, TypeNode* type, ExprNode* left, ExprNode* right = nullptr);
ExprNode* mkconst(Parser& P, uint32_t value, TypeNode* type);
ExprNode* mkfloat(Parser& P, double value, TypeNode* type);
double floatvalue(const ExprNode* e);
ExprNode* copyleaf(Parser& P, const ExprNode* e);
TypeNode* pointerto(Parser& P, TypeNode* to, uint16_t attributes);
uint32_t bitwidthof(Parser& P, TypeNode* t);
// e has no side effects and reads nothing volatile.
inline bool isfree(Parser& P, const ExprNode* e) { return sameexpr(P, e, e, 1); }
// result in place of an expression that computed e: e is kept in front
// (a comma) unless it is free of side effects.
ExprNode* keepeffects(Parser& P, ExprNode* e, ExprNode* result);
// The literal uses of a tree that is thrown away.
void dropexpr(Parser& P, ExprNode* e);
// "expression too complex", once per expression.
void toocomplex(Parser& P);

// ---- shared by the operator files (binop.cpp, simplify.cpp, assign.cpp, known.cpp) ----
// A constant's 32-bit value as its type holds it (char and short narrowed).
uint32_t narrowvalue(Parser& P, uint32_t v, TypeNode* t);
// The usual arithmetic conversions: the promoted type that ranks higher.
TypeNode* commontype(Parser& P, TypeNode* a, TypeNode* b);
// l op r of two integer constants in the result type; false for a zero divisor.
bool foldint(Parser& P, uint8_t op, const ExprNode* l, const ExprNode* r, TypeNode* type, uint32_t& out);
// A comparison of two scalar constants as C computes it.
bool cmpconst(Parser& P, uint8_t op, const ExprNode* l, const ExprNode* r);
// A constant's value as a double (float constants rounded to float).
double constdouble(const ExprNode* e);
// The zero-divide or zero-modulus mark of a divisor, at the division's place.
void markzero(Parser& P, ExprNode* divisor, uint8_t op, const ExprNode* at);
// The algebraic rewrites of simplify.cpp; each returns the node that
// replaces e, or null when it does not apply.
ExprNode* rewritecomplements(Parser& P, ExprNode* e);  // before the pointer check
ExprNode* rewritebefore(Parser& P, ExprNode* e);       // before the result type
ExprNode* rewriteafter(Parser& P, ExprNode* e);        // identities, strength, ranges
ExprNode* reassociate(Parser& P, ExprNode* e);         // constants combined and moved out

}  // namespace cpppc

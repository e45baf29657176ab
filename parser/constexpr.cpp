// Constant expressions for #if and #elif, array bounds, enumerator values,
// bit-field widths and placements: evalconst reads one conditional
// expression from the token stream and folds it with the target's int and
// unsigned int (32 bits, wrap-around). Division by zero is never folded, so
// such an expression is not constant; an operand in a branch that is not
// taken (0 && x, 1 || x, the other arm of ?:) is parsed but its faults are
// not reported, and a comma is allowed there.
//
// Besides integers a value can be the address of a symbol plus an offset
// (or the symbol's object itself), which placements accept, and every value
// carries its type for sizeof: sizeof takes any type name or expression,
// with the target's sizes and memory spaces.
//
// expr       := cond { ',' cond }
// cond       := lor [ '?' expr ':' cond ]
// lor .. mul := binary operators by C precedence
// unary      := ('+' | '-' | '~' | '!' | '&' | '*') unary | sizeof unary | sizeof '(' type ')'
//             | '(' type ')' unary | postfix
// postfix    := primary { '[' expr ']' | '.' name | '->' name | '(' [ expr ] ')' }
// primary    := constant | string | name | '(' expr ')'
#include <cmath>
#include <cstring>

#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

struct Value {
    uint32_t v = 0;
    bool uns = false;
    bool constant = true;       // false: not an integer constant (reported at the end)
    TypeNode* type = nullptr;   // for sizeof; null: int
    Symbol* sym = nullptr;      // the address of sym plus v, or with contents sym's object
    bool contents = false;
    bool isfloat = false;
    double fv = 0;
};

struct Eval {
    Parser& P;
    int mode;
    int skip = 0;          // > 0 inside a branch that is not taken, or an operand of sizeof
    bool missing = false;  // an operand was missing
    int nesting = 0;       // parentheses and unary operators, bounded
    int condnesting = 0;   // nested ?: operands, bounded like nesting

    Token* next() { return nexttoken(P); }
    void back() { pushtoken(P); }

    bool expr(Value& out);
    bool cond(Value& out);
    bool condop(Value& out);
    bool nested(int& depth, bool (Eval::*f)(Value&), Value& out);
    bool binary(Value& out, int level);
    bool unary(Value& out);
    bool unaryop(Value& out);
    bool postfix(Value& out);
    bool primary(Value& out);
    bool name(Value& out, const Token& t);
    bool operand(Value& out, bool (Eval::*f)(Value&)) {
        if ((this->*f)(out)) return true;
        if (!missing) putdiag(P, "missing expression");
        missing = true;
        return false;
    }
    void cast(Value& v, TypeNode* to);
    void member(Value& v, bool arrow);
};

// Binary operators by level, lowest precedence first.
struct BinaryOp {
    uint16_t code;
    int level;
};
constexpr BinaryOp kBinary[] = {
    {tok::OrOr, 0},  {tok::AndAnd, 1}, {tok::Bar, 2},   {tok::Caret, 3}, {tok::Amp, 4},   {tok::EqEq, 5},
    {tok::NotEq, 5}, {tok::Lt, 6},     {tok::Gt, 6},    {tok::Le, 6},    {tok::Ge, 6},    {tok::Shl, 7},
    {tok::Shr, 7},   {tok::Plus, 8},   {tok::Minus, 8}, {tok::Star, 9},  {tok::Slash, 9}, {tok::Percent, 9},
};
constexpr int kUnaryLevel = 10;

int levelof(uint16_t code) {
    for (const BinaryOp& b : kBinary)
        if (b.code == code) return b.level;
    return -1;
}

bool isaddress(const Value& v) { return v.sym && !v.contents; }

// What an address steps by: the size of what it points to.
uint32_t stride(Parser& P, const Value& v) {
    TypeNode* t = v.type;
    if (t && (t->code == ty::Pointer || t->code == ty::Array)) return typesize(P, t->subtype);
    return 1;
}

Value fold(Eval& E, uint16_t op, const Token& at, const Value& a, const Value& b) {
    Value r;
    r.constant = a.constant && b.constant && !a.isfloat && !b.isfloat;
    // An address plus or minus an integer stays an address.
    if ((a.sym || b.sym) && !(a.sym && b.sym)) {
        const Value& addr = a.sym ? a : b;
        const Value& n = a.sym ? b : a;
        bool ok = isaddress(addr) && (op == tok::Plus || (op == tok::Minus && a.sym));
        if (!ok) {
            r.constant = false;
            return r;
        }
        r = addr;
        uint32_t step = n.v * stride(E.P, addr);
        r.v = op == tok::Plus ? addr.v + step : addr.v - step;
        r.constant = r.constant && n.constant && !n.isfloat;
        return r;
    }
    if (a.sym && b.sym) {
        r.constant = false;
        return r;
    }
    bool uns = a.uns || b.uns;
    int32_t sa = static_cast<int32_t>(a.v), sb = static_cast<int32_t>(b.v);
    switch (op) {
    case tok::OrOr: r.v = (a.v || b.v); return r;
    case tok::AndAnd: r.v = (a.v && b.v); return r;
    case tok::Bar: r.v = a.v | b.v; break;
    case tok::Caret: r.v = a.v ^ b.v; break;
    case tok::Amp: r.v = a.v & b.v; break;
    case tok::EqEq: r.v = a.v == b.v; return r;
    case tok::NotEq: r.v = a.v != b.v; return r;
    case tok::Lt: r.v = uns ? a.v < b.v : sa < sb; return r;
    case tok::Gt: r.v = uns ? a.v > b.v : sa > sb; return r;
    case tok::Le: r.v = uns ? a.v <= b.v : sa <= sb; return r;
    case tok::Ge: r.v = uns ? a.v >= b.v : sa >= sb; return r;
    case tok::Shl:
        r.uns = a.uns;
        r.v = b.v >= 32 ? 0 : a.v << b.v;
        return r;
    case tok::Shr:
        r.uns = a.uns;
        if (a.uns)
            r.v = b.v >= 32 ? 0 : a.v >> b.v;
        else
            r.v = static_cast<uint32_t>(sa >> (b.v >= 32 ? 31 : b.v));
        return r;
    case tok::Plus: r.v = a.v + b.v; break;
    case tok::Minus: r.v = a.v - b.v; break;
    case tok::Star: r.v = a.v * b.v; break;
    case tok::Slash:
    case tok::Percent:
        if (b.v == 0) {
            if (!E.skip) {
                // reported where the division stands
                putdiagat(E.P, at.line, at.column & 0x7fff, static_cast<int>(at.length), "%s",
                          op == tok::Slash ? "zero divide" : "zero modulus");
                r.constant = false;
            }
            break;
        }
        if (uns)
            r.v = op == tok::Slash ? a.v / b.v : a.v % b.v;
        else if (sa == INT32_MIN && sb == -1)
            r.v = op == tok::Slash ? a.v : 0;
        else
            r.v = static_cast<uint32_t>(op == tok::Slash ? sa / sb : sa % sb);
        break;
    default: break;
    }
    r.uns = uns;
    if (uns) r.type = E.P.types.uint;
    return r;
}

// A line built by macros can nest parentheses, unary operators and ?: far
// deeper than the stack allows: each kind of nesting is bounded.
bool Eval::nested(int& depth, bool (Eval::*f)(Value&), Value& out) {
    if (depth >= 200) {
        if (!missing) putdiag(P, "expression too complex");
        missing = true;
        return false;
    }
    ++depth;
    bool ok = (this->*f)(out);
    --depth;
    return ok;
}

bool Eval::expr(Value& out) {
    if (!cond(out)) return false;
    for (;;) {
        if (next()->code != tok::Comma) {
            back();
            return true;
        }
        // The value of a comma expression is not an integer constant,
        // unless it stands where nothing is evaluated.
        if (!operand(out, &Eval::cond)) return false;
        if (!skip) out.constant = false;
    }
}

bool Eval::cond(Value& out) { return nested(condnesting, &Eval::condop, out); }

bool Eval::condop(Value& out) {
    if (!binary(out, 0)) return false;
    if (next()->code != tok::Quest) {
        back();
        return true;
    }
    bool take = out.v != 0 || out.sym;
    Value a, b;
    skip += !take;
    bool ok = operand(a, &Eval::expr);
    skip -= !take;
    if (!ok) return false;
    expecttoken(P, tok::Colon);
    skip += take;
    ok = operand(b, &Eval::cond);
    skip -= take;
    if (!ok) return false;
    Value r = take ? a : b;
    r.uns = a.uns || b.uns;
    r.constant = out.constant && !out.sym && (take ? a : b).constant;
    out = r;
    return true;
}

bool Eval::binary(Value& out, int level) {
    if (level == kUnaryLevel) return unary(out);
    if (!binary(out, level + 1)) return false;
    for (;;) {
        Token* t = next();
        uint16_t op = t->code;
        Token at = *t;
        if (levelof(op) != level) {
            back();
            return true;
        }
        bool skipped = (op == tok::AndAnd && out.v == 0 && !out.sym) || (op == tok::OrOr && (out.v != 0 || out.sym));
        skip += skipped;
        Value rhs;
        bool ok = binary(rhs, level + 1);
        skip -= skipped;
        if (!ok) {
            if (!missing) putdiag(P, "missing expression");
            missing = true;
            return false;
        }
        out = fold(*this, op, at, out, rhs);
    }
}

bool Eval::unary(Value& out) { return nested(nesting, &Eval::unaryop, out); }

// The value converted to a type: integers are cut to its size, floating
// constants truncated toward zero, addresses keep their symbol.
void Eval::cast(Value& v, TypeNode* to) {
    TypeNode* t = basetype(to);
    v.type = to;
    if (!t) return;
    if (ty::isfloating(t->code)) {
        if (!v.isfloat) v.fv = v.uns ? static_cast<double>(v.v) : static_cast<double>(static_cast<int32_t>(v.v));
        v.isfloat = true;
        return;
    }
    if (v.isfloat) {
        double d = std::trunc(v.fv);
        if (!(d > -4294967296.0 && d < 4294967296.0)) d = 0;
        v.v = d < 0 ? static_cast<uint32_t>(static_cast<int64_t>(d)) : static_cast<uint32_t>(static_cast<uint64_t>(d));
        v.isfloat = false;
    }
    if (v.contents && t->code != ty::Void) v.constant = false;
    uint32_t size = t->code == ty::Pointer ? 4 : typesize(P, t);
    v.uns = (t->code & 0x01) || t->code == ty::Pointer;
    if (v.sym || size >= 4) return;
    uint32_t bits = 8 * size;
    uint32_t mask = (1u << bits) - 1;
    v.v &= mask;
    if (!v.uns && (v.v >> (bits - 1))) v.v |= ~mask;
}

void Eval::member(Value& v, bool arrow) {
    Token* t = next();
    TypeNode* st = basetype(v.type);
    if (arrow) st = st && (st->code == ty::Pointer || st->code == ty::Array) ? basetype(st->subtype) : nullptr;
    v.constant = false;
    v.sym = nullptr;
    v.type = nullptr;
    if (t->code != tok::Name) {
        back();
        return;
    }
    if (!st || (st->code != ty::Struct && st->code != ty::Union)) return;
    for (Symbol* m = st->members; m; m = m->next)
        if (m->name == t->name) v.type = m->type;
}

bool Eval::unaryop(Value& out) {
    Token* t = next();
    uint16_t op = t->code;
    if (op == tok::Plus || op == tok::Minus || op == tok::Tilde || op == tok::Not) {
        if (!operand(out, &Eval::unary)) return false;
        if (out.sym && op != tok::Plus) {
            out.sym = nullptr;
            out.constant = false;
        }
        if (op == tok::Minus) {
            out.v = 0u - out.v;
            out.fv = -out.fv;
        }
        if (op == tok::Tilde) out.v = ~out.v;
        if (op == tok::Not) {
            out.v = out.isfloat ? out.fv == 0 : !out.v;
            out.uns = out.isfloat = false;
            out.type = nullptr;
        }
        return true;
    }
    if (op == tok::Amp || op == tok::Star) {
        if (!operand(out, &Eval::unary)) return false;
        TypeNode* t0 = out.type;
        if (op == tok::Amp) {
            if (out.sym && out.contents)
                out.contents = false;
            else if (!(out.sym && t0 && (t0->code == ty::Array || t0->code == ty::Function)))
                out.constant = false;
            TypeNode* p = newtype(P, ty::Pointer, t0);
            p->detail = defaultspace(P, out.sym ? out.sym->attributes : 0, sc::Pointee, t0 ? t0->code : 0);
            out.type = p;
        } else {
            if (out.sym && !out.contents && t0 && t0->code == ty::Pointer)
                out.contents = true;
            else
                out.constant = false;
            TypeNode* b = basetype(t0);
            out.type = b && (b->code == ty::Pointer || b->code == ty::Array) ? b->subtype : nullptr;
        }
        return true;
    }
    if (op == kw::Sizeof) {
        Value v;
        ++skip;
        bool ok = false;
        if (next()->code == tok::LParen) {
            Token* n = next();
            bool istype = startstypename(P, n);
            back();
            if (istype) {
                v.type = parsetypename(P);
                expecttoken(P, tok::RParen);
                ok = true;
            } else {
                back();
            }
        } else {
            back();
        }
        if (!ok) ok = operand(v, &Eval::unary);
        --skip;
        if (!ok) return false;
        out = Value{};
        out.v = v.type ? sizeoftype(P, v.type) : v.isfloat ? typesize(P, P.types.dbl) : 4;
        out.uns = true;
        out.type = P.types.uint;
        return true;
    }
    if (op == tok::LParen) {
        Token* n = next();
        if (startstypename(P, n)) {
            back();
            TypeNode* to = parsetypename(P);
            expecttoken(P, tok::RParen);
            if (!operand(out, &Eval::unary)) return false;
            cast(out, to);
            return true;
        }
        back();
    }
    back();
    return postfix(out);
}

bool Eval::postfix(Value& out) {
    if (!primary(out)) return false;
    for (;;) {
        // only objects, addresses and functions take postfix operators
        TypeNode* b = basetype(out.type);
        if (!out.sym && !(b && b->code >= ty::Struct && b->code != ty::Enum && b->code != ty::Void)) return true;
        Token* t = next();
        switch (t->code) {
        case tok::LBrack: {
            Value index;
            if (!operand(index, &Eval::expr)) return false;
            expecttoken(P, tok::RBrack);
            out.type = b && (b->code == ty::Pointer || b->code == ty::Array) ? b->subtype : nullptr;
            out.constant = false;
            out.sym = nullptr;
            break;
        }
        case tok::Dot: member(out, false); break;
        case tok::Arrow: member(out, true); break;
        case tok::LParen: {
            if (next()->code != tok::RParen) {
                back();
                Value arg;
                if (!operand(arg, &Eval::expr)) return false;
                expecttoken(P, tok::RParen);
            }
            TypeNode* f = b;
            if (f && f->code == ty::Pointer) f = basetype(f->subtype);
            out.type = f && f->code == ty::Function ? f->subtype : nullptr;
            out.constant = false;
            out.sym = nullptr;
            break;
        }
        default: back(); return true;
        }
    }
}

// A name: an enumeration constant is its value; an object or a function
// stands for itself (placements take it, sizeof takes its type).
bool Eval::name(Value& out, const Token& t) {
    Symbol* s = findordinary(P, t.name);
    if (s && s->sclass == sc::Typedef) {
        back();
        return false;
    }
    out = Value{};
    if (!s) {
        out.constant = false;
        if (mode != 2 && !skip) {
            // only used: reported at the end of the unit
            s = newsym(P, &P.syms.scopes.ordinary, t.name, 0, P.types.sint);
            s->flags |= sf::Referenced;
            s->useline = t.line;
            s->usecolumn = t.column;
        }
        return true;
    }
    if (s->sclass == sc::EnumConst) {
        out.v = s->value;
        TypeNode* under = basetype(s->type);
        bool chartype = under && (under->code & 0xF0) == 0x10;
        out.type = chartype ? P.types.sint : s->type;
        out.uns = under && under->code == ty::ULong;
        return true;
    }
    if (!skip) s->flags |= sf::Referenced;
    out.sym = s;
    out.type = s->type;
    out.contents = !(s->type && (s->type->code == ty::Array || s->type->code == ty::Function));
    return true;
}

bool Eval::primary(Value& out) {
    Token* t = next();
    switch (t->code) {
    case tok::IntConst:
    case tok::UIntConst:
    case tok::MinIntConst:
        out = Value{};
        out.v = static_cast<uint32_t>(t->ival);
        out.uns = t->code != tok::IntConst;
        out.type = out.uns ? P.types.uint : P.types.sint;
        return true;
    case tok::FloatConst:
    case tok::DoubleConst: {
        out = Value{};
        out.isfloat = true;
        if (t->lit && t->lit->bytes.size() == sizeof(double)) std::memcpy(&out.fv, t->lit->bytes.data(), sizeof(double));
        out.type = t->code == tok::FloatConst ? P.types.flt : P.types.dbl;
        return true;
    }
    case tok::String: {
        out = Value{};
        out.constant = false;
        TypeNode* a = newtype(P, ty::Array, P.types.plainchar);
        a->detail = (t->lit ? t->lit->length : 0) + 1;
        out.type = a;
        return true;
    }
    case tok::Name: {
        Token copy = *t;
        return name(out, copy);
    }
    case tok::LParen:
        if (!operand(out, &Eval::expr)) return false;
        expecttoken(P, tok::RParen);
        return true;
    default:
        back();
        return false;
    }
}

}  // namespace

int evalconst(Parser& P, int32_t& out, int mode) {
    int32_t savednc = P.opt.nc;
    if (mode == 2) P.opt.nc = 0;
    Eval E{P, mode};
    Value v;
    bool found = E.cond(v);
    P.opt.nc = savednc;
    if (!found) {
        if (mode != 0 && !E.missing) putdiag(P, "missing expression");
        out = 0;
        return 0;
    }
    if (!v.constant || v.sym || v.isfloat) {
        putdiag(P, "invalid constant expression");
        v.v = 0;
    }
    out = static_cast<int32_t>(v.v);
    return 1;
}

bool evalexpr(Parser& P, ConstResult& out) {
    Eval E{P, 1};
    Value v;
    if (!E.cond(v)) return false;
    out.value = v.v;
    out.sym = v.sym;
    out.contents = v.contents;
    out.constant = v.constant && !v.isfloat;
    return true;
}

}  // namespace cpppc

// Integer constant expressions, as #if and #elif need them: evalconst reads
// one conditional expression from the token stream and folds it with the
// target's int and unsigned int (32 bits, wrap-around). Division by zero is
// never folded, so such an expression is not constant; an operand in a branch
// that is not taken (0 && x, 1 || x, the other arm of ?:) is parsed but its
// faults are not reported. sizeof takes the target's sizes.
//
// expr       := cond
// cond       := lor [ '?' expr ':' cond ]
// lor .. mul := binary operators by C precedence
// unary      := ('+' | '-' | '~' | '!') unary | sizeof unary | sizeof '(' type ')' | primary
// primary    := constant | string | '(' expr { ',' expr } ')'
#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

struct Value {
    uint32_t v = 0;
    bool uns = false;
    bool constant = true;  // false: not an integer constant (reported at the end)
    uint32_t size = 4;     // what sizeof gives for it: int, float, double, string
};

struct Eval {
    Parser& P;
    int skip = 0;          // > 0 inside a branch that is not taken
    bool zerodiv = false;  // a division by zero was met (and reported)
    bool missing = false;  // an operand was missing
    int nesting = 0;       // parentheses and unary operators, bounded
    int condnesting = 0;   // nested ?: operands, bounded like nesting

    Token* next() { return nexttoken(P); }
    void back() { pushtoken(P); }

    bool cond(Value& out);
    bool condop(Value& out);
    bool nested(int& depth, bool (Eval::*f)(Value&), Value& out);
    bool binary(Value& out, int level);
    bool unary(Value& out);
    bool unaryop(Value& out);
    bool primary(Value& out);
    bool operand(Value& out, bool (Eval::*f)(Value&)) {
        if ((this->*f)(out)) return true;
        if (!missing) putdiag(P, "missing expression");
        missing = true;
        return false;
    }
    int typesize();
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

Value fold(Eval& E, uint16_t op, const Token& at, const Value& a, const Value& b) {
    Value r;
    r.constant = a.constant && b.constant;
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
                E.P.diagfile = srcfilename(E.P);
                E.P.diagat = true;
                E.P.diagline = at.line;
                E.P.diagcolumn = at.column & 0x7fff;
                E.P.diagwidth = static_cast<int>(at.length);
                putdiag(E.P, op == tok::Slash ? "zero divide" : "zero modulus");
                E.P.diagat = false;
                E.zerodiv = true;
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

bool Eval::cond(Value& out) { return nested(condnesting, &Eval::condop, out); }

bool Eval::condop(Value& out) {
    if (!binary(out, 0)) return false;
    Token* t = next();
    if (t->code != tok::Quest) {
        back();
        return true;
    }
    bool take = out.v != 0;
    Value a, b;
    skip += !take;
    bool ok = operand(a, &Eval::cond);
    skip -= !take;
    if (!ok) return false;
    expecttoken(P, tok::Colon);
    skip += take;
    ok = operand(b, &Eval::cond);
    skip -= take;
    if (!ok) return false;
    Value r = take ? a : b;
    r.uns = a.uns || b.uns;
    r.constant = out.constant && a.constant && b.constant;
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
        bool skipped = (op == tok::AndAnd && out.v == 0) || (op == tok::OrOr && out.v != 0);
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

// sizeof '(' type ')': the basic types and pointers to anything.
int Eval::typesize() {
    int size = 0;
    bool islong = false, isshort = false, any = false;
    for (;;) {
        Token* t = next();
        switch (t->code) {
        case tok::KeywordBase + 3: size = 1; break;  // char
        case tok::KeywordBase + 16: if (!size) size = 4; break;  // int
        case tok::KeywordBase + 17: islong = true; break;  // long
        case tok::KeywordBase + 20: isshort = true; break;  // short
        case tok::KeywordBase + 12: size = 4; break;  // float
        case tok::KeywordBase + 8: size = P.opt.f ? 4 : 8; break;  // double
        case tok::KeywordBase + 29: size = 1; break;  // void
        case tok::KeywordBase + 21:  // signed
        case tok::KeywordBase + 28:  // unsigned
        case tok::KeywordBase + 4:   // const
        case tok::KeywordBase + 30:  // volatile
            break;
        case tok::Star:
            size = 4;
            islong = isshort = false;
            any = true;
            while (next()->code == tok::Star) {
            }
            back();
            return size;
        default:
            back();
            if (!any) return 0;
            if (isshort) return 2;
            if (islong && size != 8) return 4;
            return size ? size : 4;
        }
        any = true;
    }
}

bool Eval::unary(Value& out) { return nested(nesting, &Eval::unaryop, out); }

bool Eval::unaryop(Value& out) {
    Token* t = next();
    uint16_t op = t->code;
    if (op == tok::Plus || op == tok::Minus || op == tok::Tilde || op == tok::Not) {
        if (!operand(out, &Eval::unary)) return false;
        if (op == tok::Minus) out.v = 0u - out.v;
        if (op == tok::Tilde) out.v = ~out.v;
        if (op == tok::Not) {
            out.v = !out.v;
            out.uns = false;
        }
        return true;
    }
    if (op == tok::Sizeof) {
        Token* n = next();
        if (n->code == tok::LParen) {
            int size = typesize();
            if (size) {
                expecttoken(P, tok::RParen);
                out = Value{static_cast<uint32_t>(size), true, true};
                return true;
            }
            back();
        } else {
            back();
        }
        // The operand is not evaluated: only its type counts.
        Value v;
        ++skip;
        bool ok = operand(v, &Eval::unary);
        --skip;
        if (!ok) return false;
        out = Value{v.size, true, true};
        return true;
    }
    back();
    return primary(out);
}

bool Eval::primary(Value& out) {
    Token* t = next();
    switch (t->code) {
    case tok::IntConst:
    case tok::UIntConst:
    case tok::MinIntConst:
        out = Value{static_cast<uint32_t>(t->ival), t->code != tok::IntConst, true};
        return true;
    case tok::FloatConst:
    case tok::DoubleConst:
        out = Value{0, false, false, t->code == tok::DoubleConst && !P.opt.f ? 8u : 4u};
        return true;
    case tok::String:
        out = Value{0, false, false, t->lit ? t->lit->length + 1 : 1};
        return true;
    case tok::LParen: {
        if (!operand(out, &Eval::cond)) return false;
        for (;;) {
            Token* n = next();
            if (n->code != tok::Comma) {
                back();
                break;
            }
            // The value of a comma expression is not an integer constant.
            if (!operand(out, &Eval::cond)) return false;
            out.constant = false;
        }
        expecttoken(P, tok::RParen);
        return true;
    }
    default:
        back();
        return false;
    }
}

}  // namespace

int evalconst(Parser& P, int32_t& out, int mode) {
    int32_t savednc = P.opt.nc;
    if (mode == 2) P.opt.nc = 0;
    Eval E{P};
    Value v;
    bool found = E.cond(v);
    P.opt.nc = savednc;
    if (!found) {
        if (mode != 0 && !E.missing) putdiag(P, "missing expression");
        out = 0;
        return 0;
    }
    if (!v.constant) {
        putdiag(P, "invalid constant expression");
        v.v = 0;
    }
    out = static_cast<int32_t>(v.v);
    return 1;
}

}  // namespace cpppc

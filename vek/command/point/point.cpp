// The point check and the line language's integer expressions.
//
// The check records the first hit until someone clears it; the busy flag
// keeps it from re-entering itself when defining the hit symbols touches
// anything that checks again. lineexpr is a recursive descent over five
// binding levels; all arithmetic wraps in 32 bits.
#include "vek/command/point/point.h"

#include <memory>

#include "vek/core/support/messages.h"
#include "vek/core/support/symbols.h"
#include "vek/core/support/text.h"

namespace vek {

namespace {

std::unique_ptr<PointState> state = std::make_unique<PointState>();

constexpr int kExecBit = 4;

}  // namespace

PointState& pointstate() { return *state; }
void resetpoints() { state = std::make_unique<PointState>(); }

void clearhit() {
    state->hitnum = 0;
    state->hitaddr = 0;
}

uint32_t chkpoints(uint32_t address, int kind) {
    PointState& st = *state;
    if (st.hitnum != 0 || st.busy) return st.hitnum;
    st.busy = true;
    SymbolTable& t = symtab();
    if (t.time && t.btime && *t.time >= *t.btime && (kind & kExecBit)) {
        defsym(".abrk", address);
        defsym(".nbrk", TimePoint);
        defsym(".tbrk", static_cast<uint32_t>(kind & 3));
        st.hitnum = TimePoint;
        st.hitaddr = address;
    }
    st.busy = false;
    return st.hitnum;
}

namespace {

// The expression grammar, loosest level first:
//   logical    := compare { ("&&" | "||") compare }
//   compare    := additive { ("<" | ">" | "<=" | ">=" | "==" | "!=") additive }
//   additive   := ["+" | "-"] term { ("+" | "-" | "^" | "|") term }
//   term       := operand { ("*" | "/" | "%" | "&" | "<<" | ">>") operand }
//   operand    := number | 'chars' | "(" logical ")" | "!" operand | "~" operand
struct LineParser {
    const char*& p;
    // Nesting of operands ('(', '!', '~'); beyond the bound the expression
    // is a syntax error, reported once, and the rest reads as 0 so the stack
    // stays bounded whatever the text.
    static constexpr int kMaxDepth = 256;
    int depth = 0;
    bool abandoned = false;

    void report(int32_t id) {
        if (!abandoned) errmsg(id);
    }

    void blanks() {
        while (*p == ' ' || *p == '\t') ++p;
    }
    bool take(const char* op) {
        size_t n = 0;
        while (op[n] && p[n] == op[n]) ++n;
        if (op[n] != '\0') return false;
        p += n;
        return true;
    }
    static int32_t wrap(uint32_t v) { return static_cast<int32_t>(v); }
    static uint32_t bits(int32_t v) { return static_cast<uint32_t>(v); }

    int32_t logical() {
        int32_t left = compare();
        for (;;) {
            blanks();
            if (take("&&")) {
                int32_t right = compare();
                left = left != 0 && right != 0;
            } else if (take("||")) {
                int32_t right = compare();
                left = left != 0 || right != 0;
            } else {
                return left;
            }
        }
    }

    int32_t compare() {
        int32_t left = additive();
        for (;;) {
            blanks();
            if (take("<=")) left = left <= additive();
            else if (take(">=")) left = left >= additive();
            else if (take("==")) left = left == additive();
            else if (take("!=")) left = left != additive();
            else if (p[0] == '<' && p[1] != '<' && take("<")) left = left < additive();
            else if (p[0] == '>' && p[1] != '>' && take(">")) left = left > additive();
            else return left;
        }
    }

    int32_t additive() {
        blanks();
        int32_t left;
        if (take("-")) left = wrap(0u - bits(term()));
        else if (take("+")) left = term();
        else left = term();
        for (;;) {
            blanks();
            if (take("+")) left = wrap(bits(left) + bits(term()));
            else if (take("-")) left = wrap(bits(left) - bits(term()));
            else if (take("^")) left ^= term();
            else if (p[0] == '|' && p[1] != '|' && take("|")) left |= term();
            else return left;
        }
    }

    int32_t term() {
        int32_t left = operand();
        for (;;) {
            blanks();
            if (take("*")) {
                left = wrap(bits(left) * bits(operand()));
            } else if (take("/") || (p[0] == '%' && take("%"))) {
                bool divide = p[-1] == '/';
                int32_t right = operand();
                if (right == 0) {
                    report(12);
                } else if (right == -1) {
                    left = divide ? wrap(0u - bits(left)) : 0;
                } else {
                    left = divide ? left / right : left % right;
                }
            } else if (p[0] == '&' && p[1] != '&' && take("&")) {
                left &= operand();
            } else if (take("<<")) {
                left = wrap(bits(left) << (bits(operand()) & 31));
            } else if (take(">>")) {
                left >>= bits(operand()) & 31;
            } else {
                return left;
            }
        }
    }

    int32_t operand() {
        if (abandoned) return 0;
        if (depth >= kMaxDepth) {
            report(13);
            abandoned = true;
            return 0;
        }
        ++depth;
        int32_t value = nested();
        --depth;
        return value;
    }

    int32_t nested() {
        blanks();
        if (take("(")) {
            int32_t value = logical();
            blanks();
            if (!take(")")) report(13);
            return value;
        }
        if (take("!")) return operand() == 0;
        if (take("~")) return ~operand();
        if (*p == '\'') {
            uint32_t value = 0;
            for (++p; *p != '\0' && *p != '\''; ++p) value = value * 256 + static_cast<unsigned char>(*p);
            if (*p == '\'') ++p;
            return wrap(value);
        }
        // The text is NUL-ended; the number grammar stops at the NUL.
        int32_t value = 0;
        p += parselong(p, INT32_MAX, &value, 1);
        return value;
    }
};

}  // namespace

int32_t lineexpr(const char*& cursor) {
    LineParser parser{cursor};
    return parser.logical();
}

}  // namespace vek

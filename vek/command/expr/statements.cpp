// Statements between a command line and its commands: if / else, while,
// do ... while, return, braced blocks and plain commands separated by ';'.
//
// The one idea: a statement is text and is run where it stands; loops keep
// pointers to their condition and body and run them again, so nothing is
// copied. Keywords are recognised by their first characters. Nesting is
// bounded and loops end at the stop request, so no line can overflow the
// stack or hang the debugger.
#include <cstring>

#include "vek/command/expr/internal.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/output.h"

namespace vek {

using namespace exprimpl;

namespace {

constexpr int MaxNesting = 64;
int g_nesting = 0;

bool startswith(const char* p, const char* word) { return std::strncmp(p, word, std::strlen(word)) == 0; }

void stmterror(const char* what, int msg) { puterror({what, msgtext(msg), "\n"}); }

// The condition after '(' up to its ')': false when it does not evaluate.
bool condition(const char*& p, bool& value) {
    int error = 0;
    ExprPtr v(xexpr(p, error, 1));
    if (error) return false;
    p = skipblanks(p);
    if (*p != ')') return false;
    ++p;
    value = v->isfloat() ? v->dbl() != 0.0 : v->u32() != 0;
    return true;
}

// The next word begins with "else": the position after it.
const char* elseword(const char* p) {
    p = skipblanks(p);
    return startswith(p, "else") ? p + 4 : nullptr;
}

const char* ifstatement(const char* p, int user) {
    p = skipblanks(p);
    bool c = false;
    if (*p != '(' || !condition(++p, c)) {
        stmterror("if: ", 13);
        return nullptr;
    }
    if (c) {
        const char* r = execblock(p, user);
        if (!r) return nullptr;
        if (const char* e = elseword(r)) {
            if (!*skipblanks(e)) {
                stmterror("else: ", 13);
                return e + std::strlen(e);
            }
            return skipstatement(e);
        }
        return r;
    }
    const char* r = skipstatement(p);
    if (const char* e = elseword(r)) {
        if (!*skipblanks(e)) {
            puterror({msgtext(67), "\n"});
            return nullptr;
        }
        return execblock(e, user);
    }
    return r;
}

const char* whilestatement(const char* p, int user) {
    p = skipblanks(p);
    const char* cond = p + 1;
    const char* q = cond;
    bool c = false;
    if (*p != '(' || !condition(q, c)) {
        stmterror("while: ", 13);
        return nullptr;
    }
    const char* body = q;
    if (!c) return skipstatement(body);
    for (;;) {
        const char* r = execblock(body, user);
        if (!r || stoprequested()) return nullptr;
        q = cond;
        if (!condition(q, c)) {
            stmterror("while: ", 13);
            return nullptr;
        }
        if (!c) return r;
    }
}

const char* dostatement(const char* body, int user) {
    for (;;) {
        const char* r = execblock(body, user);
        if (!r || stoprequested()) return nullptr;
        const char* q = skipblanks(r);
        if (!startswith(q, "while")) {
            stmterror("do: ", 13);
            return nullptr;
        }
        q = skipblanks(q + 5);
        bool c = false;
        if (*q != '(' || !condition(++q, c) || *(q = skipblanks(q)) != ';') {
            stmterror("do while: ", 13);
            return nullptr;
        }
        if (!c) return q + 1;
    }
}

const char* command(const char* text, int user) {
    const ExprHooks& h = exprenv().hooks;
    if (!h.dispatch) {
        puterror({msgtext(11), ": ", text, "\n"});
        return nullptr;
    }
    const char* r = h.dispatch(text, user);
    // A result outside the line, at its start, or none abandons the rest of
    // it (a command that did not move on would otherwise run forever).
    size_t n = std::strlen(text);
    if (!r || r <= text || r > text + n) return nullptr;
    r = skipblanks(r);
    if (!*r) return r;
    if (*r == ';') return r + 1;
    puterror({msgtext(68), "';': ", r, "\n"});
    return r;
}

const char* statement(const char* text, int user) {
    if (*text == '{') {
        const char* r = execblock(text, user);
        if (!r) return nullptr;
        r = skipblanks(r);
        return *r == ';' ? r + 1 : r;
    }
    if (startswith(text, "if")) return ifstatement(text + 2, user);
    if (startswith(text, "while")) return whilestatement(text + 5, user);
    if (startswith(text, "do")) return dostatement(text + 2, user);
    if (startswith(text, "return")) return nullptr;
    return command(text, user);
}

}  // namespace

const char* execstatement(const char* text, int user) {
    text = skipblanks(text);
    if (!*text) return text;
    if (*text == ';') return text + 1;
    if (g_nesting >= MaxNesting) {
        puterror({msgtext(13), "\n"});
        return nullptr;
    }
    // A command may end the program by unwinding through here.
    struct Level {
        Level() { ++g_nesting; }
        ~Level() { --g_nesting; }
    } level;
    return statement(text, user);
}

const char* execblock(const char* text, int user) {
    text = skipblanks(text);
    if (*text != '{') return execstatement(text, user);
    int level = 0;
    const char* p = text;
    for (;;) {
        p = skipblanks(p);
        if (!*p) {
            stmterror("{}: ", 13);
            return nullptr;
        }
        if (*p == '{') {
            ++level;
            ++p;
        } else if (*p == '}') {
            ++p;
            if (--level == 0) return p;
        } else if (*p == ';') {
            ++p;
        } else {
            p = execstatement(p, user);
            if (!p) return nullptr;
        }
    }
}

const char* skipstatement(const char* text) {
    const char* p = skipblanks(text);
    if (*p != '{') {
        const char* semi = std::strchr(p, ';');
        return semi ? semi + 1 : p + std::strlen(p);
    }
    int level = 0;
    for (; *p; ++p) {
        if (*p == '{') ++level;
        if (*p == '}' && --level == 0) return p + 1;
    }
    return p;
}

void execline(const char* text, int user) {
    const char* p = text;
    while (p && *skipblanks(p)) p = execstatement(p, user);
}

}  // namespace vek

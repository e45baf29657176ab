// The eval command (x): a ','-separated list of expressions, each printed
// on its own line in the display format its option letter asks for; and
// the steps that follow a register change made by an expression.
#include <cctype>
#include <cstring>

#include "vek/command/expr/internal.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"
#include "vek/core/target/registers.h"

namespace vek {

using namespace exprimpl;

namespace {

// Option letters of eval and the display letter each selects.
struct EvalOption {
    char option;
    char letter;
};
constexpr EvalOption evaloptions[] = {
    {'D', 'd'}, {'B', 'b'}, {'H', 'h'}, {'U', 'u'}, {'S', 'S'}, {'O', 'o'}, {'C', 'C'}, {'X', 'x'},
};

bool groupchar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u > ' ' && u != 0x7F && c != ':' && c != ';';
}

// Reads the option groups at p: display letters, /Q (quiet) and /F:B,
// /F:W, /F:L (the memory size shown for a symbol); false after reporting a
// wrong option.
bool evalopts(const char*& p, char& letter, char& size) {
    p = skipblanks(p);
    while (*p == '/') {
        const char* q = p + 1;
        for (; groupchar(*q); ++q) {
            char c = char(std::toupper(static_cast<unsigned char>(*q)));
            if (c == 'Q') {
                letter = 'Q';
                continue;
            }
            if (c == 'F') {
                if (q[1] != ':') {
                    puterror({" Wrong option ", q, "\n"});
                    return false;
                }
                char f = char(std::toupper(static_cast<unsigned char>(q[2])));
                if (f != 'B' && f != 'W' && f != 'L') {
                    puterror({"Wrong Format for /F: ", q + 2, "\n"});
                    return false;
                }
                size = f;
                q += 2;
                continue;
            }
            const EvalOption* found = nullptr;
            for (const EvalOption& o : evaloptions)
                if (o.option == c) found = &o;
            if (!found) {
                puterror({"Unknown Option ", q, "\n"});
                return false;
            }
            letter = found->letter;
        }
        p = skipblanks(q);
    }
    return true;
}

// The line of a program symbol: its value, or with /F: the byte, half-word
// or word at it.
void putsymbolline(const std::string& text, uint32_t value, char size, char letter) {
    ExprValue s;
    std::string head = "    " + text + " = ";
    ExprEnv& env = exprenv();
    switch (size) {
    case 'B':
        s.type = tc::UChar;
        s.setint(env.mem ? getbyte(value) : 0);
        head = "    [" + text + "].b = ";
        break;
    case 'W':
        s.type = tc::UShort;
        s.setint(env.mem ? getword(value) : 0);
        head = "    [" + text + "].w = ";
        break;
    case 'L':
        s.type = tc::ULong;
        s.setint(env.mem ? getlong(value) : 0);
        head = "    [" + text + "].l = ";
        break;
    default:
        s.type = tc::ULong;
        s.setint(value);
    }
    writeout(head);
    putresult(s, letter);
    writeout("\n");
}

// The end of the statement that holds p: its ';' or closing '}', or the end.
const char* statementend(const char* p) { return p + std::strcspn(p, ";}"); }

std::string trimmed(const char* from, const char* to) {
    while (to > from && static_cast<unsigned char>(to[-1]) <= ' ') --to;
    return std::string(from, size_t(to - from));
}

}  // namespace

const char* evalcmd(const char* text, int /*user*/) {
    const char* p = text;
    char letter = 0, size = 0;
    if (!evalopts(p, letter, size)) return text + std::strlen(text);
    for (;;) {
        const char* start = skipblanks(p);
        int error = 0;
        ExprPtr v(xexpr(p, error, 1));
        const ProgramSymbol* sym = rensym(v->text);
        bool regvar = v->kind == 4 || v->kind == 5 || v->kind == 7 || v->kind == 23;
        if (error && !(error == 53 && regvar) && !sym) {
            const char* end = statementend(p);
            puterror({msgtext(error), ": ", trimmed(start, end), "\n"});
            return end;
        }
        if (letter != 'Q' && v->kind != term::NoValue) {
            if (sym) {
                putsymbolline(v->text, sym->value, size, letter);
            } else if (!putvalueline(*v, letter)) {
                return nullptr;   // stopped: the rest of the line is abandoned
            }
        }
        p = skipblanks(p);
        if (*p != ',') break;
        ++p;
    }
    if (exprenv().hooks.refreshdata) exprenv().hooks.refreshdata();
    return p;
}

void syncregs(int pcchanged) {
    ExprEnv& env = exprenv();
    if (env.hooks.refreshregs) env.hooks.refreshregs();
    if (pcchanged && env.regs) {
        uint32_t pc = env.regs->getpc();
        const LineRecord* stmt = env.debug ? findstmtat(*env.debug, pc) : nullptr;
        bool atline = env.debug && islinestart(*env.debug, pc);
        if (env.hooks.trackposition) env.hooks.trackposition(stmt, atline);
        if (env.hooks.showlocation) env.hooks.showlocation();
    }
    fireupdatecbs(1);
}

}  // namespace vek

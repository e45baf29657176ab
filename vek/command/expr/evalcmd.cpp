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

// Reads the option groups at p; false after reporting an unknown letter.
bool evalopts(const char*& p, char& letter) {
    p = skipblanks(p);
    while (*p == '/') {
        const char* q = p + 1;
        for (; groupchar(*q); ++q) {
            char c = char(std::toupper(static_cast<unsigned char>(*q)));
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

// The end of the statement that holds p: its ';' or closing '}', or the end.
const char* statementend(const char* p) { return p + std::strcspn(p, ";}"); }

std::string trimmed(const char* from, const char* to) {
    while (to > from && static_cast<unsigned char>(to[-1]) <= ' ') --to;
    return std::string(from, size_t(to - from));
}

}  // namespace

const char* evalcmd(const char* text, int /*user*/) {
    const char* p = text;
    char letter = 0;
    if (!evalopts(p, letter)) return text + std::strlen(text);
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
        if (v->kind != term::NoValue) {
            if (sym) {
                ExprValue s;
                s.type = tc::ULong;
                s.setint(sym->value);
                writeout("    " + v->text + " = " + valuetext(s, letter) + "\n");
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

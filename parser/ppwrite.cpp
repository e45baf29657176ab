// The preprocessed text (-e): every logical line goes through ppline and its
// tokens are written with the white space in front of them. Without line
// markers the white space is written exactly (comments included); with -cr
// comments are dropped and "#line" markers keep the numbering; with -cq
// comments are dropped and no markers are written. With -md the same pass
// only collects the dependency line.
#include <cctype>
#include <cstring>
#include <string>

#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

bool iswordchar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '.'; }

// Two tokens that an expansion put side by side and that would read back as
// other tokens when written without a blank between them: a+ and ++, A and
// Q, 1e and +5, / and *.
bool wouldpaste(const Options& o, const PpToken* a, const PpToken* b) {
    if (!a || !a->textlen || !b->textlen || a->kind == tok::AsmLine || b->kind == tok::AsmLine) return false;
    unsigned char x = static_cast<unsigned char>(a->text[a->textlen - 1]);
    unsigned char y = static_cast<unsigned char>(b->text[0]);
    bool linecomments = !(o.sa && !o.c99);
    if (x == '/' && (y == '*' || (y == '/' && linecomments))) return true;
    bool words = iswordchar(x) && (iswordchar(y) || y == '\'' || y == '"');
    bool puncts = std::ispunct(x) && std::ispunct(y) && !iswordchar(x) && !iswordchar(y);
    bool exponent = a->kind == tok::Number && (x == 'e' || x == 'E') && (y == '+' || y == '-');
    if (!words && !puncts && !exponent) return false;
    std::string joined(a->text, a->textlen);
    joined.append(b->text, b->textlen);
    uint16_t kind = 0;
    bool unbalanced = false;
    const char* end = scantoken(joined.c_str(), o.sa != 0, kind, unbalanced);
    return static_cast<size_t>(end - joined.c_str()) != a->textlen;
}

struct Writer {
    Parser& P;
    std::FILE* out;
    bool markers;       // -cr
    bool dropcomments;  // -cr or -cq
    bool pending;
    bool havename = false;
    std::string lastname;
    uint32_t expected = 0;
    long column = 0;
    bool inasm = false;

    Writer(Parser& p, std::FILE* o, bool cr, bool drop)
        : P(p), out(o), markers(cr), dropcomments(drop), pending(cr) {}

    void put(const char* s, size_t n) {
        std::fwrite(s, 1, n, out);
        const void* nl = n ? std::memchr(s, '\n', n) : nullptr;
        if (!nl) {
            column += static_cast<long>(n);
            return;
        }
        size_t last = n;
        while (last > 0 && s[last - 1] != '\n') --last;
        column = static_cast<long>(n - last);
    }

    void marker(const PpToken* t) {
        const std::string& name = srcfilename(P);
        if (havename && name == lastname && t->line == expected) return;
        std::string doubled;
        for (char c : name) {
            if (c == '\\') doubled.push_back('\\');
            doubled.push_back(c);
        }
        std::fprintf(out, "#line %lu \"%s\"\n", static_cast<unsigned long>(t->line), doubled.c_str());
        havename = true;
        lastname = name;
        expected = t->line;
    }

    const PpToken* prev = nullptr;  // the token written last on this line

    void token(const PpToken* t) {
        bool eol = t->kind == tok::Eol;
        if (pending && markers) {
            marker(t);
            pending = false;
        }
        if (!eol && !inasm && column >= 2049) {
            std::fputc('\n', out);
            column = 0;
        }
        if (eol) {
            if (dropcomments) {
                std::fputc('\n', out);
                ++expected;
                pending = true;
            }
            column = 0;
        }
        if (dropcomments) {
            if (!eol) {
                uint32_t n = 0;
                while (n < t->wslen && (t->ws[n] == ' ' || t->ws[n] == '\t')) ++n;
                if (n)
                    put(t->ws, n);
                else if (t->wslen)
                    put(" ", 1);  // a comment or a joined line end becomes one blank
            }
        } else {
            put(t->ws, t->wslen);
            if (eol) column = 0;
        }
        if (!eol && t->wslen == 0 && wouldpaste(P.opt, prev, t)) put(" ", 1);
        if (t->kind != tok::Param) put(t->text, t->textlen);
        prev = eol ? nullptr : t;
    }
};

}  // namespace

void ppwrite(Parser& P) {
    Writer w(P, P.out ? P.out : stdout, P.opt.cr != 0, P.opt.cr || P.opt.cq);
    while (const char* line = getlogline(P, false)) {
        PpToken* list = ppline(P, splittokens(P, line));
        if (!list) continue;
        if (P.opt.md) {
            freepptokens(P, list);
            continue;
        }
        if (P.pp.asmstate != 0 && !w.inasm) {
            std::fputs("#asm\n", w.out);
            w.inasm = true;
            w.column = 0;
        } else if (w.inasm && P.pp.asmstate == 0) {
            std::fputs("#endasm\n", w.out);
            w.inasm = false;
            w.column = 0;
        }
        for (PpToken* t = list; t; t = t->link) w.token(t);
        freepptokens(P, list);
    }
    if (w.inasm && !P.opt.md) std::fputs("#endasm\n", w.out);
}

}  // namespace cpppc

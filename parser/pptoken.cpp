// Preprocessing tokens: splittokens cuts a logical line (or any text) into a
// list of PpToken records. Texts are never copied: a token points into the
// line buffer, a macro's text block or a kept text, and carries the white
// space in front of it so the -e text can reproduce the line. Records are
// recycled through a free list.
#include <cctype>
#include <cstring>

#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {
bool isnamechar(unsigned char c) { return std::isalnum(c) || c == '_'; }
bool isoctal(char c) { return c >= '0' && c <= '7'; }
bool isendofline(char c) { return c == '\0' || c == '\n'; }

// Skips one escape sequence after its backslash; returns the next position.
const char* skipescape(const char* p) {
    char c = *p;
    if (isoctal(c)) {
        for (int i = 0; i < 3 && isoctal(*p); ++i) ++p;
        return p;
    }
    if ((c == 'x' || c == 'X') && std::isxdigit(static_cast<unsigned char>(p[1]))) {
        ++p;
        while (std::isxdigit(static_cast<unsigned char>(*p))) ++p;
        return p;
    }
    if (c && std::strchr("\"'?\\abfnrtv", c)) return p + 1;
    return p;
}
}  // namespace

const char* scantoken(const char* p, bool sa, uint16_t& kind, bool& unbalanced) {
    unsigned char c = static_cast<unsigned char>(*p);
    const char* q = p;
    unbalanced = false;
    if (std::isdigit(c) || (c == '.' && std::isdigit(static_cast<unsigned char>(p[1])))) {
        bool hex = c == '0' && (p[1] == 'x' || p[1] == 'X');
        ++q;
        for (;;) {
            unsigned char d = static_cast<unsigned char>(*q);
            if ((d == 'e' || d == 'E') && (q[1] == '+' || q[1] == '-') && (!hex || sa)) {
                q += 2;
            } else if (d == '.' || isnamechar(d)) {
                ++q;
            } else {
                break;
            }
        }
        kind = tok::Number;
        return q;
    }
    if (c == '\'' || c == '"' || (c == 'L' && (p[1] == '\'' || p[1] == '"'))) {
        if (c == 'L') ++q;
        char quote = *q++;
        while (!isendofline(*q) && *q != quote) {
            if (*q == '\\')
                q = skipescape(q + 1);
            else
                ++q;
        }
        if (*q == quote)
            ++q;
        else
            unbalanced = true;
        kind = quote == '"' ? tok::String : tok::CharConst;
        return q;
    }
    if (c == '_' || std::isalpha(c)) {
        while (isnamechar(static_cast<unsigned char>(*q))) ++q;
        kind = tok::Name;
        return q;
    }
    size_t best = 0;
    for (const Punctuator& pu : kPunctuators) {
        if (pu.text[0] != *p) continue;
        size_t n = std::strlen(pu.text);
        if (n > best && std::strncmp(p, pu.text, n) == 0) {
            best = n;
            kind = pu.code;
        }
    }
    if (best == 0) {
        best = 1;
        kind = tok::Other;
    }
    return p + best;
}

PpToken* newpptoken(Parser& P) {
    PpToken* t = P.freetokens;
    if (t) {
        P.freetokens = t->link;
        *t = PpToken{};
        return t;
    }
    P.tokstore.emplace_back();
    return &P.tokstore.back();
}

void freepptoken(Parser& P, PpToken* tok) {
    tok->link = P.freetokens;
    P.freetokens = tok;
}

void freepptokens(Parser& P, PpToken* list) {
    while (list) {
        PpToken* next = list->link;
        freepptoken(P, list);
        list = next;
    }
}

PpToken* lasttoken(PpToken* list) {
    if (!list) return nullptr;
    while (list->link) list = list->link;
    return list;
}

bool tokenis(const PpToken* t, const char* text) {
    size_t n = std::strlen(text);
    return t && t->kind != tok::Param && t->textlen == n && std::memcmp(t->text, text, n) == 0;
}

// A pasted "//": an end-of-line token whose white space starts a comment.
bool iscommentend(const PpToken* r) {
    if (!r || r->kind != tok::Eol) return false;
    const char* w = r->ws;
    uint32_t n = r->wslen;
    while (n && (*w == ' ' || *w == '\t')) ++w, --n;
    return n >= 2 && w[0] == '/' && w[1] == '/';
}

void prependws(Parser& P, PpToken* t, const char* ws, uint32_t wslen) {
    if (!wslen) return;
    std::string joined(ws, wslen);
    joined.append(t->ws, t->wslen);
    t->ws = keeptext(P, joined.data(), joined.size());
    t->wslen = static_cast<uint32_t>(joined.size());
}

PpToken* copypptokens(Parser& P, PpToken* list, PpToken* tail) {
    PpToken* head = nullptr;
    PpToken** cell = &head;
    for (; list; list = list->link) {
        if (list->kind == tok::Eol) continue;
        PpToken* t = newpptoken(P);
        *t = *list;
        t->link = nullptr;
        *cell = t;
        cell = &t->link;
    }
    *cell = tail;
    return head;
}

PpToken* splittokens(Parser& P, const char* text) {
    const bool isline = text == P.src.linestart;
    const bool cutslash = !(P.opt.sa && !P.opt.c99);
    bool asmcomments = false;
    if (P.pp.asmstate != 0) {
        const char* q = text;
        while (*q == ' ' || *q == '\t') ++q;
        asmcomments = *q != '#';
    }
    PpToken* head = nullptr;
    PpToken** cell = &head;
    const char* p = text;
    while (*p) {
        PpToken* t = newpptoken(P);
        t->ws = p;
        for (;;) {
            if (P.src.opencomment) {
                const char* e = std::strstr(p, "*/");
                if (!e) {
                    p += std::strlen(p);
                    break;
                }
                p = e + 2;
                P.src.opencomment = false;
                continue;
            }
            char c = *p;
            if (c == '/' && p[1] == '*') {
                P.src.opencomment = true;
                p += 2;
            } else if ((c == '/' && p[1] == '/' && cutslash) || (c == ';' && asmcomments)) {
                while (!isendofline(*p)) ++p;
            } else if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') {
                ++p;
            } else {
                break;
            }
        }
        t->wslen = static_cast<uint32_t>(p - t->ws);
        t->line = srcline(P);
        uint32_t offset = static_cast<uint32_t>(p - text);
        t->column = static_cast<uint16_t>(offset);
        t->text = p;
        *cell = t;
        cell = &t->link;
        if (!*p) {
            t->kind = tok::Eol;
            break;
        }
        if (isline && P.src.nstarts > 1) {
            int k = P.src.nstarts - 1;
            while (k > 0 && P.src.starts[k] > offset) {
                --t->line;
                --k;
            }
            t->column = static_cast<uint16_t>(offset - P.src.starts[k]);
        }
        bool unbalanced = false;
        const char* q = scantoken(p, P.opt.sa != 0, t->kind, unbalanced);
        if (unbalanced && P.pp.asmstate == 0 && ppactive(P)) putdiag(P, "unbalanced %c", p[0] == 'L' ? p[1] : p[0]);
        t->textlen = static_cast<uint32_t>(q - p);
        p = q;
    }
    return head;
}

}  // namespace cpppc

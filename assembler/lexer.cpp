// The token scanner of an assembly line: names, numbers, strings, operators.
//
// The cursor walks the current line; a text literal (lit) pushes its text as
// a nested cursor that pops when it ends, so the literal's characters are
// scanned as if written in place. Numbers take their base from a prefix
// ("0x", "$", "@", "%") or a trailing letter (b, d, h, q); every digit is
// checked against that base.
#include <array>
#include <cstring>

#include "assembler/asm.h"

namespace as {

namespace {

constexpr size_t kMaxName = 255;
constexpr size_t kMaxString = 255;
constexpr size_t kMaxLiterals = 5;
constexpr int kMaxLineLiterals = 1000;

inline bool isalpha_(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
inline bool isdigit_(char c) { return c >= '0' && c <= '9'; }
inline bool isalnum_(char c) {
    static constexpr auto table = [] {
        std::array<bool, 256> t{};
        for (int c = 0; c < 256; c++)
            t[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (c >= '0' && c <= '9');
        return t;
    }();
    return table[static_cast<unsigned char>(c)];
}

int digitvalue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

bool recording(const Assembler& a) { return a.recmacro || a.recrepeat; }

}  // namespace

char curclit(Assembler& a) {
    while (!a.litstack.empty() && a.litstack.back().second >= a.litstack.back().first.size())
        a.litstack.pop_back();
    if (!a.litstack.empty()) return a.litstack.back().first[a.litstack.back().second];
    return a.pos < a.line.size() ? a.line[a.pos] : '\0';
}

char peekclit(Assembler& a, size_t ahead) {
    curclit(a);
    if (!a.litstack.empty()) {
        auto& [t, p] = a.litstack.back();
        return p + ahead < t.size() ? t[p + ahead] : '\0';
    }
    return a.pos + ahead < a.line.size() ? a.line[a.pos + ahead] : '\0';
}

void advancelit(Assembler& a, size_t n) {
    curclit(a);
    if (!a.litstack.empty())
        a.litstack.back().second += n;
    else
        a.pos = std::min(a.pos + n, a.line.size());
}

void asmskip(Assembler& a) {
    if (a.litstack.empty()) {
        while (a.pos < a.line.size() && (a.line[a.pos] == ' ' || a.line[a.pos] == '\t')) a.pos++;
        return;
    }
    for (char c = curc(a); c == ' ' || c == '\t'; c = curc(a)) advance(a);
}

bool lineend(Assembler& a) {
    if (!a.backtokens.empty()) {
        bool eol = a.backtokens.back() == T_EOL;
        a.backtokens.clear();
        if (!eol) return false;
    }
    return atend(a);
}

bool atend(Assembler& a) {
    asmskip(a);
    char c = curc(a);
    return c == '\0' || c == ';' || c == '\r' || c == '\n' || (c == '/' && peekc(a, 1) == '/');
}

void resettokens(Assembler& a) {
    a.tokline = nullptr;
    a.backtokens.clear();
    a.litcount = 0;
    a.litstack.clear();
}

void toomanyback(Assembler& a) { asmerr(a, "too many back tokens"); }

bool needtoken(Assembler& a, int tok) {
    int t = gettoken(a);
    if (t == tok) return true;
    asmerr(a, "syntax error");
    ungettoken(a, t);
    return false;
}

static void scanlong(Assembler& a, std::string& name, bool rec);

// name: letter, '_' or '.' first, then letters, digits, '_', '$', '.';
// digits then '$' form a local label.
std::string scanname(Assembler& a) {
    asmskip(a);
    std::string name;
    char c = curc(a);
    bool rec = recording(a);
    if (isdigit_(c)) {
        size_t k = 0;
        while (isdigit_(peekc(a, k))) k++;
        if (peekc(a, k) != '$') return "";
        for (size_t i = 0; i <= k; i++) {
            name.push_back(curc(a));
            advance(a);
        }
        return name;
    }
    if (!(isalpha_(c) || (c == '.' && a.dotnames) || (c == '\\' && rec))) return "";
    if (!rec && a.litstack.empty()) {
        // the common case: a name straight from the line
        size_t end = a.pos;
        while (end < a.line.size() && (isalnum_(a.line[end]) || a.line[end] == '$' || (a.line[end] == '.' && a.dotnames)))
            end++;
        name.assign(a.line, a.pos, end - a.pos);
        a.pos = end;
    } else {
        scanlong(a, name, rec);
    }
    if (name.size() > kMaxName) {
        asmerr(a, "symbol name too long: " + name.substr(0, 40) + "...");
        name.resize(kMaxName);
    }
    return name;
}

bool scanview(Assembler& a, std::string_view& out) {
    if (recording(a) || !a.litstack.empty()) return false;
    asmskip(a);
    const std::string& l = a.line;
    size_t p = a.pos;
    char c = p < l.size() ? l[p] : '\0';
    if (isdigit_(c)) return false;
    out = {};
    if (!(isalpha_(c) || (c == '.' && a.dotnames))) return true;
    size_t end = p;
    while (end < l.size() && (isalnum_(l[end]) || l[end] == '$' || (l[end] == '.' && a.dotnames))) end++;
    if (end - p > kMaxName) return false;
    out = std::string_view(l).substr(p, end - p);
    a.pos = end;
    return true;
}

// A name inside a text literal or a body being recorded.
static void scanlong(Assembler& a, std::string& name, bool rec) {
    char c;
    int paren = 0;
    for (;;) {
        c = curc(a);
        if (c == '\0') break;
        if (paren > 0) {
            if (c == ')') paren--;
        } else if (c == '\\' && rec) {
            char n = peekc(a, 1);
            if (!(n == '@' || n == '\\' || n == '(' || n == '#' || isalnum_(n))) break;
            name.push_back(c);
            advance(a);
            if (n == '(') paren++;
            c = curc(a);
        } else if (!(isalnum_(c) || c == '$' || (c == '.' && a.dotnames))) {
            break;
        }
        name.push_back(c);
        advance(a);
    }
}

// number: "0x" hex, or digits and letters a-q whose last letter b, d, h or q
// selects the base, or digits in the default base.
const char* scannum(Assembler& a, const char* text, uint32_t& out, bool& bad) {
    bad = false;
    out = 0;
    const char* p = text;
    auto accumulate = [&](const char* s, const char* e, int base) {
        if (s == e) bad = true;
        for (; s < e; s++) {
            int d = digitvalue(*s);
            if (d >= base) bad = true;
            out = out * static_cast<uint32_t>(base) + static_cast<uint32_t>(d < base ? d : 0);
        }
    };
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        const char* s = p + 2;
        const char* e = s;
        while (digitvalue(*e) < 16) e++;
        accumulate(s, e, 16);
        p = e;
    } else {
        const char* e = p;
        while (isdigit_(*e) || ((*e | 0x20) >= 'a' && (*e | 0x20) <= 'q')) e++;
        if (a.afterdefine)  // C suffixes after a #define value
            while (e > p + 1 && ((e[-1] | 0x20) == 'l')) e--;
        char last = static_cast<char>(e > p ? (e[-1] | 0x20) : 0);
        int base = 0;
        if (last == 'b') base = 2;
        else if (last == 'd') base = 10;
        else if (last == 'h') base = 16;
        else if (last == 'q') base = 8;
        // in base 16 "b" and "d" are digits; a trailing one still selects the base
        if (base) {
            accumulate(p, e - 1, base);
        } else {
            accumulate(p, e, a.base);
        }
        p = e;
    }
    if (a.afterdefine)
        while (*p == 'l' || *p == 'L' || *p == 'u' || *p == 'U') p++;
    while (isalnum_(*p) || *p == '$') {
        bad = true;
        p++;
    }
    return p;
}

static int scanstring(Assembler& a) {
    char q = curc(a);
    advance(a);
    a.tokstr.clear();
    bool toolong = false;
    for (;;) {
        char c = curc(a);
        if (c == '\0' || c == '\n' || c == '\r') {
            asmerr(a, "bad string constant");
            break;
        }
        advance(a);
        if (c == q) break;
        if (a.tokstr.size() < kMaxString)
            a.tokstr.push_back(c);
        else
            toolong = true;
    }
    if (toolong) asmerr(a, "string constant too long");
    return T_STRING;
}

int prefixnumber(Assembler& a, int base) {
    asmskip(a);
    uint32_t v = 0;
    int n = 0;
    bool bad = false;
    for (char c = curc(a); isalnum_(c); c = curc(a)) {
        int d = digitvalue(c);
        if (d >= base) bad = true;
        else v = v * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
        n++;
        advance(a);
    }
    if (n == 0 || bad) asmerr(a, "bad constant");
    a.tokval = v;
    return T_NUMBER;
}

static int scantoken(Assembler& a) {
    int substitutions = 0;
    for (;;) {
        asmskip(a);
        char c = curc(a);
        char n = peekc(a, 1);
        if (c == '\0' || c == ';' || c == '\n' || c == '\r' || (c == '/' && n == '/')) return T_EOL;
        auto two = [&](int tok) {
            advance(a, 2);
            return tok;
        };
        auto one = [&](int tok) {
            advance(a);
            return tok;
        };
        switch (c) {
        case ',': return one(T_COMMA);
        case ':': return one(T_COLON);
        case '(': return one(T_LPAREN);
        case ')': return one(T_RPAREN);
        case '[': return one(T_LBRACK);
        case ']': return one(T_RBRACK);
        case '#': return one(T_HASH);
        case '@': return one(T_AT);
        case '$': return one(T_DOLLAR);
        case '~': return one(T_COMPL);
        case '*': return one(T_MUL);
        case '/': return one(T_DIV);
        case '%': return one(T_MOD);
        case '^': return one(T_XOR);
        case '+': return one(T_PLUS);
        case '-': return one(T_MINUS);
        case '!': return n == '=' ? two(T_NE) : one(T_NOT);
        case '<':
            if (n == '<') return two(T_SHL);
            if (n == '=') return two(T_LE);
            if (n == '>') return two(T_NE);
            return one(T_LT);
        case '>':
            if (n == '>') return two(T_SHR);
            if (n == '=') return two(T_GE);
            return one(T_GT);
        case '=': return n == '=' ? two(T_EQ) : one(T_EQ);
        case '&': return n == '&' ? two(T_LAND) : one(T_AND);
        case '|': return n == '|' ? two(T_LOR) : one(T_OR);
        case '"':
        case '\'': return scanstring(a);
        default: break;
        }
        if (isdigit_(c)) {
            size_t k = 0;
            while (isdigit_(peekc(a, k))) k++;
            if (peekc(a, k) != '$' && a.litstack.empty()) {
                // the number straight from the line: scannum stops where
                // the number's letters and digits end
                bool bad = false;
                const char* start = a.line.c_str() + a.pos;
                const char* end = scannum(a, start, a.tokval, bad);
                advance(a, static_cast<size_t>(end - start));
                if (bad) asmerr(a, "bad constant");
                return T_NUMBER;
            }
            if (peekc(a, k) != '$') {
                // gather the number's characters and hand them to scannum
                std::string text;
                for (size_t i = 0; isalnum_(peekc(a, i)) || peekc(a, i) == '$'; i++) text.push_back(peekc(a, i));
                bool bad = false;
                const char* end = scannum(a, text.c_str(), a.tokval, bad);
                advance(a, static_cast<size_t>(end - text.c_str()));
                if (bad) asmerr(a, "bad constant");
                return T_NUMBER;
            }
        }
        std::string_view name;
        if (!scanview(a, name)) {
            a.tokname = scanname(a);
            name = a.tokname;
        }
        if (name.empty()) {
            if (c == '.') return one(T_DOT);
            return one(T_UNKNOWN);
        }
        if (curc(a) == '(') {
            static const struct {
                const char* name;
                int tok;
            } builtins[] = {{"strlen", T_STRLEN}, {"STRLEN", T_STRLEN}, {"page", T_PAGE}, {"PAGE", T_PAGE},
                            {"high", T_HIGH},     {"HIGH", T_HIGH},     {"low", T_LOW},   {"LOW", T_LOW},
                            {"phigh", T_PHIGH},   {"PHIGH", T_PHIGH},   {"plow", T_PLOW}, {"PLOW", T_PLOW}};
            for (const auto& b : builtins)
                if (name == b.name) {
                    advance(a);
                    return b.tok;
                }
        }
        AsmSymbol* s = a.syms.lookup(name);
        if (s && (s->iflags & SI_LITERAL)) {
            // a literal that names itself would never end: bound the chain
            // within one token and the substitutions of one line
            if (++substitutions > static_cast<int>(kMaxLiterals) || ++a.litcount > kMaxLineLiterals) {
                asmerr(a, "too many embedded literals");
                return T_UNKNOWN;
            }
            a.litstack.emplace_back(s->text, 0);
            continue;
        }
        if (s && (s->iflags & SI_REGISTER)) {
            a.tokreg = s->regcode;
            return T_REG;
        }
        a.toksym = refsym(a, s ? s : a.syms.find(name));
        return T_SYMBOL;
    }
}

uint8_t tokenmode(const Assembler& a) {
    return static_cast<uint8_t>(a.base | (a.dotnames ? 0x20 : 0) | (a.afterdefine ? 0x40 : 0));
}

void starttokens(Assembler& a, LineMemo* m) {
    a.tokline = nullptr;
    if (!m || a.line.size() >= 0xFFFF || recording(a)) return;
    a.tokline = m;
    a.tokreplay = m->tokcount > 0;
    a.toknext = m->tokfirst;
    a.tokexpect = m->tokstart;
}

// The next token as the line gave it before, when the cursor and the
// scanner state are where they were then; -1 otherwise (and the rest of
// the line is scanned).
static int replaytoken(Assembler& a) {
    LineMemo& m = *a.tokline;
    if (a.toknext >= m.tokfirst + m.tokcount || a.pos != a.tokexpect || !a.litstack.empty() ||
        recording(a)) {
        a.tokline = nullptr;
        return -1;
    }
    const CachedToken& c = a.tokmemo->tokens[a.toknext];
    if (c.mode != tokenmode(a)) {
        a.tokline = nullptr;
        return -1;
    }
    switch (c.tok) {
    case T_NUMBER: a.tokval = c.value; break;
    case T_REG: a.tokreg = static_cast<int>(c.value); break;
    case T_STRING: a.tokstr.assign(a.line, c.end - 1 - c.value, c.value); break;
    case T_MUL: a.tokvolatile = true; break;
    case T_SYMBOL: {
        a.tokvolatile = true;
        // a name that became a text literal, or a local label of another
        // block, is scanned anew
        AsmSymbol* s = c.value < a.syms.store.size() ? a.syms.store[c.value] : nullptr;
        if (!s || (s->iflags & SI_LITERAL) || ((s->iflags & SI_LOCAL) && s->block != a.syms.block)) {
            a.tokline = nullptr;
            return -1;
        }
        a.toksym = refsym(a, s);
        break;
    }
    default: break;
    }
    a.toknext++;
    a.tokexpect = c.end;
    a.pos = c.end;
    return c.tok;
}

bool skipoperands(Assembler& a, const LineMemo& m) {
    if (a.tokline != &m || (a.tokreplay ? a.toknext != m.tokfirst : m.tokcount != 0) || a.pos != m.tokstart ||
        !a.litstack.empty() || !a.backtokens.empty() || recording(a) || tokenmode(a) != m.insnmode)
        return false;
    a.pos = m.insnend;
    a.backtokens.push_back(m.insnlast);
    a.tokline = nullptr;
    return true;
}

static void recordtoken(Assembler& a, size_t start, uint8_t mode, int t) {
    LineMemo& m = *a.tokline;
    uint32_t value = 0;
    switch (t) {
    case T_NUMBER: value = a.tokval; break;
    case T_REG: value = static_cast<uint32_t>(a.tokreg); break;
    case T_STRING: value = static_cast<uint32_t>(a.tokstr.size()); break;
    case T_SYMBOL: value = a.toksym->id; break;
    default: break;
    }
    auto& toks = a.tokmemo->tokens;
    if (m.tokcount == 0) {
        m.insnsize = 0;  // the tokens take the place of a remembered encoding
        m.tokfirst = static_cast<uint32_t>(toks.size());
        m.tokstart = static_cast<uint16_t>(start);
    } else if (start != a.tokexpect || m.tokfirst + m.tokcount != toks.size() || m.tokcount == 0xFFFF) {
        a.tokline = nullptr;
        return;
    }
    toks.push_back({static_cast<uint16_t>(a.pos), static_cast<uint8_t>(t), mode, value});
    m.tokcount++;
    a.tokexpect = static_cast<uint16_t>(a.pos);
}

int gettoken(Assembler& a) {
    if (!a.backtokens.empty()) {
        int t = a.backtokens.back();
        a.backtokens.pop_back();
        return t;
    }
    if (a.tokline && a.tokreplay) {
        int t = replaytoken(a);
        if (t >= 0) return t;
    }
    if (!a.tokline || a.tokreplay || !a.litstack.empty() || recording(a)) {
        a.tokline = nullptr;
        a.tokvolatile = true;
        return scantoken(a);
    }
    // a token straight from the line, with no error, is remembered
    size_t start = a.pos;
    uint8_t mode = tokenmode(a);
    uint32_t errs = a.errcalls;
    int lits = a.litcount;
    int t = scantoken(a);
    if (t == T_SYMBOL || t == T_MUL) a.tokvolatile = true;
    if (a.tokline && a.errcalls == errs && a.litcount == lits && a.litstack.empty() && !recording(a))
        recordtoken(a, start, mode, t);
    else
        a.tokline = nullptr;
    return t;
}

bool getstring(Assembler& a, std::string& out) {
    int t = gettoken(a);
    if (t != T_STRING) {
        ungettoken(a, t);
        return false;
    }
    out = a.tokstr;
    return true;
}

}  // namespace as

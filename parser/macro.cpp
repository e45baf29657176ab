// The macro table and the expander. A macro keeps its replacement list as
// PpToken records whose texts live in one block of its own. expandmacros
// walks a token list and replaces invocations in place: it collects the
// arguments (reading further lines while an invocation is open at top level),
// stringizes (#), pastes (##), pre-expands the arguments, substitutes them and
// rescans the result. Recursion is stopped by each macro's expansion state:
// bit 0 while its own result is rescanned, 2 once it has been expanded within
// the current top-level expansion; names met in that state are marked never
// to expand again.
#include <cstring>
#include <ctime>

#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

constexpr uint16_t kPlacemarker = 0xFFFF;  // an empty argument taking part in ##

const char* const kPredefined[] = {"defined",  "__DATE__", "__TIME__", "__FILE__",
                                   "__LINE__", "__STDC__", "__ORBT__", "__TRGT__"};

int namelen(const Macro* m) { return static_cast<int>(m->name.size()); }

PpToken* clonetoken(Parser& P, const PpToken* t) {
    PpToken* c = newpptoken(P);
    *c = *t;
    c->link = nullptr;
    return c;
}

// A copy of the tokens first..last (inclusive).
PpToken* copyrange(Parser& P, PpToken* first, PpToken* last) {
    PpToken* head = nullptr;
    PpToken** cell = &head;
    for (PpToken* t = first; t; t = t->link) {
        *cell = clonetoken(P, t);
        cell = &(*cell)->link;
        if (t == last) break;
    }
    return head;
}

// A token of the given kind whose text is kept until the next top-level line.
PpToken* maketoken(Parser& P, uint16_t kind, const std::string& text, const PpToken* at) {
    PpToken* t = newpptoken(P);
    t->kind = kind;
    t->text = keeptext(P, text.data(), text.size());
    t->textlen = static_cast<uint32_t>(text.size());
    if (at) {
        t->ws = at->ws;
        t->wslen = at->wslen;
        t->line = at->line;
        t->column = at->column;
    }
    return t;
}

// t takes over the white space of from; a pasted "//" keeps its own text
// behind it, since that text is the comment.
void takews(Parser& P, PpToken* t, const PpToken* from) {
    if (iscommentend(t)) {
        const char* w = t->ws;
        uint32_t n = t->wslen;
        while (n && (*w == ' ' || *w == '\t')) ++w, --n;
        t->ws = w;
        t->wslen = n;
        prependws(P, t, from->ws, from->wslen);
        return;
    }
    t->ws = from->ws;
    t->wslen = from->wslen;
}

// Puts list in place of the token at *cell: the first token takes over its
// white space, every token its line and column. Returns the cell behind the
// inserted tokens.
PpToken** splicetokens(Parser& P, PpToken** cell, PpToken* list) {
    PpToken* old = *cell;
    PpToken* after = old->link;
    if (!list) {
        // An empty argument leaves its white space: f(a, ) stays readable.
        if (after && after->wslen == 0) {
            after->ws = old->ws;
            after->wslen = old->wslen;
        }
        *cell = after;
        freepptoken(P, old);
        return cell;
    }
    takews(P, list, old);
    PpToken* last = list;
    for (PpToken* t = list;; t = t->link) {
        t->line = old->line;
        t->column = old->column;
        last = t;
        if (!t->link) break;
    }
    last->link = after;
    *cell = list;
    freepptoken(P, old);
    return &last->link;
}

// The list after prev->link, an end-of-line token, is replaced by the tokens
// of the next logical line. The line end's white space is kept in front of
// the first new token so the written text keeps its line break.
bool readmore(Parser& P, PpToken* prev) {
    if (P.pp.indirective) return false;
    const char* line = getlogline(P, true);
    if (!line) return false;
    const char* first = line;
    while (*first == ' ' || *first == '\t') ++first;
    if (*first == '#' && !P.src.opencomment) {
        // A directive is not an argument: it stays a line of its own.
        holdline(P, line);
        return false;
    }
    PpToken* eol = prev->link;
    PpToken* list = splittokens(P, line);
    if (list) prependws(P, list, eol->ws, eol->wslen);
    PpToken* tail = lasttoken(list);
    if (tail) tail->link = eol->link;
    prev->link = list ? list : eol->link;
    freepptoken(P, eol);
    return true;
}

// Makes sure the line holds the whole invocation that starts at name.
void completeinvocation(Parser& P, PpToken* name) {
    for (;;) {
        PpToken* n = name->link;
        if (!n) return;
        if (n->kind == tok::Eol) {
            if (!readmore(P, name)) return;
            continue;
        }
        if (n->kind != tok::LParen) return;
        break;
    }
    int depth = 0;
    PpToken* prev = name;
    for (PpToken* q = name->link;;) {
        if (!q) return;
        if (q->kind == tok::Eol) {
            if (!readmore(P, prev)) return;
            q = prev->link;
            continue;
        }
        if (q->kind == tok::LParen) ++depth;
        if (q->kind == tok::RParen && --depth == 0) return;
        prev = q;
        q = q->link;
    }
}

// The ')' that closes the '(' at open, or none.
PpToken* closingparen(PpToken* open) {
    int depth = 0;
    for (PpToken* q = open; q; q = q->link) {
        if (q->kind == tok::Eol) return nullptr;
        if (q->kind == tok::LParen) ++depth;
        if (q->kind == tok::RParen && --depth == 0) return q;
    }
    return nullptr;
}

void appendescaped(std::string& out, const PpToken* t) {
    bool quoted = t->kind == tok::String || t->kind == tok::CharConst;
    for (uint32_t i = 0; i < t->textlen; ++i) {
        char c = t->text[i];
        if (quoted && (c == '\\' || c == '"')) out.push_back('\\');
        out.push_back(c);
    }
}

// The white space in front of a stringized token: blanks stay as written; a
// run that holds a comment or a line break becomes one blank (as -cr writes
// it), since a comment's text, which may hold quotes, is not part of the
// argument's spelling.
void appendstringws(std::string& out, const PpToken* t) {
    for (uint32_t i = 0; i < t->wslen; ++i) {
        if (t->ws[i] != ' ' && t->ws[i] != '\t') {
            out.push_back(' ');
            return;
        }
    }
    out.append(t->ws, t->wslen);
}

// '#' parameter: the '#' token becomes the string of the argument's spelling.
void stringize(Parser& P, PpToken* hash, PpToken* arg) {
    std::string s = "\"";
    for (PpToken* t = arg; t; t = t->link) {
        if (t != arg) appendstringws(s, t);
        appendescaped(s, t);
    }
    s.push_back('"');
    size_t i = 1;
    while (i < s.size() && s[i] != '"') i += s[i] == '\\' ? 2 : 1;
    if (i != s.size() - 1) putdiag(P, "unbalanced \" in string constant");
    hash->kind = tok::String;
    hash->text = keeptext(P, s.data(), s.size());
    hash->textlen = static_cast<uint32_t>(s.size());
}

// The tokens an operand of ## stands for: a parameter's raw argument (a
// placemarker when it is empty) or the token itself.
PpToken* pasteoperand(Parser& P, const PpToken* t, const std::vector<PpToken*>& args) {
    if (t->kind == tok::Param) {
        PpToken* list = copypptokens(P, args[t->textlen], nullptr);
        if (list) return list;
        PpToken* pm = newpptoken(P);
        pm->kind = kPlacemarker;
        return pm;
    }
    return clonetoken(P, t);
}

// Pastes the token at *cell with the operands of the '##' chain behind it.
// Returns the cell of the last token of the result.
PpToken** pastetokens(Parser& P, PpToken** cell, const Macro* m, const std::vector<PpToken*>& args) {
    for (;;) {
        PpToken* left = *cell;
        PpToken* hh = left->link;
        if (!hh || hh->kind != tok::HashHash) return cell;
        PpToken* right = hh->link;
        if (!right || right->kind == tok::Eol) {
            putdiag(P, "missing ## argument in macro %.*s", namelen(m), m->name.c_str());
            left->link = right;
            freepptoken(P, hh);
            return cell;
        }
        PpToken* after = right->link;
        PpToken* lseq = pasteoperand(P, left, args);
        PpToken* rseq = pasteoperand(P, right, args);
        // lseq = prefix + ltok, rseq = rtok + rest
        PpToken* ltok = lasttoken(lseq);
        PpToken* prefix = nullptr;
        if (ltok != lseq) {
            prefix = lseq;
            PpToken* p = lseq;
            while (p->link != ltok) p = p->link;
            p->link = nullptr;
        }
        PpToken* rtok = rseq;
        PpToken* rest = rtok->link;
        rtok->link = nullptr;
        PpToken* result;
        if (ltok->kind == kPlacemarker) {
            result = rtok;
            freepptoken(P, ltok);
        } else if (rtok->kind == kPlacemarker) {
            result = ltok;
            freepptoken(P, rtok);
        } else {
            std::string text(ltok->ws, ltok->wslen);
            text.append(ltok->text, ltok->textlen);
            text.append(rtok->text, rtok->textlen);
            const char* kept = keeptext(P, text.data(), text.size());
            bool comment = P.src.opencomment;
            P.src.opencomment = false;
            result = splittokens(P, kept);
            P.src.opencomment = comment;
            bool slashes = iscommentend(result) && !result->link;
            if (!result || (result->kind == tok::Eol && !slashes)) {
                putdiag(P, "bad ## arguments in macro %.*s", namelen(m), m->name.c_str());
                freepptokens(P, result);
                result = ltok;
                freepptoken(P, rtok);
            } else {
                freepptoken(P, ltok);
                freepptoken(P, rtok);
            }
        }
        // prefix + result + rest, linked to after, in place of left ## right
        PpToken* seq = result;
        if (prefix) {
            lasttoken(prefix)->link = result;
            seq = prefix;
        }
        PpToken* last = lasttoken(seq);
        last->link = rest;
        if (rest) last = lasttoken(rest);
        last->link = after;
        takews(P, seq, left);
        freepptoken(P, left);
        freepptoken(P, hh);
        freepptoken(P, right);
        *cell = seq;
        while (*cell != last) cell = &(*cell)->link;
    }
}

// Turns '#' and '##' in a copied replacement list into their results.
void hashoperators(Parser& P, PpToken** head, const Macro* m, const std::vector<PpToken*>& args) {
    PpToken** cell = head;
    while (*cell) {
        PpToken* t = *cell;
        if (t->kind == tok::Hash) {
            PpToken* p = t->link;
            if (p && p->kind == tok::Param) {
                stringize(P, t, args[p->textlen]);
                t->link = p->link;
                freepptoken(P, p);
            } else {
                putdiag(P, "bad # argument in macro %.*s", namelen(m), m->name.c_str());
            }
            cell = &t->link;
            continue;
        }
        if (t->kind == tok::HashHash) {
            putdiag(P, "missing ## argument in macro %.*s", namelen(m), m->name.c_str());
            *cell = t->link;
            freepptoken(P, t);
            continue;
        }
        if (t->link && t->link->kind == tok::HashHash) cell = pastetokens(P, cell, m, args);
        cell = &(*cell)->link;
    }
    for (cell = head; *cell;) {
        PpToken* t = *cell;
        if (t->kind == kPlacemarker) {
            *cell = t->link;
            freepptoken(P, t);
        } else {
            cell = &t->link;
        }
    }
}

bool isdefinedname(Parser& P, const PpToken* t) { return ispredefined(t) || findmacro(P, t); }

// The lists the text after an expansion continues in: the rest of the
// list being expanded (at the current level), then the rest after each
// enclosing invocation out to the source line; an argument's end stops it.
struct Following {
    PpToken** cell;
    int level;
};

std::vector<Following> followinglists(Parser& P, PpToken** restcell) {
    std::vector<Following> lists{{restcell, P.mac.level}};
    for (auto it = P.mac.enclosing.rbegin(); it != P.mac.enclosing.rend() && it->rest; ++it)
        lists.push_back({it->rest, it->level});
    return lists;
}

// The first token after the copy, or none.
PpToken* firstfollowing(const std::vector<Following>& lists) {
    for (const Following& f : lists) {
        PpToken* q = *f.cell;
        if (q && q->kind == tok::Eol) return nullptr;
        if (q) return q;
    }
    return nullptr;
}

// If the copy ends inside an invocation, moves the tokens that complete it
// from the text that follows (the rest of this list, then of the enclosing
// ones) to the end of the copy. Moved tokens remember the level they came
// from: the macros whose results did not hold them do not protect them.
void completefromrest(Parser& P, PpToken*& copy, PpToken** restcell) {
    if (!copy) return;
    std::vector<Following> lists = followinglists(P, restcell);
    PpToken* last = lasttoken(copy);
    auto take = [&](PpToken* first, PpToken* upto, int level) {
        for (PpToken* q = first;; q = q->link) {
            if (!q->origin) q->origin = static_cast<uint16_t>(level + 1);
            if (q == upto) break;
        }
        last->link = first;
        last = upto;
        upto->link = nullptr;
    };
    // find the earliest invocation whose parentheses stay open
    int need = -1;
    for (PpToken* t = copy; t; t = t->link) {
        if (t->kind != tok::Name) continue;
        Macro* mm = findmacro(P, t);
        bool isdefined = ispredefined(t) == 1;
        if (!isdefined && (!mm || (mm->state & 1))) continue;
        PpToken* open = t->link ? t->link : firstfollowing(lists);
        if (!open || open->kind != tok::LParen || (open->wslen != 0 && !isdefined)) continue;
        if (!t->link) {
            need = 0;
            break;
        }
        int depth = 0;
        for (PpToken* q = t->link; q; q = q->link) {
            if (q->kind == tok::LParen) ++depth;
            if (q->kind == tok::RParen) --depth;
        }
        if (depth > 0) {
            need = depth;
            break;
        }
    }
    if (need >= 0) {
        // where the invocation closes: in which list, at which token
        int depth = need;
        size_t closing = lists.size();
        PpToken* close = nullptr;
        for (size_t i = 0; i < lists.size() && !close; ++i) {
            for (PpToken* q = *lists[i].cell; q && q->kind != tok::Eol; q = q->link) {
                if (q->kind == tok::LParen) ++depth;
                if (q->kind == tok::RParen && --depth == 0) {
                    closing = i;
                    close = q;
                    break;
                }
            }
            if (*lists[i].cell && (*lists[i].cell)->kind == tok::Eol) break;
        }
        if (!close) return;
        for (size_t i = 0; i <= closing; ++i) {
            PpToken** cell = lists[i].cell;
            PpToken* first = *cell;
            if (!first || first->kind == tok::Eol) continue;
            PpToken* upto = first;
            if (i == closing) {
                upto = close;
            } else {
                while (upto->link && upto->link->kind != tok::Eol) upto = upto->link;
            }
            *cell = upto->link;
            take(first, upto, lists[i].level);
        }
        return;
    }
    PpToken* rest = *restcell;
    if (ispredefined(last) == 1 && rest && rest->kind == tok::Name) {
        *restcell = rest->link;
        take(rest, rest, P.mac.level);
    }
}

// Replaces a predefined name at *cell. Returns the cell behind the result,
// or none when the name stays as it is.
PpToken** expandpredef(Parser& P, PpToken** cell, int index, int mode) {
    PpToken* name = *cell;
    std::string text;
    uint16_t kind = tok::Number;
    PpToken* lastused = name;
    switch (index) {
    case 1: {
        PpToken* n = name->link;
        bool paren = n && n->kind == tok::LParen;
        if (paren) n = n->link;
        if (mode == 1 && !n) return nullptr;
        int value = 0;
        if (!n || n->kind != tok::Name) {
            putdiag(P, "bad defined syntax");
            if (paren) lastused = name->link;
        } else {
            value = isdefinedname(P, n) ? 1 : 0;
            lastused = n;
            if (paren) {
                if (n->link && n->link->kind == tok::RParen)
                    lastused = n->link;
                else
                    putdiag(P, "missing ) in defined expansion");
            }
        }
        text = value ? "1" : "0";
        break;
    }
    case 2:
        kind = tok::String;
        text = "\"" + P.mac.date + "\"";
        break;
    case 3:
        kind = tok::String;
        text = "\"" + P.mac.time + "\"";
        break;
    case 4: {
        kind = tok::String;
        text = "\"";
        for (char c : srcfilename(P)) {
            if (c == '\\') text.push_back('\\');
            text.push_back(c);
        }
        text.push_back('"');
        break;
    }
    case 5:
        text = std::to_string(srcline(P));
        break;
    case 6:
        text = "1";
        break;
    case 7: {
        const Options& o = P.opt;
        int v = 8 + (o.f ? 2 : 0) + (o.u ? 4 : 0) + (o.rb ? 16 : 0) + (o.ne ? 32 : 0) + (o.nc ? 128 : 0) +
                (o.cp ? 256 : 0) + (o.p ? 512 : 0);
        text = std::to_string(v);
        break;
    }
    default:
        kind = tok::String;
        text = "\"PPC\"";
        break;
    }
    PpToken* result = maketoken(P, kind, text, name);
    result->link = lastused->link;
    lastused->link = nullptr;
    freepptokens(P, name);
    *cell = result;
    return &result->link;
}

void takedatetime(Parser& P) {
    if (!P.mac.date.empty()) return;
    std::time_t now = std::time(nullptr);
    std::tm tmv{};
    localtime_r(&now, &tmv);
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s %2d %04d", months[tmv.tm_mon % 12], tmv.tm_mday, tmv.tm_year + 1900);
    P.mac.date = buf;
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
    P.mac.time = buf;
}

}  // namespace

// ---- the table ----

Macro* findmacro(Parser& P, const PpToken* name) {
    TrieNode* node = triefind(P.names.macroroot, name->text, name->textlen);
    return node ? static_cast<Macro*>(node->value) : nullptr;
}

int ispredefined(const PpToken* name) {
    if (!name || name->kind != tok::Name) return 0;
    for (int i = 0; i < 8; ++i)
        if (tokenis(name, kPredefined[i])) return i + 1;
    return 0;
}

Macro* parsemacro(Parser& P, PpToken* name) {
    P.mac.store.emplace_back();
    Macro* m = &P.mac.store.back();
    m->name.assign(name->text, name->textlen);
    std::vector<std::string> params;
    PpToken* t = name->link;
    if (t && t->kind == tok::LParen && t->wslen == 0) {
        t = t->link;
        if (t && t->kind == tok::RParen) {
            m->nparams = -1;
            t = t->link;
        } else {
            bool closed = false;
            for (;;) {
                if (t && t->kind == tok::Name && !m->variadic) {
                    std::string p(t->text, t->textlen);
                    for (const std::string& q : params)
                        if (q == p) putdiag(P, "redeclared parameter");
                    params.push_back(p);
                } else if (t && t->kind == tok::Name) {
                    putdiag(P, "bad macro ... usage");
                    break;
                } else if (t && t->kind == tok::Ellipsis && P.opt.c99 && !m->variadic) {
                    params.push_back("__VA_ARGS__");
                    m->variadic = true;
                } else {
                    putdiag(P, m->variadic && t && t->kind == tok::Ellipsis ? "bad macro ... usage" : "bad macro argument");
                    break;
                }
                t = t->link;
                if (t && t->kind == tok::Comma) {
                    t = t->link;
                    continue;
                }
                if (t && t->kind == tok::RParen) {
                    closed = true;
                    t = t->link;
                    break;
                }
                putdiag(P, "bad macro argument syntax");
                break;
            }
            if (!closed) {
                P.mac.store.pop_back();
                return nullptr;
            }
            m->nparams = static_cast<int>(params.size());
        }
    }
    // the replacement list, end-of-line tokens left out
    PpToken* repl = copypptokens(P, t, nullptr);
    size_t size = 0;
    for (PpToken* r = repl; r; r = r->link) {
        if (r == repl) r->wslen = 0;
        if (r->kind == tok::Name) {
            for (size_t i = 0; i < params.size(); ++i) {
                if (params[i].size() == r->textlen && std::memcmp(params[i].data(), r->text, r->textlen) == 0) {
                    r->kind = tok::Param;
                    r->textlen = static_cast<uint32_t>(i);
                    break;
                }
            }
        }
        size += r->wslen + (r->kind == tok::Param ? 0 : r->textlen);
        r->noexpand = 0;
    }
    m->textblock = std::make_unique<char[]>(size + 1);
    char* w = m->textblock.get();
    for (PpToken* r = repl; r; r = r->link) {
        if (r->wslen) std::memcpy(w, r->ws, r->wslen);
        r->ws = w;
        w += r->wslen;
        if (r->kind != tok::Param) {
            if (r->textlen) std::memcpy(w, r->text, r->textlen);
            r->text = w;
            w += r->textlen;
        } else {
            r->text = nullptr;
        }
    }
    m->repl = repl;
    return m;
}

void discardmacro(Parser& P, Macro* m) {
    freepptokens(P, m->repl);
    m->repl = nullptr;
    m->textblock.reset();
}

Macro* defmacro(Parser& P, PpToken* name) {
    Macro* m = parsemacro(P, name);
    if (!m) return nullptr;
    TrieNode* node = trielookup(P, P.names.macroroot, name->text, name->textlen);
    node->value = m;
    m->node = node;
    m->link = P.mac.all;
    P.mac.all = m;
    return m;
}

void undefmacro(Parser& P, Macro* m) {
    if (m->node) m->node->value = nullptr;
    m->node = nullptr;
    for (Macro** pp = &P.mac.all; *pp; pp = &(*pp)->link) {
        if (*pp == m) {
            *pp = m->link;
            break;
        }
    }
    // The record itself stays: the active list may still name it.
    discardmacro(P, m);
}

bool samemacro(const Macro* a, const Macro* b) {
    if (a->nparams != b->nparams || a->variadic != b->variadic) return false;
    const PpToken* x = a->repl;
    const PpToken* y = b->repl;
    for (; x && y; x = x->link, y = y->link) {
        if (x->kind != y->kind || (x->wslen != 0) != (y->wslen != 0) || x->textlen != y->textlen) return false;
        if (x->kind != tok::Param && x->textlen && std::memcmp(x->text, y->text, x->textlen) != 0) return false;
    }
    return !x && !y;
}

void resetmacroflags(Parser& P) {
    for (Macro* m = P.mac.active; m; m = m->activelink) {
        m->state = 0;
        m->onactive = false;
    }
    P.mac.active = nullptr;
}

// ---- the expander ----

namespace {
bool expandlist(Parser& P, PpToken** head, int mode);
}

namespace {
// True (and reported once) when the expansion has grown past its bounds.
bool expansiontoolarge(Parser& P) {
    if (!P.mac.toolarge && P.mac.depth < kMaxExpansionDepth && P.tokstore.size() <= kMaxLiveTokens) return false;
    if (!P.mac.toolarge) putdiag(P, "macro expansion too large");
    P.mac.toolarge = true;
    return true;
}
}  // namespace

// Guards the expander against input that would exhaust the stack (deeply
// nested invocations) or memory (macros that double at every level).
bool expandmacros(Parser& P, PpToken** head, int mode) {
    if (expansiontoolarge(P)) return false;
    ++P.mac.depth;
    bool any = expandlist(P, head, mode);
    --P.mac.depth;
    return any;
}

namespace {
bool expandlist(Parser& P, PpToken** head, int mode) {
    takedatetime(P);
    if (mode == 0) resetmacroflags(P);
    bool any = false;
    PpToken** cell = head;
    while (*cell) {
        PpToken* t = *cell;
        if (t->kind != tok::Name || t->noexpand) {
            cell = &t->link;
            continue;
        }
        if (int index = ispredefined(t)) {
            PpToken** after = expandpredef(P, cell, index, mode);
            if (!after) {
                cell = &t->link;
                continue;
            }
            any = true;
            cell = after;
            continue;
        }
        Macro* m = findmacro(P, t);
        if (!m) {
            cell = &t->link;
            continue;
        }
        // A token moved in from outside a result being rescanned is not
        // protected by the macro whose result it completes.
        bool outside = t->origin && (m->state & 1) && m->rescanlevel > t->origin - 1;
        if ((m->state & mode) && !outside) {
            t->noexpand = 1;
            cell = &t->link;
            continue;
        }
        m->used = true;
        if (mode == 0 && (m->nparams != 0 || (t->link && t->link->kind == tok::LParen))) completeinvocation(P, t);

        std::vector<PpToken*> args;
        if (m->nparams != 0) {
            PpToken* open = t->link;
            if (!open || open->kind != tok::LParen) {
                cell = &t->link;
                continue;
            }
            PpToken* q = open->link;
            if (!q || q->kind == tok::Eol) {
                putdiag(P, "bad invocation of macro %.*s", namelen(m), m->name.c_str());
                return any;
            }
            PpToken* close = nullptr;
            if (q->kind == tok::RParen) {
                if (m->nparams == -1 || (m->variadic && m->nparams == 1)) {
                    close = q;
                    if (m->nparams == 1) args.push_back(nullptr);
                } else {
                    putdiag(P, "missing argument for macro %.*s", namelen(m), m->name.c_str());
                    return any;
                }
            } else if (m->nparams == -1) {
                // Arguments for a macro that takes none: reported, and the
                // invocation is left as written.
                putdiag(P, "too many arguments for macro %.*s", namelen(m), m->name.c_str());
                close = closingparen(open);
                if (!close) return any;
                cell = &close->link;
                continue;
            } else {
                size_t n = static_cast<size_t>(m->nparams);
                std::vector<std::pair<PpToken*, PpToken*>> ranges;
                PpToken* stop = nullptr;
                for (;;) {
                    if (!q || q->kind == tok::Comma || q->kind == tok::RParen || q->kind == tok::Eol) {
                        stop = q && q->kind != tok::Eol ? q : nullptr;
                        break;
                    }
                    bool restarg = m->variadic && ranges.size() == n - 1;
                    int depth = 0;
                    PpToken* first = q;
                    PpToken* last = nullptr;
                    while (q && q->kind != tok::Eol) {
                        if (depth == 0 && (q->kind == tok::RParen || (q->kind == tok::Comma && !restarg))) break;
                        if (q->kind == tok::LParen) ++depth;
                        if (q->kind == tok::RParen) --depth;
                        last = q;
                        q = q->link;
                    }
                    ranges.emplace_back(first, last);
                    if (!q || q->kind == tok::Eol) {
                        stop = nullptr;
                        break;
                    }
                    if (q->kind == tok::RParen || ranges.size() == n) {
                        stop = q;
                        break;
                    }
                    q = q->link;
                }
                if (ranges.size() < n) {
                    if (ranges.size() == n - 1 && m->variadic && stop && stop->kind == tok::RParen) {
                        ranges.emplace_back(nullptr, nullptr);
                    } else if (!stop) {
                        putdiag(P, "bad invocation of macro %.*s", namelen(m), m->name.c_str());
                        return any;
                    } else {
                        putdiag(P, "missing argument for macro %.*s", namelen(m), m->name.c_str());
                        return any;
                    }
                }
                if (!stop) {
                    putdiag(P, "bad invocation of macro %.*s", namelen(m), m->name.c_str());
                    return any;
                }
                if (stop->kind == tok::Comma) {
                    putdiag(P, "too many arguments for macro %.*s", namelen(m), m->name.c_str());
                    close = closingparen(open);
                    if (!close) return any;
                } else {
                    close = stop;
                }
                for (auto& r : ranges) args.push_back(r.first ? copyrange(P, r.first, r.second) : nullptr);
            }
            // cut '(' .. ')' out of the line
            t->link = close->link;
            close->link = nullptr;
            freepptokens(P, open);
        }

        PpToken* copy = copypptokens(P, m->repl, nullptr);
        hashoperators(P, &copy, m, args);
        bool hasparams = false;
        for (PpToken* r = copy; r; r = r->link) hasparams |= r->kind == tok::Param;
        if (hasparams) {
            for (PpToken*& a : args) {
                // an invocation inside an argument ends with the argument
                P.mac.enclosing.push_back({nullptr, P.mac.level});
                expandmacros(P, &a, 1);
                P.mac.enclosing.pop_back();
            }
            for (PpToken** c = &copy; *c;) {
                if ((*c)->kind == tok::Param) {
                    uint32_t index = (*c)->textlen;
                    // Past the bound a parameter stands for nothing, so that
                    // invocations nested in arguments stop doubling.
                    PpToken* arg = expansiontoolarge(P) ? nullptr : copypptokens(P, args[index], nullptr);
                    for (PpToken* a = arg; a; a = a->link) a->origin = 0;  // now part of the result
                    c = splicetokens(P, c, arg);
                } else {
                    c = &(*c)->link;
                }
            }
        }
        for (PpToken* a : args) freepptokens(P, a);
        uint8_t outerstate = m->state;
        int outerlevel = m->rescanlevel;
        m->state |= 1;
        completefromrest(P, copy, &t->link);
        if (!m->onactive) {
            m->onactive = true;
            m->activelink = P.mac.active;
            P.mac.active = m;
        }
        m->rescanlevel = P.mac.level + 1;
        P.mac.enclosing.push_back({&t->link, P.mac.level});
        ++P.mac.level;
        if (expandmacros(P, &copy, 1))
            while (expandmacros(P, &copy, 3)) {
            }
        --P.mac.level;
        P.mac.enclosing.pop_back();
        m->state = static_cast<uint8_t>((outerstate & 1) | 2);
        m->rescanlevel = outerlevel;
        cell = splicetokens(P, cell, copy);
        any = true;
        if (mode == 0) resetmacroflags(P);
    }
    return any;
}

}  // namespace

}  // namespace cpppc

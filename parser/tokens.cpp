// The token stream of the parser: nexttoken turns preprocessed lines into C
// tokens (keywords, identifiers, constants, punctuators, #asm lines) and
// joins adjacent string literals; three ring slots let the parser push back
// up to three tokens; settokensource makes the stream read from a token list
// for a directive and then puts the normal stream back.
#include <cstring>

#include "parser/parser.h"
#include "parser/tokencodes.h"
#include "toollib/quit.h"

namespace cpppc {

namespace {

uint16_t keywordcode(Parser& P, const PpToken* t) {
    if (t->textlen >= 2 && t->textlen <= 8 && t->text[0] != '_') {
        for (size_t i = 0; i < std::size(kKeywords); ++i)
            if (tokenis(t, kKeywords[i])) return static_cast<uint16_t>(tok::KeywordBase + i);
    }
    if (P.opt.c99 && tokenis(t, "inline")) return tok::Inline;
    return tok::Name;
}

}  // namespace

Token* nexttoken(Parser& P) {
    StreamState& s = P.ts.s;
    int index = s.cursor;
    Token& slot = s.ring[index];
    s.cursor = (s.cursor + 1) % 3;
    if (s.pushed) {
        --s.pushed;
        s.pos = index;
        return &slot;
    }
    slot = Token{};
    for (;;) {
        if (slot.code != tok::String) s.pos = -1;
        if (!s.linecur) {
            if (!s.fromlist) {
                freepptokens(P, s.linelist);
                s.linelist = nullptr;
            }
            const char* line = s.fromlist ? nullptr : getlogline(P, false);
            if (!line) {
                if (slot.code == tok::String) {
                    s.pos = index;
                    return &slot;
                }
                slot.code = tok::End;
                slot.line = srcline(P);
                slot.column = 0;
                slot.length = 0;
                return &slot;
            }
            s.linelist = s.linecur = ppline(P, splittokens(P, line));
            continue;
        }
        PpToken* t = s.linecur;
        if (t->kind == tok::Eol) {
            // A pasted "//" ends the line for the parser.
            s.linecur = iscommentend(t) ? nullptr : t->link;
            continue;
        }
        if (slot.code == tok::String) {
            if (t->kind != tok::String) {
                s.pos = index;
                return &slot;
            }
            std::vector<unsigned char> bytes = stringbytes(P, t->text, t->textlen);
            Literal* second = internliteral(P, bytes.data(), bytes.size());
            slot.lit = joinliterals(P, slot.lit, second);
            s.linecur = t->link;
            continue;
        }
        slot.line = t->line;
        slot.column = t->column;
        slot.length = t->textlen;
        // Conversions below report at this token.
        slot.code = tok::Other;
        s.pos = index;
        switch (t->kind) {
        case tok::String:
            stringliteral(P, slot, t->text, t->textlen);
            s.linecur = t->link;
            continue;
        case tok::Name:
            slot.code = keywordcode(P, t);
            if (slot.code == tok::Name) slot.name = internname(P, t->text, t->textlen);
            break;
        case tok::Number:
            lexnumber(P, slot, t->text, t->textlen);
            break;
        case tok::CharConst:
            charconst(P, slot, t->text, t->textlen);
            break;
        case tok::Other:
            putdiag(P, "bad character %c", t->textlen ? t->text[0] : ' ');
            s.linecur = t->link;
            slot = Token{};
            continue;
        case tok::AsmLine: {
            auto text = std::make_shared<std::string>(t->text, t->textlen);
            for (PpToken* q = t->link; q && q->kind == tok::AsmLine; q = q->link) {
                text->append(q->ws, q->wslen);
                text->append(q->text, q->textlen);
                t = q;
            }
            slot.code = tok::AsmLine;
            slot.asmtext = text;
            slot.length = static_cast<uint32_t>(text->size());
            break;
        }
        default:
            slot.code = t->kind;
            break;
        }
        s.linecur = t->link;
        s.pos = index;
        return &slot;
    }
}

void pushtoken(Parser& P) {
    StreamState& s = P.ts.s;
    if (s.pushed == 3) {
        putdiag(P, "token overflow");
        tl::quit(1);
    }
    ++s.pushed;
    s.cursor = (s.cursor + 2) % 3;
    if (s.pos >= 0) s.pos = (s.pos + 2) % 3;
}

Token* expecttoken(Parser& P, uint16_t code) {
    Token* t = nexttoken(P);
    if (t->code == code) return t;
    pushtoken(P);
    const char* name = nullptr;
    for (const TokenName& tn : kTokenNames)
        if (tn.code == code) name = tn.name;
    if (name)
        putdiag(P, "missing %s", name);
    else
        putdiag(P, "syntax error");
    StreamState& s = P.ts.s;
    if (s.target) {
        uint16_t target = s.target == 255 ? tok::RBrace : s.target;
        for (;;) {
            Token* r = nexttoken(P);
            if (r->code == tok::Semi || r->code == tok::End) break;
            if (r->code == target || (target == tok::RBrace && r->code == tok::LBrace)) {
                if (s.target == 255) pushtoken(P);
                break;
            }
        }
        s.target = 0;
    }
    return t;
}

void settokensource(Parser& P, PpToken* list) {
    P.ts.s.exprfree = P.syms.exprs.free;
    P.ts.saved.push_back(P.ts.s);
    P.ts.s = StreamState{};
    P.ts.s.linecur = list;
    P.ts.s.fromlist = true;
}

int settokensourcedone(Parser& P) {
    StreamState& s = P.ts.s;
    int code = tok::End;
    if (s.pushed)
        code = s.ring[s.cursor].code;
    else if (s.linecur)
        code = s.linecur->kind;
    if (!P.ts.saved.empty()) {
        P.ts.s = P.ts.saved.back();
        P.ts.saved.pop_back();
        // expression nodes taken from the pool in between are free again
        P.syms.exprs.free = P.ts.s.exprfree;
    }
    return code;
}

}  // namespace cpppc

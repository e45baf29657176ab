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

namespace {

// The next token of a recording; past its end, the end of input.
Token* replaytoken(Parser& P, Token& slot, int index) {
    StreamState& s = P.ts.s;
    s.pos = index;
    if (!s.replay || s.replaynext >= s.replay->tokens.size()) {
        slot = Token{};
        slot.code = tok::End;
        slot.line = s.replayline;
        return &slot;
    }
    const RecordedToken& r = s.replay->tokens[s.replaynext++];
    slot = r.tok;
    // a literal is entered into the pool again, as reading its text would
    if (slot.lit) slot.lit = internliteral(P, slot.lit->bytes.data(), slot.lit->length);
    s.replayline = slot.line;
    s.replayfile = r.file;
    s.replaysource = r.source;
    return &slot;
}

Token* scantoken(Parser& P, Token& slot, int index);

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
    if (s.mode == streammode::Replaying) return replaytoken(P, slot, index);
    Token* t = scantoken(P, slot, index);
    if (s.mode == streammode::Recording && P.ts.recording && t->code != tok::End)
        P.ts.recording->tokens.push_back({*t, srcfilename(P), srcfile(P)});
    return t;
}

namespace {

Token* scantoken(Parser& P, Token& slot, int index) {
    StreamState& s = P.ts.s;
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

}  // namespace

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

// Every token handed out from now on is appended to the list; the first
// one, already read, goes in front.
void startrecording(Parser& P, TokenRecording* list, const Token* first) {
    P.ts.recording = list;
    P.ts.s.mode = streammode::Recording;
    if (first && list) list->tokens.push_back({*first, srcfilename(P), srcfile(P)});
}

void stoprecording(Parser& P) {
    P.ts.recording = nullptr;
    if (P.ts.s.mode == streammode::Recording) P.ts.s.mode = streammode::Normal;
}

// The stream reads the recording until stopreplay puts the stream back as
// it was (its ring and pushed-back tokens included).
void startreplay(Parser& P, const TokenRecording* list) {
    uint32_t line = srcline(P);
    std::string file = srcfilename(P);
    SourceFile* source = srcfile(P);
    P.ts.saved.push_back(P.ts.s);
    P.ts.s = StreamState{};
    P.ts.s.mode = streammode::Replaying;
    P.ts.s.replay = list;
    P.ts.s.replayline = line;
    P.ts.s.replayfile = file;
    P.ts.s.replaysource = source;
}

void stopreplay(Parser& P) {
    if (P.ts.saved.empty()) return;
    P.ts.s = P.ts.saved.back();
    P.ts.saved.pop_back();
}

}  // namespace cpppc

// The state of one run of cpppc and the routines of its front end.
//
// Everything the parser keeps lives in one `Parser` object made by `run` and
// passed explicitly, so a test can start from a fresh one. The state is split
// by concern: options, diagnostics, source files and lines, preprocessing
// tokens, directives, macros, names and literals, and the token stream. The
// routines are grouped below by the file that defines them.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "toollib/options.h"

namespace cpppc {

// ---- options (program.cpp) ----
struct Options {
    int32_t ad = 0, an = 0, asp = 0, a = 0, c99 = 0, cc = 0, ck = 0, cp = 0, cq = 0, cr = 0;
    int32_t csb = 0, e = 0, fr = 0, f = 0, ge = 0, ku = 0, l = 0, md = 0, m = 0, nc = 0;
    int32_t ne = 0, np = 0, ns = 0, p = 0, rb = 0, sa = 0, sr = 0, s = 0, u = 0, w = 0;
    int32_t xd = 0, xf = 0, xp = 0, xu = 0, xx = 0, x = 0;
    const char* output = nullptr;   // -o
    const char* errfile = nullptr;  // +e
    tl::CountdownList defines{128}, headers{128}, includes{128};
    int warnlevel = 0;  // 0 none, 1..7, -1 every warning is an error
};

// ---- preprocessing tokens (pptoken.cpp) ----
struct PpToken {
    PpToken* link = nullptr;
    const char* ws = nullptr;    // white space and comments in front of the token
    const char* text = nullptr;  // the token's characters
    uint32_t wslen = 0;
    uint32_t textlen = 0;        // a parameter token holds its index here
    uint32_t line = 0;
    uint16_t column = 0;         // bit 15: first line of an #asm block
    uint16_t kind = 0;           // preprocessing kind or punctuator code
    uint16_t noexpand = 0;
};
constexpr uint16_t kAsmFirstColumn = 0x8000;

// ---- names, constants and the literal pool (lexval.cpp) ----
struct TrieNode {
    TrieNode* sibling = nullptr;
    TrieNode* down = nullptr;  // next level, for a non-terminal node
    void* value = nullptr;     // the entry, for a terminal node
    unsigned char ch = 0;      // 0 marks a terminal node
};

struct Literal {
    Literal* link = nullptr;
    int section = 0;        // literal section current when the entry was made
    uint32_t uses = 0;      // 0 for a single use
    uint32_t label = 0;
    uint32_t length = 0;
    uint8_t flags[2] = {0, 0};
    std::vector<unsigned char> bytes;
};

struct Names {
    std::deque<TrieNode> nodes;
    TrieNode* nameroot = nullptr;
    TrieNode* macroroot = nullptr;
    // Interned names: length byte, characters, NUL, mark byte.
    std::deque<std::unique_ptr<unsigned char[]>> interned;
    std::deque<Literal> literals;
    Literal* pool = nullptr;  // newest first
    int section = 0;
};

// ---- source files and lines (source.cpp) ----
struct SourceFile {
    std::string name;  // as opened (the name found by the include search)
    uint32_t line = 0;
    uint32_t label1 = 0, label2 = 0;
    std::vector<void*> syms;
};

// #line numbering; kept per open file, so an included file does not disturb
// the numbering of the file that includes it.
struct LineOverride {
    bool hasline = false;
    uint32_t line = 0;
    bool hasname = false;
    std::string name;
};

struct OpenFile {
    SourceFile* file = nullptr;
    std::string content;  // CR LF already folded to LF
    size_t pos = 0;
    LineOverride override;
};

constexpr size_t kLineBufferSize = 20480;
constexpr size_t kLogicalLineLimit = 16384;
constexpr int kMaxLineStarts = 128;
constexpr size_t kMaxIncludeDepth = 200;

struct Sources {
    std::deque<SourceFile> files;   // every opening, in order
    std::vector<OpenFile> stack;    // back() is the file being read
    SourceFile* last = nullptr;     // the file read last (positions after the end)
    LineOverride lastoverride;
    std::vector<char> linebuf = std::vector<char>(kLineBufferSize);
    size_t writepos = 0;
    uint32_t starts[kMaxLineStarts] = {};
    int nstarts = 0;
    const char* linestart = nullptr;  // start of the current logical line
    bool endofinput = false;
    bool opencomment = false;
    std::vector<std::unique_ptr<char[]>> kept;
    std::vector<std::string> searchlist;
    int depcolumn = 0;
    bool anyopened = false;
    // A directive line read while an invocation looked for its '(': it is
    // kept back and becomes the next top-level line.
    bool held = false;
    size_t heldstart = 0, heldlength = 0;
    uint32_t heldstarts[kMaxLineStarts] = {};
    int heldnstarts = 0;
};

// ---- directives (directive.cpp) ----
struct Conditional {
    std::string file;
    uint32_t line = 0;
    char state = 'I';  // I, i, E, e
    uint8_t value = 0;
};

struct Preproc {
    std::vector<Conditional> conds;
    int asmstate = 0;  // 0 outside, 1 right after #asm, 2 inside
    bool indirective = false;
    int32_t unroll = 0;
};

// ---- macros (macro.cpp) ----
struct Macro {
    Macro* link = nullptr;
    Macro* activelink = nullptr;
    bool onactive = false;
    PpToken* repl = nullptr;
    int nparams = 0;  // 0 object-like, -1 "()", n
    uint8_t state = 0;
    bool used = false;
    bool variadic = false;
    std::string name;
    std::unique_ptr<char[]> textblock;
    TrieNode* node = nullptr;
};

struct Macros {
    std::deque<Macro> store;
    std::vector<Macro*> freed;
    Macro* all = nullptr;
    Macro* active = nullptr;
    std::string date, time;  // taken once per run
    int depth = 0;           // nesting of expandmacros
    bool toolarge = false;   // "macro expansion too large" was reported
};
constexpr int kMaxExpansionDepth = 256;
constexpr size_t kMaxLiveTokens = 1000000;

// ---- token stream (tokens.cpp) ----
struct Token {
    uint16_t code = 0;
    uint32_t line = 0;
    uint16_t column = 0;
    uint32_t length = 0;
    int32_t ival = 0;                   // integer and character constants
    const unsigned char* name = nullptr;  // interned name of an identifier
    Literal* lit = nullptr;             // string and floating constants
    std::shared_ptr<std::string> asmtext;  // text of an #asm line
};

struct StreamState {
    Token ring[3];
    int cursor = 0;
    int pushed = 0;
    int pos = -1;  // index of the position token, -1 none
    PpToken* linelist = nullptr;
    PpToken* linecur = nullptr;
    bool fromlist = false;
    uint8_t target = 0;
    int mode = 0;
};

struct Stream {
    StreamState s;
    std::vector<StreamState> saved;
};

// ---- the whole run ----
struct Parser {
    Options opt;
    std::string srcname;
    std::FILE* out = nullptr;    // output stream
    bool outcreated = false;     // the -o file was created by this run
    std::FILE* err = nullptr;    // error stream (stderr or the +e file)
    bool errisfile = false;
    uint32_t errors = 0;
    uint32_t lastline = 0;
    uint32_t lastcol = 0;
    std::string lastfile;
    // A fixed position for diagnostics about an earlier place (open #if).
    bool diagat = false;
    std::string diagfile;
    uint32_t diagline = 0;
    int diagcolumn = -1;
    int diagwidth = 0;
    Sources src;
    Preproc pp;
    Macros mac;
    Names names;
    Stream ts;
    std::deque<PpToken> tokstore;
    PpToken* freetokens = nullptr;

    Parser();
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;
};

// program.cpp
int run(int argc, char** argv);
int finishrun(Parser& P);
[[noreturn]] void stopinterrupted(Parser& P);

// diag.cpp
void putdiag(Parser& P, const char* msg, ...) __attribute__((format(printf, 2, 3)));
void vputdiag(Parser& P, const char* msg, va_list ap);
void putnofileprefix(Parser& P, std::FILE* to, bool iserror);

// source.cpp
bool openinput(Parser& P, const std::string& name, bool search);
const char* getlogline(Parser& P, bool cont);
void holdline(Parser& P, const char* line);
uint32_t srcline(Parser& P);
const std::string& srcfilename(Parser& P);
int srcpos(Parser& P, uint32_t& line, int& column);  // column -1: none
const char* keeptext(Parser& P, const char* text, size_t length);
void dropkepttexts(Parser& P);
LineOverride& currentoverride(Parser& P);
std::string fullpath(const std::string& name);

// pptoken.cpp
PpToken* newpptoken(Parser& P);
void freepptokens(Parser& P, PpToken* list);
void freepptoken(Parser& P, PpToken* tok);
PpToken* splittokens(Parser& P, const char* text);
PpToken* copypptokens(Parser& P, PpToken* list, PpToken* tail);
PpToken* lasttoken(PpToken* list);
bool tokenis(const PpToken* t, const char* text);
bool iscommentend(const PpToken* r);
void prependws(Parser& P, PpToken* t, const char* ws, uint32_t wslen);

// directive.cpp
PpToken* ppline(Parser& P, PpToken* list);
bool ppactive(Parser& P);
void putdefine(Parser& P, const std::string& text);
void checkopenifs(Parser& P);
std::string jointokens(PpToken* from);

// macro.cpp
Macro* findmacro(Parser& P, const PpToken* name);
int ispredefined(const PpToken* name);
Macro* defmacro(Parser& P, PpToken* name);
void undefmacro(Parser& P, Macro* m);
bool samemacro(const Macro* a, const Macro* b);
bool expandmacros(Parser& P, PpToken** head, int mode);
void resetmacroflags(Parser& P);
void discardmacro(Parser& P, Macro* m);
Macro* parsemacro(Parser& P, PpToken* name);

// tokens.cpp
Token* nexttoken(Parser& P);
void pushtoken(Parser& P);
Token* expecttoken(Parser& P, uint16_t code);
void settokensource(Parser& P, PpToken* list);
int settokensourcedone(Parser& P);

// lexval.cpp
TrieNode* trielookup(Parser& P, TrieNode*& root, const char* text, size_t length);
TrieNode* triefind(TrieNode* root, const char* text, size_t length);
const unsigned char* internname(Parser& P, const char* text, size_t length);
Literal* internliteral(Parser& P, const unsigned char* bytes, size_t length);
Literal* joinliterals(Parser& P, Literal* first, Literal* second);
double scalepow10(double value, int exponent);
void lexnumber(Parser& P, Token& slot, const char* text, size_t length);
void charconst(Parser& P, Token& slot, const char* text, size_t length);
std::vector<unsigned char> stringbytes(Parser& P, const char* text, size_t length);
void stringliteral(Parser& P, Token& slot, const char* text, size_t length);
uint32_t escapevalue(Parser& P, const char*& pos, const char* end);

// constexpr.cpp
int evalconst(Parser& P, int32_t& out, int mode);

// ppwrite.cpp
void ppwrite(Parser& P);

// extdecl.cpp
void extdecl(Parser& P);

}  // namespace cpppc

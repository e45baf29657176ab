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
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "parser/irwrite.h"
#include "parser/records.h"
#include "toollib/options.h"

namespace cpppc {

struct Parser;

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
    // A token moved into an expansion from the rest of an enclosing list:
    // 1 + the level of that list (macro.cpp); 0 for every other token.
    uint16_t origin = 0;
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
    // The symbols declared in this file, for its debug records: a list
    // through Symbol::filelink whose last symbol links to itself.
    Symbol* syms = nullptr;
    Symbol* lastsym = nullptr;
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
    int rescanlevel = 0;  // list level at which its result is being rescanned
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
    // The lists that enclose the one being expanded: where the text after
    // each enclosing invocation continues (null: an argument's end), and
    // the level of that list (the source line is level 0).
    struct Continuation {
        PpToken** rest;
        int level;
    };
    std::vector<Continuation> enclosing;
    int level = 0;
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

// A token of an inline function's recorded body: the token as handed out
// (string and #asm texts are owned through the token) and the source file
// that was current.
struct RecordedToken {
    Token tok;
    std::string file;
    SourceFile* source = nullptr;
};
struct TokenRecording {
    std::deque<RecordedToken> tokens;
};

// Stream modes.
namespace streammode {
constexpr int Normal = 0, Recording = 1, Replaying = 2;
}

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
    ExprNode* exprfree = nullptr;  // the expression pool's free pointer, kept by settokensource
    // Replaying: the recording and the next token of it; the line and file
    // of the token handed out last are current for diagnostics.
    const TokenRecording* replay = nullptr;
    size_t replaynext = 0;
    uint32_t replayline = 0;
    std::string replayfile;
    SourceFile* replaysource = nullptr;
};

struct Stream {
    StreamState s;
    std::vector<StreamState> saved;
    TokenRecording* recording = nullptr;  // the list being filled while recording
};

// ---- symbol table, pools and scopes (symbols.cpp) ----

// A pool of one kind of node. Every node ever made is on the chain (newest
// first, through link); the free pointer walks down the chain. Releasing
// makes the whole chain reusable; marking drops the nodes handed out so far
// from the chain for good. Nodes live in the store until the run ends.
template <class T>
struct Pool {
    std::deque<T> store;
    T* chain = nullptr;
    T* free = nullptr;

    T* take() {
        if (T* n = free) {
            free = n->link;
            T* link = n->link;
            *n = T{};
            n->link = link;
            return n;
        }
        store.emplace_back();
        T* n = &store.back();
        n->link = chain;
        chain = n;
        return n;
    }
    T* permanent() {
        store.emplace_back();
        return &store.back();
    }
    void release() { free = chain; }
    void mark() { chain = free; }
};

// Scope lists, each linked through Symbol::next, newest first.
struct Scopes {
    Symbol* ordinary = nullptr;       // objects, functions, typedefs, parameters, enumeration constants
    Symbol* tags = nullptr;
    Symbol* labels = nullptr;
    Symbol* inlinelabels = nullptr;
    Symbol* prototags = nullptr;      // declared inside a prototype
    Symbol* protoordinary = nullptr;  // enumeration constants declared inside a prototype
    Symbol* spaces = nullptr;         // space names (spaces.cpp)
    Symbol* attributes = nullptr;     // #pragma attribute templates
    Symbol* ordinarymark = nullptr;   // start of the current block
    Symbol* tagmark = nullptr;
    int protodepth = 0;
};

struct SymbolTable {
    Scopes scopes;
    std::deque<Symbol> store;
    Symbol* freesyms = nullptr;
    uint64_t serial = 0;        // insertion order of symbols
    Pool<TypeNode> types;
    Pool<StmtNode> stmts;
    Pool<ExprNode> exprs;
    uint32_t label = 1;         // nextlabel: 3, 5, 7, ...
    uint32_t sequence = 1;      // sequence stamps
    std::deque<Token> savedpos; // savepos copies
};

// ---- types (types.cpp) ----
struct BasicTypes {
    TypeNode* chr = nullptr;
    TypeNode* uchar = nullptr;
    TypeNode* shrt = nullptr;
    TypeNode* ushrt = nullptr;
    TypeNode* sint = nullptr;
    TypeNode* uint = nullptr;
    TypeNode* slong = nullptr;
    TypeNode* ulong = nullptr;
    TypeNode* flt = nullptr;
    TypeNode* dbl = nullptr;   // code 0x58 with -f
    TypeNode* vd = nullptr;
    TypeNode* plainchar = nullptr;  // char, or unsigned char with -u
};

// ---- memory spaces and section pragmas (spaces.cpp) ----
struct SpaceTables {
    // Default spaces: entry 0 file-level and extern, 1 static, 2 parameters
    // and locals, 3 pointed-to types.
    uint16_t data[4] = {0, 0, 0, 0};
    uint16_t code[4] = {0, 0, 0, 0};
    uint16_t own[4] = {0, 0, 0, 0};   // the const table of its own, once made
    uint16_t* consttable = nullptr;   // code, data or own
    uint16_t lastbit = 0;             // bit of the most recently made space name
    uint16_t sprbit = 0;              // bit of the space "spr", 0 until made
    // Names of the constant sections; a literal's section is its index + 1.
    std::vector<const unsigned char*> constsections;
};

// ---- declarations (decl.cpp, tagtype.cpp, extdecl.cpp) ----
struct DeclState {
    bool definition = false;   // the unit defines an object or a function (-sa check)
    bool infunction = false;   // a function body is being read
    int depth = 0;             // nesting of declarators and tag bodies (decl.cpp)
};

// ---- expressions (expr.cpp .. constexpr.cpp) ----
// One entry of the known-value list: the object a straight-line assignment
// stored into and what it stored (or that its value is unknown). Targets
// and values are private copies: a named contents leaf, or an indirection
// (target) of an address leaf (inner); the value is a leaf.
struct KnownValue {
    KnownValue* link = nullptr;   // pool chain
    KnownValue* next = nullptr;   // the list, newest first
    KnownValue* older = nullptr;  // the next older entry of the same symbol
    ExprNode target, inner, value;
    uint32_t offset = 0, size = 0;  // the target's bytes inside its object
    bool known = false;           // value holds the value
};

struct ExprState {
    KnownValue* known = nullptr;
    // The newest entry of each symbol; a symbol without one has no value.
    std::unordered_map<const Symbol*, KnownValue*> bysym;
    Pool<KnownValue> knownpool;    // emptying the list releases the pool
    std::deque<ExprNode> records;  // initializer-value records, kept for the run
    int opencond = 0;              // inside the middle or right operand of ?:
    int condctx = 0;               // inside a right operand of ?:, && or ||
    int nclevel = 0;               // constant replacement off (sizeof operands)
    int nesting = 0;               // recursion of the grammar, bounded
    bool toocomplex = false;       // "expression too complex" reported; unwinding
    int rewrites = 0;              // nested rewrites of binop, bounded
    int loopdepth = 0;             // set by the statement parser
    bool staticinit = false;       // a static initializer is parsed
    uint32_t operators = 0, calls = 0, inlinecalls = 0;
    bool floatdivide = false;      // the unit divides floating values
    Symbol* defining = nullptr;    // the function whose body is parsed
};

// An observer of the declaration-level put operations (parser/irwrite.h),
// which write their records to the intermediate file and tell it of each
// call; the developer tools log them, the default observer does nothing.
struct IrWriter {
    virtual ~IrWriter() = default;
    virtual void datalabel(Parser&, Symbol&) {}
    virtual void reserve(Parser&, uint32_t) {}
    virtual void enddata(Parser&) {}
    virtual void def(Parser&, Symbol&, int) {}
    virtual void space(Parser&, Symbol&) {}
    virtual void section(Parser&, uint32_t, uint16_t, const unsigned char*) {}
    virtual void literals(Parser&) {}
    virtual void value(Parser&, uint32_t, int) {}
    virtual void floating(Parser&, double, int) {}
    virtual void address(Parser&, const ExprNode&, int) {}
    virtual void bytes(Parser&, const unsigned char*, uint32_t) {}
    virtual void litlabel(Parser&, uint32_t, int) {}
};

// ---- statements and function bodies (stmt.cpp, funcdef.cpp, inline.cpp) ----
// A loop record: a for loop stepping an integer variable by one, or a while
// loop after an expression statement (until it is turned into a for loop).
struct LoopRecord {
    LoopRecord* next = nullptr;
    Symbol* var = nullptr;
    uint16_t rank = 1;
};

// A loop rewritten by loops.cpp: its variable, and for a fully unrolled
// loop the start value and direction; the variable's initialization and
// step may go once the whole body shows that nothing else reads it.
struct LoopNote {
    StmtNode* loop = nullptr;
    Symbol* var = nullptr;
    uint32_t start = 0;
    bool up = true;
    bool unrolled = false;
    Symbol* indextemp = nullptr;  // the reduced index with the smallest step, for the loop's test
    TypeNode* indextype = nullptr;
    uint32_t indexstep = 0;
    uint32_t cost = 0;            // weight of one use inside the loop
};

// What an inline expansion in progress keeps; saved and restored around
// a nested one.
struct Expansion {
    Symbol* callee = nullptr;
    ExprNode* target = nullptr;      // where the returns store, or none
    TypeNode* rettype = nullptr;
    const unsigned char* retlabel = nullptr;  // the body's end label name
    bool active = false;
};

// Data flow over a function's most important locals (dataflow.cpp): the
// tracked locals, each with its bit and the compound statement that
// declares it, and the compound statements with their nesting.
struct FlowScope {
    StmtNode* block = nullptr;
    int depth = 0;
    int parent = -1;
};
struct FlowState {
    std::vector<Symbol*> tracked;  // heaviest first
    std::vector<int> scopeof;      // the scope index of each tracked local
    std::vector<FlowScope> scopes;
};

struct FuncState {
    Symbol* func = nullptr;
    TypeNode* rettype = nullptr;
    uint16_t attributes = 0;
    std::deque<LoopRecord> loopstore;
    LoopRecord* loops = nullptr;
    uint32_t calls = 0, returnedcalls = 0;
    StmtNode* compounds = nullptr;   // the compound chain (through aux), oldest first
    StmtNode* lastcompound = nullptr;
    StmtNode* switches = nullptr;    // the switch chain (through nextswitch)
    StmtNode* lastswitch = nullptr;
    StmtNode* curswitch = nullptr;   // the switch whose case list is current
    Expansion exp;
    int expdepth = 0;                // nesting of deferred expansions
    uint32_t tempcount = 0;          // ".temp_%d." through the run
    uint32_t returncount = 0;        // ".return_%d." through the run
    uint32_t itempcount = 0;         // ".itmp_%d." through the run
    bool recording = false;          // an inline function's body is recorded
    bool pendinginline = false;      // the next block is an expanded inline body
    uint32_t braceline = 0;
    std::deque<TokenRecording> recordings;  // the recorded bodies, kept for the run
    std::vector<Symbol*> temps;      // the function's ".temp_%d." temporaries
    int stmtdepth = 0;               // nesting of statements being parsed
    int expnest = 0;                 // expansions inside expansions
    uint32_t expcount = 0;           // expansions made in the function
    bool toolarge = false;           // the bound was reported for the function
    std::vector<Symbol*> params;     // the parameters in declaration order
    int32_t localoffset = 0;         // lowering: the current local offset
    int32_t lowestlocal = 0;         // lowering: the lowest local offset (record 129)
    uint32_t intmask = 0x3FFFF;      // integer registers never taken (record 145)
    uint32_t floatmask = 0;          // float registers never taken (record 145)
    uint32_t callsmade = 0;          // calls left in the lowered body
    uint32_t tailcalls = 0;          // of them, calls in tail position
    bool tailok = true;              // no local's address escapes: tail calls may stay
    bool addrregs = false;           // lowering may make address registers
    std::vector<Symbol*> addrobjects;  // file-level objects heavy enough for one
    uint32_t freeint = 0x3FFFF;      // integer registers free in the current block
    uint32_t freefloat = 0;          // float registers free for the rest of the function
    FlowState flow;                  // data flow over the locals (dataflow.cpp)
    std::vector<Symbol*> itemps;     // the function's induction temporaries
    std::vector<LoopNote> loopnotes; // the loops rewritten so far
};

// What a caller of the front end can change: the writer, an output-free
// run (developer tools), and a look at the state before the run ends.
struct RunHooks {
    std::unique_ptr<IrWriter> writer;
    bool nooutput = false;
    std::function<void(Parser&)> beforeend;  // after the last declaration, before the end of the unit
    std::function<void(Parser&)> atend;
    // Each function definition after its body was parsed and its passes
    // ran, before its records are released.
    std::function<void(Parser&, Symbol*, StmtNode*)> onfunction;
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
    SymbolTable syms;
    BasicTypes types;
    SpaceTables spaces;
    DeclState decl;
    ExprState ex;
    FuncState fn;
    std::unique_ptr<IrWriter> writer;
    std::function<void(Parser&, Symbol*, StmtNode*)> onfunction;
    IrState irw;

    Parser();
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;
};

// program.cpp
int run(int argc, char** argv);
int runfront(int argc, char** argv, RunHooks& hooks);
int finishrun(Parser& P);
[[noreturn]] void stopinterrupted(Parser& P);

// diag.cpp
void putdiag(Parser& P, const char* msg, ...) __attribute__((format(printf, 2, 3)));
void vputdiag(Parser& P, const char* msg, va_list ap);
// The same at a place of the current file other than the current token.
void putdiagat(Parser& P, uint32_t line, int column, int width, const char* msg, ...) __attribute__((format(printf, 5, 6)));
void putnofileprefix(Parser& P, std::FILE* to, bool iserror);

// source.cpp
bool openinput(Parser& P, const std::string& name, bool search);
const char* getlogline(Parser& P, bool cont);
void holdline(Parser& P, const char* line);
uint32_t srcline(Parser& P);
const std::string& srcfilename(Parser& P);
SourceFile* srcfile(Parser& P);  // the source file the current token comes from
int srcpos(Parser& P, uint32_t& line, int& column);  // column -1: none
const char* keeptext(Parser& P, const char* text, size_t length);
void dropkepttexts(Parser& P);
LineOverride& currentoverride(Parser& P);
std::string fullpath(const std::string& name);
void notefilesym(Parser& P, Symbol* s);
Symbol* nextfilesym(const Symbol* s);

// pptoken.cpp
// Scans the token at p (not white space): returns its end and its kind.
const char* scantoken(const char* p, bool sa, uint16_t& kind, bool& unbalanced);
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
void startrecording(Parser& P, TokenRecording* list, const Token* first);
void stoprecording(Parser& P);
void startreplay(Parser& P, const TokenRecording* list);
void stopreplay(Parser& P);

// lexval.cpp
TrieNode* trielookup(Parser& P, TrieNode*& root, const char* text, size_t length);
TrieNode* triefind(TrieNode* root, const char* text, size_t length);
const unsigned char* internname(Parser& P, const char* text, size_t length);
Literal* internliteral(Parser& P, const unsigned char* bytes, size_t length);
Literal* joinliterals(Parser& P, Literal* first, Literal* second);
void droplituse(Parser& P, Literal* l);
double scalepow10(double value, int exponent);
void lexnumber(Parser& P, Token& slot, const char* text, size_t length);
void charconst(Parser& P, Token& slot, const char* text, size_t length);
std::vector<unsigned char> stringbytes(Parser& P, const char* text, size_t length);
void stringliteral(Parser& P, Token& slot, const char* text, size_t length);
uint32_t escapevalue(Parser& P, const char*& pos, const char* end);

// ---- expressions ----
// expr.cpp: the grammar and the prefix operators.
ExprNode* commaexpr(Parser& P, int voidctx);
ExprNode* assignexpr(Parser& P);
ExprNode* unaryexpr(Parser& P, uint8_t enclosing);
ExprNode* unaryop(Parser& P, ExprNode* e);
ExprNode* takeaddress(Parser& P, ExprNode* e);
void voidexpr(Parser& P, ExprNode* e, int voidctx);
// convert.cpp: trees, conversions and casts.
int sameexpr(Parser& P, const ExprNode* a, const ExprNode* b, int strict);
TypeNode* promotetype(Parser& P, TypeNode* t, int argument);
TypeNode* decayexpr(Parser& P, ExprNode* e);
ExprNode* convertexpr(Parser& P, ExprNode* e, TypeNode* t);
ExprNode* castexpr(Parser& P, ExprNode* cast);
void castconst(Parser& P, ExprNode* e, TypeNode* t);
// binop.cpp and simplify.cpp: binary operators, ?:, && and ||.
ExprNode* binop(Parser& P, ExprNode* e);
// assign.cpp: = and the compound assignments, postfix ++ and --.
ExprNode* assignop(Parser& P, ExprNode* e);
// known.cpp: constant replacement and the known-value list.
ExprNode* replaceconst(Parser& P, ExprNode** slot);
ExprNode* knownvalue(Parser& P, ExprNode* e);
void recordvalue(Parser& P, ExprNode* assign, ExprNode* value);
void forgetvalue(Parser& P, ExprNode* e);
void forgetall(Parser& P);  // empties the known-value list (calls, joins of control flow)
// init.cpp: initializers.
ExprNode* initobject(Parser& P, TypeNode** slot, bool wantlist, uint16_t attributes, bool braces);
ExprNode* initlocal(Parser& P, Symbol* s);
// constexpr.cpp: constant expressions, tests and the final pass.
int evalconst(Parser& P, int32_t& out, int mode);
ExprNode* testexpr(Parser& P, ExprNode** slot);
void foldexpr(Parser& P, ExprNode* e, uint16_t width);
void narrowtype(Parser& P, ExprNode* e, uint16_t width);
void lowerstmtexpr(Parser& P, StmtNode* list);  // the per-function lowering's share of foldexpr

// ppwrite.cpp
void ppwrite(Parser& P);

// symbols.cpp
// Every interned name carries, in front of its length byte, the head of the
// chain of symbols of that name (newest first, through Symbol::samename)
// and its mark byte, set once a symbol of the name was made.
constexpr size_t kNamePrefix = 2 * sizeof(Symbol*);
inline Symbol*& namesyms(const unsigned char* name) {
    return *reinterpret_cast<Symbol**>(const_cast<unsigned char*>(name) - kNamePrefix);
}
inline unsigned char& namemark(const unsigned char* name) { return const_cast<unsigned char*>(name)[-1]; }
inline int namelength(const unsigned char* name) { return name ? name[0] : 0; }
inline const char* nametext(const unsigned char* name) { return name ? reinterpret_cast<const char*>(name + 1) : ""; }
Symbol* newsym(Parser& P, Symbol** list, const unsigned char* name, uint8_t sclass, TypeNode* type);
Symbol* lookupsym(Parser& P, const unsigned char* name, Symbol** list, Symbol* stop);
Symbol* findordinary(Parser& P, const unsigned char* name);
Symbol* popscope(Parser& P, Symbol** list, Symbol* marker);
Symbol* cutscope(Parser& P, Symbol** list, Symbol* marker);
void linksym(Parser& P, Symbol** list, Symbol* s);
TypeNode* newtype(Parser& P, uint16_t code, TypeNode* subtype);
StmtNode* newstmt(Parser& P, uint8_t kind);
ExprNode* newexpr(Parser& P, uint8_t op);
void marktypes(Parser& P);
void releasetypes(Parser& P);
void releasestmts(Parser& P);
void releaseexprs(Parser& P);
uint32_t nextlabel(Parser& P);
uint32_t nextstamp(Parser& P);

// endunit.cpp
void endunit(Parser& P, int final);

// types.cpp
void inittypes(Parser& P);
TypeNode* basetype(TypeNode* t);  // an enum's underlying type, else t
uint32_t pointersize(uint16_t word);
uint32_t sizeoftype(Parser& P, TypeNode* t);
uint32_t typesize(Parser& P, TypeNode* t);  // sizeoftype without messages
int alignclass(TypeNode* t);
int32_t alignup(int32_t offset, TypeNode* t);
int typecompat(Parser& P, TypeNode* to, TypeNode* from);
int sametype(Parser& P, TypeNode* a, TypeNode* b);
int rankabove(uint16_t a, uint16_t b);
void mergedecl(TypeNode* old, TypeNode* fresh);
void checkrange(Parser& P, int op, TypeNode* to, ExprNode* e);
bool isintconst(const ExprNode* e);
bool isscalconst(const ExprNode* e);
bool isfloatconst(const ExprNode* e);
bool ispointerval(const ExprNode* e);
ExprNode* mkintconst(Parser& P, ExprNode* e, uint32_t value);
Token* savepos(Parser& P);
ExprNode* negatecond(ExprNode* e);

// spaces.cpp
void initspaces(Parser& P);
void setmodel(Parser& P, uint32_t word);
uint16_t spacemodifier(Parser& P, uint16_t word);
uint16_t defaultspace(Parser& P, uint16_t word, uint8_t sclass, uint16_t code);
Symbol* findspace(Parser& P, const unsigned char* name);
// The pragma handlers: false when they stopped at a fault of the line.
bool pragmaspace(Parser& P);
bool pragmasection(Parser& P);
bool pragmaattribute(Parser& P);
void applyattribute(Parser& P, Symbol* s);
const char* matchattribute(Parser& P, TypeNode* tmpl, TypeNode* decl);

// decl.cpp
// Storage classes a declaration context allows (declhead).
namespace allow {
constexpr uint32_t Extern = 1, Static = 2, Typedef = 4, Auto = 8, Register = 16, Inline = 32;
constexpr uint32_t File = Extern | Static | Typedef;  // Inline added with -c99
constexpr uint32_t Block = Extern | Static | Auto | Register | Typedef;
constexpr uint32_t Param = Register;
constexpr uint32_t None = 0;
constexpr uint32_t Member = 0x100;  // none, and a class given says "unexpected storage class"
}  // namespace allow
// A declaration being parsed: the Symbol that declhead and declarator
// fill, and what they noticed on the way.
struct Decl {
    Symbol s;
    uint32_t keywords = 0;     // type-specifier bits written, for "signed" on bit-fields
    bool implicitint = false;
    bool declares = false;     // a tag was named or defined
    bool tagspec = false;      // the type is a struct, union or enum specifier
    bool fromtypedef = false;  // the type is a typedef name's
    bool star = false;         // declarator: a '*' was read
    bool funcsuffix = false;   // declarator: the outermost derivation is a function suffix
    uint32_t line = 0;         // position of the name
    uint16_t column = 0;
};
int declhead(Parser& P, Decl& d, uint32_t allowed);
void addtypespec(Parser& P, uint32_t& bits, uint32_t bit);
int declarator(Parser& P, Decl& d);
void parseparams(Parser& P, TypeNode* f);
void paramtopointer(Parser& P, Symbol* s);
void mergespace(Parser& P, Symbol* s, uint16_t other);
bool startstypename(Parser& P, const Token* t);
// Counts one level of declarator or tag-body nesting while it lives; past
// the bound the declaration is read over to its ';' and the level is bad.
struct DeclNesting {
    Parser& P;
    bool toodeep;
    explicit DeclNesting(Parser& p);
    ~DeclNesting() { --P.decl.depth; }
};
TypeNode* parsetypename(Parser& P);  // "name unexpected in abstract type" for a named declarator

// tagtype.cpp
TypeNode* parsetagtype(Parser& P, uint16_t keyword, Decl& d);
void parseenum(Parser& P, TypeNode* e);
void parsemembers(Parser& P, TypeNode* st, uint16_t attributes);
uint32_t packbitfields(Parser& P, Symbol* first, uint32_t bits);

// extdecl.cpp
void extdecl(Parser& P);
void parsealias(Parser& P, Symbol* s);
int defglobal(Parser& P, Symbol* s);  // init.cpp

// funcdef.cpp
int funcdef(Parser& P, Symbol* s, uint32_t line);
void makepermanent(Parser& P, Symbol* s);

// stmt.cpp
StmtNode* parsestmt(Parser& P, StmtNode* loop, StmtNode* breaktarget, StmtNode* previous);
// The block's "{" has been read. Inline parameters and arguments are given
// for the body of an expanded inline function.
StmtNode* parseblock(Parser& P, StmtNode* loop, StmtNode* breaktarget, StmtNode* stmt, Symbol* params,
                     ExprNode* args);
void addcase(Parser& P, uint8_t kind, int32_t value, StmtNode* stmt);
int markunreach(Parser& P, StmtNode* stmt);

// inline.cpp
void expandexpr(Parser& P, ExprNode** slot, bool deferred, bool valueused);
int expandinline(Parser& P, ExprNode** slot, StmtNode**& tail, int mode);  // statements appended at tail
ExprNode* newtemp(Parser& P, TypeNode* type);
StmtNode* mkassign(Parser& P, ExprNode* temp, ExprNode* value);
StmtNode* bindinlinearg(Parser& P, Symbol* param, Symbol* head, ExprNode* arg, StmtNode* block);

// dataflow.cpp, regassign.cpp and later.cpp: the per-function passes.
void flowlocals(Parser& P, StmtNode* body);
void assignregs(Parser& P, StmtNode* body);
void lowerfunc(Parser& P, StmtNode* body);
void putfunc(Parser& P, Symbol* s, StmtNode* body, uint32_t declline, uint32_t braceline, uint32_t paramsize);
void makecountedloop(Parser& P, StmtNode* loop, uint16_t rank, uint32_t operations, uint32_t start);
StmtNode* reducestrength(Parser& P, StmtNode* loop, Symbol* var, uint32_t start);
StmtNode* hoistinvariants(Parser& P, StmtNode* loop, uint32_t start, int calls);
void whiletofor(Parser& P, StmtNode* loop, StmtNode* previous);
int entrytest(Parser& P, ExprNode* init, ExprNode* cond);
void freeitemps(Parser& P);
// loops.cpp: what the loop rewrites leave for the end of the body.
void finishloops(Parser& P, StmtNode* body);
const LoopNote* loopnote(Parser& P, const StmtNode* loop);
bool assignsin(const StmtNode* body, const Symbol* var);  // the statement assigns the variable

// regassign.cpp: register assignment for locals and parameters, and the
// decisions lowering makes for each block's symbols.
uint32_t regcandidates(Parser& P, TypeNode* t, uint32_t free);
int takereg(Parser& P, uint32_t candidates);
int regtry(Parser& P, Symbol* s);
int regparam(Parser& P, StmtNode* block, Symbol* p);
void decidelocals(Parser& P, StmtNode* block);
// The parameters that arrive in registers get flag RegPassed: the rule
// that callers follow (toollib/ir).
void markregpassed(Parser& P, Symbol* func);
// addrregs.cpp: registers that hold the addresses of heavily used objects.
void addrsetup(Parser& P, StmtNode* body);
void addrcandidates(Parser& P, StmtNode* block, std::vector<Symbol*>& list);
int addrregok(Parser& P);
void addrload(Parser& P, StmtNode* block, Symbol* reg);
void addrblockend(Parser& P, StmtNode* block);
// switchlower.cpp: switches without tables become jumps, ifs and blocks.
void lowerswitch(Parser& P, StmtNode* st);
// dataflow.cpp: the register test of the data flow.
int regok(Parser& P, Symbol* s, uint32_t candidates);

// writer.cpp, exprwrite.cpp, debugwrite.cpp: the put operations are
// declared in parser/irwrite.h.

}  // namespace cpppc

// The macro assembler's state and the table of contents of its files.
//
// One Assembler structure holds a run: the options, the per-source state
// (symbols, sections, debug records, file records) and the per-pass state
// (reader stack, conditionals, macro recording, the current line). Passes
// repeat over the same source until no label, equated value or debug record
// moves; every function takes the Assembler it works on, so a test can start
// from a fresh one.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "toollib/isa/encode.h"
#include "toollib/memory.h"
#include "toollib/options.h"
#include "toollib/strings.h"

namespace as {

struct Assembler;

// ---- options (program.cpp) ----
struct Options {
    int32_t a = 0, b = 0, c = 0, ff = 0, ft = 0, f = 0, ge = 0, l = 0, md = 0, mi = 0, m = 0;
    int32_t pe = 0, pl = 0, p = 0, si = 0, t = 0, u = 0, v = 0, xp = 0, xx = 0, x = 0;
    const char* errfile = nullptr;   // +e
    const char* header = nullptr;    // -h
    const char* lstname = nullptr;   // +l
    const char* objname = nullptr;   // -o
    const char* vername = nullptr;   // +v
    tl::CountdownList defs{128};     // -d
    tl::CountdownList incs{128};     // -i
    std::vector<std::string> incdirs;  // -i then QVLIB, existing directories
};

// ---- symbols (symbols.cpp) ----
enum SymFlag : uint8_t {
    SYM_DEFINED = 0x01, SYM_REFERENCED = 0x02, SYM_PUBLIC = 0x04, SYM_ZPAGE = 0x08,
    SYM_ABSOLUTE = 0x10, SYM_BIT = 0x20, SYM_LONG = 0x40, SYM_CODE = 0x80,
};
enum SymInternal : uint16_t {
    SI_CMDLINE = 0x001, SI_SET = 0x002, SI_REGISTER = 0x004, SI_IFDEF = 0x008, SI_ALIAS = 0x010,
    SI_DEBUGSECT = 0x040, SI_LOCAL = 0x080, SI_BITSYM = 0x100, SI_LITERAL = 0x200,
};

struct AsmSymbol {
    std::string name;
    uint32_t value = 0;
    uint8_t flags = 0;
    uint16_t section = 0;       // internal section number (creation order), 0 absolute
    uint16_t iflags = 0;
    int block = 0;              // local-label block
    long defline = 0;           // line of definition in its file; -1 multiply defined
    long defglobal = 0;         // global line count at the definition in this pass
    long firstref = 0;
    const std::string* reffile = nullptr;  // file names kept by Assembler::filenames
    const std::string* deffile = nullptr;
    int number = 0;             // number in the object file
    uint32_t datasize = 0;      // size recorded by data directives under -x
    AsmSymbol* alias = nullptr; // alias target
    std::string text;           // text literal
    int regcode = 0;            // register name
    std::vector<long> xref;     // global lines of references
    bool definedthispass = false;
    uint32_t id = 0;            // position in the table's store
};

// Open addressing over (hash, symbol): a lookup touches one contiguous
// run of slots and compares names only where the hashes agree.
struct SymIndex {
    tl::LargeVector<std::pair<uint64_t, AsmSymbol*>> slots;  // size a power of two; null: empty
    size_t used = 0;
    static uint64_t hash(std::string_view name, int block);
    AsmSymbol* find(uint64_t h, std::string_view name, int block) const;
    void insert(uint64_t h, AsmSymbol* s);
    void clear();
};

// The symbols in the order they were made (AsmSymbol::id), in blocks that
// never move, so that making one is no allocation of its own.
class SymbolStore {
public:
    SymbolStore() = default;
    SymbolStore(const SymbolStore&) = delete;
    SymbolStore& operator=(const SymbolStore&) = delete;
    ~SymbolStore() { clear(); }
    size_t size() const { return count_; }
    AsmSymbol* operator[](size_t i) const {
        size_t b = static_cast<size_t>(std::bit_width(i / kFirst + 1)) - 1;
        return blocks_[b] + (i - kFirst * ((size_t{1} << b) - 1));
    }
    AsmSymbol* add();  // a fresh symbol at the end
    void clear();

private:
    // block b holds kFirst << b symbols: the store doubles, and nothing moves
    static constexpr size_t kFirst = 256;
    std::vector<AsmSymbol*> blocks_;  // raw storage
    size_t count_ = 0;
};

// The 256 buckets keep the symbol-list order; the index finds a name in
// constant time however many symbols there are.
struct SymbolTable {
    SymbolStore store;
    std::vector<AsmSymbol*> bucket[256];
    std::vector<int> runorder;  // buckets in list order (newest run first)
    SymIndex index;
    int block = 0;              // current local-label block
    AsmSymbol* find(std::string_view name);  // creates when absent
    AsmSymbol* lookup(std::string_view name) const;  // never creates
    // A symbol of the same name made anew with the fields of s.
    AsmSymbol* restore(const AsmSymbol& s);
    std::vector<AsmSymbol*> list() const;   // symbol-list order
    void clear();
};

// ---- opcode table (symbols.cpp) ----
enum OpFlag : uint8_t {
    OP_DIRECTIVE = 0x01, OP_LABEL = 0x02, OP_INSN = 0x04, OP_MACRO = 0x08, OP_ENDBODY = 0x10,
    OP_LISTCTL = 0x20, OP_FALSECOND = 0x40, OP_DEBUG = 0x80,
};

struct MacroBody {
    std::vector<std::string> lines;
    std::vector<std::string> argnames;
};

using DirectiveHandler = void (*)(Assembler&, const struct OpcodeEntry&, std::string_view label);

struct OpcodeEntry {
    std::string name;
    uint8_t flags = 0;
    int value = 0;
    bool overrides = false;      // a macro that hides an older entry of its name
    bool dead = false;           // a forgotten macro
    DirectiveHandler handler = nullptr;
    uint32_t id = 0;             // position in the table's store
    int insn = -1;               // instruction: index into the target's mnemonic list
    isa::NameRows rows;          // instruction: its encoding entries
    std::shared_ptr<MacroBody> body;
};


struct OpcodeTable {
    std::vector<std::unique_ptr<OpcodeEntry>> store;
    uint32_t generation = 0;    // counts the changes: a remembered lookup is stale once it moves
    // lower-cased names, newest entry first
    std::unordered_map<std::string, std::vector<OpcodeEntry*>, tl::NameHash, std::equal_to<>> names;
    OpcodeEntry* add(std::string_view name, uint8_t flags, int value, DirectiveHandler h);
    // Inserts e immediately before the entry it overrides.
    OpcodeEntry* addoverride(std::string_view name, OpcodeEntry* older);
    OpcodeEntry* find(std::string_view name, bool skipoverride = false) const;
    void forgetmacros();

private:
    // The latest lookups of short names, valid while the table is unchanged
    // (stamp: generation + 1); a program uses few names many times.
    struct Recent {
        uint32_t stamp = 0;
        uint8_t len = 0;
        bool skipoverride = false;
        char name[22] = {};
        OpcodeEntry* entry = nullptr;
    };
    mutable std::array<Recent, 256> recent_{};
};

// ---- values (expr.cpp) ----
struct AsmValue {
    uint32_t value = 0;
    AsmSymbol* sym = nullptr;   // external or undefined symbol referred to
    uint16_t section = 0;       // internal section number, 0 absolute
    uint8_t kind = 0;           // 0 abs, 1 reloc, 2 zpage/low, 3 long; marks 0x80 0x40 0x10
    bool absolute() const { return kind == 0; }
    bool marked() const { return kind >= 64; }
};

// ---- sections (sections.cpp) ----
enum SectAttr : uint8_t {
    SA_BSS = 0x01, SA_HILO = 0x02, SA_EVEN = 0x04, SA_ZPAGE = 0x08, SA_ABS = 0x10,
    SA_BIT = 0x20, SA_LONG = 0x40, SA_CODE = 0x80,
};
// SCI_TARGET: a relocation elsewhere is relative to this section (it must be
// written even without data of its own)
enum SectInternal : uint16_t { SCI_DEBUG = 0x01, SCI_CONTENT = 0x02, SCI_HIDDEN = 0x04, SCI_TARGET = 0x20 };

struct AsmSection {
    std::string name;
    uint8_t attr = 0;
    uint16_t iflags = 0;
    int index = 0;              // creation order from 1
    int number = 0;             // number in the object file
    int userno = -1;            // -m section number
    uint32_t loc = 0, relend = 0, origin = 0;
    bool orgset = false;
    // how far the last label defined here in this pass lies from where the
    // previous pass put it
    uint32_t shift = 0;
    tl::LargeVector<uint8_t> data;
    std::vector<uint8_t> reloc;
};

// Which of the same-name ("new") sections the pass has reached.
struct SectWalk {
    std::map<std::string, size_t> pos;
    std::set<std::string> declared;
    size_t predefined = 0;  // the sections created before the source's own
};

// ---- debug records (debug.cpp) ----
struct DebugRecord {
    uint32_t address = 0;
    uint8_t kind = 0;
    int section = 0;
    std::string text;
};

// ---- reader stack (source.cpp, macros.cpp) ----
struct FileRecord {
    std::string name;
    long lines = 0;
    const std::string* kept = nullptr;  // the name in Assembler::filenames
};

struct Expansion {
    uint32_t number = 0;
    uint32_t count = 1;
    std::shared_ptr<MacroBody> body;
    size_t next = 0;
    bool repeat = false;
    bool list = false;               // repeatl / irp
    size_t condlevel = 0;
    std::vector<std::string> args;   // args[0] is \1
    std::vector<std::string> argnames;
    char size = 0;
    bool savedmlist = false;
    bool restoremlist = false;
};

// A file's text as read once for all passes of a source (its lines are
// found by the TextMemo made for it).
struct SourceText {
    int status = 0;                  // 0 read, 1 missing, 2 a line too long, 3 too large
    tl::ByteBuffer bytes;
    std::string_view text() const { return {bytes.data(), bytes.size()}; }
};

// What a line of a file gave when it was last read, so that later passes
// need not scan it again: where its label and opcode lie, the opcode entry
// found (while the opcode table is unchanged) and the tokens its operands
// gave, each with the scanner state it was read in.
struct CachedToken {
    uint16_t end;               // cursor after the token
    uint8_t tok;
    uint8_t mode;               // scanner state (tokenmode)
    uint32_t value;             // number, register, symbol id or string length
};

struct LineMemo {
    uint32_t start = 0;         // where the line starts in the file text (its end: the next one's start)
    uint32_t entry = 0;         // OpcodeEntry::id + 1, 0 none
    uint32_t generation = 0;    // the opcode table's when entry was found
    uint32_t labelsym = 0;      // the symbol the line's label named: AsmSymbol::id + 1, 0 none
    // An instruction whose operands are constants (no symbol, no location
    // counter) encodes the same wherever it lies: its bits and size, and
    // where its operands ended (from tokstart), in place of their tokens.
    // A line keeps one or the other.
    union {
        uint32_t tokfirst = 0;  // first token in TextMemo::tokens, while tokcount > 0
        uint32_t bits;          // while insnsize > 0
    };
    uint16_t tokcount = 0;
    uint16_t tokstart = 0;      // cursor before the first token
    uint16_t after = 0;         // cursor after the label and opcode
    uint16_t insnend = 0;       // cursor after the operands
    uint8_t labellen = 0, oplen = 0;
    uint8_t sizeletter = 0;
    uint8_t state = 0;          // MEMO_ flags
    uint8_t insnsize = 0;       // 0: nothing remembered
    uint8_t insnmarks = 0;      // record and overflow marks it was encoded with
    uint8_t insnlast = 0;       // the token the operands ended at, pushed back
    uint8_t insnmode = 0;       // the scanner state they were read in
};
enum : uint8_t { MEMO_HEAD = 0x01, MEMO_ENTRY = 0x02, MEMO_RECMARK = 0x04, MEMO_OVMARK = 0x08, MEMO_NOHEAD = 0x10 };

struct TextMemo {
    tl::LargeVector<LineMemo> lines;
    tl::LargeVector<CachedToken> tokens;
};

struct Reader {
    char kind = 'F';
    FileRecord* file = nullptr;
    std::shared_ptr<const SourceText> text;  // file text
    TextMemo* memo = nullptr;
    size_t nextline = 0;
    bool ended = false;              // end directive met
    std::unique_ptr<Expansion> exp;
};

// ---- conditionals (cond.cpp) ----
struct CondLevel {
    char kind;
    bool cond;
};

// ---- diagnostics (diag.cpp) ----
struct Diagnostic {
    std::string file;
    long line = 0;
    std::string msg;
};

struct Listing;  // listing.cpp


struct Assembler {
    Options opt;
    // run
    std::string date;
    std::string srcname, objname, lstname;
    int pass = 0;
    int errors = 0;             // of the current source
    bool moved = false;
    bool listpending = false;
    bool listing = false;       // this pass lists
    uint32_t expcounter = 0;    // \@ numbers, unique over the pass
    int maxpasses = 64;
    // symbols and opcodes
    SymbolTable syms;
    OpcodeTable ops;
    AsmSymbol* lastlabel = nullptr;
    // files
    std::vector<std::unique_ptr<FileRecord>> files;
    // the names symbols were defined or referenced in, kept for the run
    std::set<std::string, std::less<>> filenames;
    size_t filecursor = 0;
    size_t openings = 0;
    std::string openfailure;    // why the last opensrc failed
    // the files read for the current source, by the path tried: every pass
    // reads the same text
    std::map<std::string, std::shared_ptr<const SourceText>, std::less<>> sources;
    std::vector<Reader> readers;
    // what the lines of each file gave; symbol ids in it belong to the
    // current symbol table, so it is dropped with it
    std::unordered_map<const SourceText*, std::unique_ptr<TextMemo>> memos;
    LineMemo* linememo = nullptr;    // of the line nextline gave, if a file line
    LineMemo* labelmemo = nullptr;   // of the line being assembled, if a file line
    long globline = 0;
    int depcolumn = 0;
    bool overriding = false;    // a #line or .sfile override is active
    std::string ovfile;
    long ovbase = 0;
    // current line
    std::string line;
    size_t pos = 0;
    std::vector<std::pair<std::string, size_t>> litstack;
    int litcount = 0;
    bool skipoverride = false;
    char sizeletter = 0;
    bool recmark = false, ovmark = false;
    bool fromexpansion = false;
    // lexer
    int base = 10;
    bool dotnames = true;
    bool afterdefine = false;
    std::vector<int> backtokens;
    uint32_t tokval = 0;
    std::string tokname, tokstr;
    AsmSymbol* toksym = nullptr;
    int tokreg = 0;
    uint32_t errcalls = 0;      // asmerr calls, in every pass
    TextMemo* tokmemo = nullptr;     // the text whose line is being scanned
    LineMemo* tokline = nullptr;     // replaying or recording its tokens
    bool tokreplay = false;
    uint32_t toknext = 0;            // replay: next token; record: unused
    uint16_t tokexpect = 0;          // cursor the next token must start at
    bool tokvolatile = false;        // a token read a value that may change (a symbol, *)
    int exprdepth = 0;          // terms open inside each other (expr.cpp)
    // conditionals
    std::vector<CondLevel> conds;
    // macros
    std::shared_ptr<MacroBody> recbody;
    bool recmacro = false, recrepeat = false, recskip = false;
    int recdepth = 0;
    Diagnostic recopen;          // where the body being recorded opened
    OpcodeEntry* recentry = nullptr;
    long repcount = 0;
    bool replist = false;
    bool mlist = false, clist = false, dlist = false;
    int expdepth = 0;
    // sections
    std::vector<std::unique_ptr<AsmSection>> sects;
    AsmSection* cur = nullptr;
    std::unique_ptr<AsmSection> offsetsect;
    AsmSection* beforeoffset = nullptr;
    std::vector<AsmSection*> savestack;
    uint8_t defattr = 0x06;
    std::map<std::string, std::vector<AsmSection*>> sectnames;  // same-name sections in order
    SectWalk sectwalk;
    int newcount = 0;            // "new" section directives met in the pass
    int newgroup = 1;            // every newgroup-th of them starts a fresh section
    // debug records
    std::vector<DebugRecord> dbg;
    size_t dbgcursor = 0;
    int dbgstate = 0;            // 0 compare, 1 mismatch, 2 rebuild
    long lastlines = 0;          // line count left by the previous pass
    bool dbgrange = false;
    // diagnostics
    std::optional<Diagnostic> pending;
    std::vector<Diagnostic> passdiags;
    std::set<std::string> printed;
    std::FILE* errfp = nullptr;
    bool anyerrors = false;
    bool outfailed = false;      // a write to the standard output failed
    // listing
    std::unique_ptr<Listing> lst;
    std::string info;            // .info. texts of the pass
    std::vector<std::string> verilog;

    Assembler();
    ~Assembler();
};

// program.cpp
int run(int argc, char** argv);
std::string outname(const std::string& src, const char* ext);
int asmfile(Assembler& a, const std::string& src);

// source.cpp
bool opensrc(Assembler& a, const std::string& name);
bool nextline(Assembler& a, std::string& out);
long curline(const Assembler& a);
std::string curfile(const Assembler& a);
// curfile's name as kept in a.filenames (for symbols to point to).
const std::string* curfilekept(Assembler& a);
void resetreaders(Assembler& a);
void pushexpansion(Assembler& a, std::unique_ptr<Expansion> e);
void popreader(Assembler& a);

// symbols.cpp
void numbersyms(Assembler& a);
void resetsyms(Assembler& a);
void defregisters(Assembler& a);
AsmSymbol* refsym(Assembler& a, std::string_view name);
AsmSymbol* refsym(Assembler& a, AsmSymbol* s);  // s found or made by the caller

// lexer.cpp / expr.cpp
enum Tok : int {
    T_UNKNOWN = 0, T_COMMA = 1, T_COLON = 2, T_REG = 3, T_STRING = 5, T_PAGE = 6, T_HIGH = 7,
    T_LOW = 8, T_STRLEN = 9, T_PHIGH = 10, T_PLOW = 11, T_AT = 21, T_DOT = 22, T_HASH = 23,
    T_LPAREN = 24, T_RPAREN = 25, T_LBRACK = 26, T_RBRACK = 27, T_SYMBOL = 28, T_NUMBER = 29,
    T_EOL = 30, T_DOLLAR = 31, T_NOT = 51, T_COMPL = 52, T_MUL = 65, T_DIV = 66, T_MOD = 67,
    T_SHL = 70, T_SHR = 71, T_LT = 72, T_LE = 73, T_GT = 74, T_GE = 75, T_EQ = 76, T_NE = 77,
    T_AND = 78, T_XOR = 79, T_OR = 80, T_LAND = 81, T_LOR = 82, T_PLUS = 100, T_MINUS = 101,
};
// The cursor: the line, or the innermost text literal open in it.
char curclit(Assembler& a);
char peekclit(Assembler& a, size_t ahead);
void advancelit(Assembler& a, size_t n);
inline char curc(Assembler& a) {
    if (!a.litstack.empty()) return curclit(a);
    return a.pos < a.line.size() ? a.line[a.pos] : '\0';
}
inline char peekc(Assembler& a, size_t ahead) {
    if (!a.litstack.empty()) return peekclit(a, ahead);
    return a.pos + ahead < a.line.size() ? a.line[a.pos + ahead] : '\0';
}
inline void advance(Assembler& a, size_t n = 1) {
    if (!a.litstack.empty()) return advancelit(a, n);
    a.pos = std::min(a.pos + n, a.line.size());
}
void asmskip(Assembler& a);
bool atend(Assembler& a);
bool lineend(Assembler& a);  // also sees a pushed-back token
int gettoken(Assembler& a);
void toomanyback(Assembler& a);
inline void ungettoken(Assembler& a, int tok) {
    if (a.backtokens.size() >= 5) return toomanyback(a);
    a.backtokens.push_back(tok);
}
bool needtoken(Assembler& a, int tok);
void resettokens(Assembler& a);
// Replays or records the tokens of the line m remembers (none: scan only).
void starttokens(Assembler& a, LineMemo* m);
// Moves the cursor past operands whose encoding m remembers, their last
// token pushed back as the scan left it; false when the line is not where
// it was when they were read. Nothing more of the line is remembered.
bool skipoperands(Assembler& a, const LineMemo& m);
// The scanner state a token depends on besides the text.
uint8_t tokenmode(const Assembler& a);
std::string scanname(Assembler& a);
// A name as the line spells it (no literal open, no body being recorded):
// its view and the cursor past it; false, where only scanname can read it.
bool scanview(Assembler& a, std::string_view& out);
int prefixnumber(Assembler& a, int base);
const char* scannum(Assembler& a, const char* text, uint32_t& out, bool& bad);
void getexpr(Assembler& a, AsmValue& v);
uint32_t getabs(Assembler& a, bool& ok);  // absolute expression
bool getstring(Assembler& a, std::string& out);
void defcmdsym(Assembler& a, const std::string& text);
AsmValue symvalue(Assembler& a, AsmSymbol* s);

// lines.cpp
void asmline(Assembler& a, const std::string& text);
void registerdirectives(Assembler& a);
void deflabel(Assembler& a, std::string_view name);
// The symbol of a line's label (found or made), by way of the symbol the
// line named before.
AsmSymbol* labelsymbol(Assembler& a, std::string_view name);
void leaveoffset(Assembler& a);

// macros.cpp
void domacro(Assembler& a, const OpcodeEntry& e, std::string_view label);
void storebody(Assembler& a, const OpcodeEntry* e, const std::string& text);
void callmacro(Assembler& a, const OpcodeEntry& e);
bool expandline(Assembler& a, Expansion& e, std::string& out);
void macrodirective(Assembler& a, const OpcodeEntry& e, std::string_view label);
void resetmacros(Assembler& a);
void endbodies(Assembler& a);

// cond.cpp
bool assembling(const Assembler& a);
void conddirective(Assembler& a, const OpcodeEntry& e, std::string_view label);
void endconds(Assembler& a);

// diag.cpp
void asmerr(Assembler& a, std::string msg);
// Writes to the standard output (dependency lines, messg); a failed write
// is remembered in outfailed.
void putstdout(Assembler& a, std::string_view text);
// A diagnostic at the current line, as asmerr would place it.
Diagnostic diaghere(const Assembler& a, std::string msg);
void reporterr(Assembler& a, const std::string& msg, bool atonce = false);  // even in the collecting pass
bool printerr(Assembler& a);
void flushdiags(Assembler& a, bool print);
void fileerror(Assembler& a, const std::string& file, const std::string& msg);
void lineerror(Assembler& a, const std::string& file, long line, const std::string& msg);
void openerrfile(Assembler& a);
// Closes the +e file; false (reported) when it could not be written.
bool closeerrfile(Assembler& a, bool anyerr);

// sections.cpp
void initsects(Assembler& a);
void restartsects(Assembler& a);
void padsects(Assembler& a);
AsmSection* findsect(Assembler& a, std::string_view name);
AsmSection* newsect(Assembler& a, std::string_view name, uint8_t attr);
void selectsect(Assembler& a, AsmSection* s);
AsmSection* sectbyindex(Assembler& a, int index);
void emitbyte(Assembler& a, uint32_t b);
void emitword(Assembler& a, uint32_t v);
void emitwordrel(Assembler& a, const AsmValue& v, bool byte);
void emitlong(Assembler& a, const AsmValue& v);
void emitlongraw(Assembler& a, uint32_t v);
void putreloc(Assembler& a, int code, const AsmValue* v, int descriptor = -1, uint32_t extra = 0);
void addinfo(Assembler& a, std::string_view text);
void dosection(Assembler& a, const OpcodeEntry& e, std::string_view label);
uint32_t here(const Assembler& a);
bool emitting(const Assembler& a);

// objfile.cpp
std::vector<uint8_t> objimage(Assembler& a);
bool writeobj(Assembler& a);

// debug.cpp
void adddebug(Assembler& a, std::string_view text, int kind);
void dodebug(Assembler& a, const OpcodeEntry& e, std::string_view label);
void debugline(Assembler& a);
void debugend(Assembler& a);
void debugstart(Assembler& a);
void builddebug(Assembler& a);
// A symbol that the -xx symbol descriptor table describes.
bool debugdescribed(Assembler& a, const AsmSymbol& s);
void debugpassstart(Assembler& a);
void debugpassend(Assembler& a);
void debugmacro(Assembler& a);

// insn.cpp
void registerinsns(Assembler& a);
void asminsn(Assembler& a, const OpcodeEntry& e);

// listing.cpp
void openoutputs(Assembler& a, bool start);
void lstline(Assembler& a);
void lstbegin(Assembler& a);
void lstbyte(Assembler& a, uint8_t b);
void lstvalue(Assembler& a, uint32_t v);
void lstskip(Assembler& a);
void listdirective(Assembler& a, const OpcodeEntry& e, std::string_view label);
void dofuna(Assembler& a, const OpcodeEntry& e, std::string_view label);
void verilogline(Assembler& a, const std::string& text);

}  // namespace as

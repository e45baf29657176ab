// The code generator cgppc: its state and the table of contents of its files.
//
// One Gen structure holds a run: the options and header facts, the reader of
// the intermediate file, the writer of the assembly text with its sections,
// the state of the function being compiled (its code list, code-line store,
// register sets and frame values) and the node pool of the statement being
// read. Every routine takes the Gen it works on, so a test can start from a
// fresh one.
//
// Files:
//   program.cpp   the program: options, files, header checks, the loop over
//                 functions with every body record, the end of the file
//   input.cpp     the buffered byte reader and the field readers
//   reader.cpp    top-level records written as assembly text
//   tree.cpp      expression trees read into GenNodes, folded and reordered
//   putasm.cpp    the text writer, its output buffer and the sections
//   support.cpp   messages, panics, number and label texts, tree queries,
//                 operator tables, double unpacking, byte-read narrowing
//   regset.cpp    register sets (regset.h)
//   node.cpp      the node pool and node routines (node.h)
//   codestore.cpp the code-line store (codestore.h)
//   codelist.cpp  label records and code-list nodes (codelist.h)
//   rows.cpp      the code templates of every operator (rows.h)
//   select.cpp    location kinds, operand classes and row selection
//   expand.cpp    template expansion, the operand printer, helper moves
//   handlers.cpp  the special template handlers
//   regs.cpp      registers, the content cache, forcing operands into
//                 place, moves, pushes and pops, address loads, the address
//                 table and the snapshots that undo a failed attempt
//   exprgen.cpp   expression code: genexpr, the four orders of two-operand
//                 operators, assignments, increments; statements and loops
//   conds.cpp     compares and branches, && || ! and condition values
//   calls.cpp     calls, arguments, inline assembly, built-in functions
//   cse.cpp       common subexpressions of a statement
//   frame.cpp     the frame, prologue and epilogue
//   layout.cpp    block placement, branch layout, switches, the writer of a
//                 function's code list
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "generator/codelist.h"
#include "generator/codestore.h"
#include "generator/node.h"
#include "generator/regset.h"
#include "generator/rows.h"
#include "toollib/ir/ir.h"

namespace cg {

struct Gen;

// ---- options (program.cpp) ----
struct Options {
    int32_t a = 0, bss = 0, cf = 0, cm = 0, dl = 0, f = 0, ge = 0, im = -1, l = 0, m = 0;
    int32_t na = 0, nc = 0, no = 0, nr = 0, nt = 0, sf = 0, v = 0;
    const char* errfile = nullptr;  // +e
    const char* output = nullptr;   // -o
};

// What the intermediate file's header says, for the whole run.
struct HeaderFacts {
    bool single = false;      // flag bit 0: double is float
    bool nopromote = false;   // bit 1: char and short arguments keep their size
    bool debug = false;       // bit 2, or -dl: debug directives
    bool floatregs = false;   // bit 4 (refused: VLE has no float registers)
    std::string pname, pversion, pdate;
};

// ---- the writer (putasm.cpp) ----
struct Section {
    std::string name;
    uint8_t state = 0;        // bit 0 declared, bit 1 the default of its kind
    int16_t kind = 0;
};

struct SectionRow {
    int16_t kind = 0;         // asked for
    int16_t used = 0;         // actually used
    Section* sect = nullptr;
};

// Section kinds.
enum SectKind : int16_t {
    SK_DATA = 1, SK_CONST = 2, SK_TEXT = 4, SK_BSS = 8, SK_SDATA = 17, SK_SCONST = 18,
    SK_VTEXT = 20, SK_SBSS = 24, SK_DEBUG = 32,
};

struct Writer {
    int16_t curkind = SK_TEXT;    // 0 none; -1, -2 a new section of the same name starts
    uint16_t pendingmask = 0;     // kinds 1, 2 and 8 that received a section line
    std::vector<std::string> helpers;  // run-time helpers used, newest first
    // putasm's state, kept from one call to the next
    bool comment = false, skipkind = false, verbatim = false, regpending = false;
    bool percent = false, dstring = false, raw = false;
    std::array<char, 128> buf{};
    size_t count = 0;
    int fd = 1;
    std::FILE* file = nullptr;    // the -o file
    std::deque<Section> store;
    std::vector<Section*> sections;    // newest first
    std::array<SectionRow, 9> rows{};
    std::array<uint8_t, 19> regmap{};  // entries 1-18: the register of a local register byte
};

// An argument of putasm: a number or a text.
struct AsmArg {
    AsmArg(int32_t n) : num(n) {}
    AsmArg(uint32_t n) : num(static_cast<int32_t>(n)) {}
    AsmArg(std::string_view t) : istext(true), text(t) {}
    AsmArg(const char* t) : istext(true), text(t) {}
    AsmArg(const std::string& t) : istext(true), text(t) {}
    bool istext = false;
    int32_t num = 0;
    std::string_view text;
};

// ---- the reader (input.cpp, reader.cpp) ----
struct SpaceRow {
    const char* name;
    uint16_t bits;
    uint32_t flags;
};

struct Reader {
    std::FILE* in = nullptr;
    std::array<unsigned char, 128> buf{};
    size_t pos = 0, count = 0;
    int pushed = -1;              // the one byte pushed back, -1 none
    size_t consumed = 0;          // bytes handed out (for tests of the reader)
    // top level
    std::string srcname;          // the source file (for messages)
    std::string srcdir;           // its directory, empty when none
    std::string debugfile;        // the source name between verbatim marks
    int32_t line = 0;
    bool vector = false;          // inside a vector object
    bool inalias = false;         // inside a run of alias records (listing bracket)
    bool inasm = false;           // inside a run of top-level assembly text
    int32_t funcfirst = 0, funclast = 0;  // record 251
    std::string lastname;         // the bytes of the last name block read
    std::array<SpaceRow, 15> spaces{};
    uint16_t nextbit = 0x100;     // the attribute bit of the next space record
    bool mapping = false;         // writing the space-flags table: no messages
    uint16_t spacemaplabel = 0;
    bool farreported = false;
    bool headerdone = false;      // the header strings ended before the three fixed ones
    uint16_t swdispatch = 0, swdefault = 0;  // the switch header read last
    char asmlast = '\n';          // the last byte of top-level assembly text
    std::shared_ptr<const std::string> notedfile;  // the source name that -l nodes share
};

// ---- the function being compiled (program.cpp) ----
struct ParamEntry {
    uint8_t type = 0;             // type code (float widened, pointer unsigned int)
    int32_t offset = 0;           // frame offset of its home slot
    uint8_t reg = 0;              // register code it arrives in, 0 the stack
    bool stays = false;           // lives in that register for the whole function
};

struct FuncState {
    std::string nametext;         // the reader's form of the function's name
    std::string plainname;        // after "<" and the kind character
    uint32_t flags = 0;           // generator flags of its attribute word, plus VLE
    bool retstruct = false;
    int labelcount = 0;           // label definitions and switch ends
    InsertPoint ip = nullptr;     // nullptr: unreachable
    int unreachable = 0;          // switch bodies entered while unreachable
    int32_t dbgfirstline = 0, dbgfirstcol = 0, dbglastline = 0, dbglastcol = 0;  // record 188
    std::vector<ParamEntry> params;
    ir::ArgRegs argregs{false, false, false};
    RegSet paramregs, paramstay;  // registers parameters arrive in; those that stay
    RegSet localregs;             // registers of register variables (saved by the prologue)
    uint8_t lowestlocal = 0, lowestlocalf = 0;
    uint8_t highparam = 0;        // highest integer parameter register
    uint8_t calls = 0;            // record 145's calls byte
    int32_t paramsize = 0;        // record 218
    int32_t paramend = 0;         // end of the register-parameter area
    int32_t lowframe = 0, curframe = 0;  // record 129
    int liveargs = 0;             // argument registers live at entry
    int openloops = 0;            // open counted loops
    int returns = 0;
    uint8_t restype = 0;          // the result's type code (the use note)
    uint32_t frameflags = 0;      // FrameFlag bits
    int32_t tempptr = 0, lowtemp = 0;  // frame temporaries
    std::vector<struct LoopState> loops;  // open counted loops
    bool writing = false;         // putcode is writing the function
    bool hasasm = false;          // inline assembly: no register renaming
};

// An open counted loop: its label, a constant count (0 when variable) and
// the label that skips the body (0 none).
struct LoopState {
    uint16_t label = 0;
    int32_t count = 0;
    uint16_t skip = 0;
    bool never = false;           // a constant count that is not positive
};

enum FrameFlag : uint32_t {
    FF_STACKPARAMS = 0x01, FF_LOCALS = 0x02, FF_CALLS = 0x04, FF_STOREPARAMS = 0x08,
    FF_EXTENDPARAMS = 0x10, FF_CTR = 0x20, FF_TABLE = 0x40, FF_NOMOVE = 0x80,
};

// Register sets of the expression code that the function loop resets.
struct RegState {
    RegSet callersaved;           // r3-r12 and "no register"
    RegSet scratch;               // registers expressions may use
    RegSet freeset;               // free at the start of a statement
    RegSet base;                  // bit 0 and r3-r12
};

// The state of expression code within a function (select.cpp, expand.cpp,
// handlers.cpp, regs.cpp).
struct CacheEntry {              // what a register r3-r12 holds: a memory cell
    uint8_t base = 0;            // the cell's base: r2, r13 or frame addressing; 0 empty
    int32_t offset = 0;
    std::string name;
    uint8_t type = 0;            // the type code it was read with
    uint32_t stamp = 0;
};

struct TableEntry {              // the per-function address table
    std::string name;
    int32_t offset = 0;
};

struct ExprState {
    uint8_t limit = 0;           // scratch limit: new registers are taken above it
    uint8_t hint = 0;            // the register the next allocation prefers
    int32_t framebase = 0;       // bytes pushed on the stack by expression code
    int32_t size = 0;            // size of the statement's code in 16-bit units
    int movedepth = 10;          // moves that may still nest
    uint8_t lasttype = 0;        // the type code of the last type class matched
    RegSet spent;                // parameter registers whose value is gone
    RegSet readinplace;          // parameter registers read as the parameter's value
    std::array<CacheEntry, 10> cache{};
    uint32_t stamp = 1;
    int savedregs = 0;           // saved registers the frame made available
    std::vector<TableEntry> table;
    uint16_t tablelabel = 0;
    int32_t epilogue = 1;        // the epilogue's size in 16-bit units
    int32_t highline = 0;        // the highest source line listed so far
    RegSet cseregs;              // registers of bound common subexpressions
};

// What a failed attempt must give back.
struct Snapshot {
    uint16_t label = 0;
    uint32_t writepos = 0;
    RegSet scratch;
    int32_t line = 0, size = 0, lowtemp = 0, tempptr = 0, framebase = 0;
    uint32_t fnflags = 0;
    size_t table = 0;
    RegSet set;
};

// Argument tables by type code (calls and parameters).
struct ArgTables {
    std::array<uint8_t, 15> slot{0, 4, 4, 4, 4, 4, 4, 4, 4, 4, 8, 4, 4, 4, 255};
    std::array<uint8_t, 15> promote{0, 6, 6, 6, 6, 6, 6, 8, 8, 9, 10, 8, 0, 6, 14};
};

struct Gen {
    Options opt;
    HeaderFacts hdr;
    std::string inname;           // the input file as named on the command line
    std::FILE* errfp = nullptr;   // +e
    bool errors = false;
    Reader rd;
    Writer w;
    CodeStore store;
    CodeList code;
    NodePool pool;
    FuncState fn;
    RegState regs;
    ArgTables args;
    uint32_t usedbuiltins = 0;    // bit 1 fabs, bit 2 strlen: a real call was made
    ExprState ex;

    Gen();
    ~Gen();
    Gen(const Gen&) = delete;
    Gen& operator=(const Gen&) = delete;
};

// ---- program.cpp ----
int run(int argc, char** argv);
void genmain(Gen& G, int argc, char** argv);
void genfile(Gen& G);             // the open input to the open output, sections made
int functionbody(Gen& G);         // from record 134 to its end; the next code

// ---- input.cpp ----
int readraw(Gen& G);              // the next byte, -1 at the end
void unreadbyte(Gen& G, int byte);
uint8_t irbyte(Gen& G);           // the end is the panic "EOF"
uint16_t irshort(Gen& G);
uint32_t irlong(Gen& G);
bool irstring(Gen& G, std::string& out);
std::string irname(Gen& G);       // a name block in the reader's form
// A type descriptor: the type word (code, bit-field position * 16, width *
// 1024), the generator flags of its attribute word and of a pointer's
// target, and a structure's size.
struct IrType {
    uint32_t type = 0;
    uint32_t attrs = 0;
    uint32_t ptrattrs = 0;
    uint32_t size = 0;
};
IrType irtype(Gen& G);
IrType gentype(Gen& G, const ir::TypeDescriptor& t);
std::string nametext(Gen& G, const ir::NameBlock& n);
// The format library's view of the input (faults become panics).
class GenInput : public ir::Input {
public:
    explicit GenInput(Gen& G) : G_(G) {}
    int get() override;
    [[noreturn]] void fail(ir::Fault f, std::string detail) override;

private:
    Gen& G_;
};

// ---- reader.cpp ----
void initspaces(Gen& G);
uint32_t spaceflags(Gen& G, uint16_t word);
void defspace(Gen& G, const std::string& nametext);
char readattrs(Gen& G, uint32_t& flags, int32_t& value, const std::string& nametext);
int irtop(Gen& G, int mode);      // mode 0 top level, 1 function body
int irswitch(Gen& G);
void putalign(Gen& G, int n);
void putds(Gen& G, uint32_t size);
void putspacemap(Gen& G, const std::string* name);
bool isbuiltin(const Gen& G, const std::string& nametext);  // a built-in not yet called for real
uint32_t floatbits(uint64_t doublebits);  // the target's single, rounded to nearest even

// ---- tree.cpp ----
GenNode* irtree(Gen& G);
GenNode* addrof(Gen& G, GenNode* n);
GenNode* zeroleaf(Gen& G);

// ---- putasm.cpp ----
int putasm(Gen& G, std::string_view format, std::initializer_list<AsmArg> args = {});
int putasm(Gen& G, std::string_view format, const AsmArg* args, size_t count);
void outbyte(Gen& G, int value);  // negative: flush
void writebytes(Gen& G, std::string_view bytes);
void flushoutput(Gen& G, bool quiet);  // quiet: a failing write is not reported
void initsections(Gen& G);
void setsection(Gen& G, Section* s);
void usesection(Gen& G, int kind);
void defsection(Gen& G, uint32_t flags, const std::string& name);
void xrefhelper(Gen& G, std::string_view name);
void putxrefs(Gen& G);
void putend(Gen& G);
void putheading(Gen& G);
void geninfo(Gen& G);
SectionRow* sectionrow(Gen& G, int kind);

// ---- support.cpp ----
void generror(Gen& G, std::string_view msg, std::string_view detail = {});
[[noreturn]] void genpanic(Gen& G, std::string_view msg);
void closeerrfile(Gen& G, bool announce);
std::string labeltext(uint32_t number);      // ">" and octal digits, least significant first
std::string numtext32(int32_t value, int radix);
std::string numtext16(int32_t value, int radix);
std::string genregname(uint8_t code);
std::string regnamebycode(uint8_t code);
int unpackdouble(double d, uint8_t out[8]);  // the exponent; out: sign byte, then the significand
char namekind(const Gen& G, std::string_view text);
bool isaliasname(std::string_view text);
uint16_t readbe16(const uint8_t* bytes);
uint32_t reduceattrs(uint32_t flags);  // with builtin or inline, only the bits 0x2B0 stay
bool isbitfield(uint32_t type);
bool isstruct(uint32_t code);
bool isplainconst(const GenNode* n);
bool isnumleaf(const GenNode* n);
uint8_t barestorage(const GenNode* n);
bool isasgn(int op);
bool iscond(int op);
bool iscommut(int op);
int asgnop(int op);
int inplaceop(int op);
bool usesstorage(const GenNode* n, uint8_t code);
bool hascall(const GenNode* n);
bool hastype(const GenNode* n, uint32_t type);
void narrowbytes(GenNode* n, int flag);
GenNode* newnode(Gen& G);
void clearnode(GenNode* n);
void setloc(GenNode* n, uint32_t type, uint32_t attr, uint8_t reg, uint8_t indir);
void makenode(GenNode* n, int16_t op, uint32_t type, uint32_t attr, GenNode* left, GenNode* right);
GenNode* callasgn(Gen& G, GenNode* asg);
void notesource(Gen& G, InsnNode* n);
int32_t newframetemp(Gen& G, int32_t size);
GenNode* tempnode(Gen& G, GenNode* n, int32_t size);

// ---- codelist.cpp ----
uint16_t genlabel(Gen& G);
LabelRecord* findlabel(Gen& G, uint16_t number);
InsnNode* newinsn(Gen& G, uint8_t kind, LabelRecord* label, uint16_t size);
void setinsn(InsnNode* n, uint8_t kind, LabelRecord* label, uint16_t size);
LabelRecord* freelabel(Gen& G, LabelRecord* l);
void freeinsns(Gen& G, InsnNode* chain);
void movelabel(Gen& G, LabelRecord* l);
void resetlabels(Gen& G);

// ---- select.cpp ----
// Type codes in their unsigned form and as the container of a bit-field.
uint8_t unsignedtype(uint8_t code);
uint8_t containertype(uint8_t code);
// The location kinds of a node from its tree fields, and from its Location.
uint32_t treekinds(Gen& G, const GenNode* n);
uint32_t curkinds(Gen& G, const GenNode* n);
bool sci8fits(uint32_t value);   // a scaled 8-bit immediate carries it
uint32_t fieldmask(uint32_t type);
bool matchclass(Gen& G, const GenNode* o, uint8_t cls, uint32_t kinds, uint8_t type, int op);
// The first row of the node's operator that accepts its operands;
// bylocation: the left operand is already evaluated.
const Row* findtemplate(Gen& G, GenNode* n, int bylocation);

// ---- expand.cpp ----
uint8_t plainreg(uint8_t code);   // a register code without the pushed bit
// A leaf's Location as its tree fields give it.
void treeloc(GenNode* n);
// A leaf whose tree fields describe the given Location (a value already placed).
GenNode* locleaf(Gen& G, const Location& loc, uint32_t flags);
// The free set after the row's code, or the failure set.
RegSet emittemplate(Gen& G, GenNode* n, const Row* row, RegSet free);
bool expandtemplate(Gen& G, GenNode* n, std::string_view text, RegSet& free);
// The operand printer: the text of an operand with an offset selector
// (0, 2, 4, ...) and a part selector (3 whole, 1 low unsigned, 2 low
// signed, -3 high signed).
std::string opertext(Gen& G, const GenNode* o, int h = 0, int p = 3);
// A one-operand extension of a register: " extzb r3", or " extzb r8,r8" for
// r8-r23, which have no 16-bit form ("zb", "sb", "zh" or "sh").
std::string exttext(std::string_view kind, uint8_t reg);
// The extension that a char or short result of the type code needs ("" none).
const char* extkind(uint8_t type);

// ---- handlers.cpp ----
// The text of a special row (handlers 1-9), or false when an operand could
// not be placed; free is the caller's free set, updated.
bool runhandler(Gen& G, GenNode* n, const Row& row, RegSet& free, std::string& text);

// ---- regs.cpp ----
void resetexpr(Gen& G);
uint8_t firstfree(Gen& G, const RegSet& s, uint8_t first, uint8_t last);
// The register a node gets for kinds k and type t; cached: the register
// already holds o's value (the content cache found it).
bool allocreg(Gen& G, GenNode* n, uint32_t k, const RegSet& s, uint8_t t, const GenNode* o, bool* cached = nullptr);
// The content cache (off with -nr): s none clears every entry; mode 0 finds
// o's cell or takes a register for it, 0x60 only finds; a register code as
// the mode records that the register holds o (o none: holds nothing known).
uint8_t regcache(Gen& G, const RegSet* s, const GenNode* o, int mode, bool* hit = nullptr);
void cacheforget(Gen& G, uint8_t reg);          // the register was written
// A store to dest: its cell's entries go (every entry for a store through a
// pointer), and reg (when not 0) holds the cell's value read as srctype.
void cachestore(Gen& G, const GenNode* dest, uint8_t reg, uint8_t srctype);
RegSet forceloc(Gen& G, GenNode* n, uint32_t k, RegSet s, uint8_t t);
RegSet movevalue(Gen& G, GenNode* dest, GenNode* src, RegSet s);
RegSet pushvalue(Gen& G, GenNode* n, uint32_t k, RegSet s);
RegSet popvalue(Gen& G, GenNode* n, RegSet s, uint32_t request, GenNode* consumer);
RegSet loadaddr(Gen& G, GenNode* dest, GenNode* src, uint32_t k, RegSet s);
void savestate(Gen& G, Snapshot& snap, const RegSet* s = nullptr);
void restorestate(Gen& G, const Snapshot& snap, RegSet* s = nullptr);
bool paramreg(Gen& G, GenNode* n, RegSet* s);
void dropparam(Gen& G, GenNode* n, bool all);
bool ownregs(GenNode* n, RegSet* s, int mode);
int32_t addrtable(Gen& G, GenNode* o, bool nearby);
void putaddrtable(Gen& G);
RegSet failset();
// Counts code of n 16-bit units in the statement's size.
inline void countsize(Gen& G, int n) { G.ex.size += n; }

// ---- exprgen.cpp ----
RegSet genexpr(Gen& G, GenNode* n, uint32_t w, RegSet s, uint8_t t);
RegSet genbinop(Gen& G, GenNode* n, uint32_t w, RegSet s, const Row* row);
RegSet genasgn(Gen& G, GenNode* n, uint32_t w, RegSet s, uint32_t d);
RegSet genincdec(Gen& G, GenNode* n, uint32_t w, RegSet s);
InsnNode* genvoid(Gen& G, GenNode* expr);
InsnNode* genloop(Gen& G, GenNode* count, uint16_t label);
InsnNode* genasm(Gen& G, const std::string& text);

// ---- conds.cpp ----
int invertcond(int code);
int swapcond(int code);
int opcond(int op);                // the branch code of a comparison operator, 0 none
uint8_t cmptype(const GenNode* l, const GenNode* r);
int prepcompare(Gen& G, GenNode* cmp, GenNode*& l, GenNode*& r, int cond);
RegSet sideeffects(Gen& G, GenNode* n, RegSet s);
// a volatile object (leaf) or a read through a pointer to one
bool isvolatile(const GenNode* n);
// Compare and branch: into the code list at *ip, or (ip none) into the text.
RegSet gencond(Gen& G, InsertPoint* ip, int cond, uint16_t label, GenNode* l, GenNode* r, RegSet s);
void flushcode(Gen& G, InsertPoint* ip);
InsertPoint genjump(Gen& G, InsertPoint ip, int code, uint16_t label, GenNode* left, GenNode* right);
RegSet jumpbranch(Gen& G, GenNode* c, uint16_t target, bool whentrue, RegSet s);
RegSet gencondvalue(Gen& G, GenNode* n, GenNode* c, GenNode* x, GenNode* y, RegSet s);

// ---- calls.cpp ----
RegSet gencall(Gen& G, GenNode* n, uint32_t w, RegSet s);
void asmcall(Gen& G, const std::string& text);
void stackadjust(Gen& G, int32_t n);

// ---- cse.cpp ----
void cse(Gen& G, GenNode*& slot);
bool sametree(const GenNode* a, const GenNode* b);
RegSet genbind(Gen& G, GenNode* n, uint32_t w, RegSet s, uint8_t t);

// ---- frame.cpp ----
std::string genframe(Gen& G);
void putdline(Gen& G);

// ---- layout.cpp ----
bool shortrange(int32_t target, int32_t here);
const char* branchname(uint8_t kind);  // the mnemonic of a branch kind, long or short
void chainblocks(Gen& G, LabelRecord* l, int limit);
void layoutcode(Gen& G);
InsertPoint genswitch(Gen& G, InsertPoint ip, uint16_t deflabel);
void putcode(Gen& G, const std::string& epilogue);
void putsource(Gen& G, int32_t first, int32_t last);

}  // namespace cg

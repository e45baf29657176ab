// The assembly optimizer's state and the table of contents of its files.
//
// coppc reads the generator's text one unit at a time (the lines between two
// functions followed by one function), turns every line into an InsnNode
// that knows which registers and resources it reads and writes, links the
// branches to their labels, runs its passes until none changes anything and
// writes the lines back. Every pass reasons only on the masks of the nodes
// and on their operand texts; a change builds a new line, parses it into a
// new node and deletes the old one, so the masks always describe the text.
//
// One Optimizer structure holds a run (options, counters, the unit being
// worked on, the input and output); every function takes it, so a test can
// start from a fresh one.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace opt {

struct Optimizer;
struct InsnNode;
struct InsnRow;

// ---- small helpers every file uses ----
constexpr uint32_t regbit(int r) { return 1u << r; }
constexpr uint32_t regrange(int lo, int hi) {
    uint32_t m = 0;
    for (int r = lo; r <= hi; ++r) m |= regbit(r);
    return m;
}
// A character of a name or mnemonic: letters, digits, "_" and ".".
inline bool iswordchar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
}
inline bool isblankchar(char c) { return c == ' ' || c == '\t'; }

// ---- resources (the CR-class words of a node, and a row's implicit words) ----
// A write of a resource the model cannot pin down (a CR bit given by an
// expression, a special register by number) is recorded as a read and a
// write, so that liveness stays conservative.
enum Res : uint32_t {
    Cr0 = 0x1,          // cr0 to cr7 are 0x1 to 0x80
    CrAll = 0xFF,
    Ca = 0x100,         // carry
    RecForm = 0x200,    // written word: "." suffix
    OvForm = 0x400,     // written word: "o" suffix
    Br = 0x800,         // read word: conditional branch; written word: a branch
    Lr = 0x1000,
    Ctr = 0x2000,
    Call = 0x20000,     // a call, run-time helper calls included
    Ext = 0x80000,      // the result of an extension
    Mem = 0x100000,     // read word: memory read (loads); written: stores
    Exit = 0x200000,    // control does not fall through
    Lbl = 0x400000,     // a branch to a label of the unit
    Use = 0x800000,     // the "use" pseudo-instruction
};

// ---- row attributes ----
enum Attr : uint32_t {
    PatMask = 0x000F,   // operand pattern, see parseinsn
    Two = 0x0010,       // two-operand short form: "op rD,x" is "op rD,rD,x"
    One = 0x0020,       // one-operand short form: "op rD" is "op rD,rD"
    Xo = 0x0100,        // (kept from the row data; no pass reads it)
    Rec = 0x0200,       // has a record form
    Byte = 0x0400,      // byte width
    Half = 0x0800,      // halfword width
    Upd = 0x1000,       // update form: the base register is written too
    NoT0 = 0x2000,      // not turned into a three-operand form by T0
    Comm = 0x4000,      // commutative sources
    ShortRegs = 0x8000, // VLE bit operation on r0-r7, r24-r31 only
    Eff = 0x10000,      // an effect beyond its registers: never deleted, merged or moved
    CrBits = 0x20000,   // operands are CR bit numbers (crand, crset, ...)
    CrFields = 0x40000, // operands are CR field numbers when not written crN (mcrf)
    AlwaysRec = 0x80000,// the record form is the only form (e_add2i.)
};

// ---- node kinds ----
enum Kind : uint16_t {
    KLabel = 0x8000,
    KInsn = 0x4000,
    KText = 0x2000,
    KLabelText = 0x3800,   // label followed by more text, until splitlabel
    KVolatile = 0x0400,    // instruction: only I1 may touch it; label: kept
    KOutside = 0x0008,     // text or label: a line outside the functions
    KEntry = 0x0004,       // the unit's entry label
    KScanned = 0x0002,     // label: entered by a liveness scan
    KVisited = 0x0001,     // label: visited by a flow walk
    RowMask = 0x03FF,
};

// ---- one line of a unit (nodes.cpp) ----
struct LabelRecord {
    std::vector<InsnNode*> refs;  // branch nodes and jump-table lines, all of them
};

struct InsnNode {
    InsnNode* next = nullptr;
    InsnNode* prev = nullptr;
    InsnNode* link = nullptr;       // a label branch: its target label
    InsnNode* nextlabel = nullptr;  // a label: the next label of the unit's list
    std::unique_ptr<LabelRecord> rec;  // a label of the list: its references
    uint16_t kind = 0;
    uint8_t width = 0;      // 0 word or none, 1 byte, 2 halfword
    uint8_t opcount = 0;    // operands that held at least one token
    uint32_t gprread = 0;   // a label in a liveness scan: registers assumed live
    uint32_t gprwrite = 0;
    uint32_t crread = 0;    // a label in a liveness scan: resources assumed live
    uint32_t crwrite = 0;   // also carries RecForm and OvForm
    uint32_t fprread = 0;
    uint32_t fprwrite = 0;
    // An instruction: its operand text; a label: the label and its colon;
    // anything else: the whole line as read.
    std::string text;
    // A line outside the functions keeps its exact form here (written back as
    // read); empty for every other node.
    std::string raw;

    bool islabel() const { return kind & KLabel; }
    bool isinsn() const { return kind & KInsn; }
    bool istext() const { return !(kind & (KLabel | KInsn)); }
    bool isvolatile() const { return kind & KVolatile; }
    int row() const { return kind & RowMask; }
};

// Classes of instructions by their masks (nodes.cpp).
bool islabelbranch(const InsnNode* n);   // a branch to a label of the unit
bool iscondbranch(const InsnNode* n);    // reads the conditional-branch bit
bool isjump(const InsnNode* n);          // an unconditional branch to a label
bool isexit(const InsnNode* n);          // control does not fall through
bool iscall(const InsnNode* n);
bool isload(const InsnNode* n);
bool isstore(const InsnNode* n);
// Falls through to the next line: neither a jump nor an exit.
bool fallsthrough(const InsnNode* n);
// Whether the instruction may be deleted when what it writes is dead: it
// writes a modelled register and has no other effect (no store, branch,
// call, exit, special register, barrier), and is not volatile.
bool removable(const Optimizer& o, const InsnNode* n);

// ---- the instruction table (insntable.cpp) ----
using Handler = int (*)(Optimizer& o, InsnNode*& place, const InsnRow& row);

struct InsnRow {
    const char* mnemonic = nullptr;   // lower case, without "." or "o" suffix
    uint32_t attr = 0;                // Attr bits
    uint32_t implread = 0;            // Res bits
    uint32_t implwrite = 0;
    uint32_t gprread = 0;   // general registers read or written besides the operands
    uint32_t gprwrite = 0;
    // Filled by initinsntab:
    const InsnRow* generic = nullptr;  // the row whose rules an e_/se_ row follows (itself otherwise)
    std::vector<Handler> handlers = {};   // in calling order; empty: no handler examines the row
    int index = -1;
};

// The row numbers handlers compare a node's row with.
struct RowIds {
    int addis = -1, subis = -1, iseleq = -1, stwu = -1, lis = -1, ori = -1, bseti = -1, subi = -1,
        mflr = -1, mulli = -1, li = -1, add = -1, extrwi = -1, bclri = -1, oris = -1, la = -1,
        bdnz = -1, cmpi = -1, or_ = -1, and_ = -1, stmw = -1, andis = -1, addi = -1, lha = -1,
        andi = -1, stw = -1, insrwi = -1, mr = -1, b = -1;
};

// Builds the table once (rows, index variables, handler lists); later calls
// do nothing.
void initinsntab();
const std::vector<InsnRow>& insntable();
const RowIds& rowids();
// Binary search; A-Z compare as a-z. -1 when the word is no mnemonic.
int findinsn(std::string_view word);
const InsnRow& insnrow(uint16_t kind);
// Condition code of a branch row: 0-23 for beq..buna (twice the condition,
// plus 1 for the absolute form), 30 b, 31 ba, -1 otherwise.
int branchcode(uint16_t kind);
int invertcode(int code);               // the inverse condition of a code 0-23
const char* condmnemonic(int code);     // the branch mnemonic of a code 0-23

// ---- the pass tables (passes.cpp) ----
using BlockPass = int (*)(Optimizer& o, InsnNode* label);
using UnitPass = int (*)(Optimizer& o);

struct HandlerDef {
    const char* code;   // "M0"
    Handler fn;
};
struct HandlerList {
    const char* rows;   // mnemonics separated by blanks
    const char* codes;  // handler codes in calling order, separated by blanks
};
struct BlockPassDef {
    const char* code;
    BlockPass fn;
};
struct UnitPassDef {
    const char* code;
    UnitPass fn;
};
const std::vector<HandlerDef>& handlerdefs();
const std::vector<HandlerList>& handlerlists();
const std::vector<BlockPassDef>& blockpasses();    // in the order of a sweep
const std::vector<UnitPassDef>& globalpasses();    // tried in order when nothing else changed
const std::vector<UnitPassDef>& finalpasses();     // once per unit after optunit
Handler findhandler(std::string_view code);        // nullptr when no handler has the code

// The passes a driver runs: the tables above, or what a test puts there.
struct PassTables {
    std::vector<BlockPassDef> block;
    std::vector<UnitPassDef> global, final;
    std::vector<std::vector<Handler>> byrow;   // per row index; empty: the rows' own lists
    Handler i1 = nullptr;                      // the handler of volatile loads
};
PassTables defaultpasses();

// ---- the unit (program.cpp) ----
struct PathList {
    std::array<InsnNode*, 16> slot{};
    uint16_t used = 0;
};

struct Unit {
    InsnNode* head = nullptr;
    InsnNode* tail = nullptr;
    InsnNode* labels = nullptr;   // first label of the list, in line order
    InsnNode* dentry = nullptr;   // the ".dentry" line
    InsnNode* entry = nullptr;    // the entry label
    uint32_t keepmask = 0;
    int deferred = 0;             // DeferredMode: 0 neutral, 1 pending, -1 armed
    bool opaque = false;          // holds a line the optimizer does not understand
    bool function = false;        // an opening FL: was read
    bool closed = false;          // the closing FL: was read
    long lines = 0;               // lines read into the unit
    long firstline = 0;           // input line number of its first line
    Unit() = default;
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;
    ~Unit();
    void clear();   // frees every node
};

struct Options {
    int32_t c = 0, v = 0, x = 0;
    const char* d = nullptr;
    const char* o = nullptr;
};

// A test hook: called after every change a pass makes, with the pass code
// and the unit as it now reads.
using ChangeHook = std::function<void(std::string_view pass, const std::string& unittext)>;

struct Optimizer {
    Options opt;
    std::array<uint8_t, 26> disable{};   // DisableSet
    int32_t destructions = 0, modifications = 0;
    std::string passname;
    uint8_t pendingmarks = 0;            // KVisited / KScanned left on labels
    bool loopguard = false;
    int optline = 3, infoline = 2;       // count-downs over the whole run
    int madelabels = 0;                  // LC%03d counter, never reset
    int32_t framevalue = 0;              // the number of the unit's OFST line
    bool framevalueset = false;          // the unit has an OFST line
    PathList paths;
    bool pathoverflow = false;           // a walk found more open paths than the PathList holds
    Unit unit;
    std::string line;                    // the line being read or built

    // input and output
    std::FILE* in = nullptr;
    std::FILE* out = nullptr;
    std::string inname, outname;
    bool outcreated = false;             // -o named a regular file this run created
    bool ineof = false;
    long linecount = 0;

    PassTables passes = defaultpasses();
    ChangeHook onchange;
    long changelimit = 100;              // changes per line of a unit before it is written as it stands

    Optimizer() = default;
    Optimizer(const Optimizer&) = delete;
    Optimizer& operator=(const Optimizer&) = delete;
    ~Optimizer();

    bool disabled(std::string_view code) const;
    bool keepcomments() const { return opt.c != 0; }
};

// ---- program.cpp ----
int run(int argc, char** argv);             // optmain
int run(int argc, char** argv, ChangeHook hook);   // the same, reporting every change
void parsedisable(Optimizer& o, const char* text);
std::string disablepairs(const char* text); // the pairs parsedisable takes, for .info
[[noreturn]] void optfatal(Optimizer& o, std::string_view text, std::string_view name);
void putstats(const Optimizer& o);
void putoptinfo(Optimizer& o);

// ---- unit.cpp ----
long readunit(Optimizer& o);
void optunit(Optimizer& o);
void writeunit(Optimizer& o);
// The unit's lines as writeunit would write them (the unit is kept).
std::string unittext(const Optimizer& o);
// Counts a change of the current pass and reports it to the hook.
void notechange(Optimizer& o);

// ---- nodes.cpp ----
// Parses a line into a new node, not linked into any list.
InsnNode* parseinsn(Optimizer& o, std::string_view text);
struct OperandMasks {
    uint32_t gpr = 0, cr = 0, fpr = 0;
};
// Reads one operand (up to a top-level comma); true when it held a token.
bool parseoperand(std::string_view text, OperandMasks& op, OperandMasks& read, OperandMasks& written,
                  bool update);
// Splits a label-with-text line; rest receives the text after the colon.
bool splitlabel(InsnNode* n, std::string& rest);
InsnNode* insinsn(Unit& u, InsnNode* place, InsnNode* n);
InsnNode* moveinsn(Unit& u, InsnNode* n, InsnNode* place);
void unlinkinsn(Unit& u, InsnNode* n);
// The output line of a node, without the line feed.
std::string lineof(const InsnNode* n);
std::string_view mnemonicof(const InsnNode* n);   // the row's mnemonic
std::string suffixes(const InsnNode* n);          // "o" and "." as the node has them

std::string_view skipspace(std::string_view text);
// The text after the first top-level comma (skip 1) or from it (skip 0); the
// whole text when there is no top-level comma.
std::string_view nextoperand(std::string_view text, int skip);
std::string_view firstoperand(std::string_view text);   // up to the first top-level comma
std::string_view lastoperand(std::string_view text);    // after the last top-level comma
int operandcount(std::string_view text);
uint32_t parsereg(std::string_view text);               // mask of the register named up to "," or ")"
int regclass(std::string_view token);                   // 'r', 'f', 'c' or 0
std::string gprname(uint32_t mask);
bool isnumber(std::string_view text);
bool issci8(uint32_t value);
// The operand text with every operand (or base register) equal to old
// written as repl; *any tells whether one was.
std::string renameop(std::string_view text, std::string_view old, std::string_view repl, bool* any = nullptr);
// Rewrites the node's line into o.line with operands equal to old replaced.
bool replaceop(Optimizer& o, const InsnNode* n, std::string_view old, std::string_view repl);
bool sameop(std::string_view text, std::string_view other);
// Whether two memory accesses of the unit may touch a common byte.
bool mayalias(const Optimizer& o, const InsnNode* a, const InsnNode* b);
bool takesframeaddress(const Unit& u);
// A slot of the frame: its offset from r1 (OFST resolved) and its size.
bool frameslot(const Optimizer& o, const InsnNode* n, int32_t& off, uint32_t& size);

// ---- labels.cpp ----
void linklabels(Optimizer& o);
void mergelabels(Optimizer& o);
void linkbranch(Optimizer& o, InsnNode* n);
InsnNode* delinsn(Optimizer& o, InsnNode* n);
InsnNode* newlabel(Optimizer& o, InsnNode* before, int refs);
std::string_view labelname(const InsnNode* label);   // without the colon

// ---- flow.cpp ----
void clearmarks(Optimizer& o, uint16_t bits);
InsnNode* previnsn(Optimizer& o, InsnNode* n, bool multi);
enum NextFlags : int { StopAtLabel = 1, ListOrder = 0x4000, ReturnLabel = 0x8000 };
InsnNode* nextinsn(Optimizer& o, InsnNode* n, int flags);
InsnNode* poppath(Optimizer& o, bool reset);
bool pushpaths(Optimizer& o, InsnNode* n);
bool regsdead(Optimizer& o, InsnNode* n, uint32_t gpr, uint32_t cr);
bool deadregs(Optimizer& o, InsnNode* n, uint32_t gpr);
bool deadregscr(Optimizer& o, InsnNode* n, uint32_t gpr, uint32_t cr);
void deadchain(Optimizer& o, InsnNode* n);
void prepunit(Optimizer& o);

}  // namespace opt

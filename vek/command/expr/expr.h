// C expressions of the loaded program: the one evaluator (xexpr) that
// commands, event conditions, monitors, windows and extensions call, the
// operators on 32-bit target values, typed reads and writes of target
// objects, value display, variable lookup through the call frames, and the
// statements (if, while, do, return, braces) that sit between a command
// line and its commands.
//
// The one idea: an expression is evaluated into an ExprValue that says what
// it is (type, address, where the object lives) as well as what it holds,
// so the same record serves printing, assignment, '&', '[]' and the
// windows. The target (registers, memory, debug tables, call frames) is
// reached only through ExprEnv, which a session binds and a test fills.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "vek/core/debuginfo/lookup.h"
#include "vek/core/exec/hooks.h"

namespace vek {

class Memory;
struct RegisterFile;
struct Session;

// ---- the evaluator's result

// Where a term lives (besides a variable's storage class).
namespace term {
constexpr uint8_t Value = 0;      // a plain value, not updatable
constexpr uint8_t Mem = 1;        // target memory reached through '*', '[]', '.', '->'
constexpr uint8_t Register = 13;  // a machine register ($r3)
constexpr uint8_t Counter = 25;   // $time, $xtime
constexpr uint8_t DotVar = 26;    // .name, a debugger variable
constexpr uint8_t Symbol = 27;    // a program symbol of that exact name
constexpr uint8_t NoValue = 127;
}  // namespace term

// Base type codes of a TypeWord.
namespace tc {
constexpr uint8_t Bool = 1, SChar = 8, Char = 9, UChar = 10, CharBits = 11, Short = 16, UShort = 17,
                  ShortBits = 18, Int = 24, IntBits = 25, UInt = 26, Long = 32, ULong = 33,
                  LongBits = 34, Float = 40, Double = 41, LDouble = 42, SFract = 44, LFract = 45,
                  LLong = 48, ULLong = 49, Pointer = 64, Array = 65, Struct = 72, Union = 73,
                  Enum = 74, CharEnum = 75, ShortEnum = 76, IntEnum = 77, LongEnum = 78, Void = 80;
}

// Derivation steps, outermost in the top two bits.
namespace step {
constexpr uint32_t None = 0, Ptr = 1, Func = 2, Arr = 3;
inline uint32_t top(uint32_t type) { return type >> 30; }
inline uint32_t drop(uint32_t type) { return ((type & 0xFFFFFF00u) << 2) | (type & 0xFFu); }
inline uint32_t add(uint32_t type, uint32_t s) {
    return (((type & 0xFFFFFF00u) >> 2) & 0xFFFFFF00u) | (s << 30) | (type & 0xFFu);
}
}  // namespace step

struct ExprValue {
    const FunctionRecord* owner = nullptr;  // the variable's function
    uint8_t core = 0;
    int16_t attr = 0;       // attribute bits of the variable
    uint32_t size = 0;      // size of the type when the term is updatable
    uint32_t type = 0;      // TypeWord
    uint32_t address = 0;   // target address, register number, counter or enumerator
    uint32_t value2 = 0;
    std::string text;       // the expression's own text
    // The type's descriptor words: cursor is the slot of the outermost
    // remaining derivation step. owned keeps a descriptor made by a cast or '&'.
    const TypeDesc* desc = nullptr;
    size_t cursor = 0;
    std::shared_ptr<TypeDesc> owned;
    std::string symname;    // a dot variable's name (without the dot)
    uint64_t bits = 0;      // integer in the low 32 bits, a double, or a long long
    uint8_t kind = term::Value;
    uint8_t boolbit = 0;    // bit number of a _Bool
    uint32_t count = 0;     // 0: one value; n: n consecutive elements

    uint8_t base() const { return uint8_t(type); }
    bool derived() const { return (type >> 8) != 0; }
    uint32_t u32() const { return uint32_t(bits); }
    int32_t i32() const { return int32_t(uint32_t(bits)); }
    double dbl() const;
    void setint(uint32_t v) { bits = v; }
    void setdbl(double d);
    bool isfloat() const;       // float, double or long double, no steps
    // The byte after the text's NUL for the windows: the term kind, or 9.
    uint8_t textkind() const { return kind ? kind : 9; }
};

void xfree(ExprValue* value);
struct ExprFree {
    void operator()(ExprValue* v) const { xfree(v); }
};
using ExprPtr = std::unique_ptr<ExprValue, ExprFree>;

// ---- the environment

// One call frame as the evaluator sees it.
struct FrameView {
    const FunctionRecord* func = nullptr;
    const LineRecord* line = nullptr;   // the line last reached in the frame
    uint32_t curline = 0;
    bool setup = false;                 // frame-set-up flag
    uint32_t base = 0;                  // frame base
};

// Run control's call frames, innermost first, per core. Empty functions
// mean "no frames".
struct FrameAccess {
    std::function<int(int core)> depth;
    std::function<FrameView(int core, int index)> at;
    std::function<int(int core)> current;            // -1 when there is none
    std::function<void(int core, int index)> select;
};

// A frame found by a lookup: core and index (index -1: none).
struct FrameRefIx {
    int core = 0;
    int index = -1;
    bool found() const { return index >= 0; }
};

struct ExprHooks {
    // Statements pass every plain command here; the result is where the
    // command ended in the text, or nullptr (or a text outside the line)
    // when the rest of the line is to be abandoned.
    std::function<const char*(const char* text, int user)> dispatch;
    // Polled by loops (while, do, element lists): true ends them.
    std::function<bool()> stoprequested;
    // $time = n also restarts the run's cycle count from n.
    std::function<void(uint32_t)> settimestart;
    // After pc moved: position tracking of run control (the statement at pc,
    // and whether pc starts a line) and the source display.
    std::function<void(const LineRecord* stmt, bool atline)> trackposition;
    std::function<void()> showlocation;
    std::function<void()> refreshregs;    // the register window, when open
    std::function<void()> refreshdata;    // monitors and variable windows
    // Shows an aggregate in its window; false (or unset) prints it inline.
    std::function<bool(const ExprValue& value, char letter)> aggregatewindow;
    // Prints the source lines of the current frame's function.
    std::function<void()> listframesrc;
};

struct ExprEnv {
    DebugInfo* debug = nullptr;
    RegisterFile* regs = nullptr;
    Memory* mem = nullptr;
    uint32_t* splitmask = nullptr;
    FrameAccess frames;
    ExprHooks hooks;
    int radix = 0;   // display radix: 0 decimal, 1 octal, 2 hexadecimal, 4 binary
};

// How a command layer uses this library: bindexpr(session) after a load;
// exprenv().frames from run control's call frames (innermost first, the
// current frame per core); the hooks it has (dispatch runs one plain
// command through the command table, stoprequested polls the stop flag,
// settimestart, trackposition, showlocation, refreshregs, refreshdata);
// then every line goes through execstatement (or execline), evalcmd is the
// handler of x and eval, and event creators copy bodies with readbracebody.
// Unset hooks are skipped.
//
// The environment; resetexpr starts a fresh one (and fresh evaluator state).
ExprEnv& exprenv();
void resetexpr();
// Binds registers, memory, debug tables and split mask of a session.
void bindexpr(Session& session);
void setradix(int radix);

// ---- parse.cpp: the evaluator

// Evaluates the expression at cursor: mode non-zero reads values through
// the call frames, mode 0 only resolves names, types and addresses. The
// cursor ends on the first character that is not part of the expression.
// The value is returned also on error (error non-zero, a message number).
ExprValue* xexpr(const char*& cursor, int& error, int mode);
// While set, '=' ends an expression (the update command's left side).
void setassigncontext(bool on);
// The extension export: 58 when text follows the expression.
int Expression(int mode, const char* text, int* isfloat, uint32_t* integer, double* real);

// ---- operators.cpp
void applyunary(int op, ExprValue& v);
void applybinary(int op, ExprValue& left, ExprValue& right);
// Converts a double to a 32-bit integer of base type code: toward zero,
// saturating at the type's limits, NaN as 0.
uint32_t dbltoint(double d, uint8_t code);
double inttodbl(uint32_t v, uint8_t code);
// Assigns value to target as '=' does (converted to the target's type;
// registers, counters and dot variables included); target then holds the
// new value. Returns 0 or the message number (61: not updatable).
int storevalue(ExprValue& target, const ExprValue& value);

// ---- types.cpp: casts and sizes
namespace castflag {
constexpr uint32_t Char = 0x1, Short = 0x2, Int = 0x4, Long = 0x8, Float = 0x10, Double = 0x20,
                   Signed = 0x40, Unsigned = 0x80, Const = 0x100, Volatile = 0x200, Void = 0x400,
                   Struct = 0x800, Union = 0x1000, Enum = 0x2000, LongLong = 0x4000, Typedef = 0x8000;
}
uint32_t normtypeflags(uint32_t flags);
bool typeflagsok(uint32_t flags);
// Retypes v as the cast says; false when the cast is not allowed.
bool castto(uint32_t flags, ExprValue& v, const VarRecord* typed, int pointers);
// The cast flags of a base type code (0: not castable).
uint32_t castflagsof(uint8_t code);
// The struct (0x800), union (0x1000) or enum (0x2000) with that tag among
// the file-scope variables, or none.
std::optional<VarRecord> findenum(uint32_t kindflag, std::string_view tag);
// sizeof: v becomes an int holding the size of the type.
void retype(ExprValue& v, const VarRecord* typed, uint32_t flags, int pointers);

// ---- values.cpp: typed values and display
uint32_t typesizeof(const ExprValue& v);    // size of v's type
uint32_t elementsize(const ExprValue& v);   // size of what v points to
bool isstrtype(const ExprValue& v);
uint64_t readval(const ExprValue& v, uint8_t code);
void writeval(const ExprValue& v, uint64_t bits);
void loadvalue(ExprValue& v);
// The default format of a base type under the display radix.
const char* typefmt(uint8_t code, const VarRecord* var);
std::string dbltext(double d);
std::string valuetext(const ExprValue& v, char letter);
void printvalue(const ExprValue& v, char letter);
// Both return false when a stop request cut an element list short.
bool putresult(const ExprValue& v, char letter);
bool putvalueline(const ExprValue& v, char letter);
void putvar(const VarRecord& var);
// Copies a variable's type, descriptor and attributes into v.
void fromvar(ExprValue& v, const VarRecord& var);

// ---- frames.cpp: frame navigation and variable lookup
// The variable of that name in the function: arguments, then the rest
// (typedefs passed over); without the frame's variables the labels of the
// static part are passed over too.
const VarRecord* onvarlist(const FunctionRecord* func, std::string_view name, bool framevars);
bool frameisloc(const FunctionRecord* func, uint32_t line, const LocationSpec& loc);
const VarRecord* findstaticvar(const LocationSpec& loc);
const VarRecord* findvar(const LocationSpec& loc, FrameRefIx& frame);
const VarRecord* findlocvar(const LocationSpec& loc, FrameRefIx& frame);
// Lookup errors of the last findvar/findlocvar (52 after an unknown file or
// function) and the include-frame-variables flag as the lookup left it.
int lookuperror();
bool framevarsflag();
// The chain that varaddr searches for a variable found in that frame.
uint32_t frameaddr(const VarRecord& var, FrameRefIx frame);
void moveframe(char letter, const LocationSpec* loc);
void listcallers();
// Copies a command body ({...} or up to ';') and moves the cursor past it.
bool readbracebody(const char*& cursor, std::string& body);

// ---- statements.cpp
// Runs one statement; the position after it (after its ';'), or nullptr
// when the rest of the line is abandoned.
const char* execstatement(const char* text, int user);
const char* execblock(const char* text, int user);
const char* skipstatement(const char* text);
// Every statement of a line in turn (what a command-file line runs).
void execline(const char* text, int user);

// ---- evalcmd.cpp
// The x / eval command: a ','-list of expressions, each printed.
const char* evalcmd(const char* text, int user);
// After a register changed: refresh, follow pc, tell the extensions.
void syncregs(int pcchanged);

}  // namespace vek

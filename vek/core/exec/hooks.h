// Target adaptation hooks: the small answers that adapt the debugger core to
// this processor. Where a variable of each storage class lives and how it is
// read and written, debug register numbering, target float bytes, frame
// bases, core names, counters, the pending-interrupt set with the interrupt
// list file, and the target symbols bound after a load.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vek/core/debuginfo/debuginfo.h"
#include "vek/core/exec/exec.h"

namespace vek {

// ---- registers and variables

// Debug register n names general register r(36 - n): register number 37 - n.
uint32_t dbgreg(RegisterFile& regs, uint32_t n);
void setdbgreg(RegisterFile& regs, uint32_t n, uint32_t value);
// Classes 4, 5, 7, 15 and 22 live in a register, the others in memory.
bool inregister(uint8_t sclass);
uint32_t readvarval(RegisterFile& regs, Memory& mem, uint8_t sclass, uint32_t where);
void writevarval(RegisterFile& regs, Memory& mem, uint8_t sclass, uint32_t where, uint32_t value);
// "reg. R%i" (or "reg. R%i,R%i" for a double): classes 4, 5 and 22 name the
// first candidate register, the others the second.
std::string regvarname(uint8_t sclass, uint32_t first, uint32_t second, uint32_t type);
void putmembytes(Memory& mem, uint32_t address, const uint8_t* bytes, bool eight);
constexpr uint32_t ptrmask(uint32_t) { return 0xFFFFFFFFu; }
// Pointer declarators of declaration texts.
void ptrdeclarator(char* buffer);          // writes "*"
std::string ptrprefix(std::string_view text);  // "*" + text

// One call frame as the variable hooks see it.
struct FrameRef {
    const FunctionRecord* func = nullptr;
    uint32_t base = 0;        // frame base
    bool midentry = false;    // entered in the middle of the function
};

// Address (or register number) of a variable, searched through the chain
// of call frames innermost first; 0 when no frame has it.
uint32_t varaddr(const VarRecord& var, std::span<const FrameRef> chain);
// Whether a function has a variable of that name.
bool onvarlist(const FunctionRecord* func, std::string_view name);

// Frame bases: r1 minus the frame size (end line - line of the function's
// frame record). The last base computed is kept for lastframebase.
struct FrameHooks {
    uint32_t last = 0;
    uint32_t stackpointer(RegisterFile& regs) { return regs.getreg(2); }
    uint32_t framebase(RegisterFile& regs, const FunctionRecord* func);
    // The frame base of the function whose line record at is (the record
    // found at pc, nullptr when none), plus that function's frame end line
    // unless at starts the function or the function is a file-scope one.
    uint32_t framebaseatpc(RegisterFile& regs, const LineRecord* at);
    uint32_t lastframebase() const { return last; }
};

// ---- target floating point

// IEEE single (4 bytes) or double (8), big-endian, to a host double. Both
// leading bytes zero give 0; an infinite single gives the largest single; a
// NaN gives NaN.
double fromtgtfloat(const uint8_t* bytes, bool isdouble);
// Rounds to nearest even and saturates to the largest finite value; 0 gives
// all-zero bytes.
void totgtfloat(double value, uint8_t* dest, bool isdouble);

// ---- cores and counters

const char* coretag(int flag);   // " [z0] " for non-zero, " [z1] " for 0
const char* corename(int flag);  // " z0 " / " z1 "
constexpr const char* spacesuffix() { return ""; }
constexpr int coreready() { return 1; }
inline int ispc(RegisterFile& regs, uint32_t address) { return address == regs.getpc(); }

struct CounterBindings {
    const uint32_t* time = nullptr;    // ".time"
    const uint32_t* xtime = nullptr;   // ".xtime"
    const uint32_t* nbins = nullptr;   // ".nbins"
};
uint32_t corecycles(const CounterBindings& c, uint32_t splitmask, int core);
uint32_t insncount(const CounterBindings& c);

// ---- interrupts

// Bit k stands for interrupt k + 1 and for the vector id -4 * (k + 1). Bits
// may be raised from any thread.
struct PendingInterrupts {
    std::atomic<uint32_t> word[4] = {};
};

// Sets the bit of a vector id; non-zero when the id names one.
int TGTRaiseInterrupt(PendingInterrupts* set, int32_t id);
// 1-based number of the lowest raised bit, 0 when none (or no set).
int firstpending(const PendingInterrupts* set);
// Pending interrupts are never taken by this target.
constexpr int acceptinterrupt(const PendingInterrupts*) { return 0; }

struct InterruptEntry {
    int32_t number = 0;
    std::string name;
};

struct InterruptState {
    PendingInterrupts pending;
    std::vector<InterruptEntry> list;  // the loaded interrupt list file
    bool loaded = false;
    // Message box (text, caption); unbound, the messages are logged.
    std::function<void(std::string_view text, std::string_view caption)> messagebox;
    std::vector<std::string> log;
};

constexpr int MaxInterrupts = 128;
// Reads an interrupt list file into state.list; false (message shown, the
// previous list kept) when it cannot be read or holds too many entries.
bool LoadInterrupts(InterruptState& state, const std::string& path);
// The lines of the interrupt dialog's list: "0x%x %s".
std::vector<std::string> interruptlines(const InterruptState& state);

// ---- after a load

// VLE boundary from "__vle__" (0 when absent or nothing loaded); a program
// with "__stext0" is a dual-core one: the split mask gets every bit but
// 0x02, 0x08 and 0x80.
void bindtgtsyms(bool loaded, const std::function<std::optional<uint32_t>(std::string_view)>& findsym,
                 Executor& x, uint32_t& splitmask);

}  // namespace vek

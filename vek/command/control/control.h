// Run control of the debugger: the step engine with its call frames, the
// events (breakpoints, watchpoints and the stop points of go and step), the
// command interpreter with its run loop, and command files.
//
// The one idea that keeps a run fast: everything the step engine must look
// at between instructions happens at a few addresses only (statements, the
// addresses of events). Those become the executor's code points, and the
// executor runs its decoded blocks freely between them; the per-address
// work (profiling, frames, events) is done when the run reaches a point.
// Cycles spent between two points are charged at the second one. The
// literal path (`Debugger::literal`, and whatever needs single instructions:
// traces, cycle callbacks, the time point) does the same work after every
// instruction; the two give the same results.
//
// All of it lives in one Debugger: a test starts from a fresh one.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/session/session.h"

namespace vek {

// The running flag and the stop request, shared with signal handlers,
// windows and the extension exports.
struct RunFlags {
    std::atomic<int> running{0};
    std::atomic<int> stop{0};
};

struct RunMode {
    bool stepping = true;       // step commands; 0 for free runs
    bool countfree = false;     // free runs do not consume the step count
    bool instrstep = false;     // steps are single instructions
    bool over = false;          // steps inside calls do not count
    int16_t depth = 0;          // call depth while over is set
    bool tracelines = false, traceinsns = false;
    uint32_t stepsleft = 0;
    int level = 0;              // 0 idle, 1 the outermost run, more: nested
    LineRecord* enteredpending = nullptr;  // a just-entered function's line
    uint32_t startcycles = 0;
    uint32_t stepnumber = 0, initialcount = 0;
};

struct FuncStats;
struct ExprValue;

struct CallFrame {
    FunctionRecord* func = nullptr;
    FuncStats* stats = nullptr;     // the function's statistics
    LineRecord* linerec = nullptr;  // last line record reached in this frame
    bool setup = false;             // the frame record has been passed
    uint8_t locals = 0;             // bit 0: frame base taken from the frame record
    uint32_t line = 0, column = 0, lastline = 0, endcolumn = 0;
    uint32_t base = 0, sp = 0;
    std::string entry;              // the Stack window's line as at the call (windows only)
};

// Call statistics of one function.
struct FuncStats {
    uint32_t calls = 0;
    int32_t total = 0;           // cycles spent in the function itself
    uint32_t minown = 0, maxown = 0, minincl = 0, maxincl = 0;
    struct Open {
        uint32_t own = 0, incl = 0;
    };
    std::vector<Open> open;      // one per active call, innermost last
};

struct EventRecord {
    bool enabled = true;
    char kind = 'a';             // 'a' address, 's' symbol, 'l' label, 't' lines, 'd' data
    char cls = 'C';
    bool watch = false;
    uint16_t number = 0;
    uint32_t address = 0;
    uint32_t count = 1, countdown = 1;
    int32_t hits = 0;
    std::string body;
    int user = 1;
    std::string text;            // symbol name ('s'), expression text ('l', 'd')
    FileRecord* file = nullptr;  // 't'
    FunctionRecord* func = nullptr;
    uint32_t first = 0, last = 0;
    std::vector<uint8_t> watched;  // 'd': the bytes last seen
    uint32_t length = 0;         // data breakpoints: bytes watched from address
    bool removed = false;        // removal waits until no walk holds it
};

// One monitor: an expression (or a memory location) that the data views
// show after every stop and data change.
struct MonitorRecord {
    int32_t number = 0;          // the smallest free number from 1
    int32_t active = 1;
    uint32_t address = 0;        // memory monitors
    char size = 0;               // 'b', 'w', 'l' for memory monitors, else 0
    char format = 0;             // display format letter, blank or 0: the default
    uint8_t kind = 0;            // term kind of the last value shown
    int32_t error = 0;           // the last evaluation's error
    std::string extra;           // the item text last shown by a window
    std::string text;
};

// The command line that makes the monitor again.
std::string monitcommand(const MonitorRecord& m);

// What the step engine needs to know of one address, found once and kept
// (like decoded instructions) until the debug information changes.
struct PointInfo {
    uint32_t address = 1;           // 1: empty slot
    LineRecord* own = nullptr;      // the statement starting here
    LineRecord* start = nullptr;    // records of each kind among them
    LineRecord* line = nullptr;
    LineRecord* exit = nullptr;
    LineRecord* frame = nullptr;    // the owner's frame record here
    LineRecord* mark = nullptr;     // tables mark of the function starting here
    LineRecord* hit = nullptr;      // profiling: charged for an instruction here
    LineRecord* hitalso = nullptr;  // profiling: a function start's hit
    LineRecord* mid = nullptr;      // profiling: charged for the addresses after
    bool hitcounts = false;         // an instruction here counts a hit
};

// Numbers of the message table used by run control.
namespace msgid {
constexpr int Read = 8, Syntax = 13, LogOpen = 36, NoAddress = 53, MonNotFound = 66, InFrame = 86, Unknown = 11, Illegal = 17, Breakpoint = 18, Redirect = 22, Argument = 32, Create = 37,
              NoName = 44, NoSource = 45, NoFrame = 46, BadBreak = 59, FirstLine = 62, Modified = 70,
              NotFound = 73, NoneSet = 74, NoFile = 75, NoFunc = 76, NoLine = 77, Broken = 83, NoCode = 85;
}

// Where a command ended; the empty text when it used the whole line.
using Cursor = const char*;

struct Debugger;
using Handler = Cursor (*)(Debugger& d, Cursor text, int user);

struct CommandEntry {
    const char* word;
    uint8_t length;
    uint16_t flags;
    Handler handler;             // nullptr: not built yet
};
namespace cmdflag {
constexpr uint16_t NoRefresh = 0x04, NeedLines = 0x10, NeedFrame = 0x20, Internal = 0x100;
}
const CommandEntry* commandtable();
// Term kinds of variables that live in registers or frames (message 53 on
// them is no error for monitors).
inline bool isvarterm(uint8_t k) { return k == 4 || k == 5 || k == 7 || k == 23; }
// An expression evaluated at text (blanks skipped): its value (also on
// error), the error, its text as typed less trailing blanks, where it
// started and where it ended.
struct ExprAt {
    ExprPtr value;
    int error = 0;
    std::string text;
    Cursor start = nullptr, end = nullptr;
    // Monitors take a register variable (message 53 on a variable term).
    bool monitorable() const { return !error || (error == 53 && value && isvarterm(value->kind)); }
};
ExprAt evalat(Cursor text, int mode);
// Options: groups of '/' and letters. Letters in `known` are accepted,
// those in `valued` take ":value". readoptions returns the text after the
// options, or nullptr after reporting an unknown or malformed option
// ("Unknown Option ", "Wrong option ", with a blank in front when asked).
// With filename an absolute path is not read as options.
struct Options {
    std::string letters;            // upper-case, in order
    std::string value[26];
    bool has(char c) const { return letters.find(c) != std::string::npos; }
};
Cursor readoptions(Cursor text, const char* known, const char* valued, Options& o, bool leadingblank = false,
                   bool filename = false);
// An absolute path ("/tmp/prog.o") after a command that takes a file name
// is the name, not options: a word with a second '/' or a '.' in it.
bool isabsolutepath(Cursor p);

// Gives a row of the table its handler (the command libraries built on run
// control install theirs at start-up); false when no row has that word.
bool sethandler(const char* word, Handler handler);
// The /C:n count of the event commands: a 16-bit number; false (reported
// as "Wrong option ") when it is not one.
bool readcount(const Options& o, uint32_t& count);
// Installs the program, session, monitor and frame commands (every
// Debugger does at its start).
void addprogramcommands();

struct Debugger {
    Session& s;
    RunFlags flags;
    RunMode mode;

    // ---- step engine (core 0)
    std::vector<CallFrame> frames;   // innermost last
    int current = -1;                // frame selected for display
    bool returnpending = false;
    LineRecord* exitreached = nullptr;
    bool notatline = false, entering = false, insidestep = false;
    std::map<const FunctionRecord*, FuncStats> stats;
    bool literal = false;            // debug switch: one instruction at a time
    bool simreset = false;           // the reset request
    uint32_t polltick = 0;           // literal steps since the windows were looked at

    // ---- events
    std::vector<std::unique_ptr<EventRecord>> events;  // ascending number
    uint16_t lastevent = 0;
    char locerror = 0;
    int walking = 0;                 // chkevents walks in progress
    // Aggregate windows open on screen; every event test after a step
    // closes or freezes them through dropaggregates.
    int aggregatewins = 0;
    std::function<void()> dropaggregates;
    // The windows' refresh after every outermost command that does not ask
    // otherwise (the stop location, registers), when there are windows.
    std::function<void()> viewrefresh;
    // After a call was entered (the new frame's index), when there are
    // windows: the Stack window keeps the argument values of the call.
    std::function<void(int frame)> callentered;
    // The window commands (disa, wregs, wstack, cmdwin, maximize, minimize,
    // vars) with their option letters; without windows they do nothing.
    std::function<void(const std::string& word, const std::string& letters)> windowcmd;
    bool eventschanged = true;       // the address index must be rebuilt

    // ---- interpreter
    std::FILE* journal = nullptr;
    bool replaying = false, norefresh = false, internals = false, cleanup = true, quitting = false;
    uint16_t refreshing = 0;
    bool quiet = false;
    bool mute = false;               // re-creations of the reload print nothing
    int cmdfiles = 0;                // nested command files running
    LocationState loc;
    std::string recordpath;
    // Source-line reading state.
    struct SrcReader {
        std::string name;
        std::FILE* file = nullptr;
        uint32_t line = 0;
        bool failed = false;
        std::string text;
    } src;
    std::string srcpath;             // '|'-separated source search path
    // Offered every command line before the command table: non-zero when
    // an extension took it.
    int (*extcmd)(Cursor line) = nullptr;

    explicit Debugger(Session& session);
    ~Debugger();
    Debugger(const Debugger&) = delete;
    Debugger& operator=(const Debugger&) = delete;

    DebugInfo& di() { return s.prog.debug; }
    uint32_t now() const;            // core 0's cycle counter
    uint32_t pc() { return s.target.regs.getpc(); }

    // ---- engine.cpp
    LineRecord* stepsrc();
    LineRecord* stepinsn();
    int setposition(LineRecord* rec);
    int pushframe(LineRecord* key, LineRecord* rec);
    int popframe();
    int popwhenpending();
    void setframebase(uint32_t base);
    void setframeline(LineRecord* rec);
    void clearframes();
    void resetsteps();
    CallFrame* innermost() { return frames.empty() ? nullptr : &frames.back(); }
    CallFrame* currentframe() { return current >= 0 && current < int(frames.size()) ? &frames[current] : nullptr; }
    // The load command's load: reads the program, binds the target,
    // clears the frames and positions at pc; runs to the first source line
    // unless norun. False when the file did not load.
    bool loadprogram(const std::string& path, const char* entry, bool norun, bool symbolsonly);
    // Positions at the statement at pc (load, zero).
    void positionatpc();
    // The body of every go and step command (RunMode already set).
    Cursor runloop(Cursor text, int user);
    void setrunstate(int running);
    // Function stepping states: 1 active, 0 deactivated, 2 deactivated and
    // entered by a step.
    static int funcstate(const FunctionRecord* f);
    static void setfuncstate(FunctionRecord* f, int state);

    // ---- events.cpp
    Cursor newaddrevent(Cursor text, uint32_t address, uint32_t count, int user, bool watch, bool enabled);
    Cursor newsevent(Cursor text, const std::string& name, uint32_t address, uint32_t count, int user,
                     bool watch, bool enabled);
    Cursor newlineevents(Cursor text, const LocationSpec& loc, uint32_t count, int user, bool whole,
                         bool watch, bool enabled);
    // Tests the events after a step (frame and line) or, with neither,
    // after an instruction. Returns the triggered event that stops a run
    // (a breakpoint) first, else a triggered watchpoint, else none.
    EventRecord* chkevents(CallFrame* frame, LineRecord* line, bool afterstep = true);
    int rmevent(int number, int user);
    void setevents(char letter, int number);
    void listevents(bool watch);
    std::string eventline(const EventRecord& e) const;
    void writeevents(std::FILE* file);
    // The command line that makes the event again (as `write` writes it).
    std::string eventcommand(const EventRecord& e) const;
    // Its location and body (what follows the options).
    std::string eventlocation(const EventRecord& e) const;
    void dropinternalevents();
    bool hasdataevents() const;
    // Events tested only at a step's end ('t', 'd'): a free run without
    // them needs no step ends at plain lines.
    bool hasstepevents() const;
    // Addresses the run must stop at for the events ('a', 's', 'l').
    std::vector<uint32_t> eventaddresses() const;
    bool hasaddrevent(uint32_t address);
    std::vector<uint32_t> addrindex;  // sorted addresses of 'a', 's', 'l' events
    bool addrdirty = true;
    void eventchange() { addrdirty = eventschanged = true; }
    EventRecord* newevent(int user, bool watch, bool enabled, uint32_t count, char kind);
    EventRecord* findnumber(int number);
    void purgeevents();              // frees the events marked removed

    // Data-change events and data breakpoints of an evaluated expression
    // (value.text), and label events.
    Cursor newdataevent(Cursor text, const ExprValue& value, uint32_t count, int user, bool watch, bool enabled);
    Cursor newdatabkpt(Cursor text, const ExprValue& value, uint32_t count, char access, bool watch, bool enabled);
    Cursor newlevent(Cursor text, const ExprValue& value, uint32_t count, int user, bool watch, bool enabled);
    // Data breakpoints during a run: their ranges become memory points,
    // accesses to them are queued by the access check, and the run looks
    // at the queue after the instruction (databkpt.cpp).
    struct ArmedRange {
        uint32_t address = 0, length = 0;
        uint16_t number = 0;
        char access = 'A';
    };
    struct DataHit {
        uint16_t number = 0;
        int access = 0;
    };
    std::vector<ArmedRange> armed;
    std::vector<DataHit> datahits;
    std::function<uint32_t(uint32_t, int)> savedcheck;
    void armdata();
    void disarmdata();
    // Reports, counts and runs the bodies of the queued hits; true when a
    // data breakpoint (not a watch) stops the run.
    bool takedatahits();
    void runbody(EventRecord* e);
    // Prints the current frame's source lines (the frame command).
    void listframesrc();
    // The event for an expression location at text (evaluated from there,
    // mode 1): a symbol, label or data-change event. Reports an error as
    // the message, ": " and the text, and returns nullptr then; with
    // silent nothing is reported (the reload).
    Cursor exprevent(Cursor text, uint32_t count, int user, bool watch, bool enabled, bool silent = false);

    // ---- monitors.cpp
    std::vector<MonitorRecord> monitors;   // ascending number
    std::function<void()> monitorview;     // refreshes the Monitors window, when there is one
    // Saves (load false) or loads a session (kind 1) or layout (0) file.
    std::function<void(const std::string& name, int kind, bool load)> sessionio;
    void addmonit(const std::string& text, char letter);
    void addmemmonit(const std::string& name, uint32_t address, int id);
    void rmmonit(int number);              // -1: all
    bool rmmonittext(const std::string& text);
    void writemonits(std::FILE* file);
    // Refreshes the data views after a run or a data change.
    void refreshdata();
    // The reload that keeps the user's events and monitors (as texts).
    struct KeptEvent {
        char cls = 'C', access = 'A';
        bool enabled = true, watch = false;
        uint32_t count = 1;
        std::string text;
    };
    struct KeptMonitor {
        int32_t active = 1;
        char format = 0;
        std::string text;
    };
    std::vector<KeptEvent> keptevents;
    std::vector<KeptMonitor> keptmonitors;
    void saveevents();
    void savemonits();
    void restoreevents();
    void restoremonits();
    // Reloads the program at path keeping events and monitors; only while
    // stopped. False when nothing was done or the load failed.
    bool reload(const std::string& path);
    // Zero and reset: counters, position and (by the letters) events,
    // monitors and registers.
    void zero(bool events, bool monitors, bool reset);

    // ---- interp.cpp
    Cursor docmd(Cursor line, int user);
    Cursor dispatchcmd(Cursor text, int user);
    const CommandEntry* findcmd(Cursor text) const;
    void doblock(Cursor text, int user);

    // ---- cmdfile.cpp
    int runcmdfile(const char* path);
    void writecmds(const char* letters, const char* path);
    const char* readsrcline(const char* name, uint32_t n);

    // Per-step plumbing shared by the fast and the literal paths.
    bool fastok() const;
    void setpoints();
    int afterinsn(uint32_t pc, LineRecord*& pos);
    bool stepend(LineRecord* pos);
    bool passstart();
    bool onpoint(uint32_t pc);
    void settle();
    void beginsegment(uint32_t pc);
    void beginsegment(uint32_t pc, const PointInfo& p, uint32_t now);
    void chargesegment(uint32_t now);
    void chargeframes(uint32_t cycles);
    void stepinstruction();          // the literal path's one instruction
    void settlestats(const FunctionRecord* f);
    std::vector<uint32_t> statementpoints;
    std::vector<PointInfo> infocache;
    const PointInfo& info(uint32_t address);
    PointInfo makeinfo(LineRecord* rec, uint32_t address);
    int setposition(LineRecord* rec, const PointInfo& pi);
    bool pointsdirty = true;
    uint32_t segaddr = 0, segcycles = 0, seginsns = 0, framemark = 0;
    bool segopen = false;
    LineRecord* seghit = nullptr;    // the segment's profiling slots (PointInfo)
    LineRecord* segalso = nullptr;
    LineRecord* segmid = nullptr;
    bool segcounts = false;
    const uint32_t* timer = nullptr;  // ".time" during a fast run
    bool plainrun = false;           // a free run with no event: lines only move the frame
    bool runstop = false;            // the run loop must end after this pass
    bool illegal = false;            // the last instruction was illegal
};

// One whole line of any length, its line feed and a carriage return before
// it removed; false at the end of the file.
bool readwholeline(std::FILE* f, std::string& line);

}  // namespace vek

// One simulated target as the debugger holds it: the target model with its
// executor, the program symbol table's bindings, the decoder's view of the
// target and the loader's ports, wired together once.
//
// The one idea: every piece of state already lives in its own library; a
// Session only points them at each other. The executor counts straight into
// the symbols ".time" and ".nbins" and follows the VLE boundary through the
// symbol table's onbind callback, so defining or deleting those symbols (by a
// command, a load or initsim) is all it takes to move a binding. The symbol
// table, the output sink and the point state are process-wide, so only one
// Session lives at a time; creating one starts them fresh.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vek/core/decode/decode.h"
#include "vek/core/exec/hooks.h"
#include "vek/core/exec/simtarget.h"
#include "vek/core/loader/bindings.h"
#include "vek/core/loader/loader.h"

namespace vek {

// Why a run ended.
enum class StopReason { Count, Illegal, Stopped };
const char* stopreasontext(StopReason reason);

struct RunResult {
    StopReason reason = StopReason::Count;
    uint64_t executed = 0;
};

struct Session {
    SimTarget target;
    Program prog;
    DecodeEnv decode;                 // disassembly of the simulated memory
    TargetBinding targetport{target.mem, target.regs};
    ProgramSymbols symbolport;
    SinkReport loadreport;
    LoadEnv loadenv{prog, targetport, symbolport, loadreport};
    volatile int stop = 0;            // set to end a run or a load early
    bool entrychosen = false;         // the last load chose an entry point

    // Starts the symbol table and the point state fresh, binds everything
    // and defines the start-up symbols (initsim).
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Reads program files in order with loadfile (memory keeps what earlier
    // files wrote; the symbols are the last file's), binds the target
    // symbols, restarts the counters and chooses the entry point as the
    // load command does (entryoption as for selectentrypoint, nullptr for
    // the default; entrychosen tells whether one was found). Returns false
    // when a file failed to load.
    bool load(const std::vector<std::string>& paths, const char* entryoption = nullptr);

    // After a program file was read: binds the target symbols (VLE
    // boundary, dual-core split mask) and the counters.
    void bindloaded();

    // Runs up to count instructions from pc; stops at an undecodable
    // instruction or when stop is set. With trace, each instruction's
    // disassembly line goes to the output sink before it executes (the
    // lines are written in large pieces, all of them before any report of
    // the target and before the run returns).
    RunResult run(uint64_t count, bool trace = false);

    // "address  text" of the instruction at address (the decoder's text).
    std::string disassemble(uint32_t address);

    // Counters as the target hooks read them (nullptr: symbol not defined).
    CounterBindings counters() const;
    uint32_t cycles() const;        // ".time", 0 when not defined
    uint32_t instructions() const;  // ".nbins", 0 when not defined

    // The register file's dump of core 0.
    std::string regdump() const;

private:
    void bind();
    void bindsymbols();
    void flushtrace();
    void appendline(std::string& out, uint32_t address);
    std::string trace_;  // trace lines not written yet
    struct TraceText {
        uint32_t address = 1, bytes = 0;
        bool vle = false;
        uint64_t generation = 0;
        std::string line;
    };
    static constexpr size_t TraceTexts = 1024;
    std::vector<TraceText> tracetexts_;  // by address
};

// A new session on fresh process-wide state (tests start from here).
std::unique_ptr<Session> freshsession();

}  // namespace vek

// The bindings of a Session (see session.h): counters and VLE boundary
// through the symbol table's onbind, target messages to the message table
// and error report, memory access checks to the point check, the decoder to
// the simulated memory, the loader to the target and the symbol table.
#include "vek/core/session/session.h"

#include <cinttypes>
#include <cstdio>

#include "vek/command/point/point.h"
#include "vek/core/decode/target/bind.h"
#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"

namespace vek {

// ---- the session

const char* stopreasontext(StopReason reason) {
    switch (reason) {
    case StopReason::Count: return "count reached";
    case StopReason::Illegal: return "illegal instruction";
    case StopReason::Stopped: return "stopped";
    }
    return "";
}

Session::Session() {
    resetsymbols();
    resetpoints();
    bind();
    // initsim: the counters and the memory-error symbol start at 0; the
    // frames, the target flags and the pending-interrupt set come with
    // the target model.
    for (const char* name : {".time", ".xtime", ".nbins", ".merr"}) defsym(name, 0);
}

Session::~Session() {
    // The table outlives us: nothing may call back into a dead executor.
    symtab().onbind = nullptr;
}

void Session::bindsymbols() {
    Executor& x = target.exec;
    symtab().onbind = [&x](const SymbolTable& t) {
        x.time = t.time;
        x.nbins = t.nbins;
        x.setvleboundary(t.vle);
    };
    symtab().onbind(symtab());
}

void Session::bind() {
    bindsymbols();
    target.report.errmsg = [](int number, std::string_view tail) { puterror({msgtext(number), tail}); };
    target.report.puttext = [](std::string_view text) { puttext({text}); };
    target.mem.chkpoints = [](uint32_t address, int kind) { return chkpoints(address, kind); };
    decode = targetenv(target.mem, target.regs);
    loadreport.stopflag = &stop;
}

bool Session::load(const std::vector<std::string>& paths, const char* entryoption) {
    entrychosen = false;
    for (const std::string& path : paths)
        if (!loadfile(loadenv, path)) return false;
    // bindtgtsyms sets the executor's boundary from "__vle__"; the symbol
    // table's copy (read by the decoder) must say the same. The split mask
    // likewise lives in the program (cleared by loadfile) and in the target.
    auto find = [this](std::string_view name) { return symbolport.findsym(std::string(name)); };
    target.splitmask = prog.splitmask;
    bindtgtsyms(true, find, target.exec, target.splitmask);
    symtab().vle = target.exec.vleboundary();
    prog.splitmask = target.splitmask;
    for (const char* counter : {".time", ".xtime", ".nbins"})
        if (rensym(counter)) defsym(counter, 0);
    entrychosen = selectentrypoint(loadenv, entryoption) != 0;
    if (entrychosen) target.regs.setpc(prog.entry);
    return true;
}

RunResult Session::run(uint64_t count, bool trace) {
    RunResult result;
    Executor& x = target.exec;
    // Someone may have started the symbol table afresh (resetsymbols):
    // never count into the old table's symbols.
    bindsymbols();
    if (!trace) {
        result.executed = x.run(count, &stop);
    } else {
        // One instruction at a time so each line is printed before its
        // instruction changes anything.
        while (result.executed < count && !stop) {
            std::string line = disassemble(target.regs.getpc()) + "\n";
            puttext({line});
            if (x.run(1, &stop) == 0) break;
            ++result.executed;
        }
    }
    if (stop)
        result.reason = StopReason::Stopped;
    else if (result.executed < count)
        result.reason = StopReason::Illegal;
    return result;
}

std::string Session::disassemble(uint32_t address) {
    char text[512] = {};
    Decoded d;
    decodeinsn(decode, address, DecodeText, text, d);
    char head[16];
    std::snprintf(head, sizeof head, "%08" PRIx32 "  ", address);
    return head + std::string(text);
}

CounterBindings Session::counters() const {
    const SymbolTable& t = symtab();
    return {t.time, t.xtime, t.nbins};
}

uint32_t Session::cycles() const { return corecycles(counters(), target.splitmask, 0); }
uint32_t Session::instructions() const { return insncount(counters()); }

std::string Session::regdump() const {
    char text[512];
    size_t n = target.regs.regdump(text);
    return std::string(text, n);
}

std::unique_ptr<Session> freshsession() {
    resetoutput();
    return std::make_unique<Session>();
}

}  // namespace vek

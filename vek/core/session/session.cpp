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
    // A report of the target comes after the trace lines before it.
    target.report.errmsg = [this](int number, std::string_view tail) {
        flushtrace();
        puterror({msgtext(number), tail});
    };
    target.report.puttext = [this](std::string_view text) {
        flushtrace();
        puttext({text});
    };
    target.mem.chkpoints = [](uint32_t address, int kind) { return chkpoints(address, kind); };
    decode = targetenv(target.mem, target.regs);
    loadreport.stopflag = &stop;
}

bool Session::load(const std::vector<std::string>& paths, const char* entryoption) {
    entrychosen = false;
    for (const std::string& path : paths)
        if (!loadfile(loadenv, path)) return false;
    bindloaded();
    for (const char* counter : {".time", ".xtime", ".nbins"})
        if (rensym(counter)) defsym(counter, 0);
    entrychosen = selectentrypoint(loadenv, entryoption) != 0;
    if (entrychosen) target.regs.setpc(prog.entry);
    return true;
}

void Session::bindloaded() {
    // bindtgtsyms sets the executor's boundary from "__vle__"; the symbol
    // table's copy (read by the decoder) must say the same. The split mask
    // likewise lives in the program (cleared by loadfile) and in the target.
    auto find = [this](std::string_view name) { return symbolport.findsym(std::string(name)); };
    target.splitmask = prog.splitmask;
    bindtgtsyms(true, find, target.exec, target.splitmask);
    symtab().vle = target.exec.vleboundary();
    prog.splitmask = target.splitmask;
    bindsymbols();
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
        // One instruction at a time, each line taken before its instruction
        // changes anything; the lines go out in large writes.
        constexpr size_t TraceBuffer = 64 << 10;
        while (result.executed < count && !stop) {
            appendline(trace_, target.regs.getpc());
            trace_ += '\n';
            if (trace_.size() >= TraceBuffer) flushtrace();
            if (x.run(1, &stop) == 0) break;
            ++result.executed;
        }
        flushtrace();
    }
    if (stop)
        result.reason = StopReason::Stopped;
    else if (result.executed < count)
        result.reason = StopReason::Illegal;
    return result;
}

void Session::flushtrace() {
    if (trace_.empty()) return;
    puttext({trace_});
    trace_.clear();
}

std::string Session::disassemble(uint32_t address) {
    std::string line;
    appendline(line, address);
    return line;
}

// A trace meets the same instructions again and again: the text of one is
// kept with the bytes, VLE boundary and symbol-table generation it was
// made from (the only things it depends on), and made again when any of
// them differs. The bytes are read as the decoder reads them, so the
// accesses are the same either way.
void Session::appendline(std::string& out, uint32_t address) {
    bool vle = false;
    const uint32_t bytes = fetchinsn(decode, address, vle);
    if (tracetexts_.empty()) tracetexts_.resize(TraceTexts);
    TraceText& cached = tracetexts_[(address >> 1) % TraceTexts];
    const uint64_t generation = symtab().generation;
    if (cached.address != address || cached.bytes != bytes || cached.vle != vle || cached.generation != generation) {
        char text[512];
        text[0] = '\0';
        Decoded d;
        decodevalue(decode, address, vle, bytes, DecodeText, text, d);
        cached = {address, bytes, vle, generation, {}};
        for (int shift = 28; shift >= 0; shift -= 4) cached.line += "0123456789abcdef"[(address >> shift) & 15];
        cached.line += "  ";
        cached.line += text;
    }
    out += cached.line;
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

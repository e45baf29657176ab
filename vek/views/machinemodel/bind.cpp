// The machine-level windows bound to a debugger.
#include "vek/views/machinemodel/bind.h"

#include "vek/command/control/control.h"
#include "vek/command/data/data.h"
#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/exec/hooks.h"
#include "vek/core/session/session.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"
#include "vek/core/support/text.h"

namespace vek::views {

MemEnv memenv(Debugger& d) {
    MemEnv e;
    Memory& mem = d.s.target.mem;
    e.peek = [&mem](uint32_t a) { return mem.peekbyte(a); };
    e.put = [&mem](uint32_t a, uint32_t v, int size) {
        if (size == 1) mem.putbyte(a, uint8_t(v));
        else if (size == 2) mem.putword(a, uint16_t(v));
        else mem.putlong(a, v);
    };
    e.decode = [&d, &mem](uint32_t a, std::string& text) {
        DecodeEnv env = d.s.decode;
        env.gethalf = [&mem](uint32_t x) { return mem.peekword(x); };
        env.getword = [&mem](uint32_t x) { return mem.peeklong(x); };
        char buf[512] = {};
        Decoded out;
        const unsigned n = decodeinsn(env, a, DecodeText, buf, out);
        text = buf;
        return n;
    };
    e.eventat = [&d](uint32_t a) {
        for (const auto& ev : d.events)
            if (ev && !ev->removed && (ev->kind == 'a' || ev->kind == 's') && ev->address == a) return ev->enabled ? 1 : 0;
        return -1;
    };
    e.running = [&d] { return d.flags.running.load() != 0; };
    e.pc = [&d] { return d.pc(); };
    e.linerange = [&d](uint32_t pc, uint32_t& start, uint32_t& next) {
        if (!islinestart(d.di(), pc)) return false;
        const LineRecord* l = findlineat(d.di(), pc);
        const LineRecord* n = findnextline(d.di(), pc, 0);
        start = l ? l->address : pc;
        next = n ? n->address : pc;
        return true;
    };
    e.updated = [] { fireupdatecbs(2); };
    return e;
}

RegSource regsource(Debugger& d, int core) {
    RegSource r;
    RegisterFile& regs = d.s.target.regs;
    const unsigned bank = core ? 0x80 : 0;
    r.getreg = [&regs, bank](unsigned n) { return regs.getreg(n + bank); };
    r.storereg = [&regs, bank](unsigned n, uint32_t v) { regs.storereg(n + bank, v); };
    const CounterBindings c = d.s.counters();
    r.instructions = insncount(c);
    r.cycles = d.now();
    r.lastcycles = d.now() - d.mode.startcycles;
    r.setinstructions = [](uint32_t v) {
        if (ProgramSymbol* s = rensym(".nbins")) s->value = v;
    };
    r.setcycles = [](uint32_t v) {
        if (ProgramSymbol* s = rensym(".time")) s->value = v;
    };
    return r;
}

std::vector<StackLine> stacklines(Debugger& d) {
    std::vector<StackLine> out;
    const int from = d.current >= 0 ? d.current : int(d.frames.size()) - 1;
    for (int i = from; i >= 0; --i) {
        if (!d.frames[size_t(i)].func) continue;
        const std::string& entry = d.frames[size_t(i)].entry;
        out.push_back({entry.empty() ? frametext(d, i) : entry, i});
    }
    return out;
}

bool readnumber(const std::string& text, uint32_t& value) {
    if (text.empty()) return false;
    uint32_t v = 0;
    if (parseulong(std::string_view(text), &v, 1) != int32_t(text.size())) return false;
    value = v;
    return true;
}

bool readaddress(Debugger& d, const std::string& text, uint32_t& address) {
    (void)d;
    if (text.empty()) return false;
    if (readnumber(text, address)) return true;
    const char* p = text.c_str();
    int error = 0;
    ExprPtr v(xexpr(p, error, 1));
    if (v && !error && *p == 0) {
        address = v->u32();
        return true;
    }
    if (ProgramSymbol* s = rensym(text)) {
        address = s->value;
        return true;
    }
    puterror({"Can't evaluate ", text.c_str()});
    return false;
}

bool filldialog(Debugger& d, const FillFields& f) {
    uint32_t from = 0, to = 0, value = 0;
    if (!readnumber(f.from, from)) return puterror({"Wrong Start Address"}), false;
    if (!readnumber(f.to, to)) return puterror({"Wrong End Address"}), false;
    if (!f.random && !readnumber(f.value, value)) return puterror({"Wrong value"}), false;
    fillmem(d.s.target.mem, from, to, f.size, f.verify, value, f.random);
    fireupdatecbs(2);
    return true;
}

}  // namespace vek::views

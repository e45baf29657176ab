// Data breakpoints during a run, and the frame listing.
//
// A run makes the ranges of the enabled data breakpoints memory points:
// every access to a page holding one goes through the access check, which
// queues the accesses that fall in a range of the right kind. After the
// instruction the executor asks whether anything is queued, and the run
// loop takes the queue (takedatahits): the hit is reported, counted and
// its body run, and a breakpoint (not a watch) stops the run.
#include "vek/command/control/control.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"

namespace vek {

void Debugger::armdata() {
    disarmdata();
    for (auto& e : events) {
        if (e->removed || !e->enabled || e->cls != 'D' || e->length == 0) continue;
        armed.push_back({e->address, e->length, e->number, e->kind});
    }
    if (armed.empty()) return;
    Memory& mem = s.target.mem;
    for (const ArmedRange& r : armed) mem.addwatch(r.address, r.length);
    savedcheck = mem.chkpoints;
    mem.chkpoints = [this](uint32_t address, int access) -> uint32_t {
        // Accesses made by the bodies of events are the debugger's own.
        if (walking == 0)
            for (const ArmedRange& r : armed) {
                if (address - r.address >= r.length) continue;
                if ((r.access == 'R' && access != AccessRead) || (r.access == 'W' && access != AccessWrite)) continue;
                bool queued = false;
                for (const DataHit& h : datahits) queued = queued || h.number == r.number;
                if (!queued) datahits.push_back({r.number, access});
            }
        return s.target.mem.checkflag && savedcheck ? savedcheck(address, access) : 0;
    };
    s.target.exec.atwatch = [this] { return !datahits.empty(); };
}

void Debugger::disarmdata() {
    if (armed.empty()) return;
    Memory& mem = s.target.mem;
    for (const ArmedRange& r : armed) mem.removewatch(r.address, r.length);
    armed.clear();
    mem.chkpoints = savedcheck;
    savedcheck = nullptr;
    s.target.exec.atwatch = nullptr;
    datahits.clear();
}

bool Debugger::takedatahits() {
    std::vector<DataHit> hits;
    hits.swap(datahits);
    bool stops = false;
    ++walking;
    for (const DataHit& h : hits) {
        EventRecord* e = findnumber(h.number);
        if (!e || !e->enabled || e->cls != 'D') continue;
        if (e->countdown > 1) {
            --e->countdown;
            continue;
        }
        e->countdown = e->count;
        if (mode.level <= 1)
            puttext({e->watch ? "***** watchpoint" : msgtext(msgid::Breakpoint), ": ", e->text,
                     h.access == AccessWrite ? " (write) " : " (read) ", "\n"});
        runbody(e);
        if (e->watch) ++e->hits;
        fireeventcbs(e->number);
        if (!e->watch) stops = true;
    }
    --walking;
    datahits.clear();  // what the bodies did is not a hit
    purgeevents();
    return stops;
}

void Debugger::listframesrc() {
    CallFrame* f = currentframe();
    if (!f || !f->func) return;
    const FunctionRecord& fn = *f->func;
    const std::string file = fn.file ? fn.file->name : std::string();
    const std::string who = fn.name == "." || fn.name.empty() ? file + ":" : fn.name + "():";
    const uint32_t last = f->lastline > f->line ? f->lastline : f->line;
    for (uint32_t n = f->line; n <= last && n >= f->line; ++n) {
        const char* text = file.empty() ? nullptr : readsrcline(file.c_str(), n);
        puttext({"| ", who, std::to_string(n), text ? "  " : "", text ? text : "", "\n"});
    }
}

}  // namespace vek

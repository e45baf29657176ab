// The step engine: one executed instruction, source and instruction steps,
// positions and call frames, and the run loop of the go and step commands.
#include <algorithm>
#include <cstring>

#include "platform/interrupt.h"
#include "platform/window.h"
#include "vek/command/control/control.h"
#include "vek/command/expr/expr.h"
#include "vek/command/point/point.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/exec/insntable.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"

namespace vek {

namespace {

// Instructions the executor runs between two looks at the stop request.
constexpr uint64_t Chunk = 1u << 20;

// The record profilestep charges for an address after `address` that holds
// no record and lies before the next record.
LineRecord* midslot(const DebugInfo& di, uint32_t address) {
    auto it = std::upper_bound(di.lines.begin(), di.lines.end(), address,
                               [](uint32_t x, const LineRecord* r) { return x < r->address; });
    size_t k = size_t(it - di.lines.begin());
    if (k == 0) return nullptr;
    LineRecord* r = di.lines[k - 1];
    if (r->kind & 0x43) return nullptr;
    if (k == di.lines.size() || (di.lines[k]->kind & 0x1C)) return r;
    return nullptr;
}

}  // namespace

Debugger::Debugger(Session& session) : s(session) {
    // The expression evaluator reaches the target, the frames and the
    // command table through its environment.
    resetexpr();
    bindexpr(s);
    ExprEnv& env = exprenv();
    env.frames.depth = [this](int core) { return core == 0 ? int(frames.size()) : 0; };
    env.frames.at = [this](int core, int index) {
        FrameView v;
        if (core != 0 || index < 0 || index >= int(frames.size())) return v;
        const CallFrame& f = frames[frames.size() - 1 - size_t(index)];
        v.func = f.func;
        v.line = f.linerec;
        v.curline = f.line;
        v.setup = f.setup;
        v.base = f.base;
        return v;
    };
    env.frames.current = [this](int core) { return core == 0 && current >= 0 ? int(frames.size()) - 1 - current : -1; };
    env.frames.select = [this](int core, int index) {
        if (core == 0 && index >= 0 && index < int(frames.size())) current = int(frames.size()) - 1 - index;
    };
    env.hooks.dispatch = [this](const char* text, int user) { return dispatchcmd(text, user); };
    env.hooks.stoprequested = [this] { return flags.stop != 0 || quitting; };
    env.hooks.refreshdata = [this] { refreshdata(); };
    env.hooks.listframesrc = [this] { listframesrc(); };
    addprogramcommands();
}

// The facts of one address, from rec (the statement there, or another
// record at it) on.
PointInfo Debugger::makeinfo(LineRecord* rec, uint32_t address) {
    DebugInfo& d = di();
    PointInfo p;
    p.address = address;
    p.own = rec;
    if (rec) {
        p.start = findkindat(d, rec, kind::Start);
        p.line = findkindat(d, rec, kind::Line);
        p.exit = findkindat(d, rec, kind::Exit);
        p.frame = findframerec(d, rec);
        if (p.start && !p.start->func.empty())
            p.mark = findtablesmark(d, p.start->file.c_str(), p.start->func);
    }
    // profilestep's choice for an instruction at the address.
    auto lo = std::lower_bound(d.lines.begin(), d.lines.end(), address,
                               [](const LineRecord* r, uint32_t x) { return r->address < x; });
    size_t j = size_t(lo - d.lines.begin());
    for (size_t i = j; i < d.lines.size() && d.lines[i]->address == address; ++i) {
        LineRecord* r = d.lines[i];
        if ((r->kind & 0x43) || !(r->kind & 0x28)) continue;
        if (r->kind == kind::Start && i + 2 < d.lines.size() && d.lines[i + 2]->address == address) {
            p.hit = d.lines[i + 2];
            p.hitalso = r;
        } else {
            p.hit = r;
        }
        break;
    }
    p.mid = midslot(d, address);
    p.hitcounts = p.hit != nullptr;
    if (!p.hit && (j == d.lines.size() || d.lines[j]->address != address)) p.hit = p.mid;
    return p;
}

const PointInfo& Debugger::info(uint32_t address) {
    constexpr size_t Slots = 4096;
    if (infocache.empty()) infocache.resize(Slots);
    PointInfo& slot = infocache[(address >> 1) & (Slots - 1)];
    if (slot.address != address) slot = makeinfo(findownstmtat(di(), address), address);
    return slot;
}

Debugger::~Debugger() {
    exprenv().frames = {};
    exprenv().hooks = {};
    s.target.exec.atpoint = nullptr;
    s.target.exec.clearpoints();
    if (journal) std::fclose(journal);
    if (src.file) std::fclose(src.file);
}

uint32_t Debugger::now() const { return countervalue(symtab().time); }

int Debugger::funcstate(const FunctionRecord* f) { return f->active ? 1 : f->activated ? 2 : 0; }

void Debugger::setfuncstate(FunctionRecord* f, int state) {
    f->active = state == 1;
    f->activated = state == 2;
}

void Debugger::setrunstate(int running) {
    flags.running = running;
    firestatuscbs(running);
    platform::windowhost().setcursor(running ? platform::Cursor::Wait : platform::Cursor::Arrow);
    platform::windowhost().setrunstate(running != 0);
}

// ---- frames

void Debugger::chargeframes(uint32_t cycles) {
    if (frames.empty() || cycles == 0) return;
    FuncStats& in = *frames.back().stats;
    in.total = int32_t(uint32_t(in.total) + cycles);
    if (!in.open.empty()) {
        in.open.back().own += cycles;
        in.open.back().incl += cycles;
    }
    for (size_t k = frames.size() - 1; k-- > 0;) {
        FuncStats& out = *frames[k].stats;
        if (!out.open.empty()) out.open.back().incl += cycles;
    }
}

void Debugger::settle() {
    const uint32_t t = now();
    chargeframes(t - framemark);
    framemark = t;
}

void Debugger::settlestats(const FunctionRecord* f) {
    FuncStats* found = !frames.empty() && frames.back().func == f ? frames.back().stats : nullptr;
    if (!found) {
        auto it = stats.find(f);
        if (it == stats.end()) return;
        found = &it->second;
    }
    if (found->open.empty()) return;
    FuncStats& st = *found;
    settle();
    const FuncStats::Open node = st.open.back();
    if (st.minown == 0 || st.minown > node.own) st.minown = node.own;
    if (st.minincl == 0 || st.minincl > node.incl) st.minincl = node.incl;
    st.maxown = std::max(st.maxown, node.own);
    st.maxincl = std::max(st.maxincl, node.incl);
    st.open.pop_back();
}

void Debugger::setframebase(uint32_t base) {
    CallFrame* f = innermost();
    if (!f) {
        puterror({"Program EXECUTION PROBABLY BROKEN !LOCALS \n"});
        return;
    }
    if (!(f->locals & 1)) {
        f->locals |= 1;
        f->setup = true;
        f->base = base;
    }
}

void Debugger::setframeline(LineRecord* rec) {
    CallFrame* f = innermost();
    if (!f || !rec) return;
    const uint32_t l = rec->line, k = rec->column;
    const uint32_t m = std::max<uint32_t>(l, rec->endline ? rec->endline - 1u : 0u);
    f->linerec = rec;
    if (rec->column || l != f->line) {
        if (!(entering && f->line < l)) {
            f->line = l;
            f->column = k;
            f->endcolumn = m == l ? rec->endcolumn : 1024;
        }
        f->lastline = m;
    } else if (f->lastline == 0) {
        f->lastline = m;
    }
}

int Debugger::pushframe(LineRecord* key, LineRecord* rec) {
    FunctionRecord* f = rec ? rec->owner : nullptr;
    if (!f && key) f = findfunc(di(), key->func, key->file.c_str());
    if (!f) return 0;
    RegisterFile& regs = s.target.regs;
    FrameHooks hooks;
    const bool atstart = !rec || rec->kind == kind::Start || findkindat(di(), rec, kind::Start);
    uint32_t base;
    const uint32_t sp = hooks.stackpointer(regs);
    if (atstart) {
        base = hooks.framebase(regs, f);
        if (CallFrame* in = innermost(); in && in->func == f && in->sp == sp) return 0;
    } else {
        base = hooks.framebaseatpc(regs, rec);
    }
    if (mode.over && f->name != ".") ++mode.depth;
    settle();
    CallFrame fr;
    fr.func = f;
    fr.line = f->firstline;
    fr.setup = rec && !atstart;
    fr.base = base;
    fr.sp = sp;
    fr.stats = &stats[f];
    frames.push_back(fr);
    current = int(frames.size()) - 1;
    if (rec) {
        LineRecord* at = rec->kind == kind::Start ? rec : findkindat(di(), rec, kind::Start);
        if (!at) at = findkindat(di(), rec, kind::Line);
        setframeline(at ? at : rec);
    }
    if (callentered && !f->name.empty() && f->name[0] != '.') callentered(current);
    return 1;
}

int Debugger::popframe() {
    if (frames.empty()) {
        puterror({" EXITING non called function -> ", "Code Probably BROKEN", "\n", "TARGET = ", "0", "\n"});
        puterror({msgtext(msgid::Broken), "\n"});
        mode.over = false;
        mode.instrstep = true;
        mode.stepsleft = 1;
        mode.stepping = true;
        flags.stop = 1;
        return 0;
    }
    FunctionRecord* f = frames.back().func;
    if (mode.over && f->name != "." && mode.depth > 0) --mode.depth;
    settle();
    frames.pop_back();
    current = int(frames.size()) - 1;
    return 1;
}

int Debugger::popwhenpending() {
    returnpending = false;
    exitreached = nullptr;
    return popframe();
}

void Debugger::clearframes() {
    for (CallFrame& f : frames)
        if (f.func->name == ".") setfuncstate(f.func, 0);
    frames.clear();
    current = -1;
    exitreached = nullptr;
    returnpending = false;
    entering = false;
    mode.instrstep = false;
    mode.enteredpending = nullptr;
    simreset = false;
    stats.clear();
}

void Debugger::resetsteps() {
    mode.stepsleft = 0;
    mode.level = 0;
    mode.stepping = true;
}

int Debugger::setposition(LineRecord* rec) {
    if (!rec) return 0;
    const PointInfo& cached = info(rec->address);
    if (cached.own == rec && rec->address == pc()) return setposition(rec, cached);
    return setposition(rec, makeinfo(rec, rec->address));
}

int Debugger::setposition(LineRecord* rec, const PointInfo& pi) {
    entering = false;
    if (!pi.exit && exitreached) popwhenpending();
    if (rec->owner && funcstate(rec->owner) == 0) {
        pushframe(nullptr, rec);
        return 1;
    }
    int e = 0;
    LineRecord* start = pi.start;
    if (start && !start->func.empty() && start->owner) {
        FuncStats& st = stats[start->owner];
        settle();
        st.calls++;
        st.open.push_back({});
        if (!pi.mark) {
            // Report, end the run, go on.
            puterror({"can't locate debug tables for: ", start->file, " ", start->func, "\n"});
            puterror({msgtext(msgid::Broken), "\n"});
            runstop = true;
        } else if (pushframe(pi.mark, start)) {
            setframeline(start);
            entering = true;
            e = 1;
        }
    }
    if (pi.frame) {
        // the frame record follows the prologue: r1 has moved by its end line
        FrameHooks hooks;
        setframebase(hooks.framebaseatpc(s.target.regs, pi.frame));
    }
    if (LineRecord* line = pi.line) {
        mode.enteredpending = entering ? line : nullptr;
        setframeline(line);
        ++e;
    }
    LineRecord* ex = rec->address == pc() ? pi.exit : findexitrec(di(), rec, pc());
    if (ex) {
        settlestats(ex->owner);
        if (e == 0) {
            if (!popwhenpending()) ++e;
        } else {
            returnpending = true;
        }
    }
    entering = false;
    return e;
}

void Debugger::positionatpc() {
    notatline = !islinestart(di(), pc());
    if (!di().lines.empty()) setposition(findstmtat(di(), pc()));
    mode.enteredpending = nullptr;
    current = int(frames.size()) - 1;
}

// ---- one instruction, the literal way

void Debugger::stepinstruction() {
    Executor& x = s.target.exec;
    const uint32_t at = pc();
    clearhit();
    if (chkpoints(at, PointExec)) {
        runstop = true;  // the time point: the run ends at its address
        illegal = true;
        return;
    }
    std::string text;
    if (mode.traceinsns) {
        text = s.regdump();
        if (!text.empty() && text.back() != '\n') text += '\n';
        text += "    " + s.disassemble(at) + "\n";
    }
    const uint32_t before = now();
    insidestep = true;
    const uint64_t ran = x.run(1, nullptr);
    insidestep = false;
    if (x.ended == RunEnd::Hook && takedatahits()) flags.stop = 1;
    if (!text.empty()) puttext({text});
    if (ran == 0) {
        illegal = true;
        return;
    }
    firecyclecbs();
    const uint32_t after = now();
    profilestep(di(), at, before, after);
    chargeframes(after - framemark);
    framemark = after;
}

// ---- the decisions after an instruction

// After an instruction (the literal path) or when a run reaches a point (the
// fast path): 1 when the source step ends here, with its position in pos.
int Debugger::afterinsn(uint32_t at, LineRecord*& pos) {
    pos = nullptr;
    EventRecord* ev = hasaddrevent(at) ? chkevents(nullptr, nullptr, false) : nullptr;
    if (ev || flags.stop) {
        if (islinestart(di(), at)) pos = findstopline(di(), at);
        if (pos)
            setposition(pos);
        else
            mode.instrstep = flags.stop ? true : !ev->watch;
        return 1;
    }
    const PointInfo& pi = info(at);
    LineRecord* rec = pi.own;
    if (!rec) return 0;
    if (setposition(rec, pi)) {
        pos = rec;
        return 1;
    }
    return runstop ? 1 : 0;
}

// After a step: the events, the nesting level, the count. True when the
// run ends.
bool Debugger::stepend(LineRecord* pos) {
    current = int(frames.size()) - 1;
    notatline = !pos;
    if (pos && mode.tracelines && (pos->kind == kind::Line || pos->kind == kind::Start)) {
        const char* line = readsrcline(pos->file.c_str(), pos->line);
        puttext({"    ", line ? line : "", "\n"});
    }
    EventRecord* ev = chkevents(innermost(), pos);
    const bool stops = ev && !ev->watch;
    purgeevents();
    if (stops) {
        if (mode.level <= 1) return true;
        mode.level = 1;
        platform::windowhost().setstatus(0, mode.stepping ? "Stepping" : "Running");
    }
    if ((mode.over && mode.depth > 0) || (pos && pos->owner && funcstate(pos->owner) == 0)) {
        if (!mode.countfree) ++mode.stepsleft;
    }
    return runstop || illegal;
}

// Before a step: the count, the frames of deactivated functions, a
// pending return. True when the run ends.
bool Debugger::passstart() {
    if (flags.stop || runstop) return true;
    if (!mode.countfree) {
        if (mode.stepsleft == 0) return true;
        --mode.stepsleft;
    }
    if (!mode.stepping) {
        while (CallFrame* f = innermost()) {
            if (funcstate(f->func) != 2) break;
            if (f->func->name == ".") setfuncstate(f->func, 0);
            if (!popframe()) break;
        }
    }
    if (!mode.countfree) {
        ++mode.stepnumber;
        std::string text = " Stepping: " + std::to_string(mode.stepnumber);
        if (mode.initialcount != 32000 && !mode.over)
            text += " out of " + std::to_string(mode.initialcount) + " ";
        platform::windowhost().setstatus(0, text);
    }
    WinSetFakeIo();
    if (CallFrame* f = innermost(); f && funcstate(f->func) == 0) popframe();
    if (returnpending && !popwhenpending()) return true;
    if (simreset) {
        simreset = false;
        s.target.regs.resetregs(s.target.mem);
    }
    return false;
}

// ---- the fast path

bool Debugger::fastok() const {
    return !literal && !mode.instrstep && !mode.tracelines && !mode.traceinsns && !symtab().btime &&
           !cblists().cycle && !s.target.exec.reference();
}

// The addresses a fast run stops to look at: every debug record (the
// statements, and where the profiling slot changes), and inside functions
// every direct branch target and the address after every branch (returns
// land there), so the cycles between two points always belong to the slot
// of the first.
void Debugger::setpoints() {
    if (pointsdirty) {
        statementpoints.clear();
        for (LineRecord* r : di().lines) statementpoints.push_back(r->address);
        Executor& x = s.target.exec;
        for (auto& file : di().files)
            for (auto& f : file->funcs) {
                if (!f->start || !f->end || f->end->address <= f->start->address) continue;
                const uint32_t lo = f->start->address, hi = f->end->address;
                for (uint32_t a = lo; a < hi && a >= lo;) {
                    Insn i = x.decode(a);
                    if (!i.row) {
                        a += 2;
                        continue;
                    }
                    if (rowencoding(i.row).branch) {
                        statementpoints.push_back(i.next);
                        if (i.imm >= lo && i.imm < hi && !(i.imm & 1)) statementpoints.push_back(i.imm);
                    }
                    a = i.next;
                }
            }
        std::sort(statementpoints.begin(), statementpoints.end());
        statementpoints.erase(std::unique(statementpoints.begin(), statementpoints.end()), statementpoints.end());
        pointsdirty = false;
        eventschanged = true;
        infocache.clear();
    }
    if (!eventschanged) return;
    std::vector<uint32_t> all = statementpoints;
    for (uint32_t a : eventaddresses()) all.push_back(a);
    s.target.exec.setpoints(all);
    eventschanged = false;
}

void Debugger::beginsegment(uint32_t at) { beginsegment(at, info(at), now()); }

void Debugger::beginsegment(uint32_t at, const PointInfo& p, uint32_t t) {
    segaddr = at;
    segcycles = t;
    seginsns = countervalue(symtab().nbins);
    segopen = true;
    seghit = p.hit;
    segalso = p.hitalso;
    segmid = p.mid;
    segcounts = p.hitcounts;
}

// Charges the cycles since the segment began: its first instruction as
// profilestep would, the rest to the record that covers the addresses
// after it.
void Debugger::chargesegment(uint32_t t) {
    if (!segopen) return;
    const uint32_t spent = t - segcycles;
    const uint32_t insns = countervalue(symtab().nbins) - seginsns;
    segopen = false;
    if (spent == 0) return;
    // A segment of one instruction (one that branched) owns all its
    // cycles; in a longer one, only a taken branch at its end costs extra.
    const uint32_t first = insns <= 1 ? spent : 1;
    if (seghit) {
        seghit->cycles = int32_t(uint32_t(seghit->cycles) + first);
        if (segcounts) {
            seghit->hits++;
            if (segalso) segalso->hits++;
        }
    }
    if (spent > first && segmid) segmid->cycles = int32_t(uint32_t(segmid->cycles) + (spent - first));
}

bool Debugger::onpoint(uint32_t at) {
    const uint32_t t = timer ? *timer : now();
    chargesegment(t);
    const PointInfo& pi = info(at);
    beginsegment(at, pi, t);
    if (plainrun && !hasaddrevent(at)) {
        // No statement here (a branch target, a return address), or a line
        // inside the running function, which only moves the frame.
        if (!pi.own) return false;
        CallFrame* f = innermost();
        if (pi.line && pi.own == pi.line && !pi.start && !pi.exit && !pi.frame && f && f->func == pi.line->owner &&
            f->func->active && !exitreached && !returnpending && !simreset) {
            setframeline(pi.line);
            return false;
        }
    }
    if (platform::interrupted()) {
        platform::resetinterrupt();
        flags.stop = 1;
    }
    LineRecord* pos = nullptr;
    if (!afterinsn(at, pos)) return false;
    bool end = stepend(pos) || passstart();
    while (!end && mode.enteredpending) {
        LineRecord* p = mode.enteredpending;
        mode.enteredpending = nullptr;
        setframeline(p);
        end = stepend(p) || passstart();
    }
    if (eventschanged) {
        // A body made or removed events: the run must see their addresses.
        setpoints();
        plainrun = mode.countfree && !mode.stepping && !hasstepevents();
    }
    return end;
}

// ---- the run loop

// An interrupt, or a stop asked for in the windows (looked at after every
// chunk, and every few hundred instructions on the literal paths).
static void pollstop(Debugger& d, bool chunk) {
    if (platform::interrupted()) {
        platform::resetinterrupt();
        d.flags.stop = 1;
    }
    if ((chunk || (++d.polltick & 255) == 0) && platform::windowhost().pumpmsgs()) d.flags.stop = 1;
}

static void runfast(Debugger& d) {
    Executor& x = d.s.target.exec;
    d.setpoints();
    d.beginsegment(d.pc());
    d.plainrun = d.mode.countfree && !d.mode.stepping && !d.hasstepevents();
    d.timer = symtab().time;
    x.atpoint = [&d](uint32_t at) { return d.onpoint(at); };
    for (;;) {
        x.run(Chunk, &d.s.stop);
        if (x.ended == RunEnd::Hook && d.takedatahits()) d.flags.stop = 1;
        if (x.ended == RunEnd::Point || x.ended == RunEnd::Illegal || x.ended == RunEnd::Stopped) break;
        pollstop(d, true);
        if (d.flags.stop) {
            LineRecord* pos = nullptr;
            d.chargesegment(d.now());
            d.beginsegment(d.pc());
            d.afterinsn(d.pc(), pos);
            d.stepend(pos);
            break;
        }
        // A point where the chunk ended has not been asked about.
        if (x.haspoint(d.pc()) && d.onpoint(d.pc())) break;
    }
    x.atpoint = nullptr;
    d.plainrun = false;
    d.timer = nullptr;
    d.chargesegment(d.now());
}

static void runliteral(Debugger& d) {
    for (;;) {
        pollstop(d, false);
        if (!d.flags.stop) {
            d.stepinstruction();
            if (d.illegal) break;
        }
        LineRecord* pos = nullptr;
        if (!d.afterinsn(d.pc(), pos)) continue;
        if (d.stepend(pos) || d.passstart()) break;
        bool end = false;
        while (LineRecord* p = d.mode.enteredpending) {
            d.mode.enteredpending = nullptr;
            d.setframeline(p);
            if ((end = d.stepend(p) || d.passstart())) break;
        }
        if (end) break;
    }
}

LineRecord* Debugger::stepsrc() {
    LineRecord* pos = nullptr;
    for (;;) {
        stepinstruction();
        if (illegal) break;
        if (afterinsn(pc(), pos)) break;
    }
    current = int(frames.size()) - 1;
    notatline = !pos;
    return pos;
}

LineRecord* Debugger::stepinsn() {
    DebugInfo& d = di();
    stepinstruction();
    if (illegal) return nullptr;
    const uint32_t at = pc();
    notatline = !islinestart(d, at);
    if (notatline && exitreached) popwhenpending();
    LineRecord* rec = findstmtat(d, at);
    if (!rec) {
        if (exitreached) {
            popwhenpending();
            LineRecord* l = findlineat(d, at);
            CallFrame* in = innermost();
            if (l && in && in->linerec && l->owner == in->linerec->owner && l != in->linerec) setposition(l);
            exitreached = nullptr;
        }
    } else if (LineRecord* at0 = findkindat(d, rec, kind::Start) ? findkindat(d, rec, kind::Start)
                                                                     : findkindat(d, rec, kind::Line)) {
        if (mode.tracelines) {
            const char* line = readsrcline(at0->file.c_str(), at0->line);
            puttext({"    ", line ? line : "", "\n"});
        }
        setposition(at0);
    } else if (LineRecord* ex = findkindat(d, rec, kind::Exit)) {
        settlestats(ex->owner);
        if (exitreached) popwhenpending();
        exitreached = ex;
    } else {
        setposition(rec);
        if (rec->owner && funcstate(rec->owner) == 0) setfuncstate(rec->owner, 2);
    }
    current = int(frames.size()) - 1;
    return rec;
}

static void runinsns(Debugger& d) {
    for (;;) {
        pollstop(d, false);
        if (d.passstart()) break;
        LineRecord* pos;
        if ((pos = d.mode.enteredpending)) {
            d.mode.enteredpending = nullptr;
            d.setframeline(pos);
            d.stepinsn();
        } else {
            pos = d.stepinsn();
        }
        if (d.illegal) break;
        if (d.stepend(pos)) break;
    }
}

// Internal stop point for a location after go or step; false when the
// location failed (reported).
static bool internalevent(Debugger& d, Cursor& text) {
    LocationSpec loc;
    Cursor after = parseloc(d.loc, text, loc);
    if (!loc.given) return true;
    Cursor rest = skipblanks(after);
    if (isnumloc(loc)) {
        d.mode.stepsleft = loc.line;
        d.mode.countfree = false;
    } else if (loc.isaddress) {
        d.newaddrevent("", loc.address, 1, 0, false, true);
    } else if (iscodeloc(loc)) {
        d.locerror = 0;
        d.newlineevents("", loc, 1, 0, true, false, true);
        if (d.locerror) return false;
    } else {
        // An expression, read from the location's start.
        Cursor after2 = d.exprevent(text, 1, 0, false, true);
        if (!after2) return false;
        rest = skipblanks(after2);
    }
    text = rest;
    return true;
}

Cursor Debugger::runloop(Cursor text, int user) {
    (void)user;
    text = skipblanks(text);
    const bool idle = mode.level == 0;
    if (idle) mode.stepsleft = mode.stepping ? 1 : 32000;
    if (!internalevent(*this, text)) {
        if (idle) setrunstate(0);
        return "";
    }
    flags.stop = 0;
    if (mode.stepping)
        if (CallFrame* f = innermost(); f && funcstate(f->func) == 0) setfuncstate(f->func, 2);
    if (++mode.level > 1) return text;  // a body's go or step: the outer run goes on
    flags.stop = 0;
    s.stop = 0;
    runstop = false;
    illegal = false;
    platform::windowhost().setstatus(0, mode.stepping ? " Stepping " : " Running ");
    if (!mode.stepping) mode.enteredpending = nullptr;
    mode.startcycles = now();
    mode.stepnumber = 0;
    mode.initialcount = mode.stepsleft;
    framemark = now();
    if (symtab().onbind) symtab().onbind(symtab());
    struct Armed {
        Debugger& d;
        ~Armed() { d.disarmdata(); }
    } armedguard{*this};
    armdata();
    if (mode.instrstep)
        runinsns(*this);
    else if (!passstart()) {
        bool end = false;
        while (LineRecord* p = mode.enteredpending) {
            mode.enteredpending = nullptr;
            setframeline(p);
            if ((end = stepend(p) || passstart())) break;
        }
        if (!end) {
            if (fastok())
                runfast(*this);
            else
                runliteral(*this);
        }
    }
    settle();
    current = int(frames.size()) - 1;
    platform::windowhost().setstatus(0, "Command");
    mode.over = false;
    mode.level = 0;
    flags.stop = 0;
    setrunstate(0);
    refreshdata();
    return text;
}

}  // namespace vek

// Monitors, the data refresh, zero and the reload that keeps the user's
// events and monitors as texts and makes them again on the new build.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "vek/command/control/control.h"
#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/output.h"

namespace vek {

namespace {

// Where a record with the smallest free number goes.
size_t freeslot(const std::vector<MonitorRecord>& list, int32_t& number) {
    number = 1;
    size_t i = 0;
    while (i < list.size() && list[i].number == number) ++i, ++number;
    return i;
}

std::string hexaddr(uint32_t v) { return hextextb(v); }

// Output and errors of the reload's re-creations go nowhere.
struct Silence {
    OutputState& o = outstate();
    bool cmdfile = o.cmdfile, on = o.value.on;
    size_t pos = o.value.pos;
    uint32_t errors = o.errors;
    Silence() {
        o.cmdfile = true;
        o.value.on = true;
    }
    ~Silence() {
        o.value.pos = pos;
        o.value.text[pos] = 0;
        o.value.on = on;
        o.cmdfile = cmdfile;
        o.errors = errors;
    }
};

}  // namespace

void Debugger::addmonit(const std::string& text, char letter) {
    if (letter == 's' || letter == 'c') letter = char(std::toupper(uint8_t(letter)));
    for (MonitorRecord& m : monitors)
        if (m.text == text) {
            m.format = letter;
            return;
        }
    MonitorRecord m;
    const size_t at = freeslot(monitors, m.number);
    m.format = letter;
    m.text = text;
    monitors.insert(monitors.begin() + long(at), std::move(m));
}

void Debugger::addmemmonit(const std::string& name, uint32_t address, int id) {
    MonitorRecord m;
    const size_t at = freeslot(monitors, m.number);
    m.format = 'x';
    m.address = address;
    m.size = id == 927 ? 'b' : id == 928 ? 'w' : 'l';
    m.text = "[" + name + "]." + m.size;
    monitors.insert(monitors.begin() + long(at), std::move(m));
    refreshdata();
}

void Debugger::rmmonit(int number) {
    if (number == -1) {
        monitors.clear();
        return;
    }
    auto it = std::find_if(monitors.begin(), monitors.end(),
                           [&](const MonitorRecord& m) { return m.number == number; });
    if (it == monitors.end()) {
        puterror({msgtext(msgid::MonNotFound), "\n"});
        return;
    }
    monitors.erase(it);
}

bool Debugger::rmmonittext(const std::string& text) {
    for (const MonitorRecord& m : monitors)
        if (m.text == text) {
            rmmonit(m.number);
            return true;
        }
    return false;
}

std::string monitcommand(const MonitorRecord& m) {
    return m.format && m.format != ' ' ? std::string("monit /") + char(std::tolower(uint8_t(m.format))) + " " + m.text
                                       : "monit " + m.text;
}

void Debugger::writemonits(std::FILE* file) {
    for (const MonitorRecord& m : monitors) {
        std::string t = monitcommand(m) + "\n";
        std::fwrite(t.data(), 1, t.size(), file);
    }
}

void Debugger::refreshdata() {
    if (monitorview) monitorview();
    fireupdatecbs(4);
}

// ---- zero

void Debugger::zero(bool events_, bool monitors_, bool reset) {
    mode.tracelines = mode.traceinsns = false;
    for (LineRecord* r : di().lines) r->hits = 0;
    for (auto& [f, st] : stats) st.total = 0;
    if (monitors_) rmmonit(-1);
    if (events_) rmevent(-1, 0);
    if (reset) simreset = true;
    if (s.entrychosen) s.target.regs.setpc(s.prog.entry);
    if (simreset) {
        simreset = false;
        s.target.regs.resetregs(s.target.mem);
    }
    clearframes();
    positionatpc();
    resetsteps();
    fireresetcbs();
}

// ---- the reload

void Debugger::saveevents() {
    keptevents.clear();
    for (auto& e : events) {
        if (e->removed || !e->user) continue;
        KeptEvent k;
        k.cls = e->cls;
        k.enabled = e->enabled;
        k.watch = e->watch;
        k.count = e->count;
        if (e->cls == 'D') k.access = e->kind;
        switch (e->kind) {
        case 't':
            // A file's place ends with ':' so that it is not read as a symbol.
            k.text = e->func ? e->func->name + "()" : (e->file ? e->file->name : std::string());
            if (e->first != 0) {
                k.text += ":" + std::to_string(e->first);
                if (e->last != e->first) k.text += ":" + std::to_string(e->last);
            } else if (!e->func) {
                k.text += ":";
            }
            break;
        case 'a': k.text = "@" + hexaddr(e->address); break;
        default: k.text = e->text; break;
        }
        if (!e->body.empty()) k.text += " {" + e->body + "}";
        k.text += ";";
        keptevents.push_back(std::move(k));
    }
}

void Debugger::savemonits() {
    keptmonitors.clear();
    for (const MonitorRecord& m : monitors) keptmonitors.push_back({m.active, m.format, m.text});
}

void Debugger::restoreevents() {
    const bool oldmute = mute;
    mute = true;
    Silence silence;
    for (const KeptEvent& k : keptevents) {
        const uint32_t count = k.count & 0xFFFF;
        Cursor p = k.text.c_str();
        if (k.cls == 'D') {
            ExprAt x = evalat(p, 0);
            if (!x.value || x.error) continue;
            newdatabkpt(x.end, *x.value, count, k.access, k.watch, k.enabled);
            continue;
        }
        LocationSpec loc;
        Cursor after = parseloc(this->loc, p, loc);
        if (!loc.given) continue;
        const size_t before = events.size();
        if (iscodeloc(loc) && !di().lines.empty()) {
            locerror = 0;
            newlineevents(after, loc, count, 1, true, k.watch, k.enabled);
        } else if (loc.isaddress) {
            newaddrevent(after, loc.address, count, 1, k.watch, k.enabled);
        } else {
            exprevent(p, count, 1, k.watch, k.enabled, true);
        }
        if (events.size() > before) {
            EventRecord* made = findnumber(lastevent);
            if (made) made->enabled = k.enabled;
        }
    }
    mute = oldmute;
}

void Debugger::restoremonits() {
    {
    Silence silence;
    for (const KeptMonitor& k : keptmonitors) {
        if (!evalat(k.text.c_str(), 0).monitorable()) continue;
        addmonit(k.text, k.format);
    }
    }
    refreshdata();
}

bool Debugger::reload(const std::string& path) {
    if (flags.running || mode.level > 0 || path.empty()) return false;
    saveevents();
    savemonits();
    const std::string line = "load " + path;
    docmd(line.c_str(), 0);
    const bool ok = !di().empty() || !s.prog.segments.empty();
    restoreevents();
    restoremonits();
    return ok;
}

}  // namespace vek

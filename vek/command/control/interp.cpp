// The command interpreter: docmd, dispatchcmd, findcmd, doblock, the
// command table and the handlers of run control.
#include <cctype>
#include <cstring>
#include <string>

#include "platform/window.h"
#include "vek/command/control/control.h"
#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"

namespace vek {

bool isabsolutepath(Cursor p) {
    for (Cursor q = p + 1; *q && uint8_t(*q) > ' ' && *q != ';'; ++q)
        if (*q == '/' || *q == '.') return true;
    return false;
}

Cursor readoptions(Cursor text, const char* known, const char* valued, Options& o, bool leadingblank,
                   bool filename) {
    Cursor p = skipblanks(text);
    while (*p == '/' && !(filename && isabsolutepath(p))) {
        ++p;
        while (*p && uint8_t(*p) > ' ' && *p != 127 && *p != ':' && *p != ';' && *p != '/') {
            const char c = char(std::toupper(uint8_t(*p)));
            if (!std::isalpha(uint8_t(c)) || !std::strchr(known, c)) {
                puterror({leadingblank ? " Unknown Option " : "Unknown Option ", p, "\n"});
                return nullptr;
            }
            o.letters += c;
            if (std::strchr(valued, c)) {
                if (p[1] != ':') {
                    puterror({leadingblank ? " Wrong option " : "Wrong option ", p, "\n"});
                    return nullptr;
                }
                p += 2;
                Cursor v = p;
                while (*p && uint8_t(*p) > ' ' && *p != ';' && *p != '/') ++p;
                o.value[c - 'A'].assign(v, size_t(p - v));
                continue;
            }
            ++p;
        }
        p = skipblanks(p);
    }
    return p;
}

namespace {

constexpr int MsgUnknown = 11, MsgNoSource = 45, MsgNoFrame = 46, MsgArgument = 32;

Cursor lineend(Cursor text) { return text + std::strlen(text); }

// ---- run commands

// What each run command sets of the run mode.
enum class InsnMode { No, Yes, NoLines };          // instruction steps
enum class Over { No, AtLine };                // over: pc starts a source line
enum class Stepping { Free, Source, Always, Never };
struct RunSpec {
    bool tracelines, traceinsns, countfree;
    InsnMode instr;
    Over over;
    int depth;                                 // -1: unchanged
    Stepping stepping;
};

Cursor startrun(Debugger& d, Cursor text, int user, const RunSpec& r) {
    RunMode& m = d.mode;
    m.tracelines = r.tracelines;
    m.traceinsns = r.traceinsns;
    m.countfree = r.countfree;
    m.instrstep = r.instr == InsnMode::Yes || (r.instr == InsnMode::NoLines && d.di().lines.empty());
    m.over = r.over == Over::AtLine && islinestart(d.di(), d.pc()) != 0;
    if (r.depth >= 0 && (r.instr != InsnMode::NoLines || m.instrstep)) m.depth = int16_t(r.depth);
    // A step or go given while a run goes on (from a body) keeps its count.
    const bool fresh = m.level == 0 || !m.stepping;
    switch (r.stepping) {
    case Stepping::Free:
    case Stepping::Source:
        if (fresh) {
            m.stepping = r.stepping == Stepping::Source;
            m.stepsleft = 32000;
        }
        break;
    case Stepping::Always: m.stepping = true; break;
    case Stepping::Never:
        m.stepping = false;
        if (m.level == 0) m.stepsleft = 32000;
        break;
    }
    if (m.level == 0) d.setrunstate(1);
    return d.runloop(text, user);
}

Cursor cmdgo(Debugger& d, Cursor text, int user) {
    return startrun(d, text, user, {false, false, true, InsnMode::No, Over::No, -1, Stepping::Free});
}
Cursor cmdtgo(Debugger& d, Cursor text, int user) {
    return startrun(d, text, user, {true, false, true, InsnMode::No, Over::No, -1, Stepping::Never});
}
Cursor cmdtigo(Debugger& d, Cursor text, int user) {
    return startrun(d, text, user, {true, true, true, InsnMode::No, Over::No, -1, Stepping::Never});
}
Cursor cmdstep(Debugger& d, Cursor text, int user) {
    return startrun(d, text, user, {false, false, false, InsnMode::NoLines, Over::No, 0, Stepping::Source});
}
Cursor cmdistep(Debugger& d, Cursor text, int user) {
    return startrun(d, text, user, {false, false, false, InsnMode::Yes, Over::No, 0, Stepping::Source});
}
Cursor cmdostep(Debugger& d, Cursor text, int user) {
    return startrun(d, text, user, {false, false, false, InsnMode::No, Over::AtLine, 0, Stepping::Always});
}
Cursor cmdfinish(Debugger& d, Cursor text, int user) {
    return startrun(d, text, user, {false, false, false, InsnMode::No, Over::AtLine, 1, Stepping::Always});
}

// ---- run state

Cursor cmdinternals(Debugger& d, Cursor text, int) {
    d.internals = std::strncmp(text, "off", 3) != 0;
    return lineend(text);
}

Cursor cmdstop(Debugger& d, Cursor text, int) {
    d.flags.stop = 1;
    return lineend(text);
}

Cursor cmdstatus(Debugger& d, Cursor text, int) {
    puttext({d.flags.running ? "RUNNING\n" : "STOPPED\n"});
    return lineend(text);
}

Cursor cmdquit(Debugger& d, Cursor text, int) {
    if (d.flags.running) d.flags.stop = 1;
    d.quitting = true;
    platform::windowhost().closemain();
    return lineend(text);
}

Cursor cmdrem(Debugger&, Cursor text, int) { return lineend(text); }

Cursor cmdeval(Debugger&, Cursor text, int user) { return evalcmd(text, user); }

Cursor cmdregs(Debugger& d, Cursor text, int) {
    std::string dump = d.s.regdump();
    if (dump.empty() || dump.back() != '\n') dump += '\n';
    puttext({dump});
    return text;
}

// ---- programs and files

Cursor cmdload(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "SO", "O", o, false, true);
    if (!p) return lineend(text);
    if (d.mode.level > 0) {
        puterror({"load: not while the target runs\n"});
        return lineend(text);
    }
    std::string name(p);
    while (!name.empty() && uint8_t(name.back()) <= ' ') name.pop_back();
    if (name.empty()) {
        puterror({msgtext(msgid::NoName), "\n"});
        return lineend(text);
    }
    if (std::FILE* f = std::fopen(name.c_str(), "rb"))
        std::fclose(f);
    else {
        puterror({"DBCOM: ", msgtext(5), name, "\n"});
        return lineend(text);
    }
    const std::string entry = o.value['O' - 'A'];
    d.rmmonit(-1);
    d.rmevent(-1, 0);
    fireloadcbs(name.c_str(), 0);
    d.resetsteps();
    const bool ok = d.loadprogram(name, o.has('O') ? entry.c_str() : nullptr, true, o.has('S'));
    if (!ok) {
        d.di().clear();
        d.rmmonit(-1);
        d.rmevent(-1, 0);
        d.resetsteps();
        d.clearframes();
        clrsyms();
    } else {
        fireloadcbs(name.c_str(), 1);
    }
    return lineend(text);
}

Cursor cmdinput(Debugger& d, Cursor text, int) {
    Cursor p = text;
    while (*p && *p != '\t' && *p != ';' && *p != '}') ++p;
    std::string name(text, size_t(p - text));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    d.runcmdfile(name.c_str());
    return p;
}

// ---- events

// Event numbers (or '*') of /A and /S, switched on or off.
Cursor switchevents(Debugger& d, Cursor p, char letter, Cursor text) {
    for (;;) {
        p = skipblanks(p);
        if (*p == '*') {
            d.setevents(letter, -1);
            return p + 1;
        }
        LocationSpec loc;
        Cursor after = parseloc(d.loc, p, loc);
        if (!isnumloc(loc)) {
            puterror({msgtext(msgid::Argument), "for: ", letter == 'a' ? " Break/Watch activate " : " Break/Watch suspend",
                      "\n"});
            return lineend(text);
        }
        d.setevents(letter, int(loc.line));
        p = skipblanks(after);
        if (*p != ',') return p;
        ++p;
    }
}

Cursor eventcmd(Debugger& d, Cursor text, int user, bool watch) {
    Options o;
    Cursor p = readoptions(text, "ASIEC", "C", o);
    if (!p) return lineend(text);
    uint32_t count = 0;
    if (!readcount(o, count)) return lineend(text);
    if (o.has('A') || o.has('S')) return switchevents(d, p, o.has('A') ? 'a' : 's', text);
    const bool enabled = !o.has('I');
    const bool whole = !o.has('E');
    for (;;) {
        LocationSpec loc;
        Cursor after = parseloc(d.loc, p, loc);
        if (!loc.given) {
            d.listevents(watch);
            d.norefresh = true;
            return after;
        }
        if (iscodeloc(loc) && !d.di().lines.empty()) {
            d.locerror = 0;
            after = d.newlineevents(after, loc, count, user, whole, watch, enabled);
            if (d.locerror) return after;
        } else if (loc.isaddress) {
            after = d.newaddrevent(after, loc.address, count, user, watch, enabled);
        } else if (isnumloc(loc) || iscodeloc(loc)) {
            // A line or function with no line records to find it in.
            puterror({msgtext(msgid::BadBreak), ": ", d.loc.lasttext, "\n"});
            return lineend(text);
        } else {
            // An expression, read from the location's start.
            after = d.exprevent(p, count, user, watch, enabled);
            if (!after) return lineend(text);
        }
        p = skipblanks(after);
        if (*p != ',') return p;
        ++p;
    }
}

Cursor databkptcmd(Debugger& d, Cursor text, bool watch) {
    Options o;
    Cursor p = readoptions(text, "ASCT", "CT", o);
    if (!p) return lineend(text);
    uint32_t count = 0;
    if (!readcount(o, count)) return lineend(text);
    char access = 'A';
    if (o.has('T')) {
        const char c = char(std::toupper(uint8_t(o.value['T' - 'A'].c_str()[0])));
        if (c == 'A' || c == 'R' || c == 'W') access = c;
    }
    p = skipblanks(p);
    if (!*p || *p == '\r' || *p == '\n') {
        d.listevents(watch);
        d.norefresh = true;
        return lineend(p);
    }
    if (o.has('A') || o.has('S')) return switchevents(d, p, o.has('A') ? 'a' : 's', text);
    for (;;) {
        ExprAt x = evalat(p, 0);
        Cursor cursor = x.end;
        ExprValue* v = x.value.get();
        if (x.error || !v || x.text.empty()) {
            // Nothing is made for an expression that does not evaluate.
            puterror({"Incorrect argument for Variable break\n"});
            return stmtend(cursor);
        }
        if (v->kind != 1 && v->kind != 6) puterror({"Illegal argument for Variable break (dynamic allocation)\n"});
        p = skipblanks(d.newdatabkpt(cursor, *v, count, access, watch, true));
        if (*p != ',') return p;
        ++p;
    }
}

Cursor cmddbreak(Debugger& d, Cursor text, int) { return databkptcmd(d, text, false); }
Cursor cmddwatch(Debugger& d, Cursor text, int) { return databkptcmd(d, text, true); }

Cursor cmdbreak(Debugger& d, Cursor text, int user) { return eventcmd(d, text, user, false); }
Cursor cmdwatch(Debugger& d, Cursor text, int user) { return eventcmd(d, text, user, true); }

Cursor cmddelete(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "EM", "", o);
    if (!p) return lineend(text);
    const bool monitors = !o.letters.empty() && o.letters.back() == 'M';
    if (*p == '*') {
        if (monitors)
            d.rmmonit(-1);
        else
            d.rmevent(-1, 1);
        return p + 1;
    }
    if (monitors) {
        for (;;) {
            ExprAt x = evalat(p, 0);
            Cursor cursor = x.end;
            const std::string& what = x.text;
            if (what.empty()) return cursor;
            // By its text: a monitor whose variable is gone can still go.
            if (!d.rmmonittext(what)) puterror({" Unknown Monitor: ", what, "\n"});
            p = skipblanks(cursor);
            if (*p != ',') return p;
            ++p;
        }
    }
    for (;;) {
        LocationSpec loc;
        Cursor after = parseloc(d.loc, p, loc);
        if (!loc.given) return after;
        std::string what = d.loc.lasttext;
        bool removed = false;
        auto drop = [&](auto pred) {
            for (auto& e : d.events)
                if (!e->removed && pred(*e)) e->removed = removed = true;
            d.eventchange();
            d.purgeevents();
        };
        if (isnumloc(loc)) {
            d.rmevent(int(loc.line), 1);
            removed = true;
        } else if (iscodeloc(loc)) {
            FileRecord* file = loc.file ? findfile(d.di(), loc.file) : nullptr;
            FunctionRecord* func = loc.function ? findfunc(d.di(), loc.function, loc.file) : nullptr;
            drop([&](const EventRecord& e) {
                if (e.kind != 't') return false;
                if (file && e.file != file) return false;
                if (func && e.func != func) return false;
                if (!file && !func) return false;
                return loc.line == 0 || (loc.line >= e.first && loc.line <= e.last);
            });
            if (!removed) puterror({"Unknown Code Event: ", what, "\n"});
        } else if (loc.isaddress) {
            drop([&](const EventRecord& e) { return e.kind == 'a' && e.address == loc.address; });
            if (!removed) puterror({"Unknown Absolute Event: ", what, "\n"});
        } else {
            // An expression, read from the location's start.
            ExprAt x = evalat(p, 1);
            Cursor start = x.start, cursor = x.end;
            int error = x.error;
            ExprValue* v = x.value.get();
            const std::string& expr = x.text;
            if (!error && v && v->kind == term::Value) error = msgid::BadBreak;
            if (error || !v || expr.empty()) {
                puterror({msgtext(error ? error : msgid::BadBreak), ": ", expr.empty() ? std::string(start) : expr, "\n"});
                return lineend(text);
            }
            after = cursor;
            if (v->kind == term::Symbol) {
                drop([&](const EventRecord& e) { return e.kind == 's' && e.text == expr; });
                if (!removed) puterror({"Unknown Symbol Event: ", start, "\n"});
            } else if (v->kind == sc::TLabel || v->kind == sc::TGLabel) {
                drop([&](const EventRecord& e) { return e.kind == 'l' && e.address == v->address; });
                if (!removed) puterror({"Unknown Label Event: ", start, "\n"});
            } else {
                drop([&](const EventRecord& e) { return e.kind == 'd' && e.text == expr; });
                if (!removed) puterror({"Unknown Data Event: ", start, "\n"});
            }
        }
        p = skipblanks(after);
        if (*p != ',') return p;
        ++p;
    }
}

// The command table, in search order.
#define ROW(word, flags, handler) {word, uint8_t(sizeof(word) - 1), flags, handler}
using namespace cmdflag;
CommandEntry table[] = {
    ROW("internals", 0, cmdinternals),
    ROW("a", NeedLines, nullptr),
    ROW("activ", NeedLines, nullptr),
    ROW("cmdwin", 0, nullptr),
    ROW("deact", NeedLines, nullptr),
    ROW("b", NoRefresh, cmdbreak),
    ROW("break", NoRefresh, cmdbreak),
    ROW("w", 0, cmdwatch),
    ROW("watch", 0, cmdwatch),
    ROW("del", 0, cmddelete),
    ROW("delete", 0, cmddelete),
    ROW("db", 0, cmddbreak),
    ROW("dbreak", 0, cmddbreak),
    ROW("dw", 0, cmddwatch),
    ROW("dwatch", 0, cmddwatch),
    ROW("disa", NoRefresh, nullptr),
    ROW("path", 0, nullptr),
    ROW("g", 0, cmdgo),
    ROW("go", 0, cmdgo),
    ROW("start", Internal, nullptr),
    ROW("status", Internal, cmdstatus),
    ROW("stop", Internal, cmdstop),
    ROW("tgo", 0, cmdtgo),
    ROW("tigo", 0, cmdtigo),
    ROW("record", 0, nullptr),
    ROW("move", NeedLines | NeedFrame, nullptr),
    ROW("l", 0, cmdload),
    ROW("load", 0, cmdload),
    ROW("m", 0, nullptr),
    ROW("maximize", 0, nullptr),
    ROW("minimize", 0, nullptr),
    ROW("monit", 0, nullptr),
    ROW("files", NoRefresh | NeedLines, nullptr),
    ROW("funcs", NoRefresh | NeedLines, nullptr),
    ROW("print", NeedLines, nullptr),
    ROW("quit", 0, cmdquit),
    ROW("r", 0, cmdregs),
    ROW("regs", 0, cmdregs),
    ROW("wregs", 0, nullptr),
    ROW("s", 0, cmdstep),
    ROW("step", 0, cmdstep),
    ROW("si", 0, cmdistep),
    ROW("istep", 0, cmdistep),
    ROW("so", 0, cmdostep),
    ROW("ostep", 0, cmdostep),
    ROW("stack", 0, nullptr),
    ROW("wstack", 0, nullptr),
    ROW("frame", NoRefresh | NeedLines | NeedFrame, nullptr),
    ROW("u", NeedLines, nullptr),
    ROW("updat", NeedLines, nullptr),
    ROW("update", NeedLines, nullptr),
    ROW("v", NoRefresh | NeedLines, nullptr),
    ROW("vars", NoRefresh | NeedLines, nullptr),
    ROW("write", 0, nullptr),
    ROW("x", 0, cmdeval),
    ROW("eval", 0, cmdeval),
    ROW("zero", 0, nullptr),
    ROW("mess", 0, nullptr),
    ROW("perf", NoRefresh | NeedLines, nullptr),
    ROW("sys", 0, nullptr),
    ROW("input", 0, cmdinput),
    ROW("output", 0, nullptr),
    ROW("*", 0, cmdrem),
    ROW("rem", 0, cmdrem),
    ROW("dump", 0, nullptr),
    ROW("fill", 0, nullptr),
    ROW("finish", 0, cmdfinish),
    ROW("mm", 0, nullptr),
    ROW("fopen", 0, nullptr),
    ROW("fclose", 0, nullptr),
    ROW("fread", 0, nullptr),
    ROW("fwrite", 0, nullptr),
    ROW("rewind", 0, nullptr),
    ROW("remove", 0, nullptr),
    ROW("pause", 0, nullptr),
    ROW("reset", 0, nullptr),
    ROW("session", 0, nullptr),
    ROW("layout", 0, nullptr),
    {nullptr, 0, 0, nullptr},
};
#undef ROW

}  // namespace

const CommandEntry* commandtable() { return table; }

bool readcount(const Options& o, uint32_t& count) {
    count = 0;
    if (!o.has('C')) return true;
    const std::string& v = o.value['C' - 'A'];
    if (!isnumber(v.c_str(), v.size(), count) || count > 0xFFFF) {
        puterror({"Wrong option ", "C:", v, "\n"});
        return false;
    }
    return true;
}

bool sethandler(const char* word, Handler handler) {
    bool found = false;
    for (CommandEntry* c = table; c->word; ++c)
        if (std::strcmp(c->word, word) == 0) {
            c->handler = handler;
            found = true;
        }
    return found;
}

const CommandEntry* Debugger::findcmd(Cursor text) const {
    char word[17];
    size_t n = 0;
    for (; n < 16 && text[n]; ++n) word[n] = char(std::tolower(uint8_t(text[n])));
    word[n] = 0;
    for (const CommandEntry* c = table; c->word; ++c) {
        if (c->length > n || std::memcmp(word, c->word, c->length) != 0) continue;
        const uint8_t next = uint8_t(text[c->length]);
        if (next > ' ' && next < 127 && next != ';') continue;
        if ((c->flags & Internal) && !internals) continue;
        return c;
    }
    return nullptr;
}

Cursor Debugger::dispatchcmd(Cursor text, int user) {
    norefresh = false;
    Cursor result;
    const bool taken = extcmd && extcmd(text);
    const CommandEntry* c = taken ? nullptr : findcmd(text);
    if (taken) {
        result = lineend(text);
    } else if (!c) {
        std::string line(text);
        puterror({msgtext(msgid::Unknown), ": ", line, "\n"});
        norefresh = true;
        result = lineend(text);
    } else if ((c->flags & NeedLines) && di().lines.empty()) {
        puterror({msgtext(msgid::NoSource), "\n"});
        norefresh = true;
        result = lineend(text);
    } else if ((c->flags & NeedFrame) && !currentframe()) {
        puterror({msgtext(msgid::NoFrame), "\n"});
        norefresh = true;
        result = lineend(text);
    } else {
        Cursor rest = skipblanks(text + c->length);
        if (c->flags & NoRefresh) norefresh = true;
        if (!c->handler) {
            puterror({c->word, ": not built yet\n"});
            result = lineend(text);
        } else {
            result = c->handler(*this, rest, user);
            if (!result) result = lineend(text);
        }
    }
    if (quitting) return result;
    if (!norefresh) ++refreshing;
    // Internal events live for the outermost command that made them.
    if (cleanup && !norefresh && mode.level == 0) dropinternalevents();
    if (viewrefresh && !norefresh && mode.level == 0 && !flags.running.load()) viewrefresh();
    return result;
}

Cursor Debugger::docmd(Cursor line, int user) {
    if (journal && !replaying) {
        std::fputs(line, journal);
        std::fputc('\n', journal);
    }
    if (*line == ';') return lineend(line);
    // Every statement of the line, up to its end or a closing brace.
    Cursor p = skipblanks(line);
    while (*p && *p != '}' && !quitting) {
        p = execstatement(p, user);
        if (!p) return lineend(line);
        p = skipblanks(p);
    }
    return p;
}

void Debugger::doblock(Cursor text, int user) {
    Cursor p = skipblanks(text);
    while (*p && *p != '}' && !quitting) {
        Cursor next = docmd(p, user);
        if (next == p) break;
        p = next;
        while (*p == ';' || *p == ' ' || *p == '\t') ++p;
    }
}

}  // namespace vek

// Events: breakpoints, watchpoints and the internal stop points of go and
// step, in one list ordered by number. A removal during a walk of the list
// (a body deleting its own event, a load) only marks the event; the walk
// frees it when it is done.
#include <algorithm>
#include <cstring>
#include <optional>

#include "vek/command/control/control.h"
#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/output.h"

namespace vek {

namespace {

std::string hex(uint32_t v) { return hextextb(v); }

// The body after a location: blanks skipped, then a braced text.
Cursor takebody(Cursor text, std::string& body) {
    body.clear();
    const char* p = skipblanks(text);
    if (*p != '{' || !readbracebody(p, body)) return text;
    return p;
}

}  // namespace

EventRecord* Debugger::findnumber(int number) {
    for (auto& e : events)
        if (!e->removed && e->number == number) return e.get();
    return nullptr;
}

EventRecord* Debugger::newevent(int user, bool watch, bool enabled, uint32_t count, char k) {
    auto e = std::make_unique<EventRecord>();
    uint16_t n = 1;
    size_t i = 0;
    while (i < events.size() && events[i]->number == n) ++i, ++n;
    e->number = n;
    e->user = user;
    e->watch = watch;
    e->enabled = enabled;
    e->count = e->countdown = count ? count : 1;
    e->kind = k;
    lastevent = n;
    EventRecord* raw = e.get();
    events.insert(events.begin() + long(i), std::move(e));
    eventchange();
    return raw;
}

static void echo(Debugger& d, const EventRecord& e) {
    if (!e.user || d.quiet || d.mute) return;
    puttext({"(", std::to_string(e.number), ")  ", d.eventline(e)});
}

// An existing event with a new count or body.
static void update(Debugger& d, EventRecord& e, uint32_t count, const std::string& body, bool hadbody) {
    if (count) e.count = e.countdown = count;
    if (hadbody) e.body = body;
    puttext({d.eventline(e)});
}

// The creators' common part: an event of the same key is updated, else a
// new one is made and given its body.
template <class Same>
static Cursor makeevent(Debugger& d, Cursor text, char k, Same same, uint32_t count, int user, bool watch,
                        bool enabled, EventRecord*& made) {
    std::string body;
    Cursor after = takebody(text, body);
    made = nullptr;
    for (auto& e : d.events)
        if (!e->removed && e->kind == k && same(*e)) {
            update(d, *e, count, body, after != text);
            return after;
        }
    made = d.newevent(user, watch, enabled, count, k);
    made->body = body;
    return after;
}

Cursor Debugger::newaddrevent(Cursor text, uint32_t address, uint32_t count, int user, bool watch, bool enabled) {
    EventRecord* e;
    Cursor after = makeevent(
        *this, text, 'a', [&](const EventRecord& o) { return o.address == address; }, count, user, watch, enabled, e);
    if (e) {
        e->address = address;
        echo(*this, *e);
    }
    return after;
}

Cursor Debugger::newsevent(Cursor text, const std::string& name, uint32_t address, uint32_t count, int user,
                           bool watch, bool enabled) {
    EventRecord* e;
    Cursor after = makeevent(
        *this, text, 's', [&](const EventRecord& o) { return o.text == name; }, count, user, watch, enabled, e);
    if (e) {
        e->address = address;
        e->text = name;
        echo(*this, *e);
    }
    return after;
}

Cursor Debugger::newdataevent(Cursor text, const ExprValue& value, uint32_t count, int user, bool watch,
                               bool enabled) {
    EventRecord* e;
    Cursor after = makeevent(
        *this, text, 'd', [&](const EventRecord& o) { return o.text == value.text; }, count, user, watch, enabled,
        e);
    if (e) {
        e->text = value.text;
        e->address = value.address;
        uint32_t size = typesizeof(value);
        if (size == 0 || size > 0x10000) size = 4;
        e->watched.resize(size);
        for (uint32_t k = 0; k < size; ++k) e->watched[k] = s.target.mem.getbyte(value.address + k);
        if (user && !mute) puttext({eventline(*e)});
    }
    return after;
}

Cursor Debugger::newlevent(Cursor text, const ExprValue& value, uint32_t count, int user, bool watch,
                           bool enabled) {
    EventRecord* e;
    Cursor after = makeevent(
        *this, text, 'l', [&](const EventRecord& o) { return o.address == value.address; }, count, user, watch,
        enabled, e);
    if (e) {
        e->text = value.text;
        e->address = value.address;
        if (user && !mute) puttext({eventline(*e)});
    }
    return after;
}

Cursor Debugger::newdatabkpt(Cursor text, const ExprValue& value, uint32_t count, char access, bool watch,
                             bool enabled) {
    std::string body;
    Cursor after = takebody(text, body);
    EventRecord* e = newevent(1, watch, enabled, count, access == 'R' || access == 'W' ? access : 'A');
    e->cls = 'D';
    e->body = body;
    e->text = value.text;
    e->address = value.address;
    e->length = typesizeof(value);
    if (e->length == 0 || e->length > 0x10000) e->length = 4;
    echo(*this, *e);
    return after;
}

ExprAt evalat(Cursor text, int mode) {
    ExprAt r;
    r.start = r.end = skipblanks(text);
    r.value.reset(xexpr(r.end, r.error, mode));
    r.text.assign(r.start, size_t(r.end - r.start));
    while (!r.text.empty() && uint8_t(r.text.back()) <= ' ') r.text.pop_back();
    if (r.value && r.value->text.empty()) r.value->text = r.text;
    return r;
}

Cursor Debugger::exprevent(Cursor text, uint32_t count, int user, bool watch, bool enabled, bool silent) {
    ExprAt x = evalat(text, 1);
    Cursor p = x.start, cursor = x.end;
    int error = x.error;
    ExprValue* v = x.value.get();
    const std::string& what = x.text;
    if (!v || what.empty()) error = error ? error : msgid::BadBreak;
    if (!error && v->kind == term::Value) error = msgid::BadBreak;
    std::optional<uint32_t> at;
    if (!error && v->kind == term::Symbol && !(at = s.symbolport.findsym(v->text.empty() ? what : v->text)))
        error = msgid::BadBreak;
    if (error) {
        if (!silent) puterror({msgtext(error), ": ", what.empty() ? std::string(p) : what, "\n"});
        return nullptr;
    }
    const bool oldmute = mute;
    if (silent) mute = true;
    Cursor after;
    if (v->kind == term::Symbol)
        after = newsevent(cursor, v->text, *at, count, user, watch, enabled);
    else if (v->kind == sc::TLabel || v->kind == sc::TGLabel)
        after = newlevent(cursor, *v, count, user, watch, enabled);
    else
        after = newdataevent(cursor, *v, count, user, watch, enabled);
    mute = oldmute;
    return after;
}

Cursor Debugger::newlineevents(Cursor text, const LocationSpec& loc, uint32_t count, int user, bool whole,
                               bool watch, bool enabled) {
    DebugInfo& d = di();
    auto fail = [&](char letter) {
        locerror = letter;
        return text + std::strlen(text);
    };
    FileRecord* file = nullptr;
    FunctionRecord* func = nullptr;
    uint32_t first = loc.line, last = loc.endline > 0 ? uint32_t(loc.endline) : loc.line;
    if (loc.file) {
        file = findfile(d, loc.file);
        if (!file) {
            puterror({loc.file, ": ", msgtext(msgid::NoFile), "\n"});
            return fail('K');
        }
        if (!loc.line) first = file->firstline, last = file->lastline;
    }
    if (loc.function) {
        func = findfunc(d, loc.function, loc.file);
        if (!func) {
            puterror({loc.function, "(): ", msgtext(msgid::NoFunc), "\n"});
            return fail('L');
        }
        if (!loc.line) {
            first = func->firstline;
            last = whole ? func->lastline : func->firstline;
        } else if (first < func->firstline || first > func->lastline || last < func->firstline ||
                   last > func->lastline) {
            puterror({func->name, "():", std::to_string(first), ": ", msgtext(msgid::NoLine), "\n"});
            return fail('M');
        }
        if (!file) file = func->file;
    }
    if (!file)
        if (CallFrame* f = currentframe()) file = f->func->file;
    if (!file) {
        puterror({"Missing File/function specification for ", watch ? "WatchPoint\n" : "Breakpoint\n"});
        return fail('K');
    }
    if (loc.line && (first < file->firstline || first > file->lastline || last > file->lastline)) {
        puterror({file->name, ":", std::to_string(first), ": ", msgtext(msgid::NoLine), "\n"});
        return fail('M');
    }
    for (auto& e : events)
        if (!e->removed && e->kind == 't' && e->file == file && e->func == func && e->first == first) {
            std::string body;
            Cursor after = takebody(text, body);
            update(*this, *e, count, body, after != text);
            return after;
        }
    if (loc.line) {
        bool found = false;
        for (LineRecord* r : d.lines) {
            if (r->file != file->name) continue;
            if (r->kind != kind::Exit && r->kind != kind::Line && r->kind != kind::Start) continue;
            if (r->line == first || (r->line > first && r->line <= last)) {
                found = true;
                break;
            }
        }
        if (!found) {
            puterror({file->name, ":", std::to_string(first), ": ", msgtext(msgid::NoCode), "\n"});
            return fail('U');
        }
    }
    EventRecord* e;
    Cursor after = makeevent(
        *this, text, 't', [](const EventRecord&) { return false; }, count, user, watch, enabled, e);
    e->file = file;
    e->func = func;
    e->first = first;
    e->last = last < first ? first : last;
    echo(*this, *e);
    return after;
}

bool Debugger::hasdataevents() const {
    for (auto& e : events)
        if (!e->removed && e->kind == 'd') return true;
    return false;
}

bool Debugger::hasstepevents() const {
    for (auto& e : events)
        if (!e->removed && (e->kind == 't' || e->kind == 'd')) return true;
    return false;
}

std::vector<uint32_t> Debugger::eventaddresses() const {
    std::vector<uint32_t> out;
    for (auto& e : events)
        if (!e->removed && (e->kind == 'a' || e->kind == 's' || e->kind == 'l')) out.push_back(e->address);
    return out;
}

bool Debugger::hasaddrevent(uint32_t address) {
    if (addrdirty) {
        addrindex = eventaddresses();
        std::sort(addrindex.begin(), addrindex.end());
        addrdirty = false;
    }
    return !addrindex.empty() && std::binary_search(addrindex.begin(), addrindex.end(), address);
}

EventRecord* Debugger::chkevents(CallFrame* frame, LineRecord* line, bool afterstep) {
    if (aggregatewins && afterstep && dropaggregates) dropaggregates();
    if (events.empty()) return nullptr;
    const uint32_t at = pc();
    const bool perinsn = !afterstep;
    EventRecord* stopper = nullptr;
    EventRecord* watcher = nullptr;
    ++walking;
    for (size_t i = 0; i < events.size(); ++i) {
        EventRecord* e = events[i].get();
        if (e->removed || !e->enabled) continue;
        bool match = false;
        switch (e->kind) {
        case 'a':
        case 's':
        case 'l': match = e->address == at; break;
        case 't':
            if (frame && line) {
                const uint32_t n = line->kind == kind::Frame ? frame->line : line->line;
                match = e->first == 0 || (n >= e->first && n <= e->last);
                if (match && line->owner) {
                    if (e->file && line->owner->file != e->file) match = false;
                    if (e->func && line->owner != e->func) match = false;
                }
                if (match && line->kind != kind::Frame) {
                    frame->line = line->line;
                    frame->column = line->column;
                    frame->endcolumn = line->endcolumn;
                }
            }
            break;
        case 'd':
            if (frame) {
                for (size_t k = 0; k < e->watched.size(); ++k) {
                    uint8_t b = s.target.mem.getbyte(e->address + uint32_t(k));
                    if (b != e->watched[k]) match = true;
                    e->watched[k] = b;
                }
            }
            break;
        default: break;
        }
        if (!match) continue;
        const bool addr = e->kind == 'a' || e->kind == 's' || e->kind == 'l';
        if (perinsn) {
            // Counted here, once per pass; the step's end takes it at 0.
            if (!addr) continue;
            if (e->countdown > 0 && --e->countdown > 0) continue;
            if (!e->watch && !stopper) stopper = e;
            if (!watcher) watcher = e;
            continue;
        }
        if (addr) {
            if (e->countdown != 0) continue;
        } else if (e->countdown > 1) {
            --e->countdown;
            continue;
        }
        // Triggered.
        // A data change is told for the stop points of go and step too.
        if (mode.level <= 1 && (e->user || e->kind == 'd')) {
            if (e->kind == 'd') {
                std::string where = line && line->owner ? " " + line->owner->name + "():" + std::to_string(line->line)
                                                        : std::string(" ????");
                puttext({e->text, msgtext(msgid::Modified), where, "\n"});
            } else if (!e->watch) {
                std::string part = eventline(*e);
                part = part.substr(0, part.find("  {"));
                puttext({msgtext(msgid::Breakpoint), part, "\n"});
            }
        }
        runbody(e);
        if (e->watch) ++e->hits;
        e->countdown = e->count;
        fireeventcbs(e->number);
        if (!e->user) rmevent(e->number, 1);
        if (!e->watch && !stopper) stopper = e;
        if (!watcher) watcher = e;
    }
    --walking;
    // Removed events (internal ones that triggered, those a body deleted)
    // are freed by the caller once it has looked at the result.
    return stopper ? stopper : watcher;
}

void Debugger::runbody(EventRecord* e) {
    if (e->body.empty()) return;
    const std::string body = e->body;  // the body may delete its event
    const bool oldclean = cleanup;
    replaying = true;
    refreshing = 0;
    cleanup = false;
    doblock(body.c_str(), e->user);
    cleanup = oldclean;
    if (refreshing == 0) norefresh = false;
    replaying = false;
}

void Debugger::purgeevents() {
    if (walking || events.empty()) return;
    std::erase_if(events, [](const std::unique_ptr<EventRecord>& e) { return e->removed; });
}

int Debugger::rmevent(int number, int user) {
    bool any = false;
    for (auto& e : events) {
        if (e->removed) continue;
        if (number == -1 || e->number == number) {
            e->removed = true;
            any = true;
        }
    }
    if (!any) {
        if (number == -1) {
            if (user) puterror({msgtext(msgid::NoneSet), "\n"});
        } else {
            puterror({msgtext(msgid::NotFound), "\n"});
        }
    }
    eventchange();
    purgeevents();
    return 1;
}

void Debugger::setevents(char letter, int number) {
    if (number == -1) {
        for (auto& e : events)
            if (!e->removed && e->user) e->enabled = letter == 'a';
        return;
    }
    if (EventRecord* e = findnumber(number))
        e->enabled = letter == 'a';
    else
        puterror({msgtext(msgid::NotFound), "\n"});
}

std::string Debugger::eventline(const EventRecord& e) const {
    std::string t;
    switch (e.kind) {
    case 't':
        t = " " + (e.file ? e.file->name : std::string());
        if (e.func) t += " " + e.func->name + "()";
        if (e.first == 0)
            t += ":anyline";
        else {
            t += ":" + std::to_string(e.first);
            if (e.last != e.first) t += ":" + std::to_string(e.last);
        }
        break;
    case 'l': t = " " + e.text + " (" + hex(e.address) + ")"; break;
    case 'a': t = " at absolute address: " + hex(e.address); break;
    case 's': t = " at: " + e.text + " (" + hex(e.address) + ")"; break;
    case 'd': t = e.text + " "; break;
    default:
        t = " " + e.text + (e.kind == 'W' ? " (write) " : e.kind == 'R' ? " (read) " : " (access) ");
        break;
    }
    t += "  {" + e.body + "} ";
    t += e.user ? "(user)" : "(internal)";
    t += " (count = " + std::to_string(e.count) + ", left = " + std::to_string(e.countdown) + ") ";
    t += e.enabled ? "(on)\n" : "(off)\n";
    return t;
}

void Debugger::listevents(bool watch) {
    bool any = false;
    for (auto& e : events)
        if (!e->removed) any = true;
    if (!any) {
        puterror({msgtext(msgid::NoneSet), "\n"});
        return;
    }
    for (auto& e : events)
        if (!e->removed && e->watch == watch) puttext({"(", std::to_string(e->number), ")   ", eventline(*e)});
}

std::string Debugger::eventcommand(const EventRecord& e) const {
    std::string t = e.cls == 'D' ? "d" : "";
    t += e.watch ? "watch " : "break ";
    if (e.cls == 'D' && e.kind != 'A') t += std::string("/T:") + e.kind + " ";
    if (e.count > 1) t += "/C:" + std::to_string(e.count) + " ";
    return t + eventlocation(e);
}

std::string Debugger::eventlocation(const EventRecord& e) const {
    std::string t;
    switch (e.kind) {
    case 't':
        t += e.func ? e.func->name + "()" : (e.file ? e.file->name : std::string());
        if (e.first == 0)
            t += ":";
        else {
            t += ":" + std::to_string(e.first);
            if (e.last != e.first) t += ":" + std::to_string(e.last);
        }
        break;
    case 'a': t += "@" + hex(e.address); break;
    default: t += e.text; break;
    }
    if (!e.body.empty()) t += " {" + e.body + "}";
    return t;
}

void Debugger::writeevents(std::FILE* file) {
    for (auto& e : events) {
        if (e->removed || !e->user) continue;
        std::string t = eventcommand(*e) + "\n";
        std::fwrite(t.data(), 1, t.size(), file);
    }
}

void Debugger::dropinternalevents() {
    bool any = false;
    for (auto& e : events)
        if (!e->removed && !e->user) e->removed = any = true;
    if (any) {
        eventchange();
        purgeevents();
    }
}

}  // namespace vek

// Events browser lines and event editor commands (see eventview.h).
#include "vek/views/model/eventview.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "vek/command/control/control.h"
#include "vek/views/model/listtext.h"

namespace vek::views {

static std::string hexaddress(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%x", v);
    return b;
}

std::string eventbrowserline(const EventRecord& e) {
    std::string s;
    s.push_back(e.enabled ? mk::Active : mk::Suspended);
    s += "(" + std::to_string(e.number) + ") ";
    s += e.watch ? " W " : " B ";
    if (e.cls == 'D') {
        s += " " + e.text;
        s += e.kind == 'W' ? " (write) " : e.kind == 'R' ? " (read) " : " (access) ";
    } else if (e.kind == 't') {
        s += " ";
        s += e.file ? e.file->name : std::string();
        if (e.func) s += " " + e.func->name + "()";
        if (e.first) {
            s += ":" + std::to_string(e.first);
            if (e.last != e.first) s += ":" + std::to_string(e.last);
        } else {
            s += ":anyline";
        }
    } else if (e.kind == 's') {
        s += "at: " + e.text + " (" + hexaddress(e.address) + ")";
    } else if (e.kind == 'a') {
        s += "at Absolute address: " + hexaddress(e.address);
    } else {
        s += e.text + " ";
    }
    s += "  {" + e.body + "} ";
    s += "(user)";
    s += " (count = " + std::to_string(e.count) + ", left = " + std::to_string(e.countdown) + ") ";
    s += e.enabled ? "(on) " : "(off)";
    s += "\n";
    return s;
}

std::vector<const EventRecord*> userevents(const Debugger& d) {
    std::vector<const EventRecord*> list;
    for (auto& e : d.events)
        if (e->user && !e->removed) list.push_back(e.get());
    return list;
}

std::string eventbrowsertext(const Debugger& d) {
    std::string t;
    for (auto* e : userevents(d)) t += eventbrowserline(*e);
    return t;
}

std::string eventlistfile(const std::string& text) {
    std::string out = "\n\tEvents\n\n";
    size_t from = 0;
    while (from < text.size()) {
        size_t lf = text.find('\n', from);
        if (lf == std::string::npos) lf = text.size();
        out += plaintext(std::string_view(text).substr(from, lf - from)) + "\n";
        from = lf + 1;
    }
    return out;
}

std::string onoffcommand(const EventRecord& e) {
    return (e.enabled ? "break /s " : "break /a ") + std::to_string(e.number);
}
std::string deletecommand(const EventRecord& e) { return "del /e " + std::to_string(e.number); }

// A number as the command language reads it: decimal, or 0x / trailing h hex.
static bool isnumbertext(const std::string& t) {
    uint32_t v;
    return !t.empty() && isnumber(t.c_str(), t.size(), v);
}

bool buildcodeevent(const CodeEventFields& f, bool (*issymbol)(const std::string&, void*), void* ctx,
                    std::string& out) {
    auto fail = [&](const char* m) {
        out = m;
        return false;
    };
    bool fn = !f.function.empty(), file = !f.file.empty() && f.file != "*.*", addr = !f.address.empty();
    bool start = !f.start.empty(), end = !f.end.empty();
    if (!fn && !file && !addr) return fail("Missing Specification");
    if (addr && (file || fn)) return fail("Illegal Address AND File/Func Specification");
    if (addr && (start || end)) return fail("Illegal Address AND Start/End Specification");
    if (end && !start) return fail("Missing START specification");
    if (start && !file && !fn) return fail("Missing File/Func Specification");
    std::string c = f.watch ? "watch" : "break";
    if (!f.count.empty()) c += " /C:" + f.count;
    c += " ";
    if (addr) {
        if (isnumbertext(f.address))
            c += "@" + f.address;
        else if (issymbol && issymbol(f.address, ctx))
            c += " " + f.address;
        else
            return fail("Incorrect Address Specification");
    } else {
        c += fn ? f.function + "()" : f.file;
        c += ":";
        if (start) c += f.start;
        if (end) c += ":" + f.end;
    }
    c += " {" + f.action + "}";
    if (c.size() > MaxEventCommand) return fail("Command too long");
    out = c;
    return true;
}

std::string builddataevent(bool watch, char kind, const std::string& count, const std::string& variable,
                           const std::string& action) {
    std::string c = watch ? "dwatch " : "dbreak ";
    c += std::string("/T:") + kind + " ";
    if (!count.empty()) c += "/C:" + count;
    c += " " + variable + " {" + action + "}";
    return c;
}

bool replaceevent(Debugger& d, int number, const std::string& command, bool suspended, const char* suspendword,
                  const std::function<void(const std::string&, int)>& run) {
    EventRecord* old = d.findnumber(number);
    std::string again;
    bool enabled = true;
    if (old) {
        again = d.eventcommand(*old);
        enabled = old->enabled;
        d.rmevent(number, 0);
    }
    d.lastevent = 0;
    run(command, 1);
    if (d.lastevent != 0) {
        if (suspended) run(std::string(suspendword) + " /s " + std::to_string(d.lastevent), 0);
        return true;
    }
    if (!old) return false;
    run(again, 1);
    if (EventRecord* e = d.lastevent ? d.findnumber(d.lastevent) : nullptr) {
        e->number = uint16_t(number);
        e->enabled = enabled;
        std::stable_sort(d.events.begin(), d.events.end(),
                         [](const auto& a, const auto& b) { return a->number < b->number; });
        d.eventchange();
    }
    return false;
}

}  // namespace vek::views

// The Disassembly pane without a screen.
#include "vek/views/machinemodel/disasm.h"

#include <algorithm>
#include <cstdio>

namespace vek::views {

namespace {

unsigned decodeat(const MemEnv& env, uint32_t a, std::string& text) {
    const unsigned n = env.decode ? env.decode(a, text) : 4;
    return n ? n : 2;
}

bool sourceline(const MemEnv& env, uint32_t pc, uint32_t& start, uint32_t& next) {
    return env.linerange && env.linerange(pc, start, next);
}

}  // namespace

void builddisalines(DisasmPane& p, const MemEnv& env, uint32_t address, bool keepstart, uint32_t pc) {
    const int n = std::max(p.linecount, 1);
    p.table.clear();
    p.lines.clear();
    uint32_t s = address, e = address;
    if (keepstart) {
        p.start = address;
    } else if (pc == address && sourceline(env, pc, s, e)) {
        p.start = p.hlstart = s;
        p.hlnext = e;
    } else {
        p.start = p.hlstart = p.hlnext = address;
    }
    uint32_t a = p.start;
    for (int i = 0; i < n; ++i) {
        std::string text;
        const unsigned len = decodeat(env, a, text);
        const size_t blank = text.find(' ');
        if (blank == std::string::npos) text += std::string{Esc, ColChanged};
        else text.insert(blank + 1, std::string{Esc, ColChanged});
        char head[16];
        std::snprintf(head, sizeof head, "%08x ", unsigned(a));
        p.table.push_back(a);
        p.lines.push_back(head + std::string{Esc, ColMnemonic} + text + " ");
        p.end = a;
        a += len;
    }
}

bool refreshdisasm(DisasmPane& p, const MemEnv& env, uint32_t pc) {
    const bool filled = !p.table.empty() && int(p.table.size()) >= std::max(p.linecount, 1);
    uint32_t s = pc, e = pc;
    const bool line = sourceline(env, pc, s, e);
    bool visible = filled && pc >= p.start && pc < p.end;
    if (visible && line)
        visible = s >= p.start && e < p.end && std::find(p.table.begin(), p.table.end(), pc) != p.table.end();
    if (visible) {
        p.hlstart = line ? s : pc;
        p.hlnext = line ? e : pc;
        return false;
    }
    builddisalines(p, env, pc, false, pc);
    return true;
}

bool scrolldisasm(DisasmPane& p, const MemEnv& env, ScrollAction a, uint32_t pc) {
    if (env.running && env.running()) return false;
    std::string text;
    if (a == LineUp || a == PageUp) {
        if (p.start == 0) return true;
        uint32_t back = 8;
        for (uint32_t k = 1; k <= 7; ++k)
            if (k == p.start || decodeat(env, p.start - k, text) == k) {
                back = k;
                break;
            }
        builddisalines(p, env, p.start - back, true, pc);
    } else {
        const uint32_t next = p.table.size() < 2 ? p.start + decodeat(env, p.start, text) : p.table[1];
        builddisalines(p, env, next, true, pc);
    }
    return true;
}

bool disasmkey(char c, std::string& command) {
    command.clear();
    switch (c) {
    case 'g': command = "go"; return true;
    case 'G': command = "tgo"; return true;
    case 'i': case 'I': case 's': case 'S': command = "istep"; return true;
    case 'a': case 'A': case 'b': case 'B': case 'r': case 'R': case 'w': case 'W': return true;
    default: return false;
    }
}

MemClick disasmclick(const DisasmPane& p, const MemEnv& env, int row, int col, bool right, unsigned keys) {
    MemClick r;
    if (env.running && env.running()) return r.what = MemClick::Beep, r;
    if (row < 0 || size_t(row) >= p.table.size() || col < 0) return r;
    const uint32_t a = p.table[size_t(row)];
    // A left double click on an address that carries an event does nothing.
    if (col <= 7) return addressclick(env, a, keys, right);
    if (col == 8) return r;
    // The line's text with the escapes taking no column.
    std::string text;
    const std::string& l = p.lines[size_t(row)];
    for (size_t i = 0; i < l.size(); ++i)
        if (l[i] == Esc) ++i;
        else text += l[i];
    return wordclick(text, size_t(col), 9);
}

}  // namespace vek::views

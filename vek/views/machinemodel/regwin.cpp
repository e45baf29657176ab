// The Registers window without a screen.
#include "vek/views/machinemodel/regwin.h"

#include <cstdio>
#include <cstdlib>

namespace vek::views {

namespace {
constexpr unsigned RegLr = 33, RegCtr = 34, RegCr = 35, RegXer = 36, RegPc = 37;

uint32_t reg(const RegSource& s, unsigned n) { return s.getreg ? s.getreg(n) : 0; }
}  // namespace

std::string registertext(const RegSource& s) {
    std::string t;
    char b[128];
    for (unsigned k = 0; k < 8; ++k) {
        std::snprintf(b, sizeof b, " r%u:%08x  %sr%u:%08x  r%u:%08x  r%u:%08x\n", k, reg(s, k + 1), k + 8 < 10 ? " " : "",
                      k + 8, reg(s, k + 9), k + 16, reg(s, k + 17), k + 24, reg(s, k + 25));
        t += b;
    }
    std::snprintf(b, sizeof b, "     xer:%08x  cr:%08x  ctr:%08x\n", reg(s, RegXer), reg(s, RegCr), reg(s, RegCtr));
    t += b;
    std::snprintf(b, sizeof b, "      lr:%08x  pc:%08x\n", reg(s, RegLr), reg(s, RegPc));
    t += b;
    std::snprintf(b, sizeof b, "\n   Instr.: %010u\n   Cycles: %010u %010u ", s.instructions, s.lastcycles, s.cycles);
    t += b;
    return t;
}

const std::vector<RegField>& regfields() {
    static const std::vector<RegField> table = [] {
        std::vector<RegField> t;
        for (uint16_t k = 0; k < 8; ++k) {
            t.push_back({uint16_t(k + 1), k, 1, 2, 4, 11});
            t.push_back({uint16_t(k + 9), k, 14, 16, 18, 25});
            t.push_back({uint16_t(k + 17), k, 28, 30, 32, 39});
            t.push_back({uint16_t(k + 25), k, 42, 44, 46, 53});
        }
        t.push_back({RegXer, 8, 5, 7, 9, 16});
        t.push_back({RegCr, 8, 19, 21, 22, 29});
        t.push_back({RegCtr, 8, 32, 34, 36, 43});
        t.push_back({RegLr, 9, 6, 7, 9, 16});
        t.push_back({RegPc, 9, 19, 20, 22, 29});
        t.push_back({0xFFFF, 11, 0, 0, 11, 20});
        t.push_back({0, 12, 0, 0, 0, 0});
        return t;
    }();
    return table;
}

bool paintregs(RegisterPane& p, const std::string& text, bool always) {
    if (!always && p.painted && text == p.last) return false;
    std::vector<bool> changed(text.size(), false);
    if (p.painted)
        for (size_t i = 0; i < text.size(); ++i) changed[i] = i >= p.last.size() || p.last[i] != text[i];
    p.last = text;
    p.changed = std::move(changed);
    p.painted = true;
    return true;
}

namespace {
uint32_t fieldvalue(const RegSource& s, const RegField& f) {
    return f.reg == 0xFFFF ? s.instructions : reg(s, f.reg);
}
}  // namespace

RegClick regclick(RegisterPane& p, const RegSource& s, int row, int col, bool running) {
    RegClick r;
    if (running) return r.what = RegClick::Beep, r;
    if (row > 14 || row < 0) return r;
    if ((row == 12 || row == 13) && col >= 22 && col <= 31) return r.what = RegClick::CycleEdit, r;
    if (row == 13) return r.what = RegClick::Beep, r;
    const auto& t = regfields();
    size_t i = 0;
    for (; i < t.size(); ++i) {
        const RegField& f = t[i];
        if (f.line > row) break;
        if (f.line == row && ((col >= f.labelfirst && col <= f.labellast && f.labellast) ||
                              (col >= f.valuefirst && col <= f.valuelast)))
            break;
    }
    if (i >= t.size() || t[i].line != row || t[i].reg == 0) return r.what = RegClick::Beep, r;
    const RegField& f = t[i];
    p.pcatstart = reg(s, RegPc);
    if (p.editing) {
        regendedit(p, s);
        return r.what = RegClick::EndEdit, r;
    }
    r.field = int(i);
    if (col >= f.valuefirst && col <= f.valuelast) {
        char b[32];
        std::snprintf(b, sizeof b, f.reg == 0xFFFF ? "%010u" : "%08x", fieldvalue(s, f));
        p.edittext = b;
        p.editing = true;
        p.field = int(i);
        p.caretpos = col - f.valuefirst;
        p.caretcol = col;
        p.caretrow = row;
        r.what = RegClick::Edit;
    } else {
        r.what = RegClick::Dialog;
    }
    return r;
}

bool regtype(RegisterPane& p, const RegSource& s, char c) {
    if (!p.editing || p.field < 0) return false;
    if (c == '\r' || c == '\n') {
        regendedit(p, s);
        return true;
    }
    const RegField& f = regfields()[size_t(p.field)];
    const bool counter = f.reg == 0xFFFF;
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    // The counter reads in decimal, so only decimal digits are taken.
    if (!hex || (counter && !(c >= '0' && c <= '9'))) return false;
    std::string text = p.edittext;
    if (size_t(p.caretpos) < text.size()) text[size_t(p.caretpos)] = c;
    // A digit that takes the value beyond 32 bits is refused.
    if (std::strtoull(text.c_str(), nullptr, counter ? 10 : 16) > 0xFFFFFFFFull) return false;
    p.edittext = text;
    p.caretpos += 1;
    if (p.caretpos > f.valuelast - f.valuefirst) p.caretpos = 0;
    p.caretcol = f.valuefirst + p.caretpos;
    const unsigned long long v = std::strtoull(p.edittext.c_str(), nullptr, counter ? 10 : 16);
    if (counter) {
        if (s.setinstructions) s.setinstructions(uint32_t(v));
    } else if (s.storereg) {
        s.storereg(f.reg, uint32_t(v));
    }
    return true;
}

bool regendedit(RegisterPane& p, const RegSource& s) {
    const bool was = p.editing;
    p.editing = false;
    p.field = -1;
    return was && reg(s, RegPc) != p.pcatstart;
}

}  // namespace vek::views

// Address lookups over the address-ordered debug records. Records sharing an
// address keep the order the reader gave them (a function end before the
// next file's start), so each lookup finds the first record at or above an
// address by binary search and then looks only at the records around it.
#include <algorithm>

#include "vek/core/debuginfo/lookup.h"

namespace vek {

namespace {

size_t lowerat(const DebugInfo& di, uint32_t a) {
    return size_t(std::lower_bound(di.lines.begin(), di.lines.end(), a,
                                   [](const LineRecord* r, uint32_t x) { return r->address < x; }) -
                  di.lines.begin());
}
size_t upperat(const DebugInfo& di, uint32_t a) {
    return size_t(std::upper_bound(di.lines.begin(), di.lines.end(), a,
                                   [](uint32_t x, const LineRecord* r) { return x < r->address; }) -
                  di.lines.begin());
}

bool ofkind(const LineRecord* r, std::initializer_list<uint8_t> kinds) {
    return std::find(kinds.begin(), kinds.end(), r->kind) != kinds.end();
}

// The first record of the kinds at the address, else the last one below it.
LineRecord* lastbelow(const DebugInfo& di, uint32_t address, std::initializer_list<uint8_t> kinds) {
    size_t j = lowerat(di, address), k = upperat(di, address);
    for (size_t i = j; i < k; ++i)
        if (ofkind(di.lines[i], kinds)) return di.lines[i];
    for (size_t i = j; i-- > 0;)
        if (ofkind(di.lines[i], kinds)) return di.lines[i];
    return nullptr;
}

LineRecord* stmtat(const DebugInfo& di, uint32_t address, bool ownonly) {
    for (size_t i = lowerat(di, address); i < di.lines.size() && di.lines[i]->address == address; ++i) {
        LineRecord* r = di.lines[i];
        if (ownonly && !r->owner) continue;
        if (r->kind != kind::Tables && r->kind != kind::End && r->kind != kind::Module) return r;
        LineRecord* n = di.next(r);
        if (r->kind == kind::End && n && n->address == address && (!ownonly || n->owner)) return n;
    }
    return nullptr;
}

}  // namespace

LineRecord* findlineat(const DebugInfo& di, uint32_t address) {
    return lastbelow(di, address, {kind::Line, kind::Start});
}

LineRecord* findstopline(const DebugInfo& di, uint32_t address) {
    return lastbelow(di, address, {kind::Frame, kind::Exit, kind::Line, kind::Start});
}

LineRecord* findlastat(const DebugInfo& di, uint32_t address) {
    for (size_t i = upperat(di, address); i-- > 0;)
        if (ofkind(di.lines[i], {kind::Frame, kind::Line, kind::Start})) return di.lines[i];
    return nullptr;
}

LineRecord* findnextline(const DebugInfo& di, uint32_t address, int flag) {
    for (size_t i = upperat(di, address); i < di.lines.size(); ++i) {
        LineRecord* r = di.lines[i];
        if (r->kind == kind::Line || r->kind == kind::Start || (!flag && r->kind == kind::End)) return r;
    }
    return nullptr;
}

LineRecord* findkindat(const DebugInfo& di, LineRecord* rec, uint8_t k) {
    LineRecord* found = nullptr;
    for (LineRecord* r = rec; r && r->address == rec->address; r = di.next(r)) {
        if (r->kind != k) continue;
        found = r;
        if (k != kind::Line) break;
    }
    return found;
}

LineRecord* findstmtat(const DebugInfo& di, uint32_t address) { return stmtat(di, address, false); }
LineRecord* findownstmtat(const DebugInfo& di, uint32_t address) { return stmtat(di, address, true); }

LineRecord* findframerec(const DebugInfo& di, LineRecord* rec) {
    if (!rec || !rec->owner) return nullptr;
    for (size_t i = lowerat(di, rec->address); i < di.lines.size() && di.lines[i]->address == rec->address; ++i)
        if (di.lines[i]->kind == kind::Frame && di.lines[i]->owner == rec->owner) return di.lines[i];
    return nullptr;
}

LineRecord* findexitrec(const DebugInfo& di, LineRecord* rec, uint32_t pc) {
    if (!rec) return nullptr;
    if (pc == rec->address) return findkindat(di, rec, kind::Exit);
    for (LineRecord* r = rec; r && r->address <= pc; r = di.next(r))
        if (r->kind == kind::Exit) return r;
    return nullptr;
}

std::string_view cname(std::string_view label) {
    if (size_t d = label.rfind('$'); d != std::string_view::npos && d + 1 < label.size() &&
                                      label.find_first_not_of("0123456789", d + 1) == std::string_view::npos)
        label = label.substr(0, d);
    if (label.size() > 1 && label[0] == 'L') {
        size_t k = 1;
        while (k < label.size() && label[k] >= '0' && label[k] <= '7') ++k;
        if (k > 1 && k < label.size() && label[k] == '_') return label.substr(k + 1);
        return label;
    }
    if (label.size() > 1 && label[0] == '_') return label.substr(1);
    return label;
}

LineRecord* findtablesmark(const DebugInfo& di, const char* file, std::string_view func) {
    for (LineRecord* r : di.lines)
        if (r->kind == kind::Tables && r->func == func && (!file || r->file == file)) return r;
    // The compiler names a function's tables by its C name, its code by its label.
    std::string_view plain = cname(func);
    if (plain != func)
        for (LineRecord* r : di.lines)
            if (r->kind == kind::Tables && r->func == plain && (!file || r->file == file)) return r;
    return nullptr;
}

LineRecord* findlinebyname(const DebugInfo& di, LineRecord* start, std::string_view file, uint32_t line,
                           uint32_t column, bool exact) {
    for (LineRecord* r = start ? start : di.first(); r; r = di.next(r)) {
        if (r->kind != kind::Line && r->kind != kind::End && r->kind != kind::Start) continue;
        if (r->file != file) continue;
        if (exact) {
            if (r->line == line && r->column == column) return r;
        } else if (line >= r->line && (r->endline == r->line ? line < uint32_t(r->endline) + 1 : line < r->endline)) {
            return r;
        }
    }
    return nullptr;
}

void profilestep(DebugInfo& di, uint32_t address, uint32_t before, uint32_t now) {
    int32_t spent = int32_t(now - before);
    size_t j = lowerat(di, address), k = upperat(di, address);
    for (size_t i = j; i < k; ++i) {
        LineRecord* r = di.lines[i];
        if (r->kind & 0x43) continue;
        if (!(r->kind & 0x28)) continue;
        if (r->kind == kind::Start && i + 2 < di.lines.size() && di.lines[i + 2]->address == address) {
            LineRecord* first = di.lines[i + 2];
            first->cycles = int32_t(uint32_t(first->cycles) + uint32_t(spent));
            first->hits++;
            r->hits++;
        } else {
            r->cycles = int32_t(uint32_t(r->cycles) + uint32_t(spent));
            r->hits++;
        }
        return;
    }
    if (j != k || k == 0) return;
    LineRecord* r = di.lines[k - 1];
    if (r->kind & 0x43) return;
    if (k == di.lines.size() || (di.lines[k]->kind & 0x1C))
        r->cycles = int32_t(uint32_t(r->cycles) + uint32_t(spent));
}

std::string readtgtstrn(const std::function<uint8_t(uint32_t)>& getbyte, uint32_t address, uint32_t n) {
    std::string text = "\"";
    for (uint32_t kept = 0;; ++kept, ++address) {
        uint8_t c = getbyte(address);
        if (c == 0 || kept >= n) break;
        if (kept == 250) {
            text += "...";
            break;
        }
        text += char(c);
    }
    text += '"';
    return text;
}

std::string readtgtstr(const std::function<uint8_t(uint32_t)>& getbyte, uint32_t address) {
    return readtgtstrn(getbyte, address, UINT32_MAX);
}

int islinestart(const DebugInfo& di, uint32_t address) {
    size_t j = lowerat(di, address);
    // Below the address only a nameless start right before a line at the
    // address can settle the question.
    if (j > 0 && j < di.lines.size()) {
        const LineRecord* r = di.lines[j - 1];
        const LineRecord* n = di.lines[j];
        if (r->kind == kind::Start && r->func.empty() && n->kind == kind::Line && n->address == address) return 1;
    }
    for (size_t i = j; i < di.lines.size(); ++i) {
        const LineRecord* r = di.lines[i];
        if (r->kind == kind::Line && r->address == address) return 1;
        if (r->kind == kind::Start) {
            if (!r->func.empty()) {
                if (r->address > address) return 0;
            } else {
                const LineRecord* n = di.next(r);
                if (n && n->kind == kind::Line && n->address == address) return 1;
                if (r->address >= address) return 0;
            }
        }
        if (r->kind == kind::End && r->address > address) return 1;
    }
    return 0;
}

LineRecord* lineaddr(const DebugInfo& di, std::string_view file, uint32_t line, int32_t column) {
    for (LineRecord* r : di.lines) {
        if (r->kind != kind::Line && r->kind != kind::Start && r->kind != kind::End) continue;
        if (r->file == file && r->line == line && (column < 0 || r->column == uint32_t(column))) return r;
    }
    return nullptr;
}

}  // namespace vek

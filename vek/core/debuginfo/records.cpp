// The debug records of an object file: each record's text is cut into file,
// function and line numbers, and the record is filed in address order. After
// the last record a single pass checks that every line lies inside a
// function start/end pair and drops the doubled records the assembler leaves
// at one address.
#include <atomic>
#include <algorithm>
#include <cstdio>

#include "vek/core/debuginfo/debuginfo.h"

namespace vek {

namespace {

// Reads a decimal number at text[i], keeping the low 16 bits like the
// record fields do. False when no digit is there.
bool readnum(std::string_view text, size_t& i, uint32_t& value) {
    size_t start = i;
    value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + uint32_t(text[i] - '0');
        ++i;
    }
    return i > start;
}

// "[+]line[.col][-endline[.endcol]]" after the last ':'.
void parselines(LineRecord& rec, std::string_view rest) {
    size_t i = 0;
    if (i < rest.size() && rest[i] == '+') {
        rec.flags |= 0x40;
        ++i;
    }
    uint32_t n = 0;
    readnum(rest, i, n);
    rec.line = uint16_t(n);
    rec.column = 0;
    if (i < rest.size() && rest[i] == '.') {
        ++i;
        readnum(rest, i, n);
        rec.column = uint16_t(n);
    }
    rec.endline = rec.line;
    rec.endcolumn = rec.column;
    if (i < rest.size() && rest[i] == '-') {
        ++i;
        readnum(rest, i, n);
        rec.endline = uint16_t(n);
        if (i < rest.size() && rest[i] == '.') {
            ++i;
            readnum(rest, i, n);
            rec.endcolumn = uint16_t(n);
        }
    }
}

// "[-]line[.[+]endline[.descriptor[.column]]]" of a frame record.
void parseframe(LineRecord& rec, std::string_view rest) {
    size_t i = 0;
    if (i < rest.size() && rest[i] == '-') ++i;
    uint32_t n = 0;
    readnum(rest, i, n);
    rec.line = uint16_t(n);
    rec.endline = rec.line;
    if (i < rest.size() && rest[i] == '.') {
        ++i;
        if (i < rest.size() && rest[i] == '+') {
            rec.flags2 |= 1;
            ++i;
        }
        if (readnum(rest, i, n)) rec.endline = uint16_t(n);
        if (i < rest.size() && rest[i] == '.') {
            ++i;
            readnum(rest, i, n);
            rec.descriptor = n;
            if (i < rest.size() && rest[i] == '.') {
                ++i;
                readnum(rest, i, n);
                rec.column = uint16_t(n);
            }
        }
    }
    rec.endcolumn = rec.column;
}

// Cuts "file~function:rest"; without '~' the file runs to the last ':'.
std::string_view cutnames(LineRecord& rec, std::string_view text) {
    size_t colon = text.rfind(':');
    size_t tilde = text.find('~');
    if (tilde != std::string_view::npos && (colon == std::string_view::npos || tilde < colon)) {
        rec.file = std::string(text.substr(0, tilde));
        size_t fend = colon == std::string_view::npos ? text.size() : colon;
        rec.func = std::string(text.substr(tilde + 1, fend - tilde - 1));
    } else {
        rec.file = std::string(text.substr(0, colon == std::string_view::npos ? text.size() : colon));
    }
    return colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
}

void parsetext(LineRecord& rec) {
    std::string_view text = rec.text;
    switch (rec.kind) {
    case kind::Module:
        rec.file = rec.text;
        return;
    case kind::Xref:
    case kind::Call:
        return;
    case kind::Frame:
        parseframe(rec, cutnames(rec, text));
        return;
    case kind::Tables:
    case kind::Exit:
        cutnames(rec, text);
        return;
    case kind::End:
        // An end written as "file:line-line" (no '~') reads like a line record.
        if (text.find('~') == std::string_view::npos) {
            parselines(rec, cutnames(rec, text));
            return;
        }
        cutnames(rec, text);
        return;
    default:
        if (rec.kind & 0xA8) parselines(rec, cutnames(rec, text));
        else cutnames(rec, text);
        return;
    }
}

std::string hexaddr(uint32_t a) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", a);
    return buf;
}

}  // namespace

void DebugInfo::renumber() {
    for (size_t i = 0; i < lines.size(); ++i) lines[i]->pos = uint32_t(i);
}

void DebugInfo::clear() { *this = DebugInfo(); }

uint64_t newdebuggeneration() {
    static std::atomic<uint64_t> next{0};
    return ++next;
}

void adddebugrecord(DebugInfo& di, uint32_t address, uint8_t k, std::string_view text) {
    auto owned = std::make_unique<LineRecord>();
    LineRecord* rec = owned.get();
    di.store.push_back(std::move(owned));
    rec->address = address;
    rec->kind = k;
    rec->text = std::string(text);
    parsetext(*rec);
    // Filed in arrival order; finishdebugrecords puts the lists in order, so
    // a file with its records in any order costs n log n, not n squared.
    if (k & kind::Attr) di.attrs.push_back(rec);
    else if (k == kind::Xref) di.xrefs.push_back(rec), di.hasxref = true;
    else if (k == kind::Call) di.calls.push_back(rec);
    else di.lines.push_back(rec);
}

namespace {

// Address order, records of one address in arrival order, except that a
// function end goes before the first start at its address that belongs to
// another file (the end of one file's function precedes the next one's
// start), as if each record had been inserted on arrival.
void orderrecords(DebugInfo& di) {
    auto byaddress = [](const LineRecord* a, const LineRecord* b) { return a->address < b->address; };
    std::reverse(di.attrs.begin(), di.attrs.end());   // newest first
    std::stable_sort(di.xrefs.begin(), di.xrefs.end(), byaddress);
    auto& L = di.lines;
    std::stable_sort(L.begin(), L.end(), byaddress);
    std::vector<LineRecord*> group;
    for (size_t i = 0; i < L.size();) {
        size_t j = i;
        while (j < L.size() && L[j]->address == L[i]->address) ++j;
        bool hasend = false;
        for (size_t k = i; k < j; ++k) hasend |= L[k]->kind == kind::End;
        if (hasend && j - i > 1) {
            // An end is inserted right before the group's first start, or,
            // when that start is of the end's own file, before the first
            // start of another file; both anchors never move once met, so
            // the ends collect in front of them in arrival order.
            group.clear();
            const LineRecord* first = nullptr;   // the first start
            const LineRecord* other = nullptr;   // the first start of another file than first's
            std::vector<LineRecord*> beforefirst, beforeother;
            for (size_t k = i; k < j; ++k) {
                LineRecord* r = L[k];
                if (r->kind == kind::End && first) {
                    if (first->file != r->file) {
                        beforefirst.push_back(r);
                        continue;
                    }
                    if (other) {
                        beforeother.push_back(r);
                        continue;
                    }
                }
                if (r->kind == kind::Start) {
                    if (!first) first = r;
                    else if (!other && r->file != first->file) other = r;
                }
                group.push_back(r);
            }
            size_t out = i;
            for (LineRecord* r : group) {
                if (r == first)
                    for (LineRecord* e : beforefirst) L[out++] = e;
                if (r == other)
                    for (LineRecord* e : beforeother) L[out++] = e;
                L[out++] = r;
            }
        }
        i = j;
    }
}

}  // namespace

bool finishdebugrecords(DebugInfo& di, LoadReport& report) {
    orderrecords(di);
    auto& L = di.lines;
    // A nameless start followed at its address by another file's line takes
    // that file's name, and so does the end that closes those lines.
    for (size_t i = 0; i + 1 < L.size(); ++i) {
        LineRecord* s = L[i];
        LineRecord* n = L[i + 1];
        if (s->kind != kind::Start || !s->func.empty()) continue;
        if (n->kind != kind::Line || n->address != s->address || n->file == s->file) continue;
        s->file = n->file;
        for (size_t j = i + 1; j < L.size(); ++j) {
            if (L[j]->kind == kind::Start) break;
            if (L[j]->kind == kind::End) {
                L[j]->file = n->file;
                break;
            }
        }
    }

    std::vector<LineRecord*> out;
    out.reserve(L.size());
    LineRecord* cur = nullptr;
    size_t curat = 0;
    LineRecord* lastline = nullptr;
    for (size_t i = 0; i < L.size(); ++i) {
        LineRecord* r = L[i];
        if (r->kind == kind::Start) {
            cur = r;
            curat = out.size();
            lastline = nullptr;
            if (r->func.empty() && i + 1 < L.size() && L[i + 1]->kind == kind::Line) {
                const LineRecord* n = L[i + 1];
                r->line = n->line;
                r->column = n->column;
                r->endline = n->endline;
                r->endcolumn = n->endcolumn;
            }
            out.push_back(r);
        } else if (r->kind == kind::End) {
            if (!cur) {
                report.error("MISSING START INFO FOR: " + r->text + " at: " + hexaddr(r->address));
                return false;
            }
            // Records of the function that lie at its end address are empty.
            auto keep = [&](const LineRecord* x) {
                return x->address != r->address || x->kind == kind::Module ||
                       x->kind == kind::Tables;
            };
            // Those lie at the tail, the list being in address order.
            size_t from = out.size();
            while (from > curat + 1 && out[from - 1]->address == r->address) --from;
            out.erase(std::remove_if(out.begin() + long(from), out.end(),
                                     [&](const LineRecord* x) { return !keep(x); }),
                      out.end());
            if (lastline && !keep(lastline)) lastline = nullptr;
            out.push_back(r);
            if (!cur->func.empty()) cur = nullptr;
        } else if (r->kind == kind::Line) {
            if (!cur) {
                report.error("Missing function for Line: " + r->text + " " + std::to_string(r->line));
                return false;
            }
            if (lastline && (cur->func.empty() ? lastline->line == r->line
                                               : lastline->address == r->address))
                continue;
            r->func = cur->func;
            lastline = r;
            out.push_back(r);
        } else {
            out.push_back(r);
        }
    }
    L = std::move(out);
    di.renumber();
    return true;
}

}  // namespace vek

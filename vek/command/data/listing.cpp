// The line language (its code listing "e"), the line-language input, and
// source listings with execution counts and the code of each line.
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "platform/window.h"
#include "vek/command/data/data.h"
#include "vek/command/point/point.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/decode/decode.h"
#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"

namespace vek {

namespace {

using namespace datacmd;
constexpr int MsgNoLine = 41, MsgNoFunction = 76;

bool stopped(Debugger& d) { return d.flags.stop != 0; }

// One instruction line (after its label line): false at a wrap.
bool listinsn(Debugger& d, uint32_t& address, std::string& out) {
    char text[512] = {};
    Decoded dec;
    const unsigned length = decodeinsn(d.s.decode, address, DecodeText, text, dec) == 4 ? 4 : 2;
    char head[40];
    std::snprintf(head, sizeof head, "    0x%08x ", unsigned(address));
    out += head;
    for (unsigned k = 0; k < 9; ++k) {
        if (k < length) {
            char b[4];
            std::snprintf(b, sizeof b, "%02x", unsigned(d.s.target.mem.getbyte(address + k)));
            out += b;
        } else {
            out += "  ";
        }
    }
    out += " ";
    out += text;
    out += "\n";
    if (address > 0xFFFFFFFFu - length) return false;
    address += length;
    return true;
}

// "e" [first] ["," ['#'] end]
const char* listcmd(Debugger& d, const char* p) {
    DataState& s = datastate();
    p = skipblanks(p);
    if (*p && *p != ';' && *p != '}' && *p != ',') s.listcursor = uint32_t(lineexpr(p));
    p = skipblanks(p);
    bool counted = false;
    uint32_t end = 0;
    if (*p == ',') p = skipblanks(p + 1);
    if (*p == '#') {
        counted = true;
        p = skipblanks(p + 1);
    }
    if (*p && *p != ';' && *p != '}') end = uint32_t(lineexpr(p));
    uint32_t lines = 0;
    if (end == 0) {
        lines = s.listcount;
        counted = true;
    } else if (counted) {
        lines = s.listcount = end;
    }
    std::string out;
    for (;;) {
        if (counted ? lines == 0 : s.listcursor >= end) break;
        if (stopped(d)) break;
        clearhit();
        const uint32_t a = s.listcursor;
        if (ProgramSymbol* sym = symbelow(a); sym && sym->value == a) {
            char head[40];
            std::snprintf(head, sizeof head, "    0x%08x %17s", unsigned(a), "");
            out += head + sym->name + ":\n";
            if (counted && --lines == 0) break;
        }
        const bool more = listinsn(d, s.listcursor, out);
        if (counted) --lines;
        if (!more) break;
    }
    writeout(out);
    return p;
}

}  // namespace

void runline(Debugger& d, const char* text, bool exec) {
    const char* p = skipblanks(text);
    const bool block = *p == '{';
    if (block) ++p;
    for (;;) {
        p = skipblanks(p);
        if (!*p) break;
        if (*p == '}') {
            ++p;
            if (block) break;
            continue;
        }
        if (*p == ';') {
            ++p;
            if (!block) break;
            continue;
        }
        if (exec && stopped(d)) break;
        const char* start = p;
        const char letter = *p++;
        if (!exec) {
            while (*p && *p != ';' && *p != '}') ++p;
        } else if (letter == 'e') {
            p = listcmd(d, p);
        } else {
            const char* end = start;
            while (*end && *end != ';' && *end != '}') ++end;
            puterror({msgtext(MsgUnknown), ": ", std::string_view(start, size_t(end - start)), "\n"});
            p = end;
        }
        if (!block) break;
    }
}

std::string lineinput(size_t size) {
    DataState& s = datastate();
    std::string line;
    bool got;
    if (s.input) {
        got = s.input(line);
    } else {
        got = bool(std::getline(std::cin, line));
    }
    if (!got) line.clear();
    if (size > 1 && line.size() > size - 2) line.resize(size - 2);
    return line + "\n";
}

std::string percenttext(uint64_t count, uint64_t total) {
    if (total == 0) return "  0.00";
    const uint64_t p = count * 10000 / total;
    char t[32];
    std::snprintf(t, sizeof t, "%3llu.%02llu", (unsigned long long)(p / 100), (unsigned long long)(p % 100));
    return t;
}

void printsource(Debugger& d, bool showcode, const LocationSpec& loc, bool counts, bool clear) {
    DebugInfo& di = d.di();
    const FileRecord* file = nullptr;
    uint32_t first = loc.line, last = loc.endline > 0 ? uint32_t(loc.endline) : loc.line;
    if (loc.function && *loc.function) {
        const FunctionRecord* f = findfunc(di, loc.function, loc.file);
        if (!f) {
            puterror({loc.function, "(): ", msgtext(MsgNoFunction), "\n"});
            return;
        }
        file = f->file;
        if (!loc.line) {
            first = f->firstline;
            last = f->lastline;
        }
    } else if (loc.file) {
        file = findfile(di, loc.file);
        if (!file) {
            puterror({msgtext(75), ": ", loc.file, "\n"});
            return;
        }
        if (!loc.line) {
            first = file->firstline;
            last = file->lastline;
        }
    } else {
        const CallFrame* f = d.currentframe();
        if (!loc.line || !f || !f->func) {
            puterror({msgtext(MsgArgument), "\n"});
            return;
        }
        file = f->func->file;
    }
    if (!file) return;
    if (file->firstline && first < file->firstline) first = file->firstline;
    if (file->lastline && last > file->lastline) last = file->lastline;
    if (last < first) return;

    // The line and function-start records of the file in the range, by line.
    std::map<uint32_t, std::vector<LineRecord*>> records;
    for (LineRecord* r : di.lines)
        if ((r->kind == kind::Line || r->kind == kind::Start) && r->line >= first && r->line <= last &&
            r->file == file->name)
            records[r->line].push_back(r);
    uint64_t total = 0;
    if (counts) {
        for (auto& [line, list] : records)
            for (LineRecord* r : list) {
                if (clear) r->hits = 0;
                total += r->hits;
            }
        if (clear) return;
    }
    const int width = int(std::to_string(total).size());
    const std::string totaltext = padnum(uint32_t(total), width, ' ');
    std::string out;
    for (uint32_t n = first; n <= last; ++n) {
        if (stopped(d)) break;
        const char* line = d.readsrcline(file->name.c_str(), n);
        if (!line) break;
        static const std::vector<LineRecord*> none;
        auto at = records.find(n);
        const std::vector<LineRecord*>& list = at == records.end() ? none : at->second;
        if (counts) {
            std::string column;
            uint64_t count = 0;
            for (LineRecord* r : list) count += r->hits;
            column = padnum(uint32_t(count), width, ' ');
            if (total) column += " / " + totaltext + " = " + percenttext(count, total) + "%";
            if (list.empty()) column.assign(column.size(), ' ');
            out += column + " | ";
        }
        out += std::to_string(n) + "  " + line + "\n";
        if (showcode)
            for (LineRecord* r : list) {
                const LineRecord* next = di.next(r);
                if (!next || next->address == r->address) continue;
                writeout(out);
                out.clear();
                char cmd[64];
                std::snprintf(cmd, sizeof cmd, "e 0x%x , 0x%x", unsigned(r->address), unsigned(next->address));
                runline(d, cmd, true);
            }
        if (n == last) break;
    }
    writeout(out);
    d.readsrcline(nullptr, 0);
}

bool lineaddress(Debugger& d, const char* file, uint32_t line, int32_t column, uint32_t& address) {
    DebugInfo& di = d.di();
    std::string name;
    if (file) {
        name = file;
    } else if (LineRecord* r = findlastat(di, d.pc())) {
        name = r->file;
    }
    LineRecord* r = name.empty() ? nullptr : vek::lineaddr(di, name, line, column);
    if (!r) {
        puterror({msgtext(MsgNoLine), "\n"});
        return false;
    }
    address = r->address;
    return true;
}

void showlineaddr(Debugger& d, const FileRecord& file, uint32_t line) {
    LineRecord* r = vek::lineaddr(d.di(), file.name, line, -1);
    if (!r) {
        puterror({" No code at that location", "\n"});
        return;
    }
    platform::BoxRequest box;
    box.caption = "Address of";
    box.text = hextextb(r->address);
    platform::windowhost().messagebox(box);
}

}  // namespace vek

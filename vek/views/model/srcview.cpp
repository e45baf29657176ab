// Source window logic (see srcview.h).
#include "vek/views/model/srcview.h"

#include <algorithm>
#include <cstdio>

namespace vek::views {

int digits(int n) {
    int d = 1;
    while (n >= 10) n /= 10, ++d;
    return d;
}

std::string extracell(const SourceColumns& c, bool hascode, uint32_t address, uint32_t hits, int32_t cycles) {
    char b[32];
    if (c.address) {
        if (!hascode) return std::string(9, ' ');
        std::snprintf(b, sizeof b, "%08x ", address);
        return b;
    }
    if (c.coverage == Coverage::Timing || c.coverage == Coverage::Executions) {
        if (!hascode) return std::string(size_t(c.countwidth + 1), ' ');
        uint32_t v = c.coverage == Coverage::Executions ? hits : uint32_t(cycles);
        std::snprintf(b, sizeof b, "%0*x ", c.countwidth, v);
        return b;
    }
    return {};
}

bool statementrange(std::string_view v, uint32_t column, uint32_t endcolumn, int& from, int& to) {
    const int last = int(v.size()) - 1;
    if (endcolumn != 0) {
        from = int(column);
        to = endcolumn >= 1024 ? last : std::min(int(endcolumn), last);
        return from <= to;
    }
    size_t n = column, semis = 0;
    for (char c : v) semis += c == ';';
    if (n == 0 || semis == 0) {
        from = 0, to = last;
        return last >= 0;
    }
    size_t pos = 0, seen = 0;
    for (; pos < v.size() && seen < n; ++pos)
        if (v[pos] == ';') ++seen;
    if (seen < n) return false;
    size_t end = v.find(';', pos);
    from = int(pos);
    to = end == std::string_view::npos ? last : int(end);
    return from <= to;
}

std::string numberclick(const std::string& file, int line, const Keys& keys, int eventnumber, bool eventon) {
    if (eventnumber > 0) return (eventon ? "break /s " : "break /a ") + std::to_string(eventnumber);
    if (keys.shift) return {};
    std::string where = file + ":" + std::to_string(line);
    if (keys.ctrl) return "go " + where;
    return (keys.w ? "watch " : "break ") + where;
}

std::string keycommand(char c, bool running) {
    switch (c) {
    case 'g': case 'G': return "go";
    case 's': case 'S': return running ? "\a" : "step";
    case 'i': case 'I': return running ? "\a" : "istep";
    case 'o': case 'O': return running ? "\a" : "ostep";
    case 'a': case 'A': case 'd': case 'D': case 'r': case 'R': case 'w': case 'W': return {};
    default: return "\a";
    }
}

std::string countmessage(uint32_t hits, int32_t cycles) {
    return std::string("\x01\x02") + std::to_string(hits) + "\x01\x01 Execution(s) \x01\x03" +
           std::to_string(uint32_t(cycles)) + "\x01\x01 Cycle(s)";
}

std::string selectionexpr(const std::string& text, const std::string& func, bool funchasvar,
                          const std::string& file, bool filehasvar, bool mainwindow) {
    if (!func.empty() && funchasvar) return func + "():" + text;
    if (filehasvar && !mainwindow) return file + ":" + text;
    return text;
}

}  // namespace vek::views

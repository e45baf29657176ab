// Memory windows without a screen: lines, scrolling, clicks, editing, dumps.
#include "vek/views/machinemodel/memwin.h"
#include "platform/files.h"

#include <algorithm>
#include <cstdio>

namespace vek::views {

namespace {

std::string hex8(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%08x", unsigned(v));
    return b;
}

uint32_t peekvalue(const MemEnv& env, uint32_t a, int size) {
    uint32_t v = 0;
    for (int k = 0; k < size; ++k) v = v << 8 | (env.peek ? env.peek(a + uint32_t(k)) : 0);
    return v;
}

unsigned insnlength(const MemEnv& env, uint32_t a, std::string* text = nullptr) {
    std::string t;
    const unsigned n = env.decode ? env.decode(a, t) : 4;
    if (text) *text = t;
    return n ? n : 2;
}

int base(int format) { return format == FmtBinary ? 2 : format == FmtOctal ? 8 : format == FmtDecimal ? 10 : 16; }

bool isdigitof(char c, int format) {
    switch (format) {
    case FmtBinary: return c == '0' || c == '1';
    case FmtOctal: return c >= '0' && c <= '7';
    case FmtDecimal: return c >= '0' && c <= '9';
    default: return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }
}

char asciiof(uint8_t b) {
    const uint8_t c = b & 0x7F;
    return c < 32 || c == 127 ? '.' : char(c);
}

// The text of one data line: values from memory (the edited element with
// digits pending from the baseline), changed values marked against the
// baseline; with store the values become the baseline.
std::string dataline(MemoryWindow& w, const MemEnv& env, int row, bool store) {
    const uint32_t a = w.start + uint32_t(row * w.bytesperline);
    const int per = w.bytesperline / w.size;
    std::string t = hex8(a) + " ";
    std::vector<uint8_t> bytes;
    for (int j = 0; j < per; ++j) {
        const size_t idx = size_t(row * per + j);
        uint32_t v = peekvalue(env, a + uint32_t(j * w.size), w.size);
        if (w.edit == ValueEdit && w.typed && int(idx) == w.editindex && idx < w.table.size()) v = w.table[idx];
        for (int k = w.size - 1; k >= 0; --k) bytes.push_back(uint8_t(v >> (8 * k)));
        if (store) {
            if (idx < w.table.size()) w.table[idx] = v;
            t += elementtext(v, w.format, w.size) + " ";
        } else if (idx < w.table.size() && w.table[idx] != v) {
            t += std::string{Esc, ColChanged} + elementtext(v, w.format, w.size) + std::string{Esc, ColText} + " ";
        } else {
            t += elementtext(v, w.format, w.size) + " ";
        }
    }
    if (w.ascii)
        for (uint8_t b : bytes) t += asciiof(b);
    return t;
}

void redrawrow(MemoryWindow& w, const MemEnv& env, int row) {
    if (row >= 0 && size_t(row) < w.lines.size()) w.lines[size_t(row)] = dataline(w, env, row, false);
}

void writepending(MemoryWindow& w, const MemEnv& env) {
    if (w.edit != ValueEdit || !w.typed) return;
    w.typed = 0;
    if (size_t(w.editindex) < w.table.size() && env.put)
        env.put(w.start + uint32_t(w.editindex * w.size), w.table[size_t(w.editindex)], w.size);
    if (env.updated) env.updated();
}

}  // namespace

int elementdigits(int format, int size) {
    static const int digits[4][3] = {{8, 16, 32}, {3, 6, 12}, {3, 5, 12}, {2, 4, 8}};
    const int s = size == 1 ? 0 : size == 2 ? 1 : 2;
    return digits[(format >= 1 && format <= 4 ? format : 4) - 1][s];
}

std::string elementtext(uint32_t v, int format, int size) {
    const int n = elementdigits(format, size);
    const bool negative = format == FmtDecimal && size == 4 && (v & 0x80000000u);
    if (negative) v = 0u - v;
    std::string t;
    const unsigned b = unsigned(base(format));
    do {
        t.insert(t.begin(), "0123456789abcdef"[v % b]);
        v /= b;
    } while (v);
    const size_t want = size_t(negative ? n - 1 : n);
    if (t.size() < want) t.insert(0, want - t.size(), '0');
    return negative ? "-" + t : t;
}

void MemoryWindow::setformat(int s, int f, bool a, int bpl) {
    size = s == 1 || s == 4 ? s : 2;
    format = f >= 1 && f <= 4 ? f : FmtHex;
    ascii = a;
    bytesperline = bpl;
    elemChars = elementchars(format, size);
    lineChars = bytesperline / size * elemChars;
    widest = datawidth();
    rebuild = true;
}

MemoryWindow datawindow(uint32_t start, int size, int format, bool ascii) {
    MemoryWindow w;
    w.kind = DataWindow;
    w.start = start;
    w.setformat(size, format, ascii, format == FmtBinary ? 4 : 8);
    return w;
}

MemoryWindow codewindow(uint32_t start) {
    MemoryWindow w;
    w.kind = CodeWindow;
    w.start = start;
    return w;
}

void buildmemlines(MemoryWindow& w, const MemEnv& env) {
    const int n = std::max(w.visiblelines, 1);
    w.lines.clear();
    if (w.kind == DataWindow) {
        w.end = w.start + uint32_t(n * w.bytesperline);
        const size_t count = size_t(n * (w.bytesperline / w.size));
        const bool store = w.rebuild || w.table.size() != count;
        if (store) w.table.assign(count, 0);
        for (int row = 0; row < n; ++row) w.lines.push_back(dataline(w, env, row, store));
        w.widest = w.datawidth();
    } else {
        w.pc = env.pc ? env.pc() : 0;
        w.haverange = env.linerange && env.linerange(w.pc, w.linestart, w.linenext);
        w.table.assign(size_t(n) + 1, 0);
        uint32_t a = w.start;
        for (int row = 0; row < n; ++row) {
            std::string text;
            const unsigned len = insnlength(env, a, &text);
            const size_t blank = text.find(' ');
            if (blank == std::string::npos) text += std::string{Esc, ColText};
            else text.insert(blank, std::string{Esc, ColText});
            std::string line = hex8(a) + " " + std::string{Esc, ColMnemonic} + text;
            w.widest = std::max(w.widest, int(line.size()));
            w.lines.push_back(std::move(line));
            w.table[size_t(row)] = a;
            a += len;
            w.table[size_t(row) + 1] = a;
        }
        w.end = a;
    }
    w.rebuild = false;
    if (w.widest <= w.visiblecols) w.firstcol = 0;
    else w.firstcol = std::min(w.firstcol, w.widest - w.visiblecols);
}

bool scrollmem(MemoryWindow& w, const MemEnv& env, ScrollAction a) {
    if (env.running && env.running()) return false;
    w.edit = NoEdit;   // a scroll drops an edit and what was typed
    w.typed = 0;
    if (w.kind == DataWindow) {
        const uint32_t page = uint32_t(8 * std::max(w.visiblelines, 1));
        switch (a) {
        case LineUp: w.start -= 8; break;
        case LineDown: w.start += 8; break;
        case PageUp: w.start -= page; break;
        case PageDown: w.start += page; break;
        }
        w.rebuild = true;
    } else if (a == LineUp || a == PageUp) {
        if (a == LineUp && w.start == 0) return true;
        uint32_t back = 8;
        for (uint32_t k = 1; k <= 7; ++k) {
            if (a == LineUp && k == w.start) { back = k; break; }
            if (insnlength(env, w.start - k) == k) { back = k; break; }
        }
        w.start -= back;
    } else {
        w.start += insnlength(env, w.start);
    }
    buildmemlines(w, env);
    return true;
}

MemClick memclick(MemoryWindow& w, const MemEnv& env, int row, int col, unsigned keys) {
    MemClick r;
    if (env.running && env.running()) { r.what = MemClick::Beep; return r; }
    if (row < 0 || row >= int(w.lines.size()) || col < 0) return r;
    if (w.kind == DataWindow) {
        if (col >= 9) {
            editstart(w, row, col);
            if (w.edit != NoEdit) r.what = MemClick::Edit;
        }
        return r;
    }
    const uint32_t a = w.table[size_t(row)];
    if (col <= 7) return addressclick(env, a, keys);
    if (col == 8) return r;
    std::string text;
    insnlength(env, a, &text);
    return wordclick(text, size_t(col - 9));
}

MemClick addressclick(const MemEnv& env, uint32_t a, unsigned keys, bool withevent) {
    MemClick r;
    r.address = a;
    const int ev = env.eventat ? env.eventat(a) : -1;
    if (ev >= 0) {
        if (!withevent) return r;
        const bool shift = keys & KeyShift, ctrl = keys & KeyCtrl;
        r.eventcmd = shift && ctrl ? 803 : shift ? 801 : ctrl ? 802 : 0;
        r.what = r.eventcmd ? MemClick::EventCommand : MemClick::EventPopup;
        return r;
    }
    char b[16];
    std::snprintf(b, sizeof b, "0x%x", unsigned(a));
    r.what = MemClick::Command;
    r.text = std::string(keys & KeyW ? "watch @" : "break @") + b;
    return r;
}

MemClick wordclick(const std::string& text, size_t at, size_t first) {
    MemClick r;
    auto inword = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
               c == '.';
    };
    if (at >= text.size() || at < first || !inword(text[at])) return r;
    size_t b = at, e = at;
    while (b > first && inword(text[b - 1])) --b;
    while (e < text.size() && inword(text[e])) ++e;
    r.what = MemClick::Symbol;
    r.text = text.substr(b, e - b);
    return r;
}

void editstart(MemoryWindow& w, int row, int col) {
    if (w.edit != NoEdit) w.edit = NoEdit, w.typed = 0;
    if (w.kind != DataWindow || row < 0 || row >= std::max(w.visiblelines, 1) || col < 9) return;
    if (col - 9 < w.lineChars) {
        if ((col - 8) % w.elemChars == 0) return;
        w.editaddr = w.start + uint32_t(row * w.bytesperline);
        w.caretpos = col - 8;
        w.edit = ValueEdit;
    } else if (w.ascii && col - 9 - w.lineChars < w.bytesperline) {
        w.editaddr = w.start + uint32_t(row * w.bytesperline);
        w.caretpos = col - w.lineChars - 9;
        w.edit = AsciiEdit;
    } else {
        return;
    }
    w.caretcol = col;
    w.caretrow = row;
    w.typed = 0;
}

namespace {

// Moves the caret to the next row's first cell of its field; false when
// that leaves the shown range (the edit ends).
bool nextrow(MemoryWindow& w, bool ascii) {
    w.editaddr += uint32_t(w.bytesperline);
    w.caretrow += 1;
    w.caretpos = ascii ? 0 : 1;
    w.caretcol = ascii ? w.lineChars + 9 : 9;
    if (w.editaddr == w.end || w.caretrow >= std::max(w.visiblelines, 1)) {
        w.edit = NoEdit;
        return false;
    }
    return true;
}

}  // namespace

bool edittype(MemoryWindow& w, const MemEnv& env, char c) {
    if (w.edit == NoEdit) return false;
    if (c == '\r' || c == '\n') {
        editend(w, env);
        return true;
    }
    const int row = w.caretrow;
    const int per = w.bytesperline / w.size;
    if (w.edit == AsciiEdit) {
        if (c < 32 || c > 126) return false;
        const uint32_t a = w.editaddr + uint32_t(w.caretpos);
        if (env.put) env.put(a, uint8_t(c), 1);
        const int idx = row * per + w.caretpos / w.size;
        if (size_t(idx) < w.table.size())
            w.table[size_t(idx)] = peekvalue(env, w.editaddr + uint32_t(w.caretpos / w.size * w.size), w.size);
        if (env.updated) env.updated();
        redrawrow(w, env, row);
        w.caretpos += 1;
        w.caretcol += 1;
        if (w.caretpos >= w.bytesperline) nextrow(w, true);
        return true;
    }
    if (!isdigitof(c, w.format)) return true;   // not a digit of this base: ignored
    const int idx = (w.caretpos - 1) / w.elemChars + int(w.editaddr - w.start) / w.size;
    if (size_t(idx) >= w.table.size()) return false;
    if (w.typed && idx != w.editindex) writepending(w, env);
    std::string text = elementtext(w.table[size_t(idx)], w.format, w.size);
    const size_t at = size_t((w.caretpos - 1) % w.elemChars);
    if (at >= text.size() || text[at] == '-') return false;
    text[at] = c;
    // Read back in the base; a value beyond the element is refused.
    const bool negative = text[0] == '-';
    uint64_t v = 0;
    for (size_t k = negative ? 1 : 0; k < text.size(); ++k) {
        const char d = text[k];
        const int dv = d <= '9' ? d - '0' : (d | 0x20) - 'a' + 10;
        v = v * uint64_t(base(w.format)) + uint64_t(dv);
    }
    const uint64_t limit = w.size == 1 ? 0xFF : w.size == 2 ? 0xFFFF : negative ? 0x80000000u : 0xFFFFFFFFu;
    if (v > limit) return false;
    w.table[size_t(idx)] = negative ? uint32_t(0u - uint32_t(v)) : uint32_t(v);
    w.editindex = idx;
    w.typed += 1;
    if ((w.caretpos + 1) % w.elemChars == 0 || w.typed >= 2 * w.size) writepending(w, env);
    redrawrow(w, env, row);
    w.caretpos += 1;
    w.caretcol += 1;
    if (w.caretpos >= w.lineChars) nextrow(w, false);
    else if (w.caretpos % w.elemChars == 0) w.caretpos += 1, w.caretcol += 1;
    return true;
}

bool editarrow(MemoryWindow& w, const MemEnv& env, int key) {
    if (w.edit == NoEdit) return false;
    writepending(w, env);
    int row = w.caretrow, col = w.caretcol;
    const int first = w.edit == AsciiEdit ? w.lineChars + 9 : 9;
    const int last = w.edit == AsciiEdit ? w.lineChars + 8 + w.bytesperline : w.lineChars + 7;
    const bool value = w.edit == ValueEdit;
    switch (key) {
    case KeyLeft:
        if (col <= first) row -= 1, col = last;
        else if (--col, value && (col - 8) % w.elemChars == 0) --col;
        break;
    case KeyRight:
        if (col >= last) row += 1, col = first;
        else if (++col, value && (col - 8) % w.elemChars == 0) ++col;
        break;
    case KeyUp: row -= 1; break;
    case KeyDown: row += 1; break;
    default: return false;
    }
    if (row < 0 || row >= std::max(w.visiblelines, 1)) return false;
    editstart(w, row, col);
    return true;
}

void editend(MemoryWindow& w, const MemEnv& env) {
    if (w.edit == NoEdit) return;
    writepending(w, env);
    redrawrow(w, env, w.caretrow);
    w.edit = NoEdit;
}

std::string codedump(const MemEnv& env, uint32_t from, uint32_t to) {
    std::string out;
    for (uint64_t a = from; a <= to;) {
        std::string text;
        const unsigned len = insnlength(env, uint32_t(a), &text);
        std::string line = hex8(uint32_t(a)) + "  ";
        for (unsigned k = 0; k < 9; ++k) {
            if (k < len) {
                char b[4];
                std::snprintf(b, sizeof b, "%02x", unsigned(env.peek ? env.peek(uint32_t(a) + k) : 0));
                line += b;
            } else {
                line += "  ";
            }
        }
        out += line + text + "\n";
        a += len;
    }
    return out;
}

std::string datadump(const MemoryWindow& w, const MemEnv& env, uint32_t from, uint32_t to) {
    std::string out;
    for (uint64_t l = from; l < to; l += uint64_t(w.bytesperline)) {
        std::string line = hex8(uint32_t(l)) + " ";
        std::string chars;
        for (int k = 0; k < w.bytesperline; k += w.size) {
            line += elementtext(peekvalue(env, uint32_t(l) + uint32_t(k), w.size), w.format, w.size) + " ";
        }
        if (w.ascii)
            for (int k = 0; k < w.bytesperline; ++k) line += asciiof(env.peek ? env.peek(uint32_t(l) + uint32_t(k)) : 0);
        out += line + "\n";
    }
    return out;
}

std::string srecdump(const MemEnv& env, uint32_t from, uint32_t to) {
    const int type = from <= 0xFFFF && to <= 0xFFFF ? 1 : from > 0xFFFFFF || to > 0xFFFFFF ? 3 : 2;
    const int abytes = type + 1;
    std::string out;
    char b[8];
    for (uint64_t a = from; a <= to;) {
        const unsigned n = unsigned(std::min<uint64_t>(32, uint64_t(to) - a + 1));
        const unsigned count = n + unsigned(abytes) + 1;
        unsigned sum = count;
        std::snprintf(b, sizeof b, "S%d%02X", type, count);
        out += b;
        for (int k = abytes - 1; k >= 0; --k) {
            const unsigned byte = unsigned(a >> (8 * k)) & 0xFF;
            sum += byte;
            std::snprintf(b, sizeof b, "%02X", byte);
            out += b;
        }
        for (unsigned k = 0; k < n; ++k) {
            const unsigned byte = env.peek ? env.peek(uint32_t(a + k)) : 0;
            sum += byte;
            std::snprintf(b, sizeof b, "%02X", byte);
            out += b;
        }
        std::snprintf(b, sizeof b, "%02X\n", ~sum & 0xFF);
        out += b;
        a += n;
    }
    out += type == 1 ? "S903FFFFFE\n" : type == 2 ? "S804FFFFFFFE\n" : "S705FFFFFFFFFE\n";
    return out;
}

bool writedump(const std::string& path, const std::string& text,
               const std::function<void(const std::string&)>& error) {
    if (!platform::writefile(path, text)) {
        if (error) error("Can't write " + path);
        return false;
    }
    return true;
}

std::string maincaption(bool cancelled, const std::string& path, const std::string& function,
                        const std::string& file, uint32_t line) {
    if (cancelled) return "Vek";
    std::string t = "Vek ";
    if (path.empty()) return t;
    t += "(" + path + ")";
    if (function.empty()) return t;
    t += "  ";
    if (function != ".") t += function + "():";
    t += file + ":" + std::to_string(line & 0xFFFF) + " ";
    return t;
}

std::string maptext(const std::vector<MapSection>& sections) {
    std::string t;
    for (const MapSection& s : sections) {
        char line[96];
        std::string name = s.name.substr(0, 16);
        name.resize(16, ' ');
        // the size in 64 bits: a section over all 4 GiB has 2^32 bytes
        const uint64_t size = s.last >= s.start ? uint64_t(s.last) - s.start + 1 : 0;
        std::snprintf(line, sizeof line, "0x%08x  0x%08x (", unsigned(s.start), unsigned(s.last));
        t += "  \x03" + name + " \x01" + line + "\x02" + std::to_string(size) + "\x01 bytes) \n";
    }
    return t;
}

}  // namespace vek::views

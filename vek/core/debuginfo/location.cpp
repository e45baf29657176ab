// Location texts and the name lookups of the debug information.
// A location text is copied into a work buffer up to its first ':' (the
// separator) and what follows; the part before the separator names a file
// or, ending in "()", a function; the part after it is a line range or a
// symbol. A ':' second in the text before a '\' or a letter is a drive
// letter, not a separator.
#include <cctype>
#include <cstring>

#include "vek/core/debuginfo/lookup.h"
#include "vek/core/debuginfo/texts.h"

namespace vek {

namespace {

int digitof(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// A number with automatic base ("0x", "0b", leading 0) and an optional
// trailing 'l' or 'L', wrapping at 32 bits. True when the whole text is one.
bool wholenumber(const char* t, size_t n, uint32_t& out) {
    size_t i = 0;
    bool neg = false;
    if (i < n && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
    unsigned base = 10;
    if (i + 1 < n && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (i + 1 < n && t[i] == '0' && (t[i + 1] == 'b' || t[i + 1] == 'B') && i + 2 < n &&
               digitof(t[i + 2]) < 2) {
        base = 2;
        i += 2;
    } else if (i < n && t[i] == '0') {
        base = 8;
    }
    size_t start = i;
    uint32_t v = 0;
    while (i < n && digitof(t[i]) < int(base)) v = v * base + uint32_t(digitof(t[i++]));
    if (i == start) return false;
    if (i < n && (t[i] == 'l' || t[i] == 'L')) ++i;
    if (i != n) return false;
    out = neg ? 0u - v : v;
    return true;
}

bool isloccopychar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '$' || c == '@' || c == '_';
}

}  // namespace

bool isnumber(const char* text, size_t length, uint32_t& result) {
    if (length == 0 || std::strchr("uUlL", text[0])) return false;
    return wholenumber(text, length, result);
}

bool parselinecol(const char* text, size_t length, uint32_t& line, int32_t& column) {
    const char* dot = static_cast<const char*>(std::memchr(text, '.', length));
    size_t n = dot ? size_t(dot - text) : length;
    if (!isnumber(text, n, line)) return false;
    column = -1;
    if (!dot) return true;
    uint32_t c = 0;
    if (!isnumber(dot + 1, length - n - 1, c)) return false;
    column = int32_t(c);
    return true;
}

bool parselinerange(const char* text, size_t length, LocationSpec& loc) {
    const char* colon = static_cast<const char*>(std::memchr(text, ':', length));
    size_t n = colon ? size_t(colon - text) : length;
    uint32_t line = 0;
    int32_t col = -1;
    if (!parselinecol(text, n, line, col)) return false;
    uint32_t endline = 0;
    int32_t endcol = -1;
    if (colon && !parselinecol(colon + 1, length - n - 1, endline, endcol)) return false;
    loc.line = line;
    loc.column = col;
    if (colon) {
        loc.endline = int32_t(endline);
        loc.endcolumn = endcol;
    }
    return true;
}

const char* parseloc(LocationState& st, const char* text, LocationSpec& loc) {
    loc.isaddress = loc.given = loc.qualified = 0;
    loc.line = 0;
    loc.endline = 0;
    loc.file = loc.function = loc.symbol = nullptr;
    text = skipblanks(text);
    if (!*text) return text;

    char* buf = st.work[0];
    const size_t cap = sizeof st.work[0] - 1;
    size_t n = 0;
    long sep = -1;            // index of the separator in buf
    const char* other = nullptr;  // first other character before a separator
    const char* p = text;
    for (; *p && *p != ';' && *p != '{' && n < cap; ++p) {
        char c = *p;
        if (isloccopychar(c)) {
            buf[n++] = c;
        } else if (c == ':' ) {
            bool drive = p == text + 1 && p[1] && p[1] != ' ' && !std::isdigit(static_cast<unsigned char>(p[1]));
            if (sep < 0 && !drive) sep = long(n);
            buf[n++] = c;
        } else if (sep >= 0) {
            if (c != '.') break;   // a line range keeps its dots
            buf[n++] = c;
        } else {
            if (!other) other = p;
            buf[n++] = c;
        }
    }
    if (sep < 0 && other) {
        n = size_t(other - text);
        p = other;
    }
    buf[n] = 0;
    st.lasttext.assign(buf, n);

    if (n == 0 && std::strncmp(p, "()", 2) != 0) return p;
    loc.given = 1;
    if (sep >= 0) {
        loc.qualified = 1;
        buf[sep] = 0;
        const char* before = buf;
        const char* after = buf + sep + 1;
        size_t blen = size_t(sep);
        if (blen >= 2 && std::strcmp(before + blen - 2, "()") == 0) {
            char* f = st.work[1];
            std::memcpy(f, before, blen - 2);
            f[blen - 2] = 0;
            loc.function = f;
        } else if (blen > 0) {
            loc.file = before;
        }
        size_t alen = std::strlen(after);
        if (alen > 0 && !parselinerange(after, alen, loc)) {
            if (std::strncmp(p, "()", 2) == 0 && !loc.function) {
                loc.function = after;   // file:function()
                p += 2;
            } else {
                loc.symbol = after;
            }
        }
        return p;
    }
    if (buf[0] == '@') {
        uint32_t a = 0;
        loc.address = isnumber(buf + 1, n - 1, a) ? a : 0;
        loc.isaddress = 1;
        return p;
    }
    uint32_t num = 0;
    if (isnumber(buf, n, num)) {
        loc.line = num;
        return p;
    }
    if (std::strncmp(p, "()", 2) == 0) {
        loc.function = buf;
        return p + 2;
    }
    loc.symbol = buf;
    return p;
}

bool iscodeloc(const LocationSpec& s) { return !s.symbol && (s.file || s.function || s.qualified); }
bool isnumloc(const LocationSpec& s) {
    return s.given && !s.isaddress && !s.symbol && !s.file && !s.function && !s.qualified;
}
bool issymloc(const LocationSpec& s) { return s.symbol != nullptr; }

FileRecord* findfile(const DebugInfo& di, std::string_view name) {
    for (auto& f : di.files)
        if (f->name == name) return f.get();
    return nullptr;
}

FunctionRecord* findfunc(const DebugInfo& di, std::string_view name, const char* file) {
    if (!name.empty() && name[0] == '.') return nullptr;
    for (auto& f : di.files) {
        if (file && f->name != file) continue;
        for (auto& fn : f->funcs)
            if (fn->name == name && fn->name != ".") return fn.get();
    }
    return nullptr;
}

bool iscoretwofile(const FileRecord* file) {
    return file && (file->kindbyte == 0x8B || file->kindbyte == 0x8D);
}

int coreat(uint32_t splitmask, uint32_t address, uint32_t pc0, uint32_t pc1) {
    if (splitmask == 0) return 0;
    auto dist = [](uint32_t a, uint32_t b) { return a > b ? a - b : b - a; };
    return dist(pc1, address) <= dist(pc0, address) ? 1 : 0;
}

void freedebuginfo(DebugInfo& di) { di.clear(); }

std::string listfiles(const DebugInfo& di) {
    std::string out;
    for (auto& f : di.files)
        if (!(f->flags & fileflag::Duplicate)) out += "          " + f->name + "\n";
    return out;
}

}  // namespace vek

// Source files: path, kinds, keyword tables, colouring, trace lines.
#include "vek/views/model/srcfile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "toollib/isa/isa.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/support/output.h"

namespace vek::views {

// ---- path -------------------------------------------------------------

std::string combinepath(const std::string& old, std::string_view text) {
    if (!text.empty() && text.front() == '|') return old + std::string(text);
    if (!text.empty() && text.back() == '|') return std::string(text) + old;
    return std::string(text);
}

std::vector<std::string> pathdirs(std::string_view path) {
    std::vector<std::string> dirs;
    size_t from = 0;
    while (from <= path.size()) {
        size_t bar = path.find('|', from);
        if (bar == std::string_view::npos) bar = path.size();
        if (bar > from) dirs.emplace_back(path.substr(from, bar - from));
        from = bar + 1;
    }
    return dirs;
}

bool isabsolute(std::string_view name) {
    return (!name.empty() && (name[0] == '/' || name[0] == '\\')) || (name.size() > 1 && name[1] == ':');
}

static std::string slashes(std::string_view name) {
    std::string s(name);
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

static bool isfile(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isdirectory(const std::string& text) {
    struct stat st;
    return !text.empty() && ::stat(slashes(text).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static std::string joindir(std::string dir, std::string_view name) {
    dir = slashes(dir);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir + "/" + slashes(name);
}

static std::string alongpath(std::string_view path, std::string_view name) {
    for (auto& d : pathdirs(path)) {
        std::string p = joindir(d, name);
        if (isfile(p)) return p;
    }
    return {};
}

std::string findsource(std::string_view path, std::string_view name) {
    if (name.empty()) return {};
    std::string p = alongpath(path, name);
    if (!p.empty()) return p;
    p = isabsolute(name) ? slashes(name) : "./" + slashes(name);
    if (isfile(p)) return p;
    size_t cut = name.find_last_of("/\\:");
    if (cut != std::string_view::npos && cut + 1 < name.size()) {
        std::string_view last = name.substr(cut + 1);
        p = alongpath(path, last);
        if (!p.empty()) return p;
        if (isfile("./" + std::string(last))) return "./" + std::string(last);
    }
    return {};
}

PathAdd addpathdir(std::vector<std::string>& list, const std::string& text, size_t at) {
    if (std::find(list.begin(), list.end(), text) != list.end()) return PathAdd::Known;
    if (!isdirectory(text)) return PathAdd::NotDirectory;
    list.insert(list.begin() + long(std::min(at, list.size())), text);
    return PathAdd::Added;
}

std::string joinpath(const std::vector<std::string>& list) {
    std::string p;
    for (auto& d : list) p += (p.empty() ? "" : "|") + d;
    return p;
}

bool readfile(const std::string& path, std::string& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    char buf[16384];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// ---- tables -----------------------------------------------------------

namespace {
struct Keyword {
    int id;
    const char* word;
};
// C keywords: help context id, word.
constexpr Keyword ckeywords[] = {
    {14, "auto"},   {8, "break"},   {3, "case"},      {18, "char"},   {28, "const"},    {9, "continue"},
    {4, "default"}, {6, "do"},      {23, "double"},   {1, "else"},    {26, "enum"},     {12, "extern"},
    {22, "float"},  {7, "for"},     {10, "goto"},     {1, "if"},      {20, "int"},      {21, "long"},
    {15, "register"}, {11, "return"}, {19, "short"},  {29, "signed"}, {31, "sizeof"},   {13, "static"},
    {24, "struct"}, {2, "switch"},  {16, "typedef"},  {25, "union"},  {30, "unsigned"}, {17, "void"},
    {32, "volatile"}, {5, "while"},
};
constexpr const char* ppdirectives[] = {"#define", "#elif",    "#else",  "#endif", "#if",   "#ifdef",
                                        "#ifndef", "#include", "#line", "#pragma", "#undef"};
// C library functions; help context ids run from 2 in this order.
constexpr const char* libnames[] = {
    "_asm",    "abort",   "abs",     "acos",    "asin",     "atan",    "atan2",   "atof",    "atoi",
    "atol",    "calloc",  "ceil",    "cos",     "cosh",     "div",     "exit",    "exp",     "fabs",
    "floor",   "fmod",    "free",    "frexp",   "getchar",  "gets",    "isalnum", "isalpha", "iscntrl",
    "isdigit", "isgraph", "islower", "isprint", "ispunct",  "isspace", "isupper", "isxdigit", "labs",
    "ldexp",   "ldiv",    "log",     "log10",   "longjmp",  "malloc",  "max",     "memchr",  "memcmp",
    "memcpy",  "memmove", "memset",  "min",     "modf",     "pow",     "printf",  "putchar", "puts",
    "rand",    "realloc", "sbreak",  "scanf",   "setjmp",   "sin",     "sinh",    "sprintf", "sqrt",
    "srand",   "sscanf",  "strcat",  "strchr",  "strcmp",   "strcpy",  "strcspn", "strlen",  "strncat",
    "strncmp", "strncpy", "strpbrk", "strrchr", "strspn",   "strstr",  "strtod",  "strtol",  "strtoul",
    "tan",     "tanh",    "tolower", "toupper", "va_arg",   "va_end",  "va_start"};
constexpr const char* asmdirectives[] = {
    "abs",  "align", "base",  "bsct",   "bss",    "clist",  "dc",     "dc.b",   "dc.l",  "dc.w",  "dcb",
    "dcb.b", "dcb.l", "dcb.w", "dlist", "ds.b",   "ds.l",   "ds.w",   "else",   "elsec", "end",   "endc",
    "endif", "endm", "equ",   "even",   "fail",   "fcb",    "fcc",    "fdb",    "hilo",  "if",    "ifc",
    "ifeq", "ifge",  "ifgt",  "ifle",   "iflt",   "ifnc",   "ifne",   "include", "list", "macro", "mexit",
    "mlist", "nol",  "nolist", "nopage", "offset", "org",   "page",   "plen",   "rmb",   "section", "set",
    "spc",  "switch", "tabs", "title",  "ttl",    "xdef",   "xref",   "xrefb",  "xref.b", "xref.l", "xref.w",
    "zpage"};

std::string lower(std::string_view w) {
    std::string s(w);
    for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Tables {
    std::unordered_map<std::string_view, int> keywords;
    std::unordered_map<std::string_view, LibFunc> lib;
    std::unordered_set<std::string_view> directives;
    std::unordered_set<std::string> mnemonics;   // lower case
    Tables() {
        for (auto& k : ckeywords) keywords.emplace(k.word, k.id);
        int id = 2;
        for (auto* n : libnames) lib.emplace(n, LibFunc{id++, n});
        for (auto* d : asmdirectives) directives.insert(d);
        for (auto& in : isa::insns()) {
            for (const char* n : {in.name, in.also, in.dis})
                if (n && *n) {
                    std::string s = lower(n);
                    if (s.size() > 1 && s.back() == '.') s.pop_back();
                    mnemonics.insert(s);
                }
        }
    }
};
const Tables& tables() {
    static const Tables t;
    return t;
}
}  // namespace

int ckeyword(std::string_view word) {
    auto& k = tables().keywords;
    auto it = k.find(word);
    return it == k.end() ? 0 : it->second;
}
bool ppdirective(std::string_view word) {
    for (auto* d : ppdirectives)
        if (word == d) return true;
    return false;
}
const LibFunc* clibfunc(std::string_view word) {
    auto& l = tables().lib;
    auto it = l.find(word);
    return it == l.end() ? nullptr : &it->second;
}
bool asmdirective(std::string_view word) {
    if (word.size() > 511) return false;
    std::string s = lower(word);
    return tables().directives.count(std::string_view(s)) != 0;
}
bool asmmnemonic(std::string_view word) {
    if (word.size() > 511) return false;
    return tables().mnemonics.count(lower(word)) != 0;
}

ColorNames colornames(const DebugInfo& di, std::string_view file) {
    ColorNames names;
    if (FileRecord* f = file.empty() ? nullptr : findfile(di, file))
        for (const LineRecord* r : f->defines) {
            size_t k = 2;
            while (k < r->text.size() && (std::isalnum(static_cast<unsigned char>(r->text[k])) || r->text[k] == '_')) ++k;
            if (k > 2) names.defines.insert(r->text.substr(2, k - 2));
        }
    for (auto& f : di.files)
        for (auto& fn : f->funcs)
            if (fn->name == ".")
                for (auto& v : fn->vars)
                    if (v.sclass == sc::TType) names.typedefs.insert(v.name);
    return names;
}

SourceKind sourcekind(const DebugInfo* di, std::string_view name) {
    if (di)
        if (FileRecord* f = findfile(*di, name)) {
            bool named = f->funcs.size() > 1 && !f->funcs[0]->name.empty() && f->funcs[0]->name[0] != '.';
            return named ? SourceKind::C : SourceKind::Asm;
        }
    auto ends = [&](const char* s) {
        size_t n = std::strlen(s);
        return name.size() >= n && name.substr(name.size() - n) == s;
    };
    if (name.size() >= 5 && (ends(".asm") || ends(".ASM"))) return SourceKind::Asm;
    if (name.size() <= 2) return SourceKind::Other;
    if (ends(".H") || ends(".h") || ends(".C") || ends(".c")) return SourceKind::C;
    if (ends(".S") || ends(".s")) return SourceKind::Asm;
    return SourceKind::Other;
}

// ---- colouring --------------------------------------------------------

namespace {
bool idchar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$'; }
void esc(std::string& out, int color) {
    out.push_back(0x01);
    out.push_back(char(color));
}
// A comment to the line end, its line feed included; returns where the
// text goes on.
size_t linecomment(std::string& out, std::string_view t, size_t i) {
    esc(out, 7);
    size_t end = t.find('\n', i);
    end = end == std::string_view::npos ? t.size() : end + 1;
    out.append(t.substr(i, end - i));
    esc(out, 1);
    return end;
}
// A word in its colour (0: plain).
void colourword(std::string& out, std::string_view w, int color) {
    if (color) esc(out, color);
    out.append(w);
    if (color) esc(out, 1);
}
}  // namespace

std::string colorc(std::string_view t, const ColorNames& names) {
    std::string out;
    out.reserve(t.size() + t.size() / 4 + 1);
    bool instring = false;
    const size_t n = t.size();
    size_t i = 0;
    while (i < n) {
        auto c = static_cast<unsigned char>(t[i]);
        if (instring) {
            out.push_back(char(c));
            if (c == '"') {
                // Only an odd run of backslashes escapes the quote.
                size_t k = i, run = 0;
                while (k > 0 && t[k - 1] == '\\') --k, ++run;
                if (run % 2 == 0) instring = false;
            } else if (c == '\n') {
                size_t k = i;
                if (k > 0 && t[k - 1] == '\r') --k;
                if (k == 0 || t[k - 1] != '\\') instring = false;   // unended string
            }
            ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && t[i + 1] == '*') {
            esc(out, 7);
            size_t end = t.find("*/", i + 2);
            end = end == std::string_view::npos ? n : end + 2;
            for (; i < end; ++i) {
                out.push_back(t[i]);
                if (t[i] == '\n') esc(out, 7);
            }
            esc(out, 1);
            continue;
        }
        if (c == '/' && i + 1 < n && t[i + 1] == '/') {
            i = linecomment(out, t, i);
            continue;
        }
        if (c == '"') {
            bool charconst = i > 0 && t[i - 1] == '\'' && i + 1 < n && t[i + 1] == '\'';
            if (!charconst) instring = true;
            out.push_back('"');
            ++i;
            continue;
        }
        if (c == '\'') {
            // A character constant is copied whole so that '"' or '\'' never
            // changes the string state.
            size_t k = i + 1;
            while (k < n && t[k] != '\'' && t[k] != '\n') k += t[k] == '\\' ? 2 : 1;
            if (k < n && t[k] == '\'') {
                out.append(t.substr(i, k + 1 - i));
                i = k + 1;
                continue;
            }
            out.push_back('\'');
            ++i;
            continue;
        }
        if (c == '#') {
            size_t k = i + 1;
            while (k < n && idchar(static_cast<unsigned char>(t[k]))) ++k;
            std::string_view w = t.substr(i, k - i);
            colourword(out, w, ppdirective(w) ? 14 : 0);
            i = k;
            continue;
        }
        if (idchar(c) && !(i > 0 && idchar(static_cast<unsigned char>(t[i - 1])))) {
            size_t k = i;
            while (k < n && idchar(static_cast<unsigned char>(t[k]))) ++k;
            std::string_view w = t.substr(i, k - i);
            int color = 0;
            if (ckeyword(w)) {
                color = 5;
            } else {
                size_t b = k;
                while (b < n && (t[b] == ' ' || t[b] == '\t')) ++b;
                if (b < n && t[b] == '(' && clibfunc(w))
                    color = 6;
                else if (names.defines.count(std::string(w)))
                    color = 16;
                else if (names.typedefs.count(std::string(w)))
                    color = 17;
            }
            colourword(out, w, color);
            i = k;
            continue;
        }
        out.push_back(char(c));
        ++i;
    }
    return out;
}

std::string colorasm(std::string_view t) {
    std::string out;
    out.reserve(t.size() + t.size() / 4 + 1);
    const size_t n = t.size();
    size_t i = 0;
    auto printable = [](unsigned char c) { return c > ' ' && c < 0x7F; };
    while (i < n) {
        auto c = static_cast<unsigned char>(t[i]);
        if (c == ';') {
            i = linecomment(out, t, i);
            continue;
        }
        if (printable(c) && c != ',' && c != ':') {
            size_t k = i;
            while (k < n && printable(static_cast<unsigned char>(t[k])) && t[k] != ',' && t[k] != ':') ++k;
            std::string_view w = t.substr(i, k - i);
            int color = asmmnemonic(w) ? 11 : asmdirective(w) ? 5 : 0;
            colourword(out, w, color);
            i = k;
            continue;
        }
        out.push_back(char(c));
        ++i;
    }
    return out;
}

std::string colortext(std::string_view file, SourceKind kind, const ColorNames& names) {
    switch (kind) {
    case SourceKind::C: return colorc(file, names);
    case SourceKind::Asm: return colorasm(file);
    default: return std::string(file);
    }
}

// ---- trace lines ------------------------------------------------------

std::string srcline(SrcLineCache& cache, const std::string& path, const std::string& name, uint32_t line,
                    bool flag) {
    if (cache.reportedpath != path) {
        cache.reported.clear();
        cache.reportedpath = path;
        if (!cache.loaded) cache.name.clear();   // try missing files again
    }
    if (name != cache.name) {
        cache.name = name;
        cache.text.clear();
        cache.loaded = false;
        std::string found = findsource(path, name);
        if (!found.empty() && readfile(found, cache.text)) {
            cache.loaded = true;
        } else if (cache.reported.insert(name).second) {
            puterror({"Can't open ", name, "\n"});
        }
    }
    std::string head = name + ":" + std::to_string(line);
    std::string result = head;
    if (!cache.loaded) return result;
    if (flag)
        result += " | ";
    else
        result.clear();
    const std::string& t = cache.text;
    size_t pos = 0;
    for (uint32_t k = 1; k < line; ++k) {
        pos = t.find('\n', pos);
        if (pos == std::string::npos) return flag ? head : head;
        ++pos;
    }
    if (line == 0 || pos >= t.size()) return head;
    size_t start = result.size();
    for (; pos < t.size() && t[pos] != '\n' && result.size() < 511; ++pos) {
        char c = t[pos];
        if (c == '\r') continue;
        if (c == '\t') {
            size_t col = result.size() - start;
            size_t to = (col / 8 + 1) * 8;
            result.append(std::min(to - col, 511 - result.size()), ' ');
        } else {
            result.push_back(c);
        }
    }
    return result;
}

}  // namespace vek::views

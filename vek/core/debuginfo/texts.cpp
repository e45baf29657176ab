// Small text helpers shared by the commands and views: number texts in the
// debugger's fixed layouts, blanks and statement ends of command lines, and
// the "files"/"funcs" listings and variable lookups by name.
#include <cstdio>
#include <cstring>

#include "vek/core/debuginfo/lookup.h"
#include "vek/core/debuginfo/texts.h"

namespace vek {

const char* skipblanks(const char* text) {
    while (*text && (static_cast<unsigned char>(*text) <= ' ' || static_cast<unsigned char>(*text) >= 127)) ++text;
    return text;
}

bool isidchar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}

const char* stmtend(const char* text) {
    int depth = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == '{') {
            ++depth;
        } else if (*p == '}') {
            if (depth > 0 && --depth == 0) return p + 1;
        } else if (*p == ';' && depth == 0) {
            return p;
        }
    }
    return text + std::strlen(text);
}

std::string sdectext(int32_t v) { return std::to_string(v); }
std::string dectext(uint32_t v) { return std::to_string(v); }

std::string hextext(uint32_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%-9x", v);
    return buf;
}

std::string hextextb(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", v);
    return buf;
}

std::string hexdottext(uint32_t address, int32_t number) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "0x%x.%d", address, number);
    std::string s = buf;
    s.resize(14, ' ');
    return s;
}

std::string padnum(uint32_t value, int width, char fill) {
    if (width > 15) width = 15;
    std::string digits = std::to_string(value);
    if (width < 0) width = 0;
    if (int(digits.size()) > width) return std::string(size_t(width), '*');
    return std::string(size_t(width) - digits.size(), fill) + digits;
}

const FunctionRecord* filescope(const FileRecord& file) {
    return file.funcs.empty() ? nullptr : file.funcs.back().get();
}

const VarRecord* findvarin(const FunctionRecord* f, std::string_view name, int sclass) {
    if (!f) return nullptr;
    for (const VarRecord& v : f->vars)
        if (v.name == name && (sclass < 0 || v.sclass == sclass)) return &v;
    return nullptr;
}

const VarRecord* findfilevar(const DebugInfo& di, std::string_view name, std::string_view file, int sclass) {
    const FileRecord* f = findfile(di, file);
    return f ? findvarin(filescope(*f), name, sclass) : nullptr;
}

bool funchasvar(const FunctionRecord* f, std::string_view name) { return findvarin(f, name, -1) != nullptr; }

bool filehasvar(const FileRecord* file, std::string_view name) {
    return file && findvarin(filescope(*file), name, -1) != nullptr;
}

std::string listfuncs(const DebugInfo& di, const char* file, bool witharguments) {
    std::string out;
    for (const auto& f : di.files) {
        if (file ? f->name != file : (f->flags & fileflag::Duplicate) != 0) continue;
        out += "Functions in file: " + f->name + "\n";
        for (const auto& fn : f->funcs) {
            if (fn.get() == filescope(*f) || (!fn->name.empty() && fn->name[0] == '.')) continue;
            if (!fn->start && !fn->name.empty()) continue;
            out += fn->active ? (fn->activated ? " (act)  " : " (on)   ") : " (off)  ";
            out += witharguments ? fn->rettext + fn->name + "(" + fn->argtext + ")" : fn->name + "()";
            out += " at " + hextext(fn->start ? fn->start->address : 0) + "\n";
        }
        out += "\n";
    }
    return out;
}

}  // namespace vek

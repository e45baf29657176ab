// Browser texts and list files (see browsers.h).
#include "vek/views/model/browsers.h"

#include <algorithm>
#include <cstdio>

#include "vek/core/debuginfo/lookup.h"
#include "vek/core/support/symbols.h"

namespace vek::views {

namespace {
std::string hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%x", v);
    return b;
}
std::string esc(int c) { return std::string{'\x01', char(c)}; }
uint32_t startaddr(const FunctionRecord& f) { return f.start ? f.start->address : 0; }
}  // namespace

std::vector<const FileRecord*> listedfiles(const DebugInfo& di) {
    std::vector<const FileRecord*> v;
    for (auto& f : di.files)
        if (!(f->flags & fileflag::Duplicate)) v.push_back(f.get());
    return v;
}

std::vector<const FunctionRecord*> listedfuncs(const FileRecord& f) {
    std::vector<const FunctionRecord*> v;
    for (auto& fn : f.funcs)
        if (!fn->name.empty() && fn->name[0] != '.' && fn->start) v.push_back(fn.get());
    return v;
}

std::string filebrowsertext(const DebugInfo& di) {
    std::string t = "\n";
    const std::string nine(9, ' ');
    for (auto* f : listedfiles(di)) t += nine + esc(4) + "\x15" "F" + f->name + "\x1A" + esc(1) + nine + "\n";
    return t + "\n";
}

std::string funcbrowsertext(const DebugInfo& di, std::string_view file, bool types) {
    std::string t;
    for (auto& f : di.files) {
        if (!file.empty() && f->name != file) continue;
        auto funcs = listedfuncs(*f);
        if (funcs.empty()) continue;
        t += esc(2) + "\nFunctions in file: " + esc(4) + "\x15" "L" + f->name + "\x1A" + esc(1) + "\n";
        for (auto* fn : funcs) {
            t += fn->active ? " (" + esc(12) + "\x15" "Son\x1A" + esc(1) + ")   "
                            : " (" + esc(13) + "\x15" "Soff\x1A" + esc(1) + ")  ";
            if (types)
                t += esc(3) + fn->rettext + esc(2) + "\x15" "E" + fn->name + "\x1A" + esc(1) + "(" + fn->argtext + ")";
            else
                t += fn->name + "()";
            t += " at " + esc(2) + hex(startaddr(*fn)) + "\n";
        }
        t += "\n";
    }
    return t;
}

std::string filelistfile(const DebugInfo& di) {
    std::string t = "\n\t\tFiles List\n\n";
    for (auto* f : listedfiles(di)) t += "\t" + f->name + "\n";
    return t;
}

static std::string funclist(const DebugInfo& di, const char* tab) {
    std::string t;
    for (auto& f : di.files) {
        auto funcs = listedfuncs(*f);
        if (funcs.empty()) continue;
        t += std::string("\n") + tab + "Functions in file: " + f->name + "\n";
        for (auto* fn : funcs)
            t += tab + fn->rettext + fn->name + "(" + fn->argtext + ")" + " at " + hex(startaddr(*fn)) + "\n\n";
    }
    return t;
}

std::string funclistfile(const DebugInfo& di) { return "\n\t\tFunction List\n\n" + funclist(di, "\t"); }
std::string funclistprint(const DebugInfo& di) { return "\n\t\tFunction List\n\n" + funclist(di, ""); }

std::string symbolstext(const std::vector<const ProgramSymbol*>& symbols, bool byname, const SymbolPlaces& places) {
    std::vector<const ProgramSymbol*> list;
    for (auto* s : symbols)
        if (s->name.empty() || s->name[0] != '.') list.push_back(s);
    if (byname)
        std::stable_sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->name < b->name; });
    std::string t;
    char value[16];
    for (auto* s : list) {
        std::snprintf(value, sizeof value, "0x%08x", s->value);
        t += "  " + std::string(value) + "  " + esc(2) + s->name + esc(1);
        if (s->section) {
            t += " in segment " + esc(3) + (places.sectionname ? places.sectionname(s->section) : "") + esc(1);
            bool source = false;
            std::string owner = places.owner ? places.owner(s->value, s->section, source) : "";
            if (!owner.empty())
                t += source ? " in: " + esc(4) + "\x15" "F" + owner + "\x1A" + esc(1) : " in object file: " + owner;
        } else {
            t += "  absolute";
        }
        t += "  \n";
    }
    return t;
}

std::string functag(std::string_view line) {
    size_t at = line.find("\x15" "E");
    if (at == std::string_view::npos) return {};
    size_t end = line.find('\x1A', at + 2);
    return std::string(line.substr(at + 2, end == std::string_view::npos ? end : end - at - 2));
}

std::string switchcommand(std::string_view line) {
    std::string name = functag(line);
    if (name.empty()) return {};
    bool on = line.find("\x15" "Son\x1A") != std::string_view::npos;
    return (on ? "deact " : "activ ") + name + "()";
}

std::string switchtext(bool active) {
    return active ? " (" + esc(12) + "\x15" "Son\x1A" + esc(1) + ") " : " (" + esc(13) + "\x15" "Soff\x1A" + esc(1) + ")";
}

}  // namespace vek::views

// The debug records handed to extensions: C copies of the debugger's own
// tables (which hold C++ strings and vectors that extensions cannot read).
//
// The copies are made on the first request after a load, in arrays that
// are sized once and never grow, with every text in storage of their own,
// so no pointer an extension holds moves until the next load. A parallel
// array remembers the record each copy was made from; a pointer an
// extension hands back is found in those arrays (or refused) before it is
// used. Counts and flags that runs change are copied again into each
// record an export hands out, and into all of them when an export starts a
// walk (the file chain, a file, the address-ordered list) after a run.
#include <algorithm>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "vek/command/ext/exportutil.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/symbols.h"

namespace vek {

struct RecordCopies {
    uint64_t generation = 0;
    const DebugInfo* di = nullptr;
    size_t nlines = 0, nfiles = 0, naggs = 0;   // the tables' sizes when copied
    uint32_t stamp = 0;                 // cycle count of the last refresh
    bool stamped = false;
    std::deque<std::string> texts;      // never moved once made
    std::deque<std::vector<uint32_t>> words;   // the variables' derivation words

    std::vector<VekLineRecord> lines;   // main list, then the attribute records
    std::vector<const LineRecord*> linesrc;
    std::unordered_map<const LineRecord*, VekLineRecord*> lineof;
    std::vector<VekFileRecord> files;
    std::vector<const FileRecord*> filesrc;
    std::vector<VekFunctionRecord> funcs;
    std::vector<const FunctionRecord*> funcsrc;
    std::unordered_map<const FunctionRecord*, VekFunctionRecord*> funcof;
    std::vector<VekVarRecord> vars;     // every function's, then every aggregate's members
    std::vector<const VarRecord*> varsrc;
    std::unordered_map<const VarRecord*, VekVarRecord*> varof;
    std::vector<VekAggregate> aggs;
    std::deque<std::vector<const char*>> defines;

    std::vector<VekCallFrame> frames;   // remade by each GetCurrentStack

    // Symbols: one copy per name (per repeat of a name), kept until the
    // next load, so that a pointer handed out stays valid while symbols
    // come and go; the links are made again when the list changed.
    uint64_t symgeneration = 0;
    bool symbolsmade = false;
    std::deque<VekProgramSymbol> symbols;
    std::unordered_map<std::string, VekProgramSymbol*> symbyname;
    std::unordered_map<const ProgramSymbol*, VekProgramSymbol*> symof;

    std::string decl;                   // GetVariableDescription's buffer
    LocationState loc;                  // AnalyzeString's names

    const char* keep(const std::string& s) {
        texts.push_back(s);
        return texts.back().c_str();
    }
    const char* keepornull(const std::string& s) { return s.empty() ? nullptr : keep(s); }

    template <class C>
    static size_t indexof(const std::vector<C>& v, const void* p) {
        if (!p || v.empty()) return size_t(-1);
        const auto a = reinterpret_cast<uintptr_t>(v.data()), x = reinterpret_cast<uintptr_t>(p);
        if (x < a || x >= a + v.size() * sizeof(C) || (x - a) % sizeof(C) != 0) return size_t(-1);
        return (x - a) / sizeof(C);
    }
    const LineRecord* source(const VekLineRecord* r) const {
        const size_t i = indexof(lines, r);
        return i == size_t(-1) ? nullptr : linesrc[i];
    }
    const VarRecord* source(const VekVarRecord* v) const {
        const size_t i = indexof(vars, v);
        return i == size_t(-1) ? nullptr : varsrc[i];
    }
    const FileRecord* source(const VekFileRecord* f) const {
        const size_t i = indexof(files, f);
        return i == size_t(-1) ? nullptr : filesrc[i];
    }
    VekLineRecord* line(const LineRecord* r) {
        auto it = lineof.find(r);
        return it == lineof.end() ? nullptr : it->second;
    }
    VekFunctionRecord* func(const FunctionRecord* f) {
        auto it = funcof.find(f);
        return it == funcof.end() ? nullptr : it->second;
    }
    VekVarRecord* var(const VarRecord* v) {
        auto it = varof.find(v);
        return it == varof.end() ? nullptr : it->second;
    }

    void build(Debugger& d);
    void copyvar(VekVarRecord& c, const VarRecord& v, VekFunctionRecord* owner);
    void refresh(Debugger& d);
    void freshline(size_t i);
    void freshfunc(Debugger& d, size_t i);
    VekLineRecord* fresh(VekLineRecord* r);
    VekFunctionRecord* fresh(Debugger& d, VekFunctionRecord* f);
};

namespace {

Debugger& dbg() { return extdebugger(); }

void copyline(VekLineRecord& c, const LineRecord& r) {
    c.descriptor = r.descriptor;
    c.kind = r.kind;
    c.flags = r.flags;
    c.flags2 = r.flags2;
    c.line = r.line;
    c.column = r.column;
    c.endline = r.endline;
    c.endcolumn = r.endcolumn;
    c.hits = r.hits;
    c.cycles = r.cycles;
    c.address = r.address;
}

}  // namespace

void RecordCopies::copyvar(VekVarRecord& c, const VarRecord& v, VekFunctionRecord* owner) {
    c = VekVarRecord{};
    c.owner = owner;
    c.sclass = v.sclass;
    c.core = v.core;
    c.attr = int16_t(uint16_t(v.attr));
    c.size = v.size;
    c.type = v.type;
    c.value = v.value;
    c.value2 = v.value2;
    c.name = keepornull(v.name);
    if (!v.desc.steps.empty()) {
        c.steps = words.emplace_back(v.desc.steps).data();
        c.nsteps = uint32_t(v.desc.steps.size());
    }
    c.bitword = v.desc.bitword;
}

void RecordCopies::build(Debugger& d) {
    *this = RecordCopies();
    const DebugInfo& info = d.di();
    di = &info;
    generation = info.generation;
    nlines = info.lines.size();
    nfiles = info.files.size();
    naggs = info.aggregates.size();

    // Line records: the main list in address order, then the attribute
    // records (a file names its module's).
    const size_t count = info.lines.size() + info.attrs.size();
    lines.assign(count, VekLineRecord{});
    linesrc.reserve(count);
    for (const LineRecord* r : info.lines) linesrc.push_back(r);
    for (const LineRecord* r : info.attrs) linesrc.push_back(r);
    for (size_t i = 0; i < count; ++i) {
        const LineRecord& r = *linesrc[i];
        lineof[&r] = &lines[i];
        copyline(lines[i], r);
        lines[i].function = keepornull(r.func);
        lines[i].text = keep(r.file);
        if (i + 1 < info.lines.size()) lines[i].next = &lines[i + 1];
    }

    // Files, their functions and the functions' variables.
    size_t nfuncs = 0, nvars = 0, nmembers = 0;
    for (const auto& f : info.files) {
        nfuncs += f->funcs.size();
        for (const auto& fn : f->funcs) nvars += fn->vars.size();
    }
    for (const auto& a : info.aggregates) nmembers += a->members.size() + 1;
    files.assign(info.files.size(), VekFileRecord{});
    funcs.assign(nfuncs, VekFunctionRecord{});
    vars.assign(nvars + nmembers, VekVarRecord{});
    aggs.assign(info.aggregates.size(), VekAggregate{});
    varsrc.assign(vars.size(), nullptr);
    std::unordered_map<const AggregateDescriptor*, VekAggregate*> aggof;
    for (size_t i = 0; i < aggs.size(); ++i) aggof[info.aggregates[i].get()] = &aggs[i];

    size_t fi = 0, vi = 0;
    VekFunctionRecord* lastnameless = nullptr;
    for (size_t k = 0; k < info.files.size(); ++k) {
        const FileRecord& f = *info.files[k];
        VekFileRecord& cf = files[k];
        filesrc.push_back(&f);
        if (k + 1 < files.size()) cf.next = &files[k + 1];
        cf.attrrecord = line(f.attrrec);
        cf.index = f.index;
        cf.flags = f.flags;
        cf.firstline = f.firstline;
        cf.lastline = f.lastline;
        auto& defs = defines.emplace_back();
        for (const std::string& t : f.definetexts) defs.push_back(keep(t));
        cf.defines = defs.empty() ? nullptr : defs.data();
        cf.ndefines = uint32_t(defs.size());
        cf.name = keep(f.name);
        cf.kindbyte = f.kindbyte;
        cf.core = f.core;
        cf.functions = f.funcs.empty() ? nullptr : &funcs[fi];
        for (size_t j = 0; j < f.funcs.size(); ++j, ++fi) {
            const FunctionRecord& fn = *f.funcs[j];
            VekFunctionRecord& c = funcs[fi];
            funcsrc.push_back(&fn);
            funcof[&fn] = &c;
            if (j + 1 < f.funcs.size()) c.next = &funcs[fi + 1];
            c.file = &cf;
            if (fn.name.empty()) {
                if (lastnameless) lastnameless->link = &c;
                lastnameless = &c;
            }
            c.start = line(fn.start);
            c.frame = line(fn.frame);
            c.end = line(fn.end);
            c.vars = fn.vars.empty() ? nullptr : &vars[vi];
            c.nvars = uint16_t(std::min<size_t>(fn.vars.size(), 0xFFFF));
            c.nargs = uint16_t(fn.nargs);
            c.regarg = fn.regarg;
            c.core = uint8_t(fn.core);
            c.firstline = fn.firstline;
            c.lastline = fn.lastline;
            c.args = keep(fn.argtext);
            c.returns = keep(fn.rettext);
            c.name = keep(fn.name);
            if (fn.firstlocal >= 0 && size_t(fn.firstlocal) < fn.vars.size()) {
                c.firstlocal = &vars[vi + size_t(fn.firstlocal)];
                c.nlocals = uint16_t(std::min<size_t>(fn.vars.size() - size_t(fn.firstlocal), 0xFFFF));
            }
            for (size_t n = 0; n < fn.vars.size(); ++n, ++vi) {
                const VarRecord& v = fn.vars[n];
                copyvar(vars[vi], v, &c);
                vars[vi].aggregate = v.desc.agg ? aggof[v.desc.agg] : nullptr;
                varsrc[vi] = &v;
                varof[&v] = &vars[vi];
                if (!c.staticpart && (v.sclass == sc::Fix || v.sclass == sc::StatAut)) c.staticpart = &vars[vi];
            }
            c.varsend = c.vars ? &vars[vi] : nullptr;
        }
    }
    // Aggregates: members, then a record without a name.
    for (size_t k = 0; k < aggs.size(); ++k) {
        const AggregateDescriptor& a = *info.aggregates[k];
        VekAggregate& c = aggs[k];
        if (k + 1 < aggs.size()) c.next = &aggs[k + 1];
        c.count = uint16_t(std::min<size_t>(a.members.size(), 0xFFFF));
        c.position = a.pos;
        c.size = a.size;
        c.tag = keepornull(a.tag);
        c.members = &vars[vi];
        for (const VarRecord& m : a.members) {
            copyvar(vars[vi], m, nullptr);
            vars[vi].aggregate = m.desc.agg ? aggof[m.desc.agg] : nullptr;
            varsrc[vi] = &m;
            varof[&m] = &vars[vi];
            ++vi;
        }
        ++vi;   // the end record stays zero
    }
    for (size_t i = 0; i < count; ++i) {
        const FunctionRecord* owner = linesrc[i]->owner;
        lines[i].owner = owner ? func(owner) : nullptr;
    }
    refresh(d);
}

// Counts and flags that runs change: of one record as it is handed out,
// of all of them when a walk starts (once per stop).
void RecordCopies::freshline(size_t i) {
    lines[i].hits = linesrc[i]->hits;
    lines[i].cycles = linesrc[i]->cycles;
}

void RecordCopies::freshfunc(Debugger& d, size_t i) {
    const FunctionRecord& f = *funcsrc[i];
    VekFunctionRecord& c = funcs[i];
    c.active = f.active;
    c.activated = f.activated;
    auto it = d.stats.find(&f);
    if (it == d.stats.end()) return;
    const FuncStats& s = it->second;
    c.cycles = s.total;
    c.calls = s.calls;
    c.total = s.total;
    c.minown = s.minown;
    c.maxown = s.maxown;
    c.minincl = s.minincl;
    c.maxincl = s.maxincl;
}

void RecordCopies::refresh(Debugger& d) {
    if (stamped && stamp == d.now()) return;
    stamp = d.now();
    stamped = true;
    for (size_t i = 0; i < lines.size(); ++i) freshline(i);
    for (size_t i = 0; i < funcs.size(); ++i) freshfunc(d, i);
}

VekLineRecord* RecordCopies::fresh(VekLineRecord* r) {
    if (const size_t i = indexof(lines, r); i != size_t(-1)) freshline(i);
    return r;
}

VekFunctionRecord* RecordCopies::fresh(Debugger& d, VekFunctionRecord* f) {
    if (const size_t i = indexof(funcs, f); i != size_t(-1)) freshfunc(d, i);
    return f;
}

namespace {

// The copies of the loaded program's tables, made or brought up to date.
RecordCopies& copies() {
    ExportState& x = exportstate();
    Debugger& d = dbg();
    if (!x.records) x.records = std::make_shared<RecordCopies>();
    RecordCopies& c = *x.records;
    // Tables still growing (a load callback asking during a load) are
    // copied again once they have grown.
    const DebugInfo& di = d.di();
    if (c.di != &di || c.generation != di.generation || c.nlines != di.lines.size() ||
        c.nfiles != di.files.size() || c.naggs != di.aggregates.size()) {
        c.build(d);
    }
    return c;
}

VekLineRecord* cline(const LineRecord* r) {
    if (!r) return nullptr;
    RecordCopies& c = copies();
    return c.fresh(c.line(r));
}

// The record of a file that holds the line (Part of the source lookups):
// among the functions whose range holds it, or the whole list for a file
// without named functions.
const LineRecord* linematch(const DebugInfo& di, const FileRecord& fr, uint32_t line) {
    if (!fr.funcs.empty() && !fr.funcs.front()->name.empty()) {
        for (const auto& fn : fr.funcs) {
            if (!fn->start || line < fn->firstline || line > fn->lastline) continue;
            for (const LineRecord* r = fn->start; r && r->owner == fn.get(); r = di.next(r))
                if ((r->kind & 0x38) && r->line == line) return r;
        }
        return nullptr;
    }
    for (const LineRecord* r : di.lines)
        if (r->line == line && r->file == fr.name) return r;
    return nullptr;
}

}  // namespace

VekVarRecord* cvar(const VarRecord* var) { return var ? copies().var(var) : nullptr; }

}  // namespace vek

using namespace vek;

extern "C" {

const char* AnalyzeString(const char* text, VekLocationSpec* spec) {
    if (!text || !spec) return text;
    return ondebugger([&] {
        RecordCopies& c = copies();
        LocationSpec loc;
        const char* rest = parseloc(c.loc, text, loc);
        *spec = VekLocationSpec{};
        spec->isaddress = loc.isaddress;
        spec->given = loc.given;
        spec->qualified = loc.qualified;
        spec->line = loc.line;
        spec->column = loc.column;
        spec->endline = loc.endline;
        spec->endcolumn = loc.endcolumn;
        spec->address = loc.address;
        spec->file = loc.file;
        spec->function = loc.function;
        spec->symbol = loc.symbol;
        return rest;
    });
}

VekFileRecord* GetFileChain(void) {
    return ondebugger([]() -> VekFileRecord* {
        RecordCopies& c = copies();
        c.refresh(dbg());
        return c.files.empty() ? nullptr : c.files.data();
    });
}

VekFileRecord* GetFileInfo(const char* file) {
    if (!file) return nullptr;
    return ondebugger([&]() -> VekFileRecord* {
        const FileRecord* f = findfile(dbg().di(), file);
        if (!f) return nullptr;
        RecordCopies& c = copies();
        c.refresh(dbg());
        for (size_t i = 0; i < c.filesrc.size(); ++i)
            if (c.filesrc[i] == f) return &c.files[i];
        return nullptr;
    });
}

VekFunctionRecord* GetFunctionInfo(const char* function, const char* file) {
    if (!function) return nullptr;
    return ondebugger([&]() -> VekFunctionRecord* {
        const FunctionRecord* f = findfunc(dbg().di(), function, file);
        if (!f) return nullptr;
        RecordCopies& c = copies();
        return c.fresh(dbg(), c.func(f));
    });
}

VekLineRecord* GetDebugList(void) {
    return ondebugger([]() -> VekLineRecord* {
        RecordCopies& c = copies();
        c.refresh(dbg());
        return dbg().di().lines.empty() ? nullptr : c.lines.data();
    });
}

VekLineRecord* GetDebugSymbol(uint32_t address) {
    return ondebugger([&] { return cline(findlineat(dbg().di(), address)); });
}

VekLineRecord* CheckDebugSymbol(uint32_t address) {
    return ondebugger([&] { return cline(findstmtat(dbg().di(), address)); });
}

static VekLineRecord* kindat(const VekLineRecord* record, uint8_t kind) {
    if (!record) return nullptr;
    return ondebugger([&]() -> VekLineRecord* {
        RecordCopies& c = copies();
        // Only records of the address-ordered list have neighbours.
        const size_t i = RecordCopies::indexof(c.lines, record);
        if (i >= dbg().di().lines.size()) return nullptr;
        const LineRecord* r = c.linesrc[i];
        return cline(findkindat(dbg().di(), const_cast<LineRecord*>(r), kind));
    });
}
VekLineRecord* GetLineDebugSymbol(const VekLineRecord* record) { return kindat(record, 0x08); }
VekLineRecord* GetStartDebugSymbol(const VekLineRecord* record) { return kindat(record, 0x20); }

VekLineRecord* GetLineMatch(const VekFileRecord* file, uint32_t line) {
    if (!file) return nullptr;
    return ondebugger([&]() -> VekLineRecord* {
        const FileRecord* f = copies().source(file);
        return f ? cline(linematch(dbg().di(), *f, line)) : nullptr;
    });
}

VekCallFrame* GetCurrentStack(void) {
    return ondebugger([]() -> VekCallFrame* {
        RecordCopies& c = copies();
        const auto& frames = dbg().frames;   // innermost last
        c.frames.assign(frames.size(), VekCallFrame{});
        for (size_t k = 0; k < frames.size(); ++k) {
            const CallFrame& f = frames[frames.size() - 1 - k];
            VekCallFrame& cf = c.frames[k];
            if (k + 1 < frames.size()) cf.caller = &c.frames[k + 1];
            cf.function = c.fresh(dbg(), c.func(f.func));
            cf.linerecord = f.linerec ? c.fresh(c.line(f.linerec)) : nullptr;
            cf.setup = f.setup;
            cf.locals = f.locals;
            cf.line = f.line;
            cf.column = f.column;
            cf.lastline = f.lastline;
            cf.endcolumn = f.endcolumn;
            cf.base = f.base;
            cf.sp = f.sp;
        }
        return c.frames.empty() ? nullptr : c.frames.data();
    });
}

const char* GetVariableDescription(const VekVarRecord* var) {
    if (!var) return nullptr;
    return ondebugger([&]() -> const char* {
        RecordCopies& c = copies();
        const VarRecord* v = c.source(var);
        if (!v) return nullptr;
        c.decl = vardecl(*v);
        return c.decl.c_str();
    });
}

uint32_t GetVariableSize(const VekVarRecord* var) {
    if (!var) return 0;
    return ondebugger([&]() -> uint32_t {
        const VarRecord* v = copies().source(var);
        return v ? typesize(*v) : 0;
    });
}

int GetXrefsFlag(void) {
    return ondebugger([] { return dbg().di().hasxref ? 1 : 0; });
}

VekProgramSymbol* rensym(const char* name) {
    if (!name) return nullptr;
    return ondebugger([&]() -> VekProgramSymbol* {
        RecordCopies& c = copies();
        const ProgramSymbol* s = vek::rensym(name);
        if (!s) return nullptr;
        SymbolTable& t = symtab();
        if (!c.symbolsmade || c.symgeneration != t.generation) {
            c.symof.clear();
            std::unordered_map<std::string, int> repeats;
            VekProgramSymbol* last = nullptr;
            for (const ProgramSymbol* p = t.head; p; p = p->next) {
                const int n = repeats[p->name]++;
                const std::string key = n ? p->name + '\0' + std::to_string(n) : p->name;
                VekProgramSymbol*& node = c.symbyname[key];
                if (!node) {
                    node = &c.symbols.emplace_back();
                    node->name = c.keep(p->name);
                }
                node->next = nullptr;
                node->value = p->value;
                node->section = p->section;
                node->flags = p->flags;
                node->kind = p->kind;
                if (last) last->next = node;
                last = node;
                c.symof[p] = node;
            }
            c.symgeneration = t.generation;
            c.symbolsmade = true;
        }
        auto it = c.symof.find(s);
        if (it == c.symof.end()) return nullptr;
        it->second->value = s->value;   // counters move without a change of the list
        return it->second;
    });
}

int GetFunctionAddressRange(const char* function, const char* file, uint32_t* start, uint32_t* end) {
    if (!function) return 0;
    return ondebugger([&] {
        const DebugInfo& di = dbg().di();
        const FunctionRecord* f = findfunc(di, function, file);
        if (!f || !f->start) return 0;
        const LineRecord* r = di.next(f->start);
        while (r && r->kind != 0x10) r = di.next(r);
        if (!r) return 0;
        if (start) *start = f->start->address;
        if (end) *end = r->address;
        return 1;
    });
}

int GetLabelAddress(const char* function, const char* file, const char* label, uint32_t* address) {
    if (!function || !label) return 0;
    return ondebugger([&] {
        for (const auto& f : dbg().di().files) {
            if (file && f->name != file) continue;
            for (const auto& fn : f->funcs) {
                if (fn->name != function) continue;
                for (const VarRecord& v : fn->vars)
                    if (v.name == label && (v.sclass == sc::TLabel || v.sclass == sc::TGLabel)) {
                        if (address) *address = v.value;
                        return 1;
                    }
                return 0;
            }
        }
        return 0;
    });
}

}  // extern "C"

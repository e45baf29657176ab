// Files, functions and variables of a program, read from the ".debug"
// section by following the positions stored in it, and tied to the address
// ordered debug records. Every position and every chain read from the file
// is checked against the section: a damaged section drops the debug
// information instead of reading outside it or walking a cycle forever.
#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "vek/core/debuginfo/debuginfo.h"
#include "vek/core/debuginfo/lookup.h"

namespace vek {

namespace {

struct Damaged {
    std::string what;
};

std::string hexpos(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", v);
    return buf;
}

// Checked reads of the ".debug" section. A sound section is read about
// once; the budget stops a damaged one whose positions send the reader over
// the same bytes again and again (many functions sharing one huge local
// list) before it costs unbounded time or memory.
struct Section {
    const DebugSection& sec;
    mutable uint64_t budget = 16 * uint64_t(sec.size) + 65536;

    void need(uint32_t pos, uint32_t n) const {
        if (pos > sec.size || n > sec.size - pos)
            throw Damaged{"position " + hexpos(pos) + " outside the .debug section"};
        spend(n);
    }
    void spend(uint64_t n) const {
        if (n > budget) throw Damaged{"the .debug section refers to itself over and over"};
        budget -= n;
    }
    uint32_t be32(uint32_t pos) const {
        need(pos, 4);
        const uint8_t* p = sec.data + pos;
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    }
    // Type words are stored least significant byte first.
    uint32_t le32(uint32_t pos) const {
        need(pos, 4);
        const uint8_t* p = sec.data + pos;
        return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    // A NUL-ended string; *after is the position just past the NUL.
    std::string str(uint32_t pos, uint32_t* after = nullptr) const {
        need(pos, 1);
        const uint8_t* p = sec.data + pos;
        const void* nul = std::memchr(p, 0, sec.size - pos);
        if (!nul) throw Damaged{"string at " + hexpos(pos) + " runs past the .debug section"};
        size_t n = size_t(static_cast<const uint8_t*>(nul) - p);
        spend(n);
        if (after) *after = pos + uint32_t(n) + 1;
        return std::string(reinterpret_cast<const char*>(p), n);
    }
    uint8_t byte(uint32_t pos) const {
        need(pos, 1);
        return sec.data[pos];
    }
    // The most entries of `stride` bytes a walk can meet before it repeats.
    uint32_t walklimit(uint32_t stride) const { return sec.size / stride + 1; }
};

// Whether an attribute-table record's text names the module: the same
// text, or the compiler's form, the module's file name, ":" and a number.
bool tablefor(std::string_view table, std::string_view module) {
    if (table == module) return true;
    if (table.size() <= module.size() + 1 || table.substr(0, module.size()) != module || table[module.size()] != ':')
        return false;
    return table.find_first_not_of("0123456789", module.size() + 1) == std::string_view::npos;
}

struct Builder {
    DebugInfo& di;
    Section s;
    LoadReport& report;
    bool nodupfiles;
    Builder(DebugInfo& d, const DebugSection& sec, LoadReport& r, bool nodup)
        : di(d), s{sec}, report(r), nodupfiles(nodup) {}
    std::unordered_map<std::string, LineRecord*> starts;  // file '\1' function -> first start
    std::unordered_map<uint32_t, AggregateDescriptor*> aggs;
    bool hasmasks = false;
    uint32_t masks[16] = {};
    int depth = 0;
    // Lookups that keep the build near linear whatever the file holds: the
    // next frame and end record after each record, files and functions by
    // name (files and functions are put in their order at the end).
    std::vector<uint32_t> nextframe, nextend;
    std::unordered_map<std::string, FileRecord*> filebyname;
    std::unordered_map<std::string, FunctionRecord*> funcbyname;

    static std::string key(const std::string& file, const std::string& func) { return file + '\1' + func; }

    uint32_t ptrclass(uint32_t bits) const {
        if ((bits & 0x3000) == 0x2000) bits &= ~0x2000u;
        else if ((bits & 0x3000) == 0x3000) bits &= ~0x1000u;
        uint32_t out = 0;
        for (int i = 0; i < 16; ++i)
            if (bits & (0x8000u >> i)) out |= masks[i];
        return out;
    }

    void loadmasks(const LineRecord* attrrec) {
        hasmasks = false;
        if (!attrrec) return;
        uint32_t p = s.be32(attrrec->address - s.sec.base);
        for (int i = 0; i < 16; ++i) masks[i] = s.be32(p + 4 * uint32_t(i));
        hasmasks = true;
    }

    TypeDesc readdesc(uint32_t type, uint32_t pos) {
        TypeDesc d;
        if (pos == 0) return d;
        uint32_t at = pos;
        auto word = [&] {
            uint32_t w = s.be32(at);
            at += 4;
            return w;
        };
        if (hasmasks) d.attr = ptrclass(word());
        uint8_t base = uint8_t(type);
        if (isbitfieldtype(base) || base == 1) d.bitword = word();
        int steps = typedepth(type);
        uint32_t t = type;
        for (int i = 0; i < steps; ++i) {
            uint32_t w = word();
            if ((t >> 30) != 3 && hasmasks) w = ptrclass(w);
            d.steps.push_back(w);
            t = ((t & 0xFFFFFF00u) << 2) | (t & 0xFFu);
        }
        if (isaggregatetype(base)) {
            uint32_t ap = word();
            if (ap) d.agg = readaggregate(ap);
        }
        return d;
    }

    // One 16-byte entry: name with class, value, type word, descriptor.
    // False at the entry with a zero name pointer (value then holds its value).
    bool readentry(uint32_t pos, VarRecord& v) {
        uint32_t namepos = s.be32(pos);
        v.value = s.be32(pos + 4);
        if (namepos == 0) return false;
        uint32_t after = 0;
        v.name = s.str(namepos, &after);
        v.sclass = s.byte(after);
        if (v.sclass == sc::RegArg || v.sclass == sc::RFArg || v.sclass == sc::RRArg) {
            v.value2 = v.value;
            v.value = s.be32(after + 1);
        }
        v.type = s.le32(pos + 8);
        v.desc = readdesc(v.type, s.be32(pos + 12));
        v.attr = v.desc.attr;
        v.size = typesize(v);
        return true;
    }

    AggregateDescriptor* readaggregate(uint32_t pos) {
        if (auto it = aggs.find(pos); it != aggs.end()) return it->second;
        if (++depth > 64) throw Damaged{"aggregates nested too deep at " + hexpos(pos)};
        auto owned = std::make_unique<AggregateDescriptor>();
        AggregateDescriptor* a = owned.get();
        di.aggregates.push_back(std::move(owned));
        aggs[pos] = a;   // before the members, so a member pointing back finds it
        a->pos = pos;
        uint32_t tagpos = s.be32(pos);
        if (tagpos) a->tag = s.str(tagpos);
        uint32_t limit = s.walklimit(16);
        for (uint32_t e = pos + 4, n = 0;; e += 16, ++n) {
            if (n > limit) throw Damaged{"unended member list at " + hexpos(pos)};
            VarRecord m;
            if (!readentry(e, m)) {
                a->size = m.value;
                break;
            }
            a->members.push_back(std::move(m));
        }
        // Sizes of members that contain this aggregate were taken before the
        // size was known; take them again.
        for (auto& m : a->members) m.size = typesize(m);
        --depth;
        return a;
    }

    void readlocals(FunctionRecord& f, uint32_t pos) {
        if (pos == 0) return;
        uint32_t limit = s.walklimit(16);
        std::vector<VarRecord> args, rest, labels;
        bool plus = f.start && (f.start->flags & 0x40);
        for (uint32_t e = pos, n = 0;; e += 16, ++n) {
            if (n > limit) throw Damaged{"unended local list at " + hexpos(pos)};
            VarRecord v;
            if (!readentry(e, v)) break;
            v.core = uint8_t(f.core);
            uint8_t c = v.sclass;
            if (uint8_t(v.type) == 1 && v.desc.bitword == 0 && v.desc.steps.empty()) {
                v.value2 = v.value & 7;   // bit number of a _Bool at a bit address
                v.value >>= 3;
            }
            if (c == sc::Reg || c == sc::RegArg || (c >= sc::RMArg && c <= sc::RFArg)) f.regarg = true;
            if (sc::isargument(c)) ++f.nargs;
            if (c == sc::Arg && plus) v.value += 1;
            if (sc::isargument(c) || c == sc::IntrArg) args.push_back(std::move(v));
            else if (c == sc::TLabel) labels.push_back(std::move(v));
            else rest.push_back(std::move(v));
        }
        std::stable_sort(args.begin(), args.end(),
                         [](const VarRecord& a, const VarRecord& b) { return a.value < b.value; });
        for (auto& v : args)
            if (v.sclass == sc::RFArg) std::swap(v.value, v.value2);
        for (auto* part : {&args, &rest, &labels})
            for (auto& v : *part) f.vars.push_back(std::move(v));
        argumenttext(f);
        for (size_t i = 0; i < f.vars.size(); ++i) {
            f.vars[i].owner = &f;
            uint8_t c = f.vars[i].sclass;
            if (f.firstlocal < 0 && (c == sc::Fix || c == sc::Aut || c == sc::Reg || c == sc::StatAut))
                f.firstlocal = int(i);
        }
    }

    // The arguments' declarations without their storage class, ", " between
    // them; a declaration that does not fit ends the text with up to "...".
    static void argumenttext(FunctionRecord& f) {
        constexpr size_t Limit = 504;
        for (const VarRecord& v : f.vars) {
            if (!sc::isargument(v.sclass)) continue;
            VarRecord plain = v;
            plain.sclass = 0;
            std::string d = decltext(plain);
            std::string piece = (f.argtext.empty() ? "" : ", ") + d;
            if (f.argtext.size() + piece.size() > Limit) {
                f.argtext.append(std::min<size_t>(3, Limit - f.argtext.size()), '.');
                break;
            }
            f.argtext += piece;
        }
    }

    void indexrecords() {
        size_t n = di.lines.size();
        nextframe.assign(n + 1, UINT32_MAX);
        nextend.assign(n + 1, UINT32_MAX);
        for (size_t i = n; i-- > 0;) {
            nextframe[i] = di.lines[i]->kind == kind::Frame ? uint32_t(i) : nextframe[i + 1];
            nextend[i] = di.lines[i]->kind == kind::End ? uint32_t(i) : nextend[i + 1];
        }
    }

    // The first record of the kind after start.
    LineRecord* findafter(const LineRecord* start, uint8_t k) const {
        const auto& next = k == kind::Frame ? nextframe : nextend;
        uint32_t i = next[start->pos + 1];
        return i == UINT32_MAX ? nullptr : di.lines[i];
    }

    static std::string funckey(const FileRecord* file, const std::string& name) {
        return std::to_string(reinterpret_cast<uintptr_t>(file)) + '\1' + name;
    }

    // Functions with a start come first, by start address; the lookup by
    // name finds the first of that order.
    static bool funcbefore(const FunctionRecord* a, const FunctionRecord* b) {
        if (!a->start || !b->start) return a->start && !b->start;
        return a->start->address < b->start->address;
    }

    void insertfunc(FileRecord& file, std::unique_ptr<FunctionRecord> f) {
        auto [it, fresh] = funcbyname.try_emplace(funckey(&file, f->name), f.get());
        if (!fresh && funcbefore(f.get(), it->second)) it->second = f.get();
        file.funcs.push_back(std::move(f));
    }

    void insertfile(std::unique_ptr<FileRecord> file) {
        filebyname.try_emplace(file->name, file.get());
        di.files.push_back(std::move(file));
    }

    FileRecord* findfile(const std::string& name) const {
        auto it = filebyname.find(name);
        return it == filebyname.end() ? nullptr : it->second;
    }

    // Files in name order (equal names in the order read), functions by start.
    void putinorder() {
        std::erase(di.files, nullptr);
        std::stable_sort(di.files.begin(), di.files.end(),
                         [](const auto& a, const auto& b) { return a->name < b->name; });
        for (size_t i = 0; i < di.files.size(); ++i) {
            FileRecord& f = *di.files[i];
            f.index = uint32_t(i);
            std::stable_sort(f.funcs.begin(), f.funcs.end(),
                             [](const auto& a, const auto& b) { return funcbefore(a.get(), b.get()); });
            if (!f.funcs.empty() && !f.funcs.front()->name.empty()) f.flags |= fileflag::Named;
        }
    }

    void readmodule(const LineRecord* module) {
        uint32_t pos = module->address - s.sec.base;
        auto file = std::make_unique<FileRecord>();
        uint32_t after = 0;
        file->name = s.str(s.be32(pos), &after);
        file->kindbyte = s.byte(after);
        if (file->kindbyte == 0x8B || file->kindbyte == 0x8D) {
            file->core = 1;
            di.splitmask = 0xFFFFFFEFu;
        }
        if (FileRecord* old = findfile(file->name)) {
            if (old->flags & fileflag::LinesOnly) {
                filebyname.erase(file->name);
                for (auto& f : di.files)
                    if (f.get() == old) f.reset();
            } else {
                file->flags |= fileflag::Duplicate;
                if (nodupfiles) return;
            }
        }
        for (LineRecord* a : di.attrs)
            if (tablefor(a->text, module->text)) {
                file->attrrec = a;
                break;
            }
        loadmasks(file->attrrec);

        uint32_t limit = s.walklimit(4);
        std::unordered_set<uint32_t> seen;
        uint32_t n = 0;
        for (uint32_t fp = s.be32(pos + 4); fp != 0; fp = s.be32(fp)) {
            if (!seen.insert(fp).second || ++n > limit)
                throw Damaged{"function chain of " + file->name + " loops at " + hexpos(fp)};
            if (report.stopped()) break;
            auto f = std::make_unique<FunctionRecord>();
            f->file = file.get();
            f->core = file->core;
            uint32_t namepos = s.be32(fp + 8);
            if (namepos) f->name = s.str(namepos);
            f->firstline = s.be32(fp + 12);
            f->lastline = s.be32(fp + 16);
            f->rettype = s.le32(fp + 20);
            uint8_t rb = uint8_t(f->rettype);
            if (rb != 0 && !basetypename(rb))
                throw Damaged{"INCONSISTENT DEBUG INFO\n\nPROBABLE TARGET MISMATCH\n"};
            f->rettext = f->rettype ? typetext(f->rettype, TypeDesc{}) : std::string();
            file->firstline = f->firstline;
            file->lastline = f->lastline;
            if (auto it = starts.find(key(file->name, f->name)); it != starts.end()) f->start = it->second;
            if (!f->name.empty() && !f->start) continue;
            if (f->start) {
                if (!f->name.empty()) f->frame = findafter(f->start, kind::Frame);
                f->end = findafter(f->start, kind::End);
            }
            readlocals(*f, s.be32(fp + 28));
            fixupvars(*f);
            insertfunc(*file, std::move(f));
        }
        insertfile(std::move(file));
    }

    FunctionRecord* findfunction(FileRecord* file, const std::string& name) const {
        auto it = funcbyname.find(funckey(file, name));
        return it == funcbyname.end() ? nullptr : it->second;
    }

    void build() {
        indexrecords();
        for (LineRecord* r : di.lines)
            if (r->kind == kind::Start) starts.try_emplace(key(r->file, r->func), r);
        // the tables may name a function by its C name
        for (LineRecord* r : di.lines)
            if (r->kind == kind::Start) starts.try_emplace(key(r->file, std::string(cname(r->func))), r);

        const LineRecord* module = nullptr;
        bool firstmodule = true;
        uint32_t total = 0;
        for (LineRecord* r : di.lines) total += r->kind == kind::Module || r->kind == kind::Start;
        struct Progress {
            LoadReport& report;
            bool open;
            ~Progress() {
                if (open) report.progressclose();
            }
        } progress{report, total != 0};
        if (total) report.progressopen(1, "", total);
        for (LineRecord* r : di.lines) {
            if (report.stopped()) return;
            if (total && (r->kind == kind::Module || r->kind == kind::Start)) {
                report.progresstexts(r->file, r->func);
                report.progressstep(1);
            }
            if (r->kind == kind::Module) {
                if (firstmodule) di.firstmodule = r->address;
                firstmodule = false;
                module = r;
                readmodule(r);
            } else if (r->kind == kind::Line && (!module || r->file != module->file)) {
                if (FileRecord* f = findfile(r->file)) {
                    f->lastline = std::max<uint32_t>(f->lastline, r->endline);
                } else {
                    auto nf = std::make_unique<FileRecord>();
                    nf->name = r->file;
                    nf->flags = fileflag::LinesOnly;
                    nf->firstline = nf->lastline = 1;
                    auto fn = std::make_unique<FunctionRecord>();
                    fn->file = nf.get();
                    fn->firstline = fn->lastline = 1;
                    if (auto it = starts.find(key(r->file, "")); it != starts.end()) {
                        fn->start = it->second;
                        fn->end = findafter(fn->start, kind::End);
                    }
                    insertfunc(*nf, std::move(fn));
                    insertfile(std::move(nf));
                }
            } else if (r->kind == kind::Start) {
                if (FileRecord* f = findfile(r->file)) f->flags = (f->flags | fileflag::HasStarts) & ~fileflag::Frames4;
            } else if (r->kind == kind::Frame) {
                if (FileRecord* f = findfile(r->file))
                    f->flags = (f->flags | fileflag::Frames4 | fileflag::Named) & ~fileflag::HasStarts;
            }
        }
        checkconsistency();
        putinorder();
    }

    // Every function start must name a known file; a start whose function
    // the tables lack becomes the file-scope function "." of its file. Then
    // every record inside a start/end pair points to its function.
    void checkconsistency() {
        FunctionRecord* cur = nullptr;
        for (size_t i = 0; i < di.lines.size(); ++i) {
            LineRecord* r = di.lines[i];
            if (r->kind == kind::Start) {
                FileRecord* file = findfile(r->file);
                if (!file)
                    throw Damaged{"INCONSISTENT DEBUG INFO.\nFILE: " + r->file +
                                  "\nIS REREFENCED BUT CANNOT BE FOUND"};
                FunctionRecord* f = findfunction(file, r->func);
                if (!f) f = findfunction(file, std::string(cname(r->func)));
                if (!f) {
                    auto fn = std::make_unique<FunctionRecord>();
                    fn->file = file;
                    fn->name = ".";
                    fn->core = file->core;
                    fn->start = r;
                    fn->end = findafter(r, kind::End);
                    fn->firstline = r->line;
                    fn->lastline = r->endline;
                    for (LineRecord* x = di.next(r); x && x != fn->end && x->kind != kind::Start; x = di.next(x))
                        if (x->kind == kind::Line) fn->lastline = std::max<uint32_t>(fn->lastline, x->endline);
                    f = fn.get();
                    insertfunc(*file, std::move(fn));
                }
                cur = f;
            }
            r->owner = cur;
            if (r->kind == kind::End && cur && !cur->name.empty()) cur = nullptr;
        }
    }
};

}  // namespace

bool builddebugtables(DebugInfo& di, const DebugSection& sec, LoadReport& report, bool nodupfiles) {
    Builder b(di, sec, report, nodupfiles);
    try {
        b.build();
    } catch (const Damaged& d) {
        report.error(d.what);
        di.clear();
        return false;
    }
    return true;
}

void fixupvars(FunctionRecord& func)
{
    if (!func.frame) return;
    const uint32_t d = func.frame->descriptor;
    if (d) {
        const uint32_t n = d & 0x1F, s = (d >> 5) & 0x1F, c = (d >> 10) & 0x1F;
        auto rename = [&](uint32_t& v) {
            uint32_t e = 36 - v;
            if (e >= c && e < c + n) v = 36 - (e - c + s);
        };
        for (VarRecord& v : func.vars) {
            if (v.sclass == sc::Reg || v.sclass == sc::RFArg) rename(v.value);
            if (v.sclass == sc::RFArg) v.value2 = 33 - v.value2 / 4;
            if (v.sclass == sc::RegArg) rename(v.value2);
        }
        return;
    }
    const bool noframe = func.frame->line == func.frame->endline;
    for (VarRecord& v : func.vars) {
        if (v.sclass == sc::RFArg) v.value2 = 33 - v.value2 / 4;
        if (v.sclass == sc::FirstArg) {
            v.value2 = 33 - v.value / 4;
            if (noframe) v.sclass = sc::Reg, v.value = v.value2;
        }
    }
}

}  // namespace vek

// The reader of the assembler's relocatable object files (first byte 0xCC
// or 0xCD): header, section table, section data, symbols, debug records. The
// whole file is in memory, and every offset, size, count and section number
// taken from it is checked before use, so a damaged file fails the load with
// a message instead of reading past the end.
#include <algorithm>
#include <cstring>

#include "vek/core/loader/loader.h"

namespace vek {

namespace {

constexpr uint32_t HeaderSize = 28, SectionRecordSize = 40, InitMarkerSize = 24;

struct Bytes {
    const std::vector<uint8_t>& v;
    bool has(uint32_t off, uint64_t n) const { return off <= v.size() && n <= v.size() - off; }
    uint32_t be32(uint32_t off) const {
        const uint8_t* p = v.data() + off;
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    }
};

struct SymbolHead {
    uint32_t value = 0;
    uint8_t flags = 0, section = 0;
    std::string name;
    uint32_t size = 0;   // bytes taken by the record
};

bool readsymbol(const Bytes& f, uint32_t off, SymbolHead& s) {
    if (!f.has(off, 7)) return false;
    s.value = f.be32(off);
    s.flags = f.v[off + 4];
    s.section = f.v[off + 5];
    uint8_t len = f.v[off + 6];
    if (!f.has(off + 7, len)) return false;
    s.name.assign(reinterpret_cast<const char*>(f.v.data()) + off + 7, len);
    s.size = 7u + len;
    return true;
}

struct Group {
    const char* section;
    const char* symbol;
    const char* sizesymbol;
    const char* letter;
    bool seen = false;
    uint32_t first = 0, total = 0;
};

// Section record i (the record must lie in the file).
LoadSegment readsection(const Bytes& f, uint32_t i) {
    const uint32_t r = HeaderSize + SectionRecordSize * i;
    LoadSegment seg;
    seg.flags = f.v[r];
    seg.index = uint8_t(i);
    const size_t namelen = std::min<size_t>(f.v[r + 1] & 0x0F, 14);
    const char* np = reinterpret_cast<const char*>(f.v.data()) + r + 2;
    seg.name.assign(np, strnlen(np, namelen));
    seg.fileoffset = f.be32(r + 16);
    seg.size = f.be32(r + 20);
    seg.address = f.be32(r + 32);
    seg.second = f.be32(r + 36);
    seg.last = seg.address + seg.size - 1;
    return seg;
}

}  // namespace

std::optional<std::vector<LoadSegment>> objsections(const std::vector<uint8_t>& image) {
    Bytes f{image};
    if (!f.has(0, HeaderSize)) return std::nullopt;
    const uint32_t nsec = f.v[3];
    if (!f.has(HeaderSize, uint64_t(nsec) * SectionRecordSize)) return std::nullopt;
    std::vector<LoadSegment> out;
    for (uint32_t i = 0; i < nsec; ++i) out.push_back(readsection(f, i));
    return out;
}

int loadobject(LoadEnv& env, bool symbolsonly) {
    Program& prog = env.prog;
    LoadReport& report = env.report;
    Bytes f{prog.image};
    if (!f.has(0, HeaderSize)) {
        report.error(msgstr(msg::ReadError) + " object header");
        return 0;
    }
    const uint32_t nsec = f.v[3];
    const uint32_t symoff = f.be32(8), symsize = f.be32(12);
    const uint32_t dbgcount = f.be32(16), dbgoff = f.be32(20);

    // Init markers: a first symbol record with flags 0 and no name points
    // to the table that moves sections.
    struct InitMarker {
        uint8_t section;
        uint32_t newaddr, oldaddr;
    };
    std::vector<InitMarker> inits;
    if (symsize != 0) {
        SymbolHead first;
        if (!readsymbol(f, symoff, first)) {
            report.error(msgstr(msg::ReadError) + " .init marker symbol");
            return 0;
        }
        if (first.flags == 0 && first.name.empty()) {
            uint32_t n = first.section;
            if (!f.has(first.value, uint64_t(n) * InitMarkerSize)) {
                report.error(msgstr(msg::ReadError) + " .init marker table");
                return 0;
            }
            for (uint32_t i = 0; i < n; ++i) {
                uint32_t e = first.value + i * InitMarkerSize;
                inits.push_back({f.v[e], f.be32(e + 16), f.be32(e + 20)});
            }
        }
    }

    Group groups[] = {{".text", ".text", ".tsize", "    T: "},
                      {".bsct", ".zpage", ".zsize", "  Z: "},
                      {".data", ".data", ".dsize", "  D: "},
                      {".bss", ".bss", ".bsize", nullptr}};
    bool failed = false;
    // The sections copied so far: a section placed over bytes another one
    // already placed is reported, then copied as the file says.
    struct Placed {
        std::string name;
        uint64_t first, last;
    };
    std::vector<Placed> placed;
    prog.sections.assign(nsec, SectionInfo{});
    for (uint32_t i = 0; i < nsec; ++i) {
        uint32_t r = HeaderSize + SectionRecordSize * i;
        if (!f.has(r, SectionRecordSize)) {
            report.error(msgstr(msg::ReadError) + " section table");
            return 0;
        }
        LoadSegment seg = readsection(f, i);
        if (inits.empty() && (f.v[r + 1] & 0x80)) seg.second = seg.address;
        seg.last = seg.address + seg.size - 1;
        SectionInfo& info = prog.sections[i];
        info.name = seg.name;
        info.delta = int32_t(seg.address - seg.second);

        bool isdebug = seg.name == ".debug", isinfo = seg.name == ".info.";
        if (!isdebug && !isinfo && seg.size != 0) {
            auto at = std::upper_bound(prog.segments.begin(), prog.segments.end(), seg.address,
                                       [](uint32_t a, const LoadSegment& s) { return a < s.address; });
            prog.segments.insert(at, seg);
        }
        for (Group& g : groups) {
            if (seg.name != g.section) continue;
            if (!g.seen) env.syms.defsym(g.symbol, seg.address);
            if (!g.seen) g.first = seg.address;
            g.seen = true;
            g.total += seg.size;
        }
        if (isdebug) {
            prog.hasdebugsection = true;
            prog.debugoffset = seg.fileoffset;
            prog.debugsize = seg.size;
            prog.debugbase = seg.address;
            if (seg.fileoffset != 0 && !f.has(seg.fileoffset, seg.size)) {
                report.error("the .debug section lies outside the file");
                prog.hasdebugsection = false;
            }
            continue;
        }
        if (isinfo || failed || symbolsonly || seg.fileoffset == 0 || seg.size == 0) continue;
        if (!f.has(seg.fileoffset, seg.size) || report.stopped()) {
            if (!report.stopped()) report.print(msgstr(msg::ReadError) + "section");
            report.error("Error loading segment: " + seg.name);
            failed = true;
            continue;
        }
        uint64_t first = seg.address, last = first + seg.size - 1;
        for (const Placed& p : placed) {
            if (p.last < first || last < p.first) continue;
            report.error("section " + seg.name + " overwrites " + p.name + " at " +
                         hexnum(uint32_t(std::max(first, p.first))) + "-" + hexnum(uint32_t(std::min(last, p.last))));
        }
        placed.push_back({seg.name, first, last});
        // Page by page, so that the progress moves and Cancel is heard.
        report.progresstitle(seg.name, seg.address, seg.size);
        for (uint32_t done = 0; done < seg.size;) {
            if (report.stopped()) {
                report.error("Error loading segment: " + seg.name);
                failed = true;
                break;
            }
            const uint32_t part = std::min<uint32_t>(seg.size - done, 512);
            env.target.loadbytes(seg.address + done, f.v.data() + seg.fileoffset + done, part);
            done += part;
            report.progressstep(part);
        }
        report.progressclear();
    }

    for (const InitMarker& m : inits) {
        if (m.section == 0 || m.section > nsec) {
            report.error("bad section number " + std::to_string(m.section) + " in the .init markers");
            continue;
        }
        for (LoadSegment& s : prog.segments)
            if (s.index == m.section - 1) {
                s.address = m.newaddr;
                s.last = m.newaddr + s.size - 1;
            }
        prog.sections[m.section - 1].delta = int32_t(m.newaddr - m.oldaddr);
    }
    std::stable_sort(prog.segments.begin(), prog.segments.end(),
                     [](const LoadSegment& a, const LoadSegment& b) { return a.address < b.address; });

    std::string summary;
    env.syms.defsym(".tsize", groups[0].total);
    summary += groups[0].letter + hexnum(groups[0].first) + " (" +
               std::to_string(int32_t(groups[0].total)) + ")";
    if (groups[2].seen) {
        env.syms.defsym(".dsize", groups[2].total);
        summary += groups[2].letter + hexnum(groups[2].first) + " (" + std::to_string(int32_t(groups[2].total)) + ")";
    }
    if (groups[3].seen) env.syms.defsym(".bsize", groups[3].total);
    if (groups[1].seen) {
        env.syms.defsym(".zsize", groups[1].total);
        summary += groups[1].letter + hexnum(groups[1].first) + " (" + std::to_string(int32_t(groups[1].total)) + ")";
    }
    if (!prog.quiet) report.print(summary + "\n");

    // Symbols.
    bool badsection = false;
    for (uint32_t used = 0; used < symsize;) {
        if (report.stopped()) break;
        SymbolHead s;
        if (!readsymbol(f, symoff + used, s) || s.size > symsize - used) {
            report.error(msgstr(msg::ReadError) + "symbole");
            return 0;
        }
        used += s.size;
        if (s.flags != 0) {
            uint32_t value = s.value;
            if (s.section > nsec) badsection = true;
            else if (s.section != 0) value += uint32_t(prog.sections[s.section - 1].delta);
            env.syms.defsym(s.name, value, s.flags, s.section, (s.flags & 0x01) ? 5 : 0);
        } else if (!s.name.empty()) {
            prog.markertables.push_back({s.value, s.section, s.name});
        }
    }
    if (badsection) report.error("symbols with a section number beyond the section table");
    if (failed) return 0;

    // Debug records.
    uint32_t off = dbgoff;
    for (uint32_t i = 0; i < dbgcount; ++i) {
        if (report.stopped()) break;
        if (!f.has(off, 7)) {
            report.errstream(msgstr(msg::ReadError) + "debug symbol\n");
            break;
        }
        uint32_t address = f.be32(off);
        uint8_t k = f.v[off + 4], sec = f.v[off + 5], len = f.v[off + 6];
        if (!f.has(off + 7, len)) {
            report.errstream(msgstr(msg::ReadError) + "debug symbol\n");
            break;
        }
        if (sec > nsec) {
            report.error("debug record with section number " + std::to_string(sec) + " beyond the section table");
            prog.debug.clear();
            prog.debugrecords = 0;
            return 1;
        }
        if (sec != 0) address += uint32_t(prog.sections[sec - 1].delta);
        adddebugrecord(prog.debug, address, k,
                       std::string_view(reinterpret_cast<const char*>(f.v.data()) + off + 7, len));
        ++prog.debugrecords;
        off += 7u + len;
    }
    if (!finishdebugrecords(prog.debug, report)) {
        prog.debug.clear();
        prog.debugrecords = 0;
    }
    return 1;
}

}  // namespace vek

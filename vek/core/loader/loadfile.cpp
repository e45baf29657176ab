// The load sequence: drop the old program, choose the reader by the file's
// first byte, then (for the load command) build the debug tables, the module
// markers and the entry point. A file that cannot be read or is damaged
// fails the load with a message; the debugger keeps running.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/files.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/loader/loader.h"
#include "vek/core/support/messages.h"

namespace vek {

std::string msgstr(int id) { return msgtext(id); }

std::string hexnum(uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", value);
    return buf;
}

uint32_t peeklong(const Program& prog, const uint8_t* p) {
    if (prog.targetflags & 0x10)
        return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint16_t peekword(const Program& prog, const uint8_t* p) {
    if (prog.targetflags & 0x10) return uint16_t(p[1] << 8 | p[0]);
    return uint16_t(p[0] << 8 | p[1]);
}

namespace {

void dropprogram(Program& prog) {
    Program fresh;
    fresh.quiet = prog.quiet;
    fresh.nodupfiles = prog.nodupfiles;
    prog = std::move(fresh);
}

}  // namespace

int loadfile(LoadEnv& env, const std::string& path, bool forceraw, bool symbolsonly) {
    std::ifstream in(platform::hostpath(path), std::ios::binary);
    if (!in || platform::pathkind(platform::hostpath(path)) != platform::PathKind::File) {
        dropprogram(env.prog);
        env.syms.dropprogramsyms();
        env.report.error(std::string("!PANIC ") + msgstr(msg::CantOpen) + path);
        return 0;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        dropprogram(env.prog);
        env.syms.dropprogramsyms();
        env.report.error(msgstr(msg::ReadError) + " " + path);
        return 0;
    }
    return loadimage(env, path, std::move(bytes), forceraw, symbolsonly);
}

int loadimage(LoadEnv& env, const std::string& path, std::vector<uint8_t> bytes, bool forceraw, bool symbolsonly) {
    Program& prog = env.prog;
    dropprogram(prog);   // also resets the dual-core split mask
    env.syms.dropprogramsyms();
    prog.path = path;
    prog.targetflags = 8;
    if (bytes.empty()) {
        // nothing to place: not a program, even as a raw image
        env.report.error("empty file: " + path);
        return 0;
    }
    if (!forceraw) {
        switch (bytes[0]) {
        case ':':
        case 'S':
            return loadtextimage(env, bytes);
        case 0x9D:
        case 0xC2:
        case 0xC3:
            env.report.error("Unsupported Old V3 format ");
            return 0;
        case 0xCC:
        case 0xCD:
            prog.loadstate = loadstate::Object;
            prog.image = std::move(bytes);
            return loadobject(env, symbolsonly);
        default:
            break;
        }
    }
    return loadrawimage(env, bytes);
}

int reloadsegments(LoadEnv& env, const std::vector<size_t>& which) {
    Program& prog = env.prog;
    if (prog.loadstate != loadstate::Object || prog.segments.empty()) {
        env.report.error("No Segment list available ");
        return 0;
    }
    std::ifstream in(platform::hostpath(prog.path), std::ios::binary);
    if (!in) {
        env.report.error("Can't Open: " + prog.path);
        return 0;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The file may have been built again since it was loaded.
    const auto now = objsections(bytes);
    if (!now) {
        env.report.error(msgstr(msg::ReadError) + " section table");
        return 0;
    }
    env.report.progressopen(0, prog.path, 0);
    struct Close {
        LoadReport& r;
        ~Close() { r.progressclose(); }
    } close{env.report};
    for (size_t i : which) {
        if (env.report.stopped()) return 0;
        if (i >= prog.segments.size()) continue;
        const LoadSegment& s = prog.segments[i];
        if (s.fileoffset == 0) continue;
        const LoadSegment* match = nullptr;
        for (const LoadSegment& n : *now)
            if (n.name == s.name && n.address == s.address && n.size == s.size) match = &n;
        if (!match) {
            env.report.error("Segment changed in the file, not reloaded: " + s.name);
            continue;
        }
        if (match->fileoffset == 0 || match->fileoffset > bytes.size() || s.size > bytes.size() - match->fileoffset) {
            env.report.error("Error loading segment: " + s.name);
            return 0;
        }
        env.report.progresstitle(s.name, s.address, s.size);
        env.target.loadbytes(s.address, bytes.data() + match->fileoffset, s.size);
        env.report.progressstep(s.size);
        env.report.progressclear();
    }
    return 1;
}

void buildmarkers(Program& prog) {
    const std::vector<uint8_t>& f = prog.image;
    for (const MarkerTableRef& t : prog.markertables) {
        std::string prefix = t.name.substr(0, t.name.find('.'));
        const FileRecord* module = nullptr;
        for (auto& file : prog.debug.files)
            if (file->name.compare(0, prefix.size(), prefix) == 0) {
                module = file.get();
                break;
            }
        if (!module) continue;
        for (uint32_t i = 0; i < t.count; ++i) {
            uint64_t e = uint64_t(t.offset) + uint64_t(i) * 24;
            if (e + 24 > f.size()) break;
            uint8_t sec = f[e];
            if (sec == 0 || sec > prog.sections.size()) continue;
            size_t len = std::min<size_t>(f[e + 1] & 0x7F, 14);
            const char* np = reinterpret_cast<const char*>(f.data()) + e + 2;
            ModuleMarker m;
            m.name.assign(np, strnlen(np, len));
            m.value = peeklong(prog, f.data() + e + 16);
            m.module = module->name;
            auto& list = prog.sections[sec - 1].markers;
            auto at = std::upper_bound(list.begin(), list.end(), m.value,
                                       [](uint32_t v, const ModuleMarker& x) { return v < x.value; });
            list.insert(at, std::move(m));
        }
    }
}

int selectentrypoint(LoadEnv& env, const char* option) {
    Program& prog = env.prog;
    auto say = [&](const std::string& text) {
        if (!prog.quiet) env.report.print(msgstr(msg::EntryAt) + " " + text + "\n");
    };
    std::string opt = option ? option : "";
    if (option && opt == "reset") {
        env.target.resetregs();
        prog.entry = env.target.getpc();
        say(hexnum(prog.entry));
        return 1;
    }
    uint32_t number = 0;
    if (option && isnumber(opt.c_str(), opt.size(), number)) {
        prog.entry = number;
        if (auto name = env.syms.symat(number, "_")) {
            prog.runto = name->substr(1);
            say(hexnum(number) + " (" + *name + ")");
            return 1;
        }
        env.report.error(msgstr(msg::EntryAt) + " " + hexnum(number));
        return 0;
    }
    if (option) {
        if (auto v = env.syms.findsym("_" + opt)) {
            prog.entry = *v;
            say(opt + " (" + hexnum(*v) + ")");
            return 1;
        }
        env.report.error(msgstr(msg::BadEntry) + ": " + opt);
        return 0;
    }
    for (const char* name : {"__stext", "__text", ".text"}) {
        if (auto v = env.syms.findsym(name)) {
            prog.entry = *v;
            prog.runto = "_main";
            say(hexnum(*v));
            return 1;
        }
    }
    prog.entry = 0;
    env.report.error("Cannot Find entry Point. Set PC to entry point");
    return 0;
}

LoadOutcome loadprogram(LoadEnv& env, const std::string& path, const char* entryoption, bool norun, bool reload,
                        bool symbolsonly) {
    LoadOutcome out;
    env.syms.dropprogramsyms();
    env.report.progressopen(0, path, 0);
    const bool loaded = loadfile(env, path, false, symbolsonly);
    env.report.progressclose();
    if (!loaded) return out;
    return finishload(env, entryoption, norun, reload);
}

LoadOutcome finishload(LoadEnv& env, const char* entryoption, bool norun, bool reload) {
    LoadOutcome out;
    Program& prog = env.prog;
    out.ok = true;
    for (const char* counter : {".time", ".xtime", ".nbins"})
        if (env.syms.findsym(counter)) env.syms.defsym(counter, 0);
    if (env.report.stopped()) return out;

    if (prog.debugrecords != 0) {
        DebugSection sec;
        if (prog.hasdebugsection && prog.debugoffset != 0) {
            sec.data = prog.image.data() + prog.debugoffset;
            sec.size = prog.debugsize;
            sec.base = prog.debugbase;
        }
        if (!builddebugtables(prog.debug, sec, env.report, prog.nodupfiles))
            prog.debugrecords = 0;
        else
            builddefines(prog.debug, sec);
        prog.splitmask |= prog.debug.splitmask;
        buildmarkers(prog);
    } else {
        env.report.error(msgstr(msg::NoDebug));
    }

    if (reload) {
        for (auto& f : prog.debug.files)
            for (auto& fn : f->funcs) fn->active = true;
        env.report.print("\n");
    } else if (selectentrypoint(env, entryoption)) {
        out.entrychosen = true;
        env.target.setpc(prog.entry);
    }
    uint32_t pc = env.target.getpc();
    out.atpc = reload ? findlineat(prog.debug, pc) : findstmtat(prog.debug, pc);
    if (reload && out.atpc && !islinestart(prog.debug, pc)) out.atpc = nullptr;
    if (!out.atpc) {
        if (norun || prog.debugrecords == 0) {
            env.report.print("\n");
            return out;
        }
        out.runtofirstline = true;
    }
    return out;
}

}  // namespace vek

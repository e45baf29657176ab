// The build: compile each C file to assembly text with the driver, rewrite
// every source into a private directory, write the unit that includes the
// layout header, the start-up code, the sources and the run-time helpers,
// and assemble it with `cappc -a` until the section sizes settle. The last
// object is checked (windows, undefined symbols) before it becomes the
// output, so a failed build never leaves a program that looks good.
#include <algorithm>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/process.h"
#include "platform/tempdir.h"
#include "toollib/options.h"
#include "toollib/quit.h"
#include "tools/qvbuild/qvbuild.h"

namespace qvbuild {

namespace {

// Without -O the generated text goes straight to the assembler.
constexpr const char* kNoOptimizer = "-no";
constexpr int kMaxAssemblies = 6;

// The run-time sources, in the unit's order around the program's own files.
constexpr const char* kStartup[] = {"startup.s"};
constexpr const char* kHelpers[] = {"helpers.s", "float.s"};

struct Options {
    const char* output = nullptr;
    const char* runtime = nullptr;
    int32_t verbose = 0;
    int32_t optimize = 0;
    tl::CountdownList defines, genopts, includes, parseropts, selections;
};

struct Build {
    Options opt;
    std::string bindir;    // where qvppc and cappc live, with '/'
    std::string tempdir;   // private, removed at the end
    std::vector<std::string> generated;  // .s files of C files, removed at the end
    int status = 0;

    ~Build() {
        for (const std::string& path : generated) platform::removefile(path);
        if (!tempdir.empty()) platform::removeprivatedir(tempdir);
    }
};

void say(const std::string& text) { tl::puterr("qvbuild: " + text + "\n"); }

[[noreturn]] void fail(int status = 1) { tl::quit(status); }

std::string hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08" PRIx32, v);
    return text;
}

// Runs a tool beside qvbuild; false when it failed (its own messages are
// on the error stream already). An interrupt ends the build with 2.
bool runtool(Build& b, const std::string& tool, const std::vector<std::string>& args) {
    std::string program = b.bindir + tool;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    if (b.opt.verbose) {
        std::string line = "\t" + tool;
        for (const std::string& a : args) line += " " + a;
        tl::putout(line + "\n");
    }
    if (platform::interrupted()) fail(2);
    platform::ProcessResult r = platform::runprocess(program, argv);
    if (platform::interrupted()) fail(2);
    using End = platform::ProcessResult::End;
    if (r.end == End::NotStarted) {
        say("can't run " + program);
        return false;
    }
    if (r.end == End::Signaled) {
        if (r.signal == SIGINT) fail(2);
        say(tool + " ended by signal " + std::to_string(r.signal));
        return false;
    }
    if (r.status == 2) fail(2);
    return r.status == 0;
}

enum class Kind { C, Asm, Unknown };

Kind kindof(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot + 1 >= path.size())
        return Kind::Unknown;
    switch (path[dot + 1]) {
    case 'c': case 'C': return Kind::C;
    case 's': case 'S': return Kind::Asm;
    default: return Kind::Unknown;
    }
}

std::string stemof(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

// The assembly text of a C file, by "qvppc -s": the driver writes it
// beside the source, where a file of that name must not be lost.
std::optional<std::string> compile(Build& b, const std::string& path) {
    std::string out = stemof(path) + ".s";
    if (platform::pathkind(out) != platform::PathKind::None) {
        say(out + " is in the way of " + path + "'s assembly text");
        return std::nullopt;
    }
    std::vector<std::string> args{"-s"};
    if (!b.opt.optimize) args.push_back(kNoOptimizer);
    for (const std::string& d : b.opt.defines.items) args.push_back("-d" + d);
    for (const std::string& i : b.opt.includes.items) args.push_back("-i" + i);
    for (const std::string& p : b.opt.parseropts.items) args.push_back("-p" + p);
    for (const std::string& g : b.opt.genopts.items) args.push_back("-g" + g);
    for (const std::string& s : b.opt.selections.items) args.push_back("+" + s);
    args.push_back(path);
    b.generated.push_back(out);
    if (!runtool(b, "qvppc", args)) return std::nullopt;
    auto text = platform::readfile(out);
    if (!text) say("can't open " + out);
    return text;
}

bool writefile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
    return f.good();
}

std::string quotedpath(const std::string& path) { return "\"" + platform::hostpath(path) + "\""; }

// Assembles the unit with the given layout; the object's description, or
// nothing when the assembler failed.
std::optional<ObjectInfo> assemble(Build& b, const std::vector<Placed>& layout, const std::string& unit,
                                   const std::string& object) {
    if (!writefile(platform::joinpath(b.tempdir, "layout.s"), layoutheader(layout))) {
        say("can't write in " + b.tempdir);
        fail();
    }
    platform::removefile(object);
    if (!runtool(b, "cappc", {"-a", "-o", object, unit})) return std::nullopt;
    auto image = platform::readfile(object);
    ObjectInfo info;
    if (image) info = readobject(std::vector<uint8_t>(image->begin(), image->end()));
    if (!info.ok) {
        say("can't read the object file " + object);
        fail();
    }
    return info;
}

// Takes the sizes of the object into the layout; true when one changed.
bool takesizes(std::vector<Placed>& layout, const ObjectInfo& info) {
    bool changed = false;
    for (Placed& p : layout) {
        uint32_t size = 0;
        for (const ObjectSection& s : info.sections)
            if (s.name == p.name) size = s.size;
        if (size != p.size) changed = true;
        p.size = size;
    }
    return changed;
}

std::string runtimedir(const Build& b) {
    if (b.opt.runtime) return b.opt.runtime;
    return b.bindir + "runtime";
}

int build(Build& b, int argc, char** argv) {
    std::string self = platform::selfpath();
    size_t slash = self.rfind('/');
    if (slash != std::string::npos) b.bindir = self.substr(0, slash + 1);
    if (argc == 0) {
        say("no files");
        return 1;
    }
    std::string rtdir = runtimedir(b);
    if (platform::pathkind(platform::joinpath(rtdir, kStartup[0])) != platform::PathKind::File) {
        say("no run-time library in " + rtdir);
        return 1;
    }
    std::string output = b.opt.output ? b.opt.output : stemof(argv[0]) + ".o";
    for (int i = 0; i < argc; ++i) {
        if (platform::samefile(output, argv[i])) {
            say("output file " + output + " is a source");
            return 1;
        }
    }

    auto dir = platform::makeprivatedir(platform::envvar("TMPDIR").value_or("/tmp"), "qvbuild");
    if (!dir) {
        say("can't create a temporary directory");
        return 1;
    }
    b.tempdir = *dir;

    // Every source, rewritten; the declared sections collected once.
    std::vector<Placed> layout = {{".text", "", Region::Code}, {".data", "", Region::Data}, {".bss", "", Region::Bss}};
    std::map<std::string, std::string> declared;
    std::string unit = "\tinclude\t" + quotedpath(platform::joinpath(b.tempdir, "layout.s")) + "\n";
    for (const char* name : kStartup) unit += "\tinclude\t" + quotedpath(platform::joinpath(rtdir, name)) + "\n";
    bool ok = true;
    for (int i = 0; i < argc; ++i) {
        std::string path = argv[i];
        std::optional<std::string> text;
        switch (kindof(path)) {
        case Kind::C: text = compile(b, path); break;
        case Kind::Asm:
            text = platform::readfile(path);
            if (!text) say("can't open " + path);
            break;
        case Kind::Unknown: say("unknown file type " + path); break;
        }
        if (!text) {
            ok = false;
            continue;
        }
        Rewritten r = rewrite(*text, i + 1);
        for (const std::string& p : r.problems) say(path + ": " + p);
        if (!r.problems.empty()) ok = false;
        for (const SectionDecl& s : r.sections) {
            auto [at, fresh] = declared.emplace(s.name, s.attributes);
            if (fresh) {
                layout.push_back({s.name, s.attributes, regionof(s.attributes)});
            } else if (at->second != s.attributes) {
                say(path + ": section " + s.name + " declared as \"" + s.attributes + "\", elsewhere as \"" +
                    at->second + "\"");
                ok = false;
            }
        }
        std::string copy = platform::joinpath(b.tempdir, std::to_string(i + 1) + ".s");
        if (!writefile(copy, "#line 1 " + quotedpath(path) + "\n" + r.text)) {
            say("can't write " + copy);
            return 1;
        }
        unit += "\tinclude\t" + quotedpath(copy) + "\n";
    }
    if (!ok) return 1;
    for (const char* name : kHelpers) unit += "\tinclude\t" + quotedpath(platform::joinpath(rtdir, name)) + "\n";
    unit += "\tend\n";
    std::string unitpath = platform::joinpath(b.tempdir, "unit.s");
    std::string object = platform::joinpath(b.tempdir, "unit.o");
    if (!writefile(unitpath, unit)) {
        say("can't write " + unitpath);
        return 1;
    }

    // Assemble until the sizes that placed the sections are the sizes the
    // assembly gives (a section's origin can change the size of the code
    // that addresses it).
    std::optional<ObjectInfo> info;
    bool settled = false;
    for (int round = 0; round < kMaxAssemblies && !settled; ++round) {
        placesections(layout);
        info = assemble(b, layout, unitpath, object);
        if (!info) return 1;
        settled = !takesizes(layout, *info) && round > 0;
    }
    if (!settled) {
        say("the section layout does not settle");
        return 1;
    }

    for (const Placed& p : layout) {
        uint64_t end = uint64_t(p.origin) + p.size;
        if (end > windowend(p.region)) {
            say("section " + p.name + " (" + hex(p.origin) + " to " + hex(static_cast<uint32_t>(end - 1)) +
                ") is past its window, which ends at " + hex(windowend(p.region)));
            ok = false;
        }
    }
    for (const std::string& name : info->undefined) {
        say("undefined symbol " + name);
        ok = false;
    }
    if (!ok) return 1;
    if (b.opt.verbose) {
        for (const Placed& p : layout) {
            char line[96];
            std::snprintf(line, sizeof line, "\t%-14s %08" PRIx32 " %8" PRIu32 "\n", p.name.c_str(), p.origin, p.size);
            tl::putout(line);
        }
    }
    std::error_code ec;
    std::filesystem::copy_file(object, platform::hostpath(output), std::filesystem::copy_options::overwrite_existing,
                               ec);
    if (ec) {
        say("can't create " + output);
        return 1;
    }
    return 0;
}

uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

}  // namespace

ObjectInfo readobject(const std::vector<uint8_t>& image) {
    ObjectInfo info;
    auto fits = [&](uint64_t at, uint64_t n) { return at <= image.size() && n <= image.size() - at; };
    if (!fits(0, 28) || image[0] != 0xCC) return info;
    size_t count = image[3];
    if (!fits(28, 40 * uint64_t(count))) return info;
    for (size_t k = 0; k < count; ++k) {
        size_t at = 28 + 40 * k;
        size_t len = std::min<size_t>(image[at + 1], 14);
        ObjectSection s;
        s.name.assign(reinterpret_cast<const char*>(&image[at + 2]), len);
        s.size = be32(image, at + 20);
        s.origin = be32(image, at + 32);
        info.sections.push_back(s);
    }
    uint32_t symbols = be32(image, 4), offset = be32(image, 8);
    uint64_t at = offset;
    for (uint32_t k = 0; k < symbols; ++k) {
        if (!fits(at, 7) || !fits(at + 7, image[at + 6])) return info;
        uint8_t flags = image[at + 4];
        std::string name(reinterpret_cast<const char*>(&image[at + 7]), image[at + 6]);
        if (!(flags & 0x01)) info.undefined.push_back(name);
        at += 7 + image[at + 6];
    }
    info.ok = true;
    return info;
}

int run(int argc, char** argv) {
    tl::resettoolcontext();
    platform::catchinterrupt();
    Build b;
    tl::setversion("V1.0", "");
    tl::parseopts(argc, argv, "Program Builder", "files",
                  {
                      {"d*>  define symbol", &b.opt.defines},
                      {"g*>  code generator options", &b.opt.genopts},
                      {"i*>  path for include", &b.opt.includes},
                      {"o*   output file name", &b.opt.output},
                      {"O    run the optimizer", &b.opt.optimize},
                      {"p*>  parser options", &b.opt.parseropts},
                      {"r*   run-time library directory", &b.opt.runtime},
                      {"v    verbose", &b.opt.verbose},
                      {"+*>   select compiler option", &b.opt.selections},
                  });
    return build(b, argc, argv);
}

}  // namespace qvbuild

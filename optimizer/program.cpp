// The coppc program: options, the disable switches, the main loop over the
// units of the input, the optimizer's .info records and the statistics.
//
// run() reads as the pass pipeline of one file: parse the options, open the
// input and the output, then read, optimize, pair and write one unit after
// the other. Any failure ends with status 1 and leaves no output file
// behind; an interrupt ends with status 2 the same way.
#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "optimizer/opt.h"
#include "platform/interrupt.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace opt {

namespace {

constexpr const char* kTitle = "PPC Optimizer";
constexpr const char* kVersion = "V4.3.6";
constexpr const char* kDate = "02 Oct 2012";

std::vector<tl::OptionSpec> optiontable(Options& o) {
    return {
        {"c   keep original lines as comments", &o.c},
        {"d*  disable specific optimizations", &o.d},
        {"o*  output file name", &o.o},
        {"v   print efficiency statistics", &o.v},
        {"x   keep registers for debug", &o.x},
    };
}

bool isletter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
int letterindex(char c) { return c >= 'a' ? c - 'a' : c - 'A'; }

// Closes the output; true when everything written reached it.
bool closeoutput(Optimizer& o) {
    if (!o.out) return true;
    bool ok = std::fflush(o.out) == 0 && !std::ferror(o.out);
    if (o.out != stdout) ok = std::fclose(o.out) == 0 && ok;
    o.out = nullptr;
    return ok;
}

// A partial output goes: the next pass must never read it.
void dropoutput(Optimizer& o) {
    if (o.out && o.out != stdout) std::fclose(o.out);
    o.out = nullptr;
    if (o.outcreated) std::remove(o.outname.c_str());
    o.outcreated = false;
}

[[noreturn]] void stopinterrupted(Optimizer& o) {
    dropoutput(o);
    tl::quit(2);
}

}  // namespace

Optimizer::~Optimizer() {
    unit.clear();
    if (in) std::fclose(in);
    if (out && out != stdout) std::fclose(out);
}

bool Optimizer::disabled(std::string_view code) const {
    if (code.size() != 2 || !isletter(code[0]) || code[1] < '0' || code[1] > '7') return false;
    return disable[static_cast<size_t>(letterindex(code[0]))] & (1u << (code[1] - '0'));
}

void parsedisable(Optimizer& o, const char* text) {
    for (const char* p = text; p && *p;) {
        if (isletter(p[0]) && p[1] >= '0' && p[1] <= '7') {
            o.disable[static_cast<size_t>(letterindex(p[0]))] |= static_cast<uint8_t>(1u << (p[1] - '0'));
            p += 2;
        } else {
            ++p;
        }
    }
}

std::string disablepairs(const char* text) {
    std::string out;
    for (const char* p = text; p && *p;) {
        if (isletter(p[0]) && p[1] >= '0' && p[1] <= '7') {
            if (!out.empty()) out += ',';
            out.append(p, 2);
            p += 2;
        } else {
            ++p;
        }
    }
    return out;
}

void optfatal(Optimizer& o, std::string_view text, std::string_view name) {
    std::string line = tl::toolcontext().progname;
    line += ": ";
    line += text;
    line += name;
    line += '\n';
    tl::puterr(line);
    dropoutput(o);
    tl::quit(1);
}

void putstats(const Optimizer& o) {
    char line[96];
    std::snprintf(line, sizeof line, "opt: %d destructions, %d modifications\n", o.destructions, o.modifications);
    tl::puterr(line);
}

void putoptinfo(Optimizer& o) {
    std::string block = "\t.info\n";
    auto record = [&](const std::string& value) { block += "\t.info\t\"" + value + "\"\n"; };
    record(tl::toolcontext().progname + " " + kVersion + ":");
    if (o.opt.c) record(" -c");
    if (o.opt.d) record(" -d " + disablepairs(o.opt.d));
    if (o.opt.x) record(" -x");
    std::fwrite(block.data(), 1, block.size(), o.out);
}

int run(int argc, char** argv) { return run(argc, argv, nullptr); }

int run(int argc, char** argv, ChangeHook hook) {
    auto optimizer = std::make_unique<Optimizer>();
    Optimizer& o = *optimizer;
    o.onchange = std::move(hook);
    platform::catchinterrupt();
    tl::setversion(kVersion, kDate);
    tl::parseopts(argc, argv, kTitle, "file", optiontable(o.opt));
    if (argc <= 0 || !argv[0]) return 0;

    o.inname = argv[0];
    o.in = std::fopen(o.inname.c_str(), "rb");
    if (!o.in) optfatal(o, "can't open ", o.inname);
    if (o.opt.d) parsedisable(o, o.opt.d);
    initinsntab();

    if (o.opt.o) {
        o.outname = o.opt.o;
        o.out = std::fopen(o.outname.c_str(), "wb");
        if (!o.out) optfatal(o, "can't create ", o.outname);
        struct stat st {};
        o.outcreated = ::fstat(fileno(o.out), &st) == 0 && S_ISREG(st.st_mode);
    } else {
        o.outname = "standard output";
        o.out = stdout;
    }

    while (readunit(o)) {
        if (platform::interrupted()) stopinterrupted(o);
        optunit(o);
        if (platform::interrupted()) stopinterrupted(o);
        writeunit(o);
        if (std::ferror(o.out)) optfatal(o, "can't write ", o.outname);
    }
    if (platform::interrupted()) stopinterrupted(o);
    if (o.opt.v) putstats(o);
    std::fclose(o.in);
    o.in = nullptr;
    if (!closeoutput(o)) {
        // the stream is gone: report and remove what it left
        o.out = nullptr;
        optfatal(o, "can't write ", o.outname);
    }
    return 0;
}

}  // namespace opt

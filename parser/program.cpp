// The cpppc program: options, derived settings, outputs and the main loop.
//
// run() is the whole pipeline of one translation unit: parse the options,
// derive the dependent settings, create the outputs, build the include
// search list, feed -d definitions and -h headers to the preprocessor, then
// either write the preprocessed text / dependency line (-e, -md) or hand the
// token stream to the declaration parser, and finish with the exit status.
#include <cctype>
#include <cstring>

#include "parser/parser.h"
#include "parser/tokencodes.h"
#include "platform/interrupt.h"
#include "platform/output.h"
#include "toollib/quit.h"
#include "toollib/services.h"

namespace cpppc {

namespace {

constexpr const char* kTitle = "PPC C Parser";
constexpr const char* kVersion = "V4.10.10";
constexpr const char* kDate = "24 Aug 2012";

std::vector<tl::OptionSpec> optiontable(Options& o) {
    return {
        {"ad   expand defines in assembly", &o.ad},
        {"<an   enable analyser output", &o.an},
        {"<asp  enable analyser with stack info", &o.asp},
        {"a#   register allocation mode", &o.a},
        {"c99  c99 type behaviour", &o.c99},
        {"cc   do not cast const exp", &o.cc},
        {"ck   extra type checkings", &o.ck},
        {"cp   no constant propagation", &o.cp},
        {"<cq   comment removal for -e", &o.cq},
        {"<cr   comment removal for -e", &o.cr},
        {"csb  check signed bitfields", &o.csb},
        {"d*>  define symbol=value", &o.defines},
        {"e    run preprocessor only", &o.e},
        {"+e*   error file name", &o.errfile},
        {"fr   enable float registers", &o.fr},
        {"f    single precision floats", &o.f},
        {"ge   eclipse error messages", &o.ge},
        {"h*>  include header", &o.headers},
        {"i*>  include path", &o.includes},
        {"ku   keep unused statics", &o.ku},
        {"l    output line information", &o.l},
        {"md   make dependencies", &o.md},
        {"m#   model configuration", &o.m},
        {"nc   no const replacement", &o.nc},
        {"ne   no enum optimization", &o.ne},
        {"np   allow pointer narrowing", &o.np},
        {"ns   do not share locals", &o.ns},
        {"o*   output file name", &o.output},
        {"p    need prototypes", &o.p},
        {"rb   reverse bitfield order", &o.rb},
        {"sa   strict ansi conformance", &o.sa},
        {"sr   no strength reduction", &o.sr},
        {"s    do not reorder locals", &o.s},
        {"u    plain char is unsigned", &o.u},
        {"w#   enable warnings", &o.w},
        {"xd   debug info for data", &o.xd},
        {"xf   full path in debug info", &o.xf},
        {"xp   no path in debug info", &o.xp},
        {"xu   no debug info if unused", &o.xu},
        {"xx   extended debug info", &o.xx},
        {"x    output debug info", &o.x},
    };
}

void cantcreate(Parser& P, const char* name, const char* what = "can't create") {
    putnofileprefix(P, stderr, true);
    std::fprintf(stderr, "%s %s\n", what, name);
    std::fflush(stderr);
}

// Closes the output (or flushes the standard output); false when a write
// failed on the way: that is reported and takes the partial file with it (a
// device or FIFO stays).
bool closeoutput(Parser& P) {
    bool written = true;
    if (P.out && P.out != stdout) {
        bool ok = !std::ferror(P.out);
        ok = std::fclose(P.out) == 0 && ok;
        P.out = nullptr;
        if (!ok) {
            cantcreate(P, P.opt.output, "can't write");
            platform::removeregularfile(P.opt.output);
            written = false;
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        cantcreate(P, "standard output", "can't write");
        std::clearerr(stdout);
        written = false;
    }
    return written;
}

bool createoutputs(Parser& P, bool nooutput) {
    Options& o = P.opt;
    if (o.errfile) {
        P.err = std::fopen(o.errfile, "w");
        if (!P.err) {
            cantcreate(P, o.errfile);
            return false;
        }
        P.errisfile = true;
    } else {
        P.err = stderr;
    }
    if (nooutput && !o.e) return true;
    if (o.output && !o.md) {
        P.out = std::fopen(o.output, o.e ? "w" : "wb");
        if (!P.out) {
            cantcreate(P, o.output);
            return false;
        }
        P.outcreated = true;
        return true;
    }
    if (!o.e) {
        putnofileprefix(P, stderr, true);
        std::fputs("missing output file name\n", stderr);
        std::fflush(stderr);
        return false;
    }
    P.out = stdout;
    if (o.md && o.output) {
        std::fprintf(stdout, "%s:", o.output);
        P.src.depcolumn = static_cast<int>(std::strlen(o.output)) + 1;
    }
    return true;
}

// Derived settings that depend on the outputs having been created.
void deriveoptions(Options& o) {
    if (o.sa) o.ne = o.nc = 1;
    if (o.ck) {
        o.p = 1;
        o.warnlevel = -1;
    } else if (o.w) {
        o.warnlevel = o.w & 7;
    }
    if (o.xx || o.xd) o.x = 1;
    if (o.x) o.l = 1;
    if (o.xf) o.xp = 0;
    if (o.nc) o.cp = 1;
}

// -d text to a definition line: "name" -> "name 1", "name=value" -> "name value".
bool definitionline(const std::string& d, std::string& line) {
    size_t n = 0;
    while (n < d.size() && (std::isalnum(static_cast<unsigned char>(d[n])) || d[n] == '_')) ++n;
    if (n == d.size()) {
        line = d + " 1";
        return true;
    }
    if (d[n] != '=') return false;
    line = d.substr(0, n) + " " + d.substr(n + 1);
    return true;
}

// The top-level loop of a normal run: declarations until the end of input.
void parseunit(Parser& P) {
    for (;;) {
        Token* t = nexttoken(P);
        if (t->code == tok::End) break;
        if (t->code == tok::AsmLine) {
            putpos(P, t->line);
            if (t->asmtext) putasmtext(P, t->asmtext->data(), t->asmtext->size());
            t->asmtext.reset();
            continue;
        }
        pushtoken(P);
        extdecl(P);
    }
}

// The end of a normal run: open conditionals, the pending space names, the
// file-level symbols, the -sa check that something was defined, and the
// literal pool.
void finishunit(Parser& P) {
    checkopenifs(P);
    putspaces(P);
    endunit(P, 1);
    if (P.opt.sa && !P.decl.definition) putdiag(P, "missing object declaration");
    if (!P.errors) putliterals(P);
}

}  // namespace

Parser::Parser() = default;

Parser::~Parser() {
    if (out && out != stdout) std::fclose(out);
    if (err && errisfile) std::fclose(err);
}

void stopinterrupted(Parser& P) {
    if (P.out && P.out != stdout) {
        std::fclose(P.out);
        P.out = nullptr;
        if (P.outcreated && P.opt.output) std::remove(P.opt.output);
    }
    tl::quit(2);
}

int finishrun(Parser& P) {
    if (P.errisfile && P.err) {
        std::fclose(P.err);
        P.err = nullptr;
        P.errisfile = false;
        if (P.errors)
            std::fprintf(stderr, "errors reported in %s\n", P.opt.errfile);
        else
            platform::removeregularfile(P.opt.errfile);  // never a device or FIFO
    }
    return P.errors ? 1 : 0;
}

int run(int argc, char** argv) {
    RunHooks hooks;
    return runfront(argc, argv, hooks);
}

int runfront(int argc, char** argv, RunHooks& hooks) {
    auto parser = std::make_unique<Parser>();
    Parser& P = *parser;
    Options& o = P.opt;
    P.writer = hooks.writer ? std::move(hooks.writer) : std::make_unique<IrWriter>();
    P.onfunction = hooks.onfunction;
    platform::catchinterrupt();
    tl::setversion(kVersion, kDate);
    tl::parseopts(argc, argv, kTitle, "file", optiontable(o));
    if (argc <= 0 || !argv[0]) return 0;
    P.srcname = argv[0];

    // QV + the program name from its third character on: QVPPC for cpppc
    std::string prog = tl::toolcontext().progname;
    std::string env = "QV";
    for (size_t i = 2; i < prog.size(); ++i) env.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(prog[i]))));
    tl::addenvpaths(o.includes, env.c_str());

    if (o.asp) o.an = 1;
    if (o.an) {
        o.md = o.e = 0;
        o.x = 1;
        o.xd = 0;
        o.sr = o.ns = 1;
    } else if (o.md) {
        o.e = 1;
    }
    if (!createoutputs(P, hooks.nooutput)) return 1;
    deriveoptions(o);
    inittypes(P);
    if (o.m) setmodel(P, static_cast<uint32_t>(o.m));
    openirfile(P);

    // The source's own directory is searched last; the name stays as given.
    if (const char* sep = tl::lastdirsep(P.srcname.c_str()); sep && !o.includes.full())
        o.includes.append(P.srcname.substr(0, static_cast<size_t>(sep - P.srcname.c_str())));
    for (const std::string& dir : tl::expandpaths(o.includes).items) P.src.searchlist.push_back(dir);

    for (auto it = o.defines.items.rbegin(); it != o.defines.items.rend(); ++it) {
        std::string line;
        if (!definitionline(*it, line))
            putdiag(P, "bad symbol definition");
        else
            putdefine(P, line);
    }
    if (!openinput(P, P.srcname, false)) return finishrun(P);
    for (auto it = o.headers.items.rbegin(); it != o.headers.items.rend(); ++it)
        if (!openinput(P, *it, true)) return finishrun(P);
    initspaces(P);

    if (o.e) {
        ppwrite(P);
        checkopenifs(P);
    } else {
        parseunit(P);
        if (hooks.beforeend) hooks.beforeend(P);
        if (!o.an) finishunit(P);
    }
    if (hooks.atend) hooks.atend(P);

    if (o.md) std::fputc('\n', stdout);
    bool outfile = P.out && P.out != stdout;
    bool written = closeoutput(P);
    // A run with errors leaves no intermediate file that the next pass could
    // take for a whole one.
    if (outfile && written && !o.e && P.errors && P.outcreated && o.output)
        platform::removeregularfile(o.output);
    int status = finishrun(P);
    return written ? status : 1;
}

}  // namespace cpppc

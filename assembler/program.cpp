// The assembler's entry: options, the per-source driver and the pass loop.
//
// A source is read once to collect symbols, sections and macros, then again
// and again while anything moves (labels, equated values, debug records);
// instruction forms are chosen from the values of the previous pass, so short
// forms replace long ones until the layout settles. The passes are bounded:
// a layout that never settles is a "phase error".
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "assembler/asm.h"
#include "assembler/listing.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "toollib/quit.h"
#include "toollib/services.h"

namespace as {

Assembler::Assembler() = default;
Assembler::~Assembler() {
    if (errfp) std::fclose(errfp);
}

namespace {

const char* kTitle = "PPC Macro-Assembler";

std::vector<tl::OptionSpec> optionspecs(Options& o) {
    return {
        {"a   absolute assembler", &o.a},
        {"b   do not optimize branches", &o.b},
        {"c   output cross reference", &o.c},
        {"d*> define symbol=value", &o.defs},
        {"+e*  error file name", &o.errfile},
        {"ff  use formfeed in listing", &o.ff},
        {"ft  force title in listing", &o.ft},
        {"f#  fill byte value", &o.f},
        {"ge  eclipse error messages", &o.ge},
        {"h*  include header", &o.header},
        {"i*> include path", &o.incs},
        {"l   output a listing", &o.l},
        {"+l*  listing file name", &o.lstname},
        {"md  make dependencies", &o.md},
        {"mi  accept label syntax", &o.mi},
        {"m   accept old syntax", &o.m},
        {"o*  output file name", &o.objname},
        {"pe  all equates public", &o.pe},
        {"pl  keep local symbols", &o.pl},
        {"p   all symbols public", &o.p},
        {"si  suppress .info. section", &o.si},
        {"t   list cycles", &o.t},
        {"u   undefined in listing", &o.u},
        {"v   verbose", &o.v},
        {"<+v*  verilog file name", &o.vername},
        {"xp  no path in debug info", &o.xp},
        {"xx  include full debug info", &o.xx},
        {"x   include line debug info", &o.x},
    };
}

std::string datetext() {
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // SOURCE_DATE_EPOCH fixes the clock, so that objects with an .info.
    // section can be reproduced byte for byte
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    if (auto fixed = platform::envvar("SOURCE_DATE_EPOCH")) {
        t = static_cast<std::time_t>(std::strtoll(fixed->c_str(), nullptr, 10));
        gmtime_r(&t, &tm);
    } else {
        localtime_r(&t, &tm);
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%2d %s %04d %02d:%02d", tm.tm_mday, months[tm.tm_mon % 12],
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min);
    return buf;
}

void putinfo(Assembler& a) {
    std::string t = tl::toolcontext().progname + " V4.6.26:";
    if (a.opt.a) t += " -a";
    if (a.opt.b) t += " -b";
    if (a.opt.header) t += std::string(" -h ") + a.opt.header;
    for (const auto& d : a.opt.defs.items) t += " -d " + d;
    if (a.opt.pl) t += " -pl";
    if (a.opt.xp) t += " -xp";
    if (a.opt.xx) t += " -xx";
    else if (a.opt.x) t += " -x";
    addinfo(a, t + "\n");
}

}  // namespace

// The object name: the source up to the extension of its last path component
// and ext appended.
std::string outname(const std::string& src, const char* ext) {
    const char* base = tl::lastdirsep(src.c_str());
    size_t start = base ? static_cast<size_t>(base - src.c_str()) + 1 : 0;
    size_t dot = src.rfind('.');
    if (dot == std::string::npos || dot < start) dot = src.size();
    return src.substr(0, dot) + ext;
}

// Dependency lines or messg texts that did not reach the standard output
// are an error of the source that wrote them.
static void checkstdout(Assembler& a) {
    if (!a.outfailed) return;
    a.outfailed = false;
    fileerror(a, a.srcname, "can't write standard output");
    a.errors++;
}

static bool runpass(Assembler& a) {
    a.moved = false;
    a.base = 10;  // every pass of every source starts in decimal
    a.mlist = a.clist = a.dlist = false;
    a.lastlabel = nullptr;
    a.syms.block = 0;
    a.expcounter = 0;
    a.globline = 0;
    a.conds.clear();
    a.passdiags.clear();
    a.pending.reset();
    a.ovfile.clear();
    a.overriding = false;
    resetreaders(a);
    resetmacros(a);
    restartsects(a);
    debugpassstart(a);
    for (size_t i = 0; i < a.syms.store.size(); i++) a.syms.store[i]->definedthispass = false;
    addinfo(a, "> " + a.objname + ": " + a.date + "\n");

    if (!opensrc(a, a.srcname)) {
        if (a.pass > 0 || a.opt.md) {
            a.pending.reset();
            a.passdiags.clear();
            fileerror(a, a.srcname, a.openfailure);
            a.errors++;
        }
        a.listpending = false;
        a.pass++;
        return false;
    }
    a.pending.reset();
    openoutputs(a, true);
    if (a.opt.header) {
        opensrc(a, a.opt.header);
        printerr(a);
    }
    if (a.opt.x) debugmacro(a);
    // the line is read straight into the cursor's text
    while (nextline(a, a.line)) asmline(a, a.line);
    a.lastlines = a.files.empty() ? 0 : a.files[0]->lines;
    if (a.opt.x) {
        debugend(a);
        builddebug(a);
    }
    debugpassend(a);
    if (a.pass > 0) padsects(a);
    endbodies(a);
    endconds(a);
    openoutputs(a, false);
    bool moved = a.moved;
    // Diagnostics of a pass whose layout still moves may be stale: only a
    // settled pass (and the collecting pass's own reports) reach the output.
    flushdiags(a, a.pass == 0 || !moved);
    a.pass++;
    return moved;
}

int asmfile(Assembler& a, const std::string& src) {
    a.srcname = src;
    a.objname = a.opt.objname ? a.opt.objname : outname(src, ".o");
    a.lstname.clear();
    if (a.opt.l) a.lstname = a.opt.lstname ? a.opt.lstname : outname(a.objname, ".ls");
    if (a.opt.md) {
        putstdout(a, a.objname + ":");
        a.depcolumn = static_cast<int>(a.objname.size()) + 1;
    }
    {
        // a ".qv" extension marks generated text that carries its own records
        const char* base = tl::lastdirsep(src.c_str());
        size_t start = base ? static_cast<size_t>(base - src.c_str()) + 1 : 0;
        size_t dot = src.rfind('.');
        if (dot != std::string::npos && dot >= start && src.compare(dot, 3, ".qv") == 0) a.opt.x = 0;
    }
    a.files.clear();
    a.memos.clear();
    a.sources.clear();
    a.printed.clear();
    a.errors = 0;
    a.dbg.clear();
    initsects(a);
    a.pass = 0;
    a.newgroup = 1;
    bool wantlist = a.opt.l != 0;
    a.listpending = false;
    if (a.opt.l && !a.opt.b) {
        a.listpending = true;
        a.opt.l = 0;
    }
    runpass(a);
    if (a.opt.md) {
        putstdout(a, "\n");
        a.opt.l = wantlist;
        checkstdout(a);
        return a.errors;
    }
    if (a.sects.size() >= 256) {
        // too many sections: let groups of "new" sections share one
        long S = static_cast<long>(a.sects.size()), N = a.newcount;
        if (N > S - 255) {
            long k = 2;
            while (!(N < k || N / k < N - S + 255)) k++;
            a.newgroup = static_cast<int>(k);
            resetsyms(a);
            a.files.clear();
            a.printed.clear();
            a.dbg.clear();
            initsects(a);
            a.pass = 0;
            runpass(a);
        }
        if (a.sects.size() >= 256) {
            lineerror(a, a.srcname, a.lastlines, "too many sections");
            a.errors++;
        }
    }
    numbersyms(a);
    for (int passes = 1; runpass(a); passes++) {
        if (passes >= a.maxpasses) {
            fileerror(a, a.srcname, "phase error: labels do not settle");
            a.errors++;
            break;
        }
    }
    if (a.listpending) {
        a.opt.l = 1;
        runpass(a);
    }
    a.opt.l = wantlist;
    checkstdout(a);
    if (a.errors == 0) {
        putinfo(a);
        if (!writeobj(a)) a.errors++;
    }
    return a.errors;
}

int run(int argc, char** argv) {
    Assembler a;
    Options& o = a.opt;
    tl::setversion("V4.6.26", "22 Aug 2012");
    platform::catchinterrupt();
    tl::parseopts(argc, argv, kTitle, "files", optionspecs(o));
    if (o.objname && argc > 1) {
        fileerror(a, argv[0], "only one source file with -o option");
        return 1;
    }
    if (o.lstname && argc > 1) {
        fileerror(a, argv[0], "only one source file with +l option");
        return 1;
    }
    if (o.xx) o.x = 1;
    if (o.x) o.p = 0;
    if (o.mi) o.m = 1;
    if (o.md) o.l = 0;
    openerrfile(a);
    tl::addenvpaths(o.incs, "QVLIB");
    for (const auto& d : tl::expandpaths(o.incs).items) o.incdirs.push_back(d);
    if (o.c || o.lstname || o.u) o.l = 1;
    if (o.vername) {
        o.l = 1;
        o.a = 1;
    }
    if (o.md) o.l = 0;
    registerdirectives(a);
    defregisters(a);
    registerinsns(a);
    a.defattr = static_cast<uint8_t>(0x06 | (o.a ? SA_ABS : 0));
    for (const auto& d : o.defs.items) {
        defcmdsym(a, d);
        if (a.anyerrors) {
            closeerrfile(a, true);
            return 1;
        }
    }
    a.date = datetext();
    bool anyerr = false;
    for (int i = 0; i < argc; i++) {
        if (o.v && !o.md) tl::puterr(std::string(argv[i]) + ":\n");
        if (asmfile(a, argv[i]) != 0) anyerr = true;
        resetsyms(a);
    }
    if (!closeerrfile(a, anyerr)) anyerr = true;
    return anyerr ? 1 : 0;
}

}  // namespace as

// The data and display commands: updat, vars, print, stack,
// files, funcs, perf, mess, dump, fill, mm; the installation of every
// handler of this library.
#include <cctype>
#include <cstring>
#include <string>

#include "platform/window.h"
#include "vek/command/data/data.h"
#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"
#include "vek/core/support/text.h"
#include "vek/core/target/memory.h"

namespace vek {

// Handlers of the other files of this library.
Cursor cmdfopen(Debugger& d, Cursor text, int user);
Cursor cmdfclose(Debugger& d, Cursor text, int user);
Cursor cmdfwrite(Debugger& d, Cursor text, int user);
Cursor cmdfread(Debugger& d, Cursor text, int user);
Cursor cmdrewind(Debugger& d, Cursor text, int user);
Cursor cmdremove(Debugger& d, Cursor text, int user);
Cursor cmdpause(Debugger& d, Cursor text, int user);

namespace {

using namespace datacmd;
constexpr int MsgIllegalType = 55, MsgNotUpdatable = 61,
              MsgFunctions = 78, MsgCalls = 95;


void refreshdata() {
    if (exprenv().hooks.refreshdata) exprenv().hooks.refreshdata();
}

// ---- updat

// The target's declaration as the update line shows it.
std::string targetdecl(const ExprValue& v) {
    if (v.kind == term::DotVar) return v.text;
    VarRecord var;
    var.name = v.text;
    var.type = v.type;
    if (v.desc) var.desc = *v.desc;
    if (v.kind == term::Register || v.kind == term::Counter) {
        var.sclass = v.kind;
        var.value = v.address;
    }
    return decltext(var);
}

// One line of input for a '?' source, after the status texts.
std::string askline(const char* what) {
    platform::windowhost().setstatus(0, "WAITING");
    platform::windowhost().setstatus(1, what);
    std::string line = lineinput(81);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

Cursor updatestring(Debugger& d, const ExprValue& target, Cursor p) {
    uint32_t address = step::top(target.type) == step::Arr ? target.address : target.u32();
    std::string bytes;
    for (;;) {
        p = skipblanks(p);
        if (*p == '"') {
            ++p;
            while (*p && *p != '"') {
                if (*p == '\\') {
                    bytes += char(escchar(p));
                    if (*p) ++p;
                } else {
                    bytes += *p++;
                }
            }
            if (*p == '"') ++p;
        } else if (*p == '?') {
            ++p;
            if (*p == 's' || *p == 'S') ++p;
            bytes += askline("Enter String");
        } else {
            break;
        }
        p = skipblanks(p);
        if (*p == ',') ++p;
    }
    for (char c : bytes) d.s.target.mem.putbyte(address++, uint8_t(c));
    return p;
}

bool isllong(const ExprValue& v) { return !v.derived() && (v.base() == tc::LLong || v.base() == tc::ULLong); }

// A value as the 64 bits of a long long.
uint64_t llongbits(const ExprValue& v) {
    if (isllong(v)) return v.bits;
    if (v.isfloat()) {
        const double d = v.dbl();
        if (!(d == d)) return 0;
        if (d >= 9223372036854775807.0) return 0x7FFFFFFFFFFFFFFFull;
        if (d <= -9223372036854775808.0) return 0x8000000000000000ull;
        return uint64_t(int64_t(d));
    }
    const uint8_t b = v.base();
    const bool unsig = v.derived() || b == tc::Bool || b == tc::UChar || b == tc::UShort || b == tc::UInt ||
                       b == tc::ULong;
    return unsig ? uint64_t(v.u32()) : uint64_t(int64_t(v.i32()));
}

Cursor cmdupdat(Debugger& d, Cursor text, int) {
    Cursor p = text;
    int error = 0;
    setassigncontext(true);
    ExprPtr target(xexpr(p, error, 1));
    setassigncontext(false);
    if (error) {
        puterror({msgtext(error), ": ", target->text, "\n"});
        return lineend(text);
    }
    p = skipblanks(p);
    if (*p == '=') p = skipblanks(p + 1);
    const bool stringsource = *p == '"' || (p[0] == '?' && (p[1] == 's' || p[1] == 'S'));
    if (stringsource) {
        if (!isstrtype(*target)) {
            puterror({msgtext(MsgIllegalType), ": ", target->text, "\n"});
            return lineend(text);
        }
        p = updatestring(d, *target, p);
        refreshdata();
        return p;
    }
    const uint8_t base = target->base();
    if (target->kind == term::Value || target->kind == term::NoValue || step::top(target->type) == step::Arr ||
        (!target->derived() && (base == tc::Struct || base == tc::Union))) {
        puterror({msgtext(MsgNotUpdatable), ": ", target->text, "\n"});
        return lineend(text);
    }
    ExprPtr value;
    if (*p == '?') {
        ++p;
        std::string line = askline("Enter Expression");
        const char* q = line.c_str();
        value.reset(xexpr(q, error, 1));
    } else {
        value.reset(xexpr(p, error, 1));
    }
    if (error) {
        puterror({msgtext(error), ": ", value->text, "\n"});
        return lineend(text);
    }
    ExprValue old = *target;
    const std::string decl = targetdecl(*target);
    if (isllong(*target) && target->kind != term::DotVar) {
        // A long long takes all 64 bits: ints sign-extended by their type.
        target->bits = llongbits(*value);
        writeval(*target, target->bits);
    } else {
        error = storevalue(*target, *value);
    }
    if (error) {
        puterror({msgtext(error), ": ", old.text, "\n"});
        return lineend(text);
    }
    // The new value is shown as the target shows (a register in hexadecimal).
    ExprValue shown = old;
    shown.bits = target->bits;
    writeout("    " + decl + " = ");
    putresult(old, 0);
    writeout(" => ");
    putresult(shown, 0);
    writeout("\n");
    refreshdata();
    return p;
}

// ---- vars: the variable browser is a window; without one nothing is shown.

Cursor cmdvars(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "AV", "", o);
    if (!p) return lineend(text);
    LocationSpec loc;
    Cursor after = parseloc(d.loc, p, loc);
    if (d.windowcmd) d.windowcmd("vars", o.letters);
    return after;
}

// ---- print, perf

Cursor cmdprint(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "AP", "", o);
    if (!p) return lineend(text);
    LocationSpec loc;
    Cursor after = parseloc(d.loc, p, loc);
    if (loc.given && (iscodeloc(loc) || isnumloc(loc))) {
        printsource(d, o.has('A'), loc, o.has('P'), false);
    } else if (loc.symbol) {
        puterror({msgtext(MsgUnknown), ": ", d.loc.lasttext, "\n"});
    } else {
        puterror({msgtext(MsgArgument), ": ", d.loc.lasttext, "\n"});
    }
    return after;
}

Cursor cmdperf(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "Z", "", o);
    if (!p) return lineend(text);
    LocationSpec loc;
    Cursor after = parseloc(d.loc, p, loc);
    if (!loc.given) {
        if (o.has('Z')) {
            for (LineRecord* r : d.di().lines) r->hits = 0;
            return after;
        }
        uint64_t total = 0;
        for (const auto& f : d.di().files)
            for (const auto& fn : f->funcs)
                if (fn->start) total += fn->start->hits;
        const int width = int(std::to_string(total).size());
        std::string out;
        for (const auto& f : d.di().files) {
            out += std::string(msgtext(MsgFunctions)) + ": " + f->name + "\n";
            for (const auto& fn : f->funcs) {
                if (!fn->start || fn->name.empty() || fn->name[0] == '.') continue;
                const uint32_t count = fn->start->hits;
                out += "    " + fn->name + "() " + padnum(count, width, ' ');
                if (total == 0)
                    out += std::string(" ") + msgtext(MsgCalls) + "\n";
                else
                    out += " / " + padnum(uint32_t(total), width, ' ') + " " + msgtext(MsgCalls) + " = " +
                           percenttext(count, total) + "%\n";
            }
        }
        writeout(out);
        return after;
    }
    printsource(d, false, loc, true, o.has('Z'));
    return after;
}

// ---- stack, files, funcs

Cursor cmdstack(Debugger& d, Cursor text, int) {
    writeout(stacktext(d));
    return text;
}

Cursor cmdfiles(Debugger& d, Cursor text, int) {
    writeout(listfiles(d.di()));
    return text;
}

Cursor cmdfuncs(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "NV", "", o);
    if (!p) return lineend(text);
    const bool args = !o.letters.empty() && o.letters.back() == 'V';
    Cursor end = p;
    while (*end && uint8_t(*end) > ' ' && *end != ';' && *end != '}') ++end;
    if (end == p) {
        writeout(listfuncs(d.di(), nullptr, args));
        return p;
    }
    const std::string name(p, size_t(end - p));
    if (!findfile(d.di(), name)) {
        puterror({msgtext(MsgArgument), ": ", name, "\n"});
        return end;
    }
    writeout(listfuncs(d.di(), name.c_str(), args));
    return end;
}

// ---- mess

Cursor cmdmess(Debugger&, Cursor text, int) {
    Cursor p = skipblanks(text);
    if (*p != '"') {
        puterror({"Missing \" ", "\n"});
        return lineend(text);
    }
    Cursor fmt = ++p;
    Cursor close = fmt;
    while (*close && !(*close == '"' && close[-1] != '\\')) ++close;
    if (!*close) {
        puterror({"Missing \" ", "\n"});
        return lineend(text);
    }
    Cursor args = close + 1;
    std::string run;
    auto flush = [&] {
        if (!run.empty()) writeout(run);
        run.clear();
    };
    for (Cursor f = fmt; f < close; ++f) {
        if (*f == '\\') {
            run += char(escchar(f));
            continue;
        }
        if (*f != '%' || f + 1 >= close) {
            run += *f;
            continue;
        }
        const char c = *++f;
        if (!std::strchr("bcdhosux", c)) {
            run += c;
            continue;
        }
        flush();
        int error = 0;
        ExprPtr v(xexpr(args, error, 1));
        if (error) {
            puterror({"\n", msgtext(error), "\n"});
            return args;
        }
        putresult(*v, c == 'c' ? 'C' : c == 's' ? 'S' : c);
        args = skipblanks(args);
        if (*args == ',') ++args;
    }
    flush();
    return args;
}

// ---- dump, fill, mm

bool expr32(Cursor& p, uint32_t& value) {
    int error = 0;
    p = skipblanks(p);
    if (!*p || *p == ';' || *p == '}') return false;
    ExprPtr v(xexpr(p, error, 1));
    if (error) return false;
    value = v->isfloat() ? dbltoint(v->dbl(), tc::ULong) : v->u32();
    return true;
}

int sizeof_(const Options& o) {
    int size = 1;
    for (char c : o.letters) size = c == 'B' ? 1 : c == 'W' ? 2 : c == 'L' ? 4 : size;
    return size;
}

struct RangeMessages {
    const char* start;
    const char* zerocount;
    const char* backwards;   // end below start
    const char* empty;       // end equal to start (nullptr: allowed)
};

// "start end" or "start, count" (end := start + count - 1, cut at the top
// of memory); false after reporting the message that fits.
bool readrange(Cursor& p, uint32_t& start, uint32_t& end, const RangeMessages& m) {
    uint32_t second = 0;
    if (!expr32(p, start)) {
        puterror({m.start, "\n"});
        return false;
    }
    p = skipblanks(p);
    const bool counted = *p == ',';
    if (counted) ++p;
    if (!expr32(p, second)) {
        puterror({" Wrong Size or End Address for DUMP ", "\n"});
        return false;
    }
    end = second;
    if (counted) {
        if (second == 0) {
            puterror({m.zerocount, "\n"});
            return false;
        }
        end = second - 1 > 0xFFFFFFFFu - start ? 0xFFFFFFFFu : start + second - 1;
    } else if (end < start || (m.empty && end == start)) {
        puterror({end < start ? m.backwards : m.empty, "\n"});
        return false;
    }
    return true;
}

Cursor cmddump(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "ABWLF", "F", o, true);
    if (!p) return lineend(text);
    int format = 4;
    if (o.has('F')) {
        const std::string& f = o.value['F' - 'A'];
        const char c = f.size() == 1 ? char(std::toupper(uint8_t(f[0]))) : 0;
        format = c == 'B' ? 1 : c == 'O' ? 2 : c == 'D' ? 3 : c == 'H' ? 4 : 0;
        if (!format) {
            puterror({" Wrong Option for /F ", f, "\n"});
            return lineend(text);
        }
    }
    uint32_t start = 0, end = 0;
    if (!readrange(p, start, end, RangeMessages{" Wrong Start Address for DUMP ", " Wrong Range for DUMP ",
                                                " Wrong Range for DUMP ", " Wrong Range for DUMP "}))
        return lineend(text);
    dumpmem(d.s.target.mem, start, end, sizeof_(o), format, o.has('A'), [&d] { return d.flags.stop != 0; });
    return p;
}

Cursor cmdfill(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "RVBWL", "", o, true);
    if (!p) return lineend(text);
    uint32_t start = 0, end = 0, value = 0;
    if (!readrange(p, start, end, RangeMessages{" Wrong Start Address for FILL ", " Illegal count (zero) ",
                                                " Wrong Range for FILL ", nullptr}))
        return lineend(text);
    if (!o.has('R')) {
        p = skipblanks(p);
        if (*p == ',') ++p;
        if (!expr32(p, value)) {
            puterror({" Missing Filler Value ", "\n"});
            return lineend(text);
        }
    }
    fillmem(d.s.target.mem, start, end, sizeof_(o), o.has('V'), value, o.has('R'),
            [&d] { return d.flags.stop != 0; });
    refreshdata();
    return p;
}

Cursor cmdmm(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "BWL", "", o, true);
    if (!p) return lineend(text);
    uint32_t address = 0, value = 0;
    if (!expr32(p, address)) {
        puterror({" Wrong Start Address for FILL ", "\n"});
        return lineend(text);
    }
    p = skipblanks(p);
    if (*p == ',') ++p;
    if (!expr32(p, value)) {
        puterror({" Missing Value ", "\n"});
        return lineend(text);
    }
    const int size = sizeof_(o);
    fillmem(d.s.target.mem, address, address + uint32_t(size - 1) < address ? 0xFFFFFFFFu : address + uint32_t(size - 1),
            size, false, value, false);
    refreshdata();
    return p;
}

struct Install {
    const char* word;
    Handler handler;
};
const Install handlers[] = {
    {"u", cmdupdat},       {"updat", cmdupdat},
    {"update", cmdupdat},  {"v", cmdvars},        {"vars", cmdvars},     {"print", cmdprint},
    {"stack", cmdstack},   {"files", cmdfiles},   {"funcs", cmdfuncs},   {"perf", cmdperf},
    {"mess", cmdmess},     {"dump", cmddump},     {"fill", cmdfill},     {"mm", cmdmm},
    {"fopen", cmdfopen},   {"fclose", cmdfclose}, {"fwrite", cmdfwrite}, {"fread", cmdfread},
    {"rewind", cmdrewind}, {"remove", cmdremove}, {"pause", cmdpause},
};

}  // namespace

void adddatacommands() {
    for (const Install& i : handlers) sethandler(i.word, i.handler);
}

std::string frametext(Debugger& d, int index) {
    if (index < 0 || index >= int(d.frames.size())) return {};
    const FunctionRecord* f = d.frames[size_t(index)].func;
    if (!f) return {};
    const int saved = d.current;
    d.current = index;
    std::string text = f->name;
    const int nargs = std::min<int>(f->nargs, int(f->vars.size()));
    for (int i = 0; i < nargs; ++i) {
        text += i == 0 ? "(" : ",";
        startstackcap();
        putvar(f->vars[size_t(i)]);
        text += outstate().stack.text;
        stopstackcap();
    }
    text += nargs ? ")" : "()";
    d.current = saved;
    return text;
}

std::string stacktext(Debugger& d) {
    std::string out;
    const int from = d.current >= 0 ? d.current : int(d.frames.size()) - 1;
    for (int i = from; i >= 0; --i) {
        const FunctionRecord* f = d.frames[size_t(i)].func;
        if (!f || (!f->name.empty() && f->name[0] == '.')) continue;
        out += frametext(d, i) + "\n";
    }
    return out;
}

}  // namespace vek

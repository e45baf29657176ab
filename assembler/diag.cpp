// Diagnostics: one error per line, one formatter for every message.
//
// A line records at most its first error; the error of a line is kept with
// the pass's diagnostics and reaches the output only when the pass settles
// (nothing moved), so values that are still moving never cause spurious
// messages. A message already printed for the same file and line is not
// printed again in a later pass.
#include <cstdio>

#include "assembler/asm.h"
#include "assembler/listing.h"
#include "platform/output.h"
#include "toollib/quit.h"

namespace as {

namespace {

void writeout(Assembler& a, const std::string& text) {
    if (a.errfp) {
        std::fwrite(text.data(), 1, text.size(), a.errfp);
        std::fflush(a.errfp);
    } else {
        tl::puterr(text);
    }
}

std::string diagfile(const Assembler& a, long& line) {
    if (a.overriding) {
        line = a.globline - a.ovbase;
        return a.ovfile;
    }
    line = curline(a);
    return curfile(a);
}

}  // namespace

void lineerror(Assembler& a, const std::string& file, long line, const std::string& msg) {
    if (a.opt.ge)
        writeout(a, file + ":" + std::to_string(line) + ":1: " + msg + "\n");
    else
        writeout(a, "#error " + tl::toolcontext().progname + " " + file + ":" + std::to_string(line) +
                        "\t" + msg + "\n");
    a.anyerrors = true;
}

void fileerror(Assembler& a, const std::string& file, const std::string& msg) {
    if (a.opt.ge)
        writeout(a, file + ":1 " + msg + "\n");
    else
        writeout(a, "#error " + tl::toolcontext().progname + " " + file + ":0 " + msg + "\n");
    a.anyerrors = true;
}

void putstdout(Assembler& a, std::string_view text) {
    if (!tl::putout(text)) a.outfailed = true;
}

Diagnostic diaghere(const Assembler& a, std::string msg) {
    Diagnostic d;
    d.file = diagfile(a, d.line);
    d.msg = std::move(msg);
    return d;
}

void asmerr(Assembler& a, std::string msg) {
    a.errcalls++;
    if (a.pass == 0 || a.pending) return;
    a.pending = diaghere(a, std::move(msg));
}

void reporterr(Assembler& a, const std::string& msg, bool atonce) {
    if (a.pass == 0 && !atonce) return;
    int saved = a.pass;
    if (a.pass == 0) a.pass = 1;
    asmerr(a, msg);
    a.pass = saved;
}

bool printerr(Assembler& a) {
    if (!a.pending) return false;
    if (a.listing && a.lst) lsterror(a, a.pending->msg);
    a.passdiags.push_back(std::move(*a.pending));
    a.pending.reset();
    return true;
}

void flushdiags(Assembler& a, bool print) {
    if (print) {
        for (const auto& d : a.passdiags) {
            std::string key = d.file + "\n" + std::to_string(d.line) + "\n" + d.msg;
            if (!a.printed.insert(key).second) continue;
            lineerror(a, d.file, d.line, d.msg);
            a.errors++;
        }
    }
    a.passdiags.clear();
}

void openerrfile(Assembler& a) {
    if (!a.opt.errfile) return;
    a.errfp = std::fopen(a.opt.errfile, "w");
    if (!a.errfp) {
        tl::puterr(std::string("can't create ") + a.opt.errfile + "\n");
        tl::quit(1);
    }
}

bool closeerrfile(Assembler& a, bool anyerr) {
    if (!a.errfp) return true;
    bool written = !std::ferror(a.errfp);
    written = std::fclose(a.errfp) == 0 && written;
    a.errfp = nullptr;
    if (!written) {
        tl::puterr(std::string("can't write ") + a.opt.errfile + "\n");
        return false;
    }
    if (anyerr || a.anyerrors)
        tl::puterr(std::string("errors reported in ") + a.opt.errfile + "\n");
    else
        platform::removeregularfile(a.opt.errfile);  // never a device or FIFO
    return true;
}

}  // namespace as

// Diagnostics: every error and warning of the parser goes through putdiag,
// which filters warnings by level, drops repeats at one position once an
// error was counted, writes the line in the normal or the one-line (-ge)
// format and counts errors. The message texts belong to their callers; a
// text that starts with 'W' and a digit is a warning of that level.
#include <cctype>
#include <cstring>
#include <string>

#include "parser/parser.h"
#include "parser/tokencodes.h"
#include "toollib/options.h"

namespace cpppc {

namespace {
std::string vformat(const char* fmt, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(s.data(), s.size(), fmt, ap);
    s.resize(static_cast<size_t>(n));
    return s;
}
}  // namespace

void putnofileprefix(Parser& P, std::FILE* to, bool iserror) {
    const std::string& prog = tl::toolcontext().progname;
    if (P.opt.ge)
        std::fprintf(to, "%s:1:1:%s ", P.srcname.c_str(), iserror ? "" : " warning:");
    else
        std::fprintf(to, "#%s %s %s:0 ", iserror ? "error" : "warning", prog.c_str(), P.srcname.c_str());
}

void vputdiag(Parser& P, const char* msg, va_list ap) {
    bool iserror = true;
    if (msg[0] == 'W' && std::isdigit(static_cast<unsigned char>(msg[1]))) {
        int level = msg[1] - '0';
        msg += 2;
        if (P.opt.warnlevel == 0) return;
        if (P.opt.warnlevel > 0) {
            if (level < P.opt.warnlevel) return;
            iserror = false;
        }
    }
    std::FILE* to = P.err ? P.err : stderr;
    if (!P.src.anyopened) {
        putnofileprefix(P, to, iserror);
    } else {
        uint32_t line = 0;
        int column = -1;
        int width = srcpos(P, line, column);
        const std::string& file = srcfilename(P);
        if (P.errors != 0) {
            if (column >= 0) {
                if (line == P.lastline && static_cast<uint32_t>(column) == P.lastcol && file == P.lastfile)
                    return;
            } else {
                const StreamState& s = P.ts.s;
                if (line == P.lastline && file == P.lastfile && s.pos >= 0 && s.ring[s.pos].code == 0) return;
            }
        }
        const char* label = iserror ? "error" : "warning";
        const std::string& prog = tl::toolcontext().progname;
        if (P.opt.ge) {
            // The one-line format counts columns from 1, as editors do.
            std::fprintf(to, "%s:%lu:%d:%s ", file.c_str(), static_cast<unsigned long>(line),
                         column >= 0 ? column + 1 : 1, iserror ? "" : " warning:");
        } else if (column >= 0) {
            std::fprintf(to, "#%s %s %s:%lu(%d", label, prog.c_str(), file.c_str(),
                         static_cast<unsigned long>(line), column);
            if (width > 1)
                std::fprintf(to, "+%d) ", width);
            else
                std::fprintf(to, ") ");
        } else {
            std::fprintf(to, "#%s %s %s:%lu ", label, prog.c_str(), file.c_str(), static_cast<unsigned long>(line));
        }
        P.lastline = line;
        P.lastfile = file;
        if (column >= 0) P.lastcol = static_cast<uint32_t>(column);
    }
    std::string text = vformat(msg, ap);
    std::fputs(text.c_str(), to);
    std::fputc('\n', to);
    std::fflush(to);
    if (iserror) ++P.errors;
}

void putdiag(Parser& P, const char* msg, ...) {
    va_list ap;
    va_start(ap, msg);
    vputdiag(P, msg, ap);
    va_end(ap);
}

void putdiagat(Parser& P, uint32_t line, int column, int width, const char* msg, ...) {
    P.diagfile = srcfilename(P);
    P.diagline = line;
    P.diagcolumn = column;
    P.diagwidth = width;
    P.diagat = true;
    va_list ap;
    va_start(ap, msg);
    vputdiag(P, msg, ap);
    va_end(ap);
    P.diagat = false;
}

}  // namespace cpppc

// The program and session commands (zero, reset, record, output, write's
// name, path, session, layout, sys, start, the window toggles) and the
// stepping-state, monitor and frame commands (activ, deact, monit, move,
// frame).
#include <cctype>
#include <cstring>
#include <string>

#include "platform/window.h"
#include "vek/command/control/control.h"
#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/output.h"
#include "vek/core/support/system.h"

namespace vek {

namespace {

Cursor restofline(Cursor text) { return text + std::strlen(text); }

// A file name up to the statement's end, less trailing blanks; a name with
// no directory part is taken in the current directory.
std::string filename(Cursor text, Cursor& end, bool local) {
    Cursor p = skipblanks(text);
    end = stmtend(p);
    std::string name(p, size_t(end - p));
    while (!name.empty() && uint8_t(name.back()) <= ' ') name.pop_back();
    if (local && !name.empty() && name.find_first_of("/\\") == std::string::npos) name = "./" + name;
    return name;
}

// Commands that free the frames and line records a run holds.
bool refusedwhilerunning(Debugger& d, const char* word) {
    if (d.mode.level == 0) return false;
    puterror({word, ": not while the target runs\n"});
    return true;
}

Cursor cmdzero(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "EMR", "", o);
    if (!p) return restofline(text);
    if (refusedwhilerunning(d, "zero")) return restofline(text);
    d.zero(o.has('E'), o.has('M'), o.has('R'));
    return p;
}

Cursor cmdreset(Debugger& d, Cursor text, int) {
    if (refusedwhilerunning(d, "reset")) return restofline(text);
    d.zero(false, false, true);
    return skipblanks(text);
}

Cursor cmdrecord(Debugger& d, Cursor text, int) {
    Cursor end;
    const std::string name = filename(text, end, true);
    if (name.empty()) {
        if (d.journal) {
            // the record ends here: a write the buffer kept back may fail now
            const bool ok = !std::ferror(d.journal);
            if (std::fclose(d.journal) != 0 || !ok) puterror({"Can't write ", d.recordpath, "\n"});
        }
        d.journal = nullptr;
        d.recordpath.clear();
        return end;
    }
    if (d.journal) {
        puterror({msgtext(msgid::LogOpen), "\n"});
        return end;
    }
    d.journal = std::fopen(name.c_str(), "w+");
    if (!d.journal) {
        puterror({msgtext(msgid::Create), " ", name, "\n"});
        return end;
    }
    d.recordpath = name;
    return end;
}

Cursor cmdoutput(Debugger&, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "A", "", o, false, true);
    if (!p) return restofline(text);
    Cursor end;
    const std::string name = filename(p, end, false);
    redirectout(name.c_str(), o.has('A') ? 1 : 0);
    return end;
}

Cursor cmdwrite(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "EMF", "", o, false, true);
    if (!p) return restofline(text);
    std::string letters;
    if (o.has('E')) letters += 'b';
    if (o.has('M')) letters += 'm';
    if (o.has('F')) letters += 'f';
    if (letters.empty()) letters = " ";
    Cursor end;
    const std::string name = filename(p, end, true);
    d.writecmds(letters.c_str(), name.c_str());
    return end;
}

// The source search path: printed, replaced, or extended with "|dir"
// (after) or "dir|" (in front).
void setpath(Debugger& d, const std::string& text, bool print) {
    if (print) {
        puttext({"\"", d.srcpath, "\"\n"});
        return;
    }
    if (!text.empty() && text.front() == '|')
        d.srcpath += text;
    else if (!text.empty() && text.back() == '|')
        d.srcpath = text + d.srcpath;
    else
        d.srcpath = text;
    d.readsrcline(nullptr, 0);
}

Cursor cmdpath(Debugger& d, Cursor text, int) {
    Cursor p = skipblanks(text);
    if (!*p || *p == ';' || *p == '}') {
        setpath(d, "", true);
        return p;
    }
    if (*p == '"') {
        Cursor close = std::strchr(p + 1, '"');
        if (close) {
            setpath(d, std::string(p + 1, size_t(close - p - 1)), false);
            return close + 1;
        }
    }
    puterror({msgtext(msgid::Syntax), "\n"});
    return restofline(text);
}

Cursor sessioncmd(Debugger& d, Cursor text, bool session) {
    Options o;
    Cursor p = readoptions(text, "SL", "", o, true, true);
    if (!p) return restofline(text);
    const bool load = !o.letters.empty() && o.letters.back() == 'L';
    if (load && refusedwhilerunning(d, session ? "session" : "layout")) return restofline(text);
    Cursor end;
    std::string name = filename(p, end, true);
    const char* what = session ? "Session" : "Layout";
    if (!name.empty() && name.find('.', name.find_last_of("/\\") + 1) == std::string::npos)
        name += session ? ".ssn" : ".lyt";
    if (load) {
        std::FILE* f = name.empty() ? nullptr : std::fopen(name.c_str(), "r");
        if (!f) {
            puterror({"Can't Open ", what, " File: ", name, "\n"});
            return end;
        }
        std::fclose(f);
        if (d.sessionio) d.sessionio(name, session ? 1 : 0, true);
    } else {
        std::FILE* f = name.empty() ? nullptr : std::fopen(name.c_str(), "w+");
        if (!f) {
            puterror({"Can't Write ", what, " File: ", name, "\n"});
            return end;
        }
        std::fclose(f);
        if (d.sessionio) d.sessionio(name, session ? 1 : 0, false);
    }
    return end;
}

Cursor cmdsession(Debugger& d, Cursor text, int) { return sessioncmd(d, text, true); }
Cursor cmdlayout(Debugger& d, Cursor text, int) { return sessioncmd(d, text, false); }

Cursor cmdsys(Debugger&, Cursor text, int) {
    shellcmd(text);
    return restofline(text);
}

// Without a screen the worker thread of start is the command itself.
Cursor cmdstart(Debugger& d, Cursor text, int user) {
    if (!d.flags.running) d.dispatchcmd("go", user);
    return restofline(text);
}

// Window toggles: a screen's views act on them; without one they do nothing.
template <const char* Word> Cursor cmdwindow(Debugger& d, Cursor text, int) {
    if (d.windowcmd) d.windowcmd(Word, "");
    return text;
}
template <const char* Word> Cursor cmdmainwindow(Debugger& d, Cursor text, int) {
    if (d.windowcmd) d.windowcmd(Word, "");
    return restofline(text);
}
constexpr char kDisa[] = "disa", kWregs[] = "wregs", kWstack[] = "wstack", kMaximize[] = "maximize",
               kMinimize[] = "minimize";

Cursor cmdcmdwin(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "HS", "", o);
    if (p && d.windowcmd) d.windowcmd("cmdwin", o.letters);
    return p ? p : restofline(text);
}

// ---- stepping states

bool inframe(Debugger& d, const FunctionRecord* f) {
    for (const CallFrame& c : d.frames)
        if (c.func == f) return true;
    return false;
}

Cursor activation(Debugger& d, Cursor text, bool on) {
    Cursor p = skipblanks(text);
    if (!*p || *p == ';') {
        puterror({"Missing function for activate \n"});
        return p;
    }
    if (*p == '*') {
        for (auto& file : d.di().files)
            for (auto& f : file->funcs) {
                if (!f->name.empty() && f->name[0] == '.') continue;
                if (!on && inframe(d, f.get())) {
                    puterror({f->name, "(): ", msgtext(msgid::InFrame), "\n"});
                    continue;
                }
                Debugger::setfuncstate(f.get(), on ? 1 : 0);
            }
        d.pointsdirty = true;
        return p + 1;
    }
    for (;;) {
        LocationSpec loc;
        Cursor after = parseloc(d.loc, p, loc);
        if (loc.given && !loc.function) {
            puterror({msgtext(msgid::Argument), ": ", d.loc.lasttext, "\n"});
            return stmtend(after);
        }
        const std::string name = loc.function ? loc.function : "";
        FunctionRecord* f = name.empty() ? nullptr : findfunc(d.di(), name, loc.file);
        if (!f) {
            puterror({name, "(): ", msgtext(msgid::NoFunc), "\n"});
        } else if (!on && inframe(d, f)) {
            puterror({f->name, "(): ", msgtext(msgid::InFrame), "\n"});
        } else {
            Debugger::setfuncstate(f, on ? 1 : 0);
            d.pointsdirty = true;
        }
        p = skipblanks(after);
        if (*p != ',') return p;
        ++p;
    }
}

Cursor cmdactiv(Debugger& d, Cursor text, int) { return activation(d, text, true); }
Cursor cmddeact(Debugger& d, Cursor text, int) { return activation(d, text, false); }

// ---- monitors and frames

Cursor cmdmonit(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "DBUXSOC", "", o);
    if (!p) return restofline(text);
    const char letter = o.letters.empty() ? ' ' : char(std::tolower(uint8_t(o.letters.back())));
    for (;;) {
        // A monitor only looks: an assignment ends the expression.
        setassigncontext(true);
        ExprAt x = evalat(p, 0);
        setassigncontext(false);
        Cursor start = x.start, cursor = x.end;
        const std::string& what = x.text;
        if (what.empty()) {
            p = cursor;
            break;
        }
        if (*skipblanks(cursor) == '=') {
            puterror({msgtext(msgid::Syntax), ": ", std::string(start, size_t(stmtend(cursor) - start)), "\n"});
            p = stmtend(cursor);
            break;
        }
        // A register variable has no address, and is still a monitor.
        if (!x.monitorable()) {
            puterror({msgtext(x.error), ": ", what, "\n"});
            p = stmtend(cursor);
            break;
        }
        d.addmonit(what, letter);
        p = skipblanks(cursor);
        if (*p != ',') break;
        ++p;
    }
    d.refreshdata();
    return p;
}

Cursor cmdmove(Debugger& d, Cursor text, int) {
    Options o;
    Cursor p = readoptions(text, "UDTB", "", o);
    if (!p) return restofline(text);
    const char letter = o.letters.empty() ? ' ' : char(std::tolower(uint8_t(o.letters.back())));
    LocationSpec loc;
    Cursor after = parseloc(d.loc, p, loc);
    moveframe(letter, &loc);
    return after;
}

Cursor cmdframe(Debugger&, Cursor text, int) {
    listcallers();
    return text;
}

}  // namespace

void addprogramcommands() {
    sethandler("zero", cmdzero);
    sethandler("reset", cmdreset);
    sethandler("record", cmdrecord);
    sethandler("output", cmdoutput);
    sethandler("write", cmdwrite);
    sethandler("path", cmdpath);
    sethandler("session", cmdsession);
    sethandler("layout", cmdlayout);
    sethandler("sys", cmdsys);
    sethandler("start", cmdstart);
    sethandler("cmdwin", cmdcmdwin);
    sethandler("maximize", cmdmainwindow<kMaximize>);
    sethandler("minimize", cmdmainwindow<kMinimize>);
    sethandler("disa", cmdwindow<kDisa>);
    sethandler("wregs", cmdwindow<kWregs>);
    sethandler("wstack", cmdwindow<kWstack>);
    sethandler("a", cmdactiv);
    sethandler("activ", cmdactiv);
    sethandler("deact", cmddeact);
    sethandler("m", cmdmonit);
    sethandler("monit", cmdmonit);
    sethandler("move", cmdmove);
    sethandler("frame", cmdframe);
}

}  // namespace vek

// The load command's whole sequence: the loader reads the program, the
// target is bound, the frames start afresh, and pc is positioned at its
// statement, or run to the first source line.
#include "vek/command/control/control.h"
#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/output.h"

namespace vek {

bool Debugger::loadprogram(const std::string& path, const char* entry, bool norun, bool symbolsonly) {
    clearframes();
    pointsdirty = true;
    infocache.clear();
    eventchange();
    LoadOutcome o = vek::loadprogram(s.loadenv, path, entry, norun, false, symbolsonly);
    s.target.exec.flushcache();
    if (!o.ok) return false;
    s.bindloaded();
    bindexpr(s);
    s.entrychosen = o.entrychosen;
    clearframes();
    positionatpc();
    if (o.runtofirstline) {
        mode.tracelines = mode.traceinsns = false;
        mode.countfree = false;
        mode.instrstep = false;
        mode.over = false;
        mode.stepping = true;
        mode.stepsleft = 1;
        setrunstate(1);
        runloop("", 0);
        puttext({"  ", msgtext(msgid::FirstLine), " ", hextextb(pc()), "\n"});
    }
    return true;
}

}  // namespace vek

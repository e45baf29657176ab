// The stop location (see location.h).
#include "vek/views/model/location.h"

#include "vek/command/control/control.h"

namespace vek::views {

StopLocation stoplocation(Debugger& d) {
    StopLocation loc;
    const uint32_t pc = d.pc();
    if (!islinestart(d.di(), pc)) return loc;
    if (CallFrame* f = d.currentframe()) {
        loc.show = StopLocation::Show::Source;
        if (f->func) {
            loc.function = f->func->name;
            if (f->func->file) loc.file = f->func->file->name;
        }
        if (f->linerec && !f->linerec->file.empty() && f->linerec->file != loc.file) loc.file = f->linerec->file;
        loc.line = f->line;
        loc.column = f->column;
        loc.endcolumn = f->endcolumn;
        return loc;
    }
    if (LineRecord* rec = findstmtat(d.di(), pc)) {
        loc.show = StopLocation::Show::SourceAndDisassembly;
        loc.file = rec->file;
        loc.function = rec->func;
        loc.line = rec->line;
    }
    return loc;
}

}  // namespace vek::views

// The extension exports that open source windows and lists and edit the
// source path.
#include "vek/views/qt/sourceexports.h"

#include "vek/command/control/control.h"
#include "vek/command/ext/exports.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/shell/shell.h"
#include "vek/views/qt/browsers.h"
#include "vek/views/qt/sourcepane.h"

namespace vek::views {

namespace {

shell::MainWindow* frame = nullptr;
Debugger* debugger = nullptr;
SourceViews* sourceviews = nullptr;
Browsers* browserviews = nullptr;

}  // namespace

void bindsourceexports(shell::MainWindow& f, Debugger& d, SourceViews& sources, Browsers& browsers) {
    frame = &f;
    debugger = &d;
    sourceviews = &sources;
    browserviews = &browsers;
    ExportHost& h = exportstate().host;
    // A source window for the file; one that exists already is brought up
    // (and, when a new one was asked for, null is the answer).
    h.opensource = [](const char* file, int line, bool) -> void* {
        return sourceviews->opensrcwin(file, line > 0 ? line : 0);
    };
    h.openfunction = [](const char* function, const char* file, int line) -> void* {
        const FunctionRecord* f = findfunc(debugger->di(), function, file);
        if (!f || !f->file) return nullptr;
        if (SourcePane* p = sourceviews->opensrcwin(f->file->name, line > 0 ? line : int(f->firstline))) return p;
        // The file's window was there already: it is the one brought up.
        for (SourcePane* p : sourceviews->panes())
            if (p->file() == f->file->name) return p;
        return nullptr;
    };
    h.openlist = [](bool functions) -> void* {
        if (functions) return browserviews->openfuncbrowser(debugger->di(), "", false);
        return browserviews->openfilebrowser(debugger->di());
    };
    h.editpath = [] { return editpath(*frame) ? 1 : 0; };
}

void unbindsourceexports() {
    ExportHost& h = exportstate().host;
    h.opensource = nullptr;
    h.openfunction = nullptr;
    h.openlist = nullptr;
    h.editpath = nullptr;
    frame = nullptr;
    debugger = nullptr;
    sourceviews = nullptr;
    browserviews = nullptr;
}

}  // namespace vek::views

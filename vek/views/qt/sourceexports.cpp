// The extension exports that open source windows and lists and edit the
// source path.
#include "vek/views/qt/sourceexports.h"

#include "vek/command/control/control.h"
#include "vek/command/ext/exports.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/shell/shell.h"
#include "vek/views/qt/browsers.h"
#include "vek/views/qt/pickdialogs.h"
#include "vek/views/qt/sourcepane.h"

namespace vek::views {

namespace {

shell::MainWindow* frame = nullptr;
Debugger* debugger = nullptr;
SourceViews* sourceviews = nullptr;
Browsers* browserviews = nullptr;
std::string chosen;   // the last name picked for an extension

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
        if (!f) return nullptr;
        return sourceviews->opensrcfunc(*f, file ? file : "", line > 0 ? line : 0);
    };
    // The pick dialogs: the name chosen stays until the next pick.
    h.selectname = [](bool functions) -> const char* {
        chosen = functions ? pickfunction(*frame, *debugger) : pickfile(*frame, *debugger);
        return chosen.empty() ? nullptr : chosen.c_str();
    };
    h.selection = [](const char** expression, const char** text) {
        const SourceViews::Selection& s = sourceviews->selection;
        if (!s.has) return 0;
        if (expression) *expression = s.expr.c_str();
        if (text) *text = s.text.c_str();
        return 1;
    };
    h.popupmenu = [](bool variable) -> void* {
        return variable ? sourceviews->varpopup() : sourceviews->funcpopup();
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
    h.selectname = nullptr;
    h.selection = nullptr;
    h.popupmenu = nullptr;
    chosen.clear();
    frame = nullptr;
    debugger = nullptr;
    sourceviews = nullptr;
    browserviews = nullptr;
}

}  // namespace vek::views

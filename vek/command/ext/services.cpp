// The exports that forward to the debugger's other services: expressions,
// source lines and selection lists, interrupts, events, runs, the status
// bar, the cursor, boxes, printing and the windows of the screen. Without a
// screen the window services have no window and answer 0.
#include <cstdarg>
#include <cstring>

#include "vek/command/ext/exportutil.h"
#include "vek/core/exec/hooks.h"
#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"
#include "vek/views/model/srcfile.h"

namespace vek {

struct ServiceState {
    views::SrcLineCache srclines;
    char srcline[512] = {};
    bool saved = false;                  // the cursor CursorWait replaced
    platform::Cursor savedcursor = platform::Cursor::Arrow;
};

namespace {

Debugger& dbg() { return extdebugger(); }

ServiceState& services() {
    ExportState& x = exportstate();
    if (!x.services) x.services = std::make_shared<ServiceState>();
    return *x.services;
}

ExportHost& host() { return exportstate().host; }

void run(const char* line) {
    if (dbg().flags.running) return;
    dbg().docmd(line, 1);
}

// The names of one file (null or "*.*": every file) that pick adds.
template <class Pick>
std::vector<std::string> filenames(const char* file, Pick pick) {
    std::vector<std::string> names;
    const bool all = !file || std::strcmp(file, "*.*") == 0;
    for (const auto& f : dbg().di().files)
        if (all || f->name == file) pick(*f, names);
    return names;
}

void fill(void* dialog, int combo, const std::vector<std::string>& names, const char* select) {
    if (host().fillcombo && dialog) host().fillcombo(dialog, combo, names, select);
}

}  // namespace

}  // namespace vek

using namespace vek;

extern "C" {

// ---- expressions

void* xexpr(const char** cursor, int* error, int mode) {
    if (!cursor || !*cursor) return nullptr;
    return ondebugger([&]() -> void* {
        int e = 0;
        ExprValue* v = vek::xexpr(*cursor, e, mode);
        if (error) *error = e;
        return v;
    });
}

void xfree(void* value) {
    if (value) ondebugger([&] { vek::xfree(static_cast<ExprValue*>(value)); });
}

int putresult(const void* value, int letter) {
    if (!value) return 0;
    return ondebugger([&] { return vek::putresult(*static_cast<const ExprValue*>(value), char(letter)) ? 1 : 0; });
}

// ---- source lines and selection lists

const char* GetSrcLine(const char* file, uint32_t line, int flag) {
    if (!file) return nullptr;
    return ondebugger([&] {
        ServiceState& st = services();
        const std::string text = views::srcline(st.srclines, dbg().srcpath, file, line, flag != 0);
        copytext(st.srcline, sizeof st.srcline, text.c_str());
        return static_cast<const char*>(st.srcline);
    });
}

void BrowserListFiles(void* dialog, int combo, int flag) {
    ondebugger([&] {
        std::vector<std::string> names = filenames(nullptr, [](const FileRecord& f, auto& out) { out.push_back(f.name); });
        const char* select = nullptr;
        std::string current;
        if (!names.empty()) {
            if (flag) {
                names.push_back("*.*");
            } else if (combo == 610) {
                const CallFrame* f = dbg().currentframe();
                if (f && f->func && f->func->file) current = f->func->file->name;
                if (!current.empty()) select = current.c_str();
            }
        }
        fill(dialog, combo, names, select);
    });
}

void BrowserListFuncs(void* dialog, int combo, const char* file) {
    ondebugger([&] {
        fill(dialog, combo, filenames(file, [](const FileRecord& f, auto& out) {
                 for (const auto& fn : f.funcs)
                     if (!fn->name.empty() && fn->name != ".") out.push_back(fn->name);
             }),
             nullptr);
    });
}

void BrowserListVars(void* dialog, int combo, const char* file) {
    ondebugger([&] {
        fill(dialog, combo, filenames(file, [](const FileRecord& f, auto& out) {
                 if (f.funcs.empty()) return;
                 for (const VarRecord& v : f.funcs.back()->vars)
                     if (v.sclass != sc::TType && v.sclass != sc::TLabel && v.sclass != sc::TGLabel)
                         out.push_back(v.name);
             }),
             nullptr);
    });
}

// ---- interrupts and events

int TGTRaiseInterrupt(int32_t id) {
    // The pending set takes raises from any thread.
    return vek::TGTRaiseInterrupt(&dbg().s.target.interrupts.pending, id);
}
int RaiseInterrupt(int32_t id) { return TGTRaiseInterrupt(id); }

int LoadInterrupts(const char* path) {
    if (!path) return -1;
    return ondebugger([&] {
        InterruptState& st = dbg().s.target.interrupts;
        return vek::LoadInterrupts(st, path) ? int(st.list.size()) : -1;
    });
}

int ShowInterrupts(void) {
    return ondebugger([] { return host().showinterrupts ? host().showinterrupts() : 0; });
}

int rmevent(int number, int user) {
    return ondebugger([&] { return dbg().rmevent(number, user); });
}

// ---- runs

void AnimateTargetCode(void) {
    ondebugger([] { run("step"); });
}

int CheckForStop(void) {
    return ondebugger([] {
        pumpexports();
        if (platform::windowhost().pumpmsgs()) dbg().flags.stop = 1;
        return int(dbg().flags.stop);
    });
}

// ---- status bar, cursor and boxes

void LeftStatus(const char* text) {
    ondebugger([&] { platform::windowhost().setstatus(0, text ? text : ""); });
}
void MiddleStatus(const char* text) {
    ondebugger([&] { platform::windowhost().setstatus(1, text ? text : ""); });
}
void RightStatus(const char* text) {
    ondebugger([&] { platform::windowhost().setstatus(2, text ? text : ""); });
}
void LastStatus(const char* text) {
    ondebugger([&] { platform::windowhost().setstatus(3, text ? text : ""); });
}

void WinStatGauge(int on, uint32_t total) {
    ondebugger([&] {
        if (host().gauge) host().gauge(on != 0, total);
    });
}
void WinStatGaugeAdd(uint32_t n) {
    ondebugger([&] {
        if (host().gaugeadd) host().gaugeadd(n);
    });
}

// Both return the cursor shown before: 1 the wait cursor, 0 the arrow.
static int showcursor(platform::Cursor c) {
    platform::WindowHost& h = platform::windowhost();
    const int was = h.cursor == platform::Cursor::Wait ? 1 : 0;
    h.setcursor(c);
    h.cursor = c;
    return was;
}
int CursorWait(void) {
    return ondebugger([] {
        ServiceState& st = services();
        if (platform::windowhost().cursor != platform::Cursor::Wait) {
            st.saved = true;
            st.savedcursor = platform::windowhost().cursor;
        }
        return showcursor(platform::Cursor::Wait);
    });
}
int CursorStd(void) {
    return ondebugger([] {
        ServiceState& st = services();
        return showcursor(st.saved ? st.savedcursor : platform::Cursor::Arrow);
    });
}

int MyMultMessShow(void* owner, int icon, int second, const char* caption, ...) {
    std::string text;
    va_list ap;
    va_start(ap, caption);
    for (const char* piece = va_arg(ap, const char*); piece; piece = va_arg(ap, const char*)) {
        if (text.size() + std::strlen(piece) >= 32768) break;
        text += piece;
    }
    va_end(ap);
    return ondebugger([&] { return vek::MyMultMessShow(owner, icon, second, caption, {text}); });
}

int FunctionKey(int key) {
    if (key < 112 || key > 123) return 0;
    return ondebugger([&] { return host().functionkey ? host().functionkey(key) : 0; });
}

int VekPrintFile(const char* title, const char* (*lines)(int first, void* arg, void* user), void* arg, void* user) {
    if (!lines) return 0;
    return ondebugger([&] { return host().printfile ? host().printfile(title, lines, arg, user) : 0; });
}

// The hook procedure of the memory save dialogs; the dialogs check their
// own fields here, so an extension's dialog gets the default answer.
intptr_t MemHookProc(void*, uint32_t, uintptr_t, intptr_t) { return 0; }

// ---- windows

int MDIUpdate(void) {
    return ondebugger([] { return host().mdiupdate ? host().mdiupdate() : 0; });
}
int VekCodeMemUpdate(int flag) {
    return ondebugger([&] { return host().memupdate ? host().memupdate(true, flag) : 0; });
}
int VekDataMemUpdate(int flag) {
    return ondebugger([&] { return host().memupdate ? host().memupdate(false, flag) : 0; });
}
void UpdateCodeMemoryWindows(void) { VekCodeMemUpdate(1); }
void UpdateDataMemoryWindows(void) { VekDataMemUpdate(1); }
int ApplicationTreeDisplay(int show) {
    return ondebugger([&] { return host().projectpane ? host().projectpane(show ? 1 : 0) : 0; });
}
int EditVekPath(void) {
    return ondebugger([] { return host().editpath ? host().editpath() : 0; });
}

}  // extern "C"

// The extension exports that reach the Disassembly, Registers, Stack and
// memory windows.
#include "vek/views/machineexports.h"

#include "vek/command/ext/exports.h"
#include "vek/shell/shell.h"
#include "vek/views/machinehosts.h"

namespace vek::views {

namespace {

shell::MainWindow* frame = nullptr;
Debugger* debugger = nullptr;
MachineWindows* windows = nullptr;

MemoryView* memview(const QPointer<shell::HostWindow>& host) {
    return host && host->pane(0) ? host->pane(0)->findChild<MemoryView*>() : nullptr;
}

}  // namespace

void bindmachineexports(shell::MainWindow& f, Debugger& d, MachineWindows& w) {
    frame = &f;
    debugger = &d;
    windows = &w;
    ExportHost& h = exportstate().host;
    h.viewwindow = [](int id) -> void* {
        switch (id) {
        case 300: return frame->cmdhost();
        case 310: return windows->regs.data();
        case 320: return windows->disasm.data();
        case 330: return windows->stack.data();
        default: return nullptr;
        }
    };
    // The window handed out is the host's content pane.
    h.openmemory = [](bool code, const char* title, uint32_t start, int perline, int size, int format,
                      int ascii) -> void* {
        MemoryWindow window = code ? codewindow(start) : datawindow(start, size, format, ascii != 0);
        if (!code && perline > 0 && perline <= 64) window.setformat(window.size, window.format, window.ascii, perline);
        shell::HostWindow* host = openmemwin(*frame, *debugger, *windows, std::move(window), QString::fromUtf8(title), false);
        return host ? host->pane(0) : nullptr;
    };
    h.memupdate = [](bool code, int flag) {
        int n = 0;
        for (const QPointer<shell::HostWindow>& host : windows->memory)
            if (MemoryView* v = memview(host); v && (v->model().kind == CodeWindow) == code) {
                v->refresh(flag != 0);
                ++n;
            }
        return n;
    };
}

void unbindmachineexports() {
    ExportHost& h = exportstate().host;
    h.viewwindow = nullptr;
    h.openmemory = nullptr;
    h.memupdate = nullptr;
    frame = nullptr;
    debugger = nullptr;
    windows = nullptr;
}

}  // namespace vek::views

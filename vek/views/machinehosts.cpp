// The Disassembly, Registers and Stack windows in the main window.
#include "vek/views/machinehosts.h"

#include <QMdiArea>
#include <QVBoxLayout>

#include "vek/command/control/control.h"
#include "vek/shell/shell.h"
#include "vek/views/machinemodel/bind.h"

namespace vek::views {

using shell::HostWindow;
using shell::MainWindow;
using shell::Pane;

namespace {

constexpr uint32_t SplitDisasm = 0x01, SplitStack = 0x40, SplitRegs = 0x02;

// A shell pane holding one of our views.
class ViewPane : public Pane {
public:
    explicit ViewPane(QWidget* view) {
        auto* l = new QVBoxLayout(this);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(view);
    }
};

HostWindow* openhost(MainWindow& frame, const QString& title, uint32_t bit) {
    auto* host = new HostWindow(frame, title, bit);
    frame.mdi()->addSubWindow(host);
    host->resize(420, 220);
    host->show();
    frame.mdiupdate();
    return host;
}

int cores(MainWindow& frame, uint32_t bit) { return frame.splitmask & bit ? 2 : 1; }

}  // namespace

void registermachineviews(MainWindow& frame, Debugger& d, MachineWindows& w) {
    w.host.beep = [&frame] { frame.beep(); };
    w.host.command = [&d](const std::string& line) { d.docmd(line.c_str(), 1); };
    w.host.openframe = [&d](int f) {
        if (f >= 0 && f < int(d.frames.size())) d.current = f;
    };

    // A Show-menu toggle over a host: open makes it, closing forgets the panes.
    auto toggle = [&frame](QPointer<HostWindow>& host, std::function<void()> open, std::function<void()> forget) {
        return shell::ViewToggle{[&host] { return !host.isNull(); }, [&host] { return host && host->isMinimized(); },
                                 [&host, open, forget](bool on) {
                                     if (!on) {
                                         if (host) host->close();
                                         forget();
                                     } else if (!host) {
                                         open();
                                     }
                                 }};
    };
    frame.registerview(320, toggle(
                                w.disasm,
                                [&frame, &d, &w] {
                                    w.disasm = openhost(frame, "Disassembly", SplitDisasm);
                                    for (int c = 0; c < cores(frame, SplitDisasm); ++c) {
                                        auto* v = new DisasmView(w.host, memenv(d), c);
                                        w.dviews[size_t(c)] = v;
                                        w.disasm->setpane(c, new ViewPane(v));
                                        v->refresh(d.s.target.regs.getcorepc(unsigned(c)));
                                    }
                                },
                                [&w] { w.dviews = {}; }));
    frame.registerview(310, toggle(
                                w.regs,
                                [&frame, &d, &w] {
                                    w.regs = openhost(frame, "Registers", SplitRegs);
                                    for (int c = 0; c < cores(frame, SplitRegs); ++c) {
                                        auto* v = new RegistersView(w.host, [&d, c] { return regsource(d, c); });
                                        v->running = [&d] { return d.flags.running.load() != 0; };
                                        w.rviews[size_t(c)] = v;
                                        w.regs->setpane(c, new ViewPane(v));
                                    }
                                },
                                [&w] { w.rviews = {}; }));
    frame.registerview(330, toggle(
                                w.stack,
                                [&frame, &d, &w] {
                                    w.stack = openhost(frame, "Stack", SplitStack);
                                    auto* v = new StackView(w.host);
                                    w.sviews[0] = v;
                                    w.stack->setpane(0, new ViewPane(v));
                                    v->setlines(stacklines(d));
                                },
                                [&w] { w.sviews = {}; }));
}

void refreshmachineviews(Debugger& d, MachineWindows& w) {
    if (d.flags.running.load()) return;
    if (w.disasm)
        for (int c = 0; c < 2; ++c)
            if (w.dviews[size_t(c)]) w.dviews[size_t(c)]->refresh(d.s.target.regs.getcorepc(unsigned(c)));
    if (w.regs)
        for (RegistersView* v : w.rviews)
            if (v) v->refresh(false);
    if (w.stack && w.sviews[0]) w.sviews[0]->setlines(stacklines(d));
}

}  // namespace vek::views

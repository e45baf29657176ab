// The Disassembly, Registers and Stack windows in the main window.
#include "vek/views/machinehosts.h"

#include <QFileDialog>
#include <QMdiArea>
#include <QVBoxLayout>

#include "vek/command/control/control.h"
#include "vek/command/expr/expr.h"
#include "vek/core/support/symbols.h"
#include "vek/core/target/registers.h"
#include "platform/files.h"
#include "vek/core/support/output.h"
#include "vek/shell/printing.h"
#include "vek/shell/shell.h"
#include "vek/views/machinedialogs.h"
#include "vek/views/machinemodel/bind.h"

#include <QMenuBar>

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

// Asks where a window's text goes and writes it there ("Can't write " and
// the path when it cannot).
void savetext(QWidget* owner, const QString& title, const QString& filter, const QString& extension,
              const std::string& text) {
    QString path = shell::responder().file ? shell::responder().file(title)
                                           : QFileDialog::getSaveFileName(owner, title, {}, filter);
    if (path.isEmpty()) return;
    if (!path.contains('.')) path += extension;
    if (!platform::writefile(path.toStdString(), text)) puterror({"Can't write ", path.toStdString()});
}

// A strip of plain items above a view.
QMenuBar* addstrip(Pane* pane, std::initializer_list<std::pair<int32_t, const char*>> items,
                   std::function<void(int32_t)> handler) {
    auto* strip = new QMenuBar(pane);
    strip->setNativeMenuBar(false);
    for (auto [id, text] : items) {
        QAction* a = strip->addAction(text);
        a->setData(id);
        QObject::connect(a, &QAction::triggered, strip, [handler, id = id] { handler(id); });
    }
    static_cast<QVBoxLayout*>(pane->layout())->insertWidget(0, strip);
    return strip;
}

// The update dialog of a register label: "Update $" and the register's
// name; OK takes a program symbol's exact name or a whole number, else it
// beeps and stays. True when a value was written.
bool updatereg(MainWindow& frame, Debugger& d, int core, unsigned reg) {
    const RegSource src = regsource(d, core);
    const uint32_t pc = d.s.target.regs.getcorepc(unsigned(core));
    FormDialog dialog(&frame, QString("Update $") + regname(reg));
    const int field = dialog.addfield("Value", QString::asprintf("0x%x", src.getreg(reg)));
    for (bool symbol : {true, false})
        dialog.addbutton(symbol ? "&Symbol" : "&C Function", [&d, field, symbol](FormDialog& f) {
            if (auto v = pickvalue(d, &f, symbol)) f.setfield(field, QString::asprintf("0x%x", *v));
        });
    uint32_t value = 0;
    dialog.onok = [&](FormDialog& f) {
        const std::string text = f.field(field);
        if (const ProgramSymbol* s = text.empty() ? nullptr : rensym(text)) value = s->value;
        else if (!readnumber(text, value)) return frame.beep(), false;
        return true;
    };
    if (!dialog.ask()) return false;
    src.storereg(reg, value);
    syncregs(d.s.target.regs.getcorepc(unsigned(core)) != pc);
    return true;
}

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
                                        v->dialog = [&frame, &d, &w, c](unsigned reg) {
                                            if (updatereg(frame, d, c, reg)) refreshmachineviews(d, w);
                                        };
                                        w.rviews[size_t(c)] = v;
                                        auto* pane = new ViewPane(v);
                                        addstrip(pane, {{119, "Refresh"}, {118, "Save"}, {121, "Print"}},
                                                 [&d, v, c](int32_t id) {
                                                     if (id == 119) v->endedit(), v->refresh(true);
                                                     const std::string text = registertext(regsource(d, c));
                                                     if (id == 118)
                                                         savetext(v, "Save Variable Usage", "Register Files(*.reg)",
                                                                  ".reg", text + "\n");
                                                     if (id == 121) shell::printlines("Registers", text);
                                                 });
                                        w.regs->setpane(c, pane);
                                    }
                                },
                                [&w] { w.rviews = {}; }));
    frame.registerview(330, toggle(
                                w.stack,
                                [&frame, &d, &w] {
                                    w.stack = openhost(frame, "Stack", SplitStack);
                                    auto* v = new StackView(w.host);
                                    w.sviews[0] = v;
                                    auto* pane = new ViewPane(v);
                                    addstrip(pane, {{118, "Save"}, {121, "Print"}}, [v](int32_t id) {
                                        if (id == 118)
                                            savetext(v, "Save Stack", "Stack Files(*.mon)", ".mon",
                                                     stacklayout(v->model()));
                                        if (id == 121) shell::printlines("STACK LAYOUT", stackprint(v->model()));
                                    });
                                    w.stack->setpane(0, pane);
                                    v->setlines(stacklines(d));
                                },
                                [&w] { w.sviews = {}; }));
}

HostWindow* openmemwin(MainWindow& frame, Debugger& d, MachineWindows& w, MemoryWindow window, const QString& title,
                       bool runtime) {
    struct Item {
        int32_t id;
        const char* text;
    };
    static const std::vector<Item> code{{361, "Address"}, {364, "Dump"}};
    static const std::vector<Item> data{{361, "Address"}, {362, "Format"}, {364, "Dump"}, {363, "Fill"},
                                        {367, "S-Records"}};
    static const std::vector<Item> rtdata{{361, "Address"}, {362, "Format"}};
    const bool iscode = window.kind == CodeWindow;
    HostWindow* host = openhost(frame, title, 0);
    host->resize(iscode ? 400 : window.ascii ? 350 : 250, 150);
    auto* view = new MemoryView(w.host, memenv(d), std::move(window));
    auto* pane = new ViewPane(view);
    auto* strip = new QMenuBar(pane);
    strip->setNativeMenuBar(false);
    QPointer<HostWindow> guard(host);
    for (const Item& item : iscode ? code : runtime ? rtdata : data) {
        const int32_t id = item.id;
        QObject::connect(strip->addAction(item.text), &QAction::triggered, strip, [&frame, &d, view, guard, id] {
            const std::string caption = memcommand(d, *view, id, &frame, [&frame](const std::string& e) {
                platform::BoxRequest box;
                box.caption = "Error";
                box.text = e;
                frame.messagebox(box);
            });
            if (!caption.empty() && guard) guard->setWindowTitle(QString::fromStdString(caption));
        });
    }
    static_cast<QVBoxLayout*>(pane->layout())->insertWidget(0, strip);
    host->setpane(0, pane);
    w.memory.push_back(host);
    return host;
}

HostWindow* askmemwin(MainWindow& frame, Debugger& d, MachineWindows& w) {
    FormDialog f(&frame, "Memory");
    const int address = f.addfield("Address", w.lastdata);
    const int kind = f.addchoice("Kind", {"Code", "Data"}, w.codekind ? 0 : 1);
    const int size = f.addchoice("Size", {"Byte", "Word", "Long"}, w.size == 1 ? 0 : w.size == 2 ? 1 : 2);
    const int format = f.addchoice("Format", {"Binary", "Octal", "Decimal", "Hexadecimal"}, w.format - 1);
    const int ascii = f.addcheck("ASCII", w.ascii);
    uint32_t start = 0;
    f.onok = [&](FormDialog& x) {
        if (x.field(address).empty()) return false;
        return readaddress(d, x.field(address), start);
    };
    if (!f.ask()) return nullptr;
    w.codekind = f.choice(kind) == 0;
    w.size = f.choice(size) == 0 ? 1 : f.choice(size) == 1 ? 2 : 4;
    w.format = f.choice(format) + 1;
    w.ascii = f.check(ascii);
    const QString text = QString::fromStdString(f.field(address));
    if (w.codekind) return openmemwin(frame, d, w, codewindow(start), "code:" + text, false);
    w.lastdata = text;
    return openmemwin(frame, d, w, datawindow(start, w.size, w.format, w.ascii), "data:" + text, false);
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
    // Data windows keep their baseline: changed values stay coloured.
    for (const QPointer<HostWindow>& host : w.memory)
        if (host && host->pane(0))
            if (auto* view = host->pane(0)->findChild<MemoryView*>()) view->refresh(false);
}

}  // namespace vek::views

// The views joined to the main window (see windows.h).
#include "vek/views/windows.h"
#include "vek/views/qt/listprint.h"

#include <QCursor>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLabel>
#include <QFileDialog>
#include <QMdiArea>
#include <QMenu>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "vek/command/control/control.h"
#include "vek/command/data/data.h"
#include "vek/command/expr/expr.h"
#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"
#include "vek/views/machinedialogs.h"
#include "vek/views/machineexports.h"
#include "vek/views/projectexports.h"
#include "vek/views/qt/sourceexports.h"
#include "vek/shell/sessions.h"
#include "vek/views/model/location.h"
#include "vek/views/model/browsers.h"
#include "vek/views/model/eventview.h"
#include "vek/views/qt/eventdialogs.h"
#include "vek/views/qt/pickdialogs.h"
#include "vek/views/varmodel/varbind.h"

namespace vek::views {

using shell::HostWindow;

namespace {

// Split bits of the variable windows.
constexpr uint32_t SplitLocals = 0x04, SplitGlobals = 0x02;

// A shell pane holding one view widget.
class HolderPane : public shell::Pane {
public:
    explicit HolderPane(QWidget* view) {
        auto* l = new QVBoxLayout(this);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(view);
    }
};

// One evaluation of a monitor through the expression evaluator; memory
// monitors read their bytes.
MonValue evalmonitor(const MonItem& m) {
    MonValue v;
    if (m.size && m.number) {
        const unsigned n = m.size == 'b' ? 1 : m.size == 'w' ? 2 : 4;
        uint32_t value = 0;
        for (unsigned k = 0; k < n; ++k)
            value = value << 8 | (exprenv().mem ? exprenv().mem->getbyte(m.address + k) : 0);
        char text[16];
        std::snprintf(text, sizeof text, "0x%0*x", int(2 * n), unsigned(value));
        v.kind = 1;
        v.text = text;
        return v;
    }
    const char* p = m.expr.c_str();
    int error = 0;
    ExprPtr x(xexpr(p, error, 1));
    if (!x) {
        v.error = error ? error : msgid::Syntax;
        return v;
    }
    v.error = error;
    v.kind = x->kind;
    if (error) return v;
    v.type = aggregaterecord(*x);
    v.text = valuetext(*x, m.format == ' ' ? 0 : m.format);
    return v;
}

QStringList qlist(const std::vector<std::string>& names) {
    QStringList items;
    for (const std::string& n : names) items << QString::fromStdString(n);
    return items;
}

// The Update of a variable pane: the text evaluated and converted to the
// variable's type, written where the variable lives.
bool evalupdate(const std::string& text, const VarRecord& var, uint64_t& value) {
    const char* p = text.c_str();
    int error = 0;
    ExprPtr v(xexpr(p, error, 1));
    while (*p == ' ' || *p == '\t') ++p;
    if (!v || error || *p) return false;
    const uint8_t code = uint8_t(var.type);
    const bool floattarget = (var.type >> 8) == 0 && (code == tc::Float || code == tc::Double || code == tc::LDouble);
    if (floattarget) {
        ExprValue d;
        d.setdbl(v->isfloat() ? v->dbl() : inttodbl(v->u32(), v->base()));
        value = d.bits;
    } else {
        value = v->isfloat() ? dbltoint(v->dbl(), code) : v->bits;
    }
    return true;
}

void writeupdate(const VarRecord& var, uint32_t address, uint64_t value) {
    ExprValue e;
    fromvar(e, var);
    if (isregisterkind(var.sclass)) {
        e.kind = var.sclass;
        e.address = var.value;
    } else {
        e.kind = term::Mem;
        e.address = address;
    }
    writeval(e, value);
}

void errorbox(shell::MainWindow& frame, const std::string& caption, const std::string& text) {
    platform::BoxRequest box;
    box.caption = caption;
    box.text = text;
    frame.messagebox(box);
}

}  // namespace

// ---- the command host ----------------------------------------------------

template <class F> void RefreshingCommands::around(F run) {
    ++depth_;
    run();
    if (--depth_ == 0) views_.refresh();
}

void RefreshingCommands::docmd(const std::string& line) {
    around([&] { inner_->docmd(line); });
}
void RefreshingCommands::doblock(const std::string& line) {
    around([&] { inner_->doblock(line); });
}
void RefreshingCommands::runcmdfile(const std::string& path) {
    around([&] { inner_->runcmdfile(path); });
}
void RefreshingCommands::loadprogram(const std::string& path) {
    around([&] { inner_->loadprogram(path); });
}

// ---- the views -----------------------------------------------------------

ViewSet::ViewSet(shell::MainWindow& frame, Debugger& d)
    : sources(frame), browsers(frame, sources), montree(evalmonitor), frame_(frame), d_(d),
      commands_(frame.commands(), *this) {
    frame_.setcommands(&commands_);
    frame_.viewcommand = [this](int32_t id) { return command(id); };
    sources.lineinfo = [this](const std::string& file, int line) { return lineinfo(file, line); };
    sources.debug = &d_.di();
    sources.onword = [this](const std::string& expr, const std::string& text, QPoint at,
                            Qt::KeyboardModifiers mods) { wordpopup(expr, text, at, mods); };
    sources.online = [this](SourcePane& pane, int line, int id, QPoint at, Qt::KeyboardModifiers mods) {
        linepopup(pane, line, id, at, mods);
    };
    browsers.funcactive = [this](const std::string& name) {
        const FunctionRecord* f = findfunc(d_.di(), name, nullptr);
        return f && Debugger::funcstate(f) == 1;
    };

    followprintitem(frame_);
    // stack lines show the arguments as they were when the call was made
    d_.callentered = [this](int frame) {
        if (frame >= 0 && size_t(frame) < d_.frames.size()) d_.frames[size_t(frame)].entry = frametext(d_, frame);
    };
    registermachineviews(frame_, d_, machine);
    // the extensions' window exports reach these windows while the set lives
    bindmachineexports(frame_, d_, machine);
    bindsourceexports(frame_, d_, sources, browsers);
    // sessions keep the memory windows (their Data section)
    shell::SessionMemoryWindows& sm = shell::sessionmemorywindows();
    sm.list = [this] {
        std::vector<shell::DataWindowPlace> out;
        for (const QPointer<HostWindow>& h : machine.memory) {
            MemoryView* v = h && h->pane(0) ? h->pane(0)->findChild<MemoryView*>() : nullptr;
            if (!v) continue;
            const MemoryWindow& m = v->model();
            shell::DataWindowPlace p;
            p.code = m.kind == CodeWindow;
            p.start = m.start;
            p.bytesperline = uint32_t(m.bytesperline);
            p.ascii = m.ascii ? 1 : 0;
            p.size = uint32_t(m.size);
            p.format = uint32_t(m.format);
            const QRect g = h->geometry();
            p.left = g.x(), p.top = g.y(), p.right = g.x() + g.width() + 1, p.bottom = g.y() + g.height() + 1;
            out.push_back(p);
        }
        return out;
    };
    sm.closeall = [this] {
        for (const QPointer<HostWindow>& h : machine.memory)
            if (h) delete h.data();
        machine.memory.clear();
    };
    sm.open = [this](const shell::DataWindowPlace& p, bool placed) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", p.start);
        MemoryWindow m = p.code ? codewindow(p.start) : datawindow(p.start, int(p.size), int(p.format), p.ascii != 0);
        if (!p.code) m.setformat(int(p.size), int(p.format), p.ascii != 0, int(p.bytesperline));
        HostWindow* h = openmemwin(frame_, d_, machine, std::move(m), QString(p.code ? "code:" : "data:") + text, false);
        if (h && placed && p.right - p.left > 1 && p.bottom - p.top > 1)
            h->setGeometry(p.left, p.top, p.right - p.left - 1, p.bottom - p.top - 1);
    };
    machine.host.command = [this](const std::string& line) { sendcmd(frame_, line); };
    // a code line's event (its popup for id 0) and a word's symbol popup
    machine.host.eventcommand = [this](uint32_t address, int id) {
        const EventRecord* ev = nullptr;
        for (const auto& e : d_.events)
            if (e && !e->removed && (e->kind == 'a' || e->kind == 's') && e->address == address) ev = &*e;
        if (!ev) return;
        if (!id) {
            QMenu menu(&frame_);
            for (auto [item, text] : {std::pair{801, "&On/Off"}, {802, "&Delete"}, {803, "&Edit"}, {808, "&Show"}}) {
                QAction* a = menu.addAction(text);
                a->setData(item);
                if (item == 808) a->setEnabled(ev->kind == 't');   // only a source-line event has lines to show
            }
            if (popupanswer) id = popupanswer(menu);
            else if (QAction* a = menu.exec(QCursor::pos())) id = a->data().toInt();
        }
        eventcommand(*ev, id);
    };
    machine.host.symbol = [this](const std::string& word) {
        wordpopup(word, word, QCursor::pos(), QGuiApplication::keyboardModifiers());
    };
    machine.host.openframe = [this](int f) {
        if (f < 0 || f >= int(d_.frames.size())) return;
        d_.current = f;
        const CallFrame& c = d_.frames[size_t(f)];
        if (c.func && c.func->file) sources.openframe(c.func->file->name, int(c.line));
    };

    auto toggle = [](std::function<bool()> isopen, std::function<QWidget*()> widget, std::function<void(bool)> show) {
        return shell::ViewToggle{isopen,
                                 [widget] {
                                     QWidget* w = widget();
                                     return w && w->isMinimized();
                                 },
                                 std::move(show)};
    };
    auto hostof = [](QWidget* view) -> QWidget* { return view ? views::hostof(view) : nullptr; };
    frame_.registerview(335, toggle([this] { return !locals.isNull(); }, [this, hostof] { return hostof(locals); },
                                    [this](bool) { togglevars(335); }));
    frame_.registerview(336, toggle([this] { return !globals.isNull(); }, [this, hostof] { return hostof(globals); },
                                    [this](bool) { togglevars(336); }));
    frame_.registerview(340, toggle([this] { return !monitors.isNull(); }, [this, hostof] { return hostof(monitors); },
                                    [this](bool) { togglemonitors(); }));
    frame_.registerview(301, toggle([this] { return project && project->isVisible(); },
                                    [this] { return static_cast<QWidget*>(project.data()); },
                                    [this](bool) { toggleproject(false); }));

    // the Source Information choices of the frame reach every source pane
    for (int32_t id : {10010, 10011, 10012, 10013, 10014})
        if (QAction* a = frame_.action(id)) QObject::connect(a, &QAction::triggered, &frame_, [this] { synccolumns(); });
    d_.viewrefresh = [this] {
        if (d_.quitting) return;
        checkload();
        showstop();
        refreshmachineviews(d_, machine);
    };
    d_.windowcmd = [this](const std::string& word, const std::string& letters) { windowcommand(word, letters); };
    oldmonitorview_ = d_.monitorview;
    d_.monitorview = [this] {
        if (oldmonitorview_) oldmonitorview_();
        refreshdata();
    };
    ExprHooks& hooks = exprenv().hooks;
    hooks.showlocation = [this] { showstop(); };
    hooks.refreshregs = [this] {
        for (RegistersView* v : machine.rviews)
            if (machine.regs && v) v->refresh(false);
    };
    installaggregates(aggregates, exprsource(), [this] { return d_.now(); },
                      [](const std::string& e) { puterror({e, "\n"}); });
    aggregates.opened = [this](AggregateWindow& w) { openaggregate(w); };
    aggregates.closing = [this](AggregateWindow& w) {
        auto it = aggviews.find(&w);
        if (it == aggviews.end()) return;
        QPointer<AggregateView> view = it->second;
        aggviews.erase(it);
        if (view) delete views::hostof(view);
    };
    d_.dropaggregates = [this] {
        aggregates.drop();
        for (auto& [win, v] : aggviews)
            if (v) v->sync();
        d_.aggregatewins = int(aggregates.wins.size());
    };
}

ViewSet::~ViewSet() {
    shell::sessionmemorywindows() = {};
    unbindprojectexports();
    unbindsourceexports();
    unbindmachineexports();
    frame_.setcommands(commands_.inner());
    frame_.viewcommand = nullptr;
    d_.callentered = nullptr;
    for (int32_t id : {301, 310, 320, 330, 335, 336, 340})
        frame_.registerview(id, {[] { return false; }, [] { return false; }, [](bool) {}});
    d_.monitorview = oldmonitorview_;
    d_.viewrefresh = nullptr;
    d_.windowcmd = nullptr;
    d_.dropaggregates = nullptr;
    d_.aggregatewins = 0;
    ExprHooks& hooks = exprenv().hooks;
    hooks.showlocation = nullptr;
    hooks.refreshregs = nullptr;
    hooks.aggregatewindow = nullptr;
    aggregates.opened = nullptr;
    aggregates.closing = nullptr;
    // the windows of the views hold references into this set; others stay
    for (QMdiSubWindow* sub : frame_.mdi()->subWindowList()) {
        auto* h = dynamic_cast<HostWindow*>(sub);
        if (!h || h == frame_.cmdhost()) continue;
        QWidget* pane = h->pane(0);
        bool ours = dynamic_cast<TextPane*>(pane) || dynamic_cast<HolderPane*>(pane) || h == machine.disasm ||
                    h == machine.regs || h == machine.stack;
        for (const QPointer<HostWindow>& m : machine.memory) ours |= h == m;
        if (ours) delete h;
    }
    delete project.data();
}

std::unique_ptr<shell::Views> attachviews(shell::MainWindow& frame, Debugger& d) {
    return std::make_unique<ViewSet>(frame, d);
}

HostWindow* ViewSet::host(const QString& title, QWidget* view, uint32_t splitbit) {
    auto* h = new HostWindow(frame_, title, splitbit);
    h->setpane(0, new HolderPane(view));
    frame_.mdi()->addSubWindow(h);
    h->resize(360, 240);
    h->show();
    frame_.mdiupdate();
    return h;
}

// ---- after commands ------------------------------------------------------

void ViewSet::checkload() {
    DebugInfo& di = d_.di();
    const void* key = di.files.empty() ? nullptr : di.files.front().get();
    if (key == loaded_ && di.lines.size() == loadedlines_) return;
    loaded_ = key;
    loadedlines_ = di.lines.size();
    lines_.clear();
    for (const LineRecord* r : di.lines) {
        if (!(r->kind & vek::kind::Line) || (r->kind & 0x43) || r->file.empty()) continue;
        lines_[r->file].emplace(int(r->line), r);
    }
    sources.debug = &di;
    sources.pathchanged();
    // trees of the old program hold its records
    for (auto& [kind, pane] : varbrowsers)
        if (pane) delete views::hostof(pane);
    varbrowsers.clear();
    aggregates.closeall();
    d_.aggregatewins = 0;
    formats.clear();
    if (locals) locals->refreshlocals(0, {}, {});
    if (globals)
        for (int core = 0; core < 2; ++core) globals->fillglobals(core, di, frameaddr(core));
    if (project) project->maketrees(&di);
    monsignature_.clear();
    montree.remove(-1);
}

void ViewSet::refresh() {
    if (d_.quitting || d_.flags.running.load()) return;
    checkload();
    refreshmachineviews(d_, machine);
    if (events) events->rebuild();
    synccolumns();
}

void ViewSet::synccolumns() {
    for (SourcePane* p : sources.panes()) {
        SourceColumns& c = p->columns();
        c.address = frame_.addresscolumn;
        c.coverage = frame_.coverage >= 10010 && frame_.coverage <= 10012 ? Coverage(frame_.coverage) : Coverage::None;
        p->update();
    }
}

void ViewSet::showstop() {
    const Program& prog = d_.s.prog;
    if (prog.loadstate == loadstate::None && prog.path.empty()) return;
    views::showlocation(sources, d_, [this] {
        if (!machine.disasm) frame_.dispatch(320);
    });
    synccolumns();
    const StopLocation loc = stoplocation(d_);
    std::string function;
    if (loc.show != StopLocation::Show::Disassembly) function = loc.function.empty() ? "." : loc.function;
    frame_.setWindowTitle(QString::fromStdString(maincaption(false, prog.path, function, loc.file, loc.line)));
    refreshvars();
}

void ViewSet::refreshdata() {
    if (d_.flags.running.load()) return;
    syncmonitors();
    refreshvars();
    refreshmachineviews(d_, machine);
}

void ViewSet::refreshvars() {
    if (locals)
        for (int core = 0; core < 2; ++core) locals->refreshlocals(core, currentlocals(core), frameaddr(core));
    if (globals) globals->refreshtexts();
    for (auto& [kind, pane] : varbrowsers)
        if (pane && !pane->frozen && kind != 1) fillvarbrowser(*pane, kind);
    for (auto& [w, view] : aggviews)
        if (view) view->sync();
}

LineInfo ViewSet::lineinfo(const std::string& file, int line) {
    LineInfo info;
    auto f = lines_.find(file);
    const LineRecord* r = nullptr;
    if (f != lines_.end()) {
        auto l = f->second.find(line);
        if (l != f->second.end()) r = l->second;
    }
    if (!r) {
        info.hascode = false;
        return info;
    }
    info.address = r->address;
    info.hits = r->hits;
    info.cycles = r->cycles;
    for (const auto& e : d_.events) {
        if (e->removed || !e->user) continue;
        bool covers = e->kind == 't' ? e->file && e->file->name == file && uint32_t(line) >= e->first &&
                                           uint32_t(line) <= e->last
                                     : (e->kind == 'a' || e->kind == 's') && e->address == r->address;
        if (covers) {
            info.event = e->number;
            info.eventon = e->enabled;
            break;
        }
    }
    return info;
}

// ---- menu commands -------------------------------------------------------

bool ViewSet::command(int32_t id) {
    switch (id) {
    case 130: showmap(); return true;
    case 360: askmemwin(frame_, d_, machine); return true;
    case 703:
        // the selection of the active source window becomes a monitor
        if (auto* sub = frame_.mdi()->activeSubWindow())
            if (auto* h = dynamic_cast<HostWindow*>(sub))
                if (auto* p = dynamic_cast<SourcePane*>(h->pane(0)); p && !p->lastselection.empty())
                    sendcmd(frame_, "monit " + p->lastselection);
        return true;
    case 440:
        if (editpath(frame_)) sources.pathchanged();
        return true;
    case 620:
        if (std::string file = pickfile(frame_, d_); !file.empty()) sources.opensrcwin(file, 0);
        return true;
    case 621:
        if (events) frame_.mdi()->setActiveSubWindow(views::hostof(events));
        else if ((events = browsers.browseevents(d_))) {
            events->show = [this](const EventRecord& e) {
                if (e.file) sources.opensrcwin(e.file->name, int(e.first));
            };
            events->editdata = [this](int number) { dataevent(number); };
        }
        return true;
    case 622:
        if (std::string name = pickfunction(frame_, d_); !name.empty())
            if (const FunctionRecord* f = findfunc(d_.di(), name, nullptr)) sources.opensrcfunc(*f, {}, 0);
        return true;
    case 625: browsesource(); return true;
    case 626: toggleproject(true); return true;
    case 640: browsers.openfilebrowser(d_.di()); return true;
    case 650: browsers.openfuncbrowser(d_.di(), "", true); return true;
    case 670: symbolbrowser(); return true;
    case 671: listsymbols(false); return true;
    case 672: listsymbols(true); return true;
    case 630:
    case 631:
    case 632: openvarbrowser(id, frame_.varformat != 633, frame_.varformat == 635); return true;
    case 382:
    case 383:
    case 384: openvarbrowser(630, id >= 383, id == 384); return true;
    case 805: codeevent("Code Event Editor"); return true;
    case 806: dataevent(0); return true;
    case 807: codeevent("Time Event Editor", false); return true;
    default: return false;
    }
}

void ViewSet::windowcommand(const std::string& word, const std::string& letters) {
    if (word == "disa") frame_.dispatch(320);
    else if (word == "wregs") frame_.dispatch(310);
    else if (word == "wstack") frame_.dispatch(330);
    else if (word == "maximize") frame_.showMaximized();
    else if (word == "minimize") frame_.showMinimized();
    else if (word == "cmdwin")
        for (char c : letters) frame_.showcmdwin(c == 'S');
    else if (word == "vars" && !varbrowsers[632] && !varbrowsers[1])
        // the application browser's place, filled once from the current frame
        openvarbrowser(1, true, letters.find('A') != std::string::npos);
}

PopupHooks ViewSet::popuphooks() {
    PopupHooks h;
    h.eval = [](const std::string& text) {
        ExprNote note;
        const char* p = text.c_str();
        int error = 0;
        ExprPtr v(xexpr(p, error, 0));
        note.error = v ? error : msgid::Syntax;
        if (!v) return note;
        note.kind = v->kind;
        note.type = aggregaterecord(*v);
        note.address = v->address;
        note.value2 = v->value2;
        return note;
    };
    h.findfunc = [this](const std::string& name) -> const FunctionRecord* {
        return findfunc(d_.di(), name, nullptr);
    };
    h.docmd = [this](const std::string& line) { sendcmd(frame_, line); };
    h.capture = [this](const std::string& line) { return capture(line); };
    h.dbreak = [this](const std::string& rest) { sendcmd(frame_, "dbreak " + rest); };
    h.box = [this](const std::string& title, const std::string& text) { errorbox(frame_, title, text); };
    h.error = [](const std::string& text) { puterror({text}); };
    h.getbyte = [this](uint32_t a) { return d_.s.target.mem.getbyte(a); };
    h.putbyte = [this](uint32_t a, uint8_t v) { d_.s.target.mem.putbyte(a, v); };
    h.beep = [this] { frame_.beep(); };
    h.addmemmonit = [this](const std::string& name, uint32_t address, char size) {
        d_.addmemmonit(name, address, size == 'b' ? 927 : size == 'w' ? 928 : 929);
    };
    h.update = [this](const std::string& name) { updatevar(name); };
    return h;
}

void ViewSet::wordpopup(const std::string& word, const std::string& text, QPoint at, Qt::KeyboardModifiers mods) {
    ExprPopup popup(popuphooks());
    int keys = 0;
    if (mods & Qt::ShiftModifier) keys |= popkey::Shift;
    if (mods & Qt::ControlModifier) keys |= popkey::Ctrl;
    if (frame_.heldletters.count('A')) keys |= popkey::A;
    if (frame_.heldletters.count('R')) keys |= popkey::R;
    if (frame_.heldletters.count('W')) keys |= popkey::W;
    const ExprPopup::Outcome outcome = popup.click(word, text, keys);
    if (outcome == ExprPopup::Outcome::Nothing || outcome == ExprPopup::Outcome::Ran || popup.items.empty()) return;
    if (outcome != ExprPopup::Outcome::LabelPopup) {
        // the persistent popups, with the items extensions added
        QMenu* menu = outcome == ExprPopup::Outcome::FuncPopup ? sources.funcpopup() : sources.varpopup();
        const int id = choosepopup(*menu, popup.items, at);
        if (id) popup.command(id);
        return;
    }
    QMenu menu(&frame_);
    for (const PopupItem& item : popup.items) {
        QAction* a = menu.addAction(QString::fromStdString(item.text));
        a->setData(item.id);
        a->setEnabled(item.enabled);
    }
    int id = 0;
    if (popupanswer) {
        id = popupanswer(menu);
    } else if (QAction* a = menu.exec(at)) {
        id = a->data().toInt();
    }
    if (!id) return;
    // a label: its address
    if (const ProgramSymbol* s = rensym(word)) {
        popup.symname = word;
        popup.symvalue = s->value;
        popup.symcommand(920);
    }
}

void ViewSet::showmap() {
    std::vector<MapSection> sections;
    for (const LoadSegment& seg : d_.s.prog.segments) sections.push_back({seg.name, seg.address, seg.last});
    auto* pane = new ListPane(frame_, shell::FontKind::Browser);
    auto* h = new HostWindow(frame_, "Map", 0);
    h->setpane(0, pane);
    frame_.mdi()->addSubWindow(h);
    pane->buffer().assign(maptext(sections));
    pane->textchanged(0);
    h->show();
}

void ViewSet::browsesource() {
    QString name = shell::responder().file
                       ? shell::responder().file("Source Browser")
                       : QFileDialog::getOpenFileName(&frame_, "Source Browser", {}, "Source Files (*.c *.h *.s)");
    if (!name.isEmpty()) sources.opensrcwin(name.toStdString(), 0);
}

void ViewSet::listsymbols(bool byname) {
    std::vector<const ProgramSymbol*> symbols;
    for (const ProgramSymbol* s = symtab().head; s; s = s->next) symbols.push_back(s);
    SymbolPlaces places;
    places.sectionname = [](uint8_t) { return std::string(); };
    places.owner = [](uint32_t, uint8_t, bool& source) {
        source = false;
        return std::string();
    };
    frame_.setcursor(platform::Cursor::Wait);
    const QString before = frame_.statustext(2);
    if (byname) frame_.setstatus(2, "Sorting Symbols");
    browsers.listsymbols(symbols, byname, places);
    if (byname) frame_.setstatus(2, before.toStdString());
    frame_.setcursor(platform::Cursor::Arrow);
}

void ViewSet::symbolbrowser() {
    std::vector<std::string> names;
    for (const ProgramSymbol* s = symtab().head; s; s = s->next)
        if (!s->name.empty() && s->name[0] != '.') names.push_back(s->name);
    SymbolDialog dialog(frame_, names,
                        [](const std::string& name) -> std::optional<uint32_t> {
                            if (const ProgramSymbol* s = rensym(name)) return s->value;
                            return std::nullopt;
                        },
                        false);
    shell::answerlater(dialog);
    dialog.exec();
}

void ViewSet::dataevent(int number) {
    // the file-scope variables of every listed file, in list order
    std::vector<std::string> names;
    for (const FileRecord* file : listedfiles(d_.di())) {
        if (file->funcs.empty()) continue;
        for (const VarRecord& v : file->funcs.back()->vars)
            if (v.sclass != sc::TType && v.sclass != sc::TLabel && v.sclass != sc::TGLabel && !v.name.empty())
                names.push_back(v.name);
    }
    const EventRecord* old = number ? d_.findnumber(number) : nullptr;
    char access = 'A';
    int chosen = 0;
    if (old) {
        const std::string line = d_.eventcommand(*old);
        if (size_t t = line.find("/T:"); t != std::string::npos && t + 3 < line.size()) access = line[t + 3];
        else if (old->kind == 'R' || old->kind == 'W') access = old->kind;
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == old->text) chosen = int(i);
    }
    if (names.empty()) {
        frame_.beep();
        return;
    }
    FormDialog f(&frame_, "Data Event Editor");
    const int variable = f.addchoice("Variable", qlist(names), chosen);
    const int watch = f.addcheck("Watchpoint", old && old->watch);
    const int status = f.addchoice("Status", {"Active", "Suspended"}, old && !old->enabled ? 1 : 0);
    const int count = f.addfield("Hit count", old ? QString::number(old->count) : QString());
    const int action = f.addfield("Action", old ? QString::fromStdString(old->body) : QString());
    std::string command;
    f.onok = [&](FormDialog& x) {
        const int at = x.choice(variable);
        if (at < 0 || at >= int(names.size())) return false;
        command = builddataevent(x.check(watch), access, x.field(count), names[size_t(at)], x.field(action));
        if (command.size() > MaxEventCommand) {
            errorbox(frame_, "Error", "Command too long");
            return false;
        }
        return true;
    };
    if (!f.ask()) return;
    puttext({"VAR EVENT DOCMD: ", command, "\n"});
    const bool suspended = f.choice(status) == 1;
    auto run = [this](const std::string& line, int) { sendcmd(frame_, line); };
    if (old) {
        replaceevent(d_, number, command, suspended, "dbreak", run);
        return;
    }
    d_.lastevent = 0;
    sendcmd(frame_, command);
    if (suspended && d_.lastevent) sendcmd(frame_, "dbreak /s " + std::to_string(d_.lastevent));
}

void ViewSet::codeevent(const QString& title, bool makescommand) {
    CodeEventDialog dialog(frame_, &d_, 0, title);
    dialog.makescommand = makescommand;
    dialog.issymbol = [](const std::string& name) { return rensym(name) != nullptr; };
    shell::answerlater(dialog);
    dialog.exec();
}

// ---- variable windows ----------------------------------------------------

void ViewSet::bindpane(VarTreePane& p) {
    p.beep = [this] { frame_.beep(); };
    p.info = [this](const std::string& title, const std::string& text) { errorbox(frame_, title, text); };
    p.evaluate = evalupdate;
    p.writeback = [this](const VarRecord& var, uint32_t address, uint64_t value) {
        writeupdate(var, address, value);
        d_.refreshdata();
    };
}

void ViewSet::togglevars(int id) {
    QPointer<VarWindow>& win = id == 335 ? locals : globals;
    if (win) {
        delete views::hostof(win);
        return;
    }
    const bool islocals = id == 335;
    const bool split = frame_.splitmask & (islocals ? SplitLocals : SplitGlobals);
    win = new VarWindow(islocals ? TreeKind::Locals : TreeKind::Globals, split, exprsource(), &formats);
    for (int core = 0; core < 2; ++core)
        if (VarTreePane* p = win->pane(core)) bindpane(*p);
    host(islocals ? "Locals" : "Globals", win);
    for (int core = 0; core < 2; ++core) {
        if (islocals) win->refreshlocals(core, currentlocals(core), frameaddr(core));
        else win->fillglobals(core, d_.di(), frameaddr(core));
    }
}

void ViewSet::openvarbrowser(int kind, bool values, bool locations) {
    // the `vars` browser counts as the application browser
    for (int k : {kind, kind == 632 ? 1 : kind})
        if (auto it = varbrowsers.find(k); it != varbrowsers.end() && it->second) {
            frame_.mdi()->setActiveSubWindow(views::hostof(it->second));
            return;
        }
    auto* pane = new VarTreePane(TreeKind::Browser, exprsource(), &formats);
    pane->tree.showvalues = values;
    pane->tree.showlocations = locations;
    bindpane(*pane);
    varbrowsers[kind] = pane;
    const char* title = kind == 630   ? "Current Function Variables Browser"
                        : kind == 631 ? "Current File Variables Browser"
                                      : "Application Variables Browser";
    host(title, pane);
    // the Status menu: a frozen browser keeps its contents until set back
    auto* status = new QLabel(QStringLiteral("Auto Refresh"), pane->strip());
    status->setObjectName("status");
    pane->strip()->setCornerWidget(status, Qt::TopRightCorner);
    QMenu* menu = pane->strip()->addMenu(QStringLiteral("Status"));
    for (auto [id, text] : {std::pair{147, "Auto Refresh"}, {148, "Frozen"}}) {
        QAction* a = menu->addAction(text);
        a->setData(id);
        QObject::connect(a, &QAction::triggered, pane, [this, pane, status, kind, id = id, text = text] {
            pane->frozen = id == 148;
            status->setText(text);
            if (!pane->frozen && kind != 1) fillvarbrowser(*pane, kind);
        });
    }
    fillvarbrowser(*pane, kind);
}

void ViewSet::fillvarbrowser(VarTreePane& pane, int kind) {
    const LocalsFrame frame = currentlocals(0);
    const VarAddrFn addr = frameaddr(0);
    pane.model()->reset([&] {
        if (kind == 630 || kind == 1) {
            filllocals(pane.tree, frame, addr);
        } else if (kind == 631) {
            pane.tree.frameset = frame.frameset;
            const FileRecord* f = frame.func ? frame.func->file : nullptr;
            if (!f || f->funcs.empty()) return;
            VarTree::Node* head = nullptr;
            for (const VarRecord& v : f->funcs.back()->vars) {
                if (v.sclass == sc::TType || v.sclass == sc::TLabel || v.sclass == sc::TGLabel) continue;
                if (!head) head = pane.tree.addheading(f->name);
                pane.tree.add(v, addr(v), head);
            }
        } else {
            vek::fillglobals(pane.tree, d_.di(), 0, addr, true);
        }
    });
    pane.view()->expandToDepth(0);
}

void ViewSet::togglemonitors() {
    if (monitors) {
        delete views::hostof(monitors);
        return;
    }
    monitors = new MonitorsView(montree);
    monitors->rmmonit = [this](int number) { d_.rmmonit(number); };
    monitors->outside = [this](int id, const MonItem& m) {
        if (id == 350) {
            updatevar(m.expr);
            return;
        }
        std::string text = capture("eval &" + m.expr);
        if (!text.empty()) errorbox(frame_, "Address of", text);
    };
    host("Monitors", monitors);
    monsignature_.clear();
    syncmonitors();
}

void ViewSet::syncmonitors() {
    std::string signature;
    for (const MonitorRecord& m : d_.monitors)
        signature += std::to_string(m.number) + '\1' + m.text + '\1' + m.format + '\2';
    if (signature != monsignature_) {
        monsignature_ = signature;
        montree.remove(-1);
        for (const MonitorRecord& m : d_.monitors)
            montree.insert(m.number, m.text, m.format, m.size, m.address);
    } else {
        montree.refreshall();
    }
    if (monitors) monitors->rebuild();
}

void ViewSet::toggleproject(bool fill) {
    if (!project) {
        project = new ProjectPane(&frame_);
        project->docmd = [this](const std::string& line) { sendcmd(frame_, line); };
        project->box = [this](const std::string& title, const std::string& text) { errorbox(frame_, title, text); };
        project->update = [this](const std::string& name) { updatevar(name); };
        frame_.addDockWidget(Qt::LeftDockWidgetArea, project);
        bindprojectexports(*project);
        project->maketrees(&d_.di());
        project->show();
    } else if (fill) {
        project->maketrees(&d_.di());
        project->show();
    } else {
        project->setVisible(!project->isVisible());
    }
    frame_.tbcheck(301, project->isVisible());
}

std::string ViewSet::capture(const std::string& line) {
    const char* text = WinitFakeIo();
    sendcmd(frame_, line);
    std::string out = text;
    WinStopFakeIo();
    return out;
}

void ViewSet::updatevar(const std::string& name) {
    // the field starts with the value shown after the first '='
    std::string value = capture("eval " + name);
    const size_t eq = value.find('=');
    value = eq == std::string::npos ? std::string() : value.substr(eq + 1);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    FormDialog f(&frame_, QString::fromStdString("Update  " + name));
    const int field = f.addfield(QString::fromStdString(name), QString::fromStdString(value));
    f.onok = [this, field](FormDialog& x) {
        if (x.field(field).empty()) {
            frame_.beep();
            return false;
        }
        return true;
    };
    if (!f.ask()) return;
    sendcmd(frame_, "updat " + name + "=" + f.field(field));
}

void ViewSet::openaggregate(AggregateWindow& w) {
    auto* view = new AggregateView(w, exprsource());
    bindpane(*view->pane());
    aggviews[&w] = view;
    HostWindow* h = host(QString::fromStdString(w.title), view);
    // a window the user closes leaves the list
    QObject::connect(h, &QObject::destroyed, &frame_, [this, win = &w] {
        if (!aggviews.count(win)) return;
        aggviews.erase(win);
        std::erase_if(aggregates.wins, [win](const std::unique_ptr<AggregateWindow>& p) { return p.get() == win; });
        d_.aggregatewins = int(aggregates.wins.size());
    });
    d_.aggregatewins = int(aggregates.wins.size());
}

}  // namespace vek::views

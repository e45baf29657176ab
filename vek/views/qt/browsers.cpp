// Browser windows and the events browser (see browsers.h).
#include "vek/views/qt/browsers.h"
#include "platform/files.h"

#include <QMdiArea>
#include <QMenu>
#include <QMouseEvent>
#include <cstdio>

#include "vek/command/control/control.h"
#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"
#include "vek/views/model/eventview.h"
#include "vek/views/qt/eventdialogs.h"
#include "vek/views/qt/listprint.h"
#include "vek/core/support/symbols.h"

namespace vek::views {

static shell::HostWindow* hostfor(shell::MainWindow& frame, const QString& title, TextPane* pane) {
    auto* host = new shell::HostWindow(frame, title, 0);
    host->setpane(0, pane);
    frame.mdi()->addSubWindow(host);
    host->show();
    return host;
}

ListWindowPane* Browsers::makelist(const QString& title, ListKind kind, std::string text) {
    auto* pane = new ListWindowPane(frame_, kind);
    if (kind != ListKind::Symbols)
        addsaveprint(pane, [this, pane](int id) { panecommand(pane, id, di_); });
    hostfor(frame_, title, pane);
    pane->buffer().assign(std::move(text));
    pane->textchanged(0);
    pane->ontag = [this, pane](const ListHit& hit, Qt::KeyboardModifiers mods, int line) {
        dispatchtag(pane, hit, mods, line);
    };
    return pane;
}

ListWindowPane* Browsers::openfilebrowser(const DebugInfo& di) {
    di_ = &di;
    return makelist("File Browser", ListKind::Files, filebrowsertext(di));
}

ListWindowPane* Browsers::openfuncbrowser(const DebugInfo& di, const std::string& file, bool types) {
    di_ = &di;
    QString title = "Function Browser";
    if (!file.empty()) title += QString::fromStdString(" for " + file);
    auto* pane = makelist(title, ListKind::Functions, funcbrowsertext(di, file, types));
    pane->file = file;
    return pane;
}

ListWindowPane* Browsers::listsymbols(const std::vector<const ProgramSymbol*>& symbols, bool byname,
                                      const SymbolPlaces& places) {
    return makelist("Symbols", ListKind::Symbols, symbolstext(symbols, byname, places));
}

void Browsers::dispatchtag(ListWindowPane* pane, const ListHit& hit, Qt::KeyboardModifiers mods, int line) {
    switch (hit.letter) {
    case 0: return;   // plain words: the popups of symbols and keywords
    case 'F':
        if ((mods & Qt::ShiftModifier) && di_) {
            openfuncbrowser(*di_, hit.tag, true);
            return;
        }
        [[fallthrough]];
    case 'L': sources_.opensrcwin(hit.tag, 0); return;
    case 'E': {
        // the file named by the last L tag above the line
        std::string file;
        for (int l = line; l >= 1 && file.empty(); --l) {
            std::string_view t = pane->buffer().line(l);
            size_t at = t.find("\x15" "L");
            if (at != std::string_view::npos) file = std::string(t.substr(at + 2, t.find('\x1A', at) - at - 2));
        }
        if (!file.empty()) sources_.opensrcwin(file, 0);
        return;
    }
    case 'S': {
        std::string_view text = pane->buffer().line(line);
        std::string cmd = switchcommand(text);
        if (cmd.empty()) return;
        sendcmd(frame_, cmd);
        std::string name = functag(pane->buffer().line(line));
        bool active = funcactive ? funcactive(name) : cmd.rfind("activ", 0) == 0;
        pane->buffer().overwrite(line, switchtext(active));
        pane->update();
        return;
    }
    case 'V': return;   // the variable popup
    default: puterror({"!!! SELECT ", std::string(1, hit.letter) + hit.tag});
    }
}

bool Browsers::savelist(const std::string& path, const std::string& text) {
    if (platform::writefile(path, text)) return true;
    puterror({"Can't write ", path});
    return false;
}

EventsPane* Browsers::browseevents(Debugger& d) {
    if (d.events.empty()) {
        platform::BoxRequest box;
        box.caption = "Info";
        box.text = "NO DEFINED EVENTS";
        box.icon = platform::BoxIcon::Information;
        frame_.messagebox(box);
        return nullptr;
    }
    auto* pane = new EventsPane(frame_, d);
    addsaveprint(pane, [pane](int id) { panecommand(pane, id, nullptr); });
    hostfor(frame_, "BREAKPOINTS", pane);
    pane->rebuild();
    return pane;
}

// ---- events browser ---------------------------------------------------

EventsPane::EventsPane(shell::MainWindow& frame, Debugger& d) : TextPane(frame, shell::FontKind::Browser), d_(d) {}

void EventsPane::rebuild() {
    text_.assign(eventbrowsertext(d_));
    bool still = false;
    for (auto* e : userevents(d_)) still |= e == chosen_;
    if (!still) chosen_ = nullptr;
    textchanged(0);
}

void EventsPane::command(int id) {
    if (!chosen_) return;
    if (id == 801) sendcmd(frame_, onoffcommand(*chosen_));
    if (id == 802) {
        std::string c = deletecommand(*chosen_);
        chosen_ = nullptr;
        sendcmd(frame_, c);
    }
    if (id == 803) {
        // the code event editor; data events have their own
        if (chosen_->cls == 'D') {
            if (editdata) editdata(chosen_->number);
            else frame_.beep();
            return;
        }
        CodeEventDialog dialog(frame_, &d_, chosen_->number);
        dialog.issymbol = [](const std::string& name) { return rensym(name) != nullptr; };
        shell::answerlater(dialog);
        dialog.exec();
    }
    if (id == 808 && chosen_->kind == 't' && show) show(*chosen_);
}

void EventsPane::clickat(QPoint at, Qt::KeyboardModifiers mods) {
    auto list = userevents(d_);
    int index = scroll_.firstline + at.y() / lineheight();
    if (index < 0 || index >= int(list.size())) {
        chosen_ = nullptr;
        return;
    }
    chosen_ = list[size_t(index)];
    update();
    bool shift = mods & Qt::ShiftModifier, ctrl = mods & Qt::ControlModifier;
    if (shift && !ctrl) return command(801);
    if (ctrl && !shift) return command(802);
    if (shift && ctrl) return command(803);
    QMenu menu(this);
    for (auto [id, text] : {std::pair{801, "&On/Off"}, {802, "&Delete"}, {803, "&Edit"}, {808, "&Show"}}) {
        QAction* a = menu.addAction(text);
        a->setData(id);
        if (id == 808) a->setEnabled(chosen_->kind == 't');
    }
    if (QAction* a = menu.exec(mapToGlobal(at))) command(a->data().toInt());
}

void EventsPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) clickat(event->position().toPoint(), event->modifiers());
}

void EventsPane::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() == Qt::RightButton) clickat(event->position().toPoint(), event->modifiers());
}

}  // namespace vek::views

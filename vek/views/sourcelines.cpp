// The line popup of the source windows and the popups that extensions add
// items to: every action ends in a command line for the interpreter, a
// message box or an event editor.
#include <QAction>
#include <QMenu>

#include "vek/command/control/control.h"
#include "vek/command/data/data.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/support/symbols.h"
#include "vek/views/model/eventview.h"
#include "vek/views/qt/eventdialogs.h"
#include "vek/views/windows.h"

namespace vek::views {

void ViewSet::eventcommand(const EventRecord& ev, int id) {
    if (id == 801) sendcmd(frame_, onoffcommand(ev));
    if (id == 802) sendcmd(frame_, deletecommand(ev));
    if (id == 803) {
        CodeEventDialog dialog(frame_, &d_, ev.number);
        dialog.issymbol = [](const std::string& name) { return rensym(name) != nullptr; };
        shell::answerlater(dialog);
        dialog.exec();
    }
    if (id == 808 && ev.kind == 't' && ev.file) {
        sources.opensrcwin(ev.file->name, int(ev.first));
        for (SourcePane* p : sources.panes()) p->update();
    }
}

void ViewSet::linepopup(SourcePane& pane, int line, int id, QPoint at, Qt::KeyboardModifiers mods) {
    const std::string file = pane.file();
    const int number = lineinfo(file, line).event;
    const EventRecord* ev = number ? d_.findnumber(number) : nullptr;
    if (id == 0) {
        // Shift, Ctrl or both on a line with an event: straight to its command
        const bool shift = mods & Qt::ShiftModifier, ctrl = mods & Qt::ControlModifier;
        if (ev && (shift || ctrl)) {
            eventcommand(*ev, shift && ctrl ? 803 : shift ? 801 : 802);
            return;
        }
        QMenu menu(&frame_);
        menu.setObjectName("CLINEPOPUP");
        for (auto [item, text] : {std::pair{804, "&Set Breakpoint"}, {801, "&On/Off"}, {802, "&Delete"},
                                  {803, "&Edit"}, {820, "Address &of"}}) {
            QAction* a = menu.addAction(text);
            a->setData(item);
            a->setEnabled(item == 820 || (item == 804) == (ev == nullptr));
        }
        if (popupanswer) {
            id = popupanswer(menu);
        } else if (QAction* a = menu.exec(at)) {
            id = a->data().toInt();
        }
    }
    switch (id) {
    case 804: {
        char text[1100];
        std::snprintf(text, sizeof text, "break %s:%i", file.c_str(), line);
        sendcmd(frame_, text);
        break;
    }
    case 801:
    case 802:
    case 803:
        if (ev) eventcommand(*ev, id);
        break;
    case 820:
        if (const FileRecord* f = findfile(d_.di(), file)) showlineaddr(d_, *f, uint32_t(line));
        pane.update();
        break;
    default: break;
    }
}

int ViewSet::choosepopup(QMenu& menu, const std::vector<PopupItem>& items, QPoint at) {
    // built-in items carry their ids; those this opening does not offer hide
    for (QAction* a : menu.actions()) {
        const int id = a->data().toInt();
        if (id < 901 || id > 943) continue;
        auto it = std::find_if(items.begin(), items.end(), [id](const PopupItem& i) { return i.id == id; });
        a->setVisible(it != items.end());
        if (it == items.end()) continue;
        a->setText(QString::fromStdString(it->text));
        a->setEnabled(it->enabled);
    }
    QAction* chosen = nullptr;
    if (popupanswer) {
        const int answer = popupanswer(menu);
        for (QAction* a : menu.actions())
            if (answer && a->data().toInt() == answer && a->isVisible()) chosen = a;
        // an extension's item runs as if clicked
        if (chosen && (answer < 901 || answer > 943)) chosen->trigger();
    } else {
        chosen = menu.exec(at);
    }
    const int id = chosen ? chosen->data().toInt() : 0;
    return id >= 901 && id <= 943 ? id : 0;
}

}  // namespace vek::views

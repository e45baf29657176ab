// Save and Print of the list, source and events-browser windows (see
// listprint.h).
#include "vek/views/qt/listprint.h"

#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include "platform/files.h"
#include "vek/core/support/output.h"
#include "vek/resources/menus.h"
#include "vek/shell/printing.h"
#include "vek/views/model/eventview.h"
#include "vek/views/qt/browsers.h"

namespace vek::views {

namespace {

// The lines of a source text without their markup.
std::string plainlines(const TextBuffer& text) {
    std::string out;
    if (text.text().empty()) return out;
    for (int n = 1; n <= text.lines(); ++n) out += plaintext(text.line(n)) + "\n";
    return out;
}

// A pane showing a source file (with or without its text yet).
const SourcePane* sourcepane(const QWidget* pane) {
    auto* p = dynamic_cast<const SourcePane*>(pane);
    return p && (p->kind() & kind::Browser) ? p : nullptr;
}

}  // namespace

PaneText printedtext(const QWidget* pane, const DebugInfo* di) {
    if (const SourcePane* p = sourcepane(pane); p && p->hastext())
        return {"Source File", plainlines(const_cast<SourcePane*>(p)->buffer())};
    if (auto* e = dynamic_cast<const EventsPane*>(pane))
        return {"BREAKPOINTS", eventlistfile(const_cast<EventsPane*>(e)->buffer().text())};
    if (auto* l = dynamic_cast<const ListWindowPane*>(pane); l && di) {
        if (l->kind == ListKind::Files) return {"Files List", filelistfile(*di)};
        if (l->kind == ListKind::Functions) return {"Functions List", funclistprint(*di)};
    }
    return {};
}

PaneSave savedtext(const QWidget* pane, const DebugInfo* di) {
    if (auto* e = dynamic_cast<const EventsPane*>(pane))
        return {"Save Cross Reference Data", "Breakpoint Files(*.bkp);;All Files(*.*)", ".bkp",
                eventlistfile(const_cast<EventsPane*>(e)->buffer().text())};
    if (auto* l = dynamic_cast<const ListWindowPane*>(pane); l && di) {
        if (l->kind == ListKind::Files) return {"File List", "Files(*.fls);;All Files(*.*)", ".fls", filelistfile(*di)};
        if (l->kind == ListKind::Functions)
            return {"File List", "Functions(*.fns);;All Files(*.*)", ".fns", funclistfile(*di)};
    }
    return {};
}

bool panecommand(QWidget* pane, int id, const DebugInfo* di) {
    if (id == 121) {
        const PaneText job = printedtext(pane, di);
        if (job.title.empty()) return false;
        shell::printlines(job.title.c_str(), job.text);
        return true;
    }
    if (id != 118) return false;
    const PaneSave save = savedtext(pane, di);
    if (save.title.isEmpty()) return false;
    QString path = shell::responder().file ? shell::responder().file(save.title)
                                           : QFileDialog::getSaveFileName(pane, save.title, {}, save.filter);
    if (path.isEmpty()) return true;
    // a name without an extension gets the list's own (a dot in a folder does not count)
    if (!path.mid(path.lastIndexOf('/') + 1).contains('.')) path += save.extension;
    if (!platform::writefile(path.toStdString(), save.text)) puterror({"Can't write ", path.toStdString()});
    return true;
}

void addsaveprint(TextPane* pane, std::function<void(int id)> handler) {
    auto* strip = new QMenuBar(pane);
    strip->setNativeMenuBar(false);
    for (auto [id, text] : {std::pair{118, "Save"}, {121, "Print"}}) {
        QAction* a = strip->addAction(text);
        a->setData(id);
        QObject::connect(a, &QAction::triggered, strip, [handler, id = id] { handler(id); });
    }
    // the host writes the core tag into the corner
    auto* corner = new QWidget(strip);
    (new QLabel(corner))->setObjectName("tag");
    strip->setCornerWidget(corner, Qt::TopRightCorner);
    pane->strip = strip;
}

void followprintitem(shell::MainWindow& frame) {
    QObject::connect(frame.mdi(), &QMdiArea::subWindowActivated, &frame, [&frame](QMdiSubWindow* sub) {
        QMenu* file = frame.menuat(resources::FileMenu);
        QAction* exit = frame.action(117);
        if (!file || !exit || !file->actions().contains(exit)) return;
        QAction* print = nullptr;
        for (QAction* a : file->actions())
            if (a->data().toInt() == 121 && a->property("sourceprint").toBool()) print = a;
        bool source = false;
        if (auto* host = dynamic_cast<shell::HostWindow*>(sub))
            for (int c = 0; c < 2; ++c) source |= sourcepane(host->pane(c)) != nullptr;
        if (source && !print) {
            print = new QAction("&Print", file);
            print->setData(121);
            print->setProperty("sourceprint", true);
            // the frame leaves 121 to the windows: the item prints the
            // source window current then
            QObject::connect(print, &QAction::triggered, &frame, [&frame] {
                if (auto* host = dynamic_cast<shell::HostWindow*>(frame.mdi()->currentSubWindow()))
                    for (int c = 0; c < 2; ++c)
                        if (host->pane(c) && panecommand(host->pane(c), 121, nullptr)) return;
            });
            QAction* separator = new QAction(file);
            separator->setSeparator(true);
            separator->setProperty("sourceprint", true);
            file->insertAction(exit, print);
            file->insertAction(exit, separator);
        } else if (!source && print) {
            for (QAction* a : file->actions())
                if (a->property("sourceprint").toBool()) {
                    file->removeAction(a);
                    a->deleteLater();
                }
        }
    });
}

}  // namespace vek::views

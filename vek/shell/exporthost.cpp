// The frame window's answers to the exported interface. Each slot of
// ExportHost is a plain function: the frame is the one bound here.
#include "vek/shell/exporthost.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPixmap>
#include <QToolBar>

#include "vek/command/ext/exports.h"
#include "vek/command/ext/ext.h"
#include "vek/core/exec/hooks.h"
#include "vek/shell/printing.h"
#include "vek/shell/shell.h"

namespace vek::shell {

namespace {

MainWindow* bound = nullptr;
QFont* textfont = nullptr;   // the font handed out as the text windows' font

// The host window (MDI child) a content window lives in, or null.
QWidget* hostof(void* window) {
    QWidget* w = static_cast<QWidget*>(window);
    while (w && !qobject_cast<QMdiSubWindow*>(w)) w = w->parentWidget();
    return w;
}

bool checked(int32_t id) {
    QAction* a = bound->action(id);
    return a && a->isChecked();
}

}  // namespace

int showinterrupts(QWidget* owner, const std::vector<std::string>& lines) {
    QDialog dialog(owner);
    dialog.setObjectName("VEKSHOWIT");
    dialog.setWindowTitle("Interrupt Vectors");
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QTreeWidget(&dialog);
    list->setObjectName("106");
    list->setHeaderLabels({"Vector", "Description"});
    list->setRootIsDecorated(false);
    for (const std::string& line : lines) {
        // "0x%x %s": the vector, then its name
        const size_t blank = line.find(' ');
        auto* item = new QTreeWidgetItem(list);
        item->setText(0, QString::fromStdString(line.substr(0, blank)));
        if (blank != std::string::npos) item->setText(1, QString::fromStdString(line.substr(blank + 1)));
    }
    layout->addWidget(list);
    auto* close = new QPushButton("&Close", &dialog);
    QObject::connect(close, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(1); });
    layout->addWidget(close);
    close->setFocus();
    answerlater(dialog);
    return dialog.exec();
}

void bindexports(MainWindow& frame) {
    bound = &frame;
    delete textfont;
    textfont = new QFont(frame.kindfont(FontKind::Source));
    QMainWindow* main = &frame;
    extensions().mainwindow = main;
    ExportHost& h = exportstate().host;
    h.mainwindow = main;
    h.mdiwindow = frame.mdi();
    h.toolbar = frame.toolbar();
    h.font = textfont;
    h.color = [](int index) -> uint32_t { return bound->config.palette.get(index); };
    // The Command window is the frame's own; the others follow their menu
    // items, which the toggles check.
    h.viewshown = [](int id) { return id == 300 ? bound->cmdopen() : checked(id); };
    h.showview = [](int id, bool show) {
        if (id == 300)
            bound->showcmdwin(show);
        else if (checked(id) != show)
            bound->dispatch(id);
    };
    h.syscommand = [](void* window, int command) {
        QWidget* w = window ? hostof(window) : bound;
        if (!w) return 0;
        switch (command) {
        case 0xF020: w->showMinimized(); return 1;
        case 0xF030: w->showMaximized(); return 1;
        case 0xF060: return w->close() ? 1 : 0;
        case 0xF120: w->showNormal(); return 1;
        default: return 0;
        }
    };
    h.viewwindow = [](int id) -> void* { return id == 300 ? bound->cmdhost() : nullptr; };
    h.loadprogram = [](const char* path) { bound->dispatch(102, QString::fromStdString(path)); };
    h.showinterrupts = [] { return showinterrupts(bound, interruptlines(extensions().d->s.target.interrupts)); };
    // A content window goes with its host; tiled windows tile again.
    h.closewindow = [](void* window) {
        if (QWidget* w = hostof(window)) {
            w->close();
            bound->mdiupdate();
        }
    };
    h.menucount = [](int position) {
        QMenu* m = bound->menuat(position);
        return m ? int(m->actions().size()) : 0;
    };
    h.insertmenuitem = [](void* menu, int position, const char* text, int id) {
        auto* m = static_cast<QMenu*>(menu);
        auto* a = new QAction(QString::fromUtf8(text), m);
        a->setData(id);
        QObject::connect(a, &QAction::triggered, [id] {
            if (bound) bound->dispatch(id);
        });
        const QList<QAction*> items = m->actions();
        if (position >= 0 && position < int(items.size()))
            m->insertAction(items[position], a);
        else
            m->addAction(a);
        return 1;
    };
    h.addbutton = [](const std::vector<std::string>& xpm) {
        std::vector<const char*> rows;
        for (const std::string& r : xpm) rows.push_back(r.c_str());
        const QPixmap picture(rows.data());
        if (picture.isNull()) return 0;
        QAction* a = bound->toolbar()->addAction(QIcon(picture), QString());
        a->setCheckable(true);
        QObject::connect(a, &QAction::triggered, [] {
            if (bound) bound->dispatch(1000);
        });
        return 1;
    };
    h.arrange = [](int code) {
        static const int32_t commands[] = {193, 190, 191, 192};
        if (code >= 1 && code <= 4) bound->dispatch(commands[code - 1]);
    };
    h.functionkey = [](int key) {
        const Qt::KeyboardModifiers m = QApplication::queryKeyboardModifiers();
        return bound->functionkey(key - 112, m & Qt::ShiftModifier, m & Qt::ControlModifier) ? 1 : 0;
    };
    h.printfile = [](const char* title, const char* (*lines)(int, void*, void*), void* arg, void* user) {
        return vekprintfile(title, lines, arg, user);
    };
    h.mdiupdate = [] {
        bound->mdiupdate();
        return 1;
    };
    h.gauge = [](bool on, uint32_t total) { bound->gauge(on, total); };
    h.gaugeadd = [](uint32_t n) { bound->gaugeadd(n); };
    // A dialog's combo box is the child whose object name is its number.
    h.fillcombo = [](void* dialog, int combo, const std::vector<std::string>& names, const char* select) {
        auto* box = static_cast<QWidget*>(dialog)->findChild<QComboBox*>(QString::number(combo));
        if (!box) return;
        for (const std::string& n : names) box->addItem(QString::fromStdString(n));
        if (!select) return;
        const int at = box->findText(QString::fromUtf8(select), Qt::MatchExactly);
        if (at < 0) return;
        box->setCurrentIndex(at);
        if (QLineEdit* edit = box->lineEdit()) edit->selectAll();
        box->setFocus();
    };
}

void unbindexports() {
    exportstate().host = ExportHost{};
    extensions().mainwindow = nullptr;
    bound = nullptr;
    delete textfont;
    textfont = nullptr;
}

}  // namespace vek::shell

// Variable windows (see varwindows.h).
#include "vek/views/varwindows.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QVBoxLayout>

#include "vek/core/support/output.h"

namespace vek {

VarWindow::VarWindow(TreeKind kind, bool split, VarSource src, FormatStore* formats, QWidget* parent) : QWidget(parent) {
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    setWindowTitle(kind == TreeKind::Locals ? QStringLiteral("Locals") : QStringLiteral("Globals"));
    auto* split2 = new QSplitter(Qt::Vertical, this);
    upper_ = new VarTreePane(kind, src, formats, split2);
    split2->addWidget(upper_);
    if (split) {
        lower_ = new VarTreePane(kind, src, formats, split2);
        split2->addWidget(lower_);
    }
    lay->addWidget(split2);
}

void VarWindow::refreshlocals(int core, const LocalsFrame& frame, const VarAddrFn& addr) {
    VarTreePane* p = pane(core);
    if (!p) return;
    int c = core == 1 ? 1 : 0;
    if (filled_[c] && last_[c] == frame) {
        p->model()->refresh();
        return;
    }
    p->model()->reset([&] { filllocals(p->tree, frame, addr); });
    last_[c] = frame;
    filled_[c] = true;
    p->view()->expandAll();
}

void VarWindow::fillglobals(int core, const DebugInfo& di, const VarAddrFn& addr) {
    VarTreePane* p = pane(core);
    if (!p) return;
    p->model()->reset([&] { vek::fillglobals(p->tree, di, core, addr); });
    for (int i = 0; i < p->model()->rowCount(); ++i) p->view()->expand(p->model()->index(i, 0));
}

void VarWindow::refreshtexts() {
    for (VarTreePane* p : {upper_, lower_})
        if (p) p->model()->refresh();
}

AggregateView::AggregateView(AggregateWindow& win, VarSource src, QWidget* parent)
    : QWidget(parent), win_(win) {
    setWindowTitle(QString::fromStdString(win.title));
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    // the window's tree is the snapshot's own
    pane_ = new VarTreePane(TreeKind::Aggregate, std::move(src), nullptr, this);
    QMenu* st = pane_->strip()->addMenu(QStringLiteral("Status"));
    st->addAction(QStringLiteral("Auto Remove"), this, [this] { win_.setauto(true); sync(); });
    st->addAction(QStringLiteral("Manual Remove (Frozen)"), this, [this] { win_.setauto(false); sync(); });
    lay->addWidget(pane_);
    pane_->model()->reset([&] { pane_->tree.roots = std::move(win.tree->roots); });
    pane_->view()->expand(pane_->model()->index(0, 0));
    sync();
}

QString AggregateView::status() const { return QString::fromStdString(win_.status()); }

void AggregateView::sync() {
    pane_->frozen = win_.frozen;
    pane_->strip()->setToolTip(status());
}

MonitorsView::MonitorsView(MonitorTree& tree, QWidget* parent) : QWidget(parent), tree_(tree) {
    setWindowTitle(QStringLiteral("Monitors"));
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    strip_ = new QMenuBar(this);
    strip_->setNativeMenuBar(false);
    QAction* save = strip_->addAction(QStringLiteral("Save"));
    save->setData(118);
    connect(save, &QAction::triggered, this, [this] {
        QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Monitors"), {},
                                                    QStringLiteral("Usage Files(*.mon);;All Files(*.*)"));
        if (path.isEmpty()) return;
        if (!path.contains('.')) path += QStringLiteral(".mon");
        this->save(path);
    });
    lay->addWidget(strip_);
    view_ = new QTreeWidget(this);
    view_->setHeaderHidden(true);
    view_->setRootIsDecorated(true);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        QTreeWidgetItem* it = view_->itemAt(p);
        MonItem* m = itemof(it);
        if (!m) return;
        if (QApplication::keyboardModifiers() & Qt::ShiftModifier) {
            command(342, it);
            return;
        }
        if (QMenu* menu = popupfor(it))
            if (QAction* a = menu->exec(view_->viewport()->mapToGlobal(p))) command(a->data().toInt(), it);
    });
    connect(view_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* it) {
        MonItem* m = itemof(it);
        if (m && !m->expanded) {
            tree_.expand(m);
            delete it->takeChild(0);
            for (auto& c : m->children) additem(it, c.get());
        }
    });
    connect(view_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* it) {
        MonItem* m = itemof(it);
        if (m && m->expanded) {
            tree_.collapse(m);
            qDeleteAll(it->takeChildren());
            it->addChild(new QTreeWidgetItem(QStringList(QStringLiteral("Dummy"))));
        }
    });
    lay->addWidget(view_);
    rebuild();
}

MonItem* MonitorsView::itemof(QTreeWidgetItem* item) const {
    return item ? static_cast<MonItem*>(item->data(0, Qt::UserRole).value<void*>()) : nullptr;
}

void MonitorsView::additem(QTreeWidgetItem* parent, MonItem* m) {
    auto* it = new QTreeWidgetItem(QStringList(QString::fromStdString(m->text)));
    it->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(m)));
    if (parent) parent->addChild(it);
    else view_->addTopLevelItem(it);
    if (m->expanded) {
        for (auto& c : m->children) additem(it, c.get());
        it->setExpanded(true);
    } else if (tree_.placeholder(m))
        it->addChild(new QTreeWidgetItem(QStringList(QStringLiteral("Dummy"))));
}

void MonitorsView::rebuild() {
    QSignalBlocker block(view_);
    view_->clear();
    for (auto& m : tree_.items) additem(nullptr, m.get());
}

QMenu* MonitorsView::popupfor(QTreeWidgetItem* item) {
    MonItem* m = itemof(item);
    if (!m) return nullptr;
    const MonitorTree::Popup p = tree_.popupfor(*m);
    delete popup_;
    popup_ = new QMenu(this);
    auto add = [](QMenu* menu, int id, const char* text, bool on) {
        QAction* a = menu->addAction(QString::fromUtf8(text));
        a->setData(id);
        a->setEnabled(on);
    };
    add(popup_, 353, "Delete &All", p.deleteall);
    add(popup_, 350, "&Update", p.update);
    add(popup_, 341, "Address &of", p.addressof2);
    add(popup_, 342, "&Delete", p.del);
    QMenu* format = popup_->addMenu(QStringLiteral("&Format"));
    format->setEnabled(p.format);
    add(format, 344, "&Character", true);
    add(format, 352, "&Binary", true);
    add(format, 345, "&Octal", true);
    add(format, 346, "&Decimal", true);
    add(format, 347, "&Unsigned", true);
    add(format, 348, "&Hexadecimal", true);
    add(format, 349, "&String", p.string);
    add(format, 343, "&Address of", p.addressof);
    return popup_;
}

bool MonitorsView::save(const QString& path) {
    QFile f(path);
    const std::string text = tree_.savetext();
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(text.data(), qint64(text.size())) != qint64(text.size())) {
        puterror({"Can't write ", path.toStdString()});
        return false;
    }
    return true;
}

void MonitorsView::command(int id, QTreeWidgetItem* item) {
    MonItem* m = itemof(item);
    if (m && (id == 341 || id == 350)) {
        if (outside) outside(id, *m);
        return;
    }
    static const std::pair<int, char> letters[] = {{344, 'c'}, {352, 'b'}, {345, 'o'}, {346, 'd'},
                                                   {347, 'u'}, {348, 'x'}, {349, 'S'}};
    if (id == 353) {
        if (rmmonit) rmmonit(-1);
        tree_.remove(-1);
    } else if (m && id == 342) {
        if (rmmonit) rmmonit(m->number);
        tree_.remove(m->number);
    } else if (m && id == 343) {
        m->expr = "&" + m->expr;
        return;
    } else if (m)
        for (auto [cmd, letter] : letters)
            if (cmd == id) tree_.setformat(m, letter);
    rebuild();
}

ProjectPane::ProjectPane(QWidget* parent) : QDockWidget(QStringLiteral("Project"), parent) {
    tabs_ = new QTabWidget(this);
    tabs_->setTabPosition(QTabWidget::South);
    setWidget(tabs_);
}

QTreeWidget* ProjectPane::tree(int tab) const { return qobject_cast<QTreeWidget*>(tabs_->widget(tab)); }

ProjNode* ProjectPane::nodeof(QTreeWidgetItem* item) const {
    return item ? static_cast<ProjNode*>(item->data(0, Qt::UserRole).value<void*>()) : nullptr;
}

namespace {
void addnodes(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<std::unique_ptr<ProjNode>>& list) {
    for (const auto& n : list) {
        auto* it = new QTreeWidgetItem(QStringList(QString::fromStdString(n->text)));
        it->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(n.get())));
        if (parent) parent->addChild(it);
        else tree->addTopLevelItem(it);
        addnodes(it, tree, n->children);
        if (n->kind == ProjNode::FuncFolder) it->setExpanded(true);
    }
}
}  // namespace

void ProjectPane::maketrees(const DebugInfo* di) {
    while (tabs_->count()) {
        QWidget* w = tabs_->widget(0);
        tabs_->removeTab(0);
        delete w;
    }
    trees_ = di ? buildprojtrees(*di) : ProjTrees{};
    if (trees_.empty()) return;
    const std::pair<const char*, const char*> names[] = {{"Files", "File View"}, {"Functions", "Function View"},
                                                         {"Variables", "Variable View"}};
    const std::vector<std::unique_ptr<ProjNode>>* lists[] = {&trees_.files, &trees_.funcs, &trees_.vars};
    for (int i = 0; i < 3; ++i) {
        auto* t = new QTreeWidget(tabs_);
        t->setHeaderHidden(true);
        t->setWindowTitle(QStringLiteral("Tree View"));
        t->setContextMenuPolicy(Qt::CustomContextMenu);
        addnodes(nullptr, t, *lists[i]);
        int at = tabs_->addTab(t, QString::fromUtf8(names[i].first));
        tabs_->setTabToolTip(at, QString::fromUtf8(names[i].second));
        connect(t, &QTreeWidget::customContextMenuRequested, this, [this, t](const QPoint& p) {
            QTreeWidgetItem* it = t->itemAt(p);
            if (!it) return;
            t->setCurrentItem(it);
            if (QMenu* m = popupfor(it))
                if (QAction* a = m->exec(t->viewport()->mapToGlobal(p))) command(a->data().toInt(), it);
        });
        connect(t, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* it) {
            ProjNode* n = nodeof(it);
            if (n && n->var) command(projcmd::Monitor, it);
        });
    }
}

QMenu* ProjectPane::popupfor(QTreeWidgetItem* item) {
    ProjNode* n = nodeof(item);
    if (!n || (!n->func && !n->var)) return nullptr;
    delete popup_;
    popup_ = new QMenu(this);
    using namespace projcmd;
    std::vector<std::pair<int, const char*>> items;
    if (n->func)
        items = {{FuncInfo, "&Info"}, {ShowDef, "&Show Definiton"}, {FuncXref, "&Cross References"},
                 {BreakEntry, "&Set Breakpoint On Entry"}, {GotoEntry, "&Goto Function Entry"}};
    else
        items = {{VarInfo, "&Info"},         {VarXref, "&Cross References"}, {Evaluate, "&Evaluate"},
                 {Monitor, "&Monitor"},      {Update, "&Update"},            {AccessBreak, "A&cces Break"},
                 {ReadBreak, "&Read Break"}, {WriteBreak, "&Write Break"}};
    for (auto [id, text] : items) {
        QAction* a = popup_->addAction(QString::fromUtf8(text));
        a->setData(id);
        a->setEnabled(projenabled(id, *n, xref));
    }
    return popup_;
}

void ProjectPane::command(int id, QTreeWidgetItem* item) {
    ProjNode* n = nodeof(item);
    if (!n || !projenabled(id, *n, xref)) return;
    if (id == projcmd::FuncInfo || id == projcmd::VarInfo) {
        if (box) box("Info", projinfo(*n));
        return;
    }
    if (id == projcmd::Update) {
        if (update) update(qualifiedname(*n));
        return;
    }
    std::string line = projcommand(id, *n);
    if (!line.empty() && docmd) docmd(line);
}

}  // namespace vek

// Variable tree model and pane (see varviews.h).
#include "vek/views/varviews.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include "vek/command/expr/expr.h"

namespace vek {

VarTree::Node* VarTreeModel::node(const QModelIndex& index) const {
    return index.isValid() ? static_cast<VarTree::Node*>(index.internalPointer()) : nullptr;
}

QModelIndex VarTreeModel::indexof(VarTree::Node* n) const {
    return n ? createIndex(n->row, 0, n) : QModelIndex();
}

QModelIndex VarTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || row >= rowCount(parent)) return {};
    VarTree::Node* c = tree_.child(node(parent), row);
    return c ? createIndex(row, 0, c) : QModelIndex();
}

QModelIndex VarTreeModel::parent(const QModelIndex& child) const {
    VarTree::Node* n = node(child);
    return n ? indexof(n->parent) : QModelIndex();
}

int VarTreeModel::rowCount(const QModelIndex& parent) const {
    VarTree::Node* n = node(parent);
    if (n && !n->expanded) return 0;
    return tree_.rowcount(n);
}

bool VarTreeModel::hasChildren(const QModelIndex& parent) const {
    VarTree::Node* n = node(parent);
    if (!n) return !tree_.roots.empty();
    return n->expanded ? n->count != 0 : tree_.expandable(n);
}

bool VarTreeModel::canFetchMore(const QModelIndex& parent) const {
    VarTree::Node* n = node(parent);
    return n && !n->expanded && tree_.expandable(n);
}

void VarTreeModel::fetchMore(const QModelIndex& parent) {
    VarTree::Node* n = node(parent);
    if (!n || n->expanded || !tree_.expandable(n)) return;
    // count first, then announce the rows
    tree_.expand(n);
    int count = n->count;
    if (count == 0) return;
    n->count = 0;
    beginInsertRows(parent, 0, count - 1);
    n->count = count;
    endInsertRows();
}

void VarTreeModel::collapse(const QModelIndex& index) {
    VarTree::Node* n = node(index);
    if (!n || !n->expanded || n->count == 0) return;
    if (!n->source && n->rec.type == 0 && n->rec.name.empty()) return;   // headings stay
    beginRemoveRows(index, 0, n->count - 1);
    tree_.collapse(n);
    endRemoveRows();
}

QVariant VarTreeModel::data(const QModelIndex& index, int role) const {
    VarTree::Node* n = node(index);
    if (!n || role != Qt::DisplayRole) return {};
    return QString::fromStdString(tree_.text(n));
}

void VarTreeModel::refresh() {
    tree_.refresh();
    if (!tree_.roots.empty()) Q_EMIT dataChanged(index(0, 0), index(int(tree_.roots.size()) - 1, 0));
    Q_EMIT layoutChanged();
}

void VarTreeModel::reset(const std::function<void()>& fill) {
    beginResetModel();
    tree_.clear();
    if (fill) fill();
    endResetModel();
}

std::string formatofcmd(int id, const VarRecord& var, TreeKind kind) {
    bool ll = step::top(var.type) == step::None && (uint8_t(var.type) == tc::LLong || uint8_t(var.type) == tc::ULLong) &&
              kind != TreeKind::Aggregate;
    switch (id) {
    case varcmd::Character: return "%ac";
    case varcmd::Binary: return ll ? "0b%zL" : kind == TreeKind::Globals ? "0b%zl" : "0b%z";
    case varcmd::Octal: return ll ? "0%oL" : "0%ol";
    case varcmd::Decimal: return ll ? "%L" : "%l";
    case varcmd::Unsigned: return ll ? "%uL" : "%ul";
    case varcmd::Hex: return ll ? "0x%hL" : "0x%hl";
    case varcmd::String: return "%p";
    default: return "";
    }
}

VarTreePane::VarTreePane(TreeKind kind, VarSource src, FormatStore* formats, QWidget* parent)
    : QWidget(parent), tree(kind, std::move(src), formats) {
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    strip_ = new QMenuBar(this);
    QAction* save = strip_->addAction(QStringLiteral("Save"));
    save->setData(varcmd::Save);
    connect(save, &QAction::triggered, this, [this] {
        QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Data"), {},
                                                    QStringLiteral("Variable Files(*.var);;All Files(*.*)"));
        if (!path.isEmpty()) {
            if (!path.contains('.')) path += QStringLiteral(".var");
            this->save(path);
        }
    });
    lay->addWidget(strip_);
    view_ = new QTreeView(this);
    view_->setHeaderHidden(true);
    view_->setUniformRowHeights(true);
    model_ = new VarTreeModel(tree, this);
    view_->setModel(model_);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QTreeView::expanded, this, [this](const QModelIndex& i) {
        if (model_->canFetchMore(i)) model_->fetchMore(i);
    });
    connect(view_, &QTreeView::collapsed, this, [this](const QModelIndex& i) { model_->collapse(i); });
    connect(view_, &QTreeView::customContextMenuRequested, this, [this](const QPoint& p) {
        QModelIndex i = view_->indexAt(p);
        if (QMenu* m = popupfor(i)) {
            QAction* a = m->exec(view_->viewport()->mapToGlobal(p));
            if (a) command(a->data().toInt(), i);
        }
    });
    lay->addWidget(view_);
}

QMenu* VarTreePane::popupfor(const QModelIndex& index) {
    VarTree::Node* n = model_->node(index);
    if (!n || (!n->source && n->rec.type == 0 && n->rec.name.empty())) return nullptr;
    const VarRecord& v = n->var();
    if (step::top(v.type) == step::None && (uint8_t(v.type) == tc::Struct || uint8_t(v.type) == tc::Union))
        return nullptr;
    delete popup_;
    popup_ = new QMenu(this);
    QMenu* fmt = popup_->addMenu(QStringLiteral("&Format"));
    const std::pair<int, const char*> items[] = {
        {varcmd::Character, "&Character"}, {varcmd::Binary, "&Binary"}, {varcmd::Octal, "&Octal"},
        {varcmd::Decimal, "&Decimal"},     {varcmd::Unsigned, "&Unsigned"}, {varcmd::Hex, "&Hexadecimal"},
        {varcmd::String, "&String"}};
    for (auto [id, text] : items) {
        QAction* a = fmt->addAction(QString::fromUtf8(text));
        a->setData(id);
        if (id == varcmd::String) a->setEnabled(isstringtype(v));
    }
    QAction* up = popup_->addAction(QStringLiteral("&Update"));
    up->setData(varcmd::Update);
    up->setEnabled(v.sclass != 0 && !hasarraytop(v) && !frozen);
    if (tree.kind() == TreeKind::Locals || tree.kind() == TreeKind::Globals)
        popup_->addAction(QStringLiteral("&Info"))->setData(varcmd::Info);
    return popup_;
}

void VarTreePane::command(int id, const QModelIndex& index) {
    VarTree::Node* n = model_->node(index);
    if (!n) return;
    if (id == varcmd::Update) {
        if (frozen) return;
        bool ok = false;
        QString text = QInputDialog::getText(this, QString::fromStdString(n->var().name), {}, QLineEdit::Normal,
                                             QString::fromStdString(varupdatetext(n->var(), n->last)), &ok);
        if (ok && !text.isEmpty()) applyupdate(index, text.toStdString());
        return;
    }
    if (id == varcmd::Info) {
        if (info) info(n->var().name, decltext(n->var()));
        return;
    }
    std::string f = formatofcmd(id, n->var(), tree.kind());
    if (f.empty()) return;
    // a character array shown as a string loses its children
    if (id == varcmd::String && displaycode(n->var()) == tc::Array) {
        view_->collapse(index);
        model_->collapse(index);
    }
    tree.setformat(n, f);
    Q_EMIT model_->dataChanged(index, index);
    Q_EMIT model_->layoutChanged();
}

bool VarTreePane::applyupdate(const QModelIndex& index, const std::string& text) {
    VarTree::Node* n = model_->node(index);
    if (!n || frozen || text.empty()) return false;
    uint64_t value = 0;
    if (!evaluate || !evaluate(text, n->var(), value)) {
        if (beep) beep();
        return false;
    }
    n->last = value;
    if (writeback) writeback(n->var(), n->address, value);
    n->stale = true;
    Q_EMIT model_->dataChanged(index, index);
    return true;
}

bool VarTreePane::save(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string t = tree.savetext();
    bool ok = f.write(t.data(), qint64(t.size())) == qint64(t.size());
    QApplication::restoreOverrideCursor();
    return ok;
}

}  // namespace vek

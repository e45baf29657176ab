// Variable trees on screen: a QAbstractItemModel over a VarTree, and the
// pane that shows one with its menu strip ("Save") and item popup (formats
// and Update).
#pragma once

#include <QAbstractItemModel>
#include <QTreeView>
#include <QWidget>
#include <functional>
#include <string>

#include "vek/views/varmodel/vartree.h"

class QMenuBar;
class QMenu;

namespace vek {

class VarTreeModel : public QAbstractItemModel {
public:
    explicit VarTreeModel(VarTree& tree, QObject* parent = nullptr) : QAbstractItemModel(parent), tree_(tree) {}

    VarTree& tree() { return tree_; }
    VarTree::Node* node(const QModelIndex& index) const;
    QModelIndex indexof(VarTree::Node* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& = {}) const override { return 1; }
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role) const override;

    void collapse(const QModelIndex& index);
    // Texts go stale: the view asks again for the rows it shows.
    void refresh();
    void reset(const std::function<void()>& fill);

private:
    VarTree& tree_;
};

// Popup command ids of variable items.
namespace varcmd {
constexpr int Character = 344, Octal = 345, Decimal = 346, Unsigned = 347, Hex = 348, String = 349,
              Update = 350, Binary = 352, Info = 701, Save = 118;
}

// The format a popup command gives (long long records take the 64-bit ones).
std::string formatofcmd(int id, const VarRecord& var, TreeKind kind);

class VarTreePane : public QWidget {
public:
    VarTreePane(TreeKind kind, VarSource src, FormatStore* formats, QWidget* parent = nullptr);

    VarTree tree;
    VarTreeModel* model() const { return model_; }
    QTreeView* view() const { return view_; }
    QMenuBar* strip() const { return strip_; }

    // Writes a value to the target: the update dialog's result, by record,
    // address and storage class. Unset, "&Update" does nothing.
    std::function<void(const VarRecord&, uint32_t address, uint64_t value)> writeback;
    // Evaluates an update text: false when it is no value of the variable.
    std::function<bool(const std::string& text, const VarRecord&, uint64_t& value)> evaluate;
    std::function<void()> beep;
    // The "&Info" box: title and text.
    std::function<void(const std::string&, const std::string&)> info;
    bool frozen = false;

    // The popup of an item (null when the item has none), with its ids.
    QMenu* popupfor(const QModelIndex& index);
    void command(int id, const QModelIndex& index);
    // Runs the update dialog's "&Ok" with text: true when written.
    bool applyupdate(const QModelIndex& index, const std::string& text);
    bool save(const QString& path);

private:
    QTreeView* view_;
    VarTreeModel* model_;
    QMenuBar* strip_;
    QMenu* popup_ = nullptr;
};

}  // namespace vek

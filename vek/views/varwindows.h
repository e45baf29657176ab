// The variable windows on screen: Locals and Globals (one pane per core),
// aggregate snapshots, the Monitors window and the project pane. Each is a
// plain widget that the main window hosts; what they show comes from the
// Qt-free models of varmodel/.
#pragma once

#include <QDockWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "vek/views/varmodel/montree.h"
#include "vek/views/varmodel/projtree.h"
#include "vek/views/varmodel/varwins.h"
#include "vek/views/varviews.h"

class QMenu;
class QMenuBar;

namespace vek {

// Locals (or Globals): the core-0 pane, and the core-1 pane below it when
// split.
class VarWindow : public QWidget {
public:
    VarWindow(TreeKind kind, bool split, VarSource src, FormatStore* formats, QWidget* parent = nullptr);
    VarTreePane* pane(int core) const { return core == 1 ? lower_ : upper_; }
    // Locals: rebuilds a pane whose frame changed, else refreshes its texts.
    void refreshlocals(int core, const LocalsFrame& frame, const VarAddrFn& addr);
    void fillglobals(int core, const DebugInfo& di, const VarAddrFn& addr);
    void refreshtexts();

private:
    VarTreePane* upper_ = nullptr;
    VarTreePane* lower_ = nullptr;
    LocalsFrame last_[2];
    bool filled_[2] = {};
};

// An aggregate snapshot: a tree over an AggregateWindow, its status strip
// and "&Update" greyed once frozen.
class AggregateView : public QWidget {
public:
    AggregateView(AggregateWindow& win, VarSource src, QWidget* parent = nullptr);
    VarTreePane* pane() const { return pane_; }
    void sync();   // status and frozen state after a step
    QString status() const;

private:
    AggregateWindow& win_;
    VarTreePane* pane_;
};

// The Monitors window: a tree over the MonitorTree.
class MonitorsView : public QWidget {
public:
    explicit MonitorsView(MonitorTree& tree, QWidget* parent = nullptr);
    QTreeWidget* view() const { return view_; }
    void rebuild();
    std::function<void(int number)> rmmonit;   // Delete, Delete All (-1)
    // 341 Address of, 350 Update: what the window cannot do alone.
    std::function<void(int id, const MonItem&)> outside;
    void command(int id, QTreeWidgetItem* item);
    MonItem* itemof(QTreeWidgetItem* item) const;
    // The popup of an item with its ids and enabled states (null: none).
    QMenu* popupfor(QTreeWidgetItem* item);
    bool save(const QString& path);
    QMenuBar* strip() const { return strip_; }

private:
    MonitorTree& tree_;
    QTreeWidget* view_;
    QMenuBar* strip_;
    QMenu* popup_ = nullptr;
    void additem(QTreeWidgetItem* parent, MonItem* m);
};

// The project pane: Files, Functions and Variables behind three tabs.
class ProjectPane : public QDockWidget {
public:
    explicit ProjectPane(QWidget* parent = nullptr);
    void maketrees(const DebugInfo* di);   // null or no sources: no trees
    QTabWidget* tabs() const { return tabs_; }
    QTreeWidget* tree(int tab) const;
    ProjNode* nodeof(QTreeWidgetItem* item) const;
    // The popup of an item with its ids and enabled states.
    QMenu* popupfor(QTreeWidgetItem* item);
    void command(int id, QTreeWidgetItem* item);
    bool xref = false;                                       // an extension handles "xref"
    std::function<void(const std::string&)> docmd;
    std::function<void(const std::string& title, const std::string& text)> box;
    std::function<void(const std::string&)> update;          // the update dialog on a name

private:
    QTabWidget* tabs_;
    ProjTrees trees_;
    QMenu* popup_ = nullptr;
};

}  // namespace vek

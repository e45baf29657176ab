// What the Locals, Globals and aggregate windows hold, without Qt: the fills
// of their trees from the debug information, when a refresh rebuilds and
// when it only recomputes texts, and the aggregate windows' lifetime.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vek/views/varmodel/vartree.h"

namespace vek {

// Address (or register number) of a variable in the current frame.
using VarAddrFn = std::function<uint32_t(const VarRecord&)>;

// The frame a Locals pane shows: its function, base and frame-set-up flag.
struct LocalsFrame {
    const FunctionRecord* func = nullptr;   // null: no frame
    uint32_t base = 0;
    bool frameset = false;
    bool operator==(const LocalsFrame&) const = default;
};

// Fills a Locals tree: the function item "name()" with the arguments only
// until the frame is set up, then every variable but typedefs.
void filllocals(VarTree& tree, const LocalsFrame& frame, const VarAddrFn& addr);

struct LocalsPane {
    explicit LocalsPane(VarSource src, FormatStore* formats = nullptr) : tree(TreeKind::Locals, std::move(src), formats) {}
    VarTree tree;
    LocalsFrame last;
    bool filled = false;
    // After a stop: rebuilds when the frame or its flag changed (true),
    // else marks the texts stale.
    bool refresh(const LocalsFrame& now, const VarAddrFn& addr);
};

// Fills a Globals tree: the static and extern variables of each file of the
// core, under an item with the file name; files without any show nothing.
void fillglobals(VarTree& tree, const DebugInfo& di, int core, const VarAddrFn& addr, bool externsonly = false);

// The program state a variable browser follows.
struct BrowseState {
    const DebugInfo* di = nullptr;
    LocalsFrame frame;                    // the core's current frame
    const FileRecord* srcfile = nullptr;  // the file of the main source window
    VarAddrFn addr;
};

// Variable browsers: the current function's (630), the current file's (631)
// and the application's (632), at most one of each.
struct BrowserPane {
    BrowserPane(int k, VarSource src, FormatStore* formats) : tree(TreeKind::Browser, std::move(src), formats), kind(k) {}
    VarTree tree;
    int kind;
    bool autorefresh = true;
    LocalsFrame last;
    const FileRecord* lastfile = nullptr;
    std::string status() const { return autorefresh ? "Auto Refresh" : "Frozen"; }
};

struct VarBrowsers {
    std::vector<std::unique_ptr<BrowserPane>> panes;
    VarSource src;
    FormatStore* formats = nullptr;
    bool isopen(int kind) const;
    // Opens a browser of that kind (1: the `vars` command's, which counts as
    // the application browser) unless one is open; null then.
    BrowserPane* open(int kind, bool values, bool locations, const BrowseState& st);
    // The bindable commands 382 (names), 383 (values), 384 (values and
    // locations) open the current-function browser.
    BrowserPane* openfuncvars(int id, const BrowseState& st);
    void close(BrowserPane* pane);   // clears its kind's open flag
    // After a stop or data command: frozen panes keep their texts.
    void refresh(const BrowseState& st);
    void closeall() { panes.clear(); }

private:
    void fill(BrowserPane& p, const BrowseState& st);
};

// Aggregate windows: snapshots of evaluated structures and arrays.
struct AggregateWindow {
    std::unique_ptr<VarTree> tree;
    VarRecord record;           // own copy of the value's record
    std::string title;
    bool autoremove = true, frozen = false;
    std::string status() const {
        return frozen ? "Frozen - Manual Remove" : autoremove ? "Auto Remove" : "Manual Remove (Frozen)";
    }
    void setauto(bool on) {
        autoremove = on;
        if (on) frozen = false;
    }
};

struct AggregateWindows {
    std::vector<std::unique_ptr<AggregateWindow>> wins;
    // Told when a window opens or closes (the screen side).
    std::function<void(AggregateWindow&)> opened, closing;

    // Opens a window for an aggregate value at address, titled
    // "text  [0x...] (Time: n)" and expanded one level. An error text
    // (the value at address 0) and no window otherwise.
    AggregateWindow* show(const VarRecord& var, uint32_t address, const std::string& text, uint32_t cycles,
                          const VarSource& src, std::string* error);
    // After each executed step: closes auto-remove windows, freezes others.
    // With no window open it costs one test.
    void drop() {
        if (!wins.empty()) dropall();
    }
    void closeall();

private:
    void dropall();
};

struct ExprValue;
// The record of an evaluated value: its text as name, its term kind as
// storage class, its type from the value's cursor on.
VarRecord aggregaterecord(const ExprValue& v);
// Makes the value printer open aggregate windows: cycles gives core 0's
// cycle count for the title, error reports a value at address 0.
void installaggregates(AggregateWindows& wins, VarSource src, std::function<uint32_t()> cycles,
                       std::function<void(const std::string&)> error);

}  // namespace vek

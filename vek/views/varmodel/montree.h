// The Monitors window's tree without Qt: one item per monitor, aggregate
// monitors expanded into member and element items named by expressions,
// texts recomputed after each stop, the popup's enabled commands and the
// save file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vek/core/debuginfo/debuginfo.h"

namespace vek {

// One evaluation of a monitor's expression (or memory location).
struct MonValue {
    int error = 0;            // the evaluator's error number, 0: none
    uint8_t kind = 0;         // term kind: 0 not addressable; 4, 5, 7, 15, 22-24 register variables
    VarRecord type;           // type word, descriptor and aggregate of the value
    std::string text;         // the value as the value printer shows it
    std::string regname;      // "reg. R31" for a register variable
};

struct MonItem {
    int32_t number = 0;       // 0: member or element
    char size = 0;            // 'b', 'w', 'l' for memory monitors
    uint32_t address = 0;
    char format = 0;
    std::string expr;
    std::string text;         // shown
    bool expanded = false;
    bool aggregate = false;   // has (or had) a placeholder
    MonItem* parent = nullptr;
    std::vector<std::unique_ptr<MonItem>> children;
};

class MonitorTree {
public:
    using EvalFn = std::function<MonValue(const MonItem&)>;
    explicit MonitorTree(EvalFn eval) : eval_(std::move(eval)) {}

    std::vector<std::unique_ptr<MonItem>> items;

    // Appends a monitor (number, memory size and address, format, text).
    MonItem* insert(int32_t number, const std::string& expr, char format = 0, char size = 0, uint32_t address = 0);
    void remove(int32_t number);   // -1: every monitor
    void expand(MonItem* item);
    void collapse(MonItem* item);
    // Recomputes one item, or every monitor.
    void refresh(MonItem* item);
    void refreshall();
    // The format letter reaches every descendant.
    void setformat(MonItem* item, char letter);
    // Whether the item has a placeholder (collapsed aggregate).
    bool placeholder(const MonItem* item) const { return item->aggregate && !item->expanded; }

    struct Popup {
        bool deleteall = false, update = false, addressof = false, addressof2 = false, del = false,
             string = false, format = false;
    };
    Popup popupfor(const MonItem& item) const;

    // "\n\t\tMonitors\n\n" and the items, a TAB per depth.
    std::string savetext() const;

    // The item text: expression, " = " and value; a register variable's
    // register; "   <not in scope>" when it cannot be evaluated.
    std::string monittext(const MonItem& item, MonValue* value = nullptr) const;

private:
    EvalFn eval_;
    void addchildren(MonItem* item, const MonValue& v);
    void place(MonItem* item);
};

bool isregisterkind(uint8_t kind);

}  // namespace vek

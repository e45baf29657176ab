// The popups on the text under the mouse, without Qt: what a right click on
// an expression, a function, a label or a program symbol does (a popup, a
// command line, a message box or an error), the commands behind their
// items, and the symbol update dialog's checks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vek/core/debuginfo/debuginfo.h"

namespace vek {

// What the evaluator says about the expression under the mouse.
struct ExprNote {
    int error = 0;          // 54: variable can't be accessed
    uint8_t kind = 0;       // term kind: 0 not addressable, 1 static, 6 extern, 18/19 label or symbol
    VarRecord type;
    uint32_t address = 0, value2 = 0;
};

// Keys held at the click.
namespace popkey {
constexpr int Shift = 1, Ctrl = 2, A = 4, R = 8, W = 16;
}

struct PopupItem {
    int id;
    std::string text;
    bool enabled = true;
};

// The outside world of the popups.
struct PopupHooks {
    std::function<ExprNote(const std::string&)> eval;
    std::function<const FunctionRecord*(const std::string&)> findfunc;
    std::function<bool(const std::string&)> helplookup;   // keyword, library, #define, typedef
    std::function<void(const std::string&)> docmd;
    std::function<std::string(const std::string&)> capture;   // docmd with the output captured
    std::function<void(const std::string&)> dbreak;       // the dbreak handler, options and expression
    std::function<void(const std::string& title, const std::string& text)> box;
    std::function<void(const std::string&)> error;
    std::function<uint8_t(uint32_t)> getbyte;
    std::function<void(uint32_t, uint8_t)> putbyte;
    std::function<void()> beep;
    std::function<void(const std::string& name, uint32_t address, char size)> addmemmonit;
    std::function<void(const std::string&)> update;       // opens the expression update dialog
};

class ExprPopup {
public:
    explicit ExprPopup(PopupHooks h) : hooks(std::move(h)) {}
    PopupHooks hooks;

    // The outcome of a right click on expr (selected: the text itself).
    enum class Outcome { Nothing, VarPopup, FuncPopup, LabelPopup, Ran };
    Outcome click(const std::string& expr, const std::string& selected, int keys);
    // The items of the popup that click opened.
    std::vector<PopupItem> items;
    // Commands 901-915 of the expression and function popups.
    void command(int id);

    // The program-symbol popup: 920-933 (name and value noted).
    std::string symname;
    uint32_t symvalue = 0;
    void symcommand(int id);

private:
    std::string expr_, selected_;
    ExprNote note_;
    const FunctionRecord* func_ = nullptr;
    uint32_t readsized(int size);
};

// The symbol update dialog: "&Ok" reads the field as a number with
// automatic base and writes size bytes at address. A text that is no
// number, or a value too wide for size, beeps and keeps the dialog (false).
bool symupdate(const std::string& field, uint32_t address, int size, const PopupHooks& hooks);
// "0x1f"-style field text of the value at address.
std::string symupdatefield(uint32_t address, int size, const PopupHooks& hooks);

}  // namespace vek

// Popups on the text under the mouse (see exprpopup.h).
#include "vek/views/varmodel/exprpopup.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "vek/core/debuginfo/texts.h"
#include "vek/core/exec/hooks.h"
#include "vek/views/varmodel/vartree.h"

namespace vek {

namespace {
constexpr int CantAccess = 54;

bool isregkind(uint8_t k) { return k == 4 || k == 5 || k == 7 || k == 13 || k == 15 || k == 22 || k == 23 || k == 24; }

bool isaggregate(const VarRecord& t) {
    if (hasarraytop(t)) return true;
    uint8_t c = uint8_t(t.type);
    return (t.type >> 30) == 0 && (c == 72 || c == 73);
}
}  // namespace

ExprPopup::Outcome ExprPopup::click(const std::string& expr, const std::string& selected, int keys) {
    expr_ = expr;
    selected_ = selected;
    items.clear();
    func_ = hooks.findfunc ? hooks.findfunc(expr) : nullptr;
    note_ = hooks.eval ? hooks.eval(expr) : ExprNote{};
    if (!func_ && note_.error == CantAccess) {
        if (hooks.helplookup && hooks.helplookup(selected)) return Outcome::Nothing;
        if (hooks.error) hooks.error("Can't access " + selected);
        return Outcome::Nothing;
    }
    if (!func_ && (note_.kind == 18 || note_.kind == 19)) {
        items.push_back({960, "Address &of " + expr});
        return Outcome::LabelPopup;
    }
    const char* dbreaks[] = {"dbreak /T:a ", "dbreak /T:r ", "dbreak /T:w "};
    int keyed = keys & popkey::A ? 0 : keys & popkey::R ? 1 : keys & popkey::W ? 2 : -1;
    if (keyed >= 0) {
        if (hooks.docmd) hooks.docmd(dbreaks[keyed] + expr);
        return Outcome::Ran;
    }
    bool shift = keys & popkey::Shift, ctrl = keys & popkey::Ctrl;
    if (shift || ctrl) {
        int id = shift && ctrl ? (func_ ? 904 : 906) : shift ? (func_ ? 907 : 901) : (func_ ? 903 : 902);
        command(id);
        return Outcome::Ran;
    }
    bool addressable = note_.error == 0 && note_.kind != 0 && !isaggregate(note_.type);
    if (func_) {
        items.push_back({903, "&Info.....     " + expr + "()"});
        items.push_back({907, "&Display...    " + expr + "()"});
        return Outcome::FuncPopup;
    }
    bool breaks = note_.kind == 1 || note_.kind == 6;
    items = {{901, "&Evaluate...  " + expr},
             {902, "&Monitor...    " + expr},
             {903, "&Info.....     " + expr},
             {906, "&Update...     " + expr, addressable},
             {913, "&Access Break... " + expr, breaks},
             {914, "&Read Break...    " + expr, breaks},
             {915, "&Write Break...    " + expr, breaks}};
    return Outcome::VarPopup;
}

void ExprPopup::command(int id) {
    if (expr_.empty()) return;
    auto show = [&](const std::string& title, const std::string& cmd) {
        std::string out = hooks.capture ? hooks.capture(cmd) : "";
        if (!out.empty() && hooks.box) hooks.box(title, out);
    };
    switch (id) {
    case 901: show("Evaluate: " + expr_, "eval " + expr_); break;
    case 902:
        if (hooks.docmd) hooks.docmd("monit " + expr_);
        break;
    case 903:
        if (func_ && hooks.box) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "0x%x", func_->frame ? func_->frame->address : 0u);
            std::string ret = func_->rettext;
            while (!ret.empty() && ret.back() == ' ') ret.pop_back();
            hooks.box("Info", ret + " " + func_->name + "(" + func_->argtext + ") at " + buf + " in (" +
                                  (func_->file ? func_->file->name : "") + ")");
        } else if (!func_ && note_.error == 0 && hooks.box) {
            hooks.box("Info", "at " + placetext(note_.type, note_.address, true, false) + " " + vardecl(note_.type));
        }
        break;
    case 906:
        if (hooks.update) hooks.update(expr_);
        break;
    case 908: case 909: case 910:
        if (isregkind(note_.kind)) {
            if (hooks.box)
                hooks.box("Address of: " + expr_, "&" + expr_ + " = " +
                                                      regvarname(note_.kind, note_.address, note_.value2, note_.type.type));
        } else {
            std::string out = hooks.capture ? hooks.capture((id == 910 ? "eval /x " : "eval &") + expr_) : "";
            if (!out.empty() && note_.type.type == 1 && !out.empty()) {
                out.pop_back();
                out += "." + std::to_string(note_.type.desc.bitword & 0x1F) + "\n";
            }
            if (!out.empty() && hooks.box) hooks.box("Address of: " + expr_, out);
        }
        break;
    case 913: case 914: case 915: {
        const char* opt[] = {"/t:a ", "/t:r ", "/t:w "};
        if (hooks.dbreak) hooks.dbreak(opt[id - 913] + expr_);
        break;
    }
    default: break;
    }
}

uint32_t ExprPopup::readsized(int size) {
    uint32_t v = 0;
    for (int i = 0; i < size; ++i) v = (v << 8) | (hooks.getbyte ? hooks.getbyte(symvalue + uint32_t(i)) : 0);
    return v;
}

void ExprPopup::symcommand(int id) {
    static const char letters[] = "bwl";
    static const int sizes[] = {1, 2, 4};
    if (id == 920 && hooks.box) hooks.box("Address of: " + symname, "&" + symname + " = " + hextext(symvalue));
    else if (id >= 921 && id <= 923 && hooks.box)
        hooks.box("Evaluate " + symname, "[" + symname + "]." + letters[id - 921] + " = " +
                                             hextext(readsized(sizes[id - 921])));
    else if (id >= 927 && id <= 929 && hooks.addmemmonit)
        hooks.addmemmonit(symname, symvalue, letters[id - 927]);
    else if ((id >= 934 && id <= 939) || (id >= 941 && id <= 943)) {
        if (hooks.error) hooks.error("!MF MF CAS DATA EVT SUR SYMB ");
    }
}

std::string symupdatefield(uint32_t address, int size, const PopupHooks& hooks) {
    uint32_t v = 0;
    for (int i = 0; i < size; ++i) v = (v << 8) | (hooks.getbyte ? hooks.getbyte(address + uint32_t(i)) : 0);
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", v);
    return buf;
}

bool symupdate(const std::string& field, uint32_t address, int size, const PopupHooks& hooks) {
    const char* s = field.c_str();
    while (*s == ' ' || *s == '\t') ++s;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = *s ? std::strtoull(s, &end, 0) : 0;
    while (end && (*end == ' ' || *end == '\t')) ++end;
    bool bad = !*s || *s == '-' || errno || !end || *end != 0;
    if (!bad && size < 8 && (v >> (8 * size)) != 0) bad = true;
    if (bad) {
        if (hooks.beep) hooks.beep();
        return false;
    }
    for (int i = 0; i < size; ++i)
        if (hooks.putbyte) hooks.putbyte(address + uint32_t(i), uint8_t(v >> (8 * (size - 1 - i))));
    return true;
}

}  // namespace vek

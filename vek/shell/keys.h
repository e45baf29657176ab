// Function-key bindings: F1 to F12, each in four Shift/Ctrl states, bound
// to menu command ids, with their settings section and their key texts in
// the menu items.
//
// A menu item shows its key after a tab ("&Go\t<Shift><F5>"), which the menu
// draws right-aligned; removing a binding cuts the text at the tab.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "vek/shell/config.h"

namespace vek::shell {

struct KeyBindings {
    static constexpr int Keys = 12;
    // slot = 2 * ctrl + shift: plain, Shift, Ctrl, Ctrl+Shift
    using Table = std::array<std::array<int32_t, 4>, Keys>;
    Table table{};
    Table saved{};  // the table when the binding dialog opened

    KeyBindings();
    static int slot(bool shift, bool ctrl) { return (ctrl ? 2 : 0) + (shift ? 1 : 0); }
    int32_t binding(int key, bool shift, bool ctrl) const;  // key 0 = F1; 0 when unbound or out of range

    void read(const Settings& settings);
    void write(Settings& settings) const;
};

// "<F1>" ... "<F12>".
const char* keyname(int key);
// "<Shift>" when Shift is part of the state, then "<Ctrl>", then the name.
std::string keytext(int key, bool shift, bool ctrl);
// A menu text with the key text put after its tab, and without it.
std::string withkey(std::string_view menutext, std::string_view keytext);
std::string withoutkey(std::string_view menutext);

// Brings the menu texts up to date with the bindings that differ from the
// saved copy: text(id) reads a main-menu item's text (false when the menu
// has no such command), settext(id, text) changes it.
struct MenuTexts {
    std::function<bool(int32_t id, std::string& text)> text;
    std::function<void(int32_t id, const std::string& text)> settext;
};
void updatemenutexts(const KeyBindings& keys, const MenuTexts& menu);

}  // namespace vek::shell

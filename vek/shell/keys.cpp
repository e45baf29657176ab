// Function-key binding table, its settings and its menu texts.
#include "vek/shell/keys.h"

#include <cstdio>

namespace vek::shell {

namespace {
constexpr const char* kKeyNames[KeyBindings::Keys] = {"<F1>", "<F2>", "<F3>", "<F4>",  "<F5>",  "<F6>",
                                                      "<F7>", "<F8>", "<F9>", "<F10>", "<F11>", "<F12>"};
constexpr int32_t kHelpOnVek = 13001;
}  // namespace

KeyBindings::KeyBindings() {
    table[0][0] = kHelpOnVek;
    saved = table;
}

int32_t KeyBindings::binding(int key, bool shift, bool ctrl) const {
    if (key < 0 || key >= Keys) return 0;
    return table[static_cast<size_t>(key)][static_cast<size_t>(slot(shift, ctrl))];
}

void KeyBindings::read(const Settings& settings) {
    for (int key = 0; key < Keys; ++key) {
        std::string value = settings.read("KeyBindings", kKeyNames[key], "");
        if (value.size() > 126) value.resize(126);
        std::string_view rest = value;
        // as many slots as there are numbers; the others keep their value
        for (size_t s = 0; s < 4 && !rest.empty(); ++s) {
            size_t i = 0;
            while (i < rest.size() && rest[i] == ' ') ++i;
            size_t start = i;
            if (i < rest.size() && (rest[i] == '-' || rest[i] == '+')) ++i;
            size_t digits = i;
            while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9') ++i;
            if (i == digits) break;
            table[static_cast<size_t>(key)][s] = static_cast<int32_t>(leadingnumber(rest.substr(start, i - start)));
            while (i < rest.size() && rest[i] == ' ') ++i;
            if (i >= rest.size() || rest[i] != ',') break;
            rest.remove_prefix(i + 1);
        }
    }
}

void KeyBindings::write(Settings& settings) const {
    for (int key = 0; key < Keys; ++key) {
        const auto& row = table[static_cast<size_t>(key)];
        char buf[64];
        std::snprintf(buf, sizeof buf, "%d,%d,%d,%d", row[0], row[1], row[2], row[3]);
        settings.write("KeyBindings", kKeyNames[key], buf);
    }
}

const char* keyname(int key) { return key >= 0 && key < KeyBindings::Keys ? kKeyNames[key] : ""; }

std::string keytext(int key, bool shift, bool ctrl) {
    std::string t;
    if (shift) t += "<Shift>";
    if (ctrl) t += "<Ctrl>";
    return t + keyname(key);
}

std::string withoutkey(std::string_view text) {
    size_t tab = text.find('\t');
    return std::string(tab == std::string_view::npos ? text : text.substr(0, tab));
}

std::string withkey(std::string_view text, std::string_view key) {
    size_t tab = text.find('\t');
    if (tab == std::string_view::npos) return std::string(text) + " \t" + std::string(key);
    return std::string(text.substr(0, tab + 1)) + std::string(key);
}

void updatemenutexts(const KeyBindings& keys, const MenuTexts& menu) {
    for (int key = 0; key < KeyBindings::Keys; ++key) {
        for (int s : {0, 2, 1, 3}) {
            int32_t now = keys.table[static_cast<size_t>(key)][static_cast<size_t>(s)];
            int32_t before = keys.saved[static_cast<size_t>(key)][static_cast<size_t>(s)];
            if (now == before) continue;
            std::string text;
            if (now != 0) {
                if (menu.text(now, text)) menu.settext(now, withkey(text, keytext(key, s & 1, s & 2)));
            } else if (menu.text(before, text)) {
                menu.settext(before, withoutkey(text));
            }
        }
    }
}

}  // namespace vek::shell

// The debugger's menus, tool bar, bindable commands and menu help texts.
//
// Menus are one flat table read top to bottom: each row has a depth (0 for
// the menu bar's popups), so a popup's items are the rows below it with a
// greater depth. A popup's id is its help id; an item's id is the command
// it sends. The positions other code greys by number (File 0 ... Help 9,
// Setup 0 and 7, Events 2 and 3, Browse 10 and 12, Show 2, 3 and 7) are the
// positions in this table.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vek::resources {

enum class MenuKind { Popup, Item, Separator };

struct MenuRow {
    int depth;
    MenuKind kind;
    int32_t id;  // command id; help id of a popup (0: none)
    const char* text;
};

// "MDIVEKMENU": the main window's menu bar.
std::span<const MenuRow> mainmenu();
// "CMD_MENU": the Command window's strip.
std::span<const MenuRow> cmdmenu();
// The symbol popups whose first entry is renamed after a symbol.
std::span<const MenuRow> lblpopup();
std::span<const MenuRow> asmpopup();

// Main-menu positions.
enum MainPosition { FileMenu, EventsMenu, BrowseMenu, DebugMenu, SetupMenu, TargetMenu, ShowMenu,
                    WindowsMenu, ExtensionsMenu, HelpMenu };
constexpr int RecentFilePosition = 15;  // recent files are appended to File from here

// Tool-bar entries, left to right (id 0: separator).
struct ToolRow {
    int32_t id;
    const char* bitmap;  // resource name of the picture
    const char* glyph;   // the short text drawn as its picture
    bool check;          // stays pressed while its window is shown
};
std::span<const ToolRow> toolbar();
// Tooltip of a command id, nullptr when it has none.
const char* tooltip(int32_t id);

// The commands a function key can be bound to, in the order offered.
struct BindableRow {
    int32_t id;
    const char* text;
};
std::span<const BindableRow> bindables();

// Menu help: the text of the first row with the id, nullptr when none.
const char* menuhelp(int32_t id);

}  // namespace vek::resources

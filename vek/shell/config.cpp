// Settings model: defaults, the readers and writers of the settings file.
#include "vek/shell/config.h"

#include <cstdio>

#include "vek/core/support/messages.h"

namespace vek::shell {

namespace {

struct ColourRow {
    const char* key;
    Colour initial;
    int palette;  // palette entry that follows the colour, -1 none
    const char* comment;
};
// key                   default   palette  comment
constexpr ColourRow kColours[Config::ColourCount] = {
    {"Assembler", 0xffff, -1, "    /* Color for Assembler Highlihgt */"},
    {"BkptOn", 0xff, 12, "    /* Color for Active Breakpoints */"},
    {"BkptOff", 0xff00, 13, "    /* Color for Suspended Breakpoints */"},
    {"Source", 0xff0000, -1, "    /* Color for Source Highlight */"},
    {"Instruction", 0xff0000, -1, "    /* Color for Instruction Highlight */"},
    {"C_Keyword", 0xff0000, 5, "    /* Color for C Keywords */"},
    {"C_Library", 0xff, 6, "    /* Color for C Library functions */"},
    {"Comments", 0x8000, 7, "    /* Color for C Comments */"},
    {"Memory", 0xff, 10, "    /* Color for Memory Data Window Highlight */"},
    {"Assembler_Mnemonics", 0xff, 11, "    /* Color for Instruction Mnemonics Highlight */"},
    {"Preprocessor", 0x828282, 14, "    /* Color for Preprocessor Directives */"},
    {"Defines", 0x4080, 16, "    /* Color for Defines */"},
    {"Typedefs", 0x4080ff, 17, "    /* Color for Typedefs */"},
    {"Search", 0xff00, 18, "    /* Color for Search */"},
};

constexpr Colour kPalette[ColorPalette::Size] = {
    0x000000, 0x000000, 0x0000ff, 0xff0000, 0x008000, 0xff0000, 0x0000ff, 0x008000, 0x004080, 0x0080ff,
    0x0000ff, 0x0000ff, 0x0000ff, 0x00ff00, 0x828282, 0x828282, 0x004080, 0x4080ff, 0x00ff00,
};

constexpr const char* kFontKeys[] = {"Assembler_Font", "Browser_Font", "Command_Font", "Memory_Font",
                                     "Monitor_Font",   "Register_Font", "Source_Font", "Stack_Font"};

// Sections and comment words of the window rectangles, by Window.
struct RectRow {
    const char* section;
    const char* word;
};
constexpr RectRow kRects[] = {
    {"VekWindow", "Main"},     {"SrcWindow", "Source"},   {"MonWindow", "Monitor"},
    {"StackWindow", "Stack"},  {"CmdWindow", "Command"},  {"DisaWindow", "Disa"},
    {"LocalsWindow", "Locals"}, {"GlobalsWindow", "Globals"}, {"RegWindow", "Register"},
};

std::string unsignedtext(int32_t v) { return std::to_string(static_cast<uint32_t>(v)); }

std::string hextext(Colour c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", c);
    return buf;
}

int32_t readnumber(Settings& s, const char* section, const char* key, int32_t current) {
    return static_cast<int32_t>(leadingnumber(s.read(section, key, unsignedtext(current))));
}

// The four sides in the order a section stores them (RegWindow: Left, Right,
// Top, Bottom).
struct Side {
    const char* key;
    const char* comment;
    int32_t Rect::*field;
};
constexpr Side kSides[] = {
    {"Left", "Left side of", &Rect::left},
    {"Top", "Top of", &Rect::top},
    {"Right", "Right side of", &Rect::right},
    {"Bottom", "Bottom of", &Rect::bottom},
};
constexpr int kOrder[] = {0, 1, 2, 3};
constexpr int kRegOrder[] = {0, 2, 1, 3};
const int* sideorder(Window w) { return w == Window::Reg ? kRegOrder : kOrder; }

void readrect(Settings& s, Config& c, Window w) {
    const RectRow& row = kRects[static_cast<int>(w)];
    const int* order = sideorder(w);
    for (int i = 0; i < 4; ++i) {
        const Side& side = kSides[order[i]];
        int32_t& field = c.rect(w).*side.field;
        field = readnumber(s, row.section, side.key, field);
    }
}

void writerect(Settings& s, const Config& c, Window w) {
    const RectRow& row = kRects[static_cast<int>(w)];
    const int* order = sideorder(w);
    const Rect& r = c.rects[static_cast<int>(w)];
    for (int i = 0; i < 4; ++i) {
        const Side& side = kSides[order[i]];
        std::string value = unsignedtext(r.*side.field) + "    /* " + side.comment + " " + row.word + " Window */";
        s.write(row.section, side.key, value);
    }
}

bool startsyes(std::string_view v) { return !v.empty() && (v[0] == 'y' || v[0] == 'Y'); }

}  // namespace

bool Settings::write(std::string_view section, std::string_view key, std::string_view value) {
    if (profile_.write(section, key, value)) return true;
    if (failures_++ == 0)
        errorbox({"Cannot write the settings file ", profile_.path(), ": ", profile_.lasterror()});
    return false;
}

std::string settingspath() { return platform::configpath("VEKSPPC.INI"); }

uint32_t leadingnumber(std::string_view t) {
    size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
    uint32_t v = 0;
    if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        for (i += 2; i < t.size(); ++i) {
            char c = t[i];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                  : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (d < 0) break;
            v = v * 16u + static_cast<uint32_t>(d);
        }
    } else {
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) v = v * 10u + static_cast<uint32_t>(t[i] - '0');
    }
    return negative ? 0u - v : v;
}

ColorPalette::ColorPalette() {
    for (int i = 0; i < Size; ++i) entries[static_cast<size_t>(i)] = kPalette[i];
}
Colour ColorPalette::get(int index) const {
    return entries[static_cast<size_t>(index >= 0 && index < Size ? index : 1)];
}
void ColorPalette::setcolor(int index, Colour value) {
    if (index >= 0 && index < Size) entries[static_cast<size_t>(index)] = value;
}

bool LogFont::parse(std::string_view t) {
    int32_t numbers[13];
    for (int i = 0; i < 13; ++i) {
        size_t comma = t.find(',');
        if (comma == std::string_view::npos) return false;
        numbers[i] = static_cast<int32_t>(leadingnumber(t.substr(0, comma)));
        t.remove_prefix(comma + 1);
    }
    height = numbers[0];
    width = numbers[1];
    escapement = numbers[2];
    orientation = numbers[3];
    weight = numbers[4];
    uint8_t* bytes[] = {&italic, &underline, &strikeout, &charset, &outprecision, &clipprecision, &quality,
                        &pitchandfamily};
    for (int i = 0; i < 8; ++i) *bytes[i] = static_cast<uint8_t>(numbers[5 + i]);
    // the face is cut to what a logical font holds (31 characters)
    face = std::string(t.substr(0, 31));
    return true;
}

std::string LogFont::text() const {
    std::string s;
    for (int32_t v : {height, width, escapement, orientation, weight}) s += std::to_string(v) + ",";
    for (uint8_t v : {italic, underline, strikeout, charset, outprecision, clipprecision, quality, pitchandfamily})
        s += std::to_string(v) + ",";
    return s + face;
}

const char* fontkey(FontKind kind) { return kFontKeys[static_cast<int>(kind)]; }

Config::Config() {
    for (int i = 0; i < ColourCount; ++i) colours[static_cast<size_t>(i)] = kColours[i].initial;
    rect(Window::Src).left = RectUnset;
}

void Config::setcolour(ColourKey key, Colour value) {
    colours[static_cast<size_t>(key)] = value;
    if (kColours[key].palette >= 0) palette.setcolor(kColours[key].palette, value);
}

void readconfig(Settings& s, Config& c, const ScreenMetrics& screen) {
    // fonts, in the reader's order; a font the file does not give is the default
    constexpr FontKind kReadOrder[] = {FontKind::Assembler, FontKind::Command, FontKind::Memory, FontKind::Monitor,
                                       FontKind::Register,  FontKind::Source,  FontKind::Stack,  FontKind::Browser};
    for (FontKind kind : kReadOrder) {
        LogFont font;
        bool given = false;
        if (startsyes(s.read("OPTIONS", "NEWFONTS", ""))) {
            s.write("OPTIONS", "NEWFONTS", "YES");
            given = font.parse(s.read("Fonts", fontkey(kind), ""));
        }
        if (!given) {
            font = LogFont();
            // the next start reads the fonts from the file
            if (kind == FontKind::Assembler) s.write("OPTIONS", "NEWFONTS", "YES");
        }
        c.font(kind) = font;
    }
    for (int i = 0; i < Config::ColourCount; ++i) {
        auto key = static_cast<Config::ColourKey>(i);
        c.setcolour(key, leadingnumber(s.read("Colors", kColours[i].key, hextext(c.colours[static_cast<size_t>(i)]))));
    }
    c.rect(Window::Vek) = {0, 0, screen.width, screen.height};
    readrect(s, c, Window::Vek);
}

void readrects(Settings& s, Config& c, const ScreenMetrics& screen) {
    const Rect& main = c.rect(Window::Vek);
    int32_t r = main.right, b = main.bottom;
    int32_t low = (b >> 2) + screen.caption + screen.scrollbar;
    c.rect(Window::Mon) = {0, 0, (r >> 3) * 3, low};
    c.rect(Window::Stack) = {r >> 1, 0, r, low};
    c.rect(Window::Reg) = {0, 0, 50, 100};
    for (Window w : {Window::Cmd, Window::Disa, Window::Locals, Window::Globals}) c.rect(w) = {20, 20, 350, 100};
    for (Window w : {Window::Mon, Window::Stack, Window::Reg, Window::Cmd, Window::Disa, Window::Locals,
                     Window::Globals})
        readrect(s, c, w);
    // the main source window's rectangle counts only when the file has one
    if (!s.read("SrcWindow", "Left", "").empty()) {
        c.rect(Window::Src) = {0, 0, (r >> 3) * 3, low};
        readrect(s, c, Window::Src);
    }
}

void saveconfig(Settings& s, const Config& c) {
    for (int i = 0; i < Config::ColourCount; ++i)
        s.write("Colors", kColours[i].key, hextext(c.colours[static_cast<size_t>(i)]) + kColours[i].comment);
    for (int i = 0; i < static_cast<int>(FontKind::Count); ++i)
        s.write("Fonts", kFontKeys[i], c.fonts[static_cast<size_t>(i)].text());
    writerect(s, c, Window::Vek);
    if (c.rects[static_cast<int>(Window::Src)].left != RectUnset) writerect(s, c, Window::Src);
    for (Window w : {Window::Mon, Window::Stack, Window::Cmd, Window::Disa, Window::Locals, Window::Globals,
                     Window::Reg})
        writerect(s, c, w);
    s.write("Options", "Path", c.path);
    s.write("Options", "ExtenPath", c.extenpath);
    s.write("Options", "LOAD_SYMB_ONLY", c.loadsymbolsonly ? "Y" : "N");
}

const char* showntext(Shown shown) {
    switch (shown) {
    case Shown::No: return "NO";
    case Shown::Yes: return "YES";
    case Shown::Iconic: return "ICONIC";
    }
    return "NO";
}

Shown parseshown(std::string_view v) {
    if (v.empty()) return Shown::No;
    if (v[0] == 'Y' || v[0] == 'y') return Shown::Yes;
    if (v[0] == 'I' || v[0] == 'i') return Shown::Iconic;
    return Shown::No;
}

}  // namespace vek::shell

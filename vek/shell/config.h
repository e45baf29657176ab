// The debugger's settings as the shell keeps them between reads and writes
// of the settings file: colours and the shared colour palette, the eight
// fonts as logical-font descriptions, the window rectangles and the flags
// that the file stores.
//
// The one idea: this is a plain model with no toolkit in it. The shell
// reads it once at start (readconfig), the windows read and change it, and
// saveconfig writes it back in the file's fixed order, each number with its
// comment. Every write goes through Settings, which reports the first
// failed write of a run and stays quiet about the rest.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/profile.h"

namespace vek::shell {

// The settings file and its one-time failure report.
class Settings {
public:
    explicit Settings(std::string path) : profile_(std::move(path)) {}
    std::string read(std::string_view section, std::string_view key, std::string_view fallback) const {
        return profile_.read(section, key, fallback);
    }
    // Writes the value; the first failure of the run opens an error box.
    bool write(std::string_view section, std::string_view key, std::string_view value);
    const std::string& path() const { return profile_.path(); }
    int failures() const { return failures_; }

private:
    platform::Profile profile_;
    int failures_ = 0;
};

// The settings file of this user: VEKSPPC.INI in the configuration folder.
std::string settingspath();

// The leading number of a settings value ("0x" hexadecimal, or decimal with
// an optional sign; text after it is ignored; 0 for none), as 32 bits.
uint32_t leadingnumber(std::string_view text);

// Colours are 0x00BBGGRR (red in the low byte).
using Colour = uint32_t;

// The shared colour table of list, source and box painters.
struct ColorPalette {
    static constexpr int Size = 19;
    std::array<Colour, Size> entries{};
    ColorPalette();
    // An index above 18 reads entry 1.
    Colour get(int index) const;
    void setcolor(int index, Colour value);  // other indexes are ignored
};

// A logical font: twelve numbers and a face name, in the order the settings
// file stores them.
struct LogFont {
    int32_t height = -13, width = 0, escapement = 0, orientation = 0, weight = 400;
    uint8_t italic = 0, underline = 0, strikeout = 0, charset = 0, outprecision = 1, clipprecision = 2,
            quality = 1, pitchandfamily = 49;
    std::string face = "Courier";

    // "h,w,e,o,weight,i,u,s,c,op,cp,q,pf,Face"; false when a ',' is missing.
    bool parse(std::string_view text);
    std::string text() const;
};

enum class FontKind { Assembler, Browser, Command, Memory, Monitor, Register, Source, Stack, Count };
const char* fontkey(FontKind kind);

// A window rectangle: left, top, right, bottom (signed 32 bits).
struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect&) const = default;
};
constexpr int32_t RectUnset = INT32_MIN;

enum class Window { Vek, Src, Mon, Stack, Cmd, Disa, Locals, Globals, Reg, Count };

struct Config {
    // colours, by the file's key order
    enum ColourKey { Assembler, BkptOn, BkptOff, Source, Instruction, CKeyword, CLibrary, Comments, Memory,
                     Mnemonics, Preprocessor, Defines, Typedefs, Search, ColourCount };
    std::array<Colour, ColourCount> colours{};
    ColorPalette palette;
    std::array<LogFont, static_cast<int>(FontKind::Count)> fonts{};
    std::array<Rect, static_cast<int>(Window::Count)> rects{};
    std::string path;        // source search path, '|' separated
    std::string extenpath;   // extension directories
    bool loadsymbolsonly = false;

    Config();
    Rect& rect(Window w) { return rects[static_cast<int>(w)]; }
    LogFont& font(FontKind k) { return fonts[static_cast<int>(k)]; }
    // Sets a colour and the palette entry that follows it.
    void setcolour(ColourKey key, Colour value);
};

// What the frame measured when it was made, for the default rectangles.
struct ScreenMetrics {
    int32_t width = 1024, height = 768;  // the screen
    int32_t caption = 20, scrollbar = 16;
};

// Start-up: fonts (writing NEWFONTS), colours, the main window rectangle.
void readconfig(Settings& settings, Config& config, const ScreenMetrics& screen);
// The other windows' rectangles, once the main window's is known.
void readrects(Settings& settings, Config& config, const ScreenMetrics& screen);
// Menu 111 and exit: colours, fonts, rectangles, paths, load option.
void saveconfig(Settings& settings, const Config& config);

// The layout flags of the windows listed in section LayOut.
enum class Shown { No, Yes, Iconic };
const char* showntext(Shown shown);
Shown parseshown(std::string_view text);

}  // namespace vek::shell

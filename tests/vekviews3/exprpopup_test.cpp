// Right clicks on the text under the mouse and the symbol update dialog.
#include <gtest/gtest.h>

#include <map>

#include "vek/views/varmodel/exprpopup.h"

namespace vek {
namespace {

struct PopupWorld {
    std::vector<std::string> ran, errors, boxes;
    std::map<uint32_t, uint8_t> mem;
    int beeps = 0;
    FunctionRecord f;
    FileRecord file;
    LineRecord frame;
    PopupHooks hooks() {
        f.name = "step";
        f.argtext = "int n";
        f.rettext = "int ";
        file.name = "main.c";
        f.file = &file;
        frame.address = 0x1008;
        f.frame = &frame;
        PopupHooks h;
        h.eval = [](const std::string& e) {
            ExprNote n;
            if (e == "g") { n.kind = 6; n.type.type = 24; n.type.name = "g"; n.address = 0x40000010; }
            else if (e == "lbl") n.kind = 18;
            else n.error = 54;
            return n;
        };
        h.findfunc = [this](const std::string& e) { return e == "step" ? &f : nullptr; };
        h.helplookup = [](const std::string& t) { return t == "while"; };
        h.docmd = [this](const std::string& c) { ran.push_back(c); };
        h.capture = [this](const std::string& c) { ran.push_back(c); return std::string("g = 1\n"); };
        h.box = [this](const std::string& t, const std::string& x) { boxes.push_back(t + "|" + x); };
        h.error = [this](const std::string& e) { errors.push_back(e); };
        h.getbyte = [this](uint32_t a) { return mem[a]; };
        h.putbyte = [this](uint32_t a, uint8_t b) { mem[a] = b; };
        h.beep = [this] { ++beeps; };
        return h;
    }
};

TEST(ExprPopup, KeysPopupsAndErrors) {
    PopupWorld w;
    ExprPopup p(w.hooks());
    EXPECT_EQ(p.click("g", "g", popkey::R), ExprPopup::Outcome::Ran);
    EXPECT_EQ(w.ran.back(), "dbreak /T:r g");
    EXPECT_EQ(p.click("xyz", "xyz", 0), ExprPopup::Outcome::Nothing);
    EXPECT_EQ(w.errors.back(), "Can't access xyz");
    EXPECT_EQ(p.click("while", "while", 0), ExprPopup::Outcome::Nothing);
    EXPECT_EQ(w.errors.size(), 1u);   // a help lookup took it
    EXPECT_EQ(p.click("g", "g", 0), ExprPopup::Outcome::VarPopup);
    EXPECT_EQ(p.items[0].text, "&Evaluate...  g");
    EXPECT_TRUE(p.items[3].enabled);   // Update
    p.command(902);
    EXPECT_EQ(w.ran.back(), "monit g");
    p.command(901);
    EXPECT_EQ(w.boxes.back(), "Evaluate: g|g = 1\n");
    EXPECT_EQ(p.click("step", "step", 0), ExprPopup::Outcome::FuncPopup);
    p.command(903);
    EXPECT_EQ(w.boxes.back(), "Info|int step(int n) at 0x1008 in (main.c)");
    EXPECT_EQ(p.click("lbl", "lbl", 0), ExprPopup::Outcome::LabelPopup);
}

TEST(ExprPopup, SymbolCommandsAndUpdate) {
    PopupWorld w;
    PopupHooks h = w.hooks();
    ExprPopup p(h);
    p.symname = "buf";
    p.symvalue = 0x200;
    p.symcommand(920);
    EXPECT_EQ(w.boxes.back(), "Address of: buf|&buf = 0x200      ");
    EXPECT_TRUE(symupdate("0x1234", 0x300, 2, h));   // a word writes two bytes
    EXPECT_EQ(w.mem[0x300], 0x12);
    EXPECT_EQ(w.mem[0x301], 0x34);
    EXPECT_EQ(symupdatefield(0x300, 2, h), "0x1234");
    EXPECT_FALSE(symupdate("xyz", 0x300, 2, h));
    EXPECT_FALSE(symupdate("0x12345", 0x300, 2, h));   // too wide for a word
    EXPECT_EQ(w.beeps, 2);
    EXPECT_EQ(w.mem[0x300], 0x12);
    p.symcommand(935);
    EXPECT_EQ(w.errors.back(), "!MF MF CAS DATA EVT SUR SYMB ");
}

}  // namespace
}  // namespace vek

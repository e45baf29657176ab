// The settings-file engine: lookups and in-place edits of profile files.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "tests/scratch.h"

namespace {

TEST(ShellProfile, ReadsNamesWithoutCaseFirstMatchTrimmedAndDefaults) {
    qvtest::Scratch s("profile");
    s.write("a.ini", "; comment\r\n[Options]\r\n Tile = vertical  \r\n[OPTIONS]\r\ntile=free\r\nENDFILE=e.cmd\r\n");
    platform::Profile p(s.dir() / "a.ini");
    EXPECT_EQ(p.read("options", "TILE", "x"), "vertical");
    EXPECT_EQ(p.read("Options", "EndFile", "x"), "e.cmd");
    EXPECT_EQ(p.read("Options", "missing", "dflt"), "dflt");
    EXPECT_EQ(p.read("Nosection", "Tile", "dflt"), "dflt");
    platform::Profile none(s.dir() / "none.ini");
    EXPECT_EQ(none.read("Options", "Tile", "Cascade"), "Cascade");
}

TEST(ShellProfile, WritesInPlaceAndKeepsEveryOtherLine) {
    qvtest::Scratch s("profile");
    const std::string original =
        "; my settings\r\n[options]\r\nTile=free\r\n\r\n[Other]\r\nkey=\"<F1>\";x\r\n[Options]\r\nPath=a|b\r\n";
    s.write("a.ini", original);
    platform::Profile p(s.dir() / "a.ini");
    ASSERT_TRUE(p.write("OPTIONS", "TILE", "VERTICAL"));
    ASSERT_TRUE(p.write("Options", "Added", "1"));
    ASSERT_TRUE(p.write("KeyBindings", "<F5>", "0,201,0,0"));
    ASSERT_TRUE(p.write("Other", "multi", "a\nb\rc"));
    EXPECT_EQ(s.read("a.ini"),
              "; my settings\r\n[options]\r\nTILE=VERTICAL\r\nAdded=1\r\n\r\n[Other]\r\nkey=\"<F1>\";x\r\n"
              "multi=a b c\r\n[Options]\r\nPath=a|b\r\n[KeyBindings]\r\n<F5>=0,201,0,0\r\n");
    EXPECT_EQ(p.read("keybindings", "<f5>", ""), "0,201,0,0");
    EXPECT_EQ(p.read("Other", "key", ""), "\"<F1>\";x");
}

TEST(ShellProfile, MakesTheFolderAndReportsAnUnwritableOne) {
    qvtest::Scratch s("profile");
    platform::Profile p(s.dir() / "new/deeper/VEKSPPC.INI");
    ASSERT_TRUE(p.write("Options", "Tile", "FREE"));
    EXPECT_EQ(s.read("new/deeper/VEKSPPC.INI"), "[Options]\nTile=FREE\n");

    // a file where the folder should be: no permission bits involved
    s.write("blocked", "");
    platform::Profile locked(s.dir() / "blocked/VEKSPPC.INI");
    EXPECT_FALSE(locked.write("Options", "Tile", "FREE"));
    EXPECT_FALSE(locked.lasterror().empty());
}

TEST(ShellProfile, SplitsPathsAtEitherSeparator) {
    std::string dir, name;
    platform::splitpath("C:\\work\\run.in", dir, name);
    EXPECT_EQ(dir, "C:\\work\\");
    EXPECT_EQ(name, "run.in");
    platform::splitpath("/tmp/x/out.out", dir, name);
    EXPECT_EQ(dir, "/tmp/x/");
    EXPECT_EQ(name, "out.out");
    platform::splitpath("plain", dir, name);
    EXPECT_EQ(dir, "");
    EXPECT_EQ(name, "plain");
}

}  // namespace

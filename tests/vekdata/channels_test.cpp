// File channels: fopen, fclose, fwrite, fread, rewind, remove and pause.
#include <cstdio>

#include "datafixture.h"

using Channels = DataFixture;

TEST_F(Channels, OpenCloseAndOptions) {
    EXPECT_EQ(run("fopen /c:1 out.txt"), "");
    EXPECT_EQ(run("fopen /c:1 other.txt"), "#error: Channel 1 already used\n");
    EXPECT_EQ(run("fopen /a/c:2 log.txt"), "#error: Unknown Option /c:2 log.txt\n");
    EXPECT_EQ(run("fopen /x:2 log.txt"), "#error: Unknown Option x:2 log.txt\n");
    EXPECT_EQ(run("fopen /c2 log.txt"), "#error: Wrong option c2 log.txt\n");
    EXPECT_EQ(run("fclose /c:9"), "#error: Unknown Channel:9\n");
    EXPECT_EQ(run("fclose /d:1"), "#error: Wrong option d:1\n");
    EXPECT_EQ(run("fclose 1\nfclose 1"), "#error: Unknown Channel:1\n");
    EXPECT_TRUE(dir->exists("out.txt"));
    EXPECT_EQ(run("fopen /c:3 /x nope/x.txt"), "#error: Unknown Option x nope/x.txt\n");
    EXPECT_EQ(run("fopen /c:3 nope/x.txt"), "#error: Can't Open:nope/x.txt\n");
    // writes that fail are told when the channel closes
    EXPECT_EQ(run("fopen /c:4 /dev/full\nfwrite /c:4 \"x\"\nfclose 4"), "#error: Can't write /dev/full\n");
}

TEST_F(Channels, AppendKeepsWhatIsThere) {
    dir->write("log.txt", "old\n");
    run("fopen /ac:2 log.txt\nfwrite /c:2 \"new\\n\"\nfclose 2");
    run("fopen /a /c:2 log.txt\nfwrite /c:2 \"more\\n\"\nfclose 2");
    EXPECT_EQ(dir->read("log.txt"), "old\nnew\nmore\n");
    run("fopen /c:3 log.txt\nfwrite /c:3 \"X\"\nfclose 3");
    EXPECT_EQ(dir->read("log.txt"), "Xld\nnew\nmore\n");   // read and write from the start
}

TEST_F(Channels, WriteFormats) {
    run("fopen /c:1 out.txt");
    EXPECT_EQ(run("fwrite /c:1 \"%5d|%-5x|%#x\\n\", 42, 255, 255"), "");
    EXPECT_EQ(run("fwrite /c:1 \"%f %e %.2f\\n\" 3, 2.5, fl"), "");
    EXPECT_EQ(run("fwrite /c:1 \"%p %#p %#08x %c\\n\" 26, 26, 255, 65"), "");
    EXPECT_EQ(run("fwrite /c:1 \"%*d|%-*d|\\n\" 4, 7, -3, 8"), "");
    run("fclose 1");
    EXPECT_EQ(dir->read("out.txt"),
              "   42|ff   |0xff\n3.000000 2.500000e+00 0.10\n26 0x1a 00000xff A\n   7|8  |\n");
}

TEST_F(Channels, WriteErrorsWriteNothing) {
    run("fopen /c:1 out.txt");
    EXPECT_EQ(run("fwrite /c:1 \"%d %d\" 1"), "#error: Format Error (or missing args) at: %d\n");
    EXPECT_EQ(run("fwrite /c:1 \"%d\" 1, 2"), "#error: Too many arguments: 2\n");
    EXPECT_EQ(run("fwrite /c:1 \"%d\" nosuch"), "#error: variable can't be accessed: nosuch\n");
    EXPECT_EQ(run("fwrite /c:1 \"%5000d\" 1"), "#error: Format Error (or missing args) at: %5000d\n");
    EXPECT_EQ(run("fwrite /c:1 \"%*d\" 5000, 1"), "#error: Format Error (or missing args) at: %*d\n");
    EXPECT_EQ(run("fwrite /c:1 \"%200f\" 1"), "#error: Format Error (or missing args) at: %200f\n");
    EXPECT_EQ(run("fwrite \"%d\" 1"), "#error:  Missing channel \n");
    EXPECT_EQ(run("fwrite /c:4 \"%d\" 1"), "#error:  Unknown Channel: 4\n");
    EXPECT_EQ(run("fwrite /c:1 %d"), "#error: Missing Format %d\n");
    EXPECT_EQ(run("fwrite /c:1 \"%d"), "#error: Invalid Format: %d\n");
    EXPECT_EQ(run("fwrite /c:1 \"ok\"; mess \"next\""), "next");
    run("fclose 1");
    EXPECT_EQ(dir->read("out.txt"), "ok");
}

TEST_F(Channels, ReadStoresThroughUpdate) {
    dir->write("in.txt", "12 -7\nabc 0x1f 077\n");
    run("fopen /c:1 in.txt");
    const std::string shown = run("fread /c:1 \"%d %d\", gi, l");
    EXPECT_EQ(getlong(fx::GI), 12u) << shown;
    EXPECT_EQ(getlong(fx::L), uint32_t(-7)) << shown;
    run("fread /c:1 \"%s %i %o\", msg[0], msg[1], msg[2], msg[3], u, us");
    EXPECT_EQ(getlong(fx::MSG), 0x61626300u);
    EXPECT_EQ(getlong(fx::U), 0x1Fu);
    EXPECT_EQ(session->target.mem.getword(fx::US), 077u);
    run("rewind 1");
    EXPECT_EQ(run("fread /c:1 \"%d\", gi, l"), "    int gi = 12 => 12\n#error: Too many arguments: l\n");
    run("rewind /c:1");
    run("fread /c:1 \"%*d%n\", gi");
    EXPECT_EQ(getlong(fx::GI), 2u);
    EXPECT_EQ(run("fread /c:1 \"%[abc\", gi"), "#error: Format Error (or missing args) at: %[abc\n");
    run("fclose 1");
}

TEST_F(Channels, RemoveAndPause) {
    dir->write("gone.txt", "x");
    EXPECT_EQ(run("remove gone.txt"), "");
    EXPECT_FALSE(dir->exists("gone.txt"));
    EXPECT_EQ(run("remove gone.txt"), "#error: Can't remove file: gone.txt\n");
    EXPECT_EQ(run("pause 20\npause"), "");
}

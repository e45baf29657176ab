// The windows bound to a debugger with the data tests' fixture program:
// address fields, fill fields, stack lines, the peek.
#include <cstdlib>
#include <sstream>

#include "datafixture.h"
#include "objdumplines.h"
#include "vek/views/machinemodel/bind.h"

using namespace vek::views;

using Bound = DataFixture;

TEST_F(Bound, AddressFields) {
    uint32_t a = 0;
    EXPECT_TRUE(readaddress(*d, "0x100", a));
    EXPECT_EQ(a, 0x100u);
    EXPECT_TRUE(readaddress(*d, "0x100+4*2", a));
    EXPECT_EQ(a, 0x108u);
    vek::defsym("window_sym", 0x1234);
    EXPECT_TRUE(readaddress(*d, "window_sym", a));
    EXPECT_EQ(a, 0x1234u);
    host.text.clear();
    EXPECT_FALSE(readaddress(*d, "0x100+", a));
    EXPECT_EQ(host.text, "#error: Can't evaluate 0x100+\n");
    EXPECT_FALSE(readaddress(*d, "", a));
}

TEST_F(Bound, FillFields) {
    struct Case { FillFields f; const char* error; } cases[] = {
        {{"", "0x10", "1"}, "#error: Wrong Start Address\n"},
        {{"0x10", "0x1g", "1"}, "#error: Wrong End Address\n"},
        {{"0x10", "0x20", "x"}, "#error: Wrong value\n"},
    };
    for (const Case& c : cases) {
        host.text.clear();
        EXPECT_FALSE(filldialog(*d, c.f));
        EXPECT_EQ(host.text, c.error);
    }
    FillFields ok{"0x50000000", "0x50000007", "0xAB"};
    EXPECT_TRUE(filldialog(*d, ok));
    EXPECT_EQ(getlong(0x50000004), 0xABABABABu);
    FillFields random{"0x50000000", "0x50000007", "", 4, false, true};
    EXPECT_TRUE(filldialog(*d, random));
}

TEST_F(Bound, StackLinesAndThePeek) {
    const auto lines = stacklines(*d);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "g()");
    EXPECT_EQ(lines[1].text, "f(a=3)");
    EXPECT_EQ(lines[1].frame, 1);
    EXPECT_EQ(d->current, 2);
    d->current = 1;   // after a frame move the window draws from there
    EXPECT_EQ(stacklines(*d).front().text, "f(a=3)");
    const MemEnv env = memenv(*d);
    const size_t pages = session->target.mem.pagecount();
    MemoryWindow w = datawindow(0x70000000, 4, FmtHex, false);
    buildmemlines(w, env);
    std::string text;
    EXPECT_GT(env.decode(0x70000000, text), 0u);
    EXPECT_EQ(session->target.mem.pagecount(), pages);
    EXPECT_EQ(w.lines[0], "70000000 00000000 00000000 ");
}

// The S-record dump read back by objcopy gives the bytes of simulated
// memory (and objcopy checks every checksum).
TEST_F(Bound, SRecordsReadBackByObjcopy) {
    if (std::system("objcopy --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "objcopy is not installed";
    const MemEnv env = memenv(*d);
    struct Range { uint32_t from, to; } ranges[] = {{0x100, 0x120}, {0xFFF0, 0x10010}, {0x1000000, 0x1000045}};
    for (const Range& r : ranges) {
        std::string want;
        for (uint32_t a = r.from; a <= r.to; ++a) {
            session->target.mem.putbyte(a, uint8_t(a * 7 + 3));
            want += char(uint8_t(a * 7 + 3));
        }
        ASSERT_TRUE(writedump("dump.S19", srecdump(env, r.from, r.to), {}));
        ASSERT_EQ(std::system("objcopy -I srec -O binary dump.S19 dump.bin"), 0);
        EXPECT_EQ(dir->read("dump.bin"), want) << std::hex << r.from;
    }
}

// A code dump has objdump's addresses, bytes and lengths.
TEST_F(Bound, CodeDumpLinesMatchObjdump) {
    if (std::system("command -v powerpc-linux-gnu-as >/dev/null && command -v powerpc-linux-gnu-objdump >/dev/null") != 0)
        GTEST_SKIP() << "GNU binutils for PowerPC are not installed";
    dir->write("code.s", "  .section .text,\"axv\"\n  se_add r3,r4\n  e_stw r0,20(r1)\n  se_mr r31,r3\n"
                         "  e_lwz r31,12(r1)\n  e_add16i r3,r3,5\n  se_li r3,1\n  se_blr\n");
    ASSERT_EQ(std::system("powerpc-linux-gnu-as -mvle -mregnames -o code.o code.s && "
                          "powerpc-linux-gnu-objcopy -O srec --change-addresses 0x3000 code.o code.srec && "
                          "powerpc-linux-gnu-objdump -d -M vle code.o > code.dis"),
              0);
    // "   0:\t18 64 \tse_add   r3,r4" -> "00003000  1864" and blanks to 18 characters
    std::vector<std::string> want;
    std::string l;
    for (const qvtest::DisLine& dl : qvtest::objdumplines(dir->read("code.dis"))) {
        char head[16];
        std::snprintf(head, sizeof head, "%08x  ", 0x3000 + dl.address);
        want.push_back(head + dl.bytes + std::string(18 - dl.bytes.size(), ' '));
    }
    ASSERT_EQ(want.size(), 7u);
    run("load code.srec");
    std::istringstream got(codedump(memenv(*d), 0x3000, 0x3012));
    for (const std::string& w : want) {
        ASSERT_TRUE(bool(std::getline(got, l)));
        EXPECT_EQ(l.substr(0, w.size()), w) << l;
        EXPECT_GT(l.size(), w.size()) << l;   // the instruction text follows
    }
    EXPECT_FALSE(bool(std::getline(got, l)));
}

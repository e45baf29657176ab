// A large generated source: the object stays the same byte for byte as the
// assembler's internals change, and its code matches the cross assembler's.
#include "asmtest.h"
#include "vlegen.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

using namespace asmtest;

namespace {
uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
    return h;
}
}  // namespace

TEST_F(AsmTest, GeneratedFileKeepsItsObject) {
    write("t.s", vlegen::source(50000, false));
    Result r = run({"-si", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err.substr(0, 400);
    std::vector<uint8_t> obj = readbytes("t.o");
    EXPECT_EQ(obj.size(), 140070u);
    EXPECT_EQ(fnv1a(obj), 0xd5f3f339b27778b7ull);
    if (std::system("command -v powerpc-linux-gnu-as >/dev/null 2>&1 && "
                    "command -v powerpc-linux-gnu-objcopy >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "powerpc-linux-gnu-as not installed";
    write("g.s", vlegen::source(50000, true));
    ASSERT_EQ(std::system("powerpc-linux-gnu-as -mvle -mregnames g.s -o g.o && "
                          "powerpc-linux-gnu-objcopy -O binary -j .text g.o g.bin"),
              0);
    EXPECT_TRUE(sectionbytes(obj, ".text") == readbytes("g.bin"));
}

TEST_F(AsmTest, LongRunOfForwardBranchesSettles) {
    // ten thousand forward conditional branches, each to the next line but
    // one: all short in a handful of passes, not a "phase error" for want
    // of one pass per run of them
    const int n = 10000;
    std::string src;
    for (int k = 0; k < n; k++) src += "L" + std::to_string(k) + ": bne L" + std::to_string(k + 1) + "\n add r3,r4\n";
    src += "L" + std::to_string(n) + ": blr\n";
    write("t.s", src);
    Result r = run({"-si", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err.substr(0, 400);
    std::vector<uint8_t> text = sectionbytes(readbytes("t.o"), ".text");
    ASSERT_EQ(text.size(), 4u * n + 2);
    bool same = true;
    for (size_t at = 4; at < 4u * n; at++) same = same && text[at] == text[at % 4];
    EXPECT_TRUE(same);
}

TEST_F(AsmTest, FileReadTwiceInAnotherStateIsScannedAnew) {
    // the second reading of inc.s is in base 16 and has its own local
    // label; the values equated after their use are not taken as constants
    write("inc.s", " li r3,10\n li r4,1$-top\n add r3,r4\n1$: blr\n");
    write("t.s", "top:\n include \"inc.s\"\n base 16\n include \"inc.s\"\n"
                 " li r5,C\n e_add16i r3,r4,C*2\nC: equ 5\n");
    Result r = run({"-si", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(hex(sectionbytes(readbytes("t.o"), ".text")),
              "48 A3 48 64 04 43 00 04 49 03 48 E4 04 43 00 04 48 55 1C 64 00 0A");
}

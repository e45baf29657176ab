// Instruction lines through the whole assembler (operand parsing, form
// choice over passes, emission) against the GNU assembler as an oracle.
#include "asmtest.h"

#include <cstdlib>

using namespace asmtest;

namespace {
const char* kAs = "powerpc-linux-gnu-as";
const char* kObjcopy = "powerpc-linux-gnu-objcopy";

bool haveoracle() {
    return std::system((std::string("command -v ") + kAs + " >/dev/null 2>&1 && command -v " + kObjcopy +
                        " >/dev/null 2>&1").c_str()) == 0;
}
}  // namespace

TEST_F(AsmTest, InstructionsMatchOracle) {
    if (!haveoracle()) GTEST_SKIP() << "powerpc-linux-gnu-as not installed";
    // ours | the oracle's spelling of the same line
    const char* lines[][2] = {
        {"back: add r3,r4", "back: se_add r3,r4"},
        {" e_add16i r3,r4,0x1200", " e_add16i r3,r4,0x1200"},
        {" li r5,100", " se_li r5,100"},
        {" li r3,0x7FFFF", " e_li r3,0x7FFFF"},
        {" lwz r3,8(r4)", " se_lwz r3,8(r4)"},
        {" lwz r3,6(r4)", " e_lwz r3,6(r4)"},
        {" stw r5,-4(r1)", " e_stw r5,-4(r1)"},
        {" b back", " se_b back"},
        {" e_bl back", " e_bl back"},
        {" beq back", " se_beq back"},
        {" e_bne back", " e_bne back"},
        {" e_lis r3,0x1234", " e_lis r3,0x1234"},
        {" e_rlwinm r3,r4,2,0,29", " e_rlwinm r3,r4,2,0,29"},
        // a forward branch takes the long form first and settles on the short one
        {" b fwd", " se_b fwd"},
        {" ds.b 100", " .space 100"},
        {"fwd: blr", "fwd: se_blr"},
    };
    std::string ours, theirs;
    for (const auto& l : lines) {
        ours += std::string(l[0]) + "\n";
        theirs += std::string(l[1]) + "\n";
    }
    write("t.s", ours);
    Result r = run({"-si", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> mine = sectionbytes(readbytes("t.o"), ".text");
    write("g.s", theirs);
    std::string cmd = std::string(kAs) + " -mvle -mregnames g.s -o g.o && " + kObjcopy + " -O binary -j .text g.o g.bin";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(hex(mine), hex(readbytes("g.bin")));
}

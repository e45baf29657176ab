// Instruction lines through the whole assembler (operand parsing, form
// choice over passes, emission) against the GNU assembler as an oracle.
#include "asmtest.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

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
        // d(r0) is the address d: never a 16-bit form, which would add r0
        {" lwz r3,8(r0)", " e_lwz r3,8(r0)"},
        {" stw r3,4(r0)", " e_stw r3,4(r0)"},
        {" lbz r4,0(r0)", " e_lbz r4,0(r0)"},
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

namespace {
// Assembles text with the oracle (and -mvle) and returns its .text bytes.
std::string oraclebytes(const std::string& text) {
    std::ofstream("g.s") << " .section .text,\"axv\"\n" << text;
    std::string cmd = std::string(kAs) + " -mvle -mregnames g.s -o g.o && " + kObjcopy + " -O binary -j .text g.o g.bin";
    if (std::system(cmd.c_str()) != 0) return "oracle failed";
    std::ifstream in("g.bin", std::ios::binary);
    return hex(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
}
}  // namespace

TEST_F(AsmTest, AbsoluteBranchTargetsInAbsoluteSection) {
    // with -a every branch form takes a plain address as its target; the
    // oracle gets the same targets written as labels
    write("t.s",
          " org 0x1000\nloop: add r3,r4\n bne loop\n beq 0x1000\n bl sub\n e_bc 0,6,0x1000\n"
          " e_beq cr1,0x1000\n b 0x1002\n se_bl 0x1000\n e_b 0x1000\n e_bl 0x11000\n bl 0x1000\n"
          " bne 0x9000\n e_bcl 1,2,0x1000\nsub: blr\n");
    Result r = run({"-a", "-si", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string mine = hex(sectionbytes(readbytes("t.o"), ".text"));
    EXPECT_EQ(mine.substr(0, 23), "04 43 E2 FF E6 FE E9 10");
    if (!haveoracle()) GTEST_SKIP() << "powerpc-linux-gnu-as not installed";
    EXPECT_EQ(mine, oraclebytes(
                                "loop: se_add r3,r4\nl2: se_bne loop\n se_beq loop\n se_bl sub\n e_bc 0,6,loop\n"
                                " e_beq cr1,loop\n se_b l2\n se_bl loop\n e_b loop\n e_bl loop+0x10000\n se_bl loop\n"
                                " e_bne loop+0x8000\n e_bcl 1,2,loop\nsub: se_blr\n"));
}

TEST_F(AsmTest, ManyBranchesSettleOnShortestForms) {
    // 500 branches to labels near and far: the passes settle, every branch
    // lands on its label, and a long form is kept only where the short one
    // cannot reach
    const int n = 500;
    std::vector<int> target(n);
    uint32_t lcg = 12345;
    std::string src;
    for (int i = 0; i < n; ++i) {
        lcg = lcg * 1103515245u + 12345u;
        int span = (lcg >> 16) % 3 == 0 ? n : 120;
        int t = i + static_cast<int>((lcg >> 4) % (2 * span)) - span;
        target[i] = t < 0 ? 0 : t >= n ? n - 1 : t;
        src += "L" + std::to_string(i) + ": b L" + std::to_string(target[i]) + "\n";
    }
    write("t.s", src);
    Result r = run({"-si", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> text = sectionbytes(readbytes("t.o"), ".text");
    std::vector<uint32_t> addr;
    std::vector<int32_t> disp;
    std::string theirs;
    for (size_t at = 0; at < text.size();) {
        addr.push_back(static_cast<uint32_t>(at));
        if (text[at] == 0xE8) {
            ASSERT_LT(at + 1, text.size());
            disp.push_back(static_cast<int8_t>(text[at + 1]) * 2);
            at += 2;
        } else {
            ASSERT_EQ(text[at] & 0xFE, 0x78) << "at " << at;
            ASSERT_LE(at + 4, text.size());
            uint32_t w = uint32_t(text[at]) << 24 | uint32_t(text[at + 1]) << 16 | uint32_t(text[at + 2]) << 8 | text[at + 3];
            uint32_t d = w & 0x01FFFFFEu;
            disp.push_back(static_cast<int32_t>(d & 0x01000000u ? d | 0xFE000000u : d));
            EXPECT_TRUE(disp.back() < -256 || disp.back() > 254) << "long form kept at " << at;
            at += 4;
        }
        size_t i = addr.size() - 1;
        theirs += "L" + std::to_string(i) + ": " + (at - addr.back() == 2 ? "se_b" : "e_b") + " L" +
                  std::to_string(i < target.size() ? target[i] : 0) + "\n";
    }
    ASSERT_EQ(addr.size(), static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) EXPECT_EQ(addr[i] + static_cast<uint32_t>(disp[i]), addr[target[i]]) << "branch " << i;
    if (!haveoracle()) GTEST_SKIP() << "powerpc-linux-gnu-as not installed";
    EXPECT_EQ(hex(text), oraclebytes(theirs));
}

struct InsnError {
    const char* line;
    const char* message;
};
class InstructionErrors : public AsmTest, public ::testing::WithParamInterface<InsnError> {};

TEST_P(InstructionErrors, ExitOneWithoutObject) {
    write("t.s", std::string("x: blr\n") + GetParam().line + "\n");
    Result r = run({"t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("#error cappc t.s:2\t") + GetParam().message + "\n");
    EXPECT_FALSE(exists("t.o"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstructionErrors,
    ::testing::Values(InsnError{" e_beq cr4,x", "bad register"}, InsnError{" e_bc 0,16,x", "value too large"},
                      InsnError{" se_mfar r3,r3", "bad addressing mode"},
                      InsnError{" se_mtar r24,r3", "bad addressing mode"},
                      InsnError{" li r3,0x80000", "value too large"}, InsnError{" li r3,-0x80001", "value too large"},
                      InsnError{" la r3,0x80000", "value too large"},
                      InsnError{" e_add2i r3,0x100", "e_add2i must be written e_add2i."},
                      InsnError{" e_and2is r3,0x100", "e_and2is must be written e_and2is."},
                      InsnError{" fadd r1,r2,r3", "fadd is not a VLE instruction"}));

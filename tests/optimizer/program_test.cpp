// The coppc program: its command line, failures, the two count-down lines
// (the optimizer's line and .info block), and lines that must come out as
// they went in: outside code, long lines, CR LF files, unterminated lines.
#include <sys/stat.h>

#include "harness.h"
#include "platform/interrupt.h"

namespace {

using opttest::ScratchTest;

class Program : public ScratchTest {};

const char* const kHeading =
    "; C Compiler for PowerPC VLE (ORBELT Software)\n"
    "; Parser V4.10.10 - 24 Aug 2012\n"
    "; Generator V4.3.6 - 02 Oct 2012\n"
    "\t.info\t\"cpppc V4.10.10:\"\n"
    "\t.info\n"
    "\t.info\t\"cgppc V4.3.6:\"\n"
    "\t.info\n";

const char* const kOptimizerLine = "; Optimizer V4.3.6 - 02 Oct 2012\n";

std::string headingwithinfo(const std::string& info) {
    std::string h = kHeading;
    size_t third = 0;
    for (int k = 0; k < 3; ++k) third = h.find('\n', third) + 1;
    h.insert(third, kOptimizerLine);
    size_t second = h.rfind("\t.info\n");
    h.insert(second, info);
    return h;
}

// Code outside a function: nothing looks at it, not even a conditional
// loop or a branch to a name nowhere defined.
const std::string kOutsideCode =
    "\tlwz r3,0(r3) ; outside code stays as written\n"
    "\taddi r3,1\n"
    "L1:\tsubi. r4,r4,1\n"
    "\tbne L1\n"
    "\tbeq L99\n"
    "\tblr\n";

TEST_F(Program, FileWithoutFunctionsComesOutWhole) {
    std::string longline = "\tdc.b\t" + std::string(2000, '7');
    std::string input = std::string(kHeading) +
                        "XL:\n"
                        "\tdc.l\t1\n"
                        "XL:\n"
                        "\n" +
                        longline + "\n" + kOutsideCode +
                        "windows:\r\n"
                        "\tli\tr3,5\r\n"
                        "\tend";
    write("in.s", input);
    opttest::Result r = coppc({"-o", "out.s", "in.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string expected = headingwithinfo("\t.info\n\t.info\t\"coppc V4.3.6:\"\n") +
                           "\tdc.l\t1\n" + longline + "\n" + kOutsideCode +
                           "windows:\n"
                           "\tli\tr3,5\n"
                           "\tend\n";
    EXPECT_EQ(read("out.s"), expected);
}

TEST_F(Program, StatisticsAndInfoRecords) {
    write("in.s", kHeading);
    opttest::Result r = coppc({"-v", "-c", "-x", "-d", "m0,M2 t0 z9\"q8", "-o", "out.s", "in.s"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "opt: 0 destructions, 0 modifications\n");
    EXPECT_EQ(read("out.s"), headingwithinfo("\t.info\n"
                                             "\t.info\t\"coppc V4.3.6:\"\n"
                                             "\t.info\t\" -c\"\n"
                                             "\t.info\t\" -d m0,M2,t0\"\n"
                                             "\t.info\t\" -x\"\n"));
    // standard output without -o
    r = coppc({"in.s"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, headingwithinfo("\t.info\n\t.info\t\"coppc V4.3.6:\"\n"));
}

TEST_F(Program, DisableSwitches) {
    opt::Optimizer o;
    opt::parsedisable(o, "m0M0,b3 z9 a2 m8 7t");
    for (const char* code : {"M0", "B3", "Z9", "A2"}) EXPECT_EQ(o.disabled(code), std::string(code) != "Z9") << code;
    EXPECT_FALSE(o.disabled("M8"));
    EXPECT_FALSE(o.disabled("T0"));
    EXPECT_FALSE(o.disabled("M1"));
    EXPECT_EQ(o.disable[12], 1);
    EXPECT_EQ(opt::disablepairs("m0M2,t0 z7 q9 \"x"), "m0,M2,t0,z7");
}

TEST_F(Program, Failures) {
    opttest::Result r = coppc({"nosuch.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "coppc: can't open nosuch.s\n");

    r = coppc({"-v"});   // no file: nothing to do
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");

    write("in.s", std::string(kHeading) + "\tdc.l\t1\n");
    r = coppc({"-o", "/dev/full", "in.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "coppc: can't write /dev/full\n");
    struct stat st {};
    EXPECT_EQ(::stat("/dev/full", &st), 0);   // a device is never removed

    r = coppc({"-o", "nodir/out.s", "in.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "coppc: can't create nodir/out.s\n");

    write("bad.s", std::string(kHeading) +
                       "_f:\nFL:\n\tcmpi\tr3,0\n\tbeq\tL99\n\tblr\nFL:\n"
                       "_g:\nFL:\n\tblr\nFL:\n");
    r = coppc({"-o", "out.s", "bad.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "coppc: bad branch label L99\n");
    EXPECT_FALSE(exists("out.s"));
}

TEST_F(Program, FunctionsLoseTheirMarkersAndUnusedLabels) {
    write("in.s", std::string(kHeading) +
                      "\tswitch\t.vtext\n"
                      "_f:\n"
                      "FL:\n"
                      "\t.dline\t\"a.c:3\"\n"
                      "\tlwz\tr3,0(r4)\n"
                      "VL:\n"
                      "L3:\n"
                      "L5:\n"
                      "\tcmpi\tr3,0\n"
                      "\tbeq\tL5\n"
                      "\tbne\tL3\n"
                      "\tdc.l\tL5\n"
                      "L7:\n"
                      "LL9:\n"
                      "L11:\taddi\tr3,r3,1\n"
                      "\tuse\t(r3)\n"
                      "\tblr\n"
                      "FL:\n"
                      "\t.dendfn\t\"a.c:9-9\"\n");
    opttest::Result r = coppc({"-c", "-o", "out.s", "in.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("out.s"), headingwithinfo("\t.info\n\t.info\t\"coppc V4.3.6:\"\n\t.info\t\" -c\"\n") +
                                 "\tswitch\t.vtext\n"
                                 "_f:\n"
                                 "\t.dline\t\"a.c:3\"\n"
                                 "\tlwz\tr3,0(r4)\n"
                                 "L3:\n"
                                 "\tcmpi\tr3,0\n"
                                 "\tbeq\tL3\n"
                                 "\tbne\tL3\n"
                                 "\tdc.l\tL3\n"
                                 "LL9:\n"
                                 "L11:\n"
                                 "\taddi\tr3,r3,1\n"
                                 "\tblr\n"
                                 "\t.dendfn\t\"a.c:9-9\"\n");
}

TEST_F(Program, DebugLinesInsideAFunctionAreLeftAlone) {
    write("in.s", "_f:\nFL:\n\tli\tr3,1\n\tswitch\t.debug\nXL:\nL77:\n\tdc.b\t1\nXL:\n\tswitch\t.vtext\n"
                  "\tuse\t(r3)\n\tblr\nFL:\n");
    opttest::Result r = coppc({"-o", "out.s", "in.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("out.s"), "_f:\n\tli\tr3,1\n\tswitch\t.debug\nL77:\n\tdc.b\t1\n\tswitch\t.vtext\n\tblr\n");
}

TEST_F(Program, InterruptLeavesNoOutput) {
    write("in.s", std::string(kHeading) + "_f:\nFL:\n\tblr\nFL:\n_g:\nFL:\n\tblr\nFL:\n");
    platform::raiseinterrupt();
    opttest::Result r = coppc({"-o", "out.s", "in.s"});
    platform::resetinterrupt();
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(exists("out.s"));
}

}  // namespace

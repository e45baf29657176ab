// Object files written by the assembler itself: absolute sections with
// -x debug records load with their summary, symbols and line ranges.
#include <cstdlib>
#include <fstream>

#include "harness.h"
#include "vek/core/debuginfo/lookup.h"

namespace {

TEST(Assembler, AbsoluteSectionsWithXRecords) {
#ifndef CAPPC_PATH
    GTEST_SKIP() << "the assembler is not part of this build";
#else
    std::string src = temppath("abs.s"), obj = temppath("abs.o");
    std::ofstream(src) << "\txdef\t_main\n"
                          "\torg\t$1000\n"
                          "_main:\tdc.w\t$4400\n"
                          "\tdc.w\t$4400\n"
                          "\tswitch\t.data\n"
                          "\torg\t$40000000\n"
                          "_var:\tdc.l\t1,2\n"
                          "\tswitch\t.text\n"
                          "\tdc.w\t$4400\n";
    std::string cmd = std::string(CAPPC_PATH) + " -a -x -pl -o " + obj + " " + src;
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "the assembler cannot assemble the fixture yet";

    Harness h;
    vek::LoadOutcome r = vek::loadprogram(h.env, obj, nullptr, true, false);
    ASSERT_TRUE(r.ok) << h.rep.err;
    EXPECT_EQ(h.rep.out, "    T: 0x1000 (6)  D: 0x40000000 (8)\nentry point at 0x1000\n");
    EXPECT_EQ(h.memory(0x1000, 6), (std::vector<uint8_t>{0x44, 0, 0x44, 0, 0x44, 0}));
    EXPECT_EQ(h.memory(0x40000000, 8), (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 2}));
    EXPECT_EQ(*h.syms.findsym("_main"), 0x1000u);
    EXPECT_EQ(*h.syms.findsym("_var"), 0x40000000u);
    EXPECT_EQ(h.mem.pc, 0x1000u);

    const vek::DebugInfo& di = h.prog.debug;
    ASSERT_EQ(di.files.size(), 1u);
    EXPECT_EQ(di.files[0]->name.substr(di.files[0]->name.size() - 5), "abs.s");
    EXPECT_EQ(di.files[0]->lastline, 9u);
    const vek::LineRecord* start = vek::findstmtat(di, 0x1000);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->kind, vek::kind::Start);
    ASSERT_TRUE(start->owner);
    EXPECT_EQ(start->owner->name, "");
    EXPECT_EQ(vek::islinestart(di, 0x1002), 1);
    EXPECT_EQ(vek::islinestart(di, 0x0FFE), 0);
#endif
}

}  // namespace

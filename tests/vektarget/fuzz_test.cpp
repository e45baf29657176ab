// Random instruction words from random register states (bounded): the
// executor never crashes or trips the sanitizers, an instruction either runs
// (counted, pc moved) or stops as illegal (nothing changed), and it agrees
// with the disassembler on the length and on whether the word decodes at
// all, so the debugger never shows "????" for a word the simulator runs.
#include <gtest/gtest.h>

#include <random>

#include "vek/core/decode/decode.h"
#include "vek/core/exec/simtarget.h"
#include "vek/core/exec/insntable.h"

using namespace vek;

namespace {

struct FuzzCase {
    const char* name;
    uint32_t vle;  // VLE boundary
};

class Fuzz : public ::testing::TestWithParam<FuzzCase> {};

TEST_P(Fuzz, RandomWordsRunOrStop)
{
    const uint32_t vle = GetParam().vle;
    std::mt19937 rng(4242 + vle);
    SimTarget t;
    RegisterFile& regs = t.regs;
    Memory& mem = t.mem;
    Executor& x = t.exec;
    const uint32_t& time = t.time;
    x.setvleboundary(vle);
    DecodeEnv env;
    env.vleboundary = vle;
    env.gethalf = [&mem](uint32_t a) { return mem.getword(a); };
    env.getword = [&mem](uint32_t a) { return mem.getlong(a); };
    constexpr uint32_t At = 0x10000;  // code; data goes anywhere but here
    int executed = 0;
    for (int n = 0; n < 5000; n++) {
        uint32_t word = rng();
        // Short values and awkward operands are where the faults are.
        static const uint32_t special[] = {0, 1, 31, 32, 63, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
        for (unsigned r = 0; r < RegCount; r++)
            regs.core0()[r] = rng() % 4 == 0 ? special[rng() % std::size(special)] : uint32_t(rng());
        mem.putlong(At, word);
        regs.setpc(At);
        uint32_t before = time;
        char text[512];
        Decoded d;
        unsigned len = decodeinsn(env, At, DecodeText, text, d);
        Insn mine = x.decode(At);
        StepResult s = x.step();
        if (s == StepResult::Done) {
            executed++;
            ASSERT_NE(d.row, nullptr) << std::hex << word << " runs but shows as " << text;
            const RowEncoding& e = rowencoding(mine.row);
            EXPECT_EQ(d.row->mask & e.mask, e.mask) << std::hex << word << " runs as " << Executor::mnemonic(mine) << " but shows as " << text;
            EXPECT_GE(time, before + 1);
        } else {
            EXPECT_EQ(regs.getpc(), At) << std::hex << word;
            EXPECT_EQ(time, before);
        }
        EXPECT_EQ(len, mine.len) << std::hex << word << " " << text;
        if (HasFailure()) break;
    }
    EXPECT_GT(executed, 1000);
}

const FuzzCase fuzz_cases[] = {{"classic", 0xFFFFFFFF}, {"vle", 0}};

INSTANTIATE_TEST_SUITE_P(Sets, Fuzz, ::testing::ValuesIn(fuzz_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

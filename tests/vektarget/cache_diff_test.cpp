// The decoded-instruction cache against no cache (bounded): random programs
// whose registers point into their own code, so their stores rewrite code
// ahead of them and across the page boundary, run once from the cache and
// once decoded afresh at every step (as with access checks on). Registers,
// counters and memory must end the same.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "vek/core/exec/simtarget.h"

using namespace vek;

namespace {

constexpr uint32_t Code = 0x11C0, CodeBytes = 0x80;  // straddles 0x1200

// A fresh target; without a bound point check, the check flag only sends
// every fetch through memory.
struct Machine : SimTarget {
    Machine(uint32_t vle, bool cached)
    {
        exec.setvleboundary(vle);
        mem.checkflag = !cached;
    }
};

// Random classic words, mostly of opcodes that run (arithmetic, logic,
// stores that can hit the code, short branches); VLE code is random bytes.
uint32_t classicword(std::mt19937& rng)
{
    static const uint32_t ops[] = {14, 15, 24, 21, 36, 37, 38, 44, 47, 31, 31, 16, 18};
    uint32_t op = ops[rng() % std::size(ops)], w = rng() & 0x03FFFFFF;
    int32_t off = int32_t(rng() % 64) * 4 - 128;
    if (op >= 36) w = (w & 0x03FF0000) | (uint32_t(off / 4) & 0xFFFF);  // near the base
    if (op == 16) w = (w & 0x03FF0003) | (uint32_t(off) & 0xFFFC);
    if (op == 18) w = (uint32_t(off) & 0x03FFFFFC) | (w & 1);
    return op << 26 | w;
}

class CacheDiff : public ::testing::TestWithParam<uint32_t> {};

TEST_P(CacheDiff, SameAsDecodingEveryStep)
{
    const uint32_t vle = GetParam();
    std::mt19937 rng(99 + vle);
    for (int prog = 0; prog < 300; prog++) {
        std::vector<uint8_t> code(CodeBytes);
        for (uint8_t& b : code) b = uint8_t(rng());
        if (vle) {
            for (uint32_t k = 0; k < CodeBytes; k += 4) {
                uint32_t w = classicword(rng);
                for (int j = 0; j < 4; j++) code[k + j] = uint8_t(w >> (24 - 8 * j));
            }
        }
        RegisterBlock start;
        for (unsigned r = 0; r < 32; r++) start.word[r] = Code - 8 + rng() % (CodeBytes + 16);
        start.word[RegCr - 1] = rng(), start.word[RegXer - 1] = rng() & 0xE000007F;
        start.word[RegPc - 1] = Code + (rng() % CodeBytes & (vle ? ~3u : ~1u));
        Machine a(vle, true), b(vle, false);
        for (Machine* m : {&a, &b}) {
            m->mem.putmem(Code, code.data(), code.size());
            m->regs.putregs(&start);
            m->exec.run(1);  // decoded (and cached) once before the code changes
            m->regs.putregs(&start);
            m->exec.run(200);
        }
        ASSERT_EQ(std::memcmp(&a.regs.bank[0], &b.regs.bank[0], sizeof(RegisterBlock)), 0) << "program " << prog;
        EXPECT_EQ(a.time, b.time);
        EXPECT_EQ(a.nbins, b.nbins);
        std::vector<uint8_t> ma(CodeBytes + 64), mb(CodeBytes + 64);
        a.mem.getmem(ma.data(), Code - 32, ma.size());
        b.mem.getmem(mb.data(), Code - 32, mb.size());
        ASSERT_EQ(ma, mb) << "program " << prog;
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, CacheDiff, ::testing::Values(0xFFFFFFFFu, 0u),
                         [](const auto& info) { return std::string(info.param ? "classic" : "vle"); });

}  // namespace

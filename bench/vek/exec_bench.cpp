// Executor speed: a bitwise CRC-32 over 4 KiB of simulated memory, in
// classic code, reported as simulated instructions per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "vek/core/exec/exec.h"

namespace {

constexpr uint32_t dform(uint32_t op, uint32_t rt, uint32_t ra, int32_t d)
{
    return op << 26 | rt << 21 | ra << 16 | (uint32_t(d) & 0xFFFF);
}
constexpr uint32_t xform(uint32_t xo, uint32_t rs, uint32_t ra, uint32_t rb)
{
    return 31u << 26 | rs << 21 | ra << 16 | rb << 11 | xo << 1;
}
constexpr uint32_t bc(uint32_t bo, uint32_t bi, int32_t bd) { return 16u << 26 | bo << 21 | bi << 16 | (uint32_t(bd) & 0xFFFC); }
constexpr uint32_t rlwinm(uint32_t rs, uint32_t ra, uint32_t sh, uint32_t mb, uint32_t me)
{
    return 21u << 26 | rs << 21 | ra << 16 | sh << 11 | mb << 6 | me << 1;
}

constexpr uint32_t Code = 0x1000, Data = 0x10000, Bytes = 4096;

// r3 crc, r4 pointer, r5 count, r6 polynomial, r7 byte, r8 bit count, r9 low bit
const std::vector<uint32_t> crc_code = {
    dform(15, 6, 0, 0xEDB8),        // lis r6,0xEDB8
    dform(24, 6, 6, 0x8320),        // ori r6,r6,0x8320
    dform(34, 7, 4, 0),             // loop: lbz r7,0(r4)
    xform(316, 3, 3, 7),            // xor r3,r3,r7
    dform(14, 8, 0, 8),             // li r8,8
    dform(28, 3, 9, 1),             // inner: andi. r9,r3,1
    rlwinm(3, 3, 31, 1, 31),        // srwi r3,r3,1
    bc(12, 2, 8),                   // beq skip
    xform(316, 3, 3, 6),            // xor r3,r3,r6
    dform(13, 8, 8, -1),            // skip: addic. r8,r8,-1
    bc(4, 2, -20),                  // bne inner
    dform(14, 4, 4, 1),             // addi r4,r4,1
    dform(13, 5, 5, -1),            // addic. r5,r5,-1
    bc(4, 2, -44),                  // bne loop
    0,                              // no instruction: the run stops here
};

uint32_t hostcrc(const std::vector<uint8_t>& data)
{
    uint32_t crc = 0xFFFFFFFF;
    for (uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; k++) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

void crc32_loop(benchmark::State& state)
{
    vek::RegisterFile regs;
    vek::Memory mem;
    vek::Executor x(regs, mem);
    uint32_t time = 0, nbins = 0;
    x.time = &time;
    x.nbins = &nbins;
    x.setvleboundary(0xFFFFFFFF);
    uint32_t at = Code;
    for (uint32_t w : crc_code) mem.putlong(at, w), at += 4;
    std::vector<uint8_t> data(Bytes);
    for (uint32_t k = 0; k < Bytes; k++) data[k] = uint8_t(k * 131 + (k >> 7));
    mem.putmem(Data, data.data(), data.size());
    const uint32_t end = at - 4;
    uint64_t executed = 0;
    for (auto _ : state) {
        uint32_t* r = regs.core0();
        r[3] = 0xFFFFFFFF, r[4] = Data, r[5] = Bytes;
        regs.setpc(Code);
        while (regs.getpc() != end) executed += x.run(UINT64_MAX);
    }
    if (regs.core0()[3] != hostcrc(data)) state.SkipWithError("wrong CRC");
    state.SetItemsProcessed(int64_t(executed));
}

}  // namespace

BENCHMARK(crc32_loop)->Unit(benchmark::kMillisecond);

// Rate of getlong over a working set that fits the page frames and over one
// that keeps the swap file busy.
#include <benchmark/benchmark.h>

#include "vek/core/target/memory.h"

namespace {

void getlong_over(benchmark::State& state)
{
    vek::Memory mem;
    const uint32_t bytes = uint32_t(state.range(0));
    for (uint32_t a = 0; a < bytes; a += 4) mem.putlong(0x10000 + a, a);
    uint32_t a = 0, sum = 0;
    for (auto _ : state) {
        sum += mem.getlong(0x10000 + a);
        a = (a + 4 * 37) % bytes & ~3u;  // stride across pages
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

// 32 KiB fits the 124 frames; 256 KiB does not.
BENCHMARK(getlong_over)->Arg(32 << 10)->Arg(256 << 10);

// Rate of getlong over working sets: in the default pool every page stays
// resident and the host cache answers; in the small pool of 124 frames a
// 256 KiB working set keeps the swap file busy.
#include <benchmark/benchmark.h>

#include "vek/core/target/memory.h"

namespace {

void getlong_over(benchmark::State& state)
{
    vek::Memory mem;
    if (state.range(1)) mem.setframelimit(vek::SmallFrameCount);
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

// Arguments: working set in bytes, small pool.
BENCHMARK(getlong_over)->Args({32 << 10, 0})->Args({256 << 10, 0})->Args({64 << 20, 0})->Args({32 << 10, 1})->Args({256 << 10, 1});

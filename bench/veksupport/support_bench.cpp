// The formatter (every listing and register line), the cycle-callback walk
// and the point check (every simulated step), and symbol lookups.
#include <benchmark/benchmark.h>

#include <string>

#include "vek/command/point/point.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/format.h"
#include "vek/core/support/symbols.h"

namespace {

void ListingLine(benchmark::State& state) {
    char buf[128];
    const char* text = "se_addi r3,1";
    for (auto _ : state) {
        int32_t n = vek::fmtbuf(buf, sizeof buf, "    0x%+0nhl %+02hi%+02hi  %p\n", 8, 0x4000123Cu, 0x1c, 0x63, text);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(ListingLine);

void FixedField(benchmark::State& state) {
    char buf[160];
    double x = 8.2;
    for (auto _ : state) {
        int32_t n = vek::fmtbuf(buf, sizeof buf, "%.6f %.3d", x, x);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(FixedField);

uint32_t seen = 0;
void cycle(uint32_t cycles) { seen = cycles; }

void StepHooks(benchmark::State& state) {
    vek::resetcallbacks();
    vek::resetsymbols();
    vek::resetpoints();
    vek::defsym(".time", 0);
    vek::defsym(".btime", 0xFFFFFFFF);
    for (int i = 0; i < state.range(0); ++i) vek::RegisterCBFunction(cycle);
    for (auto _ : state) {
        ++*vek::symtab().time;
        vek::clearhit();
        benchmark::DoNotOptimize(vek::chkpoints(0x1000, vek::PointExec));
        vek::firecyclecbs();
    }
    vek::resetcallbacks();
}
BENCHMARK(StepHooks)->Arg(0)->Arg(4);

void SymbolBelow(benchmark::State& state) {
    vek::resetsymbols();
    for (int i = 0; i < state.range(0); ++i) vek::defsym("f" + std::to_string(i), static_cast<uint32_t>(i) * 16);
    uint32_t address = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vek::symbelow(address));
        address = (address + 97) % static_cast<uint32_t>(state.range(0) * 16);
    }
    vek::resetsymbols();
}
BENCHMARK(SymbolBelow)->Arg(1000);

}  // namespace

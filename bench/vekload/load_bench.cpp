// Loading a program of 10,000 source lines (object reader, debug records,
// tables) and the lookups that run after every simulated instruction.
#include <benchmark/benchmark.h>

#include "objwriter.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/loader/ports.h"

namespace {

std::vector<uint8_t> bigobject(uint32_t lines) {
    fixture::Object o;
    o.sections.push_back({".text", 0xD6, 0x1000, 0x1000, std::vector<uint8_t>(4 * lines, 0x44)});
    for (uint32_t f = 0; f < lines / 10; ++f) {
        std::string name = "f" + std::to_string(f);
        uint32_t a = 0x1000 + 40 * f;
        o.symbols.push_back({a, 0x05, 1, "_" + name});
        o.debug.push_back({a, 0x20, 1, "big.c~" + name + ":" + std::to_string(10 * f + 1)});
        for (uint32_t i = 0; i < 10; ++i) o.debug.push_back({a + 4 * i, 0x08, 1, "big.c:" + std::to_string(10 * f + i + 1)});
        o.debug.push_back({a + 40, 0x10, 1, "big.c~" + name + ":"});
    }
    return o.bytes();
}

void LoadTenThousandLines(benchmark::State& state) {
    std::vector<uint8_t> image = bigobject(10000);
    for (auto _ : state) {
        vek::Program prog;
        vek::PagedMemory mem;
        vek::SymbolList syms;
        vek::CaptureReport rep;
        vek::LoadEnv env{prog, mem, syms, rep};
        vek::loadimage(env, "big.o", image);
        vek::LoadOutcome r = vek::finishload(env, nullptr, true, false);
        benchmark::DoNotOptimize(r.ok);
    }
}
BENCHMARK(LoadTenThousandLines)->Unit(benchmark::kMillisecond);

struct Loaded {
    vek::Program prog;
    vek::PagedMemory mem;
    vek::SymbolList syms;
    vek::CaptureReport rep;
    Loaded() {
        vek::LoadEnv env{prog, mem, syms, rep};
        vek::loadimage(env, "big.o", bigobject(10000));
        vek::finishload(env, nullptr, true, false);
    }
};

void StepLookups(benchmark::State& state) {
    static Loaded l;
    uint32_t pc = 0x1000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vek::findstmtat(l.prog.debug, pc));
        benchmark::DoNotOptimize(vek::findlineat(l.prog.debug, pc));
        vek::profilestep(l.prog.debug, pc, 0, 1);
        pc = 0x1000 + (pc * 2654435761u) % 40000;
    }
}
BENCHMARK(StepLookups);

}  // namespace

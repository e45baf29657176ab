// Variable trees over arrays of 1,000 and 100,000 elements: expanding plus
// the first page of texts, scrolling a page, and the refresh after a step
// should cost the same for both (they touch only the visible rows). And the
// per-step aggregate test with and without aggregate windows open.
#include <benchmark/benchmark.h>

#include "vek/views/varmodel/varwins.h"

namespace {

constexpr int Page = 40;

vek::VarSource source() {
    return {[](uint32_t a) { return uint8_t(a); }, [](uint32_t, uint8_t) { return 0u; }, 4};
}

vek::VarRecord array(uint32_t n) {
    vek::VarRecord v;
    v.name = "big";
    v.type = (3u << 30) | 24;
    v.sclass = 1;
    v.desc.steps = {n};
    return v;
}

void page(vek::VarTree& t, vek::VarTree::Node* n, int first) {
    for (int i = first; i < first + Page && i < t.rowcount(n); ++i) benchmark::DoNotOptimize(t.text(t.child(n, i)));
}

void ExpandFirstPage(benchmark::State& state) {
    vek::VarRecord v = array(uint32_t(state.range(0)));
    for (auto _ : state) {
        vek::VarTree t(vek::TreeKind::Browser, source());
        auto* n = t.add(v, 0x1000);
        t.expand(n);
        page(t, n, 0);
    }
}

void ScrollPage(benchmark::State& state) {
    vek::VarRecord v = array(uint32_t(state.range(0)));
    vek::VarTree t(vek::TreeKind::Browser, source());
    auto* n = t.add(v, 0x1000);
    t.expand(n);
    int first = 0;
    for (auto _ : state) {
        first = (first + Page) % int(state.range(0) - Page);
        page(t, n, first);
        state.PauseTiming();
        t.refresh();
        state.ResumeTiming();
    }
}

void RefreshAfterStep(benchmark::State& state) {
    vek::VarRecord v = array(uint32_t(state.range(0)));
    vek::VarTree t(vek::TreeKind::Browser, source());
    auto* n = t.add(v, 0x1000);
    t.expand(n);
    page(t, n, 0);
    for (auto _ : state) {
        t.refresh();
        page(t, n, 0);
    }
}

void DropStructWins(benchmark::State& state) {
    vek::AggregateWindows wins;
    vek::VarRecord v = array(4);
    for (int i = 0; i < state.range(0); ++i) wins.show(v, 0x1000, "a", 0, source(), nullptr)->setauto(false);
    for (auto _ : state) wins.drop();
}

}  // namespace

BENCHMARK(ExpandFirstPage)->Arg(1000)->Arg(100000);
BENCHMARK(ScrollPage)->Arg(1000)->Arg(100000);
BENCHMARK(RefreshAfterStep)->Arg(1000)->Arg(100000);
BENCHMARK(DropStructWins)->Arg(0)->Arg(4);

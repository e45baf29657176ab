// An event condition evaluated at every pass: frame locals, a pointer to a
// struct member, a comparison chain (at least 500,000 a second wanted).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "fxobject.h"
#include "vek/command/expr/expr.h"
#include "vek/core/session/session.h"

namespace {

void Condition(benchmark::State& state) {
    std::string path = "/tmp/vekexpr_bench_" + std::to_string(getpid()) + ".o";
    fixture::writefile(path, fx::object());
    auto session = vek::freshsession();
    bool loaded = vek::loadprogram(session->loadenv, path, nullptr, true, false).ok;
    std::remove(path.c_str());
    if (!loaded) {
        state.SkipWithError("fixture does not load");
        return;
    }
    vek::resetexpr();
    vek::bindexpr(*session);
    vek::FrameView mainframe{vek::findfunc(session->prog.debug, "main", nullptr), nullptr, 2, true, fx::MainBase};
    vek::exprenv().frames = {[](int c) { return c == 0 ? 1 : 0; }, [&](int, int) { return mainframe; },
                             [](int c) { return c == 0 ? 0 : -1; }, [](int, int) {}};
    session->target.mem.putlong(fx::MainBase - 8, 5);        // i
    session->target.mem.putlong(fx::MainBase - 12, fx::PT);  // p
    session->target.mem.putlong(fx::PT, 3);                  // p->x
    uint32_t value = 0;
    for (auto _ : state) {
        const char* text = "i < 10 && p->x == 3";
        int error = 0;
        vek::ExprPtr v(vek::xexpr(text, error, 1));
        value += v->u32();
    }
    if (value != state.iterations()) state.SkipWithError("condition is not true");
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(Condition);

}  // namespace

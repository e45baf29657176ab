// A 100,000-line C file (about 3 MB): colouring it once (0.3 s at most),
// laying out one 50-line page at lines 1, 50,000 and 99,990 (within 2x of
// each other: the cost follows the page, not the file), and a search of the
// whole file that finds nothing (50 ms at most).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "vek/views/model/listtext.h"
#include "vek/views/model/search.h"
#include "vek/views/model/srcfile.h"

namespace {

const std::string& bigfile() {
    static const std::string text = [] {
        std::string t;
        for (int i = 0; i < 100000; ++i)
            t += i % 10 == 0 ? "/* a comment, line " + std::to_string(i) + " */\n"
                             : "\tint v" + std::to_string(i) + " = abs (n) + \"t\";\n";
        return t;
    }();
    return text;
}

const vek::views::TextBuffer& coloured() {
    static const vek::views::TextBuffer buffer = [] {
        vek::views::TextBuffer b;
        b.assign(vek::views::colorc(bigfile(), {}));
        b.reindex();
        return b;
    }();
    return buffer;
}

void Colour(benchmark::State& state) {
    vek::views::ColorNames names;
    for (auto _ : state) {
        vek::views::TextBuffer b;
        b.assign(vek::views::colorc(bigfile(), names));
        b.reindex();
        benchmark::DoNotOptimize(b.lines());
    }
    state.SetLabel(std::to_string(bigfile().size()) + " bytes");
}
BENCHMARK(Colour)->Unit(benchmark::kMillisecond);

void Page(benchmark::State& state) {
    const auto& b = coloured();
    const int first = std::min(int(state.range(0)), b.lines() - 49);
    for (auto _ : state) {
        size_t cells = 0;
        for (int line = first; line < first + 50 && line <= b.lines(); ++line)
            for (auto& run : vek::views::layoutline(b.line(line), 0)) cells += run.text.size();
        benchmark::DoNotOptimize(cells);
    }
}
BENCHMARK(Page)->Arg(1)->Arg(50000)->Arg(99990)->Unit(benchmark::kMicrosecond);

void SearchMiss(benchmark::State& state) {
    const auto& b = coloured();
    vek::views::SearchLines lines{b.lines(), [&](int n) { return vek::views::visibletext(b.line(n)); }};
    for (auto _ : state) {
        vek::views::SearchRecord r;
        r.hastext = true, r.text = "no such text";
        benchmark::DoNotOptimize(vek::views::searchnext(r, lines));
    }
}
BENCHMARK(SearchMiss)->Unit(benchmark::kMillisecond);

}  // namespace

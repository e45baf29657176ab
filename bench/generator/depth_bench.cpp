// Expression statements of growing depth under register pressure: a full
// tree of depth d over eight locals, the operators alternating between *
// and +, so that every level keeps values live while the other side is
// computed and the deeper levels must spill. The time per leaf must stay
// flat as d grows (the four evaluation orders tried at every level must not
// multiply with the depth).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "generator/gen.h"
#include "toollib/ir/ir.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace {

std::string tree(int depth, int& leaf) {
    if (depth == 0) return "(leaf int [0] " + std::to_string(-4 * (1 + leaf++ % 8)) + " 4 1)";
    std::string l = tree(depth - 1, leaf);
    std::string r = tree(depth - 1, leaf);
    return std::string("(") + (depth % 2 ? "*" : "+") + " int " + l + " " + r + ")";
}

struct GenScratch {
    std::filesystem::path dir;
    explicit GenScratch(int depth) {
        dir = std::filesystem::temp_directory_path() / ("gen_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        int leaf = 0;
        std::string text =
            "header 0xCB 0x0C 0x00 0xFF 0x12 \"cpppc\" \"V4.10.10\" \"24 Aug 2012\"\n"
            "19 [0 0 \"t.c\"]\n20 1\n134 [0 0x84 \"f\"] 0x3800 0\n251 1 1\n218 0\n129 -36\n145 0x3FFFF 0 0\n"
            "150 (= int (leaf int [0] -36 4 1) " + tree(depth, leaf) + ")\n146\n211\n";
        std::ofstream(dir / "t.ir", std::ios::binary) << ir::encodefile(ir::parsetext(text));
    }
    ~GenScratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

void BM_ExpressionDepth(benchmark::State& state) {
    int depth = static_cast<int>(state.range(0));
    GenScratch s(depth);
    std::string in = (s.dir / "t.ir").string(), out = (s.dir / "t.s").string();
    for (auto _ : state) {
        std::string a0 = "cgppc", a1 = "-o", a2 = out, a3 = in;
        char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
        tl::resettoolcontext();
        int status = tl::runmain([&] { return cg::run(4, argv); });
        if (status != 0) state.SkipWithError("cgppc failed");
    }
    state.counters["leaves"] = static_cast<double>(1 << depth);
    state.counters["per_leaf_us"] = benchmark::Counter(
        static_cast<double>(1 << depth) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ExpressionDepth)->DenseRange(2, 12, 2)->Unit(benchmark::kMillisecond);

}  // namespace

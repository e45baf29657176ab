// One function of 2,000 statements over 40 locals whose lives are mostly
// disjoint (32 tracked by the data flow, the slot-sharing search bounded)
// through cpppc (target: under a second).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "parser/parser.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace {

std::string flowsource() {
    std::string s = "int g(int);\nint f(int n) {\n  int r = 0;\n";
    for (int k = 0; k < 40; ++k) s += "  int v" + std::to_string(k) + ";\n";
    for (int k = 0; k < 2000; ++k) {
        std::string v = "v" + std::to_string((k / 50) % 40), c = std::to_string(k);
        if (k % 50 == 0)
            s += "  " + v + " = n + " + c + ";\n";
        else if (k % 50 == 49)
            s += "  r += " + v + ";\n";
        else if (k % 5 == 0)
            s += "  if (" + v + " > " + c + ") " + v + " = g(" + v + ");\n";
        else
            s += "  " + v + " += " + c + ";\n";
    }
    return s + "  return r;\n}\n";
}

void TwoThousandStatementsOverFortyLocals(benchmark::State& state) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("flow_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "flow.c") << flowsource();
    std::string src = (dir / "flow.c").string(), out = (dir / "flow.ir").string();
    for (auto _ : state) {
        std::string a0 = "cpppc", a1 = "-o", a2 = out, a3 = src;
        char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
        tl::resettoolcontext();
        if (tl::runmain([&] { return cpppc::run(4, argv); }) != 0) state.SkipWithError("cpppc failed");
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(TwoThousandStatementsOverFortyLocals)->Unit(benchmark::kMillisecond);

}  // namespace

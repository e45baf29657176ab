// Long expressions through the expression parser (target: each under half
// a second): a 10,000-term sum `a0 + a1 + ...` and a 10,000-element comma
// list of assignments, parsed and finished by parsedump after a few
// declarations; beside them the host compiler's syntax check of the same
// expressions in a function.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "toollib/options.h"
#include "toollib/quit.h"
#include "tools/parsedump/parsedump.h"

namespace {

constexpr int kTerms = 10000;

std::string sum() {
    std::string s = "y = a0";
    for (int i = 1; i < kTerms; ++i) s += " + a" + std::to_string(i % 10);
    return s;
}

std::string commas() {
    std::string s = "a0 = 0";
    for (int i = 1; i < kTerms; ++i) s += ", a" + std::to_string(i % 10) + " = " + std::to_string(i);
    return s;
}

const char* const kDecls = "int y, a0, a1, a2, a3, a4, a5, a6, a7, a8, a9;\n";

struct ExprScratch {
    std::filesystem::path dir;
    ExprScratch() {
        dir = std::filesystem::temp_directory_path() / ("expr_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "decls.c") << kDecls;
        std::ofstream(dir / "host.c") << kDecls << "void f(void) { " << sum() << "; " << commas() << "; }\n";
    }
    ~ExprScratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

// parsedump on one expression, its dump thrown away.
int dump(const std::string& file, const std::string& expr) {
    std::string a0 = "cpppc", a1 = "--expr", a2 = expr, a3 = file;
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
    std::fflush(stdout);
    int saved = ::dup(1);
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::close(null);
    tl::resettoolcontext();
    int status = tl::runmain([&] { return parsedump::run(4, argv); });
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    return status;
}

void LongExpression(benchmark::State& state, std::string (*make)()) {
    ExprScratch s;
    std::string expr = make();
    for (auto _ : state)
        if (dump((s.dir / "decls.c").string(), expr) != 0) state.SkipWithError("the expression did not parse");
}
BENCHMARK_CAPTURE(LongExpression, Sum, sum)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LongExpression, CommaList, commas)->Unit(benchmark::kMillisecond);

void HostSyntaxCheckOfBoth(benchmark::State& state) {
    if (std::system("gcc --version > /dev/null 2>&1") != 0) {
        state.SkipWithError("host gcc not installed");
        return;
    }
    ExprScratch s;
    std::string cmd = "gcc -fsyntax-only -w " + (s.dir / "host.c").string();
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("gcc failed");
}
BENCHMARK(HostSyntaxCheckOfBoth)->Unit(benchmark::kMillisecond);

}  // namespace

// A generated unit of 2,000 functions of 100 statements each through cpppc
// (target: under a second), the host compiler's syntax check beside it, and
// the peak memory of the unit against that of a single such function
// (target: within twice; the pools recycle every function's records).
// Besides, one function of 2,000 statements whose 32 locals live mostly
// apart, with a loop in every stretch (target: under a second): the
// per-function passes over a long body.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "parser/parser.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace {

std::string funcsource(int n) {
    std::string s = "int f" + std::to_string(n) + "(int a, char c, int *p) {\n  int i, s = 0, t[8];\n";
    for (int k = 0; k < 100; ++k) {
        // label numbers are 16-bit through the file: one switch and one
        // inline expansion per function
        int kind = k % 10;
        if ((kind == 4 || kind == 5) && k >= 10) kind = 0;
        switch (kind) {
        case 0: s += "  s += a * " + std::to_string(k) + " + c;\n"; break;
        case 1: s += "  if (s > " + std::to_string(k) + ") s -= a; else s += 2;\n"; break;
        case 2: s += "  for (i = 0; i < 8; i++) t[i] = s + i;\n"; break;
        case 3: s += "  while (s > 1000) s >>= 1;\n"; break;
        case 4: s += "  switch (s & 3) { case 0: s++; break; case 1: s--; break; default: s ^= 5; }\n"; break;
        case 5: s += "  s = sq(s & 15) + t[s & 7];\n"; break;
        case 6: s += "  if (p) *p = s;\n"; break;
        case 7: s += "  do { s += 3; } while (s < " + std::to_string(k) + ");\n"; break;
        case 8: s += "  s = s ? g(s) : a;\n"; break;
        default: s += "  { int u = s * 2; s = u - a; }\n"; break;
        }
    }
    return s + "  return s;\n}\n";
}

// 32 stretches of about 62 statements; local vk lives in stretch k only.
std::string bigfunction() {
    std::string s = "int big(int a, int *p) {\n  int i, s = 0, t[8];\n  int v0";
    for (int k = 1; k < 32; ++k) s += ", v" + std::to_string(k);
    s += ";\n";
    int statements = 0;
    for (int k = 0; statements < 2000; k = (k + 1) % 32) {
        std::string v = "v" + std::to_string(k);
        s += "  " + v + " = a + " + std::to_string(k) + ";\n";
        for (int j = 0; j < 58; ++j) {
            switch (j % 4) {
            case 0: s += "  " + v + " = " + v + " * 3 + s;\n"; break;
            case 1: s += "  if (" + v + " > 1000) " + v + " -= a;\n"; break;
            case 2: s += "  for (i = 0; i < 8; i++) t[i] += " + v + ";\n"; break;
            default: s += "  s += " + v + " + p[" + std::to_string(j % 8) + "];\n"; break;
            }
        }
        s += "  s ^= " + v + ";\n";
        statements += 60;
    }
    return s + "  return s + t[3];\n}\n";
}

std::string funcunit(int count) {
    std::string text = "int g(int);\ninline int sq(int v) { return v * v; }\n";
    for (int i = 0; i < count; ++i) text += funcsource(i);
    return text;
}

struct FuncScratch {
    std::filesystem::path dir;
    FuncScratch() {
        dir = std::filesystem::temp_directory_path() / ("func_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "unit.c") << funcunit(2000);
        std::ofstream(dir / "one.c") << funcunit(1);
        std::ofstream(dir / "big.c") << bigfunction();
    }
    ~FuncScratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

int parsefile(const std::string& src, const std::string& out) {
    std::string a0 = "cpppc", a1 = "-c99", a2 = "-o", a3 = out, a4 = src;
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
    tl::resettoolcontext();
    return tl::runmain([&] { return cpppc::run(5, argv); });
}

// The peak resident size of a child process that parses the file, in kB.
long peakkb(const std::string& src, const std::string& out) {
    pid_t pid = fork();
    if (pid == 0) _exit(parsefile(src, out));
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0) return -1;
    return usage.ru_maxrss;
}

void TwoThousandFunctions(benchmark::State& state) {
    FuncScratch s;
    std::string src = (s.dir / "unit.c").string(), out = (s.dir / "unit.ir").string();
    for (auto _ : state)
        if (parsefile(src, out) != 0) state.SkipWithError("cpppc failed on the unit");
    long one = peakkb((s.dir / "one.c").string(), out);
    long all = peakkb(src, out);
    state.counters["peak_kb"] = static_cast<double>(all);
    state.counters["peak_ratio_to_one_function"] = one > 0 ? static_cast<double>(all) / static_cast<double>(one) : 0;
}
BENCHMARK(TwoThousandFunctions)->Unit(benchmark::kMillisecond);

void OneFunctionOfTwoThousandStatements(benchmark::State& state) {
    FuncScratch s;
    std::string src = (s.dir / "big.c").string(), out = (s.dir / "big.ir").string();
    for (auto _ : state)
        if (parsefile(src, out) != 0) state.SkipWithError("cpppc failed on the function");
}
BENCHMARK(OneFunctionOfTwoThousandStatements)->Unit(benchmark::kMillisecond);

void HostSyntaxCheckFunctions(benchmark::State& state) {
    if (std::system("gcc --version > /dev/null 2>&1") != 0) {
        state.SkipWithError("host gcc not installed");
        return;
    }
    FuncScratch s;
    std::string cmd = "gcc -std=gnu99 -fsyntax-only -w " + (s.dir / "unit.c").string();
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("gcc failed on the unit");
}
BENCHMARK(HostSyntaxCheckFunctions)->Unit(benchmark::kMillisecond);

}  // namespace

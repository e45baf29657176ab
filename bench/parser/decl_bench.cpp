// A generated unit of 20,000 file-level declarations, each naming an earlier
// typedef and enumeration constant, through cpppc (target: under a second),
// and beside it the host compiler's syntax check of the same unit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "parser/parser.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace {

std::string unit(int count) {
    std::mt19937 rng(7);
    std::string text;
    int typedefs = 0, enums = 0;
    for (int i = 0; i < count; ++i) {
        std::string n = std::to_string(i);
        if (i % 8 == 0) {
            text += "typedef " + std::string(i % 16 ? "unsigned short" : "int") + " T" + std::to_string(typedefs++) + ";\n";
        } else if (i % 8 == 1) {
            text += "enum { C" + std::to_string(enums) + " = " + std::to_string(enums % 13 + 1) + " };\n";
            ++enums;
        } else {
            std::string t = "T" + std::to_string(rng() % typedefs), c = "C" + std::to_string(rng() % enums);
            if (i % 3)
                text += t + " v" + n + "[" + c + " + 1];\n";
            else
                text += "static " + t + " *p" + n + "[" + c + "], f" + n + "(" + t + " a, int b[" + c + "]);\n";
        }
    }
    return text;
}

struct DeclScratch {
    std::filesystem::path dir;
    DeclScratch() {
        dir = std::filesystem::temp_directory_path() / ("parser_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "unit.c") << unit(20000);
    }
    ~DeclScratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

void TwentyThousandDeclarations(benchmark::State& state) {
    DeclScratch s;
    std::string src = (s.dir / "unit.c").string(), out = (s.dir / "unit.ir").string();
    for (auto _ : state) {
        std::string a0 = "cpppc", a1 = "-o", a2 = out, a3 = src;
        char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
        tl::resettoolcontext();
        int status = tl::runmain([&] { return cpppc::run(4, argv); });
        if (status != 0) state.SkipWithError("cpppc failed on the unit");
    }
}
BENCHMARK(TwentyThousandDeclarations)->Unit(benchmark::kMillisecond);

void HostSyntaxCheck(benchmark::State& state) {
    if (std::system("gcc --version > /dev/null 2>&1") != 0) {
        state.SkipWithError("host gcc not installed");
        return;
    }
    DeclScratch s;
    std::string cmd = "gcc -fsyntax-only -w " + (s.dir / "unit.c").string();
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("gcc failed on the unit");
}
BENCHMARK(HostSyntaxCheck)->Unit(benchmark::kMillisecond);

}  // namespace

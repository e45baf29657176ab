// coppc on generated code: 200 functions of 150 lines (target: under 1 s)
// and one function of 3,000 lines (target: under 2 s).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "optimizer/opt.h"
#include "toollib/quit.h"

namespace {

std::string body(std::mt19937& rng, int lines) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto reg = [&] { return "r" + std::to_string(pick(3, 8)); };
    std::string out;
    int labels = 0;
    for (int i = 0; i < lines; ++i) {
        std::string r = reg();
        switch (pick(0, 9)) {
            case 0: out += "\tli\t" + r + "," + std::to_string(pick(-100, 100)) + "\n"; break;
            case 1: out += "\tlwz\t" + r + "," + std::to_string(4 * pick(2, 6)) + "(r1)\n"; break;
            case 2: out += "\tstw\t" + r + "," + std::to_string(4 * pick(2, 6)) + "(r1)\n"; break;
            case 3: out += "\tadd\t" + r + "," + reg() + "," + reg() + "\n"; break;
            case 4: out += "\taddi\t" + r + "," + std::to_string(pick(1, 9)) + "\n"; break;
            case 5: out += "\tmr\t" + r + "," + reg() + "\n"; break;
            case 6: {
                std::string l = "L" + std::to_string(++labels);
                out += "\tcmpwi\t" + r + ",0\n\tbeq\t" + l + "\n\tli\t" + reg() + ",1\n" + l + ":\n";
                break;
            }
            case 7: out += "\textzb\t" + r + "\n"; break;
            case 8: out += "\tlwz\t" + r + ",_x(r13)\n"; break;
            default: out += "\tstw\t" + r + ",_y(r13)\n"; break;
        }
    }
    return out + "\tmr\tr3,r4\n\tuse\t(r3)\n\tblr\n";
}

void optimize(benchmark::State& state, int units, int lines) {
    std::mt19937 rng(5);
    std::string text;
    for (int u = 0; u < units; ++u) text += "_f" + std::to_string(u) + ":\nFL:\n" + body(rng, lines) + "FL:\n";
    std::filesystem::path in = std::filesystem::temp_directory_path() / ("opt_bench." + std::to_string(getpid()) + ".s");
    std::ofstream(in) << text;
    for (auto _ : state) {
        std::string a0 = "coppc", a1 = "-o", a2 = "/dev/null", a3 = in.string();
        char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
        tl::runmain([&] { return opt::run(4, argv); });
    }
    std::filesystem::remove(in);
}

void ManyFunctions(benchmark::State& state) { optimize(state, 200, 150); }
void OneLongFunction(benchmark::State& state) { optimize(state, 1, 3000); }

BENCHMARK(ManyFunctions)->Unit(benchmark::kMillisecond);
BENCHMARK(OneLongFunction)->Unit(benchmark::kMillisecond);

}  // namespace

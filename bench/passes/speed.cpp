// pass_speed: what bench/run needs to set the assembler beside its peer.
//
//   pass_speed gen LINES ours|peer FILE
//       writes a generated VLE source of LINES lines in our dialect or the
//       cross assembler's; both give the same .text bytes.
//   pass_speed cgen LINES FILE
//       writes a generated macro-heavy C source of about LINES lines.
//   pass_speed text OBJECT FILE
//       writes the .text bytes of one of our objects to FILE.
//   pass_speed time COMMAND [ARGUMENTS...]
//       runs the command (its output thrown away) and prints
//       "<status> <seconds> <peak resident KiB>".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "vlegen.h"

namespace {

int usage() {
    std::fputs("usage: pass_speed gen LINES ours|peer FILE\n"
               "       pass_speed cgen LINES FILE\n"
               "       pass_speed text OBJECT FILE\n"
               "       pass_speed time COMMAND [ARGUMENTS...]\n",
               stderr);
    return 2;
}

int gen(int argc, char** argv) {
    if (argc != 3) return usage();
    long lines = std::strtol(argv[0], nullptr, 10);
    std::string which = argv[1];
    if (lines <= 0 || (which != "ours" && which != "peer")) return usage();
    std::ofstream out(argv[2], std::ios::binary);
    out << vlegen::source(lines, which == "peer");
    return out.good() ? 0 : 1;
}

// Function-like and object-like macros nested a few deep, stringizing,
// pasting, conditionals and #undef, in blocks of 12 lines.
int cgen(int argc, char** argv) {
    if (argc != 2) return usage();
    long lines = std::strtol(argv[0], nullptr, 10);
    if (lines <= 0) return usage();
    std::string out =
        "#define SCALE 4\n#define SHIFT (SCALE / 2)\n"
        "#define MAX(a, b) ((a) > (b) ? (a) : (b))\n#define MIN(a, b) ((a) < (b) ? (a) : (b))\n"
        "#define SQR(x) ((x) * (x))\n#define CLAMP(x, lo, hi) MIN(MAX(x, lo), hi)\n"
        "#define STR_(x) #x\n#define STR(x) STR_(x)\n#define CAT_(a, b) a##b\n#define CAT(a, b) CAT_(a, b)\n"
        "#define FIELD(t, n) t n; t CAT(n, _shadow)\n#define ADD3(a, b, c) ((a) + (b) + (c))\n"
        "#define CALL(f, ...) f(__VA_ARGS__)\n";
    for (long k = 0; out.size() < 10 || k * 12 < lines; k++) {
        std::string n = std::to_string(k);
        out += "#define V" + n + " (" + n + " * SCALE)\n";
        out += "int f" + n + "(int a) { return CLAMP(a, V" + n + ", SQR(a + 1)) + MIN(a, 3); }\n";
        out += "#if " + n + " % 3 == 0\n";
        out += "static const char *s" + n + " = STR(CAT(name, " + n + "));\n";
        out += "#elif defined(V" + n + ") && V" + n + " > 8\n";
        out += "int g" + n + " = ADD3(1, SQR(2), V" + n + ") << SHIFT;\n";
        out += "#else\n";
        out += "int h" + n + " = CALL(f" + n + ", MAX(" + n + ", SCALE));\n";
        out += "#endif\n";
        out += "#undef V" + n + "\n";
        out += "struct t" + n + " { FIELD(int, x); FIELD(char, CAT(y, " + n + ")); };\n";
        out += "/* block " + n + " */ enum { E" + n + " = SHIFT + SCALE * " + n + " };\n";
    }
    std::ofstream f(argv[1], std::ios::binary);
    f << out;
    return f.good() ? 0 : 1;
}

// The object's header is 28 bytes, then 40-byte section records: attribute,
// name length, name, then data offset and size at 16 and 20.
int text(int argc, char** argv) {
    if (argc != 2) return usage();
    std::ifstream in(argv[0], std::ios::binary);
    std::vector<unsigned char> obj((std::istreambuf_iterator<char>(in)), {});
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(obj[at]) << 24 | static_cast<uint32_t>(obj[at + 1]) << 16 |
               static_cast<uint32_t>(obj[at + 2]) << 8 | obj[at + 3];
    };
    if (obj.size() < 28) return 1;
    for (size_t k = 0; k < obj[3]; k++) {
        size_t r = 28 + 40 * k;
        if (r + 40 > obj.size()) break;
        if (std::string(reinterpret_cast<const char*>(&obj[r + 2]), std::min<size_t>(obj[r + 1], 14)) != ".text")
            continue;
        uint32_t off = u32(r + 16), size = u32(r + 20);
        if (off > obj.size() || size > obj.size() - off) return 1;
        std::ofstream out(argv[1], std::ios::binary);
        out.write(reinterpret_cast<const char*>(&obj[off]), size);
        return out.good() ? 0 : 1;
    }
    return 1;
}

int timed(int argc, char** argv) {
    if (argc < 1) return usage();
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        execvp(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    struct rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid) return 1;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d %.4f %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : 128, seconds, ru.ru_maxrss);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string what = argv[1];
    if (what == "gen") return gen(argc - 2, argv + 2);
    if (what == "cgen") return cgen(argc - 2, argv + 2);
    if (what == "text") return text(argc - 2, argv + 2);
    if (what == "time") return timed(argc - 2, argv + 2);
    return usage();
}

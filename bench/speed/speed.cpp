// vek_speed: the measurements bench/run prints, each timed in-process
// around the one thing it measures, on the same paths vekrun takes.
//
//   vek_speed program FILE [-classic] [-entry ADDRESS]
//       loads FILE into a session (as vekrun does) and runs it to its
//       first undecodable instruction; -classic decodes all of memory as
//       classic code, -entry sets pc.
//   vek_speed debug FILE [-break ADDRESS] [-literal]
//       loads FILE with the debugger's load command and times one go,
//       with one breakpoint at ADDRESS when given, on the literal path
//       when asked.
//   vek_speed scatter KIB [ITERATIONS]
//       a classic loop of scattered loads and stores over KIB KiB.
//   vek_speed symbols COUNT [-shuffle]
//       writes an object with COUNT symbols in ascending address order (or
//       shuffled) and loads it (vekrun -n 0).
//
// Each prints one line: "<count> <seconds> <check>", where check is a
// value the caller compares with its peer (or 0).
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "objwriter.h"
#include "vek/command/control/control.h"
#include "vek/core/support/output.h"
#include "vek/core/session/session.h"
#include "vek/core/support/symbols.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

int usage()
{
    std::fputs("usage: vek_speed program FILE [-classic] [-entry ADDRESS]\n"
               "       vek_speed debug FILE [-break ADDRESS] [-literal]\n"
               "       vek_speed scatter KIB [ITERATIONS]\n"
               "       vek_speed symbols COUNT [-shuffle]\n",
               stderr);
    return 2;
}

bool number(const char* text, uint64_t& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text, &end, 0);
    return end != text && *end == '\0' && errno == 0;
}

int program(int argc, char** argv)
{
    if (argc < 1) return usage();
    std::string file = argv[0];
    bool classic = false;
    uint64_t entry = 0;
    bool hasentry = false;
    for (int k = 1; k < argc; k++) {
        if (!std::strcmp(argv[k], "-classic"))
            classic = true;
        else if (!std::strcmp(argv[k], "-entry") && k + 1 < argc && number(argv[k + 1], entry))
            hasentry = true, k++;
        else
            return usage();
    }
    auto session = vek::freshsession();
    if (!session->load({file})) return 1;
    if (classic) vek::defsym(".vle", 0xFFFFFFFFu);
    if (hasentry) session->target.regs.setpc(uint32_t(entry));
    auto start = Clock::now();
    vek::RunResult r = session->run(UINT64_MAX >> 1);
    double seconds = since(start);
    const uint32_t* regs = session->target.regs.core0();
    std::printf("%" PRIu64 " %.6f %" PRIu32 "\n", r.executed, seconds, regs[31]);
    return r.reason == vek::StopReason::Illegal ? 0 : 1;
}

int debug(int argc, char** argv)
{
    if (argc < 1) return usage();
    std::string file = argv[0], breakat;
    bool literal = false;
    for (int k = 1; k < argc; k++) {
        if (!std::strcmp(argv[k], "-literal"))
            literal = true;
        else if (!std::strcmp(argv[k], "-break") && k + 1 < argc)
            breakat = argv[++k];
        else
            return usage();
    }
    auto session = vek::freshsession();
    vek::Debugger d(*session);
    d.quiet = true;
    d.literal = literal;
    d.docmd(("load " + file).c_str(), 1);
    if (!breakat.empty()) d.docmd(("break @" + breakat).c_str(), 1);
    const uint32_t errors = vek::outstate().errors;
    const uint32_t before = session->instructions();
    auto start = Clock::now();
    d.docmd("go", 1);
    double seconds = since(start);
    const uint64_t executed = session->instructions() - before;
    std::printf("%" PRIu64 " %.6f %" PRIu32 "\n", executed, seconds, session->target.regs.core0()[3]);
    return vek::outstate().errors > errors + 1 ? 1 : 0;  // the illegal instruction at the end
}

constexpr uint32_t xo(uint32_t xo, uint32_t d, uint32_t a, uint32_t b)
{
    return 31u << 26 | d << 21 | a << 16 | b << 11 | xo << 1;
}

// r3 random state, r4 base, r5 offset mask, r6 count, r7 sum; each pass
// reads and writes one word at a random place of the working set.
int scatter(int argc, char** argv)
{
    uint64_t kib = 0, iterations = 20000000;
    if (argc < 1 || !number(argv[0], kib) || kib < 1 || kib > (1u << 20) ||
        (argc > 1 && !number(argv[1], iterations)) || iterations > 0xFFFFFFFFu)
        return usage();
    const uint32_t code[] = {
        xo(235, 3, 3, 8),   // loop: mullw r3,r3,r8
        xo(266, 3, 3, 9),   //       add r3,r3,r9
        xo(28, 3, 10, 5),   //       and r10,r3,r5
        xo(23, 11, 4, 10),  //       lwzx r11,r4,r10
        xo(266, 7, 7, 11),  //       add r7,r7,r11
        xo(151, 7, 4, 10),  //       stwx r7,r4,r10
        13u << 26 | 6u << 21 | 6u << 16 | 0xFFFF,  // addic. r6,r6,-1
        16u << 26 | 4u << 21 | 2u << 16 | (uint32_t(-24) & 0xFFFC),  // bne loop
        0,                  // the run ends here
    };
    constexpr uint32_t Code = 0x1000, Base = 0x01000000;
    auto session = vek::freshsession();
    vek::defsym(".vle", 0xFFFFFFFFu);
    vek::Memory& mem = session->target.mem;
    for (size_t k = 0; k < std::size(code); k++) mem.putlong(Code + 4 * uint32_t(k), code[k]);
    const uint32_t bytes = uint32_t(kib << 10);
    for (uint32_t a = 0; a < bytes; a += 4) mem.putlong(Base + a, a);  // every page made before the clock starts
    uint32_t* r = session->target.regs.core0();
    r[3] = 12345, r[4] = Base, r[5] = (bytes - 1) & ~3u, r[6] = uint32_t(iterations), r[7] = 0;
    r[8] = 1664525, r[9] = 1013904223;
    session->target.regs.setpc(Code);
    auto start = Clock::now();
    vek::RunResult run = session->run(UINT64_MAX >> 1);
    double seconds = since(start);
    std::printf("%" PRIu64 " %.6f %" PRIu32 "\n", run.executed, seconds, r[7]);
    return run.executed == 8 * iterations ? 0 : 1;
}

int symbols(int argc, char** argv)
{
    uint64_t count = 0;
    if (argc < 1 || !number(argv[0], count) || count > 10000000 || (argc > 1 && std::strcmp(argv[1], "-shuffle")))
        return usage();
    fixture::Object o;
    o.sections.push_back({".text", 0xD6, 0x1000, 0x1000, std::vector<uint8_t>(count + 4, 0x44)});
    std::vector<uint32_t> order(count);
    for (uint32_t k = 0; k < count; k++) order[k] = k;
    if (argc > 1) std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (uint32_t k : order) o.symbols.push_back({k, 0x05, 1, "_s" + std::to_string(k)});
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/vek_speed" + std::to_string(getpid()) + ".o";
    fixture::writefile(path, o.bytes());
    auto session = vek::freshsession();
    auto start = Clock::now();
    bool ok = session->load({path});
    double seconds = since(start);
    std::remove(path.c_str());
    // The walk shows ascending addresses.
    uint64_t seen = 0;
    uint32_t last = 0;
    for (vek::ProgramSymbol* s = vek::symtab().head; s; s = s->next) {
        if (s->name[0] == '.') continue;
        ok = ok && s->value >= last;
        last = s->value;
        seen++;
    }
    std::printf("%" PRIu64 " %.6f %" PRIu64 "\n", count, seconds, seen);
    return ok && seen == count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return usage();
    std::string what = argv[1];
    if (what == "program") return program(argc - 2, argv + 2);
    if (what == "debug") return debug(argc - 2, argv + 2);
    if (what == "scatter") return scatter(argc - 2, argv + 2);
    if (what == "symbols") return symbols(argc - 2, argv + 2);
    return usage();
}

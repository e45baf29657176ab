// The runner: one Session, the files loaded in order with the entry point
// chosen as the load command chooses it, one run, one report. Everything
// printed goes through the debugger's output sink, so a test that captures
// the sink sees exactly what the terminal would.
#include "tools/vekrun/vekrun.h"

#include <cinttypes>
#include <string>
#include <vector>

#include "toollib/options.h"
#include "toollib/quit.h"
#include "tools/vekrun/stop.h"
#include "vek/core/session/session.h"
#include "vek/core/support/output.h"

namespace vekrun {

namespace {

constexpr int32_t kDefaultCount = 10000000;

}  // namespace

int run(int argc, char** argv) {
    int32_t count = kDefaultCount;
    int32_t trace = 0;
    const char* stopname = nullptr;
    tl::CountdownList prints;
    tl::setversion("V1.0", "");
    tl::parseopts(argc, argv, "Simulator Runner", "files",
                  {
                      {"n#  maximum number of instructions", &count},
                      {"p*> print words at a symbol: name[:count]", &prints},
                      {"s*  stop symbol (default __stop)", &stopname},
                      {"t   trace each instruction", &trace},
                  });
    if (count < 0) {
        tl::puterr("vekrun: negative instruction count\n");
        return 1;
    }
    std::vector<std::string> files(argv, argv + argc);
    auto session = vek::freshsession();
    // a file that failed to load, or no entry point ("Cannot Find entry
    // Point" was reported): nothing to run
    if (!session->load(files) || !session->entrychosen) return 1;
    StopPlan plan;
    if (!planstop(*session, stopname, prints, plan)) return 1;
    armstop(*session, plan);
    vek::RunResult r = session->run(uint64_t(count), trace != 0);
    bool atstop = disarmstop(*session, plan);
    char line[160];
    std::snprintf(line, sizeof line, "stop: %s at 0x%08" PRIx32 "\ninstructions: %" PRIu32 "  cycles: %" PRIu32 "\n",
                  atstop ? plan.name.c_str() : vek::stopreasontext(r.reason), session->target.regs.getpc(),
                  session->instructions(), session->cycles());
    vek::puttext({line, session->regdump(), "\n", resulttext(*session, plan, atstop)});
    // a program whose first instruction cannot be decoded never ran
    if (r.reason == vek::StopReason::Illegal && r.executed == 0 && !atstop) return 1;
    // A program with a stop symbol that ends elsewhere did not finish.
    return plan.name.empty() || atstop ? 0 : 3;
}

}  // namespace vekrun

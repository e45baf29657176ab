// optcheck: checks the optimizer's rewrites of a unit, or compares two
// versions of a function, on the simulator (see checker.h).
#include <fstream>
#include <sstream>

#include "optimizer/opt.h"
#include "toollib/options.h"
#include "toollib/quit.h"
#include "tools/optcheck/checker.h"

namespace optcheck {

namespace {

bool readfile(const char* name, std::string& text) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    std::stringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    return true;
}

}  // namespace

int run(int argc, char** argv) {
    int32_t seeds = Settings{}.seeds, first = 1;
    tl::setversion("V1.0", "");
    tl::parseopts(argc, argv, "Optimizer Rewrite Checker", "unit [changed unit]",
                  {
                      {"n#  random states per comparison", &seeds},
                      {"s#  first random state", &first},
                  });
    if (argc <= 0) return 0;
    if (seeds <= 0) {
        tl::puterr("optcheck: the number of random states must be positive\n");
        return 1;
    }
    Settings settings;
    settings.seeds = seeds;
    settings.firstseed = static_cast<uint32_t>(first);

    std::string before;
    if (!readfile(argv[0], before)) {
        tl::puterr(std::string("optcheck: can't open ") + argv[0] + "\n");
        return 1;
    }
    if (argc >= 2) {
        std::string after;
        if (!readfile(argv[1], after)) {
            tl::puterr(std::string("optcheck: can't open ") + argv[1] + "\n");
            return 1;
        }
        Verdict v = compare(before, after, settings);
        tl::putout(v.ok ? "same: " + std::to_string(v.returned) + " random states ran to the return" +
                              (v.message.empty() ? "" : " (" + v.message + ")") + "\n"
                        : "different: " + v.message + "\n");
        return v.ok ? 0 : 1;
    }

    // Optimize the file, collecting the changes of each unit.
    std::vector<std::vector<Change>> units;
    std::vector<std::string> words = {"coppc", "-o", "/dev/null", argv[0]};
    std::vector<char*> args;
    for (std::string& w : words) args.push_back(w.data());
    args.push_back(nullptr);
    tl::ToolContext saved = tl::toolcontext();
    int status = tl::runmain([&] {
        return opt::run(static_cast<int>(words.size()), args.data(), [&](std::string_view pass, const std::string& text) {
            if (pass.empty() || units.empty()) units.emplace_back();
            units.back().push_back({std::string(pass), text});
        });
    });
    tl::toolcontext() = saved;
    if (status != 0) return status;
    int failures = 0;
    for (const std::vector<Change>& unit : units) {
        Verdict v = checkchanges(unit, settings);
        std::string name = "unit " + std::to_string(&unit - units.data() + 1);
        if (!v.ok) {
            ++failures;
            tl::putout(name + ": " + v.message + "\n");
        } else {
            tl::putout(name + ": " + std::to_string(unit.size() - 1) + " changes checked\n");
        }
    }
    return failures ? 1 : 0;
}

}  // namespace optcheck

// Stop symbol and printed words of a run (see stop.h).
#include "tools/vekrun/stop.h"

#include "toollib/quit.h"
#include "toollib/services.h"

namespace vekrun {

namespace {

constexpr const char* kDefaultStop = "__stop";
constexpr int32_t kMaxWords = 65536;

std::optional<uint32_t> programsym(vek::Session& s, const std::string& name) {
    return s.symbolport.findsym(name);
}

}  // namespace

bool planstop(vek::Session& s, const char* stopname, const tl::CountdownList& prints, StopPlan& plan) {
    if (stopname) {
        auto at = programsym(s, stopname);
        if (!at) {
            tl::puterr(std::string("vekrun: unknown stop symbol ") + stopname + "\n");
            return false;
        }
        plan.name = stopname;
        plan.address = *at;
    } else if (auto at = programsym(s, kDefaultStop)) {
        plan.name = kDefaultStop;
        plan.address = *at;
    }
    for (const std::string& item : prints.items) {
        WordPrint p;
        size_t colon = item.rfind(':');
        p.name = item.substr(0, colon);
        if (colon != std::string::npos) {
            int32_t n = 0;
            const char* text = item.c_str() + colon + 1;
            const char* end = tl::parsenum(text, n, 1);
            if (end == text || *end || n < 1 || n > kMaxWords) {
                tl::puterr("vekrun: bad word count in -p " + item + "\n");
                return false;
            }
            p.count = static_cast<uint32_t>(n);
        }
        auto at = programsym(s, "_" + p.name);
        if (!at) at = programsym(s, p.name);
        if (p.name.empty() || !at) {
            tl::puterr("vekrun: unknown symbol " + p.name + "\n");
            return false;
        }
        p.address = *at;
        plan.prints.push_back(p);
    }
    return true;
}

void armstop(vek::Session& s, StopPlan& plan) {
    if (plan.name.empty()) return;
    plan.original = static_cast<uint16_t>(s.target.mem.getword(plan.address));
    if (plan.original != 0) s.target.mem.putword(plan.address, 0);
    plan.errmsg = s.target.report.errmsg;
    s.target.report.errmsg = [&s, inner = plan.errmsg, address = plan.address](int number, std::string_view tail) {
        if (number == vek::MsgIllegalInstruction && s.target.regs.getpc() == address) return;
        if (inner) inner(number, tail);
    };
}

bool disarmstop(vek::Session& s, StopPlan& plan) {
    if (plan.name.empty()) return false;
    s.target.report.errmsg = plan.errmsg;
    if (plan.original != 0) s.target.mem.putword(plan.address, plan.original);
    return s.target.regs.getpc() == plan.address;
}

std::string resulttext(vek::Session& s, const StopPlan& plan, bool atstop) {
    std::string text;
    if (atstop && plan.name == kDefaultStop)
        text += "main returned: " + std::to_string(int32_t(s.target.regs.getreg(vek::RegR0 + 3))) + "\n";
    for (const WordPrint& p : plan.prints) {
        text += p.name + " =";
        for (uint32_t k = 0; k < p.count; ++k)
            text += " " + std::to_string(int32_t(s.target.mem.getlong(p.address + 4 * k)));
        text += "\n";
    }
    return text;
}

}  // namespace vekrun

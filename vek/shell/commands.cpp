// The shell's own small command interpreter over one session.
#include "vek/shell/commands.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "vek/core/session/session.h"
#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"
#include "vek/core/support/text.h"

namespace vek::shell {

namespace {

std::string_view word(std::string_view& rest) {
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    size_t end = 0;
    while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t') ++end;
    std::string_view w = rest.substr(0, end);
    rest.remove_prefix(end);
    return w;
}

bool count(std::string_view text, uint64_t& n) {
    if (text.empty()) return true;
    uint32_t v = 0;
    if (parseulong(text, &v, 1) != static_cast<int32_t>(text.size())) return false;
    n = v;
    return true;
}

constexpr uint64_t kChunk = 4096;  // instructions between two looks at the windows

}  // namespace

void CommandHost::runcmdfile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        puterror({msgtext(5), path});
        return;
    }
    std::string line;
    int c;
    std::vector<std::string> lines;
    while ((c = std::fgetc(f)) != EOF) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty()) lines.push_back(line);
    std::fclose(f);
    for (const std::string& l : lines)
        if (!l.empty()) doblock(l);
}

void SessionCommands::go(uint64_t limit) {
    session_.stop = 0;
    run_.setrunstate(true);
    RunResult result;
    uint64_t done = 0;
    for (;;) {
        uint64_t chunk = limit ? std::min(kChunk, limit - done) : kChunk;
        result = session_.run(chunk);
        done += result.executed;
        if (result.reason != StopReason::Count || (limit && done >= limit)) break;
        if (run_.pumpmsgs()) {
            result.reason = StopReason::Stopped;
            break;
        }
    }
    run_.setrunstate(false);
    char where[64];
    std::snprintf(where, sizeof where, "%s at %08x\n", stopreasontext(result.reason), session_.target.regs.getpc());
    puttext({where});
}

void SessionCommands::docmd(const std::string& line) {
    std::string_view rest = line;
    std::string_view name = word(rest);
    std::string_view arg = word(rest);
    uint64_t n = 0;
    if (name.empty()) return;
    if (name == "regs") {
        puttext({session_.regdump()});
    } else if (name == "go") {
        if (!count(arg, n)) {
            errmsg(32);
            return;
        }
        go(n);
    } else if (name == "istep" || name == "step" || name == "ostep" || name == "mstep" || name == "mcstep") {
        n = 1;
        if (!count(arg, n)) {
            errmsg(32);
            return;
        }
        go(n ? n : 1);
    } else if (name == "zero") {
        if (arg == "/r") session_.target.regs.resetregs(session_.target.mem);
        else session_.target.regs.setpc(session_.prog.entry);
    } else if (name == "load") {
        loadprogram(std::string(arg));
    } else {
        errmsg(11);
    }
}

void SessionCommands::loadprogram(const std::string& path) { session_.load({path}); }

}  // namespace vek::shell

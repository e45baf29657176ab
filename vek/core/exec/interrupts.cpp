// The pending-interrupt set and the interrupt list file. The file is text:
// a number (C syntax: decimal, 0x hex, leading 0 octal) and a name per line;
// empty lines and lines starting with ';' are skipped.
#include <bit>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "vek/core/exec/hooks.h"

namespace vek {

int TGTRaiseInterrupt(PendingInterrupts* set, int32_t id)
{
    if (!set || id > -4 || id < -4 * MaxInterrupts || id % 4 != 0) return 0;
    unsigned k = unsigned(-(id / 4)) - 1;
    set->word[k / 32].fetch_or(1u << (k % 32));
    return 1;
}

int firstpending(const PendingInterrupts* set)
{
    if (!set) return 0;
    for (int w = 0; w < 4; w++)
        if (uint32_t bits = set->word[w].load()) return 32 * w + std::countr_zero(bits) + 1;
    return 0;
}

namespace {

constexpr size_t MaxLine = 254;

void show(InterruptState& state, std::string_view text, std::string_view caption)
{
    if (state.messagebox)
        state.messagebox(text, caption);
    else
        state.log.push_back(std::string(caption) + ": " + std::string(text));
}

// The entry lines of the file, each cut to the line limit, CR removed.
std::vector<std::string> entrylines(std::istream& in)
{
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > MaxLine) line.resize(MaxLine);
        if (line.empty() || line[0] == ';' || line[0] == '\r') continue;
        lines.push_back(line);
    }
    return lines;
}

InterruptEntry parseentry(const std::string& line)
{
    InterruptEntry e;
    const char* start = line.c_str();
    char* end = nullptr;
    long long v = std::strtoll(start, &end, 0);
    if (end == start) end = const_cast<char*>(start);  // no number: 0, the line is the name
    e.number = int32_t(uint32_t(v));
    while (*end == ' ' || *end == '\t') end++;
    e.name = end;
    return e;
}

}  // namespace

bool LoadInterrupts(InterruptState& state, const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        show(state, path, "Can't open INTERRUPT file ");
        return false;
    }
    std::vector<std::string> lines = entrylines(in);
    if (in.bad()) {  // opened but unreadable (a directory): the list stays
        show(state, path, "Can't open INTERRUPT file ");
        return false;
    }
    if (lines.size() > size_t(MaxInterrupts)) {
        show(state, "Too Many Interrupts (Max 128)", "Interrupts");
        return false;
    }
    state.list.clear();
    for (const std::string& line : lines) state.list.push_back(parseentry(line));
    state.loaded = true;
    return true;
}

std::vector<std::string> interruptlines(const InterruptState& state)
{
    std::vector<std::string> out;
    for (const InterruptEntry& e : state.list) {
        std::ostringstream s;
        s << "0x" << std::hex << uint32_t(e.number) << ' ' << e.name;
        out.push_back(s.str());
    }
    return out;
}

}  // namespace vek

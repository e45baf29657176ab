// Target messages: the few numbered texts the register file, memory and the
// executor report, and the fallback log used when no sink is bound.
#include "vek/core/target/report.h"

namespace vek {

const char* targetmsgtext(int number)
{
    struct Row { int number; const char* text; };
    static const Row rows[] = {
        {MsgCantOpen, "can't open: "},
        {MsgReadError, "read error"},
        {MsgMemoryFileOverflow, "memory file overflow"},
        {MsgUnknownRegister, "unknown register"},
        {MsgIllegalInstruction, "illegal instruction"},
        {MsgSeekError, "seek error"},
    };
    for (const Row& r : rows)
        if (r.number == number) return r.text;
    return "";
}

void TargetReport::error(int number, std::string_view tail)
{
    if (errmsg) {
        errmsg(number, tail);
        return;
    }
    log.push_back(std::string(targetmsgtext(number)) + std::string(tail));
}

void TargetReport::text(std::string_view t)
{
    if (puttext) {
        puttext(t);
        return;
    }
    log.emplace_back(t);
}

}  // namespace vek

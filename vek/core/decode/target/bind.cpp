// The decoder's view of the simulated target (see bind.h).
#include "vek/core/decode/target/bind.h"

#include "vek/core/support/symbols.h"
#include "vek/core/target/memory.h"
#include "vek/core/target/registers.h"

namespace vek {

DecodeEnv targetenv(Memory& memory, RegisterFile& registers) {
    DecodeEnv env;
    env.gethalf = [&memory](uint32_t a) { return memory.getword(a); };
    env.getword = [&memory](uint32_t a) { return memory.getlong(a); };
    env.getreg = [&registers](unsigned r) { return registers.getreg(r); };
    env.symbolat = [](uint32_t value) -> const char* {
        ProgramSymbol* s = symbelow(value);
        return s && s->value == value ? s->name.c_str() : nullptr;
    };
    env.symbolvalue = [](std::string_view name) -> std::optional<uint32_t> {
        if (ProgramSymbol* s = rensym(name)) return s->value;
        return std::nullopt;
    };
    env.getvle = [] { return symtab().vle; };
    return env;
}

}  // namespace vek

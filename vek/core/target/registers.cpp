// Register file operations: numbered access with the bank bit, the name
// table, block save and restore, reset from the vector and the text dump.
#include "vek/core/target/registers.h"

#include <cstdio>
#include <cstring>

#include "vek/core/target/memory.h"

namespace vek {

namespace {

const char* const register_names[RegCount + 1] = {
    "r0",  "r1",  "r2",  "r3",  "r4",  "r5",  "r6",  "r7",  "r8",  "r9",
    "r10", "r11", "r12", "r13", "r14", "r15", "r16", "r17", "r18", "r19",
    "r20", "r21", "r22", "r23", "r24", "r25", "r26", "r27", "r28", "r29",
    "r30", "r31", "lr",  "ctr", "cr",  "xer", "pc",  nullptr,
};

bool known(unsigned n) { return n >= 1 && n <= RegCount; }

}  // namespace

uint32_t RegisterFile::getreg(unsigned number)
{
    unsigned n = number & ~unsigned(RegBank1);
    if (!known(n)) {
        if (report) report->error(MsgUnknownRegister);
        return 1;
    }
    return bank[(number & RegBank1) ? 1 : 0].word[n - 1];
}

void RegisterFile::setreg(unsigned number, uint32_t value)
{
    unsigned n = number & ~unsigned(RegBank1);
    if (known(n)) bank[(number & RegBank1) ? 1 : 0].word[n - 1] = value;
}

void RegisterFile::getregs(void* buffer) const { std::memcpy(buffer, &bank[0], sizeof(RegisterBlock)); }
void RegisterFile::putregs(const void* buffer) { std::memcpy(&bank[0], buffer, sizeof(RegisterBlock)); }

void RegisterFile::resetregs(Memory& memory)
{
    bank[0] = RegisterBlock{};
    setpc(memory.getlong(4));
}

size_t RegisterFile::regdump(char* buffer) const
{
    const uint32_t* w = bank[0].word;
    auto r = [w](int i) { return unsigned(w[i]); };
    auto s = [w](unsigned n) { return unsigned(w[n - 1]); };
    int len = std::snprintf(buffer, 512,
        "r0:%08x  r8:%08x r16:%08x r24:%08x xer:%08x cr:%08x\n"
        "r1:%08x  r9:%08x r17:%08x r25:%08x ctr:%08x lr:%08x\n"
        "r2:%08x r10:%08x r18:%08x r26:%08x  pc:%08x\n"
        "r3:%08x r11:%08x r19:%08x r27:%08x\n"
        "r4:%08x r12:%08x r20:%08x r28:%08x\n"
        "r5:%08x r13:%08x r21:%08x r29:%08x\n"
        "r6:%08x r14:%08x r22:%08x r30:%08x\n"
        "r7:%08x r15:%08x r23:%08x r31:%08x",
        r(0), r(8), r(16), r(24), s(RegXer), s(RegCr),
        r(1), r(9), r(17), r(25), s(RegCtr), s(RegLr),
        r(2), r(10), r(18), r(26), s(RegPc),
        r(3), r(11), r(19), r(27),
        r(4), r(12), r(20), r(28),
        r(5), r(13), r(21), r(29),
        r(6), r(14), r(22), r(30),
        r(7), r(15), r(23), r(31));
    if (len < 0) return 0;
    return size_t(len) < 512 ? size_t(len) : 511;
}

uint32_t getsavedreg(const void* block, unsigned number)
{
    if (!known(number)) return 0;
    uint32_t v;
    std::memcpy(&v, static_cast<const char*>(block) + 4 * (number - 1), 4);
    return v;
}

uint32_t getsavedpc(const void* block) { return getsavedreg(block, RegPc); }

unsigned regnum(std::string_view name)
{
    for (unsigned i = 0; i < RegCount; i++)
        if (name == register_names[i]) return i + 1;
    return 0;
}

const char* regname(unsigned number)
{
    unsigned n = number & ~unsigned(RegBank1);
    return known(n) ? register_names[n - 1] : "";
}

std::string reglist()
{
    std::string list;
    for (unsigned i = 0; i < RegCount; i++) {
        list += register_names[i];
        list += '\0';
    }
    list += '\0';
    return list;
}

unsigned namedregsize(std::string_view name) { return regsize(regnum(name)); }

}  // namespace vek

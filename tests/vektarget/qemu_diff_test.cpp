// Differential test against the user-mode emulator: each group of classic
// Book E / SPE instructions runs from several random start states inside one
// static program that stores every register, CR, XER, LR, CTR and a scratch
// memory block per state and writes them out. The same program runs on our
// simulator until it reaches the write; the two result blocks must agree
// byte for byte.
//
// efscfsf is left out: the emulator scales a signed fraction by 2^32 where
// the ISA's s.31 format needs 2^31 (the simulator follows the ISA).
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <sstream>

#include "oracle.h"
#include "vek/core/exec/exec.h"

using namespace vek;

namespace {

// Record layout per start state: input words, output words, scratch block.
constexpr unsigned InWords = 35;  // r0..r30, cr, xer, lr, ctr
constexpr unsigned OutOffset = 4 * InWords;
constexpr unsigned ScratchOffset = 2 * OutOffset;
constexpr unsigned ScratchBytes = 64;
constexpr unsigned RecordBytes = ScratchOffset + ScratchBytes;
constexpr unsigned States = 6;

enum class StateKind { Integer, Float };

struct Group {
    const char* name;
    StateKind kind;
    const char* body;  // must leave r31 alone; r29 points at the scratch block
};

const Group groups[] = {
    {"integer", StateKind::Integer, R"(
    add r3,r4,r5
    addo. r6,r7,r8
    addc r9,r10,r11
    addco. r12,r13,r14
    adde r15,r16,r17
    addeo. r18,r19,r20
    addme r21,r22
    addmeo. r23,r24
    addze r25,r26
    addzeo. r27,r28
    subf r0,r1,r2
    subfo. r3,r6,r7
    subfc r4,r8,r9
    subfco r10,r11,r12
    subfe. r13,r14,r15
    subfeo r16,r17,r18
    subfme r19,r20
    subfmeo. r21,r22
    subfze r23,r24
    subfzeo. r25,r26
    neg r27,r28
    nego. r30,r30
    addi r3,0,-77
    addi r4,r5,1234
    addis r6,0,0x7fff
    addis r7,r8,-3
    addic r9,r10,-1
    addic. r11,r12,100
    subfic r13,r14,-200
    mulli r15,r16,-12345
    mullw r17,r18,r19
    mullwo. r20,r21,r22
    mulhw r23,r24,r25
    mulhwu. r26,r27,r28
    divw r3,r4,r5
    divwo. r6,r7,r8
    divwu r9,r10,r11
    divwuo r12,r13,r14
    lis r0,0x8000
    li r1,-1
    divwo r2,r0,r1
    lis r0,0x7fff
    lis r1,-1
    mullwo. r5,r0,r1
    lis r0,0x8000
    nego r8,r0
)"},
    {"logical", StateKind::Integer, R"(
    and r3,r4,r5
    and. r6,r7,r8
    andc r9,r10,r11
    andc. r12,r13,r14
    or r15,r16,r17
    or. r18,r19,r20
    orc r21,r22,r23
    orc. r24,r25,r26
    xor r27,r28,r30
    xor. r0,r1,r2
    nand r3,r3,r4
    nand. r5,r6,r7
    nor r8,r9,r10
    nor. r11,r12,r13
    eqv r14,r15,r16
    eqv. r17,r18,r19
    andi. r20,r21,0xf0f0
    andis. r22,r23,0x8001
    ori r24,r25,0x1234
    oris r26,r27,0xfedc
    xori r28,r30,0x5555
    xoris r0,r1,0xaaaa
    extsb r2,r3
    extsb. r4,r5
    extsh r6,r7
    extsh. r8,r9
    cntlzw r10,r11
    cntlzw. r12,r13
    li r14,0
    cntlzw r15,r14
)"},
    {"rotate-shift", StateKind::Integer, R"(
    rlwinm r3,r4,5,10,20
    rlwinm. r5,r6,31,0,31
    rlwinm r7,r8,3,20,5
    rlwinm. r9,r10,0,31,0
    rlwimi r11,r12,7,4,20
    rlwimi. r13,r14,9,25,3
    rlwnm r15,r16,r17,3,28
    rlwnm. r18,r19,r20,30,2
    slw r3,r4,r5
    slw. r6,r7,r8
    srw r9,r10,r11
    srw. r12,r13,r14
    sraw r15,r16,r17
    sraw. r18,r19,r20
    srawi r21,r22,0
    srawi. r23,r24,31
    srawi r25,r26,7
    li r0,32
    sraw r1,r2,r0
    li r0,63
    slw r27,r28,r0
    li r0,31
    sraw r30,r30,r0
)"},
    {"compare", StateKind::Integer, R"(
    cmpw r3,r4
    cmpw cr1,r5,r6
    cmplw cr2,r7,r8
    cmplw cr3,r9,r9
    cmpwi cr4,r10,-5
    cmplwi cr5,r11,0xffff
    cmpwi cr6,r12,0
    cmpw cr7,r13,r14
)"},
    {"cr-logical", StateKind::Integer, R"(
    crand 0,5,10
    cror 1,6,11
    crxor 2,7,12
    crnand 3,8,13
    crnor 4,9,14
    creqv 15,16,17
    crandc 18,19,20
    crorc 21,22,23
    crset 24
    crclr 25
    crmove 26,27
    crnot 28,29
    mcrf 7,0
    mcrf 5,6
    mfcr r3
    mtcrf 0x5a,r4
    mfcr r5
    mtcrf 0x81,r7
    isel r8,r9,r10,5
    isel r11,0,r12,17
    isel r13,r14,r15,30
    mfxer r16
    mcrxr cr3
    mfxer r17
)"},
    {"load-store", StateKind::Integer, R"(
    lwz r3,0(r29)
    lbz r4,5(r29)
    lhz r5,6(r29)
    lha r6,10(r29)
    lha r7,14(r29)
    stw r8,16(r29)
    stb r9,21(r29)
    sth r10,22(r29)
    li r11,4
    lwzx r12,r29,r11
    lbzx r13,r29,r11
    lhzx r14,r29,r11
    lhax r15,r29,r11
    lhbrx r16,r29,r11
    lwbrx r17,r29,r11
    li r18,24
    sthbrx r19,r29,r18
    li r18,28
    stwbrx r20,r29,r18
    li r18,26
    stbx r21,r29,r18
    mr r22,r29
    lwzu r23,4(r22)
    lbzu r24,1(r22)
    lhzu r25,2(r22)
    lhau r26,2(r22)
    stwu r27,4(r22)
    stbu r28,1(r22)
    sthu r0,2(r22)
    li r11,8
    lwzux r1,r22,r11
    stwux r2,r22,r11
    lwarx r3,0,r29
    addi r3,r3,1
    stwcx. r3,0,r29
    mfcr r4
    stmw r25,32(r29)
    addi r28,r28,1
    addi r30,r30,1
    mr r27,r29
    lmw r28,44(r27)
)"},
    {"cache-block", StateKind::Integer, R"(
    li r0,32
    dcbz r29,r0
    li r0,5
    dcbz r0,r29
)"},
    {"branch", StateKind::Integer, R"(
    bc 12,2,b1
    addi r3,r3,1
b1: bc 4,1,b2
    addi r4,r4,1
b2: bcl 20,0,b3
b3: mflr r5
    bl b4
b4: mflr r6
    bc 16,0,b5
    addi r7,r7,1
b5: bc 18,0,b6
    addi r8,r8,1
b6: bc 8,2,b7
    addi r9,r9,1
b7: bc 0,3,b8
    addi r10,r10,1
b8: bcl 4,2,b9
b9: mflr r11
    lis r12,b10@ha
    addi r12,r12,b10@l
    mtctr r12
    bcctr 12,0
    addi r13,r13,1
b10: lis r14,b11@ha
    addi r14,r14,b11@l
    mtlr r14
    bclr 4,5
    addi r15,r15,1
b11: lis r14,b12@ha
    addi r14,r14,b12@l
    mtlr r14
    bclrl 12,6
    addi r16,r16,1
b12: mflr r17
    mfctr r18
    b b13
    addi r19,r19,1
b13:
)"},
    {"spe-float", StateKind::Float, R"(
    li r0,0
    mtcrf 0x7f,r0
    efsadd r3,r4,r5
    efssub r6,r7,r8
    efsmul r9,r10,r11
    efsdiv r12,r4,r5
    efsabs r13,r6
    efsnabs r14,r7
    efsneg r15,r8
    efscfsi r16,r20
    efscfui r17,r21
    efsctsi r18,r4
    efsctsiz r19,r7
    efsctui r22,r10
    efsctuiz r23,r11
    efsctsi r24,r14
    efsctui r25,r15
    efscfuf r27,r21
    efscmpgt cr1,r4,r5
    efscmplt cr2,r6,r7
    efscmpeq cr3,r8,r8
    efststgt cr4,r9,r10
    efststlt cr5,r11,r12
    efststeq cr6,r4,r5
)"},
};

uint32_t specialvalue(std::mt19937& rng)
{
    static const uint32_t values[] = {0, 1, 2, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 0xFFFF, 0x8000, 31, 32, 33};
    return values[rng() % std::size(values)];
}

uint32_t randomfloat(std::mt19937& rng)
{
    static const float specials[] = {2.5f, -3.5f, 0.5f, 1.0f, -1.0f, 3.0e9f, -3.0e9f, 5.0e9f, 0.1f};
    if (rng() % 5 == 0) return std::bit_cast<uint32_t>(specials[rng() % std::size(specials)]);
    int exponent = int(rng() % 30) - 10;
    float v = std::ldexp(1.0f + float(rng() % 8388608) / 8388608.0f, exponent);
    return std::bit_cast<uint32_t>(rng() & 1 ? -v : v);
}

// One record's input words.
std::vector<uint32_t> randomstate(std::mt19937& rng, StateKind kind)
{
    std::vector<uint32_t> w(InWords);
    for (unsigned k = 0; k < 31; k++) w[k] = rng() % 4 == 0 ? specialvalue(rng) : uint32_t(rng());
    if (kind == StateKind::Float)
        for (unsigned k = 3; k <= 15; k++) w[k] = randomfloat(rng);
    w[31] = uint32_t(rng());                 // cr
    w[32] = uint32_t(rng()) & 0xE0000000u;   // xer: SO, OV, CA
    w[33] = uint32_t(rng()) & ~3u;           // lr
    w[34] = rng() % 2 ? uint32_t(rng() % 3) : uint32_t(rng()) & ~3u;  // ctr
    return w;
}

std::string programtext(const Group& g, std::mt19937& rng)
{
    std::ostringstream s;
    s << "    .text\n    .globl _start\n_start:\n"
         "    lis r31,records@ha\n    addi r31,r31,records@l\n"
         "next:\n"
         "    lwz r0,124(r31)\n    mtcr r0\n"
         "    lwz r0,128(r31)\n    mtxer r0\n"
         "    lwz r0,132(r31)\n    mtlr r0\n"
         "    lwz r0,136(r31)\n    mtctr r0\n";
    for (unsigned k = 0; k < 31; k++) s << "    lwz r" << k << "," << 4 * k << "(r31)\n";
    s << "    addi r29,r31," << ScratchOffset << "\n";
    s << g.body << "\n";
    for (unsigned k = 0; k < 31; k++) s << "    stw r" << k << "," << OutOffset + 4 * k << "(r31)\n";
    s << "    mfcr r0\n    stw r0," << OutOffset + 124 << "(r31)\n"
      << "    mfxer r0\n    stw r0," << OutOffset + 128 << "(r31)\n"
      << "    mflr r0\n    stw r0," << OutOffset + 132 << "(r31)\n"
      << "    mfctr r0\n    stw r0," << OutOffset + 136 << "(r31)\n"
      << "    addi r31,r31," << RecordBytes << "\n"
      << "    lis r30,records_end@ha\n    addi r30,r30,records_end@l\n"
      << "    cmpw r31,r30\n    blt next\n"
      << "    .globl finish\nfinish:\n"
      << "    li r0,4\n    li r3,1\n    lis r4,records@ha\n    addi r4,r4,records@l\n"
      << "    li r5," << States * RecordBytes << "\n    sc\n"
      << "    li r0,1\n    li r3,0\n    sc\n"
      << "    .data\n    .balign 16\n    .globl records\nrecords:\n";
    for (unsigned st = 0; st < States; st++) {
        for (uint32_t w : randomstate(rng, g.kind)) s << "    .long " << w << "\n";
        s << "    .space " << OutOffset << "\n";
        for (unsigned b = 0; b < ScratchBytes; b += 4) s << "    .long " << uint32_t(rng()) << "\n";
    }
    s << "    .globl records_end\nrecords_end:\n";
    return s.str();
}

std::string wordname(unsigned offset)
{
    static const char* const special[] = {"cr", "xer", "lr", "ctr"};
    std::ostringstream s;
    if (offset >= ScratchOffset) {
        s << "scratch+" << offset - ScratchOffset;
        return s.str();
    }
    unsigned k = (offset % OutOffset) / 4;
    s << (offset < OutOffset ? "in " : "out ");
    if (k < 31)
        s << 'r' << k;
    else
        s << special[k - 31];
    return s.str();
}

class QemuDiff : public ::testing::TestWithParam<Group> {};

TEST_P(QemuDiff, SameResultsAsEmulator)
{
    if (!simtest::havetools(true)) GTEST_SKIP() << "powerpc-linux-gnu binutils or qemu-ppc not installed";
    const Group& g = GetParam();
    std::mt19937 rng(0xC0FFEE ^ uint32_t(std::hash<std::string>{}(g.name)));
    simtest::ScratchDir dir;
    auto prog = simtest::buildprogram(programtext(g, rng), dir.path);
    ASSERT_TRUE(prog) << "could not build the program";
    auto expected = simtest::runqemu(prog->path);
    ASSERT_TRUE(expected) << "the emulator failed";
    ASSERT_EQ(expected->size(), States * RecordBytes);

    TargetReport report;
    RegisterFile regs;
    Memory mem(&report);
    Executor x(regs, mem, &report);
    x.setvleboundary(0xFFFFFFFF);
    for (const auto& seg : prog->segments) mem.putmem(seg.address, seg.bytes.data(), seg.bytes.size());
    regs.setpc(prog->entry);
    uint32_t finish = prog->symbols.at("finish"), records = prog->symbols.at("records");
    for (unsigned n = 0; n < 1000000 && regs.getpc() != finish; n++)
        ASSERT_EQ(x.step(), StepResult::Done) << "at " << std::hex << regs.getpc();
    ASSERT_EQ(regs.getpc(), finish);

    std::string got(States * RecordBytes, '\0');
    mem.getmem(got.data(), records, got.size());
    for (unsigned at = 0; at < got.size(); at += 4) {
        uint32_t want, have;
        std::memcpy(&want, expected->data() + at, 4);
        std::memcpy(&have, got.data() + at, 4);
        EXPECT_EQ(__builtin_bswap32(have), __builtin_bswap32(want))
            << g.name << " state " << at / RecordBytes << " " << wordname(at % RecordBytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Groups, QemuDiff, ::testing::ValuesIn(groups),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (c == '-') c = '_';
                             return n;
                         });

}  // namespace

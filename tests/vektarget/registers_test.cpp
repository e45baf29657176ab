// Register file: numbering, banks, names, dump layout and reset.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vek/core/target/memory.h"
#include "vek/core/target/registers.h"

using namespace vek;

TEST(Registers, SecondBankThroughBit80)
{
    RegisterFile regs;
    regs.setreg(RegPc, 0x1000);
    regs.setreg(RegPc | RegBank1, 0x2000);
    regs.setreg(5 | RegBank1, 77);
    EXPECT_EQ(regs.getreg(RegPc), 0x1000u);
    EXPECT_EQ(regs.getreg(RegPc | RegBank1), 0x2000u);
    EXPECT_EQ(regs.getcorepc(0), 0x1000u);
    EXPECT_EQ(regs.getcorepc(0x101), 0x2000u);
    EXPECT_EQ(regs.getreg(5), 0u);
    EXPECT_EQ(regs.getreg(5 | RegBank1), 77u);
}

TEST(Registers, UnknownNumbers)
{
    TargetReport report;
    RegisterFile regs;
    regs.report = &report;
    RegisterFile before = regs;
    for (unsigned n : {0u, 38u, 0x80u, 0x80u + 38u}) regs.setreg(n, 0xDEAD);
    EXPECT_EQ(std::memcmp(&before.bank, &regs.bank, sizeof regs.bank), 0);
    EXPECT_EQ(regs.getreg(38), 1u);
    EXPECT_EQ(regs.getreg(0), 1u);
    ASSERT_EQ(report.log.size(), 2u);
    EXPECT_EQ(report.log[0], "unknown register");
}

TEST(Registers, NamesAndList)
{
    EXPECT_EQ(regnum("pc"), 37u);
    EXPECT_EQ(regnum("PC"), 0u);
    EXPECT_EQ(regnum("r0"), 1u);
    EXPECT_EQ(regnum("r31"), 32u);
    EXPECT_EQ(regnum("xer"), 36u);
    EXPECT_STREQ(regname(33 | RegBank1), "lr");
    EXPECT_STREQ(regname(38), "");
    EXPECT_EQ(namedregsize("cr"), 4u);
    std::string expect;
    for (int i = 0; i < 32; i++) {
        expect += 'r';
        expect += std::to_string(i);
        expect += '\0';
    }
    for (const char* s : {"lr", "ctr", "cr", "xer", "pc"}) {
        expect += s;
        expect += '\0';
    }
    expect += '\0';
    EXPECT_EQ(reglist(), expect);
}

TEST(Registers, SavedBlocks)
{
    RegisterFile regs;
    for (unsigned n = 1; n <= RegCount; n++) regs.setreg(n, n * 0x01010101u);
    EXPECT_EQ(regblocksize(), 148u);
    unsigned char block[148];
    regs.getregs(block);
    EXPECT_EQ(getsavedreg(block, 35), 35 * 0x01010101u);
    EXPECT_EQ(getsavedpc(block), 37 * 0x01010101u);
    EXPECT_EQ(getsavedreg(block, 0), 0u);
    EXPECT_EQ(getsavedreg(block, 37 | RegBank1), 0u);
    RegisterFile other;
    other.putregs(block);
    EXPECT_EQ(std::memcmp(&other.bank[0], &regs.bank[0], 148), 0);
}

TEST(Registers, ResetReadsVectorAtFour)
{
    Memory mem;
    RegisterFile regs;
    for (unsigned n = 1; n <= RegCount; n++) regs.setreg(n, 0xFFFFFFFF);
    const unsigned char vector[] = {0x00, 0x00, 0x01, 0x00};
    mem.putmem(4, vector, 4);
    regs.resetregs(mem);
    EXPECT_EQ(regs.getpc(), 0x100u);
    for (unsigned n = 1; n < RegPc; n++) EXPECT_EQ(regs.getreg(n), 0u) << regname(n);
}

TEST(Registers, DumpLayout)
{
    RegisterFile regs;
    for (unsigned n = 1; n <= 32; n++) regs.setreg(n, n - 1);
    regs.setreg(RegLr, 0xAAAA0001);
    regs.setreg(RegCtr, 0xBBBB0002);
    regs.setreg(RegCr, 0xCCCC0003);
    regs.setreg(RegXer, 0xE0000000);
    regs.setreg(RegPc, 0x00001234);
    char buffer[512];
    std::memset(buffer, 'x', sizeof buffer);
    size_t len = regs.regdump(buffer);
    const char* expect =
        "r0:00000000  r8:00000008 r16:00000010 r24:00000018 xer:e0000000 cr:cccc0003\n"
        "r1:00000001  r9:00000009 r17:00000011 r25:00000019 ctr:bbbb0002 lr:aaaa0001\n"
        "r2:00000002 r10:0000000a r18:00000012 r26:0000001a  pc:00001234\n"
        "r3:00000003 r11:0000000b r19:00000013 r27:0000001b\n"
        "r4:00000004 r12:0000000c r20:00000014 r28:0000001c\n"
        "r5:00000005 r13:0000000d r21:00000015 r29:0000001d\n"
        "r6:00000006 r14:0000000e r22:00000016 r30:0000001e\n"
        "r7:00000007 r15:0000000f r23:00000017 r31:0000001f";
    EXPECT_EQ(std::string(buffer, len), expect);
    EXPECT_EQ(len, std::strlen(expect));
}

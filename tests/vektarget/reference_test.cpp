// The fast path against the reference mode. The same program runs twice:
// once from decoded blocks with their chains and the host page caches,
// once instruction by instruction, decoded afresh from memory. On the way
// it meets code points (the hook raises interrupts and stops the run now
// and then), memory points (every checked access and every hook call is
// logged) and runs cut into uneven counts, so blocks end early. Registers,
// counters, memory and the logs must come out the same.
//
// The programs: random classic and VLE code whose registers point into
// their own code (stores rewrite code ahead of them, in the running block
// and across the page boundary), assembled classic and VLE loops that
// patch their own instructions, and the C benchmark kernel compiled by
// the cross compiler. Programs that need an outside tool skip without it.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "oracle.h"
#include "vek/core/exec/simtarget.h"

using namespace vek;

namespace {

struct Image {
    uint32_t address;
    std::vector<uint8_t> bytes;
};

struct Scenario {
    std::vector<Image> images;
    uint32_t vle = 0;              // VLE boundary
    RegisterBlock start;
    std::vector<uint32_t> points;  // code points
    std::vector<std::pair<uint32_t, uint32_t>> watches;  // memory points
    uint64_t budget = 0;           // instructions in all
    unsigned seed = 1;             // the lengths of the runs
    size_t frames = DefaultFrameCount;
    std::vector<std::pair<uint32_t, uint32_t>> compare;  // memory compared
};

struct Outcome {
    RegisterBlock regs;
    uint32_t time = 0, nbins = 0;
    std::vector<uint8_t> memory;
    std::vector<std::string> log;
};

std::string hex(uint32_t v)
{
    std::ostringstream s;
    s << std::hex << v;
    return s.str();
}

Outcome play(const Scenario& sc, bool reference)
{
    SimTarget t;
    Outcome out;
    t.mem.setframelimit(sc.frames);
    t.exec.setreference(reference);
    t.exec.setvleboundary(sc.vle);
    for (const Image& im : sc.images) t.mem.putmem(im.address, im.bytes.data(), im.bytes.size());
    t.regs.putregs(&sc.start);
    for (uint32_t p : sc.points) t.exec.addpoint(p);
    for (auto [a, n] : sc.watches) t.mem.addwatch(a, n);
    int asked = 0, watchhits = 0;
    t.exec.atpoint = [&](uint32_t pc) {
        out.log.push_back("point " + hex(pc) + " t" + hex(t.time) + " n" + hex(t.nbins) + " r3 " + hex(t.regs.core0()[3]));
        TGTRaiseInterrupt(t.pending, -4 * int32_t(1 + (pc >> 1) % MaxInterrupts));
        return ++asked % 4 == 0;
    };
    t.mem.chkpoints = [&](uint32_t address, int kind) {
        out.log.push_back("check " + hex(address) + " " + std::to_string(kind));
        return 0u;
    };
    t.exec.atwatch = [&] {
        out.log.push_back("watch pc " + hex(t.regs.getpc()) + " t" + hex(t.time) + " n" + hex(t.nbins));
        return ++watchhits % 5 == 0;
    };
    std::mt19937 rng(sc.seed);
    for (uint64_t done = 0; done < sc.budget;) {
        uint64_t chunk = std::min<uint64_t>(1 + rng() % 300, sc.budget - done);
        uint64_t n = t.exec.run(chunk);
        done += n;
        out.log.push_back("run " + std::to_string(n) + " ended " + std::to_string(int(t.exec.ended)));
        if (t.exec.ended == RunEnd::Illegal) break;
    }
    t.mem.chkpoints = nullptr;
    t.regs.getregs(&out.regs);
    out.time = t.time;
    out.nbins = t.nbins;
    for (auto [a, n] : sc.compare) {
        std::vector<uint8_t> bytes(n);
        t.mem.getmem(bytes.data(), a, n);
        out.memory.insert(out.memory.end(), bytes.begin(), bytes.end());
    }
    out.log.push_back("pending " + std::to_string(firstpending(t.pending)));
    return out;
}

// Both ways, compared; returns the fast way's outcome.
Outcome bothways(const Scenario& sc, const std::string& what)
{
    Outcome fast = play(sc, false), ref = play(sc, true);
    EXPECT_EQ(std::memcmp(&fast.regs, &ref.regs, sizeof(RegisterBlock)), 0) << what << ": registers";
    for (unsigned r = 0; r < RegCount; r++)
        if (fast.regs.word[r] != ref.regs.word[r])
            ADD_FAILURE() << what << ": " << regname(r + 1) << " fast " << hex(fast.regs.word[r]) << " reference "
                          << hex(ref.regs.word[r]);
    EXPECT_EQ(fast.time, ref.time) << what << ": cycles";
    EXPECT_EQ(fast.nbins, ref.nbins) << what << ": instructions";
    EXPECT_TRUE(fast.memory == ref.memory) << what << ": memory";
    EXPECT_EQ(fast.log.size(), ref.log.size()) << what << ": log length";
    for (size_t k = 0; k < std::min(fast.log.size(), ref.log.size()); k++)
        if (fast.log[k] != ref.log[k]) {
            ADD_FAILURE() << what << ": log line " << k << ": fast \"" << fast.log[k] << "\" reference \"" << ref.log[k]
                          << "\"";
            break;
        }
    return fast;
}

// ---- random programs that rewrite themselves

constexpr uint32_t Code = 0x11C0, CodeBytes = 0x80;  // straddles 0x1200

// Random classic words, mostly of opcodes that run (arithmetic, logic,
// stores that can hit the code, short branches).
uint32_t classicword(std::mt19937& rng)
{
    static const uint32_t ops[] = {14, 15, 24, 21, 36, 37, 38, 44, 47, 31, 31, 16, 18};
    uint32_t op = ops[rng() % std::size(ops)], w = rng() & 0x03FFFFFF;
    int32_t off = int32_t(rng() % 64) * 4 - 128;
    if (op >= 36) w = (w & 0x03FF0000) | (uint32_t(off / 4) & 0xFFFF);  // near the base
    if (op == 16) w = (w & 0x03FF0003) | (uint32_t(off) & 0xFFFC);
    if (op == 18) w = (uint32_t(off) & 0x03FFFFFC) | (w & 1);
    return op << 26 | w;
}

Scenario randomprogram(std::mt19937& rng, bool vle)
{
    Scenario sc;
    sc.vle = vle ? 0 : 0xFFFFFFFFu;
    std::vector<uint8_t> code(CodeBytes);
    for (uint8_t& b : code) b = uint8_t(rng());
    if (!vle)
        for (uint32_t k = 0; k < CodeBytes; k += 4) {
            uint32_t w = classicword(rng);
            for (int j = 0; j < 4; j++) code[k + j] = uint8_t(w >> (24 - 8 * j));
        }
    sc.images.push_back({Code, code});
    for (unsigned r = 0; r < 32; r++) sc.start.word[r] = Code - 8 + rng() % (CodeBytes + 16);
    sc.start.word[RegCr - 1] = rng(), sc.start.word[RegXer - 1] = rng() & 0xE000007F;
    sc.start.word[RegPc - 1] = Code + (rng() % CodeBytes & (vle ? ~1u : ~3u));
    for (int k = 0; k < 3; k++) sc.points.push_back(Code + (rng() % CodeBytes & ~1u));
    if (rng() % 2) sc.watches.push_back({Code + rng() % CodeBytes, 1 + rng() % 8});
    sc.budget = 400;
    sc.seed = rng();
    sc.compare = {{Code - 160, CodeBytes + 320}};
    return sc;
}

TEST(Reference, RandomSelfModifyingPrograms)
{
    std::mt19937 rng(99);
    for (bool vle : {false, true})
        for (int prog = 0; prog < 150; prog++) {
            Scenario sc = randomprogram(rng, vle);
            bothways(sc, std::string(vle ? "vle" : "classic") + " program " + std::to_string(prog));
            if (HasFailure()) return;
        }
}

// ---- assembled programs

constexpr uint32_t Load = 0x1F00;    // code (its last page boundary at 0x2000 is crossed)
constexpr uint32_t Data = 0x40000;  // the data the loops walk

// r4 data, ctr the passes; each pass adds into a table word, calls a
// function, and rewrites two addi instructions: one in a block already run,
// one right after the store, in the same block.
const char* classicloop = R"(
    lis r4,4
    li r3,0
    li r5,300
    mtctr r5
loop:
    rlwinm r6,r5,4,18,27
    lwzx r7,r4,r6
    add r7,r7,r3
    stwx r7,r4,r6
    bl func
    addi r5,r5,-1
patch:
    addi r3,r3,1
    lis r8,0x3863
    andi. r9,r5,0x7f
    or r8,r8,r9
    bl here
here:
    mflr r10
    stw r8,(patch2-here)(r10)
patch2:
    addi r3,r3,1
    stw r8,(patch-here)(r10)
    bdnz loop
    lmw r26,0(r4)
    stmw r26,64(r4)
    divw r11,r3,r5
    divwu r12,r3,r4
    mulhw r13,r3,r7
    .long 0
func:
    mullw r14,r3,r7
    xor r3,r3,r14
    cmpwi r3,0
    blt neg
    blr
neg:
    neg r3,r3
    blr
)";

// The same in VLE: se_ and e_ forms, the patched instruction an e_add16i.
const char* vleloop = R"(
    e_lis r4,4
    se_li r3,0
    e_li r5,300
    se_mtctr r5
loop:
    e_rlwinm r6,r5,4,18,27
    se_add r6,r4
    se_lwz r7,0(r6)
    se_add r7,r3
    se_stw r7,0(r6)
    e_bl func
    se_subi r5,1
patch:
    e_add16i r3,r3,1
    e_lis r8,0x1c63
    e_andi. r9,r5,0x7f
    or r8,r8,r9
    e_bl here
here:
    mflr r10
    e_stw r8,(patch2-here)(r10)
patch2:
    e_add16i r3,r3,1
    e_stw r8,(patch-here)(r10)
    e_bdnz loop
    e_lmw r26,0(r4)
    e_stmw r26,64(r4)
    divw r11,r3,r5
    mulhw r12,r3,r7
    .long 0
func:
    mullw r14,r3,r7
    xor r3,r3,r14
    e_cmpi cr0,r3,0
    se_blt neg
    se_blr
neg:
    se_neg r3
    se_blr
)";

// Offset of the nth occurrence of an instruction word in code.
uint32_t wordat(const std::vector<uint8_t>& code, uint32_t word, int nth = 1)
{
    for (uint32_t k = 0; k + 4 <= code.size(); k += 2)
        if ((uint32_t(code[k]) << 24 | uint32_t(code[k + 1]) << 16 | uint32_t(code[k + 2]) << 8 | code[k + 3]) == word &&
            --nth == 0)
            return k;
    ADD_FAILURE() << "no word " << hex(word);
    return 0;
}

Scenario assembled(const std::vector<uint8_t>& code, bool vle, uint64_t budget)
{
    Scenario sc;
    sc.vle = vle ? Load : 0xFFFFFFFFu;
    sc.images.push_back({Load, code});
    sc.start.word[RegPc - 1] = Load;
    // Points on the loop head, the function and the instruction rewritten
    // in its own block; memory points on a table word and on that code.
    const uint32_t head = wordat(code, vle ? 0x74A624B7 : 0x54A624B6);
    const uint32_t patch2 = wordat(code, vle ? 0x1C630001 : 0x38630001, 2);
    const uint32_t func = wordat(code, 0x7DC339D6);
    sc.points = {Load + head, Load + func, Load + patch2};
    sc.watches = {{Data + 0x100, 4}, {Load + patch2, 2}};
    sc.budget = budget;
    sc.seed = 5;
    sc.compare = {{Load, uint32_t(code.size())}, {Data, 0x1000}};
    return sc;
}

TEST(Reference, AssembledLoopsThatPatchThemselves)
{
    if (!simtest::havetools(false)) GTEST_SKIP() << "powerpc-linux-gnu binutils not installed";
    for (bool vle : {false, true}) {
        auto code = simtest::assemble(vle ? vleloop : classicloop, vle);
        ASSERT_TRUE(code) << "the loop does not assemble";
        Outcome fast = bothways(assembled(*code, vle, 100000), vle ? "vle loop" : "classic loop");
        EXPECT_NE(fast.log.back(), "pending 0") << "the hook raised interrupts";
        EXPECT_GT(fast.log.size(), 1000u) << "points and watches were met";
        EXPECT_TRUE(fast.log[fast.log.size() - 2].ends_with("ended 1")) << "the loop ran to its end";
        Scenario plain = assembled(*code, vle, 100000);
        plain.points.clear(), plain.watches.clear();
        bothways(plain, vle ? "vle loop, no points" : "classic loop, no points");
    }
}

// Scattered accesses over more pages than a small frame pool holds, so
// the host caches lose entries as frames are evicted under the run.
TEST(Reference, EvictionUnderTheRun)
{
    if (!simtest::havetools(false)) GTEST_SKIP() << "powerpc-linux-gnu binutils not installed";
    auto code = simtest::assemble(R"(
    lis r4,0x10
    lis r8,0x19
    ori r8,r8,0x660d
    li r3,1
    li r5,3000
    mtctr r5
loop:
    mullw r3,r3,r8
    addi r3,r3,12345
    rlwinm r6,r3,0,13,29
    lwzx r7,r4,r6
    add r7,r7,r3
    stwx r7,r4,r6
    bdnz loop
    .long 0
)",
                                  false);
    ASSERT_TRUE(code);
    Scenario sc;
    sc.vle = 0xFFFFFFFFu;
    sc.images.push_back({Load, *code});
    sc.start.word[RegPc - 1] = Load;
    sc.frames = SmallFrameCount;
    sc.budget = 30000;
    sc.compare = {{0x100000, 0x80000}};
    bothways(sc, "scattered");
}

std::string readsource(const std::string& name)
{
    std::ifstream in(std::string(QV_SOURCE_DIR) + "/bench/speed/" + name);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Reference, CompiledBenchmarkKernel)
{
    if (!simtest::havetools(false) || !simtest::havecompiler())
        GTEST_SKIP() << "powerpc-linux-gnu-gcc not installed";
    simtest::ScratchDir dir;
    auto prog = simtest::buildcprogram(readsource("kernel.c"), readsource("start.s"), "-Wa,--defsym,ROUNDS=1",
                                       dir.path);
    ASSERT_TRUE(prog) << "the kernel does not build";
    Scenario sc;
    sc.vle = 0xFFFFFFFFu;
    for (const simtest::LoadSegment& seg : prog->segments) sc.images.push_back({seg.address, seg.bytes});
    sc.start.word[RegPc - 1] = prog->entry;
    sc.points = {prog->symbols.at("work")};
    sc.budget = 2000000;
    for (const simtest::LoadSegment& seg : prog->segments) sc.compare.push_back({seg.address, uint32_t(seg.bytes.size())});
    Outcome fast = bothways(sc, "kernel");
    EXPECT_EQ(fast.log[fast.log.size() - 2].substr(0, 4), "run ");
    EXPECT_TRUE(fast.log[fast.log.size() - 2].ends_with("ended 1")) << "ends at its word of zeros";
}

}  // namespace

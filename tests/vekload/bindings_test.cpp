// The loader bound to the real target model and program symbol table.
#include "harness.h"
#include "vek/core/loader/bindings.h"

namespace {

TEST(Bindings, ObjectLoadsIntoSimulatedMemoryAndSymbolTable) {
    fixture::Object o;
    std::vector<uint8_t> text(1500);
    for (size_t i = 0; i < text.size(); ++i) text[i] = uint8_t(i * 13);
    o.sections.push_back({".text", 0xD6, 0x10F0, 0x10F0, text});
    o.symbols = {{0x1100, 0x05, 1, "_main"}, {0x10F0, 0x05, 1, "__stext"}};
    std::string path = writetemp("bound.o", o.bytes());

    vek::resetsymbols();
    vek::defsym(".time", 77);
    vek::defsym("_old", 5);
    vek::Memory memory;
    memory.checkflag = true;
    int checks = 0;
    memory.chkpoints = [&](uint32_t, int) { return uint32_t(++checks * 0); };
    vek::RegisterFile registers;
    vek::TargetBinding target(memory, registers);
    vek::ProgramSymbols syms;
    vek::Program prog;
    vek::CaptureReport rep;
    vek::LoadEnv env{prog, target, syms, rep};
    vek::LoadOutcome r = vek::loadprogram(env, path, nullptr, true, false);
    ASSERT_TRUE(r.ok) << rep.err;
    EXPECT_EQ(checks, 0);   // loading passes no access checks
    EXPECT_TRUE(memory.checkflag);
    std::vector<uint8_t> got(text.size());
    memory.checkflag = false;
    memory.getmem(got.data(), 0x10F0, got.size());
    EXPECT_EQ(got, text);
    EXPECT_EQ(registers.getpc(), 0x10F0u);
    ASSERT_TRUE(vek::rensym("_main"));
    EXPECT_EQ(vek::rensym("_main")->kind, 5);
    EXPECT_EQ(vek::rensym("_old"), nullptr);
    ASSERT_TRUE(vek::rensym(".time"));
    EXPECT_EQ(vek::rensym(".time")->value, 0u);   // a reload keeps .time at 0
    vek::resetsymbols();
}

}  // namespace

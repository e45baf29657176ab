// A bounded randomized run over the line processor: sources built from
// fragments of the language and random bytes must assemble or fail with
// diagnostics, never crash, hang or trip the sanitizers.
#include "asmtest.h"

#include <cstdlib>
#include <random>

using namespace asmtest;

TEST_F(AsmTest, RandomSourcesNeverCrash) {
    const char* fragments[] = {
        "l%d:", " dc.b ", " dc.w ", " dc.l ", " ds.b ", " dcb.w 3,", " equ ", " set ", " if ", " else", " endif",
        " ifdef l%d", " macro", " endm", " repeat ", " endr", " irp ", " rexit", " mexit", " include \"t.s\"",
        " section ", " switch .data", " org ", " align ", " offset ", " save", " restore", " fail ", " lit ",
        " base ", " xdef ", " xref ", " end", " #define ", " .dline \"x\"", " .sfile ", " #line ", " \\@",
        " \\1", " \\\\", "\"str", "'ab'", ",", "(", ")", "+", "-", "*", "/", "%", "<<", ">>", "&&", "~", "!",
        "0x", "$", "@", "1f", "19q", "0x7FFFFFFF", "-2147483648", "l%d", "*", "high(", "low(", "page(",
        "strlen(", " add ", " r3", ";", "//", "\t", " list", " mlist on", " title \"t\"", " spc 3", " funa ",
        " vle on", " .info \"i\"", " plen 12", " ifc \"a\",\"a\"", " tabs", "m%d: macro", " m%d 1,2",
    };
    std::mt19937 rng(12345);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    for (int round = 0; round < 150; round++) {
        std::string src;
        int lines = 1 + static_cast<int>(pick(25));
        for (int l = 0; l < lines; l++) {
            int parts = 1 + static_cast<int>(pick(5));
            for (int p = 0; p < parts; p++) {
                if (pick(12) == 0) {
                    src.push_back(static_cast<char>(1 + pick(255)));
                    continue;
                }
                char buf[64];
                std::snprintf(buf, sizeof buf, fragments[pick(std::size(fragments))], static_cast<int>(pick(4)));
                src += buf;
                if (pick(3) == 0) src += std::to_string(static_cast<int>(pick(40)) - 5);
            }
            src += pick(10) == 0 ? "\r\n" : "\n";
        }
        write("t.s", src);
        if (std::getenv("ASM_FUZZ_TRACE")) write("/tmp/asm_fuzz_last.s", src);
        std::vector<std::string> args;
        if (pick(2)) args.push_back("-l");
        if (pick(3) == 0) args.push_back("-x");
        if (pick(4) == 0) args.push_back("-m");
        args.push_back("t.s");
        Result r = run(args);
        ASSERT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status << " for:\n" << src;
    }
}

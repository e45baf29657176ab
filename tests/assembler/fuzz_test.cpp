// A bounded randomized run over the line processor: sources built from
// fragments of the language and random bytes must assemble or fail with
// diagnostics, never crash, hang or trip the sanitizers.
#include "asmtest.h"

#include <cstdlib>
#include <random>

#include "tools/objdump/objdump.h"

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
    int written = 0;
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
        // every object written must be consistent: streams inside their sections
        if (r.status == 0) {
            objdump::DumpResult d = objdump::dump(readbytes("t.o"));
            ASSERT_TRUE(d.problems.empty()) << d.text << "\nfor:\n" << src;
            ++written;
        }
    }
    (void)written;
}

// Valid sources of random shape: every object must assemble and its
// relocation streams must walk exactly inside their sections.
TEST_F(AsmTest, RandomValidSourcesGiveSoundObjects) {
    // L an existing label, E an external, N a small count
    const char* templates[] = {
        " dc.b N", " dc.w L", " dc.l L+N", " dc.l E", " dc.b low(E),high(L)", " ds.b N", " ds.w N", " align N",
        " switch .data", " switch .text", " switch .bss", "sN: section code", " dcb.w N,L", " dc.w plow(E)",
        " repeat N\n dc.l L\n endr", " org N*64", " add r3,r4", " lwz r3,N(r4)", " b L", " e_bl E",
        " e_lis r3,L@ha", " e_add16i r3,r3,L@l", "m: dc.b N",
    };
    std::mt19937 rng(777);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    int written = 0;
    for (int round = 0; round < 60; round++) {
        std::string src;
        for (int i = 0; i < 4; i++) src += "l" + std::to_string(i) + ": dc.b " + std::to_string(i) + "\n";
        for (int i = 0; i < 4; i++) src += " xref e" + std::to_string(i) + "\n";
        int lines = 5 + static_cast<int>(pick(40));
        for (int l = 0; l < lines; l++) {
            std::string line = templates[pick(std::size(templates))];
            for (size_t at; (at = line.find_first_of("LEN")) != std::string::npos;) {
                char c = line[at];
                std::string with = c == 'L' ? "l" + std::to_string(pick(4))
                                 : c == 'E' ? "e" + std::to_string(pick(4))
                                            : std::to_string(1 + pick(8));
                line.replace(at, 1, with);
            }
            if (line.rfind("m:", 0) == 0) line = "m" + std::to_string(l) + line.substr(1);
            src += line + "\n";
        }
        src += " switch .text\n";  // branches and sections label each other freely
        write("t.s", src);
        Result r = run({"-x", "t.s"});
        if (r.status != 0) continue;  // an org behind the location, a form out of range
        written++;
        objdump::DumpResult d = objdump::dump(readbytes("t.o"));
        ASSERT_TRUE(d.problems.empty()) << d.text << "\nfor:\n" << src;
    }
    EXPECT_GT(written, 30);
}

// Bounded randomized runs over the line processor: sources built from
// fragments of the language and random bytes, and mutations of sound
// sources, must assemble or fail with diagnostics, never crash, hang or trip
// the sanitizers; every object written must pass the dumper's checks.
#include "asmtest.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/common_interface_defs.h>
#endif

#include "assembler/asm.h"
#include "toollib/options.h"
#include "toollib/quit.h"
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
        // ASM_FUZZ_TRACE=path keeps the source of the last round there
        if (const char* trace = std::getenv("ASM_FUZZ_TRACE")) write(trace, src);
        std::vector<std::string> args;
        if (pick(2)) args.push_back("-l");
        if (size_t x = pick(6); x < 2) args.push_back(x ? "-x" : "-xx");
        if (size_t m = pick(6); m < 2) args.push_back(m ? "-m" : "-mi");
        args.push_back("t.s");
        Result r = run(args);
        ASSERT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status << " for:\n" << src;
        // every object written must be consistent: streams inside their sections
        if (r.status == 0) {
            objdump::DumpResult d = objdump::dump(readbytes("t.o"));
            ASSERT_TRUE(d.problems.empty()) << ::testing::PrintToString(d.problems) << "\n" << d.text << "\nfor:\n" << src;
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
        ASSERT_TRUE(d.problems.empty()) << ::testing::PrintToString(d.problems) << "\n" << d.text << "\nfor:\n" << src;
    }
    EXPECT_GT(written, 30);
}

namespace {

// The input being assembled, for the watchdog to show when it fires.
char watched[512];

// cappc in-process with its standard output and error thrown away: the
// status is all that counts here, and the capture's files would cost more
// than the assembly of a small source.
// The test's own standard error while cappc's goes nowhere: the watchdog
// and the sanitizers report there.
int realerr = 2;

int quietrun(std::vector<std::string> args) {
    args.insert(args.begin(), "cappc");
    std::vector<char*> argv;
    for (auto& w : args) argv.push_back(w.data());
    argv.push_back(nullptr);
    tl::resettoolcontext();
    int saved[2] = {::dup(1), ::dup(2)};
    realerr = saved[1];
#ifdef __SANITIZE_ADDRESS__
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(realerr)));
#endif
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::close(null);
    int status = tl::runmain([&] { return as::run(static_cast<int>(args.size()), argv.data()); });
    ::dup2(saved[0], 1);
    ::dup2(saved[1], 2);
    ::close(saved[0]);
    ::close(saved[1]);
    realerr = 2;
#ifdef __SANITIZE_ADDRESS__
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(2)));
#endif
    return status;
}

void timedout(int) {
    const char head[] = "\ncappc took too long on the source starting:\n";
    ssize_t ignored = ::write(realerr, head, sizeof head - 1);
    ignored = ::write(realerr, watched, std::strlen(watched));
    (void)ignored;
    ::_exit(1);
}

}  // namespace

// Mutations of sound sources (bytes changed, fragments inserted, ranges
// dropped, lines repeated, one character repeated thousands of times): each
// input ends with status 0 or 1 within its time limit, and a runaway output
// meets a file-size limit instead of the disk's end.
TEST_F(AsmTest, MutatedSourcesEndCleanly) {
    const char* seeds[] = {
        " xdef start\nstart: li r3,0\n li r4,10\nloop: add r3,r4\n subi. r4,1\n bne loop\n dc.w 0\n",
        "m: macro \\a,\\b\n dc.b \\a,\\b\n endm\n m 1,2\n repeat 3\n dc.w \\@\n endr\n"
        " irp \\x,4,5\n dc.l \\x*2\n endr\n",
        "x: equ 5\n if x>3\n dc.b x\n else\n fail 1\n endif\n ifdef x\n dc.w (x+1)*(x-1)\n endif\n",
        " title \"t\"\n plen 12\n dc.b 1\n page\n spc 2\n subttl \"s\"\n dc.b 'ab'\n nopage\n",
        "d: section .data\n dc.l d,e\n xref e\n switch .text\n e_lis r3,d@ha\n e_add16i r3,r3,d@l\n"
        " lwz r4,8(r0)\n stw r4,4(r3)\n",
        " org 0x100\na: dc.b 1\n align 4\n ds.l 2\n offset 0\nf1: ds.l 1\nf2: ds.w 1\n dc.w f2-f1\n",
        " .dline \"c.c:3\"\n add r3,r4\n .dstart \"c.c~:1-3\"\n .dendfn \"c.c:3-3\"\n base 16\n dc.b 10\n",
        "s: lit \"1+2\"\n dc.b s,high(0x1234),low(0x1234),strlen(\"abc\")\n #define K 3\n dc.b K\n",
    };
    const char* fragments[] = {
        "(", "((((((((", ")", "-", "~", "!", "high(", "low(", "page(", "\\@", "\\1", "\\", "'", "\"",
        ",", ";", "*", " macro\n", " endm\n", " repeat 99\n", " endr\n", " if 1\n", " endif\n",
        " page\n", " plen 10\n", " base 16\n", " org 0\n", " end\n", " rexit\n", " mexit\n",
        "0x", "$", "@", "%", "19q", "\t", "\r", "\n", " nop\n", " b .\n", " dc.l *\n",
    };
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limited = old;
    limited.rlim_cur = std::min<rlim_t>(old.rlim_max, 64u << 20);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    auto oldxfsz = ::signal(SIGXFSZ, SIG_IGN);
    auto oldalrm = ::signal(SIGALRM, timedout);

    std::mt19937 rng(4242);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    const char* optionsets[][3] = {{"-si"}, {"-l"}, {"-x"}, {"-xx", "-mi"}, {"-m"}, {"-ft", "-l"}, {"-c", "-b"}};
    // a few seconds under the sanitizers; ASM_MUTATIONS=n runs n inputs
    int rounds = 600;
    if (const char* n = std::getenv("ASM_MUTATIONS")) rounds = std::atoi(n);
    for (int round = 0; round < rounds; round++) {
        std::string src = seeds[pick(std::size(seeds))];
        for (size_t m = 1 + pick(4); m > 0; m--) {
            size_t at = src.empty() ? 0 : pick(src.size());
            switch (pick(6)) {
            case 0: if (!src.empty()) src[at] = static_cast<char>(1 + pick(255)); break;
            case 1: src.insert(at, fragments[pick(std::size(fragments))]); break;
            case 2: src.erase(at, 1 + pick(12)); break;
            case 3: {
                size_t begin = src.rfind('\n', at);
                begin = begin == std::string::npos ? 0 : begin + 1;
                size_t end = src.find('\n', at);
                std::string line = src.substr(begin, end == std::string::npos ? std::string::npos : end - begin + 1);
                for (size_t k = pick(4); k > 0; k--) src.insert(begin, line);
                break;
            }
            case 4:
                // one character many times (a digit only a few: a repeat
                // count of billions is bounded by the lines of a pass, at
                // seconds per input)
                if (!src.empty()) {
                    bool digit = src[at] >= '0' && src[at] <= '9';
                    src.insert(at, digit ? 1 + pick(3) : pick(8) == 0 ? 20000 + pick(10000) : 1 + pick(300), src[at]);
                }
                break;
            default: if (src.size() > 1) std::swap(src[at], src[pick(src.size())]); break;
            }
        }
        write("t.s", src);
        std::snprintf(watched, sizeof watched, "%s", src.substr(0, sizeof watched - 1).c_str());
        std::vector<std::string> args;
        for (const char* o : optionsets[pick(std::size(optionsets))])
            if (o) args.push_back(o);
        args.push_back("t.s");
        ::alarm(20);
        int status = quietrun(args);
        ::alarm(0);
        ASSERT_TRUE(status == 0 || status == 1) << "status " << status << " for:\n" << src.substr(0, 2000);
        if (status == 0 && exists("t.o")) {
            objdump::DumpResult d = objdump::dump(readbytes("t.o"));
            ASSERT_TRUE(d.problems.empty()) << ::testing::PrintToString(d.problems) << "\nfor:\n" << src.substr(0, 2000);
        }
        std::remove("t.o");
    }
    ::signal(SIGALRM, oldalrm);
    ::signal(SIGXFSZ, oldxfsz);
    ::setrlimit(RLIMIT_FSIZE, &old);
}

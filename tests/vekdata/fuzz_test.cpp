// Random command lines: no crash and no hang (under the sanitizers).
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "datafixture.h"

using Fuzz = DataFixture;

TEST_F(Fuzz, RandomCommandLinesStayInBounds) {
    const char* words[] = {"x", "x /F:B", "x /Q", "u", "updat", "mess", "dump", "dump /l /a", "fill", "fill /w /v",
                           "fill /r", "mm /w", "print", "print /a /p", "perf", "perf /z", "funcs /v", "files",
                           "stack", "fopen /c:1", "fclose", "fwrite /c:1", "fread /c:1", "rewind", "vars /a"};
    const char* pieces[] = {"0x5000", ",", "2", "gi", "msg", "\"%d %s %*.*f %[a\"", "\"a\\n\"", "?", "?s", "=",
                            "pt", "-1", "0x5008", "fx.c:1:40", "g()", "3.5", ".v", "$r3", "\"%", "%",
                            "\"%5000d\"", "out.txt", ";", "{", "}", "(", "arr[9]", "/Z", "0xfffffff0", "16"};
    // A line that runs long (a dump or fill of a gigabyte) is stopped as
    // the user would stop it.
    std::atomic<long> line_no{0};
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        long seen = -1;
        int ticks = 0;
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const long now = line_no;
            ticks = now == seen ? ticks + 1 : 0;
            seen = now;
            if (ticks >= 5) d->flags.stop = 1;
        }
    });
    std::mt19937 rng(1234);
    for (int n = 0; n < 1500; ++n) {
        std::string line = words[rng() % std::size(words)];
        for (int k = int(rng() % 6); k > 0; --k) line += std::string(" ") + pieces[rng() % std::size(pieces)];
        input.push_back("7");
        run(line);
        d->flags.stop = 0;
        ++line_no;
    }
    done = true;
    watchdog.join();
    run("fclose 1");
    // The fuzzer's ranges may cover any address, so what is checked here is
    // that every line ended; element bounds are checked by the fill tests.
    EXPECT_EQ(line_no, 1500);
}

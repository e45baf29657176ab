// Memory windows over the whole space: builds a 50-line data page at 0,
// 0x80000000 and 0xFFFFFFC0, 10,000 page-downs and a 50-line Disassembly
// page, reading through the peek; prints the time per page and the pages
// of simulated memory made (none should be). The target: at most 1 ms per
// page in the model.
#include <chrono>
#include <cstdio>

#include "vek/core/decode/decode.h"
#include "vek/core/target/memory.h"
#include "vek/views/machinemodel/disasm.h"
#include "vek/views/machinemodel/memwin.h"

using namespace vek::views;

int main() {
    vek::Memory mem;
    for (uint32_t a = 0x1000; a < 0x1400; a += 4) mem.putlong(a, 0x7C632214);   // add r3,r3,r4
    MemEnv env;
    env.peek = [&mem](uint32_t a) { return mem.peekbyte(a); };
    vek::DecodeEnv denv;
    denv.gethalf = [&mem](uint32_t a) { return mem.peekword(a); };
    denv.getword = [&mem](uint32_t a) { return mem.peeklong(a); };
    env.decode = [&denv](uint32_t a, std::string& text) {
        char buf[512] = {};
        vek::Decoded out;
        const unsigned n = vek::decodeinsn(denv, a, vek::DecodeText, buf, out);
        text = buf;
        return n;
    };
    const size_t before = mem.pagecount();
    using clock = std::chrono::steady_clock;
    auto ms = [](clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };

    MemoryWindow first = datawindow(0x40, 2, FmtHex, true);
    buildmemlines(first, env);
    for (uint32_t at : {0u, 0x80000000u, 0xFFFFFFC0u}) {
        MemoryWindow w = datawindow(at, 2, FmtHex, true);
        w.visiblelines = 50;
        const auto t0 = clock::now();
        buildmemlines(w, env);
        std::printf("data page at 0x%08x: %.3f ms\n", unsigned(at), ms(clock::now() - t0));
    }
    MemoryWindow w = datawindow(0, 4, FmtHex, true);
    w.visiblelines = 50;
    buildmemlines(w, env);
    auto t0 = clock::now();
    for (int i = 0; i < 10000; ++i) scrollmem(w, env, PageDown);
    std::printf("10,000 page-downs: %.3f ms per page\n", ms(clock::now() - t0) / 10000);

    DisasmPane warm;   // the decoder's tables are made on first use
    refreshdisasm(warm, env, 0x1200);
    DisasmPane p;
    p.linecount = 50;
    t0 = clock::now();
    refreshdisasm(p, env, 0x1000);
    std::printf("Disassembly page: %.3f ms\n", ms(clock::now() - t0));
    std::printf("pages made: %zu\n", mem.pagecount() - before);
    return mem.pagecount() == before ? 0 : 1;
}

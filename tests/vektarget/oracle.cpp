// Running the outside tools: commands through popen, ELF32 big-endian
// program headers for the segments, nm for the symbols.
#include "oracle.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace simtest {

namespace {

std::optional<std::string> capture(const std::string& command)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p) return std::nullopt;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    if (status != 0) return std::nullopt;
    return out;
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

std::optional<std::string> readall(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t be32(const std::string& s, size_t at)
{
    if (at + 4 > s.size()) return 0;
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 |
           uint32_t(uint8_t(s[at + 2])) << 8 | uint8_t(s[at + 3]);
}
uint32_t be16(const std::string& s, size_t at)
{
    if (at + 2 > s.size()) return 0;
    return uint32_t(uint8_t(s[at])) << 8 | uint8_t(s[at + 1]);
}

bool writefile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out);
}

}  // namespace

bool havetools(bool needqemu)
{
    bool ok = run("command -v powerpc-linux-gnu-as >/dev/null 2>&1 && command -v powerpc-linux-gnu-ld >/dev/null 2>&1"
                  " && command -v powerpc-linux-gnu-objcopy >/dev/null 2>&1 && command -v powerpc-linux-gnu-nm >/dev/null 2>&1");
    if (ok && needqemu) ok = run("command -v qemu-ppc >/dev/null 2>&1");
    return ok;
}

ScratchDir::ScratchDir()
{
    const char* t = std::getenv("TMPDIR");
    std::string templ = std::string(t && *t ? t : "/tmp") + "/simtestXXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) path = buf.data();
}

ScratchDir::~ScratchDir()
{
    if (!path.empty()) run("rm -rf '" + path + "'");
}

std::optional<std::vector<uint8_t>> assemble(const std::string& src, bool vle)
{
    ScratchDir dir;
    if (dir.path.empty() || !writefile(dir.path + "/a.s", src)) return std::nullopt;
    std::string as = std::string("powerpc-linux-gnu-as -mregnames ") + (vle ? "-mvle " : "-me500 ");
    if (!run(as + "-o " + dir.path + "/a.o " + dir.path + "/a.s") ||
        !run("powerpc-linux-gnu-objcopy -O binary -j .text " + dir.path + "/a.o " + dir.path + "/a.bin"))
        return std::nullopt;
    auto bytes = readall(dir.path + "/a.bin");
    if (!bytes) return std::nullopt;
    return std::vector<uint8_t>(bytes->begin(), bytes->end());
}

namespace {

// The loadable segments, entry and symbols of a linked program.
std::optional<Program> readprogram(const std::string& path)
{
    Program prog;
    prog.path = path;
    auto elf = readall(prog.path);
    if (!elf || elf->size() < 52 || elf->compare(0, 4, "\x7f" "ELF") != 0) return std::nullopt;
    prog.entry = be32(*elf, 24);
    uint32_t phoff = be32(*elf, 28), phentsize = be16(*elf, 42), phnum = be16(*elf, 44);
    for (uint32_t k = 0; k < phnum; k++) {
        size_t ph = size_t(phoff) + size_t(k) * phentsize;
        if (ph + 32 > elf->size() || be32(*elf, ph) != 1) continue;  // PT_LOAD
        uint32_t offset = be32(*elf, ph + 4), vaddr = be32(*elf, ph + 8);
        uint32_t filesz = be32(*elf, ph + 16), memsz = be32(*elf, ph + 20);
        if (size_t(offset) + filesz > elf->size() || filesz > memsz) return std::nullopt;
        LoadSegment seg{vaddr, std::vector<uint8_t>(memsz, 0)};
        std::copy(elf->begin() + offset, elf->begin() + offset + filesz, seg.bytes.begin());
        prog.segments.push_back(std::move(seg));
    }
    auto nm = capture("powerpc-linux-gnu-nm " + prog.path);
    if (!nm) return std::nullopt;
    std::istringstream lines(*nm);
    std::string value, type, name;
    while (lines >> value >> type >> name) prog.symbols[name] = uint32_t(std::stoul(value, nullptr, 16));
    return prog;
}

}  // namespace

std::optional<Program> buildprogram(const std::string& src, const std::string& dir)
{
    if (!writefile(dir + "/prog.s", src) ||
        !run("powerpc-linux-gnu-as -mregnames -me500 -o " + dir + "/prog.o " + dir + "/prog.s") ||
        !run("powerpc-linux-gnu-ld -static -o " + dir + "/prog " + dir + "/prog.o"))
        return std::nullopt;
    return readprogram(dir + "/prog");
}

bool havecompiler() { return run("command -v powerpc-linux-gnu-gcc >/dev/null 2>&1"); }

std::optional<Program> buildcprogram(const std::string& csrc, const std::string& start, const std::string& extra,
                                     const std::string& dir)
{
    const std::string flags = " -O2 -static -nostdlib -fno-pie -fno-pic -ffreestanding"
                              " -fno-tree-loop-distribute-patterns -msoft-float ";
    if (!writefile(dir + "/work.c", csrc) || !writefile(dir + "/start.s", start) ||
        !run("powerpc-linux-gnu-gcc" + flags + extra + " -no-pie -Wl,--build-id=none -Wl,-z,noexecstack -o " + dir +
             "/cprog " + dir + "/start.s " + dir + "/work.c"))
        return std::nullopt;
    return readprogram(dir + "/cprog");
}

std::optional<std::string> runqemu(const std::string& path)
{
    return capture("qemu-ppc -cpu e500v2 " + path);
}

}  // namespace simtest

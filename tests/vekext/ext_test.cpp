// The extension manager and the exported interface, with the sample
// extensions (sample.c) loaded in-process and by the vek program.
#include <gtest/gtest.h>

#include <cctype>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "harness.h"
#include "platform/dll.h"
#include "vek/command/ext/exports.h"
#include "vek/command/ext/ext.h"
#include "vek/shell/vekext.h"

namespace {

namespace fs = std::filesystem;

std::string sample(const std::string& name) { return std::string(SAMPLES) + name + ".so"; }

// A debugger with the extension state fresh and bound to it.
struct ExtVek : vektest::Vek {
    explicit ExtVek(bool load = true) : Vek(load) {
        vek::resetextensions(d.get());
        vek::resetexports();
        d->extcmd = vek::extcmd;
    }
    ~ExtVek() { vek::resetextensions(nullptr); }
    std::vector<std::string> available() {
        std::vector<std::string> out;
        for (const auto& a : vek::extensions().available) out.push_back(fs::path(a->path).filename().string());
        return out;
    }
};

// A folder of extension libraries.
struct Folder {
    scratch::Dir dir{"vekext"};
    std::string path() const { return dir.path().string(); }
    void copy(const std::string& variant, const std::string& as = "") {
        fs::copy_file(sample(variant), dir.path() / (as.empty() ? variant + ".so" : as));
    }
};

TEST(Extensions, BrokenLibrariesAreReportedAndTheRestIsProbedOnce) {
    ExtVek v(false);
    Folder f;
    for (const char* name : {"io", "nohelp", "undefined", "abi2", "initzero"}) f.copy(name);
    std::ofstream(f.dir.file("x.so")) << "not a library\n";
    std::ofstream(f.dir.file(".hidden.so")) << "never probed\n";
    fs::create_directory(f.dir.path() / "dir.so");
    fs::create_symlink(f.dir.file("io.so"), f.dir.file("link.so"));
    // The same folder twice on the path, once with a Windows separator.
    vek::extensions().extenpath = f.path() + "|" + f.path() + "\\";
    vek::scanextpath();
    EXPECT_EQ(v.available(), (std::vector<std::string>{"io.so", "initzero.so"}));
    const std::string& err = v.host.err;
    EXPECT_NE(err.find("nohelp.so: no GetExtensionHelp"), std::string::npos) << err;
    EXPECT_NE(err.find("NoSuchVekExport"), std::string::npos) << err;
    EXPECT_NE(err.find("abi2.so: built for extension interface 2"), std::string::npos) << err;
    EXPECT_NE(err.find("x.so: "), std::string::npos) << err;
    EXPECT_EQ(err.find("hidden"), std::string::npos) << err;
    EXPECT_EQ(err.find("dir.so"), std::string::npos) << err;
    EXPECT_EQ(err.find("link.so"), std::string::npos) << err;

    // InitExtension refusing leaves the extension available and unloaded.
    auto initzero = vek::extensions().available[1];
    EXPECT_FALSE(vek::loadext(initzero, false));
    EXPECT_TRUE(vek::extensions().loaded.empty());
    EXPECT_EQ(vek::extensions().available.size(), 2u);
}

TEST(Extensions, DescriptorsCommandWordsAndClosing) {
    ExtVek v(false);
    Folder f;
    f.copy("io");
    vek::extensions().extenpath = f.path();
    vek::scanextpath();
    ASSERT_EQ(vek::extensions().available.size(), 1u);
    auto io = vek::extensions().available[0];
    EXPECT_EQ(io->description, "IO sample");
    EXPECT_EQ(io->help, "Prints the io lines it gets");
    EXPECT_EQ(io->version, "1.2");
    EXPECT_EQ(io->word, "io");
    EXPECT_EQ(io->options, "io <anything>");
    EXPECT_EQ(io->icon.size(), 5u);
    EXPECT_TRUE(io->frompath);

    EXPECT_EQ(v.d->docmd("io 1", 1), std::string(""));
    EXPECT_NE(v.host.err.find("unknown command"), std::string::npos);  // not loaded yet
    v.host.err.clear();
    ASSERT_TRUE(vek::loadext(io, false));
    v.run("iox 5\nIO 5\nio 7");
    auto& loaded = *vek::extensions().loaded.front();
    EXPECT_EQ(loaded.calls, (std::vector<std::string>{"iox 5", "io 7"}));
    EXPECT_NE(v.host.err.find("IO 5"), std::string::npos) << v.host.err;
    EXPECT_TRUE(vek::isextcmd("iox"));
    EXPECT_FALSE(vek::isextcmd("xref"));

    EXPECT_TRUE(vek::closeextension(&loaded));
    EXPECT_TRUE(vek::extensions().loaded.empty());
    EXPECT_FALSE(vek::isextcmd("iox"));
}

TEST(Extensions, AutoLoadAtStartAndCloseNewestFirst) {
    ExtVek v(false);
    Folder f;
    f.copy("auto");
    f.copy("io");
    vek::extensions().extenpath = f.path();
    testing::internal::CaptureStdout();
    vek::scanextpath();
    ASSERT_EQ(vek::extensions().loaded.size(), 1u);
    EXPECT_TRUE(vek::extensions().loaded[0]->autoload);
    EXPECT_EQ(vek::extensions().loaded[0]->desc->version, "");  // shown as "Unknown"
    // Loaded at start-up: Close Extension does not apply.
    EXPECT_FALSE(vek::closeextension(vek::extensions().loaded[0].get()));
    ASSERT_TRUE(vek::loadext(vek::extensions().available[0], false));
    vek::closeextensions();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("sample init: PPC"), std::string::npos) << out;
    const size_t io = out.find("sample close: IO sample"), autoclose = out.find("sample close: Auto sample");
    ASSERT_NE(io, std::string::npos) << out;
    ASSERT_NE(autoclose, std::string::npos) << out;
    EXPECT_LT(io, autoclose);
}

TEST(Exports, TheProgramExportsExactlyTheListedNames) {
    std::set<std::string> listed;
    std::ifstream list(EXPORTS_LIST);
    std::string line;
    while (std::getline(list, line)) {
        const size_t a = line.find_first_not_of(" {}"), b = line.find(';');
        if (a != std::string::npos && b != std::string::npos && b > a) listed.insert(line.substr(a, b - a));
    }
    ASSERT_GT(listed.size(), 50u);
    const std::string cmd = std::string("nm -D --defined-only ") + VEK_PATH;
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_TRUE(p);
    std::set<std::string> ours;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, p)) {
        std::string name(buf);
        name = name.substr(name.find_last_of(' ') + 1);
        name.pop_back();
        // The C library's, the sanitizers' and the standard library's own
        // instantiations are not ours.
        if (name.find('@') != std::string::npos || name.rfind("__", 0) == 0 || name.rfind("_ZNSt", 0) == 0 ||
            name.rfind("_ZNKSt", 0) == 0 || name.rfind("_ZSt", 0) == 0 || name.rfind("_ZTV", 0) == 0 ||
            name.rfind("_ZTI", 0) == 0 || name.rfind("_ZTS", 0) == 0 || name.rfind("_ZNSa", 0) == 0 ||
            name.rfind("_ZNKSa", 0) == 0)
            continue;
        // the linker's own marks
        if (name == "_edata" || name == "_end" || name == "_fini" || name == "_init") continue;
        // the window toolkit's inline members that its libraries also use
        if (const size_t n = name.rfind("_ZNK", 0) == 0 ? 4 : name.rfind("_ZN", 0) == 0 ? 3 : 0; n) {
            size_t q = n;
            while (q < name.size() && std::isdigit(static_cast<unsigned char>(name[q]))) ++q;
            if (q > n && q < name.size() && name[q] == 'Q') continue;
        }
        if (name.rfind("_Z", 0) == 0 && name.find("St") != std::string::npos && name.find("3vek") == std::string::npos &&
            name.find("8platform") == std::string::npos && name.find("2tl") == std::string::npos)
            continue;
        ours.insert(name);
    }
    pclose(p);
    std::vector<std::string> extra, missing;
    std::set_difference(ours.begin(), ours.end(), listed.begin(), listed.end(), std::back_inserter(extra));
    std::set_difference(listed.begin(), listed.end(), ours.begin(), ours.end(), std::back_inserter(missing));
    EXPECT_EQ(extra, std::vector<std::string>{});
    EXPECT_EQ(missing, std::vector<std::string>{});
}

TEST(Exports, ProgramInformation) {
    {
        ExtVek empty(false);
        EXPECT_EQ(GetFileList(), nullptr);
        EXPECT_EQ(GetSectionCount(), 0);
    }
    ExtVek v;
    char* files = GetFileList();
    ASSERT_NE(files, nullptr);
    EXPECT_STREQ(files, "main.c");
    EXPECT_EQ(files[7], '\0');
    std::free(files);
    EXPECT_EQ(GetFunctionArgs(nullptr, "nosuch"), nullptr);
    char* args = GetFunctionArgs(nullptr, "main");
    ASSERT_NE(args, nullptr);
    std::free(args);
    uint32_t address = 7;
    EXPECT_EQ(GetLineAddress("main.c", 12, &address), 0);  // a declaration: no code
    EXPECT_EQ(GetLineAddress("main.c", 3, &address), 1);
    EXPECT_EQ(address, v.symbol("_add"));
    uint32_t first = 0, last = 0;
    EXPECT_EQ(GetFunctionLineRange("fact", "main.c", &first, &last), 1);
    EXPECT_EQ(first, 5u);
    EXPECT_EQ(last, 9u);

    const int sections = GetSectionCount();
    ASSERT_GE(sections, 1);
    VekSectionEntry e[3];
    std::memset(e, 0x55, sizeof e);
    EXPECT_EQ(GetSectionInfo(e, 1), 1);
    EXPECT_EQ(e[1].flags, 0x55555555u);  // one entry only
    const auto& seg = v.s->prog.segments[0];
    EXPECT_EQ(e[0].start, seg.address);
    EXPECT_EQ(e[0].last, seg.address + seg.size - 1);
    EXPECT_EQ(std::string(e[0].name), seg.name.substr(0, 15));
    for (size_t i = std::strlen(e[0].name); i < 16; ++i) EXPECT_EQ(e[0].name[i], 0) << i;
}

TEST(Exports, CommandsWithCapturedOutput) {
    ExtVek v;
    char small[4];
    EXPECT_EQ(ExecVekCommand("nosuch", small, 4), 0);
    EXPECT_EQ(std::strlen(small), 3u);
    char big[256];
    EXPECT_EQ(ExecVekCommand("nosuch", big, sizeof big), 0);
    EXPECT_NE(std::string(big).find("unknown command"), std::string::npos) << big;
    EXPECT_NE(std::string(big).find("nosuch"), std::string::npos) << big;
    char dump[4096];
    EXPECT_EQ(ExecVekCommand("regs", dump, sizeof dump), 1);
    EXPECT_GT(std::strlen(dump), 20u);
    EXPECT_EQ(v.host.err, "");  // no box meanwhile
    EXPECT_EQ(v.host.out, "");  // and nothing reached the Command window

    const int before = GetLastBkptNum();
    EXPECT_EQ(AddEventByCommand("break @0x1000"), before + 1);
    EXPECT_EQ(AddEventByCommand("break nosuchplace"), before + 1);

    char text[VEK_TEXT_MAX];
    const int length = Disassemble(v.symbol("_add"), text);
    EXPECT_TRUE(length == 2 || length == 4);
    EXPECT_GT(std::strlen(text), 0u);
}

TEST(Exports, MemoryAndRegisters) {
    ExtVek v;
    std::vector<uint8_t> mine(100000), theirs(100000);
    ReadMemory(mine.data(), 0x1000, 100000);
    v.s->target.mem.getmem(theirs.data(), 0x1000, 100000);
    EXPECT_EQ(mine, theirs);
    WriteLong(0x20000, 0x12345678);
    EXPECT_EQ(ReadByte(0x20000), 0x12);
    EXPECT_EQ(ReadWord(0x20002), 0x5678);
    EXPECT_EQ(GetRegisterCode("r3"), 4);
    EXPECT_EQ(GetRegisterCode("R3"), 0);
    WriteNamedRegister("r3", 77);
    EXPECT_EQ(ReadRegister(4), 77u);
    const uint32_t pcbefore = ReadPC();
    WriteNamedRegister("PC", 0x2000);  // names are lower case
    EXPECT_EQ(ReadPC(), pcbefore);
    uint8_t block[148];
    SaveRegisters(block);
    EXPECT_EQ(ReadSavedNamedRegister(block, "r3"), 77u);
    EXPECT_EQ(ReadSavedRegister(block, 99), 0u);
    char* names = GetRegisterList();
    ASSERT_NE(names, nullptr);
    EXPECT_STREQ(names, "r0");
    std::free(names);
    uint32_t value = 0;
    int isfloat = 0;
    double real = 0;
    EXPECT_EQ(Expression(1, "2+3", &isfloat, &value, &real), 0);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(GetVarAddress("nosuch", nullptr, &value), 0);
    char text[VEK_TEXT_MAX];
    EXPECT_EQ(GetEnumValue("nosuch", nullptr, text), 0);
    EXPECT_EQ(CreateSourceBrowser("main.c"), nullptr);  // no screen: no window
    WritePC(0x1004);
    EXPECT_EQ(v.pc(), 0x1004u);
    EXPECT_EQ(ReadPC(), 0x1004u);
}

TEST(Exports, MenusPathsAndSettings) {
    ExtVek v(false);
    EXPECT_EQ(AllocateMenuIDs(5), 30000);
    EXPECT_EQ(AllocateMenuIDs(5), 30005);
    EXPECT_EQ(AllocateMenuIDs(65536 - 30010 + 1), 0);  // would reach past 65535
    EXPECT_EQ(AllocateMenuIDs(65536 - 30010), 30010);  // up to 65535 exactly
    EXPECT_EQ(AllocateMessageIDs(2), 1124);
    EXPECT_EQ(GetMenuPosition("&Debug"), 3);
    EXPECT_EQ(GetMenuPosition("Debug"), -1);
    EXPECT_EQ(GetMenuPosition("&Help"), 9);
    EXPECT_EQ(GetMenuInsertPos(), 9);
    EXPECT_EQ(GetMenuInsertPos(), 10);
    EXPECT_EQ(GetMenuInsertPos(), 11);
    EXPECT_EQ(GetDebugMenuPosition(), 3);
    EXPECT_EQ(RegistersDisplay(1), 0);  // no screen: no window
    EXPECT_EQ(GetVekMainWindow(), nullptr);

    v.d->srcpath = "/a|/b";
    AddPath("/b");
    EXPECT_EQ(v.d->srcpath, "/a|/b");
    AddPath("/c");
    EXPECT_EQ(v.d->srcpath, "/a|/b|/c");
    PrependToPath("/b");
    EXPECT_EQ(v.d->srcpath, "/b|/a|/b|/c");
    SetVekPath("|/d");
    EXPECT_EQ(v.d->srcpath, "/b|/a|/b|/c|/d");
    SetVekPath("/e");
    char* p = GetVekPath();
    EXPECT_STREQ(p, "/e");
    std::free(p);

    const std::string dir = GetVekDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(std::string(GetVekInstallDir()) + "/", dir);
    EXPECT_NE(std::string(GetINIFileName()).find("VEKSPPC.INI"), std::string::npos);
    {
        // The settings through the stand-ins, in a private settings file.
        scratch::Dir cfg("vekini");
        vek::exportstate().inifile = cfg.file("VEKSPPC.INI");
        EXPECT_EQ(VekWriteProfileString("Sample", "Key", "value"), 1);
        char small[4];
        EXPECT_EQ(VekGetProfileString("Sample", "Key", "", small, sizeof small), 3);
        EXPECT_STREQ(small, "val");
        char none[16];
        EXPECT_EQ(VekGetProfileString("Sample", "Other", "dflt", none, sizeof none), 4);
        EXPECT_STREQ(none, "dflt");
    }

    // An item an extension inserted reaches its command function.
    vek::resetexports();
    Folder f;
    f.copy("io");
    vek::extensions().extenpath = f.path();
    vek::scanextpath();
    ASSERT_TRUE(vek::loadext(vek::extensions().available[0], false));
    testing::internal::CaptureStdout();
    v.run("io insert");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("sample menu 30000 reached 30000"), std::string::npos) << out;
}

// The queue of the debugger's thread: waits until a job is there.
void pumpuntil(const std::function<bool()>& done) {
    for (int i = 0; i < 5000 && !done(); ++i) {
        vek::pumpexports();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST(Exports, RunsStartedFromOtherThreads) {
    ExtVek v;
    Folder f;
    f.copy("io");
    vek::extensions().extenpath = f.path();
    vek::scanextpath();
    ASSERT_TRUE(vek::loadext(vek::extensions().available[0], false));
    platform::Library lib = platform::programlibrary();
    void* self = lib.handle;
    platform::closelibrary(lib);
    (void)self;
    v.run("break @0x" + [&] {
        char b[16];
        std::snprintf(b, sizeof b, "%x", v.symbol("_fact"));
        return std::string(b);
    }());
    const uint32_t pc = v.pc();
    // The sample starts the run from a thread of its own and waits for it.
    std::string error;
    platform::Library io = platform::openlibrary(vek::extensions().loaded[0]->desc->path, error);
    auto saw = reinterpret_cast<int (*)()>(platform::findsymbol(io, "SampleSawRunning"));
    auto done = reinterpret_cast<int (*)()>(platform::findsymbol(io, "SampleRunDone"));
    ASSERT_TRUE(saw && done);
    v.run("io run");
    pumpuntil([&] { return done() != 0; });
    EXPECT_TRUE(done());
    EXPECT_EQ(saw(), 1);
    EXPECT_EQ(v.pc(), v.symbol("_fact"));
    EXPECT_NE(v.pc(), pc);
    platform::closelibrary(io);

    // An endless run started from another thread ends by a stop from a third.
    v.run("delete 1");
    std::atomic<bool> started{false};
    std::thread starter([&] {
        StartTargetCode();
        started = IsTargetRunning();
    });
    starter.join();
    EXPECT_TRUE(started);
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        StopExecution();
    });
    EXPECT_EQ(vek::pumpexports(), 1);  // the run: returns once stopped
    stopper.join();
    EXPECT_EQ(IsTargetRunning(), 0);
    // Exports from another thread are carried out here.
    std::atomic<uint32_t> read{0};
    std::thread reader([&] { read = ReadPC(); });
    pumpuntil([&] { return read != 0; });
    reader.join();
    EXPECT_EQ(read, v.pc());
}

TEST(Extensions, BatchVekLoadsAutoExtensionsAndHandsThemLines) {
    Folder f;
    f.copy("auto");
    scratch::Dir config("vekcfg");
    fs::create_directory(config.path() / "vek");
    std::ofstream(config.path() / "vek" / "VEKSPPC.INI") << "[Options]\r\nExtenPath=" << f.path() << "\r\n";
    const std::string cmd = "echo 'io hello' | XDG_CONFIG_HOME=" + config.path().string() + " " + VEK_PATH +
                            " -c -b 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_TRUE(p);
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    EXPECT_EQ(pclose(p), 0) << out;
    EXPECT_NE(out.find("sample init: PPC"), std::string::npos) << out;
    EXPECT_NE(out.find("sample got: io hello"), std::string::npos) << out;
    EXPECT_NE(out.find("sample close: Auto sample"), std::string::npos) << out;
}

}  // namespace

// The extension manager and the exported interface, with the sample
// extensions (sample.c) loaded in-process and by the vek program.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "fxobject.h"
#include "harness.h"
#include "platform/dll.h"
#include "vek/command/ext/exports.h"
#include "vek/command/ext/ext.h"
#include "vek/core/support/symbols.h"
#include "vek/shell/vekext.h"

namespace {

namespace fs = std::filesystem;

std::string sample(const std::string& name) { return std::string(SAMPLES) + name + ".so"; }

// A folder of extension libraries.
struct Folder {
    scratch::Dir dir{"vekext"};
    std::string path() const { return dir.path().string(); }
    void copy(const std::string& variant, const std::string& as = "") {
        fs::copy_file(sample(variant), dir.path() / (as.empty() ? variant + ".so" : as));
    }
};

// A debugger with the extension state fresh and bound to it.
struct ExtVek : vektest::Vek {
    explicit ExtVek(bool load = true) : Vek(load) {
        vek::resetextensions(d.get());
        vek::resetexports();
        d->extcmd = vek::extcmd;
    }
    ~ExtVek() { vek::resetextensions(nullptr); }
    // Loads the io sample (once, from a folder of its own), runs a line and
    // gives what the sample printed.
    std::unique_ptr<Folder> io;
    std::string ioline(const std::string& line) {
        if (!io) {
            io = std::make_unique<Folder>();
            io->copy("io");
            vek::extensions().extenpath = io->path();
            vek::scanextpath();
            EXPECT_TRUE(vek::loadext(vek::extensions().available[0], false));
        }
        testing::internal::CaptureStdout();
        run(line);
        return testing::internal::GetCapturedStdout();
    }
    std::vector<std::string> available() {
        std::vector<std::string> out;
        for (const auto& a : vek::extensions().available) out.push_back(fs::path(a->path).filename().string());
        return out;
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
        // Qt's inline members instantiated in the program (a class name
        // beginning with 'Q' outside our namespaces) are Qt's
        if (name.rfind("_ZN", 0) == 0) {
            size_t k = name[3] == 'K' ? 4 : 3, d = k;
            while (d < name.size() && std::isdigit(static_cast<unsigned char>(name[d]))) ++d;
            if (d > k && d + 1 < name.size() && name[d] == 'Q' && std::isupper(static_cast<unsigned char>(name[d + 1])))
                continue;
        }
        // the linker's own marks
        if (name == "_edata" || name == "_end" || name == "_fini" || name == "_init") continue;
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
    const std::string out = v.ioline("io insert");
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

// The C copies of the debug records, read in-process and by the sample.
TEST(Records, FilesFunctionsLinesAndFrames) {
    ExtVek v;
    VekFileRecord* file = GetFileChain();
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(file->name, "main.c");
    EXPECT_EQ(file->next, nullptr);
    EXPECT_EQ(GetFileInfo("main.c"), file);
    EXPECT_EQ(GetFileInfo("nosuch.c"), nullptr);
    std::vector<std::string> names;
    for (VekFunctionRecord* f = file->functions; f; f = f->next) {
        names.push_back(f->name);
        EXPECT_EQ(f->file, file);
    }
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[1], "fact");

    VekFunctionRecord* fact = GetFunctionInfo("fact", nullptr);
    ASSERT_NE(fact, nullptr);
    EXPECT_EQ(GetFunctionInfo("fact", "main.c"), fact);
    EXPECT_EQ(GetFunctionInfo("fact", "other.c"), nullptr);
    EXPECT_EQ(fact->firstline, 5u);
    EXPECT_EQ(fact->lastline, 9u);
    ASSERT_NE(fact->start, nullptr);
    EXPECT_EQ(fact->start->address, v.symbol("_fact"));
    EXPECT_EQ(fact->start->kind, 0x20);
    EXPECT_EQ(fact->start->owner, fact);
    EXPECT_STREQ(fact->start->text, "main.c");
    EXPECT_STREQ(fact->start->function, "fact");
    uint32_t start = 0, end = 0;
    EXPECT_EQ(GetFunctionAddressRange("fact", nullptr, &start, &end), 1);
    EXPECT_EQ(start, v.symbol("_fact"));
    ASSERT_NE(fact->end, nullptr);
    EXPECT_EQ(end, fact->end->address);
    EXPECT_EQ(GetFunctionAddressRange("nosuch", nullptr, &start, &end), 0);

    // The address-ordered list, whole.
    size_t n = 0;
    uint32_t last = 0;
    for (VekLineRecord* r = GetDebugList(); r; r = r->next, ++n) {
        EXPECT_GE(r->address, last);
        last = r->address;
    }
    EXPECT_EQ(n, v.d->di().lines.size());

    VekLineRecord* in = GetDebugSymbol(v.symbol("_fact") + 10);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->owner, fact);
    EXPECT_EQ(GetStartDebugSymbol(fact->start), fact->start);
    VekLineRecord* line7 = GetLineMatch(file, 7);
    ASSERT_NE(line7, nullptr);
    EXPECT_EQ(line7->line, 7);
    EXPECT_EQ(line7->kind, 0x08);
    VekLineRecord* stmt = CheckDebugSymbol(line7->address);
    ASSERT_NE(stmt, nullptr);
    EXPECT_EQ(stmt->address, line7->address);
    EXPECT_EQ(CheckDebugSymbol(line7->address + 1), nullptr);
    EXPECT_EQ(GetLineDebugSymbol(line7), line7);
    EXPECT_EQ(GetLineMatch(file, 12), nullptr);   // a declaration: no code
    // Pointers vek did not hand out are refused.
    VekLineRecord stray = *line7;
    EXPECT_EQ(GetLineDebugSymbol(&stray), nullptr);
    EXPECT_EQ(GetLineDebugSymbol(reinterpret_cast<VekLineRecord*>(reinterpret_cast<char*>(line7) + 4)), nullptr);
    EXPECT_EQ(GetLineMatch(reinterpret_cast<VekFileRecord*>(&stray), 7), nullptr);
    EXPECT_EQ(GetXrefsFlag(), 0);

    // At a breakpoint in fact: the frames, innermost first, and the counts
    // of the run in the records handed out before it.
    const uint32_t callsbefore = fact->calls;
    v.run("break @0x" + [&] {
        char b[16];
        std::snprintf(b, sizeof b, "%x", line7->address);
        return std::string(b);
    }() + "\ngo");
    VekCallFrame* frame = GetCurrentStack();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->function, fact);
    EXPECT_EQ(frame->line, 7u);
    ASSERT_NE(frame->caller, nullptr);
    EXPECT_STREQ(frame->caller->function->name, "main");
    EXPECT_EQ(frame->caller->caller, nullptr);
    EXPECT_EQ(GetFunctionInfo("fact", nullptr), fact);   // the same copy, brought up to date
    EXPECT_EQ(fact->calls, callsbefore + 1);

    // The sample reads the same from C.
    const std::string out = v.ioline("io records");
    EXPECT_NE(out.find("sample file main.c: add(1-4) fact(5-9) main(10-18)"), std::string::npos) << out;
    EXPECT_NE(out.find("sample stack: fact:7 main:16"), std::string::npos) << out;
    EXPECT_NE(out.find("sample lines " + std::to_string(n)), std::string::npos) << out;
    EXPECT_NE(out.find("sample symbol fact main.c start"), std::string::npos) << out;

    // A new load: new copies of the new tables.
    v.run("load " + vektest::program());
    VekFileRecord* again = GetFileChain();
    ASSERT_NE(again, nullptr);
    EXPECT_STREQ(again->name, "main.c");
    EXPECT_EQ(GetFunctionInfo("fact", nullptr)->firstline, 5u);
}

// The expression fixture's program: globals of every kind, an enum.
struct FxVek : ExtVek {
    scratch::Dir dir{"vekextfx"};
    FxVek() : ExtVek(false) {
        const std::string path = dir.file("fx.o");
        fixture::writefile(path, fx::object());
        run("load " + path);
    }
};

TEST(Records, VariablesTypesAndSymbols) {
    FxVek v;
    VekVarRecord* e = GetGlobalVariable("e", nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->name, "e");
    EXPECT_EQ(e->sclass, 1);
    EXPECT_EQ(e->value, fx::E);
    EXPECT_EQ(e->type, 77u);
    ASSERT_NE(e->aggregate, nullptr);
    EXPECT_STREQ(e->aggregate->tag, "color");
    ASSERT_EQ(e->aggregate->count, 3);
    EXPECT_STREQ(e->aggregate->members[2].name, "BLUE");
    EXPECT_EQ(e->aggregate->members[2].value, 2u);
    EXPECT_EQ(e->aggregate->members[3].name, nullptr);   // the end record
    EXPECT_EQ(GetVariableSize(e), 4u);
    EXPECT_EQ(GetVariableSize(&e->aggregate->members[0]), 4u);
    const char* decl = GetVariableDescription(e);
    ASSERT_NE(decl, nullptr);
    EXPECT_NE(std::string(decl).find("color"), std::string::npos) << decl;
    VekVarRecord copy = *e;
    EXPECT_EQ(GetVariableSize(&copy), 0u);   // not a record vek gave
    EXPECT_EQ(GetVariableDescription(&copy), nullptr);

    VekVarRecord* arr = GetGlobalVariable("arr", "fx.c");
    ASSERT_NE(arr, nullptr);
    ASSERT_EQ(arr->nsteps, 1u);
    EXPECT_EQ(arr->steps[0], 5u);
    EXPECT_EQ(GetVariableSize(arr), 20u);
    EXPECT_EQ(GetGlobalVariable("gi", nullptr)->sclass, 6);

    char text[VEK_TEXT_MAX];
    EXPECT_EQ(GetEnumValue("e", "fx.c", text), 1);
    EXPECT_STREQ(text, "BLUE");
    EXPECT_EQ(GetEnumValue("e2", "fx.c", text), 1);
    EXPECT_STREQ(text, "ENUM VALUE OUT OF BOUNDS!!!!");
    uint32_t address = 0;
    EXPECT_EQ(GetVarAddress("e", nullptr, &address), 0);   // static: only with its file
    EXPECT_EQ(GetVarAddress("e", "fx.c", &address), 1);
    EXPECT_EQ(address, fx::E);

    VekFunctionRecord* g = GetFunctionInfo("g", nullptr);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->nvars, 3);
    EXPECT_EQ(g->varsend - g->vars, 3);
    EXPECT_STREQ(g->vars[2].name, "r");
    EXPECT_EQ(g->vars[2].owner, g);
    EXPECT_EQ(GetLabelAddress("g", nullptr, "i", &address), 0);   // not a label

    VekProgramSymbol* s = rensym("_gi");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->value, fx::GI);
    EXPECT_STREQ(s->name, "_gi");
    EXPECT_EQ(rensym("nosuch"), nullptr);
    size_t symbols = 0;
    for (VekProgramSymbol* p = s; p; p = p->next) ++symbols;
    EXPECT_GE(symbols, 1u);
    // A symbol handed out stays valid while others come and go.
    vek::defsym(".mine2", 7);
    VekProgramSymbol* mine = rensym(".mine2");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->value, 7u);
    vek::delsym(".mine2");
    vek::defsym(".mine2", 9);
    EXPECT_EQ(rensym(".mine2"), mine);
    EXPECT_EQ(mine->value, 9u);
    EXPECT_EQ(rensym("_gi"), s);
    EXPECT_STREQ(s->name, "_gi");

    VekLocationSpec spec;
    const char* rest = AnalyzeString("fx.c:12 rest", &spec);
    EXPECT_EQ(spec.given, 1);
    EXPECT_EQ(spec.qualified, 1);
    EXPECT_EQ(spec.line, 12u);
    EXPECT_STREQ(spec.file, "fx.c");
    EXPECT_EQ(spec.function, nullptr);
    EXPECT_EQ(std::string(rest).find("rest"), std::string(rest).find_first_not_of(' '));
    AnalyzeString("@0x1234", &spec);
    EXPECT_EQ(spec.isaddress, 1);
    EXPECT_EQ(spec.address, 0x1234u);
}

TEST(Exports, ExpressionsSourceLinesAndInterrupts) {
    ExtVek v;
    const char* cursor = "2*3 tail";
    int error = -1;
    void* value = xexpr(&cursor, &error, 1);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(std::string(cursor).find("tail"), std::string(cursor).find_first_not_of(' '));
    v.host.out.clear();
    EXPECT_EQ(putresult(value, 'd'), 1);
    EXPECT_NE(v.host.out.find('6'), std::string::npos) << v.host.out;
    xfree(value);
    xfree(nullptr);

    scratch::Dir src("vekextsrc");
    std::ofstream(src.file("main.c")) << "int add(int a, int b)\n{\n    return a + b;\n}\n";
    v.d->srcpath = src.path().string();
    EXPECT_STREQ(GetSrcLine("main.c", 3, 1), "main.c:3 |     return a + b;");
    EXPECT_STREQ(GetSrcLine("main.c", 3, 0), "    return a + b;");

    EXPECT_NE(TGTRaiseInterrupt(-8), 0);
    EXPECT_EQ(vek::firstpending(&v.s->target.interrupts.pending), 2);
    EXPECT_EQ(RaiseInterrupt(5), 0);
    EXPECT_EQ(LoadInterrupts(src.file("none.lst").c_str()), -1);
    EXPECT_EQ(ShowInterrupts(), 0);   // no screen

    v.run("break @0x1000");
    const int number = GetLastBkptNum();
    EXPECT_EQ(rmevent(number, 1), 1);
    EXPECT_EQ(v.d->findnumber(number), nullptr);

    const uint32_t pc = v.pc();
    AnimateTargetCode();
    EXPECT_NE(v.pc(), pc);
    EXPECT_EQ(CheckForStop(), 0);
}

TEST(Exports, StatusCursorBoxesAndWindows) {
    ExtVek v(false);
    LeftStatus("left");
    LastStatus("last");
    EXPECT_EQ(v.host.status[0], "left");
    EXPECT_EQ(v.host.status[3], "last");
    EXPECT_EQ(CursorWait(), 0);
    EXPECT_EQ(CursorWait(), 1);
    EXPECT_EQ(CursorStd(), 1);
    EXPECT_EQ(v.host.cursor, platform::Cursor::Arrow);   // the one before the first wait
    EXPECT_EQ(MyMultMessShow(nullptr, 1, 0, "Caption", "one ", "two", static_cast<const char*>(nullptr)), 0);
    EXPECT_NE(v.host.err.find("Caption: one two"), std::string::npos) << v.host.err;
    EXPECT_EQ(FunctionKey(112), 0);
    EXPECT_EQ(FunctionKey(50), 0);
    // The screen's services answer through the host; without one, 0.
    EXPECT_EQ(VekCodeMemUpdate(1), 0);
    EXPECT_EQ(ApplicationTreeDisplay(1), 0);
    static int printed = 0;
    vek::exportstate().host.printfile = [](const char*, const char* (*lines)(int, void*, void*), void* arg,
                                           void* user) {
        for (int first = 1; lines(first, arg, user); first = 0) ++printed;
        return 1;
    };
    static const char* const page[] = {"a", "b", nullptr};
    EXPECT_EQ(VekPrintFile("T", [](int first, void* arg, void*) -> const char* {
                  static int at = 0;
                  if (first) at = 0;
                  return static_cast<const char* const*>(arg)[at++];
              }, const_cast<char**>(page), nullptr), 1);
    EXPECT_EQ(printed, 2);
    static std::vector<std::string> combo;
    vek::exportstate().host.fillcombo = [](void*, int, const std::vector<std::string>& names, const char*) {
        combo = names;
    };
    int dialog = 0;
    BrowserListFiles(&dialog, 600, 1);
    EXPECT_EQ(combo, std::vector<std::string>{});   // nothing loaded
}

}  // namespace

// The functions vek exports to its extensions (declared for them in
// vek/shell/vekext.h). Each runs on the debugger's thread: a call from
// another thread is queued there and waited for.
#include "vek/command/ext/exports.h"
#include "vek/command/ext/exportutil.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/dll.h"
#include "platform/profile.h"
#include "vek/command/expr/expr.h"
#include "vek/command/ext/ext.h"
#include "vek/core/decode/decode.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/target/registers.h"
#include "vek/core/support/output.h"
#include "vek/resources/menus.h"
#include "vek/shell/vekext.h"

namespace vek {

namespace {

ExportState* xstate = nullptr;

struct Queue {
    std::thread::id owner = std::this_thread::get_id();
    std::mutex m;
    std::condition_variable done;
    struct Job {
        std::function<void()> fn;
        bool finished = false;
        bool wait = true;
    };
    std::deque<std::shared_ptr<Job>> jobs;
};
Queue& queue() {
    static Queue q;
    return q;
}

Debugger& dbg() { return extdebugger(); }
ExportHost& host() { return exportstate().host; }

void queueonly(const std::function<void()>& fn) {
    Queue& q = queue();
    auto job = std::make_shared<Queue::Job>();
    job->fn = fn;
    job->wait = false;
    std::lock_guard<std::mutex> lock(q.m);
    q.jobs.push_back(job);
}

FunctionRecord* findfunction(const char* name, const char* file) {
    if (!name) return nullptr;
    for (const auto& f : dbg().di().files) {
        if (file && f->name != file) continue;
        for (const auto& fn : f->funcs)
            if (fn->name == name) return fn.get();
    }
    return nullptr;
}

void reloadsources() {
    if (exportstate().host.reloadsources) exportstate().host.reloadsources();
}

void runcommand(const std::string& line) {
    if (dbg().flags.running) return;
    dbg().docmd(line.c_str(), 1);
}

}  // namespace

Debugger& extdebugger() { return *extensions().d; }

char* makelist(const std::vector<std::string>& names) {
    if (names.empty()) return nullptr;
    size_t size = 1;
    for (const auto& n : names) size += n.size() + 1;
    char* block = static_cast<char*>(std::malloc(size));
    if (!block) return nullptr;
    char* p = block;
    for (const auto& n : names) {
        std::memcpy(p, n.c_str(), n.size() + 1);
        p += n.size() + 1;
    }
    *p = '\0';
    return block;
}

char* copyout(const std::string& text) {
    char* p = static_cast<char*>(std::malloc(text.size() + 1));
    if (p) std::memcpy(p, text.c_str(), text.size() + 1);
    return p;
}

void copytext(char* buffer, int size, const char* text) {
    if (!buffer || size <= 0) return;
    const size_t n = std::min(std::strlen(text), size_t(size - 1));
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
}

ExportState& exportstate() {
    if (!xstate) xstate = new ExportState;
    return *xstate;
}

void resetexports() {
    delete xstate;
    xstate = new ExportState;
    xstate->inifile = platform::configpath("VEKSPPC.INI");
    Queue& q = queue();
    std::lock_guard<std::mutex> lock(q.m);
    q.owner = std::this_thread::get_id();
    q.jobs.clear();
}

bool ondebuggerthread() { return std::this_thread::get_id() == queue().owner; }

void rundebugger(const std::function<void()>& fn) {
    Queue& q = queue();
    auto job = std::make_shared<Queue::Job>();
    job->fn = fn;
    std::unique_lock<std::mutex> lock(q.m);
    q.jobs.push_back(job);
    q.done.wait(lock, [&] { return job->finished; });
}

int pumpexports() {
    Queue& q = queue();
    int ran = 0;
    for (;;) {
        std::shared_ptr<Queue::Job> job;
        {
            std::lock_guard<std::mutex> lock(q.m);
            if (q.jobs.empty()) return ran;
            job = q.jobs.front();
            q.jobs.pop_front();
        }
        job->fn();
        ++ran;
        {
            std::lock_guard<std::mutex> lock(q.m);
            job->finished = true;
        }
        q.done.notify_all();
    }
}

}  // namespace vek

using namespace vek;

extern "C" {

// ---- program information

char* GetFileList(void) {
    return ondebugger([] {
        std::vector<std::string> names;
        for (const auto& f : dbg().di().files) names.push_back(f->name);
        return makelist(names);
    });
}

char* GetFunctionList(const char* file) {
    return ondebugger([&] {
        std::vector<std::string> names;
        for (const auto& f : dbg().di().files) {
            if (file && f->name != file) continue;
            for (const auto& fn : f->funcs)
                if (!fn->name.empty() && fn->name != ".") names.push_back(fn->name);
        }
        return makelist(names);
    });
}

char* GetFunctionArgs(const char* file, const char* function) {
    return ondebugger([&]() -> char* {
        FunctionRecord* f = findfunction(function, file);
        return f ? copyout(f->argtext) : nullptr;
    });
}

char* GetFunctionDescription(const char* file, const char* function) {
    return ondebugger([&]() -> char* {
        FunctionRecord* f = findfunction(function, file);
        return f && !f->rettext.empty() ? copyout(f->rettext) : nullptr;
    });
}

int GetFileLineRange(const char* file, uint32_t* first, uint32_t* last) {
    return ondebugger([&] {
        if (!file) return 0;
        for (const auto& f : dbg().di().files)
            if (f->name == file) {
                if (first) *first = f->firstline;
                if (last) *last = f->lastline;
                return 1;
            }
        return 0;
    });
}

int GetFunctionStartAddress(const char* function, const char* file, uint32_t* address) {
    return ondebugger([&] {
        FunctionRecord* f = findfunction(function, file);
        if (!f || !f->start) return 0;
        if (address) *address = f->start->address;
        return 1;
    });
}

int GetFunctionLineRange(const char* function, const char* file, uint32_t* first, uint32_t* last) {
    return ondebugger([&] {
        FunctionRecord* f = findfunction(function, file);
        if (!f) return 0;
        if (first) *first = f->firstline;
        if (last) *last = f->lastline;
        return 1;
    });
}

int GetLineAddress(const char* file, uint32_t line, uint32_t* address) {
    return ondebugger([&] {
        if (!file) return 0;
        const FileRecord* fr = nullptr;
        for (const auto& f : dbg().di().files)
            if (f->name == file) fr = f.get();
        if (!fr) return 0;
        auto found = [&](uint32_t a) {
            if (address) *address = a;
            return 1;
        };
        const auto& lines = dbg().di().lines;
        if (!fr->funcs.empty() && !fr->funcs.front()->name.empty()) {
            for (const auto& fn : fr->funcs) {
                if (fn->name.empty() || !fn->start) continue;
                auto it = std::find(lines.begin(), lines.end(), fn->start);
                for (; it != lines.end() && (*it)->owner == fn.get(); ++it)
                    if (((*it)->kind & 0x38) && (*it)->line == line) return found((*it)->address);
            }
            return 0;
        }
        for (const LineRecord* r : lines)
            if (r->line == line && r->owner && r->owner->file == fr) return found(r->address);
        return 0;
    });
}

int GetSectionCount(void) {
    return ondebugger([] { return int(dbg().s.prog.segments.size()); });
}

int GetSectionInfo(VekSectionEntry* entries, int count) {
    return ondebugger([&] {
        if (!entries || count <= 0) return 0;
        const auto& segs = dbg().s.prog.segments;
        int n = 0;
        for (; n < count && size_t(n) < segs.size(); ++n) {
            const LoadSegment& s = segs[size_t(n)];
            VekSectionEntry& e = entries[n];
            e.flags = ((s.flags & 0x80) ? 1u : 0u) | (s.second != s.address ? 2u : 0u);
            e.start = s.address;
            e.last = s.address + s.size - 1;
            std::memset(e.name, 0, sizeof e.name);
            std::memcpy(e.name, s.name.data(), std::min(s.name.size(), sizeof e.name - 1));
        }
        return n;
    });
}

// ---- target memory and registers

uint8_t ReadByte(uint32_t address) {
    return ondebugger([&] { return dbg().s.target.mem.getbyte(address); });
}
uint32_t WriteByte(uint32_t address, uint8_t value) {
    return ondebugger([&] { return dbg().s.target.mem.putbyte(address, value); });
}
uint16_t ReadWord(uint32_t address) {
    return ondebugger([&] { return dbg().s.target.mem.getword(address); });
}
void WriteWord(uint32_t address, uint16_t value) {
    ondebugger([&] { dbg().s.target.mem.putword(address, value); });
}
uint32_t ReadLong(uint32_t address) {
    return ondebugger([&] { return dbg().s.target.mem.getlong(address); });
}
void WriteLong(uint32_t address, uint32_t value) {
    ondebugger([&] { dbg().s.target.mem.putlong(address, value); });
}
void ReadMemory(void* buffer, uint32_t address, uint32_t count) {
    if (!buffer) return;
    ondebugger([&] { dbg().s.target.mem.getmem(buffer, address, count); });
}
void WriteMemory(const void* buffer, uint32_t address, uint32_t count) {
    if (!buffer) return;
    ondebugger([&] { dbg().s.target.mem.putmem(address, buffer, count); });
}
uint32_t ReadPC(void) {
    return ondebugger([] { return dbg().pc(); });
}
void WritePC(uint32_t value) {
    ondebugger([&] { dbg().s.target.regs.setpc(value); });
}
int GetRegistersBlockSize(void) { return 148; }

// ---- target description

const char* GetTargetProcessor(void) { return "PPC"; }
int GetExecutionType(void) { return 1; }
int GetTargetAddressSize(void) { return 8; }
int GetTargetIntSize(void) { return 4; }

int Disassemble(uint32_t address, char* buffer) {
    return ondebugger([&] {
        char text[1024] = {};
        Decoded dec;
        const int length = decodeinsn(dbg().s.decode, address, DecodeText, text, dec) == 4 ? 4 : 2;
        copytext(buffer, VEK_TEXT_MAX, text);
        return length;
    });
}

// ---- commands

const char* docmd(const char* line, int user) {
    if (!line) return nullptr;
    return ondebugger([&] { return dbg().docmd(line, user); });
}

int ExecVekCommand(const char* line, char* buffer, int size) {
    if (!line) return 0;
    return ondebugger([&] {
        Debugger& d = dbg();
        if (!buffer || size <= 0) {
            d.docmd(line, 1);
            return 1;
        }
        ErrorKeeping& k = errorkeeping();
        const bool wascapturing = k.capturing;
        k.capturing = true;
        k.kept = false;
        OutputState& out = outstate();
        const bool wason = out.ext.on;
        const size_t mark = out.ext.pos;
        const char* start = vek::WinitFakeIo();
        const size_t begin = size_t(start - out.ext.text);
        d.docmd(line, 1);
        std::string captured(out.ext.text + begin);
        // Back to where the capture found the buffer.
        out.ext.pos = mark;
        out.ext.text[mark] = '\0';
        out.ext.on = wason;
        k.capturing = wascapturing;
        buffer[0] = '\0';
        if (k.kept) {
            k.kept = false;
            copytext(buffer, size, k.text.c_str());
            k.text.clear();
            return 0;
        }
        copytext(buffer, size, captured.c_str());
        return 1;
    });
}

int AddEventByCommand(const char* line) {
    return ondebugger([&] {
        if (line) dbg().docmd(line, 1);
        return int(dbg().lastevent);
    });
}
int GetLastBkptNum(void) {
    return ondebugger([] { return int(dbg().lastevent); });
}
void NotifyBkptChanged(void) {}

// ---- execution

void ExecTargetCode(void) {
    ondebugger([] { runcommand("go"); });
}

void StartTargetCode(void) {
    Debugger& d = dbg();
    int idle = 0;
    if (!d.flags.running.compare_exchange_strong(idle, 1)) return;
    d.flags.stop = 0;
    // The run belongs to the debugger's thread; the caller goes on at once.
    // A stop requested before the run began ends it before it starts.
    queueonly([&d] {
        if (d.flags.stop) {
            d.flags.stop = 0;
            d.setrunstate(0);
            return;
        }
        d.docmd("go", 1);
        if (d.mode.level == 0 && d.flags.running) d.setrunstate(0);
    });
}

void StepCode(int count) {
    ondebugger([&] { runcommand("step " + std::to_string(count)); });
}
void StepTargetCode(int count) {
    ondebugger([&] { runcommand("istep " + std::to_string(count)); });
}
void StopExecution(void) {
    dbg().flags.stop = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}
int SetStopFlag(int value) {
    dbg().flags.stop = value;
    return value;
}
int GetStopFlag(void) { return dbg().flags.stop; }
int IsTargetRunning(void) { return dbg().flags.running; }
uint32_t GetCycleCount(void) {
    return ondebugger([] { return dbg().now(); });
}

// ---- menus, windows, paths and settings

int AllocateMenuIDs(int count) {
    return ondebugger([&] {
        ExportState& x = exportstate();
        // Ids past 65535 would be read as built-in commands by their low
        // 16 bits: such a range is refused.
        if (count < 0 || uint64_t(x.nextmenuid) + uint64_t(count) > 65536) return 0;
        const int first = int(x.nextmenuid);
        x.nextmenuid += uint32_t(count);
        return first;
    });
}
int AllocateMessageIDs(int count) {
    return ondebugger([&] {
        ExportState& x = exportstate();
        if (count < 0 || uint64_t(x.nextmessage) + uint64_t(count) > 0xBFFF) return 0;
        const int first = int(x.nextmessage);
        x.nextmessage += uint32_t(count);
        return first;
    });
}
int GetFileMenuPosition(void) { return resources::FileMenu; }
int GetEventsMenuPosition(void) { return resources::EventsMenu; }
int GetBrowseMenuPosition(void) { return resources::BrowseMenu; }
int GetDebugMenuPosition(void) { return resources::DebugMenu; }
int GetSetupMenuPosition(void) { return resources::SetupMenu; }
int GetTargetMenuPosition(void) { return resources::TargetMenu; }
int GetShowMenuPosition(void) { return resources::ShowMenu; }
int GetWindowsMenuPosition(void) { return resources::WindowsMenu; }
int GetExtensionsMenuPosition(void) { return resources::ExtensionsMenu; }
int GetHelpMenuPosition(void) { return resources::HelpMenu; }

int GetMenuPosition(const char* text) {
    if (!text) return -1;
    int position = 0;
    for (const resources::MenuRow& row : resources::mainmenu()) {
        if (row.depth != 0) continue;
        if (std::strcmp(row.text, text) == 0) return position;
        ++position;
    }
    return -1;
}
int GetMenuInsertPos(void) {
    return ondebugger([] { return exportstate().nextinsertpos++; });
}
void RegisterMenuCommandFunction(VekMenuCommandFn fn) {
    ondebugger([&] { exportstate().menucommand = fn; });
}
void VekMenuCommand(int id, intptr_t) {
    ondebugger([&] {
        if (exportstate().menucommand) exportstate().menucommand(id);
    });
}
void* GetVekMainWindow(void) { return exportstate().host.mainwindow; }
void* GetVekMDIWindow(void) { return exportstate().host.mdiwindow; }
void* GetVekBtnBarWindow(void) { return exportstate().host.toolbar; }
void* GetVekFontObject(void) { return exportstate().host.font; }
int GetVekTabWidth(void) { return 4; }
uint32_t GetVekColor(int index) {
    int i = index & 0xFF;
    if (i > 18) i = 1;
    auto fn = exportstate().host.color;
    return fn ? ondebugger([&] { return fn(i); }) : 0;
}
// Opens or closes a window of the Show menu when its state differs; 1 when
// it is open afterwards.
static int display(int id, int show) {
    return ondebugger([&] {
        ExportHost& h = exportstate().host;
        if (!h.viewshown || !h.showview) return 0;
        if (h.viewshown(id) != (show != 0)) h.showview(id, show != 0);
        return h.viewshown(id) ? 1 : 0;
    });
}
int RegistersDisplay(int show) { return display(310, show); }
int AssemblerDisplay(int show) { return display(320, show); }
int CommandDisplay(int show) { return display(300, show); }
int StackDisplay(int show) { return display(330, show); }

const char* GetINIFileName(void) { return exportstate().inifile.c_str(); }
const char* GetVekDir(void) {
    static const std::string dir = platform::programdir();
    return dir.c_str();
}
const char* GetVekInstallDir(void) {
    static thread_local std::string dir;
    dir = platform::programdir();
    if (dir.size() > 1) dir.pop_back();
    return dir.c_str();
}
const char* GetExecName(void) {
    return ondebugger([] { return dbg().s.prog.path.c_str(); });
}
const char* GetTargetFileName(void) { return GetExecName(); }

char* GetVekPath(void) {
    return ondebugger([]() -> char* {
        const std::string& p = dbg().srcpath;
        return p.empty() ? nullptr : copyout(p);
    });
}
void SetVekPath(const char* text) {
    if (!text) return;
    ondebugger([&] {
        std::string& p = dbg().srcpath;
        const std::string t(text);
        if (!t.empty() && t.front() == '|')
            p += t;
        else if (!t.empty() && t.back() == '|')
            p = t + p;
        else
            p = t;
        reloadsources();
    });
}
static bool addpath(const char* directory) {
    std::string& p = dbg().srcpath;
    const auto entries = pathentries(p);
    if (std::find(entries.begin(), entries.end(), directory) != entries.end()) return false;
    p += p.empty() ? std::string(directory) : "|" + std::string(directory);
    return true;
}
void AddPath(const char* directory) {
    if (!directory) return;
    ondebugger([&] { addpath(directory); });
}
void AppendToPath(const char* directory) {
    if (!directory) return;
    ondebugger([&] {
        addpath(directory);
        reloadsources();
    });
}
void PrependToPath(const char* directory) {
    if (!directory) return;
    ondebugger([&] {
        std::string& p = dbg().srcpath;
        p = p.empty() ? std::string(directory) : std::string(directory) + "|" + p;
        reloadsources();
    });
}

// ---- output capture

char* WinitFakeIo(void) {
    return ondebugger([] { return vek::WinitFakeIo(); });
}
void WinSetFakeIo(void) {
    ondebugger([] { vek::WinSetFakeIo(); });
}
void WinStopFakeIo(void) {
    ondebugger([] { vek::WinStopFakeIo(); });
}

}  // extern "C"

// ---- variables, registers, callbacks and the rest

namespace {

// The file-scope variables of a file: those of the record without a start
// that ends its function chain.
const std::vector<VarRecord>* filescope(const FileRecord& f) {
    if (f.funcs.empty() || f.funcs.back()->start) return nullptr;
    return &f.funcs.back()->vars;
}

// The first file-scope variable of that name whose storage class is in
// classes (in file order, one file when named).
const VarRecord* findglobal(const char* name, const char* file, std::initializer_list<int> classes) {
    if (!name) return nullptr;
    for (const auto& f : dbg().di().files) {
        if (file && f->name != file) continue;
        if (const auto* vars = filescope(*f))
            for (const VarRecord& v : *vars)
                if (v.name == name && std::find(classes.begin(), classes.end(), int(v.sclass)) != classes.end())
                    return &v;
    }
    return nullptr;
}

char* varlist(const char* file, int64_t size) {
    std::vector<std::string> names;
    for (const auto& f : dbg().di().files) {
        if (file && f->name != file) continue;
        if (const auto* vars = filescope(*f))
            for (const VarRecord& v : *vars)
                if ((v.sclass == 8 || v.sclass == 6) && (size < 0 || typesize(v) == uint64_t(size)))
                    names.push_back(v.name);
    }
    return makelist(names);
}

}  // namespace

extern "C" {

VekVarRecord* GetGlobalVariable(const char* name, const char* file) {
    return ondebugger([&] { return cvar(findglobal(name, file, {8, 6, 1})); });
}
char* GetVarList(const char* file) {
    return ondebugger([&] { return varlist(file, -1); });
}
char* GetSizedVarList(const char* file, int size) {
    return ondebugger([&] { return varlist(file, size); });
}
// Every file-scope variable of the file; the debug information is left as
// it is.
char* GetFileVariables(const char* file) {
    if (!file) return nullptr;
    return ondebugger([&] {
        std::vector<std::string> names;
        for (const auto& f : dbg().di().files)
            if (f->name == file)
                if (const auto* vars = filescope(*f))
                    for (const VarRecord& v : *vars) names.push_back(v.name);
        return makelist(names);
    });
}
int GetVarAddress(const char* name, const char* file, uint32_t* address) {
    return ondebugger([&] {
        const VarRecord* v = file ? findglobal(name, file, {8, 6, 1}) : findglobal(name, nullptr, {8, 6});
        if (!v) return 0;
        if (address) *address = v->value;
        return 1;
    });
}
int GetVarInformation(const char* name, const char* file, VekVarInformation* info) {
    if (!info) return 0;
    return ondebugger([&] {
        const VarRecord* v = file ? findglobal(name, file, {8, 6, 1}) : findglobal(name, nullptr, {8, 6});
        if (!v) return 0;
        info->size = typesize(*v);
        info->type = v->type;
        info->address = v->value;
        return 1;
    });
}
int GetEnumValue(const char* name, const char* file, char* text) {
    if (!name || !text) return 0;
    return ondebugger([&] {
        const VarRecord* v = file ? findglobal(name, file, {8, 6, 1}) : findglobal(name, nullptr, {8, 6});
        if (!v || v->type < 74 || v->type > 78) return 0;
        const std::string expr = file ? std::string(file) + ":" + name : std::string(name);
        int isfloat = 0;
        uint32_t value = 0;
        double real = 0;
        if (vek::Expression(1, expr.c_str(), &isfloat, &value, &real) != 0) return 0;
        if (v->desc.agg)
            for (const VarRecord& m : v->desc.agg->members) {
                if (m.name.empty()) break;
                if (m.value == value) {
                    copytext(text, VEK_TEXT_MAX, m.name.c_str());
                    return 1;
                }
            }
        copytext(text, VEK_TEXT_MAX, "ENUM VALUE OUT OF BOUNDS!!!!");
        return 1;
    });
}

char* GetRegisterList(void) {
    const std::string names = reglist();
    char* p = static_cast<char*>(std::malloc(names.size() + 1));
    if (p) std::memcpy(p, names.data(), names.size() + 1);
    return p;
}
int GetRegisterCode(const char* name) { return name ? int(regnum(name)) : 0; }
int GetRegisterSize(int) { return 4; }
int GetNamedRegisterSize(const char*) { return 4; }
uint32_t ReadRegister(int number) {
    return ondebugger([&] { return dbg().s.target.regs.getreg(unsigned(number)); });
}
uint32_t ReadNamedRegister(const char* name) {
    return ondebugger([&] { return dbg().s.target.regs.getreg(name ? regnum(name) : 0); });
}
void WriteRegister(int number, uint32_t value) {
    ondebugger([&] { dbg().s.target.regs.storereg(unsigned(number), value); });
}
void WriteNamedRegister(const char* name, uint32_t value) {
    if (!name) return;
    ondebugger([&] {
        if (const unsigned n = regnum(name)) dbg().s.target.regs.setreg(n, value);
    });
}
void SaveRegisters(void* buffer) {
    if (buffer) ondebugger([&] { dbg().s.target.regs.getregs(buffer); });
}
void RestoreRegisters(const void* buffer) {
    if (buffer) ondebugger([&] { dbg().s.target.regs.putregs(buffer); });
}
uint32_t ReadSavedRegister(const void* block, int number) { return block ? getsavedreg(block, unsigned(number)) : 0; }
uint32_t ReadSavedNamedRegister(const void* block, const char* name) {
    return block && name ? getsavedreg(block, regnum(name)) : 0;
}
uint32_t ReadSavedPC(const void* block) { return block ? getsavedpc(block) : 0; }

int CheckEvent(void) {
    return ondebugger([] { return dbg().chkevents(nullptr, nullptr, false) ? 1 : 0; });
}

void* RegisterCBFunction(void (*fn)(uint32_t)) {
    return ondebugger([&] { return vek::RegisterCBFunction(fn); });
}
void* RegisterCBParamFunction(void (*fn)(uint32_t, uint32_t), uint32_t param) {
    return ondebugger([&] { return vek::RegisterCBParamFunction(fn, param); });
}
void* RegisterLoadFunction(void (*fn)(const char*, int32_t)) {
    return ondebugger([&] { return vek::RegisterLoadFunction(fn); });
}
void* RegisterEventFunction(void (*fn)(int32_t)) {
    return ondebugger([&] { return vek::RegisterEventFunction(fn); });
}
void* RegisterResetFunction(void (*fn)(int32_t)) {
    return ondebugger([&] { return vek::RegisterResetFunction(fn); });
}
void* RegisterStatusFunction(void (*fn)(int32_t)) {
    return ondebugger([&] { return vek::RegisterStatusFunction(fn); });
}
void* RegisterSessionFunction(void (*fn)(const char*, int32_t)) {
    return ondebugger([&] { return vek::RegisterSessionFunction(fn); });
}
void* RegisterUpdateFunction(void (*fn)(int32_t)) {
    return ondebugger([&] { return vek::RegisterUpdateFunction(fn); });
}
void* RegisterMemHook(uint32_t start, uint32_t length, uint32_t mask, uint32_t userdata,
                      void (*fn)(uint32_t, uint32_t, uint32_t, uint32_t)) {
    return ondebugger([&] { return vek::RegisterMemHook(start, length, mask, userdata, fn); });
}
void UnRegisterCBFunction(void* handle) {
    ondebugger([&] { vek::UnRegisterCBFunction(handle); });
}
void UnRegisterMemHook(void* handle) {
    ondebugger([&] { vek::UnRegisterMemHook(handle); });
}
void UnRegisterLoadFunction(void) {
    ondebugger([] { vek::UnRegisterLoadFunction(); });
}
void UnRegisterEventFunction(void) {
    ondebugger([] { vek::UnRegisterEventFunction(); });
}
void UnRegisterResetFunction(void) {
    ondebugger([] { vek::UnRegisterResetFunction(); });
}
void UnRegisterStatusFunction(void) {
    ondebugger([] { vek::UnRegisterStatusFunction(); });
}
void UnRegisterSessionFunction(void) {
    ondebugger([] { vek::UnRegisterSessionFunction(); });
}
void UnRegisterUpdateFunction(void) {
    ondebugger([] { vek::UnRegisterUpdateFunction(); });
}

// Windows that exist only on a screen: without one there is no such
// window, and an operation on none does nothing.
int SetVekWindow(int command) {
    return ondebugger([&] { return exportstate().host.syscommand ? exportstate().host.syscommand(nullptr, command) : 0; });
}
int SetVekSubWindow(void* window, int command) {
    if (!window) return 0;
    return ondebugger([&] { return exportstate().host.syscommand ? exportstate().host.syscommand(window, command) : 0; });
}
// The window of a Show menu item, when shown, gets the system command.
static void viewcommand(int id, int command) {
    ondebugger([&] {
        ExportHost& h = exportstate().host;
        if (!h.viewshown || !h.viewwindow || !h.syscommand || !h.viewshown(id)) return;
        if (void* w = h.viewwindow(id)) h.syscommand(w, command);
    });
}
void SetAssemblerWindow(int command) { viewcommand(320, command); }
void SetRegistersWindow(int command) { viewcommand(310, command); }
void SetStackWindow(int command) { viewcommand(330, command); }

void* CreateSourceBrowser(const char* file) {
    if (!file) return nullptr;
    return ondebugger([&] { return host().opensource ? host().opensource(file, 0, true) : nullptr; });
}
void* BrowseFile(const char* file, int line) {
    if (!file) return nullptr;
    return ondebugger([&] { return host().opensource ? host().opensource(file, line, false) : nullptr; });
}
void* BrowseFunction(const char* function, const char* file, int line) {
    if (!function) return nullptr;
    return ondebugger([&] { return host().openfunction ? host().openfunction(function, file, line) : nullptr; });
}
void* CreateFileBrowser(void) {
    return ondebugger([] { return host().openlist ? host().openlist(false) : nullptr; });
}
void* CreateFunctionBrowser(void) {
    return ondebugger([] { return host().openlist ? host().openlist(true) : nullptr; });
}
void* CreateMemoryCodeBrowser(const char* title, uint32_t start) {
    return ondebugger([&] {
        return host().openmemory ? host().openmemory(true, title ? title : "", start, 0, 0, 0, 0) : nullptr;
    });
}
void* CreateMemoryDataBrowser(const char* title, uint32_t start, int perline, int size, int format, int ascii) {
    return ondebugger([&] {
        return host().openmemory ? host().openmemory(false, title ? title : "", start, perline, size, format, ascii)
                                 : nullptr;
    });
}
static void closewindow(void* window) {
    if (!window) return;
    ondebugger([&] {
        if (host().closewindow) host().closewindow(window);
    });
}
void DeleteSourceBrowser(void* window) { closewindow(window); }
void DeleteFileBrowser(void* window) { closewindow(window); }
void DeleteFunctionBrowser(void* window) { closewindow(window); }
void DeleteMemoryBrowser(void* window) { closewindow(window); }
const char* SelectSourceFile(void) {
    return ondebugger([] { return host().selectname ? host().selectname(false) : nullptr; });
}
const char* SelectSourceFunction(void) {
    return ondebugger([] { return host().selectname ? host().selectname(true) : nullptr; });
}
int GetSourceSelection(int, const char** expression, const char** text) {
    if (expression) *expression = nullptr;
    if (text) *text = nullptr;
    return ondebugger([&] { return host().selection ? host().selection(expression, text) : 0; });
}
int GetVekWindowsStyle(void) {
    return ondebugger([] { return exportstate().windowsstyle; });
}
void SetVekWindowsStyle(int code) {
    if (code < 1 || code > 4) return;
    ondebugger([&] {
        exportstate().windowsstyle = code;
        if (exportstate().host.arrange) exportstate().host.arrange(code);
    });
}
int GetExtensionsMenuInsertPos(void) {
    return ondebugger([] {
        auto count = exportstate().host.menucount;
        return count ? count(resources::ExtensionsMenu) : 0;
    });
}
void* GetFunctionPopupMenu(void) {
    return ondebugger([] { return host().popupmenu ? host().popupmenu(false) : nullptr; });
}
void* GetVariablePopupMenu(void) {
    return ondebugger([] { return host().popupmenu ? host().popupmenu(true) : nullptr; });
}
uint32_t GetVekTextColor(void) { return GetVekColor(0); }

void LoadTargetFile(const char* path) {
    if (!path) return;
    ondebugger([&] {
        if (dbg().flags.running) return;
        // A copy: the caller's text may go while the load runs.
        const std::string copy(path);
        if (host().loadprogram)
            host().loadprogram(copy.c_str());
        else
            dbg().docmd(("load " + copy).c_str(), 1);
    });
}
int SetChronology(int value) { return value; }

}  // extern "C"

extern "C" int Expression(int mode, const char* text, int* isfloat, uint32_t* integer, double* real) {
    if (!text) return 0;
    return ondebugger([&] { return vek::Expression(mode, text, isfloat, integer, real); });
}

// Settings of the debugger's settings file; the result of a read is the
// length of the text copied (at most size - 1 characters and a NUL).
extern "C" int VekGetProfileString(const char* section, const char* key, const char* fallback, char* buffer,
                                   int size) {
    if (!section || !key || !buffer || size <= 0) return 0;
    return ondebugger([&] {
        const std::string v = platform::Profile(exportstate().inifile).read(section, key, fallback ? fallback : "");
        copytext(buffer, size, v.c_str());
        return int(std::strlen(buffer));
    });
}
extern "C" int VekWriteProfileString(const char* section, const char* key, const char* value) {
    if (!section || !key || !value) return 0;
    return ondebugger([&] { return platform::Profile(exportstate().inifile).write(section, key, value) ? 1 : 0; });
}
// Menus and the tool bar exist only on a screen.
extern "C" int VekInsertMenuItem(void* menu, int position, const char* text, int id) {
    if (!menu || !text) return 0;
    return ondebugger([&] {
        auto insert = exportstate().host.insertmenuitem;
        return insert ? insert(menu, position, text, id) : 0;
    });
}
// The picture is the XPM array that the module exports under that name.
extern "C" int AddButtonToBar(void* module, const char* bitmap) {
    if (!module || !bitmap) return 0;
    return ondebugger([&] {
        auto add = exportstate().host.addbutton;
        if (!add) return 0;
        const auto xpm = copyxpm(static_cast<const char* const*>(platform::findsymbol(platform::Library{module}, bitmap)));
        return xpm.empty() ? 0 : add(xpm);
    });
}

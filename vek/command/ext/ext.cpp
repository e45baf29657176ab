// The extension manager (see ext.h).
#include "vek/command/ext/ext.h"

#include <algorithm>
#include <utility>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

#include "vek/core/support/output.h"

namespace vek {

namespace {

Extensions* state = nullptr;

using AbiFn = int (*)();
using InitFn = int (*)(void* mainwindow, void* program, void* library);
using CheckFn = int (*)(const char* processor, int exectype);
using TextFn = const char* (*)();
using LoadTypeFn = int (*)();

void report(const std::string& path, const std::string& why) {
    puterror({"Extension ", path, ": ", why, "\n"});
}

std::string copytext(void* fn) {
    if (!fn) return {};
    const char* t = reinterpret_cast<TextFn>(fn)();
    return t ? std::string(t) : std::string();
}

void setstatus(const std::string& text) {
    if (state->status) state->status(text);
}

bool isplainfile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Every "*.so" of a directory that is a regular file and no dot file, in
// name order.
std::vector<std::string> libraries(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = opendir(directory.c_str());
    if (!dir) return names;
    while (const dirent* e = readdir(dir)) {
        const std::string name(e->d_name);
        if (name.empty() || name[0] == '.' || name.size() < 4 || name.compare(name.size() - 3, 3, ".so") != 0)
            continue;
        if (isplainfile(directory + name)) names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string withslash(std::string dir) {
    for (char& c : dir)
        if (c == '\\') c = '/';
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace

std::vector<std::string> copyxpm(const char* const* xpm) {
    std::vector<std::string> lines;
    if (!xpm || !xpm[0]) return lines;
    unsigned w = 0, h = 0, colours = 0, cpp = 0;
    if (std::sscanf(xpm[0], "%u %u %u %u", &w, &h, &colours, &cpp) != 4 || w == 0 || h == 0 || w > 256 ||
        h > 256 || colours == 0 || colours > 4096 || cpp == 0 || cpp > 4)
        return lines;
    const unsigned count = 1 + colours + h;
    for (unsigned i = 0; i < count; ++i) {
        if (!xpm[i]) return {};
        lines.emplace_back(xpm[i]);
    }
    return lines;
}


Extensions& extensions() {
    if (!state) state = new Extensions;
    return *state;
}

void resetextensions(Debugger* d) {
    delete state;
    state = new Extensions;
    state->d = d;
}

const std::vector<std::string>& extfolders() {
    static const std::vector<std::string> folders{"IOREGS",  "INTERRUPTS", "ANALYZER", "AUTOLOAD",      "EXTENSIONS",
                                                  "GRAPHICS", "KERNELS",   "PANELS",   "PPC-EXTENSIONS"};
    return folders;
}

void scanextfolder(const std::string& folder) {
    const std::string dir = platform::programdir() + folder + "/";
    for (const std::string& name : libraries(dir)) probeext(dir, name, false);
}

std::vector<std::string> pathentries(const std::string& path) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t bar = path.find('|', start);
        if (bar == std::string::npos) bar = path.size();
        if (bar > start) out.push_back(path.substr(start, bar - start));
        start = bar + 1;
    }
    return out;
}

void scanextpath() {
    for (std::string dir : pathentries(extensions().extenpath)) {
        dir = withslash(dir);
        setstatus("Searching " + dir + "*.so");
        for (const std::string& name : libraries(dir)) probeext(dir, name, true);
    }
}

void scanextensions() {
    for (const std::string& f : extfolders()) {
        setstatus("Searching " + f);
        scanextfolder(f);
    }
    scanextpath();
    setstatus(" Command");
}

void probeext(const std::string& directory, const std::string& name, bool frompath) {
    Extensions& x = extensions();
    const std::string path = directory + name;
    // One library reached twice (two folders, a symbolic link) is probed once.
    const std::string real = platform::realpathof(path);
    if (std::find(x.probed.begin(), x.probed.end(), real) != x.probed.end()) return;
    x.probed.push_back(real);
    std::string error;
    platform::Library lib = platform::openlibrary(path, error);
    if (!lib) return report(path, error);
    auto abi = reinterpret_cast<AbiFn>(platform::findsymbol(lib, "VekExtensionAbi"));
    if (!abi) {
        platform::closelibrary(lib);
        return report(path, "no VekExtensionAbi");
    }
    if (const int v = abi(); v != ExtensionAbi) {
        platform::closelibrary(lib);
        return report(path, "built for extension interface " + std::to_string(v) + ", this debugger serves " +
                                std::to_string(ExtensionAbi));
    }
    static const char* const required[] = {"InitExtension", "CheckExtension", "GetExtensionDescription",
                                           "GetExtensionLoadType", "GetExtensionHelp"};
    void* entries[5];
    for (int i = 0; i < 5; ++i) {
        entries[i] = platform::findsymbol(lib, required[i]);
        if (!entries[i]) {
            platform::closelibrary(lib);
            return report(path, std::string("no ") + required[i]);
        }
    }
    if (!reinterpret_cast<CheckFn>(entries[1])("PPC", 1)) {
        platform::closelibrary(lib);
        return;
    }
    auto desc = std::make_shared<ExtensionDescriptor>();
    desc->frompath = frompath;
    desc->path = path;
    desc->realpath = real;
    desc->description = copytext(entries[2]);
    desc->help = copytext(entries[4]);
    desc->options = copytext(platform::findsymbol(lib, "GetCommandOptions"));
    desc->word = copytext(platform::findsymbol(lib, "GetCommandName"));
    desc->version = copytext(platform::findsymbol(lib, "GetExtensionVersion"));
    desc->icon = copyxpm(static_cast<const char* const*>(platform::findsymbol(lib, "ICONDEF")));
    const int loadtype = reinterpret_cast<LoadTypeFn>(entries[3])();
    platform::closelibrary(lib);  // loadext holds its own
    if (loadtype & 4) {
        setstatus("Loading: " + name);
        loadext(desc, true);
        setstatus("Command");
    } else {
        x.available.insert(x.available.begin(), desc);
    }
}

bool loadext(const std::shared_ptr<ExtensionDescriptor>& desc, bool autoload) {
    Extensions& x = extensions();
    std::string error;
    platform::Library lib = platform::openlibrary(desc->path, error);
    if (!lib) {
        report(desc->path, error);
        return false;
    }
    auto init = reinterpret_cast<InitFn>(platform::findsymbol(lib, "InitExtension"));
    if (!init) {
        platform::closelibrary(lib);
        report(desc->path, "no InitExtension");
        return false;
    }
    if (!desc->word.empty()) desc->call = reinterpret_cast<ExtCallFn>(platform::findsymbol(lib, "CallExtension"));
    auto rec = std::make_unique<LoadedExtension>();
    rec->desc = desc;
    rec->autoload = autoload;
    rec->close = reinterpret_cast<ExtCloseFn>(platform::findsymbol(lib, "CloseExtension"));
    rec->lib = lib;
    x.loaded.insert(x.loaded.begin(), std::move(rec));
    platform::Library self = platform::programlibrary();
    const int ok = init(x.mainwindow, self.handle, lib.handle);
    platform::closelibrary(self);
    if (ok) return true;
    // The extension may have loaded another one meanwhile: find its record.
    for (auto it = x.loaded.begin(); it != x.loaded.end(); ++it)
        if ((*it)->lib.handle == lib.handle && (*it)->desc == desc) {
            x.loaded.erase(it);
            break;
        }
    platform::closelibrary(lib);
    return false;
}

int extcmd(Cursor line) {
    Extensions& x = extensions();
    for (size_t i = 0; i < x.loaded.size(); ++i) {
        LoadedExtension* e = x.loaded[i].get();
        const std::string& w = e->desc->word;
        if (w.empty() || std::strncmp(line, w.c_str(), w.size()) != 0) continue;
        e->calls.emplace_back(line);
        if (e->desc->call) e->desc->call(line);
        return 1;
    }
    return 0;
}

int isextcmd(const char* word) {
    for (const auto& e : extensions().loaded) {
        const std::string& w = e->desc->word;
        if (!w.empty() && std::strncmp(word, w.c_str(), w.size()) == 0) return 1;
    }
    return 0;
}

void closeextensions() {
    Extensions& x = extensions();
    // Newest first; a CloseExtension that touches the list sees it whole.
    // Each is closed once, also when the program's end asks again.
    std::vector<ExtCloseFn> closers;
    for (const auto& e : x.loaded)
        if (e->close) closers.push_back(std::exchange(e->close, nullptr));
    for (ExtCloseFn f : closers) f();
}

bool closeextension(LoadedExtension* ext) {
    Extensions& x = extensions();
    auto it = std::find_if(x.loaded.begin(), x.loaded.end(), [&](const auto& e) { return e.get() == ext; });
    if (it == x.loaded.end() || ext->autoload || !ext->close) return false;
    ExtCloseFn close = ext->close;
    x.loaded.erase(it);
    close();
    return true;
}

}  // namespace vek

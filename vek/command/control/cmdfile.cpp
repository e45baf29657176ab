// Command files (*.in): running them line by line, writing the state that
// commands can rebuild, and reading source lines for listings.
#include <cstring>
#include <string>
#include <vector>

#include "platform/interrupt.h"
#include "vek/command/control/control.h"
#include "vek/core/support/output.h"

namespace vek {

namespace {

constexpr int MaxNested = 64;

// The directories of a '|'-separated path, in order, up to an empty one.
std::vector<std::string> pathdirs(const std::string& path) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at <= path.size()) {
        size_t bar = path.find('|', at);
        std::string dir = path.substr(at, bar == std::string::npos ? std::string::npos : bar - at);
        if (dir.empty()) break;
        while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
        out.push_back(dir);
        if (bar == std::string::npos) break;
        at = bar + 1;
    }
    return out;
}

std::string native(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

std::FILE* openalong(const std::string& path, const std::string& name, const char* how) {
    if (std::FILE* f = std::fopen(native(name).c_str(), how)) return f;
    for (const std::string& dir : pathdirs(path))
        if (std::FILE* f = std::fopen(native(dir + "/" + name).c_str(), how)) return f;
    return nullptr;
}

}  // namespace

bool readwholeline(std::FILE* f, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        line += char(c);
    }
    if (!any) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

int Debugger::runcmdfile(const char* path) {
    if (!path) return 1;
    if (cmdfiles >= MaxNested) {
        puterror({path, ": more than 64 nested command files\n"});
        return 0;
    }
    std::FILE* f = openalong(srcpath, path, "rb");
    if (!f) {
        puterror({path, ": ", msgtext(msgid::Redirect), "\n"});
        return 0;
    }
    ++cmdfiles;
    const bool outer = outstate().cmdfile;
    std::string line;
    while (!quitting && readwholeline(f, line)) {
        outstate().cmdfile = true;
        if (!quiet) writeout(line + "\n");
        docmd(line.c_str(), 1);
        if (platform::interrupted() && !flags.running) break;
    }
    std::fclose(f);
    --cmdfiles;
    outstate().cmdfile = outer;
    return 1;
}

void Debugger::writecmds(const char* letters, const char* path) {
    bool events_ = false, monitors = false, functions = false;
    for (const char* p = letters; *p; ++p) {
        if (*p == ' ' || *p == '\t') continue;
        if (*p == 'b')
            events_ = true;
        else if (*p == 'm')
            monitors = true;
        else if (*p == 'f')
            functions = true;
        else {
            puterror({msgtext(msgid::Argument), p, "\n"});
            return;
        }
    }
    std::FILE* f = std::fopen(native(path).c_str(), "w");
    if (!f) {
        puterror({msgtext(msgid::Create), " ", path, "\n"});
        return;
    }
    if (!events_ && !monitors && !functions) events_ = monitors = functions = true;
    if (events_) writeevents(f);
    if (monitors) writemonits(f);
    bool ok = !std::ferror(f);
    if (std::fclose(f) != 0 || !ok) puterror({"Can't write ", path, "\n"});
}

const char* Debugger::readsrcline(const char* name, uint32_t n) {
    SrcReader& r = src;
    if (!name) {
        if (r.file) std::fclose(r.file);
        r = SrcReader{};
        return nullptr;
    }
    if (r.name != name || (n != 0 && n < r.line)) {
        if (r.file) std::fclose(r.file);
        r.file = nullptr;
        r.name = name;
        r.line = 1;
        r.failed = false;
        r.file = openalong(srcpath, name, "rb");
        if (!r.file) {
            r.failed = true;
            r.text = std::string(msgtext(msgid::NoFile)) + ": " + name;
            return r.text.c_str();
        }
    }
    if (!r.file) return nullptr;
    int c = 0;
    if (n != 0)
        while (r.line < n && (c = std::fgetc(r.file)) != EOF)
            if (c == '\n') ++r.line;
    r.text.clear();
    bool any = false;
    while ((c = std::fgetc(r.file)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (c == '\t') {
            do r.text += ' ';
            while (r.text.size() % 4);
        } else if (c != '\r') {
            r.text += char(c);
        }
    }
    if (std::ferror(r.file)) puterror({msgtext(msgid::Read), "\n"});
    if (!any) {
        std::fclose(r.file);
        r.file = nullptr;
        r.name.clear();
        return nullptr;
    }
    ++r.line;
    return r.text.c_str();
}

}  // namespace vek

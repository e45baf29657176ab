// Session and layout files.
#include "vek/command/control/sessionfile.h"

#include <cstdio>
#include <cstdlib>

#include "platform/files.h"
#include "platform/window.h"
#include "vek/command/control/control.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"

namespace vek {

namespace {

// A value that no file holds: the end of a numbered section.
constexpr const char* kMissing = "\x01";

struct WaitCursor {
    WaitCursor() { platform::windowhost().setcursor(platform::Cursor::Wait); }
    ~WaitCursor() { platform::windowhost().setcursor(platform::Cursor::Arrow); }
};

// The entries as a file, sections in the order they first appear. A value
// ending in a line feed keeps it (the monitors' empty lines).
std::string compose(const std::vector<SessionEntry>& entries) {
    std::vector<std::string> order;
    for (const SessionEntry& e : entries) {
        bool seen = false;
        for (const std::string& s : order) seen = seen || s == e.section;
        if (!seen) order.push_back(e.section);
    }
    std::string text;
    for (const std::string& section : order) {
        text += "[" + section + "]\n";
        for (const SessionEntry& e : entries)
            if (e.section == section) text += e.key + "=" + e.value + "\n";
    }
    return text;
}

void remember(const SessionWindows& w, const std::string& path, int kind) {
    if (w.settings.empty()) return;
    std::string directory, name;
    splitsessionpath(path, directory, name);
    platform::Profile settings(w.settings);
    const char* section = kind ? "Session" : "Layout";
    settings.write(section, "File", name);
    settings.write(section, "Directory", directory);
}

void numbered(std::vector<SessionEntry>& out, const char* section, const std::vector<std::string>& values) {
    for (size_t i = 0; i < values.size(); ++i) out.push_back({section, std::to_string(i + 1), values[i]});
}

}  // namespace

void splitsessionpath(const std::string& path, std::string& directory, std::string& name) {
    const size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos) {
        directory.clear();
        name = path;
        return;
    }
    directory = path.substr(0, cut);
    name = path.substr(cut + 1);
}

std::vector<std::string> sessionevents(const Debugger& d) {
    std::vector<std::string> out;
    // The code events first, in number order; internal ones are not kept.
    for (const auto& e : d.events) {
        if (e->removed || !e->user || e->cls == 'D') continue;
        std::string t = e->watch ? "watch " : "break ";
        if (!e->enabled) t += "/i ";
        if (e->count > 1) t += "/C:" + std::to_string(e->count);
        out.push_back(t + " " + d.eventlocation(*e));
    }
    // Then the data breakpoints, with their access kinds.
    for (const auto& e : d.events) {
        if (e->removed || !e->user || e->cls != 'D') continue;
        std::string t = e->watch ? "dwatch /T:" : "dbreak /T:";
        t += e->kind;
        if (e->count > 1) t += " /C:" + std::to_string(e->count);
        out.push_back(t + " " + d.eventlocation(*e));
    }
    return out;
}

std::vector<std::string> sessionmonitors(const Debugger& d) {
    std::vector<std::string> out;
    for (const MonitorRecord& m : d.monitors) out.push_back(monitcommand(m) + "\n");
    return out;
}

bool savesession(Debugger& d, const std::string& path, int kind, const SessionWindows& w) {
    WaitCursor wait;
    std::remove(path.c_str());
    std::vector<SessionEntry> entries;
    if (kind) {
        if (!d.s.prog.path.empty()) entries.push_back({"Load", "File", d.s.prog.path});
        if (!d.srcpath.empty()) entries.push_back({"Options", "Path", d.srcpath});
        const std::string ext = w.extenpath ? w.extenpath() : std::string();
        if (!ext.empty()) entries.push_back({"Options", "ExtenPath", ext});
    }
    if (w.save) w.save(entries, kind);
    if (kind) {
        numbered(entries, "Events", sessionevents(d));
        numbered(entries, "Monitors", sessionmonitors(d));
    }
    if (!platform::writefile(path, compose(entries))) {
        puterror({msgtext(msgid::Create), ": ", path, "\n"});
        return false;
    }
    if (kind) firesessioncbs(path.c_str(), 0);
    remember(w, path, kind);
    return true;
}

bool loadsession(Debugger& d, const std::string& path, int kind, const SessionWindows& w) {
    platform::Profile file(path);
    if (file.read("Windows", "Vek", "").empty()) {
        puterror({"File: ", path, " Not a Session file\n"});
        return false;
    }
    WaitCursor wait;
    if (kind) {
        std::string program = file.read("Load", "File", "");
        if (!program.empty()) {
            // The frames go only when a program replaces them.
            d.clearframes();
            if (program.size() > 1004) program.resize(1004);
            d.doblock(("load " + program).c_str(), 0);
        }
        const std::string srcpath = file.read("Options", "Path", "");
        if (!srcpath.empty()) d.doblock(("path \"" + srcpath + "\"").c_str(), 0);
    }
    if (w.load) w.load(file, kind);
    if (kind) {
        for (const char* section : {"Events", "Monitors"})
            for (int n = 1;; ++n) {
                const std::string line = file.read(section, std::to_string(n), kMissing);
                if (line == kMissing) break;
                d.doblock(line.c_str(), section[0] == 'E' ? 1 : 0);
            }
        firesessioncbs(path.c_str(), 1);
    }
    return true;
}

SessionWindows headlesswindows(const std::string& settings) {
    SessionWindows w;
    w.settings = settings;
    w.save = [settings](std::vector<SessionEntry>& out, int) {
        platform::Profile s(settings);
        std::string vek = "YES";
        for (const char* side : {"Left", "Top", "Right", "Bottom"}) {
            const std::string v = s.read("VekWindow", side, "0");
            vek += "," + std::to_string(uint32_t(std::strtoul(v.c_str(), nullptr, 10)));
        }
        out.push_back({"Options", "Tile", "CASCADE"});
        out.push_back({"Windows", "Vek", vek});
        for (const char* name : {"Source", "Disassembly", "Command", "Stack", "Monitors", "Registers"})
            out.push_back({"Windows", name, "NO"});
    };
    return w;
}

void usesessionfiles(Debugger& d, SessionWindows w) {
    d.sessionio = [&d, w](const std::string& name, int kind, bool load) {
        if (load)
            loadsession(d, name, kind, w);
        else
            savesession(d, name, kind, w);
    };
}

}  // namespace vek

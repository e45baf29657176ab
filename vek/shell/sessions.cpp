// Session and layout files of the windowed debugger.
//
// An MDI child's place is written as its geometry in the MDI area: x, y,
// x + width + 1, y + height + 1, and put back at (left, top) with the size
// (right - left - 1, bottom - top - 1), so a save and a load give the same
// place again. The views' hosts are found among the MDI children by their
// titles.
#include "vek/shell/sessions.h"

#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <cstdio>
#include <cstdlib>

#include "vek/shell/shell.h"

namespace vek::shell {

namespace {

struct Placed {
    const char* key;
    int32_t id;       // its Show-menu command
    const char* title;
};
// In the order the file keeps them (and a load opens them).
constexpr Placed kWindows[] = {
    {"Disassembly", 320, "Disassembly"}, {"Command", 300, "Command"}, {"Stack", 330, "Stack"},
    {"Monitors", 340, "Monitors"},       {"Registers", 310, "Registers"},
};

QMdiSubWindow* hostof(MainWindow& frame, int32_t id, const char* title) {
    if (id == 300) return frame.cmdhost();
    for (QMdiSubWindow* w : frame.mdi()->subWindowList())
        if (w->windowTitle().startsWith(QLatin1String(title), Qt::CaseInsensitive)) return w;
    return nullptr;
}

std::string rectvalue(const QRect& g) {
    auto u = [](int v) { return std::to_string(uint32_t(v)); };
    return "YES," + u(g.left()) + "," + u(g.top()) + "," + u(g.left() + g.width() + 1) + "," +
           u(g.top() + g.height() + 1);
}

// The four numbers after "YES,", each read from at most 10 digits.
bool readrect(const std::string& value, int32_t out[4]) {
    if (value.compare(0, 4, "YES,") != 0) return false;
    size_t at = 4;
    for (int i = 0; i < 4; ++i) {
        uint32_t v = 0;
        size_t digits = 0;
        while (at < value.size() && digits < 10 && value[at] >= '0' && value[at] <= '9')
            v = v * 10 + uint32_t(value[at++] - '0'), ++digits;
        out[i] = int32_t(v);
        ++at;  // the separator
    }
    return true;
}

void place(QMdiSubWindow* host, const int32_t r[4]) {
    if (!host) return;
    host->move(r[0], r[1]);
    host->resize(std::max(1, r[2] - r[0] - 1), std::max(1, r[3] - r[1] - 1));
}

bool isopen(MainWindow& frame, int32_t id, const char* title) {
    if (id == 300) return frame.cmdhost() != nullptr;
    return hostof(frame, id, title) != nullptr;
}

}  // namespace

std::string datavalue(const DataWindowPlace& w) {
    char start[16];
    std::snprintf(start, sizeof start, "%x", w.start);
    auto u = [](int32_t v) { return std::to_string(uint32_t(v)); };
    std::string t = std::string(w.code ? "C," : "D,") + start;
    if (!w.code)
        t += "," + std::to_string(w.bytesperline) + "," + std::to_string(w.ascii) + "," + std::to_string(w.size) + "," +
             std::to_string(w.format);
    return t + "," + u(w.left) + "," + u(w.right) + "," + u(w.top) + "," + u(w.bottom);
}

bool readdatavalue(const std::string& value, DataWindowPlace& w) {
    if (value.size() < 2 || (value[0] != 'C' && value[0] != 'D') || value[1] != ',') return false;
    w = DataWindowPlace{};
    w.code = value[0] == 'C';
    std::vector<uint32_t> n;
    size_t at = 2;
    for (bool first = true; at <= value.size(); first = false) {
        size_t end = value.find(',', at);
        if (end == std::string::npos) end = value.size();
        const std::string field = value.substr(at, end - at);
        char* stop = nullptr;
        const unsigned long v = std::strtoul(field.c_str(), &stop, first ? 16 : 10);
        if (field.empty() || *stop || field.size() > 10) return false;
        n.push_back(uint32_t(v));
        at = end + 1;
    }
    if (n.size() != (w.code ? 5u : 9u)) return false;
    size_t k = 0;
    w.start = n[k++];
    if (!w.code) {
        w.bytesperline = n[k++];
        w.ascii = n[k++];
        w.size = n[k++];
        w.format = n[k++];
        if (w.ascii > 1 || (w.size != 1 && w.size != 2 && w.size != 4) || w.format < 1 || w.format > 4 ||
            w.bytesperline == 0 || w.bytesperline > 256)
            return false;
    }
    w.left = int32_t(n[k]), w.right = int32_t(n[k + 1]), w.top = int32_t(n[k + 2]), w.bottom = int32_t(n[k + 3]);
    return true;
}

SessionMemoryWindows& sessionmemorywindows() {
    static SessionMemoryWindows windows;
    return windows;
}

SessionWindows sessionwindows(MainWindow& frame) {
    SessionWindows w;
    w.settings = frame.settings().path();
    w.save = [&frame](std::vector<SessionEntry>& out, int kind) {
        const char* tiles[] = {"CASCADE", "HORIZONTAL", "VERTICAL", "FREE"};
        const int a = frame.arrangement();
        out.push_back({"Options", "Tile", tiles[a >= 190 && a <= 193 ? a - 190 : 0]});
        const QRect g = frame.frameGeometry();
        auto u = [](int v) { return std::to_string(uint32_t(v)); };
        out.push_back({"Windows", "Vek",
                       "YES," + u(g.left()) + "," + u(g.top()) + "," + u(g.left() + g.width()) + "," +
                           u(g.top() + g.height())});
        QMdiSubWindow* source = hostof(frame, 0, "Source");
        out.push_back({"Windows", "Source", source ? rectvalue(source->geometry()) : "NO"});
        for (const Placed& p : kWindows) {
            QMdiSubWindow* host = hostof(frame, p.id, p.title);
            out.push_back({"Windows", p.key, host ? rectvalue(host->geometry()) : "NO"});
        }
        const SessionMemoryWindows& memory = sessionmemorywindows();
        if (kind && memory.list) {
            int n = 0;
            for (const DataWindowPlace& w : memory.list()) out.push_back({"Data", std::to_string(++n), datavalue(w)});
        }
    };
    w.load = [&frame](const platform::Profile& file, int kind) {
        const std::string tile = file.read("Options", "Tile", "");
        const char t = tile.empty() ? 0 : char(tile[0] | 0x20);
        frame.dispatch(t == 'h' ? 191 : t == 'v' ? 192 : t == 'f' ? 193 : 190);
        int32_t r[4];
        if (readrect(file.read("Windows", "Vek", ""), r)) {
            const QRect g = frame.frameGeometry(), inner = frame.geometry();
            frame.move(r[0], r[1]);
            frame.resize(std::max(1, r[2] - r[0] - (g.width() - inner.width())),
                         std::max(1, r[3] - r[1] - (g.height() - inner.height())));
        }
        if (readrect(file.read("Windows", "Source", ""), r)) place(hostof(frame, 0, "Source"), r);
        for (const Placed& p : kWindows) {
            const std::string value = file.read("Windows", p.key, "NO");
            const bool open = isopen(frame, p.id, p.title);
            if (!value.empty() && value[0] == 'Y') {
                if (!open) frame.dispatch(p.id);
                if (readrect(value, r)) place(hostof(frame, p.id, p.title), r);
            } else if (open) {
                frame.dispatch(p.id);
            }
        }
        const SessionMemoryWindows& memory = sessionmemorywindows();
        if (kind && memory.closeall && memory.open) {
            memory.closeall();
            for (int n = 1;; ++n) {
                const std::string value = file.read("Data", std::to_string(n), "\x01");
                if (value == "\x01") break;
                DataWindowPlace place;
                if (readdatavalue(value, place)) memory.open(place, frame.arrangement() == 193);
            }
        }
    };
    return w;
}

void sessionmenu(MainWindow& frame, int32_t id) {
    if (frame.running()) {
        frame.beep();
        return;
    }
    const bool load = id == 131 || id == 133;
    const int kind = id == 131 || id == 132 ? 1 : 0;
    const char* section = kind ? "Session" : "Layout";
    const QString title = load && !kind ? "Layout File" : "Session File";
    QString name;
    if (responder().file) {
        name = responder().file(title);
    } else {
        std::string dir = frame.settings().read(section, "Directory", "");
        if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
        const QString start = QString::fromStdString(dir + frame.settings().read(section, "File", ""));
        const QString filter = kind ? "Session Files (*.ssn)" : "Layout Files (*.lyt)";
        name = load ? QFileDialog::getOpenFileName(&frame, title, start, filter + ";;All Files (*)")
                    : QFileDialog::getSaveFileName(&frame, title, start, filter + ";;All Files (*)");
    }
    if (name.isEmpty() || !frame.commands()) return;
    std::string path = name.toStdString();
    if (path.find('.', path.find_last_of("/\\") + 1) == std::string::npos) path += kind ? ".ssn" : ".lyt";
    frame.commands()->sessionfile(path, kind, load);
    if (load) {
        std::string directory, file;
        splitsessionpath(path, directory, file);
        frame.settings().write(section, "File", file);
        frame.settings().write(section, "Directory", directory);
    }
}

}  // namespace vek::shell

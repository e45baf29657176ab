// Profile files: lookup and in-place editing of "[section]" / "key=value"
// lines, with an atomic replacement of the file on every write.
#include "platform/profile.h"

#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::string_view trimblanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool sameword(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// One raw line (with its line ending) and what it says.
struct Line {
    std::string raw;
    enum Kind { Other, Section, Entry } kind = Other;
    std::string_view name;   // section or key name (into raw)
    std::string_view value;  // entry value (into raw)
};

// Reads the file as raw lines; false when it exists but cannot be read.
bool readlines(const std::string& path, std::vector<Line>& lines, std::string& error) {
    // no file reads as an empty one
    if (pathkind(path) == PathKind::None) return true;
    std::optional<std::string> read = readfile(path);
    if (!read) {
        error = "cannot read " + path;
        return false;
    }
    const std::string& text = *read;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        Line line;
        line.raw = text.substr(start, end - start);
        lines.push_back(std::move(line));
        start = end;
    }
    for (Line& line : lines) {
        std::string_view s = line.raw;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
        s = trimblanks(s);
        if (s.empty() || s.front() == ';') continue;
        if (s.front() == '[') {
            size_t close = s.find(']');
            if (close == std::string_view::npos) continue;
            line.kind = Line::Section;
            line.name = trimblanks(s.substr(1, close - 1));
            continue;
        }
        size_t eq = s.find('=');
        if (eq == std::string_view::npos) continue;
        line.kind = Line::Entry;
        line.name = trimblanks(s.substr(0, eq));
        line.value = trimblanks(s.substr(eq + 1));
    }
    return true;
}

// Index of the first entry for key in a section named section, or -1; also
// the index after which a new entry of that section goes (-1: no section).
void findentry(const std::vector<Line>& lines, std::string_view section, std::string_view key, long& entry,
               long& after) {
    entry = after = -1;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == Line::Section) {
            inside = sameword(line.name, section);
            if (inside && after < 0) after = static_cast<long>(i);
            continue;
        }
        if (!inside) continue;
        if (line.kind == Line::Entry) {
            if (sameword(line.name, key)) {
                entry = static_cast<long>(i);
                return;
            }
        }
    }
    // the end of the first matching section's entries
    if (after < 0) return;
    for (size_t i = static_cast<size_t>(after) + 1; i < lines.size(); ++i) {
        if (lines[i].kind == Line::Section) break;
        if (lines[i].kind == Line::Entry) after = static_cast<long>(i);
    }
}

bool makedirs(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = dir.find_last_of('/', dir.size() > 1 ? dir.size() - 2 : 0);
    if (slash != std::string::npos && slash > 0 && !makedirs(dir.substr(0, slash))) return false;
    return ::mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string cleanvalue(std::string_view value) {
    std::string v(value);
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    return v;
}

}  // namespace

std::string configpath(std::string_view name) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/vek/" + std::string(name);
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/vek/" + std::string(name);
    return std::string(name);
}

void splitpath(std::string_view path, std::string& directory, std::string& name) {
    size_t cut = path.find_last_of("/\\");
    if (cut == std::string_view::npos) {
        directory.clear();
        name = std::string(path);
        return;
    }
    directory = std::string(path.substr(0, cut + 1));
    name = std::string(path.substr(cut + 1));
}

std::string Profile::read(std::string_view section, std::string_view key, std::string_view fallback) const {
    std::vector<Line> lines;
    std::string error;
    if (!readlines(path_, lines, error)) return std::string(fallback);
    long entry, after;
    findentry(lines, section, key, entry, after);
    if (entry < 0) return std::string(fallback);
    return std::string(lines[static_cast<size_t>(entry)].value);
}

bool Profile::write(std::string_view section, std::string_view key, std::string_view value) {
    std::vector<Line> lines;
    error_.clear();
    if (!readlines(path_, lines, error_)) return false;
    // new lines take the file's own line ending
    const char* eol = !lines.empty() && lines[0].raw.size() >= 2 &&
                              lines[0].raw.compare(lines[0].raw.size() - 2, 2, "\r\n") == 0
                          ? "\r\n"
                          : "\n";
    std::string entrytext = std::string(key) + "=" + cleanvalue(value) + eol;
    long entry, after;
    findentry(lines, section, key, entry, after);
    if (entry >= 0) {
        lines[static_cast<size_t>(entry)].raw = entrytext;
    } else if (after >= 0) {
        Line added;
        added.raw = entrytext;
        lines.insert(lines.begin() + after + 1, added);
    } else {
        if (!lines.empty() && lines.back().raw.back() != '\n') lines.back().raw += eol;
        Line header, added;
        header.raw = "[" + std::string(section) + "]" + eol;
        added.raw = entrytext;
        lines.push_back(header);
        lines.push_back(added);
    }
    std::string text;
    for (const Line& line : lines) text += line.raw;

    std::string directory, name;
    splitpath(path_, directory, name);
    if (!makedirs(directory.empty() ? std::string() : directory.substr(0, directory.size() - 1))) {
        error_ = "cannot make directory " + directory + ": " + std::strerror(errno);
        return false;
    }
    std::string temp = path_ + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        done += static_cast<size_t>(n);
    }
    int saved = errno;
    bool ok = done == text.size();
    ::fchmod(fd, 0644);
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(temp.c_str(), path_.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        error_ = std::strerror(saved);
    }
    return ok;
}

}  // namespace platform

// File-system stand-ins over POSIX: see files.h.
#include "platform/files.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

namespace platform {

std::string hostpath(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

PathKind pathkind(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(hostpath(path).c_str(), &st) != 0) return PathKind::None;
    if (S_ISREG(st.st_mode)) return PathKind::File;
    if (S_ISDIR(st.st_mode)) return PathKind::Directory;
    return PathKind::Other;
}

TextReader::~TextReader() { close(); }

bool TextReader::open(const std::string& path) {
    close();
    if (pathkind(path) == PathKind::Directory) return false;
    fp_ = std::fopen(hostpath(path).c_str(), "rb");
    return fp_ != nullptr;
}

void TextReader::close() {
    if (fp_) std::fclose(fp_);
    fp_ = nullptr;
}

bool TextReader::getline(std::string& line) {
    line.clear();
    if (!fp_) return false;
    int c;
    bool any = false;
    while ((c = std::getc(fp_)) != EOF) {
        any = true;
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (!any) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool TextReader::geterror() const { return fp_ && std::ferror(fp_); }

bool writefile(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::optional<std::string> readfile(const std::string& path) {
    if (pathkind(path) == PathKind::Directory) return std::nullopt;
    std::FILE* fp = std::fopen(hostpath(path).c_str(), "rb");
    if (!fp) return std::nullopt;
    std::string data;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) data.append(buf, n);
    bool bad = std::ferror(fp);
    std::fclose(fp);
    if (bad) return std::nullopt;
    return data;
}

std::vector<std::string> findfiles(const std::string& pattern) {
    std::string p = hostpath(pattern);
    std::string dir = ".", last = p;
    if (auto slash = p.rfind('/'); slash != std::string::npos) {
        dir = slash == 0 ? "/" : p.substr(0, slash);
        last = p.substr(slash + 1);
    }
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return names;
    while (struct dirent* e = ::readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
        if (::fnmatch(last.c_str(), e->d_name, FNM_PERIOD) == 0) names.emplace_back(e->d_name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string joinpath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/' || dir.back() == '\\') return dir + name;
    return dir + "/" + name;
}

std::optional<std::string> envvar(const char* name) {
    const char* v = std::getenv(name);
    if (!v) return std::nullopt;
    return std::string(v);
}

}  // namespace platform

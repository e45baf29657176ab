// OutputFile over POSIX: lstat and readlink to follow links, mkstemp and
// rename for regular files; see output.h.
#include "platform/output.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

namespace platform {

namespace {

// The name with every symbolic link along the last component followed
// (a bounded number of times, as the system does).
std::string followlinks(std::string p) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        char buf[PATH_MAX];
        ssize_t n = ::readlink(p.c_str(), buf, sizeof buf - 1);
        if (n <= 0) return p;
        std::string to(buf, static_cast<size_t>(n));
        size_t slash = p.rfind('/');
        if (to[0] != '/' && slash != std::string::npos) to = p.substr(0, slash + 1) + to;
        p = to;
    }
    return p;
}

}  // namespace

bool OutputFile::open(const std::string& path) {
    discard();
    target_ = followlinks(hostpath(path));
    struct stat st;
    bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return false;
    if (exists && !S_ISREG(st.st_mode)) {
        fp_ = std::fopen(target_.c_str(), "wb");
        return fp_ != nullptr;
    }
    size_t slash = target_.rfind('/');
    std::string dir = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string temp = dir + "." + base + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    fp_ = ::fdopen(fd, "wb");
    if (!fp_) {
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    temp_ = temp;
    return true;
}

bool OutputFile::commit() {
    if (!fp_) return false;
    bool ok = std::fflush(fp_) == 0 && !std::ferror(fp_);
    ok = std::fclose(fp_) == 0 && ok;
    fp_ = nullptr;
    if (!temp_.empty()) {
        if (ok) ok = std::rename(temp_.c_str(), target_.c_str()) == 0;
        if (!ok) ::unlink(temp_.c_str());
        temp_.clear();
    }
    return ok;
}

void OutputFile::discard() {
    if (fp_) std::fclose(fp_);
    fp_ = nullptr;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool removeregularfile(const std::string& path) {
    std::string p = hostpath(path);
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return ::unlink(p.c_str()) == 0;
}

}  // namespace platform

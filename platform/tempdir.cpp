// mkdtemp, unlink and stat behind the private temporary directory; see tempdir.h.
#include "platform/tempdir.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/files.h"

namespace platform {

std::optional<std::string> makeprivatedir(const std::string& parent, const std::string& prefix) {
    std::string pattern = joinpath(hostpath(parent), prefix + "XXXXXX");
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) return std::nullopt;
    return std::string(buf.data());
}

bool removefile(const std::string& path) {
    return ::unlink(hostpath(path).c_str()) == 0 || errno == ENOENT;
}

bool removeprivatedir(const std::string& path) {
    std::string dir = hostpath(path);
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") ::unlink(joinpath(dir, name).c_str());
        }
        ::closedir(d);
    }
    return ::rmdir(dir.c_str()) == 0 || errno == ENOENT;
}

bool samefile(const std::string& a, const std::string& b) {
    std::string ha = hostpath(a), hb = hostpath(b);
    if (ha == hb) return true;
    struct stat sa, sb;
    if (::stat(ha.c_str(), &sa) != 0 || ::stat(hb.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace platform

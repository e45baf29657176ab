// Private temporary directories for tests. Each scratch::Dir is a new
// directory made with mkdtemp under $TMPDIR (or /tmp), so test processes
// running in parallel, or two checkouts testing on one machine, never meet
// on a name; it goes, with everything in it, when the Dir goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace scratch {

class Dir {
public:
    explicit Dir(const std::string& prefix = "qvtest") {
        std::error_code ec;
        std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec) base = "/tmp";
        std::string templ = (base / (prefix + "_XXXXXX")).string();
        if (::mkdtemp(templ.data())) path_ = templ;
    }
    ~Dir() {
        if (path_.empty()) return;
        std::error_code ec;
        // a test may have taken away its own permissions to provoke errors
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec) && !it->is_symlink(ec))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;

    bool made() const { return !path_.empty(); }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// One directory for a whole test process, removed when the process ends.
inline Dir& processdir() {
    static Dir dir;
    return dir;
}

}  // namespace scratch

// Private temporary directories for tests. Each scratch::Dir is a new
// directory made with mkdtemp under $TMPDIR (or /tmp), so test processes
// running in parallel, or two checkouts testing on one machine, never meet
// on a name; it goes, with everything in it, when the Dir goes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

namespace qvtest {

// A fresh private directory per test, named after the test, made the working
// directory while it lives and removed with everything in it.
class Scratch {
public:
    explicit Scratch(const std::string& prefix) : tmp_(prefix + "_" + testname()) {
        dir_ = tmp_.path();
        old_ = std::filesystem::current_path();
        if (tmp_.made()) std::filesystem::current_path(dir_);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    void write(const std::string& name, const std::string& text) const {
        std::filesystem::path p = dir_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }
    const std::filesystem::path& dir() const { return dir_; }

private:
    static std::string testname() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "_" + info->name() : "test";
        for (char& c : name)
            if (c == '/') c = '_';
        return name;
    }
    scratch::Dir tmp_;
    std::filesystem::path dir_, old_;
};

}  // namespace qvtest

// A fresh directory per test, named after the test and the process, made the
// working directory while it lives and removed with everything in it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace qvtest {

class Scratch {
public:
    explicit Scratch(const std::string& prefix) {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        static int serial = 0;
        std::string name = std::string(info->test_suite_name()) + "_" + info->name() + "_" + std::to_string(++serial);
        for (char& c : name)
            if (c == '/') c = '_';
        dir_ = std::filesystem::temp_directory_path() / (prefix + "_" + std::to_string(::getpid()) + "_" + name);
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    ~Scratch() {
        std::filesystem::current_path(old_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
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
    std::filesystem::path dir_, old_;
};

}  // namespace qvtest

// Runs cpppc in-process on files written into a scratch directory and
// captures its status, standard output and standard error.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "parser/parser.h"
#include "platform/interrupt.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace cpppctest {

struct RunResult {
    int status = 0;
    std::string out;
    std::string err;
};

// A fresh directory per test, made the working directory while it lives.
class Scratch {
public:
    Scratch() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        static int serial = 0;
        std::string name = std::string(info->test_suite_name()) + "_" + info->name() + "_" + std::to_string(++serial);
        for (char& c : name)
            if (c == '/') c = '_';
        dir_ = std::filesystem::temp_directory_path() / ("cpppc_" + std::to_string(::getpid()) + "_" + name);
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

// With captureout false the standard output stays where it is (out is empty).
inline RunResult runcpppc(std::vector<std::string> args, bool captureout = true) {
    args.insert(args.begin(), "cpppc");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    tl::resettoolcontext();
    RunResult r;
    if (captureout) testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    r.status = tl::runmain([&] { return cpppc::run(static_cast<int>(args.size()), argv.data()); });
    std::fflush(stdout);
    if (captureout) r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

// cpppc -e [options] on one source text; the preprocessed text comes back.
inline RunResult preprocess(const Scratch& s, const std::string& source, std::vector<std::string> options = {}) {
    s.write("t.c", source);
    options.insert(options.begin(), "-e");
    options.push_back("t.c");
    return runcpppc(options);
}

}  // namespace cpppctest

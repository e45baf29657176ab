// Runs cpppc in-process on files written into a scratch directory and
// captures its status, standard output and standard error.
#pragma once

#include <gtest/gtest.h>

#include "tests/scratch.h"

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
class Scratch : public qvtest::Scratch {
public:
    Scratch() : qvtest::Scratch("cpppc") {}
};

inline RunResult runcpppc(std::vector<std::string> args) {
    args.insert(args.begin(), "cpppc");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    tl::resettoolcontext();
    RunResult r;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    r.status = tl::runmain([&] { return cpppc::run(static_cast<int>(args.size()), argv.data()); });
    std::fflush(stdout);
    r.out = testing::internal::GetCapturedStdout();
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

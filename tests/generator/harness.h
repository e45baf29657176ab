// Runs cgppc in-process on intermediate files written from their text form
// into a scratch directory, and captures its status, output text and
// standard error. Case files (fixtures/*.irt) keep an input and its expected
// result together:
//
//   #args -bss -l            options for cgppc
//   #status 1                the exit status (0 when absent)
//   #err> text               a line of standard error (\t for TAB)
//   #unchecked               the output is not compared
//   #> text                  a line of the output between the .info block and
//                            the final "end" (\t for TAB)
//   anything else            the intermediate file in irasm's text form
#pragma once

#include <gtest/gtest.h>

#include "tests/scratch.h"
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "generator/gen.h"
#include "platform/interrupt.h"
#include "toollib/ir/ir.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace cgtest {

inline const char* kHeader = "header 0xCB 0x0C 0x00 0xFF 0x12 \"cpppc\" \"V4.10.10\" \"24 Aug 2012\"\n";

struct RunResult {
    int status = 0;
    std::string out;  // the -o file, or standard output
    std::string err;
};

// A fresh directory per test, made the working directory while it lives.
class Scratch : public qvtest::Scratch {
public:
    Scratch() : qvtest::Scratch("cgppc") {}
};

// Bytes of an intermediate file from its text form.
inline std::string irbytes(const std::string& text) { return ir::encodefile(ir::parsetext(text)); }

inline RunResult runcgppc(std::vector<std::string> args, bool capturestdout = false) {
    args.insert(args.begin(), "cgppc");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    tl::resettoolcontext();
    RunResult r;
    if (capturestdout) testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    r.status = tl::runmain([&] { return cg::run(static_cast<int>(args.size()), argv.data()); });
    if (capturestdout) r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

// cgppc -o t.s [options] t.ir on the file the text describes.
inline RunResult compile(const Scratch& s, const std::string& text, std::vector<std::string> options = {}) {
    s.write("t.ir", irbytes(text));
    std::remove("t.s");
    options.push_back("-o");
    options.push_back("t.s");
    options.push_back("t.ir");
    RunResult r = runcgppc(options);
    r.out = s.read("t.s");
    return r;
}

// The body of an output: the lines between the .info block and "\tend".
inline std::string body(const std::string& out) {
    size_t start = out.find("\t.info\n");
    start = out.find("\t.info\n", start + 1);
    if (start == std::string::npos) return out;
    start += 7;
    size_t end = out.rfind("\tend\n");
    if (end == std::string::npos || end < start) end = out.size();
    return out.substr(start, end - start);
}

// "\t" written as a backslash and t in expectations.
inline std::string tabs(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 't') {
            out += '\t';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

struct CaseFile {
    std::string name;
    std::string text;       // the intermediate file's text form
    std::vector<std::string> args;
    int status = 0;
    std::string out;        // expected body
    std::string err;        // expected standard error
    bool unchecked = false; // the output is not compared
};

inline void PrintTo(const CaseFile& c, std::ostream* os) { *os << c.name; }

inline std::vector<CaseFile> casefiles() {
    std::vector<CaseFile> cases;
    std::vector<std::filesystem::path> paths;
    for (const auto& e : std::filesystem::directory_iterator(FIXTURE_DIR))
        if (e.path().extension() == ".irt") paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    for (const auto& p : paths) {
        CaseFile c;
        c.name = p.stem().string();
        std::ifstream in(p);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("#args", 0) == 0) {
                std::istringstream words(line.substr(5));
                for (std::string w; words >> w;) c.args.push_back(w);
            } else if (line == "#unchecked") {
                c.unchecked = true;
            } else if (line.rfind("#status ", 0) == 0) {
                c.status = std::stoi(line.substr(8));
            } else if (line.rfind("#err> ", 0) == 0) {
                c.err += tabs(line.substr(6)) + "\n";
            } else if (line.rfind("#>", 0) == 0) {
                c.out += tabs(line.size() > 3 ? line.substr(3) : "") + "\n";
            } else {
                c.text += line + "\n";
            }
        }
        cases.push_back(std::move(c));
    }
    return cases;
}

}  // namespace cgtest

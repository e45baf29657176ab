// Runs cpppc in-process on files written into a scratch directory and
// captures its status, standard output and standard error.
#pragma once

#include <gtest/gtest.h>

#include "tests/scratch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "parser/parser.h"
#include "platform/interrupt.h"
#include "toollib/options.h"
#include "toollib/quit.h"
#include "toollib/ir/ir.h"
#include "tools/irdump/irdump.h"
#include "tools/parsedump/parsedump.h"

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

// Runs a program's run(argc, argv) in-process under the given name. With
// captureout false the standard output stays where it is (out is empty).
inline RunResult runprogram(const char* name, int (*run)(int, char**), std::vector<std::string> args,
                            bool captureout = true) {
    args.insert(args.begin(), name);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    tl::resettoolcontext();
    RunResult r;
    if (captureout) testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    r.status = tl::runmain([&] { return run(static_cast<int>(args.size()), argv.data()); });
    std::fflush(stdout);
    if (captureout) r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

// The -o file of a run that writes an intermediate file, or "".
inline std::string irfilename(const std::vector<std::string>& args) {
    std::string out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-e" || a == "-md" || a == "-an" || a == "-asp") return "";
        if (a == "-o" && i + 1 < args.size())
            out = args[++i];
        else if (a.rfind("-o", 0) == 0 && a.size() > 2)
            out = a.substr(2);
    }
    return out;
}

// cpppc in-process; an intermediate file it leaves must pass irdump's checks.
inline RunResult runcpppc(std::vector<std::string> args, bool captureout = true) {
    std::string irname = irfilename(args);
    RunResult r = runprogram("cpppc", cpppc::run, args, captureout);
    std::error_code ec;
    if (!irname.empty() && std::filesystem::is_regular_file(irname, ec)) {
        std::ifstream in(irname, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        try {
            ir::File f = ir::decodefile(bytes);
            for (const irdump::Problem& p : irdump::checkfile(f, bytes.size()))
                ADD_FAILURE() << irname << ": offset " << p.offset << ": " << p.message;
        } catch (const ir::DecodeError& e) {
            ADD_FAILURE() << irname << ": offset " << e.offset << ": " << e.message;
        }
    }
    return r;
}

// qvparsedump [options] t.c on one source text: the dump comes back on out.
inline RunResult parsedump(const Scratch& s, const std::string& source, std::vector<std::string> options = {}) {
    s.write("t.c", source);
    options.push_back("t.c");
    return runprogram("cpppc", parsedump::run, options);
}

// The lines of a dump section ("symbols", "tags", "writer", ...), without
// their indentation, up to the next section.
inline std::vector<std::string> section(const std::string& dump, const std::string& name) {
    std::vector<std::string> lines;
    bool inside = false;
    size_t pos = 0;
    while (pos < dump.size()) {
        size_t end = dump.find('\n', pos);
        if (end == std::string::npos) end = dump.size();
        std::string line = dump.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line[0] != ' ') {
            inside = line == name;
            continue;
        }
        if (inside) lines.push_back(line.substr(2));
    }
    return lines;
}

// The dump line of one symbol (or member, tag, space: the first line of the
// section that starts with the name and a blank) and the line after it.
inline std::string entry(const std::string& dump, const std::string& sectionname, const std::string& name, int after = 0) {
    std::vector<std::string> lines = section(dump, sectionname);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string l = lines[i];
        size_t first = l.find_first_not_of(' ');
        if (l.compare(first, name.size() + 1, name + " ") == 0 && i + after < lines.size()) {
            std::string r = lines[i + static_cast<size_t>(after)];
            return r.substr(r.find_first_not_of(' '));
        }
    }
    return "<" + name + " not found>";
}

// The dump of one function of the "functions" section, up to the next
// "function" line.
inline std::string functiontext(const std::string& dump, const std::string& name) {
    std::vector<std::string> lines = section(dump, "functions");
    std::string out;
    bool inside = false;
    for (const std::string& l : lines) {
        if (l.rfind("function ", 0) == 0) inside = l == "function " + name;
        if (inside) out += l + "\n";
    }
    return out;
}

// cpppc -e [options] on one source text; the preprocessed text comes back.
inline RunResult preprocess(const Scratch& s, const std::string& source, std::vector<std::string> options = {}) {
    s.write("t.c", source);
    options.insert(options.begin(), "-e");
    options.push_back("t.c");
    return runcpppc(options);
}

inline bool havegcc() { return std::system("gcc --version > /dev/null 2>&1") == 0; }

// Runs a shell command: its standard output, and its status in status.
inline std::string capture(const std::string& cmd, int& status) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    status = pclose(p);
    return out;
}

// Random edits of a text for the fuzz runs: each inserts a character of the
// alphabet, erases a few characters, overwrites a byte or inserts a word.
template <size_t N>
std::string mutate(std::mt19937& rng, std::string text, const std::string& alphabet, const std::string (&words)[N]) {
    int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) {
        size_t pos = text.empty() ? 0 : rng() % (text.size() + 1);
        switch (rng() % 4) {
        case 0: text.insert(pos, 1, alphabet[rng() % alphabet.size()]); break;
        case 1:
            if (pos < text.size()) text.erase(pos, 1 + rng() % 4);
            break;
        case 2:
            if (pos < text.size()) text[pos] = static_cast<char>(rng() % 256);
            break;
        default: text.insert(pos, words[rng() % N]); break;
        }
    }
    return text;
}

}  // namespace cpppctest

#include "harness.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "toollib/options.h"
#include "toollib/quit.h"

namespace opttest {

namespace fs = std::filesystem;

void ScratchTest::SetUp() {
    old_ = fs::current_path();
    std::string base = (fs::temp_directory_path() / "opttest.XXXXXX").string();
    std::vector<char> name(base.begin(), base.end());
    name.push_back('\0');
    ASSERT_NE(::mkdtemp(name.data()), nullptr);
    dir_ = name.data();
    fs::current_path(dir_);
}

void ScratchTest::TearDown() {
    fs::current_path(old_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void ScratchTest::write(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
}

std::string ScratchTest::read(const std::string& name) const {
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool ScratchTest::exists(const std::string& name) const { return fs::exists(name); }

Result runprogram(const std::function<int(int, char**)>& entry, std::vector<std::string> words) {
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    tl::resettoolcontext();
    Result r;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    r.status = tl::runmain([&] { return entry(static_cast<int>(words.size()), argv.data()); });
    std::fflush(stdout);
    r.err = ::testing::internal::GetCapturedStderr();
    r.out = ::testing::internal::GetCapturedStdout();
    return r;
}

Result ScratchTest::coppc(const std::vector<std::string>& args, opt::ChangeHook hook) {
    std::vector<std::string> words = {"coppc"};
    words.insert(words.end(), args.begin(), args.end());
    return runprogram([&](int argc, char** argv) { return opt::run(argc, argv, hook); }, words);
}

std::string unit(const std::string& body) { return "_f:\nFL:\n" + body + "FL:\n"; }

void loadunit(opt::Optimizer& o, const std::string& text, bool prepare) {
    opt::initinsntab();
    std::string copy = text;
    o.in = ::fmemopen(copy.data(), copy.size(), "rb");
    ASSERT_NE(o.in, nullptr);
    opt::readunit(o);
    std::fclose(o.in);
    o.in = nullptr;
    if (prepare) {
        opt::linklabels(o);
        opt::prepunit(o);
    }
}

opt::InsnNode* insn(opt::Optimizer& o, int nth) {
    for (opt::InsnNode* n = o.unit.head; n; n = n->next)
        if (n->isinsn() && nth-- == 0) return n;
    return nullptr;
}

opt::InsnNode* label(opt::Optimizer& o, const std::string& name) {
    for (opt::InsnNode* n = o.unit.head; n; n = n->next)
        if (n->islabel() && opt::labelname(n) == name) return n;
    return nullptr;
}

uint32_t regs(const std::string& names) {
    uint32_t m = 0;
    std::istringstream in(names);
    std::string w;
    while (in >> w) {
        size_t dash = w.find('-');
        int lo = std::stoi(w.substr(1, dash == std::string::npos ? std::string::npos : dash - 1));
        int hi = dash == std::string::npos ? lo : std::stoi(w.substr(dash + 2));
        for (int r = lo; r <= hi; ++r) m |= 1u << r;
    }
    return m;
}

}  // namespace opttest

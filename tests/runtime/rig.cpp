// The shared pieces of the run-time tests (see rig.h).
#include "rig.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>

#include "toollib/quit.h"
#include "tools/qvbuild/qvbuild.h"
#include "tools/vekrun/vekrun.h"

namespace fs = std::filesystem;

namespace rt {

platform::BoxAnswer CaptureHost::messagebox(const platform::BoxRequest& box) {
    boxes += box.caption + ": " + box.text + "\n";
    return platform::BoxAnswer::Ok;
}

void RuntimeTest::SetUp() {
    platform::setwindowhost(&host);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name() + "_" + std::to_string(getpid());
    for (char& c : name)
        if (c == '/') c = '_';
    dir = fs::path(::testing::TempDir()) / ("runtime_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
}

void RuntimeTest::TearDown() {
    platform::setwindowhost(nullptr);
    fs::remove_all(dir);
}

void RuntimeTest::write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
}

namespace {

int runinprocess(int (*program)(int, char**), const char* name, std::vector<std::string> args, std::string& errors) {
    args.insert(args.begin(), name);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::testing::internal::CaptureStderr();
    int status = tl::runmain([&] { return program(int(argv.size() - 1), argv.data()); });
    errors = ::testing::internal::GetCapturedStderr();
    return status;
}

}  // namespace

int RuntimeTest::qvbuild(std::vector<std::string> args) {
    return runinprocess(qvbuild::run, "qvbuild", std::move(args), errors);
}

int RuntimeTest::vekrun(std::vector<std::string> args) {
    return runinprocess(vekrun::run, "vekrun", std::move(args), errors);
}

std::string RuntimeTest::buildprogram(const std::string& source) {
    write("prog.s", source);
    if (qvbuild({"-o", path("prog.o"), path("prog.s")}) != 0) return "";
    return path("prog.o");
}

// ---- the machine

Machine::Machine(const std::string& object) : s_(vek::freshsession()) {
    loaded_ = !object.empty() && s_->load({object});
    // Every return lands on an undecodable halfword: that is no error here.
    s_->target.report.errmsg = [](int, std::string_view) {};
    if (loaded_) back_ = symbol("__stop");
    for (uint32_t k = 0; k < 16; ++k) s_->target.mem.putlong(kStack + 4 * k, 0xCAFE0000u + k);
}

uint32_t Machine::symbol(const std::string& name) const {
    auto v = s_->symbolport.findsym(name);
    return v ? *v : 0;
}

Regs Machine::sentinels(uint32_t cr, uint32_t xer) {
    Regs r;
    for (uint32_t n = 0; n < 32; ++n) r.r[n] = 0x5E000000u | n << 16 | (n * 0x11u);
    r.r[1] = kStack;
    r.cr = cr;
    r.xer = xer;
    r.ctr = 0x0BADF00Du;
    return r;
}

void Machine::setregs(const Regs& in) {
    vek::RegisterFile& regs = s_->target.regs;
    for (unsigned n = 0; n < 32; ++n) regs.setreg(vek::RegR0 + n, in.r[n]);
    regs.setreg(vek::RegCr, in.cr);
    regs.setreg(vek::RegXer, in.xer);
    regs.setreg(vek::RegCtr, in.ctr);
    regs.setreg(vek::RegLr, in.lr);
    regs.setpc(in.pc);
}

Regs Machine::getregs() {
    vek::RegisterFile& regs = s_->target.regs;
    Regs out;
    for (unsigned n = 0; n < 32; ++n) out.r[n] = regs.getreg(vek::RegR0 + n);
    out.cr = regs.getreg(vek::RegCr);
    out.xer = regs.getreg(vek::RegXer);
    out.ctr = regs.getreg(vek::RegCtr);
    out.lr = regs.getreg(vek::RegLr);
    out.pc = regs.getpc();
    return out;
}

Regs Machine::call(uint32_t entry, Regs& in, uint64_t limit) {
    in.lr = back_;
    in.pc = entry;
    setregs(in);
    s_->run(limit);
    return getregs();
}

bool Machine::framekept() {
    for (uint32_t k = 0; k < 16; ++k)
        if (s_->target.mem.getlong(kStack + 4 * k) != 0xCAFE0000u + k) return false;
    return true;
}

std::string changedregs(const Regs& before, const Regs& after, uint32_t written, bool cr0, bool ctr) {
    char text[96];
    for (unsigned n = 0; n < 32; ++n) {
        if ((written >> n) & 1) continue;
        if (after.r[n] != before.r[n]) {
            std::snprintf(text, sizeof text, "r%u %08" PRIx32 " became %08" PRIx32, n, before.r[n], after.r[n]);
            return text;
        }
    }
    uint32_t crmask = cr0 ? 0x0FFFFFFFu : 0xFFFFFFFFu;
    struct {
        const char* name;
        uint32_t was, is;
    } special[] = {{"cr", before.cr & crmask, after.cr & crmask},
                   {"xer", before.xer, after.xer},
                   {"ctr", ctr ? 0 : before.ctr, ctr ? 0 : after.ctr},
                   {"lr", before.lr, after.lr}};
    for (const auto& s : special) {
        if (s.was != s.is) {
            std::snprintf(text, sizeof text, "%s %08" PRIx32 " became %08" PRIx32, s.name, s.was, s.is);
            return text;
        }
    }
    return "";
}

}  // namespace rt

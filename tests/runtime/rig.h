// What the run-time tests share: a private directory, the debugger's
// output captured, qvbuild and vekrun run in-process, and a Machine that
// calls one run-time routine of a built program at a time with sentinels
// in every register, so that a test sees both the results and everything
// the routine changed that it should not have.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"
#include "vek/core/session/session.h"

namespace rt {

// What the debugger would have shown.
struct CaptureHost : platform::WindowHost {
    std::string out, boxes;
    platform::BoxAnswer messagebox(const platform::BoxRequest& box) override;
    void cmdappend(std::string_view text) override { out += text; }
};

class RuntimeTest : public ::testing::Test {
protected:
    CaptureHost host;
    std::filesystem::path dir;
    std::string errors;  // the error stream of the last qvbuild or vekrun

    void SetUp() override;
    void TearDown() override;

    std::string path(const std::string& name) const { return (dir / name).string(); }
    void write(const std::string& name, const std::string& text);
    // In-process runs; errors holds what went to the error stream
    // (children's messages included).
    int qvbuild(std::vector<std::string> args);
    int vekrun(std::vector<std::string> args);
    // qvbuild -o prog.o of one assembler source; "" when the build failed.
    std::string buildprogram(const std::string& source);
};

// Register state around one call.
struct Regs {
    uint32_t r[32] = {};
    uint32_t cr = 0, xer = 0, ctr = 0, lr = 0, pc = 0;
};

// A loaded program whose routines are called as compiled code would call
// them: "bl" (LR = __stop, a zero halfword, so the run ends on return) with
// r1 at a stack top whose caller frame above it must stay untouched.
class Machine {
public:
    static constexpr uint32_t kStack = 0x00800000;

    explicit Machine(const std::string& object);
    bool loaded() const { return loaded_; }
    uint32_t symbol(const std::string& name) const;
    vek::Session& session() { return *s_; }

    // Sentinels everywhere, then args from r3 on.
    static Regs sentinels(uint32_t cr, uint32_t xer);
    // Runs the routine at entry from the state in; the state after it.
    // in receives the return address and entry it started with.
    Regs call(uint32_t entry, Regs& in, uint64_t limit = 100000);
    void setregs(const Regs& in);
    Regs getregs();
    // The caller's frame above r1 holds a known pattern; true while it does.
    bool framekept();

private:
    std::unique_ptr<vek::Session> s_;
    bool loaded_ = false;
    uint32_t back_ = 0;
};

// The registers outside written (bit n: rn may change), CR outside cr0 when
// cr0 is the result, XER, CTR unless it may change, LR and r1: the first
// one that differs, or "".
std::string changedregs(const Regs& before, const Regs& after, uint32_t written, bool cr0, bool ctr);

}  // namespace rt

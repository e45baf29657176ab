// Helpers of the optimizer tests: coppc run in-process in a scratch
// directory, units read from a text, register masks written as names.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "optimizer/opt.h"

namespace opttest {

struct Result {
    int status = 0;
    std::string out, err;
};

// Runs a program's library entry on the words (the program name first) with
// a fresh tool context, capturing its output and its status.
Result runprogram(const std::function<int(int, char**)>& entry, std::vector<std::string> words);

// A fresh scratch directory as the current directory for one test.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void write(const std::string& name, const std::string& text);
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    // coppc with the arguments, in-process; hook sees every change.
    Result coppc(const std::vector<std::string>& args, opt::ChangeHook hook = nullptr);
    std::filesystem::path dir_, old_;
};

// A unit holding one function _f with the body.
std::string unit(const std::string& body);

// Reads the first unit of text into o (and links and prepares it when
// prepare is set).
void loadunit(opt::Optimizer& o, const std::string& text, bool prepare = true);
// The nth instruction of the unit (from 0), nullptr when there is none.
opt::InsnNode* insn(opt::Optimizer& o, int nth);
// The label node with the name, nullptr when there is none.
opt::InsnNode* label(opt::Optimizer& o, const std::string& name);
// "r3 r5-r7" as a register mask.
uint32_t regs(const std::string& names);

}  // namespace opttest

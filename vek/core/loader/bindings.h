// The loader's ports bound to the debugger itself: the simulated memory and
// register file of the target model, and the program symbol table.
#pragma once

#include "vek/core/loader/loader.h"
#include <cstdio>

#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"
#include "vek/core/target/memory.h"
#include "vek/core/target/registers.h"

namespace vek {

struct TargetBinding : TargetPort {
    Memory& memory;
    RegisterFile& registers;
    TargetBinding(Memory& m, RegisterFile& r) : memory(m), registers(r) {}

    // Loading copies straight into the pages: the access checks are off.
    void loadbytes(uint32_t address, const uint8_t* data, size_t size) override {
        bool check = memory.checkflag;
        memory.checkflag = false;
        memory.putmem(address, data, size);
        memory.checkflag = check;
    }
    void putbyte(uint32_t address, uint8_t value) override { memory.putbyte(address, value); }
    uint8_t getbyte(uint32_t address) override { return memory.getbyte(address); }
    uint32_t getpc() override { return registers.getpc(); }
    void setpc(uint32_t pc) override { registers.setpc(pc); }
    void resetregs() override { registers.resetregs(memory); }
};

struct ProgramSymbols : SymbolPort {
    void defsym(const std::string& name, uint32_t value, uint8_t flags, uint8_t section, uint8_t kind) override {
        ProgramSymbol* s = vek::defsym(name, value);
        s->flags = flags;
        s->section = section;
        s->kind = kind;
    }
    std::optional<uint32_t> findsym(const std::string& name) override {
        if (ProgramSymbol* s = rensym(name)) return s->value;
        return std::nullopt;
    }
    std::optional<std::string> symat(uint32_t value, const std::string& prefix) override {
        if (ProgramSymbol* s = vek::symat(value, prefix)) return s->name;
        return std::nullopt;
    }
    void dropprogramsyms() override { clrsyms(); }
};

// Texts to the output sink and the error box; the stop flag of the progress
// dialogs (or the run state's stop flag) ends a load where it stands.
struct SinkReport : LoadReport {
    const volatile int* stopflag = nullptr;
    void print(std::string_view text) override { puttext({text}); }
    void error(std::string_view text) override { puterror({text}); }
    void errstream(std::string_view text) override { tl_errstream(text); }
    bool stopped() override { return (stopflag && *stopflag) || (progress && progress->stopped()); }
    // The progress dialogs, when there is a screen.
    LoadReport* progress = nullptr;
    void progressopen(int dialog, std::string_view text, uint32_t total) override {
        if (progress) progress->progressopen(dialog, text, total);
    }
    void progressclose() override {
        if (progress) progress->progressclose();
    }
    void progresstitle(std::string_view title, uint32_t address, uint32_t size) override {
        if (progress) progress->progresstitle(title, address, size);
    }
    void progressstep(uint32_t amount) override {
        if (progress) progress->progressstep(amount);
    }
    void progressclear() override {
        if (progress) progress->progressclear();
    }
    void progresstexts(std::string_view file, std::string_view function) override {
        if (progress) progress->progresstexts(file, function);
    }
    static void tl_errstream(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }
};

}  // namespace vek

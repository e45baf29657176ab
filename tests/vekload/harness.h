// A fresh loader with captured output for each test, and temporary files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include "objwriter.h"
#include "vek/core/loader/loader.h"
#include "vek/core/loader/ports.h"

struct Harness {
    vek::Program prog;
    vek::PagedMemory mem;
    vek::SymbolList syms;
    vek::CaptureReport rep;
    vek::LoadEnv env{prog, mem, syms, rep};

    std::vector<uint8_t> memory(uint32_t address, size_t n) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < n; ++i) out.push_back(mem.getbyte(address + uint32_t(i)));
        return out;
    }
};

inline std::string temppath(const std::string& name) {
    return ::testing::TempDir() + "vekload_" + std::to_string(getpid()) + "_" + name;
}

inline std::string writetemp(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string p = temppath(name);
    fixture::writefile(p, bytes);
    return p;
}

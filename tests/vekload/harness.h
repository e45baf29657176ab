// A fresh loader with captured output for each test, and temporary files.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "objwriter.h"
#include "tests/scratch.h"
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

// A name in the test process's private directory, which goes when the
// process ends.
inline std::string temppath(const std::string& name) { return scratch::processdir().file(name); }

inline std::string writetemp(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string p = temppath(name);
    fixture::writefile(p, bytes);
    return p;
}

// A readable test name from a case's description: letters and digits kept,
// everything else '_', the index appended so that names stay unique.
inline std::string casename(const std::string& text, size_t index) {
    std::string n;
    for (char c : text) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n.substr(0, 40) + "_" + std::to_string(index);
}
#define VEKLOAD_NAMES(field) [](const auto& info) { return casename(info.param.field, info.index); }

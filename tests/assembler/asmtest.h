// Helpers of the assembler tests: run cappc in-process in a scratch
// directory, write sources, read objects back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace asmtest {

struct Result {
    int status = 0;
    std::string out, err;
};

// A fresh scratch directory as the current directory for one test.
class AsmTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void write(const std::string& name, const std::string& text);
    std::string read(const std::string& name) const;
    std::vector<uint8_t> readbytes(const std::string& name) const;
    bool exists(const std::string& name) const;
    Result run(const std::vector<std::string>& args);
    // Assembles text as t.s with -si (plus extra options) and returns the
    // data of the object's section named sect ("" when missing). The
    // default "d" is a section without padding that the text starts in.
    std::vector<uint8_t> sectiondata(const std::string& text, const std::string& sect = "d",
                                     const std::vector<std::string>& extra = {});
    std::filesystem::path dir_, old_;
};

std::string hex(const std::vector<uint8_t>& bytes);

// One section of an object image.
struct ObjSection {
    uint8_t attr = 0;
    std::string name;
    uint32_t dataoff = 0, datasize = 0, reloff = 0, relsize = 0, origin = 0;
};
std::vector<ObjSection> objsections(const std::vector<uint8_t>& obj);
// The data or the relocation bytes of the section named name.
std::vector<uint8_t> sectionbytes(const std::vector<uint8_t>& obj, const std::string& name, bool reloc = false);

}  // namespace asmtest

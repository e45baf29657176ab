// The listing and Verilog parameter file of the listing pass.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "assembler/asm.h"
#include "platform/output.h"

namespace as {

struct Listing {
    Listing() = default;
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;
    // the files, put in place when the pass ends well (a listing abandoned
    // on the way leaves nothing)
    platform::OutputFile lstout, verout;
    std::FILE* fp = nullptr;   // lstout's stream while it is open
    std::FILE* vfp = nullptr;  // verout's
    // line state
    uint32_t addr = 0;
    std::vector<uint8_t> bytes;
    bool haslabel = false;
    bool isvalue = false;
    uint32_t value = 0;
    bool skip = false;
    std::string switchto;  // a section declaration that continues a section lists as a switch
    // listing switches and pages
    bool off = false;
    bool headers = false;
    long plen = 66;
    long used = 0;
    int page = 0;
    bool full = true;
    std::vector<std::pair<long, std::string>> titles, subtitles;
    // pending .source lines
    std::vector<std::string> csource;
};

void lsterror(Assembler& a, const std::string& msg);
void lstfalse(Assembler& a);
void lstlabel(Assembler& a);
void lstsource(Assembler& a, const std::string& file, const std::string& range);
void listsyms(Assembler& a);

}  // namespace as

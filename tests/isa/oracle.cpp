// Runs the cross assembler and disassembler in a private temporary folder.
#include "oracle.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/scratch.h"

namespace oracle {

// Reads the instruction lines of a disassembly listing.
std::vector<Disassembled> parse(const std::string& text);

namespace {

namespace fs = std::filesystem;

int run(const std::string& cmd) { return std::system(cmd.c_str()); }

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

const char* kSection[] = {" .section .text,\"ax\"", " .section .text,\"axv\""};
const char* kAsFlags[] = {"-me500 -mspe -mregnames", "-mvle -mregnames"};

}  // namespace

bool available() {
    return run("command -v powerpc-linux-gnu-as >/dev/null 2>&1 && "
               "command -v powerpc-linux-gnu-objdump >/dev/null 2>&1 && "
               "command -v powerpc-linux-gnu-objcopy >/dev/null 2>&1") == 0;
}

Assembled assemble(const std::vector<std::string>& lines, bool vle) {
    scratch::Dir dir("isa_oracle");
    Assembled out;
    {
        std::ofstream s(dir.path() / "in.s");
        s << kSection[vle] << "\n";
        for (const auto& l : lines) s << " " << l << "\n";
    }
    std::string base = dir.path().string();
    run("powerpc-linux-gnu-as " + std::string(kAsFlags[vle]) + " " + base + "/in.s -o " + base +
        "/in.o 2>" + base + "/err.txt");
    std::istringstream err(slurp(dir.path() / "err.txt"));
    for (std::string l; std::getline(err, l);) {
        auto p = l.find(".s:");
        if (p == std::string::npos || l.find("Error") == std::string::npos) continue;
        int n = std::atoi(l.c_str() + p + 3);
        if (n > 1) out.errors[n - 1] += l.substr(l.find(':', p + 3) + 1);
    }
    if (!out.errors.empty()) return out;
    run("powerpc-linux-gnu-objcopy -O binary -j .text " + base + "/in.o " + base + "/out.bin");
    std::string b = slurp(dir.path() / "out.bin");
    out.bytes.assign(b.begin(), b.end());
    return out;
}

std::vector<Disassembled> disassemble(const std::vector<uint8_t>& bytes, bool vle) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char b[8];
        std::snprintf(b, sizeof b, "0x%02x", bytes[i]);
        line += line.empty() ? ".byte " : ",";
        line += b;
        if (line.size() > 400) lines.push_back(line), line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    scratch::Dir dir("isa_oracle");
    {
        std::ofstream s(dir.path() / "in.s");
        s << kSection[vle] << "\n";
        for (const auto& l : lines) s << " " << l << "\n";
    }
    std::string base = dir.path().string();
    run("powerpc-linux-gnu-as " + std::string(kAsFlags[vle]) + " " + base + "/in.s -o " + base + "/in.o");
    // Classic code: no one machine option knows both SPE and every Book E
    // system instruction, so a line the first reading leaves as .long is
    // taken from the second.
    std::vector<std::string> modes = vle ? std::vector<std::string>{"vle"}
                                         : std::vector<std::string>{"e500x2", "e500mc"};
    std::map<uint32_t, Disassembled> merged;
    for (const auto& mode : modes) {
        run("powerpc-linux-gnu-objdump -d -M " + mode + " " + base + "/in.o > " + base + "/out.txt");
        for (auto& d : parse(slurp(dir.path() / "out.txt"))) {
            auto it = merged.find(d.offset);
            if (it == merged.end() || it->second.mnemonic == ".long") merged[d.offset] = d;
        }
    }
    std::vector<Disassembled> out;
    for (auto& [offset, d] : merged) out.push_back(d);
    return out;
}

namespace {
const std::pair<const char*, const char*> kRenamed[] = {
    {"evmwhusiaaw", "evmwhusiaa"}, {"evmwhssmaaw", "evmwhssmaa"}, {"evmwhssfaaw", "evmwhssfaa"},
    {"evmwhsmiaaw", "evmwhsmiaa"}, {"evmwhsmfaaw", "evmwhsmfaa"}, {"evmwhusianw", "evmwhusian"},
    {"evmwhssianw", "evmwhssian"}, {"evmwhssfanw", "evmwhssfan"}, {"evmwhsmianw", "evmwhsmian"},
    {"evmwhsmfanw", "evmwhsmfan"},
};
}  // namespace

std::string theirname(const std::string& ours) {
    for (auto [o, t] : kRenamed)
        if (ours == o) return t;
    return ours;
}

std::string ourname(const std::string& theirs) {
    for (auto [o, t] : kRenamed)
        if (theirs == t) return o;
    return theirs;
}

std::vector<Disassembled> parse(const std::string& text) {
    std::vector<Disassembled> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        // "   4:\t7c 64 2a 14 \tadd     r3,r4,r5"
        auto colon = l.find(":\t");
        if (colon == std::string::npos || l.find_first_not_of(" 0123456789abcdef") != colon) continue;
        Disassembled d;
        d.offset = static_cast<uint32_t>(std::stoul(l.substr(0, colon), nullptr, 16));
        auto tab = l.find('\t', colon + 2);
        d.bytes = l.substr(colon + 2, tab == std::string::npos ? std::string::npos : tab - colon - 2);
        if (tab != std::string::npos) {
            std::string rest = l.substr(tab + 1);
            auto sp = rest.find_first_of(" \t");
            d.mnemonic = rest.substr(0, sp);
            if (sp != std::string::npos) {
                auto st = rest.find_first_not_of(" \t", sp);
                if (st != std::string::npos) d.operands = rest.substr(st);
            }
        }
        out.push_back(d);
    }
    return out;
}

// The disassembly as text the cross assembler takes back.
std::vector<std::string> reassemblable(const std::vector<oracle::Disassembled>& dis) {
    std::vector<std::string> lines;
    for (const oracle::Disassembled& d : dis) {
        std::string ops = d.operands;
        // a branch target: "8 <sym>" or "0x3bdc"
        bool branch = d.mnemonic.rfind("e_b", 0) == 0 || d.mnemonic.rfind("se_b", 0) == 0;
        size_t lt = ops.find(" <");
        if (lt != std::string::npos) ops = ops.substr(0, lt);
        size_t comma = ops.rfind(',');
        size_t start = comma == std::string::npos ? 0 : comma + 1;
        std::string target = ops.substr(start);
        if (target.rfind("0x", 0) == 0) target = target.substr(2);
        if (branch && (lt != std::string::npos || ops.compare(start, 2, "0x") == 0))
            ops = ops.substr(0, start) + "o" + target;
        char label[24];
        std::snprintf(label, sizeof label, "o%x: ", d.offset);
        lines.push_back(label + d.mnemonic + " " + ops);
    }
    return lines;
}

std::string crosscheck(const std::vector<uint8_t>& ours) {
    std::vector<Disassembled> dis = disassemble(ours, true);
    if (dis.empty()) return "nothing disassembled";
    for (const Disassembled& d : dis)
        if (d.mnemonic == ".long") return "undecodable at " + std::to_string(d.offset);
    Assembled theirs = assemble(reassemblable(dis), true);
    if (!theirs.errors.empty()) return "the cross assembler: " + theirs.errors.begin()->second;
    if (theirs.bytes.size() != ours.size())
        return "sizes differ: " + std::to_string(theirs.bytes.size()) + " for " + std::to_string(ours.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        if (theirs.bytes[i] == ours[i]) continue;
        std::string near = "bytes differ at " + std::to_string(i) + " near:\n";
        for (const Disassembled& d : dis) {
            if (d.offset + 8 < i || d.offset > i + 8) continue;
            char theirbytes[16];
            std::snprintf(theirbytes, sizeof theirbytes, " / %02x%02x", theirs.bytes[d.offset],
                          d.offset + 1 < theirs.bytes.size() ? theirs.bytes[d.offset + 1] : 0);
            near += std::to_string(d.offset) + ": " + d.bytes + theirbytes + " " + d.mnemonic + " " + d.operands + "\n";
        }
        return near;
    }
    return "";
}

}  // namespace oracle

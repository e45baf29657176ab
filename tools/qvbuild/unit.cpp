// The text of the unit: each source rewritten so that it can share one
// assembly with the others, and the layout header that declares and places
// every section. Both work line by line on the assembler's own syntax
// (labels, directives, quoted strings, ";" comments), so a source keeps its
// line numbers and the assembler's diagnostics still point into it.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "tools/qvbuild/qvbuild.h"

namespace qvbuild {

namespace {

bool namestart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool namechar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Where labels inside the quoted strings of a line are renamed: the debug
// directives carry label texts (a function's label in .dcall, an object's
// address in .dtable); the strings of .dline, .dstart, .dentry and .dquit
// begin with the source file's name and name the function after "~"; data
// strings and file names are never touched.
enum class StringRule { Never, Everywhere, AfterTilde };

StringRule stringrule(const std::string& directive) {
    if (directive == ".dcall" || directive == ".dtable" || directive == ".dstring") return StringRule::Everywhere;
    if (directive == ".dline" || directive == ".dstart" || directive == ".dentry" || directive == ".dquit")
        return StringRule::AfterTilde;
    return StringRule::Never;
}

// The parts of a line that the rewriting looks at.
struct LineParts {
    std::string label;      // before ":" ("" when none)
    std::string directive;  // the opcode word, lower case
    size_t operands = 0;    // where the operand text starts
};

LineParts splitline(std::string_view line) {
    LineParts p;
    size_t i = 0;
    auto word = [&] {
        size_t start = i;
        while (i < line.size() && (namechar(line[i]) || line[i] == '.' || line[i] == '#')) ++i;
        return std::string(line.substr(start, i - start));
    };
    auto blanks = [&] {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    };
    if (!line.empty() && line[0] != ' ' && line[0] != '\t') {
        std::string first = word();
        size_t after = i;
        blanks();
        if (i < line.size() && line[i] == ':') {
            p.label = first;
            ++i;
        } else {
            i = after;
            p.directive = lower(first);
            blanks();
            p.operands = i;
            return p;
        }
    }
    blanks();
    p.directive = lower(word());
    blanks();
    p.operands = i;
    return p;
}

// The operand text up to a comment, trimmed.
std::string_view operandtext(std::string_view line, size_t from) {
    std::string_view rest = line.substr(std::min(from, line.size()));
    char quote = 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        char c = rest[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            rest = rest.substr(0, i);
            break;
        }
    }
    return trim(rest);
}

bool declaresnew(std::string_view attributes) {
    while (!attributes.empty()) {
        size_t comma = attributes.find(',');
        std::string_view item = trim(attributes.substr(0, comma));
        if (!item.empty() && item[0] == '+') item.remove_prefix(1);
        if (lower(item) == "new") return true;
        if (comma == std::string_view::npos) break;
        attributes.remove_prefix(comma + 1);
    }
    return false;
}

// The line with its file-local labels suffixed.
std::string renamelabels(std::string_view line, const std::string& suffix, StringRule rule) {
    std::string out;
    out.reserve(line.size() + 16);
    char quote = 0;
    bool tilde = false;
    for (size_t i = 0; i < line.size();) {
        char c = line[i];
        bool instring = quote != 0;
        if (instring && c == quote) {
            quote = 0;
            out += c;
            ++i;
            continue;
        }
        if (!instring && c == ';') {
            out.append(line.substr(i));
            break;
        }
        if (!instring && (c == '"' || c == '\'')) {
            quote = c;
            tilde = false;
            out += c;
            ++i;
            continue;
        }
        if (instring && c == '~') tilde = true;
        bool rename = !instring || rule == StringRule::Everywhere || (rule == StringRule::AfterTilde && tilde);
        if (namestart(c) && (i == 0 || !namechar(line[i - 1]))) {
            size_t start = i;
            while (i < line.size() && namechar(line[i])) ++i;
            std::string_view name = line.substr(start, i - start);
            out.append(name);
            if (rename && islocallabel(name)) out += suffix;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

constexpr struct {
    const char* word;
    uint8_t bits;
} kAttributeWords[] = {
    {"bss", 0x01}, {"hilo", 0x02}, {"even", 0x04}, {"zpage", 0x08},
    {"abs", 0x10}, {"bit", 0x20},  {"long", 0x40}, {"code", 0x80},
};

// The attribute bits of the assembler's own sections, which an attribute
// list may name to copy them.
constexpr struct {
    const char* name;
    uint8_t bits;
} kOwnSections[] = {{".text", 0xC6}, {".data", 0x46}, {".bss", 0x47}};

}  // namespace

bool islocallabel(std::string_view name) {
    if (name.size() < 2 || name[0] != 'L') return false;
    if (name[1] == 'C') {
        return name.size() > 2 &&
               std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; });
    }
    size_t i = 1;
    while (i < name.size() && name[i] >= '0' && name[i] <= '7') ++i;
    if (i == 1) return false;
    if (i == name.size()) return true;
    if (name[i] != '_') return false;
    return std::all_of(name.begin() + static_cast<long>(i) + 1, name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

Rewritten rewrite(std::string_view text, int fileno) {
    Rewritten r;
    const std::string suffix = "$" + std::to_string(fileno);
    size_t lineno = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++lineno;
        LineParts parts = splitline(line);
        if (parts.directive == "section" && !parts.label.empty()) {
            std::string attributes(operandtext(line, parts.operands));
            if (declaresnew(attributes))
                r.problems.push_back("line " + std::to_string(lineno) + ": section " + parts.label +
                                     " is declared new (-sf): its code cannot be placed");
            r.sections.push_back({parts.label, attributes});
            r.text += "\tswitch\t" + parts.label + "\n";
            continue;
        }
        r.text += renamelabels(line, suffix, stringrule(parts.directive));
        r.text += '\n';
    }
    return r;
}

Region regionof(std::string_view attributes) {
    uint8_t bits = 0x06;
    bool first = true, any = false;
    while (true) {
        size_t comma = attributes.find(',');
        std::string_view item = trim(attributes.substr(0, comma));
        if (!item.empty()) {
            any = true;
            bool clear = item[0] == '-';
            if (item[0] == '+' || item[0] == '-') item.remove_prefix(1);
            std::string word = lower(item);
            for (const auto& s : kOwnSections) {
                if (word == s.name) {
                    if (first && !clear) bits = 0;
                    bits = clear ? bits & ~s.bits : bits | s.bits;
                }
            }
            for (const auto& a : kAttributeWords)
                if (word == a.word) bits = clear ? bits & ~a.bits : bits | a.bits;
            first = false;
        }
        if (comma == std::string_view::npos) break;
        attributes.remove_prefix(comma + 1);
    }
    if (!any) bits = 0xC6;
    bool bss = bits & 0x01, code = bits & 0x80;
    if (!(bits & 0x40)) return bss ? Region::SmallBss : code ? Region::SmallConst : Region::SmallData;
    return bss ? Region::Bss : code ? Region::Code : Region::Data;
}

uint32_t windowend(Region region) {
    switch (region) {
    case Region::SmallData:
    case Region::SmallBss: return 0x8000;
    case Region::SmallConst: return 0x80000;
    default: return kStackTop - kStackSize;
    }
}

void placesections(std::vector<Placed>& sections) {
    // The assembler's and the generator's sections lead their region, the
    // others follow in the order the sources declared them.
    static const char* const known[] = {".text", ".vtext", ".const", ".sdata", ".sbss", ".sconst", ".data", ".bss"};
    auto rank = [](const Placed& p) {
        for (size_t k = 0; k < std::size(known); ++k)
            if (p.name == known[k]) return static_cast<int>(k);
        return static_cast<int>(std::size(known));
    };
    std::stable_sort(sections.begin(), sections.end(), [&](const Placed& a, const Placed& b) {
        if (a.region != b.region) return a.region < b.region;
        return rank(a) < rank(b);
    });
    uint64_t address = kFirstAddress;
    for (Placed& p : sections) {
        address = (address + 7) & ~uint64_t(7);
        p.origin = static_cast<uint32_t>(std::min<uint64_t>(address, 0xFFFFFFF8u));
        address += p.size;
    }
}

std::string layoutheader(const std::vector<Placed>& sections) {
    // The zeroed data ranges that the start-up clears, word by word.
    auto range = [&](Region region) {
        uint32_t from = 0, to = 0;
        for (const Placed& p : sections) {
            if (p.region != region) continue;
            if (from == to) from = p.origin;
            to = p.origin + ((p.size + 3) & ~3u);
        }
        return std::pair{from, to};
    };
    char line[96];
    std::string text = "; the layout of the program's sections\n";
    auto equ = [&](const char* name, uint32_t value) {
        std::snprintf(line, sizeof line, "%s:\tequ\t$%08X\n", name, static_cast<unsigned>(value));
        text += line;
    };
    equ("__stack", kStackTop);
    auto [sbss, esbss] = range(Region::SmallBss);
    auto [bss, ebss] = range(Region::Bss);
    equ("__sbss", sbss);
    equ("__esbss", esbss);
    equ("__bss", bss);
    equ("__ebss", ebss);
    for (const Placed& p : sections) {
        if (p.attributes.empty())
            text += "\tswitch\t" + p.name + "\n";
        else
            text += p.name + ":\tsection\t" + p.attributes + "\n";
        std::snprintf(line, sizeof line, "\torg\t$%08X\n", static_cast<unsigned>(p.origin));
        text += line;
    }
    text += "\tswitch\t.text\n";
    return text;
}

}  // namespace qvbuild

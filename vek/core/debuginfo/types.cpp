// TypeWord: the base type in the low byte, derivation steps of two bits each
// from the top down (01 pointer, 10 function, 11 array, 00 ends them). One
// row per base type holds its name and size.
#include "vek/core/debuginfo/debuginfo.h"

#include <cstring>

namespace vek {

namespace {

struct BaseType {
    uint8_t code;
    const char* name;
    uint32_t size;   // 0 where the size comes from elsewhere or is unknown
};

// code  name                   size
constexpr BaseType basetypes[] = {
    {1, "_Bool", 1},
    {8, "signed char", 1},
    {9, "char", 1},
    {10, "unsigned char", 1},
    {11, "char bit-field", 1},
    {16, "short", 2},
    {17, "unsigned short", 2},
    {18, "short bit-field", 2},
    {24, "int", 4},
    {25, "bit-field", 4},
    {26, "unsigned int", 4},
    {32, "long", 4},
    {33, "unsigned long", 4},
    {34, "long bit-field", 4},
    {40, "float", 4},
    {41, "double", 8},
    {42, "long double", 8},
    {44, "short _Fract", 2},
    {45, "long _Fract", 4},
    {48, "long long", 8},
    {49, "unsigned long long", 8},
    {64, "pointer to", 4},
    {65, "array", 0},
    {72, "struct", 0},
    {73, "union", 0},
    {74, "enum", 4},
    {75, "(char) enum ", 1},
    {76, "(short) enum ", 2},
    {77, "(int) enum", 4},
    {78, "(long) enum", 4},
    {80, "void", 0},
    {88, "label ", 0},
};

const BaseType* findbase(uint8_t code) {
    for (const auto& b : basetypes)
        if (b.code == code) return &b;
    return nullptr;
}

constexpr uint32_t Array = 3;

uint32_t topstep(uint32_t type) { return type >> 30; }
uint32_t dropstep(uint32_t type) { return ((type & 0xFFFFFF00u) << 2) | (type & 0xFFu); }

uint32_t sizeat(uint32_t type, const TypeDesc& desc, size_t cursor) {
    uint32_t step = topstep(type);
    if (step == Array) {
        uint32_t dim = cursor < desc.steps.size() ? desc.steps[cursor] : 0;
        return dim * sizeat(dropstep(type), desc, cursor + 1);
    }
    if (step != 0) return 4;
    uint8_t base = uint8_t(type);
    if ((base == 72 || base == 73 || base == 65) && desc.agg) return desc.agg->size;
    return basetypesize(base);
}

}  // namespace

const char* basetypename(uint8_t code) {
    const BaseType* b = findbase(code);
    return b ? b->name : nullptr;
}

uint32_t basetypesize(uint8_t code) {
    const BaseType* b = findbase(code);
    return b ? b->size : 0;
}

int typedepth(uint32_t type) {
    int n = 0;
    while (n < 12 && topstep(type) != 0) {
        type = dropstep(type);
        ++n;
    }
    return n;
}

uint32_t typesizeat(uint32_t type, const TypeDesc& desc, size_t cursor) { return sizeat(type, desc, cursor); }

uint32_t typesize(const VarRecord& var) {
    // The cursor skips the words that come before the step words.
    return sizeat(var.type, var.desc, 0);
}

bool isunsigned(const VarRecord& var) {
    uint8_t b = uint8_t(var.type);
    return b == 10 || b == 17 || b == 26 || b == 33;
}

bool isbitfieldtype(uint8_t code) { return code == 11 || code == 18 || code == 25 || code == 34; }
bool isaggregatetype(uint8_t code) { return code >= 72 && code <= 78; }

namespace {

// The declarator and type around a name, built from the middle outward.
std::string declare(const VarRecord& var, bool withwidth, bool vardeclform) {
    if (var.sclass == sc::ProcReg) return "machine register " + var.name;
    if (var.sclass == 25) return var.value == 1 ? "timing register $time" : "????? ";
    std::string text = var.name;
    uint8_t base = uint8_t(var.type);
    if (withwidth && isbitfieldtype(base)) text += ":" + std::to_string(var.desc.bitword);
    uint32_t t = var.type;
    size_t cursor = 0;
    bool pointer = false;   // the last step was a pointer: an array binds tighter
    for (int i = 0, n = typedepth(var.type); i < n; ++i, t = dropstep(t)) {
        switch (topstep(t)) {
        case 1:
            text = "*" + text;
            pointer = true;
            break;
        case 2:
            text = "(" + text + ")()";
            pointer = false;
            break;
        default: {
            uint32_t dim = cursor < var.desc.steps.size() ? var.desc.steps[cursor] : 0;
            if (pointer) text = "(" + text + ")";
            text += "[" + std::to_string(dim) + "]";
            pointer = false;
        }
        }
        ++cursor;
    }
    text = " " + text;
    if ((base == 72 || base == 73 || isaggregatetype(base)) && var.desc.agg && !var.desc.agg->tag.empty())
        text = (vardeclform ? "" : " ") + var.desc.agg->tag + text;
    const char* name = basetypename(base);
    text = std::string(name ? name : "") + (vardeclform && text[0] != ' ' ? " " : "") + text;
    return text;
}

}  // namespace

std::string decltext(const VarRecord& var) {
    std::string t = declare(var, true, false);
    if (var.sclass == sc::ProcReg || var.sclass == 25 || var.sclass == sc::FixExt) return t;
    return sc::prefix(var.sclass) + t;
}

std::string vardecl(const VarRecord& var) {
    std::string t = declare(var, false, true);
    if (var.sclass == sc::ProcReg || var.sclass == 25) return t;
    return sc::prefix(var.sclass) + t;
}

namespace {

std::string treeat(const VarRecord& var, size_t indent, int depth) {
    if (var.sclass == sc::ProcReg || var.sclass == 25) return decltext(var);
    const uint8_t base = uint8_t(var.type);
    const char* name = basetypename(base);
    std::string head = std::string(sc::prefix(var.sclass == sc::FixExt ? 0 : var.sclass)) + (name ? name : "");
    const AggregateDescriptor* agg = var.desc.agg;
    if ((base == 72 || base == 73 || base == 74) && agg && !agg->tag.empty()) head += " " + agg->tag;
    // The declarator alone: the declaration without its tag and type name.
    VarRecord shape = var;
    shape.desc.agg = nullptr;
    std::string declarator = declare(shape, true, false).substr(std::strlen(name ? name : ""));
    bool pointer = false;
    for (uint32_t t = var.type; (t >> 8) != 0; t = dropstep(t))
        if (topstep(t) == 1) pointer = true;
    if ((base == 72 || base == 73) && agg && !agg->members.empty() && !pointer && depth < 8) {
        head += " {";
        const size_t inner = indent + head.size();
        bool first = true;
        for (const VarRecord& m : agg->members) {
            if (m.name.empty()) break;
            if (!first) head += std::string(inner, ' ');
            head += treeat(m, inner, depth + 1) + ";\n";
            first = false;
        }
        head += std::string(indent, ' ') + "}";
    }
    return head + declarator;
}

}  // namespace

std::string decltree(const VarRecord& var, int indent) {
    return treeat(var, indent < 0 ? 0 : size_t(indent), 0);
}

std::string typetext(uint32_t type, const TypeDesc& desc) {
    VarRecord v;
    v.type = type;
    v.desc = desc;
    return declare(v, false, false);
}

namespace sc {
bool isargument(uint8_t c) { return c == 2 || c == 5 || c == 7 || c == 14 || c == 15 || (c >= 20 && c <= 23); }

const char* prefix(uint8_t c) {
    static const char* const prefixes[] = {
        "",          "static ",   "argument ", "auto ",        "register ",     "register ",
        "extern ",   "argument ", "absolute ", "",             "",              "",
        "enum member ", "",       "static argument ", "static argument ", "static auto ",
        "typedef ",  "local ",    "global ",   "argument ",    "argument ",     "argument ",
        "argument ", "argument ", " ",         " ",            " ",             "",
        ""};
    return c < sizeof prefixes / sizeof prefixes[0] ? prefixes[c] : "";
}
}  // namespace sc

}  // namespace vek

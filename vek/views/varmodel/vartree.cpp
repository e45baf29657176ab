// Variable texts and trees (see vartree.h).
#include "vek/views/varmodel/vartree.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/exec/hooks.h"
#include "vek/core/support/format.h"

namespace vek {

namespace {

bool ischarcode(uint8_t c) { return c == tc::SChar || c == tc::Char || c == tc::UChar; }

// Leading pointer steps of a type word.
int leadingptrs(uint32_t type) {
    int n = 0;
    while (step::top(type) == step::Ptr) {
        ++n;
        type = step::drop(type);
    }
    return n;
}

uint32_t arraycount(const VarRecord& var) { return var.desc.steps.empty() ? 0 : var.desc.steps[0]; }

// The record of one element of an array record.
VarRecord elementrecord(const VarRecord& var, uint32_t index) {
    VarRecord e = var;
    e.type = step::drop(var.type);
    if (!e.desc.steps.empty()) e.desc.steps.erase(e.desc.steps.begin());
    e.name = var.name + "[" + std::to_string(index) + "]";
    return e;
}

uint32_t elementsize(const VarRecord& var) {
    VarRecord e = elementrecord(var, 0);
    return typesize(e);
}

std::string fmtone(const std::string& format, FmtArg arg) {
    char buf[160];
    const FmtArg list[] = {arg, FmtArg()};
    int32_t n = fmtbufv(buf, sizeof buf, format.c_str(), FmtArgs(list, 1));
    return std::string(buf, size_t(n));
}

// 64-bit values by the conversion of the format: h hex, o octal, z binary,
// u unsigned, otherwise decimal (signed for long long).
std::string lltext(const std::string& format, uint64_t v, bool issigned) {
    size_t pct = format.find('%');
    std::string out = format.substr(0, pct);
    if (pct == std::string::npos) return out;
    std::string spec = format.substr(pct + 1);
    char letter = 'd';
    for (char c : spec)
        if (c == 'h' || c == 'o' || c == 'z' || c == 'u') { letter = c; break; }
    char buf[80];
    if (letter == 'h') std::snprintf(buf, sizeof buf, "%llx", (unsigned long long)v);
    else if (letter == 'o') std::snprintf(buf, sizeof buf, "%llo", (unsigned long long)v);
    else if (letter == 'u') std::snprintf(buf, sizeof buf, "%llu", (unsigned long long)v);
    else if (letter == 'z') {
        int top = 63;
        while (top > 0 && !((v >> top) & 1)) --top;
        int k = 0;
        for (int b = top; b >= 0; --b) buf[k++] = char('0' + ((v >> b) & 1));
        buf[k] = 0;
    } else if (issigned) std::snprintf(buf, sizeof buf, "%lld", (long long)v);
    else std::snprintf(buf, sizeof buf, "%llu", (unsigned long long)v);
    return out + buf;
}

}  // namespace

std::string floattext(double value, bool aggregate) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buf[64];
    int32_t n = fmtbuf(buf, int32_t(sizeof buf) - 1, "%.10d", value);
    buf[n] = 0;
    std::string t(buf);
    size_t e = t.find_first_of("eE");
    if (e == std::string::npos) return t;
    std::string mant = t.substr(0, e);
    int exp = std::atoi(t.c_str() + e + 1);
    bool neg = !mant.empty() && mant[0] == '-';
    std::string sign = neg ? "-" : "";
    if (neg) mant.erase(0, 1);
    // drop the tenth fraction digit, then trailing zeros (one stays)
    size_t point = mant.find('.');
    if (point == std::string::npos) {
        mant += ".0";
        point = mant.size() - 2;
    }
    if (mant.size() > point + 10) mant.resize(point + 10);
    while (mant.size() > point + 2 && mant.back() == '0') mant.pop_back();
    std::string digits = mant.substr(0, point) + mant.substr(point + 1);
    if (exp >= -4 && exp <= -1) {
        if (digits.size() > 1 && digits.back() == '0') digits.pop_back();
        return sign + "0." + std::string(size_t(-exp - 1), '0') + digits;
    }
    if (exp >= 0 && exp <= 6) {
        size_t whole = size_t(exp) + point;
        if (digits.size() < whole) digits.append(whole - digits.size(), '0');
        std::string frac = digits.substr(whole);
        if (frac.empty()) frac = "0";
        return sign + digits.substr(0, whole) + "." + frac;
    }
    std::string ex = std::to_string(exp < 0 ? -exp : exp);
    size_t mindigits = aggregate ? 1 : 2;
    if (ex.size() < mindigits) ex.insert(0, mindigits - ex.size(), '0');
    return sign + mant + "e" + (exp < 0 ? "-" : "+") + ex;
}

uint32_t bitfieldbits(uint32_t unit, uint32_t word, int unitbits) {
    uint32_t width = word & 0xFF, offset = (word >> 8) & 0x1F;
    if (unitbits < 32) unit &= (1u << unitbits) - 1;
    uint32_t v = offset >= 32 ? 0 : unit >> offset;
    return width >= 32 ? v : v & ((1u << width) - 1);
}

bool ispformat(const std::string& f) {
    size_t i = f.find('%');
    if (i == std::string::npos) return false;
    ++i;
    if (i < f.size() && (f[i] == '-' || f[i] == '+')) i += 2;
    while (i < f.size() && (std::isdigit(uint8_t(f[i])) || f[i] == '.')) ++i;
    return i < f.size() && f[i] == 'p';
}

bool hasarraytop(const VarRecord& var) { return step::top(var.type) == step::Arr; }

bool isstringtype(const VarRecord& var) {
    uint32_t t = var.type;
    int steps = 0;
    while (step::top(t) == step::Ptr || step::top(t) == step::Arr) {
        ++steps;
        t = step::drop(t);
    }
    return steps > 0 && step::top(t) == step::None && uint8_t(t) <= tc::UChar;
}

uint8_t displaycode(const VarRecord& var) {
    if (leadingptrs(var.type) > 0) return tc::Pointer;
    if (step::top(var.type) == step::Arr) {
        uint32_t rest = step::drop(var.type);
        if (step::top(rest) == step::None && ischarcode(uint8_t(rest))) return tc::Array;
        return 0;
    }
    if (step::top(var.type) == step::Func) return 0;
    uint8_t c = uint8_t(var.type);
    return c == tc::Struct || c == tc::Union ? 0 : c;
}

std::string placetext(const VarRecord& var, uint32_t address, bool f, bool aggregate) {
    uint8_t cls = var.sclass;
    if (aggregate) f = true;
    if (cls == sc::RegArg && f) return regvarname(sc::Reg, var.value2, var.value2, var.type);
    if (cls == sc::Reg || cls == sc::RMArg || cls == sc::FirstReg || cls == sc::IntrArg ||
        ((cls == sc::StatFArg || cls == sc::FirstArg) && !f))
        return regvarname(cls, var.value, var.value2, var.type);
    if (cls == sc::RFArg) return regvarname(f ? sc::RFArg : sc::FirstArg, var.value, var.value2, var.type);
    if (uint8_t(var.type) == tc::Bool && var.type == tc::Bool)
        return hexdottext(address, int32_t(var.desc.bitword ? var.desc.bitword & 0x1F : var.value2 & 7));
    return hextext(address);
}

std::string varvaluetext(const VarRecord& var, uint32_t address, const std::string& format,
                         bool f, const VarSource& src, uint64_t* last, bool aggregate) {
    uint8_t code = displaycode(var);
    uint8_t cls = var.sclass;
    if ((cls == sc::FirstArg || cls == sc::StatFArg) && f) cls = sc::Fix;
    else if (cls == sc::RegArg && !f) cls = sc::Arg;
    bool inreg = cls == sc::Reg || cls == sc::RegArg || cls == sc::RMArg || cls == sc::FirstArg ||
                 cls == sc::StatFArg || cls == sc::RFArg || cls == sc::FirstReg || cls == sc::IntrArg;
    auto byte = [&](uint32_t a) -> uint32_t { return src.getbyte ? src.getbyte(a) : 0; };
    auto mem = [&](uint32_t a, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | byte(a + uint32_t(i));
        return v;
    };
    auto reg = [&](uint32_t r) -> uint32_t { return src.getreg ? src.getreg(r, cls) : 0; };
    uint64_t store = 0;
    // enumerations: the name of the first matching enumerator
    if (code >= tc::Enum && code <= tc::LongEnum && var.desc.agg) {
        uint32_t size = basetypesize(code);
        uint32_t v = inreg ? reg(address) : mem(address, int(size ? size : 4));
        if (code == tc::CharEnum) v &= 0xFF;
        if (code == tc::ShortEnum) v &= 0xFFFF;
        if (last) *last = v;
        for (const auto& m : var.desc.agg->members)
            if (m.value == v) return m.name;
        return fmtone(code == tc::CharEnum ? "%uc" : code == tc::ShortEnum ? "%us" : "%ul", v);
    }
    std::string fmt = format.empty() ? std::string(typefmt(code, &var) ? typefmt(code, &var) : "") : format;
    std::string out;
    switch (code) {
    case tc::Bool: {
        uint32_t v;
        if (inreg) v = reg(address) & 0xFF;
        else {
            uint32_t bit = var.desc.bitword ? var.desc.bitword & 0x1F : var.value2 & 7;
            v = (byte(address) >> (bit & 7)) & 1;
        }
        store = v;
        out = fmtone(fmt, v & 0xFFFF);
        break;
    }
    case tc::SChar: case tc::Char: case tc::UChar: case tc::CharBits: case tc::CharEnum: {
        uint32_t v = (inreg ? reg(address) : (cls == sc::EnumMem ? var.value : byte(address))) & 0xFF;
        if (code == tc::CharBits) v = bitfieldbits(v, var.desc.bitword, 8);
        if (code == tc::Char && (v & 0x80)) v |= 0xFF00;
        store = v;
        out = fmtone(fmt, v & 0xFFFF);
        break;
    }
    case tc::Short: case tc::UShort: case tc::ShortBits: case tc::ShortEnum: {
        uint32_t v = (inreg ? reg(address) : cls == sc::EnumMem ? var.value : mem(address, 2)) & 0xFFFF;
        if (code == tc::ShortBits) v = bitfieldbits(v, var.desc.bitword, 16);
        store = v;
        out = fmtone(fmt, v);
        break;
    }
    case tc::SFract: case tc::LFract: {
        bool s = code == tc::SFract;
        uint32_t v = inreg ? reg(address) : mem(address, s ? 2 : 4);
        if (s) v &= 0xFFFF;
        double d = s ? v / 32768.0 : v / 2147483648.0;
        store = v;
        out = fmtone(fmt, d);
        break;
    }
    case tc::Int: case tc::IntBits: case tc::UInt: case tc::IntEnum:
    case tc::Long: case tc::ULong: case tc::LongBits: case tc::LongEnum: {
        bool isint = code == tc::Int || code == tc::IntBits || code == tc::UInt || code == tc::IntEnum;
        int n = isint && src.intsize < 4 ? 2 : 4;
        uint32_t v = inreg ? reg(address) : cls == sc::EnumMem ? var.value : mem(address, n);
        if (code == tc::IntBits || code == tc::LongBits) v = bitfieldbits(v, var.desc.bitword, 32);
        if (isint && src.intsize < 4) v &= 0xFFFF;
        store = v;
        if (!isint && ispformat(fmt)) out = readtgtstr(src.getbyte, v);
        else out = fmtone(fmt, v);
        break;
    }
    case tc::LLong: case tc::ULLong: {
        uint64_t v = inreg ? (uint64_t(reg(address)) << 32) | reg(address + 1)
                           : (uint64_t(mem(address, 4)) << 32) | mem(address + 4, 4);
        store = v;
        out = lltext(fmt, v, code == tc::LLong);
        break;
    }
    case tc::Float: case tc::Double: case tc::LDouble: {
        bool dbl = code != tc::Float;
        uint8_t b[8] = {};
        if (inreg) {
            uint32_t w[2] = {reg(address), dbl ? reg(address + 1) : 0};
            for (int i = 0; i < 8; ++i) b[i] = uint8_t(w[i / 4] >> (24 - 8 * (i % 4)));
        } else
            for (int i = 0; i < (dbl ? 8 : 4); ++i) b[i] = uint8_t(byte(address + uint32_t(i)));
        double d = fromtgtfloat(b, dbl);
        std::memcpy(&store, &d, 8);
        out = floattext(d, aggregate);
        break;
    }
    case tc::Pointer: {
        uint32_t v = inreg ? reg(address) : mem(address, 4);
        store = v;
        if (ispformat(fmt)) out = readtgtstr(src.getbyte, v);
        else if (v == 0) out = " NULL";
        else out = fmtone(fmt, v);
        break;
    }
    case tc::Array:
        out = readtgtstrn(src.getbyte, address, arraycount(var));
        break;
    default:
        out = fmt.empty() ? "(no format)" : fmt;
        break;
    }
    if (last) *last = store;
    return out;
}

std::string varupdatetext(const VarRecord& var, uint64_t last) {
    char buf[64];
    uint8_t c = uint8_t(var.type);
    if (var.type >> 8) std::snprintf(buf, sizeof buf, "0x%x", uint32_t(last));
    else if (c == tc::Float || c == tc::Double || c == tc::LDouble) {
        double d;
        std::memcpy(&d, &last, 8);
        std::snprintf(buf, sizeof buf, "%f", d);
    } else if (c == tc::LLong) std::snprintf(buf, sizeof buf, "%lld", (long long)last);
    else if (c == tc::ULLong) std::snprintf(buf, sizeof buf, "%llu", (unsigned long long)last);
    else std::snprintf(buf, sizeof buf, "%i", int32_t(uint32_t(last)));
    return buf;
}

// ---- trees

VarTree::VarTree(TreeKind kind, VarSource src, FormatStore* formats)
    : kind_(kind), src_(std::move(src)), formats_(formats) {
    if (kind == TreeKind::Locals || kind == TreeKind::Globals) showlocations = false;
}

void VarTree::clear() { roots.clear(); }

VarTree::Node* VarTree::add(const VarRecord& var, uint32_t address, Node* parent) {
    auto n = std::make_unique<Node>();
    n->source = &var;
    n->address = address;
    if (formats_) {
        auto it = formats_->find(&var);
        if (it != formats_->end()) n->format = it->second;
    }
    return attach(std::move(n), parent);
}

VarTree::Node* VarTree::addheading(const std::string& text, Node* parent) {
    auto n = std::make_unique<Node>();
    n->text = text;
    n->stale = false;
    n->expanded = true;
    return attach(std::move(n), parent);
}

VarTree::Node* VarTree::attach(std::unique_ptr<Node> n, Node* parent) {
    n->parent = parent;
    Node* me = n.get();
    if (parent) {
        n->row = parent->count;
        parent->children[parent->count++] = std::move(n);
    } else {
        n->row = int(roots.size());
        roots.push_back(std::move(n));
    }
    return me;
}

bool VarTree::expandable(const Node* node) const {
    if (!node->source && node->rec.name.empty() && node->rec.type == 0) return node->count != 0;
    const VarRecord& v = node->var();
    if (hasarraytop(v)) return !(displaycode(v) == tc::Array && ispformat(node->format));
    if (step::top(v.type) != step::None) return false;
    uint8_t c = uint8_t(v.type);
    return (c == tc::Struct || c == tc::Union) && v.desc.agg;
}

int VarTree::rowcount(const Node* parent) const {
    if (!parent) return int(roots.size());
    if (!parent->expanded) return expandable(parent) ? 1 : 0;   // the placeholder
    return parent->count;
}

VarTree::Node* VarTree::child(Node* parent, int row) {
    if (!parent) return row >= 0 && size_t(row) < roots.size() ? roots[size_t(row)].get() : nullptr;
    if (!parent->expanded || row < 0 || row >= parent->count) return nullptr;
    auto& slot = parent->children[row];
    if (!slot) {
        const VarRecord& pv = parent->var();
        auto n = std::make_unique<Node>();
        if (hasarraytop(pv)) {
            n->rec = elementrecord(pv, uint32_t(row));
            n->address = parent->address + uint32_t(row) * typesize(n->rec);
        } else {
            const VarRecord& m = pv.desc.agg->members[size_t(row)];
            n->rec = m;
            n->rec.core = pv.core;
            n->address = parent->address + m.value;
        }
        n->format = parent->format;
        n->parent = parent;
        n->row = row;
        slot = std::move(n);
    }
    return slot.get();
}

void VarTree::expand(Node* node) {
    if (node->expanded || !expandable(node)) return;
    const VarRecord& v = node->var();
    size_t count = 0;
    if (hasarraytop(v)) count = arraycount(v);
    else
        for (const auto& m : v.desc.agg->members) {
            if (m.name.empty()) break;
            ++count;
        }
    node->children.clear();
    node->count = int(count);
    node->expanded = true;
}

void VarTree::collapse(Node* node) {
    if (!node->source && node->rec.type == 0 && node->rec.name.empty()) return;   // headings
    node->children.clear();
    node->count = 0;
    node->expanded = false;
}

void VarTree::setformat(Node* node, const std::string& format) {
    if (node->source && formats_) (*formats_)[node->source] = format;
    bool wasexpandable = expandable(node);
    node->format = format;
    node->stale = true;
    if (wasexpandable && !expandable(node)) collapse(node);   // a char array shown as a string
    std::function<void(Node*)> down = [&](Node* n) {
        for (auto& [row, c] : n->children)
            if (c) {
                c->format = format;
                c->stale = true;
                down(c.get());
            }
    };
    down(node);
}

void VarTree::stalesubtree(Node* node) {
    node->stale = node->source || node->rec.type || !node->rec.name.empty() ? true : node->stale;
    if (node->children.empty()) return;
    const VarRecord& pv = node->var();
    uint32_t esize = hasarraytop(pv) ? elementsize(pv) : 0;
    for (auto& [row, c] : node->children)
        if (c) {
            if (!c->source && node->expanded && (c->rec.type || !c->rec.name.empty())) {
                if (hasarraytop(pv)) c->address = node->address + uint32_t(row) * esize;
                else if (pv.desc.agg && size_t(c->row) < pv.desc.agg->members.size())
                    c->address = node->address + pv.desc.agg->members[size_t(c->row)].value;
            }
            stalesubtree(c.get());
        }
}

void VarTree::refresh() {
    for (auto& r : roots) stalesubtree(r.get());
}

void VarTree::update(Node* node, uint32_t address) {
    node->address = address;
    stalesubtree(node);
}

std::string VarTree::itemtext(Node* node) {
    const VarRecord& v = node->var();
    bool agg = kind_ == TreeKind::Aggregate;
    bool values = showvalues || agg, locations = showlocations || agg;
    bool namefirst = kind_ == TreeKind::Locals || kind_ == TreeKind::Globals;
    std::string decl;
    if (v.name.empty()) decl = hextext(node->last) + " ";
    else decl = namefirst ? v.name : decltext(v);
    std::string value;
    uint8_t code = displaycode(v);
    bool isagg = code == 0 && (hasarraytop(v) || uint8_t(v.type) == tc::Struct || uint8_t(v.type) == tc::Union);
    bool showit = values && (!isagg || false);
    if (code == tc::Array) showit = values && ispformat(node->format);
    if (showit) value = " = " + varvaluetext(v, node->address, node->format, frameset, src_, &node->last, agg);
    std::string place;
    if (locations) {
        if (v.sclass == sc::EnumMem) place = std::string(14, ' ');
        else place = "     at " + placetext(v, node->address, frameset, agg) + " ";
    }
    return namefirst ? decl + value + place : place + decl + value;
}

const std::string& VarTree::text(Node* node) {
    if (node->stale) {
        node->text = itemtext(node);
        node->stale = false;
        ++formatted;
    }
    return node->text;
}

void VarTree::savenode(Node* node, int depth, std::string& out) {
    const std::string& t = text(node);
    out.append(size_t(depth), '\t');
    out.append(t, 0, 511);
    out += '\n';
    if (!node->expanded) return;
    for (int i = 0; i < node->count; ++i) savenode(child(node, i), depth + 1, out);
}

std::string VarTree::savetext() {
    std::string out;
    for (auto& r : roots) savenode(r.get(), 0, out);
    return out;
}

}  // namespace vek

// Encoders and decoders of the intermediate file: the field primitives, name
// blocks, type descriptors, trees, and whole records driven by the layout
// table. Every multi-byte field is assembled byte by byte, least significant
// first, so the host's byte order never shows.
#include <cstring>

#include "toollib/ir/ir.h"

namespace ir {

namespace {

using F = Field;

// One row per record code: what it is and its fields in file order.
const std::vector<Layout>& layouts() {
    static const std::vector<Layout> table = {
        // code  what                             fields
        {R_STOP, "end of unit", {}},
        {R_FILE, "source file", {F::NAME}},
        {R_LINE, "source line", {F::U32}},
        {R_SECTION, "section", {F::HEX16, F::TEXT8}},
        {R_ASMTEXT, "assembly text", {F::TEXT8}},
        {R_SPACE, "memory space", {F::NAME}},
        {R_PUBLIC, "public symbol", {F::NAME, F::HEX16, F::U32}},
        {R_EXTERN, "external symbol", {F::NAME, F::HEX16, F::U32}},
        {R_FUNCTION, "function", {F::NAME, F::HEX16, F::U32}},
        {R_DATA, "data object", {F::U8, F::NAME}},
        {R_DATAATTR, "data object with attributes", {F::U8, F::HEX16, F::NAME}},
        {R_LITERAL, "literal", {F::U8, F::HEX16, F::NAME}},
        {R_ABSOLUTE, "absolute symbol", {F::U8, F::NAME, F::HEX32}},
        {R_VALUE, "value", {F::U8, F::S32}},
        {R_DOUBLE, "floating value", {F::U8, F::F64}},
        {R_BYTES, "string bytes", {F::TEXT8}},
        {R_ZEROS, "zero bytes", {F::U32}},
        {R_ADDR16, "2-byte address", {F::NAME, F::S32}},
        {R_ADDR8, "1-byte address", {F::NAME, F::S32}},
        {R_ADDR32, "4-byte address", {F::NAME, F::S32}},
        {R_ENDDATA, "end of object", {}},
        {R_DSTRING, "debug string", {F::TEXT8}},
        {R_DLABEL, "debug label", {F::U8, F::NAME}},
        {R_DFUNC, "debug function", {F::U8, F::NAME}},
        {R_DFILE, "debug file", {F::U8, F::NAME}},
        {R_FUNCLINES, "function lines", {F::U32, F::U32}},
        {R_RAWASM, "raw assembly", {F::TEXT16}},
        {R_PARAM, "register parameter", {F::TYPE, F::S32, F::U8}},
        {R_PARAMSIZE, "parameter area", {F::U32}},
        {R_FRAMELOW, "lowest frame offset", {F::S32}},
        {R_REGMASKS, "register masks", {F::HEX32, F::HEX32, F::U8}},
        {R_LABEL, "label", {F::U16, F::U32, F::MARK}},
        {R_KEPTLABEL, "kept label", {F::U16, F::U32, F::MARK}},
        {R_JUMP, "jump", {F::U16}},
        {R_BLT, "branch if <", {F::U16, F::TREE, F::TREE}},
        {R_BGE, "branch if >=", {F::U16, F::TREE, F::TREE}},
        {R_BGT, "branch if >", {F::U16, F::TREE, F::TREE}},
        {R_BLE, "branch if <=", {F::U16, F::TREE, F::TREE}},
        {R_BEQ, "branch if ==", {F::U16, F::TREE, F::TREE}},
        {R_BNE, "branch if !=", {F::U16, F::TREE, F::TREE}},
        {R_EXPR, "expression", {F::TREE}},
        {R_RETURN, "return", {}},
        {R_SWITCH1, "switch on a byte", {F::U16}},
        {R_SWITCH2, "switch on a halfword", {F::U16}},
        {R_SWITCH4, "switch on a word", {F::U16}},
        {R_SWITCHTABLES, "switch tables", {F::U8, F::U16, F::U16, F::U16, F::U16}},
        {R_JUMPTABLE, "jump table", {F::U16, F::S32, F::LABELS}},
        {R_RANGE, "case range", {F::S32, F::U32, F::U16}},
        {R_CASES, "single cases", {F::U16, F::CASES}},
        {R_TABLESEND, "end of switch tables", {}},
        {R_SRCRANGE, "source range", {F::U32, F::U16, F::U32, F::U16}},
        {R_LOOP, "counted loop", {F::U16, F::LOOPTREE}},
        {R_ENDFUNC, "end of function", {}},
        {R_IGNORED1, "ignored", {}},
        {R_IGNORED2, "ignored", {}},
    };
    return table;
}

const Layout* const* layoutindex() {
    static const Layout* index[256] = {};
    static bool made = false;
    if (!made) {
        for (const Layout& l : layouts()) index[l.code] = &l;
        made = true;
    }
    return index;
}

}  // namespace

const Layout* recordlayout(uint8_t code) { return layoutindex()[code]; }

bool isbitfieldcode(uint8_t typecode) {
    return typecode == T_SHORTBITS || typecode == T_INTBITS || typecode == T_CHARBITS;
}

const char* faulttext(Fault f) {
    switch (f) {
        case Fault::Eof: return "unexpected end of file";
        case Fault::TreeTooDeep: return "expression tree too deep";
        case Fault::UnknownRecord: return "unknown record code";
        case Fault::BadText: return "bad text";
    }
    return "?";
}

void MemoryInput::fail(Fault f, std::string detail) {
    std::string msg = faulttext(f);
    if (!detail.empty()) msg += " " + detail;
    throw DecodeError{pos_, msg};
}

// ---- primitives ----

uint8_t Input::u8() {
    int c = get();
    if (c < 0) fail(Fault::Eof, "");
    return static_cast<uint8_t>(c);
}

uint16_t Input::u16() {
    uint16_t lo = u8();
    return static_cast<uint16_t>(lo | (u8() << 8));
}

uint32_t Input::u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(u8()) << (8 * i);
    return v;
}

uint64_t Input::u64() {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(u8()) << (8 * i);
    return v;
}

std::string Input::bytes(size_t n) {
    std::string s;
    s.reserve(n);
    for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(u8()));
    return s;
}

std::string Input::text8() { return bytes(u8()); }

NameBlock Input::name() {
    NameBlock n;
    uint8_t count = u8();
    n.number = u16();
    if (count > 0) {
        n.present = true;
        n.kind = u8();
        n.name = bytes(count - 1u);
    }
    return n;
}

TypeDescriptor Input::type() {
    TypeDescriptor t;
    t.code = u8();
    if (t.hasattr()) t.attr = u16();
    uint8_t c = t.typecode();
    if (c == T_POINTER) t.ptrattr = u16();
    if (isbitfieldcode(c)) {
        t.bitpos = u8();
        t.bitwidth = u8();
    }
    if (c == T_STRUCT) t.size = u32();
    return t;
}

std::unique_ptr<Tree> Input::tree(int depth) {
    if (depth > kMaxTreeDepth) fail(Fault::TreeTooDeep, "");
    auto t = std::make_unique<Tree>();
    t->op = u8();
    t->type = type();
    if (t->op == O_LEAF) {
        t->name = name();
        t->value = static_cast<int32_t>(u32());
        t->storage = u8();
        t->flag = u8();
        return t;
    }
    t->left = tree(depth + 1);
    if (t->op == O_COND) t->middle = tree(depth + 1);
    if (hastext(t->op)) t->text = text8();
    if (hasright(t->op)) t->right = tree(depth + 1);
    return t;
}

void Output::u16(uint16_t v) {
    put(static_cast<uint8_t>(v));
    put(static_cast<uint8_t>(v >> 8));
}

void Output::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) put(static_cast<uint8_t>(v >> (8 * i)));
}

void Output::u64(uint64_t v) {
    for (int i = 0; i < 8; ++i) put(static_cast<uint8_t>(v >> (8 * i)));
}

void Output::bytes(std::string_view b) {
    for (char c : b) put(static_cast<uint8_t>(c));
}

void Output::text8(std::string_view t) {
    put(static_cast<uint8_t>(t.size()));
    bytes(t);
}

void Output::name(const NameBlock& n) {
    put(n.present ? static_cast<uint8_t>(n.name.size() + 1) : 0);
    u16(n.number);
    if (n.present) {
        put(n.kind);
        bytes(n.name);
    }
}

void Output::type(const TypeDescriptor& t) {
    put(t.code);
    if (t.hasattr()) u16(t.attr);
    uint8_t c = t.typecode();
    if (c == T_POINTER) u16(t.ptrattr);
    if (isbitfieldcode(c)) {
        put(t.bitpos);
        put(t.bitwidth);
    }
    if (c == T_STRUCT) u32(t.size);
}

void Output::tree(const Tree& t) {
    put(t.op);
    type(t.type);
    if (t.op == O_LEAF) {
        name(t.name);
        u32(static_cast<uint32_t>(t.value));
        put(t.storage);
        put(t.flag);
        return;
    }
    tree(*t.left);
    if (t.op == O_COND) tree(*t.middle);
    if (hastext(t.op)) text8(t.text);
    if (hasright(t.op)) tree(*t.right);
}

// ---- trees in memory ----

bool equaltree(const Tree& a, const Tree& b) {
    if (a.op != b.op || !(a.type == b.type)) return false;
    if (a.op == O_LEAF)
        return a.name == b.name && a.value == b.value && a.storage == b.storage && a.flag == b.flag;
    auto same = [](const std::unique_ptr<Tree>& x, const std::unique_ptr<Tree>& y) {
        if (!x || !y) return !x && !y;
        return equaltree(*x, *y);
    };
    return same(a.left, b.left) && same(a.middle, b.middle) && same(a.right, b.right) && a.text == b.text;
}

std::unique_ptr<Tree> leaf(TypeDescriptor type, NameBlock name, int32_t value, uint8_t storage, uint8_t flag) {
    auto t = std::make_unique<Tree>();
    t->type = type;
    t->name = std::move(name);
    t->value = value;
    t->storage = storage;
    t->flag = flag;
    return t;
}

std::unique_ptr<Tree> node(uint8_t op, TypeDescriptor type, std::unique_ptr<Tree> left, std::unique_ptr<Tree> right) {
    auto t = std::make_unique<Tree>();
    t->op = op;
    t->type = type;
    t->left = std::move(left);
    t->right = std::move(right);
    return t;
}

// ---- records ----

Record readrecord(uint8_t code, Input& in) {
    const Layout* layout = recordlayout(code);
    if (!layout) in.fail(Fault::UnknownRecord, std::to_string(code));
    Record r;
    r.code = code;
    for (Field f : layout->fields) {
        FieldValue v;
        switch (f) {
            case F::U8: v.num = in.u8(); break;
            case F::U16:
            case F::HEX16: v.num = in.u16(); break;
            case F::U32:
            case F::S32:
            case F::HEX32: v.num = in.u32(); break;
            case F::F64: v.num = in.u64(); break;
            case F::NAME: v.name = in.name(); break;
            case F::TYPE: v.type = in.type(); break;
            case F::TEXT8: v.text = in.text8(); break;
            case F::TEXT16: v.text = in.bytes(in.u16()); break;
            case F::TREE: v.tree = in.tree(); break;
            case F::MARK:
                v.present = r.fields.back().num != 0;
                if (v.present) v.num = in.u8();
                break;
            case F::LOOPTREE:
                v.num = in.u8();
                if (v.num) v.tree = in.tree();
                break;
            case F::LABELS:
                for (uint64_t i = 0, n = r.fields.front().num; i < n; ++i) v.list.push_back(in.u16());
                break;
            case F::CASES:
                for (uint64_t i = 0, n = r.fields.front().num; i < n; ++i) {
                    v.list.push_back(in.u32());
                    v.list.push_back(in.u16());
                }
                break;
        }
        r.fields.push_back(std::move(v));
    }
    return r;
}

void writerecord(const Record& r, Output& out) {
    const Layout* layout = recordlayout(r.code);
    out.u8(r.code);
    if (!layout) return;
    for (size_t i = 0; i < layout->fields.size() && i < r.fields.size(); ++i) {
        const FieldValue& v = r.fields[i];
        switch (layout->fields[i]) {
            case F::U8: out.u8(static_cast<uint8_t>(v.num)); break;
            case F::U16:
            case F::HEX16: out.u16(static_cast<uint16_t>(v.num)); break;
            case F::U32:
            case F::S32:
            case F::HEX32: out.u32(static_cast<uint32_t>(v.num)); break;
            case F::F64: out.u64(v.num); break;
            case F::NAME: out.name(v.name); break;
            case F::TYPE: out.type(v.type); break;
            case F::TEXT8: out.text8(v.text); break;
            case F::TEXT16:
                out.u16(static_cast<uint16_t>(v.text.size()));
                out.bytes(v.text);
                break;
            case F::TREE: out.tree(*v.tree); break;
            case F::MARK:
                if (v.present) out.u8(static_cast<uint8_t>(v.num));
                break;
            case F::LOOPTREE:
                out.u8(static_cast<uint8_t>(v.num));
                if (v.num && v.tree) out.tree(*v.tree);
                break;
            case F::LABELS:
                for (uint32_t l : v.list) out.u16(static_cast<uint16_t>(l));
                break;
            case F::CASES:
                for (size_t k = 0; k < v.list.size(); ++k) {
                    if (k % 2 == 0)
                        out.u32(v.list[k]);
                    else
                        out.u16(static_cast<uint16_t>(v.list[k]));
                }
                break;
        }
    }
}

Header readheader(Input& in) {
    Header h;
    h.bytes.push_back(in.u8());
    if (h.bytes[0] == kAnalyserMagic) {
        h.bytes.push_back(in.u8());
        return h;
    }
    for (int i = 1; i < 5; ++i) h.bytes.push_back(in.u8());
    for (;;) {
        std::string s = in.text8();
        if (s.empty()) break;
        h.strings.push_back(std::move(s));
    }
    return h;
}

void writeheader(const Header& h, Output& out) {
    for (uint8_t b : h.bytes) out.u8(b);
    if (h.bytes.size() == 2) return;
    for (const std::string& s : h.strings) out.text8(s);
    out.u8(0);
}

File decodefile(std::string_view bytes) {
    MemoryInput in(bytes);
    File f;
    f.header = readheader(in);
    while (!in.atend()) {
        size_t at = in.offset();
        Record r = readrecord(in.u8(), in);
        r.offset = at;
        f.records.push_back(std::move(r));
    }
    return f;
}

std::string encodefile(const File& f) {
    StringOutput out;
    writeheader(f.header, out);
    for (const Record& r : f.records) writerecord(r, out);
    return std::move(out.data);
}

// ---- argument registers ----

ArgRegs::ArgRegs(bool floatregs, bool single, bool variadic)
    : intfree_(variadic ? 0 : 0xFF), floatfree_(variadic || !floatregs ? 0 : 0xFF), single_(single) {}

ArgPlace ArgRegs::next(uint8_t typecode) {
    ArgPlace p;
    if (exhausted_) return p;
    bool floating = typecode == T_FLOAT || typecode == T_DOUBLE;
    bool wide = typecode == T_DOUBLE || (typecode == T_FLOAT && !single_);
    if (single_ && typecode == T_DOUBLE) wide = false;
    bool scalar = (typecode >= T_CHAR && typecode <= T_POINTER) || typecode == T_CHARBITS;
    if (floating && floatfree_) {
        for (int k = 0; k + 2 < 8; ++k) {
            uint8_t both = static_cast<uint8_t>((1u << k) | (1u << (k + 2)));
            if ((floatfree_ & both) == both) {
                floatfree_ = static_cast<uint8_t>(floatfree_ & ~both);
                p.kind = ArgPlace::Fpr;
                p.index = static_cast<uint8_t>(k);
                return p;
            }
        }
    }
    if (scalar && !wide) {
        for (int k = 0; k < 8; ++k) {
            if (intfree_ & (1u << k)) {
                intfree_ = static_cast<uint8_t>(intfree_ & ~(1u << k));
                p.kind = ArgPlace::Gpr;
                p.index = static_cast<uint8_t>(k);
                return p;
            }
        }
    } else if (scalar) {
        for (int k = 0; k + 1 < 8; ++k) {
            uint8_t two = static_cast<uint8_t>(3u << k);
            if ((intfree_ & two) == two) {
                intfree_ = static_cast<uint8_t>(intfree_ & ~two);
                p.kind = ArgPlace::GprPair;
                p.index = static_cast<uint8_t>(k);
                return p;
            }
        }
    }
    exhausted_ = true;
    return p;
}

}  // namespace ir

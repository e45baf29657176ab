// The text form of the intermediate file (described in ir.h): a printer that
// writes one record per line and a parser that reads the same text back, both
// walking the layout table, so that printing and parsing any decodable file
// gives the same bytes again.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "toollib/ir/ir.h"

namespace ir {

namespace {

struct OpName {
    uint8_t op;
    const char* name;
};

// Operator names of the text form; codes without a name print as numbers.
constexpr OpName kOpNames[] = {
    {O_LEAF, "leaf"},      {O_ADD, "+"},          {O_SUB, "-"},         {O_MUL, "*"},
    {O_DIV, "/"},          {O_MOD, "%"},          {O_SHL, "<<"},        {O_SHR, ">>"},
    {O_AND, "&"},          {O_XOR, "^"},          {O_OR, "|"},          {O_LT, "<"},
    {O_GE, ">="},          {O_GT, ">"},           {O_LE, "<="},         {O_EQ, "=="},
    {O_NE, "!="},          {O_ADDASG, "+="},      {O_SUBASG, "-="},     {O_MULASG, "*="},
    {O_DIVASG, "/="},      {O_MODASG, "%="},      {O_SHLASG, "<<="},    {O_SHRASG, ">>="},
    {O_ANDASG, "&="},      {O_XORASG, "^="},      {O_ORASG, "|="},      {O_ANDAND, "&&"},
    {O_OROR, "||"},        {O_ASSIGN, "="},       {O_COMMA, ","},       {O_COND, "?:"},
    {O_POSTINC, "post++"}, {O_POSTDEC, "post--"}, {O_NEG, "neg"},       {O_IND, "ind"},
    {O_ADDR, "addr"},      {O_NOT, "!"},          {O_COMPL, "~"},       {O_CAST, "cast"},
    {O_CALL, "call"},      {O_CALLARGS, "callargs"}, {O_ARG, "arg"},    {O_ASM, "asm"},
    {O_ASMARGS, "asmargs"}, {O_NEGSELF, "negself"}, {O_COMPLSELF, "complself"},
};

constexpr const char* kTypeNames[16] = {
    nullptr, "char", "uchar", "short", "sbits", "ushort", "int", "ibits",
    "uint", "float", "double", "ptr", "real", "cbits", "struct", nullptr,
};

std::string hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%" PRIX64, v);
    return buf;
}

double bitsdouble(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

uint64_t doublebits(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// The shortest decimal text that reads back as the same bits; NaNs keep
// their payload as hex bits.
std::string printdouble(uint64_t bits) {
    double d = bitsdouble(bits);
    if (std::isnan(d)) {
        char buf[24];
        std::snprintf(buf, sizeof buf, "0x%016" PRIX64, bits);
        return buf;
    }
    char buf[40];
    for (int prec = 1; prec <= 17; ++prec) {
        std::snprintf(buf, sizeof buf, "%.*g", prec, d);
        if (doublebits(std::strtod(buf, nullptr)) == bits) break;
    }
    return buf;
}

void printfield(std::string& out, Field f, const FieldValue& v) {
    switch (f) {
        case Field::U8:
        case Field::U16:
        case Field::U32: out += std::to_string(v.num); break;
        case Field::S32: out += std::to_string(static_cast<int32_t>(static_cast<uint32_t>(v.num))); break;
        case Field::HEX16:
        case Field::HEX32: out += hex(v.num); break;
        case Field::F64: out += printdouble(v.num); break;
        case Field::NAME: out += printname(v.name); break;
        case Field::TYPE: out += printtype(v.type); break;
        case Field::TEXT8:
        case Field::TEXT16: out += printquoted(v.text); break;
        case Field::TREE: out += printtree(*v.tree); break;
        case Field::MARK:
            if (!v.present) return;
            out += std::to_string(v.num);
            break;
        case Field::LOOPTREE:
            out += std::to_string(v.num);
            if (v.tree) out += " " + printtree(*v.tree);
            break;
        case Field::LABELS:
        case Field::CASES: {
            const char* sep = "";
            for (size_t k = 0; k < v.list.size(); ++k) {
                out += sep;
                sep = " ";
                bool value = f == Field::CASES && k % 2 == 0;
                out += value ? std::to_string(static_cast<int32_t>(v.list[k])) : std::to_string(v.list[k]);
            }
            break;
        }
    }
}

}  // namespace

const char* opname(uint8_t op) {
    for (const OpName& o : kOpNames)
        if (o.op == op) return o.name;
    return nullptr;
}

const char* typecodename(uint8_t typecode) { return typecode < 16 ? kTypeNames[typecode] : nullptr; }

std::string printquoted(std::string_view bytes) {
    std::string out = "\"";
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case 0: out += "\\0"; break;
            default:
                if (c >= 0x20 && c < 0x7F) {
                    out += ch;
                } else {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\x%02X", c);
                    out += buf;
                }
        }
    }
    return out + "\"";
}

std::string printname(const NameBlock& n) {
    std::string out = "[" + std::to_string(n.number);
    if (n.present) out += " " + hex(n.kind) + " " + printquoted(n.name);
    return out + "]";
}

std::string printtype(const TypeDescriptor& t) {
    uint8_t c = t.typecode();
    std::string out = typecodename(c) ? typecodename(c) : "t" + std::to_string(c);
    if (t.hasattr()) out += "/" + hex(t.attr);
    if (c == T_POINTER) out += ">" + hex(t.ptrattr);
    if (isbitfieldcode(c)) out += ":" + std::to_string(t.bitpos) + ":" + std::to_string(t.bitwidth);
    if (c == T_STRUCT) out += "=" + std::to_string(t.size);
    if (t.code & 0x70) out += "+" + hex(t.code & 0x70u);
    return out;
}

std::string printtree(const Tree& t) {
    std::string out = "(";
    const char* name = opname(t.op);
    out += name ? name : std::to_string(t.op);
    out += " " + printtype(t.type);
    if (t.op == O_LEAF) {
        out += " " + printname(t.name) + " " + std::to_string(t.value) + " " + std::to_string(t.storage) + " " +
               std::to_string(t.flag);
    } else {
        out += " " + printtree(*t.left);
        if (t.op == O_COND) out += " " + printtree(*t.middle);
        if (hastext(t.op)) out += " " + printquoted(t.text);
        if (hasright(t.op)) out += " " + printtree(*t.right);
    }
    return out + ")";
}

std::string printtext(const File& f, const TextOptions& opt) {
    std::string out = opt.offsets ? "00000000: header" : "header";
    for (uint8_t b : f.header.bytes) {
        char buf[8];
        std::snprintf(buf, sizeof buf, " 0x%02X", b);
        out += buf;
    }
    for (const std::string& s : f.header.strings) out += " " + printquoted(s);
    out += "\n";
    for (const Record& r : f.records) {
        if (opt.offsets) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%08zx: ", r.offset);
            out += buf;
        }
        out += std::to_string(r.code);
        const Layout* layout = recordlayout(r.code);
        for (size_t i = 0; layout && i < layout->fields.size() && i < r.fields.size(); ++i) {
            std::string field;
            printfield(field, layout->fields[i], r.fields[i]);
            if (!field.empty()) out += " " + field;
        }
        out += "\n";
    }
    return out;
}

// ---- parser ----

namespace {

enum class Tok { Word, Str, Open, Close, OpenB, CloseB };

struct Token {
    Tok kind;
    std::string text;
};

class LineParser {
public:
    LineParser(std::string_view line, int number) : lineno_(number) { tokenize(line); }

    [[noreturn]] void error(const std::string& msg) const { throw TextError{lineno_, msg}; }
    bool atend() const { return pos_ >= toks_.size(); }
    bool empty() const { return toks_.empty(); }
    const Token& peek() const {
        if (atend()) error("the line ends too early");
        return toks_[pos_];
    }
    Token take() {
        Token t = peek();
        ++pos_;
        return t;
    }
    void expect(Tok kind, const char* what) {
        if (take().kind != kind) error(std::string("expected ") + what);
    }

    // A number between lo and hi, decimal or 0x hex, with an optional '-'.
    int64_t number(int64_t lo, int64_t hi, const char* what) {
        Token t = take();
        if (t.kind != Tok::Word) error(std::string("expected ") + what);
        int64_t v = 0;
        if (!parseint(t.text, v) || v < lo || v > hi) error("bad " + std::string(what) + ": " + t.text);
        return v;
    }

    std::string text(size_t max) {
        Token t = take();
        if (t.kind != Tok::Str) error("expected a quoted text");
        if (t.text.size() > max) error("text longer than " + std::to_string(max) + " bytes");
        return t.text;
    }

    NameBlock name() {
        NameBlock n;
        expect(Tok::OpenB, "a name block");
        n.number = static_cast<uint16_t>(number(0, 0xFFFF, "label number"));
        if (peek().kind != Tok::CloseB) {
            n.present = true;
            n.kind = static_cast<uint8_t>(number(0, 0xFF, "name kind"));
            n.name = text(kMaxName);
        }
        expect(Tok::CloseB, "']'");
        return n;
    }

    TypeDescriptor type() {
        Token t = take();
        if (t.kind != Tok::Word) error("expected a type");
        return parsetype(t.text);
    }

    std::unique_ptr<Tree> tree(int depth) {
        if (depth > kMaxTreeDepth) error("expression tree too deep");
        expect(Tok::Open, "'(' of a tree");
        auto t = std::make_unique<Tree>();
        Token op = take();
        if (op.kind != Tok::Word) error("expected an operator");
        t->op = parseop(op.text);
        t->type = type();
        if (t->op == O_LEAF) {
            t->name = name();
            t->value = static_cast<int32_t>(number(INT32_MIN, UINT32_MAX, "value"));
            t->storage = static_cast<uint8_t>(number(0, 0xFF, "storage"));
            t->flag = static_cast<uint8_t>(number(0, 0xFF, "flag"));
        } else {
            t->left = tree(depth + 1);
            if (t->op == O_COND) t->middle = tree(depth + 1);
            if (hastext(t->op)) t->text = text(255);
            if (hasright(t->op)) t->right = tree(depth + 1);
        }
        expect(Tok::Close, "')' after the tree");
        return t;
    }

    void field(Field f, Record& r) {
        FieldValue v;
        switch (f) {
            case Field::U8: v.num = static_cast<uint64_t>(number(0, 0xFF, "byte")); break;
            case Field::U16:
            case Field::HEX16: v.num = static_cast<uint64_t>(number(0, 0xFFFF, "16-bit number")); break;
            case Field::U32:
            case Field::HEX32: v.num = static_cast<uint64_t>(number(0, UINT32_MAX, "32-bit number")); break;
            case Field::S32:
                v.num = static_cast<uint32_t>(number(INT32_MIN, UINT32_MAX, "32-bit number"));
                break;
            case Field::F64: v.num = floating(); break;
            case Field::NAME: v.name = name(); break;
            case Field::TYPE: v.type = type(); break;
            case Field::TEXT8: v.text = text(255); break;
            case Field::TEXT16: v.text = text(0xFFFF); break;
            case Field::TREE: v.tree = tree(0); break;
            case Field::MARK:
                v.present = r.fields.back().num != 0;
                if (v.present) v.num = static_cast<uint64_t>(number(0, 0xFF, "mark"));
                break;
            case Field::LOOPTREE:
                v.num = static_cast<uint64_t>(number(0, 0xFF, "loop flag"));
                if (v.num) v.tree = tree(0);
                break;
            case Field::LABELS:
                for (uint64_t i = 0, n = r.fields.front().num; i < n; ++i)
                    v.list.push_back(static_cast<uint32_t>(number(0, 0xFFFF, "label")));
                break;
            case Field::CASES:
                for (uint64_t i = 0, n = r.fields.front().num; i < n; ++i) {
                    v.list.push_back(static_cast<uint32_t>(number(INT32_MIN, UINT32_MAX, "case value")));
                    v.list.push_back(static_cast<uint32_t>(number(0, 0xFFFF, "label")));
                }
                break;
        }
        r.fields.push_back(std::move(v));
    }

    size_t pos_ = 0;

private:
    static bool parseint(const std::string& s, int64_t& v) {
        size_t i = 0;
        bool neg = false;
        if (i < s.size() && s[i] == '-') {
            neg = true;
            ++i;
        }
        int base = 10;
        if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            base = 16;
            i += 2;
        }
        if (i >= s.size()) return false;
        uint64_t acc = 0;
        for (; i < s.size(); ++i) {
            int d;
            char c = s[i];
            if (c >= '0' && c <= '9') d = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else return false;
            acc = acc * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
            if (acc > 0xFFFFFFFFFFull) return false;
        }
        v = neg ? -static_cast<int64_t>(acc) : static_cast<int64_t>(acc);
        return true;
    }

    uint64_t floating() {
        Token t = take();
        if (t.kind != Tok::Word) error("expected a floating value");
        const std::string& s = t.text;
        if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
            if (s.size() > 18) error("bad floating bits: " + s);
            uint64_t bits = 0;
            for (size_t i = 2; i < s.size(); ++i) {
                char c = s[i];
                int d;
                if (c >= '0' && c <= '9') d = c - '0';
                else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
                else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
                else error("bad floating bits: " + s);
                bits = bits << 4 | static_cast<uint64_t>(d);
            }
            return bits;
        }
        char* end = nullptr;
        double d = std::strtod(s.c_str(), &end);
        if (end == s.c_str() || *end) error("bad floating value: " + s);
        return doublebits(d);
    }

    uint8_t parseop(const std::string& s) const {
        for (const OpName& o : kOpNames)
            if (s == o.name) return o.op;
        int64_t v;
        if (parseint(s, v) && v >= 0 && v <= 255) return static_cast<uint8_t>(v);
        error("unknown operator: " + s);
    }

    TypeDescriptor parsetype(const std::string& s) const {
        size_t i = 0;
        while (i < s.size() && std::strchr("/>:=+", s[i]) == nullptr) ++i;
        std::string name = s.substr(0, i);
        int code = -1;
        for (int c = 0; c < 16; ++c)
            if (kTypeNames[c] && name == kTypeNames[c]) code = c;
        int64_t v;
        if (code < 0 && name.size() > 1 && name[0] == 't' && parseint(name.substr(1), v) && v >= 0 && v < 16)
            code = static_cast<int>(v);
        if (code < 0) error("unknown type: " + s);
        TypeDescriptor t;
        t.code = static_cast<uint8_t>(code);
        bool ptr = false, bits = false, size = false;
        auto part = [&](int64_t hi) {
            size_t start = ++i;
            while (i < s.size() && std::strchr("/>:=+", s[i]) == nullptr) ++i;
            int64_t n;
            if (!parseint(s.substr(start, i - start), n) || n < 0 || n > hi) error("bad type: " + s);
            return n;
        };
        while (i < s.size()) {
            switch (s[i]) {
                case '/':
                    t.code |= kTypeHasAttr;
                    t.attr = static_cast<uint16_t>(part(0xFFFF));
                    break;
                case '>':
                    ptr = true;
                    t.ptrattr = static_cast<uint16_t>(part(0xFFFF));
                    break;
                case ':':
                    bits = true;
                    t.bitpos = static_cast<uint8_t>(part(0xFF));
                    if (i >= s.size() || s[i] != ':') error("bad bit-field type: " + s);
                    t.bitwidth = static_cast<uint8_t>(part(0xFF));
                    break;
                case '=':
                    size = true;
                    t.size = static_cast<uint32_t>(part(UINT32_MAX));
                    break;
                default: {
                    int64_t extra = part(0x70);
                    if (extra & ~0x70) error("bad type: " + s);
                    t.code |= static_cast<uint8_t>(extra);
                    break;
                }
            }
        }
        if (ptr != (code == T_POINTER) || bits != isbitfieldcode(static_cast<uint8_t>(code)) ||
            size != (code == T_STRUCT))
            error("type fields do not fit its code: " + s);
        return t;
    }

    void tokenize(std::string_view line) {
        size_t i = 0;
        while (i < line.size()) {
            char c = line[i];
            if (c == ' ' || c == '\t' || c == '\r') {
                ++i;
            } else if (c == '#') {
                break;
            } else if (c == '(' || c == ')' || c == '[' || c == ']') {
                Tok k = c == '(' ? Tok::Open : c == ')' ? Tok::Close : c == '[' ? Tok::OpenB : Tok::CloseB;
                toks_.push_back({k, std::string(1, c)});
                ++i;
            } else if (c == '"') {
                toks_.push_back({Tok::Str, quoted(line, i)});
            } else {
                size_t start = i;
                while (i < line.size() && std::strchr(" \t\r#()[]\"", line[i]) == nullptr) ++i;
                toks_.push_back({Tok::Word, std::string(line.substr(start, i - start))});
            }
        }
    }

    std::string quoted(std::string_view line, size_t& i) const {
        std::string out;
        ++i;
        for (;;) {
            if (i >= line.size()) error("unterminated text");
            char c = line[i++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i >= line.size()) error("unterminated text");
            char e = line[i++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case 'n': out += '\n'; break;
                case 't': out += '\t'; break;
                case '0': out += '\0'; break;
                case 'x': {
                    int v = 0;
                    for (int k = 0; k < 2; ++k) {
                        char h = i < line.size() ? line[i++] : '\0';
                        int d;
                        if (h >= '0' && h <= '9') d = h - '0';
                        else if (h >= 'a' && h <= 'f') d = h - 'a' + 10;
                        else if (h >= 'A' && h <= 'F') d = h - 'A' + 10;
                        else error("bad \\x escape");
                        v = v * 16 + d;
                    }
                    out += static_cast<char>(v);
                    break;
                }
                default: error(std::string("unknown escape \\") + e);
            }
        }
    }

    std::vector<Token> toks_;
    int lineno_;
};

bool isoffset(const Token& t) {
    if (t.kind != Tok::Word || t.text.size() < 2 || t.text.back() != ':') return false;
    for (size_t i = 0; i + 1 < t.text.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(t.text[i]))) return false;
    return true;
}

}  // namespace

File parsetext(std::string_view text) {
    File f;
    bool header = false;
    int lineno = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineno;
        LineParser p(line, lineno);
        if (p.empty()) continue;
        if (isoffset(p.peek())) p.take();
        if (p.atend()) continue;
        if (!header) {
            Token t = p.take();
            if (t.kind != Tok::Word || t.text != "header") p.error("the first line must be the header");
            while (!p.atend() && p.peek().kind == Tok::Word)
                f.header.bytes.push_back(static_cast<uint8_t>(p.number(0, 0xFF, "header byte")));
            while (!p.atend()) {
                std::string s = p.text(255);
                if (s.empty()) p.error("a header string cannot be empty");
                f.header.strings.push_back(std::move(s));
            }
            bool analyser = !f.header.bytes.empty() && f.header.bytes[0] == kAnalyserMagic;
            if (f.header.bytes.size() != (analyser ? 2u : 5u))
                p.error(analyser ? "an analyser header has 2 bytes" : "the header has 5 bytes");
            if (f.header.bytes.size() == 2 && !f.header.strings.empty()) p.error("a 2-byte header has no strings");
            header = true;
            continue;
        }
        Record r;
        r.code = static_cast<uint8_t>(p.number(0, 0xFF, "record code"));
        const Layout* layout = recordlayout(r.code);
        if (!layout) p.error("unknown record code " + std::to_string(r.code));
        for (Field fld : layout->fields) p.field(fld, r);
        if (!p.atend()) p.error("unexpected text after the record: " + p.peek().text);
        f.records.push_back(std::move(r));
    }
    if (!header) throw TextError{lineno, "no header line"};
    return f;
}

}  // namespace ir

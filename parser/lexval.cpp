// Names, constants and the literal pool: the character trie that stores every
// identifier once (and, under its own root, the macro table), the pool of
// string literals and floating constants, and the conversion of number,
// character and string tokens into values with their token codes.
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

// ---- the trie ----

TrieNode* trielookup(Parser& P, TrieNode*& root, const char* text, size_t length) {
    TrieNode** level = &root;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        TrieNode** pp = level;
        while (*pp && (*pp)->ch < c) pp = &(*pp)->sibling;
        if (*pp && (*pp)->ch == c) {
            level = &(*pp)->down;
            continue;
        }
        P.names.nodes.emplace_back();
        TrieNode* n = &P.names.nodes.back();
        n->ch = c;
        n->sibling = *pp;
        *pp = n;
        level = &n->down;
    }
    if (*level && (*level)->ch == 0) return *level;
    P.names.nodes.emplace_back();
    TrieNode* n = &P.names.nodes.back();
    n->sibling = *level;
    *level = n;
    return n;
}

TrieNode* triefind(TrieNode* root, const char* text, size_t length) {
    TrieNode* level = root;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        while (level && level->ch < c) level = level->sibling;
        if (!level || level->ch != c) return nullptr;
        level = level->down;
    }
    return level && level->ch == 0 ? level : nullptr;
}

const unsigned char* internname(Parser& P, const char* text, size_t length) {
    TrieNode* node = trielookup(P, P.names.nameroot, text, length);
    if (!node->value) {
        // the head of the symbols of this name and the mark byte (set once a
        // symbol of the name was made) stand in front of the name itself:
        // length byte, characters, NUL
        auto block = std::make_unique<unsigned char[]>(kNamePrefix + length + 2);
        new (block.get()) Symbol*(nullptr);
        unsigned char* name = block.get() + kNamePrefix;
        name[-1] = 0;
        name[0] = static_cast<unsigned char>(length & 0xff);
        std::memcpy(name + 1, text, length);
        name[length + 1] = 0;
        node->value = name;
        P.names.interned.push_back(std::move(block));
    }
    return static_cast<const unsigned char*>(node->value);
}

// ---- the literal pool ----

Literal* internliteral(Parser& P, const unsigned char* bytes, size_t length) {
    for (Literal* l = P.names.pool; l; l = l->link) {
        if (l->length == length && l->section == P.names.section &&
            (length == 0 || std::memcmp(l->bytes.data(), bytes, length) == 0)) {
            ++l->uses;
            return l;
        }
    }
    P.names.literals.emplace_back();
    Literal* l = &P.names.literals.back();
    l->section = P.names.section;
    l->length = static_cast<uint32_t>(length);
    l->bytes.assign(bytes, bytes + length);
    l->link = P.names.pool;
    P.names.pool = l;
    return l;
}

// Takes one use of the entry away; an entry without another use leaves the pool.
void droplituse(Parser& P, Literal* l) {
    if (l->uses > 0) {
        --l->uses;
        return;
    }
    for (Literal** pp = &P.names.pool; *pp; pp = &(*pp)->link) {
        if (*pp == l) {
            *pp = l->link;
            l->link = nullptr;
            return;
        }
    }
}

Literal* joinliterals(Parser& P, Literal* first, Literal* second) {
    std::vector<unsigned char> joined = first->bytes;
    joined.insert(joined.end(), second->bytes.begin(), second->bytes.end());
    droplituse(P, first);
    droplituse(P, second);  // "ab" "ab": the entry was counted twice
    return internliteral(P, joined.data(), joined.size());
}

// ---- numbers ----

double scalepow10(double value, int exponent) {
    static const double powers[] = {1e1, 1e2, 1e4, 1e8, 1e16, 1e32, 1e64, 1e128, 1e256};
    if (value == 0) return value;
    bool divide = exponent < 0;
    unsigned mag = divide ? 0u - static_cast<unsigned>(exponent) : static_cast<unsigned>(exponent);
    for (int k = 0; k < 8 && mag; ++k, mag >>= 1)
        if (mag & 1) value = divide ? value / powers[k] : value * powers[k];
    for (; mag; --mag) value = divide ? value / powers[8] : value * powers[8];
    return value;
}

namespace {
int digitvalue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

void lexreal(Parser& P, Token& slot, const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    while (p < end && std::isdigit(static_cast<unsigned char>(*p))) ++p;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && std::isdigit(static_cast<unsigned char>(*p))) ++p;
    }
    bool bad = false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-')) ++p;
        // "1e", "1e+" and also "1ef": an exponent needs a digit.
        if (p == end || !std::isdigit(static_cast<unsigned char>(*p))) {
            putdiag(P, "missing exponent in real");
            bad = true;
        } else {
            const char* d = p;
            long exponent = 0;
            while (p < end && std::isdigit(static_cast<unsigned char>(*p))) {
                if (exponent <= 100000) exponent = exponent * 10 + (*p - '0');
                ++p;
            }
            if (p > d && exponent > 310) {
                putdiag(P, "exponent overflow in real");
                bad = true;
            }
        }
    }
    std::string number(text, p);
    uint16_t code = tok::DoubleConst;
    if (p < end) {
        char s = *p++;
        bool suffix = s == 'f' || s == 'F' || s == 'l' || s == 'L';
        if (s == 'f' || s == 'F') code = tok::FloatConst;
        if (!suffix || p != end) putdiag(P, "bad real constant %.*s", static_cast<int>(length), text);
    }
    if (P.opt.f && code == tok::DoubleConst) code = tok::FloatConst;
    // strtod reads in the C locale (the program never changes it) and rounds
    // correctly, which repeated multiplication by powers of ten does not.
    double value = std::strtod(number.c_str(), nullptr);
    if (std::isinf(value) && !bad) putdiag(P, "real constant out of range");
    unsigned char bytes[sizeof(double)];
    std::memcpy(bytes, &value, sizeof value);
    slot.code = code;
    slot.lit = internliteral(P, bytes, sizeof bytes);
}
}  // namespace

void lexnumber(Parser& P, Token& slot, const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    int base = 10;
    if (length >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (length >= 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) {
        base = 2;
        p += 2;
    } else if (std::memchr(text, '.', length) || std::memchr(text, 'e', length) || std::memchr(text, 'E', length)) {
        lexreal(P, slot, text, length);
        return;
    } else if (text[0] == '0') {
        base = 8;
    }
    const char* digits = p;
    uint64_t value = 0;
    bool toolarge = false;
    while (p < end && digitvalue(*p) < base) {
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digitvalue(*p));
        if (value > 0xFFFFFFFFu) {
            if (!toolarge) putdiag(P, "integer constant too large");
            toolarge = true;
            value &= 0xFFFFFFFFu;
        }
        ++p;
    }
    if (p == digits && base == 16) putdiag(P, "invalid hexadecimal number");
    if (p == digits && base == 2) putdiag(P, "invalid binary number");
    bool usuffix = false, lsuffix = false;
    while (p < end) {
        if ((*p == 'u' || *p == 'U') && !usuffix) {
            usuffix = true;
            ++p;
        } else if ((*p == 'l' || *p == 'L') && !lsuffix) {
            lsuffix = true;
            p += (p + 1 < end && p[1] == p[0]) ? 2 : 1;
        } else {
            break;
        }
    }
    if (p < end) putdiag(P, "bad integer constant %.*s", static_cast<int>(length), text);
    uint32_t v = static_cast<uint32_t>(value);
    if (usuffix)
        slot.code = tok::UIntConst;
    else if (v == 0x80000000u)
        slot.code = tok::MinIntConst;
    else if (v & 0x80000000u)
        slot.code = tok::UIntConst;
    else
        slot.code = tok::IntConst;
    slot.ival = static_cast<int32_t>(v);
}

// ---- characters and strings ----

uint32_t escapevalue(Parser& P, const char*& pos, const char* end) {
    const char* p = pos + 1;  // after the backslash
    if (p >= end) {
        pos = p;
        return '\\';
    }
    char c = *p;
    uint32_t value = 0;
    if (c == 'x' || c == 'X') {
        ++p;
        const char* d = p;
        bool toolarge = false;
        while (p < end && std::isxdigit(static_cast<unsigned char>(*p))) {
            if (value > 0x0FFFFFFFu) toolarge = true;
            value = (value << 4) | static_cast<uint32_t>(digitvalue(*p));
            ++p;
        }
        if (value > 0x0FFFFFFFu) toolarge = true;
        if (p == d) putdiag(P, "invalid hexadecimal character");
        if (toolarge) putdiag(P, "hexadecimal constant too large");
    } else if (c >= '0' && c <= '7') {
        for (int i = 0; i < 3 && p < end && *p >= '0' && *p <= '7'; ++i) value = value * 8 + static_cast<uint32_t>(*p++ - '0');
    } else {
        static const char from[] = "\"'?\\abfnrtv";
        static const uint8_t to[] = {0x22, 0x27, 0x3F, 0x5C, 7, 8, 12, 10, 13, 9, 11};
        const char* f = c ? std::strchr(from, c) : nullptr;
        if (f) {
            value = to[f - from];
            ++p;
        } else {
            value = '\\';  // the next character is read as an ordinary one
        }
    }
    pos = p;
    return value;
}

void charconst(Parser& P, Token& slot, const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    if (p < end && *p == 'L') ++p;
    if (p < end) ++p;  // the quote
    uint32_t value = 0;
    while (p < end && *p != '\'') {
        uint32_t c = *p == '\\' ? escapevalue(P, p, end) : static_cast<unsigned char>(*p++);
        value = (value << 8) + (c & 0xff);
    }
    if (value < 256 && (value & 0x80) && !P.opt.u) value |= 0xFFFFFF00u;
    slot.code = tok::IntConst;
    slot.ival = static_cast<int32_t>(value);
}

std::vector<unsigned char> stringbytes(Parser& P, const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    if (p < end && *p == 'L') ++p;
    if (p < end) ++p;
    std::vector<unsigned char> bytes;
    while (p < end && *p != '"') {
        uint32_t c = *p == '\\' ? escapevalue(P, p, end) : static_cast<unsigned char>(*p++);
        bytes.push_back(static_cast<unsigned char>(c & 0xff));
    }
    return bytes;
}

void stringliteral(Parser& P, Token& slot, const char* text, size_t length) {
    // Converted into a buffer of its own: the token's text may be a macro's
    // replacement text, which is read again at the next use.
    std::vector<unsigned char> bytes = stringbytes(P, text, length);
    slot.code = tok::String;
    slot.lit = internliteral(P, bytes.data(), bytes.size());
}

}  // namespace cpppc

// The intermediate file format library: field encodings, record layouts, the
// text form and its parser, and the argument-register rule.
#include <cmath>
#include <cstring>
#include <random>
#include <set>

#include "harness.h"

namespace cgtest {
namespace {

std::string hexbytes(std::string_view hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 3) out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return out;
}

TEST(Format, AssignmentExampleDecodesAndEncodes) {
    // the statement g = 1 for a global int g, as bytes
    std::string bytes = hexbytes("96 88 06 00 06 02 00 00 81 67 00 00 00 00 00 01 00 06 00 00 00 01 00 00 00 00 00 ");
    ir::MemoryInput in(bytes);
    ir::Record r = ir::readrecord(in.u8(), in);
    EXPECT_TRUE(in.atend());
    const char* text = "(= int (leaf int [0 0x81 \"g\"] 0 0 1) (leaf int [0] 1 0 0))";
    EXPECT_EQ(ir::printtree(*r.fields[0].tree), text);
    ir::File f = ir::parsetext(std::string(kHeader) + "150 " + text + "\n");
    std::string again = ir::encodefile(f);
    EXPECT_EQ(again.substr(again.size() - bytes.size()), bytes);
}

TEST(Format, FieldsAreLittleEndian) {
    ir::StringOutput out;
    out.u16(0x1234);
    out.u32(0x89ABCDEF);
    out.u64(0x3FF0000000000000ull);
    EXPECT_EQ(out.data, std::string("\x34\x12\xEF\xCD\xAB\x89\0\0\0\0\0\0\xF0\x3F", 14));
    ir::MemoryInput in(out.data);
    EXPECT_EQ(in.u16(), 0x1234);
    EXPECT_EQ(in.u32(), 0x89ABCDEFu);
    EXPECT_EQ(in.u64(), 0x3FF0000000000000ull);
}

TEST(Format, NameBlocksAndTypes) {
    ir::StringOutput out;
    out.name(ir::NameBlock{});
    out.name(ir::NameBlock::label(0x1234));
    out.name(ir::NameBlock::named(ir::NK_DATA, "g"));
    EXPECT_EQ(out.data, std::string("\0\0\0" "\0\x34\x12" "\x02\0\0\x81g", 11));
    struct Case {
        ir::TypeDescriptor t;
        const char* text;
        size_t size;
    } cases[] = {
        {ir::TypeDescriptor::of(ir::T_INT), "int", 1},
        {ir::TypeDescriptor::of(ir::T_CHAR, 0x8000), "char/0x8000", 3},
        {[] { auto t = ir::TypeDescriptor::of(ir::T_POINTER); t.ptrattr = 0x3000; return t; }(), "ptr>0x3000", 3},
        {[] { auto t = ir::TypeDescriptor::of(ir::T_INTBITS); t.bitpos = 4; t.bitwidth = 3; return t; }(), "ibits:4:3", 3},
        {[] { auto t = ir::TypeDescriptor::of(ir::T_STRUCT); t.size = 12; return t; }(), "struct=12", 5},
        {[] { ir::TypeDescriptor t; t.code = 0x80 | 0x10 | ir::T_UINT; return t; }(), "uint/0x0+0x10", 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ir::printtype(c.t), c.text);
        ir::StringOutput o;
        o.type(c.t);
        EXPECT_EQ(o.data.size(), c.size) << c.text;
        ir::MemoryInput in(o.data);
        EXPECT_EQ(in.type(), c.t) << c.text;
        std::string line = std::string(kHeader) + "217 " + c.text + " 0 0\n";
        EXPECT_EQ(ir::parsetext(line).records[0].fields[0].type, c.t) << c.text;
    }
}

// One line of every record, in the text form; printing what it decodes to
// gives the same line.
const char* kEveryRecord =
    "0\n"
    "19 [0 0x0 \"t.c\\0src/\"]\n"
    "20 12\n"
    "204 0x8800 \"code2\"\n"
    "204 0x0 \"\"\n"
    "203 \"\\tnop\\n\"\n"
    "186 [0 0x0 \"dir\"]\n"
    "132 [0 0x84 \"main\"] 0x3800 0\n"
    "144 [0 0x86 \"f\"] 0x3800 12\n"
    "134 [2 0x84 \"g\"] 0x7800 0\n"
    "131 2 [0 0x81 \"x\"]\n"
    "199 1 0x8000 [5 0x81 \"s\"]\n"
    "184 0 0x0 [7]\n"
    "201 0 [0 0x91 \"port\"] 0xFFFF0000\n"
    "137 4 -1\n"
    "133 8 0.1\n"
    "133 4 0x7FF8000000000001\n"
    "148 \"a\\x01\\xFF\"\n"
    "147 100\n"
    "192 [0 0x81 \"g\"] -4\n"
    "197 [0] 7\n"
    "200 [9] 0\n"
    "210\n"
    "187 \"#NAME\"\n"
    "213 0 [11]\n"
    "214 0 [0 0x0 \"t.c~main\"]\n"
    "215 0 [0 0x0 \"t.c\"]\n"
    "251 3 9\n"
    "254 \"raw;text\"\n"
    "217 double 4 6\n"
    "218 12\n"
    "129 -40\n"
    "145 0x3FFFE 0x0 1\n"
    "140 3 0\n"
    "140 5 7 1\n"
    "130 9 8 0\n"
    "139 3\n"
    "141 5 (leaf int [0] -4 4 1) (leaf int [0] 10 0 0)\n"
    "135 5 (leaf uint [0] 0 5 0) (leaf uint [0] 0 6 0)\n"
    "136 5 (leaf char [0] 0 5 0) (leaf char [0] 1 0 0)\n"
    "142 5 (leaf short [0] 0 5 0) (leaf short [0] 1 0 0)\n"
    "138 5 (leaf ptr>0x3000 [0] 0 5 0) (leaf ptr>0x3000 [0] 0 0 0)\n"
    "143 5 (leaf int [0] 0 5 0) (leaf int [0] 1 0 0)\n"
    "150 (callargs int/0xC000 (leaf ptr>0x3800 [0 0x84 \"f\"] 0 0 0) (arg int (leaf int [0] 1 0 0) "
    "(arg int (leaf double [13] 0 0 1) (leaf int [0] 3 0 0))))\n"
    "150 (?: int (< int (leaf int [0] 0 5 0) (leaf int [0] 3 0 0)) (leaf int [0] 1 0 0) (leaf int [0] 2 0 0))\n"
    "150 (asmargs int (leaf int [0 0x84 \"_asm\"] 0 0 0) \"mr r3,r4\\0\" (leaf int [0] 1 0 0))\n"
    "150 (asm int (leaf int [0 0x84 \"_asm\"] 0 0 0) \"nop\\0\")\n"
    "150 (42 ibits:3:5 (leaf struct=8 [0] 0 4 1))\n"
    "146\n"
    "190 13\n"
    "149 13\n"
    "189 13\n"
    "185 0 13 15 9 4\n"
    "205 3 -1 17 15 19\n"
    "207 100 4 21\n"
    "206 2 -5 23 70000 25\n"
    "151\n"
    "188 3 1 4 20\n"
    "194 27 1 (leaf int [0] 0 5 0)\n"
    "194 27 0\n"
    "211\n"
    "208\n"
    "209\n";

TEST(Format, EveryRecordPrintsAsItReads) {
    std::string text = std::string(kHeader) + kEveryRecord;
    ir::File f = ir::parsetext(text);
    std::string bytes = ir::encodefile(f);
    ir::File back = ir::decodefile(bytes);
    EXPECT_EQ(ir::printtext(back), "header 0xCB 0x0C 0x00 0xFF 0x12 \"cpppc\" \"V4.10.10\" \"24 Aug 2012\"\n" +
                                       std::string(kEveryRecord));
    EXPECT_EQ(ir::encodefile(ir::parsetext(ir::printtext(back, {true}))), bytes) << "offsets are ignored";
    // every record code has a line
    size_t codes = 0;
    for (int c = 0; c < 256; ++c) codes += ir::recordlayout(static_cast<uint8_t>(c)) != nullptr;
    std::set<uint8_t> seen;
    for (const ir::Record& r : back.records) seen.insert(r.code);
    EXPECT_EQ(seen.size(), codes);
}

TEST(Format, DoublesKeepTheirBits) {
    for (uint64_t bits : {0x0ull, 0x8000000000000000ull, 0x7FF0000000000000ull, 0xFFF0000000000000ull,
                          0x7FF8000000000001ull, 0x3FB999999999999Aull, 0x0000000000000001ull}) {
        ir::File f;
        f.header.bytes = {0xCB, 0x0C, 0, 0xFF, 0x12};
        ir::Record r;
        r.code = ir::R_DOUBLE;
        r.fields.resize(2);
        r.fields[0].num = 8;
        r.fields[1].num = bits;
        f.records.push_back(std::move(r));
        ir::File back = ir::parsetext(ir::printtext(f));
        EXPECT_EQ(back.records[0].fields[1].num, bits) << ir::printtext(f);
    }
}

TEST(Format, DecodingFaultsNameTheOffset) {
    std::string good = irbytes(std::string(kHeader) + "150 (= int (leaf int [0 0x81 \"g\"] 0 0 1) (leaf int [0] 1 0 0))\n");
    try {
        ir::decodefile(good.substr(0, good.size() - 3));
        FAIL() << "a truncated file decodes";
    } catch (const ir::DecodeError& e) {
        EXPECT_EQ(e.offset, good.size() - 3);
        EXPECT_EQ(e.message, "unexpected end of file");
    }
    try {
        ir::decodefile(good + "\x4D");
        FAIL();
    } catch (const ir::DecodeError& e) {
        EXPECT_EQ(e.message, "unknown record code 77");
        EXPECT_EQ(e.offset, good.size() + 1);
    }
    // a chain of negations deeper than any expression
    std::string deep = std::string("\x96");
    for (int i = 0; i < ir::kMaxTreeDepth + 5; ++i) deep += "\x6C\x06";
    try {
        ir::decodefile(good + deep);
        FAIL();
    } catch (const ir::DecodeError& e) {
        EXPECT_EQ(e.message, "expression tree too deep");
    }
}

TEST(Format, TextErrorsNameTheLine) {
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"137 4\n", "the line ends too early"},
        {"137 256 0\n", "bad byte: 256"},
        {"137 4 0x100000000\n", "bad 32-bit number: 0x100000000"},
        {"20 -1\n", "bad 32-bit number: -1"},
        {"140 3 7\n", "the line ends too early"},
        {"140 3 0 1\n", "unexpected text after the record: 1"},
        {"205 3 0 5 7\n", "the line ends too early"},
        {"217 int8 0 0\n", "unknown type: int8"},
        {"217 ptr 0 0\n", "type fields do not fit its code: ptr"},
        {"217 int>0x3000 0 0\n", "type fields do not fit its code: int>0x3000"},
        {"150 (leaf int [0] 1 0)\n", "expected a number"},
        {"150 (plus int (leaf int [0] 1 0 0))\n", "unknown operator: plus"},
        {"148 \"abc\n", "unterminated text"},
        {"148 \"\\q\"\n", "unknown escape \\q"},
        {"77\n", "unknown record code 77"},
        {"19 [0 0 \"x\"] extra\n", "unexpected text after the record: extra"},
    };
    for (const Case& c : cases) {
        try {
            ir::parsetext(std::string(kHeader) + "# a comment\n" + c.text);
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const ir::TextError& e) {
            EXPECT_EQ(e.line, 3) << c.text;
            std::string want = c.message;
            if (want == "expected a number") {
                EXPECT_NE(e.message.find("expected"), std::string::npos) << e.message;
            } else {
                EXPECT_EQ(e.message, want) << c.text;
            }
        }
    }
    std::string longname(255, 'n');
    EXPECT_THROW(ir::parsetext(std::string(kHeader) + "186 [0 0 \"" + longname + "\"]\n"), ir::TextError);
    EXPECT_NO_THROW(ir::parsetext(std::string(kHeader) + "186 [0 0 \"" + longname.substr(1) + "\"]\n"));
    EXPECT_THROW(ir::parsetext("20 1\n"), ir::TextError);
    EXPECT_THROW(ir::parsetext("header 0xCB 0x0C\n"), ir::TextError) << "a 2-byte header is an analyser file";
    EXPECT_NO_THROW(ir::parsetext("header 0xCA 0x13\n20 1\n"));
}

// Random bytes after a valid header: whatever decodes prints and reads back
// to the same bytes.
TEST(Format, DecodableBytesRoundTrip) {
    std::mt19937 rng(20);
    std::string head = irbytes(kHeader);
    std::vector<uint8_t> codes;
    for (int c = 0; c < 256; ++c)
        if (ir::recordlayout(static_cast<uint8_t>(c))) codes.push_back(static_cast<uint8_t>(c));
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = head;
        bytes += static_cast<char>(codes[rng() % codes.size()]);
        int n = static_cast<int>(rng() % 24);
        for (int i = 0; i < n; ++i) bytes += static_cast<char>(rng() % 4 ? rng() % 8 : rng() % 256);
        ir::File f;
        try {
            f = ir::decodefile(bytes);
        } catch (const ir::DecodeError&) {
            continue;
        }
        ++decoded;
        EXPECT_EQ(ir::encodefile(f), bytes);
        std::string text = ir::printtext(f);
        EXPECT_EQ(ir::encodefile(ir::parsetext(text)), bytes) << text;
    }
    EXPECT_GT(decoded, 100);
}

struct ArgCase {
    const char* what;
    bool floatregs, single, variadic;
    std::vector<uint8_t> types;
    std::vector<std::string> places;
};

std::string placetext(ir::ArgPlace p) {
    switch (p.kind) {
        case ir::ArgPlace::Gpr: return "r" + std::to_string(3 + p.index);
        case ir::ArgPlace::GprPair: return "r" + std::to_string(3 + p.index) + ":r" + std::to_string(4 + p.index);
        case ir::ArgPlace::Fpr: return "fr" + std::to_string(1 + p.index);
        default: return "stack";
    }
}

TEST(Format, ArgumentRegistersFollowOneRule) {
    using namespace ir;
    std::vector<ArgCase> cases = {
        {"int, double, int", false, false, false, {T_INT, T_DOUBLE, T_INT}, {"r3", "r4:r5", "r6"}},
        {"7 ints, a double, an int", false, false, false,
         {T_INT, T_INT, T_INT, T_INT, T_INT, T_INT, T_INT, T_DOUBLE, T_INT},
         {"r3", "r4", "r5", "r6", "r7", "r8", "r9", "stack", "stack"}},
        {"a struct first", false, false, false, {T_STRUCT, T_INT}, {"stack", "stack"}},
        {"nine ints", false, false, false, {T_INT, T_INT, T_INT, T_INT, T_INT, T_INT, T_INT, T_INT, T_INT},
         {"r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10", "stack"}},
        {"char, short, pointer", false, false, false, {T_CHAR, T_USHORT, T_POINTER}, {"r3", "r4", "r5"}},
        {"a float is widened", false, false, false, {T_FLOAT, T_INT}, {"r3:r4", "r5"}},
        {"single precision", false, true, false, {T_FLOAT, T_DOUBLE, T_INT}, {"r3", "r4", "r5"}},
        {"float registers, four at most", true, false, false,
         {T_DOUBLE, T_FLOAT, T_DOUBLE, T_DOUBLE, T_DOUBLE, T_INT},
         {"fr1", "fr2", "fr5", "fr6", "r3:r4", "r5"}},
        {"variadic", false, false, true, {T_INT, T_INT}, {"stack", "stack"}},
    };
    for (const ArgCase& c : cases) {
        ArgRegs regs(c.floatregs, c.single, c.variadic);
        std::vector<std::string> got;
        for (uint8_t t : c.types) got.push_back(placetext(regs.next(t)));
        EXPECT_EQ(got, c.places) << c.what;
    }
    ArgRegs fr(true, false, false);
    std::vector<int> masks;
    for (int i = 0; i < 5; ++i) {
        masks.push_back(fr.floatmask());
        fr.next(T_DOUBLE);
    }
    EXPECT_EQ(masks, (std::vector<int>{0xFF, 0xFA, 0xF0, 0xA0, 0}));
}

}  // namespace
}  // namespace cgtest

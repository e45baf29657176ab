// The intermediate file: the binary record stream from the C parser to the
// code generator, defined once here for its writer, its reader and the
// developer tools that print and assemble it.
//
// A file is a five-byte header with counted header strings, then records: a
// code byte and its fields, packed, every 16- and 32-bit field little-endian,
// a double as its 8 IEEE bytes little-endian. Expressions are prefix-coded
// trees whose operator code alone says how many subtrees follow. Each record's
// fields are described once, as a row of field kinds (recordlayout), so that
// decoding, encoding, printing and the text form all follow one table.
//
// The text form (printtext / parsetext) has one record per line: the record
// code, then its fields in file order. Numbers are decimal or 0x hex (signed
// fields may be negative); texts are double-quoted with \" \\ \n \t \0 and
// \xNN escapes; a name block is [number] or [number kind "name"]; a type is
// a name (char uchar short sbits ushort int ibits uint float double ptr real
// cbits struct, or tN) with the suffixes /attr (attribute word follows),
// >ptrattr (pointer), :pos:width (bit-field), =size (struct) and +bits
// (stray bits 4-6 of the code byte), in that order; a tree is
// (leaf TYPE NAME VALUE STORAGE FLAG) or (OP TYPE subtrees...) with OP an
// operator name (+ - * / = ?: call arg ...) or its code; the asm operators
// carry their raw text bytes between the left and right subtrees. A double
// is written in decimal, or as 0x and its 16 hex bit digits when decimal
// cannot carry it (NaN payloads). The first line is
// "header B0 B1 B2 B3 B4 "string"..." (just two bytes for an analyser file).
// "#" starts a comment; a leading "hex-offset:" on a line is ignored.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ir {

// ---- header ----
constexpr uint8_t kMagic = 0xCB;         // first byte of a file for the generator
constexpr uint8_t kTargetPPC = 0x0C;     // target byte
constexpr uint8_t kTargetBadBits = 0xE3; // bits the generator refuses in the target byte
constexpr uint8_t kGeneration = 0xFF;    // parser generation
constexpr uint8_t kRevision = 0x12;      // format revision (not checked)
constexpr uint8_t kAnalyserMagic = 0xCA; // analyser files: CA 13, no strings
constexpr uint8_t kAnalyserSecond = 0x13;

// Flag bits of header byte 2.
enum HeaderFlag : uint8_t {
    HF_SINGLE = 0x01,      // -f: double has the size and format of float
    HF_NOPROMOTE = 0x02,   // char and short arguments keep their size
    HF_DEBUG = 0x04,       // -x
    HF_DEBUGDATA = 0x08,   // -xd
    HF_FLOATREGS = 0x10,   // -fr
    HF_SPARE = 0x20,
};

// ---- attribute words ----
enum Attr : uint16_t {
    A_CONST = 0x8000,      // constant data; on a call: tail position
    A_VOLATILE = 0x4000,   // on 134: variable arguments; on a call: arguments beyond the prototype
    A_SPACE = 0x3000,      // two-bit space field
    A_TINY = 0x1000,
    A_NEAR = 0x2000,
    A_FAR = 0x3000,
    A_FUNCTION = 0x0800,
    A_NOSTACK = 0x0400,
    A_INLINE = 0x0200,
    A_PACKED = 0x0100,
    A_USERSPACES = 0x00FF, // the n-th 186 record owns 0x80 >> (n - 1)
};

// ---- name blocks ----
enum NameKind : uint8_t {
    NK_DATA = 0x81,
    NK_FUNCTION = 0x84,
    NK_FUNCDOUBLE = 0x85,
    NK_FUNCSTRUCT = 0x86,
    NK_FAR = 0x08,         // added: the symbol's space is far
    NK_ABSOLUTE = 0x10,    // added: placed at an absolute address
    NK_FILE = 0x00,        // a file or space name
};

// A symbol, label, file or space name. In the file: count (0, or the name's
// length + 1), a 16-bit number, and when count > 0 the kind and the name.
struct NameBlock {
    bool present = false;  // count > 0: kind and name follow
    uint16_t number = 0;   // a label or function number; 0 none
    uint8_t kind = 0;
    std::string name;      // may hold NUL bytes (a file name with -xp)

    static NameBlock label(uint16_t n) { return NameBlock{false, n, 0, {}}; }
    static NameBlock named(uint8_t kind, std::string name, uint16_t n = 0) {
        return NameBlock{true, n, kind, std::move(name)};
    }
    bool operator==(const NameBlock&) const = default;
};
constexpr size_t kMaxName = 254;  // count = length + 1 must fit a byte

// ---- types ----
enum TypeCode : uint8_t {
    T_NONE = 0, T_CHAR = 1, T_UCHAR = 2, T_SHORT = 3, T_SHORTBITS = 4, T_USHORT = 5, T_INT = 6,
    T_INTBITS = 7, T_UINT = 8, T_FLOAT = 9, T_DOUBLE = 10, T_POINTER = 11, T_OTHERFLOAT = 12,
    T_CHARBITS = 13, T_STRUCT = 14,
};
constexpr uint8_t kTypeHasAttr = 0x80;  // bit 7 of the code byte

bool isbitfieldcode(uint8_t typecode);

// The type of a tree node, a register parameter or an object.
struct TypeDescriptor {
    uint8_t code = 0;        // the code byte: bits 0-3 type code, bit 7 attribute word follows
    uint16_t attr = 0;       // when bit 7 is set
    uint16_t ptrattr = 0;    // type 11: the target's attribute word
    uint8_t bitpos = 0;      // types 4, 7, 13
    uint8_t bitwidth = 0;
    uint32_t size = 0;       // type 14

    uint8_t typecode() const { return code & 0x0F; }
    bool hasattr() const { return (code & kTypeHasAttr) != 0; }
    // The descriptor a writer makes: bit 7 exactly when the word is not 0.
    static TypeDescriptor of(uint8_t typecode, uint16_t attr = 0) {
        TypeDescriptor t;
        t.code = static_cast<uint8_t>(typecode | (attr ? kTypeHasAttr : 0));
        t.attr = attr;
        return t;
    }
    bool operator==(const TypeDescriptor&) const = default;
};

// ---- storage codes of a leaf ----
enum Storage : uint8_t {
    S_STATIC = 0,     // named symbol, literal or constant
    S_RESULT = 1,     // the function result
    S_SWITCH = 2,     // the switch value
    S_PARAM = 3,      // a parameter in its stack slot
    S_LOCAL = 4,      // a local in the frame
    S_REGFIRST = 5,   // 5..40: register number (1..36) + 4
    S_REGLAST = 40,
};
// Register numbers: 1..18 are r31..r14, 19..36 are f31..f14.
inline int regnumbergpr(int number) { return 32 - number; }    // r(32 - n)
inline int regnumberfpr(int number) { return 50 - number; }    // f(50 - n)

// ---- operator codes ----
enum Op : uint8_t {
    O_LEAF = 0,
    O_ADD = 222, O_SUB = 216, O_MUL = 226, O_DIV = 133, O_MOD = 153, O_SHL = 151, O_SHR = 160,
    O_AND = 193, O_XOR = 163, O_OR = 156,
    O_LT = 149, O_GE = 144, O_GT = 143, O_LE = 150, O_EQ = 148, O_NE = 155,
    O_ADDASG = 142, O_SUBASG = 139, O_MULASG = 145, O_DIVASG = 135, O_MODASG = 140,
    O_SHLASG = 137, O_SHRASG = 138, O_ANDASG = 134, O_XORASG = 146, O_ORASG = 141,
    O_ANDAND = 130, O_OROR = 157, O_ASSIGN = 136, O_COMMA = 168, O_COND = 159,
    O_POSTINC = 170, O_POSTDEC = 167,
    O_NEG = 108, O_IND = 107, O_ADDR = 100, O_NOT = 90, O_COMPL = 67, O_CAST = 102,
    O_CALL = 105, O_CALLARGS = 169, O_ARG = 165, O_ASM = 113, O_ASMARGS = 180,
    O_NEGSELF = 114, O_COMPLSELF = 115,
};
// How many subtrees follow an operator: 1 below 128, 2 from 128, 3 for ?:.
inline bool hasright(uint8_t op) { return (op & 0x80) != 0; }
inline bool hastext(uint8_t op) { return op == O_ASM || op == O_ASMARGS; }

// ---- record codes ----
enum Rec : uint8_t {
    // top level (also accepted inside a function body)
    R_STOP = 0,          // where a top-level record is expected: ends the unit
    R_FILE = 19, R_LINE = 20, R_SECTION = 204, R_ASMTEXT = 203, R_SPACE = 186,
    R_PUBLIC = 132, R_EXTERN = 144, R_FUNCTION = 134,
    R_DATA = 131, R_DATAATTR = 199, R_LITERAL = 184, R_ABSOLUTE = 201,
    R_VALUE = 137, R_DOUBLE = 133, R_BYTES = 148, R_ZEROS = 147,
    R_ADDR16 = 192, R_ADDR8 = 197, R_ADDR32 = 200, R_ENDDATA = 210,
    R_DSTRING = 187, R_DLABEL = 213, R_DFUNC = 214, R_DFILE = 215, R_FUNCLINES = 251,
    R_RAWASM = 254,
    // function body
    R_PARAM = 217, R_PARAMSIZE = 218, R_FRAMELOW = 129, R_REGMASKS = 145,
    R_LABEL = 140, R_KEPTLABEL = 130, R_JUMP = 139,
    R_BLT = 141, R_BGE = 135, R_BGT = 136, R_BLE = 142, R_BEQ = 138, R_BNE = 143,
    R_EXPR = 150, R_RETURN = 146, R_SWITCH1 = 190, R_SWITCH2 = 149, R_SWITCH4 = 189,
    R_SWITCHTABLES = 185, R_JUMPTABLE = 205, R_RANGE = 207, R_CASES = 206, R_TABLESEND = 151,
    R_SRCRANGE = 188, R_LOOP = 194, R_ENDFUNC = 211, R_IGNORED1 = 208, R_IGNORED2 = 209,
};

// ---- trees ----
struct Tree {
    uint8_t op = 0;
    TypeDescriptor type;
    // leaf
    NameBlock name;
    int32_t value = 0;
    uint8_t storage = 0;
    uint8_t flag = 0;       // 1: the contents; 0: the address or the constant
    // operator
    std::unique_ptr<Tree> left, middle, right;
    std::string text;       // 113, 180: the bytes after the length byte (a writer ends them with NUL)

    bool isleaf() const { return op == O_LEAF; }
};
bool equaltree(const Tree& a, const Tree& b);  // every field equal, subtrees too
std::unique_ptr<Tree> leaf(TypeDescriptor type, NameBlock name, int32_t value, uint8_t storage, uint8_t flag);
std::unique_ptr<Tree> node(uint8_t op, TypeDescriptor type, std::unique_ptr<Tree> left,
                           std::unique_ptr<Tree> right = nullptr);

// Deeper trees than this are refused: no C expression comes near, and the
// readers and generators that walk trees recurse.
constexpr int kMaxTreeDepth = 2000;

// ---- byte streams ----
enum class Fault { Eof, TreeTooDeep, UnknownRecord, BadText };
const char* faulttext(Fault f);

// A byte source. Every reader of the format pulls bytes through it; what
// happens on a fault is the owner's (the generator panics, the tools report
// the offset).
class Input {
public:
    virtual ~Input() = default;
    virtual int get() = 0;                        // the next byte, -1 at the end
    [[noreturn]] virtual void fail(Fault f, std::string detail) = 0;

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    uint64_t u64();
    std::string bytes(size_t n);
    std::string text8();                          // length byte, then that many bytes
    NameBlock name();
    TypeDescriptor type();
    std::unique_ptr<Tree> tree(int depth = 0);
};

// A byte sink; every writer of the format pushes bytes through it.
class Output {
public:
    virtual ~Output() = default;
    virtual void put(uint8_t b) = 0;

    void u8(uint8_t v) { put(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void u64(uint64_t v);
    void bytes(std::string_view b);
    void text8(std::string_view t);               // t.size() must be at most 255
    void name(const NameBlock& n);                // n.name.size() must be at most kMaxName
    void type(const TypeDescriptor& t);
    void tree(const Tree& t);
};

struct DecodeError {
    size_t offset;          // where the fault was met
    std::string message;
};

// Input over a block of memory; faults throw DecodeError.
class MemoryInput : public Input {
public:
    explicit MemoryInput(std::string_view data) : data_(data) {}
    int get() override { return pos_ < data_.size() ? static_cast<unsigned char>(data_[pos_++]) : -1; }
    [[noreturn]] void fail(Fault f, std::string detail) override;
    size_t offset() const { return pos_; }
    bool atend() const { return pos_ >= data_.size(); }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

// Output into a string.
class StringOutput : public Output {
public:
    void put(uint8_t b) override { data.push_back(static_cast<char>(b)); }
    std::string data;
};

// ---- record layouts ----
enum class Field : uint8_t {
    U8, U16, U32, S32, HEX16, HEX32, F64,   // numbers (HEX*: attribute words and masks)
    NAME, TYPE, TEXT8, TEXT16, TREE,
    MARK,       // a byte present only when the preceding 32-bit line is not 0
    LOOPTREE,   // a byte flag; a tree follows when it is not 0
    LABELS,     // as many 16-bit labels as the first field (a 16-bit count) says
    CASES,      // as many (32-bit value, 16-bit label) pairs as the first field says
};

struct Layout {
    uint8_t code;
    const char* what;      // a short description (printed by the tools)
    std::vector<Field> fields;
};
// The layout of a record code, or nullptr when the code is not a record.
const Layout* recordlayout(uint8_t code);

// One field's value: which member holds it depends on its kind.
struct FieldValue {
    uint64_t num = 0;                 // numbers, MARK, LOOPTREE flag; F64: the double's bits
    bool present = true;              // MARK: written or not
    NameBlock name;
    TypeDescriptor type;
    std::string text;
    std::unique_ptr<Tree> tree;       // TREE, LOOPTREE
    std::vector<uint32_t> list;       // LABELS: labels; CASES: value, label, value, label...
};

struct Record {
    uint8_t code = 0;
    std::vector<FieldValue> fields;
    size_t offset = 0;                // where the record began (set by decodefile)
};

// Reads the fields of a record whose code has been read.
Record readrecord(uint8_t code, Input& in);
void writerecord(const Record& r, Output& out);

struct Header {
    std::vector<uint8_t> bytes;       // 5 bytes, or 2 for an analyser file
    std::vector<std::string> strings; // header strings (not for an analyser file)
};
Header readheader(Input& in);
void writeheader(const Header& h, Output& out);

struct File {
    Header header;
    std::vector<Record> records;
};
// Decodes a whole file; throws DecodeError.
File decodefile(std::string_view bytes);
std::string encodefile(const File& f);

// ---- text form ----
struct TextOptions {
    bool offsets = false;  // prefix each line with its byte offset
};
std::string printtext(const File& f, const TextOptions& opt = {});
std::string printtree(const Tree& t);
std::string printtype(const TypeDescriptor& t);
std::string printname(const NameBlock& n);
std::string printquoted(std::string_view bytes);

struct TextError {
    int line;
    std::string message;
};
// Parses the text form into a file; throws TextError.
File parsetext(std::string_view text);

// Names of operator and type codes in the text form (nullptr when unnamed).
const char* opname(uint8_t op);
const char* typecodename(uint8_t typecode);

// ---- argument registers ----
// Where a parameter arrives and where a caller passes the argument: the one
// rule for both sides. Arguments are taken in order; integer values take the
// lowest free of r3..r10, a double two adjacent ones; with float registers
// floating values take fr registers at positions k and k + 2 (so at most
// four); the first argument that finds no register, and every one after it,
// goes on the stack, as do all of them for a variadic function.
struct ArgPlace {
    enum Kind : uint8_t { Stack, Gpr, GprPair, Fpr } kind = Stack;
    uint8_t index = 0;    // Gpr, GprPair: r(3 + index) (a pair: and the one after it); Fpr: fr(1 + index)
};

class ArgRegs {
public:
    // floatregs: the -fr rule; single: float and double are one 4-byte kind
    // (-f); variadic: nothing in registers.
    ArgRegs(bool floatregs, bool single, bool variadic);
    // The place of the next argument of a file type code (1..14, char and
    // short promoted like int, a pointer like unsigned int).
    ArgPlace next(uint8_t typecode);
    uint8_t intmask() const { return intfree_; }    // bit n: r(3 + n) still free
    uint8_t floatmask() const { return floatfree_; }

private:
    uint8_t intfree_;
    uint8_t floatfree_;
    bool single_;
    bool exhausted_ = false;
};

}  // namespace ir

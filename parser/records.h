// The parser's records: Symbol (every named thing), TypeNode (one step of a
// type), StmtNode (one statement) and ExprNode (one expression node), with
// the codes and bits they carry. Records come from the pools and free lists
// of symbols.cpp and are never given back to the heap while a run lasts.
//
// Where one field of the classic layout held either a number or a pointer,
// the record has one field per meaning, so no pointer is ever squeezed into
// 32 bits: a TypeNode's detail is a number (attribute word, count, bit-field
// place) while its parameter list and tag symbol have fields of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace cpppc {

struct Symbol;
struct TypeNode;
struct StmtNode;
struct ExprNode;
struct Literal;
struct SourceFile;
struct TokenRecording;  // the recorded body of an inline function
struct Token;

// Storage classes: the token codes of the keywords, and internal classes.
namespace sc {
constexpr uint8_t None = 0;        // file-level definition without storage class
constexpr uint8_t Placed = 5;      // placed at an address, or an alias
constexpr uint8_t Param = 25;
constexpr uint8_t Alias = 26;      // made by the per-function passes
constexpr uint8_t RegParam = 28;
constexpr uint8_t AddrReg = 29;    // made by the per-function passes
constexpr uint8_t Inline = 93;     // only until the declaration is settled
constexpr uint8_t Pointee = 99;    // pseudo-class of pointed-to types (default spaces)
constexpr uint8_t Auto = 128;
constexpr uint8_t CaseLabel = 130;
constexpr uint8_t EnumConst = 132;
constexpr uint8_t DefaultLabel = 134;
constexpr uint8_t Extern = 139;
constexpr uint8_t Register = 146;
constexpr uint8_t Static = 151;
constexpr uint8_t Member = 152;
constexpr uint8_t Typedef = 154;
}  // namespace sc

// Flag bits of a Symbol.
namespace sf {
constexpr uint32_t Defining = 0x000001;     // tag: its body is being parsed
constexpr uint32_t Referenced = 0x000002;
constexpr uint32_t Declared = 0x000004;     // goto label: defined
constexpr uint32_t RegPassed = 0x000008;    // parameter passed in a register
constexpr uint32_t LastEnum = 0x000008;     // enumeration constant: the last of its list
constexpr uint32_t AddrTaken = 0x000010;
constexpr uint32_t Written = 0x000020;
constexpr uint32_t Hidden = 0x000040;       // own initializer being parsed
constexpr uint32_t Promoted = 0x000080;     // parameter type differs from its promoted type
constexpr uint32_t Called = 0x000100;
constexpr uint32_t UsedObject = 0x000200;
constexpr uint32_t Untracked = 0x000400;
constexpr uint32_t FileLevel = 0x000800;
constexpr uint32_t Implicit = 0x001000;     // function declared implicitly by a call
constexpr uint32_t Assigned = 0x004000;     // temporary: in use
constexpr uint32_t Expanding = 0x010000;    // inline function being expanded; parameter bound
constexpr uint32_t LaidOut = 0x040000;      // local or parameter: lowering decided its place
constexpr uint32_t Replaced = 0x080000;     // replaced by valueexpr when written out
constexpr uint32_t SharesStorage = 0x100000;  // promoted member of an anonymous union after the first
constexpr uint32_t PlacedLocal = 0x200000;
constexpr uint32_t AddrRegister = 0x800000;  // a register that holds an object's address (its blocklink)
}  // namespace sf

// The 16-bit attribute word of objects, functions and pointed-to types.
namespace attr {
constexpr uint16_t Space = 0x3000;  // two bits: 0 none, tiny, near, far
constexpr uint16_t Tiny = 0x1000;
constexpr uint16_t Near = 0x2000;
constexpr uint16_t Far = 0x3000;
constexpr uint16_t Const = 0x8000;
constexpr uint16_t Volatile = 0x4000;  // in a section pragma's word: uninitialized data
constexpr uint16_t Code = 0x0800;
constexpr uint16_t Nostack = 0x0400;
constexpr uint16_t Inline = 0x0200;
constexpr uint16_t Packed = 0x0100;
constexpr uint16_t UserSpaces = 0x00FF;
}  // namespace attr

// Type codes: the high nibble is the kind, bit 0x01 unsigned, bit 0x02 a
// bit-field. Every integer test is code < 0x42; every floating test is
// (code & 0xF0) == 0x50.
namespace ty {
constexpr uint16_t Char = 0x10, UChar = 0x11, CharField = 0x13;
constexpr uint16_t Short = 0x20, UShort = 0x21, ShortField = 0x23;
constexpr uint16_t Int = 0x30, UInt = 0x31, IntField = 0x33;
constexpr uint16_t Long = 0x40, ULong = 0x41, LongField = 0x43;
constexpr uint16_t Float = 0x58, Double = 0x5c;
constexpr uint16_t Struct = 0x60, Union = 0x64, Enum = 0x68;
constexpr uint16_t Void = 0x70;
constexpr uint16_t Pointer = 0x80, Array = 0x84, Function = 0x88;
constexpr uint16_t Permanent = 0x100;  // newtype: a node outside the pool
inline bool isinteger(uint16_t code) { return code < 0x42; }
inline bool isfloating(uint16_t code) { return (code & 0xF0) == 0x50; }
inline bool isbitfield(uint16_t code) { return code < 0x50 && (code & 0x02); }
}  // namespace ty

struct Symbol {
    Symbol* next = nullptr;       // same list (scope, member, parameter or free list)
    Symbol* filelink = nullptr;   // next of its file's declaration list; itself at the end, or when never listed
    ExprNode* valueexpr = nullptr;
    TypeNode* type = nullptr;     // enumeration constant: the underlying type of its enum
    Symbol* enumnext = nullptr;   // enumeration constant: the next constant of its enum
    StmtNode* stmt = nullptr;     // goto, case or default label: the labelled statement
    const unsigned char* name = nullptr;  // interned, or null
    Symbol* blocklink = nullptr;
    Symbol* standsfor = nullptr;  // alias (class 26): the symbol whose storage it shares
    TokenRecording* body = nullptr;  // inline function: the recorded tokens of its body
    uint32_t value = 0;           // enumerator, offset, frame offset, address, case value, label number
    uint32_t declstamp = 0, setstamp = 0, prevsetstamp = 0, usestamp = 0;
    uint32_t declline = 0;
    uint32_t useline = 0;
    uint16_t usecolumn = 0;
    uint32_t flags = 0;
    uint32_t flowbit = 0;
    uint16_t debugno = 0;
    uint16_t structdebugno = 0;
    uint16_t attributes = 0;      // attribute word; a register number once one is assigned
    uint16_t weight = 0;
    uint8_t sclass = 0;
    // Lookup index (symbols.cpp): the scope list head the symbol is on, its
    // place in insertion order, and the other symbols of the same name.
    Symbol** home = nullptr;
    uint64_t serial = 0;
    Symbol* samename = nullptr;
    Symbol* prevsamename = nullptr;
};

struct TypeNode {
    TypeNode* link = nullptr;     // pool chain
    TypeNode* subtype = nullptr;  // pointee, element, return type, enum's underlying type
    uint16_t code = 0;
    uint16_t debugno = 0;
    // pointer: attribute word of the pointed-to object; array: element
    // count (0 unknown); bit-field: position in the low byte, width above.
    uint32_t detail = 0;
    Symbol* params = nullptr;     // function: parameter list (null: no parameter list)
    Symbol* tag = nullptr;        // struct, union, enum: the tag symbol
    Symbol* members = nullptr;    // struct, union: members; enum: enumerators; function: prototype enum constants
    Symbol* prototags = nullptr;  // function: tags declared in the prototype
    uint32_t size = 0;            // struct, union: size in bytes

    uint32_t count() const { return detail; }
    uint16_t pointerattr() const { return static_cast<uint16_t>(detail); }
    uint8_t bitpos() const { return static_cast<uint8_t>(detail & 0xff); }
    uint8_t bitwidth() const { return static_cast<uint8_t>((detail >> 8) & 0xff); }
};

inline bool isfunction(const TypeNode* t) { return t && t->code == ty::Function; }

// Statement kinds are the token codes that start them, plus internal ones.
namespace sk {
constexpr uint8_t Expr = 0, Block = 1, Compound = 16, RegLoad = 28, AsmLine = 31, Break = 129, Continue = 133,
                  Do = 135, For = 141, Goto = 142, If = 143, Return = 147, Switch = 153, While = 159,
                  CountedLoop = 176, DeferredInit = 253;
}

// Flags of a StmtNode.
namespace sflag {
constexpr uint16_t Breaks = 0x1, Continued = 0x2, HasGoto = 0x4, NoComplete = 0x8, Unreachable = 0x10,
                   HasCase = 0x20, HasLabel = 0x40, VarUsed = 0x100, VarSet = 0x200, KnownTrips = 0x400,
                   NoValue = 0x800;
}

struct StmtNode {
    StmtNode* link = nullptr;     // pool chain
    StmtNode* next = nullptr;
    ExprNode* expr = nullptr;     // expression, test, return value
    StmtNode* body = nullptr;     // first statement of a compound; controlled statement; break/continue target
    Symbol* gotolabel = nullptr;  // goto: the label symbol
    StmtNode* aux = nullptr;      // else branch; next compound statement of the function
    ExprNode* init = nullptr;     // for: initialization
    Symbol* cases = nullptr;      // switch: case labels, ascending
    ExprNode* incr = nullptr;     // for: increment
    Symbol* locals = nullptr;     // compound: its local symbols
    StmtNode* nextswitch = nullptr;
    SourceFile* file = nullptr;
    std::shared_ptr<std::string> asmtext;  // inline-assembly line
    uint32_t firstline = 0, lastline = 0, partline1 = 0, partline2 = 0;
    uint16_t firstcol = 0, lastcol = 0, partcol1 = 0, partcol2 = 0;
    uint16_t flags = 0;
    uint16_t label = 0;           // label number when the statement is a jump target
    uint8_t kind = 0;
};

// Leaf bits of an ExprNode with op 0.
namespace leaf {
constexpr uint8_t Contents = 1, Symbol = 2, Literal = 4, InitTarget = 8, ZeroDivide = 0x20, ZeroModulus = 0x40;
}

// Node flags of an ExprNode (nflags).
namespace nf {
constexpr uint8_t Typed = 1;        // type set by a cast or conversion: not narrowed again
constexpr uint8_t NotLvalue = 4;
constexpr uint8_t UnionRead = 8;    // reads a union member: no known value is recorded
constexpr uint8_t Variadic = 0x10;  // call through a prototype ending in "..."
constexpr uint8_t Overlaid = 0x20;  // overlaid member of an anonymous union: never replaced
constexpr uint8_t Scaled = 0x80;    // value of a pointer assignment already scaled (a = a + i)
}

// ExprNode::nflags: a for loop's condition that holds when the loop starts
constexpr uint8_t kTrueOnEntry = 2;

struct ExprNode {
    ExprNode* link = nullptr;     // pool chain
    TypeNode* type = nullptr;
    uint32_t useset = 0, defset = 0;
    ExprNode* left = nullptr;     // left or only operand
    ExprNode* middle = nullptr;   // middle operand of ?:
    ExprNode* right = nullptr;    // right operand
    Symbol* sym = nullptr;        // symbol leaf
    Literal* lit = nullptr;       // literal leaf
    StmtNode* stmts = nullptr;    // sequence node: the statement list
    uint32_t value = 0;           // leaf: integer constant, or the offset added to the symbol's address
    uint32_t extra = 0;           // size of an initializer-value record
    const Token* savedpos = nullptr;  // division node, zero-divide mark: where the '/' or '%' stands
    uint8_t leafbits = 0;
    uint8_t nflags = 0;
    uint8_t op = 0;               // 0 leaf
};

}  // namespace cpppc

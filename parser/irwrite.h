// The put operations of the intermediate-file writer: one small operation
// per record or record part, writing straight to the output as the parser
// goes (toollib/ir holds the format itself). Only the literal pool waits
// for the end of the unit.
//
// One gate covers every record: nothing reaches the file while the error
// count is not 0 (a run with errors removes its output at the end anyway).
// A run without an intermediate file (-e, -md, the developer tools) has no
// output and the operations write nothing, but they still hand out label
// numbers and set the marks they set, so that the parse is the same.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "toollib/ir/ir.h"

namespace cpppc {

struct Parser;
struct Symbol;
struct TypeNode;
struct ExprNode;
struct StmtNode;
struct SourceFile;
struct Literal;

// The writer's state for one run.
struct IrState {
    std::unique_ptr<ir::Output> out;  // null: no intermediate file
    std::string lastfile;             // the name of the last 19 record
    bool anyfile = false;             // a 19 record was written
    uint32_t funcno = 2;              // the number of the function being written
    // The local area of the function being written when it is nostack
    // (empty otherwise): its name (the function's and ".L"), its label
    // number and whether the function's space is far. The function writer
    // sets them; the debug records of its variables address the area.
    std::string nostackname;
    uint16_t nostacklabel = 0;
    bool nostackfar = false;
    uint16_t filenamelabel = 0;       // the current file's name record (debug)
};

// ---- writer.cpp: header, positions, spaces, sections, names, data ----
ir::Output* irsink(Parser& P);  // where a record goes now, or null
// Storage classes whose symbols are named in the file (static, extern,
// global, absolute address); the others are frame offsets.
bool isnamedclass(uint8_t sclass);
void openirfile(Parser& P);  // after the outputs are created: the sink and the header
void putheader(Parser& P);
void putheaderstrings(Parser& P);
void putirstring(Parser& P, const char* text);  // null: a single 0
void putfilename(Parser& P, const std::string* name);
void putline(Parser& P, uint32_t line);
void putpos(Parser& P, uint32_t line);
void putsection(Parser& P, uint32_t line, uint16_t word, const unsigned char* name);
void putasmtext(Parser& P, const char* text, size_t length);
void putspaces(Parser& P);
// A name's length for the file: taken from its text, since the interned
// length byte wraps; "name too long for intermediate file" past 254.
size_t irnamelength(Parser& P, const unsigned char* name);
void putname(Parser& P, Symbol* s);
void puttype(Parser& P, TypeNode* t, uint16_t word);
uint8_t irtypecode(TypeNode* t);  // the file's type code, 0 when it has none
void putdef(Parser& P, Symbol* s, int mode);
void putdatalabel(Parser& P, Symbol* s);
void putlitlabel(Parser& P, uint32_t label, int align);
void putvalue(Parser& P, uint32_t value, int size);
void putdouble(Parser& P, double value, int size);
void putbytes(Parser& P, const unsigned char* text, size_t length);
void putreserve(Parser& P, uint32_t count);
void putenddata(Parser& P);
void putaddress(Parser& P, ExprNode* e, int size);
void putliterals(Parser& P);
uint32_t literallabel(Parser& P, Literal* l, bool floating);  // the literal's label, given when it has none

// ---- exprwrite.cpp: trees ----
void putexpr(Parser& P, ExprNode* e, int discard);
void putcallee(Parser& P, ExprNode* f);
// 1 when the call was written as inline assembly; rest gets the arguments
// that follow the text. With test set only says whether it is an _asm call.
int putasmcall(Parser& P, ExprNode* call, int test, ExprNode** rest);
int regstorage(int reg);
// A register variable: lowering gave it a register number (1 to 36) in
// place of its attribute word.
bool isregvar(const Symbol* s);

// ---- debugwrite.cpp: the debug records ----
void putdlabel(Parser& P, uint32_t label);
void putdref(Parser& P, uint32_t label);
void putdstring(Parser& P, const unsigned char* text, size_t length);  // a string cell
void putdebugfile(Parser& P, const std::string& name, uint32_t a, uint32_t b);
uint32_t putdebugfunc(Parser& P, const std::string& name, Symbol* f, uint32_t a, uint32_t b);
void putdebugfileend(Parser& P, Symbol* syms, uint32_t a, uint32_t b, uint32_t lines);
void putscopes(Parser& P, StmtNode* body);
// The rest of a function's entry after its link entry: its lines, its
// return type's word and description, and its symbols.
void putdebugbody(Parser& P, Symbol* f, StmtNode* body, uint32_t declline);
void putdebugsym(Parser& P, Symbol* s, int pass);
void putdebugtype(Parser& P, TypeNode* t, int pass, Symbol* s, int top);
void putdebuglabel(Parser& P, Symbol* label, int pass);
void putdstrings(Parser& P, StmtNode* scopes, uint32_t flag);
void putmacrostring(Parser& P, const std::string& name);
void putnostackaddr(Parser& P, uint32_t offset);
int storagecode(Parser& P, Symbol* s);
// The debug record of the current source file: started, continued with a
// function, or finished (f null) at the end of the file.
void filedebug(Parser& P, Symbol* f);
void putusedmacros(Parser& P);

}  // namespace cpppc

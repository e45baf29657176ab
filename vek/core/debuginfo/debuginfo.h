// The source-level view of a loaded program: the debug records of the object
// file (address -> file, line, function) and the tables read from its
// ".debug" section (files, functions, variables, types).
//
// The one idea: every record lives in one address-ordered vector (`lines`),
// and each record knows its own position in it, so "the next record" is an
// index step and every address lookup is a binary search instead of a walk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vek/core/debuginfo/report.h"

namespace vek {

struct FunctionRecord;
struct FileRecord;
struct AggregateDescriptor;

// Record kinds of the debug records.
namespace kind {
constexpr uint8_t Call = 0x00;       // .dcall: kept apart, never a statement
constexpr uint8_t Frame = 0x01;      // where the function's frame is set up
constexpr uint8_t Tables = 0x02;     // start of a function's debug tables
constexpr uint8_t Exit = 0x04;       // function exit
constexpr uint8_t Line = 0x08;
constexpr uint8_t End = 0x10;        // function (range) end
constexpr uint8_t Start = 0x20;      // function (range) start
constexpr uint8_t Module = 0x40;     // a module's source file
constexpr uint8_t Xref = 0x41;       // cross reference text
constexpr uint8_t Attr = 0x80;       // attribute-table records: any kind with this bit
}  // namespace kind

struct LineRecord {
    FunctionRecord* owner = nullptr;
    std::string text;       // the record's whole text
    std::string file;       // file name part
    std::string func;       // function name part (empty: none or nameless)
    uint32_t descriptor = 0;  // kind-0x01 records
    uint8_t kind = 0;
    uint8_t flags = 0;        // 0x40: "+" before the line number
    uint8_t flags2 = 0;       // bit 0: "+" before the end number (kind 0x01)
    uint16_t line = 0, column = 0, endline = 0, endcolumn = 0;
    uint32_t hits = 0;
    int32_t cycles = 0;
    uint32_t address = 0;     // with the section delta added
    uint32_t pos = 0;         // index in DebugInfo::lines (main list only)
};

// Storage classes of variables (the class byte after a name in ".debug").
namespace sc {
constexpr uint8_t Fix = 1, Arg = 2, Aut = 3, Reg = 4, RegArg = 5, FixExt = 6, FirstArg = 7,
                  Absolu = 8, Mos = 9, CConst = 10, Const = 11, EnumMem = 12, ProcReg = 13,
                  StatArg = 14, StatFArg = 15, StatAut = 16, TType = 17, TLabel = 18,
                  TGLabel = 19, RMArg = 20, RRArg = 21, RFArg = 22, FirstReg = 23, IntrArg = 24;
bool isargument(uint8_t cls);  // 2, 5, 7, 14, 15, 20..23
const char* prefix(uint8_t cls);
}  // namespace sc

// Type of a variable besides its TypeWord: the words that its derivation
// steps, bit-field and attribute need, and the aggregate it names.
struct TypeDesc {
    uint32_t attr = 0;                 // attribute bits mapped through the module's table
    uint32_t bitword = 0;              // bit-field width or _Bool bit position
    std::vector<uint32_t> steps;       // one word per derivation step, outermost first
    AggregateDescriptor* agg = nullptr;
};

struct VarRecord {
    FunctionRecord* owner = nullptr;
    uint8_t sclass = 0;
    uint8_t core = 0;
    uint32_t attr = 0;
    uint32_t size = 0;
    uint32_t type = 0;     // TypeWord
    uint32_t value = 0;    // address, frame offset, register, member offset or enumerator
    uint32_t value2 = 0;
    std::string name;
    TypeDesc desc;
};

struct AggregateDescriptor {
    uint32_t pos = 0;      // ".debug" position
    uint32_t size = 0;
    std::string tag;
    std::vector<VarRecord> members;
};

struct FunctionRecord {
    FileRecord* file = nullptr;
    LineRecord* start = nullptr;   // kind 0x20
    LineRecord* frame = nullptr;   // kind 0x01
    LineRecord* end = nullptr;     // kind 0x10
    std::vector<VarRecord> vars;   // arguments first, then the rest, labels last
    int firstlocal = -1;           // index in vars, -1 when none
    bool active = true, activated = false;
    int nargs = 0;
    bool regarg = false;
    int core = 0;
    uint32_t firstline = 0, lastline = 0;
    uint32_t rettype = 0;          // TypeWord of the return type (0: none)
    std::string argtext;           // "int a, char *b", at most 504 characters
    std::string rettext;           // "int " in front of the name
    std::string name;              // "" nameless; "." file scope made by the builder
};

namespace fileflag {
constexpr uint32_t Duplicate = 0x01, HasStarts = 0x02, Frames4 = 0x04, Named = 0x08,
                   LinesOnly = 0x10;
}

struct FileRecord {
    std::vector<std::unique_ptr<FunctionRecord>> funcs;  // by start address, no start last
    LineRecord* attrrec = nullptr;
    uint32_t index = 0;
    uint32_t flags = 0;
    uint32_t firstline = 0, lastline = 0;
    std::string name;
    uint8_t kindbyte = 0;   // class byte of the file name (0x8B, 0x8D: second core)
    int core = 0;
    // The module's #define records (cross references whose text has '#' as
    // its second character, the macro name from the third) and the
    // definition text of each, read from ".debug" at the record's address.
    std::vector<const LineRecord*> defines;
    std::vector<std::string> definetexts;
};

// A number no earlier set of tables had (see DebugInfo::generation).
uint64_t newdebuggeneration();

// Every table of one program's debug information; a fresh one is empty.
struct DebugInfo {
    // New for every fresh set of tables (clear() makes a fresh one), so that
    // copies made of them can tell that they are out of date.
    uint64_t generation = newdebuggeneration();
    std::vector<std::unique_ptr<LineRecord>> store;  // owns every record
    std::vector<LineRecord*> lines;   // main list, ascending address
    std::vector<LineRecord*> xrefs;   // kind 0x41, ascending address
    std::vector<LineRecord*> attrs;   // kinds with bit 0x80, newest first
    std::vector<LineRecord*> calls;   // kind 0, in file order
    bool hasxref = false;
    std::vector<std::unique_ptr<FileRecord>> files;  // ascending name
    std::vector<std::unique_ptr<AggregateDescriptor>> aggregates;
    uint32_t firstmodule = 0;
    uint32_t splitmask = 0;   // dual-core split mask (set by second-core files)

    LineRecord* next(const LineRecord* rec) const {
        return rec && rec->pos + 1 < lines.size() ? lines[rec->pos + 1] : nullptr;
    }
    LineRecord* first() const { return lines.empty() ? nullptr : lines[0]; }
    bool empty() const { return lines.empty() && files.empty(); }
    void clear();
    void renumber();
};

// ---- records.cpp: the debug records of the object file
// Adds one record (address already carries its section delta).
void adddebugrecord(DebugInfo& di, uint32_t address, uint8_t kind, std::string_view text);
// Steps after the last record: names of nameless starts, removal of doubled
// records, the function check. False (with the message reported) when the
// records are inconsistent; the caller then drops the debug information.
bool finishdebugrecords(DebugInfo& di, LoadReport& report);

// ---- tables.cpp: files, functions and variables from ".debug"
struct DebugSection {
    const uint8_t* data = nullptr;   // the section's bytes in the file
    uint32_t size = 0;
    uint32_t base = 0;   // the section's address: record addresses minus base are positions
};
// Builds the file, function and variable tables. False (message reported,
// tables cleared) when the debug information is damaged.
bool builddebugtables(DebugInfo& di, const DebugSection& sec, LoadReport& report,
                      bool nodupfiles = false);
// Renames the register variables of a function after its tables are read,
// by the descriptor of its frame record (the registers the code generator
// moved into free scratch registers); builddebugtables calls it.
void fixupvars(FunctionRecord& func);

// The #define tables of the files: for each module the cross references
// after its module record and up to the next one. Texts are read within
// the section only, at most 512 bytes each.
void builddefines(DebugInfo& di, const DebugSection& sec);

// ---- types.cpp: TypeWord helpers
const char* basetypename(uint8_t code);   // nullptr for an unknown code
int typedepth(uint32_t type);
uint32_t basetypesize(uint8_t code);
uint32_t typesize(const VarRecord& var);
// Size of a type whose outermost remaining step has descriptor slot cursor.
uint32_t typesizeat(uint32_t type, const TypeDesc& desc, size_t cursor);
bool isunsigned(const VarRecord& var);
bool isbitfieldtype(uint8_t code);
bool isaggregatetype(uint8_t code);
// C declaration texts: decltext shows bit-field widths and leaves out
// "extern"; vardecl shows every storage class. typetext is a type alone
// ("int *"), as the return type in front of a function name.
std::string decltext(const VarRecord& var);
std::string vardecl(const VarRecord& var);
std::string typetext(uint32_t type, const TypeDesc& desc);
// The declaration with the members of a struct or union written out, one
// per line, later lines indented by indent plus the text before them.
std::string decltree(const VarRecord& var, int indent);

}  // namespace vek

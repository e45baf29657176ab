// The program loader: reads an object file of the assembler, an S-record or
// Intel hex text, or a raw image into simulated memory, fills the program
// symbol table and the loaded-segment list, and hands the debug records and
// the ".debug" section to the debug-information reader.
//
// The loader reaches the simulator and the symbol table only through the two
// small ports below, so it can be driven by the debugger or by a test.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vek/core/debuginfo/debuginfo.h"

namespace vek {

// Simulated memory and the registers the loader touches.
struct TargetPort {
    virtual ~TargetPort() = default;
    // Straight into the page frames (pages become valid and dirty), no checks.
    virtual void loadbytes(uint32_t address, const uint8_t* data, size_t size) = 0;
    // One byte with the memory access checks.
    virtual void putbyte(uint32_t address, uint8_t value) = 0;
    virtual uint8_t getbyte(uint32_t address) = 0;
    virtual uint32_t getpc() = 0;
    virtual void setpc(uint32_t pc) = 0;
    virtual void resetregs() = 0;
};

// The program symbol table.
struct SymbolPort {
    virtual ~SymbolPort() = default;
    virtual void defsym(const std::string& name, uint32_t value, uint8_t flags = 0, uint8_t section = 0,
                        uint8_t kind = 0) = 0;
    virtual std::optional<uint32_t> findsym(const std::string& name) = 0;
    // A symbol whose name begins with prefix lying exactly at value.
    virtual std::optional<std::string> symat(uint32_t value, const std::string& prefix) = 0;
    // Deletes every symbol whose name does not begin with '.'.
    virtual void dropprogramsyms() = 0;
};

struct LoadSegment {
    uint8_t flags = 0;      // the section's attribute byte
    uint8_t index = 0;      // 0-based section index in the file
    std::string name;
    uint32_t address = 0, second = 0, fileoffset = 0, size = 0, last = 0;
};

struct ModuleMarker {
    uint32_t value = 0;
    std::string name;
    std::string module;     // the source file the marker table belongs to
};

struct SectionInfo {
    int32_t delta = 0;      // address - second address
    std::string name;
    std::vector<ModuleMarker> markers;   // ascending value
};

// A flags-0 symbol record naming a module marker table.
struct MarkerTableRef {
    uint32_t offset = 0;
    uint8_t count = 0;
    std::string name;
};

namespace loadstate {
constexpr uint8_t None = 0, Reading = 2, Object = '4', Raw = 'A';
}

// Everything the loader keeps about the loaded program.
struct Program {
    uint8_t loadstate = loadstate::None;
    uint8_t targetflags = 0;       // 8 after a load; bit 0x10 would mean little-endian
    std::string path;
    std::vector<LoadSegment> segments;   // ascending address, equal ones in file order
    std::vector<SectionInfo> sections;
    std::vector<MarkerTableRef> markertables;
    std::vector<uint8_t> image;          // the object file, kept for the segment reload
    uint32_t debugoffset = 0, debugsize = 0, debugbase = 0;
    bool hasdebugsection = false;
    uint32_t debugrecords = 0;           // debug records read
    uint32_t entry = 0;
    std::string runto = "_main";
    uint32_t splitmask = 0;              // dual-core split mask
    bool quiet = false;                  // quiet output: no summaries
    bool nodupfiles = false;             // [Options] NODUPFILES
    DebugInfo debug;
};

struct LoadEnv {
    Program& prog;
    TargetPort& target;
    SymbolPort& syms;
    LoadReport& report;
};

// Reads a program file; 1 on success, 0 on failure (reported). Never ends
// the debugger.
int loadfile(LoadEnv& env, const std::string& path, bool forceraw = false, bool symbolsonly = false);
// The same for a file already read into memory.
int loadimage(LoadEnv& env, const std::string& path, std::vector<uint8_t> bytes, bool forceraw = false,
              bool symbolsonly = false);

// The reading part of the load command: drops the old program, loads the
// file, builds the debug tables and module markers and chooses the entry
// point. Running to the first source line is the caller's (step engine's).
struct LoadOutcome {
    bool ok = false;
    bool entrychosen = false;
    bool runtofirstline = false;          // the caller runs one source step
    LineRecord* atpc = nullptr;           // line record at pc, if any
};
LoadOutcome loadprogram(LoadEnv& env, const std::string& path, const char* entryoption, bool norun,
                        bool reload, bool symbolsonly = false);
// The steps of loadprogram after a successful loadfile.
LoadOutcome finishload(LoadEnv& env, const char* entryoption, bool norun, bool reload);

int selectentrypoint(LoadEnv& env, const char* option);

// Copies the chosen loaded segments (indices into prog.segments) again from
// the program file, as the segment-reload dialog asks. 1 on success.
// Reloads the chosen segments (indexes into prog.segments) from the
// program file as it is now: its section table is read again, and only a
// segment whose name, address and size are unchanged is copied; the others
// are reported. 0 when nothing could be read.
int reloadsegments(LoadEnv& env, const std::vector<size_t>& which);
// The section records of an object file image; none when it has no whole
// section table.
std::optional<std::vector<LoadSegment>> objsections(const std::vector<uint8_t>& image);

// Builds the module marker lists of the sections from the kept object file.
void buildmarkers(Program& prog);

uint32_t peeklong(const Program& prog, const uint8_t* p);
uint16_t peekword(const Program& prog, const uint8_t* p);

// ---- images.cpp (called by loadfile)
int loadtextimage(LoadEnv& env, const std::vector<uint8_t>& bytes);
int loadrawimage(LoadEnv& env, const std::vector<uint8_t>& bytes);
// ---- objfile.cpp
int loadobject(LoadEnv& env, bool symbolsonly);

// Numbered messages the loader uses (texts from the debugger's message table).
namespace msg {
constexpr int NoDebug = 3, CantOpen = 5, Absolute = 6, ReadError = 8, EntryAt = 63, BadEntry = 64;
}  // namespace msg
std::string msgstr(int id);

std::string hexnum(uint32_t value);   // "0x" and lower-case digits

}  // namespace vek

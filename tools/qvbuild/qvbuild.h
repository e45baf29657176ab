// qvbuild: builds one absolute program from C and assembler sources, ready
// for the simulator. There is no linker: every source, the start-up code
// and the run-time helpers are assembled together as one unit by `cappc -a`,
// after two changes to each source's text that make the sources coexist.
//
//   1. Each file's own labels ("L" and octal digits, optionally "_name";
//      "LC" and digits) get a per-file suffix "$n", because every generated
//      file numbers its labels from the same start. Globals ("_name",
//      "c_name") stay as they are: a global defined twice is "multiply
//      defined".
//   2. Section declarations become `switch` lines; the unit's layout header
//      declares each section once, with its attributes and an `org`.
//
// The origins come from the section sizes of a first assembly: small data
// and small zeroed data below 0x8000 (reached as _x(r13) with r13 = 0),
// small constants below 0x80000 (reached by a 20-bit load immediate), then
// code, constants, data, zeroed data, and a 64 KiB stack below 0x01000000.
// The unit is assembled again until the sizes no longer change.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvbuild {

// A section as a source declares it: "name: section attributes".
struct SectionDecl {
    std::string name;
    std::string attributes;
};

struct Rewritten {
    std::string text;                   // the source as the unit includes it
    std::vector<SectionDecl> sections;  // in order of declaration
    std::vector<std::string> problems;  // "line N: text"
};

// The source text with the file-local labels suffixed "$<fileno>" and the
// section declarations turned into switch lines, line for line.
Rewritten rewrite(std::string_view text, int fileno);

// True for a file-local label name: "L" and octal digits with an optional
// "_name", or "LC" and decimal digits.
bool islocallabel(std::string_view name);

// Where a section goes, by its attributes.
enum class Region { SmallData, SmallBss, SmallConst, Code, Data, Bss };

// The region of a section declared with the given attribute list (the
// section directive's list, e.g. ".data,-long").
Region regionof(std::string_view attributes);

struct Placed {
    std::string name;
    std::string attributes;  // empty for the assembler's own .text, .data, .bss
    Region region = Region::Code;
    uint32_t size = 0;
    uint32_t origin = 0;
};

constexpr uint32_t kFirstAddress = 0x100;
constexpr uint32_t kStackTop = 0x01000000;
constexpr uint32_t kStackSize = 0x10000;

// Orders the sections by region (and within a region the assembler's and
// the generator's sections first) and gives each an origin after the one
// before, aligned to 8.
void placesections(std::vector<Placed>& sections);

// The first address past the window of a region.
uint32_t windowend(Region region);

// The layout header: the start-up's symbols, then each section declared
// (or selected) once with its origin.
std::string layoutheader(const std::vector<Placed>& sections);

// What qvbuild needs of an object file: its sections and its undefined
// symbols. Every offset is checked; a damaged file gives ok = false.
struct ObjectSection {
    std::string name;
    uint32_t size = 0;
    uint32_t origin = 0;
};
struct ObjectInfo {
    bool ok = false;
    std::vector<ObjectSection> sections;
    std::vector<std::string> undefined;
};
ObjectInfo readobject(const std::vector<uint8_t>& image);

// qvbuild [-o object] [-v] [-r runtime-dir] [compiler options] files...;
// 0 when the program was built, 1 after an error, 2 when interrupted.
int run(int argc, char** argv);

}  // namespace qvbuild

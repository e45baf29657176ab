// The compiler driver qvppc: one command compiles C and assembly files to
// object files by running the four pass programs (parser, code generator,
// optimizer, assembler) on each file through two temporary files.
//
// Contents:
//   config.cpp   option tables, the configuration file and option macros
//   passes.cpp   file types, output names, pass command lines, running the
//                passes, temporaries and the driver's main sequence
//
// All state of one run lives in a DriverState, so a test can start from a
// fresh one and point it at a directory of stand-in pass programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toollib/options.h"
#include "toollib/services.h"

namespace driver {

inline constexpr const char* kTitle = "PPC C Cross Compiler";
inline constexpr const char* kVersion = "V4.3.6";
inline constexpr const char* kDate = "02 Oct 2012";

// The settings of the command line and the configuration file. Text options
// point into the argument words (or the configuration file's words), which
// live as long as the run.
struct DriverSettings {
    tl::CountdownList asmopts, genopts, parseropts, optopts;  // -a -g -p -o
    tl::CountdownList defines, includes;                      // -d -i
    tl::CountdownList selections;                             // +name
    tl::CountdownList macrodefs;                              // -m, configuration file only
    const char* errdir = nullptr;      // -ce
    const char* listdir = nullptr;     // -cl
    const char* objdir = nullptr;      // -co
    const char* configfile = nullptr;  // -f
    const char* tempdir = nullptr;     // -t
    int32_t allc = 0, eclipse = 0, preprocasm = 0, allasm = 0, prefixexe = 0;  // -ec -eg -ep -es -ex
    int32_t errfile = 0, listing = 0, noopt = 0;                              // -e -l -no
    int32_t analyser = 0, deponly = 0, preponly = 0, asmonly = 0;             // -sa -sm -sp -s
    int32_t verbose = 0, noexec = 0;                                          // -v -x
    int32_t parentwindow = 0, parentmessage = 0;                              // -wa -wb
};

// One -m definition: name:field1,field2,... Fields 1 to 4 are options for
// the parser, generator, optimizer and assembler; fields 5 and later name
// macros that exclude this one.
struct DriverMacro {
    std::string name;
    std::vector<std::string> fields;
    bool applied = false;
};

// The private directory that holds the two temporary files of a run. It is
// made on first use and removed, with whatever it holds, when the run ends.
struct TempFiles {
    std::string dir;    // empty until made (never made with -x)
    std::string first;  // .../qv.qv1
    std::string second; // .../qv.qv2
    TempFiles() = default;
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;
    ~TempFiles() { remove(); }
    void remove();
};

struct DriverState {
    DriverSettings set;
    std::string progdir;   // the driver's directory with its trailing '/', or empty
    std::string basename;  // the driver's base name, cut at its first '.'
    std::vector<tl::LineToken> configwords;  // kept: text options point into them
    std::vector<DriverMacro> macros;         // newest first
    TempFiles temps;
    bool failed = false;   // some file failed
};

// The program: the directory comes from the running executable, the base
// name from argv[0].
int run(int argc, char** argv);
// The same with state.progdir already set (tests point it at stand-ins).
int drvmain(DriverState& state, int argc, char** argv);

// config.cpp
std::vector<tl::OptionSpec> commandspecs(DriverSettings& set);
std::vector<tl::OptionSpec> configspecs(DriverSettings& set);
void splitprog(DriverState& state, const char* argv0);
std::string configpath(const DriverState& state);
void readconfig(DriverState& state);
void applymacros(DriverState& state);

// passes.cpp
// Splits a pass option the way a child's command line is split: at blanks
// and TABs outside double quotes, the quotes removed, \" a literal quote.
std::vector<std::string> splitargs(const std::string& text);
// Compiles one file; true on success. May end the run (status 2, or 1 for a
// command line that is too long).
bool compile(DriverState& state, const std::string& file);

}  // namespace driver

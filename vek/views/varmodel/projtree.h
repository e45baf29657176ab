// The project pane's three trees without Qt: Files (each source file with
// its functions and file-scope variables), Functions and Variables, with
// the item popups' command lines and the update dialog shared with the
// Monitors window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vek/core/debuginfo/debuginfo.h"

namespace vek {

struct ProjNode {
    enum Kind : uint8_t { None, FuncBook = 1, VarBook = 2, FileFolder = 3, FuncFolder = 4, File, Func, Var };
    Kind kind = None;
    std::string text;
    const FileRecord* file = nullptr;          // File; also the file of a function or file-scope variable
    const FunctionRecord* func = nullptr;
    const VarRecord* var = nullptr;
    ProjNode* parent = nullptr;
    std::vector<std::unique_ptr<ProjNode>> children;
    bool aggregateimage = false;               // structure, union or array
};

struct ProjTrees {
    std::vector<std::unique_ptr<ProjNode>> files, funcs, vars;
    bool empty() const { return files.empty() && funcs.empty() && vars.empty(); }
};

// Builds the three trees; a program without source files has none.
ProjTrees buildprojtrees(const DebugInfo& di);

// "name[3][4]" for arrays, the bare name otherwise.
std::string projvartext(const VarRecord& var);
// The item's name preceded by each ancestor variable's name and ".".
std::string qualifiedname(const ProjNode& node);

namespace projcmd {
constexpr int FuncInfo = 990, ShowDef = 991, FuncXref = 992, BreakEntry = 993, GotoEntry = 994,
              VarInfo = 995, VarXref = 996, Evaluate = 997, Monitor = 998, Update = 999,
              AccessBreak = 1000, ReadBreak = 1001, WriteBreak = 1002;
}

// Whether a popup command is enabled for the node; xref: a loaded extension
// handles "xref".
bool projenabled(int id, const ProjNode& node, bool xref);
// The command line of a popup command (empty for those that show a box or
// a dialog), and the text of the Info boxes.
std::string projcommand(int id, const ProjNode& node);
std::string projinfo(const ProjNode& node);

// The update dialog of a variable or monitor expression: run is the command
// runner with the output captured (it returns the output).
struct UpdateDialogLogic {
    std::function<std::string(const std::string& line)> run;
    std::string expr, field;
    void open(const std::string& e);
    void format(char letter);
    // "&Ok": false with an empty field (nothing runs).
    bool ok();
};

}  // namespace vek

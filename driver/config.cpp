// What the driver reads before its first pass: the command line, the
// configuration file and the option macros.
//
// The configuration file is parsed with a second option table after the
// command line, so its list options add after the command line's entries and
// its single values (-ce, -cl, -co, -t) replace the command line's. A macro
// bundles pass options under one name (-mname:parser,generator,optimizer,
// assembler,excluded...) and is selected with +name.

#include "driver/driver.h"
#include "toollib/quit.h"

namespace driver {

// Match order matters: longer names before their prefixes (ec..ex before e,
// sa sm sp before s, no before o).
std::vector<tl::OptionSpec> commandspecs(DriverSettings& s) {
    return {
        {"a*>  assembler options", &s.asmopts},
        {"ce*  path for error files", &s.errdir},
        {"cl*  path for listing files", &s.listdir},
        {"co*  path for object files", &s.objdir},
        {"d*>  define symbol", &s.defines},
        {"ec   all C files", &s.allc},
        {"eg   eclipse error messages", &s.eclipse},
        {"ep   preprocess assembler files", &s.preprocasm},
        {"es   all assembler files", &s.allasm},
        {"ex   prefix executables", &s.prefixexe},
        {"e    create error file", &s.errfile},
        {"f*   configuration file", &s.configfile},
        {"g*>  code generator options", &s.genopts},
        {"i*>  path for include", &s.includes},
        {"l    create listing", &s.listing},
        {"no   do not use optimizer", &s.noopt},
        {"o*>  optimizer options", &s.optopts},
        {"p*>  parser options", &s.parseropts},
        {"<sa   create only analyser", &s.analyser},
        {"sm   create only dependencies", &s.deponly},
        {"sp   create only preprocessor file", &s.preponly},
        {"s    create only assembler file", &s.asmonly},
        {"t*   path for temporary files", &s.tempdir},
        {"v    verbose", &s.verbose},
        {"x    do not execute", &s.noexec},
        {"<wa## parent", &s.parentwindow},
        {"<wb## message", &s.parentmessage},
        {"+*>   select compiler option", &s.selections},
    };
}

std::vector<tl::OptionSpec> configspecs(DriverSettings& s) {
    return {
        {"a*>  assembler options", &s.asmopts},
        {"ce*  path for error files", &s.errdir},
        {"cl*  path for listings", &s.listdir},
        {"co*  path for objects", &s.objdir},
        {"d*>  define symbol", &s.defines},
        {"eg   eclipse error messages", &s.eclipse},
        {"ex   prefix executables", &s.prefixexe},
        {"e    create error file", &s.errfile},
        {"g*>  code generator options", &s.genopts},
        {"i*>  path for include", &s.includes},
        {"l    create listing", &s.listing},
        {"m*>  macro definition", &s.macrodefs},
        {"no   do not use optimizer", &s.noopt},
        {"o*>  optimizer options", &s.optopts},
        {"p*>  parser options", &s.parseropts},
        {"t*   path for temporary files", &s.tempdir},
        {"+*>   select compiler option", &s.selections},
    };
}

void splitprog(DriverState& state, const char* argv0) {
    std::string path = argv0 ? argv0 : "";
    const char* sep = tl::lastdirsep(path.c_str());
    std::string base = sep ? std::string(sep + 1) : path;
    state.basename = base.substr(0, base.find('.'));
}

std::string configpath(const DriverState& state) {
    if (state.set.configfile) return state.set.configfile;
    return state.progdir + state.basename + ".qvf";
}

namespace {

DriverMacro* findmacro(DriverState& state, const std::string& name) {
    for (auto& m : state.macros)
        if (m.name == name) return &m;
    return nullptr;
}

// Splits name:field,field,... into a macro; false without ':'.
bool parsemacro(const std::string& text, DriverMacro& macro) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    macro.name = text.substr(0, colon);
    size_t start = colon + 1;
    for (;;) {
        size_t comma = text.find(',', start);
        macro.fields.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

void report(bool& any, const std::string& text) {
    tl::puterr(text);
    any = true;
}

}  // namespace

void readconfig(DriverState& state) {
    std::string path = configpath(state);
    if (auto error = tl::readcmdfile(path, state.configwords)) {
        tl::puterr(*error + "\n");
        tl::quit(1);
    }
    // The words have no program-name slot; parseopts expects one.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(state.basename.c_str()));
    for (auto& w : state.configwords) argv.push_back(w.word.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(argv.size()) - 1;
    char** args = argv.data();
    tl::parseopts(argc, args, nullptr, nullptr, configspecs(state.set));
    if (argc > 0) {
        tl::puterr(std::string("invalid option ") + args[0] + " in configuration file\n");
        tl::quit(1);
    }

    bool any = false;
    const auto& defs = state.set.macrodefs.items;
    for (auto it = defs.rbegin(); it != defs.rend(); ++it) {
        DriverMacro macro;
        if (!parsemacro(*it, macro)) {
            report(any, "bad macro definition: " + *it + "\n");
        } else if (findmacro(state, macro.name)) {
            report(any, "macro " + macro.name + " redefined\n");
        } else {
            state.macros.insert(state.macros.begin(), std::move(macro));
        }
    }
    if (any) tl::quit(1);
}

void applymacros(DriverState& state) {
    struct Target {
        tl::CountdownList* list;
        const char* full;
    };
    const Target targets[4] = {
        {&state.set.parseropts, "too many parser options\n"},
        {&state.set.genopts, "too many generator options\n"},
        {&state.set.optopts, "too many optimizer options\n"},
        {&state.set.asmopts, "too many assembler options\n"},
    };
    bool any = false;
    const auto& selected = state.set.selections.items;
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        DriverMacro* macro = findmacro(state, *it);
        if (!macro) {
            report(any, "unknown macro " + *it + "\n");
            continue;
        }
        if (macro->applied) continue;
        macro->applied = true;
        for (size_t f = 4; f < macro->fields.size(); ++f) {
            for (auto& other : state.macros)
                if (other.applied && other.name == macro->fields[f])
                    report(any, "macros " + macro->name + " and " + other.name + " are exclusive\n");
        }
        for (size_t f = 0; f < 4 && f < macro->fields.size(); ++f) {
            const std::string& field = macro->fields[f];
            if (field.empty()) continue;
            if (targets[f].list->full())
                report(any, targets[f].full);
            else
                targets[f].list->append(field);
        }
    }
    if (any) tl::quit(1);
}

}  // namespace driver

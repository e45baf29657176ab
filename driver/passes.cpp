// Running the passes: for each file the driver decides its type and its
// output names, then builds one command line per pass and runs the pass
// programs one after another through two temporary files.
//
// A pass command is kept twice from the same pieces: as the text that -v and
// -x print (quoted file names, the way a command line is written), and as the
// argument vector the child receives, so a file name is one argument whatever
// characters it holds. Pass options from lists are split like a command line,
// so one entry may carry several options.
//
// Precondition: the settings are complete (command line, configuration file
// and macros applied; -sm and -sa have set -sp).
#include <csignal>

#include "driver/driver.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/process.h"
#include "platform/tempdir.h"
#include "toollib/quit.h"

namespace driver {

namespace {

constexpr size_t kCommandLimit = 32730;  // longest pass command text
constexpr char Q = '"';

enum FileType { Unknown = 0, CSource = 1, Preprocessed = 2, AsmSource = 3, PreprocAsm = 4 };

// The pass table: index, letter of the program name, what it is.
struct PassRow {
    char letter;
    const char* what;
};
constexpr PassRow kPasses[4] = {{'p', "parser"}, {'g', "generator"}, {'o', "optimizer"}, {'a', "assembler"}};
enum PassIndex { Parser = 0, Generator = 1, Optimizer = 2, Assembler = 3 };

// A source name in pieces: the path without its extension, the extension
// (from its '.'), and the base name of that path. The extension's '.' must
// lie in the last path component.
struct SourceName {
    std::string path, stem, ext, base;
};

SourceName splitsource(const std::string& file) {
    SourceName n;
    n.path = file;
    const char* sep = tl::lastdirsep(file.c_str());
    size_t namestart = sep ? static_cast<size_t>(sep - file.c_str()) + 1 : 0;
    size_t dot = file.rfind('.');
    if (dot != std::string::npos && dot >= namestart) {
        n.stem = file.substr(0, dot);
        n.ext = file.substr(dot);
    } else {
        n.stem = file;
    }
    n.base = n.stem.substr(namestart);
    return n;
}

int filetype(const SourceName& n, const DriverSettings& s) {
    if (n.ext.empty()) return Unknown;
    if (s.allc) return CSource;
    if (s.allasm) return AsmSource;
    switch (n.ext.size() > 1 ? n.ext[1] : '\0') {
        case 'c': case 'C': return CSource;
        case 'p': case 'P': return Preprocessed;
        case 's': case 'S': return AsmSource;
        default: return Unknown;
    }
}

// Where each pass reads and writes for one file.
struct FilePlan {
    int type = Unknown;
    bool skip = false;       // nothing to do (preprocessed text with -sm or -sp)
    bool failed = false;     // the temporaries could not be made
    std::string parserout, asmin, object;
};

[[noreturn]] void stopdriver(DriverState& state, int status) {
    state.temps.remove();
    tl::quit(status);
}

// Names the temporaries on first use and makes their private directory;
// false when it cannot be made. With -x nothing runs, so the names are only
// shown and no directory is made.
bool maketemps(DriverState& state) {
    if (!state.temps.first.empty()) return true;
    std::string parent = "/tmp";
    if (state.set.tempdir) {
        parent = state.set.tempdir;
    } else {
        for (const char* name : {"QVTEMP", "TMP", "TMPDIR"}) {
            auto value = platform::envvar(name);
            if (value && !value->empty()) {
                parent = *value;
                break;
            }
        }
    }
    std::string dir;
    if (state.set.noexec) {
        dir = platform::joinpath(platform::hostpath(parent), "qvXXXXXX");
    } else if (auto made = platform::makeprivatedir(parent, "qv")) {
        dir = state.temps.dir = *made;
    } else {
        tl::puterr("can't create temporary directory in " + parent + "\n");
        return false;
    }
    state.temps.first = platform::joinpath(dir, "qv.qv1");
    state.temps.second = platform::joinpath(dir, "qv.qv2");
    return true;
}

// Outputs by option, in this order of precedence. The temporaries are made
// when the plan first needs them.
FilePlan planfile(DriverState& state, const SourceName& src, int type) {
    const DriverSettings& s = state.set;
    const TempFiles& t = state.temps;
    FilePlan plan;
    plan.type = type;
    std::string stem = s.objdir ? platform::joinpath(s.objdir, src.base) : src.stem;
    plan.object = stem + ".o";
    auto withtemps = [&] {
        plan.failed = !maketemps(state);
        return !plan.failed;
    };
    if (s.deponly) {
        if (type == Preprocessed) plan.skip = true;
        if (type == CSource) plan.parserout = stem + ".o";
        if (type == AsmSource) plan.asmin = src.path;
    } else if (s.analyser && type != AsmSource) {
        if (type == Preprocessed) plan.skip = true;  // -sa implies -sp
        plan.parserout = stem + ".sbr";
    } else if (s.preponly && type != AsmSource) {
        if (type == Preprocessed) plan.skip = true;
        plan.parserout = stem + ".p";
    } else if (s.preprocasm && type == AsmSource) {
        plan.type = PreprocAsm;
        if (withtemps()) plan.parserout = plan.asmin = t.first;
    } else if (s.asmonly || type == AsmSource) {
        if (type == AsmSource) {
            plan.asmin = src.path;
        } else if (withtemps()) {
            plan.parserout = t.first;
            plan.asmin = src.stem + ".s";
        }
    } else if (withtemps()) {
        plan.parserout = t.first;
        plan.asmin = s.noopt ? t.second : t.first;
    }
    return plan;
}

// One pass command as display text and argument vector.
class PassCommand {
public:
    PassCommand(DriverState& state, int pass) : state_(state) {
        program_ = state.progdir + "c" + kPasses[pass].letter +
                   (state.basename.size() > 2 ? state.basename.substr(2) : std::string());
        add(std::string(1, Q) + program_ + Q);
        args_.push_back(program_);
    }

    // " text": one or more options as a command line would split them.
    void option(const std::string& text) {
        add(" " + text);
        for (auto& a : splitargs(text)) args_.push_back(a);
    }
    // " flag "path"": the flag and the path as two arguments.
    void pathoption(const std::string& flag, const std::string& path) {
        add(" " + flag + " " + quoted(path));
        args_.push_back(flag);
        args_.push_back(path);
    }
    // " "path"": the input file.
    void input(const std::string& path) {
        add(" " + quoted(path));
        args_.push_back(path);
    }
    // The parser's definition of __VERS__ as the string literal of the version.
    void versiondefine() {
        add(std::string(" -d") + Q + "__VERS__=\\" + Q + kVersion + "\\" + Q + Q);
        args_.push_back(std::string("-d__VERS__=") + Q + kVersion + Q);
    }
    // Pass options of a list; entries that begin with '&' are held back for
    // deferred(), without their '&'.
    void listoptions(const tl::CountdownList& list) {
        for (const auto& entry : list.items) {
            if (!entry.empty() && entry[0] == '&')
                deferred_.push_back(entry.substr(1));
            else
                option(entry);
        }
    }
    void deferred() {
        for (const auto& entry : deferred_) option(entry);
        deferred_.clear();
    }

    const std::string& program() const { return program_; }
    std::string name() const { return program_.substr(state_.progdir.size()); }
    const std::vector<std::string>& args() const { return args_; }
    // The command from the letter c of the program name on, opened by a quote.
    std::string shown() const { return Q + text_.substr(1 + state_.progdir.size()); }

private:
    static std::string quoted(const std::string& path) {
        std::string text = Q + path;
        if (!path.empty() && path.back() == '\\') text += '\\';
        return text + Q;
    }
    void add(const std::string& piece) {
        if (text_.size() + piece.size() > kCommandLimit) {
            tl::puterr("command line too long\n");
            stopdriver(state_, 1);
        }
        text_ += piece;
    }

    DriverState& state_;
    std::string program_;
    std::string text_;
    std::vector<std::string> args_;
    std::vector<std::string> deferred_;
};

void includeoptions(PassCommand& cmd, const DriverSettings& s) {
    for (const auto& path : s.includes.items) cmd.pathoption("-i", path);
}
void defineoptions(PassCommand& cmd, const DriverSettings& s) {
    for (const auto& def : s.defines.items) cmd.option("-d" + def);
}

PassCommand buildcommand(DriverState& state, int pass, const FilePlan& plan, const SourceName& src,
                         const std::string& in, const std::string& out) {
    const DriverSettings& s = state.set;
    PassCommand cmd(state, pass);
    cmd.pathoption("-o", out);
    switch (pass) {
        case Parser:
            includeoptions(cmd, s);
            defineoptions(cmd, s);
            cmd.listoptions(s.parseropts);
            if (s.deponly) cmd.option("-md");
            else if (s.analyser) cmd.option("-an");
            else if (s.preponly) cmd.option("-e");
            else if (plan.type == PreprocAsm) cmd.option("-ecr");  // #line markers keep the user's places
            if (s.listing) cmd.option("-l");
            cmd.versiondefine();
            break;
        case Generator:
            cmd.listoptions(s.genopts);
            if (s.listing) cmd.option("-l");
            if (s.noopt) cmd.option("-no");
            break;
        case Optimizer:
            cmd.listoptions(s.optopts);
            break;
        case Assembler:
            includeoptions(cmd, s);
            if (plan.type == AsmSource || plan.type == PreprocAsm) defineoptions(cmd, s);
            cmd.listoptions(s.asmopts);
            if (s.deponly) cmd.option("-md");
            if (s.listing) {
                if (s.listdir)
                    cmd.pathoption("+l", platform::joinpath(s.listdir, src.base) + ".ls");
                else
                    cmd.option("-l");
            }
            break;
    }
    cmd.deferred();
    if (pass != Optimizer) {
        if (s.eclipse) cmd.option("-ge");
        if (s.errfile)
            cmd.pathoption("+e", (s.errdir ? platform::joinpath(s.errdir, src.base) : src.stem) + ".err");
    }
    cmd.input(in);
    return cmd;
}

// The parent-window notice has no counterpart here: a compiled file is
// announced to nobody.
void notifyparent(int32_t /*window*/, int32_t /*message*/) {}

enum class PassOutcome { Done, Failed };

// Runs one built pass. Ends the driver on an interrupt, a pass that could
// not be started and a pass that ended with status 2.
PassOutcome runpass(DriverState& state, const PassCommand& cmd, const std::string& out, bool checkout) {
    const bool temporary = out == state.temps.first || out == state.temps.second;
    // A stale temporary from the previous file must never pass for this
    // file's output.
    if (temporary && !platform::removefile(out)) {
        tl::puterr("can't remove temporary file " + out + "\n");
        return PassOutcome::Failed;
    }
    if (platform::interrupted()) stopdriver(state, 2);
    auto result = platform::runprocess(cmd.program(), cmd.args());
    if (platform::interrupted()) stopdriver(state, 2);
    using End = platform::ProcessResult::End;
    switch (result.end) {
        case End::NotStarted:
            tl::puterr("WIN execution failed\n");
            stopdriver(state, 2);
        case End::Signaled:
            if (result.signal == SIGINT) stopdriver(state, 2);
            tl::puterr(cmd.name() + ": ended by signal " + std::to_string(result.signal) + "\n");
            return PassOutcome::Failed;
        case End::Exited:
            break;
    }
    if (result.status == 2) stopdriver(state, 2);
    if (result.status != 0) return PassOutcome::Failed;
    if (checkout && platform::pathkind(out) != platform::PathKind::File) {
        tl::puterr(cmd.name() + ": no output file " + out + "\n");
        return PassOutcome::Failed;
    }
    return PassOutcome::Done;
}

}  // namespace

std::vector<std::string> splitargs(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    bool inword = false, inquote = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            size_t n = 0;
            while (i < text.size() && text[i] == '\\') ++n, ++i;
            if (i < text.size() && text[i] == Q) {
                cur.append(n / 2, '\\');
                if (n % 2) cur += Q;
                else --i;  // the quote opens or closes
            } else {
                cur.append(n, '\\');
                --i;
            }
            inword = true;
        } else if (c == Q) {
            inquote = !inquote;
            inword = true;
        } else if ((c == ' ' || c == '\t') && !inquote) {
            if (inword) out.push_back(cur);
            cur.clear();
            inword = false;
        } else {
            cur += c;
            inword = true;
        }
    }
    if (inword) out.push_back(cur);
    return out;
}

void TempFiles::remove() {
    if (dir.empty()) return;
    platform::removeprivatedir(dir);
    dir.clear();
}

bool compile(DriverState& state, const std::string& file) {
    const DriverSettings& s = state.set;
    if (!s.deponly) (s.noexec ? tl::puterr : tl::putout)(file + ":\n");
    SourceName src = splitsource(file);
    int type = filetype(src, s);
    if (type == Unknown) {
        tl::puterr("unknown file type " + file + "\n");
        return false;
    }
    FilePlan plan = planfile(state, src, type);
    if (plan.skip) return true;
    type = plan.type;

    // A file whose temporaries cannot be made has failed like one whose pass
    // failed (a waiting parent window turns that into status 2).
    bool ok = !plan.failed;
    for (int pass = type == AsmSource ? Assembler : Parser; ok && pass <= Assembler; ++pass) {
        if (pass == Optimizer && s.noopt) continue;
        if (type == PreprocAsm && (pass == Generator || pass == Optimizer)) continue;
        if (pass == Assembler && s.asmonly) break;
        if (pass == Generator && s.preponly) break;

        std::string in, out;
        switch (pass) {
            case Parser: in = src.path, out = plan.parserout; break;
            case Generator: in = state.temps.first, out = s.noopt ? plan.asmin : state.temps.second; break;
            case Optimizer: in = state.temps.second, out = plan.asmin; break;
            case Assembler: in = plan.asmin, out = plan.object; break;
        }
        PassCommand cmd = buildcommand(state, pass, plan, src, in, out);
        if (s.verbose && !s.deponly) (s.noexec ? tl::puterr : tl::putout)("\t" + cmd.shown() + "\n");
        if (s.noexec) {
            tl::putout(cmd.shown() + "\n");
            continue;
        }
        // Dependency lines go to the standard output, not to the -o file.
        const bool checkout = !s.deponly;
        if (platform::samefile(out, src.path)) {
            tl::puterr("output file " + out + " is the source file\n");
            ok = false;
            break;
        }
        if (runpass(state, cmd, out, checkout) == PassOutcome::Failed) {
            ok = false;
            break;
        }
    }

    if (s.parentwindow && !s.noexec) {
        if (!ok) stopdriver(state, 2);
        notifyparent(s.parentwindow, s.parentmessage);
    }
    return ok;
}

int drvmain(DriverState& state, int argc, char** argv) {
    platform::catchinterrupt();
    platform::resetinterrupt();
    splitprog(state, argc > 0 ? argv[0] : nullptr);
    tl::setversion(kVersion, kDate);
    tl::parseopts(argc, argv, kTitle, "files", commandspecs(state.set));
    readconfig(state);
    applymacros(state);
    DriverSettings& s = state.set;
    if (s.deponly || s.analyser) s.preponly = 1;

    for (int i = 0; i < argc; ++i) {
        if (platform::interrupted()) stopdriver(state, 2);
        if (!compile(state, argv[i])) state.failed = true;
    }
    state.temps.remove();
    return state.failed ? 1 : 0;
}

int run(int argc, char** argv) {
    tl::resettoolcontext();
    DriverState state;
    std::string self = platform::selfpath();
    size_t slash = self.rfind('/');
    if (slash != std::string::npos) state.progdir = self.substr(0, slash + 1);
    return drvmain(state, argc, argv);
}

}  // namespace driver

// The rewrite checker: see checker.h.
//
// Memory of a run (every address reachable with a 16-bit displacement from
// r0, so that the stubs need no base register):
//   0x0100  trace offset, 0x0104/0x010C spilled r11/r12, 0x0108 call count,
//           0x0110 a jump-table target
//   0x0200  the address table r2 points at (pointers)
//   0x0400  the data symbols, 0x80 bytes each
//   0x1800  more pointer targets
//   0x2800  the call trace, a ring of 0xF80 bytes
//   0x3800  the stack; r1 starts at 0x4000, what lies below it is the
//           function's own frame and is not compared
//   0x4800  the halt half-word (the return address), then the code
#include "tools/optcheck/checker.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "assembler/asm.h"
#include "optimizer/opt.h"
#include "toollib/options.h"
#include "toollib/quit.h"
#include "toollib/services.h"
#include "vek/core/exec/simtarget.h"

namespace optcheck {

namespace {

constexpr uint32_t kTraceOffset = 0x100, kSpill11 = 0x104, kCallCount = 0x108, kSpill12 = 0x10C,
                   kJumpTarget = 0x110;
constexpr uint32_t kTable = 0x200, kTableWords = 128;
constexpr uint32_t kData = 0x400, kDataSize = 0x80, kMaxSymbols = 40;
constexpr uint32_t kArena = 0x1800, kArenaSize = 0x1000;
constexpr uint32_t kTrace = 0x2800, kTraceRing = 0xF80;
constexpr uint32_t kStackLow = 0x3800, kStackTop = 0x4800, kEntrySp = 0x4000;
constexpr uint32_t kHalt = 0x4800;

bool wordstart(char c) { return opt::iswordchar(c) && !(c >= '0' && c <= '9'); }

std::vector<std::string> splitlines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        size_t e = text.find('\n');
        std::string line(text.substr(0, e));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (e == std::string_view::npos) break;
        text.remove_prefix(e + 1);
    }
    return lines;
}

std::string trim(std::string_view s) {
    s = opt::skipspace(s);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return std::string(s);
}

// Name tokens of an operand text, without register names, numbers and
// relocation suffixes (x@ha gives x).
std::vector<std::string> names(std::string_view t) {
    std::vector<std::string> out;
    bool quoted = false;
    for (size_t i = 0; i < t.size();) {
        char c = t[i];
        if (c == '"') quoted = !quoted;
        if (!quoted && c == ';') break;
        if (quoted || !wordstart(c) || (i > 0 && (opt::iswordchar(t[i - 1]) || t[i - 1] == '@'))) {
            ++i;
            continue;
        }
        size_t e = i;
        while (e < t.size() && opt::iswordchar(t[e])) ++e;
        std::string name(t.substr(i, e - i));
        i = e;
        while (!name.empty() && name[0] == '.') name.erase(0, 1);
        if (name.empty() || opt::regclass(name)) continue;
        out.push_back(name);
    }
    return out;
}

// ---- one version of the function ----

struct Function {
    std::string entry;
    std::vector<std::string> body;        // the lines the wrapper keeps
    std::set<std::string> labels;         // defined in the body
    std::set<std::string> defined;        // by equ and set lines
    std::set<std::string> callees;
    std::set<std::string> mentioned;      // every other name of an operand or data line
};

struct CallInfo {
    uint32_t returns = 0;                         // registers the function returns
    std::map<std::string, uint32_t> args;         // registers each called function takes
};

// The lines of the function: between the FL: markers when there are any,
// the entry label being the label before the first one.
std::vector<std::string> functionlines(std::string_view text, std::string& entry) {
    std::vector<std::string> lines = splitlines(text);
    auto isfl = [](const std::string& l) { return trim(l).starts_with("FL:"); };
    auto first = std::find_if(lines.begin(), lines.end(), isfl);
    entry.clear();
    if (first == lines.end()) return lines;
    for (auto it = first; it != lines.begin();) {
        --it;
        std::string t = trim(*it);
        if (t.empty() || t[0] == ';' || t[0] == '.') continue;
        if (!t.empty() && t.back() == ':' && t.find(' ') == std::string::npos) entry = t.substr(0, t.size() - 1);
        break;
    }
    auto last = std::find_if(first + 1, lines.end(), isfl);
    return std::vector<std::string>(first + 1, last);
}

struct Parsed {
    std::unique_ptr<opt::InsnNode> node;
    std::string label;   // a label standing in front of it on the same line
};

// Splits a line into its label (if any) and a parsed node of the rest.
Parsed parseline(opt::Optimizer& o, const std::string& line) {
    Parsed p;
    p.node.reset(opt::parseinsn(o, line));
    if ((p.node->kind & opt::KLabelText) == opt::KLabelText) {
        size_t colon = line.find(':');
        p.label = trim(std::string_view(line).substr(0, colon));
        p.node.reset(opt::parseinsn(o, std::string_view(line).substr(colon + 1)));
    }
    return p;
}

bool ismnemonic(const opt::InsnNode* n, std::string_view m) {
    return n->isinsn() && std::string_view(opt::insnrow(n->kind).generic->mnemonic) == m;
}

// A branch or call that names its target: the target, else "".
std::string targetof(const opt::InsnNode* n) {
    if (!n->isinsn() || n->text.empty()) return "";
    std::string_view g = opt::insnrow(n->kind).generic->mnemonic;
    bool named = (n->crwrite & opt::Lbl) || ((n->crwrite & opt::Call) && g[0] == 'b');
    if (!named) return "";
    std::string t(opt::lastoperand(n->text));
    if (t.empty() || !wordstart(t[0]) || opt::regclass(t)) return "";
    return t;
}

Function readfunction(std::string_view text) {
    Function f;
    opt::Optimizer o;
    opt::initinsntab();
    std::vector<std::string> lines = functionlines(text, f.entry);
    for (const std::string& line : lines) {
        Parsed p = parseline(o, line);
        opt::InsnNode* n = p.node.get();
        std::string t = trim(line);
        if (n->islabel() && p.label.empty()) {
            std::string name(opt::labelname(n));
            if (name == "FL" || name == "VL" || name.starts_with("XL")) continue;
            f.labels.insert(name);
            f.body.push_back(name + ":");
            continue;
        }
        if (t.empty() || t[0] == ';' || t[0] == '/') continue;
        if (!p.label.empty()) f.labels.insert(p.label);
        if (n->isinsn()) {
            if (n->crread & opt::Use) {
                if (!p.label.empty()) f.body.push_back(p.label + ":");
                continue;
            }
            std::string target = targetof(n);
            if (!target.empty()) f.callees.insert(target);
            for (std::string& name : names(n->text))
                if (name != target) f.mentioned.insert(name);
            f.body.push_back(line);
            continue;
        }
        // text: keep data and symbol lines, drop directives of our own layout
        std::string_view rest = opt::skipspace(n->text);
        if (rest.empty()) {
            if (!p.label.empty()) f.body.push_back(p.label + ":");
            continue;
        }
        if (rest[0] == '.') continue;
        std::string word;
        for (char c : rest) {
            if (!opt::iswordchar(c)) break;
            word += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        if (t.starts_with("OFST:")) {
            f.defined.insert("OFST");
            f.body.push_back(line);
            continue;
        }
        if (word == "xdef" || word == "xref" || word.starts_with("xref.") || word == "section" ||
            word == "switch" || word == "end" || word == "list" || word == "nolist") {
            if (!p.label.empty()) f.body.push_back(p.label + ":");
            continue;
        }
        if ((word == "equ" || word == "set") && !p.label.empty()) f.defined.insert(p.label);
        for (std::string& name : names(rest.substr(word.size()))) f.mentioned.insert(name);
        f.body.push_back(line);
    }
    // tail calls and calls of names that the function defines are no calls
    for (const std::string& l : f.labels) f.callees.erase(l);
    for (const std::string& d : f.defined) f.callees.erase(d);
    f.callees.erase(f.entry);
    return f;
}

// What the "use" lines of the reference say: the registers given to each
// call, and to each return.
CallInfo readcalls(std::string_view reference) {
    CallInfo info;
    opt::Optimizer o;
    std::string entry;
    std::vector<std::string> lines = functionlines(reference, entry);
    std::set<std::string> labels;
    for (const std::string& line : lines) {
        Parsed p = parseline(o, line);
        if (p.node->islabel()) labels.insert(std::string(opt::labelname(p.node.get())));
        if (!p.label.empty()) labels.insert(p.label);
    }
    uint32_t pending = 0;
    std::map<std::string, std::optional<uint32_t>> args;
    for (const std::string& line : lines) {
        Parsed p = parseline(o, line);
        opt::InsnNode* n = p.node.get();
        if (n->islabel() || !p.label.empty()) pending = 0;
        if (!n->isinsn()) continue;
        if (n->crread & opt::Use) {
            pending |= n->gprread;
            continue;
        }
        std::string target = targetof(n);
        bool external = !target.empty() && !labels.count(target);
        bool call = (n->crwrite & opt::Call) || (external && (n->crwrite & opt::Lbl));
        if (call && external) {
            auto& a = args[target];
            a = a ? (*a & pending) : pending;
            pending = 0;
        } else if (n->crwrite & opt::Exit) {
            if (ismnemonic(n, "blr")) info.returns |= pending;
            pending = 0;
        }
    }
    for (auto& [name, mask] : args) info.args[name] = mask.value_or(0);
    return info;
}

// ---- the wrapper ----

struct Layout {
    std::vector<std::string> symbols;   // data symbols in address order
    std::vector<std::string> callees;   // stubs in id order
};

std::string hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%X", v);
    return b;
}

// What a call of name reads and writes, as the optimizer sees it.
struct CallEffect {
    uint32_t traced = 0;    // registers appended to the trace
    uint32_t written = 0;   // general registers the stub may change
    bool ctr = false, exit = false, jumptable = false, restore = false;
};

CallEffect effectof(const std::string& name, const CallInfo& calls) {
    CallEffect e;
    opt::Optimizer o;
    std::unique_ptr<opt::InsnNode> n(opt::parseinsn(o, "\tbl\t" + name));
    e.written = n->gprwrite;
    bool helper = name.starts_with("c_") && (n->gprread || n->gprwrite != (opt::regbit(0) | 0x7F8u));
    if (helper) {
        e.traced = n->gprread;
        e.ctr = n->crwrite & opt::Ctr;
        e.exit = n->crwrite & opt::Exit;
        e.jumptable = name == "c_jrtab";
        e.restore = e.exit && !e.jumptable;
    } else {
        auto it = calls.args.find(name);
        e.traced = it == calls.args.end() ? 0 : it->second;
    }
    return e;
}

std::string reg(int r) { return "r" + std::to_string(r); }

void emit(std::string& out, std::string_view line) {
    out += '\t';
    out += line;
    out += '\n';
}

// A stub: trace [id, traced registers...], count the call, make the results
// from the traced values and the count, clobber what the call may clobber.
void writestub(std::string& out, const std::string& name, int id, const CallEffect& e) {
    std::string local = "__chk_s" + std::to_string(id);
    out += name + ":\n";
    emit(out, "stw\tr11," + hex(kSpill11) + "(r0)");
    emit(out, "stw\tr12," + hex(kSpill12) + "(r0)");
    emit(out, "lwz\tr11," + hex(kTraceOffset) + "(r0)");
    emit(out, "li\tr12," + std::to_string(id));
    emit(out, "stw\tr12," + hex(kTrace) + "(r11)");
    std::vector<int> traced;
    for (int r = 0; r < 32; ++r)
        if (e.traced & opt::regbit(r)) traced.push_back(r);
    uint32_t slot = kTrace + 4;
    auto value = [&](int r, const std::string& into) {   // the value r had at the call
        if (r == 11 || r == 12) {
            emit(out, "lwz\t" + into + "," + hex(r == 11 ? kSpill11 : kSpill12) + "(r0)");
            return into;
        }
        return reg(r);
    };
    for (int r : traced) {
        std::string src = value(r, "r12");
        emit(out, "stw\t" + src + "," + hex(slot) + "(r11)");
        slot += 4;
    }
    emit(out, "addi\tr11,r11," + std::to_string(4 * (traced.size() + 1)));
    emit(out, "cmplwi\tr11," + hex(kTraceRing));
    emit(out, "blt\t" + local);
    emit(out, "li\tr11,0");
    out += local + ":\n";
    emit(out, "stw\tr11," + hex(kTraceOffset) + "(r0)");
    emit(out, "lwz\tr11," + hex(kCallCount) + "(r0)");
    emit(out, "addi\tr11,r11,1");
    emit(out, "stw\tr11," + hex(kCallCount) + "(r0)");
    if (e.jumptable) {
        // the word after the call that the index selects
        emit(out, "mflr\tr12");
        emit(out, "slwi\tr11,r3,2");
        emit(out, "add\tr12,r12,r11");
        emit(out, "lwz\tr12,0(r12)");
        emit(out, "stw\tr12," + hex(kJumpTarget) + "(r0)");
        emit(out, "lwz\tr11," + hex(kCallCount) + "(r0)");
    }
    // r12 = count * 97 + id, then * 31 + each traced value
    emit(out, "mulli\tr12,r11,97");
    emit(out, "addi\tr12,r12," + std::to_string(id));
    for (int r : traced) {
        std::string src = value(r, "r11");
        emit(out, "mulli\tr12,r12,31");
        emit(out, "add\tr12,r12," + src);
    }
    for (int r = 0; r < 11; ++r)
        if (e.written & opt::regbit(r)) emit(out, "addi\t" + reg(r) + ",r12," + std::to_string(0x101 * (r + 1)));
    emit(out, "cmpwi\tr12,0");
    if (e.ctr) emit(out, "mtctr\tr12");
    if (e.jumptable) {
        emit(out, "lwz\tr11," + hex(kJumpTarget) + "(r0)");
        emit(out, "mtlr\tr11");
    }
    emit(out, (e.written & opt::regbit(11)) ? "addi\tr11,r12,2827" : "lwz\tr11," + hex(kSpill11) + "(r0)");
    emit(out, (e.written & opt::regbit(12)) ? "addi\tr12,r12,3084" : "lwz\tr12," + hex(kSpill12) + "(r0)");
    if (e.restore) {
        emit(out, "addi\tr1,r1,68");
        emit(out, "b\t__chk_halt");
    } else {
        emit(out, "blr");
    }
}

std::string wrapfunction(const Function& f, const Layout& layout, const CallInfo& calls) {
    std::string out = "; one version of a function, wrapped to run alone\n";
    out += "__chk_code:\tsection\t.text,abs\n";
    emit(out, "org\t" + hex(kHalt));
    out += "__chk_halt:\n";
    emit(out, "dc.w\t0");
    std::string entry = f.entry.empty() ? "__chk_entry" : f.entry;
    emit(out, "b\t" + entry);
    for (size_t k = 0; k < layout.symbols.size(); ++k)
        out += layout.symbols[k] + ":\tequ\t" + hex(kData + kDataSize * static_cast<uint32_t>(k)) + "\n";
    if (!f.defined.count("OFST") && f.mentioned.count("OFST")) out += "OFST:\tequ\t0\n";
    out += entry + ":\n";
    for (const std::string& line : f.body) out += line + "\n";
    for (size_t k = 0; k < layout.callees.size(); ++k)
        if (!f.labels.count(layout.callees[k]))
            writestub(out, layout.callees[k], static_cast<int>(k + 1), effectof(layout.callees[k], calls));
    return out;
}

Layout layoutof(const Function& a, const Function& b) {
    Layout l;
    std::set<std::string> callees(a.callees.begin(), a.callees.end());
    callees.insert(b.callees.begin(), b.callees.end());
    l.callees.assign(callees.begin(), callees.end());
    std::set<std::string> symbols;
    for (const Function* f : {&a, &b})
        for (const std::string& n : f->mentioned)
            if (!f->labels.count(n) && !f->defined.count(n) && !callees.count(n) && n != f->entry && n != "OFST")
                symbols.insert(n);
    l.symbols.assign(symbols.begin(), symbols.end());
    return l;
}

// ---- assembling ----

struct Image {
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> sections;   // origin, data
};

std::filesystem::path scratchdir() {
    std::string base = (std::filesystem::temp_directory_path() / "optcheck.XXXXXX").string();
    std::vector<char> name(base.begin(), base.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) return {};
    return std::filesystem::path(name.data());
}

uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// Assembles source with cappc in-process; the assembler's messages on
// failure.
std::optional<Image> assemble(const std::string& source, std::string& messages) {
    std::filesystem::path dir = scratchdir();
    if (dir.empty()) {
        messages = "cannot make a scratch directory";
        return std::nullopt;
    }
    std::string src = (dir / "v.s").string(), obj = (dir / "v.o").string(), log = (dir / "v.log").string();
    std::ofstream(src, std::ios::binary) << source;

    std::vector<std::string> words = {"cappc", "-si", "-o", obj, src};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    tl::ToolContext saved = tl::toolcontext();
    std::fflush(stdout);
    std::fflush(stderr);
    int logfd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int out = ::dup(1), err = ::dup(2);
    if (logfd >= 0) ::dup2(logfd, 1), ::dup2(logfd, 2);
    tl::resettoolcontext();
    int status = tl::runmain([&] { return as::run(static_cast<int>(words.size()), argv.data()); });
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(out, 1), ::dup2(err, 2);
    ::close(out), ::close(err);
    if (logfd >= 0) ::close(logfd);
    tl::toolcontext() = saved;

    std::ifstream lf(log, std::ios::binary);
    std::stringstream ls;
    ls << lf.rdbuf();
    messages = ls.str();
    std::ifstream of(obj, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(of)), std::istreambuf_iterator<char>());
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (status != 0 || b.size() < 28) {
        if (messages.empty()) messages = "status " + std::to_string(status);
        return std::nullopt;
    }
    Image img;
    for (size_t k = 0; k < b[3]; ++k) {
        size_t r = 28 + 40 * k;
        if (r + 40 > b.size()) break;
        uint32_t off = u32(b, r + 16), size = u32(b, r + 20), relsize = u32(b, r + 28), origin = u32(b, r + 32);
        if (b[r] & 0x01) continue;   // bss
        if (relsize || off > b.size() || size > b.size() - off) {
            messages = "the wrapped source needs relocation";
            return std::nullopt;
        }
        img.sections.emplace_back(origin, std::vector<uint8_t>(b.begin() + off, b.begin() + off + size));
    }
    return img;
}

// ---- running ----

struct Rng {
    uint64_t s;
    uint32_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 16);
    }
};

struct State {
    uint32_t regs[37] = {};                     // as the register file numbers them, minus one
    std::vector<std::pair<uint32_t, uint32_t>> words;   // memory fill
};

State randomstate(uint32_t seed, size_t symbols) {
    Rng rng{seed * 0x1000193ull + 7};
    std::vector<uint32_t> pool = {kArena, kArena + 4, kArena + 0x40, kArena + 0x100, kArena + 0xFF0};
    for (size_t k = 0; k < std::min<size_t>(symbols, 8); ++k) {
        pool.push_back(kData + kDataSize * static_cast<uint32_t>(k));
        pool.push_back(kData + kDataSize * static_cast<uint32_t>(k) + 4);
    }
    auto pointer = [&] { return pool[rng.next() % pool.size()]; };
    // pointers, and numbers near what code compares with
    auto value = [&]() -> uint32_t {
        switch (rng.next() % 10) {
        case 0: case 1: case 2: return pointer();
        case 3: case 4: return rng.next() % 4;
        case 5: case 6: return rng.next() % 256;
        case 7: return static_cast<uint32_t>(-static_cast<int32_t>(rng.next() % 64));
        default: return rng.next() * 65537u;
        }
    };
    State s;
    for (int r = 0; r < 32; ++r) s.regs[r] = value();
    s.regs[1] = kEntrySp;
    s.regs[2] = kTable;
    s.regs[13] = 0;
    s.regs[vek::RegLr - 1] = kHalt;
    s.regs[vek::RegCtr - 1] = 1 + rng.next() % 16;
    s.regs[vek::RegCr - 1] = rng.next();
    s.regs[vek::RegXer - 1] = (rng.next() & 1) ? vek::XerCa : 0;
    s.regs[vek::RegPc - 1] = kHalt + 2;
    for (uint32_t k = 0; k < kTableWords; ++k) s.words.emplace_back(kTable + 4 * k, pointer());
    for (uint32_t a = kData; a < kArena + kArenaSize; a += 4) s.words.emplace_back(a, value());
    for (uint32_t a = kStackLow; a < kStackTop; a += 4) s.words.emplace_back(a, value());
    return s;
}

struct Outcome {
    bool returned = false;
    uint32_t pc = 0;
    uint64_t steps = 0;
    std::vector<uint32_t> regs;     // 37 words
    std::vector<uint8_t> low;       // [0, kStackLow)
    std::vector<uint8_t> caller;    // [kEntrySp, kStackTop)
};

Outcome execute(const Image& img, const State& s, uint64_t maxsteps) {
    auto t = std::make_unique<vek::SimTarget>();
    for (const auto& [origin, data] : img.sections) t->mem.putmem(origin, data.data(), data.size());
    for (const auto& [addr, word] : s.words) t->mem.putlong(addr, word);
    for (unsigned r = 0; r < vek::RegCount; ++r) t->regs.bank[0].word[r] = s.regs[r];
    t->exec.setvleboundary(0);
    Outcome out;
    out.steps = t->exec.run(maxsteps);
    out.pc = t->regs.getpc();
    out.returned = out.pc == kHalt;
    out.regs.assign(t->regs.bank[0].word, t->regs.bank[0].word + vek::RegCount);
    out.low.resize(kStackLow);
    t->mem.getmem(out.low.data(), 0, kStackLow);
    // the stubs' scratch words hold whatever r11 and r12 held at a call
    for (uint32_t a : {kSpill11, kSpill12, kJumpTarget}) std::fill_n(out.low.begin() + a, 4, 0);
    out.caller.resize(kStackTop - kEntrySp);
    t->mem.getmem(out.caller.data(), kEntrySp, kStackTop - kEntrySp);
    return out;
}

// The byte at addr, named by what lies there.
std::string where(uint32_t addr, const Layout& layout) {
    char b[96];
    if (addr >= kTrace && addr < kTrace + 0x1000)
        std::snprintf(b, sizeof b, "byte %u of the call trace", addr - kTrace);
    else if (addr >= kTraceOffset && addr < kTraceOffset + 16)
        std::snprintf(b, sizeof b, "a byte of the call count");
    else if (addr >= kData && addr < kData + kDataSize * layout.symbols.size())
        std::snprintf(b, sizeof b, "the byte at %s+%u", layout.symbols[(addr - kData) / kDataSize].c_str(),
                      (addr - kData) % kDataSize);
    else if (addr >= kEntrySp && addr < kStackTop)
        std::snprintf(b, sizeof b, "the byte at %u(r1) of the caller's stack", addr - kEntrySp);
    else
        std::snprintf(b, sizeof b, "the byte at 0x%X", addr);
    return b;
}

// The first difference of two outcomes, "" when they agree: the calls
// first, then the registers, then memory.
std::string difference(const Outcome& a, const Outcome& b, uint32_t returns, const Layout& layout) {
    char line[160];
    auto bytes = [&](const std::vector<uint8_t>& x, const std::vector<uint8_t>& y, uint32_t base, uint32_t from,
                     uint32_t to) -> std::string {
        for (uint32_t addr = from; addr < to; ++addr) {
            size_t i = addr - base;
            if (x[i] != y[i]) {
                std::snprintf(line, sizeof line, "%s is 0x%02X after the change, 0x%02X before",
                              where(addr, layout).c_str(), y[i], x[i]);
                return line;
            }
        }
        return "";
    };
    std::string d = bytes(a.low, b.low, 0, kTraceOffset, kTraceOffset + 16);
    if (d.empty()) d = bytes(a.low, b.low, 0, kTrace, kTrace + 0x1000);
    if (!d.empty()) return d;
    std::vector<int> regs = {1, 2, 13};
    for (int r = 14; r < 32; ++r) regs.push_back(r);
    for (int r = 3; r < 13; ++r)
        if (returns & opt::regbit(r)) regs.push_back(r);
    std::sort(regs.begin(), regs.end());
    for (int r : regs)
        if (a.regs[static_cast<size_t>(r)] != b.regs[static_cast<size_t>(r)]) {
            std::snprintf(line, sizeof line, "r%d is 0x%X after the change, 0x%X before", r,
                          b.regs[static_cast<size_t>(r)], a.regs[static_cast<size_t>(r)]);
            return line;
        }
    d = bytes(a.low, b.low, 0, 0, kStackLow);
    if (d.empty()) d = bytes(a.caller, b.caller, kEntrySp, kEntrySp, kStackTop);
    return d;
}

}  // namespace

std::string wrap(std::string_view text, std::string_view reference) {
    Function f = readfunction(text);
    return wrapfunction(f, layoutof(f, f), readcalls(reference.empty() ? text : reference));
}

Verdict compare(std::string_view before, std::string_view after, const Settings& settings,
                std::string_view reference) {
    Verdict v;
    Function fa = readfunction(before), fb = readfunction(after);
    CallInfo calls = readcalls(reference.empty() ? before : reference);
    Layout layout = layoutof(fa, fb);
    if (layout.symbols.size() > kMaxSymbols) {
        v.ok = false;
        v.message = "more than " + std::to_string(kMaxSymbols) + " data symbols";
        return v;
    }
    std::string messages;
    std::optional<Image> ia = assemble(wrapfunction(fa, layout, calls), messages);
    if (!ia) {
        v.ok = false;
        v.message = "the assembler rejects the text before the change: " + messages;
        return v;
    }
    std::optional<Image> ib = assemble(wrapfunction(fb, layout, calls), messages);
    if (!ib) {
        v.ok = false;
        v.message = "the assembler rejects the changed text: " + messages;
        return v;
    }
    for (int k = 0; k < settings.seeds; ++k) {
        uint32_t seed = settings.firstseed + static_cast<uint32_t>(k);
        State s = randomstate(seed, layout.symbols.size());
        Outcome a = execute(*ia, s, settings.maxsteps);
        if (!a.returned) continue;
        ++v.returned;
        Outcome b = execute(*ib, s, settings.maxsteps);
        std::string d;
        if (!b.returned) {
            char line[96];
            std::snprintf(line, sizeof line, "the changed function does not return (stopped at 0x%X)", b.pc);
            d = line;
        } else {
            d = difference(a, b, calls.returns, layout);
        }
        if (!d.empty()) {
            v.ok = false;
            v.message = "seed " + std::to_string(seed) + ": " + d;
            return v;
        }
    }
    if (v.returned == 0) v.message = "no random state ran the function to its return";
    return v;
}

Verdict checkchanges(const std::vector<Change>& changes, const Settings& settings) {
    Verdict all;
    if (changes.empty()) return all;
    const std::string& reference = changes.front().text;
    for (size_t i = 1; i < changes.size(); ++i) {
        Verdict v = compare(changes[i - 1].text, changes[i].text, settings, reference);
        all.returned += v.returned;
        if (!v.ok) {
            v.message = "pass " + (changes[i].pass.empty() ? std::string("?") : changes[i].pass) + ": " + v.message;
            return v;
        }
    }
    return all;
}

}  // namespace optcheck

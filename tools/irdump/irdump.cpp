// irdump: the printer and checker of intermediate files. Decoding is
// toollib/ir's; the checks walk the decoded records once, keeping the open
// function's labels and targets, and the debug listing is irdebug.cpp's.
#include "tools/irdump/irdump.h"

#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "platform/files.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace irdump {

namespace {

using namespace ir;

std::string hex(size_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%zx", v);
    return buf;
}

class Checker {
public:
    std::vector<Problem> problems;

    void file(const File& f) {
        header(f.header);
        for (size_t i = 0; i < f.records.size(); ++i) {
            const Record& r = f.records[i];
            at = r.offset;
            if (r.code == R_STOP && i + 1 < f.records.size()) fault("end-of-unit byte before the last record");
            record(r);
        }
        if (infunction) fault("function not closed by a 211 record");
        for (const auto& [label, where] : refs)
            if (!placed.count(label)) problems.push_back({where, "address of label " + std::to_string(label) + " never placed"});
    }

private:
    size_t at = 0;
    bool infunction = false;
    std::set<uint32_t> funclabels;                 // placed in the open function
    std::vector<std::pair<uint32_t, size_t>> targets;  // used in the open function
    std::set<uint32_t> placed;                     // placed anywhere (debug and literal labels, statements)
    std::map<uint32_t, size_t> refs;               // label-only address cells

    void fault(const std::string& m) { problems.push_back({at, m}); }

    void header(const Header& h) {
        at = 0;
        if (h.bytes.size() == 2) {
            if (h.bytes[0] != kAnalyserMagic || h.bytes[1] != kAnalyserSecond) fault("bad analyser header");
            return;
        }
        if (h.bytes.size() != 5) return;
        if (h.bytes[0] != kMagic) fault("bad magic byte " + hex(h.bytes[0]));
        if (h.bytes[1] & kTargetBadBits) fault("bad target byte " + hex(h.bytes[1]));
        if (h.bytes[2] & 0xC0) fault("bad flag bits " + hex(h.bytes[2]));
        if (h.bytes[3] != kGeneration) fault("bad parser generation " + hex(h.bytes[3]));
    }

    void label(uint32_t l, const char* what) {
        if (!(l & 1)) fault(std::string(what) + " label " + std::to_string(l) + " is even");
    }
    void target(uint32_t l) {
        label(l, "target");
        targets.emplace_back(l, at);
    }
    void place(uint32_t l) {
        label(l, "statement");
        if (!funclabels.insert(l).second) fault("label " + std::to_string(l) + " placed twice in one function");
        placed.insert(l);
    }

    void name(const NameBlock& n) {
        if (n.present && n.kind != 0) {
            uint8_t base = n.kind & ~(NK_FAR | NK_ABSOLUTE);
            if (base != NK_DATA && base != NK_FUNCTION && base != NK_FUNCDOUBLE && base != NK_FUNCSTRUCT)
                fault("bad name kind " + hex(n.kind));
        }
        if (n.number && !(n.number & 1) && !(n.present && (n.kind & NK_ABSOLUTE)))
            fault("label " + std::to_string(n.number) + " is even");
    }

    void type(const TypeDescriptor& t) {
        if (t.typecode() < T_CHAR || t.typecode() > T_STRUCT || (t.code & 0x70)) fault("bad type code " + hex(t.code));
    }

    void tree(const Tree& t) {
        type(t.type);
        if (t.isleaf()) {
            name(t.name);
            if (t.storage > S_REGLAST) fault("bad storage code " + std::to_string(t.storage));
            if (t.flag > 1) fault("bad contents flag " + std::to_string(t.flag));
            return;
        }
        if (!opname(t.op)) fault("bad operator code " + std::to_string(t.op));
        if (t.left) tree(*t.left);
        if (t.middle) tree(*t.middle);
        if (t.right) tree(*t.right);
    }

    void endfunction() {
        for (const auto& [l, where] : targets)
            if (!funclabels.count(l))
                problems.push_back({where, "target label " + std::to_string(l) + " not placed in its function"});
        targets.clear();
        funclabels.clear();
        infunction = false;
    }

    static bool isbody(uint8_t code) {
        switch (code) {
        case R_PARAM: case R_PARAMSIZE: case R_FRAMELOW: case R_REGMASKS: case R_LABEL: case R_KEPTLABEL:
        case R_JUMP: case R_BLT: case R_BGE: case R_BGT: case R_BLE: case R_BEQ: case R_BNE: case R_EXPR:
        case R_RETURN: case R_SWITCH1: case R_SWITCH2: case R_SWITCH4: case R_SWITCHTABLES: case R_JUMPTABLE:
        case R_RANGE: case R_CASES: case R_TABLESEND: case R_SRCRANGE: case R_LOOP: case R_ENDFUNC:
        case R_IGNORED1: case R_IGNORED2: return true;
        default: return false;
        }
    }

    // The open switch: its case count and the cases its tables hold so far.
    std::optional<std::pair<uint64_t, uint64_t>> cases;
    uint32_t defaultlabel = 0;

    void record(const Record& r) {
        const auto& v = r.fields;
        if (isbody(r.code) && !infunction) fault("body record " + std::to_string(r.code) + " outside a function");
        if (cases && r.code != R_JUMPTABLE && r.code != R_RANGE && r.code != R_CASES && r.code != R_TABLESEND) {
            fault("switch tables not ended by 151");
            cases.reset();
        }
        for (const FieldValue& f : v) {
            if (f.tree) tree(*f.tree);
        }
        switch (r.code) {
        case R_FUNCTION:
            if (infunction) fault("function started inside a function");
            name(v[0].name);
            infunction = true;
            break;
        case R_ENDFUNC: endfunction(); break;
        case R_LABEL:
        case R_KEPTLABEL:
            place(static_cast<uint32_t>(v[0].num));
            if (v[2].present && v[2].num > 1) fault("bad label mark " + std::to_string(v[2].num));
            break;
        case R_JUMP: case R_BLT: case R_BGE: case R_BGT: case R_BLE: case R_BEQ: case R_BNE:
        case R_SWITCH1: case R_SWITCH2: case R_SWITCH4:
            target(static_cast<uint32_t>(v[0].num));
            break;
        case R_LOOP:
            label(static_cast<uint32_t>(v[0].num), "loop");
            if (v[1].num > 1) fault("bad loop flag " + std::to_string(v[1].num));
            break;
        case R_SWITCHTABLES:
            if (v[0].num != 0) fault("switch tables byte not 0");
            place(static_cast<uint32_t>(v[1].num));
            target(static_cast<uint32_t>(v[2].num));
            defaultlabel = static_cast<uint32_t>(v[2].num);
            if (v[4].num != 1 && v[4].num != 2 && v[4].num != 4) fault("bad switch value size " + std::to_string(v[4].num));
            cases = std::make_pair(v[3].num, uint64_t{0});
            break;
        case R_JUMPTABLE:
            if (!cases) fault("jump table outside switch tables");
            for (uint32_t l : v[2].list) {
                target(l);
                if (cases && l != defaultlabel) ++cases->second;
            }
            break;
        case R_RANGE:
            if (!cases) fault("case range outside switch tables");
            target(static_cast<uint32_t>(v[2].num));
            if (cases) cases->second += v[1].num;
            break;
        case R_CASES:
            if (!cases) fault("single cases outside switch tables");
            for (size_t k = 1; k < v[1].list.size(); k += 2) target(v[1].list[k]);
            if (cases) cases->second += v[0].num;
            break;
        case R_TABLESEND:
            if (!cases) {
                fault("end of switch tables without 185");
            } else if (cases->first != cases->second) {
                fault("switch has " + std::to_string(cases->first) + " cases, its tables " + std::to_string(cases->second));
            }
            cases.reset();
            break;
        case R_REGMASKS:
            if (v[0].num > 0x3FFFF || v[1].num > 0x3FFFF) fault("register mask beyond 0x3FFFF");
            if (v[2].num > 1) fault("bad calls byte " + std::to_string(v[2].num));
            break;
        case R_PARAM:
            type(v[0].type);
            if (v[2].num > S_REGLAST) fault("bad register " + std::to_string(v[2].num));
            break;
        case R_VALUE:
            if (v[0].num != 1 && v[0].num != 2 && v[0].num != 4) fault("bad value size " + std::to_string(v[0].num));
            break;
        case R_DOUBLE:
            if (v[0].num != 4 && v[0].num != 8) fault("bad floating size " + std::to_string(v[0].num));
            break;
        case R_DATA: case R_DATAATTR: case R_LITERAL:
            if (v[0].num > 15) fault("bad alignment " + std::to_string(v[0].num));
            name(v.back().name);
            if (r.code == R_LITERAL) placed.insert(v.back().name.number);
            break;
        case R_DLABEL:
            if (v[1].name.present) fault("debug label with a name");
            label(v[1].name.number, "debug");
            if (!placed.insert(v[1].name.number).second) fault("debug label " + std::to_string(v[1].name.number) + " placed twice");
            break;
        case R_DFILE: case R_DFUNC: case R_ABSOLUTE:
            if (v[0].num != 0) fault("leading byte not 0");
            name(v[1].name);
            break;
        case R_ADDR8: case R_ADDR16: case R_ADDR32:
            name(v[0].name);
            if (!v[0].name.present && v[0].name.number) refs.emplace(v[0].name.number, r.offset);
            break;
        case R_PUBLIC: case R_EXTERN: case R_SPACE: case R_FILE: name(v[0].name); break;
        default: break;
        }
    }
};

}  // namespace

std::vector<Problem> checkfile(const File& f, size_t) {
    Checker c;
    c.file(f);
    return c.problems;
}

int run(int argc, char** argv) {
    int32_t check = 0, debug = 0;
    std::vector<tl::OptionSpec> specs = {
        {"-check  check the file's invariants", &check},
        {"-debug  list the debug entries", &debug},
    };
    tl::parseopts(argc, argv, "Intermediate File Dumper", "file", specs);
    if (argc < 1) {
        tl::puterr("irdump: missing input file\n");
        return 1;
    }
    std::string input = argv[0];
    std::optional<std::string> bytes = platform::readfile(platform::hostpath(input));
    if (!bytes) {
        tl::puterr("irdump: can't open " + input + "\n");
        return 1;
    }
    File f;
    try {
        f = decodefile(*bytes);
    } catch (const DecodeError& e) {
        tl::puterr(input + ": offset " + hex(e.offset) + ": " + e.message + "\n");
        return 1;
    }
    std::vector<Problem> problems;
    std::string out;
    if (check) problems = checkfile(f, bytes->size());
    if (debug) out += debuglisting(f, problems);
    if (!check && !debug) {
        TextOptions opt;
        opt.offsets = true;
        out += printtext(f, opt);
    }
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    for (const Problem& p : problems) tl::puterr(input + ": offset " + hex(p.offset) + ": " + p.message + "\n");
    return problems.empty() ? 0 : 1;
}

}  // namespace irdump

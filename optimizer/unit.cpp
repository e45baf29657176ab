// Units: reading the text one function at a time, the driver loop that runs
// the passes over a unit until none changes anything, and writing it back.
//
// A unit is the text between two functions followed by one function (the
// lines between two FL: markers). Lines outside the function are kept
// exactly as read and nothing looks at them; a function holding a line the
// optimizer cannot account for (an unknown instruction, a macro call,
// conditional assembly) is written as read too, since any reasoning about
// its registers could be wrong.
#include <cstring>

#include "optimizer/opt.h"
#include "platform/interrupt.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace opt {

namespace {

constexpr std::string_view kOptLine = "; Optimizer V4.3.6 - 02 Oct 2012";

// The assembler's directives that may stand inside a function without
// changing what its instructions do: data, symbols, sections and listing
// control.
const char* const kQuietDirectives[] = {
    "align", "base", "bsct", "clist", "dc", "dc.b", "dc.l", "dc.w", "dcb", "dcb.b", "dcb.l", "dcb.w", "dlist", "ds",
    "ds.b", "ds.l", "ds.w", "equ", "even", "fcb", "fcc", "fdb", "list", "mlist", "nol", "nolist", "nopage",
    "page", "plen", "rmb", "section", "set", "spc", "subttl", "switch", "tabs", "title", "ttl", "xbit", "xbit.b", "xbit.w", "xdef",
    "xref", "xref.b", "xref.l", "xref.w", "xrefb",
};

// Whether a text line inside a function is one the flow may pass over:
// empty, a comment, a "." directive, OFST, or a quiet directive (after a
// label that could not be split off).
bool quietline(std::string_view t) {
    std::string_view s = skipspace(t);
    if (s.empty() || s[0] == ';' || s[0] == '/' || s[0] == '.') return true;
    if (t.starts_with("OFST:\tset\t")) return true;
    size_t w = 0;
    while (w < s.size() && iswordchar(s[w])) ++w;
    std::string_view word = s.substr(0, w);
    std::string_view after = skipspace(s.substr(w));
    if (w && !after.empty() && after[0] == ':') {   // label: directive
        return quietline(after.substr(1));
    }
    if (w == 0) return false;
    std::string lower;
    for (char c : word) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const char* d : kQuietDirectives)
        if (lower == d) return true;
    return false;
}

// Reads the next line into o.line without its line end; false at the end.
bool readline(Optimizer& o) {
    o.line.clear();
    int c;
    bool any = false;
    while ((c = std::getc(o.in)) != EOF) {
        any = true;
        if (c == '\n') break;
        o.line.push_back(static_cast<char>(c));
    }
    if (!any) return false;
    if (!o.line.empty() && o.line.back() == '\r') o.line.pop_back();
    return true;
}

void append(Unit& u, InsnNode* n) { insinsn(u, u.tail, n); }

bool isoutside(const InsnNode* n) { return !n->isinsn() && (n->kind & KOutside); }

bool isinfoline(const InsnNode* n) { return n->istext() && lineof(n) == "\t.info"; }

// What a node writes, and whether it is written (XL lines and empty lines
// are not).
bool outputline(const InsnNode* n, std::string& line) {
    line = lineof(n);
    return !line.empty() && !line.starts_with("XL");
}

class Stop {};   // the change bound was passed

}  // namespace

Unit::~Unit() { clear(); }

void Unit::clear() {
    for (InsnNode* n = head; n;) {
        InsnNode* next = n->next;
        delete n;
        n = next;
    }
    head = tail = labels = dentry = entry = nullptr;
    keepmask = 0;
    deferred = 0;
    opaque = function = closed = false;
    lines = 0;
}

long readunit(Optimizer& o) {
    Unit& u = o.unit;
    u.clear();
    o.passname.clear();
    o.framevalue = 0;
    o.framevalueset = false;
    if (o.ineof) return 0;
    u.firstline = o.linecount + 1;
    InsnNode* lastlabel = nullptr;   // the end of the label list
    bool inside = false;
    bool debuglines = false;         // between two XL: markers
    long count = 0;
    while (readline(o)) {
        if (platform::interrupted()) return count;
        ++o.linecount;
        ++count;
        for (;;) {   // once per line, again for the rest of a split label line
            InsnNode* n = parseinsn(o, o.line);
            if (inside && debuglines && !(n->islabel() && n->text.starts_with("XL"))) {
                // the debug section's lines are data, left as they are
                delete n;
                n = new InsnNode;
                n->kind = KText;
                n->text = n->raw = o.line;
                append(u, n);
                break;
            }
            if (!inside) {
                // outside the functions a line stays as it was read
                if (n->kind != KLabel) {
                    delete n;
                    n = new InsnNode;
                    n->kind = KText;
                    n->text = o.line;
                }
                n->kind |= KOutside;
                n->raw = o.line;
            }
            append(u, n);
            if (n->istext() && o.optline > 0 && --o.optline == 0) {
                InsnNode* opt = parseinsn(o, kOptLine);
                if (!inside) opt->kind |= KOutside;
                append(u, opt);
            }

            if (n->islabel() && (n->text == "FL:" || n->text == "VL:")) {
                bool fl = n->text == "FL:";
                unlinkinsn(u, n);
                delete n;
                if (!fl) {
                    if (u.tail) u.tail->kind |= KVolatile;
                } else if (!inside) {
                    inside = true;
                    u.function = true;
                    if (u.tail && u.tail->islabel()) {
                        u.tail->kind |= KEntry;
                        u.entry = u.tail;
                    }
                } else {
                    u.closed = true;
                    u.lines = count;
                    return count;
                }
                break;
            }
            if (!inside) break;
            if (n->islabel()) {
                if (n->text.starts_with("XL")) debuglines = !debuglines;
                if (n->text.starts_with("LL") || n->text.starts_with("XL")) {
                    n->kind = KText;
                } else {
                    if (lastlabel)
                        lastlabel->nextlabel = n;
                    else
                        u.labels = n;
                    lastlabel = n;
                }
                break;
            }
            if ((n->kind & KLabelText) == KLabelText) {
                std::string rest;
                if (splitlabel(n, rest)) {
                    if (lastlabel)
                        lastlabel->nextlabel = n;
                    else
                        u.labels = n;
                    lastlabel = n;
                    o.line = rest;
                    continue;
                }
            }
            if (n->istext()) {
                if (skipspace(n->text).starts_with(".dentry")) u.dentry = n;
                if (!quietline(n->text)) u.opaque = true;
            }
            break;
        }
    }
    o.ineof = true;
    u.lines = count;
    return count;
}

std::string unittext(const Optimizer& o) {
    const Unit& u = o.unit;
    std::string text, line;
    bool opened = false;
    for (const InsnNode* n = u.head; n; n = n->next) {
        if (u.function && !opened && !isoutside(n)) {
            text += "FL:\n";
            opened = true;
        }
        if (outputline(n, line)) {
            text += line;
            text += '\n';
        }
        if (n->isinsn() && n->isvolatile()) text += "VL:\n";
    }
    if (u.function && !opened) text += "FL:\n";
    if (u.closed) text += "FL:\n";
    return text;
}

void notechange(Optimizer& o) {
    if (o.onchange) o.onchange(o.passname, unittext(o));
}

namespace {

struct Driver {
    Optimizer& o;
    long changes = 0;
    long limit;

    explicit Driver(Optimizer& opt) : o(opt), limit(opt.changelimit * (opt.unit.lines > 0 ? opt.unit.lines : 1)) {}

    void before() {
        clearmarks(o, o.pendingmarks);
        o.loopguard = false;
        o.paths.used = 0;
        o.pathoverflow = false;
    }
    void changed() {
        notechange(o);
        if (++changes > limit) throw Stop{};
        if (platform::interrupted()) throw Stop{};
    }

    // Block passes on every label until a sweep changes nothing.
    bool blockphase() {
        bool any = false;
        for (;;) {
            mergelabels(o);
            bool swept = false;
            // a change may delete the label: the sweep ends before it is read again
            for (InsnNode* l = o.unit.labels; l && !swept;) {
                InsnNode* next = l->nextlabel;
                for (const BlockPassDef& p : o.passes.block) {
                    before();
                    if (p.fn(o, l)) {
                        changed();
                        swept = any = true;
                        break;
                    }
                }
                if (!swept) l = next;
            }
            if (!swept) return any;
        }
    }

    // Handlers on every instruction, a rewritten line examined again.
    bool handlerphase() {
        bool any = false;
        Handler i1 = o.passes.i1;
        for (InsnNode* n = o.unit.head; n;) {
            if (!n->isinsn()) {
                n = n->next;
                continue;
            }
            const InsnRow& row = insnrow(n->kind);
            std::vector<Handler> volatileload;
            const std::vector<Handler>* list = &row.handlers;
            size_t ri = static_cast<size_t>(row.index);
            if (ri < o.passes.byrow.size() && !o.passes.byrow[ri].empty()) list = &o.passes.byrow[ri];
            if (n->isvolatile()) {
                if (isload(n) && i1) volatileload.push_back(i1);
                list = &volatileload;
            }
            InsnNode* place = n;
            bool hit = false;
            for (Handler h : *list) {
                before();
                if (h(o, place, row)) {
                    hit = true;
                    break;
                }
            }
            if (!hit) {
                n = n->next;
                continue;
            }
            changed();
            any = true;
            n = place && place->prev ? place->prev->next : place ? place->next : nullptr;
        }
        return any;
    }

    void run() {
        for (;;) {
            bool any = blockphase();
            any |= handlerphase();
            if (!any && o.unit.deferred == 1) {
                o.unit.deferred = -1;
                any = true;
            }
            for (const UnitPassDef& p : o.passes.global) {
                if (any) break;
                before();
                if (p.fn(o)) {
                    changed();
                    any = true;
                }
            }
            if (!any) return;
        }
    }
};

}  // namespace

void optunit(Optimizer& o) {
    Unit& u = o.unit;
    if (!u.function) return;
    if (u.opaque) {
        // written as read, but for the "use" notes the assembler does not know
        for (InsnNode* n = u.head; n;) {
            InsnNode* next = n->next;
            if (n->isinsn() && (n->crread & Use)) {
                unlinkinsn(u, n);
                delete n;
            }
            n = next;
        }
        return;
    }
    o.passname.clear();
    notechange(o);   // the unit as read
    linklabels(o);
    prepunit(o);
    u.deferred = 0;
    Driver d(o);
    try {
        d.run();
        for (const UnitPassDef& p : o.passes.final) {
            d.before();
            if (p.fn(o)) d.changed();
        }
    } catch (const Stop&) {
        if (platform::interrupted()) return;
        std::string name = u.entry ? std::string(labelname(u.entry)) : "line " + std::to_string(u.firstline);
        tl::puterr(tl::toolcontext().progname + ": warning: too many changes in " + name +
                   ", written as it stands\n");
    }
    clearmarks(o, o.pendingmarks);
}

void writeunit(Optimizer& o) {
    std::string line;
    for (InsnNode* n = o.unit.head; n; n = n->next) {
        if (isinfoline(n) && o.infoline > 0 && --o.infoline == 0) putoptinfo(o);
        if (outputline(n, line)) {
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), o.out);
        }
    }
    o.unit.clear();
}

}  // namespace opt

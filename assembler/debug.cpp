// Debug-location records and the end of the .debug section.
//
// Records are made in the same order in every pass, so each pass walks the
// list with a cursor and compares: a record whose kind or text differs, or a
// pass that makes fewer records, is a mismatch that forces another pass
// (which rebuilds the list) just like a moving label.
#include <algorithm>

#include "assembler/asm.h"
#include "assembler/listing.h"
#include "toollib/services.h"

namespace as {

namespace {

constexpr size_t kMaxDebugText = 255;

std::string debugname(const Assembler& a, const std::string& name) {
    if (!a.opt.xp) return name;
    const char* sep = tl::lastdirsep(name.c_str());
    return sep ? std::string(sep + 1) : name;
}

AsmSection* debugsect(Assembler& a) { return findsect(a, ".debug"); }

// A built-in text is cut from the front so that its end (line numbers) stays.
std::string fit(const std::string& text) {
    return text.size() <= kMaxDebugText ? text : text.substr(text.size() - kMaxDebugText);
}

}  // namespace

void debugpassstart(Assembler& a) {
    if (a.pass == 0) {
        a.dbg.clear();
        a.dbgstate = 0;
    } else if (a.dbgstate == 1) {
        a.dbg.clear();
        a.dbgstate = 2;
    } else {
        a.dbgstate = 0;
    }
    a.dbgcursor = 0;
}

void debugpassend(Assembler& a) {
    if (a.pass > 0 && a.dbgstate == 0 && a.dbgcursor != a.dbg.size()) {
        a.dbgstate = 1;
        a.moved = true;
    }
    if (a.dbgstate == 2 || a.pass == 0) a.dbg.resize(a.dbgcursor);
}

void adddebug(Assembler& a, std::string_view text, int kind) {
    if (text.size() > kMaxDebugText) {
        asmerr(a, "debug text too long");
        text = text.substr(0, kMaxDebugText);
    }
    if (a.dbgcursor >= a.dbg.size()) a.dbg.emplace_back();
    DebugRecord& r = a.dbg[a.dbgcursor++];
    if (a.pass == 0 || a.dbgstate == 2) {
        r.text = std::string(text);
        r.kind = static_cast<uint8_t>(kind);
    } else if (a.dbgstate == 0 && (r.kind != kind || r.text != text)) {
        a.dbgstate = 1;
        a.moved = true;
        if (a.lst) a.lst->off = true;  // this pass's listing would not match the object
        return;
    }
    r.address = here(a);
    r.section = a.cur->index;
}

void dodebug(Assembler& a, const OpcodeEntry& e, std::string_view) {
    std::string text;
    if (!getstring(a, text)) {
        asmerr(a, "missing string");
        return;
    }
    if (a.opt.x && a.pass == 0 && curline(a) != 0 && e.value != 0) {
        // the source carries its own debug information
        a.opt.x = 0;
        std::erase_if(a.dbg, [](const DebugRecord& r) { return r.kind != 0; });
        a.dbgcursor = a.dbg.size();
        if (AsmSection* d = debugsect(a)) {
            d->data.clear();
            d->reloc.clear();
            d->loc = d->relend = 0;
        }
    }
    adddebug(a, text, e.value);
    if (e.value == 128) {
        needtoken(a, T_COMMA);
        AsmValue v;
        getexpr(a, v);
        AsmSection* saved = a.cur;
        if (AsmSection* d = debugsect(a)) {
            a.cur = d;
            emitlong(a, v);
            a.cur = saved;
        }
    }
}

void debugline(Assembler& a) {
    adddebug(a, fit(debugname(a, curfile(a)) + ":" + std::to_string(curline(a))), 8);
}

void debugend(Assembler& a) {
    long l = a.readers.empty() ? a.lastlines : curline(a);
    std::string n = std::to_string(l);
    adddebug(a, fit(debugname(a, a.srcname) + ":" + n + "-" + n), 16);
}

void debugstart(Assembler& a) {
    std::string n = std::to_string(curline(a));
    adddebug(a, fit(debugname(a, a.srcname) + "~:" + n + "-" + n), 32);
}

// The built-in macro that opens the debug information of a source: a file
// descriptor in .debug and the first line range of .text.
void debugmacro(Assembler& a) {
    std::string name = fit(debugname(a, a.srcname));
    if (name.size() > kMaxDebugText - 4) name = name.substr(name.size() - (kMaxDebugText - 4));
    // strings have no escape: a name holding both quote characters keeps
    // only single quotes in the descriptor and the first line range
    if (name.find('"') != std::string::npos && name.find('\'') != std::string::npos)
        std::replace(name.begin(), name.end(), '"', '\'');
    char q = name.find('"') == std::string::npos ? '"' : '\'';
    std::string c = a.opt.m ? " " : ":";
    auto body = std::make_shared<MacroBody>();
    body->lines = {
        " switch .debug",
        std::string(" .dfile ") + q + "\\1" + q,
        "\\@1" + c + " dc.l \\@2,\\@3",
        "\\@2" + c + " dc.b " + q + "\\1" + q + ",0,$8A",
        "\\@3" + c + " dc.l 0,\\@1,0,1,\\2,0,0",
        " switch .text",
        std::string(" .dstart ") + q + "\\1~:1-1" + q,
    };
    auto e = std::make_unique<Expansion>();
    e->number = ++a.expcounter;
    e->body = body;
    e->args = {name, std::to_string(a.lastlines)};
    e->condlevel = a.conds.size();
    pushexpansion(a, std::move(e));
}

bool debugdescribed(Assembler& a, const AsmSymbol& s) {
    // only a symbol that the object file holds can be described: a name that
    // is public and nothing else (a macro named by a label under -mi) is not
    // written, so a relocation could not name it
    if (!(s.flags & (SYM_DEFINED | SYM_REFERENCED))) return false;
    if (s.iflags & (SI_REGISTER | SI_CMDLINE | SI_SET | SI_LOCAL | SI_LITERAL | SI_DEBUGSECT)) return false;
    AsmSection* d = debugsect(a);
    return !d || s.section != d->index;
}

void builddebug(Assembler& a) {
    AsmSection* d = debugsect(a);
    if (!d) return;
    a.cur = d;
    std::vector<AsmSymbol*> described;
    for (AsmSymbol* s : a.syms.list())
        if (debugdescribed(a, *s)) described.push_back(s);
    bool listing = a.listing;
    a.listing = false;
    if (!a.opt.xx || described.empty()) {
        emitlongraw(a, 0);
        a.listing = listing;
        return;
    }
    auto debugref = [&](uint32_t value) {
        AsmValue v;
        v.value = value;
        v.section = static_cast<uint16_t>(d->index);
        v.kind = 1;
        return v;
    };
    emitlong(a, debugref(here(a) + 4));
    uint32_t names = here(a) + 16 * static_cast<uint32_t>(described.size()) + 4;
    auto typeword = [](uint32_t size) -> uint32_t {
        switch (size) {
        case 0: return 0x58000000;
        case 1: return 0x0A000000;
        case 2: return 0x11000000;
        case 4: return 0x21000000;
        default: return 0x0A0000C0;
        }
    };
    uint32_t at = names;
    for (AsmSymbol* s : described) {
        uint32_t type = typeword(s->datasize);
        emitlong(a, debugref(at));
        AsmValue v = symvalue(a, s);
        emitlong(a, v);
        // the debugger reads type words least significant byte first: the
        // constants above are their bytes in file order (21 00 00 00 is base type 0x21)
        for (int i = 3; i >= 0; i--) emitbyte(a, (type >> (8 * i)) & 0xFF);
        if (type & 0x80) emitlong(a, debugref(at + static_cast<uint32_t>(s->name.size()) + 2));
        else emitlongraw(a, 0);
        at += static_cast<uint32_t>(s->name.size()) + 2 + ((type & 0x80) ? 4 : 0);
    }
    emitlongraw(a, 0);
    for (AsmSymbol* s : described) {
        for (char ch : s->name) emitbyte(a, static_cast<unsigned char>(ch));
        emitbyte(a, 0);
        bool pub = s->flags & SYM_PUBLIC;
        uint32_t type = typeword(s->datasize);
        emitbyte(a, s->datasize == 0 ? (pub ? 19 : 18) : (pub ? 6 : 1));
        if (type & 0x80) emitlongraw(a, s->datasize);
    }
    a.listing = listing;
}

}  // namespace as

// The relocatable object file writer.
//
// Layout: a 28-byte header, 40-byte section records, each section's data
// followed by its relocation bytes, the symbol records, the debug-location
// records; every number big-endian. The file is written whole or not at all
// (platform::OutputFile), so an interrupted or failed write never leaves a
// partial object behind.
#include <cstdio>

#include "assembler/asm.h"
#include "platform/output.h"

namespace as {

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 3; i >= 0; i--) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}

int objsection(Assembler& a, int index) {
    AsmSection* s = sectbyindex(a, index);
    return s ? s->number : 0;
}

}  // namespace

// The whole object image of the current source.
std::vector<uint8_t> objimage(Assembler& a) {
    std::vector<AsmSection*> numbered;
    for (auto& s : a.sects)
        if (s->number > 0) numbered.push_back(s.get());
    std::vector<uint8_t> out(28 + 40 * numbered.size(), 0);
    size_t total = out.size();
    for (AsmSection* s : numbered)
        if (!(s->attr & SA_BSS)) total += s->data.size() + s->reloc.size();
    std::vector<AsmSymbol*> list = a.syms.list();
    for (AsmSymbol* s : list)
        if (s->number > 0) total += 7 + s->name.size();
    out.reserve(total);
    out[0] = 0xCC;
    out[1] = 3;
    out[2] = 8;
    out[3] = static_cast<uint8_t>(numbered.size());
    for (size_t k = 0; k < numbered.size(); k++) {
        AsmSection* s = numbered[k];
        size_t rec = 28 + 40 * k;
        out[rec] = s->attr;
        size_t n = std::min<size_t>(s->name.size(), 14);
        out[rec + 1] = static_cast<uint8_t>(n);
        for (size_t i = 0; i < n; i++) out[rec + 2 + i] = static_cast<uint8_t>(s->name[i]);
        if (s->attr & SA_BSS) {
            set32(out, rec + 20, s->loc);
        } else {
            set32(out, rec + 16, static_cast<uint32_t>(out.size()));
            out.insert(out.end(), s->data.begin(), s->data.end());
            set32(out, rec + 20, static_cast<uint32_t>(s->data.size()));
            set32(out, rec + 24, static_cast<uint32_t>(out.size()));
            out.insert(out.end(), s->reloc.begin(), s->reloc.end());
            set32(out, rec + 28, static_cast<uint32_t>(s->reloc.size()));
        }
        set32(out, rec + 32, s->origin);
        set32(out, rec + 36, s->origin);
    }
    size_t symstart = out.size();
    uint32_t symcount = 0;
    auto putsym = [&](const AsmSymbol* s, uint8_t flags) {
        put32(out, s->value);
        out.push_back(flags);
        out.push_back(static_cast<uint8_t>((s->flags & SYM_DEFINED) ? objsection(a, s->section) : 0));
        out.push_back(static_cast<uint8_t>(s->name.size()));
        out.insert(out.end(), s->name.begin(), s->name.end());
        symcount++;
    };
    for (AsmSymbol* s : list)
        if (!(s->iflags & SI_ALIAS) && s->number > 0)
            putsym(s, static_cast<uint8_t>(s->flags | ((s->iflags & SI_BITSYM) ? SYM_BIT : 0)));
    if (a.opt.pl)
        for (AsmSymbol* s : list) {
            if (s->number > 0 || !(s->flags & SYM_DEFINED) || (s->iflags & SI_ALIAS)) continue;
            if (s->iflags & (SI_REGISTER | SI_LOCAL | SI_LITERAL | SI_DEBUGSECT | SI_IFDEF)) continue;
            putsym(s, static_cast<uint8_t>(s->flags & ~SYM_PUBLIC));
        }
    size_t dbgstart = out.size();
    uint32_t dbgcount = 0;
    for (size_t i = 0; i < a.dbg.size(); i++) {
        const DebugRecord& r = a.dbg[i];
        if (r.kind == 32 && i + 1 < a.dbg.size() && a.dbg[i + 1].kind == 16 && a.dbg[i + 1].section == r.section &&
            a.dbg[i + 1].address == r.address) {
            i++;  // an empty range
            continue;
        }
        put32(out, r.address);
        out.push_back(r.kind);
        out.push_back(static_cast<uint8_t>(objsection(a, r.section)));
        out.push_back(static_cast<uint8_t>(r.text.size()));
        out.insert(out.end(), r.text.begin(), r.text.end());
        dbgcount++;
    }
    set32(out, 4, symcount);
    set32(out, 8, static_cast<uint32_t>(symstart));
    set32(out, 12, static_cast<uint32_t>(dbgstart - symstart));
    set32(out, 16, dbgcount);
    set32(out, 20, static_cast<uint32_t>(dbgstart));
    set32(out, 24, static_cast<uint32_t>(out.size() - dbgstart));
    return out;
}

bool writeobj(Assembler& a) {
    std::vector<uint8_t> image = objimage(a);
    platform::OutputFile out;
    if (!out.open(a.objname)) {
        fileerror(a, a.srcname, "can't create " + a.objname);
        return false;
    }
    bool ok = std::fwrite(image.data(), 1, image.size(), out.fp()) == image.size() && out.commit();
    if (!ok) {  // the file goes with out
        fileerror(a, a.srcname, "can't write " + a.objname);
        return false;
    }
    return true;
}

}  // namespace as

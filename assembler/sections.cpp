// Sections, the emitters and the relocation stream.
//
// Each section keeps its location counter and, in emitting passes, its data
// and its relocation bytes. The relocation stream is written as the data
// grows: before a relocated field, skip entries account for the bytes since
// the previous field, then the record; after the field the stream's position
// is the end of the field.
#include "assembler/asm.h"
#include "assembler/listing.h"

namespace as {

namespace {

struct AttrWord {
    const char* name;
    uint8_t bit;
};
const AttrWord kAttrWords[] = {{"bss", SA_BSS},     {"hilo", SA_HILO}, {"even", SA_EVEN},
                               {"zpage", SA_ZPAGE}, {"abs", SA_ABS},   {"bit", SA_BIT},
                               {"long", SA_LONG},   {"code", SA_CODE}};

std::map<std::string, std::vector<AsmSection*>>& byname(Assembler& a) { return a.sectnames; }
SectWalk& walk(Assembler& a) { return a.sectwalk; }

void putbytes(Assembler& a, uint32_t v, int n) {
    bool hilo = a.cur->attr & SA_HILO;
    AsmSection* s = a.cur;
    if (emitting(a) && !a.listing && !(s->attr & SA_BSS) && s != a.offsetsect.get()) {
        // emitbyte n times, unlisted
        for (int i = 0; i < n; i++) s->data.push_back(static_cast<uint8_t>(v >> (hilo ? 8 * (n - 1 - i) : 8 * i)));
        s->loc += static_cast<uint32_t>(n);
        s->iflags |= SCI_CONTENT;
        return;
    }
    for (int i = 0; i < n; i++) {
        int shift = hilo ? 8 * (n - 1 - i) : 8 * i;
        emitbyte(a, (v >> shift) & 0xFF);
    }
}

}  // namespace

bool emitting(const Assembler& a) { return a.pass > 0; }

uint32_t here(const Assembler& a) { return a.cur->loc + a.cur->origin; }

AsmSection* newsect(Assembler& a, std::string_view name, uint8_t attr) {
    auto s = std::make_unique<AsmSection>();
    s->name = std::string(name.substr(0, 14));
    s->attr = attr;
    s->index = static_cast<int>(a.sects.size()) + 1;
    a.sects.push_back(std::move(s));
    AsmSection* p = a.sects.back().get();
    auto& v = byname(a)[p->name];
    v.push_back(p);
    walk(a).pos[p->name] = v.size() - 1;
    return p;
}

AsmSection* findsect(Assembler& a, std::string_view name) {
    auto& t = byname(a);
    auto it = t.find(std::string(name.substr(0, 14)));
    if (it == t.end() || it->second.empty()) return nullptr;
    size_t k = walk(a).pos[it->first];
    return it->second[std::min(k, it->second.size() - 1)];
}

AsmSection* sectbyindex(Assembler& a, int index) {
    if (index < 1 || static_cast<size_t>(index) > a.sects.size()) return nullptr;
    return a.sects[static_cast<size_t>(index) - 1].get();
}

void selectsect(Assembler& a, AsmSection* s) {
    a.offsetsect.reset();
    a.beforeoffset = nullptr;
    a.cur = s;
}

void leaveoffset(Assembler& a) {
    if (a.offsetsect) {
        a.cur = a.beforeoffset;
        a.offsetsect.reset();
        a.beforeoffset = nullptr;
    }
}

void initsects(Assembler& a) {
    a.sects.clear();
    byname(a).clear();
    walk(a) = SectWalk{};
    a.savestack.clear();
    a.offsetsect.reset();
    uint8_t abs = a.opt.a ? SA_ABS : 0;
    newsect(a, ".text", static_cast<uint8_t>(0xC6 | abs));
    newsect(a, ".data", static_cast<uint8_t>(0x46 | abs));
    newsect(a, ".bss", static_cast<uint8_t>(0x47 | abs));
    newsect(a, ".debug", 0x42)->iflags |= SCI_DEBUG;
    if (!a.opt.si) newsect(a, ".info.", 0)->iflags |= SCI_DEBUG;
    walk(a).predefined = a.sects.size();
    a.cur = a.sects[0].get();
}

void restartsects(Assembler& a) {
    for (auto& s : a.sects) {
        // the previous pass's size is a close guess at this one's
        if (!(s->attr & SA_BSS) && s->data.capacity() < s->loc && s->loc < (256u << 20))
            s->data.reserve(s->loc + s->loc / 16);
        s->data.clear();
        s->reloc.clear();
        s->loc = s->relend = s->shift = 0;
        s->orgset = false;
        s->iflags &= static_cast<uint16_t>(~SCI_HIDDEN);
    }
    SectWalk& w = walk(a);
    w.declared.clear();
    a.newcount = 0;
    for (auto& [name, v] : byname(a)) w.pos[name] = 0;
    for (size_t i = 0; i < w.predefined && i < a.sects.size(); i++) w.declared.insert(a.sects[i]->name);
    a.savestack.clear();
    a.offsetsect.reset();
    a.beforeoffset = nullptr;
    a.cur = a.sects[0].get();
}

void padsects(Assembler& a) {
    AsmSection* saved = a.cur;
    for (auto& s : a.sects) {
        if (!(s->attr & SA_EVEN) || ((s->loc + s->origin) & 1) == 0) continue;
        a.cur = s.get();
        emitbyte(a, static_cast<uint32_t>(a.opt.f));
    }
    a.cur = saved;
}

void emitbyte(Assembler& a, uint32_t b) {
    AsmSection* s = a.cur;
    if (emitting(a) && s != a.offsetsect.get()) {
        if (!(s->attr & SA_BSS)) s->data.push_back(static_cast<uint8_t>(b));
        if (a.listing) lstbyte(a, (s->attr & SA_BSS) ? 0 : static_cast<uint8_t>(b));
    }
    s->loc++;
    s->iflags |= SCI_CONTENT;
}

void emitword(Assembler& a, uint32_t v) { putbytes(a, v, 2); }

void emitlongraw(Assembler& a, uint32_t v) { putbytes(a, v, 4); }

void putreloc(Assembler& a, int code, const AsmValue* v, int descriptor, uint32_t extra) {
    AsmSection* s = a.cur;
    if (v && !(v->sym && !(v->sym->flags & SYM_DEFINED)))
        if (AsmSection* t = sectbyindex(a, v->section)) t->iflags |= SCI_TARGET;
    if (!emitting(a) || (s->attr & SA_BSS) || s == a.offsetsect.get()) return;
    uint32_t gap = s->loc - s->relend;
    while (gap > 0) {
        if (gap < 0x40) {
            s->reloc.push_back(static_cast<uint8_t>(gap));
            gap = 0;
        } else {
            uint32_t n = gap > 0x3FFF ? 0x3FFF : gap;
            s->reloc.push_back(static_cast<uint8_t>(0x40 | (n >> 8)));
            s->reloc.push_back(static_cast<uint8_t>(n & 0xFF));
            gap -= n;
        }
    }
    s->relend = s->loc;
    if (!v) {
        s->reloc.push_back(0);
        return;
    }
    int ref = 0;
    if (v->sym && !(v->sym->flags & SYM_DEFINED)) {
        ref = v->sym->number;
    } else if (AsmSection* t = sectbyindex(a, v->section)) {
        ref = t->number;
    }
    bool two = ref > 255;
    s->reloc.push_back(static_cast<uint8_t>(0x80 | (two ? 0x20 : 0) | (code & 0x1F)));
    if (two) s->reloc.push_back(static_cast<uint8_t>(ref >> 8));
    s->reloc.push_back(static_cast<uint8_t>(ref));
    uint32_t full = v->value;
    switch (code & 15) {
    case 15:
        s->reloc.push_back(static_cast<uint8_t>(descriptor < 0 ? 0 : descriptor));
        if (descriptor > 0)
            for (int i = 3; i >= 0; i--) s->reloc.push_back(static_cast<uint8_t>(extra >> (8 * i)));
        break;
    case 4: case 6: case 8: case 10:
        for (int i = 3; i >= 1; i--) s->reloc.push_back(static_cast<uint8_t>(full >> (8 * i)));
        break;
    case 5: case 7: case 9: case 11:
        for (int i = 3; i >= 2; i--) s->reloc.push_back(static_cast<uint8_t>(full >> (8 * i)));
        break;
    default: break;
    }
}

void emitwordrel(Assembler& a, const AsmValue& v, bool byte) {
    if (v.absolute()) {
        if (byte) emitbyte(a, v.value & 0xFF);
        else emitword(a, v.value);
        return;
    }
    int code;
    uint32_t field = v.value;
    if (byte) {
        if (v.kind & 0x80) code = 6, field = v.value >> 16;
        else if (v.kind & 0x40) code = (v.kind & 0x10) ? 10 : 4, field = v.value >> 8;
        else code = 0;
    } else {
        if (v.kind & 0x80) code = 7, field = v.value >> 16;
        else if (v.kind & 0x40) {
            // a 16-bit field has no high-byte relocation
            asmerr(a, "bad relocatable expression");
            code = 1;
        } else code = (v.kind & 0x10) ? 11 : 1;
    }
    putreloc(a, code, &v);
    if (byte) emitbyte(a, field & 0xFF);
    else emitword(a, field);
    a.cur->relend = a.cur->loc;
}

void emitlong(Assembler& a, const AsmValue& v) {
    if (!v.absolute()) putreloc(a, 12, &v);
    emitlongraw(a, v.value);
    if (!v.absolute()) a.cur->relend = a.cur->loc;
}

void addinfo(Assembler& a, std::string_view text) {
    if (a.opt.si) return;
    AsmSection* info = findsect(a, ".info.");
    if (!info) return;
    AsmSection* saved = a.cur;
    bool lst = a.listing;
    a.listing = false;
    a.cur = info;
    for (char c : text) emitbyte(a, c == '\n' ? 0 : static_cast<unsigned char>(c));
    a.cur = saved;
    a.listing = lst;
}

// label section [+|-]attribute,...
void dosection(Assembler& a, const OpcodeEntry&, std::string_view label) {
    if (a.opt.x) debugend(a);
    uint8_t attr = a.defattr;
    bool isnew = false, first = true, any = false;
    int number = -1;
    while (!atend(a)) {
        char sign = 0;
        asmskip(a);
        if (curc(a) == '+' || curc(a) == '-') {
            sign = curc(a);
            advance(a);
            asmskip(a);
        }
        std::string word;
        if (curc(a) >= '0' && curc(a) <= '9') {
            uint32_t n = 0;
            while (curc(a) >= '0' && curc(a) <= '9') {
                n = n * 10 + static_cast<uint32_t>(curc(a) - '0');
                if (n > 100000) n = 100000;
                advance(a);
            }
            if (!a.opt.m || number >= 0) asmerr(a, "syntax error");
            else if (n >= 256) asmerr(a, "value too large");
            else {
                number = static_cast<int>(n);
                if (first) attr = a.sects[0]->attr;
            }
        } else {
            word = scanname(a);
            if (word.empty()) {
                asmerr(a, "syntax error");
                break;
            }
            uint8_t bits = 0;
            bool found = false;
            for (const auto& w : kAttrWords)
                if (word == w.name) bits = w.bit, found = true;
            if (word == "new") {
                isnew = sign != '-';
                found = true;
            } else if (!found) {
                if (AsmSection* s = findsect(a, word)) {
                    if (first && sign != '-') attr = 0;
                    bits = s->attr;
                    found = true;
                }
            }
            if (!found) asmerr(a, "unknown attribute " + word);
            if (sign == '-') attr = static_cast<uint8_t>(attr & ~bits);
            else attr |= bits;
        }
        any = true;
        first = false;
        asmskip(a);
        if (curc(a) != ',') break;
        advance(a);
    }
    if (!any) attr = a.sects[0]->attr;
    if (label.empty()) {
        if (a.opt.m && number >= 0) {
            AsmSection* found = nullptr;
            if (number == 255) found = findsect(a, ".bsct");
            for (auto& s : a.sects)
                if (s->userno == number) found = s.get();
            if (found) selectsect(a, found);
            else asmerr(a, "section number not assigned");
        } else {
            asmerr(a, "missing label");
        }
    } else if (label[0] >= '0' && label[0] <= '9') {
        asmerr(a, "bad symbol name: " + std::string(label));
    } else {
        std::string name(label);
        if (name.size() > 14) {
            reporterr(a, "section name " + name + " too long", true);
            name.resize(14);
        }
        SectWalk& w = walk(a);
        AsmSection* s = findsect(a, name);
        // with grouping (too many sections) only every k-th "new" starts a
        // fresh section; every pass counts them the same way
        bool fresh = false;
        if (s && isnew && (a.pass == 0 || w.declared.count(name))) fresh = (a.newcount++ % a.newgroup) == 0;
        if (a.pass == 0) {
            if (fresh) {
                s->iflags |= SCI_HIDDEN;
                s = newsect(a, name, attr);
            } else if (s && !isnew) {
                if (!(number >= 0 && s->userno == number)) reporterr(a, "symbol " + name + " multiply defined", true);
            } else if (!s) {
                s = newsect(a, name, attr);
            }
        } else if (fresh) {
            auto& v = byname(a)[name];
            if (w.pos[name] + 1 < v.size()) w.pos[name]++;
            s = findsect(a, name);
        }
        w.declared.insert(name);
        if (s) {
            if (a.listing && a.lst && (s->iflags & SCI_CONTENT) && s->loc > 0) a.lst->switchto = s->name;
            if (number >= 0 && s->userno < 0) {
                bool used = number == 255;
                for (auto& o : a.sects) used |= o->userno == number;
                if (used) asmerr(a, "section number already assigned");
                else s->userno = number;
            }
            selectsect(a, s);
        }
    }
    if (a.opt.x) debugstart(a);
}

}  // namespace as

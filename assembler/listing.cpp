// The listing: numbered source lines with addresses and object bytes, page
// headers, error lines, the symbol table with cross reference; and the
// Verilog parameter file. Both are written in the listing pass only.
//
// Each line starts a line state (address, bytes emitted, label, equ value);
// lstline prints it once the line's work is done, so the bytes that the
// emitters pass along appear on their own line.
#include "assembler/listing.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "platform/files.h"

namespace as {

namespace {

constexpr long kMaxPageLength = 1000;

// Writes to the listing; after a failed write nothing more is tried (the
// end of the pass reports it).
void put(Assembler& a, const char* fmt, ...) {
    if (!a.lst || !a.lst->fp || std::ferror(a.lst->fp)) return;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(a.lst->fp, fmt, ap);
    va_end(ap);
}

std::string pick(const std::vector<std::pair<long, std::string>>& list, long line, long reach) {
    std::string found;
    for (const auto& [at, text] : list)
        if (at <= line + reach) found = text;
    return found;
}

void lsthead(Assembler& a) {
    Listing& l = *a.lst;
    if (!l.headers || l.plen < 10) return;
    // used counts the page's lines with this one: the page holds plen
    if (++l.used <= l.plen && !l.full) return;
    if (!a.opt.ff) put(a, "\n\n");
    else if (l.page > 0) put(a, "\f");
    l.page++;
    l.full = false;
    std::string title = pick(l.titles, a.globline, l.plen - 6);
    std::string sub = pick(l.subtitles, a.globline, l.plen - 6);
    int srclen = static_cast<int>(a.srcname.size());
    if (!title.empty()) {
        int w = std::max(50 - srclen, 0);
        put(a, "%s %-*.*s %s page %d\n", a.date.c_str(), w, w, title.c_str(), a.srcname.c_str(), l.page);
    } else {
        int w = std::max(70 - srclen, 11);
        put(a, "%-*.*s %s page %d\n", w, w, a.date.c_str(), a.srcname.c_str(), l.page);
    }
    l.used = 6;
    if (!sub.empty()) {
        put(a, "%s\n", sub.c_str());
        l.used = 7;
    }
    put(a, "\n\n");
}

// Blank lines to the end of the page.
void fillpage(Assembler& a) {
    Listing& l = *a.lst;
    for (; l.used < l.plen && l.fp && !std::ferror(l.fp); l.used++) put(a, "\n");
}

bool listable(Assembler& a) {
    if (!a.listing || !a.lst || !a.lst->fp) return false;
    Listing& l = *a.lst;
    if (l.off || l.skip) return false;
    if (a.fromexpansion && !a.mlist) return false;
    if ((a.cur->iflags & SCI_DEBUG) && !a.dlist) return false;
    return true;
}

}  // namespace

// C-source lines of a .source directive come before the next line.
static void flushsource(Assembler& a) {
    Listing& l = *a.lst;
    for (const std::string& c : l.csource) {
        lsthead(a);
        put(a, "%s\n", c.c_str());
    }
    l.csource.clear();
}

void lstbegin(Assembler& a) {
    if (!a.listing || !a.lst) return;
    Listing& l = *a.lst;
    if (l.fp) flushsource(a);
    l.addr = here(a);
    l.bytes.clear();
    l.haslabel = l.isvalue = l.skip = false;
    l.switchto.clear();
}

void lstbyte(Assembler& a, uint8_t b) {
    if (a.lst && a.lst->bytes.size() < 40) a.lst->bytes.push_back(b);
}

void lstvalue(Assembler& a, uint32_t v) {
    if (!a.lst) return;
    a.lst->isvalue = true;
    a.lst->value = v;
}

void lstlabel(Assembler& a) {
    if (a.lst) a.lst->haslabel = true;
}

void lstskip(Assembler& a) {
    if (a.lst) a.lst->skip = true;
}

void lstfalse(Assembler& a) {
    if (!a.clist) lstskip(a);
    lstline(a);
}

void lstline(Assembler& a) {
    if (!a.listing || !a.lst || !a.lst->fp) return;
    Listing& l = *a.lst;
    if (!listable(a)) {
        if (a.pending && a.fromexpansion && !l.off) {
            lsthead(a);
            put(a, "%4ld  --- (expanded) --- %s\n", a.opt.c ? a.globline : curline(a), a.line.c_str());
        }
        return;
    }
    lsthead(a);
    put(a, "%4ld  ", a.opt.c ? a.globline : curline(a));
    if ((!l.haslabel && l.bytes.empty()) || l.isvalue) put(a, "     ");
    else put(a, "%04lx ", static_cast<unsigned long>(l.addr));
    for (int i = 0; i < 4; i++) {
        if (l.isvalue) put(a, "%02x", (l.value >> (24 - 8 * i)) & 0xFF);
        else if (static_cast<size_t>(i) < l.bytes.size()) put(a, "%02x", l.bytes[static_cast<size_t>(i)]);
        else put(a, "  ");
    }
    std::string text = l.switchto.empty() ? a.line : "\tswitch\t" + l.switchto;
    put(a, a.opt.t ? "      %s\n" : "  %s\n", text.c_str());
}

void lsterror(Assembler& a, const std::string& msg) {
    if (!a.lst || !a.lst->fp) return;
    lsthead(a);
    put(a, "******** ERROR:  %s  ********\n", msg.c_str());
}

void lstsource(Assembler& a, const std::string& file, const std::string& range) {
    long first = 0, last = 0;
    size_t dash = range.find('-');
    first = std::strtol(range.c_str(), nullptr, 10);
    last = dash == std::string::npos ? first : std::strtol(range.c_str() + dash + 1, nullptr, 10);
    platform::TextReader r;
    if (!r.open(file)) {
        asmerr(a, "can't open source " + file);
        return;
    }
    std::string text;
    for (long n = 1; n <= last && r.getline(text); n++) {
        if (n < first) continue;
        if (text.size() > 501) text.resize(501);
        char num[16];
        std::snprintf(num, sizeof num, n >= 100000 ? ";%ld" : "; %ld", n);
        a.lst->csource.push_back(std::string(num) + " " + text);
    }
}

void listdirective(Assembler& a, const OpcodeEntry& e, std::string_view) {
    Listing* l = a.lst.get();
    auto onoff = [&](bool& sw) {
        std::string w = scanname(a);
        for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (w == "on") sw = true;
        else if (w == "off" || w == "of") sw = false;
        else asmerr(a, "syntax error");
    };
    switch (e.value) {
    case 0:
        if (l) l->off = false;
        return;
    case 1:
        if (l) l->off = true;
        return;
    case 10: onoff(a.clist); return;
    case 11: onoff(a.dlist); return;
    case 12: onoff(a.mlist); return;
    case 20:
        // the next line starts a new page: without form feeds, blank lines
        // fill this one to its end (a page not begun needs none)
        if (l && l->headers && l->fp && !l->full) {
            if (!a.opt.ff && l->plen >= 10) fillpage(a);
            l->full = true;
        }
        return;
    case 21: {
        AsmValue v;
        getexpr(a, v);
        if (!v.absolute()) asmerr(a, "relocatable expression not allowed");
        // a page is not longer than any printer's
        if (static_cast<int32_t>(v.value) > kMaxPageLength) asmerr(a, "value too large");
        else if (l) l->plen = static_cast<int32_t>(v.value);
        return;
    }
    case 22: {
        uint32_t n = 1;
        if (!atend(a)) {
            bool ok;
            n = getabs(a, ok);
        }
        if (l && l->fp && a.listing)
            for (uint32_t i = 0; i < n && i < 1000; i++) lsthead(a), put(a, "\n");
        return;
    }
    default: {
        std::string s;
        if (!getstring(a, s)) {
            asmerr(a, "missing string");
            return;
        }
        if (l) {
            if (a.pass == 0) (e.value == 23 ? l->titles : l->subtitles).emplace_back(a.globline, s);
            if (e.value == 23) l->headers = true;
        }
        return;
    }
    }
}

void listsyms(Assembler& a) {
    std::vector<AsmSymbol*> list = a.syms.list();
    std::stable_sort(list.begin(), list.end(), [](const AsmSymbol* x, const AsmSymbol* y) {
        size_t n = std::min(x->name.size(), y->name.size());
        int c = std::memcmp(x->name.data(), y->name.data(), n);
        return c != 0 ? c < 0 : x->name.size() < y->name.size();
    });
    int col = 0;
    for (AsmSymbol* s : list) col = std::max(col, static_cast<int>(s->name.size()));
    col += 2;
    put(a, "\nSymbol table:\n\n");
    for (AsmSymbol* s : list) {
        if (s->iflags & (SI_REGISTER | SI_LOCAL | SI_DEBUGSECT)) continue;
        put(a, "%-*.*s ", col, static_cast<int>(s->name.size()), s->name.c_str());
        if (s->iflags & SI_LITERAL) put(a, "%-11s", ("\"" + s->text + "\"").c_str());
        else put(a, "%-10.08x ", s->value);
        if (s->defline == -1) put(a, " Multiply");
        else if (!(s->flags & SYM_DEFINED)) put(a, " Not Defined");
        std::vector<const char*> attrs;
        if (s->flags & SYM_DEFINED) attrs.push_back("Defined");
        if (!(s->flags & SYM_REFERENCED)) attrs.push_back("Not Referenced");
        if (s->flags & SYM_PUBLIC) attrs.push_back("Public");
        if (s->flags & SYM_ZPAGE) attrs.push_back("Zero Page");
        if (s->flags & SYM_ABSOLUTE) attrs.push_back("Absolute");
        for (size_t i = 0; i < attrs.size(); i++) put(a, "%s %s", i ? "," : "", attrs[i]);
        if (s->flags & SYM_DEFINED) put(a, "\n%*ld", col + 6, s->defglobal);
        else put(a, "\n%*s", col + 6, "***");
        int perline = 9, n = 0;
        for (long ref : s->xref) {
            if (ref == s->defglobal && (s->flags & SYM_DEFINED)) continue;
            if (n == perline) {
                put(a, "\n%*s", col, "");
                perline = 10;
                n = 0;
            }
            put(a, "%6ld", ref);
            n++;
        }
        put(a, "\n");
    }
}

void openoutputs(Assembler& a, bool start) {
    if (start) {
        std::vector<std::pair<long, std::string>> titles, subtitles;
        if (a.lst && a.pass > 0) {
            titles = std::move(a.lst->titles);
            subtitles = std::move(a.lst->subtitles);
        }
        a.lst = std::make_unique<Listing>();
        a.lst->titles = std::move(titles);
        a.lst->subtitles = std::move(subtitles);
        a.lst->headers = a.opt.ft != 0;
        a.listing = a.pass > 0 && a.opt.l;
        if (!a.listing) return;
        if (!a.lst->lstout.open(a.lstname)) {
            fileerror(a, a.srcname, "can't create " + a.lstname);
            a.listing = false;
            return;
        }
        a.lst->fp = a.lst->lstout.fp();
        if (a.opt.vername) {
            if (a.lst->verout.open(a.opt.vername)) a.lst->vfp = a.lst->verout.fp();
            else fileerror(a, a.srcname, std::string("can't create ") + a.opt.vername);
        }
        return;
    }
    if (!a.lst) return;
    // a file that could not be written whole is an error of the source
    auto finish = [&](platform::OutputFile& out, std::FILE*& fp, const std::string& name) {
        if (!fp) return;
        fp = nullptr;
        if (!out.commit()) {
            fileerror(a, a.srcname, "can't write " + name);
            a.errors++;
        }
    };
    if (a.lst->fp) {
        flushsource(a);
        if (a.opt.c) listsyms(a);
        if (a.lst->headers && a.lst->page > 0) {
            if (a.opt.ff) put(a, "\f");
            else
                fillpage(a);
        }
    }
    finish(a.lst->lstout, a.lst->fp, a.lstname);
    finish(a.lst->verout, a.lst->vfp, a.opt.vername ? a.opt.vername : "");
    a.listing = false;
}

void verilogline(Assembler& a, const std::string& text) {
    if (a.listing && a.lst && a.lst->vfp) std::fprintf(a.lst->vfp, "%s\n", text.c_str());
}

// funa name[,value][{+|-}value]
void dofuna(Assembler& a, const OpcodeEntry&, std::string_view) {
    std::string name = scanname(a);
    if (name.empty()) {
        asmerr(a, "syntax error");
        return;
    }
    auto value = [&](uint32_t& out) -> bool {
        int t = gettoken(a);
        if (t == T_NUMBER) out = a.tokval;
        else if (t == T_DOLLAR) prefixnumber(a, 16), out = a.tokval;
        else if (t == T_AT) prefixnumber(a, 8), out = a.tokval;
        else if (t == T_MOD) prefixnumber(a, 2), out = a.tokval;
        else if (t == T_SYMBOL) out = symvalue(a, a.toksym).value;
        else if (t == T_MUL) out = here(a);
        else {
            asmerr(a, "syntax error");
            return false;
        }
        return true;
    };
    uint32_t v = here(a);
    int t = gettoken(a);
    if (t == T_COMMA) {
        if (!value(v)) return;
        t = gettoken(a);
    }
    if (t == T_PLUS || t == T_MINUS) {
        uint32_t w;
        if (!value(w)) return;
        v = t == T_PLUS ? v + w : v - w;
    } else {
        ungettoken(a, t);
    }
    if (a.listing && a.lst && a.lst->vfp)
        std::fprintf(a.lst->vfp, "%s = 16'h%04x;\n", name.c_str(), v);
}

}  // namespace as

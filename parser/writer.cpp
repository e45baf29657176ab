// The intermediate-file writer: header, source positions, spaces and
// sections, names and types, declarations, data objects and the literal
// flush. Each put operation writes its record straight through the run's
// ir::Output, whose one gate keeps every byte out while errors are counted;
// the parser's observer (IrWriter, used by the developer tools) is told of
// the declaration-level operations as well.
#include <cstring>

#include "parser/exprtree.h"
#include "parser/irwrite.h"
#include "toollib/services.h"
#include "parser/parser.h"

namespace cpppc {

namespace {

// Bytes to the -o file, none once an error was counted.
class IrFileOutput : public ir::Output {
public:
    explicit IrFileOutput(Parser& p) : P(p) {}
    void put(uint8_t b) override {
        if (!P.errors && P.out) std::fputc(b, P.out);
    }

private:
    Parser& P;
};


constexpr const char* kVersionText = "V4.10.10";
constexpr const char* kDateText = "24 Aug 2012";
constexpr size_t kMaxHeaderString = 255;

// A text's bytes, cut to what one length byte counts.
std::string_view cut255(std::string_view s) { return s.substr(0, std::min(s.size(), size_t{255})); }

}  // namespace

ir::Output* irsink(Parser& P) { return P.irw.out && !P.errors ? P.irw.out.get() : nullptr; }

bool isnamedclass(uint8_t c) { return c == sc::Static || c == sc::Extern || c == sc::None || c == sc::Placed; }

void openirfile(Parser& P) {
    if (!P.out || P.opt.e || P.opt.md) return;
    P.irw.out = std::make_unique<IrFileOutput>(P);
    putheader(P);
}

// ---- header ----

void putheader(Parser& P) {
    ir::Output* o = irsink(P);
    if (!o) return;
    if (P.opt.an) {
        o->u8(ir::kAnalyserMagic);
        o->u8(ir::kAnalyserSecond);
        return;
    }
    uint8_t flags = 0;
    if (P.opt.f) flags |= ir::HF_SINGLE;
    if (P.opt.x) flags |= ir::HF_DEBUG;
    if (P.opt.xd) flags |= ir::HF_DEBUGDATA;
    if (P.opt.fr) flags |= ir::HF_FLOATREGS;
    o->u8(ir::kMagic);
    o->u8(ir::kTargetPPC);
    o->u8(flags);
    o->u8(ir::kGeneration);
    o->u8(ir::kRevision);
    putheaderstrings(P);
}

void putheaderstrings(Parser& P) {
    const Options& o = P.opt;
    auto text = [&](const std::string& s) { putirstring(P, s.c_str()); };
    text(tl::toolcontext().progname);
    text(kVersionText);
    text(kDateText);
    if (o.ad) text("ad");
    if (o.a) text("a" + std::to_string(o.a));
    if (o.c99) text("c99");
    if (o.cc) text("cc");
    if (o.cp) text("cp");
    for (auto it = o.defines.items.rbegin(); it != o.defines.items.rend(); ++it)
        if (it->compare(0, 8, "__VERS__") != 0) text("d " + *it);
    if (o.f) text("f");
    for (auto it = o.headers.items.rbegin(); it != o.headers.items.rend(); ++it) text("h " + *it);
    if (o.m) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "m 0x%04x", static_cast<unsigned>(o.m));
        text(buf);
    }
    if (o.nc) text("nc");
    if (o.ne) text("ne");
    if (o.np) text("np");
    if (o.ns) text("ns");
    if (o.p) text("p");
    if (o.rb) text("rb");
    if (o.sa) text("sa");
    if (o.s) text("s");
    if (o.u) text("u");
    if (o.xx)
        text("xx");
    else if (o.x)
        text("x");
    putirstring(P, nullptr);
}

// Double quotes are left out, and the rest is cut to what the length byte
// can count.
void putirstring(Parser& P, const char* text) {
    ir::Output* o = irsink(P);
    if (!o) return;
    std::string kept;
    for (const char* p = text; p && *p; ++p)
        if (*p != '"') kept.push_back(*p);
    if (kept.size() > kMaxHeaderString) kept.resize(kMaxHeaderString);
    o->text8(kept);
}

// ---- source positions ----

void putfilename(Parser& P, const std::string* name) {
    if (!name || (P.irw.anyfile && *name == P.irw.lastfile)) return;
    P.irw.lastfile = *name;
    P.irw.anyfile = true;
    ir::Output* o = irsink(P);
    if (!o) return;
    std::string text;
    if (P.opt.xf) {
        text = fullpath(*name);
    } else if (P.opt.xp) {
        const char* sep = tl::lastdirsep(name->c_str());
        if (!sep) {
            text = *name;
        } else {
            size_t base = static_cast<size_t>(sep - name->c_str()) + 1;
            text = name->substr(base);
            text.push_back('\0');
            text += name->substr(0, base);
        }
    } else {
        text = *name;
    }
    if (text.size() > ir::kMaxName) {
        putdiag(P, "name too long for intermediate file");
        return;
    }
    o->u8(ir::R_FILE);
    o->name(ir::NameBlock::named(ir::NK_FILE, text));
}

void putline(Parser& P, uint32_t line) {
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_LINE);
        o->u32(line);
    }
}

void putpos(Parser& P, uint32_t line) {
    putfilename(P, &srcfilename(P));
    putline(P, line);
}

// ---- spaces, sections and assembly text ----

// Every space name not yet announced, oldest first, each once. New names
// are made at the head of the list, so the unannounced ones lead it.
void putspaces(Parser& P) {
    for (;;) {
        Symbol* s = P.syms.scopes.spaces;
        if (!s || (s->flags & sf::Declared)) return;
        while (s->next && !(s->next->flags & sf::Declared)) s = s->next;
        s->flags |= sf::Declared;
        P.writer->space(P, *s);
        size_t n = irnamelength(P, s->name);
        if (ir::Output* o = irsink(P)) {
            o->u8(ir::R_SPACE);
            o->name(ir::NameBlock::named(ir::NK_FILE, std::string(nametext(s->name), n)));
        }
    }
}

void putsection(Parser& P, uint32_t line, uint16_t word, const unsigned char* name) {
    P.writer->section(P, line, word, name);
    size_t n = name ? irnamelength(P, name) : 0;
    putpos(P, line);
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_SECTION);
        o->u16(word);
        o->text8(std::string_view(nametext(name), n));
    }
}

void putasmtext(Parser& P, const char* text, size_t length) {
    for (size_t at = 0; at < length; at += 255) {
        ir::Output* o = irsink(P);
        if (!o) return;
        o->u8(ir::R_ASMTEXT);
        o->text8(cut255(std::string_view(text + at, length - at)));
    }
}

// ---- names and types ----

size_t irnamelength(Parser& P, const unsigned char* name) {
    if (!name) return 0;
    size_t n = std::strlen(nametext(name));
    if (n > ir::kMaxName) {
        putdiag(P, "name too long for intermediate file");
        return ir::kMaxName;
    }
    return n;
}

namespace {

ir::NameBlock nameblock(Parser& P, Symbol* s) {
    size_t n = irnamelength(P, s->name);
    uint16_t number = 0;
    if (s->sclass == sc::Static)
        number = static_cast<uint16_t>(s->value);
    else if (s->sclass == sc::Placed && (s->flags & sf::PlacedLocal))
        number = static_cast<uint16_t>(P.irw.funcno);
    uint8_t kind = ir::NK_DATA;
    if (isfunction(s->type)) {
        uint16_t r = codeof(s->type->subtype);
        kind = r == ty::Double ? ir::NK_FUNCDOUBLE : (r == ty::Struct || r == ty::Union) ? ir::NK_FUNCSTRUCT : ir::NK_FUNCTION;
    }
    if ((s->attributes & attr::Space) == attr::Far) kind |= ir::NK_FAR;
    if (s->sclass == sc::Placed) kind |= ir::NK_ABSOLUTE;
    return ir::NameBlock::named(kind, std::string(nametext(s->name), n), number);
}

struct TypeRow {
    uint16_t parser;
    uint8_t file;
};
// The parser's type codes and the file's.
constexpr TypeRow kTypeRows[] = {
    {ty::Char, ir::T_CHAR},          {ty::UChar, ir::T_UCHAR},   {ty::CharField, ir::T_CHARBITS},
    {ty::Short, ir::T_SHORT},        {ty::UShort, ir::T_USHORT}, {ty::ShortField, ir::T_SHORTBITS},
    {ty::Int, ir::T_INT},            {ty::UInt, ir::T_UINT},     {ty::IntField, ir::T_INTBITS},
    {ty::Long, ir::T_INT},           {ty::ULong, ir::T_UINT},    {ty::LongField, ir::T_INTBITS},
    {0x50, ir::T_OTHERFLOAT},        {0x54, ir::T_OTHERFLOAT},   {ty::Float, ir::T_FLOAT},
    {ty::Double, ir::T_DOUBLE},      {ty::Struct, ir::T_STRUCT}, {ty::Union, ir::T_STRUCT},
    {ty::Void, ir::T_UCHAR},         {ty::Pointer, ir::T_POINTER},
};

}  // namespace

void putname(Parser& P, Symbol* s) {
    ir::NameBlock b = nameblock(P, s);
    if (ir::Output* o = irsink(P)) o->name(b);
}

uint8_t irtypecode(TypeNode* t) {
    t = basetype(t);
    uint16_t code = t ? t->code : 0;
    if (code == ty::Array || code == ty::Function) code = ty::Int;
    for (const TypeRow& r : kTypeRows)
        if (r.parser == code) return r.file;
    return 0;
}

void puttype(Parser& P, TypeNode* t, uint16_t word) {
    t = basetype(t);
    uint8_t file = irtypecode(t);
    if (!file) {
        putdiag(P, "PANIC! bad type code: %x", t ? t->code : 0);
        file = ir::T_CHAR;
    }
    ir::TypeDescriptor d = ir::TypeDescriptor::of(file, word);
    if (file == ir::T_POINTER) d.ptrattr = t->pointerattr();
    if (ir::isbitfieldcode(file)) {
        d.bitpos = t->bitpos();
        d.bitwidth = t->bitwidth();
    }
    if (file == ir::T_STRUCT) d.size = t->size;
    if (ir::Output* o = irsink(P)) o->type(d);
}

// ---- declarations and data objects ----

void putdef(Parser& P, Symbol* s, int mode) {
    P.writer->def(P, *s, mode);
    if (mode == 0 && namelength(s->name) == 4 && std::memcmp(nametext(s->name), "_asm", 5) == 0) return;
    if ((s->attributes & (attr::Inline | attr::Code)) == (attr::Inline | attr::Code) && s->body) return;
    uint32_t size = 0;
    if (isfunction(s->type)) {
        uint16_t r = codeof(s->type->subtype);
        if (r == ty::Struct || r == ty::Union) size = typesize(P, s->type->subtype);
    } else if (mode && s->type && s->type->code != ty::Void) {
        size = typesize(P, s->type);
    }
    ir::NameBlock b = nameblock(P, s);
    if (ir::Output* o = irsink(P)) {
        o->u8(mode == 0 ? ir::R_EXTERN : (mode & 0x800) ? ir::R_FUNCTION : ir::R_PUBLIC);
        o->name(b);
        o->u16(s->attributes);
        o->u32(size);
    }
}

void putdatalabel(Parser& P, Symbol* s) {
    P.writer->datalabel(P, *s);
    ir::NameBlock b = nameblock(P, s);
    ir::Output* o = irsink(P);
    if (!o) return;
    if (s->sclass == sc::Placed) {
        o->u8(ir::R_ABSOLUTE);
        o->u8(0);
        o->name(b);
        o->u32(s->value);
    } else if (s->attributes == 0) {
        o->u8(ir::R_DATA);
        o->u8(static_cast<uint8_t>(alignclass(s->type)));
        o->name(b);
    } else {
        o->u8(ir::R_DATAATTR);
        o->u8(static_cast<uint8_t>(alignclass(s->type)));
        o->u16(s->attributes);
        o->name(b);
    }
}

void putlitlabel(Parser& P, uint32_t label, int align) {
    P.writer->litlabel(P, label, align);
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_LITERAL);
        o->u8(static_cast<uint8_t>(align));
        o->u16(0);
        o->name(ir::NameBlock::label(static_cast<uint16_t>(label)));
    }
}

void putvalue(Parser& P, uint32_t value, int size) {
    P.writer->value(P, value, size);
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_VALUE);
        o->u8(static_cast<uint8_t>(size));
        o->u32(value);
    }
}

void putdouble(Parser& P, double value, int size) {
    P.writer->floating(P, value, size);
    if (ir::Output* o = irsink(P)) {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        o->u8(ir::R_DOUBLE);
        o->u8(static_cast<uint8_t>(size));
        o->u64(bits);
    }
}

// Pieces of at most 255 bytes; the last is always shorter, so a text of
// 255 bytes (or none) ends with an empty piece.
void putbytes(Parser& P, const unsigned char* text, size_t length) {
    P.writer->bytes(P, text, static_cast<uint32_t>(length));
    ir::Output* o = irsink(P);
    if (!o) return;
    std::string_view all(reinterpret_cast<const char*>(text), text ? length : 0);
    size_t at = 0;
    for (;;) {
        std::string_view piece = cut255(all.substr(at));
        o->u8(ir::R_BYTES);
        o->text8(piece);
        at += piece.size();
        if (piece.size() < 255) break;
    }
}

void putreserve(Parser& P, uint32_t count) {
    P.writer->reserve(P, count);
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_ZEROS);
        o->u32(count);
    }
}

void putenddata(Parser& P) {
    P.writer->enddata(P);
    if (ir::Output* o = irsink(P)) o->u8(ir::R_ENDDATA);
}

uint32_t literallabel(Parser& P, Literal* l, bool floating) {
    if (!l->label) {
        l->label = nextlabel(P);
        if (floating)
            for (int k = 0; k < 3; ++k) nextlabel(P);
    }
    return l->label;
}

void putaddress(Parser& P, ExprNode* e, int size) {
    P.writer->address(P, *e, size);
    uint8_t code = size == 1 ? ir::R_ADDR8 : size == 2 ? ir::R_ADDR16 : ir::R_ADDR32;
    ir::NameBlock b;
    uint32_t value = e->value;
    if ((e->leafbits & leaf::Symbol) && e->sym) {
        if (isnamedclass(e->sym->sclass))
            b = nameblock(P, e->sym);
        else
            value = e->sym->value + e->value;
    } else if ((e->leafbits & leaf::Literal) && e->lit) {
        b = ir::NameBlock::label(static_cast<uint16_t>(literallabel(P, e->lit, false)));
    }
    if (ir::Output* o = irsink(P)) {
        o->u8(code);
        o->name(b);
        o->u32(value);
    }
}

// The literal flush: each labelled entry's data, once per form. A floating
// constant has the labels n to n + 6; only its float (n + 4) and double
// (n + 6) forms are ever used, as no declaration makes the other floating
// types.
void putliterals(Parser& P) {
    P.writer->literals(P);
    if (P.errors) return;
    for (Literal* l = P.names.pool; l; l = l->link) {
        if (!l->label) continue;
        uint8_t& used = l->flags[0];
        uint8_t& written = l->flags[1];
        if (used & 0x0F) {
            double v = 0;
            if (l->bytes.size() == sizeof v) std::memcpy(&v, l->bytes.data(), sizeof v);
            for (int k = 2; k < 4; ++k) {
                uint8_t b = static_cast<uint8_t>(1u << k);
                if (!(used & b) || (written & b)) continue;
                written |= b;
                putlitlabel(P, l->label + 2u * k, alignclass(b == 8 ? P.types.dbl : P.types.flt));
                putdouble(P, v, b);
                putenddata(P);
            }
        } else if (!(written & 0x80)) {
            written |= 0x80;
            putlitlabel(P, l->label, 0);
            if (l->bytes.empty())
                putvalue(P, 0, 1);
            else
                putbytes(P, l->bytes.data(), l->bytes.size());
            putenddata(P);
        }
    }
}

}  // namespace cpppc

// The generator's reader of the intermediate file: a 128-byte buffer with one
// byte of push-back, and the field readers built on the format library. The
// end of the file inside a record is the panic "EOF"; at a record boundary it
// simply ends the unit.
#include "generator/gen.h"
#include "platform/interrupt.h"
#include "toollib/quit.h"

namespace cg {

int readraw(Gen& G) {
    Reader& r = G.rd;
    if (r.pushed >= 0) {
        int c = r.pushed;
        r.pushed = -1;
        return c;
    }
    if (r.pos >= r.count) {
        if (platform::interrupted()) tl::quit(2);
        r.pos = 0;
        r.count = r.in ? std::fread(r.buf.data(), 1, r.buf.size(), r.in) : 0;
        if (r.count == 0) return -1;
    }
    ++r.consumed;
    return r.buf[r.pos++];
}

void unreadbyte(Gen& G, int byte) {
    if (byte < 0) return;  // the end stays the end: the next read finds it again
    if (G.rd.pushed >= 0) genpanic(G, "BACKCH");
    G.rd.pushed = byte;
}

uint8_t irbyte(Gen& G) {
    int c = readraw(G);
    if (c < 0) genpanic(G, "EOF");
    return static_cast<uint8_t>(c);
}

uint16_t irshort(Gen& G) {
    GenInput in(G);
    return in.u16();
}

uint32_t irlong(Gen& G) {
    GenInput in(G);
    return in.u32();
}

bool irstring(Gen& G, std::string& out) {
    GenInput in(G);
    out = in.text8();
    return !out.empty();
}

int GenInput::get() {
    int c = readraw(G_);
    return c;
}

void GenInput::fail(ir::Fault f, std::string) {
    switch (f) {
        case ir::Fault::Eof: genpanic(G_, "EOF");
        case ir::Fault::TreeTooDeep: genpanic(G_, "TREE DEPTH");
        default: genpanic(G_, "BAD INPUT");
    }
}

std::string nametext(Gen&, const ir::NameBlock& n) {
    std::string t;
    if (n.number) t = labeltext(n.number);
    if (n.present) {
        t += '<';
        if (n.kind & 0x80) {
            if (n.kind & ir::NK_ABSOLUTE) t += '\'';
            switch (n.kind & 7) {
                case 4: t += '@'; break;
                case 5: t += '^'; break;
                case 6: t += 'w'; break;
                case 1:
                case 2:
                case 3:
                    if (n.kind & 0x20) t += '!';
                    break;
                default: break;
            }
        }
        t += n.name;
    }
    return t;
}

std::string irname(Gen& G) {
    GenInput in(G);
    ir::NameBlock n = in.name();
    G.rd.lastname = n.name;
    return nametext(G, n);
}


IrType gentype(Gen& G, const ir::TypeDescriptor& t) {
    IrType r;
    uint8_t code = t.typecode();
    if (code > ir::T_STRUCT) genpanic(G, "BAD INPUT");
    r.type = code;
    if (t.hasattr()) r.attrs = reduceattrs(spaceflags(G, t.attr));
    if (code == ir::T_POINTER) {
        if ((t.ptrattr & ir::A_SPACE) != ir::A_FAR && !G.rd.farreported) {
            G.rd.farreported = true;
            generror(G, "pointers must be far (32-bit): use the model option -m0x3030");
        }
        r.ptrattrs = spaceflags(G, t.ptrattr);
    }
    if (ir::isbitfieldcode(code)) {
        if (t.bitwidth == 0 || t.bitwidth > 32 || t.bitpos + t.bitwidth > 32) genpanic(G, "BAD INPUT");
        r.type = code + t.bitpos * 16u + t.bitwidth * 1024u;
    }
    if (code == ir::T_STRUCT) r.size = t.size;
    return r;
}

IrType irtype(Gen& G) {
    GenInput in(G);
    return gentype(G, in.type());
}

}  // namespace cg

// Type names in expressions: the keyword flags of a cast or sizeof, their
// accepted combinations, casts of a value, struct/union/enum tags and sizes.
//
// The one idea: a type name is a set of keyword flags (or a typedef, or a
// tag), normalised so that one flag set names one type, and a cast maps that
// set to a base type code plus pointer steps.
#include "vek/command/expr/internal.h"

namespace vek {

using namespace exprimpl;

namespace {

using namespace castflag;

// Keyword sets that name a type, as they are read.
constexpr uint32_t accepted[] = {0x1,    0x41,   0x81,   0x2,    0x42,   0x82,   0x6,   0x46,  0x86,
                                 0x4,    0x44,   0x84,   0x40,   0x80,   0x8,    0x48,  0x88,  0xC,
                                 0x4C,   0x8C,   0x4000, 0x4040, 0x4080, 0x4004, 0x4044, 0x4084,
                                 0x10,   0x20,   0x28,   0x400,  0x800,  0x1000, 0x2000};

// The base type of a normalised keyword set; 0 when it names none here.
uint8_t basecode(uint32_t f) {
    if (f & LongLong) return 0;
    if (f & Float) return tc::Float;
    if (f & Double) return (f & Long) ? tc::LDouble : tc::Double;
    if (f & Void) return tc::Void;
    if (f & Char) return (f & Signed) ? tc::SChar : tc::UChar;
    if (f & Short) return (f & Unsigned) ? tc::UShort : tc::Short;
    if (f & Int) return (f & Unsigned) ? tc::UInt : tc::Int;
    if (f & Long) return (f & Unsigned) ? tc::ULong : tc::Long;
    return tc::Double;
}

bool aggregatebase(uint32_t type) { return (type >> 8) == 0 && isaggregatetype(uint8_t(type)); }

// Converts the value of v to a base type in place.
void convert(ExprValue& v, uint8_t dest) {
    if (v.derived() && !isfloatcode(dest)) return;
    if (v.isfloat()) {
        double d = v.dbl();
        if (isfloatcode(dest)) {
            if (dest == tc::Float) d = double(float(d));
            v.setdbl(d);
        } else {
            v.setint(fitint(dbltoint(d, dest), dest, 0));
        }
        return;
    }
    uint32_t x = v.u32();
    if (isfloatcode(dest)) {
        double d = inttodbl(x, v.derived() ? tc::ULong : v.base());
        if (dest == tc::Float) d = double(float(d));
        v.setdbl(d);
    } else {
        v.setint(fitint(x, dest, 0));
    }
}

}  // namespace

bool typeflagsok(uint32_t flags) {
    for (uint32_t a : accepted)
        if (a == flags) return true;
    return false;
}

uint32_t normtypeflags(uint32_t f) {
    if ((f & (Signed | Unsigned)) && !(f & (Char | Short | Int | Long))) f |= Int;
    if ((f & (Short | Long)) && (f & Int)) f &= ~Int;
    if ((f & Signed) && (f & (Int | Short | Long))) f &= ~Signed;
    return f;
}

uint32_t castflagsof(uint8_t code) {
    switch (code) {
    case tc::SChar: return Char | Signed;
    case tc::Char:
    case tc::UChar: return Char;
    case tc::Short: return Short;
    case tc::UShort: return Short | Unsigned;
    case tc::Int: return Int;
    case tc::UInt: return Int | Unsigned;
    case tc::Long: return Long;
    case tc::ULong: return Long | Unsigned;
    case tc::Float: return Float;
    case tc::Double: return Double;
    case tc::LDouble: return Double | Long;
    case tc::Struct: return castflag::Struct;
    case tc::Union: return castflag::Union;
    case tc::Enum: return castflag::Enum;
    case tc::Void: return Void;
    default: return 0;
    }
}

bool castto(uint32_t flags, ExprValue& v, const VarRecord* typed, int pointers) {
    uint32_t type = 0;
    const TypeDesc* desc = nullptr;
    if (flags == Typedef || (flags & (castflag::Struct | castflag::Union | castflag::Enum))) {
        if (!typed) return false;
        if (aggregatebase(typed->type) && pointers == 0) return false;
        if ((typed->type >> 8) == 0 && !aggregatebase(typed->type) && castflagsof(uint8_t(typed->type)) == 0)
            return false;
        type = typed->type;
        desc = &typed->desc;
    } else {
        uint8_t base = basecode(flags);
        if (base == 0) return false;
        type = base;
    }
    v.count = 0;
    if (pointers == 0 && (type >> 8) == 0) convert(v, uint8_t(type));
    else if (v.isfloat()) v.setint(dbltoint(v.dbl(), tc::ULong));
    else v.bits = v.u32();
    // The type takes a fresh copy of its descriptor, under any pointer steps.
    auto d = std::make_shared<TypeDesc>(desc ? *desc : TypeDesc{});
    d->steps.insert(d->steps.begin(), size_t(pointers), 0);
    for (int i = 0; i < pointers; ++i) type = step::add(type, step::Ptr);
    v.owned = d;
    v.desc = d.get();
    v.cursor = 0;
    v.type = type;
    v.kind = term::Value;
    return true;
}

std::optional<VarRecord> findenum(uint32_t kindflag, std::string_view tag) {
    const DebugInfo* di = exprenv().debug;
    if (!di) return std::nullopt;
    auto wanted = [&](uint8_t base) {
        if (kindflag == castflag::Struct) return base == tc::Struct;
        if (kindflag == castflag::Union) return base == tc::Union;
        return isenumcode(base);
    };
    for (auto& f : di->files) {
        if (f->funcs.empty()) continue;
        for (const VarRecord& var : f->funcs.back()->vars) {
            uint32_t t = var.type;
            while (step::top(t) == step::Ptr) t = step::drop(t);
            if ((t >> 8) != 0 || !wanted(uint8_t(t)) || !var.desc.agg || var.desc.agg->tag != tag) continue;
            VarRecord r;
            r.name = var.name;
            r.type = uint8_t(t);
            r.desc.agg = var.desc.agg;
            r.size = typesize(r);
            return r;
        }
    }
    return std::nullopt;
}

void retype(ExprValue& v, const VarRecord* typed, uint32_t flags, int pointers) {
    uint32_t size;
    if (pointers > 0) size = basetypesize(tc::Pointer);
    else if (typed) size = typesize(*typed);
    else if (flags & Double) size = 8;
    else if (flags & Char) size = 1;
    else if (flags & Short) size = 2;
    else if (flags & (Int | Long | Float)) size = 4;
    else size = 8;
    v.type = tc::Int;
    v.desc = nullptr;
    v.owned.reset();
    v.cursor = 0;
    v.kind = term::Value;
    v.count = 0;
    v.setint(size);
}

}  // namespace vek

// The end-of-unit pass: settles the file-level symbols. Objects declared
// but not yet written get their data (tentative definitions), newest first,
// with a one-byte object moved up behind an odd-sized one so that it fills
// the odd byte; names only used are reported; at the very end every public
// definition and every used external gets its record. A #pragma section for
// uninitialized data runs the data part early, so that objects stay in the
// section they were declared under.
#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

bool isvoid(const TypeNode* t) { return t && t->code == ty::Void; }
bool isunknownarray(const TypeNode* t) { return t && t->code == ty::Array && t->count() == 0; }

// A symbol that can fill an odd byte: declared, unwritten, class 0 or
// static, an object of size 1.
bool isfiller(Parser& P, Symbol* s) {
    return (s->flags & sf::Declared) && !(s->flags & sf::Written) &&
           (s->sclass == sc::None || s->sclass == sc::Static) && !isfunction(s->type) && !isvoid(s->type) &&
           typesize(P, s->type) == 1;
}

// "%.*s undefined" at the place of the name's first use.
void reportundefined(Parser& P, Symbol* s) {
    putdiagat(P, s->useline, s->usecolumn, namelength(s->name), "%.*s undefined", namelength(s->name), nametext(s->name));
}

void putreference(Parser& P, Symbol* s) {
    if (s->sclass == sc::Extern) {
        if (isfunction(s->type) && (s->flags & sf::Written))
            putdef(P, s, 1);
        else if (s->flags & sf::Referenced)
            putdef(P, s, 0);
    } else if (s->sclass == sc::None) {
        if (isunknownarray(s->type))
            putdiag(P, "array %.*s size unknown", namelength(s->name), nametext(s->name));
        else
            putdef(P, s, 1);
    }
}

}  // namespace

void endunit(Parser& P, int final) {
    uint32_t total = 0;
    // Where the search for a filler goes on: every symbol between the current
    // one and this cell was found not to fill, and cannot start to.
    Symbol** scan = nullptr;
    for (Symbol* s = P.syms.scopes.ordinary; s; s = s->next) {
        if (scan && *scan == s) scan = nullptr;
        if (!(s->flags & sf::Declared)) {
            if (!final) continue;
            if (s->name) reportundefined(P, s);
            continue;
        }
        bool data = (s->sclass == sc::None || s->sclass == sc::Static) && !(s->flags & sf::Written);
        if (data && isfunction(s->type)) {
            if (!final || !(s->flags & sf::Referenced)) continue;
            putdiag(P, "static function %.*s undefined", namelength(s->name), nametext(s->name));
            s->flags |= sf::Written;
        } else if (data) {
            if (isunknownarray(s->type)) {
                putdiag(P, "array size unknown %.*s", namelength(s->name), nametext(s->name));
                TypeNode* a = newtype(P, ty::Array, s->type->subtype);
                a->detail = 1;
                s->type = a;
            }
            if (final && s->sclass == sc::Static && !(s->flags & sf::Referenced) && !P.opt.ku) continue;
            uint32_t size = isvoid(s->type) ? 0 : sizeoftype(P, s->type);
            total += size;
            putdatalabel(P, s);
            putreserve(P, size);
            putenddata(P);
            if ((total & 1) && size) {
                Symbol** cell = scan ? scan : &s->next;
                while (*cell && !isfiller(P, *cell)) cell = &(*cell)->next;
                if (Symbol* f = *cell) {
                    *cell = f->next;
                    if (cell != &s->next) {
                        f->next = s->next;
                        s->next = f;
                    } else {
                        f->next = *cell;
                        *cell = f;
                    }
                }
                scan = cell;
            }
            s->flags |= sf::Written;
        }
        if (final) putreference(P, s);
    }
}

}  // namespace cpppc

// The put operations of the intermediate-file writer that declarations,
// placements, section pragmas and the end of the unit call. Each does the
// parser's share (which space names are still to be announced, in which
// order) and hands the record to the run's IrWriter sink, which turns it
// into bytes; the sink a run starts with writes nothing.
#include "parser/parser.h"

namespace cpppc {

void putdatalabel(Parser& P, Symbol* s) { P.writer->datalabel(P, *s); }

void putreserve(Parser& P, uint32_t count) { P.writer->reserve(P, count); }

void putenddata(Parser& P) { P.writer->enddata(P); }

void putdef(Parser& P, Symbol* s, int mode) { P.writer->def(P, *s, mode); }

// Every space name not yet announced, oldest first, each once. New names
// are made at the head of the list, so the unannounced ones lead it.
void putspaces(Parser& P) {
    for (;;) {
        Symbol* s = P.syms.scopes.spaces;
        if (!s || (s->flags & sf::Declared)) return;
        while (s->next && !(s->next->flags & sf::Declared)) s = s->next;
        s->flags |= sf::Declared;
        P.writer->space(P, *s);
    }
}

void putsection(Parser& P, uint32_t line, uint16_t word, const unsigned char* name) {
    P.writer->section(P, line, word, name);
}

void putliterals(Parser& P) {
    if (P.errors) return;
    P.writer->literals(P);
}

void putvalue(Parser& P, uint32_t value, int size) { P.writer->value(P, value, size); }

void putdouble(Parser& P, double value, int size) { P.writer->floating(P, value, size); }

void putaddress(Parser& P, const ExprNode* e, int size) { P.writer->address(P, *e, size); }

void putbytes(Parser& P, const unsigned char* text, uint32_t length) { P.writer->bytes(P, text, length); }

void putlitlabel(Parser& P, uint32_t label, int align) { P.writer->litlabel(P, label, align); }

}  // namespace cpppc

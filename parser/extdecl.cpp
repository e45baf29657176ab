// External declarations and function definitions.
//
// The declaration parser is not part of this build yet. Until it is, extdecl
// reads over one external declaration (to a ';' outside braces, or to the '}'
// that closes a function body) so the top-level loop always makes progress
// and every token still goes through the preprocessor and the lexer.
#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

void extdecl(Parser& P) {
    int depth = 0;
    for (;;) {
        Token* t = nexttoken(P);
        switch (t->code) {
        case tok::End:
            return;
        case tok::LBrace:
            ++depth;
            break;
        case tok::RBrace:
            if (depth > 0 && --depth == 0) return;
            break;
        case tok::Semi:
            if (depth == 0) return;
            break;
        default:
            break;
        }
    }
}

}  // namespace cpppc

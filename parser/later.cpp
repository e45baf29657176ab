// The per-function passes that run after a body is parsed: data flow over
// locals, register assignment, lowering and the function writer, and the
// loop rewrites the statement parser offers each loop (counted loops,
// strength reduction, invariant hoisting, while to for). The statement
// parser and funcdef call them where they belong; until they are built
// they leave the trees as they are, which is always a correct program.
#include "parser/parser.h"

namespace cpppc {

void flowlocals(Parser&, StmtNode*) {}

void assignregs(Parser&, StmtNode*) {}

void lowerfunc(Parser&, StmtNode*) {}

void putfunc(Parser&, Symbol*, StmtNode*, uint32_t, uint32_t, uint32_t) {}

void makecountedloop(Parser&, StmtNode*, uint16_t, uint32_t, uint32_t) {}

StmtNode* reducestrength(Parser&, StmtNode* loop, Symbol*, uint32_t) { return loop; }

StmtNode* hoistinvariants(Parser&, StmtNode*, uint32_t, int) { return nullptr; }

void whiletofor(Parser&, StmtNode*, StmtNode*) {}

int entrytest(Parser&, ExprNode*, ExprNode*) { return 0; }

void freeitemps(Parser&) {}

}  // namespace cpppc

// The parser dump's views of an expression tree: the prefix form with the
// type of every node, and C text that computes the same value with every
// node's type made explicit by a cast (for comparing with a C compiler).
#pragma once

#include <string>

#include "parser/parser.h"

namespace parsedump {

// (OP TYPE operand...) for operators, NAME:TYPE, &NAME+OFFSET:TYPE,
// VALUE:TYPE, "TEXT":TYPE and 1.5:double for leaves; with flags, the node
// flags follow the type as #N.
std::string prefixform(cpppc::Parser& P, const cpppc::ExprNode* e, bool flags = false);

// A type in the short form of the prefix form: int, ptr(T), arr[N](T), ...
std::string shorttypetext(cpppc::TypeNode* t);

// C text of the value, for a host compiler that declares the same objects
// (long read as a 32-bit int): every operator node is cast to its type,
// leaves name their object or member, and a read of part of an object is
// written as a shift of its value, so that the text means the same on a
// little-endian host as the tree does on the big-endian target.
std::string ctext(cpppc::Parser& P, const cpppc::ExprNode* e);

}  // namespace parsedump

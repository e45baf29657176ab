// Binds the decoder to the simulated target: instruction bytes from simulated
// memory, register values from the register file, names from the program
// symbol table, the VLE boundary from the ".vle" binding. Kept apart from
// the decoder so that vekdecode itself depends on nothing of the target.
#pragma once

#include "vek/core/decode/decode.h"

namespace vek {

class Memory;
struct RegisterFile;

// An environment reading the given memory and registers and the program
// symbol table (symtab()); the VLE boundary is read at every decode.
DecodeEnv targetenv(Memory& memory, RegisterFile& registers);

}  // namespace vek

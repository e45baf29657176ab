// The variable windows bound to the debugger's expression environment: the
// target they read, the current frame of a core and the addresses of
// variables in it.
#pragma once

#include "vek/views/varmodel/varwins.h"

namespace vek {

// Reads the environment's memory and debug registers (nothing when unbound).
VarSource exprsource();
// The current call frame of a core: function, base and frame-set-up flag.
LocalsFrame currentlocals(int core);
// Addresses of variables through the core's call frames, innermost first.
VarAddrFn frameaddr(int core);

}  // namespace vek

/* The extension header compiles as plain C99. */
#include "vek/shell/vekext.h"

int vekext_header_c_abi(void) { return VEK_EXT_ABI; }

// irasm: writes an intermediate file from its text form.
#pragma once

namespace irasm {

// irasm [-o output] input: status 0, or 1 with a message naming the line.
int run(int argc, char** argv);

}  // namespace irasm

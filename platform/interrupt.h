// The interrupt signal (Ctrl+C) as a flag. A program arms the handler once;
// the handler only records the interrupt, and the program polls the flag at
// points where it can stop cleanly (remove its partial output, exit 2).
#pragma once

namespace platform {

void catchinterrupt();      // install the SIGINT handler
bool interrupted();         // an interrupt arrived since the last reset
void resetinterrupt();      // forget it (tests)
void raiseinterrupt();      // record one as the handler would (tests)

}  // namespace platform

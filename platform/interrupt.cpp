// SIGINT recorded in a lock-free flag; see interrupt.h.
#include "platform/interrupt.h"

#include <csignal>

namespace platform {

namespace {
volatile std::sig_atomic_t g_interrupted = 0;  // written by the signal handler only
extern "C" void oninterrupt(int) { g_interrupted = 1; }
}  // namespace

void catchinterrupt() {
    struct sigaction sa {};
    sa.sa_handler = oninterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
}

bool interrupted() { return g_interrupted != 0; }
void resetinterrupt() { g_interrupted = 0; }
void raiseinterrupt() { g_interrupted = 1; }

}  // namespace platform

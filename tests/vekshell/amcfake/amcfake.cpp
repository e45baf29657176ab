// A stand-in for the modelling tool's link library: it writes down each
// call. VEKAMC_INIT=0 makes its Init refuse.
#include <cstdlib>
#include <string>

namespace {
std::string calls;
}

extern "C" {
const char* amcfake_calls() { return calls.c_str(); }
void amcfake_clear() { calls.clear(); }
int _AMC_Init(void*, void*, void*) {
    calls += "Init\n";
    const char* v = std::getenv("VEKAMC_INIT");
    return v && *v == '0' ? 0 : 1;
}
void _AMC_Close() { calls += "Close\n"; }
void _AMC_Running() { calls += "Running\n"; }
void _AMC_Stopped() { calls += "Stopped\n"; }
int _AMC_CommInit() {
    calls += "CommInit\n";
    return 1;
}
void _AMC_BkptCheck(int number) { calls += "BkptCheck " + std::to_string(number) + "\n"; }
}
